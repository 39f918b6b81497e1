// qcam pc: shows and changes the simulated PC's own settings: its language,
// the Windows version it reports, whether programs run as 32-bit processes
// on 64-bit Windows, and whether device requests complete asynchronously.
#include <cstdio>

#include "platform/machine/pc_settings.h"
#include "platform/nt/platform_control.h"
#include "tools/qcam/commands.h"
#include "tools/qcam/common.h"

namespace qcam_tool {
namespace {

const char kUsage[] =
    "usage: qcam pc --root DIR [--lang ID] [--windows MAJOR.MINOR] [--wow64 on|off] [--pending on|off]\n"
    "               [--camera-driver qorcam|generic]\n"
    "Shows the PC's settings, after changing those given: --lang the system language id\n"
    "(1033 English, 1031 German, 1041 Japanese, 2052 Simplified Chinese...; 0x hex allowed),\n"
    "--windows the version GetVersionExA reports (5.1 XP, 6.0 Vista, 6.1 7...), --wow64 whether\n"
    "programs are 32-bit processes on 64-bit Windows, --pending whether device requests\n"
    "complete asynchronously (ERROR_IO_PENDING), --camera-driver which driver the camera is\n"
    "bound to (the package's QORCAM, or the system's generic video driver that exposes the\n"
    "camera's firmware extension unit to the updater).\n";

// The build number each well-known release reports.
uint32_t ReleaseBuild(uint32_t major, uint32_t minor, uint32_t current) {
  static const struct {
    uint32_t major, minor, build;
  } kReleases[] = {{5, 0, 2195}, {5, 1, 2600}, {5, 2, 3790}, {6, 0, 6002},
                   {6, 1, 7601}, {6, 2, 9200}, {6, 3, 9600}, {10, 0, 19045}};
  for (const auto& r : kReleases)
    if (r.major == major && r.minor == minor) return r.build;
  return current;
}

bool ParseSwitch(const std::string& text, bool* value) {
  if (text == "on" || text == "1") *value = true;
  else if (text == "off" || text == "0") *value = false;
  else return false;
  return true;
}

bool ParseLanguage(const std::string& text, uint16_t* id) {
  long long v = 0;
  if (!ParseIntOrHex(text, 1, 0xFFFF, &v)) return false;
  *id = uint16_t(v);
  return true;
}

bool ParseVersion(const std::string& text, uint32_t* major, uint32_t* minor) {
  const size_t dot = text.find('.');
  long long a = 0, b = 0;
  if (dot == std::string::npos || text[0] == '+' || text[0] == '-' || text[dot + 1] == '+' || text[dot + 1] == '-' ||
      !ParseInt(text.substr(0, dot), 1, 255, &a) || !ParseInt(text.substr(dot + 1), 0, 255, &b))
    return false;
  *major = uint32_t(a);
  *minor = uint32_t(b);
  return true;
}

}  // namespace

int CmdPc(const Args& args) {
  ParsedOptions opts;
  std::string error;
  if (!ParseOptions(args, {{"root", true}, {"lang", true}, {"windows", true}, {"wow64", true}, {"pending", true},
                           {"camera-driver", true}, {"help", false}},
                    &opts, &error))
    return Fail(error);
  if (opts.Has("help")) {
    std::fputs(kUsage, stdout);
    return 0;
  }
  const std::string root = opts.Get("root");
  if (root.empty()) return Fail("pc needs --root DIR");
  // Every value is checked before anything is stored.
  platform::PcSettings s;
  uint16_t language = 0;
  uint32_t major = 0, minor = 0;
  bool wow64 = false, pending = false;
  if (opts.Has("lang") && !ParseLanguage(opts.Get("lang"), &language))
    return Fail("bad language id '" + opts.Get("lang") + "' (a number from 1 to 65535, e.g. 1033)");
  if (opts.Has("windows") && !ParseVersion(opts.Get("windows"), &major, &minor))
    return Fail("bad Windows version '" + opts.Get("windows") + "' (MAJOR.MINOR, e.g. 6.1)");
  if (opts.Has("wow64") && !ParseSwitch(opts.Get("wow64"), &wow64))
    return Fail("bad --wow64 value '" + opts.Get("wow64") + "' (on or off)");
  if (opts.Has("pending") && !ParseSwitch(opts.Get("pending"), &pending))
    return Fail("bad --pending value '" + opts.Get("pending") + "' (on or off)");
  const std::string driver = opts.Get("camera-driver");
  if (opts.Has("camera-driver") && driver != "qorcam" && driver != "generic")
    return Fail("bad --camera-driver value '" + driver + "' (qorcam or generic)");
  if (!platform::SetRoot(root)) return Fail("cannot use " + root + " as a PC root");
  s = platform::GetPcSettings();
  const bool change = opts.Has("lang") || opts.Has("windows") || opts.Has("wow64") || opts.Has("pending") ||
                      opts.Has("camera-driver");
  if (opts.Has("camera-driver")) s.genericCameraDriver = driver == "generic";
  if (opts.Has("lang")) s.languageId = language;
  if (opts.Has("windows")) {
    s.windowsBuild = ReleaseBuild(major, minor, s.windowsBuild);
    s.windowsMajor = major;
    s.windowsMinor = minor;
  }
  if (opts.Has("wow64")) s.wow64 = wow64;
  if (opts.Has("pending")) s.pendingRequests = pending;
  if (change && !platform::SetPcSettings(s)) return Fail("cannot write the PC's settings under " + root);
  std::printf("language  %u (0x%04X), ANSI code page %u\n", s.languageId, s.languageId,
              platform::AnsiCodePageOfLanguage(s.languageId));
  std::printf("windows   %u.%u build %u\n", s.windowsMajor, s.windowsMinor, s.windowsBuild);
  std::printf("wow64     %s\n", s.wow64 ? "on (32-bit programs on 64-bit Windows)" : "off");
  std::printf("pending   %s\n", s.pendingRequests ? "on (device requests complete asynchronously)" : "off");
  std::printf("camera    %s\n", s.genericCameraDriver ? "generic video driver (extension units as node properties)"
                                                       : "qorcam (the package's driver)");
  return 0;
}

}  // namespace qcam_tool
