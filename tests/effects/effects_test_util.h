// Helpers shared by the effect tests: pictures, the effect state as the
// driver has it when it loads, and a temporary PC root.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include <unistd.h>

#include "driver/imaging/effect_state.h"
#include "driver/imaging/effects.h"
#include "platform/nt/platform_control.h"
#include "shared/qcam_defs.h"

namespace effects_test {

using Bytes = std::vector<uint8_t>;

inline Bytes UniformRgb(int w, int h, uint8_t b, uint8_t g, uint8_t r) {
  Bytes p(size_t(w) * h * 3);
  for (size_t i = 0; i < p.size(); i += 3) p[i] = b, p[i + 1] = g, p[i + 2] = r;
  return p;
}

inline Bytes UniformYuy2(int w, int h, uint8_t y, uint8_t u, uint8_t v) {
  Bytes p(size_t(w) * h * 2);
  for (size_t i = 0; i < p.size(); i += 4) p[i] = y, p[i + 1] = u, p[i + 2] = y, p[i + 3] = v;
  return p;
}

// Bytes from a fixed-seed generator (seed printed by the caller's name).
inline Bytes Noise(size_t n, uint32_t seed) {
  Bytes p(n);
  for (auto& b : p) {
    seed = seed * 1103515245u + 12345u;
    b = uint8_t(seed >> 16);
  }
  return p;
}

// A picture with smooth gradients and a few hard edges, the same for every
// run: the fixed input of the golden digests.
inline Bytes PatternRgb(int w, int h) {
  Bytes p(size_t(w) * h * 3);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) {
      uint8_t* q = &p[(size_t(y) * w + x) * 3];
      q[0] = uint8_t(x * 255 / (w - 1));
      q[1] = uint8_t(y * 255 / (h - 1));
      q[2] = uint8_t(((x / 16 + y / 16) % 2) ? 220 : 30);
      if ((x - w / 2) * (x - w / 2) + (y - h / 2) * (y - h / 2) < (h / 5) * (h / 5)) q[0] = q[1] = q[2] = 250;
    }
  return p;
}

inline Bytes PatternYuy2(int w, int h) {
  Bytes p(size_t(w) * h * 2);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; x += 2) {
      uint8_t* q = &p[(size_t(y) * w + x) * 2];
      const bool disc = (x - w / 2) * (x - w / 2) + (y - h / 2) * (y - h / 2) < (h / 5) * (h / 5);
      q[0] = disc ? 235 : uint8_t(16 + (x * 219) / (w - 1));
      q[2] = disc ? 235 : uint8_t(16 + ((x + 1) * 219) / (w - 1));
      q[1] = uint8_t(((x / 16 + y / 16) % 2) ? 200 : 60);
      q[3] = uint8_t(16 + y * 224 / (h - 1));
    }
  return p;
}

inline uint64_t Fnv1a(const Bytes& b) {
  uint64_t h = 1469598103934665603ull;
  for (uint8_t v : b) h = (h ^ v) * 1099511628211ull;
  return h;
}

// Sets the engine up as at driver load plus a stream start for w x h.
inline void StartStream(int w, int h) {
  FreeEffectBuffers();
  g_Effects.CycleShown = 0;
  g_Effects.CycleLastChange = 0;
  ResetEffectState();
  ASSERT_EQ(AllocateEffectBuffers(w, h), STATUS_SUCCESS);
}

// Applies an effect to a picture of the given layout through the dispatcher.
inline NTSTATUS Apply(Bytes& pic, int layout, int w, int h, ULONG effect) {
  SetEffectPicture(layout, w, h, effect);
  return ApplySpecialEffect(pic.data(), ULONG(pic.size()));
}

// A fresh PC root below the system temporary folder, removed afterwards.
class TempRoot {
 public:
  explicit TempRoot(const std::string& name) {
    dir_ = std::filesystem::temp_directory_path() / ("qcam-effects-" + name + "-" + std::to_string(::getpid()));
    std::filesystem::remove_all(dir_);
    platform::ResetMachine();
    EXPECT_TRUE(platform::SetRoot(dir_.string()));
    std::filesystem::create_directories(dir_ / "Windows");
  }
  ~TempRoot() {
    platform::ResetMachine();
    platform::SetRoot("");
    std::error_code ec;
    std::filesystem::remove_all(dir_, ec);
  }
  std::filesystem::path Windows() const { return dir_ / "Windows"; }
  std::filesystem::path Path() const { return dir_; }

 private:
  std::filesystem::path dir_;
};

}  // namespace effects_test
