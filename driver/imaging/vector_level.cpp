#include "driver/imaging/vector_level.h"

#include <atomic>

namespace {

// A scalar-only build (QCAM_SCALAR_ONLY) runs every routine on its portable
// path whatever the processor offers.
VectorLevel DetectLevel() {
#if QCAM_HAVE_X86_VECTORS && !defined(QCAM_SCALAR_ONLY)
  __builtin_cpu_init();
  if (__builtin_cpu_supports("avx2") && __builtin_cpu_supports("fma")) return VectorLevel::kAvx2;
  if (__builtin_cpu_supports("ssse3")) return VectorLevel::kSsse3;
#endif
  return VectorLevel::kPortable;
}

std::atomic<int> g_ceiling{int(VectorLevel::kAvx2)};

}  // namespace

VectorLevel EffectVectorLevel() {
  static const VectorLevel detected = DetectLevel();
  const int ceiling = g_ceiling.load(std::memory_order_relaxed);
  return int(detected) < ceiling ? detected : VectorLevel(ceiling);
}

void SetEffectVectorCeiling(VectorLevel ceiling) { g_ceiling.store(int(ceiling), std::memory_order_relaxed); }
