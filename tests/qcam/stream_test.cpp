// A capture stream running in the background on the class driver's thread
// while the caller sends property requests, and the camera pulled out under
// it.
#include <gtest/gtest.h>

#include "platform/machine/pc_clock.h"
#include "shared/qcam_defs.h"
#include "tests/qcam/qcam_test_files.h"
#include "tools/qcam/common.h"
#include "tools/qcam/prop_names.h"
#include "tools/qcam/stream.h"

namespace {

struct FastClock {
  FastClock() { platform::SetPcClockRate(50); }
  ~FastClock() { platform::SetPcClockRate(1); }
};

TEST(BackgroundStream, FramesFlowBesideRequestsUntilTheCameraIsPulledOut) {
  FastClock clock;
  // An installed PC: the driver keeps CameraStatus, which the button check reads.
  const std::string root = qcam_test::FreshDir("qcam_stream", "requests");
  std::string error;
  ASSERT_TRUE(qcam_tool::InstallRoot(root, &error)) << error;
  qcam_tool::CameraSession session;
  sim::CameraOptions options;
  ASSERT_TRUE(qcam_tool::PlugCamera(root, options, &session, &error)) << error;
  qcam_tool::StreamFormat format;
  ASSERT_TRUE(qcam_tool::ParseStreamOption("YUY2:160x120", &format, &error)) << error;

  qcam_tool::BackgroundStream stream;
  std::vector<qcam_tool::FrameNote> frames;
  EXPECT_FALSE(stream.WaitFrames(1, &frames)) << "no stream yet";
  ASSERT_TRUE(stream.Start(*session.classDriver, format, &error)) << error;
  EXPECT_FALSE(stream.Start(*session.classDriver, format, &error));
  EXPECT_NE(error.find("running already"), std::string::npos) << error;

  // Requests on the caller's thread while frames are processed on the
  // driver's: the picture follows the setting.
  ASSERT_TRUE(stream.WaitFrames(2, &frames));
  ASSERT_EQ(frames.size(), 2u);
  EXPECT_EQ(frames[0].number + 1, frames[1].number);
  EXPECT_EQ(frames[1].bytes, 160u * 120 * 2);
  std::string message;
  for (int i = 0; i < 5; ++i) {
    ASSERT_TRUE(qcam_tool::ApplyNamedSetting(*session.classDriver, "mirror", i % 2 ? "0" : "1", &message))
        << message;
    ASSERT_TRUE(stream.WaitFrames(1, &frames));
  }
  EXPECT_EQ(session.camera->Register(0xF004) & 1, 0) << "mirrored last";
  // The snapshot button pressed and checked while frames flow: one of the
  // next two frames is the still (the one being processed when the check
  // came may not be).
  const uint32_t before = stream.Delivered();
  session.camera->PressButton(1);
  std::vector<int32_t> words(qcam::kPrivateWordCount, 0);
  words[0] = 4;
  NTSTATUS status = 0;
  ASSERT_TRUE(qcam_tool::PrivateRequest(*session.classDriver, true, qcam::kPrivCommand, &words, &status));
  ASSERT_TRUE(stream.WaitFramesAfter(before, 2, &frames));
  ASSERT_EQ(frames.size(), 2u);
  EXPECT_EQ(frames[0].number, before + 1);
  EXPECT_NE(frames[0].still, frames[1].still) << "exactly one still";
  ASSERT_TRUE(qcam_tool::ReadNamedSetting(*session.classDriver, "format-index", &message, &error)) << error;
  EXPECT_NE(message.find(" 2 "), std::string::npos) << "YUY2 is format 2: " << message;

  // Pulled out mid-stream: waiting ends at once, and the stream can still be
  // closed afterwards.
  session.PullOut();
  EXPECT_FALSE(stream.WaitFrames(50, &frames));
  const uint32_t delivered = stream.Delivered();
  EXPECT_GE(delivered, 9u);
  EXPECT_TRUE(stream.Open());
  stream.Stop();
  EXPECT_FALSE(stream.Open());
  EXPECT_EQ(stream.Delivered(), delivered);
}

TEST(BackgroundStream, RefusedFormatsLeaveNoStream) {
  qcam_tool::CameraSession session;
  sim::CameraOptions options;
  options.profile = "basic";
  std::string error;
  ASSERT_TRUE(qcam_tool::PlugCamera("", options, &session, &error)) << error;
  qcam_tool::BackgroundStream stream;
  qcam_tool::StreamFormat format;
  ASSERT_TRUE(qcam_tool::ParseStreamOption("YUY2:640x480", &format, &error));
  EXPECT_FALSE(stream.Start(*session.classDriver, format, &error));
  EXPECT_NE(error.find("offers no YUY2 640x480"), std::string::npos) << error;
  EXPECT_FALSE(stream.Open());
  // The stream that is offered opens after a refused one.
  ASSERT_TRUE(qcam_tool::ParseStreamOption("MJPG:640x480", &format, &error));
  ASSERT_TRUE(stream.Start(*session.classDriver, format, &error)) << error;
  std::vector<qcam_tool::FrameNote> frames;
  EXPECT_TRUE(stream.WaitFrames(1, &frames));
  for (const char* bad : {"YUY2", "YUY2:", ":640x480", "H264:640x480", "YUY2:640x-480", "YUY2:640"})
    EXPECT_FALSE(qcam_tool::ParseStreamOption(bad, &format, &error)) << bad;
}

}  // namespace
