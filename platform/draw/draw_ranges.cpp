// The range controls: trackbars (channel, thumb pointing at the ticks, tick
// marks by frequency), up-down controls (two arrow buttons) and progress
// bars (blocks or a smooth bar).
#include <algorithm>
#include <cstdlib>

#include "platform/draw/controls.h"
#include "platform/draw/style_bits.h"

namespace draw {
namespace {

using namespace styles;

constexpr int kThumbWidth = 11;   // along the channel
constexpr int kMaxThumbLength = 21;
constexpr int kTickSpace = 4;     // a 3-pixel tick and a 1-pixel gap
constexpr int kChannelMargin = 3; // channel ends beyond the thumb's travel

// Maps a value of [lo, hi] to a pixel of [a, b]; a range of one value (or a
// reversed one) puts everything at a.
int ValueToPixel(int64_t value, int64_t lo, int64_t hi, int a, int b) {
  if (hi <= lo || b <= a) return a;
  value = std::clamp(value, lo, hi);
  return a + int((value - lo) * (b - a) / (hi - lo));
}

// Trackbar geometry in its own frame: `along` runs with the channel,
// `across` over it. Drawing maps (along, across) to (x, y) or (y, x).
struct TrackFrame {
  bool vertical = false;
  Rect client;
  Rect ToRect(int along, int across, int alongLen, int acrossLen) const {
    return vertical ? Rect{client.x + across, client.y + along, acrossLen, alongLen}
                    : Rect{client.x + along, client.y + across, alongLen, acrossLen};
  }
};

// The thumb as a shape: a rectangle, or a body with a tip of kThumbWidth/2
// rows pointing at the ticks. Its edges are lit like any raised edge: the
// pixels whose top or left neighbour lies outside are white, those whose
// bottom or right neighbour lies outside are dark, the ring inside those
// grey, whichever way the tip points.
struct ThumbShape {
  int length = 0;        // across
  int tip = 0;           // rows of the tip, 0 for a rectangle
  bool tipForward = true;  // the tip at the far side (bottom or right)
  bool Inside(int along, int across) const {
    if (along < 0 || along >= kThumbWidth || across < 0 || across >= length) return false;
    int fromTip = tipForward ? length - 1 - across : across;
    if (fromTip >= tip) return true;
    int half = kThumbWidth / 2;
    return std::abs(along - half) <= fromTip;
  }
};

void DrawThumb(cairo_t* cr, const TrackFrame& frame, const ThumbShape& shape, int along0, int across0, bool enabled) {
  auto inside = [&](int x, int y) {
    // (x, y) are picture-aligned offsets from the thumb's corner.
    return frame.vertical ? shape.Inside(y, x) : shape.Inside(x, y);
  };
  int w = frame.vertical ? shape.length : kThumbWidth, h = frame.vertical ? kThumbWidth : shape.length;
  Rect box = frame.ToRect(along0, across0, kThumbWidth, shape.length);
  for (int y = 0; y < h; ++y) {
    for (int x = 0; x < w; ++x) {
      if (!inside(x, y)) continue;
      Rgb color = colors::kFace;
      if (!inside(x + 1, y) || !inside(x, y + 1)) {
        color = colors::kDarkShadow;
      } else if (!inside(x - 1, y) || !inside(x, y - 1)) {
        color = colors::kHighlight;
      } else if (!inside(x + 2, y) || !inside(x, y + 2) || !inside(x + 1, y + 1)) {
        color = colors::kShadow;
      } else if (!enabled && ((x + y) & 1)) {
        color = colors::kHighlight;  // the disabled thumb's halftone
      }
      Pixel(cr, box.x + x, box.y + y, color);
    }
  }
}

void DrawTicks(cairo_t* cr, const TrackFrame& frame, const WindowNode& node, int a, int b, int across) {
  int64_t lo = node.rangeMin, hi = node.rangeMax;
  auto tick = [&](int64_t value) {
    Rect mark = frame.ToRect(ValueToPixel(value, lo, hi, a, b), across, 1, kTickSpace - 1);
    FillRect(cr, mark, colors::kText);
  };
  tick(lo);
  if (hi > lo) tick(hi);
  if (!(node.style & TBS_AUTOTICKS) || hi <= lo) return;
  // Ticks closer than two pixels would merge; thin them as the span needs.
  int64_t frequency = std::max(1, node.tickFrequency);
  int64_t count = (hi - lo) / frequency;
  int64_t stride = std::max<int64_t>(1, count * 2 / std::max(1, b - a) + 1);
  for (int64_t i = stride; i < count + 1; i += stride) {
    int64_t value = lo + i * frequency;
    if (value < hi) tick(value);
  }
}

}  // namespace

void DrawTrackbar(DrawContext& dc, const WindowNode& node, const Rect& client) {
  cairo_t* cr = dc.cr();
  FillRect(cr, client, colors::kFace);
  TrackFrame frame{(node.style & TBS_VERT) != 0, client};
  int length = frame.vertical ? client.h : client.w;
  int thickness = frame.vertical ? client.w : client.h;
  bool both = (node.style & TBS_BOTH) != 0;
  bool ticksBefore = !(node.style & TBS_NOTICKS) && (both || (node.style & TBS_TOP));
  bool ticksAfter = !(node.style & TBS_NOTICKS) && (both || !(node.style & TBS_TOP));
  int tickRoom = (ticksBefore ? kTickSpace : 0) + (ticksAfter ? kTickSpace : 0);

  ThumbShape shape;
  shape.length = std::clamp(thickness - 4 - tickRoom, 6, kMaxThumbLength);
  shape.tip = both ? 0 : kThumbWidth / 2;
  shape.tipForward = !(node.style & TBS_TOP);
  int blockStart = (thickness - shape.length - tickRoom) / 2;
  int thumbAcross = blockStart + (ticksBefore ? kTickSpace : 0);

  // Thumb centres travel from a to b; the channel reaches a little beyond.
  int a = kThumbWidth / 2 + kChannelMargin, b = length - 1 - kThumbWidth / 2 - kChannelMargin;
  if (b < a) b = a;
  bool selRange = (node.style & TBS_ENABLESELRANGE) != 0;
  int channelThickness = selRange ? 6 : 4;
  int body = shape.length - shape.tip;
  int bodyStart = shape.tipForward ? thumbAcross : thumbAcross + shape.tip;
  int channelAcross = bodyStart + (body - channelThickness) / 2;
  Rect channel = frame.ToRect(a - kChannelMargin, channelAcross, b - a + 2 * kChannelMargin + 1, channelThickness);
  Rect channelInside = DrawEdge(cr, channel, Edge::kSunken);
  if (selRange) {
    FillRect(cr, channelInside, colors::kWindow);
    int64_t lo = node.rangeMin, hi = node.rangeMax;
    int s0 = ValueToPixel(node.selectionStart, lo, hi, a, b), s1 = ValueToPixel(node.selectionEnd, lo, hi, a, b);
    if (s1 > s0) {
      Rect sel = frame.ToRect(s0, channelAcross + 2, s1 - s0 + 1, channelThickness - 4);
      FillRect(cr, sel, colors::kSelection);
    }
  }
  if (ticksBefore) DrawTicks(cr, frame, node, a, b, blockStart);
  if (ticksAfter) DrawTicks(cr, frame, node, a, b, thumbAcross + shape.length + 1);
  if (!(node.style & TBS_NOTHUMB)) {
    int centre = ValueToPixel(node.position, node.rangeMin, node.rangeMax, a, b);
    DrawThumb(cr, frame, shape, centre - kThumbWidth / 2, thumbAcross, IsEnabled(node));
  }
  if (node.focused) DrawFocusRect(cr, client, colors::kBlack);
}

void DrawUpDown(DrawContext& dc, const WindowNode& node, const Rect& client) {
  cairo_t* cr = dc.cr();
  bool enabled = IsEnabled(node);
  if (node.style & UDS_HORZ) {
    int half = client.w / 2;
    DrawArrowButton(cr, Rect{client.x, client.y, half, client.h}, Arrow::kLeft, enabled);
    DrawArrowButton(cr, Rect{client.x + half, client.y, client.w - half, client.h}, Arrow::kRight, enabled);
    return;
  }
  int half = client.h / 2;
  DrawArrowButton(cr, Rect{client.x, client.y, client.w, half}, Arrow::kUp, enabled);
  DrawArrowButton(cr, Rect{client.x, client.y + half, client.w, client.h - half}, Arrow::kDown, enabled);
}

void DrawProgress(DrawContext& dc, const WindowNode& node, const Rect& client) {
  cairo_t* cr = dc.cr();
  FillRect(cr, client, colors::kFace);
  bool ownBorder = !(node.style & WS_BORDER) && !(node.exStyle & (WS_EX_CLIENTEDGE | WS_EX_STATICEDGE));
  Rect inside = (ownBorder ? DrawEdge(cr, client, Edge::kSunkenOuter) : client).Inset(1);
  if (inside.empty()) return;
  bool vertical = (node.style & PBS_VERTICAL) != 0;
  int span = vertical ? inside.h : inside.w;
  int filled = ValueToPixel(node.position, node.rangeMin, node.rangeMax, 0, span);
  if (node.rangeMax > node.rangeMin && node.position >= node.rangeMax) filled = span;
  auto fill = [&](int from, int len) {
    len = std::min(len, span - from);
    if (len <= 0) return;
    Rect r = vertical ? Rect{inside.x, inside.bottom() - from - len, inside.w, len} : Rect{inside.x + from, inside.y, len, inside.h};
    FillRect(cr, r, colors::kSelection);
  };
  if (node.style & PBS_SMOOTH) {
    fill(0, filled);
    return;
  }
  // Blocks two thirds as long as the bar is thick, two pixels apart; the
  // block that the position reaches into is drawn whole.
  int block = std::max(1, ((vertical ? inside.w : inside.h) * 2) / 3);
  for (int from = 0; from < filled; from += block + 2) fill(from, block);
}

}  // namespace draw
