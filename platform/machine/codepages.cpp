// Code-page conversions through iconv. Invalid input is replaced one byte
// at a time so that a damaged caption still shows what it can.
#include "platform/machine/codepages.h"

#include <iconv.h>

#include <cerrno>
#include <cstring>
#include <vector>

namespace platform {
namespace {

const char* IconvName(uint32_t codePage) {
  switch (codePage) {
    case 1251: return "CP1251";
    case 1252: return "CP1252";
    case 932: return "CP932";
    case 936: return "CP936";
    case 949: return "CP949";
    case 950: return "CP950";
    case kCodePageUtf8: return "UTF-8";
    default: return nullptr;
  }
}

// Converts `in` from one charset to another; each input unit (a byte, or a
// wchar_t for wide input) that cannot be converted is replaced by
// `replacement` (already in the target charset). Skipping a whole unit keeps
// wide input aligned: skipping one byte of it would read the rest as other
// characters.
std::string Convert(const char* from, const char* to, const std::string& in, const std::string& replacement,
                    size_t unit = 1) {
  if (!from || !to) return std::string();
  iconv_t cd = iconv_open(to, from);
  if (cd == (iconv_t)-1) return std::string();
  std::string out;
  std::vector<char> buffer(4 * in.size() + 16);
  char* src = const_cast<char*>(in.data());
  size_t srcLeft = in.size();
  while (srcLeft > 0) {
    char* dst = buffer.data();
    size_t dstLeft = buffer.size();
    size_t r = iconv(cd, &src, &srcLeft, &dst, &dstLeft);
    out.append(buffer.data(), size_t(dst - buffer.data()));
    if (r != (size_t)-1) break;
    if (errno == E2BIG) continue;
    // EILSEQ or EINVAL (a truncated sequence at the end): skip one unit.
    out += replacement;
    const size_t skip = srcLeft < unit ? srcLeft : unit;
    src += skip;
    srcLeft -= skip;
    iconv(cd, nullptr, nullptr, nullptr, nullptr);
  }
  iconv_close(cd);
  return out;
}

const char* WideName() { return sizeof(wchar_t) == 4 ? "UTF-32LE" : "UTF-16LE"; }

std::string WideReplacement() {
  std::wstring r(1, wchar_t(0xFFFD));
  return std::string(reinterpret_cast<const char*>(r.data()), sizeof(wchar_t));
}

}  // namespace

bool KnownCodePage(uint32_t codePage) { return IconvName(codePage) != nullptr; }

std::wstring AnsiToWide(uint32_t codePage, const std::string& bytes) {
  std::string raw = Convert(IconvName(codePage), WideName(), bytes, WideReplacement());
  std::wstring out(raw.size() / sizeof(wchar_t), L'\0');
  if (!out.empty()) std::memcpy(&out[0], raw.data(), out.size() * sizeof(wchar_t));
  return out;
}

std::string WideToAnsi(uint32_t codePage, const std::wstring& text) {
  std::string raw(reinterpret_cast<const char*>(text.data()), text.size() * sizeof(wchar_t));
  return Convert(WideName(), IconvName(codePage), raw, "?", sizeof(wchar_t));
}

std::string AnsiToUtf8(uint32_t codePage, const std::string& bytes) {
  return Convert(IconvName(codePage), "UTF-8", bytes, "\xEF\xBF\xBD");
}

std::string Utf8ToAnsi(uint32_t codePage, const std::string& utf8) {
  return Convert("UTF-8", IconvName(codePage), utf8, "?");
}

}  // namespace platform
