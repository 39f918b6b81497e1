// Window text with pango: the dialog fonts replaced by free fonts of similar
// metrics, lines laid out as DrawText lays them out (a fixed line height from
// the dialog font, alignment, word breaks, mnemonic underlines), and the
// etched look of disabled text.
#pragma once

#include <pango/pangocairo.h>

#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <string>

#include "platform/draw/painter.h"

namespace draw {

// A dialog font as a window names it.
struct FontRequest {
  std::string face;    // UTF-8, or ANSI bytes in the code page
  int pointSize = 8;
  bool bold = false;
  uint32_t codePage = 1252;
  bool operator<(const FontRequest& o) const;
};

// A font ready for layout: the free families standing in for the face, the
// pixel size of the face at 96 dots per inch, and the line metrics DrawText
// would use. `fallback` off keeps pango to the first family alone (missing
// characters then show as boxes): tests compare both.
struct ResolvedFont {
  PangoFontDescription* description = nullptr;
  PangoLanguage* language = nullptr;
  int pixelSize = 11;
  int ascent = 10;      // baseline below the top of a line
  int lineHeight = 13;  // distance of line tops
  bool fallback = true;
};

// The free family that stands in for a Windows face, and whether its lines
// must fit the face's own line height (the sans serif dialog faces, whose
// 8-point text sits in 13-pixel lines: a wider stand-in is made smaller).
struct Substitute {
  std::string family;
  bool fitLines = false;
};
Substitute SubstituteFor(const std::string& faceUtf8);
// The pixel size of a point size at 96 dots per inch, rounded as the system
// rounds a font height (MulDiv(points, 96, 72)).
int PointsToPixels(int pointSize);

// DrawText-like flags.
enum TextFlags : unsigned {
  kTextLeft = 0,
  kTextCenter = 1,
  kTextRight = 2,
  kTextVCenter = 4,
  kTextBottom = 8,
  kTextWordBreak = 16,   // wrap at word ends to the box's width
  kTextNoPrefix = 32,    // '&' is an ordinary character
  kTextEndEllipsis = 64, // one line, cut with "..." when too long
  kTextPathEllipsis = 128,
};

struct TextSize {
  int width = 0;
  int height = 0;
};

// One drawing's text engine: a pango context with fixed options (grey
// antialiasing, slight hinting, whole-pixel metrics, 96 dots per inch,
// left-to-right), so that no setting of the machine changes a pixel. Text
// engines share one font map; one thread at a time holds engines (others
// wait), any number of them.
class TextEngine {
 public:
  explicit TextEngine(cairo_t* cr);
  ~TextEngine();
  TextEngine(const TextEngine&) = delete;
  TextEngine& operator=(const TextEngine&) = delete;

  // Resolved fonts are kept for the engine's life.
  const ResolvedFont& Font(const FontRequest& request, bool fallback = true);

  // The size the text takes (before alignment) in a box `wrapWidth` wide
  // (0 or less: no wrapping).
  TextSize Measure(const ResolvedFont& font, const std::string& utf8, unsigned flags, int wrapWidth);
  // Draws `utf8` in `box` as DrawText does and returns the rectangle the
  // text took (the focus rectangle is drawn around it).
  Rect Draw(const ResolvedFont& font, const std::string& utf8, const Rect& box, unsigned flags, Rgb color);
  // Enabled text in `color`; disabled text etched: white one pixel down and
  // right, then grey.
  Rect DrawState(const ResolvedFont& font, const std::string& utf8, const Rect& box, unsigned flags,
                 bool enabled, Rgb color = colors::kText);

 private:
  struct Layout;
  std::unique_ptr<Layout> Prepare(const ResolvedFont& font, const std::string& utf8, unsigned flags,
                                  int wrapWidth);

  static std::recursive_mutex& Lock();
  void LineMetrics(const std::string& family, int pixelSize, bool bold, int* ascent, int* lineHeight);

  std::lock_guard<std::recursive_mutex> hold_;
  cairo_t* cr_;
  PangoContext* context_;
  std::map<std::pair<FontRequest, bool>, ResolvedFont> fonts_;
};

// Window text as it is drawn: cut at the first NUL, decoded from the code
// page (1252 when the code page is unknown) to UTF-8.
std::string DecodeWindowText(uint32_t codePage, const std::string& ansi);

}  // namespace draw
