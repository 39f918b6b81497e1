#include "platform/draw/surface.h"

#include <algorithm>
#include <cstdint>

namespace draw {

Surface::Surface(int width, int height)
    : width_(width), height_(height), surface_(cairo_image_surface_create(CAIRO_FORMAT_RGB24, width, height)),
      cr_(cairo_create(surface_)) {}

Surface::~Surface() {
  cairo_destroy(cr_);
  cairo_surface_destroy(surface_);
}

bool Surface::ok() const {
  return cairo_surface_status(surface_) == CAIRO_STATUS_SUCCESS && cairo_status(cr_) == CAIRO_STATUS_SUCCESS;
}

void Surface::Put(const Image& image, int x, int y) {
  if (!ok() || image.rgb.size() != size_t(image.width) * size_t(image.height) * 3) return;
  cairo_surface_flush(surface_);
  unsigned char* data = cairo_image_surface_get_data(surface_);
  int stride = cairo_image_surface_get_stride(surface_);
  int x0 = std::max(0, x), x1 = std::min(width_, x + image.width);
  for (int row = std::max(0, y); row < std::min(height_, y + image.height); ++row) {
    uint32_t* dst = reinterpret_cast<uint32_t*>(data + size_t(row) * size_t(stride));
    const uint8_t* src = &image.rgb[(size_t(row - y) * size_t(image.width)) * 3];
    for (int col = x0; col < x1; ++col) {
      const uint8_t* p = src + size_t(col - x) * 3;
      dst[col] = 0xFF000000u | (uint32_t(p[0]) << 16) | (uint32_t(p[1]) << 8) | p[2];
    }
  }
  cairo_surface_mark_dirty(surface_);
}

bool Surface::ToImage(Image* out) {
  *out = Image();
  if (!ok()) return false;
  cairo_surface_flush(surface_);
  const unsigned char* data = cairo_image_surface_get_data(surface_);
  int stride = cairo_image_surface_get_stride(surface_);
  out->width = width_;
  out->height = height_;
  out->rgb.resize(size_t(width_) * size_t(height_) * 3);
  for (int y = 0; y < height_; ++y) {
    const uint32_t* row = reinterpret_cast<const uint32_t*>(data + size_t(y) * size_t(stride));
    uint8_t* dst = &out->rgb[size_t(y) * size_t(width_) * 3];
    for (int x = 0; x < width_; ++x) {
      dst[3 * x] = uint8_t(row[x] >> 16);
      dst[3 * x + 1] = uint8_t(row[x] >> 8);
      dst[3 * x + 2] = uint8_t(row[x]);
    }
  }
  return true;
}

}  // namespace draw
