// Dialogs from templates, the dialog window procedure and the modal loops.
#include "platform/win32/dialog_manager.h"

#include <algorithm>
#include <cstring>

#include "platform/win32/dialog_template.h"
#include "platform/win32/message_queue.h"
#include "platform/win32/modal_hooks.h"
#include "platform/win32/resources.h"
#include "platform/win32/text.h"
#include "platform/win32/window_manager.h"
#include "platform/win32/window_ops.h"

namespace platform {
namespace win32 {
namespace {

// A dialog template given by pointer outside any known resource is read up
// to this many bytes (the template's own structure ends the read first).
constexpr size_t kUnboundedTemplate = 1 << 20;

// Dialog base units at 96 DPI of the fonts dialogs usually name.
struct BaseUnits {
  const char* face;
  int pointSize;
  int x, y;
};
const BaseUnits kBaseUnits[] = {
    {"MS Sans Serif", 8, 6, 13},        {"Microsoft Sans Serif", 8, 6, 13}, {"MS Shell Dlg", 8, 6, 13},
    {"MS Shell Dlg 2", 8, 6, 13},       {"Tahoma", 8, 6, 13},               {"Tahoma", 9, 7, 14},
    {"Verdana", 8, 7, 13},              {"Verdana", 9, 7, 15},              {"Arial", 8, 5, 14},
    {"Arial", 9, 6, 15},                {"Segoe UI", 9, 7, 15},             {"MS Sans Serif", 10, 7, 16},
    {"MS UI Gothic", 9, 6, 12},         {"SimSun", 9, 6, 12},               {"Gulim", 9, 6, 12},
    {"PMingLiU", 9, 6, 12},
};

// Faces given in their own script map to the table's names.
std::string CanonicalFace(const std::string& face) {
  const std::wstring wide = AnsiToWideText(face);
  if (wide == L"\u65b0\u7d30\u660e\u9ad4") return "PMingLiU";  // 新細明體
  if (wide == L"\u5b8b\u4f53") return "SimSun";                // 宋体
  if (wide == L"\uad74\ub9bc") return "Gulim";                 // 굴림
  return face;
}

INT_PTR ReadMsgResult(const Window& w) {
  INT_PTR v = 0;
  if (w.extra.size() >= DWLP_MSGRESULT + sizeof v) std::memcpy(&v, w.extra.data() + DWLP_MSGRESULT, sizeof v);
  return v;
}

void WriteExtra(Window& w, size_t offset, const void* value, size_t size) {
  if (w.extra.size() >= offset + size) std::memcpy(w.extra.data() + offset, value, size);
}

// Messages whose dialog-procedure result is the message result itself
// rather than DWLP_MSGRESULT.
bool ReturnsDirectly(UINT message) {
  switch (message) {
    case WM_CTLCOLORMSGBOX: case WM_CTLCOLOREDIT: case WM_CTLCOLORLISTBOX: case WM_CTLCOLORBTN:
    case WM_CTLCOLORDLG: case WM_CTLCOLORSCROLLBAR: case WM_CTLCOLORSTATIC: case WM_COMPAREITEM:
    case WM_VKEYTOITEM: case WM_CHARTOITEM: case WM_QUERYDRAGICON: case WM_INITDIALOG:
      return true;
    default:
      return false;
  }
}

void SetDefaultButton(HWND dialog, UINT id) {
  UINT old = IDOK;
  {
    WindowGuard hold(WindowLock());
    WindowPtr w = FindWindowRecord(dialog);
    if (!w || !w->dialog) return;
    old = w->dialog->defaultId;
    w->dialog->defaultId = id;
  }
  HWND oldButton = GetDlgItem(dialog, int(old));
  if (oldButton && (SendMessageA(oldButton, WM_GETDLGCODE, 0, 0) & DLGC_DEFPUSHBUTTON))
    SendMessageA(oldButton, BM_SETSTYLE, BS_PUSHBUTTON, TRUE);
  HWND newButton = GetDlgItem(dialog, int(id));
  if (newButton && (SendMessageA(newButton, WM_GETDLGCODE, 0, 0) & DLGC_UNDEFPUSHBUTTON))
    SendMessageA(newButton, BM_SETSTYLE, BS_DEFPUSHBUTTON, TRUE);
}

// DefDlgProc's own handling of what the dialog procedure left alone.
LRESULT DefaultDialogMessage(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_ERASEBKGND:
      return 1;
    case WM_CLOSE: {
      HWND cancel = GetDlgItem(hwnd, IDCANCEL);
      if (cancel && !IsWindowEnabled(cancel)) return 0;
      Send(hwnd, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), reinterpret_cast<LPARAM>(cancel));
      return 0;
    }
    case WM_ACTIVATE: {
      HWND saved = nullptr;
      {
        WindowGuard hold(WindowLock());
        WindowPtr w = FindWindowRecord(hwnd);
        if (!w || !w->dialog) return 0;
        if (LOWORD(wParam) == WA_INACTIVE) {
          HWND focus = GetFocus();
          if (focus && IsChild(hwnd, focus)) w->dialog->savedFocus = focus;
          return 0;
        }
        saved = w->dialog->savedFocus;
      }
      if (saved && IsChild(hwnd, saved)) SetFocus(saved);
      return 0;
    }
    case WM_SETFOCUS: {
      HWND first = GetNextDlgTabItem(hwnd, nullptr, FALSE);
      if (first) SetFocus(first);
      return 0;
    }
    case DM_GETDEFID: {
      WindowGuard hold(WindowLock());
      WindowPtr w = FindWindowRecord(hwnd);
      if (!w || !w->dialog || !w->dialog->defaultId) return 0;
      return MAKELONG(w->dialog->defaultId, DC_HASDEFID);
    }
    case DM_SETDEFID:
      SetDefaultButton(hwnd, UINT(wParam));
      return TRUE;
    case WM_NEXTDLGCTL: {
      HWND target = lParam ? reinterpret_cast<HWND>(wParam)
                           : GetNextDlgTabItem(hwnd, GetFocus(), wParam ? TRUE : FALSE);
      if (target && (target == hwnd || IsChild(hwnd, target))) SetFocus(target);
      return 0;
    }
    case WM_GETFONT: {
      WindowGuard hold(WindowLock());
      WindowPtr w = FindWindowRecord(hwnd);
      return (w && w->dialog) ? reinterpret_cast<LRESULT>(w->dialog->font) : 0;
    }
    default:
      return DefWindowProcA(hwnd, message, wParam, lParam);
  }
}

// The window procedure of the dialog class: the dialog procedure first,
// the dialog manager's defaults after it.
LRESULT CALLBACK DialogWindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  DLGPROC proc = nullptr;
  bool unicode = false;
  {
    WindowGuard hold(WindowLock());
    WindowPtr w = FindWindowRecord(hwnd);
    if (!w) return 0;
    if (w->extra.size() >= DWLP_DLGPROC + sizeof proc) std::memcpy(&proc, w->extra.data() + DWLP_DLGPROC, sizeof proc);
    if (w->dialog) unicode = w->dialog->unicodeProc;
    const LRESULT zero = 0;
    WriteExtra(*w, DWLP_MSGRESULT, &zero, sizeof zero);
  }
  if (proc) {
    const INT_PTR handled = CallProcedure(proc, unicode, hwnd, message, wParam, lParam, false);
    if (handled) {
      if (ReturnsDirectly(message)) return handled;
      WindowGuard hold(WindowLock());
      WindowPtr w = FindWindowRecord(hwnd);
      return w ? ReadMsgResult(*w) : handled;
    }
    if (message == WM_INITDIALOG) return FALSE;
  }
  if (!IsWindow(hwnd)) return 0;
  return DefaultDialogMessage(hwnd, message, wParam, lParam);
}

struct DialogClassRegistrar {
  DialogClassRegistrar() {
    WindowClass cls;
    cls.name = "#32770";
    cls.atom = 32770;
    cls.style = CS_DBLCLKS | CS_SAVEBITS;
    cls.proc = DialogWindowProc;
    // Room for DWLP_MSGRESULT, DWLP_DLGPROC and DWLP_USER with the host's
    // pointer size, never less than the SDK's DLGWINDOWEXTRA.
    cls.windowExtra = int(std::max<size_t>(DLGWINDOWEXTRA, DWLP_USER + sizeof(LONG_PTR)));
    RegisterSystemClass(cls);
  }
};
const DialogClassRegistrar g_dialogClass;

int ToPixelsX(int units, int baseX) { return MulDivRound(units, baseX, 4); }
int ToPixelsY(int units, int baseY) { return MulDivRound(units, baseY, 8); }

std::string ClassNameOfItem(const ResName& cls) {
  if (cls.isOrdinal) {
    const char* name = PredefinedClassName(cls.ordinal);
    return name ? name : std::string();
  }
  return Utf16ToAnsi(cls.text);
}

// Where the dialog's window goes: its template position in dialog units
// relative to the owner's client area (or the screen), or centred.
POINT DialogPosition(const DialogTemplate& t, DWORD style, HWND owner, int baseX, int baseY, SIZE size) {
  POINT pos = {ToPixelsX(t.x, baseX), ToPixelsY(t.y, baseY)};
  if (style & WS_CHILD) return pos;
  if (style & DS_CENTER) {
    pos.x = (kScreenWidth - size.cx) / 2;
    pos.y = (kScreenHeight - size.cy) / 2;
  } else if (!(style & DS_ABSALIGN) && owner) {
    ClientToScreen(owner, &pos);
  }
  // A top-level dialog stays on the screen.
  pos.x = std::max<LONG>(0, std::min<LONG>(pos.x, kScreenWidth - size.cx));
  pos.y = std::max<LONG>(0, std::min<LONG>(pos.y, kScreenHeight - size.cy));
  return pos;
}

bool CreateControls(HWND dialog, const DialogTemplate& t, HINSTANCE instance, HFONT font, int baseX, int baseY) {
  for (const DialogItemTemplate& item : t.items) {
    CreateRequest r;
    r.className = ClassNameOfItem(item.windowClass);
    r.exStyle = item.exStyle | WS_EX_NOPARENTNOTIFY;
    r.style = item.style | WS_CHILD;
    r.hasName = !item.title.isOrdinal;
    r.windowName = item.title.isOrdinal ? std::string() : Utf16ToAnsi(item.title.text);
    r.x = ToPixelsX(item.x, baseX);
    r.y = ToPixelsY(item.y, baseY);
    r.cx = ToPixelsX(item.cx, baseX);
    r.cy = ToPixelsY(item.cy, baseY);
    r.parent = dialog;
    r.menu = reinterpret_cast<HMENU>(uintptr_t(item.id));
    r.instance = instance;
    r.param = const_cast<uint8_t*>(item.creationData);
    HWND control = r.className.empty() ? nullptr : CreateWindowCommon(r);
    if (!control) {
      if (t.style & DS_NOFAILCREATE) continue;
      return false;
    }
    if (font) SendMessageA(control, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
    // A title given by ordinal names an icon resource of the module.
    if (item.title.isOrdinal && item.title.ordinal)
      SendMessageA(control, STM_SETICON,
                   reinterpret_cast<WPARAM>(LoadIconA(instance, MAKEINTRESOURCEA(item.title.ordinal))), 0);
  }
  return true;
}

}  // namespace

int MulDivRound(int value, int numerator, int denominator) {
  const long long p = (long long)value * numerator;
  return int(p >= 0 ? (p + denominator / 2) / denominator : -((-p + denominator / 2) / denominator));
}

void DialogBaseUnitsOf(const std::string& face, int pointSize, int* x, int* y) {
  const std::string canonical = CanonicalFace(face);
  for (const BaseUnits& b : kBaseUnits) {
    if (b.pointSize == pointSize && EqualNoCase(canonical, b.face)) {
      *x = b.x;
      *y = b.y;
      return;
    }
  }
  // Any other face: the character height at 96 DPI, its line about a fifth
  // taller and its average letter a little over half as wide.
  const int em = std::max(1, MulDivRound(pointSize, 96, 72));
  *y = std::max(1, (em * 6 + 2) / 5);
  *x = std::max(1, (em * 11 + 10) / 20);
}

bool FindDialogTemplate(HINSTANCE instance, LPCSTR nameA, LPCWSTR nameW, const uint8_t** data, size_t* size) {
  ResName name;
  if (!(nameA ? NameFromA(nameA, &name) : NameFromW(nameW, &name))) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return false;
  }
  const ResourceRecord* r = FindModuleResource(instance, OrdinalName(5 /* RT_DIALOG */), name, -1);
  if (!r) return false;
  *data = r->data;
  *size = r->size;
  return true;
}

namespace {

// The dialog's font as its template names it, and the dialog units it gives.
DialogInfo InfoOf(const DialogTemplate& t, bool unicode) {
  DialogInfo info;
  info.unicodeProc = unicode;
  if (!t.hasFont) return info;
  info.hasFont = true;
  info.fontInfo.face = Utf16ToAnsi(t.faceName);
  info.fontInfo.pointSize = t.pointSize;
  info.fontInfo.weight = t.weight ? t.weight : FW_NORMAL;
  info.fontInfo.italic = t.italic;
  info.fontInfo.charset = t.charset;
  DialogBaseUnitsOf(info.fontInfo.face, t.pointSize, &info.baseX, &info.baseY);
  return info;
}

// The styles the dialog's window gets from its template.
void StylesOf(const DialogTemplate& t, DialogKind kind, DWORD* style, DWORD* exStyle) {
  *style = t.style;
  *exStyle = t.exStyle;
  if (*style & DS_MODALFRAME) *exStyle |= WS_EX_DLGMODALFRAME;
  if (*style & DS_CONTROL) {
    *style &= ~(WS_CAPTION | WS_SYSMENU);
    *exStyle |= WS_EX_CONTROLPARENT;
  }
  if (kind == DialogKind::Child) {
    *style = (*style & ~(WS_POPUP | WS_CAPTION | WS_SYSMENU | WS_THICKFRAME | DS_MODALFRAME | DS_CENTER)) | WS_CHILD;
    *exStyle = (*exStyle & ~WS_EX_DLGMODALFRAME) | WS_EX_CONTROLPARENT;
  }
  *style &= ~WS_VISIBLE;  // shown once it is complete
}

// The dialog's own window: its class, caption and place in pixels.
CreateRequest WindowRequest(const DialogTemplate& t, const DialogInfo& info, DWORD style, DWORD exStyle, HWND owner,
                            HINSTANCE instance, LPARAM param, bool unicode) {
  RECT frame = {0, 0, ToPixelsX(t.cx, info.baseX), ToPixelsY(t.cy, info.baseY)};
  AdjustWindowRectEx(&frame, style, FALSE, exStyle);
  const SIZE size = {frame.right - frame.left, frame.bottom - frame.top};
  const POINT pos = DialogPosition(t, style, owner, info.baseX, info.baseY, size);
  CreateRequest r;
  r.className = t.windowClass.Empty()       ? "#32770"
                : t.windowClass.isOrdinal ? "#" + std::to_string(t.windowClass.ordinal)
                                          : Utf16ToAnsi(t.windowClass.text);
  r.hasName = true;
  r.windowName = Utf16ToAnsi(t.title);
  r.style = style;
  r.exStyle = exStyle;
  r.x = pos.x;
  r.y = pos.y;
  r.cx = size.cx;
  r.cy = size.cy;
  r.parent = owner;
  r.instance = instance;
  r.param = reinterpret_cast<LPVOID>(param);
  r.unicode = unicode;
  return r;
}

// WM_INITDIALOG, whose TRUE puts the focus on the first tab stop.
void Initialise(HWND dialog, LPARAM param) {
  HWND focus = GetNextDlgTabItem(dialog, nullptr, FALSE);
  if (SendMessageA(dialog, WM_INITDIALOG, reinterpret_cast<WPARAM>(focus), param) && IsWindow(dialog) && focus &&
      IsWindow(focus))
    SetFocus(focus);
}

}  // namespace

HWND CreateDialogFromTemplate(HINSTANCE instance, const uint8_t* data, size_t size, HWND owner, DLGPROC proc,
                              LPARAM param, bool unicode, DialogKind kind) {
  // A dialog without a module belongs to the program, whose resources
  // (icons of its controls) it then uses.
  if (!instance) instance = GetModuleHandleA(nullptr);
  DialogTemplate t;
  if (!data || !ParseDialogTemplate(data, size, &t)) {
    SetLastError(ERROR_RESOURCE_DATA_NOT_FOUND);
    return nullptr;
  }
  DialogInfo info = InfoOf(t, unicode);
  DWORD style = 0, exStyle = 0;
  StylesOf(t, kind, &style, &exStyle);
  HWND dialog = CreateWindowCommon(WindowRequest(t, info, style, exStyle, owner, instance, param, unicode));
  if (!dialog) return nullptr;
  const HFONT font = info.hasFont ? CreateFontObject(info.fontInfo) : nullptr;
  info.font = font;
  {
    WindowGuard hold(WindowLock());
    WindowPtr w = FindWindowRecord(dialog);
    w->dialog.reset(new DialogInfo(info));
    WriteExtra(*w, DWLP_DLGPROC, &proc, sizeof proc);
  }
  if (font) SendMessageA(dialog, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
  if (!CreateControls(dialog, t, instance, font, info.baseX, info.baseY)) {
    DestroyWindow(dialog);
    SetLastError(ERROR_CANNOT_FIND_WND_CLASS);
    return nullptr;
  }
  Initialise(dialog, param);
  if (!IsWindow(dialog)) return nullptr;
  if ((t.style & WS_VISIBLE) && kind == DialogKind::Modeless) {
    ShowWindow(dialog, SW_SHOWNORMAL);
    UpdateWindow(dialog);
  }
  return dialog;
}

void RunModalLoop(HWND modal, HWND owner, const std::function<bool()>& finished) {
  const bool disableOwner = owner && IsWindow(owner) && IsWindowEnabled(owner);
  if (disableOwner) EnableWindow(owner, FALSE);
  if (!finished() && IsWindow(modal)) {
    ShowWindow(modal, SW_SHOWNORMAL);
    UpdateWindow(modal);
    NotifyModal(modal, false);
  }
  while (IsWindow(modal) && !finished()) {
    MSG msg;
    if (Peek(&msg, nullptr, 0, 0, PM_REMOVE, false)) {
      if (msg.message == WM_QUIT) {
        // The quit request is left for the application's own loop.
        PostQuitMessage(int(msg.wParam));
        break;
      }
      if (!IsDialogMessageA(modal, &msg)) {
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
      }
      continue;
    }
    if (owner && IsWindow(owner) && !(GetWindowLongA(modal, GWL_STYLE) & DS_NOIDLEMSG))
      SendMessageA(owner, WM_ENTERIDLE, MSGF_DIALOGBOX, reinterpret_cast<LPARAM>(modal));
    NotifyModal(modal, true);
    if (IsWindow(modal) && !finished()) WaitForInput();
  }
  if (disableOwner && IsWindow(owner)) EnableWindow(owner, TRUE);
}

INT_PTR RunDialogBox(HWND dialog, HWND owner) {
  auto ended = [dialog]() {
    WindowGuard hold(WindowLock());
    WindowPtr w = FindWindowRecord(dialog);
    return !w || !w->dialog || w->dialog->ended;
  };
  RunModalLoop(dialog, owner, ended);
  INT_PTR result = -1;
  {
    WindowGuard hold(WindowLock());
    WindowPtr w = FindWindowRecord(dialog);
    if (w && w->dialog && w->dialog->ended) result = w->dialog->result;
  }
  if (IsWindow(dialog)) DestroyWindow(dialog);
  return result;
}

void NoteDialogProcedure(Window& w, bool unicode) {
  if (w.dialog) w.dialog->unicodeProc = unicode;
}

void ReleaseDialogResources(HWND hwnd) {
  HFONT font = nullptr;
  {
    WindowGuard hold(WindowLock());
    WindowPtr w = FindWindowRecord(hwnd);
    if (!w || !w->dialog) return;
    font = w->dialog->font;
    w->dialog->font = nullptr;
  }
  if (font) DeleteObject(font);
}

bool DialogUnits(HWND hwnd, int* x, int* y) {
  WindowGuard hold(WindowLock());
  WindowPtr w = FindWindowRecord(hwnd);
  if (!w || !w->dialog) return false;
  *x = w->dialog->baseX;
  *y = w->dialog->baseY;
  return true;
}

bool DialogFont(HWND hwnd, FontInfo* font) {
  WindowGuard hold(WindowLock());
  WindowPtr w = FindWindowRecord(hwnd);
  if (!w || !w->dialog || !w->dialog->hasFont) return false;
  *font = w->dialog->fontInfo;
  return true;
}

LRESULT DialogProcedure(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  return DialogWindowProc(hwnd, message, wParam, lParam);
}

}  // namespace win32
}  // namespace platform

using namespace platform::win32;

HWND WINAPI CreateDialogParamA(HINSTANCE hInstance, LPCSTR lpTemplateName, HWND hWndParent, DLGPROC lpDialogFunc,
                               LPARAM dwInitParam) {
  const uint8_t* data = nullptr;
  size_t size = 0;
  if (!FindDialogTemplate(hInstance, lpTemplateName, nullptr, &data, &size)) return nullptr;
  return CreateDialogFromTemplate(hInstance, data, size, hWndParent, lpDialogFunc, dwInitParam, false, DialogKind::Modeless);
}

HWND WINAPI CreateDialogParamW(HINSTANCE hInstance, LPCWSTR lpTemplateName, HWND hWndParent, DLGPROC lpDialogFunc,
                               LPARAM dwInitParam) {
  const uint8_t* data = nullptr;
  size_t size = 0;
  if (!FindDialogTemplate(hInstance, nullptr, lpTemplateName, &data, &size)) return nullptr;
  return CreateDialogFromTemplate(hInstance, data, size, hWndParent, lpDialogFunc, dwInitParam, true, DialogKind::Modeless);
}

namespace {
size_t TemplateBytes(const void* p) {
  const size_t known = ResourceBytesFrom(p);
  return known ? known : kUnboundedTemplate;
}
}  // namespace

HWND WINAPI CreateDialogIndirectParamA(HINSTANCE hInstance, LPCDLGTEMPLATEA lpTemplate, HWND hWndParent,
                                       DLGPROC lpDialogFunc, LPARAM dwInitParam) {
  const uint8_t* data = reinterpret_cast<const uint8_t*>(lpTemplate);
  return CreateDialogFromTemplate(hInstance, data, TemplateBytes(data), hWndParent, lpDialogFunc, dwInitParam, false,
                                  DialogKind::Modeless);
}

HWND WINAPI CreateDialogIndirectParamW(HINSTANCE hInstance, LPCDLGTEMPLATEW lpTemplate, HWND hWndParent,
                                       DLGPROC lpDialogFunc, LPARAM dwInitParam) {
  const uint8_t* data = reinterpret_cast<const uint8_t*>(lpTemplate);
  return CreateDialogFromTemplate(hInstance, data, TemplateBytes(data), hWndParent, lpDialogFunc, dwInitParam, true,
                                  DialogKind::Modeless);
}

namespace {
// DialogBox: the template's dialog, owned by the top-level window of
// `parent`, run modally.
INT_PTR RunTemplate(HINSTANCE instance, const uint8_t* data, size_t size, HWND parent, DLGPROC proc, LPARAM param,
                    bool unicode) {
  HWND owner = parent ? GetAncestor(parent, GA_ROOT) : nullptr;
  HWND dialog = CreateDialogFromTemplate(instance, data, size, owner, proc, param, unicode, DialogKind::Modal);
  return dialog ? RunDialogBox(dialog, owner) : -1;
}
}  // namespace

INT_PTR WINAPI DialogBoxParamA(HINSTANCE hInstance, LPCSTR lpTemplateName, HWND hWndParent, DLGPROC lpDialogFunc,
                               LPARAM dwInitParam) {
  const uint8_t* data = nullptr;
  size_t size = 0;
  if (!FindDialogTemplate(hInstance, lpTemplateName, nullptr, &data, &size)) return -1;
  return RunTemplate(hInstance, data, size, hWndParent, lpDialogFunc, dwInitParam, false);
}

INT_PTR WINAPI DialogBoxParamW(HINSTANCE hInstance, LPCWSTR lpTemplateName, HWND hWndParent, DLGPROC lpDialogFunc,
                               LPARAM dwInitParam) {
  const uint8_t* data = nullptr;
  size_t size = 0;
  if (!FindDialogTemplate(hInstance, nullptr, lpTemplateName, &data, &size)) return -1;
  return RunTemplate(hInstance, data, size, hWndParent, lpDialogFunc, dwInitParam, true);
}

INT_PTR WINAPI DialogBoxIndirectParamA(HINSTANCE hInstance, LPCDLGTEMPLATEA hDialogTemplate, HWND hWndParent,
                                       DLGPROC lpDialogFunc, LPARAM dwInitParam) {
  const uint8_t* data = reinterpret_cast<const uint8_t*>(hDialogTemplate);
  return RunTemplate(hInstance, data, TemplateBytes(data), hWndParent, lpDialogFunc, dwInitParam, false);
}

BOOL WINAPI EndDialog(HWND hDlg, INT_PTR nResult) {
  {
    WindowGuard hold(WindowLock());
    WindowPtr w = CheckWindow(hDlg);
    if (!w) return FALSE;
    if (!w->dialog) return SetLastError(ERROR_INVALID_WINDOW_HANDLE), FALSE;
    w->dialog->ended = true;
    w->dialog->result = nResult;
  }
  ShowWindow(hDlg, SW_HIDE);
  // Wakes the modal loop, which may be waiting for input.
  PostMessageA(hDlg, WM_NULL, 0, 0);
  return TRUE;
}

LRESULT WINAPI DefDlgProcA(HWND hDlg, UINT Msg, WPARAM wParam, LPARAM lParam) {
  return DialogProcedure(hDlg, Msg, wParam, lParam);
}

LRESULT WINAPI DefDlgProcW(HWND hDlg, UINT Msg, WPARAM wParam, LPARAM lParam) {
  return CallProcedure(DialogProcedure, false, hDlg, Msg, wParam, lParam, true);
}

BOOL WINAPI MapDialogRect(HWND hDlg, LPRECT lpRect) {
  int x = 0, y = 0;
  if (!lpRect || !DialogUnits(hDlg, &x, &y)) return SetLastError(ERROR_INVALID_WINDOW_HANDLE), FALSE;
  lpRect->left = MulDivRound(lpRect->left, x, 4);
  lpRect->right = MulDivRound(lpRect->right, x, 4);
  lpRect->top = MulDivRound(lpRect->top, y, 8);
  lpRect->bottom = MulDivRound(lpRect->bottom, y, 8);
  return TRUE;
}

LONG WINAPI GetDialogBaseUnits(void) { return MAKELONG(8, 16); }
