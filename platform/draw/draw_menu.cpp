// Popup menus: a raised frame, entries with the check mark or radio dot in
// a column of their own, accelerator texts right-aligned after a tab,
// separators as etched lines, grey entries etched, the highlighted entry in
// the selection colour, and an arrow at entries that open a submenu.
#include <algorithm>

#include "platform/draw/controls.h"
#include "platform/draw/style_bits.h"

namespace draw {
namespace {

using namespace styles;

constexpr int kFrame = 3;           // raised edge and one pixel of face
constexpr int kCheckColumn = 17;    // left of the texts
constexpr int kArrowColumn = 17;    // right of the accelerators
constexpr int kSeparatorHeight = 9;

const char* const kRadioBullet[] = {".XXXX.", "XXXXXX", "XXXXXX", "XXXXXX", "XXXXXX", ".XXXX."};

int EntryHeight(const ResolvedFont& font, uint32_t state) {
  return (state & MF_SEPARATOR) ? kSeparatorHeight : std::max(font.lineHeight + 4, 17);
}

void DrawEntry(DrawContext& dc, const WindowNode& node, int index, uint32_t state, const Rect& row) {
  cairo_t* cr = dc.cr();
  if (state & MF_SEPARATOR) {
    int y = row.y + row.h / 2 - 1;
    HLine(cr, row.x + 1, y, row.w - 2, colors::kShadow);
    HLine(cr, row.x + 1, y + 1, row.w - 2, colors::kHighlight);
    return;
  }
  bool grey = (state & (MF_GRAYED | MF_DISABLED)) != 0;
  bool hilite = (state & MF_HILITE) != 0;
  if (hilite) FillRect(cr, row, colors::kSelection);
  Rgb ink = hilite ? (grey ? colors::kShadow : colors::kSelectionText) : colors::kText;
  bool etched = grey && !hilite;
  Rgb markColor = etched ? colors::kShadow : ink;
  Rect column{row.x, row.y, kCheckColumn, row.h};
  if ((state & MF_CHECKED) && (state & MFT_RADIOCHECK)) {
    DrawMask(cr, column.x + (column.w - 6) / 2, column.y + (column.h - 6) / 2, kRadioBullet, 6, markColor);
  } else if (state & MF_CHECKED) {
    DrawCheckMark(cr, column.x + (column.w - 7) / 2, column.y + (column.h - 7) / 2, markColor);
  }
  std::string text = dc.ItemText(node, index);
  std::string accelerator;
  size_t tab = text.find('\t');
  if (tab != std::string::npos) {
    accelerator = text.substr(tab + 1);
    text.resize(tab);
  }
  const ResolvedFont& font = dc.FontOf(node, (state & MF_DEFAULT) != 0);
  Rect label{row.x + kCheckColumn + 2, row.y, row.w - kCheckColumn - 2 - kArrowColumn, row.h};
  dc.text().DrawState(font, text, label, kTextVCenter, !etched, ink);
  if (!accelerator.empty())
    dc.text().DrawState(font, accelerator, label, kTextVCenter | kTextRight | kTextNoPrefix, !etched, ink);
  if (state & MF_POPUP) {
    Rect arrow{row.right() - kArrowColumn, row.y, kArrowColumn, row.h};
    if (etched) {
      DrawArrowState(cr, arrow, Arrow::kRight, 7, false);
    } else {
      DrawArrow(cr, arrow, Arrow::kRight, 7, ink);
    }
  }
}

}  // namespace

void DrawPopupMenu(DrawContext& dc, const WindowNode& node, const Rect& client) {
  cairo_t* cr = dc.cr();
  FillRect(cr, client, colors::kFace);
  DrawEdge(cr, client, Edge::kRaised);
  const ResolvedFont& font = dc.FontOf(node);
  Rect inside = client.Inset(kFrame);
  int y = inside.y;
  for (size_t i = 0; i < node.items.size() && y < inside.bottom(); ++i) {
    uint32_t state = i < node.itemStates.size() ? node.itemStates[i] : 0;
    int height = EntryHeight(font, state);
    DrawEntry(dc, node, int(i), state, Rect{inside.x, y, inside.w, height});
    y += height;
  }
}

}  // namespace draw
