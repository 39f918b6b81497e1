// Buttons in the classic look: raised push buttons (the default one in an
// extra black frame), check boxes and radio buttons (a sunken white box or
// circle with the check mark or dot), push-like check boxes, group boxes.
#include <algorithm>

#include "platform/draw/controls.h"
#include "platform/draw/style_bits.h"

namespace draw {
namespace {

using namespace styles;

constexpr int kCheckBoxSize = 13;  // the check box glyph; radio circles are 12
constexpr int kCheckTextGap = 4;   // from the glyph to the text

// The radio circle: 'o' the outer ring, 'i' the inner ring, 'w' the inside.
// Each ring is shaded like an edge: its top-left half dark, its
// bottom-right half light, split along the diagonal.
const char* const kRadioCircle[] = {
    "....oooo....", "..ooiiiioo..", ".oiiwwwwiio.", ".oiwwwwwwio.", "oiwwwwwwwwio", "oiwwwwwwwwio",
    "oiwwwwwwwwio", "oiwwwwwwwwio", ".oiwwwwwwio.", ".oiiwwwwiio.", "..ooiiiioo..", "....oooo....",
};
const char* const kRadioDot[] = {".XX.", "XXXX", "XXXX", ".XX."};

bool IsCheckType(uint32_t type) {
  return type == BS_CHECKBOX || type == BS_AUTOCHECKBOX || type == BS_3STATE || type == BS_AUTO3STATE;
}
bool IsRadioType(uint32_t type) { return type == BS_RADIOBUTTON || type == BS_AUTORADIOBUTTON; }

// Horizontal text alignment from BS_LEFT / BS_RIGHT / BS_CENTER, with the
// class's own default when none is given.
unsigned HorizontalFlags(const WindowNode& node, unsigned fallback) {
  switch (node.style & BS_CENTER) {
    case BS_LEFT: return kTextLeft;
    case BS_RIGHT: return kTextRight;
    case BS_CENTER: return kTextCenter;
    default: return fallback;
  }
}

unsigned VerticalFlags(const WindowNode& node) {
  switch (node.style & BS_VCENTER) {
    case BS_TOP: return 0;
    case BS_BOTTOM: return kTextBottom;
    default: return kTextVCenter;
  }
}

unsigned LabelFlags(const WindowNode& node, unsigned horizontalDefault) {
  unsigned flags = HorizontalFlags(node, horizontalDefault) | VerticalFlags(node);
  if (node.style & BS_MULTILINE) flags |= kTextWordBreak;
  return flags;
}

void DrawPushButton(DrawContext& dc, const WindowNode& node, const Rect& client, bool down) {
  cairo_t* cr = dc.cr();
  uint32_t type = node.style & BS_TYPEMASK;
  bool isDefault = type == BS_DEFPUSHBUTTON || (type == BS_PUSHBUTTON && node.checkState == BST_CHECKED);
  bool pushLike = IsCheckType(type) || IsRadioType(type);
  FillRect(cr, client, colors::kFace);
  Rect r = client;
  if (isDefault || node.focused) {
    FrameRect(cr, r, colors::kBlack);
    r = r.Inset(1);
  }
  Rect inner;
  if (down && !pushLike) {
    // A button held down has the focus, so the black frame too, and only a
    // grey line inside it.
    if (!isDefault && !node.focused) {
      FrameRect(cr, r, colors::kBlack);
      r = r.Inset(1);
    }
    FrameRect(cr, r, colors::kShadow);
    inner = r.Inset(2);
  } else if (down) {
    inner = DrawEdge(cr, r, Edge::kSunken);
    if (node.checkState == BST_CHECKED) FillChecker(cr, inner, colors::kHighlight, colors::kFace);
  } else {
    inner = DrawEdge(cr, r, Edge::kRaisedSoft);
  }
  Rect label = inner.Inset(1);
  if (down) label = Rect{label.x + 1, label.y + 1, label.w, label.h};
  bool enabled = IsEnabled(node);
  if (node.style & (BS_ICON | BS_BITMAP)) {
    if (node.style & BS_ICON) DrawIcon(cr, node, Rect{label.x + (label.w - 32) / 2, label.y + (label.h - 32) / 2, 32, 32});
  } else {
    dc.text().DrawState(dc.FontOf(node), dc.TextOf(node), label, LabelFlags(node, kTextCenter), enabled);
  }
  if (node.focused) DrawFocusRect(cr, inner.Inset(1), colors::kBlack);
}

// The check box glyph at (x, y): box, then the mark for the state.
void DrawCheckGlyph(cairo_t* cr, int x, int y, int state, bool enabled) {
  Rect box{x, y, kCheckBoxSize, kCheckBoxSize};
  Rect inside = DrawEdge(cr, box, Edge::kSunken);
  if (state == BST_INDETERMINATE) {
    FillChecker(cr, inside, colors::kHighlight, colors::kFace);
  } else {
    FillRect(cr, inside, enabled ? colors::kWindow : colors::kFace);
  }
  if (state == BST_CHECKED || state == BST_INDETERMINATE) {
    Rgb mark = (enabled && state == BST_CHECKED) ? colors::kText : colors::kShadow;
    DrawCheckMark(cr, x + 3, y + 3, mark);
  }
}

void DrawRadioGlyph(cairo_t* cr, int x, int y, bool checked, bool enabled) {
  for (int row = 0; row < 12; ++row) {
    for (int col = 0; col < 12; ++col) {
      char c = kRadioCircle[row][col];
      bool topLeft = row + col < 11;
      if (c == 'o') Pixel(cr, x + col, y + row, topLeft ? colors::kShadow : colors::kHighlight);
      if (c == 'i') Pixel(cr, x + col, y + row, topLeft ? colors::kDarkShadow : colors::kFace);
      if (c == 'w') Pixel(cr, x + col, y + row, enabled ? colors::kWindow : colors::kFace);
    }
  }
  if (checked) DrawMask(cr, x + 4, y + 4, kRadioDot, 4, enabled ? colors::kText : colors::kShadow);
}

void DrawCheckLike(DrawContext& dc, const WindowNode& node, const Rect& client, bool radio) {
  cairo_t* cr = dc.cr();
  bool enabled = IsEnabled(node);
  bool boxRight = (node.style & BS_LEFTTEXT) != 0;
  int glyph = radio ? 12 : kCheckBoxSize;
  int glyphY = client.y + (client.h - glyph) / 2;
  if ((node.style & BS_VCENTER) == BS_TOP) glyphY = client.y;
  if ((node.style & BS_VCENTER) == BS_BOTTOM) glyphY = client.bottom() - glyph;
  int glyphX = boxRight ? client.right() - glyph : client.x;
  if (radio) {
    DrawRadioGlyph(cr, glyphX, glyphY, node.checkState == BST_CHECKED, enabled);
  } else {
    DrawCheckGlyph(cr, glyphX, glyphY, node.checkState, enabled);
  }
  int textSpace = kCheckBoxSize + kCheckTextGap;
  Rect label{boxRight ? client.x : client.x + textSpace, client.y, client.w - textSpace, client.h};
  unsigned flags = LabelFlags(node, kTextLeft);
  std::string text = dc.TextOf(node);
  if (text.empty()) return;
  Rect used = dc.text().DrawState(dc.FontOf(node), text, label, flags, enabled);
  if (node.focused) {
    // Around the text, one pixel out, inside the control.
    int left = std::max(used.x - 1, client.x), right = std::min(used.right() + 1, client.right());
    DrawFocusRect(cr, Rect{left, used.y, right - left, used.h}, colors::kBlack);
  }
}

void DrawGroupBox(DrawContext& dc, const WindowNode& node, const Rect& client) {
  cairo_t* cr = dc.cr();
  const ResolvedFont& font = dc.FontOf(node);
  std::string text = dc.TextOf(node);
  int top = client.y + font.lineHeight / 2;
  DrawEdge(cr, Rect{client.x, top, client.w, client.bottom() - top}, Edge::kEtched);
  if (text.empty()) return;
  constexpr int kIndent = 8;
  TextSize size = dc.text().Measure(font, text, 0, 0);
  int width = std::min(size.width, client.w - 2 * kIndent);
  int x = client.x + kIndent;
  unsigned align = HorizontalFlags(node, kTextLeft);
  if (align == kTextCenter) x = client.x + (client.w - width) / 2;
  if (align == kTextRight) x = client.right() - kIndent - width;
  // The caption breaks the top line: its background is the dialog face.
  FillRect(cr, Rect{x - 2, client.y, width + 4, font.lineHeight}, colors::kFace);
  dc.text().DrawState(font, text, Rect{x, client.y, width, font.lineHeight}, kTextEndEllipsis, IsEnabled(node));
}

}  // namespace

void DrawButton(DrawContext& dc, const WindowNode& node, const Rect& client) {
  uint32_t type = node.style & BS_TYPEMASK;
  if (type == BS_GROUPBOX) {
    DrawGroupBox(dc, node, client);
    return;
  }
  bool check = IsCheckType(type), radio = IsRadioType(type);
  if ((check || radio) && !(node.style & BS_PUSHLIKE)) {
    FillRect(dc.cr(), client, colors::kFace);
    DrawCheckLike(dc, node, client, radio);
    return;
  }
  if (type == BS_OWNERDRAW || type == BS_USERBUTTON) {
    // Its owner paints it; all that is known is the face it starts from.
    FillRect(dc.cr(), client, colors::kFace);
    return;
  }
  bool down = node.pressed || ((check || radio) && node.checkState != BST_UNCHECKED);
  DrawPushButton(dc, node, client, down);
}

}  // namespace draw
