// The version block of a module's resource table, as the VERSION functions hand it out, and the
// simulated system version of GetVersionExA.
//
// GetFileVersionInfoA copies the block into the caller's memory in a layout of our own, so that
// VerQueryValueA can answer from that copy alone, as it does on Windows:
//   "RWvi", total size (DWORD), VS_FIXEDFILEINFO, translation count (DWORD),
//   the translations (language and code page, WORD each),
//   then "<language><code page>\<name>" NUL <value in the ANSI code page> NUL for every value,
//   and a final NUL.
#include "platform/win32.h"
#include "platform/posix/detail/codepage.h"
#include "platform/posix/detail/kernel_object.h"
#include "platform/posix/detail/modules.h"

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <strings.h>

namespace win32::detail {

namespace {

constexpr char kMagic[4] = {'R', 'W', 'v', 'i'};
constexpr std::size_t kFixedOffset = 8;
constexpr std::size_t kTranslationsOffset = kFixedOffset + sizeof(VS_FIXEDFILEINFO) + sizeof(DWORD);

struct VersionState {
    std::mutex lock;
    ReportedVersion version{VER_PLATFORM_WIN32_NT, 10, 0, 19045};
    bool fails = false;
};

VersionState& TheVersionState() {
    static VersionState* state = new VersionState;
    return *state;
}

template <class T>
void Append(std::string& block, const T& value) {
    block.append(reinterpret_cast<const char*>(&value), sizeof value);
}

DWORD Pack(WORD high, WORD low) { return (static_cast<DWORD>(high) << 16) | low; }

std::string Serialise(const rc::VersionBlock& version, bool executable) {
    VS_FIXEDFILEINFO fixed{};
    fixed.dwSignature = 0xFEEF04BD;
    fixed.dwStrucVersion = 0x00010000;
    fixed.dwFileVersionMS = Pack(version.fileVersion[0], version.fileVersion[1]);
    fixed.dwFileVersionLS = Pack(version.fileVersion[2], version.fileVersion[3]);
    fixed.dwProductVersionMS = Pack(version.productVersion[0], version.productVersion[1]);
    fixed.dwProductVersionLS = Pack(version.productVersion[2], version.productVersion[3]);
    fixed.dwFileFlagsMask = 0x3F;
    fixed.dwFileOS = 0x00040004;              // VOS_NT_WINDOWS32
    fixed.dwFileType = executable ? 1 : 2;    // VFT_APP or VFT_DLL

    std::string block(kMagic, sizeof kMagic);
    Append(block, DWORD{0});   // the total size, filled in below
    Append(block, fixed);
    Append(block, static_cast<DWORD>(version.translationCount));
    for (std::size_t i = 0; i < version.translationCount; ++i) {
        Append(block, version.translations[i].language);
        Append(block, version.translations[i].codePage);
    }
    for (std::size_t i = 0; i < version.translationCount; ++i) {
        const rc::VersionTranslation& translation = version.translations[i];
        char key[16];
        std::snprintf(key, sizeof key, "%04x%04x\\", translation.language, translation.codePage);
        for (std::size_t k = 0; k < translation.valueCount; ++k) {
            block += key;
            block += translation.values[k].name;
            block += '\0';
            block += Utf8ToAnsi(translation.values[k].value);
            block += '\0';
        }
    }
    block += '\0';
    DWORD size = static_cast<DWORD>(block.size());
    std::memcpy(&block[sizeof kMagic], &size, sizeof size);
    return block;
}

// The serialised version block of the file, or false with the last error set.
bool VersionBlockOf(LPCSTR fileName, std::string& block) {
    char resolved[PATH_MAX];
    if (fileName == nullptr || realpath(fileName, resolved) == nullptr) {
        SetLastErrorFromErrno(fileName == nullptr ? ENOENT : errno);
        return false;
    }
    for (const auto& [base, table] : AllTables()) {
        if (table->version == nullptr) continue;
        ModuleInfo module{};
        if (FindModuleByBase(base, module) && module.path == resolved) {
            block = Serialise(*table->version, module.executable);
            return true;
        }
    }
    SetLastError(ERROR_RESOURCE_TYPE_NOT_FOUND);
    return false;
}

bool StartsWithNoCase(const char* text, const char* prefix) {
    return strncasecmp(text, prefix, std::strlen(prefix)) == 0;
}

}  // namespace

void SetReportedVersion(const ReportedVersion& version) {
    VersionState& state = TheVersionState();
    std::lock_guard guard(state.lock);
    state.version = version;
}

void SetReportedVersionFails(bool fails) {
    VersionState& state = TheVersionState();
    std::lock_guard guard(state.lock);
    state.fails = fails;
}

}  // namespace win32::detail

namespace win32 {

DWORD GetFileVersionInfoSizeA(LPCSTR fileName, LPDWORD handle) {
    if (handle != nullptr) *handle = 0;
    std::string block;
    return detail::VersionBlockOf(fileName, block) ? static_cast<DWORD>(block.size()) : 0;
}

BOOL GetFileVersionInfoA(LPCSTR fileName, DWORD, DWORD length, LPVOID data) {
    std::string block;
    if (!detail::VersionBlockOf(fileName, block)) return FALSE;
    if (data == nullptr || length < block.size()) {
        SetLastError(ERROR_INSUFFICIENT_BUFFER);
        return FALSE;
    }
    std::memcpy(data, block.data(), block.size());
    return TRUE;
}

BOOL VerQueryValueA(LPCVOID block, LPCSTR subBlock, LPVOID* buffer, UINT* length) {
    using namespace detail;
    if (buffer != nullptr) *buffer = nullptr;
    if (length != nullptr) *length = 0;
    const auto* bytes = static_cast<const char*>(block);
    if (bytes == nullptr || subBlock == nullptr || buffer == nullptr || length == nullptr ||
        std::memcmp(bytes, kMagic, sizeof kMagic) != 0) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    if (std::strcmp(subBlock, "\\") == 0) {
        *buffer = const_cast<char*>(bytes + kFixedOffset);
        *length = sizeof(VS_FIXEDFILEINFO);
        return TRUE;
    }
    DWORD translations;
    std::memcpy(&translations, bytes + kTranslationsOffset - sizeof(DWORD), sizeof translations);
    if (strcasecmp(subBlock, "\\VarFileInfo\\Translation") == 0) {
        *buffer = const_cast<char*>(bytes + kTranslationsOffset);
        *length = translations * 2 * sizeof(WORD);
        return TRUE;
    }
    const char* prefix = "\\StringFileInfo\\";
    if (StartsWithNoCase(subBlock, prefix)) {
        const char* key = subBlock + std::strlen(prefix);
        const char* entry = bytes + kTranslationsOffset + translations * 2 * sizeof(WORD);
        while (*entry != '\0') {
            const char* value = entry + std::strlen(entry) + 1;
            if (strcasecmp(entry, key) == 0) {
                *buffer = const_cast<char*>(value);
                *length = static_cast<UINT>(std::strlen(value) + 1);
                return TRUE;
            }
            entry = value + std::strlen(value) + 1;
        }
    }
    SetLastError(ERROR_RESOURCE_TYPE_NOT_FOUND);
    return FALSE;
}

BOOL GetVersionExA(LPOSVERSIONINFOA info) {
    if (info == nullptr || info->dwOSVersionInfoSize != sizeof(OSVERSIONINFOA)) {
        SetLastError(ERROR_INSUFFICIENT_BUFFER);
        return FALSE;
    }
    detail::VersionState& state = detail::TheVersionState();
    std::lock_guard guard(state.lock);
    if (state.fails) {
        SetLastError(ERROR_NOT_SUPPORTED);
        return FALSE;
    }
    info->dwMajorVersion = state.version.major;
    info->dwMinorVersion = state.version.minor;
    info->dwBuildNumber = state.version.build;
    info->dwPlatformId = state.version.platformId;
    info->szCSDVersion[0] = '\0';
    return TRUE;
}

}  // namespace win32
