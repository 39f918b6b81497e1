// The effect dispatcher, the effect state's lifecycle and the ten colour
// effects, which change each pixel on its own.
#include "driver/imaging/effects.h"

#include <cstring>

#include "driver/core/settings.h"
#include "driver/imaging/effect_internal.h"
#include "driver/imaging/effect_spatial.h"
#include "driver/imaging/effect_state.h"
#include "driver/imaging/photo_frame.h"
#include "driver/imaging/rgb_lanes.h"
#include "driver/imaging/vector_level.h"
#include "shared/qcam_defs.h"

EffectState g_Effects = {
    /*FormatIndex*/ -1, 0, 0, /*EffectNumber*/ 1,
    /*CycleShown*/ 0, /*CycleLastChange*/ 0,
    0, 0, nullptr, nullptr, nullptr, nullptr, nullptr,
    /*MapEffect*/ 1, 0, 0,
    /*Stretch*/ 1.0, 0.1, 0,
    /*Grid*/ 0, FALSE,
    /*LastFrame*/ 0,
};

namespace {

constexpr ULONG kLayoutRgb = qcam::kFormatRGB24;
constexpr ULONG kLayoutYuy2 = qcam::kFormatYUY2;

// Room for "\DosDevices\" and the UDFrame value: 256 wide characters in all.
constexpr ULONG kUserFramePathChars = 256;
const WCHAR kDosDevicesPrefix[] = u"\\DosDevices\\";
constexpr ULONG kDosDevicesPrefixChars = sizeof(kDosDevicesPrefix) / sizeof(WCHAR) - 1;

typedef VOID (*EffectRoutine)(PUCHAR picture, LONG width, LONG height);

// Effects 2 ... 21 whose routine needs nothing but the picture; the others
// (null here) take work buffers or state and are called by name below.
struct EffectEntry {
  EffectRoutine rgb;
  EffectRoutine yuy2;
};
const EffectEntry kEffectTable[20] = {
    {BlueTintRgb, BlueTintYuy2},        // 2
    {RedTintRgb, RedTintYuy2},          // 3
    {YellowTintRgb, YellowTintYuy2},    // 4
    {SepiaRgb, SepiaYuy2},              // 5
    {EmbossRgb, nullptr},               // 6 (YUY2 uses the scratch picture)
    {BlackWhiteRgb, BlackWhiteYuy2},    // 7
    {GreyRgb, GreyYuy2},                // 8
    {nullptr, nullptr},                 // 9 mosaic
    {nullptr, nullptr},                 // 10 bulge
    {NegativeRgb, NegativeYuy2},        // 11
    {TilesRgb, TilesYuy2},              // 12
    {nullptr, nullptr},                 // 13 light streaks
    {RedOnlyRgb, RedOnlyYuy2},          // 14
    {GreenOnlyRgb, GreenOnlyYuy2},      // 15
    {BlueOnlyRgb, BlueOnlyYuy2},        // 16
    {nullptr, nullptr},                 // 17 stretch
    {nullptr, nullptr},                 // 18 pencil sketch
    {nullptr, nullptr},                 // 19 frosted glass
    {nullptr, nullptr},                 // 20 nine-view grid
    {ReliefRgb, ReliefYuy2},            // 21
};

// True when the stream's work buffers exist and hold a width x height picture.
bool BuffersFit(const EffectState& s, LONG width, LONG height) {
  return s.Scratch != nullptr && s.Map != nullptr && s.FramePicture != nullptr && s.FrameMask != nullptr &&
         s.FrameWork != nullptr &&
         ULONGLONG(width) * ULONGLONG(height) <= ULONGLONG(s.AllocWidth) * ULONGLONG(s.AllocHeight);
}

NTSTATUS RunSpatialEffect(EffectState* s, ULONG effect, bool rgb, PUCHAR picture, LONG w, LONG h) {
  if (!BuffersFit(*s, w, h)) return STATUS_INSUFFICIENT_RESOURCES;
  switch (effect) {
    case 6:
      EmbossYuy2(picture, w, h, s->Scratch);  // RGB emboss is in the table
      break;
    case 9:
      rgb ? MosaicRgb(picture, w, h, s->Scratch) : MosaicYuy2(picture, w, h, s->Scratch);
      break;
    case 10:
      rgb ? BulgeRgb(s, picture, w, h) : BulgeYuy2(s, picture, w, h);
      break;
    case 13:
      rgb ? StreaksRgb(picture, w, h, s->Scratch) : StreaksYuy2(picture, w, h, s->Scratch);
      break;
    case 17:
      AdvanceStretch(s);
      rgb ? StretchRgb(s, picture, w, h) : StretchYuy2(s, picture, w, h);
      break;
    case 18:
      rgb ? PencilRgb(picture, w, h, s->Scratch) : PencilYuy2(picture, w, h, s->Scratch);
      break;
    case 19:
      rgb ? FrostedRgb(picture, w, h, s->Scratch) : FrostedYuy2(picture, w, h, s->Scratch);
      break;
    case 20:
      rgb ? GridRgb(s, picture, w, h) : GridYuy2(s, picture, w, h);
      break;
    default:
      return STATUS_NOT_SUPPORTED;
  }
  return STATUS_SUCCESS;
}

// Builds the ANSI NT path of the user's frame from the UDFrame setting.
// False when the value is missing, empty or too long for the path buffer.
bool UserFramePath(CHAR* out, ULONG outChars) {
  // One spare character beyond the limit tells a value that fits from one
  // that was cut short by the registry read.
  WCHAR wide[kUserFramePathChars + 2];
  std::memcpy(wide, kDosDevicesPrefix, kDosDevicesPrefixChars * sizeof(WCHAR));
  UNICODE_STRING value;
  value.Length = 0;
  value.MaximumLength = USHORT((kUserFramePathChars + 1 - kDosDevicesPrefixChars) * sizeof(WCHAR));
  value.Buffer = wide + kDosDevicesPrefixChars;
  NTSTATUS status = ReadStringSetting(qcam::kKeyCurrent, u"UDFrame", &value);
  if (!NT_SUCCESS(status) || value.Buffer != wide + kDosDevicesPrefixChars) return false;
  ULONG valueChars = value.Length / sizeof(WCHAR);
  // A stored terminator is not part of the path.
  while (valueChars > 0 && wide[kDosDevicesPrefixChars + valueChars - 1] == 0) --valueChars;
  if (valueChars == 0 || kDosDevicesPrefixChars + valueChars > kUserFramePathChars) return false;

  UNICODE_STRING full;
  full.Buffer = wide;
  full.Length = USHORT((kDosDevicesPrefixChars + valueChars) * sizeof(WCHAR));
  full.MaximumLength = full.Length;
  ANSI_STRING ansi;
  ansi.Length = 0;
  ansi.MaximumLength = USHORT(outChars - 1);
  ansi.Buffer = out;
  if (!NT_SUCCESS(RtlUnicodeStringToAnsiString(&ansi, &full, FALSE))) return false;
  out[ansi.Length] = 0;
  return true;
}

NTSTATUS RunPhotoFrame(EffectState* s, ULONG frame, ULONG layout, PUCHAR picture, LONG w, LONG h) {
  if (!BuffersFit(*s, w, h)) return STATUS_INSUFFICIENT_RESOURCES;
  if (frame != s->LastFrame) {
    // The frame counts as loaded whatever the outcome, so a missing file is
    // looked for once per choice, not on every picture; a failed load keeps
    // the previous frame picture and mask.
    CHAR userPath[kUserFramePathChars + 1];
    PCSTR path = BuiltInFramePath(frame);
    if (frame == qcam::kFrameUser) path = UserFramePath(userPath, sizeof(userPath)) ? userPath : nullptr;
    if (path != nullptr) {
      NTSTATUS status = LoadPhotoFrame(s->FramePicture, s->FrameMask, path, w, h, LONG(layout), s->FrameWork);
      if (!NT_SUCCESS(status)) DbgPrint("QORCAM: photo frame %s not loaded: 0x%08X\n", path, ULONG(status));
    }
    s->LastFrame = frame;
  }
  if (layout == kLayoutRgb)
    OverlayPhotoFrameRgb(picture, w, h, s->FramePicture, s->FrameMask);
  else
    OverlayPhotoFrameYuy2(picture, w, h, s->FramePicture, s->FrameMask);
  return STATUS_SUCCESS;
}


}  // namespace

VOID SetEffectPicture(LONG formatIndex, LONG width, LONG height, ULONG effectNumber) {
  g_Effects.FormatIndex = formatIndex;
  g_Effects.Width = width;
  g_Effects.Height = height;
  g_Effects.EffectNumber = effectNumber;
}

NTSTATUS ApplySpecialEffect(PUCHAR picture, ULONG length) {
  EffectState* s = &g_Effects;
  const LONG w = s->Width;
  const LONG h = s->Height;
  if (w > kEffectMaxWidth || h > kEffectMaxHeight) return STATUS_NOT_SUPPORTED;
  if (w <= 0 || h <= 0) return STATUS_NOT_SUPPORTED;

  ULONG effect = s->EffectNumber;
  if (effect == qcam::kEffectCycle) {
    // Compared on the low 32 bits, as a wrapping unsigned difference.
    LARGE_INTEGER now;
    KeQuerySystemTime(&now);
    if (ULONG(now.u.LowPart - ULONG(ULONGLONG(s->CycleLastChange))) > kCyclePeriod100ns) {
      s->CycleLastChange = now.QuadPart;
      s->CycleShown = (s->CycleShown == 0 || s->CycleShown == qcam::kEffectLast) ? qcam::kEffectFirst
                                                                                  : s->CycleShown + 1;
    }
    effect = s->CycleShown;
  }

  const ULONGLONG pixels = ULONGLONG(w) * ULONGLONG(h);
  ULONG layout;
  if (s->FormatIndex == qcam::kFormatRGB24) {
    if (ULONGLONG(length) < pixels * 3) return STATUS_NOT_SUPPORTED;
    layout = kLayoutRgb;
  } else if (s->FormatIndex == qcam::kFormatYUY2) {
    // YUY2 carries pixels in pairs; an odd width has no layout.
    if (ULONGLONG(length) < pixels * 2 || (w % 2) != 0) return STATUS_NOT_SUPPORTED;
    layout = kLayoutYuy2;
  } else {
    return STATUS_NOT_SUPPORTED;
  }
  if (picture == nullptr) return STATUS_NOT_SUPPORTED;
  const bool rgb = layout == kLayoutRgb;

  if (effect == qcam::kEffectNone) return STATUS_SUCCESS;
  if (effect >= qcam::kEffectFirst && effect <= qcam::kEffectLast) {
    const EffectEntry& e = kEffectTable[effect - qcam::kEffectFirst];
    EffectRoutine routine = rgb ? e.rgb : e.yuy2;
    if (routine != nullptr) {
      routine(picture, w, h);
      return STATUS_SUCCESS;
    }
    return RunSpatialEffect(s, effect, rgb, picture, w, h);
  }
  if ((effect >= qcam::kFrameFirst && effect <= qcam::kFrameLast) || effect == qcam::kFrameUser)
    return RunPhotoFrame(s, effect, layout, picture, w, h);
  return STATUS_NOT_SUPPORTED;
}

VOID ResetEffectState() {
  EffectState* s = &g_Effects;
  s->MapEffect = qcam::kEffectNone;
  s->MapWidth = 0;
  s->MapHeight = 0;
  s->StretchScale = 1.0;
  s->StretchStep = 0.1;
  s->StretchAxis = 0;
  s->GridCell = 0;
  s->GridCleared = FALSE;
  s->LastFrame = 0;
}

VOID FreeEffectBuffers() {
  EffectState* s = &g_Effects;
  PVOID buffers[6] = {s->Scratch, s->Map, s->FramePicture, s->FrameMask, s->FrameWork, s->BulgeSources};
  for (PVOID b : buffers)
    if (b != nullptr) ExFreePool(b);
  s->Scratch = nullptr;
  s->Map = nullptr;
  s->BulgeSources = nullptr;
  s->BulgeSourcesLayout = 0;
  s->FramePicture = nullptr;
  s->FrameMask = nullptr;
  s->FrameWork = nullptr;
  s->AllocWidth = 0;
  s->AllocHeight = 0;
  // The cached map went with its buffer.
  s->MapEffect = qcam::kEffectNone;
  s->MapWidth = 0;
  s->MapHeight = 0;
  s->LastFrame = 0;
}

NTSTATUS AllocateEffectBuffers(LONG width, LONG height) {
  FreeEffectBuffers();
  if (width <= 0 || height <= 0) return STATUS_INVALID_PARAMETER;
  // The dispatcher refuses larger pictures, so they need no buffers.
  if (width > kEffectMaxWidth || height > kEffectMaxHeight) return STATUS_SUCCESS;

  EffectState* s = &g_Effects;
  const size_t pixels = size_t(width) * size_t(height);
  s->Scratch = static_cast<PUCHAR>(ExAllocatePool(NonPagedPool, pixels * 3));
  s->Map = static_cast<PUSHORT>(ExAllocatePool(NonPagedPool, pixels * 4));
  s->FramePicture = static_cast<PUCHAR>(ExAllocatePool(NonPagedPool, pixels * 3));
  s->FrameMask = static_cast<PUCHAR>(ExAllocatePool(NonPagedPool, pixels));
  s->FrameWork = static_cast<PUCHAR>(ExAllocatePool(NonPagedPool, kFrameWorkBufferSize));
  if (s->Scratch == nullptr || s->Map == nullptr || s->FramePicture == nullptr || s->FrameMask == nullptr ||
      s->FrameWork == nullptr) {
    FreeEffectBuffers();
    return STATUS_INSUFFICIENT_RESOURCES;
  }
  // Only a faster way of reading the map for the AVX2 paths: the bulge does
  // without it.
  if (EffectVectorLevel() >= VectorLevel::kAvx2)
    s->BulgeSources =
        static_cast<PUCHAR>(ExAllocatePool(NonPagedPool, pixels / 16 * kBulgeSourceBytesPer16Pixels + 1));
  RtlZeroMemory(s->Scratch, pixels * 3);
  RtlZeroMemory(s->Map, pixels * 4);
  RtlZeroMemory(s->FramePicture, pixels * 3);
  // Until a frame is loaded the camera picture shows through everywhere.
  RtlFillMemory(s->FrameMask, pixels, kMaskTransparent);
  RtlZeroMemory(s->FrameWork, kFrameWorkBufferSize);
  s->AllocWidth = width;
  s->AllocHeight = height;
  return STATUS_SUCCESS;
}

PCSTR EffectName(ULONG n) {
  static const PCSTR kEffects[20] = {"blue tint",     "red tint",       "yellow tint",   "sepia",
                                     "emboss",        "black and white", "grey",          "mosaic",
                                     "bulge",         "negative",       "tiles",         "light streaks",
                                     "red only",      "green only",     "blue only",     "stretch",
                                     "pencil sketch", "frosted glass",  "nine-view grid", "relief texture"};
  static const PCSTR kFrames[11] = {"birthday", "city",  "big eyes", "driver", "flower", "halloween",
                                    "news",     "night", "ocean",    "snow",   "tv"};
  if (n == qcam::kEffectNone) return "none";
  if (n >= qcam::kEffectFirst && n <= qcam::kEffectLast) return kEffects[n - qcam::kEffectFirst];
  if (n == qcam::kEffectCycle) return "automatic cycling";
  if (n >= qcam::kFrameFirst && n <= qcam::kFrameLast) return kFrames[n - qcam::kFrameFirst];
  if (n == qcam::kFrameUser) return "user frame";
  return nullptr;
}

// ---- colour effects ------------------------------------------------------------
// Integer rules on each pixel; divisions truncate. The routines walk the
// picture as a byte stream in blocks of whole pixels (48 bytes, 16 RGB
// pixels) or pairs (16 bytes, 4 YUY2 pairs), with the per-byte constants of
// a block laid out in small arrays: the fixed-length inner loops are plain
// C++ that the compiler turns into vector code. The bytes after the last
// whole block go through the same rule one at a time.

namespace {

constexpr ULONG kRgbBlock = 48;
constexpr ULONG kYuy2Block = 16;

// s / 3 for s <= 765 (a pixel's B + G + R).
inline USHORT Div3(USHORT s) { return USHORT((ULONG(s) * 21846u) >> 16); }

// Each channel times a factor in tenths, limited to 255: (v * mul) / 10,
// which for v * mul <= 3060 (255 x 12) is exactly (v * mul * 6554) >> 16.
// The factor mul * 6554 needs 17 bits, but it is even, so the same product
// is (2v) * (mul * 3277): one 16-bit high-half multiply per byte.
inline USHORT ScaleByTenths(UCHAR v, USHORT halfFactor) {
  const USHORT twice = USHORT(v + v);
  return USHORT((ULONG(twice) * halfFactor) >> 16);
}

#if QCAM_HAVE_X86_VECTORS
// 48 bytes a step, as three 16-byte chunks with their own factor vectors;
// the byte pack's unsigned saturation is the limit to 255 (values are at
// most 306). Returns the bytes done.
QCAM_TARGET_SSSE3 ULONG ScaleRgbSsse3(PUCHAR p, ULONG bytes, const USHORT* halfFactor) {
  __m128i f[6];
  for (int v = 0; v < 6; ++v) f[v] = _mm_loadu_si128(reinterpret_cast<const __m128i*>(halfFactor + 8 * v));
  const __m128i zero = _mm_setzero_si128();
  ULONG i = 0;
  for (; i + kRgbBlock <= bytes; i += kRgbBlock) {
    for (int c = 0; c < 3; ++c) {
      __m128i* q = reinterpret_cast<__m128i*>(p + i + 16 * c);
      const __m128i in = _mm_loadu_si128(q);
      const __m128i a = _mm_unpacklo_epi8(in, zero), b = _mm_unpackhi_epi8(in, zero);
      _mm_storeu_si128(q, _mm_packus_epi16(_mm_mulhi_epu16(_mm_add_epi16(a, a), f[2 * c]),
                                           _mm_mulhi_epu16(_mm_add_epi16(b, b), f[2 * c + 1])));
    }
  }
  return i;
}

// 96 bytes a step, as three 32-byte chunks. The factors repeat every three
// bytes, so the pattern of `halfFactor` (one 48-byte block) serves every
// chunk; each chunk's in-lane unpacks take its bytes 0-7 and 16-23 into the
// low result and 8-15 and 24-31 into the high one, and its factor vectors
// are laid out the same way. Returns the bytes done, a whole number of
// 48-byte blocks.
QCAM_TARGET_AVX2 ULONG ScaleRgbAvx2(PUCHAR p, ULONG bytes, const USHORT* halfFactor) {
  constexpr ULONG kStep = 96;
  __m256i f[6];
  for (ULONG c = 0; c < 3; ++c)
    for (ULONG h = 0; h < 2; ++h) {
      alignas(32) USHORT lanes[16];
      for (ULONG k = 0; k < 8; ++k) {
        lanes[k] = halfFactor[(32 * c + 8 * h + k) % kRgbBlock];
        lanes[8 + k] = halfFactor[(32 * c + 16 + 8 * h + k) % kRgbBlock];
      }
      f[2 * c + h] = _mm256_load_si256(reinterpret_cast<const __m256i*>(lanes));
    }
  const __m256i zero = _mm256_setzero_si256();
  ULONG i = 0;
  for (; i + kStep <= bytes; i += kStep) {
    for (int c = 0; c < 3; ++c) {
      __m256i* q = reinterpret_cast<__m256i*>(p + i + 32 * c);
      const __m256i in = _mm256_loadu_si256(q);
      const __m256i a = _mm256_unpacklo_epi8(in, zero), b = _mm256_unpackhi_epi8(in, zero);
      _mm256_storeu_si256(q, _mm256_packus_epi16(_mm256_mulhi_epu16(_mm256_add_epi16(a, a), f[2 * c]),
                                                 _mm256_mulhi_epu16(_mm256_add_epi16(b, b), f[2 * c + 1])));
    }
  }
  return i;
}
#endif

VOID ScaleRgb(PUCHAR p, LONG width, LONG height, USHORT mulB, USHORT mulG, USHORT mulR) {
  USHORT half[kRgbBlock];
  for (ULONG k = 0; k < kRgbBlock; k += 3)
    half[k] = USHORT(mulB * 3277u), half[k + 1] = USHORT(mulG * 3277u), half[k + 2] = USHORT(mulR * 3277u);
  const ULONG bytes = ULONG(width) * ULONG(height) * 3;
  ULONG i = 0;
#if QCAM_HAVE_X86_VECTORS
  if (EffectVectorLevel() >= VectorLevel::kAvx2) i = ScaleRgbAvx2(p, bytes, half);
  if (EffectVectorLevel() >= VectorLevel::kSsse3) i += ScaleRgbSsse3(p + i, bytes - i, half);
#endif
  for (; i + kRgbBlock <= bytes; i += kRgbBlock) {
    PUCHAR q = p + i;
    for (ULONG k = 0; k < kRgbBlock; ++k) {
      // At most 306: a signed 16-bit minimum, which every vector unit has.
      const SHORT x = SHORT(ScaleByTenths(q[k], half[k]));
      q[k] = UCHAR(x < 255 ? x : SHORT(255));
    }
  }
  for (; i < bytes; ++i) {
    const USHORT x = ScaleByTenths(p[i], half[i % 3]);
    p[i] = UCHAR(x > 255 ? 255 : x);
  }
}

// Keeps the bytes of each pixel whose mask byte is 0xFF and clears the rest.
VOID MaskRgb(PUCHAR p, LONG width, LONG height, UCHAR keepB, UCHAR keepG, UCHAR keepR) {
  UCHAR keep[kRgbBlock];
  for (ULONG k = 0; k < kRgbBlock; k += 3) keep[k] = keepB, keep[k + 1] = keepG, keep[k + 2] = keepR;
  const ULONG bytes = ULONG(width) * ULONG(height) * 3;
  ULONG i = 0;
  for (; i + kRgbBlock <= bytes; i += kRgbBlock) {
    PUCHAR q = p + i;
    for (ULONG k = 0; k < kRgbBlock; ++k) q[k] = UCHAR(q[k] & keep[k]);
  }
  for (; i < bytes; ++i) p[i] = UCHAR(p[i] & keep[i % 3]);
}

// Adds a signed step to U and to V, limited to 0 ... 255 (Y unchanged).
VOID ShiftChroma(PUCHAR p, LONG width, LONG height, SHORT du, SHORT dv) {
  UCHAR add[kYuy2Block], sub[kYuy2Block], top[kYuy2Block];
  for (ULONG k = 0; k < kYuy2Block; ++k) {
    const SHORT d = (k % 4 == 1) ? du : ((k % 4 == 3) ? dv : 0);
    effects_detail::SplitStep(d, &add[k], &sub[k], &top[k]);
  }
  const ULONG bytes = ULONG(width) * ULONG(height) * 2;
  ULONG i = 0;
  for (; i + kYuy2Block <= bytes; i += kYuy2Block) effects_detail::AddStepsLimited<kYuy2Block>(p + i, add, sub, top);
  for (; i < bytes; ++i) {
    const SHORT v = SHORT(p[i] + add[i % 4] - sub[i % 4]);
    p[i] = UCHAR(v < 0 ? 0 : (v > 255 ? 255 : v));
  }
}

// Sets U and V to fixed values (Y unchanged).
VOID SetChroma(PUCHAR p, LONG width, LONG height, UCHAR u, UCHAR v) {
  UCHAR keep[kYuy2Block], set[kYuy2Block];
  for (ULONG k = 0; k < kYuy2Block; k += 4) {
    keep[k] = 0xFF, keep[k + 1] = 0, keep[k + 2] = 0xFF, keep[k + 3] = 0;
    set[k] = 0, set[k + 1] = u, set[k + 2] = 0, set[k + 3] = v;
  }
  const ULONG bytes = ULONG(width) * ULONG(height) * 2;
  ULONG i = 0;
  for (; i + kYuy2Block <= bytes; i += kYuy2Block) {
    PUCHAR q = p + i;
    for (ULONG k = 0; k < kYuy2Block; ++k) q[k] = UCHAR((q[k] & keep[k]) | set[k]);
  }
  for (; i < bytes; ++i) p[i] = UCHAR((p[i] & keep[i % 4]) | set[i % 4]);
}

// The effects built on a pixel's sum B + G + R. For a block of 16 pixels,
// t[k] sums the byte at k and the two after it (the whole pixel where k is a
// pixel's first byte); every byte then takes the sum of its own pixel,
// picked by position masks. The block reads two bytes past its end, so the
// last block of the picture goes through the per-pixel path instead.
enum SumRule { kSumGrey, kSumBlackWhite, kSumSepia };

template <SumRule rule>
inline UCHAR FromSum(USHORT sum, ULONG channel) {
  if (rule == kSumBlackWhite) return sum >= 387 ? 255 : 0;  // (B + G + R) / 3 > 128
  const USHORT a = Div3(sum);
  if (rule == kSumGrey) return UCHAR(a);
  static constexpr SHORT kSepiaStep[3] = {-65, -6, 37};  // B, G, R
  const SHORT v = SHORT(a + kSepiaStep[channel]);
  return UCHAR(v < 0 ? 0 : (v > 255 ? 255 : v));
}

#if QCAM_HAVE_X86_VECTORS
// 32 pixels a step: each pixel's (B, G) pair is summed by a multiply-add
// with ones and R added, the level packed to one byte per pixel and spread
// back over the pixel's three bytes. Returns the bytes done.
template <SumRule rule>
QCAM_TARGET_AVX2 ULONG FromPixelSumsAvx2(PUCHAR p, ULONG bytes) {
  using namespace rgb_lanes;
  const ChannelGathers bgr = MakeChannelGathers(0, 1, 2);
  const Spread spread = MakeSpread();
  const Block3 add = PerChannel(0, 0, 37), sub = PerChannel(65, 6, 0);  // sepia steps, saturating
  const __m256i ones = _mm256_set1_epi8(1);
  const __m256i third = _mm256_set1_epi16(21846);  // Div3 as a high-half multiply
  const __m256i whiteAbove = _mm256_set1_epi16(386);
  ULONG i = 0;
  for (; i + kStepBytes <= bytes; i += kStepBytes) {
    const Block3 in = Load(p + i);
    __m256i sum[2];
    for (int half = 0; half < 2; ++half)
      sum[half] = _mm256_add_epi16(_mm256_maddubs_epi16(PickPair(in, bgr, half), ones), PickSingle(in, bgr, half));
    __m256i level;
    if (rule == kSumBlackWhite)
      level = _mm256_packs_epi16(_mm256_cmpgt_epi16(sum[0], whiteAbove), _mm256_cmpgt_epi16(sum[1], whiteAbove));
    else
      level = _mm256_packus_epi16(_mm256_mulhi_epu16(sum[0], third), _mm256_mulhi_epu16(sum[1], third));
    Block3 out = SpreadOver(level, spread);
    if (rule == kSumSepia)
      for (int k = 0; k < 3; ++k) out.r[k] = _mm256_subs_epu8(_mm256_adds_epu8(out.r[k], add.r[k]), sub.r[k]);
    Store(p + i, out);
  }
  return i;
}
#endif

template <SumRule rule>
VOID FromPixelSums(PUCHAR p, LONG width, LONG height) {
  const ULONG bytes = ULONG(width) * ULONG(height) * 3;
  ULONG i = 0;
#if QCAM_HAVE_X86_VECTORS
  if (EffectVectorLevel() >= VectorLevel::kAvx2) i = FromPixelSumsAvx2<rule>(p, bytes);
#endif
  USHORT m0[kRgbBlock], m1[kRgbBlock], m2[kRgbBlock];
  SHORT step[kRgbBlock];
  for (ULONG k = 0; k < kRgbBlock; ++k) {
    m0[k] = (k % 3 == 0) ? 0xFFFF : 0;
    m1[k] = (k % 3 == 1) ? 0xFFFF : 0;
    m2[k] = (k % 3 == 2) ? 0xFFFF : 0;
    step[k] = (k % 3 == 0) ? -65 : ((k % 3 == 1) ? -6 : 37);
  }
  for (; i + kRgbBlock + 2 <= bytes; i += kRgbBlock) {
    PUCHAR q = p + i;
    USHORT t[kRgbBlock + 2];
    t[0] = t[1] = 0;
    for (ULONG k = 0; k < kRgbBlock; ++k) t[k + 2] = USHORT(q[k] + q[k + 1] + q[k + 2]);
    for (ULONG k = 0; k < kRgbBlock; ++k) {
      const USHORT sum = USHORT((t[k + 2] & m0[k]) | (t[k + 1] & m1[k]) | (t[k] & m2[k]));
      if (rule == kSumBlackWhite) {
        q[k] = sum >= 387 ? 255 : 0;
      } else if (rule == kSumGrey) {
        q[k] = UCHAR(Div3(sum));
      } else {
        const SHORT v = SHORT(Div3(sum) + step[k]);
        q[k] = UCHAR(v < 0 ? 0 : (v > 255 ? 255 : v));
      }
    }
  }
  for (; i < bytes; i += 3) {
    const USHORT sum = USHORT(p[i] + p[i + 1] + p[i + 2]);
    p[i] = FromSum<rule>(sum, 0);
    p[i + 1] = FromSum<rule>(sum, 1);
    p[i + 2] = FromSum<rule>(sum, 2);
  }
}

}  // namespace

VOID BlueTintRgb(PUCHAR p, LONG width, LONG height) { ScaleRgb(p, width, height, 12, 10, 8); }
VOID BlueTintYuy2(PUCHAR p, LONG width, LONG height) { ShiftChroma(p, width, height, 26, -35); }
VOID RedTintRgb(PUCHAR p, LONG width, LONG height) { ScaleRgb(p, width, height, 9, 10, 11); }
VOID RedTintYuy2(PUCHAR p, LONG width, LONG height) { ShiftChroma(p, width, height, -25, 20); }
VOID YellowTintRgb(PUCHAR p, LONG width, LONG height) { ScaleRgb(p, width, height, 9, 11, 12); }
VOID YellowTintYuy2(PUCHAR p, LONG width, LONG height) { ShiftChroma(p, width, height, -15, 10); }
VOID SepiaRgb(PUCHAR p, LONG width, LONG height) { FromPixelSums<kSumSepia>(p, width, height); }
VOID SepiaYuy2(PUCHAR p, LONG width, LONG height) { SetChroma(p, width, height, 96, 160); }
VOID BlackWhiteRgb(PUCHAR p, LONG width, LONG height) { FromPixelSums<kSumBlackWhite>(p, width, height); }

VOID BlackWhiteYuy2(PUCHAR p, LONG width, LONG height) {
  const ULONG pairs = ULONG(width) * ULONG(height) / 2;
  for (ULONG i = 0; i < pairs; ++i, p += 4) {
    p[0] = p[0] > 80 ? 255 : 0;
    p[1] = 128;
    p[2] = p[2] > 80 ? 255 : 0;
    p[3] = 128;
  }
}

VOID GreyRgb(PUCHAR p, LONG width, LONG height) { FromPixelSums<kSumGrey>(p, width, height); }
VOID GreyYuy2(PUCHAR p, LONG width, LONG height) { SetChroma(p, width, height, 128, 128); }

VOID NegativeRgb(PUCHAR p, LONG width, LONG height) {
  const ULONG n = ULONG(width) * ULONG(height) * 3;
  for (ULONG i = 0; i < n; ++i) p[i] = UCHAR(255 - p[i]);
}

VOID NegativeYuy2(PUCHAR p, LONG width, LONG height) {
  const ULONG n = ULONG(width) * ULONG(height) * 2;
  for (ULONG i = 0; i < n; ++i) p[i] = UCHAR(255 - p[i]);
}

VOID RedOnlyRgb(PUCHAR p, LONG width, LONG height) { MaskRgb(p, width, height, 0, 0, 0xFF); }
VOID RedOnlyYuy2(PUCHAR p, LONG width, LONG height) { SetChroma(p, width, height, 128, 255); }
VOID GreenOnlyRgb(PUCHAR p, LONG width, LONG height) { MaskRgb(p, width, height, 0, 0xFF, 0); }
VOID GreenOnlyYuy2(PUCHAR p, LONG width, LONG height) { SetChroma(p, width, height, 0, 0); }
VOID BlueOnlyRgb(PUCHAR p, LONG width, LONG height) { MaskRgb(p, width, height, 0xFF, 0, 0); }
VOID BlueOnlyYuy2(PUCHAR p, LONG width, LONG height) { SetChroma(p, width, height, 255, 128); }
