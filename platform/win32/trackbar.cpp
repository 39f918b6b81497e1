// The trackbar (msctls_trackbar32): a position in a range, moved by the
// user with the keyboard or by dragging the thumb, each move reported to
// the parent as WM_HSCROLL (WM_VSCROLL with TBS_VERT) and TB_* codes.
#include <algorithm>
#include <cstdlib>

#include "platform/win32/controls.h"
#include "platform/win32/dialog_manager.h"

namespace platform {
namespace win32 {
namespace {

// The channel starts and ends this far from the control's ends, and the
// thumb reaches this far either side of its centre.
constexpr int kChannelMargin = 8;
constexpr int kThumbHalf = 5;

struct TrackbarState : ControlState {
  int min = 0, max = 100, pos = 0;
  int page = 20;
  bool pageSet = false;
  int line = 1;
  int ticFrequency = 1;
  std::vector<int> tics;
  int selStart = 0, selEnd = 0;
  int thumbLength = 21;
  bool dragging = false;
  bool paging = false;
  void Describe(WindowNode* node) const override {
    node->rangeMin = min;
    node->rangeMax = max;
    node->position = pos;
    node->tickFrequency = ticFrequency;
    node->selectionStart = selStart;
    node->selectionEnd = selEnd;
  }
  void Clamp() { pos = std::max(min, std::min(pos, std::max(min, max))); }
};

bool Vertical(HWND hwnd) { return (StyleOf(hwnd) & TBS_VERT) != 0; }

// The channel's extent along the control, in client pixels.
void Channel(HWND hwnd, int* start, int* length) {
  RECT client;
  GetClientRect(hwnd, &client);
  const int extent = Vertical(hwnd) ? client.bottom : client.right;
  *start = kChannelMargin;
  *length = std::max(extent - 2 * kChannelMargin, 1);
}

int CoordinateOf(HWND hwnd, const TrackbarState& s, int position) {
  int start, length;
  Channel(hwnd, &start, &length);
  if (s.max <= s.min) return start;
  return start + MulDivRound(position - s.min, length, s.max - s.min);
}

int PositionAt(HWND hwnd, const TrackbarState& s, int coordinate) {
  int start, length;
  Channel(hwnd, &start, &length);
  if (s.max <= s.min) return s.min;
  const int p = s.min + MulDivRound(coordinate - start, s.max - s.min, length);
  return std::max(s.min, std::min(p, s.max));
}

// Moves the thumb as the user did and tells the parent; positions travel
// with TB_THUMBTRACK and TB_THUMBPOSITION only.
void UserMove(HWND hwnd, int position, WORD code) {
  int pos;
  {
    WindowGuard hold(WindowLock());
    TrackbarState* s = StateOf<TrackbarState>(hwnd);
    if (!s) return;
    s->pos = position;
    s->Clamp();
    pos = s->pos;
  }
  InvalidateRect(hwnd, nullptr, FALSE);
  const bool carries = code == TB_THUMBTRACK || code == TB_THUMBPOSITION;
  NotifyScroll(hwnd, Vertical(hwnd), code, carries ? WORD(pos) : 0);
}

void KeyDown(HWND hwnd, WPARAM key) {
  int target, pos;
  WORD code;
  {
    WindowGuard hold(WindowLock());
    TrackbarState* s = StateOf<TrackbarState>(hwnd);
    if (!s) return;
    pos = s->pos;
    switch (key) {
      case VK_LEFT: case VK_UP: target = pos - s->line; code = TB_LINEUP; break;
      case VK_RIGHT: case VK_DOWN: target = pos + s->line; code = TB_LINEDOWN; break;
      case VK_PRIOR: target = pos - s->page; code = TB_PAGEUP; break;
      case VK_NEXT: target = pos + s->page; code = TB_PAGEDOWN; break;
      case VK_HOME: target = s->min; code = TB_TOP; break;
      case VK_END: target = s->max; code = TB_BOTTOM; break;
      default: return;
    }
    // At the end of the range in that direction nothing moves or is told.
    const bool towardsMin = code == TB_LINEUP || code == TB_PAGEUP || code == TB_TOP;
    if ((towardsMin && pos <= s->min) || (!towardsMin && pos >= s->max)) return;
  }
  UserMove(hwnd, target, code);
}

bool IsTrackKey(WPARAM key) {
  return key == VK_LEFT || key == VK_UP || key == VK_RIGHT || key == VK_DOWN || key == VK_PRIOR || key == VK_NEXT ||
         key == VK_HOME || key == VK_END;
}

int PointCoordinate(HWND hwnd, LPARAM lParam) { return Vertical(hwnd) ? SHORT(HIWORD(lParam)) : SHORT(LOWORD(lParam)); }

void ButtonDown(HWND hwnd, LPARAM lParam) {
  SetFocus(hwnd);
  const int at = PointCoordinate(hwnd, lParam);
  int target;
  WORD code;
  {
    WindowGuard hold(WindowLock());
    TrackbarState* s = StateOf<TrackbarState>(hwnd);
    if (!s) return;
    const int thumb = CoordinateOf(hwnd, *s, s->pos);
    if (std::abs(at - thumb) <= kThumbHalf) {
      s->dragging = true;
      return;
    }
    // A click in the channel beside the thumb pages towards the click.
    s->paging = true;
    target = at < thumb ? s->pos - s->page : s->pos + s->page;
    code = at < thumb ? TB_PAGEUP : TB_PAGEDOWN;
  }
  SetCapture(hwnd);
  UserMove(hwnd, target, code);
}

void MouseMove(HWND hwnd, LPARAM lParam) {
  int target;
  {
    WindowGuard hold(WindowLock());
    TrackbarState* s = StateOf<TrackbarState>(hwnd);
    if (!s || !s->dragging) return;
    target = PositionAt(hwnd, *s, PointCoordinate(hwnd, lParam));
    if (target == s->pos) return;
  }
  UserMove(hwnd, target, TB_THUMBTRACK);
}

void ButtonUp(HWND hwnd) {
  bool dragged, paged;
  int pos;
  {
    WindowGuard hold(WindowLock());
    TrackbarState* s = StateOf<TrackbarState>(hwnd);
    if (!s) return;
    dragged = s->dragging;
    paged = s->paging;
    s->dragging = s->paging = false;
    pos = s->pos;
  }
  ReleaseCapture();
  if (dragged) UserMove(hwnd, pos, TB_THUMBPOSITION);
  if (dragged || paged) NotifyScroll(hwnd, Vertical(hwnd), TB_ENDTRACK, 0);
}

// The range, position and sizes the TBM_ messages read and write.
LRESULT RangeMessage(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  WindowGuard hold(WindowLock());
  TrackbarState* s = StateOf<TrackbarState>(hwnd);
  if (!s) return 0;
  auto resetPage = [s]() {
    if (!s->pageSet) s->page = std::max((s->max - s->min) / 5, 1);
  };
  switch (message) {
    case TBM_GETPOS: return s->pos;
    case TBM_GETRANGEMIN: return s->min;
    case TBM_GETRANGEMAX: return s->max;
    case TBM_SETPOS: s->pos = int(lParam); s->Clamp(); return 0;
    case TBM_SETRANGE:
      s->min = SHORT(LOWORD(lParam));
      s->max = SHORT(HIWORD(lParam));
      resetPage();
      s->Clamp();
      return 0;
    case TBM_SETRANGEMIN: s->min = int(lParam); resetPage(); s->Clamp(); return 0;
    case TBM_SETRANGEMAX: s->max = int(lParam); resetPage(); s->Clamp(); return 0;
    case TBM_SETTICFREQ: s->ticFrequency = std::max(int(wParam), 1); return 0;
    case TBM_SETPAGESIZE: {
      const int old = s->page;
      s->page = int(lParam);
      s->pageSet = true;
      return old;
    }
    case TBM_GETPAGESIZE: return s->page;
    case TBM_SETLINESIZE: {
      const int old = s->line;
      s->line = int(lParam);
      return old;
    }
    case TBM_GETLINESIZE: return s->line;
    case TBM_SETTIC:
      if (int(lParam) < s->min || int(lParam) > s->max) return FALSE;
      s->tics.push_back(int(lParam));
      return TRUE;
    case TBM_GETTIC: return size_t(wParam) < s->tics.size() ? s->tics[size_t(wParam)] : -1;
    case TBM_CLEARTICS: s->tics.clear(); return 0;
    case TBM_GETNUMTICS: {
      const DWORD style = StyleOf(hwnd);
      if (style & TBS_NOTICKS) return 0;
      if (style & TBS_AUTOTICKS) return (s->max - s->min) / s->ticFrequency + 1;
      return LRESULT(s->tics.size() + 2);
    }
    case TBM_SETSEL: s->selStart = SHORT(LOWORD(lParam)); s->selEnd = SHORT(HIWORD(lParam)); return 0;
    case TBM_SETSELSTART: s->selStart = int(lParam); return 0;
    case TBM_SETSELEND: s->selEnd = int(lParam); return 0;
    case TBM_GETSELSTART: return s->selStart;
    case TBM_GETSELEND: return s->selEnd;
    case TBM_CLEARSEL: s->selStart = s->selEnd = 0; return 0;
    case TBM_SETTHUMBLENGTH: s->thumbLength = int(wParam); return 0;
    case TBM_GETTHUMBLENGTH: return s->thumbLength;
    default: return 0;
  }
}

// TBM_GETCHANNELRECT and TBM_GETTHUMBRECT in client coordinates.
void Rects(HWND hwnd, UINT message, RECT* rect) {
  if (!rect) return;
  RECT client;
  GetClientRect(hwnd, &client);
  int start, length;
  Channel(hwnd, &start, &length);
  const bool vertical = Vertical(hwnd);
  const int across = vertical ? client.right : client.bottom;
  if (message == TBM_GETCHANNELRECT) {
    *rect = vertical ? RECT{across / 2 - 2, start, across / 2 + 2, start + length}
                     : RECT{start, across / 2 - 2, start + length, across / 2 + 2};
    return;
  }
  WindowGuard hold(WindowLock());
  TrackbarState* s = StateOf<TrackbarState>(hwnd);
  if (!s) return;
  const int c = CoordinateOf(hwnd, *s, s->pos);
  *rect = vertical ? RECT{0, c - kThumbHalf, across, c + kThumbHalf + 1}
                   : RECT{c - kThumbHalf, 0, c + kThumbHalf + 1, across};
}

LRESULT CALLBACK TrackbarProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  LRESULT result = 0;
  if (HandleFontMessage(hwnd, message, wParam, &result)) return result;
  if (message >= TBM_GETPOS && message <= TBM_GETTHUMBLENGTH && message != TBM_GETTHUMBRECT &&
      message != TBM_GETCHANNELRECT) {
    result = RangeMessage(hwnd, message, wParam, lParam);
    if (message != TBM_GETPOS && message != TBM_GETRANGEMIN && message != TBM_GETRANGEMAX)
      InvalidateRect(hwnd, nullptr, FALSE);
    return result;
  }
  switch (message) {
    case TBM_GETTHUMBRECT: case TBM_GETCHANNELRECT:
      Rects(hwnd, message, reinterpret_cast<RECT*>(lParam));
      return 0;
    case WM_GETDLGCODE:
      return DLGC_WANTARROWS;
    case WM_KEYDOWN:
      KeyDown(hwnd, wParam);
      return 0;
    case WM_KEYUP:
      if (IsTrackKey(wParam)) NotifyScroll(hwnd, Vertical(hwnd), TB_ENDTRACK, 0);
      return 0;
    case WM_LBUTTONDOWN:
      ButtonDown(hwnd, lParam);
      return 0;
    case WM_MOUSEMOVE:
      MouseMove(hwnd, lParam);
      return 0;
    case WM_LBUTTONUP:
      ButtonUp(hwnd);
      return 0;
    default:
      return DefWindowProcA(hwnd, message, wParam, lParam);
  }
}

const ControlClassRegistrar g_trackbar("msctls_trackbar32", TrackbarProc, MakeState<TrackbarState>);

}  // namespace

POINT TrackbarPoint(HWND trackbar, int position) {
  RECT client;
  GetClientRect(trackbar, &client);
  WindowGuard hold(WindowLock());
  TrackbarState* s = StateOf<TrackbarState>(trackbar);
  const int c = s ? CoordinateOf(trackbar, *s, position) : 0;
  return Vertical(trackbar) ? POINT{client.right / 2, c} : POINT{c, client.bottom / 2};
}

}  // namespace win32
}  // namespace platform
