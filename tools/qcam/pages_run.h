// qcam pages as a capture application: the camera's property pages opened
// in a COM property frame on the camera's filter, or in the VfW-to-WDM
// mapper's video-source sheet, and the user's actions performed on them.
// Plain C++ types; the implementation includes the Windows headers.
#pragma once

#include <functional>
#include <string>
#include <vector>

namespace qcam_tool {

struct PageAction {
  enum Kind { kClick, kTrackbar, kText, kSelect, kTab, kApply, kOk, kCancel, kOpenFile } kind = kClick;
  int id = 0;          // the control (click, trackbar, text, select)
  int number = 0;      // trackbar position, list row, tab index
  std::string text;    // text to type, or the open-file answer
  std::string source;  // as written, for the report
};
// "click 1113", "trackbar 1179 40", "text 1126 F004", "select 1208 2",
// "tab 1", "apply", "ok", "cancel", "open-file C:\frame.bmp"; false with a
// one-line reason.
bool ParsePageAction(const std::string& text, PageAction* action, std::string* error);

enum class PageHost { kFrame, kVideoSource };
// The pages in the property frame's order (the class table's); the
// video-source sheet has the first three.
enum class PageKind { kCamera, kEffect, kZoom, kCommand };
bool ParsePageKind(const std::string& text, PageKind* kind);

struct PagesRequest {
  PageHost host = PageHost::kFrame;
  PageKind page = PageKind::kCamera;
  std::vector<PageAction> actions;
  std::string outDir;  // pictures page-00.png (as opened), page-01.png (after action 1)...; empty: none
};

// Opens the frame or sheet, shows the page, performs the actions, closes
// with OK unless an action closed it, and tells `say` each line of the
// report as it happens: the property requests the pages send, message
// boxes, pictures written. False with *error when the pages cannot be
// shown or an action cannot be done (the frame is then cancelled).
bool RunPropertyPages(const PagesRequest& request, const std::function<void(const std::string&)>& say,
                      std::string* error);

}  // namespace qcam_tool
