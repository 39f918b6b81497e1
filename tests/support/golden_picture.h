// Drawn pictures against their committed reference PNGs, allowing small
// differences (a font build that hints a stem one grey level apart) but not
// a moved or missing control. QCAM_UPDATE_GOLDEN=1 rewrites the references
// instead; on a mismatch the drawn picture is left in the working directory
// for a person to look at.
#pragma once

#include <cstdlib>
#include <string>

#include "platform/draw/window_draw.h"
#include "sim/image_io.h"

namespace golden {

constexpr int kChannelTolerance = 48;
constexpr double kDifferingShare = 0.005;

enum class Outcome { kMatches, kRewritten, kDiffers };

// Compares `actual` with the PNG at `referencePath`; *message says what
// differs (or what was rewritten). `actualName` names the file the drawing
// is left in on a mismatch.
inline Outcome CompareWithReference(const draw::Image& actual, const std::string& referencePath,
                                    const std::string& actualName, std::string* message) {
  std::string error;
  if (std::getenv("QCAM_UPDATE_GOLDEN")) {
    if (!draw::WritePng(actual, referencePath, &error)) {
      *message = error;
      return Outcome::kDiffers;
    }
    *message = "reference rewritten: " + referencePath;
    return Outcome::kRewritten;
  }
  sim::RgbImage reference;
  if (!sim::ReadPicture(referencePath, &reference, &error)) {
    *message = error;
    return Outcome::kDiffers;
  }
  const bool sameSize = reference.width == actual.width && reference.height == actual.height;
  size_t differing = 0;
  if (sameSize) {
    for (size_t i = 0; i < actual.rgb.size(); i += 3) {
      for (size_t k = 0; k < 3; ++k) {
        if (std::abs(int(actual.rgb[i + k]) - int(reference.rgb[i + k])) > kChannelTolerance) {
          ++differing;
          break;
        }
      }
    }
  }
  const double share = sameSize && !actual.rgb.empty() ? double(differing) / (actual.rgb.size() / 3) : 1.0;
  if (sameSize && share <= kDifferingShare) return Outcome::kMatches;
  draw::WritePng(actual, actualName, &error);
  *message = std::to_string(actual.width) + "x" + std::to_string(actual.height) + " against " +
             std::to_string(reference.width) + "x" + std::to_string(reference.height) + ", " +
             std::to_string(differing) + " pixels differ; the drawing is in " + actualName;
  return Outcome::kDiffers;
}

}  // namespace golden
