// The tab control: a row of tabs over a raised display area, the selected
// tab two pixels taller and wider, joined to the area below it.
#include <algorithm>
#include <vector>

#include "platform/draw/controls.h"
#include "platform/draw/style_bits.h"

namespace draw {
namespace {

constexpr int kTabPadding = 6;  // each side of a caption
constexpr int kRowTop = 2;      // unselected tabs start this far down
constexpr int kScrollWidth = 16;

// One tab's outline: white left and top with a cut corner, dark and grey
// right side; the bottom is open (the display area's top line, or nothing
// for the selected tab).
void DrawTabOutline(cairo_t* cr, const Rect& tab) {
  FillRect(cr, Rect{tab.x + 1, tab.y + 1, tab.w - 2, tab.h - 1}, colors::kFace);
  VLine(cr, tab.x, tab.y + 2, tab.h - 2, colors::kHighlight);
  Pixel(cr, tab.x + 1, tab.y + 1, colors::kHighlight);
  HLine(cr, tab.x + 2, tab.y, tab.w - 4, colors::kHighlight);
  Pixel(cr, tab.right() - 2, tab.y + 1, colors::kDarkShadow);
  VLine(cr, tab.right() - 1, tab.y + 2, tab.h - 2, colors::kDarkShadow);
  VLine(cr, tab.right() - 2, tab.y + 2, tab.h - 2, colors::kShadow);
}

}  // namespace

void DrawTabControl(DrawContext& dc, const WindowNode& node, const Rect& client) {
  cairo_t* cr = dc.cr();
  FillRect(cr, client, colors::kFace);
  const ResolvedFont& font = dc.FontOf(node);
  bool enabled = IsEnabled(node);
  int tabHeight = font.lineHeight + 5;
  int areaTop = client.y + kRowTop + tabHeight;
  DrawEdge(cr, Rect{client.x, areaTop, client.w, client.bottom() - areaTop}, Edge::kRaisedSoft);

  // Lay the tabs out left to right.
  std::vector<Rect> tabs;
  int x = client.x + kRowTop;
  size_t count = std::min<size_t>(node.items.size(), 256);
  for (size_t i = 0; i < count; ++i) {
    int width = dc.text().Measure(font, dc.ItemText(node, int(i)), 0, 0).width + 2 * kTabPadding;
    tabs.push_back(Rect{x, client.y + kRowTop, width, tabHeight});
    x += width;
  }
  bool overflow = x > client.right() - kRowTop;
  int selected = (node.selected >= 0 && size_t(node.selected) < count) ? node.selected : -1;
  for (int i = 0; i < int(count); ++i) {
    if (i == selected) continue;
    DrawTabOutline(cr, tabs[i]);
    dc.text().DrawState(font, dc.ItemText(node, i), tabs[i], kTextCenter | kTextVCenter, enabled);
  }
  if (selected >= 0) {
    const Rect& t = tabs[selected];
    // Wider by two pixels each side, taller by two on top, and running one
    // row into the display area so that its top line disappears under it.
    Rect raised{t.x - 2, t.y - 2, t.w + 4, t.h + 3};
    DrawTabOutline(cr, raised);
    Rect label{raised.x, raised.y, raised.w, raised.h - 1};
    Rect used = dc.text().DrawState(font, dc.ItemText(node, selected), label, kTextCenter | kTextVCenter, enabled);
    if (node.focused) DrawFocusRect(cr, Rect{used.x - 2, used.y, used.w + 4, used.h}, colors::kBlack);
  }
  if (overflow) {
    // Tabs beyond the right edge scroll: the control shows a pair of arrows.
    int top = client.y + kRowTop;
    int arrowsX = client.right() - 2 * kScrollWidth;
    DrawArrowButton(cr, Rect{arrowsX, top, kScrollWidth, tabHeight - 2}, Arrow::kLeft, enabled);
    DrawArrowButton(cr, Rect{arrowsX + kScrollWidth, top, kScrollWidth, tabHeight - 2}, Arrow::kRight, enabled);
  }
}

}  // namespace draw
