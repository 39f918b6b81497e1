// qcam formats: plugs the camera in and lists what the driver offers capture
// applications.
#include <cstdio>

#include "tools/qcam/commands.h"
#include "tools/qcam/common.h"

namespace qcam_tool {

int CmdFormats(const Args& args) {
  ParsedOptions opts;
  std::string error;
  if (!ParseOptions(args, {{"camera", true}, {"root", true}, {"help", false}}, &opts, &error)) return Fail(error);
  if (opts.Has("help")) {
    std::printf("usage: qcam formats [--camera notebook|basic|FILE] [--root DIR]\n"
                "Plugs the camera in and prints the capture formats the driver offers, in slot\n"
                "order, then the streaming alternate-setting count and the camera-control table.\n");
    return 0;
  }
  sim::CameraOptions camera;
  CameraOptionsFromArgs(opts, &camera);
  const std::string root = opts.Get("root");
  if (!root.empty() && !RootInstalled(root) && !InstallRoot(root, &error)) return Fail(error);
  CameraSession session;
  if (!PlugCamera(root, camera, &session, &error)) return Fail(error);

  const auto formats = OfferedFormats(*session.classDriver);
  std::printf("%-5s %-6s %6s %6s %4s %12s\n", "index", "fourcc", "width", "height", "bpp", "interval");
  for (const auto& f : formats) {
    std::printf("%-5d %-6s %6d %6d %4d %12lld  (%.2f fps)\n", f.slot, FourCCText(f.fourcc).c_str(), f.width,
                f.height, f.bitsPerPixel, static_cast<long long>(f.defaultInterval),
                f.defaultInterval > 0 ? 1e7 / double(f.defaultInterval) : 0.0);
  }
  std::printf("%zu formats\n", formats.size());
  std::printf("alternate settings: %zu\n", session.camera->Descriptors().altSettings.size());
  const unsigned items = CameraControlItems(*session.classDriver);
  std::printf("camera-control table: %s (%u item%s)\n", items >= 2 ? "exposure and focus" : "exposure only", items,
              items == 1 ? "" : "s");
  return 0;
}

}  // namespace qcam_tool
