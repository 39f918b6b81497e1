// Text conversions of the window system. Window texts, list items and menu
// strings are kept as bytes in the PC's ANSI code page, as the ANSI calls
// see them; the wide calls convert on the way in and out. Resources carry
// UTF-16, which becomes the host's wide characters (UTF-32 on Linux).
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include <windows.h>

namespace platform {
namespace win32 {

// The ANSI code page of the PC's language (1252, 932, 936, 949, 950).
uint32_t AnsiCodePage();

std::wstring Utf16ToWide(const std::u16string& text);
std::string Utf16ToAnsi(const std::u16string& text);
std::string WideToAnsiText(const std::wstring& text);
std::wstring AnsiToWideText(const std::string& text);

// Zero-terminated strings that may be null.
std::string AnsiOrEmpty(LPCSTR text);
std::wstring WideOrEmpty(LPCWSTR text);

// Copies `text` into a caller's buffer of `capacity` units as the Win32
// text calls do: at most capacity - 1 units and a terminator; returns the
// units copied without the terminator (0 and nothing written for a zero
// capacity or a null buffer). The ANSI form never cuts a double-byte
// character in half.
int CopyOut(const std::string& text, LPSTR buffer, int capacity);
int CopyOut(const std::wstring& text, LPWSTR buffer, int capacity);

// Case-insensitive comparison as window-class names and list searches use
// it (ASCII letters fold; other bytes compare as they are).
bool EqualNoCase(const std::string& a, const std::string& b);
int CompareNoCase(const std::string& a, const std::string& b);
bool EqualNoCase16(const std::u16string& a, const std::u16string& b);

}  // namespace win32
}  // namespace platform
