// Which vector instructions the effect routines may use. Routines with a
// faster path carry it next to a portable one and pick by this level; the
// portable path is the reference the faster ones must match byte for byte.
#pragma once

enum class VectorLevel { kPortable = 0, kSsse3 = 1, kAvx2 = 2 };

// The highest level this processor offers (the portable level in a build
// with QCAM_SCALAR_ONLY), lowered by the ceiling below.
VectorLevel EffectVectorLevel();

// Lowers (or restores) the highest level the routines may use: tests run
// both paths over the same pictures, benchmarks time each path.
void SetEffectVectorCeiling(VectorLevel ceiling);

// Target attributes for routines compiled for one level while the rest of
// the build keeps the base instruction set.
// 64-bit x86 only: some paths use 64-bit vector moves.
#if defined(__x86_64__)
#define QCAM_HAVE_X86_VECTORS 1
#define QCAM_TARGET_SSSE3 __attribute__((target("ssse3")))
#define QCAM_TARGET_AVX2 __attribute__((target("avx2")))
// AVX2 routines that also take fused multiply-adds (the AVX2 level requires
// them; every processor with AVX2 has them). Kept apart from
// QCAM_TARGET_AVX2 so that no other routine's float arithmetic is fused.
#define QCAM_TARGET_AVX2_FMA __attribute__((target("avx2,fma")))
#else
#define QCAM_HAVE_X86_VECTORS 0
#define QCAM_TARGET_SSSE3
#define QCAM_TARGET_AVX2
#define QCAM_TARGET_AVX2_FMA
#endif
