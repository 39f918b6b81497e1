// The camera's picture: a moving synthetic scene, the face scene or a still
// picture from a file, and the sensor and bridge adjustments the camera's
// registers and processing-unit controls make to it.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <utility>

#include "sim/camera.h"
#include "sim/image_io.h"

namespace sim {

// What the camera's controls and registers ask of the picture.
struct PictureSettings {
  bool mirrored = false;
  bool flipped = false;
  bool blackWhite = false;
  bool lowLight = false;
  bool outdoor = false;
  int brightness = 0;          // offset in control steps (signed)
  int contrast = 32, contrastDefault = 32;
  int saturation = 64, saturationDefault = 64;
  int hue = 0;                 // degrees
  int gamma = 100;             // 100 = linear
  int gain = 0;                // 0 ... 100
  int sharpness = 3, sharpnessDefault = 3;
  bool whiteBalanceAuto = true;
  int whiteBalance = 4600;     // kelvin
  int backlight = 1;           // camera value: 1 off, 2 on
  int powerLine = 1;           // 0 off (flicker bands), 1 50 Hz, 2 60 Hz
  bool exposureAuto = true;
  uint32_t exposureTime = 156; // 100 us units
};

class PictureSource {
 public:
  // sourceFile: PNG or JPEG still picture (empty: synthetic); scene "" or "face".
  bool Open(const std::string& sourceFile, const std::string& scene, std::string* error);
  // The raw scene of frame `frameNumber` at the given size, before adjustments.
  void Render(int width, int height, uint32_t frameNumber, RgbImage* out, FaceTruth* truth);

 private:
  std::string scene_;
  RgbImage still_;
  bool haveStill_ = false;
  std::map<std::pair<int, int>, RgbImage> scaled_;
};

// The synthetic test scene: colour bars on top, an orange block on the left,
// a ball that travels left and right, and the frame number as 16 black or
// white cells along the bottom (most significant bit first).
void RenderTestScene(int width, int height, uint32_t frameNumber, RgbImage* out);
// Reads back the frame number cells of an (unadjusted, unmirrored) test scene.
uint32_t ReadTestSceneCounter(const RgbImage& image);

// Applies the camera's adjustments in place; `frameNumber` drives the noise
// of low-light mode and the flicker bands without power-line filtering.
void ApplyPictureSettings(const PictureSettings& settings, uint32_t frameNumber, RgbImage* image);

// Resizes to cover width x height (centre crop, bilinear).
void ScaleToCover(const RgbImage& in, int width, int height, RgbImage* out);

}  // namespace sim
