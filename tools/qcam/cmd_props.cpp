// qcam props: lists, reads and changes the camera's properties through the
// driver's property sets, and presses the snapshot button as the tray's
// poll would see it.
#include <cstdio>
#include <string>
#include <vector>

#include "platform/nt/platform_control.h"
#include "shared/qcam_defs.h"
#include "tools/qcam/commands.h"
#include "tools/qcam/common.h"
#include "tools/qcam/prop_names.h"

namespace qcam_tool {
namespace {

const char kUsage[] =
    "usage: qcam props --root DIR [--camera PROFILE|FILE] list\n"
    "       qcam props --root DIR [--camera PROFILE|FILE] get NAME\n"
    "       qcam props --root DIR [--camera PROFILE|FILE] set NAME VALUE [auto|manual]\n"
    "       qcam props --root DIR [--camera PROFILE|FILE] button 1|2|4\n"
    "\n"
    "Installs the root if needed, plugs the camera in, works through the driver's\n"
    "property sets and unplugs. VALUE is a number (0x.. hex allowed) or on/off;\n"
    "udframe takes a path. 'button' presses the snapshot button and runs the\n"
    "driver's button check once, as the tray does every second.\n";

void PrintNames(FILE* out) {
  std::fprintf(out, "names:");
  int column = 6;
  for (const std::string& n : SettingNames()) {
    if (column + n.size() + 1 > 78) {
      std::fprintf(out, "\n      ");
      column = 6;
    }
    std::fprintf(out, " %s", n.c_str());
    column += int(n.size()) + 1;
  }
  std::fprintf(out, "\n");
}

std::string StatusBits(uint32_t status) {
  std::string bits;
  const struct {
    uint32_t mask;
    const char* name;
  } kBits[] = {{qcam::kStatusStreaming, "streaming"},
               {qcam::kStatusButtonIdle, "button pressed while idle"},
               {qcam::kStatusSnapshotReady, "snapshot ready"},
               {qcam::kStatusButton2, "button state 2"},
               {qcam::kStatusButton4, "button state 4"}};
  for (const auto& b : kBits) {
    if (!(status & b.mask)) continue;
    if (!bits.empty()) bits += ", ";
    bits += b.name;
  }
  return bits.empty() ? "no bits" : bits;
}

}  // namespace

int RunProps(CameraSession& session, const Args& words) {
  if (words.empty()) {
    std::fputs(kUsage, stderr);
    return Fail("props: no action given (list, get, set, button)");
  }
  const std::string& action = words[0];
  size_t expected = action == "list" ? 1 : action == "get" ? 2 : action == "button" ? 2 : action == "set" ? 3 : 0;
  if (!expected) return Fail("props: unknown action '" + action + "' (list, get, set, button)");
  if (words.size() < expected || words.size() > expected + (action == "set" ? 1 : 0)) {
    std::fputs(kUsage, stderr);
    return Fail("props: wrong number of arguments for '" + action + "'");
  }
  uint32_t buttonState = 0;
  if (action == "button") {
    if (words[1] != "1" && words[1] != "2" && words[1] != "4")
      return Fail("props: button state must be 1, 2 or 4, not '" + words[1] + "'");
    buttonState = uint32_t(std::stoul(words[1]));
  }
  if (!session.classDriver || !session.classDriver->Plugged()) return Fail("props: no camera is plugged in");
  sim::ClassDriver& cd = *session.classDriver;

  if (action == "list") {
    std::printf("%-15s %12s  %-36s %s\n", "name", "value", "range", "flags");
    for (const std::string& line : ListNamedSettings(cd)) std::printf("%s\n", line.c_str());
    return 0;
  }
  if (action == "get") {
    std::string text, message;
    if (!ReadNamedSetting(cd, words[1], &text, &message)) return Fail("props: " + message);
    std::printf("%s\n", text.c_str());
    return 0;
  }
  if (action == "set") {
    std::string value = words[2];
    if (words.size() == 4) value += "," + words[3];
    std::string message;
    if (!ApplyNamedSetting(cd, words[1], value, &message)) return Fail("props: " + message);
    std::printf("%s\n", message.c_str());
    return 0;
  }

  // button: the camera reports the press once; command 4 looks at it.
  session.camera->PressButton(buttonState);
  std::vector<int32_t> command(qcam::kPrivateWordCount, 0);
  command[0] = 4;
  NTSTATUS status = STATUS_SUCCESS;
  if (!PrivateRequest(cd, true, qcam::kPrivCommand, &command, &status))
    return Fail("props: button check refused by the driver: " + StatusText(status));
  uint32_t cameraStatus = 0;
  platform::RegGetDword(qcam::kKeyCurrentA, "CameraStatus", &cameraStatus);
  std::printf("button state %u checked: CameraStatus = 0x%03X (%s)\n", buttonState, cameraStatus,
              StatusBits(cameraStatus).c_str());
  return 0;
}

int CmdProps(const Args& args) {
  ParsedOptions opts;
  std::vector<std::string> words;
  std::string error;
  if (!ParseOptions(args, {{"root", true}, {"camera", true}, {"help", false}}, &opts, &error, &words))
    return Fail("props: " + error);
  if (opts.Has("help") || (!words.empty() && words[0] == "-h")) {
    std::fputs(kUsage, stdout);
    PrintNames(stdout);
    return 0;
  }
  if (!opts.Has("root") || opts.Get("root").empty()) {
    std::fputs(kUsage, stderr);
    return Fail("props: --root DIR is required");
  }
  if (words.empty()) {
    std::fputs(kUsage, stderr);
    return 2;
  }
  const std::string root = opts.Get("root");
  if (!RootInstalled(root) && !InstallRoot(root, &error)) return Fail("props: cannot install " + root + ": " + error);
  sim::CameraOptions cameraOptions;
  CameraOptionsFromArgs(opts, &cameraOptions);
  CameraSession session;
  if (!PlugCamera(root, cameraOptions, &session, &error)) return Fail("props: " + error);
  return RunProps(session, words);
}

}  // namespace qcam_tool
