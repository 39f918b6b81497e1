// qcam pages: the camera's own property pages as a person uses them, in a
// capture application's property frame or in the VfW video-source dialog,
// while a capture stream runs; what the pages send to the camera, the
// message boxes they show, a picture after each action and what they
// changed under the Current key.
#include <cstdio>
#include <filesystem>
#include <map>

#include "platform/nt/platform_control.h"
#include "tools/qcam/commands.h"
#include "tools/qcam/common.h"
#include "tools/qcam/package.h"
#include "tools/qcam/pages_run.h"
#include "tools/qcam/shell.h"

namespace qcam_tool {
namespace {

const char kUsage[] =
    "usage: qcam pages --root DIR [--camera PROFILE|FILE] [--stream FORMAT:WxH] [--via com|vfw]\n"
    "                  [--page camera|zoom|effect|command] [--do ACTION]... [--out DIR]\n"
    "Installs the package if needed, plugs the camera in and, while a capture stream runs\n"
    "(default YUY2:640x480), opens the camera's property frame (--via com, the default) or the\n"
    "VfW video-source dialog (--via vfw), shows the page (default: camera) and performs the\n"
    "actions in order, then closes with OK unless an action closed it. Actions:\n"
    "  click ID          a button, check box or radio button of the page\n"
    "  trackbar ID POS   drags a trackbar's thumb to POS\n"
    "  text ID TEXT      types TEXT into an edit box\n"
    "  select ID ROW     picks a row of a list or combo box\n"
    "  tab N             shows page N of the frame (from 0)\n"
    "  apply | ok | cancel\n"
    "  open-file PATH    the path the next open-file dialog is answered with\n"
    "Prints each property request the pages send ('set private 7 [1]',\n"
    "'set procamp 0 = 12 (manual)'), every message box, the pictures written to --out DIR\n"
    "(page-00.png as opened, page-NN.png after action NN) and the values of the Current key\n"
    "that changed.\n";

constexpr const char* kCurrentKey = "HKEY_LOCAL_MACHINE\\SOFTWARE\\Qorvane\\QCAM500\\Current";
constexpr const char* kDefaultStream = "YUY2:640x480";

// The Current key's values as text, by name.
std::map<std::string, std::string> CurrentValues() {
  std::map<std::string, std::string> values;
  std::vector<std::string> names;
  if (!platform::RegListValues(kCurrentKey, &names)) return values;
  for (const std::string& name : names) {
    uint32_t number = 0;
    std::string text;
    if (platform::RegGetDword(kCurrentKey, name, &number)) {
      values[name] = std::to_string(number);
    } else if (platform::RegGetString(kCurrentKey, name, &text)) {
      values[name] = "\"" + text + "\"";
    } else {
      values[name] = "(binary)";
    }
  }
  return values;
}

void PrintChanges(const std::map<std::string, std::string>& before, const std::map<std::string, std::string>& after) {
  bool any = false;
  for (const auto& value : after) {
    auto old = before.find(value.first);
    if (old != before.end() && old->second == value.second) continue;
    if (!any) std::printf("changed under %s:\n", kCurrentKey);
    any = true;
    std::printf("  %s = %s%s\n", value.first.c_str(), value.second.c_str(),
                old == before.end() ? " (new)" : (" (was " + old->second + ")").c_str());
  }
  if (!any) std::printf("nothing changed under %s\n", kCurrentKey);
}

bool ParseRequest(const ParsedOptions& opts, PagesRequest* request, std::string* error) {
  const std::string via = opts.Get("via", "com");
  if (via != "com" && via != "vfw") {
    *error = "--via takes com or vfw, not '" + via + "'";
    return false;
  }
  request->host = via == "com" ? PageHost::kFrame : PageHost::kVideoSource;
  if (opts.Has("page") && !ParsePageKind(opts.Get("page"), &request->page)) {
    *error = "--page takes camera, zoom, effect or command, not '" + opts.Get("page") + "'";
    return false;
  }
  if (opts.Has("do")) {
    for (const std::string& text : opts.All("do")) {
      PageAction action;
      if (!ParsePageAction(text, &action, error)) return false;
      request->actions.push_back(action);
    }
  }
  request->outDir = opts.Get("out");
  return true;
}

int RunPages(CameraSession& session, BackgroundStream& stream, const std::string& streamText, const PagesRequest& request) {
  if (!session.classDriver || !session.classDriver->Plugged()) return Fail("pages: no camera is plugged in");
  std::string error;
  if (!request.outDir.empty()) {
    std::error_code ignored;
    std::filesystem::create_directories(request.outDir, ignored);
  }
  // A stream that runs already (the shell's) is what the application holds;
  // the pages read its format when they open, which the driver knows from
  // its first frame on.
  const bool running = stream.Open();
  StreamForWork held(stream, *session.classDriver, running ? "" : (streamText.empty() ? kDefaultStream : streamText));
  if (!held.Ok(&error)) return Fail("pages: " + error);
  std::vector<FrameNote> first;
  if (running && stream.Delivered() == 0 && !stream.WaitFrames(1, &first))
    return Fail("pages: the stream ended before its first frame");
  const auto before = CurrentValues();
  const bool ok = RunPropertyPages(request, [](const std::string& line) { std::printf("%s\n", line.c_str()); },
                                   &error);
  PrintChanges(before, CurrentValues());
  std::fflush(stdout);
  return ok ? 0 : Fail("pages: " + error);
}

}  // namespace

int CmdPages(const Args& args) {
  ParsedOptions opts;
  std::string error;
  if (!ParseOptions(args,
                    {{"root", true}, {"camera", true}, {"stream", true}, {"via", true}, {"page", true}, {"do", true},
                     {"out", true}, {"help", false}},
                    &opts, &error))
    return Fail("pages: " + error);
  if (opts.Has("help")) {
    std::fputs(kUsage, stdout);
    return 0;
  }
  const std::string root = opts.Get("root");
  if (root.empty()) return Fail("pages needs --root DIR");
  PagesRequest request;
  if (!ParseRequest(opts, &request, &error)) return Fail("pages: " + error);
  if (!EnsurePackageInstalled(root, &error)) return Fail(error);
  sim::CameraOptions options;
  CameraOptionsFromArgs(opts, &options);
  CameraSession session;
  if (!PlugCamera(root, options, &session, &error)) return Fail(error);
  BackgroundStream stream;
  return RunPages(session, stream, opts.Get("stream"), request);
}

int ShellPages(Shell& shell, const Args& args) {
  ParsedOptions opts;
  std::string error;
  PagesRequest request;
  if (!ParseOptions(args, {{"stream", true}, {"via", true}, {"page", true}, {"do", true}, {"out", true}}, &opts,
                    &error) ||
      !ParseRequest(opts, &request, &error))
    return Fail("pages: " + error);
  return RunPages(shell.session, shell.stream, opts.Get("stream"), request);
}

}  // namespace qcam_tool
