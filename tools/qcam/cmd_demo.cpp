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
// The four pages as the property frame shows them, in each language; the
// PC's language is English again at the end.
int DrawEveryPage(const std::string& root, const std::string& out) {
  struct Language {
    const char* id;
    const char* name;
  } languages[] = {{"1033", "english"}, {"1041", "japanese"}};
  int rc = 0;
  for (const Language& language : languages) {
    if ((rc = Step("switch the PC's language", CmdPc, {"pc", "--root", root, "--lang", language.id})) != 0) return rc;
    for (const char* page : {"camera", "effect", "zoom", "command"}) {
      const std::string dir = out + "/" + language.name + "-" + page;
      if ((rc = Step("draw a property page", CmdPages, {"pages", "--root", root, "--page", page, "--do", "cancel",
                                                        "--out", dir})) != 0)
        return rc;
    }
  }
  return Step("switch the PC's language back", CmdPc, {"pc", "--root", root, "--lang", "1033"});
}

}  // namespace

int CmdDemo(const Args& args) {
  ParsedOptions opts;
  std::string error;
  if (!ParseOptions(args, {{"root", true}, {"help", false}}, &opts, &error)) return Fail(error);
  if (opts.Has("help")) {
    std::printf("usage: qcam demo [--root DIR]\n"
                "Installs the package on a PC root (default out/demo), captures a short MJPG\n"
                "and a short YUY2 stream with a snapshot each, then decoded RGB24 and I420\n"
                "streams, a mirrored sepia stream, a 2x digital zoom, a tracked and framed face,\n"
                "the camera's controls, a contact sheet of every effect and photo frame, a\n"
                "request through the extension's private interface and the VfW video-source\n"
                "sheet, every property page in English and Japanese, the tray button manager\n"
                "with a button press and its menu, and prints where the pictures are.\n");
    return 0;
  }
  const std::string root = opts.Get("root", "out/demo");
  const std::string out = (std::filesystem::path(root) / "pictures").string();
  const std::string mjpg = out + "/mjpg", yuy2 = out + "/yuy2";
  const std::string snapMjpg = out + "/snapshot-mjpg.png", snapYuy2 = out + "/snapshot-yuy2.png";
  const std::string rgb = out + "/rgb24", i420 = out + "/i420", sepia = out + "/mirror-sepia", zoom = out + "/zoom";
  const std::string face = out + "/face", faceLog = out + "/face.log", effects = out + "/effects";
  const std::string sheet = out + "/video-source.png";
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

  // 5. The driver decodes the camera's MJPG pictures for RGB24 and I420.
  if ((rc = Step("stream RGB24 640x480, decoded by the driver", CmdCapture,
                 {"capture", "--root", root, "--format", "RGB24", "--size", "640x480", "--frames", "5", "--out",
                  rgb})) != 0)
    return rc;
  if ((rc = Step("stream I420 320x240, decoded by the driver", CmdCapture,
                 {"capture", "--root", root, "--format", "I420", "--size", "320x240", "--frames", "5", "--out",
                  i420})) != 0)
    return rc;
  // 6. Settings: a mirrored camera with the sepia effect, and a 2x zoom.
  if ((rc = Step("mirror the camera and pick the sepia effect", CmdCapture,
                 {"capture", "--root", root, "--format", "YUY2", "--size", "640x480", "--frames", "5", "--set",
                  "mirror=1", "--effect", "5", "--out", sepia})) != 0)
    return rc;
  if ((rc = Step("zoom 2x into the picture", CmdCapture,
                 {"capture", "--root", root, "--format", "YUY2", "--size", "640x480", "--frames", "5", "--set",
                  "mirror=0", "--effect", "1", "--set", "zoom-enable=1", "--set", "zoom=2000", "--out", zoom})) != 0)
    return rc;
  // 7. A face found, followed and kept framed, with its box drawn.
  if ((rc = Step("track and frame a face", CmdCapture,
                 {"capture", "--root", root, "--scene", "face", "--format", "YUY2", "--size", "640x480", "--frames",
                  "60", "--set", "zoom-enable=0", "--set", "face-tracking=1", "--set", "tracking-flags=7",
                  "--face-log", faceLog, "--out", face})) != 0)
    return rc;
  // 8. Every control the driver answers, and every effect and frame at once.
  if ((rc = Step("list the camera's controls", CmdProps, {"props", "--root", root, "list"})) != 0) return rc;
  if ((rc = Step("render every effect and photo frame", CmdEffects,
                 {"effects", "--root", root, "--source", rgb + "/frame-0001.png", "--out", effects})) != 0)
    return rc;

  // 9. The extension: its private interface through COM, and its pages in
  // the video-source dialog a Video for Windows application shows.
  if ((rc = Step("ask the driver for the stream's format through IAMCustomCameraProp", CmdPrivate,
                 {"private", "--root", root, "--stream", "YUY2:640x480", "get", "1", "--length", "8"})) != 0)
    return rc;
  if ((rc = Step("show the extension's pages in the VfW video-source sheet", CmdVfw,
                 {"vfw", "--root", root, "--stream", "YUY2:640x480", "--out", sheet})) != 0)
    return rc;

  // 10. Every page of the property frame, in English and in Japanese.
  const std::string pages = (std::filesystem::path(root) / "pages").string();
  if ((rc = DrawEveryPage(root, pages)) != 0) return rc;
  // 11. The tray: the snapshot button pressed (state 2), the capture
  // application started and told, and the tray's menu.
  const std::string tray = out + "/tray";
  if ((rc = Step("run the tray button manager, press the button, use its menu", CmdTray,
                 {"tray", "--root", root, "--seconds", "6", "--press", "2@1", "--menu", "50hz@5", "--out", tray})) !=
      0)
    return rc;

  std::printf("\nThe pictures:\n");
  std::printf("  MJPG frames:     %s/frame-0001.jpg ... frame-0010.jpg\n", mjpg.c_str());
  std::printf("  MJPG snapshot:   %s\n", snapMjpg.c_str());
  std::printf("  YUY2 frames:     %s/frame-0001.png ... frame-0010.png\n", yuy2.c_str());
  std::printf("  YUY2 snapshot:   %s\n", snapYuy2.c_str());
  std::printf("  RGB24 frames:    %s/frame-0001.png ... frame-0005.png\n", rgb.c_str());
  std::printf("  I420 frames:     %s/frame-0001.png ... frame-0005.png\n", i420.c_str());
  std::printf("  mirrored sepia:  %s/frame-0001.png ...\n", sepia.c_str());
  std::printf("  2x zoom:         %s/frame-0001.png ...\n", zoom.c_str());
  std::printf("  tracked face:    %s/frame-0001.png ... frame-0060.png (boxes in %s)\n", face.c_str(),
              faceLog.c_str());
  std::printf("  effects, frames: %s/effects-rgb24.png and effects-yuy2.png\n", effects.c_str());
  std::printf("  VfW sheet:       %s\n", sheet.c_str());
  std::printf("  property pages:  %s/english-camera/page-00.png ... japanese-command/page-00.png\n", pages.c_str());
  std::printf("  tray menu:       %s/tray_menu.png\n", tray.c_str());
  std::printf("  capture app:     %s/C/Users/Public/Pictures/Snapshot_0001.png ... (its log: %s/capture.log)\n",
              root.c_str(), root.c_str());
  std::printf("  registry:        %s/registry.reg\n", root.c_str());
  return 0;
}

}  // namespace qcam_tool
