#include "tray/ZMainWnd.h"

#include "framework/ModuleHandles.h"
#include "framework/ZApplication.h"
#include "framework/ZString.h"
#include "gateway/Railwick.h"
#include "gateway/ZActivityFlag.h"

int g_comPort = 0;
int g_tcpPort = 0;
int g_currentIconId = ZMainWnd::IconUnknown;

ZMainWnd::ZMainWnd() { popupMenu.LoadMenu(PopupMenuId); }

ZMainWnd::~ZMainWnd() { popupMenu.DestroyMenu(); }

HICON ZMainWnd::LoadActivityPicture(int id) {
    // Shared: the shell keeps showing the picture, so it is never destroyed.
    return static_cast<HICON>(LoadImageA(GetApp()->GetHandle(), MAKEINTRESOURCEA(static_cast<WORD>(id)), IMAGE_ICON,
                                         GetSystemMetrics(SM_CXSMICON), GetSystemMetrics(SM_CYSMICON), LR_SHARED));
}

bool ZMainWnd::OnCreate(CREATESTRUCTA*) {
    ZString suffix;
    suffix.Format(ZString(TooltipStringId), g_comPort, g_tcpPort);
    ZString tooltip = GetAppName() + suffix;
    if (!AddTrayIcon(TrayIconId, TrayCallbackMessage, LoadActivityPicture(IconUnknown), tooltip)) return false;
    SetTimer(GetHandle(), ActivityTimerId, ActivityTimerPeriod, nullptr);
    return true;
}

int ZMainWnd::TakeActivityPicture() {
    // Each flag is read in one locked step and cleared in a later one, never both locks at once.
    bool received = ReceiveActivity.IsRaised();
    bool sent = SendActivity.IsRaised();
    SendActivity.Clear();
    ReceiveActivity.Clear();
    if (received) return sent ? IconBoth : IconReceived;
    return sent ? IconSent : IconIdle;
}

void ZMainWnd::OnTimer(UINT_PTR id) {
    if (id != ActivityTimerId) return;
    int picture = TakeActivityPicture();
    // The shell is called only when the picture changes.
    if (picture == g_currentIconId) return;
    g_currentIconId = picture;
    ModifyTrayIcon(TrayIconId, LoadActivityPicture(picture), nullptr);
}

void ZMainWnd::OnTrayNotify(WPARAM, LPARAM lParam) {
    if (lParam != WM_LBUTTONUP && lParam != WM_RBUTTONUP) return;
    if (dialogOpen) {
        MessageBeep(0);
        return;
    }
    ZMenu* commands = popupMenu.GetSubMenu(0);
    if (commands != nullptr) ShowPopupMenu(commands->GetHandle(), TPM_RIGHTBUTTON);
}

void ZMainWnd::OnCommand(UINT id, UINT) {
    switch (id) {
        case CmdExit: Close(); break;
        case CmdVersion: ShowVersion(); break;
        case CmdConnectionSettings: ShowConnectionSettings(); break;
        default: break;
    }
}

void ZMainWnd::ShowVersion() {
    dialogOpen = true;
    HICON icon = LoadIconA(GetApp()->GetHandle(), MAKEINTRESOURCEA(ProgramIconId));
    Railwick_VersionDialog(GetHandle(), GetInstanceHandle(), GetAppName(), icon, 0);
    dialogOpen = false;
}

void ZMainWnd::ShowConnectionSettings() {
    dialogOpen = true;
    // The running server keeps its ports; the person is told that changes wait for the next start.
    if (Railwick_ShowServerOptionDlg(GetHandle()) != 0) ShowResourceMessage(SettingsChangedStringId);
    dialogOpen = false;
}

void ZMainWnd::OnDestroy() { PostQuitMessage(0); }
