// Module handles, module file names, the registry of resource tables, LoadStringA, and the
// system module User32.dll (this layer) that the program looks up by name.
//
// A module is an ELF object in the process (the executable or a shared library); its handle is
// the lowest address of its loaded segments, which dl_iterate_phdr tells for every object, PIE
// or not. The registry lives in this shared library, so there is one per process. Tables are
// registered during static initialisation, usually before any second thread exists; the registry
// lock keeps later registrations (a library loaded on demand) safe all the same.
#include "platform/win32.h"
#include "platform/posix/detail/codepage.h"
#include "platform/posix/detail/kernel_object.h"
#include "platform/posix/detail/modules.h"
#include "platform/posix/detail/windows.h"

#include <cctype>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <link.h>
#include <mutex>
#include <unistd.h>
#include <utility>

namespace win32::detail {

namespace {

struct LoadedObject {
    std::uintptr_t base = UINTPTR_MAX;
    bool executable = false;
    std::string name;   // as the dynamic loader knows it; empty for the executable
    std::vector<std::pair<std::uintptr_t, std::uintptr_t>> segments;   // [start, end)
};

int CollectObject(dl_phdr_info* info, size_t, void* data) {
    auto& objects = *static_cast<std::vector<LoadedObject>*>(data);
    const std::uintptr_t pageMask = ~static_cast<std::uintptr_t>(sysconf(_SC_PAGESIZE) - 1);
    LoadedObject object;
    // The dynamic loader lists the executable first.
    object.executable = objects.empty();
    if (info->dlpi_name != nullptr) object.name = info->dlpi_name;
    for (int i = 0; i < info->dlpi_phnum; ++i) {
        const ElfW(Phdr)& segment = info->dlpi_phdr[i];
        if (segment.p_type != PT_LOAD) continue;
        std::uintptr_t start = info->dlpi_addr + segment.p_vaddr;
        object.segments.emplace_back(start, start + segment.p_memsz);
        if ((start & pageMask) < object.base) object.base = start & pageMask;
    }
    objects.push_back(std::move(object));
    return 0;
}

std::vector<LoadedObject> LoadedObjects() {
    std::vector<LoadedObject> objects;
    dl_iterate_phdr(CollectObject, &objects);
    return objects;
}

std::string RealPath(const char* path) {
    char resolved[PATH_MAX];
    return realpath(path, resolved) != nullptr ? std::string(resolved) : std::string();
}

ModuleInfo Describe(const LoadedObject& object) {
    ModuleInfo module{object.base, object.executable, {}};
    if (object.executable) {
        module.path = RealPath("/proc/self/exe");
    } else if (!object.name.empty()) {
        module.path = RealPath(object.name.c_str());
    }
    return module;
}

struct Registry {
    std::mutex lock;
    std::vector<std::pair<std::uintptr_t, const rc::Table*>> tables;
};

Registry& TheRegistry() {
    // Never destroyed, like the tables it points to.
    static Registry* registry = new Registry;
    return *registry;
}

}  // namespace

bool FindModuleAt(const void* address, ModuleInfo& module) {
    const auto value = reinterpret_cast<std::uintptr_t>(address);
    for (const LoadedObject& object : LoadedObjects()) {
        for (const auto& [start, end] : object.segments) {
            if (value >= start && value < end) {
                module = Describe(object);
                return true;
            }
        }
    }
    return false;
}

bool FindModuleByBase(std::uintptr_t base, ModuleInfo& module) {
    for (const LoadedObject& object : LoadedObjects()) {
        if (!object.segments.empty() && object.base == base) {
            module = Describe(object);
            return true;
        }
    }
    return false;
}

std::uintptr_t ExecutableBase() {
    static const std::uintptr_t base = LoadedObjects().front().base;
    return base;
}

std::vector<const rc::Table*> TablesOf(std::uintptr_t base) {
    Registry& registry = TheRegistry();
    std::lock_guard guard(registry.lock);
    std::vector<const rc::Table*> found;
    for (const auto& [moduleBase, table] : registry.tables) {
        if (moduleBase == base) found.push_back(table);
    }
    return found;
}

std::vector<std::pair<std::uintptr_t, const rc::Table*>> AllTables() {
    Registry& registry = TheRegistry();
    std::lock_guard guard(registry.lock);
    return registry.tables;
}

}  // namespace win32::detail

namespace win32::rc {

void RegisterTable(const Table& table) {
    detail::ModuleInfo module{};
    bool found = detail::FindModuleAt(&table, module);
    RW_CHECK(found);   // a resource table always lies in a loaded module
    detail::Registry& registry = detail::TheRegistry();
    std::lock_guard guard(registry.lock);
    registry.tables.emplace_back(module.base, &table);
}

}  // namespace win32::rc

namespace win32 {

namespace {

std::uintptr_t BaseOf(HMODULE module) {
    return module == nullptr ? detail::ExecutableBase() : reinterpret_cast<std::uintptr_t>(module);
}

const rc::StringEntry* FindString(const std::vector<const rc::Table*>& tables, UINT id) {
    for (const rc::Table* table : tables) {
        for (std::size_t i = 0; i < table->stringCount; ++i) {
            if (table->strings[i].id == id) return &table->strings[i];
        }
    }
    return nullptr;
}

// The module of this layer, which stands in for User32.dll.
HMODULE LayerModule() {
    static const HMODULE module = [] {
        detail::ModuleInfo info{};
        RW_CHECK(detail::FindModuleAt(reinterpret_cast<const void*>(&LayerModule), info));
        return reinterpret_cast<HMODULE>(info.base);
    }();
    return module;
}

// "User32.dll", "user32" and so on: names compare without regard to case, and ".dll" may be left
// out, as with Windows' module names.
bool NamesUser32(LPCSTR name) {
    std::string lower;
    for (const char* c = name; *c != '\0'; ++c) lower += static_cast<char>(std::tolower(static_cast<unsigned char>(*c)));
    return lower == "user32.dll" || lower == "user32";
}

}  // namespace

HMODULE GetModuleHandleA(LPCSTR moduleName) {
    if (moduleName == nullptr) return reinterpret_cast<HMODULE>(detail::ExecutableBase());
    if (NamesUser32(moduleName)) return LayerModule();
    SetLastError(ERROR_MOD_NOT_FOUND);
    return nullptr;
}

HMODULE LoadLibraryA(LPCSTR fileName) {
    if (fileName == nullptr || !NamesUser32(fileName)) {
        SetLastError(ERROR_MOD_NOT_FOUND);
        return nullptr;
    }
    return LayerModule();
}

BOOL FreeLibrary(HMODULE module) {
    if (module != LayerModule()) {
        SetLastError(ERROR_MOD_NOT_FOUND);
        return FALSE;
    }
    // The layer stays loaded for the life of the process.
    return TRUE;
}

FARPROC GetProcAddress(HMODULE module, LPCSTR procName) {
    if (module != LayerModule()) {
        SetLastError(ERROR_MOD_NOT_FOUND);
        return nullptr;
    }
    // Names only: a value below 0x10000 is an ordinal, which no function here has.
    const bool byName = (reinterpret_cast<std::uintptr_t>(procName) >> 16) != 0;
    if (byName && std::strcmp(procName, "AllowSetForegroundWindow") == 0 &&
        detail::AllowSetForegroundWindowAvailable()) {
        // Through the generic function type, as callers cast the result back to the real type.
        return reinterpret_cast<FARPROC>(reinterpret_cast<void (*)()>(&AllowSetForegroundWindow));
    }
    SetLastError(ERROR_PROC_NOT_FOUND);
    return nullptr;
}

DWORD GetModuleFileNameA(HMODULE module, LPSTR fileName, DWORD size) {
    detail::ModuleInfo info{};
    if (!detail::FindModuleByBase(BaseOf(module), info) || info.path.empty()) {
        SetLastError(ERROR_MOD_NOT_FOUND);
        return 0;
    }
    if (fileName == nullptr || size == 0) {
        SetLastError(ERROR_INSUFFICIENT_BUFFER);
        return 0;
    }
    if (info.path.size() >= size) {
        std::memcpy(fileName, info.path.data(), size - 1);
        fileName[size - 1] = '\0';
        SetLastError(ERROR_INSUFFICIENT_BUFFER);
        return size;
    }
    std::memcpy(fileName, info.path.c_str(), info.path.size() + 1);
    return static_cast<DWORD>(info.path.size());
}

int LoadStringA(HINSTANCE instance, UINT id, LPSTR buffer, int bufferMax) {
    if (buffer == nullptr || bufferMax <= 0) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    buffer[0] = '\0';
    std::vector<const rc::Table*> tables = detail::TablesOf(BaseOf(instance));
    if (tables.empty()) {
        SetLastError(ERROR_RESOURCE_DATA_NOT_FOUND);
        return 0;
    }
    const rc::StringEntry* entry = FindString(tables, id);
    // A string table cannot hold an empty text: such an entry counts as missing.
    if (entry == nullptr || entry->text == nullptr || entry->text[0] == '\0') {
        SetLastError(ERROR_RESOURCE_NAME_NOT_FOUND);
        return 0;
    }
    std::string text = detail::Utf8ToAnsi(entry->text);
    // Cut to bufferMax - 1 bytes, never between the two bytes of a character.
    std::size_t length = 0;
    const std::size_t room = static_cast<std::size_t>(bufferMax) - 1;
    while (length < text.size()) {
        std::size_t width = IsDBCSLeadByte(static_cast<BYTE>(text[length])) && length + 1 < text.size() ? 2 : 1;
        if (length + width > room) break;
        length += width;
    }
    std::memcpy(buffer, text.data(), length);
    buffer[length] = '\0';
    return static_cast<int>(length);
}

}  // namespace win32
