// PLACEHOLDER until 'qcam props' is built.
#include <cstdio>

#include "tools/qcam/commands.h"

namespace qcam_tool {
int CmdProps(const Args&) {
  std::fprintf(stderr, "qcam props: not available in this build\n");
  return 2;
}
}  // namespace qcam_tool
