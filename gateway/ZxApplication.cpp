#include "gateway/ZxApplication.h"

#include "framework/ModuleHandles.h"
#include "gateway/Railwick.h"
#include "gateway/ZLoconetServer.h"
#include "io/IpAccessList.h"
#include "io/ZLocoBuffer.h"
#include "tray/ZMainWnd.h"
#include "window/HyperLink.h"

ZString g_settingFile;

namespace {

// The tools library writes at most this much, terminator included.
constexpr int SettingFileBufferSize = 260;
// Winsock 1.1.
constexpr WORD WinsockVersion = 0x0101;

int ReadSetting(const char* key, int defaultValue) {
    return static_cast<int>(
        GetPrivateProfileIntA(ZxApplication::SettingsSection, key, defaultValue, g_settingFile));
}

}  // namespace

bool ZxApplication::InitInstance() {
    // A second copy ends quietly: the first one owns the LocoBuffer and the port.
    if (CheckPrevInstance(ZString(InstanceNameStringId))) return true;
    LoadAppName(AppNameStringId);
    RegisterHyperLinkClass(GetInstanceHandle());
    LoadIpLists();

    char* path = g_settingFile.GetBuffer(SettingFileBufferSize);
    Railwick_GetSettingFile(path, SettingFileBufferSize);
    g_settingFile.ReleaseBuffer();

    WSADATA data;
    if (WSAStartup(WinsockVersion, &data) != 0) {
        ShowResourceMessage(WinsockFailedStringId);
        return true;
    }

    if (ReadSetting("DontShowDlgNext", 0) == 0 && Railwick_ShowServerOptionDlg(nullptr) == 0) return false;

    int tcpPort = ReadSetting("TCPPort", DefaultTcpPort);
    int comPort = ReadSetting("ComPort", DefaultComPort);
    RunServer(comPort, tcpPort);
    return true;
}

int ZxApplication::ExitInstance() { return ZApplication::ExitInstance(); }

bool ZxApplication::RunServer(int comPort, int tcpPort) {
    // A port the listener cannot take (the socket layer would silently use the number modulo
    // 65536) and a COM number below 1 are bad parameters, like a port of 0.
    if (comPort < 1 || tcpPort < 1 || tcpPort > 65535) {
        ShowResourceMessage(BadParameterStringId);
        return false;
    }
    {
        ZLocoBuffer device;
        ZLoconetServer server(&device);
        if (!device.Open(comPort)) {
            ShowResourceMessage(ComPortFailedStringId);
            return false;
        }
        if (!server.StartListening(tcpPort)) {
            ShowResourceMessage(ServerFailedStringId);
            return false;
        }
        g_comPort = comPort;
        g_tcpPort = tcpPort;
        StartUIThread();
        server.RunReceiveLoop();
    }
    // The LocoBuffer is gone and the gateway with it; the tray thread still runs.
    EndUIThread();
    return true;
}

void ZxApplication::StartUIThread() { uiThread.Start(0, 0); }

void ZxApplication::EndUIThread() {
    if (uiThread.CloseWindow(TrayCloseTimeout)) return;
    ExitProcess(0);
}

// The one application object of RwServer, constructed before the entry point runs; its
// constructor sets the module handles that the tray window's constructor loads its menu with.
ZxApplication theApplication;
