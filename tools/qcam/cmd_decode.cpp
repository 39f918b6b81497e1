// qcam decode: runs the driver's JPEG decoder on a file exactly as the frame
// path runs it on an MJPG frame of the same size, and saves what it delivers.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "driver/imaging/jpeg_decoder.h"
#include "driver/imaging/jpeg_internal.h"
#include "sim/image_io.h"
#include "tools/qcam/commands.h"

namespace qcam_tool {
namespace {

void DecodeUsage(FILE* out) {
  std::fprintf(out,
               "usage: qcam decode FILE.jpg --format RGB24|I420 [--out FILE.png] [--raw FILE] [--repeat N]\n"
               "  Decodes FILE.jpg with the driver's decoder as the frame path decodes an MJPG\n"
               "  frame of the picture's size. --out writes the picture as PNG, --raw the\n"
               "  delivered bytes (bottom-up BGR, or the I420 planes), --repeat N decodes N\n"
               "  times and prints the median and minimum milliseconds per decode.\n");
}

// Names the first segment before the scan that the header parse refuses.
std::string HeaderRefusal(const std::vector<uint8_t>& d) {
  size_t pos = 2;
  bool frame = false;
  while (pos + 1 < d.size() && d[pos] == 0xFF) {
    uint8_t code = d[pos + 1];
    if ((code >= 0xD0 && code <= 0xD7) || code == 0xD9) {
      pos += 2;
      continue;
    }
    if (pos + 4 > d.size()) break;
    size_t len = (size_t(d[pos + 2]) << 8) | d[pos + 3];
    char buf[160];
    if (code >= 0xE0 && code <= 0xEF) {
      std::snprintf(buf, sizeof(buf), "application segment APP%d (FF %02X) before the scan", code - 0xE0, code);
      return buf;
    }
    if (code != 0xC0 && code != 0xC4 && code != 0xDB && code != 0xDA && code != 0xDC && code != 0xDD &&
        code != 0xFE) {
      std::snprintf(buf, sizeof(buf), "segment FF %02X is not part of a baseline frame", code);
      return buf;
    }
    if (code == 0xC0) frame = true;
    if (code == 0xDA && !frame) return "scan header before any baseline frame header";
    if (len < 2 || pos + 2 + len > d.size()) return "a segment runs past the end of the file";
    if (code == 0xDA) break;
    pos += 2 + len;
  }
  return "the header is damaged, holds a table outside the decoder's model, or has no scan";
}

std::string StatusReason(UCHAR status) {
  char buf[96];
  switch (status) {
    case kJpegStatusCodeError:
      return "corrupt entropy-coded data (no such Huffman code, DC category above 11 or a run past the block)";
    case kJpegStatusRestart:
      return "restart marker where this MCU loop accepts none";
    case kJpegStatusDataEnded:
      return "the entropy-coded data ends before the last MCU";
    default:
      std::snprintf(buf, sizeof(buf), "unexpected marker FF %02X in the entropy-coded data", status);
      return buf;
  }
}

bool ReadFile(const std::string& path, std::vector<uint8_t>* out) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return false;
  out->assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  return true;
}

int Fail(const std::string& file, const std::string& reason) {
  std::fprintf(stderr, "qcam decode: %s: %s\n", file.c_str(), reason.c_str());
  return 2;
}

}  // namespace

int CmdDecode(const Args& args) {
  std::string file, format, outPng, outRaw;
  long repeat = 0;
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    auto value = [&](std::string* v) {
      if (i + 1 >= args.size()) return false;
      *v = args[++i];
      return true;
    };
    std::string v;
    if (a == "--help" || a == "-h") {
      DecodeUsage(stdout);
      return 0;
    } else if (a == "--format" && value(&v)) {
      format = v;
    } else if (a == "--out" && value(&v)) {
      outPng = v;
    } else if (a == "--raw" && value(&v)) {
      outRaw = v;
    } else if (a == "--repeat" && value(&v)) {
      char* end = nullptr;
      repeat = std::strtol(v.c_str(), &end, 10);
      if (!end || *end || repeat < 1 || repeat > 100000) {
        std::fprintf(stderr, "qcam decode: --repeat needs a count from 1 to 100000\n");
        return 2;
      }
    } else if (!a.empty() && a[0] != '-' && file.empty()) {
      file = a;
    } else {
      std::fprintf(stderr, "qcam decode: unexpected argument '%s'\n", a.c_str());
      DecodeUsage(stderr);
      return 2;
    }
  }
  if (file.empty() || (format != "RGB24" && format != "I420")) {
    DecodeUsage(stderr);
    return 2;
  }
  const bool rgb = format == "RGB24";

  std::vector<uint8_t> jpeg;
  if (!ReadFile(file, &jpeg)) return Fail(file, "cannot read the file");
  if (jpeg.size() > 0xFFFFFFFFu) return Fail(file, "file too large for a frame");

  // The stream's size is the picture's, as for an MJPG stream of that size.
  JpegFrameInfo fi;
  JpegScanInfo si;
  LONG off = _DecodeJPEGHeader(jpeg.data(), ULONG(jpeg.size()), &fi, &si);
  if (off < 0) return Fail(file, "not a JPEG file (it does not begin with FF D8)");
  if (off == 0) return Fail(file, "header refused: " + HeaderRefusal(jpeg));
  if (fi.Nf != 3 || si.Ns != 3) return Fail(file, "the decoder takes three-component (YCbCr) pictures only");
  if (fi.P != 8) return Fail(file, "the decoder takes 8-bit samples only");
  bool is422 = fi.Component[0].H == 2 && fi.Component[0].V == 1;
  bool is420 = fi.Component[0].H == 2 && fi.Component[0].V == 2;
  for (int c = 1; c < 3; ++c)
    if (fi.Component[c].H != 1 || fi.Component[c].V != 1) is422 = is420 = false;
  if (!is422 && !is420) return Fail(file, "chroma sampling other than 4:2:2 or 4:2:0");
  if (fi.X == 0 || fi.Y == 0 || (fi.X & 1) || (fi.Y & 1))
    return Fail(file, "picture width and height must be even and non-zero");

  const LONG w = LONG(fi.X), h = LONG(fi.Y);
  std::vector<UCHAR> scratch(size_t(w) * size_t(h) * 2);
  CameraDeviceState stream{};
  stream.Width = w;
  stream.Height = h;
  stream.OutputFormatCode = rgb ? 0 : 0x30323449;  // biCompression: 0 for RGB24, "I420"
  stream.ScratchBuffer = scratch.data();
  stream.ScratchSize = ULONG(scratch.size());
  std::vector<UCHAR> out(rgb ? size_t(w) * size_t(h) * 3 : size_t(w) * size_t(h) + 2 * size_t(w / 2) * size_t(h / 2));

  auto decodeOnce = [&] {
    return rgb ? DecodeJPEGToRGB24(out.data(), ULONG(out.size()), jpeg.data(), ULONG(jpeg.size()), &stream)
               : DecodeJPEGToI420(out.data(), ULONG(out.size()), jpeg.data(), ULONG(jpeg.size()), &stream);
  };
  ULONG n = decodeOnce();
  if (n != out.size()) {
    JpegDecodeState st;
    JpegGetLastDecodeState(&st);
    return Fail(file, "decode failed after " + std::to_string(st.McuCount) + " MCUs: " + StatusReason(st.Status));
  }
  std::printf("%s: %ldx%ld %s, decoded to %s: %lu bytes\n", file.c_str(), long(w), long(h), is422 ? "4:2:2" : "4:2:0",
              format.c_str(), (unsigned long)n);

  if (repeat > 0) {
    std::vector<double> ms;
    ms.reserve(size_t(repeat));
    for (long i = 0; i < repeat; ++i) {
      auto t0 = std::chrono::steady_clock::now();
      ULONG r = decodeOnce();
      auto t1 = std::chrono::steady_clock::now();
      if (r != n) return Fail(file, "a repeated decode failed");
      ms.push_back(std::chrono::duration<double, std::milli>(t1 - t0).count());
    }
    std::sort(ms.begin(), ms.end());
    double median = ms.size() % 2 ? ms[ms.size() / 2] : (ms[ms.size() / 2 - 1] + ms[ms.size() / 2]) / 2;
    std::printf("%ld decodes: median %.3f ms, minimum %.3f ms\n", repeat, median, ms.front());
  }

  if (!outRaw.empty()) {
    std::ofstream raw(outRaw, std::ios::binary);
    if (!raw || !raw.write(reinterpret_cast<const char*>(out.data()), std::streamsize(out.size())))
      return Fail(outRaw, "cannot write the raw bytes");
    std::printf("wrote %s (%s)\n", outRaw.c_str(), rgb ? "bottom-up BGR, 3 bytes per pixel" : "I420 planes Y, Cb, Cr");
  }
  if (!outPng.empty()) {
    sim::RgbImage img;
    if (rgb)
      sim::BottomUpBgrToRgb(out.data(), w, h, &img);
    else
      sim::I420ToRgb(out.data(), w, h, &img);
    std::string error;
    if (!sim::WritePng(outPng, img, &error)) return Fail(outPng, error);
    std::printf("wrote %s\n", outPng.c_str());
  }
  return 0;
}

}  // namespace qcam_tool
