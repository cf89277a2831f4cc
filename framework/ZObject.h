// ZObject: the root of the class library's handle classes.
#pragma once

class ZObject {
public:
    virtual ~ZObject() = default;
    virtual bool IsValid() const = 0;
};
