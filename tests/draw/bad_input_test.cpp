// Trees no window system should produce, and files that cannot be written:
// the drawing refuses what it cannot draw, draws everything else as well as
// it can, and never crashes, hangs or reads outside what it was given.
#include <gtest/gtest.h>

#include <climits>
#include <random>

#include "platform/draw/style_bits.h"
#include "platform/draw/window_draw.h"
#include "scenes.h"

namespace draw_test {
namespace {

using namespace draw::styles;

TEST(DrawBadInput, RefusesSizesItCannotDraw) {
  for (auto [w, h] : {std::pair{0, 10}, {10, 0}, {-5, 10}, {10, INT_MIN}, {draw::kMaxPictureSide + 1, 10},
                      {10, INT_MAX}}) {
    WindowPicture picture = Dialog("x", 10, 10);
    picture.root.width = w;
    picture.root.height = h;
    draw::Image image;
    image.width = 3;
    EXPECT_FALSE(draw::RenderWindowPicture(picture, &image)) << w << "x" << h;
    EXPECT_EQ(image.width, 0);
    EXPECT_TRUE(image.rgb.empty());
  }
  WindowPicture tiny = Dialog("x", 10, 10);
  tiny.root.width = tiny.root.height = 1;
  draw::Image image;
  EXPECT_TRUE(draw::RenderWindowPicture(tiny, &image));
  EXPECT_EQ(image.rgb.size(), 3u);
}

// Every control class with values from the far ends of their types.
WindowNode Wild(std::mt19937& rng, int depth) {
  static const char* kClasses[] = {"Button", "STATIC", "edit", "ListBox", "ComboBox", "ScrollBar",
                                   "msctls_trackbar32", "msctls_updown32", "msctls_progress32",
                                   "SysTabControl32", "#32768", "#32770", "NoSuchClass", ""};
  static const int kInts[] = {0, 1, -1, 2, 7, 13, 100, -100, 32767, 65536, INT_MAX, INT_MIN, INT_MAX - 1};
  auto anyInt = [&] { return kInts[rng() % (sizeof(kInts) / sizeof(kInts[0]))]; };
  WindowNode node;
  node.className = kClasses[rng() % (sizeof(kClasses) / sizeof(kClasses[0]))];
  node.style = rng();
  node.exStyle = rng();
  node.x = anyInt() % 300;
  node.y = anyInt() % 300;
  node.width = (rng() % 4) ? int(rng() % 400) : anyInt();
  node.height = (rng() % 4) ? int(rng() % 300) : anyInt();
  node.clientX = (rng() % 3) ? 0 : anyInt();
  node.clientY = (rng() % 3) ? 0 : anyInt();
  node.visible = rng() % 5 != 0;
  node.enabled = rng() % 2;
  node.focused = rng() % 2;
  node.pressed = rng() % 2;
  node.checkState = anyInt();
  node.rangeMin = anyInt();
  node.rangeMax = anyInt();
  node.position = anyInt();
  node.tickFrequency = anyInt();
  node.selectionStart = anyInt();
  node.selectionEnd = anyInt();
  node.selected = anyInt();
  node.topIndex = anyInt();
  node.fontFace = (rng() % 3) ? "" : std::string("\xFF\x80\x00z", 4);
  node.fontPointSize = anyInt();
  node.fontBold = rng() % 2;
  // Bytes invalid in every code page, a NUL in the middle, '&' at the end.
  node.text = std::string("A&\x81\xFF\x00hidden&", 10);
  for (int i = 0; i < int(rng() % 5); ++i) node.items.push_back(std::string("\x82\xA0&", 3));
  for (int i = 0; i < int(rng() % 3); ++i) node.itemStates.push_back(rng());
  node.iconId = (rng() % 2) ? 32513 + int(rng() % 6) : anyInt();
  node.iconWidth = anyInt();
  node.iconHeight = anyInt();
  if (rng() % 3 == 0) node.iconPixels.assign(rng() % 300, 0x80FF0000u);
  if (depth < 3)
    for (int i = 0; i < int(rng() % 6); ++i) node.children.push_back(Wild(rng, depth + 1));
  return node;
}

TEST(DrawBadInput, WildTreesDrawWithoutHarm) {
  std::mt19937 rng(20240607);
  for (int round = 0; round < 60; ++round) {
    WindowPicture picture;
    picture.root = Wild(rng, 0);
    picture.root.width = 1 + int(rng() % 300);
    picture.root.height = 1 + int(rng() % 200);
    picture.codePage = (round % 3 == 0) ? 932 : (round % 3 == 1) ? 12345 : 65001;
    picture.captionBar = rng() % 2;
    picture.active = rng() % 2;
    draw::Image image;
    ASSERT_TRUE(draw::RenderWindowPicture(picture, &image)) << "round " << round;
    EXPECT_EQ(image.rgb.size(), size_t(image.width) * size_t(image.height) * 3);
  }
}

TEST(DrawBadInput, HugeTreesAndTextsAreBounded) {
  WindowPicture picture = Dialog("x", 200, 100);
  // Deeper than anything real, and wider.
  WindowNode* at = &picture.root;
  for (int i = 0; i < 200; ++i) {
    at->children.push_back(Control("#32770", i, 0, 1, 1, 150, 80));
    at = &at->children.back();
  }
  for (int i = 0; i < 30000; ++i) picture.root.children.push_back(Control("Static", i, SS_LEFT, i % 200, 0, 10, 10, "x"));
  // A caption of a megabyte, a list of a hundred thousand items, a tab
  // control with thousands of tabs, a trackbar ticking every value of int.
  picture.root.text.assign(1 << 20, 'W');
  WindowNode list = Control("ListBox", 1, WS_VSCROLL, 0, 0, 100, 50);
  list.items.assign(100000, "item");
  list.topIndex = INT_MAX;
  picture.root.children.insert(picture.root.children.begin(), list);
  WindowNode tabs = Control("SysTabControl32", 2, 0, 0, 0, 200, 100);
  tabs.items.assign(5000, "Tab");
  picture.root.children.insert(picture.root.children.begin(), tabs);
  WindowNode track = Control("msctls_trackbar32", 3, TBS_AUTOTICKS, 0, 50, 200, 30);
  track.rangeMin = INT_MIN;
  track.rangeMax = INT_MAX;
  track.tickFrequency = 1;
  picture.root.children.insert(picture.root.children.begin(), track);
  // Controls far larger than the picture: what is drawn pixel by pixel
  // (halftones, dotted focus rectangles) is drawn only where it shows.
  for (const char* cls : {"ScrollBar", "Button", "msctls_trackbar32", "ListBox"}) {
    WindowNode giant = Control(cls, 4, WS_VSCROLL | BS_AUTO3STATE | BS_PUSHLIKE, -30000, -30000, 32767, 32767);
    giant.focused = true;
    giant.checkState = 2;
    giant.items.assign(10, "x");
    giant.rangeMax = 1 << 30;
    picture.root.children.insert(picture.root.children.begin(), giant);
  }
  draw::Image image;
  EXPECT_TRUE(draw::RenderWindowPicture(picture, &image));
}

TEST(DrawBadInput, FailedWritesSayWhereAndLeaveNoFile) {
  std::string error;
  draw::Image empty;
  EXPECT_FALSE(draw::WritePng(empty, ::testing::TempDir() + "never.png", &error));
  EXPECT_NE(error.find("never.png"), std::string::npos);
  draw::Image mismatched;
  mismatched.width = 4;
  mismatched.height = 4;
  mismatched.rgb.resize(5);
  EXPECT_FALSE(draw::WritePng(mismatched, ::testing::TempDir() + "never.png", &error));
  std::string missingDir = ::testing::TempDir() + "no/such/dir/picture.png";
  EXPECT_FALSE(draw::WriteWindowPng(Dialog("x", 10, 10), missingDir, &error));
  EXPECT_NE(error.find(missingDir), std::string::npos);
  WindowPicture zero = Dialog("x", 10, 10);
  zero.root.width = 0;
  EXPECT_FALSE(draw::WriteWindowPng(zero, ::testing::TempDir() + "zero.png", &error));
  EXPECT_NE(error.find("0x"), std::string::npos);
}

}  // namespace
}  // namespace draw_test
