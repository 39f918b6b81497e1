// The drawing of one window tree: what every control's drawing gets (the
// cairo context translated to the window's top-left corner, its fonts and
// texts) and the drawing routine of each window class.
#pragma once

#include <cairo.h>

#include <string>

#include "platform/draw/painter.h"
#include "platform/draw/text.h"
#include "platform/machine/window_tree.h"

namespace draw {

using platform::WindowNode;

class DrawContext {
 public:
  DrawContext(cairo_t* cr, TextEngine* text, uint32_t codePage, const WindowNode& root);

  cairo_t* cr() const { return cr_; }
  TextEngine& text() const { return *text_; }
  uint32_t codePage() const { return codePage_; }

  // The window's dialog font (the root's when the window names none).
  const ResolvedFont& FontOf(const WindowNode& node, bool bold = false) const;
  // The window's text, or one of its items, as UTF-8.
  std::string TextOf(const WindowNode& node) const;
  std::string ItemText(const WindowNode& node, int index) const;

 private:
  cairo_t* cr_;
  TextEngine* text_;
  uint32_t codePage_;
  FontRequest rootFont_;
};

// True when the window and its style say it takes input.
bool IsEnabled(const WindowNode& node);

// Class drawings. `client` is the window's client rectangle in the window's
// own coordinates (inside whatever border its styles gave it).
void DrawButton(DrawContext& dc, const WindowNode& node, const Rect& client);
void DrawStatic(DrawContext& dc, const WindowNode& node, const Rect& client);
void DrawEditControl(DrawContext& dc, const WindowNode& node, const Rect& client);
void DrawListBox(DrawContext& dc, const WindowNode& node, const Rect& client);
void DrawComboBox(DrawContext& dc, const WindowNode& node, const Rect& client);
void DrawScrollBarControl(DrawContext& dc, const WindowNode& node, const Rect& client);
void DrawTrackbar(DrawContext& dc, const WindowNode& node, const Rect& client);
void DrawUpDown(DrawContext& dc, const WindowNode& node, const Rect& client);
void DrawProgress(DrawContext& dc, const WindowNode& node, const Rect& client);
void DrawTabControl(DrawContext& dc, const WindowNode& node, const Rect& client);
void DrawPopupMenu(DrawContext& dc, const WindowNode& node, const Rect& client);

// A scroll bar in `r` (vertical or horizontal), with the thumb for `pos`
// of `count` items of which `page` are shown; a bar without room to scroll
// shows no thumb and grey arrows.
void DrawScrollBar(cairo_t* cr, const Rect& r, bool vertical, int pos, int count, int page, bool enabled);

// Icons: `pixels` when the window has them, otherwise a stock picture for
// the IDI_* ids and a generic program icon for any other id, scaled to `r`.
void DrawIcon(cairo_t* cr, const WindowNode& node, const Rect& r);

// The non-client area of a top-level window: frame, caption bar with the
// window text, small icon and caption buttons. Returns the client rectangle.
Rect DrawWindowFrame(DrawContext& dc, const WindowNode& node, bool captionBar, bool active);

}  // namespace draw
