// Commands other programs send the tray's main dialog with WM_COPYDATA.
#pragma once

#include <windows.h>

#include <cstddef>

namespace qorbm {

// At most this many bytes of a command are looked at.
constexpr size_t kCommandBufferSize = 512;

// True for dwData 4402 with the text "EXIT" (case as written): the data are
// copied into a zeroed buffer of kCommandBufferSize bytes and the text is
// what precedes the first zero among the bytes copied.
bool IsExitCommand(const COPYDATASTRUCT* data);

}  // namespace qorbm
