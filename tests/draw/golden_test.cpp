// Reference pictures: each scene is drawn and compared with its committed
// PNG in tests/draw/golden/, allowing small differences (a font build that
// hints a stem one grey level apart) but not a moved or missing control.
// QCAM_UPDATE_GOLDEN=1 rewrites the references instead; on a mismatch the
// drawn picture is left next to the build for a person to look at.
#include <gtest/gtest.h>

#include <string>

#include "platform/draw/window_draw.h"
#include "scenes.h"
#include "tests/support/golden_picture.h"

namespace draw_test {
namespace {

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
  std::string message;
  const golden::Outcome outcome =
      golden::CompareWithReference(actual, GoldenPath(c.name), std::string("draw_actual_") + c.name + ".png", &message);
  if (outcome == golden::Outcome::kRewritten) GTEST_SKIP() << message;
  if (outcome == golden::Outcome::kDiffers) ADD_FAILURE() << c.name << ": " << message;
}

INSTANTIATE_TEST_SUITE_P(Scenes, GoldenTest,
                         ::testing::Values(GoldenCase{"controls", ControlsScene}, GoldenCase{"sheet", SheetScene},
                                           GoldenCase{"japanese", JapaneseScene}, GoldenCase{"korean", KoreanScene},
                                           GoldenCase{"menu", MenuScene}, GoldenCase{"updater", UpdaterScene}),
                         [](const ::testing::TestParamInfo<GoldenCase>& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace draw_test
