// The progress bar (msctls_progress32).
#include <algorithm>

#include "platform/win32/controls.h"

namespace platform {
namespace win32 {
namespace {

constexpr COLORREF kDefaultColour = 0xFF000000;  // CLR_DEFAULT

struct ProgressState : ControlState {
  int min = 0, max = 100, pos = 0, step = 10;
  COLORREF bar = kDefaultColour, background = kDefaultColour;
  void Describe(WindowNode* node) const override {
    node->rangeMin = min;
    node->rangeMax = max;
    node->position = pos;
  }
  int Clamped(int v) const { return std::max(min, std::min(v, std::max(min, max))); }
};

LRESULT Message(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  WindowGuard hold(WindowLock());
  ProgressState* s = StateOf<ProgressState>(hwnd);
  if (!s) return 0;
  const int old = s->pos;
  switch (message) {
    case PBM_SETRANGE: {
      const LRESULT previous = MAKELONG(WORD(s->min), WORD(s->max));
      s->min = LOWORD(lParam);
      s->max = HIWORD(lParam);
      s->pos = s->Clamped(s->pos);
      return previous;
    }
    case PBM_SETRANGE32: {
      const LRESULT previous = MAKELONG(WORD(s->min), WORD(s->max));
      s->min = int(wParam);
      s->max = int(lParam);
      s->pos = s->Clamped(s->pos);
      return previous;
    }
    case PBM_GETRANGE: {
      PBRANGE* range = reinterpret_cast<PBRANGE*>(lParam);
      if (range) {
        range->iLow = s->min;
        range->iHigh = s->max;
      }
      return wParam ? s->min : s->max;
    }
    case PBM_SETPOS: s->pos = s->Clamped(int(wParam)); return old;
    case PBM_DELTAPOS: s->pos = s->Clamped(s->pos + int(wParam)); return old;
    case PBM_GETPOS: return s->pos;
    case PBM_SETSTEP: {
      const int previous = s->step;
      s->step = int(wParam);
      return previous;
    }
    case PBM_STEPIT:
      // Past the end the bar starts over from the beginning.
      s->pos += s->step;
      if (s->pos > s->max) s->pos = s->min;
      if (s->pos < s->min) s->pos = s->max;
      return old;
    case PBM_SETBARCOLOR: case PBM_SETBKCOLOR: {
      COLORREF& slot = message == PBM_SETBARCOLOR ? s->bar : s->background;
      const COLORREF previous = slot;
      slot = COLORREF(lParam);
      return LRESULT(previous);
    }
    default: return 0;
  }
}

LRESULT CALLBACK ProgressProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case PBM_SETRANGE: case PBM_SETRANGE32: case PBM_GETRANGE: case PBM_SETPOS: case PBM_DELTAPOS:
    case PBM_GETPOS: case PBM_SETSTEP: case PBM_STEPIT: case PBM_SETBARCOLOR: case PBM_SETBKCOLOR: {
      const LRESULT result = Message(hwnd, message, wParam, lParam);
      InvalidateRect(hwnd, nullptr, FALSE);
      return result;
    }
    default:
      return DefWindowProcA(hwnd, message, wParam, lParam);
  }
}

const ControlClassRegistrar g_progress("msctls_progress32", ProgressProc, MakeState<ProgressState>);

}  // namespace
}  // namespace win32
}  // namespace platform
