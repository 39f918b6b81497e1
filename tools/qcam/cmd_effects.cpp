// PLACEHOLDER until 'qcam effects' is built.
#include <cstdio>

#include "tools/qcam/commands.h"

namespace qcam_tool {
int CmdEffects(const Args&) {
  std::fprintf(stderr, "qcam effects: not available in this build\n");
  return 2;
}
}  // namespace qcam_tool
