// The settings editor on the terminal: ComPort, TCPPort and DontShowDlgNext of section "Server".
#pragma once

#include <string>

struct ZServerSettings {
    int comPort;
    int tcpPort;
    int dontShowDlgNext;
};

// Runs the editor under the title. Non-zero when the person confirmed and the values are
// written, or when there is no terminal (the settings stand as they are, nothing is written);
// 0 when cancelled or when writing failed.
int RunSettingsDialog(const std::string& title);

// Writes the three keys into the file in one replacement: the file is copied to a temporary
// file beside it, the keys are written into the copy, and the copy is synced and renamed over
// the file. Everything else in the file is kept. On failure the file is unchanged, the
// temporary file is removed and reason tells why.
bool SaveServerSettings(const std::string& path, const ZServerSettings& settings, std::string& reason);
