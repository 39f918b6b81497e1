// qcam install --root DIR: a PC root with the package's registry keys,
// folders and photo-frame bitmaps.
#include <cstdio>

#include "tools/qcam/commands.h"
#include "tools/qcam/common.h"

namespace qcam_tool {

int CmdInstall(const Args& args) {
  ParsedOptions opts;
  std::string error;
  if (!ParseOptions(args, {{"root", true}, {"help", false}}, &opts, &error)) return Fail(error);
  if (opts.Has("help")) {
    std::printf("usage: qcam install --root DIR\n"
                "Creates DIR as a PC root: the registry keys CURRENT, DEFAULT and UCAM with their\n"
                "initial values (existing values are kept), Windows/, Windows/System32/, C/, camera/\n"
                "and the photo-frame bitmaps in Windows/.\n");
    return 0;
  }
  const std::string root = opts.Get("root");
  if (root.empty()) return Fail("install needs --root DIR");
  if (!InstallRoot(root, &error)) return Fail(error);
  std::printf("installed the camera package under %s\n", root.c_str());
  return 0;
}

}  // namespace qcam_tool
