// ZString: value, scratch buffer, string-table loading, formatting and file-name replacement.
#include "framework/ZString.h"

#include "framework/ModuleHandles.h"
#include "framework/Paths.h"

#include <algorithm>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <memory>
#include <stdexcept>

namespace {

constexpr int kStringTableBuffer = 10000;

}  // namespace

ZString::ZString(const char* value) : text(value != nullptr ? value : "") {}

ZString::ZString(UINT id) { LoadString(id); }

ZString::ZString(const ZString& other) : text(other.text) {}

ZString::~ZString() { delete[] scratch; }

ZString& ZString::operator=(const char* value) {
    text = value != nullptr ? value : "";
    return *this;
}

ZString& ZString::operator=(const ZString& other) {
    if (this != &other) text = other.text;
    return *this;
}

bool ZString::LoadString(UINT id) {
    std::unique_ptr<char[]> buffer(new char[kStringTableBuffer]);
    if (LoadStringA(GetResourceHandle(), id, buffer.get(), kStringTableBuffer) <= 0) return false;
    text = buffer.get();
    return true;
}

ZString& ZString::Format(const char* format, ...) {
    if (format == nullptr) throw std::invalid_argument("ZString::Format: null format");
    va_list args;
    va_start(args, format);
    va_list measure;
    va_copy(measure, args);
    int length = std::vsnprintf(nullptr, 0, format, measure);
    va_end(measure);
    if (length < 0) {
        va_end(args);
        text.clear();
        return *this;
    }
    // Formatted into a buffer of its own: an outstanding scratch buffer may be smaller.
    const std::size_t size = static_cast<std::size_t>(length) + 10;
    std::unique_ptr<char[]> buffer(new char[size]);
    std::vsnprintf(buffer.get(), size, format, args);
    va_end(args);
    text = buffer.get();
    return *this;
}

char* ZString::GetBuffer(int n) {
    if (n <= 0) n = GetLength();
    if (scratch != nullptr) return scratch;
    scratch = new char[static_cast<std::size_t>(n) + 2]();
    if (n > 0) lstrcpynA(scratch, text.c_str(), std::min(GetLength() + 1, n + 1));
    return scratch;
}

void ZString::ReleaseBuffer() {
    if (scratch == nullptr) return;
    text = scratch;
    delete[] scratch;
    scratch = nullptr;
}

ZString& ZString::ReplaceFileName(const char* fileName) {
    // The path is edited in a MAX_PATH buffer of its own, never in an outstanding scratch buffer,
    // and the file name is appended only as far as it fits, whole characters only.
    char path[MAX_PATH + 2] = {};
    lstrcpynA(path, text.c_str(), MAX_PATH + 1);
    RemoveFileName(path);
    int length = lstrlenA(path);
    for (const char* p = fileName != nullptr ? fileName : ""; *p != '\0';) {
        int width = IsDBCSLeadByte(static_cast<BYTE>(*p)) && p[1] != '\0' ? 2 : 1;
        if (length + width > MAX_PATH) break;
        for (int i = 0; i < width; ++i) path[length++] = *p++;
    }
    path[length] = '\0';
    text = path;
    return *this;
}

ZString operator+(const ZString& left, const ZString& right) {
    ZString result(left);
    result.text += right.text;
    return result;
}
