// IAMCustomCameraProp as the camera's proxy aggregates it: each Set or Get is
// one 1112-byte property request on the proxy's device handle, answered here
// by a recording device.
#include <gtest/gtest.h>

#include <cstring>
#include <mutex>
#include <vector>

#include "platform/machine/ks_devices.h"
#include "shared/custom_camera_prop.h"
#include "tests/extension/ext_fixture.h"
#include "tests/extension/fake_objects.h"

namespace ext_test {
namespace {

constexpr uint32_t kIoctlKsProperty = 0x2F0003;
constexpr int32_t kStatusNotSupported = int32_t(0xC00000BB);
constexpr const char* kDevicePath =
    "\\\\?\\usb#vid_1234&pid_5678&mi_00#7&1&0&0000#{65e8773d-8f56-11d0-a3b9-00a0c9223196}\\global";

// Records every request and answers with a recognisable payload: byte k of
// the payload becomes 0x80 + k % 64.
struct RecordingDevice {
  std::mutex lock;
  std::vector<std::vector<uint8_t>> requests;
  int32_t status = 0;

  static int32_t Answer(void* context, uint32_t code, void* in, uint32_t inSize, void* out, uint32_t outSize,
                        uint32_t* returned) {
    RecordingDevice* self = static_cast<RecordingDevice*>(context);
    std::lock_guard<std::mutex> guard(self->lock);
    EXPECT_EQ(code, kIoctlKsProperty);
    const uint8_t* bytes = static_cast<const uint8_t*>(in);
    self->requests.emplace_back(bytes, bytes + inSize);
    if (self->status != 0) return self->status;
    uint8_t* answer = static_cast<uint8_t*>(out);
    for (uint32_t k = kCustomPropHeaderSize; k < outSize; ++k) answer[k] = uint8_t(0x80 + (k - 24) % 64);
    *returned = outSize;
    return 0;
  }
};

class PropertyClientTest : public ModuleTest {
 protected:
  void SetUp() override {
    ModuleTest::SetUp();
    platform::KsDeviceInfo info;
    info.interfacePath = kDevicePath;
    info.friendlyName = "Recording Camera";
    info.vendorId = 0x1234;
    info.productId = 0x5678;
    ASSERT_TRUE(platform::PlugKsDevice(info, RecordingDevice::Answer, &device_));
    handle_ = platform::OpenKsDeviceHandle(kDevicePath);
    ASSERT_NE(handle_, nullptr);
    Load();
    proxy_.reset(new FakeProxy(true, handle_));
    IClassFactory* factory = Factory(IID_IAMCustomCameraProp);
    ASSERT_EQ(factory->CreateInstance(proxy_.get(), IID_IUnknown, reinterpret_cast<void**>(&proxy_->inner)), S_OK);
    factory->Release();
    ASSERT_EQ(proxy_->QueryInterface(IID_IAMCustomCameraProp, reinterpret_cast<void**>(&custom_)), S_OK);
  }
  void TearDown() override {
    if (custom_) custom_->Release();
    if (proxy_ && proxy_->inner) proxy_->inner->Release();
    if (handle_) CloseHandle(handle_);
    platform::UnplugKsDevice(kDevicePath);
    ModuleTest::TearDown();
  }

  // The last request: its header and payload.
  std::vector<uint8_t> LastRequest() {
    std::lock_guard<std::mutex> guard(device_.lock);
    return device_.requests.empty() ? std::vector<uint8_t>() : device_.requests.back();
  }
  size_t RequestCount() {
    std::lock_guard<std::mutex> guard(device_.lock);
    return device_.requests.size();
  }

  // Runs Set and Get with lengths 64, 68, 1088 and 16 and checks what crosses
  // to the device and what comes back to the caller.
  void ExchangeEveryLength() {
    for (ULONG length : {16u, 64u, 68u, 1088u}) {
      SCOPED_TRACE(length);
      for (bool set : {true, false}) {
        std::vector<uint8_t> data(length + 8, 0x11);  // 8 guard bytes past the length
        for (ULONG k = 0; k < length; ++k) data[k] = uint8_t(k);
        HRESULT result = set ? custom_->Set(18, data.data(), length) : custom_->Get(18, data.data(), length);
        ASSERT_EQ(result, S_OK);
        std::vector<uint8_t> request = LastRequest();
        ASSERT_EQ(request.size(), size_t(qcam::kPrivateRecordSize));
        EXPECT_EQ(std::memcmp(request.data(), &IID_IAMCustomCameraProp, 16), 0);
        uint32_t id, flags;
        std::memcpy(&id, &request[16], 4);
        std::memcpy(&flags, &request[20], 4);
        EXPECT_EQ(id, 18u);
        EXPECT_EQ(flags, set ? 2u : 1u);
        for (ULONG k = 0; k < kCustomPropMaxLength; ++k) {
          ASSERT_EQ(request[24 + k], k < length ? uint8_t(k) : 0) << "payload byte " << k;
        }
        // Set gives back word 0 only; Get exactly the length asked for.
        const ULONG back = set ? 4 : length;
        for (ULONG k = 0; k < length + 8; ++k) {
          uint8_t expected = k < back ? uint8_t(0x80 + k % 64) : (k < length ? uint8_t(k) : 0x11);
          ASSERT_EQ(data[k], expected) << (set ? "Set" : "Get") << " byte " << k;
        }
      }
    }
  }

  RecordingDevice device_;
  void* handle_ = nullptr;
  std::unique_ptr<FakeProxy> proxy_;
  IAMCustomCameraProp* custom_ = nullptr;
};

TEST_F(PropertyClientTest, RequestsCarryTheRecordAndGiveBackWhatTheCallerAskedFor) {
  ExchangeEveryLength();

  // A Set shorter than a word gives back no more than it was given.
  uint8_t shortData[4] = {1, 2, 0x11, 0x11};
  ASSERT_EQ(custom_->Set(7, shortData, 2), S_OK);
  EXPECT_EQ(shortData[0], 0x80);
  EXPECT_EQ(shortData[1], 0x81);
  EXPECT_EQ(shortData[2], 0x11);

  // Bad arguments are refused before anything reaches the device.
  const size_t before = RequestCount();
  std::vector<uint8_t> large(1200, 0x22);
  EXPECT_EQ(custom_->Set(18, large.data(), 1089), E_INVALIDARG);
  EXPECT_EQ(custom_->Get(18, large.data(), 0xFFFFFFFF), E_INVALIDARG);
  EXPECT_EQ(custom_->Get(0, nullptr, 68), E_INVALIDARG);
  EXPECT_EQ(RequestCount(), before);
  EXPECT_EQ(large[0], 0x22);
}

TEST_F(PropertyClientTest, PendingRequestsAreWaitedForAndReportedAlike) {
  SetPc([](platform::PcSettings* s) { s->pendingRequests = true; });
  ExchangeEveryLength();
}

TEST_F(PropertyClientTest, DeviceFailuresReachTheCallerAndLeaveTheBufferAlone) {
  for (bool pending : {false, true}) {
    SCOPED_TRACE(pending);
    platform::PcSettings settings = platform::GetPcSettings();
    settings.pendingRequests = pending;
    ASSERT_TRUE(platform::SetPcSettings(settings));
    device_.status = kStatusNotSupported;
    uint8_t data[68] = {5};
    HRESULT result = custom_->Get(3, data, sizeof(data));
    EXPECT_TRUE(FAILED(result));
    EXPECT_EQ(HRESULT_FACILITY(result), FACILITY_WIN32);
    EXPECT_EQ(data[0], 5);
    EXPECT_EQ(custom_->Set(18, data, sizeof(data)), result) << "a refused set is no success either";
    device_.status = 0;
  }
  platform::UnplugKsDevice(kDevicePath);
  uint8_t data[64] = {};
  EXPECT_EQ(custom_->Get(1, data, sizeof(data)), HRESULT_FROM_WIN32(ERROR_DEVICE_NOT_CONNECTED));
}

}  // namespace
}  // namespace ext_test
