// Any answer a kernel-streaming device may give to the capture filter's
// requests: a device whose every answer (status, bytes written, size
// reported) comes from the input, behind the kernel-streaming proxy, whose
// range, frame-rate, video-control and raw property calls parse what it
// says. Caller buffers are allocated at exactly their claimed sizes, and
// every byte handed back is read, so the sanitizers see any overrun.
#include <windows.h>
#include <dshow.h>
#include <ksproxy.h>

#include <cstdlib>
#include <cstring>
#include <vector>

#include "fuzz/input_reader.h"
#include "platform/machine/builtin_classes.h"
#include "platform/machine/ks_devices.h"

namespace {

const char kPath[] = "\\\\?\\usb#vid_fuzz&pid_0001&mi_00#1#{65e8773d-8f56-11d0-a3b9-00a0c9223196}\\global";

FuzzReader g_input{nullptr, 0};

// The statuses a device answers with, chosen by the input.
const int32_t kStatuses[] = {0, int32_t(0x80000005), int32_t(0xC0000023), int32_t(0xC00000BB),
                             int32_t(0xC000000D), 0x00000103, int32_t(0xC0000001), 1};

int32_t Answer(void*, uint32_t, void*, uint32_t, void* out, uint32_t outSize, uint32_t* returned) {
  uint8_t* bytes = static_cast<uint8_t*>(out);
  const uint32_t written = std::min<uint32_t>(outSize, g_input.U16());
  for (uint32_t i = 0; i < written; ++i) bytes[i] = g_input.Byte();
  *returned = g_input.U32() % 4096;
  return kStatuses[g_input.Byte() % 8];
}

// A property bag that names the fuzzed device.
class PathBag final : public IPropertyBag {
 public:
  STDMETHODIMP QueryInterface(REFIID riid, void** object) override {
    if (!IsEqualGUID(riid, IID_IUnknown) && !IsEqualGUID(riid, IID_IPropertyBag)) {
      *object = nullptr;
      return E_NOINTERFACE;
    }
    *object = this;
    return S_OK;
  }
  STDMETHODIMP_(ULONG) AddRef() override { return 2; }
  STDMETHODIMP_(ULONG) Release() override { return 1; }
  STDMETHODIMP Read(LPCOLESTR, VARIANT* v, IErrorLog*) override {
    std::wstring path(kPath, kPath + sizeof(kPath) - 1);
    v->vt = VT_BSTR;
    v->bstrVal = SysAllocStringLen(path.data(), UINT(path.size()));
    return S_OK;
  }
  STDMETHODIMP Write(LPCOLESTR, VARIANT*) override { return E_NOTIMPL; }
};

IBaseFilter* TheFilter() {
  static IBaseFilter* filter = [] {
    platform::KsDeviceInfo info;
    info.interfacePath = kPath;
    if (!platform::PlugKsDevice(info, Answer, nullptr)) std::abort();
    const platform::BuiltinClass* proxy = platform::FindBuiltinClass(CLSID_Proxy, "ksproxy.ax");
    IPersistPropertyBag* persist = nullptr;
    static PathBag bag;
    if (!proxy || FAILED(proxy->create(nullptr, IID_IPersistPropertyBag, reinterpret_cast<void**>(&persist))) ||
        FAILED(persist->Load(&bag, nullptr)))
      std::abort();
    IBaseFilter* f = nullptr;
    persist->QueryInterface(IID_IBaseFilter, reinterpret_cast<void**>(&f));
    persist->Release();
    return f;
  }();
  return filter;
}

volatile uint64_t g_sink;

void Consume(const void* p, size_t n) {
  const uint8_t* b = static_cast<const uint8_t*>(p);
  for (size_t i = 0; i < n; ++i) g_sink = g_sink + b[i];
}

template <class Control>
void Ranges(IBaseFilter* filter, REFIID iid) {
  Control* c = nullptr;
  if (FAILED(filter->QueryInterface(iid, reinterpret_cast<void**>(&c)))) std::abort();
  LONG v[5] = {};
  c->GetRange(LONG(g_input.Byte() % 16), &v[0], &v[1], &v[2], &v[3], &v[4]);
  Consume(v, sizeof(v));
  LONG value = 0, flags = 0;
  c->Get(LONG(g_input.Byte() % 16), &value, &flags);
  g_sink = g_sink + uint64_t(value) + uint64_t(flags);
  c->Release();
}

void VideoControl(IBaseFilter* filter) {
  IAMVideoControl* video = nullptr;
  IPin* pin = nullptr;
  if (FAILED(filter->QueryInterface(IID_IAMVideoControl, reinterpret_cast<void**>(&video))) ||
      FAILED(filter->FindPin(g_input.Byte() & 1 ? L"Still" : L"Capture", &pin)))
    std::abort();
  LONG count = 0, caps = 0, mode = 0;
  LONGLONG* rates = nullptr;
  SIZE size = {LONG(g_input.U16()), LONG(g_input.U16())};
  if (SUCCEEDED(video->GetFrameRateList(pin, LONG(g_input.Byte()), size, &count, &rates)) && rates) {
    Consume(rates, size_t(count) * sizeof(LONGLONG));
    CoTaskMemFree(rates);
  }
  video->GetCaps(pin, &caps);
  video->GetMode(pin, &mode);
  LONGLONG rate = 0;
  video->GetMaxAvailableFrameRate(pin, 0, size, &rate);
  g_sink = g_sink + uint64_t(count) + uint64_t(caps) + uint64_t(mode) + uint64_t(rate);
  pin->Release();
  video->Release();
}

void RawProperty(IBaseFilter* filter) {
  IKsControl* control = nullptr;
  if (FAILED(filter->QueryInterface(IID_IKsControl, reinterpret_cast<void**>(&control)))) std::abort();
  std::vector<uint8_t> property(g_input.Byte() % 64);
  std::vector<uint8_t> data(g_input.U16() % 2048);
  for (uint8_t& b : property) b = g_input.Byte();
  ULONG returned = 0;
  control->KsProperty(property.empty() ? nullptr : reinterpret_cast<PKSPROPERTY>(property.data()),
                      ULONG(property.size()), data.empty() ? nullptr : data.data(), ULONG(data.size()), &returned);
  Consume(data.data(), data.size());
  control->Release();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  IBaseFilter* filter = TheFilter();
  g_input = FuzzReader{data, size};
  switch (g_input.Byte() % 4) {
    case 0: Ranges<IAMVideoProcAmp>(filter, IID_IAMVideoProcAmp); break;
    case 1: Ranges<IAMCameraControl>(filter, IID_IAMCameraControl); break;
    case 2: VideoControl(filter); break;
    default: RawProperty(filter); break;
  }
  return 0;
}
