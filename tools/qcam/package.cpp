// The package's installation, step by step.
#include "tools/qcam/package.h"

#include "platform/machine/com_control.h"
#include "tools/qcam/common.h"

namespace qcam_tool {

bool InstallPackage(const std::string& root, std::vector<std::string>* done, std::string* error) {
  if (!InstallRoot(root, error)) return false;
  done->push_back("the driver's registry keys, folders and photo frames");
  if (!platform::RegisterBuiltinClassesInRegistry()) {
    *error = "cannot register the system classes in the PC's registry";
    return false;
  }
  done->push_back("the system classes (device enumerator, filter graph, capture graph builder...) in HKCR\\CLSID");
  return true;
}

}  // namespace qcam_tool
