// qcam register: runs the extension module's own registration, as regsvr32
// does, and shows what it changed in the PC's registry.
#include <cstdio>

#include "platform/nt/platform_control.h"
#include "tools/qcam/commands.h"
#include "tools/qcam/common.h"
#include "tools/qcam/registry_diff.h"
#include "tools/qcam/user_mode.h"

namespace qcam_tool {
namespace {

// "5 keys added, 1 changed", or that nothing changed.
std::string ChangeSummary(const std::vector<RegistryChange>& changes) {
  int count[3] = {0, 0, 0};
  for (const RegistryChange& c : changes) ++count[c.kind];
  static const char* const kWords[3] = {"added", "removed", "changed"};
  std::string text;
  for (int k = 0; k < 3; ++k) {
    if (!count[k]) continue;
    text += (text.empty() ? std::to_string(count[k]) + (count[k] == 1 ? " key " : " keys ")
                          : ", " + std::to_string(count[k]) + " ") + kWords[k];
  }
  return text.empty() ? "the registry is as it was" : text;
}

}  // namespace

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
  std::printf("%s returned %s; %s\n", unregister ? "DllUnregisterServer" : "DllRegisterServer",
              hr == 0 ? "S_OK" : HresultText(hr).c_str(), ChangeSummary(changes).c_str());
  return 0;
}

}  // namespace qcam_tool
