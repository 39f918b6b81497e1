// The registry keys of the platform's own COM classes, as the system DLLs'
// registration writes them, in both views of 64-bit Windows.
#include <unknwn.h>

#include "platform/machine/builtin_classes.h"
#include "platform/machine/com_control.h"
#include "platform/machine/guid_text.h"
#include "platform/machine/paths.h"
#include "platform/nt/platform_control.h"

namespace platform {
namespace {

struct View {
  const char* clsidKey;      // the CLSID key of the view, in the native tree
  const char* serverFolder;  // where the view's server files live
};
const View kViews[] = {
    {"HKEY_LOCAL_MACHINE\\SOFTWARE\\Classes\\CLSID", kSystemDirectory},
    {"HKEY_LOCAL_MACHINE\\SOFTWARE\\Classes\\WOW6432Node\\CLSID", "C:\\Windows\\SysWOW64"},
};

bool WriteClassKeys(const BuiltinClass& c, const View& view) {
  const std::string key = std::string(view.clsidKey) + "\\" + GuidToText(c.clsid);
  const std::string server = key + "\\InprocServer32";
  return RegCreateKeyPath(server) && RegSetString(key, "", c.name) &&
         RegSetString(server, "", std::string(view.serverFolder) + "\\" + c.serverFile) &&
         RegSetString(server, "ThreadingModel", c.threadingModel);
}

}  // namespace

bool RegisterBuiltinClassesInRegistry() {
  for (const BuiltinClass& c : BuiltinClasses())
    for (const View& view : kViews)
      if (!WriteClassKeys(c, view)) return false;
  return true;
}

void UnregisterBuiltinClassesFromRegistry() {
  for (const BuiltinClass& c : BuiltinClasses())
    for (const View& view : kViews) RegDeleteKeyPath(std::string(view.clsidKey) + "\\" + GuidToText(c.clsid));
}

}  // namespace platform
