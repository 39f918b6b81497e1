// Localisation source converter: any bytes are either refused with a reason,
// or converted into ANSI lines that read back, section by section in the
// section's code page, to the UTF-8 lines they came from.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "platform/machine/codepages.h"
#include "tools/qcam/localisation_file.h"

namespace {

[[noreturn]] void Fail(const char* what) {
  std::fprintf(stderr, "%s\n", what);
  std::abort();
}

// The UTF-8 lines of the source without their line ends.
std::string NextLine(const std::string& text, size_t* start) {
  size_t end = text.find('\n', *start);
  if (end == std::string::npos) end = text.size();
  std::string line = text.substr(*start, end - *start);
  *start = end + 1;
  if (!line.empty() && line.back() == '\r') line.pop_back();
  return line;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size > (1u << 16)) return 0;
  const std::string source(reinterpret_cast<const char*>(data), size);
  std::string ansi;
  std::string error;
  if (!qcam::ConvertLocalisationSource(source, &ansi, &error)) {
    if (error.empty()) Fail("refused without a reason");
    return 0;
  }
  // Walk both texts together: every source line has one CR LF line out.
  size_t in = 0;
  size_t out = 0;
  uint32_t codePage = qcam::SectionCodePage("");
  while (in < source.size()) {
    const std::string line = NextLine(source, &in);
    size_t end = ansi.find("\r\n", out);
    if (end == std::string::npos) Fail("fewer lines out than in");
    const std::string converted = ansi.substr(out, end - out);
    out = end + 2;
    size_t first = line.find_first_not_of(" \t");
    size_t last = line.find_last_not_of(" \t");
    if (first != std::string::npos && last > first && line[first] == '[' && line[last] == ']') {
      codePage = qcam::SectionCodePage(line.substr(first + 1, last - first - 1));
    }
    if (platform::AnsiToUtf8(codePage, converted) != line) Fail("a line does not read back");
  }
  if (out != ansi.size()) Fail("more lines out than in");
  return 0;
}
