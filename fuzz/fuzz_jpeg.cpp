// libFuzzer harness of the driver's JPEG decoder: the exported header parse
// and both decode operations on arbitrary frame bytes, with outputs of exactly
// the size the stream asks for. Each frame is decoded by the fast entropy
// decoder with the widest colour conversion and by the plain bit-by-bit one
// with the SSE2 conversion, which must agree byte for byte.
#include <cstdint>
#include <cstring>
#include <vector>

#include "driver/imaging/jpeg_decoder.h"
#include "driver/imaging/jpeg_internal.h"
#include "driver/imaging/vector_level.h"

namespace {

// Decodes with both entropy decoders and checks they agree.
template <class Fn>
void DecodeBoth(Fn decode, std::vector<UCHAR>& out, std::vector<UCHAR>& scratch) {
  JpegUseBitByBitDecoder(false);
  std::memset(out.data(), 0, out.size());
  ULONG nFast = decode();
  JpegDecodeState fast;
  JpegGetLastDecodeState(&fast);
  std::vector<UCHAR> outFast = out;
  std::vector<UCHAR> scratchFast = scratch;
  JpegUseBitByBitDecoder(true);
  SetEffectVectorCeiling(VectorLevel::kSsse3);
  std::memset(out.data(), 0, out.size());
  ULONG nPlain = decode();
  JpegDecodeState plain;
  JpegGetLastDecodeState(&plain);
  JpegUseBitByBitDecoder(false);
  SetEffectVectorCeiling(VectorLevel::kAvx2);
  if (nFast != nPlain || outFast != out || scratchFast != scratch || fast.Status != plain.Status ||
      fast.Offset != plain.Offset || fast.BitsLeft != plain.BitsLeft || fast.McuCount != plain.McuCount)
    __builtin_trap();
  // Touch every output byte so uninitialised or stray data shows.
  unsigned sum = 0;
  for (UCHAR v : out) sum += v;
  if (nFast != 0 && nFast != out.size()) __builtin_trap();
  (void)sum;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size > (1u << 20)) return 0;
  // Tables carry over between frames by design; start each input from the
  // load-time state so a crash reproduces from its input alone.
  JpegResetTables();
  JpegFrameInfo fi;
  JpegScanInfo si;
  LONG off = _DecodeJPEGHeader(data, ULONG(size), &fi, &si);
  if (off > LONG(size)) __builtin_trap();
  // The stream takes the picture's own size when it is small and even (so
  // the decoders get past their size checks), otherwise a fixed one.
  LONG w = 32, h = 16;
  if (off > 0 && fi.X > 0 && fi.Y > 0 && fi.X <= 512 && fi.Y <= 512 && fi.X * fi.Y <= 128 * 128 &&
      !(fi.X & 1) && !(fi.Y & 1)) {
    w = LONG(fi.X);
    h = LONG(fi.Y);
  }
  std::vector<UCHAR> scratch(size_t(w) * size_t(h) * 2);
  CameraDeviceState stream{};
  stream.Width = w;
  stream.Height = h;
  stream.ScratchBuffer = scratch.data();
  stream.ScratchSize = ULONG(scratch.size());

  std::vector<UCHAR> i420(size_t(w) * size_t(h) + 2 * size_t(w / 2) * size_t(h / 2));
  DecodeBoth([&] { return DecodeJPEGToI420(i420.data(), ULONG(i420.size()), data, ULONG(size), &stream); }, i420,
             scratch);
  std::vector<UCHAR> rgb(size_t(w) * size_t(h) * 3);
  DecodeBoth([&] { return DecodeJPEGToRGB24(rgb.data(), ULONG(rgb.size()), data, ULONG(size), &stream); }, rgb,
             scratch);
  return 0;
}
