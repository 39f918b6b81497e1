// The camera's capture filter: binding it from its moniker, its interfaces
// and identity, its pins, the reference counts that keep it and its device
// handle alive, and the requests its camera interfaces send to the driver.
#include "tests/dshow/dshow_fixture.h"

namespace dshowtest {
namespace {

using CaptureFilter = DshowTest;

constexpr int32_t kStatusInvalidParameter = int32_t(0xC000000D);

TEST_F(CaptureFilter, InterfacesShareOneIdentityAndTheLastReferenceClosesTheDevice) {
  PluggedCamera& camera = Plug();
  const size_t handlesBefore = platform::LiveHandleCount();
  Ref<IBaseFilter> filter;
  ASSERT_EQ(BindFilter(camera.Path(), &filter), S_OK);
  EXPECT_EQ(RefCount(filter.get()), 1u);
  EXPECT_EQ(platform::LiveHandleCount(), handlesBefore + 1);

  Ref<IUnknown> identity;
  ASSERT_EQ(filter->QueryInterface(IID_IUnknown, identity.vout()), S_OK);
  for (const IID* iid : {&IID_IPersist, &IID_IMediaFilter, &IID_IBaseFilter, &IID_IPersistPropertyBag, &IID_IKsObject,
                         &IID_IKsControl, &IID_IAMVideoProcAmp, &IID_IAMCameraControl, &IID_IAMVideoControl,
                         &IID_ISpecifyPropertyPages}) {
    Ref<IUnknown> part, back;
    ASSERT_EQ(filter->QueryInterface(*iid, part.vout()), S_OK);
    ASSERT_EQ(part->QueryInterface(IID_IUnknown, back.vout()), S_OK);
    EXPECT_EQ(back.get(), identity.get());
  }
  EXPECT_EQ(RefCount(filter.get()), 2u);  // the filter and the identity reference
  void* none = reinterpret_cast<void*>(1);
  EXPECT_EQ(filter->QueryInterface(IID_ISampleGrabber, &none), E_NOINTERFACE);
  EXPECT_EQ(none, nullptr);
  identity.Reset();

  CLSID clsid{};
  EXPECT_EQ(filter->GetClassID(&clsid), S_OK);
  EXPECT_TRUE(IsEqualGUID(clsid, CLSID_Proxy));
  Ref<IKsObject> ks;
  ASSERT_EQ(filter->QueryInterface(IID_IKsObject, ks.vout()), S_OK);
  EXPECT_TRUE(platform::IsKsDeviceHandle(ks->KsGetObjectHandle()));
  ks.Reset();

  // A loaded proxy loads nothing else.
  Ref<IPersistPropertyBag> persist;
  ASSERT_EQ(filter->QueryInterface(IID_IPersistPropertyBag, persist.vout()), S_OK);
  EXPECT_EQ(persist->InitNew(), E_UNEXPECTED);
  persist.Reset();

  // A pin keeps its filter, and with it the device, alive.
  Ref<IPin> still;
  ASSERT_EQ(PinOf(filter.get(), L"Still", &still), S_OK);
  filter.Reset();
  PIN_INFO info{};
  ASSERT_EQ(still->QueryPinInfo(&info), S_OK);
  EXPECT_STREQ(info.achName, L"Still");
  EXPECT_EQ(info.dir, PINDIR_OUTPUT);
  info.pFilter->Release();
  EXPECT_EQ(platform::LiveHandleCount(), handlesBefore + 1);
  still.Reset();
  EXPECT_EQ(platform::LiveHandleCount(), handlesBefore);
  EXPECT_EQ(platform::LiveDirectShowObjects(), 0);
}

TEST_F(CaptureFilter, TwoOutputPinsWithTheirCategories) {
  PluggedCamera& camera = Plug();
  Ref<IBaseFilter> filter;
  ASSERT_EQ(BindFilter(camera.Path(), &filter), S_OK);
  Ref<IEnumPins> pins;
  ASSERT_EQ(filter->EnumPins(pins.out()), S_OK);
  IPin* pin[3] = {};
  ULONG fetched = 0;
  EXPECT_EQ(pins->Next(3, pin, &fetched), S_FALSE);
  ASSERT_EQ(fetched, 2u);
  const GUID* categories[] = {&PIN_CATEGORY_CAPTURE, &PIN_CATEGORY_STILL};
  const wchar_t* names[] = {L"Capture", L"Still"};
  for (int k = 0; k < 2; ++k) {
    Ref<IPin> p(pin[k]);
    PIN_DIRECTION direction = PINDIR_INPUT;
    EXPECT_EQ(p->QueryDirection(&direction), S_OK);
    EXPECT_EQ(direction, PINDIR_OUTPUT);
    LPWSTR id = nullptr;
    ASSERT_EQ(p->QueryId(&id), S_OK);
    EXPECT_STREQ(id, names[k]);
    CoTaskMemFree(id);
    Ref<IPin> found;
    ASSERT_EQ(PinOf(filter.get(), names[k], &found), S_OK);
    EXPECT_EQ(found.get(), p.get());

    Ref<IKsPropertySet> properties;
    ASSERT_EQ(p->QueryInterface(IID_IKsPropertySet, properties.vout()), S_OK);
    GUID category{};
    DWORD returned = 0;
    EXPECT_EQ(properties->Get(AMPROPSETID_Pin, AMPROPERTY_PIN_CATEGORY, nullptr, 0, &category, sizeof(category),
                              &returned),
              S_OK);
    EXPECT_EQ(returned, sizeof(GUID));
    EXPECT_TRUE(IsEqualGUID(category, *categories[k]));
    EXPECT_EQ(properties->Get(AMPROPSETID_Pin, AMPROPERTY_PIN_CATEGORY, nullptr, 0, &category, 8, &returned),
              E_UNEXPECTED);
    EXPECT_EQ(properties->Get(PROPSETID_VIDCAP_VIDEOPROCAMP, 0, nullptr, 0, &category, 16, &returned),
              E_PROP_SET_UNSUPPORTED);
    EXPECT_EQ(properties->Get(AMPROPSETID_Pin, AMPROPERTY_PIN_MEDIUM, nullptr, 0, &category, 16, &returned),
              E_PROP_ID_UNSUPPORTED);
    DWORD support = 0;
    EXPECT_EQ(properties->QuerySupported(AMPROPSETID_Pin, AMPROPERTY_PIN_CATEGORY, &support), S_OK);
    EXPECT_EQ(support, DWORD(KSPROPERTY_SUPPORT_GET));

    // Nothing connects.
    IPin* peer = reinterpret_cast<IPin*>(1);
    EXPECT_EQ(p->ConnectedTo(&peer), VFW_E_NOT_CONNECTED);
    EXPECT_EQ(peer, nullptr);
    EXPECT_EQ(p->Disconnect(), S_FALSE);
  }
  Ref<IPin> preview;
  EXPECT_EQ(PinOf(filter.get(), L"Preview", &preview), VFW_E_NOT_FOUND);
  EXPECT_EQ(PinOf(filter.get(), nullptr, &preview), E_POINTER);

  // A plain run state.
  FILTER_STATE state = State_Running;
  EXPECT_EQ(filter->GetState(0, &state), S_OK);
  EXPECT_EQ(state, State_Stopped);
  EXPECT_EQ(filter->Run(0), S_OK);
  EXPECT_EQ(filter->GetState(0, &state), S_OK);
  EXPECT_EQ(state, State_Running);
}

TEST_F(CaptureFilter, StandardControlsGoToTheDriver) {
  PluggedCamera& camera = Plug();
  Ref<IBaseFilter> filter;
  ASSERT_EQ(BindFilter(camera.Path(), &filter), S_OK);
  Ref<IAMVideoProcAmp> procAmp;
  Ref<IAMCameraControl> cameraControl;
  ASSERT_EQ(filter->QueryInterface(IID_IAMVideoProcAmp, procAmp.vout()), S_OK);
  ASSERT_EQ(filter->QueryInterface(IID_IAMCameraControl, cameraControl.vout()), S_OK);

  LONG mn = 0, mx = 0, step = 0, def = 0, caps = 0;
  ASSERT_EQ(procAmp->GetRange(VideoProcAmp_Brightness, &mn, &mx, &step, &def, &caps), S_OK);
  ASSERT_LT(mn, mx);
  EXPECT_EQ(caps, VideoProcAmp_Flags_Manual);
  const LONG wanted = mn + (mx - mn) / 3;
  ASSERT_EQ(procAmp->Set(VideoProcAmp_Brightness, wanted, VideoProcAmp_Flags_Manual), S_OK);
  int32_t driverValue = 0;
  ASSERT_EQ(camera.DriverGet(false, VideoProcAmp_Brightness, &driverValue), 0);
  EXPECT_EQ(driverValue, wanted);
  LONG value = 0, flags = 0;
  ASSERT_EQ(procAmp->Get(VideoProcAmp_Brightness, &value, &flags), S_OK);
  EXPECT_EQ(value, wanted);
  // The driver's refusal arrives as the Win32 error of its status.
  EXPECT_EQ(procAmp->Set(VideoProcAmp_Brightness, mx + 1, VideoProcAmp_Flags_Manual),
            HRESULT_FROM_WIN32(ERROR_INVALID_PARAMETER));
  EXPECT_EQ(platform::LastKsRequestStatus(), kStatusInvalidParameter);
  EXPECT_EQ(procAmp->Get(VideoProcAmp_Brightness, nullptr, &flags), E_POINTER);
  EXPECT_EQ(procAmp->GetRange(VideoProcAmp_Brightness, &mn, nullptr, &step, &def, &caps), E_POINTER);
  // Gain is answered but not in the driver's table, which basic support reads.
  EXPECT_EQ(procAmp->Get(VideoProcAmp_Gain, &value, &flags), S_OK);
  EXPECT_EQ(procAmp->GetRange(VideoProcAmp_Gain, &mn, &mx, &step, &def, &caps),
            HRESULT_FROM_WIN32(ERROR_NOT_SUPPORTED));

  ASSERT_EQ(cameraControl->GetRange(CameraControl_Exposure, &mn, &mx, &step, &def, &caps), S_OK);
  EXPECT_EQ(caps, CameraControl_Flags_Auto | CameraControl_Flags_Manual);
  ASSERT_EQ(cameraControl->Set(CameraControl_Exposure, -5, CameraControl_Flags_Manual), S_OK);
  ASSERT_EQ(cameraControl->Get(CameraControl_Exposure, &value, &flags), S_OK);
  EXPECT_EQ(value, -5);
  EXPECT_EQ(flags, CameraControl_Flags_Manual);
  EXPECT_EQ(cameraControl->Get(CameraControl_Pan, &value, &flags), HRESULT_FROM_WIN32(ERROR_NOT_SUPPORTED));

  // Surprise removal: every request now fails, nothing crashes.
  camera.Unplug();
  EXPECT_EQ(procAmp->Get(VideoProcAmp_Brightness, &value, &flags), HRESULT_FROM_WIN32(ERROR_DEVICE_NOT_CONNECTED));
}

TEST_F(CaptureFilter, StillTriggerAndFrameRatesThroughVideoControl) {
  PluggedCamera& camera = Plug();
  Ref<IBaseFilter> filter;
  ASSERT_EQ(BindFilter(camera.Path(), &filter), S_OK);
  Ref<IAMVideoControl> video;
  ASSERT_EQ(filter->QueryInterface(IID_IAMVideoControl, video.vout()), S_OK);
  Ref<IPin> capture, still;
  ASSERT_EQ(PinOf(filter.get(), L"Capture", &capture), S_OK);
  ASSERT_EQ(PinOf(filter.get(), L"Still", &still), S_OK);

  LONG caps = 0;
  ASSERT_EQ(video->GetCaps(still.get(), &caps), S_OK);
  EXPECT_EQ(caps, VideoControlFlag_ExternalTriggerEnable | VideoControlFlag_Trigger);
  EXPECT_EQ(video->GetCaps(capture.get(), &caps), HRESULT_FROM_WIN32(ERROR_NOT_SUPPORTED));

  EXPECT_FALSE(camera.StillTriggered());
  ASSERT_EQ(video->SetMode(still.get(), VideoControlFlag_Trigger), S_OK);
  EXPECT_TRUE(camera.StillTriggered());
  LONG mode = 0;
  ASSERT_EQ(video->GetMode(still.get(), &mode), S_OK);
  EXPECT_EQ(mode, VideoControlFlag_ExternalTriggerEnable | VideoControlFlag_Trigger);

  // Pins that are not the filter's own are refused before any request.
  Ref<IBaseFilter> renderer;
  ASSERT_EQ(Create(CLSID_NullRenderer, IID_IBaseFilter, &renderer), S_OK);
  Ref<IPin> foreign;
  ASSERT_EQ(PinOf(renderer.get(), L"In", &foreign), S_OK);
  EXPECT_EQ(video->SetMode(foreign.get(), VideoControlFlag_Trigger), E_INVALIDARG);
  EXPECT_EQ(video->SetMode(nullptr, VideoControlFlag_Trigger), E_POINTER);

  // The first MJPG frame (640x480) has four intervals, fastest first.
  LONG count = 0;
  LONGLONG* rates = nullptr;
  ASSERT_EQ(video->GetFrameRateList(capture.get(), 0, SIZE{640, 480}, &count, &rates), S_OK);
  ASSERT_EQ(count, 4);
  ASSERT_NE(rates, nullptr);
  EXPECT_EQ(rates[0], 333333);
  EXPECT_EQ(rates[3], 2000000);
  CoTaskMemFree(rates);
  ASSERT_EQ(video->GetFrameRateList(capture.get(), 0, SIZE{640, 480}, &count, nullptr), S_OK);
  EXPECT_EQ(count, 4);
  LONGLONG actual = 0;
  EXPECT_EQ(video->GetCurrentActualFrameRate(capture.get(), &actual), HRESULT_FROM_WIN32(ERROR_NOT_SUPPORTED));
}

TEST_F(CaptureFilter, RawRequestsThroughIKsControl) {
  PluggedCamera& camera = Plug();
  Ref<IBaseFilter> filter;
  ASSERT_EQ(BindFilter(camera.Path(), &filter), S_OK);
  Ref<IKsControl> control;
  ASSERT_EQ(filter->QueryInterface(IID_IKsControl, control.vout()), S_OK);

  KSPROPERTY_VIDEOPROCAMP_S record{};
  record.Property.Set = PROPSETID_VIDCAP_VIDEOPROCAMP;
  record.Property.Id = KSPROPERTY_VIDEOPROCAMP_CONTRAST;
  record.Property.Flags = KSPROPERTY_TYPE_GET;
  ULONG returned = 0;
  ASSERT_EQ(control->KsProperty(&record.Property, sizeof(record), &record, sizeof(record), &returned), S_OK);
  EXPECT_EQ(returned, sizeof(record));
  int32_t contrast = 0;
  ASSERT_EQ(camera.DriverGet(false, KSPROPERTY_VIDEOPROCAMP_CONTRAST, &contrast), 0);
  EXPECT_EQ(record.Value, contrast);

  // The driver offers no topology node: an extension-unit request fails
  // with its status and leaves the caller's data alone.
  KSP_NODE node{};
  node.Property.Set = {0xC987A729, 0x59D3, 0x4569, {0x84, 0x67, 0xFF, 0x08, 0x49, 0xFC, 0x19, 0xE8}};
  node.Property.Id = 2;
  node.Property.Flags = KSPROPERTY_TYPE_GET | KSPROPERTY_TYPE_TOPOLOGY;
  node.NodeId = 4;
  BYTE data[5] = {1, 2, 3, 4, 5};
  HRESULT hr = control->KsProperty(&node.Property, sizeof(node), data, sizeof(data), &returned);
  EXPECT_EQ(hr, HRESULT_FROM_WIN32(ERROR_NOT_SUPPORTED));
  EXPECT_EQ(platform::LastKsRequestStatus(), int32_t(0xC00000BB));
  EXPECT_EQ(returned, 0u);
  EXPECT_EQ(data[0], 1);
  EXPECT_EQ(data[4], 5);

  // Methods and events: the device has none.
  KSMETHOD method = {PROPSETID_VIDCAP_VIDEOPROCAMP, 0, KSMETHOD_TYPE_SEND};
  EXPECT_EQ(control->KsMethod(&method, sizeof(method), nullptr, 0, &returned), HRESULT_FROM_WIN32(ERROR_NOT_FOUND));
  KSEVENTDATA eventData{};
  EXPECT_EQ(control->KsEvent(nullptr, 0, &eventData, sizeof(eventData), &returned),
            HRESULT_FROM_WIN32(ERROR_NOT_FOUND));

  // Bad input from the caller.
  EXPECT_EQ(control->KsProperty(&record.Property, 8, &record, sizeof(record), &returned),
            HRESULT_FROM_WIN32(ERROR_INVALID_PARAMETER));
  EXPECT_EQ(control->KsProperty(&record.Property, sizeof(record), nullptr, sizeof(record), &returned),
            HRESULT_FROM_WIN32(ERROR_INVALID_PARAMETER));
  EXPECT_EQ(control->KsProperty(nullptr, 24, &record, sizeof(record), &returned), E_POINTER);
  EXPECT_EQ(control->KsProperty(&record.Property, sizeof(record), &record, sizeof(record), nullptr), E_POINTER);
}

TEST_F(CaptureFilter, BindingAVanishedDeviceFails) {
  std::vector<IMoniker*> monikers;
  {
    PluggedCamera camera;
    ASSERT_TRUE(camera.Ok());
    monikers = Monikers();
  }
  ASSERT_EQ(monikers.size(), 1u);
  Ref<IBaseFilter> filter;
  EXPECT_EQ(monikers[0]->BindToObject(nullptr, nullptr, IID_IBaseFilter, filter.vout()),
            HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND));
  EXPECT_FALSE(filter);
  ReleaseAll(&monikers);
}

}  // namespace
}  // namespace dshowtest
