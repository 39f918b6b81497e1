// Reference pictures: each scene is drawn and compared with its committed
// PNG in tests/draw/golden/, allowing small differences (a font build that
// hints a stem one grey level apart) but not a moved or missing control.
// QCAM_UPDATE_GOLDEN=1 rewrites the references instead; on a mismatch the
// drawn picture is left next to the build for a person to look at.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "platform/draw/reference_picture.h"
#include "platform/draw/window_draw.h"
#include "scenes.h"

namespace draw_test {
namespace {

struct GoldenCase {
  const char* name;
  WindowPicture (*scene)();
};

class GoldenTest : public ::testing::TestWithParam<GoldenCase> {};

TEST_P(GoldenTest, MatchesReference) {
  const GoldenCase& c = GetParam();
  draw::Image actual;
  ASSERT_TRUE(draw::RenderWindowPicture(c.scene(), &actual));
  std::string report;
  const draw::ReferenceOutcome outcome =
      draw::CompareWithReference(actual, std::string(QCAM_SOURCE_DIR) + "/tests/draw/golden/" + c.name + ".png",
                                 std::string("draw_actual_") + c.name + ".png", &report);
  if (outcome == draw::ReferenceOutcome::Rewritten) GTEST_SKIP() << report;
  EXPECT_EQ(outcome, draw::ReferenceOutcome::Matches) << c.name << ": " << report;
}

// The comparison itself: a control moved by a few pixels is caught, a
// grey-level difference is not, and a reference of another size never
// matches.
TEST(ReferencePicture, ToleratesHintingButNotAMovedControl) {
  draw::Image base;
  ASSERT_TRUE(draw::RenderWindowPicture(ControlsScene(), &base));
  const std::string path = testing::TempDir() + "reference_base.png", actualPath = testing::TempDir() + "ref_actual.png";
  std::string error, report;
  ASSERT_TRUE(draw::WritePng(base, path, &error)) << error;
  draw::Image read;
  ASSERT_TRUE(draw::ReadPng(path, &read, &error)) << error;
  EXPECT_EQ(read.rgb, base.rgb);

  draw::Image hinted = base;
  for (size_t i = 0; i < hinted.rgb.size(); i += 7) hinted.rgb[i] = uint8_t(hinted.rgb[i] > 127 ? hinted.rgb[i] - 20 : hinted.rgb[i] + 20);
  EXPECT_EQ(draw::CompareWithReference(hinted, path, actualPath, &report), draw::ReferenceOutcome::Matches) << report;

  draw::Image shifted = base;  // everything four pixels to the right
  const size_t row = size_t(base.width) * 3;
  for (int y = 0; y < base.height; ++y)
    std::memmove(&shifted.rgb[y * row + 12], &base.rgb[y * row], row - 12);
  EXPECT_EQ(draw::CompareWithReference(shifted, path, actualPath, &report), draw::ReferenceOutcome::Differs);
  EXPECT_NE(report.find("pixels differ"), std::string::npos) << report;
  EXPECT_TRUE(draw::ReadPng(actualPath, &read, &error)) << "the drawing is left for a person: " << error;

  draw::Image cropped = base;
  cropped.height -= 1;
  cropped.rgb.resize(size_t(cropped.height) * row);
  EXPECT_EQ(draw::CompareWithReference(cropped, path, actualPath, &report), draw::ReferenceOutcome::Differs);
  EXPECT_EQ(draw::CompareWithReference(base, "/no/such/reference.png", actualPath, &report),
            draw::ReferenceOutcome::Differs);
  EXPECT_NE(report.find("/no/such/reference.png"), std::string::npos) << report;
}

INSTANTIATE_TEST_SUITE_P(Scenes, GoldenTest,
                         ::testing::Values(GoldenCase{"controls", ControlsScene}, GoldenCase{"sheet", SheetScene},
                                           GoldenCase{"japanese", JapaneseScene}, GoldenCase{"korean", KoreanScene},
                                           GoldenCase{"menu", MenuScene}, GoldenCase{"updater", UpdaterScene}),
                         [](const ::testing::TestParamInfo<GoldenCase>& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace draw_test
