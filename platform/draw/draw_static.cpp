// Static controls: text (left, centred, right, with or without word
// wrapping), the black, grey and white rectangles and frames, etched lines
// and frames, and icons.
#include "platform/draw/controls.h"
#include "platform/draw/style_bits.h"

namespace draw {
namespace {

using namespace styles;

unsigned StaticTextFlags(const WindowNode& node) {
  unsigned flags = 0;
  switch (node.style & SS_TYPEMASK) {
    case SS_CENTER: flags = kTextCenter | kTextWordBreak; break;
    case SS_RIGHT: flags = kTextRight | kTextWordBreak; break;
    case SS_SIMPLE:
    case SS_LEFTNOWORDWRAP: flags = kTextLeft; break;
    default: flags = kTextLeft | kTextWordBreak; break;
  }
  if (node.style & SS_NOPREFIX) flags |= kTextNoPrefix;
  if (node.style & SS_CENTERIMAGE) flags = (flags & ~unsigned(kTextWordBreak)) | kTextVCenter;
  switch (node.style & SS_ELLIPSISMASK) {
    case SS_ENDELLIPSIS:
    case SS_WORDELLIPSIS: flags = (flags & ~unsigned(kTextWordBreak)) | kTextEndEllipsis; break;
    case SS_PATHELLIPSIS: flags = (flags & ~unsigned(kTextWordBreak)) | kTextPathEllipsis; break;
    default: break;
  }
  return flags;
}

void DrawStaticIcon(DrawContext& dc, const WindowNode& node, const Rect& client) {
  bool own = node.iconWidth > 0 && node.iconHeight > 0 && !node.iconPixels.empty();
  int w = own ? node.iconWidth : 32, h = own ? node.iconHeight : 32;
  Rect at{client.x, client.y, w, h};
  if (node.style & SS_CENTERIMAGE) at = Rect{client.x + (client.w - w) / 2, client.y + (client.h - h) / 2, w, h};
  DrawIcon(dc.cr(), node, at);
}

}  // namespace

void DrawStatic(DrawContext& dc, const WindowNode& node, const Rect& client) {
  cairo_t* cr = dc.cr();
  uint32_t type = node.style & SS_TYPEMASK;
  switch (type) {
    case SS_BLACKRECT: FillRect(cr, client, colors::kBlack); return;
    case SS_GRAYRECT: FillRect(cr, client, colors::kShadow); return;
    case SS_WHITERECT: FillRect(cr, client, colors::kHighlight); return;
    case SS_BLACKFRAME: FrameRect(cr, client, colors::kBlack); return;
    case SS_GRAYFRAME: FrameRect(cr, client, colors::kShadow); return;
    case SS_WHITEFRAME: FrameRect(cr, client, colors::kHighlight); return;
    case SS_ETCHEDHORZ:
      HLine(cr, client.x, client.y, client.w, colors::kShadow);
      HLine(cr, client.x, client.y + 1, client.w, colors::kHighlight);
      return;
    case SS_ETCHEDVERT:
      VLine(cr, client.x, client.y, client.h, colors::kShadow);
      VLine(cr, client.x + 1, client.y, client.h, colors::kHighlight);
      return;
    case SS_ETCHEDFRAME: DrawEdge(cr, client, Edge::kEtched); return;
    default: break;
  }
  FillRect(cr, client, colors::kFace);
  if (type == SS_ICON) {
    DrawStaticIcon(dc, node, client);
    return;
  }
  bool isText = type == SS_LEFT || type == SS_CENTER || type == SS_RIGHT || type == SS_SIMPLE ||
                type == SS_LEFTNOWORDWRAP;
  if (!isText) return;  // bitmaps, metafiles and owner-drawn statics: only the face
  dc.text().DrawState(dc.FontOf(node), dc.TextOf(node), client, StaticTextFlags(node), IsEnabled(node));
}

}  // namespace draw
