// qcam plug and qcam unplug: the camera attached to a PC root between
// commands.
#include <cstdio>

#include "tools/qcam/commands.h"
#include "tools/qcam/common.h"

namespace qcam_tool {

int CmdPlug(const Args& args) {
  ParsedOptions opts;
  std::string error;
  if (!ParseOptions(args, {{"root", true}, {"camera", true}, {"help", false}}, &opts, &error)) return Fail(error);
  if (opts.Has("help")) {
    std::printf("usage: qcam plug --root DIR [--camera notebook|basic|FILE]\n"
                "Plugs the camera into the PC (installing the root if needed). The same camera,\n"
                "still plugged in, keeps its state; a different or unplugged one starts from its\n"
                "power-on values. Later commands without --camera use this camera.\n");
    return 0;
  }
  const std::string root = opts.Get("root");
  if (root.empty()) return Fail("plug needs --root DIR");
  if (!RootInstalled(root) && !InstallRoot(root, &error)) return Fail(error);
  sim::CameraOptions options;
  CameraOptionsFromArgs(opts, &options);
  CameraSession session;
  if (!PlugCamera(root, options, &session, &error)) return Fail(error);
  const std::string name = CameraName(session.record);
  switch (session.start) {
    case CameraStart::kSavedState:
      std::printf("the %s camera is plugged in already and keeps its state\n", name.c_str());
      break;
    case CameraStart::kPowerOn:
      std::printf("plugged in the %s camera (power-on values)\n", name.c_str());
      break;
    case CameraStart::kDamagedState:
      std::printf("plugged in the %s camera (power-on values: its saved state was unusable)\n", name.c_str());
      break;
  }
  return 0;
}

int CmdUnplug(const Args& args) {
  ParsedOptions opts;
  std::string error;
  if (!ParseOptions(args, {{"root", true}, {"help", false}}, &opts, &error)) return Fail(error);
  if (opts.Has("help")) {
    std::printf("usage: qcam unplug --root DIR\n"
                "Pulls the camera out: it loses its state and comes back with its power-on\n"
                "values at the next command (the same camera, unless --camera names another).\n");
    return 0;
  }
  const std::string root = opts.Get("root");
  if (root.empty()) return Fail("unplug needs --root DIR");
  PlugRecord record;
  std::string why;
  switch (ReadPlugRecord(root, &record, &why)) {
    case PlugRecordLoad::kAbsent:
      std::printf("no camera is plugged into %s\n", root.c_str());
      return 0;
    case PlugRecordLoad::kDamaged:
      std::fprintf(stderr, "qcam: %s; recording the notebook camera as unplugged\n", why.c_str());
      record = PlugRecord{"notebook", "", true};
      break;
    case PlugRecordLoad::kLoaded:
      break;
  }
  if (!KeepCameraState(root, record, nullptr, &error)) return Fail(error);
  std::printf(record.plugged ? "unplugged the %s camera\n" : "the %s camera is unplugged already\n",
              CameraName(record).c_str());
  return 0;
}

}  // namespace qcam_tool
