// What the module, resource and version sources share: the loaded modules, the registered
// resource tables and the simulated system version. Layer sources only.
#pragma once

#include "platform/posix/types.h"
#include "platform/posix/resources.h"

#include <cstdint>
#include <string>
#include <vector>

namespace win32::detail {

struct ModuleInfo {
    std::uintptr_t base;   // the module handle's value: the lowest address the module occupies
    bool executable;
    std::string path;      // the real path of its file; empty when it has none
};

// The loaded module that holds the address, or the one loaded at base; false when none does.
bool FindModuleAt(const void* address, ModuleInfo& module);
bool FindModuleByBase(std::uintptr_t base, ModuleInfo& module);
std::uintptr_t ExecutableBase();

// The tables registered for the module loaded at base, in registration order.
std::vector<const rc::Table*> TablesOf(std::uintptr_t base);
// Every registered table with the base of its module, in registration order.
std::vector<std::pair<std::uintptr_t, const rc::Table*>> AllTables();

struct ReportedVersion {
    DWORD platformId;
    DWORD major;
    DWORD minor;
    DWORD build;
};
void SetReportedVersion(const ReportedVersion& version);
void SetReportedVersionFails(bool fails);

}  // namespace win32::detail
