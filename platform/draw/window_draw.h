// Pictures of windows in the classic Windows look (the grey 3-D theme of
// Windows 2000 and of XP's classic style), drawn with cairo and pango from
// the plain window trees the window system captures. Tools, tests and the
// demo use it; the deliverables never do.
//
// How the tree is read:
// - The root is drawn at its own size, whatever its `visible` flag; a child
//   is drawn when its `visible` flag is set, drawn disabled when `enabled`
//   is false or its style has WS_DISABLED, and clipped to its parent's
//   client area. Children are listed top of the z order first; tab
//   controls and group boxes are drawn before their siblings, as the
//   backdrops they are.
// - width and height are the whole window's; clientX and clientY place the
//   client area (which has the same border on the right and at the bottom
//   as on the left). When both are 0 the drawing derives them from the
//   borders the styles give (and, for the root, from the caption bar).
// - A child's WS_BORDER is drawn as the sunken client edge dialogs give
//   their controls; WS_EX_CLIENTEDGE, WS_EX_STATICEDGE and SS_SUNKEN as
//   the edges they name.
// - A combo box may carry the height of its dropped list: the closed field
//   is drawn one line tall at the top, the rest is left to what lies below.
// - Texts and items are bytes in `codePage`; a font face may be UTF-8 (as
//   a template's Unicode name converts) or bytes in the code page.
//
// Drawing is deterministic: the same tree gives the same pixels on any
// machine with the same fonts, whatever its screen resolution or locale.
// Free fonts stand in for the dialog fonts (Liberation Sans for "MS Sans
// Serif", "MS Shell Dlg" and "Tahoma", DejaVu Sans for "Verdana", Noto Sans
// CJK for the Japanese, Korean and Chinese faces and for every character
// the Latin fonts lack).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/machine/window_tree.h"

namespace draw {

// Top-down, 3 bytes per pixel in the order R, G, B.
struct Image {
  int width = 0;
  int height = 0;
  std::vector<uint8_t> rgb;
};

// The largest picture drawn, on either side.
constexpr int kMaxPictureSide = 8192;

// Draws the window of `picture.root` at its own size (the root's x and y are
// ignored). False, with `out` emptied, when the size is not between 1 and
// kMaxPictureSide on both sides or drawing fails. Any tree is safe: odd
// geometry, ranges and texts draw as well as they can and never fail.
bool RenderWindowPicture(const platform::WindowPicture& picture, Image* out);

// RenderWindowPicture, then WritePng; false with a one-line reason.
bool WriteWindowPng(const platform::WindowPicture& picture, const std::string& path,
                    std::string* error);

// Writes an 8-bit RGB PNG without time stamps or other varying chunks.
bool WritePng(const Image& image, const std::string& path, std::string* error);

// A contact sheet: pictures side by side on the desktop colour, each with
// its label (UTF-8) beneath, in rows no wider than `maxWidth` pixels (a
// picture wider than that gets a row of its own). False when there is
// nothing to place or the sheet would exceed kMaxPictureSide.
struct LabeledImage {
  std::string label;
  Image image;
};
bool ComposeContactSheet(const std::vector<LabeledImage>& pictures, Image* out, int maxWidth = 1600);

}  // namespace draw
