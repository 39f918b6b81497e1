// Text of the Win32 calls in the stand-ins' own form: the A calls' bytes are
// in the PC's ANSI code page (that of its language), the W calls' text is
// WCHAR (the host's wchar_t), and the machine keeps UTF-8 (registry, paths).
// Plain ASCII passes through unconverted.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace platform {
namespace pc_text {

uint32_t AnsiCodePage();
// A null pointer reads as the empty text.
std::string AnsiToUtf8(const char* ansi);
std::string AnsiToUtf8(const std::string& ansi);
std::string Utf8ToAnsi(const std::string& utf8);
std::string WideToUtf8(const wchar_t* wide);
std::string WideToUtf8(const std::wstring& wide);
std::wstring Utf8ToWide(const std::string& utf8);

// UTF-16LE bytes (the registry's own form of REG_MULTI_SZ) and WCHAR text,
// embedded terminators included; a final odd byte is dropped and unpaired
// surrogates become U+FFFD.
std::wstring Utf16LeToWide(const std::vector<uint8_t>& bytes);
std::vector<uint8_t> WideToUtf16Le(const std::wstring& text);

// Copies `text` and its terminator into a caller's buffer of `capacity`
// characters when it fits; false (buffer untouched) when it does not.
bool CopyTerminated(const std::string& text, char* buffer, size_t capacity);
bool CopyTerminated(const std::wstring& text, wchar_t* buffer, size_t capacity);

}  // namespace pc_text
}  // namespace platform
