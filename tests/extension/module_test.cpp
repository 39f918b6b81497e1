// The module as COM sees it: class objects, creation and aggregation rules,
// the unload check against live objects and locks, and registration in the
// PC's saved registry.
#include <gtest/gtest.h>

#include <initguid.h>

#include <ocidl.h>

#include "platform/machine/com_control.h"
#include "shared/custom_camera_prop.h"
#include "shared/qcamext_classes.h"
#include "tests/extension/ext_fixture.h"
#include "tests/extension/fake_objects.h"

namespace ext_test {
namespace {

constexpr HRESULT kNeedOwner = HRESULT(0x80040202L);

struct ClassRow {
  const GUID* clsid;
  const char* text;
  const char* name;
};
const ClassRow kRows[] = {
    {&IID_IAMCustomCameraProp, "{3DC2E820-4713-11D2-BA41-00A0C90D2B05}", "IAMCustomCameraProp"},
    {&CLSID_CustomCameraPage, "{10C5EE30-5651-4E03-AF63-7AFAAD73A53A}", "Custom Camera Property Page"},
    {&CLSID_SpecialEffectPage, "{10C5EE31-5651-4E03-AF63-7AFAAD73A53A}", "Special Effect Property Page"},
    {&CLSID_DigitalZoomPage, "{10C5EE32-5651-4E03-AF63-7AFAAD73A53A}", "Digital Zoom Property Page"},
    {&CLSID_CommandPage, "{99999999-5651-4E03-AF63-7AFAAD73A53A}", "Qorvane Command Property Page"},
};

TEST_F(ModuleTest, ClassObjectsCreationAndUnloading) {
  Load();
  // The static pages of the video-source dialog do not hold the module.
  EXPECT_EQ(canUnloadNow_(), S_OK);

  void* object = reinterpret_cast<void*>(1);
  const CLSID unknown = {0x12345678, 0x1, 0x2, {3, 4, 5, 6, 7, 8, 9, 10}};
  EXPECT_EQ(getClassObject_(unknown, IID_IClassFactory, &object), CLASS_E_CLASSNOTAVAILABLE);
  EXPECT_EQ(object, nullptr);
  EXPECT_EQ(getClassObject_(CLSID_CustomCameraPage, IID_IPropertyPage, &object), E_NOINTERFACE);
  for (const ClassRow& row : kRows) {
    IUnknown* unknownObject = nullptr;
    ASSERT_EQ(getClassObject_(*row.clsid, IID_IUnknown, reinterpret_cast<void**>(&unknownObject)), S_OK);
    EXPECT_EQ(canUnloadNow_(), S_FALSE) << "a live class object keeps the module";
    unknownObject->Release();
  }
  EXPECT_EQ(canUnloadNow_(), S_OK);

  IClassFactory* factory = Factory(CLSID_CustomCameraPage);
  ASSERT_NE(factory, nullptr);
  EXPECT_EQ(factory->CreateInstance(nullptr, IID_IPropertyPage, nullptr), E_POINTER);
  FakeProxy outer(false, nullptr);
  object = reinterpret_cast<void*>(1);
  EXPECT_EQ(factory->CreateInstance(&outer, IID_IPropertyPage, &object), E_NOINTERFACE);
  EXPECT_EQ(object, nullptr);
  IPropertyPage* page = nullptr;
  ASSERT_EQ(factory->CreateInstance(nullptr, IID_IPropertyPage, reinterpret_cast<void**>(&page)), S_OK);
  IUnknown* identity = nullptr;
  ASSERT_EQ(page->QueryInterface(IID_IUnknown, reinterpret_cast<void**>(&identity)), S_OK);
  EXPECT_EQ(page->QueryInterface(IID_IClassFactory, &object), E_NOINTERFACE);
  EXPECT_EQ(identity->Release(), 1u);

  // The page and a lock each keep the module loaded on their own.
  EXPECT_EQ(factory->LockServer(TRUE), S_OK);
  EXPECT_EQ(factory->Release(), 0u);
  EXPECT_EQ(canUnloadNow_(), S_FALSE);
  EXPECT_EQ(page->Release(), 0u);
  EXPECT_EQ(canUnloadNow_(), S_FALSE);
  factory = Factory(CLSID_CommandPage);
  EXPECT_EQ(factory->LockServer(FALSE), S_OK);
  EXPECT_EQ(factory->LockServer(FALSE), S_OK) << "an unbalanced unlock is harmless";
  factory->Release();
  EXPECT_EQ(canUnloadNow_(), S_OK);
  factory = Factory(CLSID_CommandPage);
  factory->LockServer(TRUE);
  factory->Release();
  EXPECT_EQ(canUnloadNow_(), S_FALSE) << "the unbalanced unlock must not hide a later lock";
  factory = Factory(CLSID_CommandPage);
  factory->LockServer(FALSE);
  factory->Release();
  EXPECT_EQ(canUnloadNow_(), S_OK);
}

TEST_F(ModuleTest, InterfaceHandlerNeedsTheProxyAndItsHandle) {
  Load();
  IClassFactory* factory = Factory(IID_IAMCustomCameraProp);
  ASSERT_NE(factory, nullptr);
  IUnknown* inner = nullptr;
  EXPECT_EQ(factory->CreateInstance(nullptr, IID_IUnknown, reinterpret_cast<void**>(&inner)), kNeedOwner);
  EXPECT_EQ(inner, nullptr);

  FakeProxy noKsObject(false, nullptr);
  EXPECT_EQ(factory->CreateInstance(&noKsObject, IID_IUnknown, reinterpret_cast<void**>(&inner)), E_NOINTERFACE);
  FakeProxy noHandle(true, nullptr);
  EXPECT_EQ(factory->CreateInstance(&noHandle, IID_IUnknown, reinterpret_cast<void**>(&inner)), E_UNEXPECTED);
  EXPECT_EQ(noHandle.references, 1) << "IKsObject is let go again";

  FakeProxy proxy(true, reinterpret_cast<HANDLE>(0x1234));
  ASSERT_EQ(factory->CreateInstance(&proxy, IID_IUnknown, reinterpret_cast<void**>(&inner)), S_OK);
  factory->Release();
  EXPECT_EQ(proxy.references, 1) << "the handler holds no reference on its outer object";
  proxy.inner = inner;

  // Through the proxy: the handler's interface, whose IUnknown is the proxy's.
  IAMCustomCameraProp* custom = nullptr;
  ASSERT_EQ(proxy.QueryInterface(IID_IAMCustomCameraProp, reinterpret_cast<void**>(&custom)), S_OK);
  EXPECT_EQ(proxy.references, 2);
  IUnknown* outerIdentity = nullptr;
  const int queries = proxy.queries;
  ASSERT_EQ(custom->QueryInterface(IID_IUnknown, reinterpret_cast<void**>(&outerIdentity)), S_OK);
  EXPECT_EQ(outerIdentity, static_cast<IUnknown*>(static_cast<KsObjectInterface*>(&proxy)));
  EXPECT_GT(proxy.queries, queries);
  outerIdentity->Release();
  custom->Release();
  EXPECT_EQ(proxy.references, 1);
  void* object = nullptr;
  EXPECT_EQ(inner->QueryInterface(IID_IPropertyPage, &object), E_NOINTERFACE);
  EXPECT_EQ(canUnloadNow_(), S_FALSE);
  EXPECT_EQ(inner->Release(), 0u);
  EXPECT_EQ(canUnloadNow_(), S_OK);
}

TEST_F(ModuleTest, RegistrationRoundTripInTheSavedRegistry) {
  ASSERT_TRUE(platform::RegisterBuiltinClassesInRegistry());
  const std::string neighbour = ClassKeyPath("{0C0FFEE0-0000-0000-0000-000000000001}");
  ASSERT_TRUE(platform::RegCreateKeyPath(neighbour + "\\InprocServer32"));
  ASSERT_TRUE(platform::RegSetString(neighbour + "\\InprocServer32", "", "C:\\other.dll"));
  Load();
  ASSERT_EQ(registerServer_(), S_OK);
  ASSERT_EQ(registerServer_(), S_OK) << "registering twice overwrites the same keys";
  for (const ClassRow& row : kRows) {
    const std::string key = ClassKeyPath(row.text);
    std::string value;
    ASSERT_TRUE(platform::RegGetString(key, "", &value)) << key;
    EXPECT_EQ(value, row.name);
    ASSERT_TRUE(platform::RegGetString(key + "\\InprocServer32", "", &value));
    EXPECT_EQ(value, kModulePath);
    ASSERT_TRUE(platform::RegGetString(key + "\\InprocServer32", "ThreadingModel", &value));
    EXPECT_EQ(value, "Both");
  }
  std::string saved;
  {
    std::ifstream in(root_ + "/registry.reg", std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    saved = s.str();
  }
  EXPECT_NE(saved.find("{10C5EE31-5651-4E03-AF63-7AFAAD73A53A}\\InprocServer32]"), std::string::npos);

  ASSERT_EQ(unregisterServer_(), S_OK);
  for (const ClassRow& row : kRows) EXPECT_FALSE(platform::RegKeyExists(ClassKeyPath(row.text))) << row.text;
  EXPECT_TRUE(platform::RegKeyExists(neighbour + "\\InprocServer32")) << "other classes stay";
  EXPECT_TRUE(platform::RegKeyExists("HKEY_LOCAL_MACHINE\\SOFTWARE\\Classes\\CLSID"));
  EXPECT_EQ(unregisterServer_(), S_OK) << "nothing left to remove is no failure";
  EXPECT_EQ(canUnloadNow_(), S_OK);
}

}  // namespace
}  // namespace ext_test
