// The eleven built-in photo-frame bitmaps, drawn by program: 640x480 24-bit
// Windows bitmaps whose pure-blue areas (B 255, G 0, R 0) are cut-outs
// where the camera picture shows through.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace qcam_tool {

// The whole bitmap file (921,654 bytes) of built-in frame 51 ... 61; false
// for any other number.
bool DrawPhotoFrameFile(unsigned frameNumber, std::vector<uint8_t>* file);

// Writes birthday.bmp ... tv.bmp into `windowsDir` (the PC root's Windows
// folder, created if missing). False with a one-line reason.
bool WritePhotoFrameBitmaps(const std::string& windowsDir, std::string* error);

// Writes `text` in 5x7 capitals (scaled by `scale`) into a top-down RGB
// picture, clipped to it; lower-case letters are drawn as capitals.
void DrawLabel(std::vector<uint8_t>* rgb, int width, int height, int x, int y, const std::string& text, int scale,
               uint8_t r, uint8_t g, uint8_t b);

}  // namespace qcam_tool
