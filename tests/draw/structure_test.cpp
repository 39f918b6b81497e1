// Pixels that prove the structure of a drawing: what is checked is dark,
// what is hidden is absent, children stay inside their parents, the top of
// the z order wins, CJK captions show their own glyphs and not the boxes of
// missing characters, and the same tree always gives the same bytes.
#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <iterator>
#include <sstream>

#include "platform/draw/style_bits.h"
#include "platform/draw/surface.h"
#include "platform/draw/text.h"
#include "platform/draw/window_draw.h"
#include "scenes.h"

namespace draw_test {
namespace {

using namespace draw::styles;

struct Px {
  int r, g, b;
  bool operator==(const Px& o) const { return r == o.r && g == o.g && b == o.b; }
  bool operator!=(const Px& o) const { return !(*this == o); }
};
std::ostream& operator<<(std::ostream& os, const Px& p) { return os << "(" << p.r << "," << p.g << "," << p.b << ")"; }

const Px kFace{212, 208, 200};
const Px kWhite{255, 255, 255};
const Px kBlack{0, 0, 0};

Px At(const draw::Image& image, int x, int y) {
  const uint8_t* p = &image.rgb[(size_t(y) * size_t(image.width) + size_t(x)) * 3];
  return Px{p[0], p[1], p[2]};
}

bool Dark(const Px& p) { return p.r < 80 && p.g < 80 && p.b < 80; }

int CountIn(const draw::Image& image, int x, int y, int w, int h, bool (*pred)(const Px&)) {
  int n = 0;
  for (int j = y; j < y + h; ++j)
    for (int i = x; i < x + w; ++i) n += pred(At(image, i, j));
  return n;
}

// A frameless top-level window: children start at its corner.
WindowPicture Bare(int width, int height) {
  WindowPicture picture;
  picture.captionBar = false;
  picture.root.className = "#32770";
  picture.root.style = WS_VISIBLE;
  picture.root.width = width;
  picture.root.height = height;
  return picture;
}

draw::Image Render(const WindowPicture& picture) {
  draw::Image image;
  EXPECT_TRUE(draw::RenderWindowPicture(picture, &image));
  return image;
}

TEST(DrawStructure, CheckStatesHiddenWindowsAndButtonFrames) {
  WindowPicture scene = ControlsScene();
  draw::Image image = Render(scene);
  ASSERT_EQ(image.width, scene.root.width);
  ASSERT_EQ(image.height, scene.root.height);

  // The checked box has its mark in the middle of the white box; the
  // unchecked one above it is white there.
  int x = 0, y = 0;
  const WindowNode* checked = FindNode(scene.root, kCheckedBoxId, &x, &y);
  ASSERT_NE(checked, nullptr);
  int boxY = y + (checked->height - 13) / 2;
  EXPECT_GE(CountIn(image, x + 3, boxY + 3, 7, 7, Dark), 15);
  EXPECT_TRUE(Dark(At(image, x + 6, boxY + 6)));
  const WindowNode* unchecked = FindNode(scene.root, 1100, &x, &y);
  ASSERT_NE(unchecked, nullptr);
  boxY = y + (unchecked->height - 13) / 2;
  EXPECT_EQ(CountIn(image, x + 3, boxY + 3, 7, 7, Dark), 0);
  EXPECT_EQ(At(image, x + 6, boxY + 6), kWhite);

  // The hidden edit leaves only the dialog face, and drawing the tree
  // without it gives the same picture.
  const WindowNode* hidden = FindNode(scene.root, kHiddenEditId, &x, &y);
  ASSERT_NE(hidden, nullptr);
  for (int j = y; j < y + hidden->height; ++j)
    for (int i = x; i < x + hidden->width; ++i) ASSERT_EQ(At(image, i, j), kFace) << i << "," << j;
  WindowPicture without = scene;
  auto& kids = without.root.children;
  kids.erase(std::remove_if(kids.begin(), kids.end(), [](const WindowNode& n) { return n.id == kHiddenEditId; }),
             kids.end());
  EXPECT_EQ(Render(without).rgb, image.rgb);

  // The default button sits in a black frame; a plain one starts with its
  // white top-left line and ends with the dark bottom-right one.
  FindNode(scene.root, 1, &x, &y);
  EXPECT_EQ(At(image, x, y), kBlack);
  EXPECT_EQ(At(image, x + 1, y + 1), kWhite);
  const WindowNode* cancel = FindNode(scene.root, 2, &x, &y);
  EXPECT_EQ(At(image, x, y), kWhite);
  EXPECT_EQ(At(image, x + cancel->width - 1, y + cancel->height - 1), (Px{64, 64, 64}));

  // Disabled text is etched: white and grey, no black.
  const WindowNode* label = FindNode(scene.root, 1203, &x, &y);
  EXPECT_EQ(CountIn(image, x, y, label->width, label->height, Dark), 0);
  EXPECT_GT(CountIn(image, x, y, label->width, label->height, [](const Px& p) { return p.r > 230; }), 10);
}

TEST(DrawStructure, CaptionBarFrameAndActivity) {
  WindowPicture picture = Dialog("Title", 100, 40);
  draw::Image active = Render(picture);
  // Frame: the outer ring's bottom-right is the dark shadow, the inner ring's
  // top-left white.
  EXPECT_EQ(At(active, active.width - 1, active.height - 1), (Px{64, 64, 64}));
  EXPECT_EQ(At(active, 1, 1), kWhite);
  // Gradient from the caption's dark blue at the left to light blue on the
  // right (past the close button).
  EXPECT_EQ(At(active, 3, 4), (Px{10, 36, 106}));
  Px right = At(active, active.width - 4, 4);
  EXPECT_GT(right.b, 200);
  // White caption text on the left part of the bar.
  EXPECT_GT(CountIn(active, 3, 3, 40, 18, [](const Px& p) { return p.r > 200 && p.g > 200 && p.b > 200; }), 10);
  picture.active = false;
  draw::Image inactive = Render(picture);
  EXPECT_EQ(At(inactive, 3, 4), (Px{128, 128, 128}));
  // Without a caption bar the client area reaches up to the frame.
  picture.captionBar = false;
  picture.root.clientY = 3;
  draw::Image bare = Render(picture);
  EXPECT_EQ(At(bare, 5, 5), kFace);
}

TEST(DrawStructure, ChildrenClipToTheirParentAndTheTopOfTheZOrderWins) {
  WindowPicture picture = Bare(100, 100);
  WindowNode page = Control("#32770", 0, 0, 20, 20, 40, 40);
  page.children.push_back(Control("Static", 1, SS_BLACKRECT, -50, -50, 500, 500));
  picture.root.children.push_back(page);
  // Two overlapping rectangles: the first child is on top.
  picture.root.children.insert(picture.root.children.begin(), Control("Static", 2, SS_WHITERECT, 70, 70, 20, 20));
  picture.root.children.push_back(Control("Static", 3, SS_BLACKRECT, 60, 60, 20, 20));
  draw::Image image = Render(picture);
  EXPECT_EQ(At(image, 20, 20), kBlack);
  EXPECT_EQ(At(image, 59, 59), kBlack);
  EXPECT_EQ(At(image, 19, 19), kFace);
  EXPECT_EQ(At(image, 60, 30), kFace);
  EXPECT_EQ(At(image, 65, 65), kBlack);
  EXPECT_EQ(At(image, 75, 75), kWhite);
}

TEST(DrawStructure, RangesFollowTheirPositions) {
  WindowPicture picture = Bare(200, 60);
  WindowNode bar = Control("msctls_progress32", 1, PBS_SMOOTH, 0, 0, 102, 12);
  bar.rangeMin = 100;
  bar.rangeMax = 200;
  bar.position = 150;
  picture.root.children.push_back(bar);
  draw::Image half = Render(picture);
  // Inside the 1-pixel border and 1-pixel gap: 98 pixels, half of them blue.
  auto blue = [](const Px& p) { return p == Px{10, 36, 106}; };
  EXPECT_EQ(CountIn(half, 2, 5, 98, 1, blue), 49);
  picture.root.children[0].position = 1000;  // past the end: full
  EXPECT_EQ(CountIn(Render(picture), 2, 5, 98, 1, blue), 98);
  picture.root.children[0].position = -5;  // before the start: empty
  EXPECT_EQ(CountIn(Render(picture), 2, 5, 98, 1, blue), 0);
  picture.root.children[0].rangeMax = 100;  // an empty range: nothing, no division by zero
  EXPECT_EQ(CountIn(Render(picture), 2, 5, 98, 1, blue), 0);

  // A trackbar's thumb covers the channel where its position is.
  WindowNode track = Control("msctls_trackbar32", 2, TBS_NOTICKS | TBS_BOTH, 0, 20, 200, 30);
  track.rangeMax = 10;
  track.position = 0;
  picture.root.children = {track};
  draw::Image left = Render(picture);
  picture.root.children[0].position = 10;
  draw::Image right = Render(picture);
  int channelRow = 20 + 15;
  EXPECT_EQ(At(left, 10, channelRow), kFace);    // under the thumb
  EXPECT_NE(At(right, 10, channelRow), kFace);   // the bare channel
  EXPECT_EQ(At(right, 189, channelRow), kFace);
  EXPECT_NE(At(left, 189, channelRow), kFace);
}

// The string drawn alone with the window's font, with or without the
// fallback to fonts that have the characters.
draw::Image DrawString(const std::string& utf8, const draw::FontRequest& request, bool fallback, int w, int h) {
  draw::Surface surface(w, h);
  draw::FillRect(surface.cr(), draw::Rect{0, 0, w, h}, draw::colors::kFace);
  {
    draw::TextEngine text(surface.cr());
    text.Draw(text.Font(request, fallback), utf8, draw::Rect{0, 0, w, h}, 0, draw::colors::kText);
  }
  draw::Image image;
  EXPECT_TRUE(surface.ToImage(&image));
  return image;
}

int Differing(const draw::Image& a, const draw::Image& b) {
  int n = 0;
  for (size_t i = 0; i < a.rgb.size(); i += 3)
    n += a.rgb[i] != b.rgb[i] || a.rgb[i + 1] != b.rgb[i + 1] || a.rgb[i + 2] != b.rgb[i + 2];
  return n;
}

draw::Image Crop(const draw::Image& image, int x, int y, int w, int h) {
  draw::Image out;
  out.width = w;
  out.height = h;
  for (int j = 0; j < h; ++j)
    for (int i = 0; i < w; ++i) {
      Px p = At(image, x + i, y + j);
      out.rgb.insert(out.rgb.end(), {uint8_t(p.r), uint8_t(p.g), uint8_t(p.b)});
    }
  return out;
}

TEST(DrawStructure, CjkLabelsShowTheirGlyphsNotMissingCharacterBoxes) {
  // The labels in the dialogs' own CJK faces, and the same labels in a
  // Latin dialog font, where the CJK glyphs come from the fallback font.
  struct Case {
    WindowPicture (*scene)();
    const char* utf8;
    bool latinFont;
  } cases[] = {{JapaneseScene, "\xE6\x98\x8E\xE3\x82\x8B\xE3\x81\x95", false},
               {JapaneseScene, "\xE6\x98\x8E\xE3\x82\x8B\xE3\x81\x95", true},
               {KoreanScene, "\xEB\xB0\x9D\xEA\xB8\xB0", false},
               {KoreanScene, "\xEB\xB0\x9D\xEA\xB8\xB0", true}};
  for (const Case& c : cases) {
    WindowPicture scene = c.scene();
    if (c.latinFont) scene.root.fontFace = "MS Sans Serif";
    draw::Image image = Render(scene);
    int x = 0, y = 0;
    const WindowNode* label = FindNode(scene.root, kCaptionTextId, &x, &y);
    ASSERT_NE(label, nullptr);
    draw::Image drawn = Crop(image, x, y, label->width, label->height);
    draw::FontRequest font{scene.root.fontFace, scene.root.fontPointSize, false, scene.codePage};
    draw::FontRequest dejaVuOnly{"Verdana", scene.root.fontPointSize, false, scene.codePage};
    draw::Image withFallback = DrawString(c.utf8, font, true, label->width, label->height);
    draw::Image boxes = DrawString(c.utf8, dejaVuOnly, false, label->width, label->height);
    // The window shows the decoded text in a font that has its glyphs...
    EXPECT_EQ(Differing(drawn, withFallback), 0) << c.utf8 << " " << c.latinFont;
    EXPECT_GT(CountIn(drawn, 0, 0, drawn.width, drawn.height, Dark), 20) << c.utf8;
    // ...which is not what DejaVu alone draws (boxes with hex digits).
    EXPECT_GT(Differing(drawn, boxes), 60) << c.utf8 << " " << c.latinFont;
  }
}

std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

TEST(DrawStructure, SameTreeSameBytes) {
  std::string error;
  std::string first = ::testing::TempDir() + "draw_same_1.png", second = ::testing::TempDir() + "draw_same_2.png";
  ASSERT_TRUE(draw::WriteWindowPng(SheetScene(), first, &error)) << error;
  ASSERT_TRUE(draw::WriteWindowPng(SheetScene(), second, &error)) << error;
  std::string a = ReadFile(first), b = ReadFile(second);
  EXPECT_GT(a.size(), 1000u);
  EXPECT_EQ(a, b);
  std::remove(first.c_str());
  std::remove(second.c_str());
}

}  // namespace
}  // namespace draw_test
