// Icons: the window's own pixels when the window system decoded them, and
// otherwise stock pictures in the spirit of the system's message-box icons
// (drawn as vector shapes, smoothed) and a generic program icon.
#include <cmath>

#include "platform/draw/controls.h"
#include "platform/draw/style_bits.h"

namespace draw {
namespace {

using namespace styles;

void SetRgb(cairo_t* cr, int r, int g, int b) { cairo_set_source_rgb(cr, r / 255.0, g / 255.0, b / 255.0); }

// Fills the current path and outlines it in black.
void FillOutlined(cairo_t* cr, int r, int g, int b, double lineWidth) {
  SetRgb(cr, r, g, b);
  cairo_fill_preserve(cr);
  SetRgb(cr, 0, 0, 0);
  cairo_set_line_width(cr, lineWidth);
  cairo_stroke(cr);
}

// Each stock picture is drawn on a 32 x 32 grid.
void StockError(cairo_t* cr) {
  cairo_arc(cr, 16, 16, 14.5, 0, 2 * M_PI);
  SetRgb(cr, 128, 0, 0);
  cairo_fill_preserve(cr);
  cairo_new_path(cr);
  cairo_arc(cr, 16, 16, 13.5, 0, 2 * M_PI);
  SetRgb(cr, 255, 0, 0);
  cairo_fill(cr);
  SetRgb(cr, 255, 255, 255);
  cairo_set_line_width(cr, 3.5);
  cairo_move_to(cr, 10, 10);
  cairo_line_to(cr, 22, 22);
  cairo_move_to(cr, 22, 10);
  cairo_line_to(cr, 10, 22);
  cairo_stroke(cr);
}

void StockWarning(cairo_t* cr) {
  cairo_move_to(cr, 16, 1.5);
  cairo_line_to(cr, 30.5, 29.5);
  cairo_line_to(cr, 1.5, 29.5);
  cairo_close_path(cr);
  FillOutlined(cr, 255, 255, 0, 1.5);
  cairo_rectangle(cr, 14.5, 10, 3, 11);
  cairo_rectangle(cr, 14.5, 23.5, 3, 3);
  cairo_fill(cr);
}

// A white speech balloon, for the information and question icons.
void Balloon(cairo_t* cr) {
  cairo_arc(cr, 16, 14, 13, 0, 2 * M_PI);
  cairo_move_to(cr, 9, 24);
  cairo_line_to(cr, 6, 31);
  cairo_line_to(cr, 16, 26);
  FillOutlined(cr, 255, 255, 255, 1);
}

void StockInformation(cairo_t* cr) {
  Balloon(cr);
  SetRgb(cr, 0, 0, 255);
  cairo_arc(cr, 16, 7.5, 2, 0, 2 * M_PI);
  cairo_fill(cr);
  cairo_rectangle(cr, 14.5, 11, 3.5, 11);
  cairo_rectangle(cr, 12.5, 20.5, 7.5, 1.5);
  cairo_fill(cr);
}

void StockQuestion(cairo_t* cr) {
  Balloon(cr);
  SetRgb(cr, 0, 0, 255);
  cairo_set_line_width(cr, 3);
  cairo_arc(cr, 16, 10.5, 4.5, M_PI, 2.25 * M_PI);
  cairo_line_to(cr, 16, 16);
  cairo_line_to(cr, 16, 18.5);
  cairo_stroke(cr);
  cairo_rectangle(cr, 14.5, 20.5, 3, 3);
  cairo_fill(cr);
}

void StockProgram(cairo_t* cr) {
  cairo_rectangle(cr, 2.5, 4.5, 27, 23);
  FillOutlined(cr, 255, 255, 255, 1);
  cairo_rectangle(cr, 3, 5, 26, 5);
  SetRgb(cr, 10, 36, 106);
  cairo_fill(cr);
}

void DrawOwnPixels(cairo_t* cr, const WindowNode& node, const Rect& r) {
  int w = node.iconWidth, h = node.iconHeight;
  cairo_surface_t* icon = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, w, h);
  unsigned char* data = cairo_image_surface_get_data(icon);
  int stride = cairo_image_surface_get_stride(icon);
  for (int y = 0; y < h; ++y) {
    uint32_t* row = reinterpret_cast<uint32_t*>(data + size_t(y) * size_t(stride));
    for (int x = 0; x < w; ++x) {
      uint32_t p = node.iconPixels[size_t(y) * size_t(w) + size_t(x)];
      uint32_t a = p >> 24;
      auto pre = [a](uint32_t c) { return (c * a + 127) / 255; };
      row[x] = (a << 24) | (pre((p >> 16) & 0xFF) << 16) | (pre((p >> 8) & 0xFF) << 8) | pre(p & 0xFF);
    }
  }
  cairo_surface_mark_dirty(icon);
  cairo_save(cr);
  cairo_translate(cr, r.x, r.y);
  cairo_scale(cr, double(r.w) / w, double(r.h) / h);
  cairo_set_source_surface(cr, icon, 0, 0);
  cairo_pattern_set_filter(cairo_get_source(cr), CAIRO_FILTER_NEAREST);
  cairo_paint(cr);
  cairo_restore(cr);
  cairo_surface_destroy(icon);
}

constexpr int kMaxIconSide = 256;

}  // namespace

void DrawIcon(cairo_t* cr, const WindowNode& node, const Rect& r) {
  if (r.empty()) return;
  bool ownSizeValid = node.iconWidth > 0 && node.iconHeight > 0 && node.iconWidth <= kMaxIconSide &&
                      node.iconHeight <= kMaxIconSide &&
                      node.iconPixels.size() == size_t(node.iconWidth) * size_t(node.iconHeight);
  if (ownSizeValid) {
    DrawOwnPixels(cr, node, r);
    return;
  }
  if (node.iconId == 0) return;
  cairo_save(cr);
  cairo_translate(cr, r.x, r.y);
  cairo_scale(cr, r.w / 32.0, r.h / 32.0);
  cairo_set_antialias(cr, CAIRO_ANTIALIAS_GRAY);
  switch (node.iconId) {
    case IDI_HAND: StockError(cr); break;
    case IDI_EXCLAMATION: StockWarning(cr); break;
    case IDI_ASTERISK: StockInformation(cr); break;
    case IDI_QUESTION: StockQuestion(cr); break;
    default: StockProgram(cr); break;
  }
  cairo_restore(cr);
}

}  // namespace draw
