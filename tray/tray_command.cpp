#include "tray/tray_command.h"

#include <cstring>

#include "shared/tray_names.h"

namespace qorbm {

bool IsExitCommand(const COPYDATASTRUCT* data) {
  if (!data || data->dwData != qcam::kTrayCommandId) return false;
  char text[kCommandBufferSize] = {};
  const size_t copied = data->lpData ? (data->cbData < sizeof(text) ? data->cbData : sizeof(text)) : 0;
  if (copied) std::memcpy(text, data->lpData, copied);
  // The text ends at the first zero or at the last byte copied: a full
  // buffer without a zero is compared as it is, never read past.
  const size_t length = strnlen(text, copied);
  const size_t exitLength = std::strlen(qcam::kTrayExitCommand);
  return length == exitLength && std::memcmp(text, qcam::kTrayExitCommand, exitLength) == 0;
}

}  // namespace qorbm
