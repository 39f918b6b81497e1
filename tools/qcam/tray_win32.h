// The Win32 side of a tray run: what qcam does as a program among the PC's
// programs while the tray runs. Plain C++ types, so that the commands (which
// also hold the kernel side of the PC) can call it; the implementation
// includes the Windows headers.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "platform/machine/window_tree.h"

namespace qcam_tool {
namespace tray_win32 {

// The tray dialog's caption, by which other programs find it.
constexpr const char* kTrayDialogCaption = "Qorvane System Tray";
// The tray menu's command ids.
constexpr int kMenuExit = 32798;
constexpr int kMenu50Hz = 32780;
constexpr int kMenu60Hz = 32781;

// A hidden top-level window of this thread that registered ButtonMessage;
// `onBroadcast` gets the wParam of every ButtonMessage that reaches it
// while this thread pumps. False with a reason.
bool CreateWatcherWindow(std::function<void(uint64_t wParam)> onBroadcast, std::string* error);
void DestroyWatcherWindow();
// Handles every message waiting for this thread's windows.
void PumpMessages();

// The tray's dialog exists.
bool TrayDialogExists();
// Sends WM_COPYDATA with dwData 4402 and the text "EXIT" (without its zero)
// to the tray's dialog; false when there is none.
bool SendTrayExit(std::string* error);

// The notification area holds an icon.
bool TrayIconShown();
// Scripts `command` as the choice of the next popup menu and right-clicks
// the first icon of the notification area; false when there is none.
bool ClickTrayMenu(int command, std::string* error);
// Called on the tray's thread for every popup menu it shows: the menu's
// picture and its items as one line ("[x]" checked, "(gray)" grayed).
void SetMenuObserver(std::function<void(const platform::WindowPicture& picture, const std::string& items)> observer);

// The capture application's window exists / is asked to close (WM_CLOSE,
// posted behind whatever it was told before).
bool CaptureAppWindowExists();
bool CloseCaptureApp();
// The same for the log viewer's window.
bool ViewerWindowExists();
bool CloseViewer();

}  // namespace tray_win32
}  // namespace qcam_tool
