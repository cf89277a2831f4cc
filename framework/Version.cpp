// Version text of a file and the remembered system-version tests.
#include "framework/Version.h"

#include "framework/ProcessHeap.h"
#include "platform/win32.h"

#include <atomic>

bool GetFileVersionText(const char* path, char* buffer, int size) {
    DWORD unused = 0;
    DWORD length = GetFileVersionInfoSizeA(path, &unused);
    void* block = ProcessHeapAlloc(length);
    if (block == nullptr || !GetFileVersionInfoA(path, 0, length, block)) {
        lstrcpynA(buffer, "0.00", size);
        ProcessHeapFree(block);
        return false;
    }
    bool found = false;
    void* value = nullptr;
    UINT valueLength = 0;
    if (VerQueryValueA(block, "\\VarFileInfo\\Translation", &value, &valueLength) && valueLength >= 4) {
        const WORD* translation = static_cast<const WORD*>(value);
        char name[64];
        wsprintfA(name, "\\StringFileInfo\\%04x%04x\\FileVersion", translation[0], translation[1]);
        if (VerQueryValueA(block, name, &value, &valueLength)) {
            lstrcpynA(buffer, static_cast<const char*>(value), size);
            found = true;
        }
    }
    ProcessHeapFree(block);
    return found;
}

namespace {

// 0: not known yet; 1: false; 2: true.
class RememberedAnswer {
public:
    template <class Test>
    bool Get(Test test) {
        int known = state.load(std::memory_order_relaxed);
        if (known != 0) return known == 2;
        OSVERSIONINFOA info{};
        info.dwOSVersionInfoSize = sizeof info;
        if (!GetVersionExA(&info)) return false;
        bool answer = test(info);
        state.store(answer ? 2 : 1, std::memory_order_relaxed);
        return answer;
    }

private:
    std::atomic<int> state{0};
};

RememberedAnswer g_isWindows95;
RememberedAnswer g_isWindows98OrMe;
RememberedAnswer g_isWindows2000OrLater;

// On the Windows 95 family the build-number field carries the version: major in its top byte,
// minor in the byte below.
DWORD Win9xMajor(const OSVERSIONINFOA& info) { return (info.dwBuildNumber >> 24) & 0xFF; }
DWORD Win9xMinor(const OSVERSIONINFOA& info) { return (info.dwBuildNumber >> 16) & 0xFF; }

}  // namespace

bool IsWindows95() {
    return g_isWindows95.Get([](const OSVERSIONINFOA& info) {
        return info.dwPlatformId == VER_PLATFORM_WIN32_WINDOWS && Win9xMajor(info) == 4 && Win9xMinor(info) < 10;
    });
}

bool IsWindows98OrMe() {
    return g_isWindows98OrMe.Get([](const OSVERSIONINFOA& info) {
        return info.dwPlatformId == VER_PLATFORM_WIN32_WINDOWS && Win9xMajor(info) == 4 && Win9xMinor(info) >= 10;
    });
}

bool IsWindows2000OrLater() {
    return g_isWindows2000OrLater.Get([](const OSVERSIONINFOA& info) {
        return info.dwPlatformId == VER_PLATFORM_WIN32_NT && info.dwMajorVersion >= 5;
    });
}
