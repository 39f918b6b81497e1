// Camera settings by name over the user-mode request path (the camera's
// capture filter and its device handle), and 'qcam props'.
#include <cstdio>
#include <fstream>

#include "tests/props/props_fixture.h"
#include "tools/qcam/commands.h"
#include "tools/qcam/prop_names.h"

namespace propstest {
namespace {

using UserPath = PropsFixture;

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
