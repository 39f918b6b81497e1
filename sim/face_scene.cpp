#include "sim/face_scene.h"

#include <cmath>
#include <cstring>

namespace sim {
namespace {

struct Rgb {
  uint8_t r, g, b;
};

// Colours chosen so that only the face falls inside the driver's default skin
// rule: the wall is blue-grey, the hair and the shirt are cool dark tones.
constexpr Rgb kSkin = {224, 170, 140};
constexpr Rgb kSkinShade = {196, 138, 112};
constexpr Rgb kEye = {52, 38, 36};
constexpr Rgb kBrow = {44, 34, 32};
constexpr Rgb kMouth = {118, 40, 44};
constexpr Rgb kHair = {30, 30, 36};
constexpr Rgb kShirt = {40, 60, 120};

// Small deterministic noise so that the picture is not perfectly flat, as a
// sensor's would not be.
int Noise(int x, int y, uint32_t frame) {
  uint32_t h = uint32_t(x) * 73856093u ^ uint32_t(y) * 19349663u ^ frame * 83492791u;
  h ^= h >> 13;
  h *= 0x5bd1e995u;
  h ^= h >> 15;
  return int(h % 5) - 2;
}

uint8_t Clamp(int v) { return uint8_t(v < 0 ? 0 : (v > 255 ? 255 : v)); }

void Put(uint8_t* p, Rgb c, int n) {
  p[0] = Clamp(c.r + n);
  p[1] = Clamp(c.g + n);
  p[2] = Clamp(c.b + n);
}

Rgb Background(int x, int y, int width, int height) {
  // Wall with a gentle vertical gradient, a framed picture, a window and a
  // darker floor band.
  double fx = double(x) / width, fy = double(y) / height;
  if (fy > 0.86) return Rgb{70, 84, 78};
  if (fx > 0.06 && fx < 0.22 && fy > 0.10 && fy < 0.42) {
    bool border = fx < 0.075 || fx > 0.205 || fy < 0.12 || fy > 0.40;
    return border ? Rgb{200, 210, 220} : Rgb{150, 190, 230};
  }
  if (fx > 0.80 && fx < 0.94 && fy > 0.16 && fy < 0.34) {
    bool border = fx < 0.81 || fx > 0.93 || fy < 0.175 || fy > 0.325;
    return border ? Rgb{60, 62, 70} : Rgb{90, 130, 110};
  }
  int g = int(20 * fy);
  return Rgb{uint8_t(96 + g), uint8_t(112 + g), uint8_t(140 + g)};
}

bool InEllipse(double x, double y, double cx, double cy, double a, double b) {
  double dx = (x - cx) / a, dy = (y - cy) / b;
  return dx * dx + dy * dy <= 1.0;
}

// The face at centre (cx, cy) with unit size s (the face is s wide and
// 1.3 s tall); returns true and the colour when (x, y) belongs to it, the hair
// or the shoulders.
bool FacePixel(double x, double y, double cx, double cy, double s, Rgb* out) {
  const double a = 0.5 * s, b = 0.65 * s;
  bool inFace = InEllipse(x, y, cx, cy, a, b);
  // Hair: a cap over the top of the head, reaching down the sides to the
  // middle of the ears.
  const bool inHair = inFace ? y < cy - 0.40 * s
                             : InEllipse(x, y, cx, cy - 0.06 * s, 0.57 * s, 0.72 * s) && y < cy - 0.05 * s;
  if (!inFace && inHair) {
    *out = kHair;
    return true;
  }
  if (!inFace) {
    // Shoulders: a rounded block of shirt below the chin.
    if (y > cy + 0.78 * s && std::fabs(x - cx) < 0.6 * s + (y - cy - 0.78 * s) * 1.2) {
      *out = kShirt;
      return true;
    }
    return false;
  }
  if (inHair) {
    *out = kHair;
    return true;
  }
  const double eyeY = cy - 0.12 * s, eyeDx = 0.22 * s;
  if (InEllipse(x, y, cx - eyeDx, eyeY, 0.095 * s, 0.05 * s) || InEllipse(x, y, cx + eyeDx, eyeY, 0.095 * s, 0.05 * s)) {
    *out = kEye;
    return true;
  }
  const double browY = cy - 0.23 * s;
  if (std::fabs(y - browY) < 0.022 * s && (std::fabs(x - (cx - eyeDx)) < 0.11 * s || std::fabs(x - (cx + eyeDx)) < 0.11 * s)) {
    *out = kBrow;
    return true;
  }
  // Nose: two shaded sides and the nostrils.
  if (y > cy - 0.10 * s && y < cy + 0.12 * s && std::fabs(std::fabs(x - cx) - 0.055 * s) < 0.014 * s) {
    *out = kSkinShade;
    return true;
  }
  if (InEllipse(x, y, cx - 0.045 * s, cy + 0.13 * s, 0.03 * s, 0.018 * s) ||
      InEllipse(x, y, cx + 0.045 * s, cy + 0.13 * s, 0.03 * s, 0.018 * s)) {
    *out = kEye;
    return true;
  }
  if (InEllipse(x, y, cx, cy + 0.30 * s, 0.17 * s, 0.045 * s)) {
    *out = kMouth;
    return true;
  }
  *out = kSkin;
  return true;
}

void Render(uint8_t* rgb, int width, int height, uint32_t frameNumber, FaceTruth* truth, bool withFace) {
  FaceTruth t = FaceSceneTruth(width, height, frameNumber);
  if (!withFace) t = FaceTruth{};
  const double s = 0.30 * height;
  for (int y = 0; y < height; ++y) {
    uint8_t* row = rgb + size_t(y) * width * 3;
    for (int x = 0; x < width; ++x) {
      Rgb c;
      if (!(t.present && FacePixel(x + 0.5, y + 0.5, t.centerX, t.centerY, s, &c))) c = Background(x, y, width, height);
      Put(row + x * 3, c, Noise(x, y, frameNumber));
    }
  }
  if (truth) *truth = t;
}

}  // namespace

FaceTruth FaceSceneTruth(int width, int height, uint32_t frameNumber) {
  FaceTruth t;
  if (width < 16 || height < 16) return t;
  // The face drifts left and right between 30% and 70% of the width, about
  // one pixel per frame at 640 wide, and bobs a little up and down.
  const uint32_t period = 512;
  uint32_t phase = frameNumber % period;
  double tri = phase < period / 2 ? double(phase) / (period / 2) : 2.0 - double(phase) / (period / 2);
  double cx = width * (0.30 + 0.40 * tri);
  double cy = height * (0.48 + 0.04 * std::sin(2.0 * 3.14159265358979 * frameNumber / 360.0));
  const double s = 0.30 * height;
  t.present = true;
  t.centerX = int(cx);
  t.centerY = int(cy);
  t.width = int(s);
  t.height = int(1.3 * s);
  return t;
}

void RenderFaceScene(uint8_t* rgb, int width, int height, uint32_t frameNumber, FaceTruth* truth) {
  Render(rgb, width, height, frameNumber, truth, true);
}

void RenderFaceSceneBackground(uint8_t* rgb, int width, int height, uint32_t frameNumber, FaceTruth* truth) {
  Render(rgb, width, height, frameNumber, truth, false);
}

}  // namespace sim
