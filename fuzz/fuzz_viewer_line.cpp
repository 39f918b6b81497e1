// Fuzzes the debug-log viewer's reading of one WM_COPYDATA message: the
// first byte picks the code page and the level, the rest is the message's
// bytes, handed over in a buffer of exactly cbData bytes so that a read
// past it is caught.
#include <cstdint>
#include <cstring>
#include <memory>
#include <string>

#include "sim/log_viewer/viewer_line.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0 || size > 3 * sim::kViewerTextLimit) return 0;
  static const uint32_t kPages[] = {1252, 932, 936, 949, 950, 1251, 65001, 12345};
  const uint32_t page = kPages[data[0] & 7];
  const uint64_t level = 99 + (data[0] >> 3);
  const size_t cb = size - 1;
  std::unique_ptr<uint8_t[]> copy(new uint8_t[cb ? cb : 1]);
  if (cb) std::memcpy(copy.get(), data + 1, cb);
  const std::string line = sim::ViewerLine(level, cb ? copy.get() : nullptr, cb, page);
  const std::string head = std::to_string(level) + " ";
  if (line.compare(0, head.size(), head) != 0) __builtin_trap();
  for (char c : line)
    if (c == '\n' || c == '\r' || c == '\0') __builtin_trap();
  return 0;
}
