// The camera stays plugged in between qcam commands: what one command sets,
// the next finds; unplugging, another camera or a damaged state file starts
// from the camera's power-on values. Also the PC's own settings.
#include <gtest/gtest.h>

#include <cctype>
#include <filesystem>
#include <fstream>
#include <functional>
#include <regex>

#include "platform/machine/pc_settings.h"
#include "platform/nt/platform_control.h"
#include "sim/camera_state.h"
#include "sim/image_io.h"
#include "tests/qcam/qcam_test_files.h"
#include "tools/qcam/commands.h"
#include "tools/qcam/common.h"

namespace {

namespace fs = std::filesystem;
using qcam_tool::Args;

std::string FreshDir(const std::string& name) { return qcam_test::FreshDir("qcam_keep", name); }
using qcam_test::ReadText;
using qcam_test::WriteText;

using qcam_test::Outcome;
using qcam_test::RunCommand;

// The value column of 'qcam props get NAME'.
std::string PropValue(const std::string& root, const std::string& name, std::vector<std::string> extra = {}) {
  Args args = {"--root", root};
  args.insert(args.end(), extra.begin(), extra.end());
  args.insert(args.end(), {"get", name});
  const Outcome o = RunCommand(qcam_tool::CmdProps, args);
  EXPECT_EQ(o.status, 0) << o.err;
  std::smatch m;
  if (!std::regex_search(o.out, m, std::regex(name + "\\s+(-?\\d+)\\s"))) return "?" + o.out;
  return m[1];
}

// A picture dark on the left and light on the right, so that mirroring and
// brightness both show in the luma of a YUY2 frame.
std::string HalfAndHalf(const std::string& dir) {
  sim::RgbImage img;
  img.width = 160;
  img.height = 120;
  img.rgb.assign(size_t(img.width) * img.height * 3, 0);
  for (int y = 0; y < img.height; ++y)
    for (int x = img.width / 2; x < img.width; ++x)
      for (int c = 0; c < 3; ++c) img.rgb[(size_t(y) * img.width + x) * 3 + c] = 160;
  fs::create_directories(dir);
  const std::string path = dir + "/half.png";
  std::string err;
  EXPECT_TRUE(sim::WritePng(path, img, &err)) << err;
  return path;
}

// One raw YUY2 160x120 frame of the root's camera; extra options before.
std::vector<uint8_t> Frame(const std::string& root, const std::string& source, std::vector<std::string> extra = {}) {
  const std::string out = root + "/frame";
  fs::remove_all(out);
  Args args = {"--root", root, "--source", source, "--format", "YUY2", "--size", "160x120", "--frames", "1",
               "--out", out, "--raw"};
  args.insert(args.end(), extra.begin(), extra.end());
  const Outcome o = RunCommand(qcam_tool::CmdCapture, args);
  EXPECT_EQ(o.status, 0) << o.err;
  const std::string bytes = ReadText(out + "/frame-0001.yuy2");
  return std::vector<uint8_t>(bytes.begin(), bytes.end());
}

// Mean luma of the left or right quarter of a 160x120 YUY2 frame.
double Luma(const std::vector<uint8_t>& f, bool left) {
  if (f.size() != 160u * 120 * 2) return -1;
  double sum = 0;
  int n = 0;
  for (int y = 0; y < 120; ++y)
    for (int x = left ? 0 : 120; x < (left ? 40 : 160); ++x, ++n) sum += f[(size_t(y) * 160 + x) * 2];
  return sum / n;
}

TEST(CameraStaysPlugged, SettingsReachTheNextCommandUntilUnplugOrAnotherCamera) {
  const std::string fresh = FreshDir("fresh"), root = FreshDir("kept");
  const std::string source = HalfAndHalf(FreshDir("pictures"));
  const std::vector<uint8_t> powerOn = Frame(fresh, source);
  ASSERT_GT(Luma(powerOn, false), Luma(powerOn, true) + 50);

  // One command darkens and mirrors; the next ones read it back and see it.
  Frame(root, source, {"--set", "brightness=-10", "--set", "mirror=1"});
  EXPECT_EQ(PropValue(root, "mirror"), "1");
  EXPECT_EQ(PropValue(root, "brightness"), "-10");
  const std::vector<uint8_t> kept = Frame(root, source);
  EXPECT_GT(Luma(kept, true), Luma(kept, false) + 50) << "mirrored: the light half is on the left";
  EXPECT_LT(Luma(kept, true), Luma(powerOn, false) - 10) << "darker than at power-on";

  // Pulled out and plugged in again: power-on values, the very same frame.
  const Outcome unplug = RunCommand(qcam_tool::CmdUnplug, {"--root", root});
  EXPECT_EQ(unplug.status, 0);
  EXPECT_NE(unplug.out.find("unplugged the notebook camera"), std::string::npos) << unplug.out;
  EXPECT_FALSE(fs::exists(root + "/camera/power-state"));
  EXPECT_EQ(PropValue(root, "mirror"), "0");
  EXPECT_EQ(Frame(root, source), powerOn);

  // Another camera starts from its power-on values and stays the plugged one.
  ASSERT_EQ(RunCommand(qcam_tool::CmdProps, {"--root", root, "set", "mirror", "1"}).status, 0);
  EXPECT_EQ(PropValue(root, "mirror", {"--camera", "basic"}), "0");
  EXPECT_NE(ReadText(root + "/camera/plugged").find("camera basic"), std::string::npos);
  ASSERT_EQ(RunCommand(qcam_tool::CmdProps, {"--root", root, "set", "mirror", "1"}).status, 0);
  EXPECT_EQ(PropValue(root, "mirror"), "1") << "the basic camera kept its own state";

  // 'plug' names the camera and says whether it kept its state.
  Outcome plug = RunCommand(qcam_tool::CmdPlug, {"--root", root});
  EXPECT_NE(plug.out.find("basic camera is plugged in already"), std::string::npos) << plug.out;
  plug = RunCommand(qcam_tool::CmdPlug, {"--root", root, "--camera", "notebook"});
  EXPECT_NE(plug.out.find("plugged in the notebook camera (power-on values)"), std::string::npos) << plug.out;
  EXPECT_EQ(PropValue(root, "mirror"), "0");
  // A camera pulled out in the middle of a stream is unplugged afterwards.
  ASSERT_EQ(RunCommand(qcam_tool::CmdProps, {"--root", root, "set", "mirror", "1"}).status, 0);
  Frame(root, source, {"--frames", "3", "--unplug-at", "2"});
  EXPECT_NE(ReadText(root + "/camera/plugged").find("plugged no"), std::string::npos);
  EXPECT_EQ(PropValue(root, "mirror"), "0");
  EXPECT_EQ(RunCommand(qcam_tool::CmdUnplug, {}).status, 2);
  EXPECT_EQ(RunCommand(qcam_tool::CmdPlug, {"--root", root, "--camera", "toaster"}).status, 2);
}

TEST(CameraStaysPlugged, DamagedStateStartsFromPowerOnAndSaysSo) {
  const std::string root = FreshDir("damaged");
  ASSERT_EQ(RunCommand(qcam_tool::CmdProps, {"--root", root, "set", "mirror", "1"}).status, 0);
  const std::string statePath = root + "/camera/power-state";
  const std::string good = ReadText(statePath);
  ASSERT_EQ(PropValue(root, "mirror"), "1");

  sim::CameraPowerState state;
  std::string why;
  ASSERT_TRUE(sim::ParseCameraState(good, &state, &why)) << why;
  sim::CameraPowerState outOfRange = state, otherCamera = state, unknownControl = state;
  outOfRange.controls[4 << 8 | 2] = 1000;  // brightness beyond the camera's range
  otherCamera.descriptorHash ^= 1;
  unknownControl.controls[4 << 8 | 99] = 0;
  std::string flipped = good;
  flipped[flipped.find("register 0xF004 0x") + 18] ^= 1;
  const struct {
    const char* what;
    std::string text;
  } cases[] = {{"garbage", "\x01\xFFnot a state\n"},
               {"empty", ""},
               {"cut in half", good.substr(0, good.size() / 2)},
               {"one character changed", flipped},
               {"bytes after the checksum", good + "led on\n"},
               {"value out of range", sim::RenderCameraState(outOfRange)},
               {"another camera's state", sim::RenderCameraState(otherCamera)},
               {"a control the camera lacks", sim::RenderCameraState(unknownControl)}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    ASSERT_EQ(RunCommand(qcam_tool::CmdProps, {"--root", root, "set", "mirror", "1"}).status, 0);
    WriteText(statePath, c.text);
    const Outcome o = RunCommand(qcam_tool::CmdProps, {"--root", root, "get", "mirror"});
    EXPECT_EQ(o.status, 0);
    EXPECT_NE(o.err.find("power-on values"), std::string::npos) << o.err;
    EXPECT_NE(o.out.find("mirror                     0"), std::string::npos) << o.out;
    // The command leaves a sound state behind.
    EXPECT_TRUE(sim::ParseCameraState(ReadText(statePath), &state, &why)) << why;
  }
  // A damaged record of the plugged camera: the notebook camera, said so.
  WriteText(root + "/camera/plugged", "qcam-plugged-camera 1\ncamera toaster\nplugged yes\n");
  Outcome o = RunCommand(qcam_tool::CmdProps, {"--root", root, "get", "mirror"});
  EXPECT_EQ(o.status, 0);
  EXPECT_NE(o.err.find("taking the notebook camera"), std::string::npos) << o.err;
  WriteText(root + "/camera/plugged", "qcam-plugged-camera 1\ncamera notebook\n");
  o = RunCommand(qcam_tool::CmdUnplug, {"--root", root});
  EXPECT_EQ(o.status, 0);
  EXPECT_NE(o.err.find("recording the notebook camera as unplugged"), std::string::npos) << o.err;
  EXPECT_NE(ReadText(root + "/camera/plugged").find("plugged no"), std::string::npos);
}

TEST(CameraState, TextReaderRefusesWhatNoRenderingProduces) {
  sim::CameraPowerState s;
  s.descriptorHash = 0x1234ABCD;
  s.controls[4 << 8 | 2] = -10;
  s.controls[1 << 8 | 4] = 156;
  s.registers[0xF004] = 0x02;
  s.registers[0xE007] = 0x00;
  s.selectedRegister = 0xF013;
  s.ledOn = true;
  s.buttonState = 4;
  s.probe[2] = 2;
  s.commit[3] = 5;
  s.committed = true;
  s.frameId = true;
  const std::string text = sim::RenderCameraState(s);
  sim::CameraPowerState back;
  std::string why;
  ASSERT_TRUE(sim::ParseCameraState(text, &back, &why)) << why;
  EXPECT_EQ(sim::RenderCameraState(back), text);

  // Items changed by hand, with the checksum made to match again.
  auto resum = [](std::string body) {
    const std::string sum = "checksum " + [&] {
      char buf[16];
      std::snprintf(buf, sizeof(buf), "0x%08X",
                    sim::Fnv1a(reinterpret_cast<const uint8_t*>(body.data()), body.size()));
      return std::string(buf);
    }() + "\n";
    return body + sum;
  };
  const std::string body = text.substr(0, text.rfind("checksum "));
  ASSERT_TRUE(sim::ParseCameraState(resum(body), &back, &why)) << why;
  const struct {
    const char* what;
    std::string text;
  } bad[] = {{"header", resum("qcam-camera-state 2\n" + body.substr(body.find('\n') + 1))},
             {"repeated control", resum(body + "control 4 2 -10\n")},
             {"repeated register", resum(body + "register 0xF004 0x01\n")},
             {"repeated item", resum(body + "led off\n")},
             {"unknown item", resum(body + "zoom 3\n")},
             {"missing item", resum(std::regex_replace(body, std::regex("button 4\n"), ""))},
             {"button 3", resum(std::regex_replace(body, std::regex("button 4"), "button 3"))},
             {"register value", resum(std::regex_replace(body, std::regex("0xF004 0x02"), "0xF004 0x102"))},
             {"control number", resum(std::regex_replace(body, std::regex("4 2 -10"), "4 2 -1x"))},
             {"short record", resum(std::regex_replace(body, std::regex("probe 00"), "probe "))},
             {"empty line", resum(body + "\n")},
             {"lower-case hex", resum(std::regex_replace(body, std::regex("0xF004"), "0xf004"))},
             {"lower-case checksum", [&] {
                std::string t = resum(body);
                for (size_t i = t.rfind("0x") + 2; i < t.size(); ++i) t[i] = char(std::tolower(t[i]));
                return t;
              }()},
             {"no newline at the end", text.substr(0, text.size() - 1)}};
  for (const auto& b : bad) {
    SCOPED_TRACE(b.what);
    back = sim::CameraPowerState();
    EXPECT_FALSE(sim::ParseCameraState(b.text, &back, &why));
    EXPECT_FALSE(why.empty());
    EXPECT_EQ(back.descriptorHash, 0u) << "untouched on failure";
  }
}

TEST(PcSettings, CommandShowsChangesAndRefusesBadValuesWholesale) {
  const std::string root = FreshDir("pc");
  Outcome o = RunCommand(qcam_tool::CmdPc, {"--root", root, "--lang", "0x0411", "--windows", "6.1", "--wow64", "on",
                                     "--pending", "on"});
  ASSERT_EQ(o.status, 0) << o.err;
  EXPECT_NE(o.out.find("1041 (0x0411), ANSI code page 932"), std::string::npos) << o.out;
  EXPECT_NE(o.out.find("6.1 build 7601"), std::string::npos) << o.out;
  EXPECT_NE(ReadText(root + "/pc.ini").find("language=1041"), std::string::npos);
  ASSERT_TRUE(platform::SetRoot(root));
  platform::PcSettings s = platform::GetPcSettings();
  EXPECT_EQ(s.languageId, 1041);
  EXPECT_EQ(s.windowsMajor, 6u);
  EXPECT_EQ(s.windowsMinor, 1u);
  EXPECT_TRUE(s.wow64);
  EXPECT_TRUE(s.pendingRequests);

  for (const Args& bad : std::vector<Args>{{"--lang", "0"},
                                           {"--lang", "70000"},
                                           {"--lang", "0x"},
                                           {"--lang", "English"},
                                           {"--windows", "6"},
                                           {"--windows", "6.x"},
                                           {"--windows", "-6.1"},
                                           {"--wow64", "maybe"},
                                           {"--lang", "2052", "--pending", "sometimes"},
                                           {"--frobnicate", "1"}}) {
    Args args = {"--root", root};
    args.insert(args.end(), bad.begin(), bad.end());
    EXPECT_EQ(RunCommand(qcam_tool::CmdPc, args).status, 2) << bad[0] << " " << bad[1];
  }
  EXPECT_EQ(RunCommand(qcam_tool::CmdPc, {}).status, 2);
  o = RunCommand(qcam_tool::CmdPc, {"--root", root, "--wow64", "off", "--windows", "10.0"});
  ASSERT_EQ(o.status, 0);
  EXPECT_NE(o.out.find("language  1041"), std::string::npos) << "settings not named keep their values";
  EXPECT_NE(o.out.find("10.0 build 19045"), std::string::npos) << o.out;
  EXPECT_NE(o.out.find("wow64     off"), std::string::npos) << o.out;
  EXPECT_NE(o.out.find("pending   on"), std::string::npos) << o.out;
}

}  // namespace
