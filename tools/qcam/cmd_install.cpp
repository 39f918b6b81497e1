// PLACEHOLDER until 'qcam install' is built.
#include <cstdio>

#include "tools/qcam/commands.h"

namespace qcam_tool {
int CmdInstall(const Args&) {
  std::fprintf(stderr, "qcam install: not available in this build\n");
  return 2;
}
}  // namespace qcam_tool
