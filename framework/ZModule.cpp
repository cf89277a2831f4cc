// ZModule: file name and version text of a module.
#include "framework/ZModule.h"

#include "framework/Version.h"

ZString ZModule::GetFileName() const {
    if (!IsValid()) return ZString();
    char name[MAX_PATH];
    if (GetModuleFileNameA(handle, name, MAX_PATH) == 0) return ZString();
    return ZString(name);
}

ZString ZModule::GetFileVersion() const {
    char version[100];
    if (!GetFileVersionText(GetFileName(), version, sizeof version)) return ZString("0.00");
    return ZString(version);
}
