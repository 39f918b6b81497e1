// The Button class: push buttons, check boxes, radio buttons and group
// boxes.
#include "platform/win32/controls.h"
#include "platform/win32/modal_hooks.h"
#include "platform/win32/window_ops.h"

namespace platform {
namespace win32 {
namespace {

struct ButtonState : ControlState {
  UINT check = BST_UNCHECKED;
  bool pushed = false;
  bool focused = false;
  HANDLE image = nullptr;
  UINT imageType = 0;
  // Push buttons show whether they are the default button instead.
  void Describe(WindowNode* node) const override {
    node->pressed = pushed;
    if ((node->style & BS_ICON) && imageType == IMAGE_ICON)
      IconPixels(static_cast<HICON>(image), 32, &node->iconId, &node->iconWidth, &node->iconHeight,
                 &node->iconPixels);
    const DWORD type = node->style & BS_TYPEMASK;
    if (type == BS_PUSHBUTTON || type == BS_DEFPUSHBUTTON)
      node->checkState = type == BS_DEFPUSHBUTTON ? 1 : 0;
    else
      node->checkState = int(check);
  }
};

DWORD TypeOf(HWND hwnd) { return StyleOf(hwnd) & BS_TYPEMASK; }

// The highest check state a button of this type takes.
UINT MaxCheck(DWORD type) {
  switch (type) {
    case BS_3STATE: case BS_AUTO3STATE: return BST_INDETERMINATE;
    case BS_CHECKBOX: case BS_AUTOCHECKBOX: case BS_RADIOBUTTON: case BS_AUTORADIOBUTTON: return BST_CHECKED;
    default: return BST_UNCHECKED;
  }
}

bool IsRadio(DWORD type) { return type == BS_RADIOBUTTON || type == BS_AUTORADIOBUTTON; }

void SetCheck(HWND hwnd, UINT check) {
  const DWORD type = TypeOf(hwnd);
  check = std::min(check, MaxCheck(type));
  {
    WindowGuard hold(WindowLock());
    ButtonState* s = StateOf<ButtonState>(hwnd);
    if (!s) return;
    s->check = check;
    // A checked radio button is the one its group is tabbed to.
    WindowPtr w = FindWindowRecord(hwnd);
    if (w && IsRadio(type)) w->style = check ? (w->style | WS_TABSTOP) : (w->style & ~WS_TABSTOP);
  }
  InvalidateRect(hwnd, nullptr, FALSE);
}

UINT GetCheck(HWND hwnd) {
  WindowGuard hold(WindowLock());
  ButtonState* s = StateOf<ButtonState>(hwnd);
  return s ? s->check : 0;
}

// An automatic radio button unchecks the other automatic radio buttons of
// its group when it is clicked.
void UncheckGroup(HWND hwnd) {
  HWND parent = GetParent(hwnd);
  if (!parent) return;
  HWND start = GetNextDlgGroupItem(parent, hwnd, TRUE);
  HWND sibling = start;
  do {
    if (!sibling) break;
    if (sibling != hwnd && TypeOf(sibling) == BS_AUTORADIOBUTTON) SendMessageA(sibling, BM_SETCHECK, BST_UNCHECKED, 0);
    sibling = GetNextDlgGroupItem(parent, sibling, FALSE);
  } while (sibling != start);
}

// The click a released button makes: the automatic types change their own
// state first, then the parent hears BN_CLICKED.
void Click(HWND hwnd) {
  switch (TypeOf(hwnd)) {
    case BS_GROUPBOX:
      return;
    case BS_AUTOCHECKBOX:
      SetCheck(hwnd, GetCheck(hwnd) ? BST_UNCHECKED : BST_CHECKED);
      break;
    case BS_AUTO3STATE:
      SetCheck(hwnd, (GetCheck(hwnd) + 1) % 3);
      break;
    case BS_AUTORADIOBUTTON:
      SetCheck(hwnd, BST_CHECKED);
      UncheckGroup(hwnd);
      break;
    default:
      break;
  }
  NotifyCommand(hwnd, BN_CLICKED);
}

void Press(HWND hwnd, bool down) {
  bool wasPushed = false;
  {
    WindowGuard hold(WindowLock());
    ButtonState* s = StateOf<ButtonState>(hwnd);
    if (!s) return;
    wasPushed = s->pushed;
    s->pushed = down;
  }
  InvalidateRect(hwnd, nullptr, FALSE);
  if (!down && wasPushed) Click(hwnd);
}

UINT DialogCodeOf(DWORD type) {
  switch (type) {
    case BS_DEFPUSHBUTTON: return DLGC_BUTTON | DLGC_DEFPUSHBUTTON;
    case BS_PUSHBUTTON: case BS_PUSHBOX: case BS_OWNERDRAW: return DLGC_BUTTON | DLGC_UNDEFPUSHBUTTON;
    case BS_RADIOBUTTON: case BS_AUTORADIOBUTTON: return DLGC_BUTTON | DLGC_RADIOBUTTON;
    case BS_GROUPBOX: return DLGC_STATIC;
    default: return DLGC_BUTTON;
  }
}

LRESULT CALLBACK ButtonProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  LRESULT result = 0;
  if (HandleFontMessage(hwnd, message, wParam, &result)) return result;
  switch (message) {
    case WM_GETDLGCODE:
      return DialogCodeOf(TypeOf(hwnd));
    case BM_GETCHECK:
      return GetCheck(hwnd);
    case BM_SETCHECK:
      SetCheck(hwnd, UINT(wParam));
      return 0;
    case BM_GETSTATE: {
      WindowGuard hold(WindowLock());
      ButtonState* s = StateOf<ButtonState>(hwnd);
      return s ? LRESULT(s->check | (s->pushed ? BST_PUSHED : 0) | (s->focused ? BST_FOCUS : 0)) : 0;
    }
    case BM_SETSTATE: {
      WindowGuard hold(WindowLock());
      ButtonState* s = StateOf<ButtonState>(hwnd);
      if (s) s->pushed = wParam != 0;
      return 0;
    }
    case BM_SETSTYLE: {
      WindowGuard hold(WindowLock());
      WindowPtr w = FindWindowRecord(hwnd);
      if (w) w->style = (w->style & ~DWORD(0xFFFF)) | (DWORD(wParam) & 0xFFFF);
      return 0;
    }
    case BM_SETIMAGE: case BM_GETIMAGE: {
      WindowGuard hold(WindowLock());
      ButtonState* s = StateOf<ButtonState>(hwnd);
      if (!s) return 0;
      HANDLE old = s->image;
      if (message == BM_SETIMAGE) {
        s->image = reinterpret_cast<HANDLE>(lParam);
        s->imageType = UINT(wParam);
      }
      return reinterpret_cast<LRESULT>(old);
    }
    case BM_CLICK:
      // A disabled or hidden button cannot be clicked.
      if (!IsWindowEnabled(hwnd) || !IsWindowVisible(hwnd)) return 0;
      SendMessageA(hwnd, WM_LBUTTONDOWN, MK_LBUTTON, 0);
      SendMessageA(hwnd, WM_LBUTTONUP, 0, 0);
      return 0;
    case WM_LBUTTONDOWN:
      if (TypeOf(hwnd) == BS_GROUPBOX) return 0;
      SetFocus(hwnd);
      Press(hwnd, true);
      return 0;
    case WM_LBUTTONUP:
      Press(hwnd, false);
      return 0;
    case WM_KEYDOWN:
      if (wParam == VK_SPACE) Press(hwnd, true);
      return 0;
    case WM_KEYUP:
      if (wParam == VK_SPACE) Press(hwnd, false);
      return 0;
    case WM_SETFOCUS: case WM_KILLFOCUS: {
      {
        WindowGuard hold(WindowLock());
        ButtonState* s = StateOf<ButtonState>(hwnd);
        if (s) s->focused = message == WM_SETFOCUS;
      }
      if (StyleOf(hwnd) & BS_NOTIFY) NotifyCommand(hwnd, message == WM_SETFOCUS ? BN_SETFOCUS : BN_KILLFOCUS);
      InvalidateRect(hwnd, nullptr, FALSE);
      return 0;
    }
    case WM_SETTEXT: case WM_ENABLE:
      InvalidateRect(hwnd, nullptr, FALSE);
      return DefWindowProcA(hwnd, message, wParam, lParam);
    default:
      return DefWindowProcA(hwnd, message, wParam, lParam);
  }
}

const ControlClassRegistrar g_button("Button", ButtonProc, MakeState<ButtonState>);

}  // namespace
}  // namespace win32
}  // namespace platform
