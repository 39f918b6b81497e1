// Fuzzes the effect dispatcher with camera pictures: any effect number,
// layout and size up to 640 x 480 (mostly small, so many sizes are tried),
// picture bytes from the input, on an exactly sized buffer. Each picture runs
// twice from the same effect state and random seed, on the portable
// paths and on each wider level the processor has; the results must be the
// same bytes.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "driver/imaging/effect_state.h"
#include "driver/imaging/effects.h"
#include "driver/imaging/vector_level.h"
#include "fuzz/input_reader.h"
#include "platform/nt/platform_control.h"

namespace {

// Effect numbers, photo frames included (no frame files exist here, so a
// frame leaves the picture showing through), and a few refused ones.
const ULONG kNumbers[] = {2,  3,  4,  5,  6,  7,  8,  9,  10, 11, 12, 13, 14, 15, 16,
                          17, 18, 19, 20, 21, 51, 61, 99, 1,  22, 49, 50, 62, 0};

std::vector<uint8_t> RunOnce(VectorLevel level, int layout, LONG w, LONG h, ULONG effect, int pictures,
                             unsigned seed, const std::vector<uint8_t>& input, size_t length) {
  SetEffectVectorCeiling(level);
  ResetEffectState();
  g_Effects.CycleShown = 0;  // cycling starts from its loaded state
  g_Effects.CycleLastChange = 0;
  srand(seed);
  std::vector<uint8_t> out;
  for (int i = 0; i < pictures; ++i) {
    // A fresh exactly sized copy each time, so any access past the picture
    // is caught.
    std::vector<uint8_t> pic(input.begin(), input.begin() + std::ptrdiff_t(length));
    SetEffectPicture(layout, w, h, effect);
    const NTSTATUS status = ApplySpecialEffect(pic.data(), ULONG(pic.size()));
    pic.push_back(uint8_t(status >> 24));
    pic.push_back(uint8_t(rand() & 0xFF));  // the effect drew as many numbers
    out.insert(out.end(), pic.begin(), pic.end());
  }
  return out;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static bool once = [] {
    platform::ResetMachine();  // memory-only: no frame files, no registry file
    return AllocateEffectBuffers(640, 480) == STATUS_SUCCESS;
  }();
  if (!once) std::abort();
  FuzzReader in{data, size};
  const uint8_t shape = in.Byte();
  const int layout = 1 + (shape & 1);
  LONG w, h;
  if (shape & 2) {  // any size up to the limit, and a little beyond
    w = LONG(in.U16() % 660) + 1;
    h = LONG(in.U16() % 500) + 1;
  } else {
    w = LONG(in.Byte() % 80) + 1;
    h = LONG(in.Byte() % 12) + 1;
  }
  if (layout == 2 && (shape & 4) == 0) w += w % 2;  // mostly whole pairs; odd widths are refused
  const ULONG effect = kNumbers[in.Byte() % (sizeof(kNumbers) / sizeof(kNumbers[0]))];
  const int pictures = 1 + in.Byte() % 3;
  const unsigned seed = in.U16();
  const size_t length = size_t(w) * size_t(h) * (layout == 1 ? 3 : 2) - ((shape & 8) ? 1 : 0);

  // The picture: input bytes, repeated to fill.
  std::vector<uint8_t> input(length + 1);
  for (size_t i = 0; i < input.size(); ++i) input[i] = in.n ? in.p[i % in.n] : uint8_t(i * 37);
  const std::vector<uint8_t> plain = RunOnce(VectorLevel::kPortable, layout, w, h, effect, pictures, seed, input, length);
  for (VectorLevel level : {VectorLevel::kSsse3, VectorLevel::kAvx2}) {
    if (RunOnce(level, layout, w, h, effect, pictures, seed, input, length) != plain) std::abort();
  }
  return 0;
}
