// The system device enumerator: the video input category with no, one and
// two cameras, their monikers' names and property bags, and the
// enumerator's own contract.
#include "tests/dshow/dshow_fixture.h"

namespace dshowtest {
namespace {

using Enumeration = DshowTest;

TEST_F(Enumeration, EmptyCategoriesGiveNoEnumerator) {
  Ref<ICreateDevEnum> devices;
  ASSERT_EQ(Create(CLSID_SystemDeviceEnum, IID_ICreateDevEnum, &devices), S_OK);
  IEnumMoniker* e = reinterpret_cast<IEnumMoniker*>(0x1);
  EXPECT_EQ(devices->CreateClassEnumerator(CLSID_VideoInputDeviceCategory, &e, 0), S_FALSE);
  EXPECT_EQ(e, nullptr);
  EXPECT_EQ(devices->CreateClassEnumerator(CLSID_VideoInputDeviceCategory, nullptr, 0), E_POINTER);

  // A camera is no audio device.
  Plug();
  e = reinterpret_cast<IEnumMoniker*>(0x1);
  EXPECT_EQ(devices->CreateClassEnumerator(CLSID_AudioInputDeviceCategory, &e, 0), S_FALSE);
  EXPECT_EQ(e, nullptr);
}

TEST_F(Enumeration, OneCameraNamesItselfAndKeepsItsNameAcrossPlugs) {
  std::wstring first;
  {
    PluggedCamera camera;
    ASSERT_TRUE(camera.Ok());
    std::vector<IMoniker*> monikers = Monikers();
    ASSERT_EQ(monikers.size(), 1u);
    IMoniker* m = monikers[0];
    const std::wstring path = Wide(camera.Path());
    first = DisplayName(m);
    EXPECT_EQ(first, L"@device:pnp:" + path);
    EXPECT_EQ(path.rfind(L"\\\\?\\usb#vid_1b3f&pid_9710&mi_00#6&", 0), 0u) << path;
    const std::wstring tail = L"#{65e8773d-8f56-11d0-a3b9-00a0c9223196}\\global";
    EXPECT_EQ(path.substr(path.size() - tail.size()), tail);
    EXPECT_EQ(BagString(m, L"FriendlyName"), Wide(sim::kCameraFriendlyName));
    EXPECT_EQ(BagString(m, L"devicepath"), path);  // value names ignore case

    Ref<IPropertyBag> bag;
    ASSERT_EQ(m->BindToStorage(nullptr, nullptr, IID_IPropertyBag, bag.vout()), S_OK);
    VARIANT v;
    VariantInit(&v);
    EXPECT_EQ(bag->Read(L"Location", &v, nullptr), E_INVALIDARG);
    v.vt = VT_I4;
    EXPECT_EQ(bag->Read(L"FriendlyName", &v, nullptr), DISP_E_TYPEMISMATCH);
    EXPECT_EQ(v.vt, VT_I4);
    VariantInit(&v);
    EXPECT_EQ(bag->Write(L"FriendlyName", &v), E_ACCESSDENIED);
    EXPECT_EQ(bag->Read(nullptr, &v, nullptr), E_POINTER);
    void* none = nullptr;
    EXPECT_EQ(m->BindToStorage(nullptr, nullptr, IID_IBaseFilter, &none), E_NOINTERFACE);

    CLSID clsid{};
    EXPECT_EQ(m->GetClassID(&clsid), S_OK);
    EXPECT_TRUE(IsEqualGUID(clsid, CLSID_CDeviceMoniker));
    EXPECT_EQ(m->IsEqual(m), S_OK);
    ReleaseAll(&monikers);
  }
  // The same camera on the same port comes back under the same name.
  Plug();
  std::vector<IMoniker*> again = Monikers();
  ASSERT_EQ(again.size(), 1u);
  EXPECT_EQ(DisplayName(again[0]), first);
  ReleaseAll(&again);
}

TEST_F(Enumeration, TwoCamerasInPlugOrderWithTheEnumeratorContract) {
  PluggedCamera& notebook = Plug();
  sim::KsCameraDeviceOptions second;
  second.port = 2;
  second.friendlyName = "Second Camera";
  PluggedCamera& basic = Plug("basic", second);
  EXPECT_NE(notebook.Info().instance, basic.Info().instance);
  EXPECT_EQ(basic.Info().productId, 0x9711);

  Ref<ICreateDevEnum> devices;
  ASSERT_EQ(Create(CLSID_SystemDeviceEnum, IID_ICreateDevEnum, &devices), S_OK);
  Ref<IEnumMoniker> e;
  ASSERT_EQ(devices->CreateClassEnumerator(CLSID_VideoInputDeviceCategory, e.out(), 0), S_OK);

  IMoniker* m[3] = {};
  EXPECT_EQ(e->Next(3, m, nullptr), E_INVALIDARG);  // several need a count
  ULONG fetched = 0;
  EXPECT_EQ(e->Next(3, m, &fetched), S_FALSE);
  ASSERT_EQ(fetched, 2u);
  EXPECT_EQ(BagString(m[0], L"DevicePath"), Wide(notebook.Path()));
  EXPECT_EQ(BagString(m[1], L"FriendlyName"), L"Second Camera");
  EXPECT_EQ(m[0]->IsEqual(m[1]), S_FALSE);
  DWORD h0 = 0, h1 = 0;
  EXPECT_EQ(m[0]->Hash(&h0), S_OK);
  EXPECT_EQ(m[1]->Hash(&h1), S_OK);
  EXPECT_NE(h0, h1);
  m[0]->Release();
  m[1]->Release();

  // A clone keeps the position; Reset and Skip move it.
  EXPECT_EQ(e->Reset(), S_OK);
  EXPECT_EQ(e->Skip(1), S_OK);
  Ref<IEnumMoniker> clone;
  ASSERT_EQ(e->Clone(clone.out()), S_OK);
  IMoniker* next = nullptr;
  ASSERT_EQ(clone->Next(1, &next, nullptr), S_OK);
  EXPECT_EQ(BagString(next, L"DevicePath"), Wide(basic.Path()));
  next->Release();
  EXPECT_EQ(e->Skip(5), S_FALSE);
  EXPECT_EQ(e->Next(1, &next, nullptr), S_FALSE);
}

}  // namespace
}  // namespace dshowtest
