// Names that the tray button manager and the programs around it share: the
// registered button message, the capture application's window and registry
// key, the debug-log viewer's window and the copy-data command id.
#pragma once

namespace qcam {

// Broadcast by the tray after a snapshot-button event; wParam says which.
constexpr const char* kButtonMessageName = "VUROZIZIVA_BUTTON_MESSAGE_734B3978-4B16-4317-AF2D-DD32BCF067E8";
constexpr unsigned kButtonParamState4 = 1;  // button state 4
constexpr unsigned kButtonParamSnapshot = 2;  // a press while idle, or the snapshot file is ready
constexpr unsigned kButtonParamState2 = 3;  // button state 2

// The outside capture application the tray starts and tells.
constexpr const char* kCaptureAppWindowClass = "__ARCSOFT__MAGICAPP__WINDOW__CLASS__W__";
constexpr const char* kCaptureAppWindowTitle = "ArcSoft WebCam Companion";
constexpr const char* kCaptureAppKey = "Software\\ArcSoft\\WebCam Companion\\3.0";
constexpr const char* kCaptureAppPathValue = "AppName";

// The window that receives the tray's debug log as WM_COPYDATA (dwData = level).
constexpr const char* kLogViewerTitle = "QORMsgBox";
constexpr unsigned kLogLevelLowest = 100;
constexpr unsigned kLogLevelHighest = 103;

// WM_COPYDATA dwData of the commands the tray's dialog accepts ("EXIT").
constexpr unsigned kTrayCommandCopyDataId = 4402;

}  // namespace qcam
