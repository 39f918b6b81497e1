// Calls into window procedures, converting the text of text-carrying
// messages when the sender and the procedure use different character sets
// (SendMessageW to an ANSI procedure, or an ANSI send to a procedure of a
// class registered with RegisterClassW), as user32 does.
#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "platform/win32/message_queue.h"
#include "platform/win32/text.h"
#include "platform/win32/window_manager.h"

namespace platform {
namespace win32 {
namespace {

enum class TextKind { None, In, Out, Length, Create };

// List and combo boxes that keep only item data (owner-drawn without
// strings) take no text in their string messages.
bool KeepsStrings(HWND hwnd, bool comboBox) {
  const DWORD style = DWORD(GetWindowLongA(hwnd, GWL_STYLE));
  const DWORD ownerDraw = comboBox ? (CBS_OWNERDRAWFIXED | CBS_OWNERDRAWVARIABLE)
                                   : (LBS_OWNERDRAWFIXED | LBS_OWNERDRAWVARIABLE);
  const DWORD hasStrings = comboBox ? CBS_HASSTRINGS : LBS_HASSTRINGS;
  return !(style & ownerDraw) || (style & hasStrings);
}

TextKind KindOf(HWND hwnd, UINT message) {
  switch (message) {
    case WM_SETTEXT: case EM_REPLACESEL: return TextKind::In;
    case WM_GETTEXT: return TextKind::Out;
    case WM_GETTEXTLENGTH: return TextKind::Length;
    case WM_CREATE: case WM_NCCREATE: return TextKind::Create;
    case LB_ADDSTRING: case LB_INSERTSTRING: case LB_FINDSTRING: case LB_FINDSTRINGEXACT: case LB_SELECTSTRING:
      return KeepsStrings(hwnd, false) ? TextKind::In : TextKind::None;
    case CB_ADDSTRING: case CB_INSERTSTRING: case CB_FINDSTRING: case CB_FINDSTRINGEXACT: case CB_SELECTSTRING:
      return KeepsStrings(hwnd, true) ? TextKind::In : TextKind::None;
    case LB_GETTEXT: return KeepsStrings(hwnd, false) ? TextKind::Out : TextKind::None;
    case CB_GETLBTEXT: return KeepsStrings(hwnd, true) ? TextKind::Out : TextKind::None;
    case LB_GETTEXTLEN: return KeepsStrings(hwnd, false) ? TextKind::Length : TextKind::None;
    case CB_GETLBTEXTLEN: return KeepsStrings(hwnd, true) ? TextKind::Length : TextKind::None;
    default: return TextKind::None;
  }
}

// The message that reads the text whose length a length message asks for,
// and the length message that goes with a text-reading message.
UINT TextMessageOf(UINT lengthMessage) {
  return lengthMessage == WM_GETTEXTLENGTH ? WM_GETTEXT : lengthMessage == LB_GETTEXTLEN ? LB_GETTEXT : CB_GETLBTEXT;
}
UINT LengthMessageOf(UINT textMessage) {
  return textMessage == WM_GETTEXT ? WM_GETTEXTLENGTH : textMessage == LB_GETTEXT ? LB_GETTEXTLEN : CB_GETLBTEXTLEN;
}

// The two character sets and their records.
template <class C>
struct CharSet;
template <>
struct CharSet<char> {
  typedef CREATESTRUCTA Create;
  static std::wstring Other(const std::string& s) { return AnsiToWideText(s); }
};
template <>
struct CharSet<WCHAR> {
  typedef CREATESTRUCTW Create;
  static std::string Other(const std::wstring& s) { return WideToAnsiText(s); }
};

// Reads the whole text a procedure gives for an out-message, in the
// procedure's own character set. A negative length (LB_ERR for a bad
// index) is handed back in *error.
template <class C>
std::basic_string<C> ReadText(WNDPROC proc, HWND hwnd, UINT message, WPARAM wParam, LRESULT* error) {
  const LRESULT length = proc(hwnd, LengthMessageOf(message), message == WM_GETTEXT ? 0 : wParam, 0);
  *error = length < 0 ? length : 0;
  if (length <= 0) return std::basic_string<C>();
  std::vector<C> buffer(size_t(length) + 1, 0);
  const WPARAM w = message == WM_GETTEXT ? WPARAM(buffer.size()) : wParam;
  const LRESULT got = proc(hwnd, message, w, reinterpret_cast<LPARAM>(buffer.data()));
  if (got <= 0) return std::basic_string<C>();
  return std::basic_string<C>(buffer.data(), std::min(size_t(got), size_t(length)));
}

// A sender of one character set calling a procedure of the other.
template <class SenderChar, class ProcChar>
LRESULT ConvertedCall(WNDPROC proc, HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam, TextKind kind) {
  typedef std::basic_string<SenderChar> SenderText;
  switch (kind) {
    case TextKind::In: {
      if (!lParam) return proc(hwnd, message, wParam, lParam);
      const auto text = CharSet<SenderChar>::Other(SenderText(reinterpret_cast<const SenderChar*>(lParam)));
      return proc(hwnd, message, wParam, reinterpret_cast<LPARAM>(text.c_str()));
    }
    case TextKind::Create: {
      const auto& from = *reinterpret_cast<const typename CharSet<SenderChar>::Create*>(lParam);
      typename CharSet<ProcChar>::Create to;
      std::memcpy(&to, &from, sizeof to);
      const auto name = CharSet<SenderChar>::Other(from.lpszName ? SenderText(from.lpszName) : SenderText());
      const auto cls = IS_INTRESOURCE(from.lpszClass) ? decltype(name)() : CharSet<SenderChar>::Other(from.lpszClass);
      to.lpszName = from.lpszName ? name.c_str() : nullptr;
      to.lpszClass = IS_INTRESOURCE(from.lpszClass) ? reinterpret_cast<const ProcChar*>(from.lpszClass) : cls.c_str();
      return proc(hwnd, message, wParam, reinterpret_cast<LPARAM>(&to));
    }
    case TextKind::Out: {
      LRESULT error = 0;
      const SenderText text = CharSet<ProcChar>::Other(ReadText<ProcChar>(proc, hwnd, message, wParam, &error));
      if (error) return error;
      SenderChar* out = reinterpret_cast<SenderChar*>(lParam);
      if (message == WM_GETTEXT) return CopyOut(text, out, int(wParam));
      if (!out) return LB_ERR;
      std::copy(text.c_str(), text.c_str() + text.size() + 1, out);
      return LRESULT(text.size());
    }
    case TextKind::Length: {
      LRESULT error = 0;
      const SenderText text =
          CharSet<ProcChar>::Other(ReadText<ProcChar>(proc, hwnd, TextMessageOf(message), wParam, &error));
      return error ? error : LRESULT(text.size());
    }
    default:
      return proc(hwnd, message, wParam, lParam);
  }
}

}  // namespace

LRESULT CallProcedure(WNDPROC proc, bool procUnicode, HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam,
                      bool senderUnicode) {
  if (!proc) return 0;
  if (procUnicode == senderUnicode) return proc(hwnd, message, wParam, lParam);
  const TextKind kind = KindOf(hwnd, message);
  if (kind == TextKind::None || (kind == TextKind::Create && !lParam)) return proc(hwnd, message, wParam, lParam);
  return senderUnicode ? ConvertedCall<WCHAR, char>(proc, hwnd, message, wParam, lParam, kind)
                       : ConvertedCall<char, WCHAR>(proc, hwnd, message, wParam, lParam, kind);
}

}  // namespace win32
}  // namespace platform
