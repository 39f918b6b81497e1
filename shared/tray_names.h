// Names the tray button manager shares with the programs around it: the
// window message it broadcasts on a button press, the outside capture
// application it looks for and starts, the log viewer window it writes to,
// its copy-data commands, and its registry values. Plain C++.
#pragma once

namespace qcam {

// The registered window message broadcast on a button press.
constexpr const char* kButtonMessageName = "VUROZIZIVA_BUTTON_MESSAGE_734B3978-4B16-4317-AF2D-DD32BCF067E8";
// wParam of that message for each CameraStatus bit.
constexpr unsigned kButtonMessageStill = 1;     // button state 4 (bit 0x200)
constexpr unsigned kButtonMessageSnapshot = 2;  // button pressed while idle (0x2) or snapshot file ready (0x8)
constexpr unsigned kButtonMessageState2 = 3;    // button state 2 (bit 0x100)

// The outside capture application: its top-level window and where its
// program path is registered (HKLM, the registry view a 32-bit program sees).
constexpr const char* kCaptureAppWindowClass = "__ARCSOFT__MAGICAPP__WINDOW__CLASS__W__";
constexpr const char* kCaptureAppWindowTitle = "ArcSoft WebCam Companion";
constexpr const char* kCaptureAppKey = "Software\\ArcSoft\\WebCam Companion\\3.0\\";
constexpr const char* kCaptureAppPathValue = "AppName";

// The log viewer's window title; the tray sends each line as WM_COPYDATA
// with dwData = the line's level (100 to 103).
constexpr const char* kLogViewerTitle = "QORMsgBox";

// WM_COPYDATA to the tray's main dialog: dwData kTrayCommandId and the text
// kTrayExitCommand end the tray.
constexpr unsigned long kTrayCommandId = 4402;
constexpr const char* kTrayExitCommand = "EXIT";

// The tray's values under HKLM kUserCurrentKey (64-bit view), beside
// CameraStatus: whether the icon shows, and the debug log's level.
constexpr const char* kValueTrayEnabled = "QORTray";
constexpr const char* kValueTrayDebug = "debug";
// CameraStatus bit the tray clears when it is told to exit.
constexpr unsigned kStatusTrayExit = 0x004;

}  // namespace qcam
