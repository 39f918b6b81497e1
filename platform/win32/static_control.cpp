// The Static class: labels, frames and icons.
#include "platform/win32/controls.h"
#include "platform/win32/modal_hooks.h"

namespace platform {
namespace win32 {
namespace {

struct StaticState : ControlState {
  HANDLE image = nullptr;
  UINT imageType = IMAGE_ICON;
  void Describe(WindowNode* node) const override {
    if (image && imageType == IMAGE_ICON)
      IconPixels(static_cast<HICON>(image), 32, &node->iconId, &node->iconWidth, &node->iconHeight,
                 &node->iconPixels);
  }
};

HANDLE SwapImage(HWND hwnd, UINT type, HANDLE image, bool store) {
  WindowGuard hold(WindowLock());
  StaticState* s = StateOf<StaticState>(hwnd);
  if (!s) return nullptr;
  HANDLE old = s->image;
  if (store) {
    s->image = image;
    s->imageType = type;
  }
  return old;
}

// An icon static takes the size of the icon it shows (a loaded icon's is
// SM_CXICON x SM_CYICON), unless it centres the icon in its own size.
void FitIcon(HWND hwnd, HANDLE icon) {
  const DWORD style = StyleOf(hwnd);
  if ((style & SS_TYPEMASK) != SS_ICON || !icon || (style & (SS_CENTERIMAGE | SS_REALSIZECONTROL))) return;
  SetWindowPos(hwnd, nullptr, 0, 0, GetSystemMetrics(SM_CXICON), GetSystemMetrics(SM_CYICON),
               SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}

LRESULT CALLBACK StaticProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  LRESULT result = 0;
  if (HandleFontMessage(hwnd, message, wParam, &result)) return result;
  switch (message) {
    case WM_GETDLGCODE:
      return DLGC_STATIC;
    case STM_SETICON: {
      HANDLE old = SwapImage(hwnd, IMAGE_ICON, reinterpret_cast<HANDLE>(wParam), true);
      FitIcon(hwnd, reinterpret_cast<HANDLE>(wParam));
      InvalidateRect(hwnd, nullptr, TRUE);
      return reinterpret_cast<LRESULT>(old);
    }
    case STM_GETICON:
      return reinterpret_cast<LRESULT>(SwapImage(hwnd, 0, nullptr, false));
    case STM_SETIMAGE: {
      HANDLE old = SwapImage(hwnd, UINT(wParam), reinterpret_cast<HANDLE>(lParam), true);
      if (wParam == IMAGE_ICON) FitIcon(hwnd, reinterpret_cast<HANDLE>(lParam));
      InvalidateRect(hwnd, nullptr, TRUE);
      return reinterpret_cast<LRESULT>(old);
    }
    case STM_GETIMAGE:
      return reinterpret_cast<LRESULT>(SwapImage(hwnd, 0, nullptr, false));
    case WM_LBUTTONDOWN:
      if (StyleOf(hwnd) & SS_NOTIFY) NotifyCommand(hwnd, STN_CLICKED);
      return 0;
    case WM_LBUTTONDBLCLK:
      if (StyleOf(hwnd) & SS_NOTIFY) NotifyCommand(hwnd, STN_DBLCLK);
      return 0;
    case WM_ENABLE:
      if (StyleOf(hwnd) & SS_NOTIFY) NotifyCommand(hwnd, wParam ? STN_ENABLE : STN_DISABLE);
      return 0;
    case WM_SETTEXT:
      InvalidateRect(hwnd, nullptr, TRUE);
      return DefWindowProcA(hwnd, message, wParam, lParam);
    default:
      return DefWindowProcA(hwnd, message, wParam, lParam);
  }
}

const ControlClassRegistrar g_static("Static", StaticProc, MakeState<StaticState>);

}  // namespace
}  // namespace win32
}  // namespace platform
