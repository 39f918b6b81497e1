// The white fields: edit boxes, list boxes with their scroll bars, combo
// boxes (drop-down list, drop-down and simple), and scroll bar controls.
#include <algorithm>

#include "platform/draw/controls.h"
#include "platform/draw/style_bits.h"

namespace draw {
namespace {

using namespace styles;

constexpr int kScrollBarSize = 16;   // SM_CXVSCROLL
constexpr int kTextMargin = 2;       // edits and list items, from the border
// The colour a dotted focus rectangle takes on the selection colour: the
// system draws it by inverting the pixels beneath.
constexpr Rgb kFocusOnSelection{245, 219, 149};

int Utf8Length(const std::string& s) {
  int n = 0;
  for (unsigned char c : s) n += (c & 0xC0) != 0x80;
  return n;
}

// A single-line text field's text rectangle: the line centred vertically.
Rect LineBox(const Rect& field, int lineHeight) {
  return Rect{field.x, field.y + std::max(0, (field.h - lineHeight) / 2), field.w, lineHeight};
}

// The selected text of a focused drop-down list or drop-down combo: the
// selection colour behind the text, white text, the dotted focus rectangle.
void DrawSelectedLine(DrawContext& dc, const WindowNode& node, const std::string& text, const Rect& area) {
  const ResolvedFont& font = dc.FontOf(node);
  FillRect(dc.cr(), area, colors::kSelection);
  dc.text().Draw(font, text, LineBox(area.Inset(kTextMargin - 1, 0), font.lineHeight), kTextNoPrefix,
                 colors::kSelectionText);
  DrawFocusRect(dc.cr(), area, kFocusOnSelection);
}

// The items of a list box (or of a simple combo box's list) in `client`.
void DrawListContent(DrawContext& dc, const WindowNode& node, const Rect& client, bool focused) {
  cairo_t* cr = dc.cr();
  bool enabled = IsEnabled(node);
  FillRect(cr, client, enabled ? colors::kWindow : colors::kFace);
  const ResolvedFont& font = dc.FontOf(node);
  int itemHeight = std::max(1, font.lineHeight);
  int count = int(std::min<size_t>(node.items.size(), 1 << 30));
  int rows = std::max(1, client.h / itemHeight);
  bool overflow = count > rows;
  int top = std::clamp(node.topIndex, 0, std::max(0, count - rows));
  Rect area = client;
  if ((node.style & WS_VSCROLL) && (overflow || (node.style & LBS_DISABLENOSCROLL))) {
    area.w -= kScrollBarSize;
    DrawScrollBar(cr, Rect{area.right(), client.y, kScrollBarSize, client.h}, true, top, count, rows,
                  enabled && overflow);
  }
  // The system sizes a list box to whole items; only those are drawn unless
  // the style asks for partial ones.
  int shown = (node.style & LBS_NOINTEGRALHEIGHT) ? (area.h + itemHeight - 1) / itemHeight : rows;
  for (int row = 0; row < shown && top + row < count; ++row) {
    int index = top + row;
    Rect item{area.x, area.y + row * itemHeight, area.w, itemHeight};
    bool selected = index == node.selected && enabled;
    if (selected) FillRect(cr, item, colors::kSelection);
    Rgb color = !enabled ? colors::kShadow : selected ? colors::kSelectionText : colors::kText;
    dc.text().Draw(font, dc.ItemText(node, index), item.Inset(kTextMargin, 0), kTextNoPrefix, color);
    if (focused && index == node.selected) DrawFocusRect(cr, item, selected ? kFocusOnSelection : colors::kBlack);
  }
  if (focused && (node.selected < 0 || node.selected >= count))
    DrawFocusRect(cr, Rect{area.x, area.y, area.w, itemHeight}, colors::kBlack);
}

}  // namespace

void DrawScrollBar(cairo_t* cr, const Rect& r, bool vertical, int pos, int count, int page, bool enabled) {
  if (r.empty()) return;
  int length = vertical ? r.h : r.w;
  int thickness = vertical ? r.w : r.h;
  int arrow = std::min(thickness, length / 2);
  bool scrolls = enabled && count > page && page >= 0;
  Rect first = vertical ? Rect{r.x, r.y, r.w, arrow} : Rect{r.x, r.y, arrow, r.h};
  Rect second = vertical ? Rect{r.x, r.bottom() - arrow, r.w, arrow} : Rect{r.right() - arrow, r.y, arrow, r.h};
  DrawArrowButton(cr, first, vertical ? Arrow::kUp : Arrow::kLeft, scrolls);
  DrawArrowButton(cr, second, vertical ? Arrow::kDown : Arrow::kRight, scrolls);
  Rect track = vertical ? Rect{r.x, r.y + arrow, r.w, r.h - 2 * arrow} : Rect{r.x + arrow, r.y, r.w - 2 * arrow, r.h};
  FillChecker(cr, track, colors::kHighlight, colors::kFace);
  int trackLength = vertical ? track.h : track.w;
  if (!scrolls || trackLength < 8) return;
  int64_t span = int64_t(count) - page;
  int thumb = page > 0 ? int(std::max<int64_t>(8, int64_t(trackLength) * page / count)) : kScrollBarSize;
  thumb = std::min(thumb, trackLength);
  int64_t at = std::clamp<int64_t>(pos, 0, span);
  int offset = int((trackLength - thumb) * at / span);
  Rect knob = vertical ? Rect{track.x, track.y + offset, track.w, thumb} : Rect{track.x + offset, track.y, thumb, track.h};
  FillRect(cr, knob, colors::kFace);
  DrawEdge(cr, knob, Edge::kRaised);
}

void DrawScrollBarControl(DrawContext& dc, const WindowNode& node, const Rect& client) {
  int64_t count = int64_t(node.rangeMax) - node.rangeMin + 1;
  int64_t pos = int64_t(node.position) - node.rangeMin;
  count = std::clamp<int64_t>(count, 0, 1 << 30);
  DrawScrollBar(dc.cr(), client, (node.style & SBS_VERT) != 0, int(std::clamp<int64_t>(pos, 0, count)), int(count),
                0, IsEnabled(node));
}

void DrawEditControl(DrawContext& dc, const WindowNode& node, const Rect& client) {
  cairo_t* cr = dc.cr();
  bool enabled = IsEnabled(node);
  bool readOnly = (node.style & ES_READONLY) != 0;
  FillRect(cr, client, enabled && !readOnly ? colors::kWindow : colors::kFace);
  bool multiline = (node.style & ES_MULTILINE) != 0;
  Rect area = client;
  if (multiline && (node.style & WS_VSCROLL)) {
    area.w -= kScrollBarSize;
    DrawScrollBar(cr, Rect{area.right(), client.y, kScrollBarSize, client.h}, true, 0, 0, 0, enabled);
  }
  std::string text = dc.TextOf(node);
  if (node.style & ES_PASSWORD) text = std::string(size_t(Utf8Length(text)), '*');
  if (!multiline) std::replace_if(text.begin(), text.end(), [](char c) { return c == '\r' || c == '\n'; }, ' ');
  const ResolvedFont& font = dc.FontOf(node);
  unsigned flags = kTextNoPrefix;
  if ((node.style & 0x3) == ES_CENTER) flags |= kTextCenter;
  if ((node.style & 0x3) == ES_RIGHT) flags |= kTextRight;
  Rect box = area.Inset(kTextMargin, 0);
  if (multiline) {
    box = Rect{box.x, area.y + 1, box.w, area.h - 1};
    if (!(node.style & (WS_HSCROLL | ES_AUTOHSCROLL))) flags |= kTextWordBreak;
  } else {
    box = LineBox(box, font.lineHeight);
  }
  Rect used = dc.text().Draw(font, text, box, flags, enabled ? colors::kText : colors::kShadow);
  if (node.focused && enabled && !readOnly) {
    int caretX = text.empty() ? box.x : used.right();
    VLine(cr, std::min(caretX, area.right() - 1), used.bottom() - font.lineHeight, font.lineHeight, colors::kText);
  }
}

void DrawListBox(DrawContext& dc, const WindowNode& node, const Rect& client) {
  DrawListContent(dc, node, client, node.focused);
}

void DrawComboBox(DrawContext& dc, const WindowNode& node, const Rect& client) {
  cairo_t* cr = dc.cr();
  bool enabled = IsEnabled(node);
  const ResolvedFont& font = dc.FontOf(node);
  uint32_t kind = node.style & 0x3;
  // The window may carry the height of its dropped list; the closed field
  // is one line tall, as the system sizes it.
  int fieldHeight = std::min(client.h, font.lineHeight + 8);
  Rect field{client.x, client.y, client.w, fieldHeight};
  FillRect(cr, field, colors::kFace);
  Rect inside = DrawEdge(cr, field, Edge::kSunken);
  FillRect(cr, inside, enabled ? colors::kWindow : colors::kFace);
  Rect textArea = inside;
  if (kind != CBS_SIMPLE) {
    int buttonWidth = std::min(kScrollBarSize, inside.w);
    DrawArrowButton(cr, Rect{inside.right() - buttonWidth, inside.y, buttonWidth, inside.h}, Arrow::kDown, enabled);
    textArea.w -= buttonWidth;
  }
  std::string text = dc.TextOf(node);
  if (text.empty() && node.selected >= 0) text = dc.ItemText(node, node.selected);
  if (node.focused && enabled && kind == CBS_DROPDOWNLIST) {
    DrawSelectedLine(dc, node, text, textArea.Inset(1));
  } else {
    dc.text().Draw(font, text, LineBox(textArea.Inset(kTextMargin, 0), font.lineHeight), kTextNoPrefix,
                   enabled ? colors::kText : colors::kShadow);
  }
  if (kind == CBS_SIMPLE && client.h > fieldHeight) {
    Rect list{client.x, client.y + fieldHeight, client.w, client.h - fieldHeight};
    FillRect(cr, list, colors::kFace);
    DrawListContent(dc, node, DrawEdge(cr, list, Edge::kSunken), false);
  }
}

}  // namespace draw
