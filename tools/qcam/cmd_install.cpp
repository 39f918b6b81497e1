// qcam install --root DIR: the camera package installed on a PC root.
#include <cstdio>

#include "tools/qcam/commands.h"
#include "tools/qcam/common.h"
#include "tools/qcam/package.h"

namespace qcam_tool {

int CmdInstall(const Args& args) {
  ParsedOptions opts;
  std::string error;
  if (!ParseOptions(args, {{"root", true}, {"help", false}}, &opts, &error)) return Fail(error);
  if (opts.Has("help")) {
    std::printf("usage: qcam install --root DIR\n"
                "Installs the camera package on the PC root DIR (created if needed): the registry\n"
                "keys CURRENT, DEFAULT and UCAM with their initial values, Windows/, Windows/System32/,\n"
                "C/, camera/ and the photo-frame bitmaps; the system's COM classes; the extension\n"
                "module qcamext.ax in C:\\Windows\\System32, registered by its DllRegisterServer and\n"
                "announced for the camera's device (IAMCustomCameraProp and four property pages);\n"
                "the localisation file QCAMCFG.ini. Values that exist keep what they hold;\n"
                "installing twice is harmless.\n");
    return 0;
  }
  const std::string root = opts.Get("root");
  if (root.empty()) return Fail("install needs --root DIR");
  std::vector<std::string> done;
  if (!InstallPackage(root, &done, &error)) return Fail(error);
  for (const std::string& step : done) std::printf("  %s\n", step.c_str());
  std::printf("installed the camera package under %s\n", root.c_str());
  return 0;
}

}  // namespace qcam_tool
