// The up-down control (msctls_updown32): a position between a lower and an
// upper limit, changed by its arrows; it asks its parent first (UDN_DELTAPOS
// through WM_NOTIFY), then moves, writes the position into its buddy
// (UDS_SETBUDDYINT) and reports WM_VSCROLL (WM_HSCROLL with UDS_HORZ).
#include <algorithm>
#include <cstdio>

#include "platform/win32/controls.h"
#include "platform/win32/window_ops.h"

namespace platform {
namespace win32 {
namespace {

struct UpDownState : ControlState {
  // The default range runs from 100 at the bottom to 0 at the top.
  int lower = 100, upper = 0, pos = 0;
  HWND buddy = nullptr;
  int base = 10;
  std::vector<UDACCEL> accel;
  bool pressedUp = false, pressed = false;
  void Describe(WindowNode* node) const override {
    node->rangeMin = lower;
    node->rangeMax = upper;
    node->position = pos;
  }
  int Low() const { return std::min(lower, upper); }
  int High() const { return std::max(lower, upper); }
  int Clamped(int v) const { return std::max(Low(), std::min(v, High())); }
};

bool Horizontal(HWND hwnd) { return (StyleOf(hwnd) & UDS_HORZ) != 0; }

// The buddy's text for a position: decimal with thousands separators
// (unless UDS_NOTHOUSANDS), or hexadecimal in base 16.
std::string FormatPosition(int pos, int base, bool thousands) {
  char text[32];
  if (base == 16) {
    std::snprintf(text, sizeof text, "0x%04X", unsigned(pos));
    return text;
  }
  std::snprintf(text, sizeof text, "%d", pos);
  std::string digits = text;
  if (!thousands) return digits;
  const size_t first = digits[0] == '-' ? 1 : 0;
  for (int i = int(digits.size()) - 3; i > int(first); i -= 3) digits.insert(size_t(i), ",");
  return digits;
}

// Reads a buddy's text back; false when it is not a number.
bool ParsePosition(const std::string& text, int base, int* value) {
  std::string digits;
  for (char c : text)
    if (c != ',' && c != ' ') digits.push_back(c);
  if (base == 16 && digits.size() > 2 && digits[0] == '0' && (digits[1] == 'x' || digits[1] == 'X'))
    digits.erase(0, 2);
  if (digits.empty() || digits.size() > 11) return false;
  char* end = nullptr;
  const long v = std::strtol(digits.c_str(), &end, base == 16 ? 16 : 10);
  if (!end || *end) return false;
  *value = int(v);
  return true;
}

void UpdateBuddy(HWND hwnd) {
  HWND buddy;
  std::string text;
  {
    WindowGuard hold(WindowLock());
    UpDownState* s = StateOf<UpDownState>(hwnd);
    if (!s || !s->buddy || !(StyleOf(hwnd) & UDS_SETBUDDYINT)) return;
    buddy = s->buddy;
    text = FormatPosition(s->pos, s->base, !(StyleOf(hwnd) & UDS_NOTHOUSANDS));
  }
  if (IsWindow(buddy)) SetWindowTextA(buddy, text.c_str());
}

// With UDS_SETBUDDYINT the buddy's text is the position: a valid number
// there becomes the position; false when the text is no number.
bool ReadBuddy(HWND hwnd) {
  HWND buddy;
  int base;
  {
    WindowGuard hold(WindowLock());
    UpDownState* s = StateOf<UpDownState>(hwnd);
    if (!s) return false;
    if (!s->buddy || !(StyleOf(hwnd) & UDS_SETBUDDYINT)) return true;
    buddy = s->buddy;
    base = s->base;
  }
  int value = 0;
  if (!IsWindow(buddy) || !ParsePosition(WindowText(buddy), base, &value)) return false;
  WindowGuard hold(WindowLock());
  UpDownState* s = StateOf<UpDownState>(hwnd);
  if (!s) return false;
  s->pos = s->Clamped(value);
  return true;
}

// UDS_ALIGNRIGHT / UDS_ALIGNLEFT: the control sits on the buddy's edge, as
// tall as the buddy, and the buddy gives up the room.
void Align(HWND hwnd, HWND buddy) {
  const DWORD style = StyleOf(hwnd);
  if (!(style & (UDS_ALIGNRIGHT | UDS_ALIGNLEFT)) || !buddy || GetParent(buddy) != GetParent(hwnd)) return;
  RECT own, other;
  GetWindowRect(hwnd, &own);
  GetWindowRect(buddy, &other);
  POINT topLeft = {other.left, other.top};
  ScreenToClient(GetParent(hwnd), &topLeft);
  const int width = std::max<LONG>(own.right - own.left, 1);
  const int buddyWidth = std::max<LONG>(other.right - other.left - width, 0);
  const int height = other.bottom - other.top;
  if (style & UDS_ALIGNRIGHT) {
    MoveWindow(buddy, topLeft.x, topLeft.y, buddyWidth, height, FALSE);
    MoveWindow(hwnd, topLeft.x + buddyWidth, topLeft.y, width, height, FALSE);
  } else {
    MoveWindow(hwnd, topLeft.x, topLeft.y, width, height, FALSE);
    MoveWindow(buddy, topLeft.x + width, topLeft.y, buddyWidth, height, FALSE);
  }
}

HWND SetBuddy(HWND hwnd, HWND buddy) {
  HWND old;
  {
    WindowGuard hold(WindowLock());
    UpDownState* s = StateOf<UpDownState>(hwnd);
    if (!s) return nullptr;
    old = s->buddy;
    s->buddy = IsWindow(buddy) ? buddy : nullptr;
  }
  Align(hwnd, buddy);
  return old;
}

// A click on an arrow: the parent may refuse the step; the move wraps
// (UDS_WRAP) or stops at the limits; WM_VSCROLL goes out either way.
void Step(HWND hwnd, bool up) {
  ReadBuddy(hwnd);
  NMUPDOWN nm;
  {
    WindowGuard hold(WindowLock());
    UpDownState* s = StateOf<UpDownState>(hwnd);
    if (!s) return;
    const int increment = s->accel.empty() ? 1 : int(s->accel.front().nInc);
    // The up arrow moves towards the upper limit.
    const int towardsUpper = s->upper >= s->lower ? increment : -increment;
    nm.iPos = s->pos;
    nm.iDelta = up ? towardsUpper : -towardsUpper;
  }
  if (NotifyParent(hwnd, UDN_DELTAPOS, &nm.hdr)) return;
  int pos;
  bool changed;
  {
    WindowGuard hold(WindowLock());
    UpDownState* s = StateOf<UpDownState>(hwnd);
    if (!s) return;
    int next = nm.iPos + nm.iDelta;
    if (next < s->Low() || next > s->High())
      next = (StyleOf(hwnd) & UDS_WRAP) ? (next < s->Low() ? s->High() : s->Low()) : s->Clamped(next);
    changed = next != s->pos;
    s->pos = next;
    pos = s->pos;
  }
  if (changed) UpdateBuddy(hwnd);
  InvalidateRect(hwnd, nullptr, FALSE);
  NotifyScroll(hwnd, !Horizontal(hwnd), SB_THUMBPOSITION, WORD(pos));
}

// Which arrow a point is on: the upper half (right half with UDS_HORZ) is
// the "up" arrow.
bool UpperArrow(HWND hwnd, LPARAM lParam) {
  RECT client;
  GetClientRect(hwnd, &client);
  if (Horizontal(hwnd)) return SHORT(LOWORD(lParam)) >= client.right / 2;
  return SHORT(HIWORD(lParam)) < client.bottom / 2;
}

LRESULT PositionMessage(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == UDM_GETPOS || message == UDM_GETPOS32) {
    const bool ok = ReadBuddy(hwnd);
    WindowGuard hold(WindowLock());
    UpDownState* s = StateOf<UpDownState>(hwnd);
    if (!s) return 0;
    if (message == UDM_GETPOS32) {
      if (lParam) *reinterpret_cast<BOOL*>(lParam) = ok ? FALSE : TRUE;
      return s->pos;
    }
    return MAKELONG(WORD(s->pos), ok ? 0 : 1);
  }
  LRESULT old;
  {
    WindowGuard hold(WindowLock());
    UpDownState* s = StateOf<UpDownState>(hwnd);
    if (!s) return 0;
    old = s->pos;
    s->pos = s->Clamped(message == UDM_SETPOS ? int(SHORT(LOWORD(lParam))) : int(lParam));
  }
  UpdateBuddy(hwnd);
  InvalidateRect(hwnd, nullptr, FALSE);
  return message == UDM_SETPOS ? LRESULT(WORD(old)) : old;
}

LRESULT RangeMessage(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  WindowGuard hold(WindowLock());
  UpDownState* s = StateOf<UpDownState>(hwnd);
  if (!s) return 0;
  switch (message) {
    case UDM_SETRANGE:
      s->upper = SHORT(LOWORD(lParam));
      s->lower = SHORT(HIWORD(lParam));
      return 0;
    case UDM_GETRANGE: return MAKELONG(WORD(s->upper), WORD(s->lower));
    case UDM_SETRANGE32:
      s->lower = int(wParam);
      s->upper = int(lParam);
      return 0;
    case UDM_GETRANGE32:
      if (wParam) *reinterpret_cast<int*>(wParam) = s->lower;
      if (lParam) *reinterpret_cast<int*>(lParam) = s->upper;
      return 0;
    case UDM_SETBASE: {
      if (wParam != 10 && wParam != 16) return 0;
      const int old = s->base;
      s->base = int(wParam);
      return old;
    }
    case UDM_GETBASE: return s->base;
    case UDM_SETACCEL: {
      const UDACCEL* accel = reinterpret_cast<const UDACCEL*>(lParam);
      if (!accel || wParam == 0) return FALSE;
      s->accel.assign(accel, accel + std::min<WPARAM>(wParam, 64));
      return TRUE;
    }
    case UDM_GETACCEL: {
      UDACCEL* out = reinterpret_cast<UDACCEL*>(lParam);
      const size_t n = std::min<size_t>(wParam, s->accel.size());
      for (size_t i = 0; out && i < n; ++i) out[i] = s->accel[i];
      return LRESULT(s->accel.size());
    }
    default: return 0;
  }
}

LRESULT CALLBACK UpDownProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_CREATE:
      if (StyleOf(hwnd) & UDS_AUTOBUDDY) SetBuddy(hwnd, GetWindow(hwnd, GW_HWNDPREV));
      return 0;
    case UDM_SETPOS: case UDM_SETPOS32: case UDM_GETPOS: case UDM_GETPOS32:
      return PositionMessage(hwnd, message, wParam, lParam);
    case UDM_SETRANGE: case UDM_GETRANGE: case UDM_SETRANGE32: case UDM_GETRANGE32: case UDM_SETBASE:
    case UDM_GETBASE: case UDM_SETACCEL: case UDM_GETACCEL:
      return RangeMessage(hwnd, message, wParam, lParam);
    case UDM_SETBUDDY:
      return reinterpret_cast<LRESULT>(SetBuddy(hwnd, reinterpret_cast<HWND>(wParam)));
    case UDM_GETBUDDY: {
      WindowGuard hold(WindowLock());
      UpDownState* s = StateOf<UpDownState>(hwnd);
      return s ? reinterpret_cast<LRESULT>(s->buddy) : 0;
    }
    case WM_LBUTTONDOWN: {
      const bool up = UpperArrow(hwnd, lParam);
      {
        WindowGuard hold(WindowLock());
        UpDownState* s = StateOf<UpDownState>(hwnd);
        if (!s) return 0;
        s->pressed = true;
        s->pressedUp = up;
      }
      SetCapture(hwnd);
      Step(hwnd, up);
      return 0;
    }
    case WM_LBUTTONUP: {
      int pos;
      {
        WindowGuard hold(WindowLock());
        UpDownState* s = StateOf<UpDownState>(hwnd);
        if (!s || !s->pressed) return 0;
        s->pressed = false;
        pos = s->pos;
      }
      ReleaseCapture();
      NotifyScroll(hwnd, !Horizontal(hwnd), SB_ENDSCROLL, WORD(pos));
      return 0;
    }
    default:
      return DefWindowProcA(hwnd, message, wParam, lParam);
  }
}

const ControlClassRegistrar g_updown("msctls_updown32", UpDownProc, MakeState<UpDownState>);

}  // namespace
}  // namespace win32
}  // namespace platform
