// Drawing primitives of the classic look. Everything is drawn as whole
// pixels with antialiasing off, so edges come out as the crisp one-pixel
// lines of the system's own drawing.
#include "platform/draw/painter.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace draw {
namespace {

void SetColor(cairo_t* cr, Rgb c) { cairo_set_source_rgb(cr, c.r / 255.0, c.g / 255.0, c.b / 255.0); }

// The part of `r` inside the current clip: pixel-by-pixel drawing never
// walks over more than can show.
Rect Visible(cairo_t* cr, const Rect& r) {
  double x0, y0, x1, y1;
  cairo_clip_extents(cr, &x0, &y0, &x1, &y1);
  int left = std::max(r.x, int(std::floor(x0))), top = std::max(r.y, int(std::floor(y0)));
  int right = std::min(r.right(), int(std::ceil(x1))), bottom = std::min(r.bottom(), int(std::ceil(y1)));
  return Rect{left, top, right - left, bottom - top};
}

}  // namespace

void FillRect(cairo_t* cr, const Rect& r, Rgb color) {
  if (r.empty()) return;
  SetColor(cr, color);
  cairo_rectangle(cr, r.x, r.y, r.w, r.h);
  cairo_fill(cr);
}

void HLine(cairo_t* cr, int x, int y, int length, Rgb color) { FillRect(cr, Rect{x, y, length, 1}, color); }

void VLine(cairo_t* cr, int x, int y, int length, Rgb color) { FillRect(cr, Rect{x, y, 1, length}, color); }

void Pixel(cairo_t* cr, int x, int y, Rgb color) { FillRect(cr, Rect{x, y, 1, 1}, color); }

void DrawRing(cairo_t* cr, const Rect& r, Rgb topLeft, Rgb bottomRight) {
  if (r.empty()) return;
  HLine(cr, r.x, r.y, r.w - 1, topLeft);
  VLine(cr, r.x, r.y, r.h - 1, topLeft);
  HLine(cr, r.x, r.bottom() - 1, r.w, bottomRight);
  VLine(cr, r.right() - 1, r.y, r.h, bottomRight);
}

Rect DrawEdge(cairo_t* cr, const Rect& r, Edge edge) {
  using namespace colors;
  Rgb outerTL, outerBR, innerTL, innerBR;
  int rings = 2;
  switch (edge) {
    case Edge::kRaised: outerTL = kFace; outerBR = kDarkShadow; innerTL = kHighlight; innerBR = kShadow; break;
    case Edge::kRaisedSoft: outerTL = kHighlight; outerBR = kDarkShadow; innerTL = kFace; innerBR = kShadow; break;
    case Edge::kSunken: outerTL = kShadow; outerBR = kHighlight; innerTL = kDarkShadow; innerBR = kFace; break;
    case Edge::kEtched: outerTL = kShadow; outerBR = kHighlight; innerTL = kHighlight; innerBR = kShadow; break;
    case Edge::kSunkenOuter: outerTL = kShadow; outerBR = kHighlight; rings = 1; break;
  }
  DrawRing(cr, r, outerTL, outerBR);
  if (rings == 1) return r.Inset(1);
  DrawRing(cr, r.Inset(1), innerTL, innerBR);
  return r.Inset(2);
}

void FrameRect(cairo_t* cr, const Rect& r, Rgb color) { DrawRing(cr, r, color, color); }

void DeviceOffset(cairo_t* cr, int* dx, int* dy) {
  double x = 0, y = 0;
  cairo_user_to_device(cr, &x, &y);
  *dx = int(x);
  *dy = int(y);
}

void DrawFocusRect(cairo_t* cr, const Rect& r, Rgb color) {
  if (r.empty()) return;
  int dx, dy;
  DeviceOffset(cr, &dx, &dy);
  Rect shown = Visible(cr, r);
  auto dot = [&](int x, int y) {
    if (((x + dx + y + dy) & 1) == 0) Pixel(cr, x, y, color);
  };
  for (int x = shown.x; x < shown.right(); ++x) {
    dot(x, r.y);
    dot(x, r.bottom() - 1);
  }
  for (int y = std::max(shown.y, r.y + 1); y < std::min(shown.bottom(), r.bottom() - 1); ++y) {
    dot(r.x, y);
    dot(r.right() - 1, y);
  }
}

void FillChecker(cairo_t* cr, const Rect& r, Rgb first, Rgb second) {
  if (r.empty()) return;
  // A 2 x 2 tile repeated, placed so that `first` falls on the pixels whose
  // picture coordinates add up to an even number.
  cairo_surface_t* tile = cairo_image_surface_create(CAIRO_FORMAT_RGB24, 2, 2);
  cairo_surface_flush(tile);
  unsigned char* data = cairo_image_surface_get_data(tile);
  int stride = cairo_image_surface_get_stride(tile);
  auto pack = [](Rgb c) { return 0xFF000000u | (uint32_t(c.r) << 16) | (uint32_t(c.g) << 8) | c.b; };
  for (int y = 0; y < 2; ++y)
    for (int x = 0; x < 2; ++x)
      reinterpret_cast<uint32_t*>(data + y * stride)[x] = pack(((x + y) & 1) ? second : first);
  cairo_surface_mark_dirty(tile);
  int dx, dy;
  DeviceOffset(cr, &dx, &dy);
  cairo_save(cr);
  cairo_set_source_surface(cr, tile, dx & 1, dy & 1);
  cairo_pattern_set_extend(cairo_get_source(cr), CAIRO_EXTEND_REPEAT);
  cairo_pattern_set_filter(cairo_get_source(cr), CAIRO_FILTER_NEAREST);
  cairo_rectangle(cr, r.x, r.y, r.w, r.h);
  cairo_fill(cr);
  cairo_restore(cr);
  cairo_surface_destroy(tile);
}

void DrawMask(cairo_t* cr, int x, int y, const char* const* rows, int rowCount, const char* keys,
              const Rgb* palette) {
  for (int row = 0; row < rowCount; ++row) {
    for (int col = 0; rows[row][col]; ++col) {
      char c = rows[row][col];
      if (c == '.') continue;
      const char* k = std::strchr(keys, c);
      if (k) Pixel(cr, x + col, y + row, palette[k - keys]);
    }
  }
}

void DrawMask(cairo_t* cr, int x, int y, const char* const* rows, int rowCount, Rgb color) {
  for (int row = 0; row < rowCount; ++row)
    for (int col = 0; rows[row][col]; ++col)
      if (rows[row][col] != '.') Pixel(cr, x + col, y + row, color);
}

void DrawArrow(cairo_t* cr, const Rect& r, Arrow arrow, int size, Rgb color) {
  size = std::max(1, size | 1);
  int depth = (size + 1) / 2;
  bool vertical = arrow == Arrow::kUp || arrow == Arrow::kDown;
  int boxW = vertical ? size : depth, boxH = vertical ? depth : size;
  int x0 = r.x + (r.w - boxW) / 2, y0 = r.y + (r.h - boxH) / 2;
  for (int i = 0; i < depth; ++i) {
    int len = size - 2 * i;  // the base row is the longest
    switch (arrow) {
      case Arrow::kDown: HLine(cr, x0 + i, y0 + i, len, color); break;
      case Arrow::kUp: HLine(cr, x0 + i, y0 + depth - 1 - i, len, color); break;
      case Arrow::kRight: VLine(cr, x0 + i, y0 + i, len, color); break;
      case Arrow::kLeft: VLine(cr, x0 + depth - 1 - i, y0 + i, len, color); break;
    }
  }
}

void DrawArrowState(cairo_t* cr, const Rect& r, Arrow arrow, int size, bool enabled) {
  if (enabled) {
    DrawArrow(cr, r, arrow, size, colors::kText);
    return;
  }
  DrawArrow(cr, Rect{r.x + 1, r.y + 1, r.w, r.h}, arrow, size, colors::kHighlight);
  DrawArrow(cr, r, arrow, size, colors::kShadow);
}

void DrawCheckMark(cairo_t* cr, int x, int y, Rgb color) {
  static const char* const kCheckMark[] = {
      "......X", ".....XX", "X...XXX", "XX.XXX.", "XXXXX..", ".XXX...", "..X....",
  };
  DrawMask(cr, x, y, kCheckMark, 7, color);
}

void DrawArrowButton(cairo_t* cr, const Rect& r, Arrow arrow, bool enabled) {
  if (r.empty()) return;
  FillRect(cr, r, colors::kFace);
  Rect inside = DrawEdge(cr, r, Edge::kRaised);
  int size = std::clamp(std::min(r.w, r.h) * 7 / 16, 1, 7);
  DrawArrowState(cr, inside, arrow, size, enabled);
}

}  // namespace draw
