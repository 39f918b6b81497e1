#include "platform/draw/reference_picture.h"

#include <png.h>

#include <cstdlib>
#include <cstring>

namespace draw {

bool ReadPng(const std::string& path, Image* out, std::string* error) {
  png_image image;
  std::memset(&image, 0, sizeof(image));
  image.version = PNG_IMAGE_VERSION;
  if (!png_image_begin_read_from_file(&image, path.c_str())) {
    *error = "cannot read " + path + ": " + image.message;
    return false;
  }
  image.format = PNG_FORMAT_RGB;
  if (image.width < 1 || image.height < 1 || image.width > unsigned(kMaxPictureSide) ||
      image.height > unsigned(kMaxPictureSide)) {
    png_image_free(&image);
    *error = path + " is not a picture of 1 to " + std::to_string(kMaxPictureSide) + " pixels a side";
    return false;
  }
  out->width = int(image.width);
  out->height = int(image.height);
  out->rgb.assign(PNG_IMAGE_SIZE(image), 0);
  if (!png_image_finish_read(&image, nullptr, out->rgb.data(), 0, nullptr)) {
    *error = "cannot decode " + path + ": " + image.message;
    png_image_free(&image);
    *out = Image();
    return false;
  }
  return true;
}

namespace {

size_t DifferingPixels(const Image& a, const Image& b) {
  size_t differing = 0;
  for (size_t i = 0; i + 2 < a.rgb.size(); i += 3) {
    for (size_t k = 0; k < 3; ++k) {
      if (std::abs(int(a.rgb[i + k]) - int(b.rgb[i + k])) > kReferenceChannelTolerance) {
        ++differing;
        break;
      }
    }
  }
  return differing;
}

}  // namespace

ReferenceOutcome CompareWithReference(const Image& actual, const std::string& referencePath,
                                      const std::string& actualPath, std::string* report) {
  std::string error;
  if (std::getenv("QCAM_UPDATE_GOLDEN")) {
    if (!WritePng(actual, referencePath, &error)) {
      *report = error;
      return ReferenceOutcome::Differs;
    }
    *report = "reference rewritten: " + referencePath;
    return ReferenceOutcome::Rewritten;
  }
  Image reference;
  if (!ReadPng(referencePath, &reference, &error)) {
    *report = error;
  } else if (reference.width != actual.width || reference.height != actual.height) {
    *report = "drawn " + std::to_string(actual.width) + "x" + std::to_string(actual.height) + " against " +
              std::to_string(reference.width) + "x" + std::to_string(reference.height) + " in " + referencePath;
  } else {
    const size_t differing = DifferingPixels(actual, reference);
    const size_t pixels = actual.rgb.size() / 3;
    if (double(differing) <= kReferenceDifferingShare * double(pixels)) return ReferenceOutcome::Matches;
    *report = std::to_string(differing) + " of " + std::to_string(pixels) + " pixels differ from " + referencePath;
  }
  std::string written;
  if (WritePng(actual, actualPath, &written))
    *report += "; the drawing is in " + actualPath;
  else
    *report += "; " + written;
  return ReferenceOutcome::Differs;
}

}  // namespace draw
