// The ScrollBar class as a dialog control: a range and a position; the
// user's keys only tell the parent (WM_HSCROLL / WM_VSCROLL with SB_*
// codes), which moves the position itself, as with Windows' scroll bars.
#include <algorithm>

#include "platform/win32/controls.h"

namespace platform {
namespace win32 {
namespace {

struct ScrollBarState : ControlState {
  int min = 0, max = 100, pos = 0;
  void Describe(WindowNode* node) const override {
    node->rangeMin = min;
    node->rangeMax = max;
    node->position = pos;
  }
};

bool Vertical(HWND hwnd) { return (StyleOf(hwnd) & SBS_VERT) != 0; }

LRESULT RangeMessage(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  WindowGuard hold(WindowLock());
  ScrollBarState* s = StateOf<ScrollBarState>(hwnd);
  if (!s) return 0;
  switch (message) {
    case SBM_SETPOS: {
      const int old = s->pos;
      s->pos = std::max(s->min, std::min(int(wParam), s->max));
      return old;
    }
    case SBM_GETPOS: return s->pos;
    case SBM_SETRANGE: case SBM_SETRANGEREDRAW: {
      const int old = s->pos;
      s->min = int(wParam);
      s->max = std::max(int(lParam), s->min);
      s->pos = std::max(s->min, std::min(s->pos, s->max));
      return old;
    }
    case SBM_GETRANGE:
      if (wParam) *reinterpret_cast<int*>(wParam) = s->min;
      if (lParam) *reinterpret_cast<int*>(lParam) = s->max;
      return 0;
    default: return 0;
  }
}

WORD CodeOfKey(WPARAM key) {
  switch (key) {
    case VK_LEFT: case VK_UP: return SB_LINEUP;
    case VK_RIGHT: case VK_DOWN: return SB_LINEDOWN;
    case VK_PRIOR: return SB_PAGEUP;
    case VK_NEXT: return SB_PAGEDOWN;
    case VK_HOME: return SB_TOP;
    case VK_END: return SB_BOTTOM;
    default: return 0xFFFF;
  }
}

LRESULT CALLBACK ScrollBarProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case SBM_SETPOS: case SBM_GETPOS: case SBM_SETRANGE: case SBM_SETRANGEREDRAW: case SBM_GETRANGE: {
      const LRESULT result = RangeMessage(hwnd, message, wParam, lParam);
      InvalidateRect(hwnd, nullptr, FALSE);
      return result;
    }
    case WM_GETDLGCODE:
      return DLGC_WANTARROWS;
    case WM_KEYDOWN: {
      const WORD code = CodeOfKey(wParam);
      if (code != 0xFFFF) NotifyScroll(hwnd, Vertical(hwnd), code, 0);
      return 0;
    }
    case WM_KEYUP:
      if (CodeOfKey(wParam) != 0xFFFF) NotifyScroll(hwnd, Vertical(hwnd), SB_ENDSCROLL, 0);
      return 0;
    default:
      return DefWindowProcA(hwnd, message, wParam, lParam);
  }
}

const ControlClassRegistrar g_scrollBar("ScrollBar", ScrollBarProc, MakeState<ScrollBarState>);

}  // namespace
}  // namespace win32
}  // namespace platform
