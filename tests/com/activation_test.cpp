// Class activation: the platform's own classes by their registry keys, and
// a server module loaded from the PC root, kept while it says it is in use
// and unloaded when it says it is not.
#include <gtest/gtest.h>

#include <objbase.h>

#include <atomic>
#include <vector>

#include "platform/machine/builtin_classes.h"
#include "platform/machine/module_resources.h"
#include "platform/nt/platform_control.h"
#include "tests/com/com_test_util.h"

namespace {

using com_test::kModulePath;
using com_test::PcTest;

// ---- a built-in class of the platform, registered by the test ---------------------------

// {6B1D2A48-7E3C-4F51-9A0B-1C2D3E4F5A60}
DEFINE_GUID(CLSID_ComTestBuiltin, 0x6B1D2A48, 0x7E3C, 0x4F51, 0x9A, 0x0B, 0x1C, 0x2D, 0x3E, 0x4F, 0x5A, 0x60);
const char kBuiltinKey[] = "HKLM\\SOFTWARE\\Classes\\CLSID\\{6B1D2A48-7E3C-4F51-9A0B-1C2D3E4F5A60}";
const char kBuiltinKey32[] = "HKLM\\SOFTWARE\\Classes\\WOW6432Node\\CLSID\\{6B1D2A48-7E3C-4F51-9A0B-1C2D3E4F5A60}";

std::atomic<int> g_builtinObjects{0};

class BuiltinObject : public IUnknown {
 public:
  BuiltinObject() { ++g_builtinObjects; }
  STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override {
    if (riid != IID_IUnknown) {
      *ppv = nullptr;
      return E_NOINTERFACE;
    }
    *ppv = this;
    AddRef();
    return S_OK;
  }
  STDMETHODIMP_(ULONG) AddRef() override { return ++count_; }
  STDMETHODIMP_(ULONG) Release() override {
    const ULONG left = --count_;
    if (left == 0) delete this;
    return left;
  }

 private:
  virtual ~BuiltinObject() { --g_builtinObjects; }
  ULONG count_ = 1;
};

HRESULT CreateBuiltinObject(IUnknown* outer, REFIID iid, void** object) {
  if (outer) return CLASS_E_NOAGGREGATION;
  BuiltinObject* o = new BuiltinObject;
  const HRESULT hr = o->QueryInterface(iid, object);
  o->Release();
  return hr;
}

const platform::BuiltinClassRegistrar kBuiltin(
    {CLSID_ComTestBuiltin, "COM Test Builtin", "comtestsys.dll", "Both", CreateBuiltinObject});

// An outer object that aggregates the counter.
class Outer : public IUnknown {
 public:
  STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override {
    if (riid == IID_IUnknown) {
      *ppv = static_cast<IUnknown*>(this);
      AddRef();
      return S_OK;
    }
    return inner ? inner->QueryInterface(riid, ppv) : E_NOINTERFACE;
  }
  STDMETHODIMP_(ULONG) AddRef() override { return ++count; }
  STDMETHODIMP_(ULONG) Release() override { return --count; }
  ULONG count = 1;
  IUnknown* inner = nullptr;
};

TEST_F(PcTest, BuiltinClassesAreRegisteredAsSystemServersAndCreatedWithoutAFile) {
  ASSERT_EQ(CoInitialize(nullptr), S_OK);
  IUnknown* object = nullptr;
  EXPECT_EQ(CoCreateInstance(CLSID_ComTestBuiltin, nullptr, CLSCTX_ALL, IID_IUnknown, reinterpret_cast<void**>(&object)),
            REGDB_E_CLASSNOTREG);

  ASSERT_TRUE(platform::RegisterBuiltinClassesInRegistry());
  std::string s;
  ASSERT_TRUE(platform::RegGetString(kBuiltinKey, "", &s));
  EXPECT_EQ(s, "COM Test Builtin");
  ASSERT_TRUE(platform::RegGetString(std::string(kBuiltinKey) + "\\InprocServer32", "", &s));
  EXPECT_EQ(s, "C:\\Windows\\System32\\comtestsys.dll");
  ASSERT_TRUE(platform::RegGetString(std::string(kBuiltinKey) + "\\InprocServer32", "ThreadingModel", &s));
  EXPECT_EQ(s, "Both");
  ASSERT_TRUE(platform::RegGetString(std::string(kBuiltinKey32) + "\\InprocServer32", "", &s));
  EXPECT_EQ(s, "C:\\Windows\\SysWOW64\\comtestsys.dll");

  // Created through its routine in either view; the class object goes
  // with the call, the instance with its last release.
  for (bool wow64 : {false, true}) {
    SetWow64(wow64);
    ASSERT_EQ(CoCreateInstance(CLSID_ComTestBuiltin, nullptr, CLSCTX_INPROC_SERVER, IID_IUnknown,
                               reinterpret_cast<void**>(&object)),
              S_OK);
    EXPECT_EQ(g_builtinObjects, 1);
    object->Release();
    EXPECT_EQ(g_builtinObjects, 0);
  }
  SetWow64(false);
  // The class's own answers pass through; only in-process servers exist.
  void* out = reinterpret_cast<void*>(1);
  EXPECT_EQ(CoCreateInstance(CLSID_ComTestBuiltin, nullptr, CLSCTX_INPROC_SERVER, IID_ICounter, &out), E_NOINTERFACE);
  EXPECT_EQ(out, nullptr);
  Outer outer;
  EXPECT_EQ(CoCreateInstance(CLSID_ComTestBuiltin, &outer, CLSCTX_INPROC_SERVER, IID_IUnknown, &out),
            CLASS_E_NOAGGREGATION);
  EXPECT_EQ(CoCreateInstance(CLSID_ComTestBuiltin, nullptr, CLSCTX_LOCAL_SERVER, IID_IUnknown, &out),
            REGDB_E_CLASSNOTREG);
  EXPECT_EQ(CoCreateInstance(CLSID_ComTestBuiltin, nullptr, CLSCTX_INPROC_SERVER, IID_IUnknown, nullptr), E_POINTER);
  EXPECT_EQ(g_builtinObjects, 0);
  EXPECT_TRUE(platform::LoadedModules().empty());

  // The same CLSID served by another file is not the built-in class; a
  // system module that has no such class says so.
  RegisterServer(CLSID_ComTestBuiltin, "C:\\Windows\\System32\\missing.dll");
  EXPECT_EQ(CoCreateInstance(CLSID_ComTestBuiltin, nullptr, CLSCTX_INPROC_SERVER, IID_IUnknown, &out),
            HRESULT_FROM_WIN32(ERROR_MOD_NOT_FOUND));
  RegisterServer(CLSID_ComTestBuiltin, "ole32.dll");
  EXPECT_EQ(CoCreateInstance(CLSID_ComTestBuiltin, nullptr, CLSCTX_INPROC_SERVER, IID_IUnknown, &out),
            CLASS_E_CLASSNOTAVAILABLE);

  platform::UnregisterBuiltinClassesFromRegistry();
  EXPECT_FALSE(platform::RegKeyExists(kBuiltinKey));
  EXPECT_FALSE(platform::RegKeyExists(kBuiltinKey32));
  EXPECT_EQ(CoCreateInstance(CLSID_ComTestBuiltin, nullptr, CLSCTX_INPROC_SERVER, IID_IUnknown, &out),
            REGDB_E_CLASSNOTREG);
  CoUninitialize();
}

// ---- a server module from the PC root ---------------------------------------------------

std::vector<DWORD> g_entryCalls;
void RecordEntryCall(DWORD reason) { g_entryCalls.push_back(reason); }

void WatchModule(HMODULE module) {
  auto set = com_test::Export<ComTestSetObserverFunction>(module, "ComTestSetObserver");
  ASSERT_NE(set, nullptr);
  g_entryCalls.clear();
  set(RecordEntryCall);
}

ICounter* NewCounter() {
  ICounter* counter = nullptr;
  EXPECT_EQ(CoCreateInstance(CLSID_ComTestCounter, nullptr, CLSCTX_INPROC_SERVER, IID_ICounter,
                             reinterpret_cast<void**>(&counter)),
            S_OK);
  return counter;
}

TEST_F(PcTest, ServerStaysLoadedWhileInUseAndGoesWhenItSaysSo) {
  RegisterServer(CLSID_ComTestCounter, kModulePath);
  RegisterServer(CLSID_ComTestUnknown, kModulePath);
  ASSERT_EQ(CoInitialize(nullptr), S_OK);

  ICounter* first = NewCounter();
  ASSERT_NE(first, nullptr);
  LONG value = 0;
  EXPECT_EQ(first->Next(&value), S_OK);
  EXPECT_EQ(value, 1);
  HMODULE module = GetModuleHandleA("comtest.dll");
  ASSERT_NE(module, nullptr);
  WatchModule(module);
  EXPECT_EQ(platform::LoadedComModules(), std::vector<std::string>{kModulePath});
  ComTestCounts counts = Counts(module);
  EXPECT_EQ(counts.objects, 1) << "the class object was not released";
  EXPECT_EQ(counts.classObjectRequests, 1);
  EXPECT_STREQ(counts.pathAtAttach, kModulePath);
  const uint8_t* resources = nullptr;
  size_t resourceSize = 0;
  EXPECT_TRUE(platform::ModuleResources(module, &resources, &resourceSize));

  // A second object comes from the module already loaded: its counters go on.
  ICounter* second = NewCounter();
  counts = Counts(module);
  EXPECT_EQ(counts.objects, 2);
  EXPECT_EQ(counts.classObjectRequests, 2);
  ASSERT_EQ(platform::LoadedModules().size(), 1u);
  EXPECT_EQ(platform::LoadedModules()[0].loadCount, 1u) << "COM holds one reference per module";

  // In use: asking changes nothing.
  CoFreeUnusedLibraries();
  EXPECT_EQ(GetModuleHandleA("comtest.dll"), module);
  first->Release();
  second->Release();
  EXPECT_EQ(Counts(module).objects, 0);

  // A server lock keeps it loaded without objects.
  IClassFactory* factory = nullptr;
  ASSERT_EQ(CoGetClassObject(CLSID_ComTestCounter, CLSCTX_INPROC_SERVER, nullptr, IID_IClassFactory,
                             reinterpret_cast<void**>(&factory)),
            S_OK);
  EXPECT_EQ(factory->LockServer(TRUE), S_OK);
  factory->Release();
  CoFreeUnusedLibraries();
  EXPECT_EQ(GetModuleHandleA("comtest.dll"), module);
  ASSERT_EQ(CoGetClassObject(CLSID_ComTestCounter, CLSCTX_INPROC_SERVER, nullptr, IID_IClassFactory,
                             reinterpret_cast<void**>(&factory)),
            S_OK);
  EXPECT_EQ(factory->LockServer(FALSE), S_OK);
  factory->Release();
  counts = Counts(module);
  EXPECT_EQ(counts.objects, 0);
  EXPECT_EQ(counts.locks, 0);
  EXPECT_EQ(counts.doubleReleases, 0);

  // Unused now: unloaded, entry point told, resources gone.
  CoFreeUnusedLibraries();
  EXPECT_EQ(g_entryCalls, std::vector<DWORD>{DLL_PROCESS_DETACH});
  EXPECT_EQ(GetModuleHandleA("comtest.dll"), nullptr);
  EXPECT_TRUE(platform::LoadedComModules().empty());
  EXPECT_FALSE(platform::ModuleResources(module, &resources, &resourceSize));

  // The next activation loads it afresh; a class the module does not serve
  // is its answer, passed on.
  void* out = reinterpret_cast<void*>(1);
  EXPECT_EQ(CoCreateInstance(CLSID_ComTestUnknown, nullptr, CLSCTX_INPROC_SERVER, IID_IUnknown, &out),
            CLASS_E_CLASSNOTAVAILABLE);
  EXPECT_EQ(out, nullptr);
  HMODULE again = GetModuleHandleA("comtest.dll");
  ASSERT_NE(again, nullptr);
  EXPECT_NE(again, module) << "a module handle is never reused";
  EXPECT_EQ(Counts(again).classObjectRequests, 1);
  CoFreeUnusedLibraries();
  EXPECT_TRUE(platform::LoadedModules().empty());
  CoUninitialize();
}

TEST_F(PcTest, AggregatedObjectSpeaksForItsOuterObject) {
  RegisterServer(CLSID_ComTestCounter, kModulePath);
  ASSERT_EQ(CoInitializeEx(nullptr, COINIT_MULTITHREADED), S_OK);
  Outer outer;
  ASSERT_EQ(CoCreateInstance(CLSID_ComTestCounter, &outer, CLSCTX_INPROC_SERVER, IID_IUnknown,
                             reinterpret_cast<void**>(&outer.inner)),
            S_OK);
  HMODULE module = GetModuleHandleA("comtest.dll");
  EXPECT_EQ(outer.count, 1u) << "creating the inner object must not count on the outer one";

  ICounter* counter = nullptr;
  ASSERT_EQ(outer.QueryInterface(IID_ICounter, reinterpret_cast<void**>(&counter)), S_OK);
  EXPECT_EQ(outer.count, 2u);
  IUnknown* identity = nullptr;
  ASSERT_EQ(counter->QueryInterface(IID_IUnknown, reinterpret_cast<void**>(&identity)), S_OK);
  EXPECT_EQ(identity, &outer);
  identity->Release();
  counter->Release();
  EXPECT_EQ(outer.count, 1u);

  // Only IUnknown may be asked for with an outer object: the class says so,
  // and nothing is left alive by the failed creation.
  void* out = reinterpret_cast<void*>(1);
  EXPECT_EQ(CoCreateInstance(CLSID_ComTestCounter, &outer, CLSCTX_INPROC_SERVER, IID_ICounter, &out),
            CLASS_E_NOAGGREGATION);
  EXPECT_EQ(out, nullptr);
  EXPECT_EQ(Counts(module).objects, 1);

  outer.inner->Release();
  ComTestCounts counts = Counts(module);
  EXPECT_EQ(counts.objects, 0);
  EXPECT_EQ(counts.doubleReleases, 0);
  // The module notices a release too many, so the zero above means something.
  outer.inner->Release();
  EXPECT_EQ(Counts(module).doubleReleases, 1);

  CoFreeUnusedLibraries();
  EXPECT_TRUE(platform::LoadedModules().empty());
  CoUninitialize();
}

TEST_F(PcTest, ProgramAndComShareOneLoadOfTheModule) {
  RegisterServer(CLSID_ComTestCounter, kModulePath);
  HMODULE mine = LoadLibraryA("comtest");  // ".dll" added, found in the system folder
  ASSERT_NE(mine, nullptr);
  WatchModule(mine);
  ASSERT_EQ(CoInitialize(nullptr), S_OK);
  ICounter* counter = NewCounter();
  ASSERT_NE(counter, nullptr);
  EXPECT_EQ(GetModuleHandleA(kModulePath), mine);
  ASSERT_EQ(platform::LoadedModules().size(), 1u);
  EXPECT_EQ(platform::LoadedModules()[0].loadCount, 2u);
  EXPECT_TRUE(platform::LoadedModules()[0].heldByCom);
  counter->Release();

  // COM lets go of its reference; the program's keeps the module.
  CoFreeUnusedLibraries();
  ASSERT_EQ(platform::LoadedModules().size(), 1u);
  EXPECT_FALSE(platform::LoadedModules()[0].heldByCom);
  EXPECT_TRUE(g_entryCalls.empty());
  CoUninitialize();

  ASSERT_TRUE(FreeLibrary(mine));
  EXPECT_EQ(g_entryCalls, std::vector<DWORD>{DLL_PROCESS_DETACH});
  SetLastError(0);
  EXPECT_FALSE(FreeLibrary(mine));
  EXPECT_EQ(GetLastError(), DWORD(ERROR_INVALID_HANDLE));
  EXPECT_EQ(GetProcAddress(mine, "DllGetClassObject"), nullptr);
}

}  // namespace
