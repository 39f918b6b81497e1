// qcam tray: the tray button manager's life on the PC for some seconds.
#include <cstdio>
#include <map>

#include "tools/qcam/commands.h"
#include "tools/qcam/common.h"
#include "tools/qcam/package.h"
#include "tools/qcam/stream.h"
#include "tools/qcam/tray_run.h"

namespace qcam_tool {
namespace {

const char kUsage[] =
    "usage: qcam tray --root DIR [--camera PROFILE|FILE] [--stream FORMAT:WxH] [--seconds N]\n"
    "                 [--press STATE@SECOND]... [--unplug-at SECOND] [--plug-at SECOND]\n"
    "                 [--menu ITEM@SECOND]... [--exit-at SECOND] [--viewer on|off] [--out DIR]\n"
    "Installs the package if needed, plugs the camera in, starts the log viewer QORMsgBox\n"
    "(unless --viewer off) and the tray button manager QORBM in its folder, and lets N\n"
    "seconds of PC time pass (default 10), faster than real time. At the seconds given it\n"
    "presses the camera's snapshot button (state 1, 2 or 4), pulls the camera out, plugs it\n"
    "in, picks an item of the tray menu (50hz, 60hz, exit) or sends the tray its \"EXIT\"\n"
    "command. --stream holds a capture stream meanwhile, as a capture application would.\n"
    "Prints in time order the viewer's log lines, the tray icon's changes, every\n"
    "ButtonMessage broadcast, the programs started and the pictures the capture application\n"
    "saved; at the end the tray gets its EXIT command if it still runs. --out DIR receives\n"
    "tray_menu.png, the menu as it popped up.\n";

// PC time runs this much faster than real time while the tray runs; less
// in a sanitizer build, whose programs work several times slower while
// their timers keep the PC's pace.
#ifdef QCAM_SANITIZED
constexpr double kTrayClockRate = 5;
#else
constexpr double kTrayClockRate = 20;
#endif

// "VALUE@SECOND"; the value's check is the caller's.
bool SplitAt(const std::string& text, long long lastSecond, std::string* value, long long* second) {
  const size_t at = text.find('@');
  if (at == std::string::npos) return false;
  *value = text.substr(0, at);
  return ParseInt(text.substr(at + 1), 0, lastSecond, second);
}

struct Action {
  enum Kind { kPress, kUnplug, kPlug, kMenu, kExit } kind;
  std::string value;
};

}  // namespace

int CmdTray(const Args& args) {
  ParsedOptions opts;
  std::string error;
  const std::vector<OptionRule> rules = {{"root", true},      {"camera", true},   {"stream", true},  {"seconds", true},
                                         {"press", true},     {"unplug-at", true}, {"plug-at", true}, {"menu", true},
                                         {"exit-at", true},   {"viewer", true},   {"out", true},     {"help", false}};
  if (!ParseOptions(args, rules, &opts, &error)) return Fail(error);
  if (opts.Has("help")) {
    std::fputs(kUsage, stdout);
    return 0;
  }
  const std::string root = opts.Get("root");
  if (root.empty()) return Fail("tray needs --root DIR");
  long long seconds = 10;
  if (opts.Has("seconds") && !ParseInt(opts.Get("seconds"), 1, 3600, &seconds))
    return Fail("bad --seconds '" + opts.Get("seconds") + "' (1 to 3600)");
  const std::string viewer = opts.Get("viewer", "on");
  if (viewer != "on" && viewer != "off") return Fail("bad --viewer '" + viewer + "' (on or off)");
  StreamFormat streamFormat;
  if (opts.Has("stream") && !ParseStreamOption(opts.Get("stream"), &streamFormat, &error)) return Fail(error);

  // The actions by second, in the order given.
  std::multimap<long long, Action> actions;
  for (const std::string& p : opts.All("press")) {
    std::string state;
    long long second = 0;
    if (!SplitAt(p, seconds, &state, &second) || (state != "1" && state != "2" && state != "4"))
      return Fail("bad --press '" + p + "' (STATE@SECOND: state 1, 2 or 4, second 0 to " + std::to_string(seconds) +
                  ")");
    actions.insert({second, {Action::kPress, state}});
  }
  for (const std::string& m : opts.All("menu")) {
    std::string item;
    long long second = 0;
    int command = 0;
    if (!SplitAt(m, seconds, &item, &second) || !TrayMenuCommand(item, &command))
      return Fail("bad --menu '" + m + "' (ITEM@SECOND: 50hz, 60hz or exit)");
    actions.insert({second, {Action::kMenu, item}});
  }
  const std::pair<const char*, Action::Kind> timed[] = {
      {"unplug-at", Action::kUnplug}, {"plug-at", Action::kPlug}, {"exit-at", Action::kExit}};
  for (const auto& t : timed) {
    if (!opts.Has(t.first)) continue;
    long long second = 0;
    if (!ParseInt(opts.Get(t.first), 0, seconds, &second))
      return Fail(std::string("bad --") + t.first + " '" + opts.Get(t.first) + "' (0 to " + std::to_string(seconds) +
                  ")");
    actions.insert({second, {t.second, ""}});
  }

  if (!EnsurePackageInstalled(root, &error)) return Fail(error);
  sim::CameraOptions cameraOptions;
  CameraOptionsFromArgs(opts, &cameraOptions);
  CameraSession session;
  if (!PlugCamera(root, cameraOptions, &session, &error)) return Fail(error);
  BackgroundStream stream;  // declared after the session: stops first
  if (opts.Has("stream") && !stream.Start(*session.classDriver, streamFormat, &error)) return Fail(error);

  int status = 0;
  {
    TrayWorld world(root, session, stream, cameraOptions);
    if (!world.Start(viewer == "on", kTrayClockRate, &error)) return Fail(error);
    const std::string outDir = opts.Get("out");
    for (long long second = 0; second <= seconds; ++second) {
      auto range = actions.equal_range(second);
      for (auto it = range.first; it != range.second; ++it) {
        const Action& a = it->second;
        bool ok = true;
        switch (a.kind) {
          case Action::kPress: ok = world.Press(uint32_t(std::stoul(a.value)), &error); break;
          case Action::kUnplug: ok = world.Unplug(&error); break;
          case Action::kPlug: ok = world.Plug(&error); break;
          case Action::kMenu: ok = world.Menu(a.value, outDir, &error); break;
          case Action::kExit: ok = world.SendExit(&error); break;
        }
        if (!ok) {
          std::printf("qcam: at second %lld: %s\n", second, error.c_str());
          status = 2;
        }
      }
      if (second < seconds) world.Advance(1000);
    }
    world.Stop();
  }
  stream.Stop();
  session.End();
  return status;
}

}  // namespace qcam_tool
