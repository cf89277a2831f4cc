// Recording device contexts, fonts and the stock system font.
//
// Nothing is rasterised: a device context holds its colours, background mode and selected font,
// and DrawTextA records what would be drawn with them, for tests to read. A font deleted while a
// device context still has it selected stays alive, drawing as before, until it is deselected
// or its device context goes; the deletion is recorded, since on Windows it is a leak or worse.
// One lock guards fonts, device contexts and the records.
#include "platform/win32.h"
#include "platform/testing.h"
#include "platform/posix/detail/codepage.h"
#include "platform/posix/detail/gdi.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <mutex>
#include <unordered_map>
#include <utility>

namespace win32 {

namespace {

constexpr COLORREF kInvalidColor = 0xFFFFFFFF;   // CLR_INVALID
// Tests read the most recent records; a long-running program must not grow without bound.
constexpr std::size_t kRecordLimit = 10000;

struct Font {
    LOGFONTA logFont;
    bool stock;
    bool deleted;   // DeleteObject was called while it was selected
};

struct DeviceContext {
    HWND window;
    COLORREF backgroundColor = RGB(255, 255, 255);
    COLORREF textColor = RGB(0, 0, 0);
    int backgroundMode = OPAQUE;
    std::uintptr_t font;
};

struct GdiState {
    std::mutex lock;
    std::uintptr_t nextSerial = 1;
    std::uintptr_t systemFont = 0;
    std::unordered_map<std::uintptr_t, Font> fonts;
    std::unordered_map<std::uintptr_t, DeviceContext> dcs;
    std::deque<RwTestDrawing> drawings;
};

GdiState& State() {
    // Never destroyed: stock objects stay valid for the life of the process.
    static GdiState* state = new GdiState;
    return *state;
}

std::uintptr_t NewValue(GdiState& state, detail::ObjectKind kind) { return detail::ObjectValue(kind, state.nextSerial++); }

// The System font, whose character set follows the ANSI code page.
LOGFONTA SystemLogFont() {
    LOGFONTA font{};
    font.lfHeight = 16;
    font.lfWidth = 7;
    font.lfWeight = 700;
    font.lfCharSet = detail::AnsiCodePage() == 932 ? 128 : 0;   // SHIFTJIS_CHARSET, ANSI_CHARSET
    std::strcpy(font.lfFaceName, "System");
    return font;
}

// The caller holds the lock.
std::uintptr_t SystemFont(GdiState& state) {
    if (state.systemFont == 0) {
        state.systemFont = NewValue(state, detail::ObjectKind::Font);
        state.fonts.emplace(state.systemFont, Font{SystemLogFont(), true, false});
    }
    return state.systemFont;
}

// The caller holds the lock.
LOGFONTA LogFontOf(const Font& font) { return font.stock ? SystemLogFont() : font.logFont; }

// A live font that the program may still use; null for deleted ones. The caller holds the lock.
Font* FindFont(GdiState& state, HGDIOBJ object) {
    auto it = state.fonts.find(reinterpret_cast<std::uintptr_t>(object));
    return it == state.fonts.end() || it->second.deleted ? nullptr : &it->second;
}

DeviceContext* FindDC(GdiState& state, HDC dc) {
    auto it = state.dcs.find(reinterpret_cast<std::uintptr_t>(dc));
    if (it == state.dcs.end()) {
        SetLastError(ERROR_INVALID_HANDLE);
        return nullptr;
    }
    return &it->second;
}

bool IsSelected(const GdiState& state, std::uintptr_t font) {
    for (const auto& [value, dc] : state.dcs) {
        if (dc.font == font) return true;
    }
    return false;
}

// Frees a deleted font once no device context has it selected. The caller holds the lock.
void CollectFont(GdiState& state, std::uintptr_t font) {
    auto it = state.fonts.find(font);
    if (it != state.fonts.end() && it->second.deleted && !IsSelected(state, font)) state.fonts.erase(it);
}

// The caller holds the lock.
void Record(GdiState& state, RwTestDrawing drawing) {
    if (state.drawings.size() == kRecordLimit) state.drawings.pop_front();
    state.drawings.push_back(std::move(drawing));
}

RwTestDrawing Snapshot(GdiState& state, RwTestDrawKind kind, HDC handle, const DeviceContext& dc) {
    RwTestDrawing drawing{kind, handle, dc.window, {}, {}, 0, dc.textColor, dc.backgroundColor, dc.backgroundMode, {}};
    auto font = state.fonts.find(dc.font);
    if (font != state.fonts.end()) drawing.font = LogFontOf(font->second);
    return drawing;
}

// The caller holds the lock.
BOOL Release(GdiState& state, HDC handle) {
    auto it = state.dcs.find(reinterpret_cast<std::uintptr_t>(handle));
    if (it == state.dcs.end()) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    const std::uintptr_t font = it->second.font;
    state.dcs.erase(it);
    CollectFont(state, font);
    return TRUE;
}

}  // namespace

HGDIOBJ GetStockObject(int object) {
    if (object != SYSTEM_FONT) return nullptr;
    GdiState& state = State();
    std::lock_guard guard(state.lock);
    return reinterpret_cast<HGDIOBJ>(SystemFont(state));
}

int GetObjectA(HGDIOBJ object, int size, LPVOID buffer) {
    GdiState& state = State();
    std::lock_guard guard(state.lock);
    Font* font = FindFont(state, object);
    if (font == nullptr) {
        SetLastError(ERROR_INVALID_HANDLE);
        return 0;
    }
    if (buffer == nullptr) return sizeof(LOGFONTA);
    if (size <= 0) return 0;
    const LOGFONTA logFont = LogFontOf(*font);
    const std::size_t copied = std::min(static_cast<std::size_t>(size), sizeof logFont);
    std::memcpy(buffer, &logFont, copied);
    return static_cast<int>(copied);
}

HFONT CreateFontIndirectA(const LOGFONTA* font) {
    if (font == nullptr) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    GdiState& state = State();
    std::lock_guard guard(state.lock);
    const std::uintptr_t value = NewValue(state, detail::ObjectKind::Font);
    state.fonts.emplace(value, Font{*font, false, false});
    return reinterpret_cast<HFONT>(value);
}

HGDIOBJ SelectObject(HDC dc, HGDIOBJ object) {
    GdiState& state = State();
    std::lock_guard guard(state.lock);
    DeviceContext* context = FindDC(state, dc);
    if (context == nullptr) return nullptr;
    if (FindFont(state, object) == nullptr) {
        SetLastError(ERROR_INVALID_HANDLE);
        return nullptr;
    }
    const std::uintptr_t previous = context->font;
    context->font = reinterpret_cast<std::uintptr_t>(object);
    CollectFont(state, previous);
    return reinterpret_cast<HGDIOBJ>(previous);
}

BOOL DeleteObject(HGDIOBJ object) {
    GdiState& state = State();
    std::lock_guard guard(state.lock);
    Font* font = FindFont(state, object);
    if (font == nullptr) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    if (font->stock) return TRUE;
    const std::uintptr_t value = reinterpret_cast<std::uintptr_t>(object);
    font->deleted = true;
    for (const auto& [handle, dc] : state.dcs) {
        if (dc.font == value) {
            Record(state, Snapshot(state, RwTestDrawKind::SelectedFontDeleted, reinterpret_cast<HDC>(handle), dc));
        }
    }
    CollectFont(state, value);
    return TRUE;
}

BOOL DeleteDC(HDC dc) {
    GdiState& state = State();
    std::lock_guard guard(state.lock);
    return Release(state, dc);
}

COLORREF SetBkColor(HDC dc, COLORREF color) {
    GdiState& state = State();
    std::lock_guard guard(state.lock);
    DeviceContext* context = FindDC(state, dc);
    if (context == nullptr) return kInvalidColor;
    return std::exchange(context->backgroundColor, color);
}

int SetBkMode(HDC dc, int mode) {
    GdiState& state = State();
    std::lock_guard guard(state.lock);
    DeviceContext* context = FindDC(state, dc);
    if (context == nullptr) return 0;
    if (mode != TRANSPARENT && mode != OPAQUE) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    return std::exchange(context->backgroundMode, mode);
}

COLORREF SetTextColor(HDC dc, COLORREF color) {
    GdiState& state = State();
    std::lock_guard guard(state.lock);
    DeviceContext* context = FindDC(state, dc);
    if (context == nullptr) return kInvalidColor;
    return std::exchange(context->textColor, color);
}

int DrawTextA(HDC dc, LPCSTR text, int count, LPRECT rect, UINT format) {
    if (text == nullptr || rect == nullptr || count < -1) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    GdiState& state = State();
    std::lock_guard guard(state.lock);
    DeviceContext* context = FindDC(state, dc);
    if (context == nullptr) return 0;
    RwTestDrawing drawing = Snapshot(state, RwTestDrawKind::Text, dc, *context);
    drawing.text.assign(text, count == -1 ? std::strlen(text) : static_cast<std::size_t>(count));
    drawing.rect = *rect;
    drawing.format = format;
    const int height = drawing.font.lfHeight == 0 ? 16 : std::abs(drawing.font.lfHeight);
    Record(state, std::move(drawing));
    return height;
}

}  // namespace win32

namespace win32::detail {

HDC CreatePaintDC(HWND window) {
    GdiState& state = State();
    std::lock_guard guard(state.lock);
    DeviceContext dc{};
    dc.window = window;
    dc.font = SystemFont(state);
    const std::uintptr_t value = NewValue(state, ObjectKind::DeviceContext);
    state.dcs.emplace(value, dc);
    return reinterpret_cast<HDC>(value);
}

void ReleasePaintDC(HDC dc) {
    GdiState& state = State();
    std::lock_guard guard(state.lock);
    Release(state, dc);
}

}  // namespace win32::detail

std::vector<RwTestDrawing> RwTestDrawingsOf(win32::HWND window) {
    win32::GdiState& state = win32::State();
    std::lock_guard guard(state.lock);
    std::vector<RwTestDrawing> found;
    for (const RwTestDrawing& drawing : state.drawings) {
        if (drawing.window == window) found.push_back(drawing);
    }
    return found;
}

std::vector<RwTestDrawing> RwTestDrawingsOn(win32::HDC dc) {
    win32::GdiState& state = win32::State();
    std::lock_guard guard(state.lock);
    std::vector<RwTestDrawing> found;
    for (const RwTestDrawing& drawing : state.drawings) {
        if (drawing.dc == dc) found.push_back(drawing);
    }
    return found;
}

win32::HDC RwTestCreateDC() { return win32::detail::CreatePaintDC(nullptr); }

int RwTestFontsAlive() {
    win32::GdiState& state = win32::State();
    std::lock_guard guard(state.lock);
    int alive = 0;
    for (const auto& [value, font] : state.fonts) alive += font.stock ? 0 : 1;
    return alive;
}

void RwTestResetDrawing() {
    win32::GdiState& state = win32::State();
    std::lock_guard guard(state.lock);
    state.drawings.clear();
}
