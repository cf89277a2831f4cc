// The profile functions: an INI file read into lines, looked up and edited with the Windows rules,
// and written back whole through a temporary file beside it.
//
// Lines are kept exactly as they stand, line ends included, so that an edit changes only the
// lines it is about. Writers in this process take one lock for the read-modify-write of a file,
// so that two threads setting different keys do not lose each other's change.
#include "platform/win32.h"
#include "platform/posix/detail/kernel_object.h"

#include <atomic>
#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
#include <mutex>
#include <string>
#include <string_view>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace win32::detail {

namespace {

constexpr std::string_view kBlanks = " \t\r\n";

std::string_view Trim(std::string_view text) {
    std::size_t first = text.find_first_not_of(kBlanks);
    if (first == std::string_view::npos) return text.substr(text.size());   // empty, still inside text
    std::size_t last = text.find_last_not_of(kBlanks);
    return text.substr(first, last - first + 1);
}

char FoldAscii(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

// Case-blind for ASCII letters only; both bytes of a double-byte character compare exactly, since
// a trail byte may look like a letter.
bool SameName(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (IsDBCSLeadByte(static_cast<BYTE>(a[i])) && i + 1 < a.size()) {
            if (a[i] != b[i] || a[i + 1] != b[i + 1]) return false;
            ++i;
        } else if (FoldAscii(a[i]) != FoldAscii(b[i])) {
            return false;
        }
    }
    return true;
}

enum class LineKind { Other, Section, Key };

// The name and value are kept as places in the text rather than views, since moving a short
// string moves its characters.
struct Line {
    std::string text;   // with its line end
    LineKind kind = LineKind::Other;
    std::size_t nameAt = 0, nameLength = 0;     // section or key name
    std::size_t valueAt = 0, valueLength = 0;   // a key's value

    std::string_view Name() const { return std::string_view(text).substr(nameAt, nameLength); }
    std::string_view Value() const { return std::string_view(text).substr(valueAt, valueLength); }
};

class Profile {
public:
    // False when the file exists but cannot be read (errno set); a missing file is empty.
    bool Load(const char* path, bool& exists);
    // The first line of the key in a section of that name; null when there is none.
    const Line* Find(std::string_view section, std::string_view key) const;
    // The edits: each returns whether the text changed.
    bool Set(std::string_view section, std::string_view key, std::string_view value);
    bool DeleteKey(std::string_view section, std::string_view key);
    bool DeleteSection(std::string_view section);
    std::string Text() const;

private:
    void Parse(const std::string& text);
    static Line Classify(std::string text);
    void Rebuild(std::vector<std::string> texts);
    std::string LineEnd() const;
    // The section each line belongs to (the line itself for a header); npos before the first.
    std::vector<std::size_t> Owners() const;

    std::vector<Line> lines;
};

Line Profile::Classify(std::string text) {
    Line line;
    line.text = std::move(text);
    std::string_view body = Trim(line.text);
    // Editors that save UTF-8 put a byte-order mark before the first line; it is not part of it.
    if (body.starts_with("\xEF\xBB\xBF")) body = Trim(body.substr(3));
    if (body.empty() || body[0] == ';') return line;
    auto place = [&](std::string_view part, std::size_t& at, std::size_t& length) {
        at = static_cast<std::size_t>(part.data() - line.text.data());
        length = part.size();
    };
    if (body[0] == '[') {
        std::size_t close = body.find(']');
        line.kind = LineKind::Section;
        place(Trim(body.substr(1, close == std::string_view::npos ? std::string_view::npos : close - 1)),
              line.nameAt, line.nameLength);
        return line;
    }
    std::size_t equals = body.find('=');
    if (equals == std::string_view::npos) return line;
    line.kind = LineKind::Key;
    place(Trim(body.substr(0, equals)), line.nameAt, line.nameLength);
    place(Trim(body.substr(equals + 1)), line.valueAt, line.valueLength);
    return line;
}

void Profile::Parse(const std::string& text) {
    std::vector<std::string> texts;
    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t end = text.find('\n', start);
        end = end == std::string::npos ? text.size() : end + 1;
        texts.push_back(text.substr(start, end - start));
        start = end;
    }
    Rebuild(std::move(texts));
}

void Profile::Rebuild(std::vector<std::string> texts) {
    lines.clear();
    lines.reserve(texts.size());
    for (std::string& text : texts) lines.push_back(Classify(std::move(text)));
}

bool Profile::Load(const char* path, bool& exists) {
    exists = false;
    int fd = open(path, O_RDONLY | O_CLOEXEC);
    if (fd < 0) return errno == ENOENT;
    exists = true;
    std::string text;
    char chunk[4096];
    for (;;) {
        ssize_t n = read(fd, chunk, sizeof chunk);
        if (n > 0) {
            text.append(chunk, static_cast<std::size_t>(n));
        } else if (n == 0) {
            break;
        } else if (errno != EINTR) {
            int error = errno;
            close(fd);
            errno = error;
            return false;
        }
    }
    close(fd);
    Parse(text);
    return true;
}

std::vector<std::size_t> Profile::Owners() const {
    std::vector<std::size_t> owners(lines.size(), std::string::npos);
    std::size_t current = std::string::npos;
    for (std::size_t i = 0; i < lines.size(); ++i) {
        if (lines[i].kind == LineKind::Section) current = i;
        owners[i] = current;
    }
    return owners;
}

const Line* Profile::Find(std::string_view section, std::string_view key) const {
    std::vector<std::size_t> owners = Owners();
    for (std::size_t i = 0; i < lines.size(); ++i) {
        if (lines[i].kind != LineKind::Key || owners[i] == std::string::npos) continue;
        if (SameName(lines[owners[i]].Name(), section) && SameName(lines[i].Name(), key)) return &lines[i];
    }
    return nullptr;
}

std::string Profile::LineEnd() const {
    // New lines follow the file's own convention, taken from its first line.
    if (!lines.empty() && lines[0].text.size() >= 2 && lines[0].text.ends_with("\r\n")) return "\r\n";
    return "\n";
}

bool Profile::Set(std::string_view section, std::string_view key, std::string_view value) {
    const std::string end = LineEnd();
    const std::string entry = std::string(key) + "=" + std::string(value) + end;
    std::vector<std::size_t> owners = Owners();
    std::vector<std::string> texts;
    for (const Line& line : lines) texts.push_back(line.text);

    // The first line of the key is rewritten; the end of the first section of the name, after its
    // last non-blank line, takes a new key.
    std::size_t firstSection = std::string::npos;
    std::size_t insertAt = std::string::npos;
    for (std::size_t i = 0; i < lines.size(); ++i) {
        if (owners[i] == std::string::npos || !SameName(lines[owners[i]].Name(), section)) continue;
        if (lines[i].kind == LineKind::Key && SameName(lines[i].Name(), key)) {
            if (lines[i].Value() == value && lines[i].text.ends_with('\n')) return false;
            texts[i] = entry;
            Rebuild(std::move(texts));
            return true;
        }
        if (firstSection == std::string::npos) firstSection = owners[i];
        if (owners[i] == firstSection && !Trim(lines[i].text).empty()) insertAt = i + 1;
    }
    // A last line without its line end must get one before anything follows it.
    auto terminate = [&](std::size_t before) {
        if (before > 0 && !texts[before - 1].ends_with('\n')) texts[before - 1] += end;
    };
    if (insertAt != std::string::npos) {
        terminate(insertAt);
        texts.insert(texts.begin() + static_cast<std::ptrdiff_t>(insertAt), entry);
    } else {
        terminate(texts.size());
        if (!texts.empty() && !Trim(texts.back()).empty()) texts.push_back(end);
        texts.push_back("[" + std::string(section) + "]" + end);
        texts.push_back(entry);
    }
    Rebuild(std::move(texts));
    return true;
}

bool Profile::DeleteKey(std::string_view section, std::string_view key) {
    std::vector<std::size_t> owners = Owners();
    std::vector<std::string> texts;
    bool changed = false;
    for (std::size_t i = 0; i < lines.size(); ++i) {
        bool inSection = owners[i] != std::string::npos && SameName(lines[owners[i]].Name(), section);
        if (inSection && lines[i].kind == LineKind::Key && SameName(lines[i].Name(), key)) {
            changed = true;   // every copy goes, so that no shadowed duplicate comes to light
            continue;
        }
        texts.push_back(lines[i].text);
    }
    if (changed) Rebuild(std::move(texts));
    return changed;
}

bool Profile::DeleteSection(std::string_view section) {
    std::vector<std::size_t> owners = Owners();
    std::vector<std::string> texts;
    bool changed = false;
    for (std::size_t i = 0; i < lines.size(); ++i) {
        if (owners[i] != std::string::npos && SameName(lines[owners[i]].Name(), section)) {
            changed = true;
            continue;
        }
        texts.push_back(lines[i].text);
    }
    if (changed) Rebuild(std::move(texts));
    return changed;
}

std::string Profile::Text() const {
    std::string text;
    for (const Line& line : lines) text += line.text;
    return text;
}

std::string DirectoryOf(const std::string& path) {
    std::size_t slash = path.rfind('/');
    if (slash == std::string::npos) return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

bool WriteAll(int fd, const std::string& text) {
    std::size_t done = 0;
    while (done < text.size()) {
        ssize_t n = write(fd, text.data() + done, text.size() - done);
        if (n > 0) done += static_cast<std::size_t>(n);
        else if (n < 0 && errno != EINTR) return false;
    }
    return true;
}

// Writes the text to a new file beside the target, syncs it and renames it over the target, so
// that a reader sees the old file or the new one and a crash or a full disk leaves the old one.
// False with errno set; the temporary file is gone then.
bool ReplaceFile(const std::string& path, const std::string& text, bool exists) {
    static std::atomic<unsigned> counter{0};
    std::size_t slash = path.rfind('/');
    std::string temporary = path.substr(0, slash == std::string::npos ? 0 : slash + 1) + "." +
                            path.substr(slash == std::string::npos ? 0 : slash + 1) + ".tmp" +
                            std::to_string(getpid()) + "-" + std::to_string(counter.fetch_add(1));
    int fd = open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd < 0) return false;
    struct stat original {};
    bool ok = (!exists || stat(path.c_str(), &original) != 0 || fchmod(fd, original.st_mode & 07777) == 0) &&
              WriteAll(fd, text) && fsync(fd) == 0;
    int error = errno;
    if (close(fd) != 0 && ok) {
        ok = false;
        error = errno;
    }
    if (ok && rename(temporary.c_str(), path.c_str()) != 0) {
        ok = false;
        error = errno;
    }
    if (!ok) {
        unlink(temporary.c_str());
        errno = error;
        return false;
    }
    // The rename itself lasts only once the directory is on disk too.
    int directory = open(DirectoryOf(path).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (directory >= 0) {
        fsync(directory);
        close(directory);
    }
    return true;
}

std::mutex& WriteLock() {
    static std::mutex* lock = new std::mutex;
    return *lock;
}

// The file's real path, so that writing through a symbolic link replaces the file it names and
// keeps the link.
std::string TargetOf(const char* fileName) {
    char resolved[4096];
    if (realpath(fileName, resolved) != nullptr) return resolved;
    return fileName;
}

}  // namespace

}  // namespace win32::detail

namespace win32 {

DWORD GetPrivateProfileStringA(LPCSTR section, LPCSTR key, LPCSTR defaultValue, LPSTR buffer, DWORD size,
                               LPCSTR fileName) {
    if (buffer == nullptr || size == 0) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    std::string value;
    DWORD error = ERROR_FILE_NOT_FOUND;
    detail::Profile profile;
    bool exists = false;
    if (section != nullptr && key != nullptr && fileName != nullptr && profile.Load(fileName, exists)) {
        if (const detail::Line* line = profile.Find(section, key)) {
            value = line->Value();
            error = ERROR_SUCCESS;
        }
    }
    if (error != ERROR_SUCCESS && defaultValue != nullptr) {
        std::string_view fallback = defaultValue;
        std::size_t last = fallback.find_last_not_of(' ');
        value = last == std::string_view::npos ? std::string() : std::string(fallback.substr(0, last + 1));
    }
    std::size_t stored = value.size() < size ? value.size() : size - 1;
    value.copy(buffer, stored);
    buffer[stored] = '\0';
    SetLastError(error);
    return static_cast<DWORD>(stored);
}

UINT GetPrivateProfileIntA(LPCSTR section, LPCSTR key, int defaultValue, LPCSTR fileName) {
    char text[64];
    if (GetPrivateProfileStringA(section, key, "", text, sizeof text, fileName) == 0)
        return static_cast<UINT>(defaultValue);
    const char* p = text;
    bool negative = *p == '-';
    if (negative) ++p;
    // Unsigned arithmetic wraps, as the 32-bit result does on Windows for values that do not fit.
    UINT number = 0;
    for (; *p >= '0' && *p <= '9'; ++p) number = number * 10 + static_cast<UINT>(*p - '0');
    return negative ? 0u - number : number;
}

BOOL WritePrivateProfileStringA(LPCSTR section, LPCSTR key, LPCSTR value, LPCSTR fileName) {
    if (section == nullptr || fileName == nullptr || *fileName == '\0') {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    std::lock_guard guard(detail::WriteLock());
    const std::string path = detail::TargetOf(fileName);
    detail::Profile profile;
    bool exists = false;
    if (!profile.Load(path.c_str(), exists)) {
        detail::SetLastErrorFromErrno(errno);
        return FALSE;
    }
    bool changed = key == nullptr     ? profile.DeleteSection(section)
                   : value == nullptr ? profile.DeleteKey(section, key)
                                      : profile.Set(section, key, value);
    if (changed && !detail::ReplaceFile(path, profile.Text(), exists)) {
        // Windows names a missing folder on the way as a missing path.
        if (errno == ENOENT) SetLastError(ERROR_PATH_NOT_FOUND);
        else detail::SetLastErrorFromErrno(errno);
        return FALSE;
    }
    SetLastError(ERROR_SUCCESS);
    return TRUE;
}

}  // namespace win32
