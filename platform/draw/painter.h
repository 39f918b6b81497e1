// Pixel-exact drawing primitives of the classic look over a cairo context:
// filled rectangles, the two-colour 3-D edges of DrawEdge, dotted focus
// rectangles and small glyphs given as character masks. Coordinates are
// whole pixels; shapes are drawn without antialiasing.
#pragma once

#include <cairo.h>

#include <cstdint>

namespace draw {

struct Rgb {
  uint8_t r = 0, g = 0, b = 0;
};

struct Rect {
  int x = 0, y = 0, w = 0, h = 0;
  int right() const { return x + w; }
  int bottom() const { return y + h; }
  bool empty() const { return w <= 0 || h <= 0; }
  Rect Inset(int d) const { return Rect{x + d, y + d, w - 2 * d, h - 2 * d}; }
  Rect Inset(int dx, int dy) const { return Rect{x + dx, y + dy, w - 2 * dx, h - 2 * dy}; }
};

// The system colours of the classic scheme.
namespace colors {
constexpr Rgb kFace{212, 208, 200};        // COLOR_3DFACE, COLOR_3DLIGHT
constexpr Rgb kHighlight{255, 255, 255};   // COLOR_3DHILIGHT
constexpr Rgb kShadow{128, 128, 128};      // COLOR_3DSHADOW, COLOR_GRAYTEXT
constexpr Rgb kDarkShadow{64, 64, 64};     // COLOR_3DDKSHADOW
constexpr Rgb kWindow{255, 255, 255};      // COLOR_WINDOW
constexpr Rgb kText{0, 0, 0};              // COLOR_WINDOWTEXT, COLOR_BTNTEXT
constexpr Rgb kSelection{10, 36, 106};     // COLOR_HIGHLIGHT
constexpr Rgb kSelectionText{255, 255, 255};
constexpr Rgb kCaptionLeft{10, 36, 106};   // COLOR_ACTIVECAPTION
constexpr Rgb kCaptionRight{166, 202, 240};  // COLOR_GRADIENTACTIVECAPTION
constexpr Rgb kInactiveLeft{128, 128, 128};
constexpr Rgb kInactiveRight{192, 192, 192};
constexpr Rgb kInactiveText{212, 208, 200};
constexpr Rgb kDesktop{58, 110, 165};      // COLOR_DESKTOP
constexpr Rgb kBlack{0, 0, 0};
}  // namespace colors

// The 3-D edges of DrawEdge: each ring is one pixel wide; the top-left
// colour takes the top row and left column, the bottom-right colour the
// bottom row and right column including both far corners.
enum class Edge {
  kRaised,        // EDGE_RAISED: window frames, menus
  kRaisedSoft,    // EDGE_RAISED | BF_SOFT: push buttons, caption buttons, tabs
  kSunken,        // EDGE_SUNKEN: client edges of edits, lists, check boxes
  kEtched,        // EDGE_ETCHED: group boxes, etched frames
  kSunkenOuter,   // BDR_SUNKENOUTER alone: WS_EX_STATICEDGE, progress bars
};

void FillRect(cairo_t* cr, const Rect& r, Rgb color);
void HLine(cairo_t* cr, int x, int y, int length, Rgb color);
void VLine(cairo_t* cr, int x, int y, int length, Rgb color);
void Pixel(cairo_t* cr, int x, int y, Rgb color);
// One ring of an edge; the rectangle inside it is left alone.
void DrawRing(cairo_t* cr, const Rect& r, Rgb topLeft, Rgb bottomRight);
// Draws the edge and returns the rectangle inside it.
Rect DrawEdge(cairo_t* cr, const Rect& r, Edge edge);
// A one-pixel frame in one colour.
void FrameRect(cairo_t* cr, const Rect& r, Rgb color);
// The dotted focus rectangle: every other pixel, in step with the picture's
// own pixel grid as the system's pattern brush is with the screen's.
void DrawFocusRect(cairo_t* cr, const Rect& r, Rgb color);
// The 50% checker of the system's halftone brush (scroll-bar tracks,
// indeterminate check boxes), in step with the picture's pixel grid.
void FillChecker(cairo_t* cr, const Rect& r, Rgb first, Rgb second);

// A small glyph drawn from rows of characters: each character names a
// colour from `palette` (by its index in `keys`); '.' and unknown keys are
// left transparent.
void DrawMask(cairo_t* cr, int x, int y, const char* const* rows, int rowCount, const char* keys,
              const Rgb* palette);
// Same, with every key in one colour.
void DrawMask(cairo_t* cr, int x, int y, const char* const* rows, int rowCount, Rgb color);

// Arrow glyphs of scroll bars, combo boxes, up-down controls and menus.
enum class Arrow { kUp, kDown, kLeft, kRight };
// A filled triangle of `size` pixels at its base (made odd), centred in `r`.
void DrawArrow(cairo_t* cr, const Rect& r, Arrow arrow, int size, Rgb color);
// The same arrow etched: in white one pixel down and right, then in shadow
// grey, as disabled arrows are drawn.
void DrawArrowState(cairo_t* cr, const Rect& r, Arrow arrow, int size, bool enabled);

// The 7 x 7 check mark of check boxes and menus, its top-left corner at (x, y).
void DrawCheckMark(cairo_t* cr, int x, int y, Rgb color);

// A raised button with an arrow, as scroll bars, combo boxes and up-down
// controls show them; the arrow's size follows the button's.
void DrawArrowButton(cairo_t* cr, const Rect& r, Arrow arrow, bool enabled);

// The whole-pixel translation the cairo context currently applies, which
// the pixel patterns use to stay in step with the picture's grid.
void DeviceOffset(cairo_t* cr, int* dx, int* dy);

}  // namespace draw
