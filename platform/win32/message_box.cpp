// Message boxes: recorded and answered by the machine (a script of answers,
// or the default button), never waiting for a person.
#include "platform/win32/modal_hooks.h"
#include "platform/win32/text.h"
#include "platform/win32/window_manager.h"

namespace {

int ShowMessageBox(HWND owner, const std::string& text, const std::string& caption, UINT type) {
  if (owner && !platform::win32::CheckWindow(owner)) return 0;
  return platform::win32::AnswerMessageBox(owner, text, caption, type);
}

}  // namespace

int WINAPI MessageBoxA(HWND hWnd, LPCSTR lpText, LPCSTR lpCaption, UINT uType) {
  // A box without a caption is captioned "Error", as Windows does.
  return ShowMessageBox(hWnd, platform::win32::AnsiOrEmpty(lpText), lpCaption ? lpCaption : "Error", uType);
}

int WINAPI MessageBoxW(HWND hWnd, LPCWSTR lpText, LPCWSTR lpCaption, UINT uType) {
  return ShowMessageBox(hWnd, platform::win32::WideToAnsiText(platform::win32::WideOrEmpty(lpText)),
                        lpCaption ? platform::win32::WideToAnsiText(lpCaption) : "Error", uType);
}

int WINAPI MessageBoxExA(HWND hWnd, LPCSTR lpText, LPCSTR lpCaption, UINT uType, WORD) {
  return MessageBoxA(hWnd, lpText, lpCaption, uType);
}

// There is no speaker.
BOOL WINAPI MessageBeep(UINT) { return TRUE; }
