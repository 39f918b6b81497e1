// PLACEHOLDER until 'qcam decode' is built.
#include <cstdio>

#include "tools/qcam/commands.h"

namespace qcam_tool {
int CmdDecode(const Args&) {
  std::fprintf(stderr, "qcam decode: not available in this build\n");
  return 2;
}
}  // namespace qcam_tool
