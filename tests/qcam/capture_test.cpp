// qcam formats, capture and snapshot end to end: the simulated camera behind
// the class driver and the driver, as a person runs them.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "platform/nt/platform_control.h"
#include "shared/qcam_defs.h"
#include "tools/qcam/commands.h"
#include "tools/qcam/common.h"

namespace {

namespace fs = std::filesystem;
using qcam_tool::Args;

std::string FreshDir(const std::string& name) {
  const fs::path p = fs::temp_directory_path() / ("qcam_capture_" + std::to_string(::getpid()) + "_" + name);
  fs::remove_all(p);
  return p.string();
}

std::vector<std::string> Files(const std::string& dir) {
  std::vector<std::string> names;
  if (!fs::is_directory(dir)) return names;
  for (const auto& e : fs::directory_iterator(dir)) names.push_back(e.path().filename().string());
  std::sort(names.begin(), names.end());
  return names;
}

TEST(Formats, OfferedSlotsFollowTheCamera) {
  for (const char* profile : {"notebook", "basic"}) {
    qcam_tool::CameraSession session;
    sim::CameraOptions o;
    o.profile = profile;
    std::string err;
    ASSERT_TRUE(qcam_tool::PlugCamera("", o, &session, &err)) << err;
    const auto formats = qcam_tool::OfferedFormats(*session.classDriver);
    const bool notebook = std::string(profile) == "notebook";
    ASSERT_EQ(formats.size(), notebook ? 12u : 5u);
    EXPECT_EQ(formats[0].fourcc, qcam::kFourCC_MJPG);
    EXPECT_EQ(formats[0].width, 640);
    if (notebook) {
      EXPECT_EQ(formats[6].fourcc, qcam::kFourCC_YUY2);
      EXPECT_EQ(formats[11].width, 1280);
      EXPECT_EQ(formats[11].defaultInterval, 1000000);
    }
    EXPECT_EQ(qcam_tool::CameraControlItems(*session.classDriver), notebook ? 2u : 1u);
  }
  EXPECT_EQ(qcam_tool::CmdFormats({"--camera", "toaster"}), 2);
  EXPECT_EQ(qcam_tool::CmdFormats({"--camera", std::string(QCAM_TESTDATA_DIR) + "/cameras/trust_webcam_0c45_6340.bin"}), 0);
  EXPECT_EQ(qcam_tool::CmdFormats({"--camera", "/nonexistent/cam.bin"}), 2);
}

TEST(Capture, EveryFormatDeliversFramesAndFiles) {
  const std::string root = FreshDir("formats");
  struct Case {
    const char* format;
    const char* size;
    const char* ext;
    size_t rawBytes;
  } cases[] = {{"MJPG", "320x240", "jpg", 0},
               {"YUY2", "176x144", "yuy2", 176 * 144 * 2},
               {"I420", "320x240", "i420", 320 * 240 * 3 / 2},
               {"RGB24", "160x120", "bgr", 160 * 120 * 3}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.format);
    const std::string out = root + "/" + c.format;
    ASSERT_EQ(qcam_tool::CmdCapture({"--root", root, "--format", c.format, "--size", c.size, "--frames", "3",
                                     "--out", out}),
              0);
    const auto files = Files(out);
    ASSERT_EQ(files.size(), 3u);
    EXPECT_EQ(files[0], std::string("frame-0001.") + (std::string(c.format) == "MJPG" ? "jpg" : "png"));
    sim::RgbImage img;
    std::string err;
    ASSERT_TRUE(sim::ReadPicture(out + "/" + files[2], &img, &err)) << err;
    EXPECT_EQ(img.width, std::stoi(c.size));
    // Raw buffers exactly as delivered.
    const std::string rawDir = root + "/raw-" + c.format;
    ASSERT_EQ(qcam_tool::CmdCapture({"--root", root, "--format", c.format, "--size", c.size, "--frames", "2",
                                     "--out", rawDir, "--raw"}),
              0);
    const auto raw = Files(rawDir);
    ASSERT_EQ(raw.size(), 2u);
    EXPECT_EQ(raw[1], std::string("frame-0002.") + c.ext);
    const auto size = fs::file_size(rawDir + "/" + raw[1]);
    if (c.rawBytes)
      EXPECT_EQ(size, c.rawBytes);
    else
      EXPECT_GT(size, 1000u);
  }
}

TEST(Capture, BadRequestsEndWithStatusTwo) {
  const std::string root = FreshDir("bad");
  EXPECT_EQ(qcam_tool::CmdCapture({"--root", root, "--format", "H264", "--size", "640x480"}), 2);
  EXPECT_EQ(qcam_tool::CmdCapture({"--root", root, "--format", "YUY2", "--size", "641x480"}), 2);
  EXPECT_EQ(qcam_tool::CmdCapture({"--root", root, "--format", "YUY2", "--size", "big"}), 2);
  EXPECT_EQ(qcam_tool::CmdCapture({"--root", root, "--format", "YUY2"}), 2);
  EXPECT_EQ(qcam_tool::CmdCapture({"--format", "YUY2", "--size", "640x480"}), 2);
  EXPECT_EQ(qcam_tool::CmdCapture({"--root", root, "--format", "MJPG", "--size", "640x480", "--source", "/no/such.png"}), 2);
  EXPECT_EQ(qcam_tool::CmdCapture({"--root", root, "--format", "MJPG", "--size", "640x480", "--frames", "0"}), 2);
  EXPECT_EQ(qcam_tool::CmdCapture({"--root", root, "--format", "MJPG", "--size", "640x480", "--set", "novalue"}), 2);
  EXPECT_EQ(qcam_tool::CmdCapture({"--root", root, "--format", "MJPG", "--size", "640x480", "--set", "nosuch=1"}), 2);
  // The basic camera has no YUY2 and no 1280x720.
  EXPECT_EQ(qcam_tool::CmdCapture({"--root", root, "--camera", "basic", "--format", "YUY2", "--size", "640x480"}), 2);
  EXPECT_EQ(qcam_tool::CmdCapture({"--root", root, "--camera", "basic", "--format", "I420", "--size", "1280x720"}), 2);
}

TEST(Capture, SnapshotIsWrittenAndReadBack) {
  const std::string root = FreshDir("snap");
  ASSERT_EQ(qcam_tool::CmdCapture({"--root", root, "--format", "YUY2", "--size", "320x240", "--frames", "6",
                                   "--snapshot", "3"}),
            0);
  const std::string snap = root + "/Windows/Snap.dat";
  ASSERT_TRUE(fs::exists(snap));
  EXPECT_EQ(fs::file_size(snap), 48u + 320 * 240 * 2);
  uint32_t status = 0;
  ASSERT_TRUE(platform::SetRoot(root));
  ASSERT_TRUE(platform::RegGetDword(qcam::kKeyCurrentA, "CameraStatus", &status));
  EXPECT_TRUE(status & qcam::kStatusSnapshotReady);
  const std::string png = root + "/snap.png";
  ASSERT_EQ(qcam_tool::CmdSnapshot({"--root", root, "--out", png}), 0);
  sim::RgbImage img;
  std::string err;
  ASSERT_TRUE(sim::ReadPicture(png, &img, &err)) << err;
  EXPECT_EQ(img.width, 320);
  EXPECT_EQ(img.height, 240);
  // An MJPG stream's snapshot is decoded by the driver to bottom-up BGR.
  ASSERT_EQ(qcam_tool::CmdCapture({"--root", root, "--format", "MJPG", "--size", "320x240", "--frames", "6",
                                   "--snapshot", "3"}),
            0);
  EXPECT_EQ(fs::file_size(snap), 48u + 320 * 240 * 3);
  // A damaged snapshot file is refused.
  fs::resize_file(snap, 100);
  EXPECT_EQ(qcam_tool::CmdSnapshot({"--root", root, "--out", png}), 2);
  EXPECT_EQ(qcam_tool::CmdSnapshot({"--root", FreshDir("nosnap"), "--out", png}), 2);
}

TEST(Capture, UnplugStopsTheStreamAndFaceLogHasALinePerFrame) {
  const std::string root = FreshDir("unplug");
  const std::string out = root + "/frames";
  ASSERT_EQ(qcam_tool::CmdCapture({"--root", root, "--format", "MJPG", "--size", "320x240", "--frames", "10",
                                   "--unplug-at", "4", "--out", out}),
            0);
  EXPECT_EQ(Files(out).size(), 3u);
  const std::string log = root + "/face.log";
  ASSERT_EQ(qcam_tool::CmdCapture({"--root", root, "--format", "YUY2", "--size", "320x240", "--frames", "4",
                                   "--face-log", log}),
            0);
  std::ifstream in(log);
  std::string line;
  int lines = 0;
  while (std::getline(in, line)) {
    ++lines;
    EXPECT_EQ(line.rfind(std::to_string(lines) + " ", 0), 0u) << line;
  }
  EXPECT_EQ(lines, 4);
}

TEST(Capture, FaceTrackingWithoutAFaceLog) {
  const std::string root = FreshDir("facenolog");
  EXPECT_EQ(qcam_tool::CmdCapture({"--root", root, "--format", "YUY2", "--size", "320x240", "--frames", "3", "--set",
                                   "face-tracking=1"}),
            0);
}

TEST(Capture, SnapshotButtonReachesTheDriver) {
  const std::string root = FreshDir("button");
  uint32_t status = 0;
  // State 1 while streaming: the next frame becomes a snapshot.
  ASSERT_EQ(qcam_tool::CmdCapture({"--root", root, "--format", "YUY2", "--size", "160x120", "--frames", "4",
                                   "--button", "1@2"}),
            0);
  EXPECT_TRUE(fs::exists(root + "/Windows/Snap.dat"));
  ASSERT_TRUE(platform::SetRoot(root));
  ASSERT_TRUE(platform::RegGetDword(qcam::kKeyCurrentA, "CameraStatus", &status));
  EXPECT_EQ(status & qcam::kStatusSnapshotReady, qcam::kStatusSnapshotReady);
  ASSERT_EQ(qcam_tool::CmdCapture({"--root", root, "--format", "YUY2", "--size", "160x120", "--frames", "3",
                                   "--button", "4"}),
            0);
  ASSERT_TRUE(platform::SetRoot(root));
  ASSERT_TRUE(platform::RegGetDword(qcam::kKeyCurrentA, "CameraStatus", &status));
  EXPECT_EQ(status & qcam::kStatusButton4, qcam::kStatusButton4);
  EXPECT_EQ(qcam_tool::CmdCapture({"--root", root, "--format", "YUY2", "--size", "160x120", "--button", "3"}), 2);
  EXPECT_EQ(qcam_tool::CmdCapture({"--root", root, "--format", "YUY2", "--size", "160x120", "--button", "1@x"}), 2);
}

TEST(Install, CommandCreatesTheRoot) {
  const std::string root = FreshDir("cmdinstall");
  EXPECT_EQ(qcam_tool::CmdInstall({"--root", root}), 0);
  EXPECT_TRUE(fs::exists(root + "/registry.reg"));
  EXPECT_EQ(qcam_tool::CmdInstall({}), 2);
  EXPECT_EQ(qcam_tool::CmdInstall({"--root", root, "--extra"}), 2);
}

}  // namespace

namespace {

// The snapshot of frame K is frame K, byte for byte, whether the camera marks
// it as a still or the driver is asked through its private property 16.
std::vector<char> ReadAll(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::vector<char>((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

TEST(Capture, SnapshotIsTheFrameItNames) {
  for (const char* via : {"camera", "property"}) {
    SCOPED_TRACE(via);
    const std::string root = FreshDir(std::string("snapvia") + via);
    const std::string out = root + "/frames";
    ASSERT_EQ(qcam_tool::CmdCapture({"--root", root, "--format", "YUY2", "--size", "160x120", "--frames", "6",
                                     "--snapshot", "4", "--snapshot-via", via, "--out", out, "--raw"}),
              0);
    const std::vector<char> snap = ReadAll(root + "/Windows/Snap.dat");
    const std::vector<char> frame = ReadAll(out + "/frame-0004.yuy2");
    ASSERT_EQ(snap.size(), 48u + 160 * 120 * 2);
    ASSERT_EQ(frame.size(), 160u * 120 * 2);
    EXPECT_TRUE(std::equal(frame.begin(), frame.end(), snap.begin() + 48));
  }
  EXPECT_EQ(qcam_tool::CmdCapture({"--root", FreshDir("snapviabad"), "--format", "YUY2", "--size", "160x120",
                                   "--snapshot", "2", "--snapshot-via", "mail"}),
            2);
}

}  // namespace
