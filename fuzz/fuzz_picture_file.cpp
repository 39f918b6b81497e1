// Fuzzes the reader of the pictures a person hands the simulated camera
// (`--source`, PNG or JPEG by signature): any file bytes. A read either fails
// with a reason or gives a picture whose pixels fill exactly its size.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include <unistd.h>

#include "sim/image_io.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const std::string path = "/tmp/qcam-fuzz-picture-" + std::to_string(::getpid());
  FILE* f = std::fopen(path.c_str(), "wb");
  if (!f) std::abort();
  if (size && std::fwrite(data, 1, size, f) != size) std::abort();
  std::fclose(f);
  sim::RgbImage image;
  std::string error;
  if (sim::ReadPicture(path, &image, &error)) {
    if (image.width <= 0 || image.height <= 0) std::abort();
    if (image.rgb.size() != size_t(image.width) * size_t(image.height) * 3) std::abort();
    // Every pixel byte is readable.
    unsigned sum = 0;
    for (uint8_t b : image.rgb) sum += b;
    if (sum == 0xFFFFFFFFu) std::abort();
  } else if (error.empty()) {
    std::abort();
  }
  std::remove(path.c_str());
  return 0;
}
