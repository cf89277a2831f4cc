// Cursors and icons, the system metrics and the system colours of the simulated display.
//
// An icon handle stands for one picture of an icon group of a module's resource table; nothing
// is decoded beyond the group's directory, which says which pictures there are. The system
// cursors are shared pictures of no module. One lock guards the pictures, the cache of shared
// pictures and the current cursor.
#include "platform/win32.h"
#include "platform/testing.h"
#include "platform/posix/detail/gdi.h"
#include "platform/posix/detail/modules.h"

#include <cstdlib>
#include <iterator>
#include <map>
#include <mutex>
#include <tuple>
#include <unordered_map>

namespace win32 {

namespace {

constexpr UINT kArrowId = 32512;
constexpr UINT kHandId = 32649;
constexpr int kIconSize = 32;
constexpr int kSmallIconSize = 16;

struct PictureState {
    std::mutex lock;
    std::uintptr_t nextSerial = 1;
    std::unordered_map<std::uintptr_t, detail::PictureOrigin> pictures;
    // Shared pictures by module, icon group and picture of the group (cursor groups: module 0).
    std::map<std::tuple<std::uintptr_t, UINT, std::size_t>, std::uintptr_t> shared;
    HCURSOR current = nullptr;
    bool handAbsent = false;   // as on systems before Windows 2000
};

PictureState& State() {
    // Never destroyed: shared pictures stay valid for the life of the process.
    static PictureState* state = new PictureState;
    return *state;
}

// One picture listed in an .ico file's directory.
struct GroupEntry {
    int width;
    int height;
    int depth;   // bits per pixel
};

unsigned ReadLittleEndian(const BYTE* at, int bytes) {
    unsigned value = 0;
    for (int i = bytes - 1; i >= 0; --i) value = (value << 8) | at[i];
    return value;
}

// The directory of an .ico file: ICONDIR (reserved 0, type 1, count), then one 16-byte
// ICONDIRENTRY per picture (width, height, colours, reserved, planes, bits, size, offset).
// False when it is no icon file or a picture lies outside the data.
bool ParseGroup(const rc::IconResource& icon, std::vector<GroupEntry>& entries) {
    constexpr std::size_t kDirSize = 6;
    constexpr std::size_t kEntrySize = 16;
    if (icon.data == nullptr || icon.size < kDirSize) return false;
    if (ReadLittleEndian(icon.data, 2) != 0 || ReadLittleEndian(icon.data + 2, 2) != 1) return false;
    const std::size_t count = ReadLittleEndian(icon.data + 4, 2);
    if (count == 0 || icon.size < kDirSize + count * kEntrySize) return false;
    for (std::size_t i = 0; i < count; ++i) {
        const BYTE* entry = icon.data + kDirSize + i * kEntrySize;
        const std::size_t bytes = ReadLittleEndian(entry + 8, 4);
        const std::size_t offset = ReadLittleEndian(entry + 12, 4);
        if (offset > icon.size || bytes > icon.size - offset) return false;
        // A width or height byte of 0 means 256 pixels.
        const int width = entry[0] == 0 ? 256 : entry[0];
        const int height = entry[1] == 0 ? 256 : entry[1];
        int depth = static_cast<int>(ReadLittleEndian(entry + 6, 2));
        if (depth == 0) {
            // Older files give the colour count only (0 for 256 colours and more).
            const int colours = entry[2];
            depth = colours == 0 ? 8 : 0;
            while ((1 << depth) < colours) ++depth;
        }
        entries.push_back({width, height, depth});
    }
    return true;
}

// The picture closest to the size asked; of pictures equally close, the larger one (scaling
// down looks better than up), then the one with more colours.
std::size_t ChoosePicture(const std::vector<GroupEntry>& entries, int width, int height) {
    std::size_t best = 0;
    auto distance = [&](const GroupEntry& e) { return std::abs(e.width - width) + std::abs(e.height - height); };
    for (std::size_t i = 1; i < entries.size(); ++i) {
        const GroupEntry& candidate = entries[i];
        const GroupEntry& chosen = entries[best];
        const auto candidateRank = std::make_tuple(-distance(candidate), candidate.width * candidate.height, candidate.depth);
        const auto chosenRank = std::make_tuple(-distance(chosen), chosen.width * chosen.height, chosen.depth);
        if (candidateRank > chosenRank) best = i;
    }
    return best;
}

bool IsIntResource(LPCSTR name) { return (reinterpret_cast<std::uintptr_t>(name) >> 16) == 0; }

UINT IdOf(LPCSTR name) { return static_cast<UINT>(reinterpret_cast<std::uintptr_t>(name)); }

// The caller holds the lock.
HICON Insert(PictureState& state, const detail::PictureOrigin& origin, std::size_t picture) {
    const auto key = std::make_tuple(origin.module, origin.resourceId, picture);
    if (origin.shared) {
        auto it = state.shared.find(key);
        if (it != state.shared.end()) return reinterpret_cast<HICON>(it->second);
    }
    const std::uintptr_t value = detail::ObjectValue(detail::ObjectKind::Picture, state.nextSerial++);
    state.pictures.emplace(value, origin);
    if (origin.shared) state.shared.emplace(key, value);
    return reinterpret_cast<HICON>(value);
}

HICON LoadIconGroup(HINSTANCE instance, LPCSTR name, int width, int height, bool shared) {
    if (instance == nullptr || !IsIntResource(name)) {
        // The simulated system has no icons of its own, and resources are named by number only.
        SetLastError(ERROR_RESOURCE_NAME_NOT_FOUND);
        return nullptr;
    }
    const std::uintptr_t module = reinterpret_cast<std::uintptr_t>(instance);
    const rc::IconResource* group = nullptr;
    bool anyIcons = false;
    for (const rc::Table* table : detail::TablesOf(module)) {
        for (std::size_t i = 0; i < table->iconCount && group == nullptr; ++i) {
            anyIcons = true;
            if (table->icons[i].id == IdOf(name)) group = &table->icons[i];
        }
    }
    if (group == nullptr) {
        SetLastError(anyIcons ? ERROR_RESOURCE_NAME_NOT_FOUND : ERROR_RESOURCE_TYPE_NOT_FOUND);
        return nullptr;
    }
    std::vector<GroupEntry> entries;
    if (!ParseGroup(*group, entries)) {
        SetLastError(ERROR_RESOURCE_DATA_NOT_FOUND);
        return nullptr;
    }
    const std::size_t picture = ChoosePicture(entries, width, height);
    const detail::PictureOrigin origin{module, IdOf(name), entries[picture].width, entries[picture].height, shared, false};
    PictureState& state = State();
    std::lock_guard guard(state.lock);
    return Insert(state, origin, picture);
}

// DestroyCursor and DestroyIcon: a shared picture stays valid.
BOOL DestroyPicture(HICON picture, DWORD invalidError) {
    PictureState& state = State();
    std::lock_guard guard(state.lock);
    auto it = state.pictures.find(reinterpret_cast<std::uintptr_t>(picture));
    if (it == state.pictures.end()) {
        SetLastError(invalidError);
        return FALSE;
    }
    if (!it->second.shared) state.pictures.erase(it);
    return TRUE;
}

}  // namespace

HCURSOR LoadCursorA(HINSTANCE instance, LPCSTR name) {
    if (instance != nullptr) {
        // Modules carry no cursors here.
        SetLastError(ERROR_RESOURCE_TYPE_NOT_FOUND);
        return nullptr;
    }
    if (!IsIntResource(name) || (IdOf(name) != kArrowId && IdOf(name) != kHandId)) {
        SetLastError(ERROR_RESOURCE_NAME_NOT_FOUND);
        return nullptr;
    }
    PictureState& state = State();
    std::lock_guard guard(state.lock);
    if (IdOf(name) == kHandId && state.handAbsent) {
        SetLastError(ERROR_RESOURCE_NAME_NOT_FOUND);
        return nullptr;
    }
    return Insert(state, {0, IdOf(name), kIconSize, kIconSize, true, true}, 0);
}

HCURSOR SetCursor(HCURSOR cursor) {
    PictureState& state = State();
    std::lock_guard guard(state.lock);
    if (cursor != nullptr && state.pictures.count(reinterpret_cast<std::uintptr_t>(cursor)) == 0) {
        SetLastError(ERROR_INVALID_CURSOR_HANDLE);
        return nullptr;
    }
    HCURSOR previous = state.current;
    state.current = cursor;
    return previous;
}

BOOL DestroyCursor(HCURSOR cursor) { return DestroyPicture(cursor, ERROR_INVALID_CURSOR_HANDLE); }

HICON LoadIconA(HINSTANCE instance, LPCSTR name) {
    return LoadIconGroup(instance, name, kIconSize, kIconSize, true);
}

HANDLE LoadImageA(HINSTANCE instance, LPCSTR name, UINT type, int width, int height, UINT flags) {
    if (type != IMAGE_ICON || width < 0 || height < 0) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    return LoadIconGroup(instance, name, width == 0 ? kIconSize : width, height == 0 ? kIconSize : height,
                         (flags & LR_SHARED) != 0);
}

BOOL DestroyIcon(HICON icon) { return DestroyPicture(icon, ERROR_INVALID_ICON_HANDLE); }

int GetSystemMetrics(int index) {
    switch (index) {
        case SM_CXICON:
        case SM_CYICON: return kIconSize;
        case SM_CXSMICON:
        case SM_CYSMICON: return kSmallIconSize;
        default: return 0;
    }
}

DWORD GetSysColor(int index) {
    // The classic (Windows Standard) scheme, by COLOR_ index; unknown indices give 0 as on Windows.
    static const COLORREF kClassic[] = {
        RGB(192, 192, 192),   // 0 scroll bar
        RGB(0, 128, 128),     // 1 desktop
        RGB(0, 0, 128),       // 2 active caption
        RGB(128, 128, 128),   // 3 inactive caption
        RGB(192, 192, 192),   // 4 menu
        RGB(255, 255, 255),   // 5 window
        RGB(0, 0, 0),         // 6 window frame
        RGB(0, 0, 0),         // 7 menu text
        RGB(0, 0, 0),         // 8 window text
        RGB(255, 255, 255),   // 9 caption text
        RGB(192, 192, 192),   // 10 active border
        RGB(192, 192, 192),   // 11 inactive border
        RGB(128, 128, 128),   // 12 application workspace
        RGB(0, 0, 128),       // 13 highlight
        RGB(255, 255, 255),   // 14 highlight text
        RGB(192, 192, 192),   // 15 button face
        RGB(128, 128, 128),   // 16 button shadow
        RGB(128, 128, 128),   // 17 grey text
        RGB(0, 0, 0),         // 18 button text
        RGB(192, 192, 192),   // 19 inactive caption text
        RGB(255, 255, 255),   // 20 button highlight
        RGB(0, 0, 0),         // 21 3-D dark shadow
        RGB(192, 192, 192),   // 22 3-D light
        RGB(0, 0, 0),         // 23 tooltip text
        RGB(255, 255, 225),   // 24 tooltip background
    };
    if (index < 0 || static_cast<std::size_t>(index) >= std::size(kClassic)) return 0;
    return kClassic[index];
}

}  // namespace win32

namespace win32::detail {

bool DescribePicture(HICON picture, PictureOrigin& origin) {
    PictureState& state = State();
    std::lock_guard guard(state.lock);
    auto it = state.pictures.find(reinterpret_cast<std::uintptr_t>(picture));
    if (it == state.pictures.end()) return false;
    origin = it->second;
    return true;
}

}  // namespace win32::detail

win32::HCURSOR RwTestCurrentCursor() {
    win32::PictureState& state = win32::State();
    std::lock_guard guard(state.lock);
    return state.current;
}

bool RwTestDescribePicture(win32::HICON picture, RwTestPicture& description) {
    win32::detail::PictureOrigin origin{};
    if (!win32::detail::DescribePicture(picture, origin)) return false;
    description = {reinterpret_cast<win32::HMODULE>(origin.module), origin.resourceId, origin.width, origin.height,
                   origin.shared, origin.cursor};
    return true;
}

int RwTestIconsAlive() {
    win32::PictureState& state = win32::State();
    std::lock_guard guard(state.lock);
    int alive = 0;
    for (const auto& [value, origin] : state.pictures) alive += origin.shared ? 0 : 1;
    return alive;
}

void RwTestSetHandCursorAbsent(bool absent) {
    win32::PictureState& state = win32::State();
    std::lock_guard guard(state.lock);
    state.handAbsent = absent;
}

void RwTestResetCursors() {
    win32::PictureState& state = win32::State();
    std::lock_guard guard(state.lock);
    state.current = nullptr;
    state.handAbsent = false;
}
