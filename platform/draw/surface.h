// A cairo image surface with its context, and conversions between it and
// the RGB pictures the module hands out.
#pragma once

#include <cairo.h>

#include "platform/draw/window_draw.h"

namespace draw {

class Surface {
 public:
  Surface(int width, int height);
  ~Surface();
  Surface(const Surface&) = delete;
  Surface& operator=(const Surface&) = delete;

  bool ok() const;
  cairo_t* cr() const { return cr_; }
  // Copies `image` in at (x, y); parts outside the surface are dropped.
  void Put(const Image& image, int x, int y);
  // False when cairo reports an error on the surface or the context.
  bool ToImage(Image* out);

 private:
  int width_, height_;
  cairo_surface_t* surface_;
  cairo_t* cr_;
};

}  // namespace draw
