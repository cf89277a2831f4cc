// The settings editor: the three fields, their checks, the confirmation and the atomic save.
#include "toolslib/ZSettingsDialog.h"

#include "toolslib/SettingFile.h"
#include "toolslib/ZTerminalDialog.h"

#include <atomic>
#include <cstdarg>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr const char* kSection = "Server";

struct Field {
    const char* key;
    int defaultValue;
    int minimum;
    int maximum;
};

constexpr Field kComPort{"ComPort", 1, 1, 256};
constexpr Field kTcpPort{"TCPPort", 9851, 1, 65535};
constexpr Field kDontShow{"DontShowDlgNext", 0, 0, 1};

std::string Format(const char* format, ...) __attribute__((format(printf, 1, 2)));
std::string Format(const char* format, ...) {
    char text[1024];
    va_list arguments;
    va_start(arguments, format);
    std::vsnprintf(text, sizeof text, format, arguments);
    va_end(arguments);
    return text;
}

// The device that COM<n> opens: the same rule as the serial layer's CreateFileA.
std::string ComDevice(int n) {
    std::string variable = "RW_COM" + std::to_string(n);
    if (const char* path = std::getenv(variable.c_str()); path != nullptr && *path != '\0') return path;
    return "/dev/ttyS" + std::to_string(n - 1);
}

std::string Trim(const std::string& text) {
    std::size_t first = text.find_first_not_of(' ');
    if (first == std::string::npos) return "";
    return text.substr(first, text.find_last_not_of(' ') - first + 1);
}

// The number the text holds: false when it is not all decimal digits. Long texts count as too
// large rather than overflowing.
bool ParseNumber(const std::string& text, long& number) {
    if (text.empty() || text.find_first_not_of("0123456789") != std::string::npos) return false;
    number = text.size() > 9 ? LONG_MAX : std::strtol(text.c_str(), nullptr, 10);
    return true;
}

std::string RangeText(const Field& field) { return Format("%d〜%d の数値を入力してください。", field.minimum, field.maximum); }

class SettingsEditor {
public:
    SettingsEditor(ZTerminalDialog& dialog, const std::string& path) : dialog(dialog), path(path) {}
    int Run(const std::string& title);

private:
    int Load(const Field& field) const {
        return static_cast<int>(GetPrivateProfileIntA(kSection, field.key, field.defaultValue, path.c_str()));
    }
    // Asks for a number in the field's range until one is given; Enter keeps the current value.
    bool AskNumber(const Field& field, const std::string& prompt, int& value);
    bool AskDontShow(int& value);
    bool Confirm(bool& save);
    // All the questions in turn; false when the person cancelled.
    bool Ask(bool& save);
    std::string Summary() const;

    ZTerminalDialog& dialog;
    const std::string path;
    ZServerSettings settings{};
};

bool SettingsEditor::AskNumber(const Field& field, const std::string& prompt, int& value) {
    for (;;) {
        dialog.Write(prompt);
        std::string line;
        if (!dialog.ReadLine(line)) return false;
        line = Trim(line);
        long number = value;
        if (line.empty()) {
            if (value >= field.minimum && value <= field.maximum) return true;
            dialog.Write(Format("  現在の値 %d は範囲外です。", value) + RangeText(field) + "\n");
            continue;
        }
        if (!ParseNumber(line, number)) {
            dialog.Write("  「" + line + "」は数値ではありません。" + RangeText(field) + "\n");
            continue;
        }
        if (number < field.minimum || number > field.maximum) {
            dialog.Write("  " + line + " は範囲外です。" + RangeText(field) + "\n");
            continue;
        }
        value = static_cast<int>(number);
        return true;
    }
}

bool SettingsEditor::AskDontShow(int& value) {
    for (;;) {
        dialog.Write(Format("起動時にこのダイアログを表示しない (1/y: 表示しない, 0/n: 表示する) [%d]: ", value));
        std::string line;
        if (!dialog.ReadLine(line)) return false;
        line = Trim(line);
        if (line.empty() && (value == 0 || value == 1)) return true;
        if (line == "0" || line == "n" || line == "N" || line == "no") {
            value = 0;
            return true;
        }
        if (line == "1" || line == "y" || line == "Y" || line == "yes") {
            value = 1;
            return true;
        }
        if (line.empty()) dialog.Write(Format("  現在の値 %d は使えません。", value));
        else dialog.Write("  「" + line + "」は使えません。");
        dialog.Write("0 か 1 (または n か y) を入力してください。\n");
    }
}

std::string SettingsEditor::Summary() const {
    return Format("\n  COMポート番号: %d (%s)\n  TCPポート番号: %d\n  起動時にこのダイアログを表示しない: %d (%s)\n",
                  settings.comPort, ComDevice(settings.comPort).c_str(), settings.tcpPort, settings.dontShowDlgNext,
                  settings.dontShowDlgNext != 0 ? "表示しない" : "表示する");
}

bool SettingsEditor::Confirm(bool& save) {
    for (;;) {
        dialog.Write("保存しますか? [Y/n]: ");
        std::string line;
        if (!dialog.ReadLine(line)) return false;
        line = Trim(line);
        if (line.empty() || line == "y" || line == "Y" || line == "yes") {
            save = true;
            return true;
        }
        if (line == "n" || line == "N" || line == "no") {
            save = false;
            return true;
        }
        dialog.Write("  「" + line + "」には答えられません。y か n を入力してください。\n");
    }
}

bool SettingsEditor::Ask(bool& save) {
    const std::string comPrompt =
        Format("COMポート番号 (1〜256) [%d: %s]: ", settings.comPort, ComDevice(settings.comPort).c_str());
    if (!AskNumber(kComPort, comPrompt, settings.comPort)) return false;
    dialog.Write(Format("  COM%d は %s を開きます。\n", settings.comPort, ComDevice(settings.comPort).c_str()));
    if (!AskNumber(kTcpPort, Format("TCPポート番号 (1〜65535) [%d]: ", settings.tcpPort), settings.tcpPort))
        return false;
    if (!AskDontShow(settings.dontShowDlgNext)) return false;
    dialog.Write(Summary());
    return Confirm(save);
}

int SettingsEditor::Run(const std::string& title) {
    settings = {Load(kComPort), Load(kTcpPort), Load(kDontShow)};
    dialog.Write("\n" + title + "\n設定ファイル: " + path +
                 "\nEnter で現在の値のまま進みます。Ctrl-C で取り消します。\n\n");
    bool save = false;
    bool answered = Ask(save);
    if (!answered || !save) {
        dialog.Write("設定は変更されていません。\n");
        return 0;
    }
    std::string reason;
    if (!SaveServerSettings(path, settings, reason)) {
        dialog.Write("設定を保存できませんでした (" + reason + "): " + path + "\n元のファイルは変更されていません。\n");
        return 0;
    }
    dialog.Write("設定を保存しました: " + path + "\n");
    return 1;
}

std::string DirectoryOf(const std::string& path) {
    std::size_t slash = path.rfind('/');
    if (slash == std::string::npos) return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

// Copies the file's bytes to the descriptor; a missing file copies nothing.
bool CopyInto(const std::string& path, int out) {
    int in = open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (in < 0) return errno == ENOENT;
    char chunk[4096];
    bool ok = true;
    for (;;) {
        ssize_t n = read(in, chunk, sizeof chunk);
        if (n == 0) break;
        if (n < 0) {
            if (errno == EINTR) continue;
            ok = false;
            break;
        }
        for (ssize_t done = 0; done < n;) {
            ssize_t w = write(out, chunk + done, static_cast<std::size_t>(n - done));
            if (w < 0 && errno == EINTR) continue;
            if (w <= 0) {
                ok = false;
                break;
            }
            done += w;
        }
        if (!ok) break;
    }
    int error = errno;
    close(in);
    errno = error;
    return ok;
}

bool SyncFile(const std::string& path) {
    int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return false;
    bool ok = fsync(fd) == 0;
    int error = errno;
    close(fd);
    errno = error;
    return ok;
}

}  // namespace

int RunSettingsDialog(const std::string& title) {
    ZTerminalDialog dialog;
    // Without a person to ask, the settings stand as they are.
    if (!dialog.Open()) return 1;
    const std::string path = SettingFilePath();
    if (path.empty()) {
        dialog.Write("設定ファイルの場所が分かりません (HOME も XDG_CONFIG_HOME も設定されていません)。\n");
        return 0;
    }
    return SettingsEditor(dialog, path).Run(title);
}

bool SaveServerSettings(const std::string& path, const ZServerSettings& settings, std::string& reason) {
    static std::atomic<unsigned> counter{0};
    // Through a symbolic link the file it names is replaced, not the link.
    char resolved[PATH_MAX];
    const std::string target = realpath(path.c_str(), resolved) != nullptr ? std::string(resolved) : path;
    const std::string folder = DirectoryOf(target);
    const std::string temporary = folder + "/." + target.substr(target.rfind('/') + 1) + ".saving" +
                                  std::to_string(getpid()) + "-" + std::to_string(counter.fetch_add(1));
    auto fail = [&](const std::string& why) {
        reason = why;
        unlink(temporary.c_str());
        return false;
    };

    int out = open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (out < 0) {
        reason = std::strerror(errno);
        return false;
    }
    struct stat original {};
    bool copied = (stat(target.c_str(), &original) != 0 || fchmod(out, original.st_mode & 07777) == 0) &&
                  CopyInto(target, out);
    int error = errno;
    if (close(out) != 0 && copied) {
        copied = false;
        error = errno;
    }
    if (!copied) return fail(std::strerror(error));

    const std::pair<const char*, int> keys[] = {
        {kComPort.key, settings.comPort}, {kTcpPort.key, settings.tcpPort}, {kDontShow.key, settings.dontShowDlgNext}};
    for (const auto& [key, value] : keys) {
        if (!WritePrivateProfileStringA(kSection, key, std::to_string(value).c_str(), temporary.c_str()))
            return fail(Format("書き込みエラー %u", static_cast<unsigned>(GetLastError())));
    }
    if (!SyncFile(temporary) || rename(temporary.c_str(), target.c_str()) != 0) return fail(std::strerror(errno));
    // The rename lasts only once the folder is on disk too.
    SyncFile(folder);
    return true;
}
