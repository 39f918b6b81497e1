// Window text: which free font stands in for which dialog face, the line
// height of dialog text, mnemonic underlines, and how window bytes become
// the characters drawn.
#include <gtest/gtest.h>

#include <string>

#include "platform/draw/surface.h"
#include "platform/draw/text.h"

namespace draw_test {
namespace {

std::string FamilyOf(draw::TextEngine& text, const draw::FontRequest& request) {
  return pango_font_description_get_family(text.Font(request).description);
}

TEST(DrawText, DialogFacesGetStandInsOfSimilarMetrics) {
  draw::Surface surface(8, 8);
  draw::TextEngine text(surface.cr());
  std::string sans = FamilyOf(text, {"MS Sans Serif", 8, false, 1252});
  EXPECT_TRUE(sans.rfind("Liberation Sans,", 0) == 0 || sans.rfind("DejaVu Sans,", 0) == 0) << sans;
  EXPECT_EQ(FamilyOf(text, {"ms shell dlg", 8, false, 1252}), sans);
  EXPECT_EQ(FamilyOf(text, {"Tahoma", 8, false, 1252}), sans);
  EXPECT_EQ(FamilyOf(text, {"Verdana", 9, false, 1252}).rfind("DejaVu Sans,", 0), 0u);
  // East Asian faces by their native names, in UTF-8 or in the code page's
  // own bytes, and the fallback of each code page after the Latin fonts.
  EXPECT_EQ(FamilyOf(text, {"\xE6\x96\xB0\xE7\xB4\xB0\xE6\x98\x8E\xE9\xAB\x94", 9, false, 950}),
            "Noto Sans CJK TC,DejaVu Sans,Noto Sans CJK TC");
  EXPECT_EQ(FamilyOf(text, {"\x82\x6C\x82\x72 \x82\x6F\x83\x53\x83\x56\x83\x62\x83\x4E", 9, false, 932}).substr(0, 16),
            "Noto Sans CJK JP");
  EXPECT_EQ(FamilyOf(text, {"Gulim", 9, false, 949}).substr(0, 16), "Noto Sans CJK KR");
  EXPECT_NE(FamilyOf(text, {"MS Sans Serif", 8, false, 936}).find("Noto Sans CJK SC"), std::string::npos);
  EXPECT_EQ(pango_font_description_get_family(text.Font({"Tahoma", 8, false, 932}, false).description), sans.substr(0, sans.find(',')));

  // 8-point dialog text in 13-pixel lines, 9-point in 14, as the system
  // lays them out; sizes follow 96 dots per inch.
  EXPECT_EQ(draw::PointsToPixels(8), 11);
  EXPECT_EQ(draw::PointsToPixels(9), 12);
  EXPECT_EQ(draw::PointsToPixels(-3), 1);
  EXPECT_EQ(draw::PointsToPixels(30000), 96);
  const draw::ResolvedFont& dialog = text.Font({"MS Sans Serif", 8, false, 1252});
  EXPECT_EQ(dialog.lineHeight, 13);
  EXPECT_GE(dialog.ascent, 9);
  EXPECT_LE(dialog.ascent, 11);
  EXPECT_LE(text.Font({"MS Shell Dlg", 9, false, 1252}).lineHeight, 14);
}

draw::Image DrawLine(const std::string& utf8, unsigned flags) {
  draw::Surface surface(60, 16);
  draw::FillRect(surface.cr(), draw::Rect{0, 0, 60, 16}, draw::colors::kFace);
  {
    draw::TextEngine text(surface.cr());
    text.Draw(text.Font({"MS Sans Serif", 8, false, 1252}), utf8, draw::Rect{0, 0, 60, 16}, flags,
              draw::colors::kText);
  }
  draw::Image image;
  surface.ToImage(&image);
  return image;
}

std::vector<int> DifferingRows(const draw::Image& a, const draw::Image& b) {
  std::vector<int> rows;
  for (int y = 0; y < a.height; ++y) {
    size_t row = size_t(y) * size_t(a.width) * 3;
    if (!std::equal(a.rgb.begin() + row, a.rgb.begin() + row + size_t(a.width) * 3, b.rgb.begin() + row)) rows.push_back(y);
  }
  return rows;
}

TEST(DrawText, MnemonicsUnderlineOneCharacter) {
  draw::Surface surface(8, 8);
  draw::TextEngine text(surface.cr());
  int baseline = text.Font({"MS Sans Serif", 8, false, 1252}).ascent;
  // "&Mirror" is "Mirror" with a line under the M, one pixel below the baseline.
  draw::Image plain = DrawLine("Mirror", 0), marked = DrawLine("&Mirror", 0);
  EXPECT_EQ(DifferingRows(plain, marked), std::vector<int>{baseline + 1});
  int dark = 0, firstDark = -1, lastDark = -1;
  for (int x = 0; x < marked.width; ++x) {
    if (marked.rgb[(size_t(baseline + 1) * marked.width + x) * 3] == 0) {
      ++dark;
      if (firstDark < 0) firstDark = x;
      lastDark = x;
    }
  }
  EXPECT_GE(dark, 5);
  EXPECT_EQ(lastDark - firstDark + 1, dark);  // one run, under the M only
  EXPECT_LT(lastDark, 14);
  // "&&" is an ampersand; with prefixes off '&' is drawn as it is.
  EXPECT_EQ(DrawLine("A&&B", 0).rgb, DrawLine("A&B", draw::kTextNoPrefix).rgb);
  EXPECT_EQ(DrawLine("Exit&", 0).rgb, DrawLine("Exit", 0).rgb);
  EXPECT_NE(DrawLine("&Exit", draw::kTextNoPrefix).rgb, DrawLine("Exit", 0).rgb);
}

TEST(DrawText, WindowBytesDecodeInTheirCodePage) {
  EXPECT_EQ(draw::DecodeWindowText(1252, "Caf\xE9"), "Caf\xC3\xA9");
  EXPECT_EQ(draw::DecodeWindowText(932, "\x83\x4A\x83\x81\x83\x89"), "\xE3\x82\xAB\xE3\x83\xA1\xE3\x83\xA9");
  // Text ends at the first NUL, as window text does.
  EXPECT_EQ(draw::DecodeWindowText(1252, std::string("ab\0cd", 5)), "ab");
  // An unknown code page reads as Western European rather than as nothing.
  EXPECT_EQ(draw::DecodeWindowText(4242, "Caf\xE9"), "Caf\xC3\xA9");
  // A lead byte without its trail byte becomes a replacement character.
  EXPECT_EQ(draw::DecodeWindowText(932, "A\x83"), "A\xEF\xBF\xBD");
}

}  // namespace
}  // namespace draw_test
