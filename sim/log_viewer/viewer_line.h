// The debug-log viewer "QORMsgBox": each WM_COPYDATA message it receives is
// one line of ROOT/qormsgbox.log, "LEVEL text", where LEVEL is the message's
// dwData in decimal and text its bytes in the PC's ANSI code page, written
// as UTF-8.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace sim {

// The longest text kept of one message; the rest is cut.
constexpr size_t kViewerTextLimit = 4096;

// One log line (without its line end) from a message's level and bytes.
// Reads exactly min(size, kViewerTextLimit) bytes of `data` (none when it is
// null): the text ends at the first zero byte or there, line breaks and
// other control characters become blanks, bytes the code page cannot read
// become U+FFFD.
std::string ViewerLine(uint64_t level, const void* data, size_t size, uint32_t codePage);

// The host path of the log in the current PC root; empty on a memory-only PC.
std::string ViewerLogPath();
// Appends a line and its line end; nothing on a memory-only PC.
void AppendViewerLine(const std::string& line);

}  // namespace sim
