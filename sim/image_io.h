// Pictures in and out of the simulation and the tools: PNG and JPEG files,
// the camera's JPEG encoder, and conversions of delivered frames for viewing.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace sim {

// Top-down, 3 bytes per pixel in the order R, G, B.
struct RgbImage {
  int width = 0;
  int height = 0;
  std::vector<uint8_t> rgb;
};

// Reads a PNG or JPEG file (by its signature); false with a one-line reason.
bool ReadPicture(const std::string& path, RgbImage* out, std::string* error);
// Decodes JPEG bytes held in memory (`what` names them in the reason).
bool DecodeJpeg(const std::vector<uint8_t>& bytes, const std::string& what, RgbImage* out, std::string* error);
bool WritePng(const std::string& path, const RgbImage& image, std::string* error);
// Baseline JPEG, 4:2:2 (as the camera sends it) or 4:2:0, optional restart
// interval in MCUs (0 = none); libjpeg-turbo, for the simulation and tests.
bool EncodeJpeg(const RgbImage& image, int quality, bool subsample420, int restartInterval,
                std::vector<uint8_t>* jpeg);
// Removes the application (APPn) segments before the scan: the camera's
// bridge sends bare baseline pictures.
void DropApplicationSegments(std::vector<uint8_t>* jpeg);

// Delivered layouts to RGB for viewing.
void Yuy2ToRgb(const uint8_t* yuy2, int width, int height, RgbImage* out);
void I420ToRgb(const uint8_t* i420, int width, int height, RgbImage* out);
void BottomUpBgrToRgb(const uint8_t* bgr, int width, int height, RgbImage* out);
// RGB to the camera's YUY2 (BT.601 studio range).
void RgbToYuy2(const RgbImage& image, std::vector<uint8_t>* yuy2);

}  // namespace sim
