// Draws the eleven built-in photo frames with a few raster primitives.
// Every frame is a decoration around or over a pure-blue cut-out; the
// drawing colours never use pure blue themselves, so the cut-outs are
// exactly the areas painted with kKey.
#include "tools/qcam/frame_art.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>

#include "driver/imaging/photo_frame.h"

namespace qcam_tool {
namespace {

constexpr int W = 640;
constexpr int H = 480;

struct Rgb {
  uint8_t r, g, b;
};
constexpr Rgb kKey{0, 0, 255};  // the cut-out colour

// A top-down canvas; written bottom-up as BGR into the bitmap.
struct Canvas {
  std::vector<Rgb> px = std::vector<Rgb>(size_t(W) * H, Rgb{0, 0, 0});

  void Set(int x, int y, Rgb c) {
    if (x >= 0 && x < W && y >= 0 && y < H) px[size_t(y) * W + x] = c;
  }
  Rgb Get(int x, int y) const { return px[size_t(y) * W + x]; }
  void Fill(Rgb c) { std::fill(px.begin(), px.end(), c); }
  void Rect(int x0, int y0, int x1, int y1, Rgb c) {  // inclusive-exclusive
    for (int y = y0; y < y1; ++y)
      for (int x = x0; x < x1; ++x) Set(x, y, c);
  }
  void Ellipse(double cx, double cy, double rx, double ry, Rgb c) {
    for (int y = int(cy - ry) - 1; y <= int(cy + ry) + 1; ++y)
      for (int x = int(cx - rx) - 1; x <= int(cx + rx) + 1; ++x) {
        const double dx = (x + 0.5 - cx) / rx, dy = (y + 0.5 - cy) / ry;
        if (dx * dx + dy * dy <= 1.0) Set(x, y, c);
      }
  }
  void Circle(double cx, double cy, double r, Rgb c) { Ellipse(cx, cy, r, r, c); }
  void Ring(double cx, double cy, double r0, double r1, Rgb c) {
    for (int y = int(cy - r1) - 1; y <= int(cy + r1) + 1; ++y)
      for (int x = int(cx - r1) - 1; x <= int(cx + r1) + 1; ++x) {
        const double d = std::hypot(x + 0.5 - cx, y + 0.5 - cy);
        if (d >= r0 && d <= r1) Set(x, y, c);
      }
  }
  void RoundRect(int x0, int y0, int x1, int y1, int radius, Rgb c) {
    for (int y = y0; y < y1; ++y)
      for (int x = x0; x < x1; ++x) {
        const int cx = x < x0 + radius ? x0 + radius : (x >= x1 - radius ? x1 - radius - 1 : x);
        const int cy = y < y0 + radius ? y0 + radius : (y >= y1 - radius ? y1 - radius - 1 : y);
        if ((x - cx) * (x - cx) + (y - cy) * (y - cy) <= radius * radius) Set(x, y, c);
      }
  }
  void Line(double x0, double y0, double x1, double y1, double thick, Rgb c) {
    const double len = std::hypot(x1 - x0, y1 - y0);
    const int steps = int(len * 2) + 1;
    for (int i = 0; i <= steps; ++i) {
      const double t = double(i) / steps;
      Circle(x0 + (x1 - x0) * t, y0 + (y1 - y0) * t, thick / 2, c);
    }
  }
  // Filled polygon by even-odd scanlines.
  void Polygon(const std::vector<std::pair<double, double>>& pts, Rgb c) {
    for (int y = 0; y < H; ++y) {
      const double sy = y + 0.5;
      std::vector<double> xs;
      for (size_t i = 0; i < pts.size(); ++i) {
        auto a = pts[i], b = pts[(i + 1) % pts.size()];
        if ((a.second <= sy && b.second > sy) || (b.second <= sy && a.second > sy))
          xs.push_back(a.first + (sy - a.second) * (b.first - a.first) / (b.second - a.second));
      }
      std::sort(xs.begin(), xs.end());
      for (size_t i = 0; i + 1 < xs.size(); i += 2)
        for (int x = int(std::ceil(xs[i] - 0.5)); x < int(std::ceil(xs[i + 1] - 0.5)); ++x) Set(x, y, c);
    }
  }
  void VerticalGradient(int y0, int y1, Rgb top, Rgb bottom) {
    for (int y = y0; y < y1; ++y) {
      const double t = y1 - 1 > y0 ? double(y - y0) / (y1 - 1 - y0) : 0;
      Rgb c{uint8_t(top.r + (bottom.r - top.r) * t), uint8_t(top.g + (bottom.g - top.g) * t),
            uint8_t(top.b + (bottom.b - top.b) * t)};
      Rect(0, y, W, y + 1, c);
    }
  }
};

// ---- a 5x7 capital font ------------------------------------------------------
struct Glyph {
  char ch;
  uint8_t rows[7];  // five bits a row, bit 4 = left
};
const Glyph kFont[] = {
    {'A', {0x0E, 0x11, 0x11, 0x1F, 0x11, 0x11, 0x11}}, {'B', {0x1E, 0x11, 0x11, 0x1E, 0x11, 0x11, 0x1E}},
    {'C', {0x0E, 0x11, 0x10, 0x10, 0x10, 0x11, 0x0E}}, {'D', {0x1E, 0x11, 0x11, 0x11, 0x11, 0x11, 0x1E}},
    {'E', {0x1F, 0x10, 0x10, 0x1E, 0x10, 0x10, 0x1F}}, {'G', {0x0E, 0x11, 0x10, 0x17, 0x11, 0x11, 0x0F}},
    {'H', {0x11, 0x11, 0x11, 0x1F, 0x11, 0x11, 0x11}}, {'I', {0x0E, 0x04, 0x04, 0x04, 0x04, 0x04, 0x0E}},
    {'K', {0x11, 0x12, 0x14, 0x18, 0x14, 0x12, 0x11}}, {'L', {0x10, 0x10, 0x10, 0x10, 0x10, 0x10, 0x1F}},
    {'M', {0x11, 0x1B, 0x15, 0x15, 0x11, 0x11, 0x11}}, {'N', {0x11, 0x19, 0x15, 0x13, 0x11, 0x11, 0x11}},
    {'O', {0x0E, 0x11, 0x11, 0x11, 0x11, 0x11, 0x0E}}, {'P', {0x1E, 0x11, 0x11, 0x1E, 0x10, 0x10, 0x10}},
    {'R', {0x1E, 0x11, 0x11, 0x1E, 0x14, 0x12, 0x11}}, {'S', {0x0F, 0x10, 0x10, 0x0E, 0x01, 0x01, 0x1E}},
    {'T', {0x1F, 0x04, 0x04, 0x04, 0x04, 0x04, 0x04}}, {'U', {0x11, 0x11, 0x11, 0x11, 0x11, 0x11, 0x0E}},
    {'V', {0x11, 0x11, 0x11, 0x11, 0x11, 0x0A, 0x04}}, {'W', {0x11, 0x11, 0x11, 0x15, 0x15, 0x15, 0x0A}},
    {'Y', {0x11, 0x11, 0x0A, 0x04, 0x04, 0x04, 0x04}}, {'!', {0x04, 0x04, 0x04, 0x04, 0x04, 0x00, 0x04}},
    {'0', {0x0E, 0x11, 0x13, 0x15, 0x19, 0x11, 0x0E}}, {'1', {0x04, 0x0C, 0x04, 0x04, 0x04, 0x04, 0x0E}},
    {'2', {0x0E, 0x11, 0x01, 0x02, 0x04, 0x08, 0x1F}}, {'3', {0x1F, 0x02, 0x04, 0x02, 0x01, 0x11, 0x0E}},
    {'4', {0x02, 0x06, 0x0A, 0x12, 0x1F, 0x02, 0x02}}, {'5', {0x1F, 0x10, 0x1E, 0x01, 0x01, 0x11, 0x0E}},
    {'6', {0x06, 0x08, 0x10, 0x1E, 0x11, 0x11, 0x0E}}, {'7', {0x1F, 0x01, 0x02, 0x04, 0x08, 0x08, 0x08}},
    {'8', {0x0E, 0x11, 0x11, 0x0E, 0x11, 0x11, 0x0E}}, {'9', {0x0E, 0x11, 0x11, 0x0F, 0x01, 0x02, 0x0C}},
    {':', {0x00, 0x0C, 0x0C, 0x00, 0x0C, 0x0C, 0x00}}, {'F', {0x1F, 0x10, 0x10, 0x1E, 0x10, 0x10, 0x10}},
    {'J', {0x07, 0x02, 0x02, 0x02, 0x02, 0x12, 0x0C}}, {'Q', {0x0E, 0x11, 0x11, 0x11, 0x15, 0x12, 0x0D}},
    {'X', {0x11, 0x11, 0x0A, 0x04, 0x0A, 0x11, 0x11}}, {'Z', {0x1F, 0x01, 0x02, 0x04, 0x08, 0x10, 0x1F}},
    {'-', {0x00, 0x00, 0x00, 0x1F, 0x00, 0x00, 0x00}}, {'(', {0x02, 0x04, 0x08, 0x08, 0x08, 0x04, 0x02}},
    {')', {0x08, 0x04, 0x02, 0x02, 0x02, 0x04, 0x08}}, {'.', {0x00, 0x00, 0x00, 0x00, 0x00, 0x0C, 0x0C}},
    {'/', {0x01, 0x01, 0x02, 0x04, 0x08, 0x10, 0x10}},
};

int TextWidth(const char* s, int scale) { return int(std::strlen(s)) * 6 * scale - scale; }

void Text(Canvas& c, int x, int y, const char* s, int scale, Rgb color) {
  for (; *s; ++s, x += 6 * scale) {
    for (const Glyph& g : kFont) {
      if (g.ch != *s) continue;
      for (int r = 0; r < 7; ++r)
        for (int col = 0; col < 5; ++col)
          if (g.rows[r] & (0x10 >> col)) c.Rect(x + col * scale, y + r * scale, x + (col + 1) * scale, y + (r + 1) * scale, color);
    }
  }
}

void TextCentred(Canvas& c, int cy, const char* s, int scale, Rgb color, Rgb shadow) {
  const int x = (W - TextWidth(s, scale)) / 2;
  Text(c, x + scale / 2 + 1, cy + scale / 2 + 1, s, scale, shadow);
  Text(c, x, cy, s, scale, color);
}

// A small deterministic generator for scattered decorations.
struct Rng {
  uint32_t s;
  double Next() {
    s = s * 1664525u + 1013904223u;
    return (s >> 8) / double(1u << 24);
  }
};

// ---- the frames ----------------------------------------------------------------

void Balloon(Canvas& c, double x, double y, Rgb color) {
  c.Line(x, y + 34, x + 6, y + 110, 2, Rgb{90, 90, 90});
  c.Ellipse(x, y, 26, 34, color);
  c.Ellipse(x - 9, y - 12, 6, 9, Rgb{255, 255, 255});
  c.Polygon({{x - 5, y + 38}, {x + 5, y + 38}, {x, y + 31}}, color);
}

void DrawBirthday(Canvas& c) {
  c.VerticalGradient(0, H, Rgb{255, 214, 232}, Rgb{255, 170, 205});
  Rng rng{7};
  const Rgb confetti[] = {{255, 80, 80}, {250, 200, 40}, {80, 190, 90}, {120, 120, 250}, {240, 120, 250}};
  for (int i = 0; i < 260; ++i) {
    const double x = rng.Next() * W, y = rng.Next() * H;
    c.Circle(x, y, 2 + rng.Next() * 3, confetti[i % 5]);
  }
  c.RoundRect(110, 90, 530, 400, 40, kKey);
  TextCentred(c, 22, "HAPPY BIRTHDAY!", 5, Rgb{200, 30, 90}, Rgb{255, 255, 255});
  Balloon(c, 55, 150, Rgb{230, 40, 60});
  Balloon(c, 70, 280, Rgb{250, 190, 30});
  Balloon(c, 585, 140, Rgb{60, 170, 240});
  Balloon(c, 575, 275, Rgb{120, 200, 80});
  // Cake at the bottom middle.
  c.Rect(250, 410, 390, 470, Rgb{150, 90, 50});
  c.Rect(250, 410, 390, 422, Rgb{255, 250, 240});
  for (int x = 256; x < 390; x += 22) c.Ellipse(x + 6, 423, 6, 5, Rgb{255, 250, 240});
  c.Rect(240, 466, 400, 474, Rgb{240, 240, 240});
  for (int i = 0; i < 5; ++i) {
    const int x = 268 + i * 26;
    c.Rect(x, 386, x + 6, 410, Rgb{uint8_t(120 + i * 20), 160, uint8_t(250 - i * 30)});
    c.Ellipse(x + 3, 378, 4, 7, Rgb{255, 170, 20});
  }
}

void DrawCity(Canvas& c) {
  c.VerticalGradient(0, H, Rgb{30, 20, 70}, Rgb{250, 140, 80});
  c.RoundRect(40, 30, 600, 300, 18, kKey);
  Rng rng{11};
  int x = 0;
  while (x < W) {
    const int w = 40 + int(rng.Next() * 50);
    const int h = 120 + int(rng.Next() * 230);
    const Rgb body{uint8_t(40 + rng.Next() * 30), uint8_t(40 + rng.Next() * 30), uint8_t(60 + rng.Next() * 40)};
    c.Rect(x, H - h, x + w - 3, H, body);
    if (rng.Next() < 0.3) c.Line(x + w / 2, H - h, x + w / 2, H - h - 30, 3, body);
    for (int wy = H - h + 10; wy < H - 20; wy += 18)
      for (int wx = x + 6; wx < x + w - 12; wx += 12)
        if (rng.Next() < 0.55) c.Rect(wx, wy, wx + 6, wy + 9, Rgb{255, 230, 120});
    x += w;
  }
  c.Rect(0, 462, W, H, Rgb{50, 50, 55});
  for (int s = 10; s < W; s += 60) c.Rect(s, 470, s + 30, 473, Rgb{240, 220, 80});
}

void DrawBigEyes(Canvas& c) {
  // Mostly see-through: two big cartoon eyes, eyebrows and a blush over the
  // camera picture.
  c.Fill(kKey);
  for (int side = 0; side < 2; ++side) {
    const double cx = side ? 430 : 210;
    c.Ellipse(cx, 170, 92, 104, Rgb{20, 20, 20});
    c.Ellipse(cx, 170, 86, 98, Rgb{255, 255, 255});
    c.Circle(cx + (side ? -18 : 18), 190, 48, Rgb{90, 60, 30});
    c.Circle(cx + (side ? -18 : 18), 190, 30, Rgb{10, 10, 10});
    c.Circle(cx + (side ? -34 : 2), 170, 13, Rgb{255, 255, 255});
    c.Circle(cx + (side ? -8 : 28), 208, 6, Rgb{255, 255, 255});
    c.Line(cx - 70, side ? 48 : 60, cx + 70, side ? 60 : 48, 12, Rgb{40, 25, 15});
    c.Ellipse(cx + (side ? 40 : -40), 310, 40, 18, Rgb{255, 150, 160});
  }
}

void DrawDriver(Canvas& c) {
  // Seen from the driver's seat: roof, pillars, dashboard and wheel around
  // the windscreen.
  c.Fill(Rgb{45, 45, 50});
  c.Polygon({{70, 40}, {570, 40}, {630, 300}, {10, 300}}, kKey);
  c.Rect(0, 0, W, 30, Rgb{70, 70, 75});
  c.Rect(270, 30, 370, 52, Rgb{30, 30, 30});  // mirror
  c.Rect(276, 34, 364, 48, Rgb{150, 170, 190});
  c.Polygon({{0, 300}, {W, 300}, {W, H}, {0, H}}, Rgb{35, 35, 38});
  c.Rect(0, 300, W, 312, Rgb{80, 80, 85});
  // Instruments.
  c.Circle(250, 360, 34, Rgb{15, 15, 15});
  c.Circle(390, 360, 34, Rgb{15, 15, 15});
  c.Ring(250, 360, 30, 33, Rgb{200, 200, 200});
  c.Ring(390, 360, 30, 33, Rgb{200, 200, 200});
  c.Line(250, 360, 272, 340, 3, Rgb{255, 80, 40});
  c.Line(390, 360, 372, 338, 3, Rgb{255, 80, 40});
  // Wheel.
  c.Ring(320, 470, 120, 138, Rgb{20, 20, 20});
  c.Line(320, 470, 200, 440, 20, Rgb{20, 20, 20});
  c.Line(320, 470, 440, 440, 20, Rgb{20, 20, 20});
  c.Circle(320, 468, 36, Rgb{25, 25, 25});
  c.Circle(320, 468, 12, Rgb{160, 160, 170});
}

void Flower(Canvas& c, double x, double y, double r, Rgb petal, Rgb centre) {
  for (int i = 0; i < 6; ++i) {
    const double a = i * 3.14159265 / 3;
    c.Circle(x + std::cos(a) * r, y + std::sin(a) * r, r * 0.75, petal);
  }
  c.Circle(x, y, r * 0.6, centre);
}

void DrawFlower(Canvas& c) {
  c.Fill(Rgb{200, 235, 190});
  c.Ellipse(320, 240, 250, 190, kKey);
  // Leaves and flowers along the edge.
  const Rgb petals[] = {{250, 110, 150}, {255, 210, 60}, {190, 120, 240}, {255, 150, 80}, {250, 250, 250}};
  int i = 0;
  for (double a = 0; a < 2 * 3.14159265; a += 3.14159265 / 11, ++i) {
    const double x = 320 + std::cos(a) * 290, y = 240 + std::sin(a) * 222;
    c.Ellipse(x + 16, y + 10, 20, 9, Rgb{60, 150, 60});
    Flower(c, x, y, 16 + (i % 3) * 4, petals[i % 5], Rgb{250, 200, 40});
  }
  Flower(c, 40, 40, 26, Rgb{250, 90, 120}, Rgb{255, 230, 90});
  Flower(c, 600, 40, 26, Rgb{160, 110, 240}, Rgb{255, 230, 90});
  Flower(c, 40, 440, 26, Rgb{255, 190, 40}, Rgb{200, 90, 30});
  Flower(c, 600, 440, 26, Rgb{250, 140, 170}, Rgb{255, 230, 90});
}

void Pumpkin(Canvas& c, double x, double y, double s) {
  c.Rect(int(x - 4 * s), int(y - 50 * s), int(x + 5 * s), int(y - 30 * s), Rgb{70, 110, 30});
  c.Ellipse(x - 28 * s, y, 30 * s, 36 * s, Rgb{230, 110, 10});
  c.Ellipse(x + 28 * s, y, 30 * s, 36 * s, Rgb{230, 110, 10});
  c.Ellipse(x, y, 32 * s, 38 * s, Rgb{250, 130, 20});
  c.Polygon({{x - 30 * s, y - 12 * s}, {x - 12 * s, y - 12 * s}, {x - 21 * s, y - 26 * s}}, Rgb{40, 20, 0});
  c.Polygon({{x + 12 * s, y - 12 * s}, {x + 30 * s, y - 12 * s}, {x + 21 * s, y - 26 * s}}, Rgb{40, 20, 0});
  c.Polygon({{x - 36 * s, y + 8 * s}, {x + 36 * s, y + 8 * s}, {x + 20 * s, y + 24 * s}, {x, y + 16 * s},
             {x - 20 * s, y + 24 * s}},
            Rgb{40, 20, 0});
}

void Bat(Canvas& c, double x, double y, double s) {
  c.Polygon({{x - 40 * s, y - 6 * s}, {x - 12 * s, y - 10 * s}, {x, y}, {x + 12 * s, y - 10 * s},
             {x + 40 * s, y - 6 * s}, {x + 30 * s, y + 2 * s}, {x + 20 * s, y - 2 * s}, {x + 10 * s, y + 8 * s},
             {x, y + 4 * s}, {x - 10 * s, y + 8 * s}, {x - 20 * s, y - 2 * s}, {x - 30 * s, y + 2 * s}},
            Rgb{20, 10, 30});
}

void DrawHalloween(Canvas& c) {
  c.VerticalGradient(0, H, Rgb{60, 20, 80}, Rgb{240, 110, 20});
  c.Ellipse(320, 230, 235, 185, kKey);
  c.Circle(560, 60, 40, Rgb{255, 240, 180});
  Bat(c, 90, 60, 1.2);
  Bat(c, 200, 30, 0.7);
  Bat(c, 470, 40, 0.9);
  Pumpkin(c, 80, 420, 1.3);
  Pumpkin(c, 560, 425, 1.1);
  TextCentred(c, 440, "TRICK OR TREAT", 4, Rgb{255, 150, 20}, Rgb{20, 10, 30});
}

void DrawNews(Canvas& c) {
  c.Fill(kKey);
  // Lower third: headline bar, red label, ticker.
  c.Rect(0, 360, W, 420, Rgb{20, 40, 110});
  c.Rect(0, 360, 190, 420, Rgb{200, 20, 30});
  Text(c, 22, 376, "NEWS", 5, Rgb{255, 255, 255});
  Text(c, 210, 378, "BREAKING", 4, Rgb{255, 220, 60});
  c.Rect(0, 420, W, 452, Rgb{240, 240, 240});
  Text(c, 12, 429, "LIVE FROM THE WEB CAMERA  STORY AT 11", 2, Rgb{20, 20, 40});
  c.Rect(0, 452, W, H, Rgb{20, 40, 110});
  // Channel logo and clock.
  c.RoundRect(20, 20, 130, 70, 10, Rgb{200, 20, 30});
  Text(c, 34, 31, "Q24", 4, Rgb{255, 255, 255});
  c.RoundRect(510, 20, 626, 56, 8, Rgb{20, 20, 40});
  Text(c, 522, 24, "LIVE", 4, Rgb{255, 80, 80});
}

void DrawNight(Canvas& c) {
  c.VerticalGradient(0, H, Rgb{5, 10, 40}, Rgb{30, 30, 90});
  c.RoundRect(100, 70, 540, 410, 60, kKey);
  Rng rng{23};
  for (int i = 0; i < 220; ++i) {
    const double x = rng.Next() * W, y = rng.Next() * H;
    const double r = rng.Next() < 0.15 ? 2.5 : 1.2;
    c.Circle(x, y, r, Rgb{255, 250, 210});
  }
  c.Circle(560, 70, 42, Rgb{250, 240, 190});
  c.Circle(578, 58, 38, Rgb{12, 16, 52});  // crescent
  // Hills at the bottom.
  c.Ellipse(120, 520, 260, 110, Rgb{10, 30, 20});
  c.Ellipse(520, 540, 260, 120, Rgb{15, 40, 25});
}

void DrawOcean(Canvas& c) {
  c.VerticalGradient(0, H, Rgb{20, 120, 170}, Rgb{5, 40, 90});
  // A porthole.
  c.Circle(320, 235, 205, Rgb{150, 110, 40});
  c.Ring(320, 235, 180, 205, Rgb{190, 150, 60});
  c.Circle(320, 235, 180, kKey);
  for (int i = 0; i < 12; ++i) {
    const double a = i * 3.14159265 / 6;
    c.Circle(320 + std::cos(a) * 193, 235 + std::sin(a) * 193, 6, Rgb{110, 80, 30});
  }
  Rng rng{31};
  for (int i = 0; i < 40; ++i) {
    const double x = rng.Next() * W, y = rng.Next() * H;
    if (std::hypot(x - 320, y - 235) < 215) continue;
    c.Ring(x, y, 3 + rng.Next() * 5, 5 + rng.Next() * 6, Rgb{200, 235, 250});
  }
  // Fish.
  c.Ellipse(70, 380, 34, 18, Rgb{255, 140, 30});
  c.Polygon({{100, 380}, {124, 364}, {124, 396}}, Rgb{255, 140, 30});
  c.Circle(52, 376, 4, Rgb{10, 10, 10});
  c.Ellipse(575, 90, 30, 15, Rgb{250, 220, 60});
  c.Polygon({{548, 90}, {526, 76}, {526, 104}}, Rgb{250, 220, 60});
  c.Circle(590, 86, 3, Rgb{10, 10, 10});
  // Sea floor and weed.
  c.Ellipse(320, 520, 420, 70, Rgb{200, 180, 120});
  for (int x = 20; x < W; x += 70) c.Line(x, 480, x + 10, 430, 6, Rgb{40, 140, 70});
}

void Snowflake(Canvas& c, double x, double y, double r) {
  for (int i = 0; i < 3; ++i) {
    const double a = i * 3.14159265 / 3;
    c.Line(x - std::cos(a) * r, y - std::sin(a) * r, x + std::cos(a) * r, y + std::sin(a) * r, 2,
           Rgb{255, 255, 255});
  }
}

void DrawSnow(Canvas& c) {
  c.VerticalGradient(0, H, Rgb{150, 190, 230}, Rgb{215, 235, 250});
  c.RoundRect(70, 60, 570, 380, 30, kKey);
  Rng rng{41};
  for (int i = 0; i < 70; ++i) Snowflake(c, rng.Next() * W, rng.Next() * H, 4 + rng.Next() * 8);
  // Snowy ground, drifts over the cut-out's bottom edge and a snowman.
  c.Ellipse(150, 470, 260, 90, Rgb{250, 252, 255});
  c.Ellipse(500, 480, 280, 100, Rgb{245, 250, 255});
  c.Circle(560, 400, 40, Rgb{255, 255, 255});
  c.Circle(560, 340, 28, Rgb{255, 255, 255});
  c.Circle(551, 334, 3, Rgb{20, 20, 20});
  c.Circle(569, 334, 3, Rgb{20, 20, 20});
  c.Polygon({{560, 342}, {560, 348}, {585, 346}}, Rgb{250, 130, 30});
  c.Rect(536, 300, 584, 308, Rgb{30, 30, 30});
  c.Rect(544, 276, 576, 302, Rgb{30, 30, 30});
  TextCentred(c, 16, "LET IT SNOW", 4, Rgb{255, 255, 255}, Rgb{90, 120, 170});
}

void DrawTv(Canvas& c) {
  c.Fill(Rgb{230, 220, 200});  // the wall
  c.Line(260, 60, 180, 0, 5, Rgb{60, 60, 60});
  c.Line(380, 60, 460, 0, 5, Rgb{60, 60, 60});
  c.RoundRect(20, 50, 620, 440, 30, Rgb{120, 70, 30});  // wooden case
  c.RoundRect(30, 60, 610, 430, 24, Rgb{150, 90, 40});
  c.RoundRect(50, 80, 480, 410, 40, Rgb{40, 40, 40});  // bezel
  c.RoundRect(64, 94, 466, 396, 34, kKey);             // the screen
  // Control panel.
  c.Rect(500, 90, 590, 400, Rgb{110, 65, 28});
  c.Circle(545, 140, 26, Rgb{30, 30, 30});
  c.Circle(545, 140, 20, Rgb{180, 180, 180});
  c.Line(545, 140, 545, 122, 4, Rgb{30, 30, 30});
  c.Circle(545, 220, 26, Rgb{30, 30, 30});
  c.Circle(545, 220, 20, Rgb{180, 180, 180});
  c.Line(545, 220, 560, 206, 4, Rgb{30, 30, 30});
  for (int y = 270; y < 380; y += 10) c.Rect(515, y, 575, y + 4, Rgb{70, 40, 15});
  c.Rect(80, 440, 130, 470, Rgb{90, 50, 20});  // legs
  c.Rect(510, 440, 560, 470, Rgb{90, 50, 20});
}

typedef void (*DrawRoutine)(Canvas&);
const DrawRoutine kDraw[11] = {DrawBirthday, DrawCity,  DrawBigEyes, DrawDriver, DrawFlower, DrawHalloween,
                               DrawNews,     DrawNight, DrawOcean,   DrawSnow,   DrawTv};

}  // namespace

void DrawLabel(std::vector<uint8_t>* rgb, int width, int height, int x, int y, const std::string& text, int scale,
               uint8_t r, uint8_t g, uint8_t b) {
  for (char ch : text) {
    const char up = (ch >= 'a' && ch <= 'z') ? char(ch - 'a' + 'A') : ch;
    for (const Glyph& gl : kFont) {
      if (gl.ch != up) continue;
      for (int row = 0; row < 7; ++row)
        for (int col = 0; col < 5; ++col) {
          if (!(gl.rows[row] & (0x10 >> col))) continue;
          for (int dy = 0; dy < scale; ++dy)
            for (int dx = 0; dx < scale; ++dx) {
              const int px = x + col * scale + dx, py = y + row * scale + dy;
              if (px < 0 || py < 0 || px >= width || py >= height) continue;
              uint8_t* q = &(*rgb)[(size_t(py) * width + px) * 3];
              q[0] = r, q[1] = g, q[2] = b;
            }
        }
    }
    x += 6 * scale;
  }
}

bool DrawPhotoFrameFile(unsigned frameNumber, std::vector<uint8_t>* file) {
  if (frameNumber < 51 || frameNumber > 61) return false;
  Canvas c;
  kDraw[frameNumber - 51](c);
  file->assign(kFrameFileSize, 0);
  WriteFrameBitmapHeaders(file->data());
  uint8_t* out = file->data() + kFrameHeaderSize;
  for (int row = 0; row < H; ++row) {  // file rows bottom-up
    const int y = H - 1 - row;
    for (int x = 0; x < W; ++x, out += 3) {
      const Rgb p = c.Get(x, y);
      out[0] = p.b;
      out[1] = p.g;
      out[2] = p.r;
    }
  }
  return true;
}

bool WritePhotoFrameBitmaps(const std::string& windowsDir, std::string* error) {
  std::error_code ec;
  std::filesystem::create_directories(windowsDir, ec);
  if (ec) {
    if (error) *error = "cannot create " + windowsDir + ": " + ec.message();
    return false;
  }
  std::vector<uint8_t> file;
  for (unsigned n = 51; n <= 61; ++n) {
    DrawPhotoFrameFile(n, &file);
    const std::string path = (std::filesystem::path(windowsDir) / BuiltInFrameFileName(n)).string();
    const std::string tmp = path + ".tmp";
    {
      std::ofstream out(tmp, std::ios::binary | std::ios::trunc);
      out.write(reinterpret_cast<const char*>(file.data()), std::streamsize(file.size()));
      if (!out) {
        if (error) *error = "cannot write " + tmp;
        return false;
      }
    }
    std::filesystem::rename(tmp, path, ec);
    if (ec) {
      if (error) *error = "cannot rename " + tmp + " to " + path + ": " + ec.message();
      return false;
    }
  }
  return true;
}

}  // namespace qcam_tool
