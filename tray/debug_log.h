// The tray's leveled debug log: each line goes as WM_COPYDATA (dwData = the
// level, the text without its terminator) to the top-level window titled
// "QORMsgBox", when there is one and the level is not above the level the
// registry's `debug` value sets.
#pragma once

#include <windows.h>

#include <cstdarg>
#include <cstddef>

namespace qorbm {

constexpr DWORD kLogAlways = 100;  // plug events, the chosen camera
constexpr DWORD kLogThread = 101;  // the poll thread's start
constexpr DWORD kLogDetail = 103;  // every button check and status change

// The line buffer: a longer line is cut to its first 2047 bytes.
constexpr size_t kLogLineSize = 2048;

void SetDebugLevel(DWORD level);
DWORD DebugLevel();

// Formats a line into `line` (kLogLineSize bytes), cut to fit; returns its
// length.
size_t FormatLogLine(char* line, const char* format, va_list arguments);

void TrayLog(DWORD level, const char* format, ...)
#if defined(__GNUC__)
    __attribute__((format(printf, 2, 3)))
#endif
    ;

}  // namespace qorbm
