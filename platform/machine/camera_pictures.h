// Pictures from a camera for the user-mode programs of the PC that hold its
// capture filter in a running graph. The platform's graphs connect no pins
// and carry no samples, so a program that wants the pixels a Sample Grabber
// would have buffered asks here, naming the device path it bound; whoever
// holds the camera's kernel side (a tool or a test that plugged it in)
// serves the request by streaming through the camera's driver. Plain C++
// types; never called by a deliverable.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace platform {

// One delivered frame as the application received it.
struct CameraPicture {
  uint32_t fourcc = 0;  // the delivered layout: YUY2, I420, MJPG, or 0 for bottom-up BGR
  int width = 0;
  int height = 0;
  std::vector<uint8_t> bytes;
};

// Fills `pictures` with `count` consecutive frames of the camera at
// `devicePath`; false with a one-line reason.
using CameraPictureSource = std::function<bool(const std::string& devicePath, uint32_t count,
                                               std::vector<CameraPicture>* pictures, std::string* error)>;

// Installs the source (an empty function removes it).
void SetCameraPictureSource(CameraPictureSource source);
// Asks the installed source; false with "no camera streams on this PC"
// without one. At most 16 frames per request.
bool TakeCameraPictures(const std::string& devicePath, uint32_t count, std::vector<CameraPicture>* pictures,
                        std::string* error);

}  // namespace platform
