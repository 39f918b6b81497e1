// DeviceIoControl and GetOverlappedResult on kernel-streaming device
// handles: the driver's statuses as Win32 errors, and requests that
// complete later (the PC's pending-requests switch).
#include <condition_variable>
#include <cstring>
#include <mutex>

#include "tests/dshow/dshow_fixture.h"

namespace dshowtest {
namespace {

using DeviceIo = DshowTest;

constexpr int32_t kStatusPending = 0x103;
constexpr int32_t kStatusBufferOverflow = int32_t(0x80000005);

// A device that answers each request only when the test lets it, with a
// chosen status and answer.
class HeldDevice {
 public:
  explicit HeldDevice(const std::string& path) : path_(path) {
    platform::KsDeviceInfo info;
    info.interfacePath = path;
    info.friendlyName = "Held Device";
    plugged_ = platform::PlugKsDevice(info, &HeldDevice::Answer, this);
  }
  ~HeldDevice() {
    Release();
    if (plugged_) platform::UnplugKsDevice(path_);
  }
  bool Plugged() const { return plugged_; }
  void Prepare(int32_t status, std::vector<uint8_t> answer, uint32_t reported) {
    std::lock_guard<std::mutex> hold(lock_);
    status_ = status;
    answer_ = std::move(answer);
    reported_ = reported;
    released_ = false;
  }
  void Release() {
    std::lock_guard<std::mutex> hold(lock_);
    released_ = true;
    wake_.notify_all();
  }

 private:
  static int32_t Answer(void* context, uint32_t, void*, uint32_t, void* out, uint32_t outSize, uint32_t* returned) {
    HeldDevice* d = static_cast<HeldDevice*>(context);
    std::unique_lock<std::mutex> hold(d->lock_);
    d->wake_.wait(hold, [d] { return d->released_; });
    const size_t n = std::min<size_t>(outSize, d->answer_.size());
    if (n) std::memcpy(out, d->answer_.data(), n);
    *returned = d->reported_;
    return d->status_;
  }

  std::string path_;
  bool plugged_ = false;
  std::mutex lock_;
  std::condition_variable wake_;
  bool released_ = true;
  int32_t status_ = 0;
  std::vector<uint8_t> answer_;
  uint32_t reported_ = 0;
};

TEST_F(DeviceIo, DriverStatusesBecomeWin32Errors) {
  PluggedCamera& camera = Plug();
  HANDLE h = platform::OpenKsDeviceHandle(camera.Path());
  ASSERT_NE(h, nullptr);
  KSPROPERTY_VIDEOPROCAMP_S r{};
  r.Property = {PROPSETID_VIDCAP_VIDEOPROCAMP, KSPROPERTY_VIDEOPROCAMP_SATURATION, KSPROPERTY_TYPE_GET};
  DWORD n = 0;
  ASSERT_TRUE(DeviceIoControl(h, IOCTL_KS_PROPERTY, &r, sizeof(r), &r, sizeof(r), &n, nullptr));
  EXPECT_EQ(n, sizeof(r));

  r.Property.Id = 77;
  EXPECT_FALSE(DeviceIoControl(h, IOCTL_KS_PROPERTY, &r, sizeof(r), &r, sizeof(r), &n, nullptr));
  EXPECT_EQ(GetLastError(), DWORD(ERROR_NOT_SUPPORTED));
  EXPECT_FALSE(DeviceIoControl(h, IOCTL_KS_PROPERTY, &r, 16, &r, sizeof(r), &n, nullptr));
  EXPECT_EQ(GetLastError(), DWORD(ERROR_INVALID_PARAMETER));
  EXPECT_FALSE(DeviceIoControl(h, 0x1234, &r, sizeof(r), &r, sizeof(r), &n, nullptr));
  EXPECT_EQ(GetLastError(), DWORD(ERROR_INVALID_FUNCTION));
  EXPECT_FALSE(DeviceIoControl(h, IOCTL_KS_PROPERTY, &r, sizeof(r), nullptr, 40, &n, nullptr));
  EXPECT_EQ(GetLastError(), DWORD(ERROR_INVALID_PARAMETER));
  EXPECT_FALSE(DeviceIoControl(nullptr, IOCTL_KS_PROPERTY, &r, sizeof(r), &r, sizeof(r), &n, nullptr));
  EXPECT_EQ(GetLastError(), DWORD(ERROR_INVALID_HANDLE));

  // A query without a buffer is told the size it needs.
  KSPROPERTY_VIDEOCONTROL_FRAME_RATES_S q{};
  q.Property = {PROPSETID_VIDCAP_VIDEOCONTROL, KSPROPERTY_VIDEOCONTROL_FRAME_RATES, KSPROPERTY_TYPE_GET};
  q.Dimensions = {640, 480};
  EXPECT_FALSE(DeviceIoControl(h, IOCTL_KS_PROPERTY, &q, sizeof(q), nullptr, 0, &n, nullptr));
  EXPECT_EQ(GetLastError(), DWORD(ERROR_MORE_DATA));
  EXPECT_EQ(n, 8u + 4 * 8);
  EXPECT_EQ(platform::LastKsRequestStatus(), kStatusBufferOverflow);

  // The camera gone, its open handle fails until closed.
  camera.Unplug();
  r.Property.Id = KSPROPERTY_VIDEOPROCAMP_SATURATION;
  EXPECT_FALSE(DeviceIoControl(h, IOCTL_KS_PROPERTY, &r, sizeof(r), &r, sizeof(r), &n, nullptr));
  EXPECT_EQ(GetLastError(), DWORD(ERROR_DEVICE_NOT_CONNECTED));
  EXPECT_TRUE(CloseHandle(h));
}

TEST_F(DeviceIo, PendingRequestsCompleteTheirOverlapped) {
  platform::PcSettings settings = platform::GetPcSettings();
  settings.pendingRequests = true;
  ASSERT_TRUE(platform::SetPcSettings(settings));
  HeldDevice device("\\\\?\\held#device");
  ASSERT_TRUE(device.Plugged());
  HANDLE h = platform::OpenKsDeviceHandle("\\\\?\\HELD#DEVICE");
  ASSERT_NE(h, nullptr);
  KSPROPERTY p = {PROPSETID_VIDCAP_VIDEOPROCAMP, 0, KSPROPERTY_TYPE_GET};
  uint8_t out[8] = {};
  DWORD n = 99;

  device.Prepare(0, {1, 2, 3, 4, 5, 6, 7, 8}, 8);
  OVERLAPPED ov{};
  ov.hEvent = CreateEventA(nullptr, TRUE, FALSE, nullptr);
  ASSERT_NE(ov.hEvent, nullptr);
  EXPECT_FALSE(DeviceIoControl(h, IOCTL_KS_PROPERTY, &p, sizeof(p), out, sizeof(out), &n, &ov));
  EXPECT_EQ(GetLastError(), DWORD(ERROR_IO_PENDING));
  EXPECT_EQ(int32_t(ov.Internal), kStatusPending);
  EXPECT_FALSE(GetOverlappedResult(h, &ov, &n, FALSE));
  EXPECT_EQ(GetLastError(), DWORD(ERROR_IO_INCOMPLETE));
  EXPECT_EQ(WaitForSingleObject(ov.hEvent, 0), DWORD(WAIT_TIMEOUT));
  device.Release();
  // The event says when: the result is there once it is set.
  ASSERT_EQ(WaitForSingleObject(ov.hEvent, INFINITE), DWORD(WAIT_OBJECT_0));
  ASSERT_TRUE(GetOverlappedResult(h, &ov, &n, FALSE));
  ASSERT_TRUE(GetOverlappedResult(h, &ov, &n, TRUE));
  EXPECT_EQ(n, 8u);
  EXPECT_EQ(out[7], 8);
  EXPECT_EQ(ov.Internal, 0u);
  EXPECT_EQ(ov.InternalHigh, 8u);
  EXPECT_TRUE(CloseHandle(ov.hEvent));

  // A failure that completes later is reported like one at once.
  device.Prepare(kStatusBufferOverflow, {}, 24);
  OVERLAPPED later{};
  EXPECT_FALSE(DeviceIoControl(h, IOCTL_KS_PROPERTY, &p, sizeof(p), nullptr, 0, &n, &later));
  EXPECT_EQ(GetLastError(), DWORD(ERROR_IO_PENDING));
  device.Release();
  EXPECT_FALSE(GetOverlappedResult(h, &later, &n, TRUE));
  EXPECT_EQ(GetLastError(), DWORD(ERROR_MORE_DATA));
  EXPECT_EQ(n, 24u);

  // Without an OVERLAPPED the caller waits in the call.
  device.Prepare(0, {9}, 1);
  device.Release();
  EXPECT_TRUE(DeviceIoControl(h, IOCTL_KS_PROPERTY, &p, sizeof(p), out, 1, &n, nullptr));
  EXPECT_EQ(out[0], 9);

  // An OVERLAPPED that no request owns is never waited for.
  OVERLAPPED stray{};
  stray.Internal = kStatusPending;
  EXPECT_FALSE(GetOverlappedResult(h, &stray, &n, TRUE));
  EXPECT_EQ(GetLastError(), DWORD(ERROR_IO_INCOMPLETE));
  EXPECT_FALSE(GetOverlappedResult(h, nullptr, &n, TRUE));
  EXPECT_EQ(GetLastError(), DWORD(ERROR_INVALID_PARAMETER));
  EXPECT_TRUE(CloseHandle(h));

  // The capture filter's own requests wait for pending answers.
  PluggedCamera& camera = Plug();
  Ref<IBaseFilter> filter;
  ASSERT_EQ(BindFilter(camera.Path(), &filter), S_OK);
  Ref<IAMVideoProcAmp> procAmp;
  ASSERT_EQ(filter->QueryInterface(IID_IAMVideoProcAmp, procAmp.vout()), S_OK);
  LONG value = 0, flags = 0;
  EXPECT_EQ(procAmp->Set(VideoProcAmp_Contrast, 40, VideoProcAmp_Flags_Manual), S_OK);
  EXPECT_EQ(procAmp->Get(VideoProcAmp_Contrast, &value, &flags), S_OK);
  EXPECT_EQ(value, 40);
}

TEST_F(DeviceIo, SwitchOffCompletesOverlappedAtOnce) {
  HeldDevice device("\\\\?\\held#device");
  HANDLE h = platform::OpenKsDeviceHandle("\\\\?\\held#device");
  ASSERT_NE(h, nullptr);
  KSPROPERTY p = {PROPSETID_VIDCAP_VIDEOPROCAMP, 0, KSPROPERTY_TYPE_GET};
  uint8_t out[4] = {};
  DWORD n = 0;
  device.Prepare(0, {7, 7, 7, 7}, 4);
  device.Release();
  OVERLAPPED ov{};
  ov.hEvent = CreateEventA(nullptr, TRUE, FALSE, nullptr);
  ASSERT_TRUE(DeviceIoControl(h, IOCTL_KS_PROPERTY, &p, sizeof(p), out, sizeof(out), &n, &ov));
  EXPECT_EQ(n, 4u);
  EXPECT_EQ(ov.Internal, 0u);
  EXPECT_EQ(ov.InternalHigh, 4u);
  EXPECT_EQ(WaitForSingleObject(ov.hEvent, 0), DWORD(WAIT_OBJECT_0));
  EXPECT_TRUE(GetOverlappedResult(h, &ov, &n, FALSE));
  EXPECT_TRUE(CloseHandle(ov.hEvent));
  EXPECT_TRUE(CloseHandle(h));
}

}  // namespace
}  // namespace dshowtest
