// PLACEHOLDER until 'qcam capture' is built.
#include <cstdio>

#include "tools/qcam/commands.h"

namespace qcam_tool {
int CmdCapture(const Args&) {
  std::fprintf(stderr, "qcam capture: not available in this build\n");
  return 2;
}
}  // namespace qcam_tool
