// The tools library's exported calls.
#include "gateway/Railwick.h"

#include "platform/posix/detail/codepage.h"
#include "toolslib/SettingFile.h"
#include "toolslib/ZSettingsDialog.h"
#include "toolslib/ZTerminalDialog.h"

#include <string>
#include <vector>

namespace {

// The FileVersion of the module's version block, in the ANSI code page; "0.00" when it has none.
std::string VersionText(HINSTANCE module) {
    char path[MAX_PATH] = {};
    if (GetModuleFileNameA(module, path, sizeof path) == 0) return "0.00";
    DWORD unused = 0;
    DWORD size = GetFileVersionInfoSizeA(path, &unused);
    if (size == 0) return "0.00";
    std::vector<char> block(size);
    void* value = nullptr;
    UINT length = 0;
    if (!GetFileVersionInfoA(path, 0, size, block.data()) ||
        !VerQueryValueA(block.data(), "\\VarFileInfo\\Translation", &value, &length) || length < 4)
        return "0.00";
    const WORD* translation = static_cast<const WORD*>(value);
    char name[64];
    wsprintfA(name, "\\StringFileInfo\\%04x%04x\\FileVersion", translation[0], translation[1]);
    if (!VerQueryValueA(block.data(), name, &value, &length) || length == 0) return "0.00";
    return static_cast<const char*>(value);
}

}  // namespace

extern "C" {

int WINAPI Railwick_GetSettingFile(char* buffer, int size) {
    if (buffer == nullptr || size <= 0) return 0;
    lstrcpynA(buffer, SettingFilePath().c_str(), size);
    return lstrlenA(buffer);
}

int WINAPI Railwick_ShowServerOptionDlg(HWND) { return RunSettingsDialog("Railwick Server 接続設定"); }

int WINAPI Railwick_ShowOptionDlg(HWND) { return RunSettingsDialog("Railwick 設定"); }

int WINAPI Railwick_VersionDialog(HWND, HINSTANCE module, const char* name, HICON, int) {
    ZTerminalDialog dialog;
    if (!dialog.Open()) return 0;
    // The name and the version text come in the ANSI code page; the terminal shows UTF-8.
    dialog.Write("\n" + win32::detail::AnsiToUtf8(name != nullptr ? name : "") + "\nバージョン " +
                 win32::detail::AnsiToUtf8(VersionText(module)) + "\n\nEnter キーで閉じます。");
    std::string line;
    dialog.ReadLine(line, 0);
    return 1;
}

}
