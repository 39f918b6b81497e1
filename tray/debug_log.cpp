#include "tray/debug_log.h"

#include <cstdarg>
#include <cstdio>
#include <cstring>

#include "shared/tray_names.h"

namespace qorbm {
namespace {

// Read by both threads; written once, before the poll thread starts.
DWORD g_debugLevel = 0;

}  // namespace

void SetDebugLevel(DWORD level) { g_debugLevel = level; }
DWORD DebugLevel() { return g_debugLevel; }

size_t FormatLogLine(char* line, const char* format, va_list arguments) {
  // Bounded formatting: a long friendly name is cut, never written past
  // the buffer.
  const int written = std::vsnprintf(line, kLogLineSize, format, arguments);
  if (written < 0) {
    line[0] = 0;
    return 0;
  }
  return std::strlen(line);
}

void TrayLog(DWORD level, const char* format, ...) {
  if (level > g_debugLevel) return;
  HWND viewer = FindWindowA(NULL, qcam::kLogViewerTitle);
  if (!viewer) return;
  char line[kLogLineSize];
  va_list arguments;
  va_start(arguments, format);
  const size_t length = FormatLogLine(line, format, arguments);
  va_end(arguments);
  COPYDATASTRUCT data;
  data.dwData = level;
  data.cbData = DWORD(length);
  data.lpData = line;
  SendMessageA(viewer, WM_COPYDATA, 0, reinterpret_cast<LPARAM>(&data));
}

}  // namespace qorbm
