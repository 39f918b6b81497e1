// Text in the simulated PC's ANSI code pages: 1252 (Western European),
// 1251 (Cyrillic), 932 (Japanese), 936 (Simplified Chinese), 949 (Korean), 950 (Traditional
// Chinese), and UTF-8 (65001) for the host side. Conversions are strict
// about what they produce and lenient about what they read: a byte sequence
// that is not valid in the code page becomes U+FFFD (wide) or '?' (ANSI),
// never an error and never a read past the input.
#pragma once

#include <cstdint>
#include <string>

namespace platform {

constexpr uint32_t kCodePageUtf8 = 65001;

// True for the code pages above.
bool KnownCodePage(uint32_t codePage);
// ANSI bytes to UTF-32 (the host's wchar_t) and back.
std::wstring AnsiToWide(uint32_t codePage, const std::string& bytes);
std::string WideToAnsi(uint32_t codePage, const std::wstring& text);
// ANSI bytes to UTF-8 and back (for drawing and for files written on the host).
std::string AnsiToUtf8(uint32_t codePage, const std::string& bytes);
std::string Utf8ToAnsi(uint32_t codePage, const std::string& utf8);

}  // namespace platform
