// Window text through pango. Lines are placed by the dialog font's own line
// height and baseline, not by pango's line spacing: a Japanese caption set
// with a CJK fallback font then sits on the same baseline, in the same
// 13-pixel lines, as the Latin text around it, as it does on the system.
#include "platform/draw/text.h"

#include <algorithm>
#include <cstring>
#include <mutex>
#include <set>
#include <tuple>
#include <vector>

#include "platform/machine/codepages.h"

namespace draw {
namespace {

constexpr int kMaxPointSize = 72;

std::string AsciiLower(std::string s) {
  for (char& c : s)
    if (c >= 'A' && c <= 'Z') c = char(c - 'A' + 'a');
  return s;
}

// One font map for the whole process, made once and kept: its caches stay
// reachable (the per-thread default map's are not, to the leak checker), and
// every drawing thread sees the same fonts. Pango font maps are not
// thread-safe, so a TextEngine holds the drawing lock while it lives.
PangoFontMap* SharedFontMap() {
  static PangoFontMap* const map = pango_cairo_font_map_new();
  return map;
}

// The families installed, read once: the stand-ins prefer Liberation where
// it is present and fall back to DejaVu.
bool FamilyInstalled(const char* family) {
  static const std::set<std::string> names = [] {
    std::set<std::string> found;
    PangoFontFamily** families = nullptr;
    int count = 0;
    pango_font_map_list_families(SharedFontMap(), &families, &count);
    for (int i = 0; i < count; ++i) found.insert(AsciiLower(pango_font_family_get_name(families[i])));
    g_free(families);
    return found;
  }();
  return names.count(AsciiLower(family)) != 0;
}

const char* Prefer(const char* first, const char* second) { return FamilyInstalled(first) ? first : second; }

enum class Script { kLatin, kJapanese, kSimplifiedChinese, kKorean, kTraditionalChinese };

Script ScriptOfCodePage(uint32_t codePage) {
  switch (codePage) {
    case 932: return Script::kJapanese;
    case 936: return Script::kSimplifiedChinese;
    case 949: return Script::kKorean;
    case 950: return Script::kTraditionalChinese;
    default: return Script::kLatin;
  }
}

const char* CjkFamily(Script script) {
  switch (script) {
    case Script::kSimplifiedChinese: return "Noto Sans CJK SC";
    case Script::kKorean: return "Noto Sans CJK KR";
    case Script::kTraditionalChinese: return "Noto Sans CJK TC";
    default: return "Noto Sans CJK JP";
  }
}

const char* LanguageTag(Script script) {
  switch (script) {
    case Script::kJapanese: return "ja";
    case Script::kSimplifiedChinese: return "zh-cn";
    case Script::kKorean: return "ko";
    case Script::kTraditionalChinese: return "zh-tw";
    default: return "en";
  }
}

// The CJK faces the system's East Asian editions name in dialog templates,
// by their native and their English names.
struct CjkFace {
  const char* name;
  Script script;
};
const CjkFace kCjkFaces[] = {
    {"\xE6\x96\xB0\xE7\xB4\xB0\xE6\x98\x8E\xE9\xAB\x94", Script::kTraditionalChinese},  // 新細明體
    {"\xE7\xB4\xB0\xE6\x98\x8E\xE9\xAB\x94", Script::kTraditionalChinese},              // 細明體
    {"pmingliu", Script::kTraditionalChinese},
    {"mingliu", Script::kTraditionalChinese},
    {"\xEF\xBC\xAD\xEF\xBC\xB3 \xEF\xBC\xB0\xE3\x82\xB4\xE3\x82\xB7\xE3\x83\x83\xE3\x82\xAF", Script::kJapanese},  // ＭＳ Ｐゴシック
    {"\xEF\xBC\xAD\xEF\xBC\xB3 \xE3\x82\xB4\xE3\x82\xB7\xE3\x83\x83\xE3\x82\xAF", Script::kJapanese},  // ＭＳ ゴシック
    {"ms ui gothic", Script::kJapanese},
    {"ms pgothic", Script::kJapanese},
    {"ms gothic", Script::kJapanese},
    {"meiryo", Script::kJapanese},
    {"\xEA\xB5\xB4\xEB\xA6\xBC", Script::kKorean},  // 굴림
    {"\xEB\x8F\x8B\xEC\x9B\x80", Script::kKorean},  // 돋움
    {"gulim", Script::kKorean},
    {"dotum", Script::kKorean},
    {"\xE5\xAE\x8B\xE4\xBD\x93", Script::kSimplifiedChinese},              // 宋体
    {"\xE6\x96\xB0\xE5\xAE\x8B\xE4\xBD\x93", Script::kSimplifiedChinese},  // 新宋体
    {"simsun", Script::kSimplifiedChinese},
    {"nsimsun", Script::kSimplifiedChinese},
    {"simhei", Script::kSimplifiedChinese},
};

const char* LatinSans() { return Prefer("Liberation Sans", "DejaVu Sans"); }

// The Latin family whose metrics set the line height and baseline.
const char* LatinFamilyFor(const std::string& family) {
  return std::strncmp(family.c_str(), "Noto Sans CJK", 13) == 0 ? LatinSans() : family.c_str();
}

std::string FaceToUtf8(const std::string& face, uint32_t codePage) {
  std::string cut = face.substr(0, face.find('\0'));
  if (g_utf8_validate(cut.data(), gssize(cut.size()), nullptr)) return cut;
  return DecodeWindowText(codePage, cut);
}

}  // namespace

bool FontRequest::operator<(const FontRequest& o) const {
  return std::tie(face, pointSize, bold, codePage) < std::tie(o.face, o.pointSize, o.bold, o.codePage);
}

std::string DecodeWindowText(uint32_t codePage, const std::string& ansi) {
  std::string cut = ansi.substr(0, ansi.find('\0'));
  return platform::AnsiToUtf8(platform::KnownCodePage(codePage) ? codePage : 1252, cut);
}

int PointsToPixels(int pointSize) {
  int points = std::clamp(pointSize, 1, kMaxPointSize);
  return (points * 96 + 36) / 72;
}

Substitute SubstituteFor(const std::string& faceUtf8) {
  std::string face = AsciiLower(faceUtf8);
  for (const CjkFace& cjk : kCjkFaces)
    if (face == cjk.name) return Substitute{CjkFamily(cjk.script), false};
  if (face == "verdana") return Substitute{"DejaVu Sans", false};
  if (face == "courier new" || face == "courier" || face == "fixedsys" || face == "terminal" ||
      face == "lucida console")
    return Substitute{Prefer("Liberation Mono", "DejaVu Sans Mono"), false};
  if (face == "times new roman" || face == "times") return Substitute{Prefer("Liberation Serif", "DejaVu Serif"), false};
  // "MS Sans Serif", "MS Shell Dlg", "Tahoma", "Arial" and every face not
  // known here.
  return Substitute{LatinSans(), true};
}

struct TextEngine::Layout {
  PangoLayout* layout = nullptr;
  std::vector<int> mnemonics;  // byte offsets of the underlined characters
  ~Layout() {
    if (layout) g_object_unref(layout);
  }
};

std::recursive_mutex& TextEngine::Lock() {
  static std::recursive_mutex lock;
  return lock;
}

TextEngine::TextEngine(cairo_t* cr)
    : hold_(Lock()), cr_(cr), context_(pango_font_map_create_context(SharedFontMap())) {
  cairo_font_options_t* options = cairo_font_options_create();
  cairo_font_options_set_antialias(options, CAIRO_ANTIALIAS_GRAY);
  cairo_font_options_set_hint_style(options, CAIRO_HINT_STYLE_SLIGHT);
  cairo_font_options_set_hint_metrics(options, CAIRO_HINT_METRICS_ON);
  cairo_font_options_set_subpixel_order(options, CAIRO_SUBPIXEL_ORDER_DEFAULT);
  pango_cairo_context_set_font_options(context_, options);
  cairo_font_options_destroy(options);
  pango_cairo_context_set_resolution(context_, 96.0);
  pango_context_set_base_dir(context_, PANGO_DIRECTION_LTR);
  pango_context_set_round_glyph_positions(context_, TRUE);
  pango_context_set_language(context_, pango_language_from_string("en"));
}

TextEngine::~TextEngine() {
  for (auto& entry : fonts_) pango_font_description_free(entry.second.description);
  g_object_unref(context_);
}

void TextEngine::LineMetrics(const std::string& family, int pixelSize, bool bold, int* ascent, int* lineHeight) {
  // Line metrics from the Latin family alone: CJK fonts carry tall ascents
  // that would push every line apart.
  PangoFontDescription* latin = pango_font_description_new();
  pango_font_description_set_family(latin, LatinFamilyFor(family));
  pango_font_description_set_absolute_size(latin, pixelSize * PANGO_SCALE);
  pango_font_description_set_weight(latin, bold ? PANGO_WEIGHT_BOLD : PANGO_WEIGHT_NORMAL);
  PangoFontMetrics* metrics = pango_context_get_metrics(context_, latin, pango_language_from_string("en"));
  *ascent = PANGO_PIXELS_CEIL(pango_font_metrics_get_ascent(metrics));
  *lineHeight = *ascent + PANGO_PIXELS_CEIL(pango_font_metrics_get_descent(metrics));
  pango_font_metrics_unref(metrics);
  pango_font_description_free(latin);
}

const ResolvedFont& TextEngine::Font(const FontRequest& request, bool fallback) {
  auto key = std::make_pair(request, fallback);
  auto found = fonts_.find(key);
  if (found != fonts_.end()) return found->second;

  Script script = ScriptOfCodePage(request.codePage);
  Substitute substitute = SubstituteFor(FaceToUtf8(request.face, request.codePage));
  const std::string& family = substitute.family;
  ResolvedFont font;
  font.fallback = fallback;
  font.pixelSize = PointsToPixels(request.pointSize);
  font.language = pango_language_from_string(LanguageTag(script));
  // The system's line for a sans serif dialog face is 1.2 em (13 pixels at
  // 8 points); a stand-in with taller lines steps down a pixel or two.
  int systemLine = (font.pixelSize * 6 + 2) / 5;
  int smallest = std::max(1, font.pixelSize * 3 / 4);
  for (;;) {
    LineMetrics(family, font.pixelSize, request.bold, &font.ascent, &font.lineHeight);
    if (!substitute.fitLines || font.lineHeight <= systemLine || font.pixelSize <= smallest) break;
    --font.pixelSize;
  }

  std::string families = family;
  if (fallback) families += std::string(",DejaVu Sans,") + CjkFamily(script);
  font.description = pango_font_description_new();
  pango_font_description_set_family(font.description, families.c_str());
  pango_font_description_set_absolute_size(font.description, font.pixelSize * PANGO_SCALE);
  pango_font_description_set_weight(font.description, request.bold ? PANGO_WEIGHT_BOLD : PANGO_WEIGHT_NORMAL);
  return fonts_.emplace(key, font).first->second;
}

std::unique_ptr<TextEngine::Layout> TextEngine::Prepare(const ResolvedFont& font, const std::string& utf8,
                                                          unsigned flags, int wrapWidth) {
  auto prepared = std::make_unique<Layout>();
  std::string text;
  if (flags & kTextNoPrefix) {
    text = utf8;
  } else {
    // "&x" underlines x, "&&" is one '&', a final '&' shows nothing.
    for (size_t i = 0; i < utf8.size(); ++i) {
      if (utf8[i] != '&') {
        text += utf8[i];
        continue;
      }
      if (++i >= utf8.size()) break;
      if (utf8[i] != '&') prepared->mnemonics.push_back(int(text.size()));
      text += utf8[i];
    }
  }
  prepared->layout = pango_layout_new(context_);
  PangoLayout* layout = prepared->layout;
  pango_layout_set_text(layout, text.data(), int(text.size()));
  pango_layout_set_font_description(layout, font.description);
  PangoAttrList* attrs = pango_attr_list_new();
  pango_attr_list_insert(attrs, pango_attr_language_new(font.language));
  if (!font.fallback) pango_attr_list_insert(attrs, pango_attr_fallback_new(FALSE));
  pango_layout_set_attributes(layout, attrs);
  pango_attr_list_unref(attrs);
  pango_layout_set_alignment(layout, PANGO_ALIGN_LEFT);
  if (wrapWidth > 0 && (flags & (kTextWordBreak | kTextEndEllipsis | kTextPathEllipsis))) {
    pango_layout_set_width(layout, wrapWidth * PANGO_SCALE);
    if (flags & kTextEndEllipsis) {
      pango_layout_set_ellipsize(layout, PANGO_ELLIPSIZE_END);
    } else if (flags & kTextPathEllipsis) {
      pango_layout_set_ellipsize(layout, PANGO_ELLIPSIZE_MIDDLE);
    } else {
      pango_layout_set_wrap(layout, PANGO_WRAP_WORD_CHAR);
    }
    if (flags & (kTextEndEllipsis | kTextPathEllipsis)) pango_layout_set_height(layout, 0);
  }
  return prepared;
}

TextSize TextEngine::Measure(const ResolvedFont& font, const std::string& utf8, unsigned flags, int wrapWidth) {
  auto prepared = Prepare(font, utf8, flags, wrapWidth);
  TextSize size;
  int lines = pango_layout_get_line_count(prepared->layout);
  for (int i = 0; i < lines; ++i) {
    PangoRectangle logical;
    pango_layout_line_get_pixel_extents(pango_layout_get_line_readonly(prepared->layout, i), nullptr, &logical);
    size.width = std::max(size.width, logical.width);
  }
  size.height = lines * font.lineHeight;
  return size;
}

Rect TextEngine::Draw(const ResolvedFont& font, const std::string& utf8, const Rect& box, unsigned flags,
                      Rgb color) {
  auto prepared = Prepare(font, utf8, flags, box.w);
  PangoLayout* layout = prepared->layout;
  int lines = pango_layout_get_line_count(layout);
  int total = lines * font.lineHeight;
  int top = box.y;
  if (flags & kTextVCenter) top = box.y + (box.h - total) / 2;
  if (flags & kTextBottom) top = box.bottom() - total;

  cairo_save(cr_);
  cairo_set_source_rgb(cr_, color.r / 255.0, color.g / 255.0, color.b / 255.0);
  Rect used{box.x + box.w, top, 0, total};
  int usedRight = box.x;
  for (int i = 0; i < lines; ++i) {
    PangoLayoutLine* line = pango_layout_get_line_readonly(layout, i);
    PangoRectangle logical;
    pango_layout_line_get_pixel_extents(line, nullptr, &logical);
    int x = box.x;
    if (flags & kTextCenter) x = box.x + (box.w - logical.width) / 2;
    if (flags & kTextRight) x = box.right() - logical.width;
    int baseline = top + i * font.lineHeight + font.ascent;
    cairo_move_to(cr_, x - logical.x, baseline);
    pango_cairo_show_layout_line(cr_, line);
    for (int index : prepared->mnemonics) {
      if (index < line->start_index || index >= line->start_index + line->length) continue;
      const char* text = pango_layout_get_text(layout);
      int next = int(g_utf8_next_char(text + index) - text);
      int x0 = 0, x1 = 0;
      pango_layout_line_index_to_x(line, index, FALSE, &x0);
      pango_layout_line_index_to_x(line, next, FALSE, &x1);
      int left = PANGO_PIXELS(std::min(x0, x1)), right = PANGO_PIXELS(std::max(x0, x1));
      HLine(cr_, x - logical.x + left, baseline + 1, std::max(1, right - left), color);
    }
    used.x = std::min(used.x, x);
    usedRight = std::max(usedRight, x + logical.width);
  }
  cairo_restore(cr_);
  used.w = std::max(0, usedRight - used.x);
  if (lines == 0) used.x = box.x;
  return used;
}

Rect TextEngine::DrawState(const ResolvedFont& font, const std::string& utf8, const Rect& box, unsigned flags,
                           bool enabled, Rgb color) {
  if (enabled) return Draw(font, utf8, box, flags, color);
  Draw(font, utf8, Rect{box.x + 1, box.y + 1, box.w, box.h}, flags, colors::kHighlight);
  return Draw(font, utf8, box, flags, colors::kShadow);
}

}  // namespace draw

// Fontconfig keeps its caches behind encoded pointers that LeakSanitizer
// cannot follow, so in sanitizer builds every program that draws text would
// report them as leaks at exit. They are the library's caches, kept on
// purpose; this hook of the sanitizer runtime (unused in other builds)
// tells it so. It lives here because every program that draws links this
// file.
extern "C" const char* __lsan_default_suppressions() { return "leak:libfontconfig.so\n"; }
