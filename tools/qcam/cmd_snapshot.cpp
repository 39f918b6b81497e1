// PLACEHOLDER until 'qcam snapshot' is built.
#include <cstdio>

#include "tools/qcam/commands.h"

namespace qcam_tool {
int CmdSnapshot(const Args&) {
  std::fprintf(stderr, "qcam snapshot: not available in this build\n");
  return 2;
}
}  // namespace qcam_tool
