// qcam register: runs the extension module's own registration, as regsvr32
// does, and shows what it changed in the PC's registry.
#include <cstdio>

#include "platform/nt/platform_control.h"
#include "tools/qcam/commands.h"
#include "tools/qcam/common.h"
#include "tools/qcam/registry_diff.h"
#include "tools/qcam/user_mode.h"

namespace qcam_tool {

int CmdRegister(const Args& args) {
  ParsedOptions opts;
  std::string error;
  if (!ParseOptions(args, {{"root", true}, {"unregister", false}, {"help", false}}, &opts, &error))
    return Fail(error);
  if (opts.Has("help")) {
    std::printf("usage: qcam register --root DIR [--unregister]\n"
                "Loads C:\\Windows\\System32\\qcamext.ax (installed by 'qcam install'), calls its\n"
                "DllRegisterServer (or DllUnregisterServer) and prints the registry keys that\n"
                "came (+), went (-) or changed their values (*).\n");
    return 0;
  }
  const std::string root = opts.Get("root");
  if (root.empty()) return Fail("register needs --root DIR");
  if (!platform::SetRoot(root)) return Fail("cannot use " + root + " as a PC root");
  const bool unregister = opts.Has("unregister");
  const std::string before = platform::RenderRegistryText();
  uint32_t hr = 0;
  const bool ok = CallModuleRegistration(unregister, &hr, &error);
  const std::vector<RegistryChange> changes = DiffRegistryText(before, platform::RenderRegistryText());
  for (const RegistryChange& c : changes) std::printf("%s\n", RegistryChangeLine(c).c_str());
  if (!ok) return Fail(error + ": " + HresultText(hr));
  std::printf("%s: %s, %zu key%s changed\n", unregister ? "DllUnregisterServer" : "DllRegisterServer",
              HresultText(hr).c_str(), changes.size(), changes.size() == 1 ? "" : "s");
  return 0;
}

}  // namespace qcam_tool
