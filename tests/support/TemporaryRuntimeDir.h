// Points XDG_RUNTIME_DIR, where named mutexes keep their lock files, at a fresh temporary
// directory for the life of the object, so that test runs side by side never share a name.
#pragma once

#include <cstdlib>
#include <string>

namespace rwtest {

class TemporaryRuntimeDir {
public:
    TemporaryRuntimeDir() {
        char name[] = "/tmp/rw-runtime-test-XXXXXX";
        if (mkdtemp(name) != nullptr) directory = name;
        if (const char* old = std::getenv("XDG_RUNTIME_DIR")) {
            hadPrevious = true;
            previous = old;
        }
        if (!directory.empty()) setenv("XDG_RUNTIME_DIR", directory.c_str(), 1);
    }
    ~TemporaryRuntimeDir() {
        if (hadPrevious) {
            setenv("XDG_RUNTIME_DIR", previous.c_str(), 1);
        } else {
            unsetenv("XDG_RUNTIME_DIR");
        }
        if (!directory.empty()) std::system(("rm -rf '" + directory + "'").c_str());
    }
    TemporaryRuntimeDir(const TemporaryRuntimeDir&) = delete;
    TemporaryRuntimeDir& operator=(const TemporaryRuntimeDir&) = delete;

    bool Made() const { return !directory.empty(); }
    const std::string& Path() const { return directory; }

private:
    std::string directory;
    std::string previous;
    bool hadPrevious = false;
};

}  // namespace rwtest
