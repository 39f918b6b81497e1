// Walks a window tree and draws it: the top-level frame, then every visible
// child clipped to its parent's client area, each by its class's drawing.
// Geometry from the tree is clamped before use, so that no tree, however
// odd, can overflow an integer or make the drawing run for long.
#include "platform/draw/window_draw.h"

#include <cairo.h>
#include <png.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <vector>

#include "platform/draw/controls.h"
#include "platform/draw/style_bits.h"
#include "platform/draw/surface.h"

namespace draw {
namespace {

using namespace styles;

constexpr int kMaxCoordinate = 4 * kMaxPictureSide;
constexpr int kMaxDepth = 32;
constexpr size_t kMaxWindows = 10000;
constexpr size_t kMaxTextBytes = 4096;

using ClassDrawing = void (*)(DrawContext&, const WindowNode&, const Rect&);

std::string Lower(const std::string& s) {
  std::string out = s;
  for (char& c : out)
    if (c >= 'A' && c <= 'Z') c = char(c - 'A' + 'a');
  return out;
}

// Class names compare without regard to case, as the system's do.
ClassDrawing DrawingOf(const std::string& className) {
  static const struct {
    const char* name;
    ClassDrawing drawing;
  } kClasses[] = {
      {"button", DrawButton},
      {"static", DrawStatic},
      {"edit", DrawEditControl},
      {"listbox", DrawListBox},
      {"combobox", DrawComboBox},
      {"scrollbar", DrawScrollBarControl},
      {"msctls_trackbar32", DrawTrackbar},
      {"msctls_updown32", DrawUpDown},
      {"msctls_progress32", DrawProgress},
      {"systabcontrol32", DrawTabControl},
      {"#32768", DrawPopupMenu},
  };
  std::string name = Lower(className);
  for (const auto& entry : kClasses)
    if (name == entry.name) return entry.drawing;
  return nullptr;
}

bool IsClass(const WindowNode& node, const char* lowerName) { return Lower(node.className) == lowerName; }

// Tab controls and group boxes are backdrops: the controls laid over them
// must come out on top whatever the z order says.
bool IsBackdrop(const WindowNode& node) {
  return IsClass(node, "systabcontrol32") || (IsClass(node, "button") && (node.style & BS_TYPEMASK) == BS_GROUPBOX);
}

int Clamp(int v, int lo, int hi) { return std::min(std::max(v, lo), hi); }

struct Geometry {
  Rect window;      // in the parent's client coordinates
  int clientX = 0;  // as the tree gives them
  int clientY = 0;
};

Geometry GeometryOf(const WindowNode& node) {
  Geometry g;
  g.window = Rect{Clamp(node.x, -kMaxCoordinate, kMaxCoordinate), Clamp(node.y, -kMaxCoordinate, kMaxCoordinate),
                  Clamp(node.width, 0, kMaxCoordinate), Clamp(node.height, 0, kMaxCoordinate)};
  g.clientX = Clamp(node.clientX, 0, kMaxCoordinate);
  g.clientY = Clamp(node.clientY, 0, kMaxCoordinate);
  return g;
}

void Clip(cairo_t* cr, const Rect& r) {
  cairo_rectangle(cr, r.x, r.y, std::max(0, r.w), std::max(0, r.h));
  cairo_clip(cr);
}

class TreePainter {
 public:
  explicit TreePainter(DrawContext& dc) : dc_(dc) {}

  void DrawRoot(const platform::WindowPicture& picture) {
    const WindowNode& root = picture.root;
    Geometry g = GeometryOf(root);
    Rect whole{0, 0, g.window.w, g.window.h};
    ClassDrawing drawing = DrawingOf(root.className);
    if (drawing == DrawPopupMenu) {
      DrawPopupMenu(dc_, root, whole);
      return;
    }
    WindowNode sized = Shallow(root, g);
    Rect client = DrawWindowFrame(dc_, sized, picture.captionBar, picture.active);
    if (drawing) drawing(dc_, root, client);
    DrawChildren(root, g, client, 0);
  }

 private:
  // The root's own fields with its clamped size, for the frame drawing.
  static WindowNode Shallow(const WindowNode& root, const Geometry& g) {
    WindowNode copy;
    copy.className = root.className;
    copy.style = root.style;
    copy.exStyle = root.exStyle;
    copy.width = g.window.w;
    copy.height = g.window.h;
    copy.clientX = g.clientX;
    copy.clientY = g.clientY;
    copy.text = root.text.substr(0, kMaxTextBytes);
    copy.iconId = root.iconId;
    copy.iconWidth = root.iconWidth;
    copy.iconHeight = root.iconHeight;
    copy.iconPixels = root.iconPixels;
    return copy;
  }

  // The borders a child's styles give it; returns its client rectangle.
  Rect DrawChildBorders(const WindowNode& node, const Rect& window) {
    cairo_t* cr = dc_.cr();
    Rect r = window;
    if (IsClass(node, "combobox")) return r;  // draws its own sunken field
    bool frame = (node.style & (WS_DLGFRAME | WS_THICKFRAME)) || (node.exStyle & WS_EX_DLGMODALFRAME);
    if (frame) {
      FillRect(cr, r, colors::kFace);
      r = DrawEdge(cr, r, Edge::kRaised).Inset(1);
    } else if (node.style & WS_BORDER) {
      // Dialogs draw the plain border of their controls as a client edge.
      r = DrawEdge(cr, r, Edge::kSunken);
    }
    if (node.exStyle & WS_EX_CLIENTEDGE) r = DrawEdge(cr, r, Edge::kSunken);
    if ((node.exStyle & WS_EX_STATICEDGE) || (IsClass(node, "static") && (node.style & SS_SUNKEN)))
      r = DrawEdge(cr, r, Edge::kSunkenOuter);
    return r;
  }

  void DrawChild(const WindowNode& node, int depth) {
    if (!node.visible || ++drawn_ > kMaxWindows) return;
    Geometry g = GeometryOf(node);
    if (g.window.empty()) return;
    cairo_t* cr = dc_.cr();
    cairo_save(cr);
    cairo_translate(cr, g.window.x, g.window.y);
    Rect local{0, 0, g.window.w, g.window.h};
    Clip(cr, local);
    Rect client = DrawChildBorders(node, local);
    ClassDrawing drawing = DrawingOf(node.className);
    if (drawing) {
      drawing(dc_, node, client);
    } else {
      // Dialogs, property pages and the programs' own classes.
      FillRect(cr, client, colors::kFace);
    }
    DrawChildren(node, g, client, depth + 1);
    cairo_restore(cr);
  }

  // Children sit in the client area the tree gives (or, when it gives none,
  // the one the borders left) and are clipped to it.
  void DrawChildren(const WindowNode& node, const Geometry& g, const Rect& drawnClient, int depth) {
    if (node.children.empty() || depth >= kMaxDepth) return;
    Rect client = drawnClient;
    if (g.clientX || g.clientY)
      client = Rect{g.clientX, g.clientY, g.window.w - 2 * g.clientX, g.window.h - g.clientY - g.clientX};
    if (client.empty()) return;
    cairo_t* cr = dc_.cr();
    cairo_save(cr);
    Clip(cr, client);
    cairo_translate(cr, client.x, client.y);
    // Bottom of the z order first, backdrops before everything else.
    for (int pass = 0; pass < 2; ++pass)
      for (auto it = node.children.rbegin(); it != node.children.rend(); ++it)
        if (IsBackdrop(*it) == (pass == 0)) DrawChild(*it, depth);
    cairo_restore(cr);
  }

  DrawContext& dc_;
  size_t drawn_ = 0;
};

}  // namespace

DrawContext::DrawContext(cairo_t* cr, TextEngine* text, uint32_t codePage, const WindowNode& root)
    : cr_(cr), text_(text), codePage_(codePage) {
  rootFont_.face = root.fontFace.empty() ? "MS Shell Dlg" : root.fontFace;
  rootFont_.pointSize = root.fontFace.empty() ? 8 : root.fontPointSize;
  rootFont_.bold = root.fontBold;
  rootFont_.codePage = codePage;
}

const ResolvedFont& DrawContext::FontOf(const WindowNode& node, bool bold) const {
  FontRequest request = rootFont_;
  if (!node.fontFace.empty()) {
    request.face = node.fontFace;
    request.pointSize = node.fontPointSize;
    request.bold = node.fontBold;
  }
  request.bold = request.bold || bold;
  return text_->Font(request);
}

std::string DrawContext::TextOf(const WindowNode& node) const {
  return DecodeWindowText(codePage_, node.text.substr(0, kMaxTextBytes));
}

std::string DrawContext::ItemText(const WindowNode& node, int index) const {
  if (index < 0 || size_t(index) >= node.items.size()) return std::string();
  return DecodeWindowText(codePage_, node.items[size_t(index)].substr(0, kMaxTextBytes));
}

bool IsEnabled(const WindowNode& node) { return node.enabled && !(node.style & WS_DISABLED); }

bool RenderWindowPicture(const platform::WindowPicture& picture, Image* out) {
  *out = Image();
  const WindowNode& root = picture.root;
  if (root.width < 1 || root.height < 1 || root.width > kMaxPictureSide || root.height > kMaxPictureSide)
    return false;
  Surface surface(root.width, root.height);
  if (!surface.ok()) return false;
  cairo_t* cr = surface.cr();
  cairo_set_antialias(cr, CAIRO_ANTIALIAS_NONE);
  {
    TextEngine text(cr);
    DrawContext dc(cr, &text, picture.codePage, root);
    TreePainter(dc).DrawRoot(picture);
  }
  return surface.ToImage(out);
}

bool WriteWindowPng(const platform::WindowPicture& picture, const std::string& path, std::string* error) {
  Image image;
  if (!RenderWindowPicture(picture, &image)) {
    *error = "cannot draw a window of " + std::to_string(picture.root.width) + "x" +
             std::to_string(picture.root.height) + " pixels";
    return false;
  }
  return WritePng(image, path, error);
}

bool WritePng(const Image& image, const std::string& path, std::string* error) {
  if (image.width < 1 || image.height < 1 || image.rgb.size() != size_t(image.width) * size_t(image.height) * 3) {
    *error = "no picture to write to " + path;
    return false;
  }
  FILE* file = std::fopen(path.c_str(), "wb");
  if (!file) {
    *error = "cannot create " + path + ": " + std::strerror(errno);
    return false;
  }
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  png_infop info = png ? png_create_info_struct(png) : nullptr;
  bool ok = png && info;
  if (ok && setjmp(png_jmpbuf(png))) ok = false;
  if (ok) {
    png_init_io(png, file);
    png_set_IHDR(png, info, png_uint_32(image.width), png_uint_32(image.height), 8, PNG_COLOR_TYPE_RGB,
                 PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_write_info(png, info);
    for (int y = 0; y < image.height; ++y)
      png_write_row(png, const_cast<png_bytep>(&image.rgb[size_t(y) * size_t(image.width) * 3]));
    png_write_end(png, info);
  }
  png_destroy_write_struct(png ? &png : nullptr, info ? &info : nullptr);
  if (std::fclose(file) != 0) ok = false;
  if (!ok) {
    std::remove(path.c_str());
    *error = "cannot write " + path;
  }
  return ok;
}

}  // namespace draw
