// ZxApplication: RwServer's application object. Its start-up reads the settings, opens the
// LocoBuffer, starts the TCP listener and the user-interface thread, and runs the gateway on the
// main thread until the LocoBuffer fails.
#pragma once

#include "framework/ZApplication.h"
#include "framework/ZString.h"
#include "tray/ZUIThread.h"

// Full path of the settings file; empty until start-up asks the tools library.
extern ZString g_settingFile;

class ZxApplication : public ZApplication {
public:
    // String-table entries of the start-up.
    static constexpr UINT AppNameStringId = 101;
    static constexpr UINT InstanceNameStringId = 102;
    static constexpr UINT WinsockFailedStringId = 103;
    static constexpr UINT BadParameterStringId = 104;
    static constexpr UINT ComPortFailedStringId = 105;
    static constexpr UINT ServerFailedStringId = 106;

    // Settings: section "Server" of the settings file, with the defaults of a first start.
    static constexpr const char* SettingsSection = "Server";
    static constexpr int DefaultTcpPort = 9851;
    static constexpr int DefaultComPort = 1;

    // How long the tray window may take to close and end the process when the LocoBuffer has
    // gone; a modal dialog may keep it from doing so.
    static constexpr DWORD TrayCloseTimeout = 2000;

    ZxApplication() = default;
    ~ZxApplication() override = default;

    // The whole life of the server; true lets the framework end the process with exit code 0,
    // false (settings dialog cancelled) ends it at once.
    bool InitInstance() override;
    int ExitInstance() override;

    // Builds and runs the gateway until the LocoBuffer fails; false when it could not start.
    bool RunServer(int comPort, int tcpPort);

private:
    void StartUIThread();
    // Asks the tray window to close on its own thread, which removes the icon and ends the
    // process; ends it here if that does not happen in time.
    void EndUIThread();

    ZUIThread uiThread;
};
