#include "sim/log_viewer/viewer_line.h"

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <mutex>

#include "platform/machine/codepages.h"
#include "platform/machine/paths.h"

namespace sim {
namespace {

std::mutex g_logLock;

}  // namespace

std::string ViewerLine(uint64_t level, const void* data, size_t size, uint32_t codePage) {
  std::string text;
  if (data) {
    const size_t limit = size < kViewerTextLimit ? size : kViewerTextLimit;
    const char* bytes = static_cast<const char*>(data);
    const void* zero = std::memchr(bytes, 0, limit);
    text.assign(bytes, zero ? size_t(static_cast<const char*>(zero) - bytes) : limit);
  }
  // Control characters are single bytes below 0x20 in every ANSI code page
  // (no lead or trail byte of the double-byte pages is that low), so they
  // are replaced before the conversion without splitting a character.
  for (char& c : text)
    if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) c = ' ';
  const uint32_t page = platform::KnownCodePage(codePage) ? codePage : 1252;
  return std::to_string(level) + " " + platform::AnsiToUtf8(page, text);
}

std::string ViewerLogPath() {
  // The Windows folder lies in the root; asking for it takes the root
  // under the machine's lock, as a program's thread must.
  std::string windows;
  if (!platform::MapWin32Path("\\SystemRoot", &windows)) return std::string();
  return (std::filesystem::path(windows).parent_path() / "qormsgbox.log").string();
}

void AppendViewerLine(const std::string& line) {
  const std::string path = ViewerLogPath();
  if (path.empty()) return;
  const std::string text = line + "\n";
  std::lock_guard<std::mutex> hold(g_logLock);
  if (FILE* f = std::fopen(path.c_str(), "ab")) {
    std::fwrite(text.data(), 1, text.size(), f);
    std::fclose(f);
  }
}

}  // namespace sim
