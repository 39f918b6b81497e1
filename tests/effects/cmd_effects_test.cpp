// qcam effects: the contact sheets it writes and the arguments it refuses.
#include "sim/image_io.h"
#include "tests/effects/effects_test_util.h"
#include "tools/qcam/commands.h"
#include "tools/qcam/frame_art.h"

using namespace effects_test;

namespace {

TEST(CmdEffects, WritesBothContactSheetsWithOneTilePerEntry) {
  TempRoot root("cmd");
  std::string error;
  ASSERT_TRUE(qcam_tool::WritePhotoFrameBitmaps(root.Windows().string(), &error)) << error;
  // A small source picture, scaled up by the command.
  sim::RgbImage src;
  src.width = 64;
  src.height = 48;
  src.rgb.assign(size_t(64) * 48 * 3, 0);
  for (size_t i = 0; i < src.rgb.size(); ++i) src.rgb[i] = uint8_t(i * 7);
  const std::string source = (root.Path() / "source.png").string();
  ASSERT_TRUE(sim::WritePng(source, src, &error)) << error;
  const std::string out = (root.Path() / "out").string();

  ASSERT_EQ(qcam_tool::CmdEffects({"--root", root.Path().string(), "--source", source, "--out", out}), 0);
  for (const char* layout : {"rgb24", "yuy2"}) {
    sim::RgbImage sheet;
    ASSERT_TRUE(sim::ReadPicture(out + "/effects-" + layout + ".png", &sheet, &error)) << error;
    // Original, twenty effects, eleven frames: 32 tiles of 320 x 262 in rows of six.
    EXPECT_EQ(sheet.width, 6 * 320);
    EXPECT_EQ(sheet.height, 6 * 262);
    EXPECT_TRUE(std::filesystem::exists(out + "/" + layout + "/11-negative.png"));
    EXPECT_TRUE(std::filesystem::exists(out + "/" + layout + "/61-tv.png"));
  }
  // The original tile is the picture as it came; the negative tile differs.
  sim::RgbImage original, negative;
  ASSERT_TRUE(sim::ReadPicture(out + "/rgb24/01-original.png", &original, &error));
  ASSERT_TRUE(sim::ReadPicture(out + "/rgb24/11-negative.png", &negative, &error));
  ASSERT_EQ(original.rgb.size(), negative.rgb.size());
  EXPECT_EQ(int(original.rgb[0]) + int(negative.rgb[0]), 255);
}

TEST(CmdEffects, RefusesMissingAndUnknownArguments) {
  EXPECT_EQ(qcam_tool::CmdEffects({}), 2);
  EXPECT_EQ(qcam_tool::CmdEffects({"--root", "/tmp/x"}), 2);
  EXPECT_EQ(qcam_tool::CmdEffects({"--root", "/tmp/x", "--out", "/tmp/y", "--bogus"}), 2);
  TempRoot root("cmdbad");
  EXPECT_EQ(qcam_tool::CmdEffects({"--root", root.Path().string(), "--out", (root.Path() / "o").string(), "--source",
                                   (root.Path() / "missing.png").string()}),
            2);
  EXPECT_EQ(qcam_tool::CmdEffects({"--help"}), 0);
}

}  // namespace
