// Property sheets: CreatePropertySheetPage, DestroyPropertySheetPage and
// PropertySheet, with the sheet's page activation, the PSN_* notifications
// to its pages, the PSM_* messages and the OK / Cancel / Apply buttons.
#include <algorithm>
#include <map>
#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <vector>

#include <commctrl.h>
#include <prsht.h>

#include "platform/win32/dialog_manager.h"
#include "platform/win32/dialog_template.h"
#include "platform/win32/modal_hooks.h"
#include "platform/win32/resources.h"
#include "platform/win32/sheet_frame.h"
#include "platform/win32/text.h"
#include "platform/win32/window_manager.h"

namespace platform {
namespace win32 {
namespace {

// --- Pages --------------------------------------------------------------------

// An HPROPSHEETPAGE: a copy of the caller's PROPSHEETPAGE (all dwSize bytes,
// so that data a program appends travels with it), and the page's dialog
// once the sheet has made it.
struct SheetPage {
  bool unicode = false;
  std::vector<uint8_t> copy;
  HWND dialog = nullptr;

  // The A and W records have the same layout; only their strings differ.
  PROPSHEETPAGEA* A() { return reinterpret_cast<PROPSHEETPAGEA*>(copy.data()); }
  PROPSHEETPAGEW* W() { return reinterpret_cast<PROPSHEETPAGEW*>(copy.data()); }
  DWORD Flags() { return A()->dwFlags; }

  UINT Callback(UINT message) {
    if (!(Flags() & PSP_USECALLBACK)) return 1;
    if (unicode) return W()->pfnCallback ? W()->pfnCallback(nullptr, message, W()) : 1;
    return A()->pfnCallback ? A()->pfnCallback(nullptr, message, A()) : 1;
  }
  bool Template(const uint8_t** data, size_t* size) {
    if (Flags() & PSP_DLGINDIRECT) {
      *data = reinterpret_cast<const uint8_t*>(A()->pResource);
      const size_t known = ResourceBytesFrom(*data);
      *size = known ? known : size_t(1) << 20;
      return *data != nullptr;
    }
    return unicode ? FindDialogTemplate(A()->hInstance, nullptr, W()->pszTemplate, data, size)
                   : FindDialogTemplate(A()->hInstance, A()->pszTemplate, nullptr, data, size);
  }
  // PSP_USETITLE's title (a string or a string resource), else the caption
  // of the page's template.
  std::string Title() {
    if (Flags() & PSP_USETITLE) {
      if (unicode ? IS_INTRESOURCE(W()->pszTitle) : IS_INTRESOURCE(A()->pszTitle)) {
        char text[256];
        LoadStringA(A()->hInstance, UINT(reinterpret_cast<ULONG_PTR>(A()->pszTitle)), text, sizeof text);
        return text;
      }
      return unicode ? WideToAnsiText(WideOrEmpty(W()->pszTitle)) : AnsiOrEmpty(A()->pszTitle);
    }
    const uint8_t* data = nullptr;
    size_t size = 0;
    DialogTemplate t;
    if (Template(&data, &size) && ParseDialogTemplate(data, size, &t)) return Utf16ToAnsi(t.title);
    return std::string();
  }
};

struct PageTable {
  std::mutex lock;
  std::set<SheetPage*> live;
};
PageTable& P() {
  static PageTable* t = new PageTable;
  return *t;
}

SheetPage* PageOf(HPROPSHEETPAGE handle) {
  PageTable& t = P();
  std::lock_guard<std::mutex> hold(t.lock);
  SheetPage* page = reinterpret_cast<SheetPage*>(handle);
  return t.live.count(page) ? page : nullptr;
}

HPROPSHEETPAGE CreatePage(const void* psp, bool unicode) {
  const PROPSHEETPAGEA* given = static_cast<const PROPSHEETPAGEA*>(psp);
  if (!given || given->dwSize < DWORD(PROPSHEETPAGEA_V1_SIZE) || given->dwSize > 0x10000) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  auto page = new SheetPage;
  page->unicode = unicode;
  page->copy.assign(std::max<size_t>(given->dwSize, sizeof(PROPSHEETPAGEA)), 0);
  std::memcpy(page->copy.data(), given, given->dwSize);
  {
    PageTable& t = P();
    std::lock_guard<std::mutex> hold(t.lock);
    t.live.insert(page);
  }
  if ((page->Flags() & PSP_USEREFPARENT) && page->A()->pcRefParent) ++*page->A()->pcRefParent;
  page->Callback(PSPCB_ADDREF);
  return reinterpret_cast<HPROPSHEETPAGE>(page);
}

bool DestroyPage(HPROPSHEETPAGE handle) {
  SheetPage* page = PageOf(handle);
  if (!page) return false;
  {
    PageTable& t = P();
    std::lock_guard<std::mutex> hold(t.lock);
    t.live.erase(page);
  }
  if (page->dialog && IsWindow(page->dialog)) DestroyWindow(page->dialog);
  page->Callback(PSPCB_RELEASE);
  if ((page->Flags() & PSP_USEREFPARENT) && page->A()->pcRefParent) --*page->A()->pcRefParent;
  delete page;
  return true;
}

// --- The sheet ------------------------------------------------------------------

struct Sheet {
  HWND hwnd = nullptr;
  HWND tab = nullptr;
  DWORD flags = 0;
  std::vector<HPROPSHEETPAGE> pages;
  int current = -1;
  RECT display = {0, 0, 0, 0};
  std::set<HWND> changed;
  bool applied = false;
  bool closed = false;
  INT_PTR result = 0;
};
typedef std::shared_ptr<Sheet> SheetPtr;

struct SheetTable {
  std::mutex lock;
  std::map<HWND, SheetPtr> sheets;
};
SheetTable& S() {
  static SheetTable* t = new SheetTable;
  return *t;
}

SheetPtr SheetOf(HWND hwnd) {
  SheetTable& t = S();
  std::lock_guard<std::mutex> hold(t.lock);
  auto it = t.sheets.find(hwnd);
  return it == t.sheets.end() ? nullptr : it->second;
}

HWND PageWindow(Sheet& sheet, int index) {
  if (index < 0 || size_t(index) >= sheet.pages.size()) return nullptr;
  SheetPage* page = PageOf(sheet.pages[size_t(index)]);
  return page ? page->dialog : nullptr;
}

LRESULT NotifyPage(Sheet& sheet, int index, UINT code, LPARAM param) {
  HWND page = PageWindow(sheet, index);
  if (!page) return 0;
  PSHNOTIFY note;
  note.hdr.hwndFrom = sheet.hwnd;
  note.hdr.idFrom = 0;
  note.hdr.code = code;
  note.lParam = param;
  return SendMessageA(page, WM_NOTIFY, 0, reinterpret_cast<LPARAM>(&note));
}

// Makes the page's dialog the first time it is shown: the page callback may
// refuse (PSPCB_CREATE returning 0); WM_INITDIALOG gets the PROPSHEETPAGE.
HWND CreatePageDialog(Sheet& sheet, int index) {
  SheetPage* page = PageOf(sheet.pages[size_t(index)]);
  if (!page) return nullptr;
  if (page->dialog) return page->dialog;
  if (!page->Callback(PSPCB_CREATE)) return nullptr;
  const uint8_t* data = nullptr;
  size_t size = 0;
  if (!page->Template(&data, &size)) return nullptr;
  HWND dialog = CreateDialogFromTemplate(page->A()->hInstance, data, size, sheet.hwnd, page->A()->pfnDlgProc,
                                         reinterpret_cast<LPARAM>(page->copy.data()), page->unicode,
                                         DialogKind::Child);
  if (!dialog) return nullptr;
  page = PageOf(sheet.pages[size_t(index)]);
  if (!page) return nullptr;  // destroyed during its own creation
  page->dialog = dialog;
  // Pages lie over the tab control's display area, above it.
  SetWindowPos(dialog, HWND_TOP, sheet.display.left, sheet.display.top, sheet.display.right - sheet.display.left,
               sheet.display.bottom - sheet.display.top, SWP_NOACTIVATE);
  return dialog;
}

// Shows page `index`: the current page may refuse to be left
// (PSN_KILLACTIVE returning TRUE) and the new one to be shown
// (PSN_SETACTIVE returning -1).
bool ShowPage(Sheet& sheet, int index, bool leaveCurrent) {
  if (index < 0 || size_t(index) >= sheet.pages.size()) return false;
  if (index == sheet.current) return true;
  if (leaveCurrent && sheet.current >= 0 && NotifyPage(sheet, sheet.current, PSN_KILLACTIVE, 0)) return false;
  HWND page = CreatePageDialog(sheet, index);
  if (!page || NotifyPage(sheet, index, PSN_SETACTIVE, 0) == -1) {
    if (sheet.tab && sheet.current >= 0) SendMessageA(sheet.tab, TCM_SETCURSEL, WPARAM(sheet.current), 0);
    return false;
  }
  HWND old = PageWindow(sheet, sheet.current);
  if (old) ShowWindow(old, SW_HIDE);
  ShowWindow(page, SW_SHOW);
  sheet.current = index;
  SendMessageA(sheet.tab, TCM_SETCURSEL, WPARAM(index), 0);
  return true;
}

void Close(Sheet& sheet, INT_PTR result) {
  sheet.closed = true;
  sheet.result = result;
}

// OK and Apply: the current page may refuse to be left; then every page
// made so far applies, and one that is invalid stops it (PSNRET_INVALID
// also brings it to the front).
bool Apply(Sheet& sheet, bool closing) {
  if (sheet.current >= 0 && NotifyPage(sheet, sheet.current, PSN_KILLACTIVE, 0)) return false;
  for (size_t i = 0; i < sheet.pages.size(); ++i) {
    if (!PageWindow(sheet, int(i))) continue;
    const LRESULT r = NotifyPage(sheet, int(i), PSN_APPLY, closing ? TRUE : FALSE);
    if (r == PSNRET_INVALID) {
      ShowPage(sheet, int(i), false);
      return false;
    }
    if (r == PSNRET_INVALID_NOCHANGEPAGE) return false;
  }
  sheet.applied = true;
  sheet.changed.clear();
  EnableWindow(GetDlgItem(sheet.hwnd, kApplyButtonId), FALSE);
  return true;
}

void Cancel(Sheet& sheet, bool closeBox) {
  if (sheet.current >= 0 && NotifyPage(sheet, sheet.current, PSN_QUERYCANCEL, 0)) return;
  for (size_t i = 0; i < sheet.pages.size(); ++i)
    if (PageWindow(sheet, int(i))) NotifyPage(sheet, int(i), PSN_RESET, closeBox ? TRUE : FALSE);
  Close(sheet, sheet.applied ? 1 : 0);
}

void PressButton(Sheet& sheet, WPARAM button) {
  if (sheet.closed) return;
  switch (button) {
    case PSBTN_OK:
      if (Apply(sheet, true)) Close(sheet, 1);
      break;
    case PSBTN_APPLYNOW:
      if (IsWindowEnabled(GetDlgItem(sheet.hwnd, kApplyButtonId))) Apply(sheet, false);
      break;
    case PSBTN_CANCEL:
      Cancel(sheet, false);
      break;
    case PSBTN_HELP:
      NotifyPage(sheet, sheet.current, PSN_HELP, 0);
      break;
    default:
      break;
  }
}

void Changed(Sheet& sheet, HWND page, bool changed) {
  if (changed)
    sheet.changed.insert(page);
  else
    sheet.changed.erase(page);
  EnableWindow(GetDlgItem(sheet.hwnd, kApplyButtonId), sheet.changed.empty() ? FALSE : TRUE);
}

int IndexOfPage(Sheet& sheet, HPROPSHEETPAGE page) {
  auto it = std::find(sheet.pages.begin(), sheet.pages.end(), page);
  return it == sheet.pages.end() ? -1 : int(it - sheet.pages.begin());
}

int IndexOfWindow(Sheet& sheet, HWND window) {
  for (size_t i = 0; i < sheet.pages.size(); ++i)
    if (window && PageWindow(sheet, int(i)) == window) return int(i);
  return -1;
}

void AddTab(Sheet& sheet, size_t index) {
  SheetPage* page = PageOf(sheet.pages[index]);
  const std::string title = page ? page->Title() : std::string();
  TCITEMA item = {};
  item.mask = TCIF_TEXT;
  item.pszText = const_cast<LPSTR>(title.c_str());
  SendMessageA(sheet.tab, TCM_INSERTITEMA, index, reinterpret_cast<LPARAM>(&item));
}

void RemovePage(Sheet& sheet, int index) {
  if (index < 0 || size_t(index) >= sheet.pages.size()) return;
  if (index == sheet.current) {
    const int other = index + 1 < int(sheet.pages.size()) ? index + 1 : index - 1;
    if (!ShowPage(sheet, other, false)) sheet.current = -1;
  }
  HPROPSHEETPAGE page = sheet.pages[size_t(index)];
  sheet.pages.erase(sheet.pages.begin() + index);
  SendMessageA(sheet.tab, TCM_DELETEITEM, WPARAM(index), 0);
  if (sheet.current > index) --sheet.current;
  if (sheet.current >= 0) SendMessageA(sheet.tab, TCM_SETCURSEL, WPARAM(sheet.current), 0);
  DestroyPage(page);
}

INT_PTR Reply(HWND hwnd, LRESULT value) {
  SetWindowLongPtrA(hwnd, DWLP_MSGRESULT, value);
  return TRUE;
}

// The sheet's PSM_* messages.
INT_PTR SheetMessage(Sheet& sheet, UINT message, WPARAM wParam, LPARAM lParam) {
  HWND hwnd = sheet.hwnd;
  switch (message) {
    case PSM_CHANGED: Changed(sheet, reinterpret_cast<HWND>(wParam), true); return Reply(hwnd, 0);
    case PSM_UNCHANGED: Changed(sheet, reinterpret_cast<HWND>(wParam), false); return Reply(hwnd, 0);
    case PSM_SETCURSEL: {
      const int index = lParam ? IndexOfPage(sheet, reinterpret_cast<HPROPSHEETPAGE>(lParam)) : int(wParam);
      return Reply(hwnd, ShowPage(sheet, index, true));
    }
    case PSM_PRESSBUTTON: PressButton(sheet, wParam); return Reply(hwnd, 0);
    case PSM_APPLY: return Reply(hwnd, Apply(sheet, false));
    case PSM_GETCURRENTPAGEHWND:
      // A closed modeless sheet has no current page: its owner destroys it.
      return Reply(hwnd, reinterpret_cast<LRESULT>(sheet.closed ? nullptr : PageWindow(sheet, sheet.current)));
    case PSM_GETTABCONTROL: return Reply(hwnd, reinterpret_cast<LRESULT>(sheet.tab));
    case PSM_ISDIALOGMESSAGE:
      return Reply(hwnd, IsDialogMessageA(hwnd, reinterpret_cast<LPMSG>(lParam)));
    case PSM_CANCELTOCLOSE:
      EnableWindow(GetDlgItem(hwnd, IDCANCEL), FALSE);
      SetDlgItemTextA(hwnd, IDOK, "Close");
      return Reply(hwnd, 0);
    case PSM_QUERYSIBLINGS:
      for (size_t i = 0; i < sheet.pages.size(); ++i) {
        HWND page = PageWindow(sheet, int(i));
        const LRESULT r = page ? SendMessageA(page, PSM_QUERYSIBLINGS, wParam, lParam) : 0;
        if (r) return Reply(hwnd, r);
      }
      return Reply(hwnd, 0);
    case PSM_SETTITLEA: case PSM_SETTITLEW: {
      std::string title = message == PSM_SETTITLEW ? WideToAnsiText(WideOrEmpty(reinterpret_cast<LPCWSTR>(lParam)))
                                                   : AnsiOrEmpty(reinterpret_cast<LPCSTR>(lParam));
      if (wParam & PSH_PROPTITLE) title = "Properties for " + title;
      SetWindowTextA(hwnd, title.c_str());
      return Reply(hwnd, 0);
    }
    case PSM_ADDPAGE: {
      if (!PageOf(reinterpret_cast<HPROPSHEETPAGE>(lParam)) || sheet.pages.size() >= MAXPROPPAGES)
        return Reply(hwnd, FALSE);
      sheet.pages.push_back(reinterpret_cast<HPROPSHEETPAGE>(lParam));
      AddTab(sheet, sheet.pages.size() - 1);
      return Reply(hwnd, TRUE);
    }
    case PSM_REMOVEPAGE:
      RemovePage(sheet, lParam ? IndexOfPage(sheet, reinterpret_cast<HPROPSHEETPAGE>(lParam)) : int(wParam));
      return Reply(hwnd, 0);
    case PSM_INDEXTOPAGE:
      return Reply(hwnd, wParam < sheet.pages.size() ? reinterpret_cast<LRESULT>(sheet.pages[wParam]) : 0);
    case PSM_PAGETOINDEX: return Reply(hwnd, IndexOfPage(sheet, reinterpret_cast<HPROPSHEETPAGE>(lParam)));
    case PSM_HWNDTOINDEX: return Reply(hwnd, IndexOfWindow(sheet, reinterpret_cast<HWND>(wParam)));
    case PSM_INDEXTOHWND: return Reply(hwnd, reinterpret_cast<LRESULT>(PageWindow(sheet, int(wParam))));
    default: return FALSE;
  }
}

INT_PTR CALLBACK SheetDialogProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_INITDIALOG) {
    SheetTable& t = S();
    std::lock_guard<std::mutex> hold(t.lock);
    // The sheet was filed under its own address until its window existed.
    Sheet* raw = reinterpret_cast<Sheet*>(lParam);
    auto it = t.sheets.find(reinterpret_cast<HWND>(raw));
    if (it == t.sheets.end()) return FALSE;
    SheetPtr sheet = it->second;
    t.sheets.erase(it);
    t.sheets[hwnd] = sheet;
    raw->hwnd = hwnd;
    raw->tab = GetDlgItem(hwnd, kTabControlId);
    return FALSE;
  }
  SheetPtr sheet = SheetOf(hwnd);
  if (!sheet) return FALSE;
  switch (message) {
    case WM_COMMAND:
      switch (LOWORD(wParam)) {
        case IDOK: PressButton(*sheet, PSBTN_OK); return TRUE;
        case IDCANCEL: PressButton(*sheet, PSBTN_CANCEL); return TRUE;
        case kApplyButtonId: PressButton(*sheet, PSBTN_APPLYNOW); return TRUE;
        case IDHELP: PressButton(*sheet, PSBTN_HELP); return TRUE;
        default: return FALSE;
      }
    case WM_NOTIFY: {
      const NMHDR* header = reinterpret_cast<const NMHDR*>(lParam);
      if (!header || header->hwndFrom != sheet->tab) return FALSE;
      if (header->code == TCN_SELCHANGING)
        return Reply(hwnd, sheet->current >= 0 && NotifyPage(*sheet, sheet->current, PSN_KILLACTIVE, 0));
      if (header->code == TCN_SELCHANGE)
        ShowPage(*sheet, int(SendMessageA(sheet->tab, TCM_GETCURSEL, 0, 0)), false);
      return TRUE;
    }
    case WM_NCDESTROY: {
      // The sheet owns its pages: they go with it, in order.
      const std::vector<HPROPSHEETPAGE> pages = sheet->pages;
      sheet->pages.clear();
      for (HPROPSHEETPAGE page : pages) DestroyPage(page);
      SheetTable& t = S();
      std::lock_guard<std::mutex> hold(t.lock);
      t.sheets.erase(hwnd);
      return FALSE;
    }
    default:
      return SheetMessage(*sheet, message, wParam, lParam);
  }
}

// The caption: a string or a string resource, after "Properties for" with
// PSH_PROPTITLE.
std::string SheetCaption(const PROPSHEETHEADERA* header, bool unicode) {
  std::string caption;
  const void* given = header->pszCaption;
  if (given && IS_INTRESOURCE(given)) {
    char text[256];
    LoadStringA(header->hInstance, UINT(reinterpret_cast<ULONG_PTR>(given)), text, sizeof text);
    caption = text;
  } else if (given) {
    caption = unicode ? WideToAnsiText(reinterpret_cast<LPCWSTR>(given)) : std::string(header->pszCaption);
  }
  return (header->dwFlags & PSH_PROPTITLE) ? "Properties for " + caption : caption;
}

int StartPage(Sheet& sheet, const PROPSHEETHEADERA* header, bool unicode) {
  if (!(header->dwFlags & PSH_USEPSTARTPAGE)) return int(header->nStartPage);
  std::string wanted;
  if (IS_INTRESOURCE(header->pStartPage)) {
    char text[256];
    LoadStringA(header->hInstance, UINT(reinterpret_cast<ULONG_PTR>(header->pStartPage)), text, sizeof text);
    wanted = text;
  } else {
    wanted = unicode ? WideToAnsiText(reinterpret_cast<LPCWSTR>(header->pStartPage)) : header->pStartPage;
  }
  for (size_t i = 0; i < sheet.pages.size(); ++i) {
    SheetPage* page = PageOf(sheet.pages[i]);
    if (page && page->Title() == wanted) return int(i);
  }
  return 0;
}

INT_PTR RunSheet(const PROPSHEETHEADERA* header, bool unicode) {
  if (!header || header->dwSize < DWORD(PROPSHEETHEADERA_V1_SIZE) || header->nPages > MAXPROPPAGES) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return -1;
  }
  auto sheet = std::make_shared<Sheet>();
  sheet->flags = header->dwFlags;
  if (header->dwFlags & PSH_PROPSHEETPAGE) {
    // Each record of the array is as long as its own dwSize says.
    const uint8_t* at = reinterpret_cast<const uint8_t*>(header->ppsp);
    for (UINT i = 0; at && i < header->nPages; ++i) {
      const DWORD size = reinterpret_cast<const PROPSHEETPAGEA*>(at)->dwSize;
      HPROPSHEETPAGE page = CreatePage(at, unicode);
      if (page) sheet->pages.push_back(page);
      if (size < DWORD(PROPSHEETPAGEA_V1_SIZE)) break;
      at += size;
    }
  } else {
    for (UINT i = 0; header->phpage && i < header->nPages; ++i)
      if (PageOf(header->phpage[i])) sheet->pages.push_back(header->phpage[i]);
  }

  FrameLayout layout;
  layout.caption = AnsiToWideText(SheetCaption(header, unicode));
  layout.applyButton = !(header->dwFlags & PSH_NOAPPLYNOW);
  layout.helpButton = (header->dwFlags & PSH_HASHELP) != 0;
  const std::vector<uint8_t> frame = BuildFrameTemplate(layout);
  HWND owner = header->hwndParent ? GetAncestor(header->hwndParent, GA_ROOT) : nullptr;
  {
    SheetTable& t = S();
    std::lock_guard<std::mutex> hold(t.lock);
    t.sheets[reinterpret_cast<HWND>(sheet.get())] = sheet;  // until WM_INITDIALOG knows the window
  }
  HWND hwnd = CreateDialogFromTemplate(header->hInstance, frame.data(), frame.size(), owner, SheetDialogProc,
                                       reinterpret_cast<LPARAM>(sheet.get()), false, DialogKind::Modal);
  if (!hwnd) {
    SheetTable& t = S();
    {
      std::lock_guard<std::mutex> hold(t.lock);
      t.sheets.erase(reinterpret_cast<HWND>(sheet.get()));
    }
    for (HPROPSHEETPAGE page : sheet->pages) DestroyPage(page);
    return -1;
  }

  SIZE largest = {0, 0};
  for (HPROPSHEETPAGE handle : sheet->pages) {
    SheetPage* page = PageOf(handle);
    const uint8_t* data = nullptr;
    size_t size = 0;
    SIZE s;
    if (page && page->Template(&data, &size) && TemplateSize(data, size, &s)) {
      largest.cx = std::max(largest.cx, s.cx);
      largest.cy = std::max(largest.cy, s.cy);
    }
  }
  sheet->display = LayOutFrame(hwnd, largest);
  for (size_t i = 0; i < sheet->pages.size(); ++i) AddTab(*sheet, i);
  const int start = StartPage(*sheet, header, unicode);
  bool shown = ShowPage(*sheet, start, false);
  for (size_t i = 0; !shown && i < sheet->pages.size(); ++i) shown = ShowPage(*sheet, int(i), false);
  if ((header->dwFlags & PSH_USECALLBACK) && header->pfnCallback) header->pfnCallback(hwnd, PSCB_INITIALIZED, 0);

  if (header->dwFlags & PSH_MODELESS) {
    ShowWindow(hwnd, SW_SHOW);
    return reinterpret_cast<INT_PTR>(hwnd);
  }
  RunModalLoop(hwnd, owner, [sheet]() { return sheet->closed; });
  const INT_PTR result = sheet->closed ? sheet->result : (sheet->applied ? 1 : 0);
  if (IsWindow(hwnd)) DestroyWindow(hwnd);
  return result;
}

}  // namespace

bool DescribeSheetPageHandle(HPROPSHEETPAGE handle, SheetPageInfo* info) {
  SheetPage* page = PageOf(handle);
  if (!page) return false;
  SheetPageInfo described;
  const bool inMemory = page->Flags() & PSP_DLGINDIRECT;
  const bool byId = page->unicode ? IS_INTRESOURCE(page->W()->pszTemplate) : IS_INTRESOURCE(page->A()->pszTemplate);
  if (!inMemory && byId)
    described.templateId = int(reinterpret_cast<ULONG_PTR>(page->A()->pszTemplate));
  else if (!inMemory)
    described.templateName =
        page->unicode ? WideToAnsiText(WideOrEmpty(page->W()->pszTemplate)) : AnsiOrEmpty(page->A()->pszTemplate);
  described.title = page->Title();
  *info = described;
  return true;
}

}  // namespace win32
}  // namespace platform

using namespace platform::win32;

HPROPSHEETPAGE WINAPI CreatePropertySheetPageA(LPCPROPSHEETPAGEA constPropSheetPagePointer) {
  return CreatePage(constPropSheetPagePointer, false);
}

HPROPSHEETPAGE WINAPI CreatePropertySheetPageW(LPCPROPSHEETPAGEW constPropSheetPagePointer) {
  return CreatePage(constPropSheetPagePointer, true);
}

BOOL WINAPI DestroyPropertySheetPage(HPROPSHEETPAGE page) {
  if (!DestroyPage(page)) return SetLastError(ERROR_INVALID_HANDLE), FALSE;
  return TRUE;
}

INT_PTR WINAPI PropertySheetA(LPCPROPSHEETHEADERA header) { return RunSheet(header, false); }

INT_PTR WINAPI PropertySheetW(LPCPROPSHEETHEADERW header) {
  return RunSheet(reinterpret_cast<LPCPROPSHEETHEADERA>(header), true);
}
