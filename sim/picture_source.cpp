// Pictures of the simulated camera and the adjustments its sensor and bridge
// make to them.
#include "sim/picture_source.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <vector>

#if __has_include("sim/face_scene.h")
#include "sim/face_scene.h"
#define QCAM_HAVE_FACE_SCENE 1
#endif

namespace sim {
namespace {

inline uint8_t Clamp255(int v) { return static_cast<uint8_t>(v < 0 ? 0 : (v > 255 ? 255 : v)); }

constexpr int kCounterCells = 16;

void FillRect(RgbImage* img, int x0, int y0, int x1, int y1, uint8_t r, uint8_t g, uint8_t b) {
  x0 = std::max(0, x0);
  y0 = std::max(0, y0);
  x1 = std::min(img->width, x1);
  y1 = std::min(img->height, y1);
  for (int y = y0; y < y1; ++y) {
    uint8_t* p = img->rgb.data() + (size_t(y) * img->width + x0) * 3;
    for (int x = x0; x < x1; ++x, p += 3) {
      p[0] = r;
      p[1] = g;
      p[2] = b;
    }
  }
}

}  // namespace

void RenderTestScene(int width, int height, uint32_t frameNumber, RgbImage* out) {
  out->width = width;
  out->height = height;
  out->rgb.resize(size_t(width) * height * 3);
  // Background: sky blue at the top to a warm floor at the bottom.
  for (int y = 0; y < height; ++y) {
    const int t = height > 1 ? y * 256 / (height - 1) : 0;
    const uint8_t r = uint8_t(110 + (200 - 110) * t / 256);
    const uint8_t g = uint8_t(160 + (170 - 160) * t / 256);
    const uint8_t b = uint8_t(220 + (120 - 220) * t / 256);
    uint8_t* p = out->rgb.data() + size_t(y) * width * 3;
    for (int x = 0; x < width; ++x, p += 3) {
      p[0] = r;
      p[1] = g;
      p[2] = b;
    }
  }
  // Colour bars across the top.
  static const uint8_t kBars[8][3] = {{235, 235, 235}, {235, 235, 16}, {16, 235, 235}, {16, 235, 16},
                                      {235, 16, 235}, {235, 16, 16},  {16, 16, 235},  {16, 16, 16}};
  const int barTop = height / 12, barBottom = height / 4;
  for (int i = 0; i < 8; ++i)
    FillRect(out, i * width / 8, barTop, (i + 1) * width / 8, barBottom, kBars[i][0], kBars[i][1], kBars[i][2]);
  // An orange block on the left, lower half: shows mirroring and flipping.
  FillRect(out, width / 12, height * 5 / 12, width / 4, height * 5 / 6, 240, 140, 30);
  // A ball travelling left and right (period 90 frames).
  const double phase = (frameNumber % 90) / 90.0 * 2.0 * 3.14159265358979;
  const int radius = std::max(2, height / 8);
  const int cx = width / 2 + int((width / 2 - radius - 1) * std::sin(phase));
  const int cy = height * 3 / 5;
  for (int y = std::max(0, cy - radius); y < std::min(height, cy + radius + 1); ++y) {
    for (int x = std::max(0, cx - radius); x < std::min(width, cx + radius + 1); ++x) {
      const int dx = x - cx, dy = y - cy;
      if (dx * dx + dy * dy > radius * radius) continue;
      uint8_t* p = out->rgb.data() + (size_t(y) * width + x) * 3;
      const int hx = x - (cx - radius / 3), hy = y - (cy - radius / 3);
      const int shine = std::max(0, 90 - (hx * hx + hy * hy) * 90 / std::max(1, radius * radius / 4));
      p[0] = Clamp255(40 + shine);
      p[1] = Clamp255(170 + shine);
      p[2] = Clamp255(60 + shine);
    }
  }
  // Frame counter cells along the bottom.
  const int cellTop = height - std::max(1, height / 16);
  for (int i = 0; i < kCounterCells; ++i) {
    const bool bit = (frameNumber >> (kCounterCells - 1 - i)) & 1;
    const uint8_t v = bit ? 255 : 0;
    FillRect(out, i * width / kCounterCells, cellTop, (i + 1) * width / kCounterCells, height, v, v, v);
  }
}

uint32_t ReadTestSceneCounter(const RgbImage& image) {
  if (image.width < kCounterCells || image.height < 2) return 0;
  const int y = image.height - 1 - std::max(1, image.height / 16) / 2;
  uint32_t value = 0;
  for (int i = 0; i < kCounterCells; ++i) {
    const int x = (2 * i + 1) * image.width / (2 * kCounterCells);
    const uint8_t* p = image.rgb.data() + (size_t(y) * image.width + x) * 3;
    value = (value << 1) | ((p[0] + p[1] + p[2]) > 3 * 128 ? 1u : 0u);
  }
  return value;
}

void ScaleToCover(const RgbImage& in, int width, int height, RgbImage* out) {
  out->width = width;
  out->height = height;
  out->rgb.assign(size_t(width) * height * 3, 0);
  if (in.width <= 0 || in.height <= 0 || width <= 0 || height <= 0) return;
  // Source window of the output's aspect ratio, centred; bilinear weights in 8-bit steps.
  double scale = std::max(double(width) / in.width, double(height) / in.height);
  const double winW = width / scale, winH = height / scale;
  const double x0 = (in.width - winW) / 2.0, y0 = (in.height - winH) / 2.0;
  for (int y = 0; y < height; ++y) {
    double sy = y0 + (y + 0.5) / scale - 0.5;
    sy = std::min(std::max(sy, 0.0), double(in.height - 1));
    const int iy = int(sy);
    const int iy1 = std::min(iy + 1, in.height - 1);
    const int fy = int((sy - iy) * 256);
    uint8_t* dst = out->rgb.data() + size_t(y) * width * 3;
    for (int x = 0; x < width; ++x) {
      double sx = x0 + (x + 0.5) / scale - 0.5;
      sx = std::min(std::max(sx, 0.0), double(in.width - 1));
      const int ix = int(sx);
      const int ix1 = std::min(ix + 1, in.width - 1);
      const int fx = int((sx - ix) * 256);
      const uint8_t* a = in.rgb.data() + (size_t(iy) * in.width + ix) * 3;
      const uint8_t* b = in.rgb.data() + (size_t(iy) * in.width + ix1) * 3;
      const uint8_t* c = in.rgb.data() + (size_t(iy1) * in.width + ix) * 3;
      const uint8_t* d = in.rgb.data() + (size_t(iy1) * in.width + ix1) * 3;
      for (int k = 0; k < 3; ++k) {
        const int top = a[k] * (256 - fx) + b[k] * fx;
        const int bot = c[k] * (256 - fx) + d[k] * fx;
        dst[x * 3 + k] = uint8_t((top * (256 - fy) + bot * fy + (1 << 15)) >> 16);
      }
    }
  }
}

bool PictureSource::Open(const std::string& sourceFile, const std::string& scene, std::string* error) {
  scene_ = scene;
  haveStill_ = false;
  scaled_.clear();
  if (!scene.empty() && scene != "face") {
    if (error) *error = "unknown scene '" + scene + "' (known: face)";
    return false;
  }
#ifndef QCAM_HAVE_FACE_SCENE
  if (scene == "face") {
    if (error) *error = "the face scene is not built in";
    return false;
  }
#endif
  if (!sourceFile.empty()) {
    if (!ReadPicture(sourceFile, &still_, error)) return false;
    haveStill_ = true;
  }
  return true;
}

void PictureSource::Render(int width, int height, uint32_t frameNumber, RgbImage* out, FaceTruth* truth) {
  if (truth) *truth = FaceTruth{};
  if (haveStill_) {
    auto key = std::make_pair(width, height);
    auto it = scaled_.find(key);
    if (it == scaled_.end()) {
      if (scaled_.size() > 8) scaled_.clear();
      RgbImage scaled;
      ScaleToCover(still_, width, height, &scaled);
      it = scaled_.emplace(key, std::move(scaled)).first;
    }
    *out = it->second;
    return;
  }
#ifdef QCAM_HAVE_FACE_SCENE
  if (scene_ == "face") {
    out->width = width;
    out->height = height;
    out->rgb.resize(size_t(width) * height * 3);
    RenderFaceScene(out->rgb.data(), width, height, frameNumber, truth);
    return;
  }
#endif
  RenderTestScene(width, height, frameNumber, out);
}

void ApplyPictureSettings(const PictureSettings& s, uint32_t frameNumber, RgbImage* image) {
  const int w = image->width, h = image->height;
  if (w <= 0 || h <= 0) return;
  // Exposure, gain and low light multiply the light (8.8 fixed point).
  int mult = 256 + s.gain * 256 / 100;
  if (!s.exposureAuto) {
    const int e = int(std::min<uint32_t>(s.exposureTime, 100000));
    mult = mult * std::min(std::max(e * 256 / 156, 16), 1024) / 256;
  }
  if (s.lowLight) mult = mult * 3 / 2;
  // White balance set by hand: a higher temperature setting warms the picture.
  int warm = s.whiteBalanceAuto ? 0 : (s.whiteBalance - 4600) * 30 / 1900;
  if (s.outdoor) warm += 12;
  int contrastNum = s.contrast, contrastDen = std::max(1, s.contrastDefault);
  if (s.outdoor) contrastNum = contrastNum * 6 / 5;
  const double gammaExp = 100.0 / std::max(1, s.gamma);
  const int offset = s.brightness * 3 / 2;
  uint8_t lut[3][256];
  for (int c = 0; c < 3; ++c) {
    const int shift = c == 0 ? warm : (c == 2 ? -warm : 0);
    for (int v = 0; v < 256; ++v) {
      int x = (v * mult + 128) / 256 + shift;
      if (s.backlight >= 2 && x < 128) x += (128 - x) / 4;
      x = Clamp255(x);
      if (s.gamma != 100) x = int(255.0 * std::pow(x / 255.0, gammaExp) + 0.5);
      x = (x - 128) * contrastNum / contrastDen + 128 + offset;
      lut[c][v] = Clamp255(x);
    }
  }
  const bool chroma = s.blackWhite || s.saturation != s.saturationDefault || s.hue != 0;
  const double hueRad = s.hue * 3.14159265358979 / 180.0;
  const int satNum = s.blackWhite ? 0 : s.saturation, satDen = std::max(1, s.saturationDefault);
  const int cosH = int(std::cos(hueRad) * 256), sinH = int(std::sin(hueRad) * 256);
  // Flicker bands without power-line filtering.
  std::vector<int> rowOffset(h, 0);
  if (s.powerLine == 0) {
    for (int y = 0; y < h; ++y)
      rowOffset[y] = int(8 * std::sin((y * 4.0 / h + frameNumber * 0.3) * 2 * 3.14159265358979));
  }
  uint32_t noise = 0x9E3779B9u ^ (frameNumber * 2654435761u);
  const int sharpAmount = s.sharpness - s.sharpnessDefault;
  for (int y = 0; y < h; ++y) {
    uint8_t* p = image->rgb.data() + size_t(y) * w * 3;
    for (int x = 0; x < w; ++x, p += 3) {
      int r = lut[0][p[0]], g = lut[1][p[1]], b = lut[2][p[2]];
      if (chroma) {
        const int Y = (77 * r + 150 * g + 29 * b) >> 8;
        const int u = b - Y, v = r - Y;
        const int u2 = ((u * cosH - v * sinH) / 256) * satNum / satDen;
        const int v2 = ((u * sinH + v * cosH) / 256) * satNum / satDen;
        r = Y + v2;
        b = Y + u2;
        g = Y - (77 * v2 + 29 * u2) / 150;
      }
      int add = rowOffset[y];
      if (s.lowLight) {
        noise = noise * 1664525u + 1013904223u;
        add += int((noise >> 24) % 13) - 6;
      }
      p[0] = Clamp255(r + add);
      p[1] = Clamp255(g + add);
      p[2] = Clamp255(b + add);
    }
    // Sharpness away from its default: a light horizontal unsharp mask (or blur).
    if (sharpAmount != 0 && w >= 3) {
      std::vector<uint8_t> row(p - size_t(w) * 3, p);
      uint8_t* q = image->rgb.data() + size_t(y) * w * 3;
      for (int x = 1; x + 1 < w; ++x)
        for (int k = 0; k < 3; ++k) {
          const int c = row[x * 3 + k];
          const int lap = 2 * c - row[(x - 1) * 3 + k] - row[(x + 1) * 3 + k];
          q[x * 3 + k] = Clamp255(c + lap * sharpAmount / 8);
        }
    }
  }
  if (s.mirrored) {
    for (int y = 0; y < h; ++y) {
      uint8_t* row = image->rgb.data() + size_t(y) * w * 3;
      for (int x = 0; x < w / 2; ++x)
        for (int k = 0; k < 3; ++k) std::swap(row[x * 3 + k], row[(w - 1 - x) * 3 + k]);
    }
  }
  if (s.flipped) {
    for (int y = 0; y < h / 2; ++y)
      std::swap_ranges(image->rgb.begin() + size_t(y) * w * 3, image->rgb.begin() + size_t(y + 1) * w * 3,
                       image->rgb.begin() + size_t(h - 1 - y) * w * 3);
  }
}

}  // namespace sim
