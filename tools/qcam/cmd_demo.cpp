// PLACEHOLDER until 'qcam demo' is built.
#include <cstdio>

#include "tools/qcam/commands.h"

namespace qcam_tool {
int CmdDemo(const Args&) {
  std::fprintf(stderr, "qcam demo: not available in this build\n");
  return 2;
}
}  // namespace qcam_tool
