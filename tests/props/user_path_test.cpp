// The request path from user mode: device handles and IOCTL_KS_PROPERTY,
// the capture filter's IAMVideoProcAmp and IAMCameraControl, camera settings
// by name, and 'qcam props'.
#include <cstdio>
#include <fstream>

#include "platform/dshow/capture_filter.h"
#include "tests/props/props_fixture.h"
#include "tools/qcam/commands.h"
#include "tools/qcam/prop_names.h"

namespace propstest {
namespace {

using UserPath = PropsFixture;

struct FilterRef {
  IUnknown* unknown = nullptr;
  IAMVideoProcAmp* procAmp = nullptr;
  IAMCameraControl* camera = nullptr;
  IKsObject* ks = nullptr;
  explicit FilterRef(const std::string& path) {
    if (FAILED(CreateKsCaptureFilter(path, &unknown))) return;
    unknown->QueryInterface(IID_IAMVideoProcAmp, reinterpret_cast<void**>(&procAmp));
    unknown->QueryInterface(IID_IAMCameraControl, reinterpret_cast<void**>(&camera));
    unknown->QueryInterface(IID_IKsObject, reinterpret_cast<void**>(&ks));
  }
  ~FilterRef() {
    for (IUnknown* p : {static_cast<IUnknown*>(ks), static_cast<IUnknown*>(camera),
                        static_cast<IUnknown*>(procAmp), unknown})
      if (p) p->Release();
  }
};

TEST_F(UserPath, DeviceHandlesReachOnlyRegisteredDevices) {
  Plug();
  EXPECT_EQ(platform::OpenKsDevice("\\\\?\\nothing"), INVALID_HANDLE_VALUE);
  EXPECT_EQ(platform::KsLastError(), DWORD(ERROR_FILE_NOT_FOUND));

  std::string path;
  HANDLE h;
  {
    qcam_tool::KsCameraDevice device(*driver_);
    path = device.Path();
    h = platform::OpenKsDevice(path);
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    // A second registration of the same camera shares the path.
    qcam_tool::KsCameraDevice again(*driver_);
    EXPECT_EQ(again.Path(), path);

    std::vector<uint8_t> record(qcam::kPrivateRecordSize, 0);
    KSPROPERTY p{qcam::kPropSetPrivate, qcam::kPrivDriverId, KSPROPERTY_TYPE_GET};
    memcpy(record.data(), &p, sizeof(p));
    DWORD n = 0;
    ASSERT_TRUE(DeviceIoControl(h, IOCTL_KS_PROPERTY, record.data(), 1112, record.data(), 1112, &n, nullptr));
    EXPECT_EQ(n, 1112u);
    int32_t id;
    memcpy(&id, record.data() + 24, 4);
    EXPECT_EQ(id, 0x4302);

    // Refusals come back as Win32 errors with the driver's status behind them.
    p.Id = 6;
    memcpy(record.data(), &p, sizeof(p));
    EXPECT_FALSE(DeviceIoControl(h, IOCTL_KS_PROPERTY, record.data(), 1112, record.data(), 1112, &n, nullptr));
    EXPECT_EQ(platform::KsLastError(), ERROR_NOT_SUPPORTED);
    EXPECT_EQ(platform::KsLastStatus(), STATUS_NOT_SUPPORTED);
    EXPECT_FALSE(DeviceIoControl(h, IOCTL_KS_PROPERTY, record.data(), 16, record.data(), 1112, &n, nullptr));
    EXPECT_EQ(platform::KsLastError(), DWORD(ERROR_INVALID_PARAMETER));
    EXPECT_FALSE(DeviceIoControl(h, 0x1234, record.data(), 1112, record.data(), 1112, &n, nullptr));
    EXPECT_EQ(platform::KsLastError(), ERROR_INVALID_FUNCTION);

    // A zero-length frame-rate query reports the size it needs.
    KSPROPERTY_VIDEOCONTROL_FRAME_RATES_S q{};
    q.Property = {PROPSETID_VIDCAP_VIDEOCONTROL, KSPROPERTY_VIDEOCONTROL_FRAME_RATES, KSPROPERTY_TYPE_GET};
    EXPECT_FALSE(DeviceIoControl(h, IOCTL_KS_PROPERTY, &q, sizeof(q), nullptr, 0, &n, nullptr));
    EXPECT_EQ(platform::KsLastError(), DWORD(ERROR_MORE_DATA));
    EXPECT_GT(n, 8u);
  }
  // The device went away with its registration: the open handle fails.
  DWORD n = 0;
  KSPROPERTY p{qcam::kPropSetPrivate, qcam::kPrivDriverId, KSPROPERTY_TYPE_GET};
  EXPECT_FALSE(DeviceIoControl(h, IOCTL_KS_PROPERTY, &p, sizeof(p), nullptr, 0, &n, nullptr));
  EXPECT_EQ(platform::KsLastError(), ERROR_DEVICE_NOT_CONNECTED);
  EXPECT_TRUE(platform::CloseKsDevice(h));
  EXPECT_FALSE(platform::CloseKsDevice(h));
  EXPECT_EQ(platform::OpenKsDevice(path), INVALID_HANDLE_VALUE);
}

TEST_F(UserPath, CaptureFilterInterfaces) {
  Plug();
  qcam_tool::KsCameraDevice device(*driver_);
  FilterRef f(device.Path());
  ASSERT_TRUE(f.procAmp && f.camera && f.ks);
  void* none = nullptr;
  EXPECT_EQ(f.unknown->QueryInterface(qcam::kPropSetPrivate, &none), E_NOINTERFACE);
  EXPECT_EQ(none, nullptr);

  LONG mn = 0, mx = 0, step = 0, def = 0, caps = 0;
  ASSERT_EQ(f.procAmp->GetRange(KSPROPERTY_VIDEOPROCAMP_BRIGHTNESS, &mn, &mx, &step, &def, &caps), S_OK);
  EXPECT_EQ(mn, -64);
  EXPECT_EQ(mx, 64);
  EXPECT_EQ(step, 1);
  EXPECT_EQ(def, 0);
  EXPECT_EQ(caps, VideoProcAmp_Flags_Manual);
  ASSERT_EQ(f.camera->GetRange(KSPROPERTY_CAMERACONTROL_EXPOSURE, &mn, &mx, &step, &def, &caps), S_OK);
  EXPECT_EQ(mn, -14);
  EXPECT_EQ(mx, -1);
  EXPECT_EQ(def, -7);
  EXPECT_EQ(caps, CameraControl_Flags_Auto | CameraControl_Flags_Manual);
  // Gain is answered but not listed: the range query does not know it.
  EXPECT_EQ(f.procAmp->GetRange(KSPROPERTY_VIDEOPROCAMP_GAIN, &mn, &mx, &step, &def, &caps),
            HRESULT_FROM_WIN32(ERROR_NOT_SUPPORTED));

  ASSERT_EQ(f.procAmp->Set(KSPROPERTY_VIDEOPROCAMP_HUE, -12, VideoProcAmp_Flags_Manual), S_OK);
  EXPECT_EQ(camera_->pu[6].cur, -12);
  LONG v = 0, flags = 0;
  ASSERT_EQ(f.procAmp->Get(KSPROPERTY_VIDEOPROCAMP_HUE, &v, &flags), S_OK);
  EXPECT_EQ(v, -12);
  EXPECT_EQ(f.procAmp->Set(KSPROPERTY_VIDEOPROCAMP_HUE, 41, VideoProcAmp_Flags_Manual),
            HRESULT_FROM_WIN32(ERROR_INVALID_PARAMETER));
  EXPECT_EQ(platform::KsLastStatus(), STATUS_INVALID_PARAMETER);
  ASSERT_EQ(f.camera->Set(KSPROPERTY_CAMERACONTROL_EXPOSURE, -3, CameraControl_Flags_Manual), S_OK);
  EXPECT_EQ(camera_->ct[4].cur, 1250);
  ASSERT_EQ(f.camera->Get(KSPROPERTY_CAMERACONTROL_EXPOSURE, &v, &flags), S_OK);
  EXPECT_EQ(v, -3);
  EXPECT_EQ(flags, CameraControl_Flags_Manual);
  EXPECT_EQ(f.camera->Get(KSPROPERTY_CAMERACONTROL_EXPOSURE, nullptr, &flags), E_POINTER);
}

TEST_F(UserPath, NamedSettings) {
  Plug();
  std::string message;
  EXPECT_TRUE(qcam_tool::ApplyNamedSetting(*driver_, "brightness", "-5", &message)) << message;
  EXPECT_EQ(camera_->pu[2].cur, -5);
  EXPECT_FALSE(qcam_tool::ApplyNamedSetting(*driver_, "brightness", "65", &message));
  EXPECT_NE(message.find("STATUS_INVALID_PARAMETER"), std::string::npos) << message;
  EXPECT_FALSE(qcam_tool::ApplyNamedSetting(*driver_, "brightness", "auto", &message));
  EXPECT_FALSE(qcam_tool::ApplyNamedSetting(*driver_, "brightness", "bright", &message));
  EXPECT_FALSE(qcam_tool::ApplyNamedSetting(*driver_, "nosuch", "1", &message));

  EXPECT_TRUE(qcam_tool::ApplyNamedSetting(*driver_, "exposure", "-4,manual", &message)) << message;
  EXPECT_EQ(camera_->ct[2].cur, 1);
  EXPECT_EQ(camera_->ct[4].cur, 625);
  EXPECT_TRUE(qcam_tool::ApplyNamedSetting(*driver_, "exposure", "auto", &message)) << message;
  EXPECT_EQ(camera_->ct[2].cur, 8);
  EXPECT_TRUE(qcam_tool::ApplyNamedSetting(*driver_, "white-balance", "3000", &message)) << message;
  EXPECT_EQ(camera_->pu[11].cur, 0);
  EXPECT_EQ(camera_->pu[10].cur, 3000);

  EXPECT_TRUE(qcam_tool::ApplyNamedSetting(*driver_, "mirror", "on", &message));
  EXPECT_EQ(camera_->reg[0xF004] & 1, 0);
  EXPECT_TRUE(qcam_tool::ApplyNamedSetting(*driver_, "Colour", "0", &message));
  EXPECT_EQ(camera_->reg[0xF004] & 4, 4);
  EXPECT_TRUE(qcam_tool::ApplyNamedSetting(*driver_, "effect", "12", &message));
  EXPECT_EQ(Dev()->SpecialEffect, 12u);
  EXPECT_TRUE(qcam_tool::ApplyNamedSetting(*driver_, "face-tracking", "1", &message));
  EXPECT_EQ(g_Driver.Face.Flags & 3u, 3u);
  EXPECT_FALSE(qcam_tool::ApplyNamedSetting(*driver_, "face-tracking", "90", &message));
  // tracking-flags keeps the parameters and changes only the flags word.
  g_Driver.Face.Param[3] = 77;
  EXPECT_TRUE(qcam_tool::ApplyNamedSetting(*driver_, "tracking-flags", "0x4", &message)) << message;
  EXPECT_EQ(g_Driver.Face.Flags, 4u);
  EXPECT_EQ(g_Driver.Face.Param[3], 77);
  EXPECT_TRUE(qcam_tool::RequestSnapshot(*driver_, &message));
  EXPECT_EQ(Dev()->StillPending, 1u);
  EXPECT_FALSE(qcam_tool::ApplyNamedSetting(*driver_, "driver-id", "1", &message));

  EXPECT_TRUE(qcam_tool::ApplyNamedSetting(*driver_, "udframe", "C:\\frames\\me.bmp", &message));
  std::string path;
  ASSERT_TRUE(platform::RegGetString(qcam::kKeyCurrentA, "UDFrame", &path));
  EXPECT_EQ(path, "C:\\frames\\me.bmp");

  std::string text;
  ASSERT_TRUE(qcam_tool::ReadNamedSetting(*driver_, "brightness", &text, &message)) << message;
  EXPECT_NE(text.find("-5"), std::string::npos) << text;
  EXPECT_NE(text.find("-64..64"), std::string::npos) << text;
  auto lines = qcam_tool::ListNamedSettings(*driver_);
  EXPECT_EQ(lines.size(), qcam_tool::SettingNames().size());
}

// ---- qcam props ------------------------------------------------------------------------
class QcamProps : public ::testing::Test {
 protected:
  void SetUp() override {
    root_ = std::filesystem::temp_directory_path() / ("qcam-props-cli-" + std::to_string(::getpid()));
    std::filesystem::remove_all(root_);
  }
  void TearDown() override {
    platform::SetRoot("");
    std::filesystem::remove_all(root_);
  }
  int Run(std::vector<std::string> words) {
    qcam_tool::Args args = {"--root", root_.string()};
    args.insert(args.end(), words.begin(), words.end());
    return qcam_tool::CmdProps(args);
  }
  std::filesystem::path root_;
};

TEST_F(QcamProps, InstallsSetsRefusesAndPressesTheButton) {
  ::testing::internal::CaptureStdout();
  ::testing::internal::CaptureStderr();
  EXPECT_EQ(Run({"set", "contrast", "40"}), 0);
  EXPECT_TRUE(std::filesystem::exists(root_ / "registry.reg"));
  EXPECT_EQ(Run({"set", "brightness", "100000"}), 2);
  EXPECT_EQ(Run({"set", "exposure", "-3", "manual"}), 0);
  EXPECT_EQ(Run({"get", "exposure"}), 0);
  EXPECT_EQ(Run({"button", "2"}), 0);
  EXPECT_EQ(Run({"button", "3"}), 2);
  EXPECT_EQ(Run({"list"}), 0);
  EXPECT_EQ(Run({"frobnicate"}), 2);
  std::string out = ::testing::internal::GetCapturedStdout();
  std::string err = ::testing::internal::GetCapturedStderr();
  EXPECT_NE(err.find("STATUS_INVALID_PARAMETER"), std::string::npos) << err;
  EXPECT_NE(out.find("CameraStatus = 0x100"), std::string::npos) << out;
  EXPECT_NE(out.find("driver-id"), std::string::npos);
  uint32_t v = 0;
  platform::SetRoot(root_.string());
  ASSERT_TRUE(platform::RegGetDword(qcam::kKeyCurrentA, "ContrastTmp", &v));
  EXPECT_EQ(v, 40u);
  ASSERT_TRUE(platform::RegGetDword(qcam::kKeyCurrentA, "ExposureTmp", &v));
  EXPECT_EQ(v, 1250u);
}

}  // namespace
}  // namespace propstest
