// libFuzzer harness for LoadPhotoFrame: arbitrary bytes become a frame
// bitmap file in a scratch PC root, which the driver's loader reads through
// its file helper and converts for one of several picture sizes and both
// layouts; the result is then laid over a picture.
//
// Input: byte 0 chooses the mode (bits 0-1), the layout (bit 2) and the
// picture size (bits 3-5); the rest is the file, used
//   mode 0: as it is (any length, any header),
//   mode 1: its first 54 bytes as the header (zero-filled when short), its
//           remaining bytes repeated over the pixel data, so header fields
//           reach the conversion with a complete file,
//   mode 2: as pixel data repeated behind a valid header, so the key colour,
//           scaling and YUY2 conversion see arbitrary pixels,
//   mode 3: as mode 1, cut one byte short of a complete file.
// Checks: a failed load leaves the frame picture and mask exactly as they
// were; a successful one writes only 0 or 255 into the mask and happens only
// for a complete file with the one accepted header.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include <unistd.h>

#include "driver/imaging/photo_frame.h"
#include "platform/nt/platform_control.h"

namespace {

struct Size {
  LONG w, h;
};
const Size kSizes[8] = {{640, 480}, {320, 240}, {176, 144}, {160, 120}, {352, 288}, {2, 2}, {8, 6}, {638, 478}};

constexpr uint8_t kPictureFill = 0xA7;
constexpr uint8_t kMaskFill = 0x3C;

struct Fixture {
  std::string filePath;
  std::vector<uint8_t> picture, mask, work, camera;
  std::vector<uint8_t> pictureBefore, maskBefore;
  Fixture() {
    const std::filesystem::path dir =
        std::filesystem::temp_directory_path() / ("qcam-fuzz-frame-" + std::to_string(::getpid()));
    std::filesystem::create_directories(dir / "Windows");
    platform::SetRoot(dir.string());
    filePath = (dir / "Windows" / "fuzz.bmp").string();
    picture.resize(640 * 480 * 3);
    mask.resize(640 * 480);
    work.resize(kFrameWorkBufferSize);
    camera.resize(640 * 480 * 3);
    pictureBefore.assign(picture.size(), kPictureFill);
    maskBefore.assign(mask.size(), kMaskFill);
    root = dir.string();
    std::atexit([] {
      std::error_code ec;
      std::filesystem::remove_all(Get().root, ec);
    });
  }
  std::string root;
  static Fixture& Get();
};

Fixture& Fixture::Get() {
  static Fixture* f = new Fixture();
  return *f;
}

std::vector<uint8_t> BuildFile(unsigned mode, const uint8_t* data, size_t size) {
  std::vector<uint8_t> file;
  if (mode == 0) return std::vector<uint8_t>(data, data + size);
  file.assign(kFrameFileSize, 0);
  const uint8_t* pixels = data;
  size_t pixelCount = size;
  if (mode == 2) {
    WriteFrameBitmapHeaders(file.data());
  } else {
    const size_t h = size < kFrameHeaderSize ? size : kFrameHeaderSize;
    if (h) std::memcpy(file.data(), data, h);
    pixels = data + h;
    pixelCount = size - h;
  }
  if (pixelCount) {
    for (size_t i = kFrameHeaderSize, j = 0; i < file.size(); ++i, j = (j + 1 == pixelCount ? 0 : j + 1))
      file[i] = pixels[j];
  }
  if (mode == 3) file.pop_back();
  return file;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size > 2 * kFrameFileSize) return 0;
  Fixture& f = Fixture::Get();
  const uint8_t control = size ? data[0] : 0;
  const unsigned mode = control & 3;
  const LONG layout = (control & 4) ? 2 : 1;
  const Size s = kSizes[(control >> 3) & 7];
  const std::vector<uint8_t> file = BuildFile(mode, size ? data + 1 : data, size ? size - 1 : 0);
  {
    std::ofstream out(f.filePath, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(file.data()), std::streamsize(file.size()));
  }

  // Known content before the load, to prove a failed load changes nothing.
  // (Whole-buffer checks go through memcmp: loops in this file carry the
  // fuzzer's coverage counters and would dominate the run time.)
  std::memcpy(f.picture.data(), f.pictureBefore.data(), f.picture.size());
  std::memcpy(f.mask.data(), f.maskBefore.data(), f.mask.size());
  const NTSTATUS status = LoadPhotoFrame(f.picture.data(), f.mask.data(), "\\SystemRoot\\fuzz.bmp", s.w, s.h,
                                         layout, f.work.data());
  const size_t pixels = size_t(s.w) * size_t(s.h);
  if (!NT_SUCCESS(status)) {
    if (std::memcmp(f.picture.data(), f.pictureBefore.data(), f.picture.size()) != 0) std::abort();
    if (std::memcmp(f.mask.data(), f.maskBefore.data(), f.mask.size()) != 0) std::abort();
    return 0;
  }
  // Nothing beyond the picture's own bytes was written.
  const size_t used = pixels * 3;
  if (std::memcmp(f.picture.data() + used, f.pictureBefore.data() + used, f.picture.size() - used) != 0)
    std::abort();
  if (std::memcmp(f.mask.data() + pixels, f.maskBefore.data() + pixels, f.mask.size() - pixels) != 0)
    std::abort();
  BitmapFileHeader fh;
  BitmapInfoHeader ih;
  if (file.size() < kFrameFileSize || !ReadBitmapHeaders(file.data(), ULONG(file.size()), &fh, &ih) ||
      !IsFrameBitmapHeader(fh, ih))
    std::abort();
  unsigned sum = 0;
  for (size_t i = 0; i < pixels; i += (i % 61) + 1) {
    if (f.mask[i] != 0 && f.mask[i] != 255) std::abort();
    sum += f.mask[i];
  }
  std::memset(f.camera.data(), 0x33, f.camera.size());
  if (layout == 1)
    OverlayPhotoFrameRgb(f.camera.data(), s.w, s.h, f.picture.data(), f.mask.data());
  else
    OverlayPhotoFrameYuy2(f.camera.data(), s.w, s.h, f.picture.data(), f.mask.data());
  for (size_t i = 0; i < pixels * 3; i += 97) sum += f.camera[i];
  // Bytes past the picture are never touched by the overlay.
  const size_t picBytes = pixels * (layout == 1 ? 3 : 2);
  if (f.camera.size() > picBytes &&
      (f.camera[picBytes] != 0x33 ||
       std::memcmp(f.camera.data() + picBytes, f.camera.data() + picBytes + 1, f.camera.size() - picBytes - 1) != 0))
    std::abort();
  return int(sum & 0);
}
