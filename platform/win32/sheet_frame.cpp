// The frame window of property sheets and property frames.
#include "platform/win32/sheet_frame.h"

#include <algorithm>

#include <commctrl.h>

#include "platform/win32/dialog_manager.h"
#include "platform/win32/dialog_template.h"
#include "platform/win32/text.h"

namespace platform {
namespace win32 {
namespace {

// Dialog units of the frame's layout: margins of 7, buttons of 50 x 14
// spaced by 4, as Windows lays out its property sheets.
constexpr int kMargin = 7;
constexpr int kButtonWidth = 50;
constexpr int kButtonHeight = 14;
constexpr int kButtonGap = 4;

class TemplateWriter {
 public:
  void Put16(uint16_t v) {
    bytes.push_back(uint8_t(v));
    bytes.push_back(uint8_t(v >> 8));
  }
  void Put32(uint32_t v) {
    Put16(uint16_t(v));
    Put16(uint16_t(v >> 16));
  }
  // A zero-terminated UTF-16 string.
  void PutText(const std::wstring& text) {
    for (wchar_t c : text) {
      const uint32_t u = uint32_t(c);
      if (u >= 0x10000) {
        Put16(uint16_t(0xD800 + ((u - 0x10000) >> 10)));
        Put16(uint16_t(0xDC00 + ((u - 0x10000) & 0x3FF)));
      } else {
        Put16(uint16_t(u));
      }
    }
    Put16(0);
  }
  void Align() {
    while (bytes.size() % 4) bytes.push_back(0);
  }
  void Item(DWORD style, int id, const std::wstring& cls, const std::wstring& title) {
    Align();
    Put32(0);  // help id
    Put32(0);  // extended style
    Put32(style | WS_CHILD | WS_VISIBLE);
    for (int i = 0; i < 4; ++i) Put16(0);  // placed by LayOutFrame
    Put32(DWORD(id));
    PutText(cls);
    PutText(title);
    Put16(0);  // no creation data
  }
  std::vector<uint8_t> bytes;
};

}  // namespace

std::vector<uint8_t> BuildFrameTemplate(const FrameLayout& layout) {
  TemplateWriter w;
  const WORD count = WORD(3 + (layout.applyButton ? 1 : 0) + (layout.helpButton ? 1 : 0));
  w.Put16(1);
  w.Put16(0xFFFF);
  w.Put32(0);                                                 // help id
  w.Put32(WS_EX_DLGMODALFRAME | WS_EX_CONTROLPARENT);         // extended style
  w.Put32(DS_SETFONT | DS_MODALFRAME | DS_3DLOOK | WS_POPUP | WS_CAPTION | WS_SYSMENU | (layout.centred ? DS_CENTER : 0));
  w.Put16(count);
  for (int i = 0; i < 4; ++i) w.Put16(i < 2 ? 0 : 100);      // resized by LayOutFrame
  w.Put16(0);                                                 // no menu
  w.Put16(0);                                                 // the dialog class
  w.PutText(layout.caption);
  w.Put16(8);
  w.Put16(FW_NORMAL);
  w.bytes.push_back(0);                                       // not italic
  w.bytes.push_back(DEFAULT_CHARSET);
  w.PutText(L"MS Shell Dlg");
  w.Item(WS_TABSTOP | WS_CLIPSIBLINGS, kTabControlId, L"SysTabControl32", L"");
  w.Item(WS_TABSTOP | BS_DEFPUSHBUTTON, IDOK, L"Button", L"OK");
  w.Item(WS_TABSTOP | BS_PUSHBUTTON, IDCANCEL, L"Button", L"Cancel");
  if (layout.applyButton) w.Item(WS_TABSTOP | WS_DISABLED | BS_PUSHBUTTON, kApplyButtonId, L"Button", L"&Apply");
  if (layout.helpButton) w.Item(WS_TABSTOP | BS_PUSHBUTTON, IDHELP, L"Button", L"Help");
  return w.bytes;
}

RECT LayOutFrame(HWND frame, SIZE page) {
  int baseX = 6, baseY = 13;
  DialogUnits(frame, &baseX, &baseY);
  const int marginX = MulDivRound(kMargin, baseX, 4), marginY = MulDivRound(kMargin, baseY, 8);
  const int buttonW = MulDivRound(kButtonWidth, baseX, 4), buttonH = MulDivRound(kButtonHeight, baseY, 8);
  const int gap = MulDivRound(kButtonGap, baseX, 4);

  HWND tab = GetDlgItem(frame, kTabControlId);
  RECT tabRect = {0, 0, page.cx, page.cy};
  SendMessageA(tab, TCM_ADJUSTRECT, TRUE, reinterpret_cast<LPARAM>(&tabRect));
  const int tabW = tabRect.right - tabRect.left, tabH = tabRect.bottom - tabRect.top;
  MoveWindow(tab, marginX, marginY, tabW, tabH, FALSE);

  // The buttons right-aligned under the tab control: OK, Cancel, Apply, Help.
  std::vector<HWND> buttons;
  for (int id : {IDOK, IDCANCEL, kApplyButtonId, IDHELP})
    if (HWND b = GetDlgItem(frame, id)) buttons.push_back(b);
  const int rowY = marginY + tabH + marginY;
  int x = marginX + tabW - int(buttons.size()) * buttonW - int(buttons.size() - 1) * gap;
  for (HWND b : buttons) {
    MoveWindow(b, x, rowY, buttonW, buttonH, FALSE);
    x += buttonW + gap;
  }

  RECT client = {0, 0, marginX + tabW + marginX, rowY + buttonH + marginY};
  RECT outer = client;
  AdjustWindowRectEx(&outer, DWORD(GetWindowLongA(frame, GWL_STYLE)), FALSE,
                     DWORD(GetWindowLongA(frame, GWL_EXSTYLE)));
  RECT now;
  GetWindowRect(frame, &now);
  const int width = outer.right - outer.left, height = outer.bottom - outer.top;
  // A centred frame stays centred at its new size.
  int left = now.left, top = now.top;
  if (GetWindowLongA(frame, GWL_STYLE) & DS_CENTER) {
    left = (GetSystemMetrics(SM_CXSCREEN) - width) / 2;
    top = (GetSystemMetrics(SM_CYSCREEN) - height) / 2;
  }
  MoveWindow(frame, std::max(left, 0), std::max(top, 0), width, height, FALSE);

  RECT display;
  GetWindowRect(tab, &display);
  MapWindowPoints(nullptr, frame, reinterpret_cast<POINT*>(&display), 2);
  SendMessageA(tab, TCM_ADJUSTRECT, FALSE, reinterpret_cast<LPARAM>(&display));
  return display;
}

bool TemplateSize(const uint8_t* data, size_t size, SIZE* pixels) {
  DialogTemplate t;
  if (!ParseDialogTemplate(data, size, &t)) return false;
  int baseX = 8, baseY = 16;
  if (t.hasFont) DialogBaseUnitsOf(Utf16ToAnsi(t.faceName), t.pointSize, &baseX, &baseY);
  pixels->cx = MulDivRound(t.cx, baseX, 4);
  pixels->cy = MulDivRound(t.cy, baseY, 8);
  return true;
}

}  // namespace win32
}  // namespace platform
