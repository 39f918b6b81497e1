// The frame of a top-level window: the raised window edge, and for windows
// with a caption bar the blue gradient, the small icon, the bold white
// caption text and the caption buttons (close; minimise and maximise, or
// the help button, when the styles ask for them).
#include <algorithm>

#include "platform/draw/controls.h"
#include "platform/draw/style_bits.h"

namespace draw {
namespace {

using namespace styles;

// Metrics of the classic scheme at 96 dots per inch.
constexpr int kDefaultBorder = 3;         // SM_CXFIXEDFRAME
constexpr int kDefaultCaption = 19;       // SM_CYCAPTION, with its bottom line
constexpr int kMinimumCaption = 8;

const char* const kCloseGlyph[] = {
    "XX....XX", ".XX..XX.", "..XXXX..", "...XX...", "..XXXX..", ".XX..XX.", "XX....XX",
};
const char* const kMinimizeGlyph[] = {"XXXXXX", "XXXXXX"};
const char* const kMaximizeGlyph[] = {
    "XXXXXXXXX", "XXXXXXXXX", "X.......X", "X.......X", "X.......X", "X.......X", "X.......X", "X.......X", "XXXXXXXXX",
};
const char* const kHelpGlyph[] = {
    ".XXXX.", "XX..XX", "XX..XX", "...XX.", "..XX..", "..XX..", "......", "..XX..", "..XX..",
};

struct Glyph {
  const char* const* rows;
  int height;
  int width;
};

void DrawCaptionButton(cairo_t* cr, const Rect& r, const Glyph& glyph) {
  FillRect(cr, r, colors::kFace);
  DrawEdge(cr, r, Edge::kRaisedSoft);
  DrawMask(cr, r.x + (r.w - glyph.width) / 2, r.y + (r.h - glyph.height) / 2, glyph.rows, glyph.height, colors::kText);
}

// The gradient, one colour per column, from the left colour to the right.
void DrawGradient(cairo_t* cr, const Rect& r, Rgb left, Rgb right) {
  int span = std::max(1, r.w - 1);
  for (int i = 0; i < r.w; ++i) {
    auto mix = [&](uint8_t a, uint8_t b) { return uint8_t(a + (int(b) - int(a)) * i / span); };
    VLine(cr, r.x + i, r.y, r.h, Rgb{mix(left.r, right.r), mix(left.g, right.g), mix(left.b, right.b)});
  }
}

bool HasFrame(const WindowNode& node) {
  return (node.style & (WS_DLGFRAME | WS_THICKFRAME)) || (node.exStyle & WS_EX_DLGMODALFRAME) ||
         (node.className == "#32770" && (node.style & DS_MODALFRAME));
}

bool HasIcon(const WindowNode& node) { return node.iconId != 0 || !node.iconPixels.empty(); }

// Caption buttons from the right; returns where the caption text must end.
int DrawCaptionButtons(cairo_t* cr, const WindowNode& node, const Rect& bar) {
  int bw = bar.h - 2, bh = bar.h - 4;
  if (bw < 6 || bh < 6) return bar.right();
  int x = bar.right() - 2 - bw;
  int y = bar.y + 2;
  DrawCaptionButton(cr, Rect{x, y, bw, bh}, Glyph{kCloseGlyph, 7, 8});
  if (node.style & (WS_MINIMIZEBOX | WS_MAXIMIZEBOX)) {
    x -= 2 + bw;
    DrawCaptionButton(cr, Rect{x, y, bw, bh}, Glyph{kMaximizeGlyph, 9, 9});
    x -= bw;
    DrawCaptionButton(cr, Rect{x, y, bw, bh}, Glyph{kMinimizeGlyph, 2, 6});
  } else if (node.exStyle & WS_EX_CONTEXTHELP) {
    x -= 2 + bw;
    DrawCaptionButton(cr, Rect{x, y, bw, bh}, Glyph{kHelpGlyph, 9, 6});
  }
  return x - 2;
}

}  // namespace

Rect DrawWindowFrame(DrawContext& dc, const WindowNode& node, bool captionBar, bool active) {
  cairo_t* cr = dc.cr();
  Rect window{0, 0, node.width, node.height};
  FillRect(cr, window, colors::kFace);
  int border = node.clientX, top = node.clientY;
  if (border == 0 && top == 0) {
    // The window system gave no client offset: derive the usual one.
    border = (captionBar || HasFrame(node)) ? kDefaultBorder : (node.style & WS_BORDER) ? 1 : 0;
    top = border + (captionBar ? kDefaultCaption : 0);
  }
  if (border >= 2) {
    DrawEdge(cr, window, Edge::kRaised);
  } else if (border == 1) {
    FrameRect(cr, window, colors::kBlack);
  }
  Rect client{border, top, node.width - 2 * border, node.height - top - border};
  if (!captionBar) return client;

  Rect bar{border, border, node.width - 2 * border, top - border - 1};
  if (bar.h < kMinimumCaption || bar.w <= 0) return client;
  DrawGradient(cr, bar, active ? colors::kCaptionLeft : colors::kInactiveLeft,
               active ? colors::kCaptionRight : colors::kInactiveRight);
  int textLeft = bar.x + 2;
  if (HasIcon(node) && (node.style & WS_SYSMENU)) {
    int side = std::min(16, bar.h - 2);
    DrawIcon(cr, node, Rect{bar.x + 1, bar.y + (bar.h - side) / 2, side, side});
    textLeft += side + 1;
  }
  int textRight = DrawCaptionButtons(cr, node, bar);
  FontRequest request{"Tahoma", 8, true, dc.codePage()};
  const ResolvedFont& font = dc.text().Font(request);
  Rect label{textLeft, bar.y, textRight - textLeft, bar.h};
  dc.text().Draw(font, dc.TextOf(node), label, kTextVCenter | kTextNoPrefix | kTextEndEllipsis,
                 active ? colors::kHighlight : colors::kInactiveText);
  return client;
}

}  // namespace draw
