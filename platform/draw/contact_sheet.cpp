// Contact sheets: several window pictures on the desktop colour, each with
// a label beneath, in rows.
#include <algorithm>

#include "platform/draw/surface.h"
#include "platform/draw/text.h"
#include "platform/draw/window_draw.h"

namespace draw {
namespace {

constexpr int kGap = 16;
constexpr int kLabelGap = 4;

struct Placement {
  int x = 0, y = 0;
};

}  // namespace

bool ComposeContactSheet(const std::vector<LabeledImage>& pictures, Image* out, int maxWidth) {
  *out = Image();
  if (pictures.empty()) return false;
  for (const LabeledImage& p : pictures)
    if (p.image.width < 1 || p.image.height < 1 || p.image.rgb.size() != size_t(p.image.width) * size_t(p.image.height) * 3)
      return false;

  // Lay out with a scratch surface for the label metrics.
  Surface scratch(1, 1);
  TextEngine measure(scratch.cr());
  const ResolvedFont& font = measure.Font(FontRequest{"Tahoma", 9, false, 1252});
  int labelHeight = font.lineHeight + kLabelGap;
  std::vector<Placement> at(pictures.size());
  int64_t x = kGap, y = kGap, rowHeight = 0, width = 0;
  for (size_t i = 0; i < pictures.size(); ++i) {
    const Image& image = pictures[i].image;
    if (x > kGap && x + image.width + kGap > maxWidth) {
      x = kGap;
      y += rowHeight + kGap;
      rowHeight = 0;
    }
    if (x + image.width + kGap > kMaxPictureSide || y + image.height + labelHeight + kGap > kMaxPictureSide) return false;
    at[i] = Placement{int(x), int(y)};
    x += image.width + kGap;
    width = std::max(width, x);
    rowHeight = std::max<int64_t>(rowHeight, image.height + labelHeight);
  }
  int64_t height = y + rowHeight + kGap;

  Surface sheet{int(width), int(height)};
  if (!sheet.ok()) return false;
  cairo_t* cr = sheet.cr();
  cairo_set_antialias(cr, CAIRO_ANTIALIAS_NONE);
  FillRect(cr, Rect{0, 0, int(width), int(height)}, colors::kDesktop);
  TextEngine text(cr);
  const ResolvedFont& labelFont = text.Font(FontRequest{"Tahoma", 9, false, 1252});
  for (size_t i = 0; i < pictures.size(); ++i) {
    const Image& image = pictures[i].image;
    sheet.Put(image, at[i].x, at[i].y);
    Rect label{at[i].x, at[i].y + image.height + kLabelGap, image.width, labelFont.lineHeight};
    text.Draw(labelFont, pictures[i].label, label, kTextCenter | kTextNoPrefix | kTextEndEllipsis, colors::kHighlight);
  }
  return sheet.ToImage(out);
}

}  // namespace draw
