// The Edit class: text typed by the user, with a limit, a selection, the
// read-only and number-only styles, and EN_UPDATE / EN_CHANGE.
#include <algorithm>

#include "platform/win32/controls.h"
#include "platform/win32/window_ops.h"

namespace platform {
namespace win32 {
namespace {

constexpr size_t kDefaultLimit = 32767;
constexpr size_t kLargestLimit = 0x7FFFFFFE;

struct EditState : ControlState {
  size_t limit = kDefaultLimit;
  size_t selStart = 0, selEnd = 0;
  bool modified = false;
  char passwordChar = 0;
};

struct Edit {
  bool changed = false;
  bool full = false;  // the limit cut or refused the text
};

// Replaces the selection with `insert` and puts the caret after it. The
// limit applies to what the user types and to EM_REPLACESEL.
Edit Replace(HWND hwnd, std::string insert, bool limited) {
  Edit result;
  WindowGuard hold(WindowLock());
  WindowPtr w = FindWindowRecord(hwnd);
  EditState* s = w ? dynamic_cast<EditState*>(w->control.get()) : nullptr;
  if (!s) return result;
  std::string& text = w->text;
  const size_t start = std::min(std::min(s->selStart, s->selEnd), text.size());
  const size_t end = std::min(std::max(s->selStart, s->selEnd), text.size());
  const size_t kept = text.size() - (end - start);
  if (limited && kept + insert.size() > s->limit) {
    result.full = true;
    insert.resize(kept >= s->limit ? 0 : s->limit - kept);
    if (insert.empty() && end == start) return result;
  }
  text.replace(start, end - start, insert);
  s->selStart = s->selEnd = start + insert.size();
  s->modified = true;
  result.changed = true;
  return result;
}

void Report(HWND hwnd, const Edit& edit) {
  if (edit.full) NotifyCommand(hwnd, EN_MAXTEXT);
  if (edit.changed) {
    NotifyCommand(hwnd, EN_UPDATE);
    NotifyCommand(hwnd, EN_CHANGE);
    InvalidateRect(hwnd, nullptr, FALSE);
  }
}

bool ReadOnly(HWND hwnd) { return (StyleOf(hwnd) & ES_READONLY) != 0; }

void SetSelection(HWND hwnd, long start, long end) {
  WindowGuard hold(WindowLock());
  WindowPtr w = FindWindowRecord(hwnd);
  EditState* s = w ? dynamic_cast<EditState*>(w->control.get()) : nullptr;
  if (!s) return;
  const long size = long(w->text.size());
  if (start == -1) {
    s->selStart = s->selEnd;  // no selection, the caret stays
    return;
  }
  if (end == -1 || end > size) end = size;
  start = std::min(std::max(start, 0L), size);
  end = std::max(end, 0L);
  s->selStart = size_t(std::min(start, end));
  s->selEnd = size_t(std::max(start, end));
}

// A character the user typed.
void TypeCharacter(HWND hwnd, WPARAM ch) {
  if (ReadOnly(hwnd)) {
    MessageBeep(0);
    return;
  }
  const DWORD style = StyleOf(hwnd);
  if (ch == VK_BACK) {
    {
      WindowGuard hold(WindowLock());
      EditState* s = StateOf<EditState>(hwnd);
      if (!s) return;
      if (s->selStart == s->selEnd) {
        if (s->selStart == 0) return;
        --s->selStart;
      }
    }
    Report(hwnd, Replace(hwnd, std::string(), false));
    return;
  }
  const bool lineBreak = (ch == '\r' || ch == '\n') && (style & ES_MULTILINE);
  if (ch < 0x20 && !lineBreak) return;
  if ((style & ES_NUMBER) && !(ch >= '0' && ch <= '9')) {
    MessageBeep(0);
    return;
  }
  char c = char(ch);
  if ((style & ES_UPPERCASE) && c >= 'a' && c <= 'z') c = char(c - 'a' + 'A');
  if ((style & ES_LOWERCASE) && c >= 'A' && c <= 'Z') c = char(c - 'A' + 'a');
  Report(hwnd, Replace(hwnd, lineBreak ? std::string("\r\n") : std::string(1, c), true));
}

void KeyDown(HWND hwnd, WPARAM key) {
  bool deleting = false;
  {
    WindowGuard hold(WindowLock());
    WindowPtr w = FindWindowRecord(hwnd);
    EditState* s = w ? dynamic_cast<EditState*>(w->control.get()) : nullptr;
    if (!s) return;
    const size_t size = w->text.size();
    switch (key) {
      case VK_LEFT: s->selStart = s->selEnd = s->selEnd > 0 ? s->selEnd - 1 : 0; break;
      case VK_RIGHT: s->selStart = s->selEnd = std::min(s->selEnd + 1, size); break;
      case VK_HOME: s->selStart = s->selEnd = 0; break;
      case VK_END: s->selStart = s->selEnd = size; break;
      case VK_DELETE:
        if (!(w->style & ES_READONLY)) {
          if (s->selStart == s->selEnd && s->selEnd < size) ++s->selEnd;
          deleting = s->selStart != s->selEnd;
        }
        break;
      default: break;
    }
  }
  if (deleting) Report(hwnd, Replace(hwnd, std::string(), false));
}

LRESULT SetText(HWND hwnd, LPCSTR text) {
  {
    WindowGuard hold(WindowLock());
    WindowPtr w = FindWindowRecord(hwnd);
    EditState* s = w ? dynamic_cast<EditState*>(w->control.get()) : nullptr;
    if (!s) return FALSE;
    w->text = text ? text : "";
    s->selStart = s->selEnd = 0;
    s->modified = false;
  }
  InvalidateRect(hwnd, nullptr, FALSE);
  // A single-line edit reports a new text like a typed one.
  if (!(StyleOf(hwnd) & ES_MULTILINE)) {
    NotifyCommand(hwnd, EN_UPDATE);
    NotifyCommand(hwnd, EN_CHANGE);
  }
  return TRUE;
}

LRESULT CALLBACK EditProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  LRESULT result = 0;
  if (HandleFontMessage(hwnd, message, wParam, &result)) return result;
  switch (message) {
    case WM_SETTEXT:
      return SetText(hwnd, reinterpret_cast<LPCSTR>(lParam));
    case WM_CHAR:
      TypeCharacter(hwnd, wParam);
      return 0;
    case WM_KEYDOWN:
      KeyDown(hwnd, wParam);
      return 0;
    case WM_LBUTTONDOWN:
      SetFocus(hwnd);
      return 0;
    case WM_SETFOCUS:
      NotifyCommand(hwnd, EN_SETFOCUS);
      return 0;
    case WM_KILLFOCUS:
      NotifyCommand(hwnd, EN_KILLFOCUS);
      return 0;
    case WM_GETDLGCODE:
      return DLGC_WANTCHARS | DLGC_HASSETSEL | DLGC_WANTARROWS |
             ((StyleOf(hwnd) & ES_MULTILINE) ? DLGC_WANTALLKEYS : 0);
    case EM_SETSEL:
      SetSelection(hwnd, long(INT_PTR(wParam)), long(lParam));
      return 0;
    case EM_GETSEL: {
      WindowGuard hold(WindowLock());
      EditState* s = StateOf<EditState>(hwnd);
      if (!s) return 0;
      if (wParam) *reinterpret_cast<DWORD*>(wParam) = DWORD(s->selStart);
      if (lParam) *reinterpret_cast<DWORD*>(lParam) = DWORD(s->selEnd);
      return MAKELONG(WORD(std::min<size_t>(s->selStart, 0xFFFF)), WORD(std::min<size_t>(s->selEnd, 0xFFFF)));
    }
    case EM_REPLACESEL:
      Report(hwnd, Replace(hwnd, lParam ? reinterpret_cast<LPCSTR>(lParam) : "", true));
      return 0;
    case EM_LIMITTEXT: {
      WindowGuard hold(WindowLock());
      EditState* s = StateOf<EditState>(hwnd);
      if (s) s->limit = wParam ? size_t(wParam) : kLargestLimit;
      return 0;
    }
    case EM_GETLIMITTEXT: {
      WindowGuard hold(WindowLock());
      EditState* s = StateOf<EditState>(hwnd);
      return s ? LRESULT(s->limit) : 0;
    }
    case EM_GETMODIFY: case EM_SETMODIFY: {
      WindowGuard hold(WindowLock());
      EditState* s = StateOf<EditState>(hwnd);
      if (!s) return 0;
      if (message == EM_SETMODIFY) s->modified = wParam != 0;
      return s->modified;
    }
    case EM_SETREADONLY: {
      WindowGuard hold(WindowLock());
      WindowPtr w = FindWindowRecord(hwnd);
      if (!w) return FALSE;
      w->style = wParam ? (w->style | ES_READONLY) : (w->style & ~DWORD(ES_READONLY));
      return TRUE;
    }
    case EM_GETLINECOUNT: {
      if (!(StyleOf(hwnd) & ES_MULTILINE)) return 1;
      const std::string text = WindowText(hwnd);
      return LRESULT(std::count(text.begin(), text.end(), '\n') + 1);
    }
    case EM_SETPASSWORDCHAR: case EM_GETPASSWORDCHAR: {
      WindowGuard hold(WindowLock());
      EditState* s = StateOf<EditState>(hwnd);
      if (!s) return 0;
      if (message == EM_SETPASSWORDCHAR) s->passwordChar = char(wParam);
      return LRESULT(uint8_t(s->passwordChar));
    }
    default:
      return DefWindowProcA(hwnd, message, wParam, lParam);
  }
}

const ControlClassRegistrar g_edit("Edit", EditProc, MakeState<EditState>);

}  // namespace
}  // namespace win32
}  // namespace platform
