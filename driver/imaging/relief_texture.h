// The constant texture of the relief effect: 64 x 64 signed bytes in
// -72 ... 74 with a mean close to 0 and a horizontal grain (neighbouring
// rows differ much more than neighbouring columns). T(x, y) is
// kReliefTexture[(y % 64) * 64 + (x % 64)].
#pragma once

constexpr int kReliefTextureSize = 64;
extern const signed char kReliefTexture[kReliefTextureSize * kReliefTextureSize];
