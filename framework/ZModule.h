// ZModule: a module instance handle (the program file or a library) with its file name and
// version text.
#pragma once

#include "framework/ZHandle.h"
#include "framework/ZString.h"
#include "platform/win32.h"

class ZModule : public ZHandle<HINSTANCE> {
public:
    ZModule() = default;
    ~ZModule() override {}

    // The module's full path; empty when the handle is not valid or the name cannot be read.
    ZString GetFileName() const;
    // The FileVersion text of the module's version resource exactly as stored, or "0.00".
    ZString GetFileVersion() const;
};
