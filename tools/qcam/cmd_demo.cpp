// qcam demo: a short tour of the package on a fresh PC root.
#include <cstdio>
#include <filesystem>

#include "tools/qcam/commands.h"
#include "tools/qcam/common.h"

namespace qcam_tool {

namespace {
int Step(const char* title, int (*command)(const Args&), const Args& args) {
  std::printf("\n== %s\n$ qcam", title);
  for (const auto& a : args) std::printf(" %s", a.c_str());
  std::printf("\n");
  std::fflush(stdout);
  // The first word names the command.
  const int rc = command(Args(args.begin() + 1, args.end()));
  std::fflush(stdout);
  return rc;
}
}  // namespace

int CmdDemo(const Args& args) {
  ParsedOptions opts;
  std::string error;
  if (!ParseOptions(args, {{"root", true}, {"help", false}}, &opts, &error)) return Fail(error);
  if (opts.Has("help")) {
    std::printf("usage: qcam demo [--root DIR]\n"
                "Installs a PC root (default out/demo), captures a short MJPG and a short YUY2\n"
                "stream with a snapshot each, and prints where the pictures are.\n");
    return 0;
  }
  const std::string root = opts.Get("root", "out/demo");
  const std::string out = (std::filesystem::path(root) / "pictures").string();
  const std::string mjpg = out + "/mjpg", yuy2 = out + "/yuy2";
  const std::string snapMjpg = out + "/snapshot-mjpg.png", snapYuy2 = out + "/snapshot-yuy2.png";
  int rc = 0;

  // 1. A fresh PC with the package installed.
  if ((rc = Step("install the package", CmdInstall, {"install", "--root", root})) != 0) return rc;
  // 2. What the driver offers capture applications.
  if ((rc = Step("plug the camera in and list its formats", CmdFormats, {"formats", "--root", root})) != 0) return rc;
  // 3. MJPG at 640x480, frame 5 marked as a still by the camera.
  if ((rc = Step("stream MJPG 640x480 with a snapshot", CmdCapture,
                 {"capture", "--root", root, "--format", "MJPG", "--size", "640x480", "--frames", "10",
                  "--snapshot", "5", "--out", mjpg})) != 0)
    return rc;
  if ((rc = Step("look at the snapshot", CmdSnapshot, {"snapshot", "--root", root, "--out", snapMjpg})) != 0) return rc;
  // 4. YUY2 at 320x240, again with a snapshot.
  if ((rc = Step("stream YUY2 320x240 with a snapshot", CmdCapture,
                 {"capture", "--root", root, "--format", "YUY2", "--size", "320x240", "--frames", "10",
                  "--snapshot", "5", "--out", yuy2})) != 0)
    return rc;
  if ((rc = Step("look at the snapshot", CmdSnapshot, {"snapshot", "--root", root, "--out", snapYuy2})) != 0) return rc;

  std::printf("\nThe pictures:\n");
  std::printf("  MJPG frames:     %s/frame-0001.jpg ... frame-0010.jpg\n", mjpg.c_str());
  std::printf("  MJPG snapshot:   %s\n", snapMjpg.c_str());
  std::printf("  YUY2 frames:     %s/frame-0001.png ... frame-0010.png\n", yuy2.c_str());
  std::printf("  YUY2 snapshot:   %s\n", snapYuy2.c_str());
  std::printf("  registry:        %s/registry.reg\n", root.c_str());
  return 0;
}

}  // namespace qcam_tool
