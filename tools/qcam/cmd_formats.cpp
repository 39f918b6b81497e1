// PLACEHOLDER until 'qcam formats' is built.
#include <cstdio>

#include "tools/qcam/commands.h"

namespace qcam_tool {
int CmdFormats(const Args&) {
  std::fprintf(stderr, "qcam formats: not available in this build\n");
  return 2;
}
}  // namespace qcam_tool
