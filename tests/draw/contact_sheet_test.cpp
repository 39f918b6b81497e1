// Contact sheets: pictures are copied unchanged to their places, labels
// written beneath, rows wrapped at the width asked for.
#include <gtest/gtest.h>

#include "platform/draw/window_draw.h"
#include "scenes.h"

namespace draw_test {
namespace {

draw::Image Solid(int w, int h, uint8_t r, uint8_t g, uint8_t b) {
  draw::Image image;
  image.width = w;
  image.height = h;
  for (int i = 0; i < w * h; ++i) image.rgb.insert(image.rgb.end(), {r, g, b});
  return image;
}

bool SameAt(const draw::Image& sheet, const draw::Image& part, int x, int y) {
  for (int j = 0; j < part.height; ++j)
    for (int i = 0; i < part.width; ++i)
      for (int k = 0; k < 3; ++k)
        if (sheet.rgb[((size_t(y + j) * sheet.width) + size_t(x + i)) * 3 + k] !=
            part.rgb[((size_t(j) * part.width) + size_t(i)) * 3 + k])
          return false;
  return true;
}

int WhiteIn(const draw::Image& sheet, int x, int y, int w, int h) {
  int n = 0;
  for (int j = y; j < y + h; ++j)
    for (int i = x; i < x + w; ++i) n += sheet.rgb[(size_t(j) * sheet.width + size_t(i)) * 3] > 200;
  return n;
}

TEST(ContactSheet, PlacesPicturesWithLabelsAndWrapsRows) {
  draw::Image window;
  ASSERT_TRUE(draw::RenderWindowPicture(MenuScene(), &window));
  draw::Image red = Solid(40, 30, 255, 0, 0);
  std::vector<draw::LabeledImage> pictures{{"Tray menu", window}, {"Red", red}};
  draw::Image sheet;
  ASSERT_TRUE(draw::ComposeContactSheet(pictures, &sheet));
  // One row: 16-pixel margins and gaps.
  EXPECT_EQ(sheet.width, 16 + window.width + 16 + 40 + 16);
  EXPECT_TRUE(SameAt(sheet, window, 16, 16));
  EXPECT_TRUE(SameAt(sheet, red, 16 + window.width + 16, 16));
  // The desktop colour between them, a label under each.
  EXPECT_EQ(sheet.rgb[(size_t(20) * sheet.width + size_t(16 + window.width + 8)) * 3 + 2], 165);
  EXPECT_GT(WhiteIn(sheet, 16, 16 + window.height, window.width, 18), 10);
  EXPECT_GT(WhiteIn(sheet, 16 + window.width + 16, 16 + 30, 40, 18), 5);

  // Narrow: the second picture starts a row of its own.
  draw::Image narrow;
  ASSERT_TRUE(draw::ComposeContactSheet(pictures, &narrow, window.width + 40));
  EXPECT_EQ(narrow.width, 16 + window.width + 16);
  EXPECT_GT(narrow.height, 16 + window.height + 16 + 30);
  int secondRow = narrow.height - 16 - 30 - 18;
  bool found = false;
  for (int y = 16 + window.height; y <= secondRow + 4 && !found; ++y) found = SameAt(narrow, red, 16, y);
  EXPECT_TRUE(found);
}

TEST(ContactSheet, RefusesNothingBrokenOrTooLarge) {
  draw::Image sheet;
  EXPECT_FALSE(draw::ComposeContactSheet({}, &sheet));
  draw::Image broken = Solid(4, 4, 1, 2, 3);
  broken.rgb.pop_back();
  EXPECT_FALSE(draw::ComposeContactSheet({{"broken", broken}}, &sheet));
  EXPECT_TRUE(sheet.rgb.empty());
  draw::Image tall = Solid(1, draw::kMaxPictureSide, 0, 0, 0);
  EXPECT_FALSE(draw::ComposeContactSheet({{"tall", tall}}, &sheet));
}

}  // namespace
}  // namespace draw_test
