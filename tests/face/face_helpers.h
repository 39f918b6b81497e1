// Frames of the simulated face scene in the driver's layouts, and the
// default tracking parameters, for the face-tracking tests.
#pragma once

#include <cstdint>
#include <vector>

#include "driver/core/device_state.h"
#include "driver/core/face_detect.h"
#include "shared/qcam_defs.h"
#include "sim/face_scene.h"
#include "sim/image_io.h"

namespace facetest {

// The scene (with or without the face) as YUY2 or as bottom-up BGR.
inline std::vector<uint8_t> SceneFrame(int w, int h, uint32_t frameNumber, LONG format, bool withFace,
                                       sim::FaceTruth* truth) {
  sim::RgbImage img;
  img.width = w;
  img.height = h;
  img.rgb.resize(size_t(w) * h * 3);
  sim::FaceTruth t;
  if (withFace)
    sim::RenderFaceScene(img.rgb.data(), w, h, frameNumber, &t);
  else
    sim::RenderFaceSceneBackground(img.rgb.data(), w, h, frameNumber, &t);
  if (truth) *truth = t;
  std::vector<uint8_t> out;
  if (format == qcam::kFormatRGB24) {
    out.resize(size_t(w) * h * 3);
    for (int y = 0; y < h; ++y)
      for (int x = 0; x < w; ++x) {
        const uint8_t* s = &img.rgb[(size_t(y) * w + x) * 3];
        uint8_t* d = &out[(size_t(h - 1 - y) * w + x) * 3];
        d[0] = s[2];
        d[1] = s[1];
        d[2] = s[0];
      }
  } else {
    sim::RgbToYuy2(img, &out);
  }
  return out;
}

// Tracking parameters and skin rules as the driver's initialize sets them.
inline FaceTrackingParameters DefaultTracking(ULONG flags) {
  FaceTrackingParameters p = {};
  p.Flags = flags;
  const LONG params[8] = {0, 50, 160, 10, 10, 5, 30, 50};
  for (int i = 0; i < 8; ++i) p.Param[i] = params[i];
  const LONG set0[9] = {1, 4, 50, -46, 0, 0, 46, -31, -4};
  for (int i = 0; i < 9; ++i) p.SkinRules[0][i] = set0[i];
  return p;
}

inline bool Contains(const FaceBox& b, int x, int y) {
  return x >= b.Left && x < b.Left + b.Width && y >= b.Top && y < b.Top + b.Height;
}

}  // namespace facetest
