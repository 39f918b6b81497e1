// A scene for the face tracker: a cartoon face of skin colour with darker
// eyes, brows, nose and mouth that drifts slowly across a room background.
// The renderer reports where the face truly is so that tests can hold the
// driver's face box against it.
#pragma once

#include <cstdint>

#include "sim/camera.h"

namespace sim {

// Renders frame `frameNumber` of the face scene into `rgb` (top-down, bytes
// R, G, B, width x height x 3) and fills `truth` (may be null) with the face's
// centre and size in pixels. Any size of at least 16 x 16 works; the face and
// its path scale with the frame.
void RenderFaceScene(uint8_t* rgb, int width, int height, uint32_t frameNumber, FaceTruth* truth);

// The same room without the face (truth.present is false): the control scene
// on which no face must be reported.
void RenderFaceSceneBackground(uint8_t* rgb, int width, int height, uint32_t frameNumber, FaceTruth* truth);

// Where the face is in frame `frameNumber` without rendering anything.
FaceTruth FaceSceneTruth(int width, int height, uint32_t frameNumber);

}  // namespace sim
