// qcam tray: the tray button manager living on the PC with its viewer and
// the capture application, as a person's session would see it. Each run
// lives through a few seconds of PC time faster than real time; the checks
// are on what happened (lines, files, the status word), never on when.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>

#include "platform/draw/reference_picture.h"
#include "platform/nt/platform_control.h"
#include "shared/qcam_ids.h"
#include "sim/image_io.h"
#include "tests/qcam/qcam_test_files.h"
#include "tools/qcam/commands.h"

namespace {

namespace fs = std::filesystem;

int Count(const std::string& text, const std::string& needle) {
  int n = 0;
  for (size_t at = text.find(needle); at != std::string::npos; at = text.find(needle, at + needle.size())) ++n;
  return n;
}

qcam_test::Outcome Tray(const std::string& root, std::vector<std::string> args) {
  args.insert(args.begin(), {"--root", root});
  return qcam_test::RunCommand(qcam_tool::CmdTray, args);
}

uint32_t CameraStatus() {
  uint32_t status = 0xFFFFFFFF;
  EXPECT_TRUE(platform::RegGetDword(qcam::kKeyCurrentA, "CameraStatus", &status));
  return status;
}

std::string Pictures(const std::string& root) { return root + "/C/Users/Public/Pictures/"; }

// The lines after the first one containing `marker`.
std::string After(const std::string& text, const std::string& marker) {
  const size_t at = text.find(marker);
  return at == std::string::npos ? std::string() : text.substr(at);
}

TEST(Tray, EachButtonStartsTheCaptureApplicationOnceAndItTakesItsPictures) {
  const std::string root = qcam_test::FreshDir("qcam_tray", "buttons");

  // Button state 2: "Check snap button" in the viewer, one broadcast with
  // wParam 3, one start of the capture application, a burst of three.
  qcam_test::Outcome o = Tray(root, {"--seconds", "5", "--press", "2@2"});
  ASSERT_EQ(o.status, 0) << o.err << o.out;
  EXPECT_GE(Count(o.out, "QORMsgBox: 103 Check snap button"), 1) << o.out;
  EXPECT_GE(Count(o.out, "QORMsgBox: 103 ClearCameraStatus 0x"), 1) << o.out;
  EXPECT_EQ(Count(o.out, "ButtonMessage broadcast: wParam"), 1) << o.out;
  EXPECT_EQ(Count(o.out, "ButtonMessage broadcast: wParam 3"), 1) << o.out;
  EXPECT_EQ(Count(o.out, "capture application started: "), 1) << o.out;
  for (const char* k : {"1", "2", "3"})
    EXPECT_EQ(Count(o.out, std::string("ButtonMessage wParam=3: burst ") + k +
                               "/3 (640x480): saved C:\\Users\\Public\\Pictures\\Snapshot_000" + k + ".png"),
              1)
        << o.out;
  EXPECT_GE(Count(o.out, "tray icon add: tip \"Button Manager\""), 1) << o.out;
  EXPECT_EQ(CameraStatus() & qcam::kStatusButton2, 0u);
  sim::RgbImage picture;
  std::string error;
  ASSERT_TRUE(sim::ReadPicture(Pictures(root) + "Snapshot_0003.png", &picture, &error)) << error;
  EXPECT_EQ(picture.width, 640);
  EXPECT_EQ(picture.height, 480);

  // Button state 4, then a press while idle (no snapshot file: a frame
  // instead, said so): the application already runs for the second, so it
  // is started once; pictures are numbered on from the last run's.
  o = Tray(root, {"--seconds", "7", "--press", "4@1", "--press", "1@3"});
  ASSERT_EQ(o.status, 0) << o.err << o.out;
  EXPECT_EQ(Count(o.out, "capture application started: "), 1) << o.out;
  EXPECT_EQ(Count(o.out, "ButtonMessage broadcast: wParam 1"), 1) << o.out;
  EXPECT_EQ(Count(o.out, "ButtonMessage broadcast: wParam 2"), 1) << o.out;
  EXPECT_EQ(Count(o.out, "no snapshot file to use"), 1) << o.out;
  EXPECT_EQ(Count(o.out, "still picture 1/1 (640x480): saved C:\\Users\\Public\\Pictures\\Snapshot_000"), 2) << o.out;
  EXPECT_TRUE(fs::exists(Pictures(root) + "Snapshot_0005.png"));
  EXPECT_FALSE(fs::exists(Pictures(root) + "Snapshot_0006.png"));
  EXPECT_EQ(CameraStatus() & (qcam::kStatusButtonIdle | qcam::kStatusButton4), 0u);

  // While a capture stream runs a press is a snapshot: the driver writes the
  // snapshot file and the capture application saves that.
  o = Tray(root, {"--seconds", "6", "--stream", "YUY2:640x480", "--press", "1@1"});
  ASSERT_EQ(o.status, 0) << o.err << o.out;
  EXPECT_EQ(Count(o.out, "ButtonMessage broadcast: wParam 2"), 1) << o.out;
  EXPECT_EQ(Count(o.out, "snapshot file C:\\Windows\\Snap.dat (YUY2 640x480): saved "
                         "C:\\Users\\Public\\Pictures\\Snapshot_0006.png"),
            1)
      << o.out;
  EXPECT_EQ(CameraStatus() & qcam::kStatusSnapshotReady, 0u);
}

TEST(Tray, UnplugAndPlugAreFollowedOnceEachAndTheIconIsMadeAgain) {
  const std::string root = qcam_test::FreshDir("qcam_tray", "plug");
  const qcam_test::Outcome o =
      Tray(root, {"--seconds", "15", "--unplug-at", "3", "--plug-at", "9", "--exit-at", "14"});
  ASSERT_EQ(o.status, 0) << o.err << o.out;
  const std::string out = After(o.out, "pulled the camera out");
  ASSERT_FALSE(out.empty()) << o.out;
  EXPECT_EQ(Count(out, "QORMsgBox: 100 plug out or stop"), 1) << o.out;
  EXPECT_EQ(Count(out, "QORMsgBox: 100 plug in and play!"), 1) << o.out;
  EXPECT_GE(Count(out, "tray icon delete"), 2) << o.out;
  EXPECT_GE(Count(out, "tray icon add"), 2) << o.out;
  // The camera is chosen again by its name when it comes back.
  EXPECT_GE(Count(After(o.out, "plugging the camera in"), "QORMsgBox: 100 Qorvane USB2.0 Camera"), 1) << o.out;
  EXPECT_EQ(Count(o.out, "ButtonMessage broadcast"), 0) << o.out;
  // The EXIT command ends the tray: its icon goes and the run's end has
  // nothing more to send.
  const std::string exited = After(o.out, "sending \"EXIT\" to the tray");
  EXPECT_EQ(Count(exited, "tray icon delete"), 1) << o.out;
  EXPECT_EQ(Count(exited, "tray icon add"), 0) << o.out;
  EXPECT_EQ(Count(o.out, "the run ends"), 0) << o.out;
}

// The menu as it pops up: its picture in the PC's language with the chosen
// power-line item checked, and the Exit item ending the tray.
TEST(Tray, MenuPicturesInEnglishAndJapaneseAndExitEndsTheTray) {
  const struct {
    const char* lang;
    const char* name;
    const char* exitText;
  } cases[] = {{"1033", "english", "&Exit"}, {"1041", "japanese", "\xE7\xB5\x82\xE4\xBA\x86(&X)"}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const std::string root = qcam_test::FreshDir("qcam_tray", std::string("menu_") + c.name);
    ASSERT_EQ(qcam_test::RunCommand(qcam_tool::CmdPc, {"--root", root, "--lang", c.lang}).status, 0);
    const std::string out = root + "-" + c.name;
    const qcam_test::Outcome o = Tray(root, {"--seconds", "5", "--menu", "60hz@2", "--menu", "exit@3", "--out", out});
    ASSERT_EQ(o.status, 0) << o.err << o.out;
    // The second menu shows the first one's choice.
    EXPECT_EQ(Count(o.out, std::string("tray menu: ") + c.exitText + " | --- | &50Hz | --- | [x] &60Hz"), 1) << o.out;
    const std::string exited = After(o.out, "choosing exit");
    EXPECT_EQ(Count(exited, "tray icon delete"), 1) << o.out;
    EXPECT_EQ(Count(exited, "tray icon add"), 0) << o.out;
    EXPECT_EQ(Count(o.out, "EXIT\" sent"), 0) << "the menu's Exit ended the tray";
    draw::Image actual;
    std::string error;
    ASSERT_TRUE(draw::ReadPng(out + "/tray_menu.png", &actual, &error)) << error;
    std::string report;
    const std::string golden = std::string(QCAM_SOURCE_DIR) + "/tests/qcam/golden/tray_menu_" + c.name + ".png";
    EXPECT_NE(draw::CompareWithReference(actual, golden, "tray_menu_actual_" + std::string(c.name) + ".png", &report),
              draw::ReferenceOutcome::Differs)
        << report;
  }
}

// The shell keeps the tray running between lines: a press, the menu and
// the EXIT command in lower case, which the tray does not take.
TEST(Tray, ShellRunsTheTrayBetweenItsLines) {
  const std::string root = qcam_test::FreshDir("qcam_tray", "shell");
  const std::string io = root + "-io";
  fs::create_directories(io);
  qcam_test::WriteText(io + "/script",
                       "tray start\nwait 2000\npress 4\nwait 5000\nmenu 60hz\nwait 1000\ntray stop\nquit\n");
  const std::string qcam = (fs::read_symlink("/proc/self/exe").parent_path() / "qcam").string();
  const std::string command =
      "'" + qcam + "' shell --root '" + root + "' < '" + io + "/script' > '" + io + "/out' 2> '" + io + "/err'";
  const int rc = std::system(command.c_str());
  const std::string out = qcam_test::ReadText(io + "/out");
  ASSERT_TRUE(WIFEXITED(rc) && WEXITSTATUS(rc) == 0) << out << qcam_test::ReadText(io + "/err");
  EXPECT_EQ(Count(out, "ButtonMessage broadcast: wParam 1"), 1) << out;
  EXPECT_EQ(Count(out, "capture application started"), 1) << out;
  EXPECT_EQ(Count(out, "tray menu: &Exit | --- | "), 1) << out;
  EXPECT_EQ(Count(out, "the tray and its programs ended"), 1) << out;
}

}  // namespace
