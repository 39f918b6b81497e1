// qcam vfw: the video-source dialog of a Video for Windows application, as
// the VfW-to-WDM mapper builds it from the extension's pages.
#include <cstdio>

#include "tools/qcam/commands.h"
#include "tools/qcam/common.h"
#include "tools/qcam/package.h"
#include "tools/qcam/shell.h"
#include "tools/qcam/user_mode.h"

namespace qcam_tool {
namespace {

const char kUsage[] =
    "usage: qcam vfw --root DIR [--camera PROFILE|FILE] [--stream FORMAT:WxH] [--out FILE.png]\n"
    "Installs the package if needed, plugs the camera in and plays the VfW-to-WDM mapper:\n"
    "calls the module's VFWWDMExtension, prints the flags it returns and the pages it adds\n"
    "(template and title), shows them as the \"Video Source\" sheet, draws it to FILE.png\n"
    "with --out, and closes it with Cancel. --stream keeps a capture stream running\n"
    "meanwhile, as the VfW application would.\n";

int RunVfw(CameraSession& session, BackgroundStream& stream, const std::string& streamText, const std::string& out) {
  if (!session.classDriver || !session.classDriver->Plugged()) return Fail("vfw: no camera is plugged in");
  std::string error;
  StreamForWork held(stream, *session.classDriver, streamText);
  if (!held.Ok(&error)) return Fail("vfw: " + error);
  uint32_t flags = 0;
  std::vector<VfwPage> pages;
  const bool ok = RunVfwMapper(out, &flags, &pages, &error);
  std::printf("VFWWDMExtension returned 0x%08X\n", flags);
  for (size_t i = 0; i < pages.size(); ++i) {
    const VfwPage& p = pages[i];
    const std::string source = p.templateName.empty() ? "template " + std::to_string(p.templateId)
                                                      : "template \"" + p.templateName + "\"";
    std::printf("page %zu: %s, title \"%s\"\n", i + 1, source.c_str(), p.title.c_str());
  }
  if (!ok) return Fail("vfw: " + error);
  if (pages.empty()) {
    std::printf("no pages: the sheet is not shown\n");
  } else {
    if (!out.empty()) std::printf("the \"Video Source\" sheet drawn to %s\n", out.c_str());
    std::printf("the sheet closed with Cancel\n");
  }
  return 0;
}

}  // namespace

int CmdVfw(const Args& args) {
  ParsedOptions opts;
  std::string error;
  if (!ParseOptions(args, {{"root", true}, {"camera", true}, {"stream", true}, {"out", true}, {"help", false}},
                    &opts, &error))
    return Fail("vfw: " + error);
  if (opts.Has("help")) {
    std::fputs(kUsage, stdout);
    return 0;
  }
  const std::string root = opts.Get("root");
  if (root.empty()) return Fail("vfw needs --root DIR");
  if (!EnsurePackageInstalled(root, &error)) return Fail(error);
  sim::CameraOptions options;
  CameraOptionsFromArgs(opts, &options);
  CameraSession session;
  if (!PlugCamera(root, options, &session, &error)) return Fail(error);
  BackgroundStream stream;
  return RunVfw(session, stream, opts.Get("stream"), opts.Get("out"));
}

int ShellVfw(Shell& shell, const Args& args) {
  ParsedOptions opts;
  std::string error;
  if (!ParseOptions(args, {{"stream", true}, {"out", true}}, &opts, &error)) return Fail("vfw: " + error);
  return RunVfw(shell.session, shell.stream, opts.Get("stream"), opts.Get("out"));
}

}  // namespace qcam_tool
