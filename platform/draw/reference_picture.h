// Drawn pictures checked against committed reference PNGs. Two drawings of
// the same window may differ by a grey level where a font build hints a
// stem differently, but a moved, missing or re-captioned control changes
// far more pixels than the tolerance lets through.
#pragma once

#include <string>

#include "platform/draw/window_draw.h"

namespace draw {

// Reads an 8-bit PNG of any colour type as RGB; false with a one-line reason.
bool ReadPng(const std::string& path, Image* out, std::string* error);

// A pixel differs when one of its channels is further than this from the
// reference; a picture matches when at most this share of pixels differs.
constexpr int kReferenceChannelTolerance = 48;
constexpr double kReferenceDifferingShare = 0.005;

enum class ReferenceOutcome { Matches, Differs, Rewritten };

// Compares `actual` with the reference at `referencePath`. With the
// environment variable QCAM_UPDATE_GOLDEN set, the reference is rewritten
// instead (Rewritten). On a mismatch, or a reference that cannot be read,
// the drawing is written to `actualPath` for a person to look at and
// `report` says what differed (Differs).
ReferenceOutcome CompareWithReference(const Image& actual, const std::string& referencePath,
                                      const std::string& actualPath, std::string* report);

}  // namespace draw
