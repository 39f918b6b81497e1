// Helpers of the JPEG decoder tests: test pictures, camera-like frames,
// hand-made frames with a small entropy encoder, the reference decoder and a
// stream record for the decode operations.
#pragma once

#include <turbojpeg.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "driver/imaging/jpeg_decoder.h"
#include "driver/imaging/jpeg_internal.h"
#include "sim/image_io.h"

namespace jpeg_test {

// A picture with what camera pictures have: smooth shading, flat areas with
// sharp edges, fine texture and a little sensor noise. Fixed by its seed.
inline sim::RgbImage NaturalPicture(int w, int h, uint32_t seed) {
  sim::RgbImage img;
  img.width = w;
  img.height = h;
  img.rgb.resize(size_t(w) * h * 3);
  std::mt19937 rng(seed);
  std::uniform_real_distribution<double> uni(0.0, 1.0);
  struct Disc {
    double x, y, r;
    int c[3];
  } discs[6];
  for (auto& d : discs) {
    d.x = uni(rng) * w;
    d.y = uni(rng) * h;
    d.r = (0.05 + 0.2 * uni(rng)) * std::min(w, h);
    for (int& c : d.c) c = int(uni(rng) * 255);
  }
  const double fx = 0.5 + uni(rng), fy = 0.5 + uni(rng);
  std::normal_distribution<double> noise(0.0, 2.0);
  for (int y = 0; y < h; ++y) {
    for (int x = 0; x < w; ++x) {
      double u = double(x) / w, v = double(y) / h;
      double px[3] = {90 + 100 * u + 30 * std::sin(fx * 9 * v), 70 + 120 * v + 25 * std::cos(fy * 7 * u),
                      150 - 80 * u * v + 20 * std::sin(5 * (u + v))};
      for (const auto& d : discs) {
        double dist = std::hypot(x - d.x, y - d.y);
        if (dist < d.r) {
          double edge = std::min(1.0, (d.r - dist) / 1.5);
          for (int c = 0; c < 3; ++c) px[c] = px[c] * (1 - edge) + d.c[c] * edge;
        }
      }
      double texture = 12 * std::sin(x * 0.9) * std::sin(y * 0.7) * (x * 2 > w ? 1.0 : 0.2);
      for (int c = 0; c < 3; ++c) {
        double val = px[c] + texture + noise(rng);
        img.rgb[(size_t(y) * w + x) * 3 + c] = uint8_t(val < 0 ? 0 : (val > 255 ? 255 : std::lround(val)));
      }
    }
  }
  return img;
}

// Removes every segment whose marker code satisfies drop (before SOS only).
template <class Pred>
std::vector<uint8_t> DropSegments(const std::vector<uint8_t>& jpeg, Pred drop) {
  std::vector<uint8_t> out(jpeg.begin(), jpeg.begin() + 2);
  size_t pos = 2;
  while (pos + 4 <= jpeg.size() && jpeg[pos] == 0xFF) {
    uint8_t code = jpeg[pos + 1];
    size_t len = (size_t(jpeg[pos + 2]) << 8) | jpeg[pos + 3];
    if (code == 0xDA) break;
    if (!drop(code)) out.insert(out.end(), jpeg.begin() + pos, jpeg.begin() + pos + 2 + len);
    pos += 2 + len;
  }
  out.insert(out.end(), jpeg.begin() + pos, jpeg.end());
  return out;
}

// A frame as the camera sends it: baseline, no application segments.
inline std::vector<uint8_t> CameraFrame(const sim::RgbImage& img, int quality, bool is420, int restart) {
  std::vector<uint8_t> jpeg;
  if (!sim::EncodeJpeg(img, quality, is420, restart, &jpeg)) return {};
  return DropSegments(jpeg, [](uint8_t c) { return c >= 0xE0 && c <= 0xEF; });
}

// The stream record the decode operations read, with its scratch buffer.
struct TestStream {
  CameraDeviceState state{};
  std::vector<UCHAR> scratch;
  TestStream(int w, int h) {
    state.Width = w;
    state.Height = h;
    scratch.resize(size_t(w) * h * 2);
    state.ScratchBuffer = scratch.data();
    state.ScratchSize = ULONG(scratch.size());
  }
};

inline size_t I420Size(int w, int h) { return size_t(w) * h + 2 * size_t(w / 2) * (h / 2); }

inline ULONG DecodeI420(const std::vector<uint8_t>& jpeg, TestStream& s, std::vector<uint8_t>* out) {
  out->assign(I420Size(s.state.Width, s.state.Height), 0);
  return DecodeJPEGToI420(out->data(), ULONG(out->size()), jpeg.data(), ULONG(jpeg.size()), &s.state);
}
inline ULONG DecodeRgb(const std::vector<uint8_t>& jpeg, TestStream& s, std::vector<uint8_t>* out) {
  out->assign(size_t(s.state.Width) * s.state.Height * 3, 0);
  return DecodeJPEGToRGB24(out->data(), ULONG(out->size()), jpeg.data(), ULONG(jpeg.size()), &s.state);
}

// Reference decodes with libjpeg-turbo (accurate IDCT, replicated chroma).
inline bool ReferenceBgrBottomUp(const std::vector<uint8_t>& jpeg, int w, int h, std::vector<uint8_t>* out) {
  tjhandle tj = tjInitDecompress();
  out->assign(size_t(w) * h * 3, 0);
  int rc = tjDecompress2(tj, jpeg.data(), (unsigned long)jpeg.size(), out->data(), w, 0, h, TJPF_BGR,
                         TJFLAG_BOTTOMUP | TJFLAG_FASTUPSAMPLE);
  tjDestroy(tj);
  return rc == 0;
}

// I420 from the reference's native planes; 4:2:2 chroma rows are averaged in
// pairs, rounding up, as the driver does.
inline bool ReferenceI420(const std::vector<uint8_t>& jpeg, int w, int h, bool is420, std::vector<uint8_t>* out) {
  tjhandle tj = tjInitDecompress();
  int cw = w / 2, chNative = is420 ? h / 2 : h;
  std::vector<uint8_t> y(size_t(w) * h), cb(size_t(cw) * chNative), cr(size_t(cw) * chNative);
  unsigned char* planes[3] = {y.data(), cb.data(), cr.data()};
  int strides[3] = {w, cw, cw};
  int rc = tjDecompressToYUVPlanes(tj, jpeg.data(), (unsigned long)jpeg.size(), planes, w, strides, h, 0);
  tjDestroy(tj);
  if (rc != 0) return false;
  out->assign(I420Size(w, h), 0);
  std::memcpy(out->data(), y.data(), y.size());
  uint8_t* ocb = out->data() + size_t(w) * h;
  uint8_t* ocr = ocb + size_t(cw) * (h / 2);
  for (int r = 0; r < h / 2; ++r)
    for (int c = 0; c < cw; ++c) {
      if (is420) {
        ocb[r * cw + c] = cb[r * cw + c];
        ocr[r * cw + c] = cr[r * cw + c];
      } else {
        ocb[r * cw + c] = uint8_t((cb[2 * r * cw + c] + cb[(2 * r + 1) * cw + c] + 1) >> 1);
        ocr[r * cw + c] = uint8_t((cr[2 * r * cw + c] + cr[(2 * r + 1) * cw + c] + 1) >> 1);
      }
    }
  return true;
}

// ---- hand-made frames ----------------------------------------------------------

// Canonical codes of a table given as 16 counts and symbols.
struct CodeTable {
  uint16_t code[256] = {};
  uint8_t size[256] = {};
  CodeTable(const uint8_t* counts, const uint8_t* symbols) {
    int k = 0;
    uint16_t c = 0;
    for (int len = 1; len <= 16; ++len) {
      for (int i = 0; i < counts[len - 1]; ++i, ++k) {
        code[symbols[k]] = c++;
        size[symbols[k]] = uint8_t(len);
      }
      c <<= 1;
    }
  }
};

extern const uint8_t kDcLumaCounts[16], kDcChromaCounts[16], kDcSymbols[12];
extern const uint8_t kAcLumaCounts[16], kAcChromaCounts[16], kAcLumaSymbols[162], kAcChromaSymbols[162];

// Entropy-coded data writer: MSB first, FF followed by stuffed 00, padding
// with 1 bits.
struct BitWriter {
  std::vector<uint8_t> bytes;
  uint32_t acc = 0;
  int n = 0;
  void Put(uint32_t v, int bits) {
    for (int i = bits - 1; i >= 0; --i) {
      acc = (acc << 1) | ((v >> i) & 1);
      if (++n == 8) Flush();
    }
  }
  void Flush() {
    bytes.push_back(uint8_t(acc));
    if (acc == 0xFF) bytes.push_back(0);
    acc = 0;
    n = 0;
  }
  void Pad() {
    while (n) Put(1, 1);
  }
  void Marker(uint8_t code) {
    Pad();
    bytes.push_back(0xFF);
    bytes.push_back(code);
  }
};

// Writes a coefficient difference of category s.
inline void PutValue(BitWriter& w, int v, int s) {
  if (s == 0) return;
  uint32_t bits = v >= 0 ? uint32_t(v) : uint32_t(v + (1 << s) - 1);
  w.Put(bits, s);
}
inline int Category(int v) {
  int a = v < 0 ? -v : v, s = 0;
  while (a) {
    ++s;
    a >>= 1;
  }
  return s;
}

// A block given as DC difference and (zigzag position, value) AC pairs.
struct Block {
  int dcDiff = 0;
  std::vector<std::pair<int, int>> ac;
};

inline void PutBlock(BitWriter& w, const Block& b, const CodeTable& dc, const CodeTable& ac) {
  int s = Category(b.dcDiff);
  w.Put(dc.code[s], dc.size[s]);
  PutValue(w, b.dcDiff, s);
  int k = 1;
  for (auto [pos, val] : b.ac) {
    int run = pos - k;
    while (run > 15) {
      w.Put(ac.code[0xF0], ac.size[0xF0]);
      run -= 16;
    }
    int cs = Category(val);
    int sym = (run << 4) | cs;
    w.Put(ac.code[sym], ac.size[sym]);
    PutValue(w, val, cs);
    k = pos + 1;
  }
  if (k < 64) w.Put(ac.code[0x00], ac.size[0x00]);
}

// Header of a 3-component frame: SOI, one DQT with both tables (all ones
// unless given), optional DHT segments, SOF0, optional DRI, SOS.
struct HeaderOptions {
  int width = 16, height = 8;
  int lumaV = 1;  // 1: 4:2:2, 2: 4:2:0
  bool withDht = true;
  int restartInterval = 0;
  uint8_t quant = 1;
};
std::vector<uint8_t> MakeHeader(const HeaderOptions& o);
std::vector<uint8_t> DhtSegment(int tc, int th, const uint8_t* counts, const uint8_t* symbols, int n);

}  // namespace jpeg_test
