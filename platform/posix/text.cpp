// ANSI text functions and the code-page conversions behind LoadStringA and the texts shown to a
// person. The conversions use the C library's iconv, which knows the Windows code pages by the
// names "CP932", "CP1252", ...
#include "platform/win32.h"
#include "platform/posix/detail/codepage.h"

#include <atomic>
#include <cerrno>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <iconv.h>

namespace win32::detail {

namespace {

constexpr UINT kUtf8CodePage = 65001;

std::atomic<UINT> g_ansiCodePage{932};

std::string IconvName(UINT codePage) {
    return codePage == kUtf8CodePage ? std::string("UTF-8") : "CP" + std::to_string(codePage);
}

// One character of the source: a whole UTF-8 sequence, or one byte (two for a lead byte) of the
// ANSI code page.
std::size_t CharacterWidth(const std::string& text, std::size_t at, bool utf8) {
    std::size_t width = 1;
    if (utf8) {
        while (at + width < text.size() && (static_cast<unsigned char>(text[at + width]) & 0xC0) == 0x80) ++width;
    } else if (win32::IsDBCSLeadByte(static_cast<BYTE>(text[at])) && at + 1 < text.size()) {
        width = 2;
    }
    return width;
}

std::string Convert(UINT fromPage, UINT toPage, const std::string& input) {
    std::string output;
    iconv_t converter = iconv_open(IconvName(toPage).c_str(), IconvName(fromPage).c_str());
    if (converter == reinterpret_cast<iconv_t>(-1)) {
        // A code page that the C library does not know keeps only its ASCII characters.
        for (char c : input) output += (static_cast<unsigned char>(c) < 0x80) ? c : '?';
        return output;
    }
    char* in = const_cast<char*>(input.data());
    std::size_t inLeft = input.size();
    char chunk[256];
    while (inLeft > 0) {
        char* out = chunk;
        std::size_t outLeft = sizeof chunk;
        std::size_t result = iconv(converter, &in, &inLeft, &out, &outLeft);
        output.append(chunk, out - chunk);
        // E2BIG only asks for another round with an empty chunk.
        if (result == static_cast<std::size_t>(-1) && errno != E2BIG) {
            std::size_t skip = CharacterWidth(input, input.size() - inLeft, fromPage == kUtf8CodePage);
            output += '?';
            in += skip;
            inLeft -= skip;
            iconv(converter, nullptr, nullptr, nullptr, nullptr);
        }
    }
    iconv_close(converter);
    return output;
}

}  // namespace

UINT AnsiCodePage() { return g_ansiCodePage.load(std::memory_order_relaxed); }

void SetAnsiCodePage(UINT codePage) { g_ansiCodePage.store(codePage, std::memory_order_relaxed); }

std::string Utf8ToAnsi(const std::string& utf8) { return Convert(kUtf8CodePage, AnsiCodePage(), utf8); }

std::string AnsiToUtf8(const std::string& ansi) { return Convert(AnsiCodePage(), kUtf8CodePage, ansi); }

}  // namespace win32::detail

namespace win32 {

BOOL IsDBCSLeadByte(BYTE byte) {
    if (detail::AnsiCodePage() != 932) return FALSE;
    return (byte >= 0x81 && byte <= 0x9F) || (byte >= 0xE0 && byte <= 0xFC);
}

LPSTR lstrcpynA(LPSTR destination, LPCSTR source, int maxLength) {
    if (destination == nullptr || source == nullptr) return nullptr;
    if (maxLength <= 0) return destination;
    int i = 0;
    for (; i < maxLength - 1 && source[i] != '\0'; ++i) destination[i] = source[i];
    destination[i] = '\0';
    return destination;
}

LPSTR lstrcpyA(LPSTR destination, LPCSTR source) {
    if (destination == nullptr || source == nullptr) return nullptr;
    return std::strcpy(destination, source);
}

LPSTR lstrcatA(LPSTR destination, LPCSTR source) {
    if (destination == nullptr || source == nullptr) return nullptr;
    return std::strcat(destination, source);
}

int lstrlenA(LPCSTR text) { return text == nullptr ? 0 : static_cast<int>(std::strlen(text)); }

int wsprintfA(LPSTR buffer, LPCSTR format, ...) {
    constexpr int kLimit = 1024;
    va_list args;
    va_start(args, format);
    int length = std::vsnprintf(buffer, kLimit, format, args);
    va_end(args);
    if (length < 0) {
        buffer[0] = '\0';
        return 0;
    }
    return length < kLimit ? length : kLimit - 1;
}

}  // namespace win32
