// The system's own COM classes (device enumerator, filter graph, capture
// graph builder, filter mappers, Sample Grabber, Null Renderer, the
// kernel-streaming proxy's plug-ins), which live in the platform instead of
// in loadable modules. Each family registers its classes at load time with a
// BuiltinClassRegistrar; COM creates them when the registry's InprocServer32
// names their server file ("C:\Windows\System32\quartz.dll"...), and the
// install writes their registry keys from this table. Only the platform
// includes this header.
#pragma once

#include <string>
#include <vector>

#include <unknwn.h>

namespace platform {

// Creates a new instance (with `outer` for aggregation) and queries it for
// `iid`, as IClassFactory::CreateInstance does.
typedef HRESULT (*BuiltinCreateRoutine)(IUnknown* outer, REFIID iid, void** object);

struct BuiltinClass {
  CLSID clsid;
  const char* name;            // the CLSID key's default value ("Filter Graph")
  const char* serverFile;      // file name in the system directory ("quartz.dll")
  const char* threadingModel;  // "Both", "Apartment"...
  BuiltinCreateRoutine create;
};

// Every registered class, in registration order.
std::vector<BuiltinClass> BuiltinClasses();
// The class with that CLSID whose server file is `serverFile` (file name,
// case ignored); null when there is none.
const BuiltinClass* FindBuiltinClass(REFCLSID clsid, const std::string& serverFile);

struct BuiltinClassRegistrar {
  explicit BuiltinClassRegistrar(const BuiltinClass& entry);
};

}  // namespace platform
