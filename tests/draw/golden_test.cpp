// Reference pictures: each scene is drawn and compared with its committed
// PNG in tests/draw/golden/, allowing small differences (a font build that
// hints a stem one grey level apart) but not a moved or missing control.
// QCAM_UPDATE_GOLDEN=1 rewrites the references instead; on a mismatch the
// drawn picture is left next to the build for a person to look at.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "platform/draw/window_draw.h"
#include "scenes.h"
#include "sim/image_io.h"

namespace draw_test {
namespace {

constexpr int kChannelTolerance = 48;
constexpr double kDifferingShare = 0.005;

struct GoldenCase {
  const char* name;
  WindowPicture (*scene)();
};

std::string GoldenPath(const std::string& name) {
  return std::string(QCAM_SOURCE_DIR) + "/tests/draw/golden/" + name + ".png";
}

class GoldenTest : public ::testing::TestWithParam<GoldenCase> {};

TEST_P(GoldenTest, MatchesReference) {
  const GoldenCase& c = GetParam();
  draw::Image actual;
  ASSERT_TRUE(draw::RenderWindowPicture(c.scene(), &actual));
  std::string error;
  if (std::getenv("QCAM_UPDATE_GOLDEN")) {
    ASSERT_TRUE(draw::WritePng(actual, GoldenPath(c.name), &error)) << error;
    GTEST_SKIP() << "reference rewritten: " << GoldenPath(c.name);
  }
  sim::RgbImage golden;
  ASSERT_TRUE(sim::ReadPicture(GoldenPath(c.name), &golden, &error)) << error;
  bool sameSize = golden.width == actual.width && golden.height == actual.height;
  size_t differing = 0;
  if (sameSize) {
    for (size_t i = 0; i < actual.rgb.size(); i += 3) {
      for (size_t k = 0; k < 3; ++k) {
        if (std::abs(int(actual.rgb[i + k]) - int(golden.rgb[i + k])) > kChannelTolerance) {
          ++differing;
          break;
        }
      }
    }
  }
  double share = sameSize ? double(differing) / (actual.rgb.size() / 3) : 1.0;
  if (!sameSize || share > kDifferingShare) {
    std::string out = std::string("draw_actual_") + c.name + ".png";
    draw::WritePng(actual, out, &error);
    ADD_FAILURE() << c.name << ": " << actual.width << "x" << actual.height << " against " << golden.width << "x"
                  << golden.height << ", " << differing << " pixels differ; the drawing is in " << out;
  }
}

INSTANTIATE_TEST_SUITE_P(Scenes, GoldenTest,
                         ::testing::Values(GoldenCase{"controls", ControlsScene}, GoldenCase{"sheet", SheetScene},
                                           GoldenCase{"japanese", JapaneseScene}, GoldenCase{"korean", KoreanScene},
                                           GoldenCase{"menu", MenuScene}, GoldenCase{"updater", UpdaterScene}),
                         [](const ::testing::TestParamInfo<GoldenCase>& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace draw_test
