// PNG and JPEG files, the camera's JPEG encoder and the viewing conversions.
#include "sim/image_io.h"

#include <csetjmp>
#include <cstdio>
#include <cstring>
#include <memory>

#include <jpeglib.h>
#include <png.h>

namespace sim {
namespace {

// Pictures larger than this are refused when read (keeps a hostile file from
// asking for gigabytes).
constexpr int kMaxPictureSide = 16384;
constexpr uint64_t kMaxPicturePixels = 64ull * 1024 * 1024;

struct FileCloser {
  void operator()(FILE* f) const {
    if (f) fclose(f);
  }
};
using FilePtr = std::unique_ptr<FILE, FileCloser>;

uint8_t Clamp255(int v) { return static_cast<uint8_t>(v < 0 ? 0 : (v > 255 ? 255 : v)); }

// --- PNG -------------------------------------------------------------------

struct PngErrorState {
  char message[200];
};

void PngError(png_structp png, png_const_charp msg) {
  auto* state = static_cast<PngErrorState*>(png_get_error_ptr(png));
  if (state) snprintf(state->message, sizeof(state->message), "%s", msg);
  png_longjmp(png, 1);
}
void PngWarning(png_structp, png_const_charp) {}

bool ReadPng(FILE* f, const std::string& path, RgbImage* out, std::string* error) {
  PngErrorState state{};
  png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, &state, PngError, PngWarning);
  if (!png) {
    *error = "out of memory reading " + path;
    return false;
  }
  png_infop info = png_create_info_struct(png);
  std::vector<uint8_t> pixels;
  std::vector<png_bytep> rows;
  if (!info || setjmp(png_jmpbuf(png))) {
    png_destroy_read_struct(&png, info ? &info : nullptr, nullptr);
    *error = path + ": bad PNG file (" + std::string(state.message[0] ? state.message : "unreadable") + ")";
    return false;
  }
  png_init_io(png, f);
  png_set_user_limits(png, kMaxPictureSide, kMaxPictureSide);
  png_read_info(png, info);
  png_uint_32 w = png_get_image_width(png, info);
  png_uint_32 h = png_get_image_height(png, info);
  int colorType = png_get_color_type(png, info);
  int depth = png_get_bit_depth(png, info);
  if (uint64_t(w) * h > kMaxPicturePixels) png_error(png, "picture too large");
  if (depth == 16) png_set_strip_16(png);
  if (colorType == PNG_COLOR_TYPE_PALETTE) png_set_palette_to_rgb(png);
  if (colorType == PNG_COLOR_TYPE_GRAY && depth < 8) png_set_expand_gray_1_2_4_to_8(png);
  if (png_get_valid(png, info, PNG_INFO_tRNS)) png_set_tRNS_to_alpha(png);
  if (colorType == PNG_COLOR_TYPE_GRAY || colorType == PNG_COLOR_TYPE_GRAY_ALPHA) png_set_gray_to_rgb(png);
  png_set_strip_alpha(png);
  png_set_interlace_handling(png);
  png_read_update_info(png, info);
  if (png_get_rowbytes(png, info) != size_t(w) * 3) png_error(png, "unsupported pixel layout");
  pixels.resize(size_t(w) * h * 3);
  rows.resize(h);
  for (png_uint_32 y = 0; y < h; ++y) rows[y] = pixels.data() + size_t(y) * w * 3;
  png_read_image(png, rows.data());
  png_read_end(png, nullptr);
  png_destroy_read_struct(&png, &info, nullptr);
  out->width = static_cast<int>(w);
  out->height = static_cast<int>(h);
  out->rgb = std::move(pixels);
  return true;
}

// --- JPEG ------------------------------------------------------------------

struct JpegErrorManager {
  jpeg_error_mgr base;
  jmp_buf jump;
  char message[JMSG_LENGTH_MAX];
};

void JpegErrorExit(j_common_ptr cinfo) {
  auto* err = reinterpret_cast<JpegErrorManager*>(cinfo->err);
  (*cinfo->err->format_message)(cinfo, err->message);
  longjmp(err->jump, 1);
}
void JpegSilent(j_common_ptr, int) {}

bool ReadJpeg(const std::vector<uint8_t>& bytes, const std::string& path, RgbImage* out, std::string* error) {
  jpeg_decompress_struct cinfo;
  JpegErrorManager jerr;
  std::memset(&jerr.message, 0, sizeof(jerr.message));
  cinfo.err = jpeg_std_error(&jerr.base);
  jerr.base.error_exit = JpegErrorExit;
  jerr.base.emit_message = JpegSilent;
  std::vector<uint8_t> pixels;
  if (setjmp(jerr.jump)) {
    jpeg_destroy_decompress(&cinfo);
    *error = path + ": bad JPEG file (" + std::string(jerr.message[0] ? jerr.message : "unreadable") + ")";
    return false;
  }
  jpeg_create_decompress(&cinfo);
  jpeg_mem_src(&cinfo, bytes.data(), static_cast<unsigned long>(bytes.size()));
  jpeg_read_header(&cinfo, TRUE);
  if (cinfo.image_width > unsigned(kMaxPictureSide) || cinfo.image_height > unsigned(kMaxPictureSide) ||
      uint64_t(cinfo.image_width) * cinfo.image_height > kMaxPicturePixels) {
    jpeg_destroy_decompress(&cinfo);
    *error = path + ": picture too large";
    return false;
  }
  cinfo.out_color_space = JCS_RGB;
  jpeg_start_decompress(&cinfo);
  const int w = static_cast<int>(cinfo.output_width);
  const int h = static_cast<int>(cinfo.output_height);
  pixels.resize(size_t(w) * h * 3);
  while (cinfo.output_scanline < cinfo.output_height) {
    JSAMPROW row = pixels.data() + size_t(cinfo.output_scanline) * w * 3;
    jpeg_read_scanlines(&cinfo, &row, 1);
  }
  jpeg_finish_decompress(&cinfo);
  jpeg_destroy_decompress(&cinfo);
  out->width = w;
  out->height = h;
  out->rgb = std::move(pixels);
  return true;
}

}  // namespace

bool DecodeJpeg(const std::vector<uint8_t>& bytes, const std::string& what, RgbImage* out, std::string* error) {
  return ReadJpeg(bytes, what, out, error);
}

bool ReadPicture(const std::string& path, RgbImage* out, std::string* error) {
  std::string dummy;
  if (!error) error = &dummy;
  FilePtr f(fopen(path.c_str(), "rb"));
  if (!f) {
    *error = "cannot open " + path + ": " + std::strerror(errno);
    return false;
  }
  uint8_t sig[8] = {};
  size_t got = fread(sig, 1, sizeof(sig), f.get());
  static const uint8_t kPngSig[8] = {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A};
  if (got == 8 && std::memcmp(sig, kPngSig, 8) == 0) {
    rewind(f.get());
    return ReadPng(f.get(), path, out, error);
  }
  if (got >= 3 && sig[0] == 0xFF && sig[1] == 0xD8 && sig[2] == 0xFF) {
    std::vector<uint8_t> bytes;
    rewind(f.get());
    uint8_t buf[65536];
    size_t n;
    while ((n = fread(buf, 1, sizeof(buf), f.get())) > 0) {
      bytes.insert(bytes.end(), buf, buf + n);
      if (bytes.size() > 256u * 1024 * 1024) {
        *error = path + ": file too large";
        return false;
      }
    }
    return ReadJpeg(bytes, path, out, error);
  }
  *error = path + ": not a PNG or JPEG file";
  return false;
}

namespace {
// The libpng part of WritePng, kept apart so no caller variable lives across
// the longjmp.
bool WritePngStream(FILE* f, const RgbImage& image, PngErrorState* state) {
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, state, PngError, PngWarning);
  if (!png) return false;
  png_infop info = png_create_info_struct(png);
  std::vector<png_bytep> rows(image.height);
  if (!info || setjmp(png_jmpbuf(png))) {
    png_destroy_write_struct(&png, info ? &info : nullptr);
    return false;
  }
  png_init_io(png, f);
  png_set_IHDR(png, info, image.width, image.height, 8, PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE,
               PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
  png_set_compression_level(png, 3);
  png_write_info(png, info);
  for (int y = 0; y < image.height; ++y)
    rows[y] = const_cast<png_bytep>(image.rgb.data() + size_t(y) * image.width * 3);
  png_write_image(png, rows.data());
  png_write_end(png, nullptr);
  png_destroy_write_struct(&png, &info);
  return true;
}
}  // namespace

bool WritePng(const std::string& path, const RgbImage& image, std::string* errorOut) {
  std::string dummy;
  std::string* const error = errorOut ? errorOut : &dummy;
  if (image.width <= 0 || image.height <= 0 ||
      image.rgb.size() < size_t(image.width) * size_t(image.height) * 3) {
    *error = "cannot write " + path + ": empty or short picture";
    return false;
  }
  FilePtr f(fopen(path.c_str(), "wb"));
  if (!f) {
    *error = "cannot create " + path + ": " + std::strerror(errno);
    return false;
  }
  PngErrorState state{};
  if (!WritePngStream(f.get(), image, &state)) {
    *error = "cannot write " + path + ": " + (state.message[0] ? state.message : "out of memory");
    return false;
  }
  if (fflush(f.get()) != 0 || ferror(f.get())) {
    *error = "cannot write " + path + ": " + std::strerror(errno);
    return false;
  }
  return true;
}

void DropApplicationSegments(std::vector<uint8_t>* jpeg) {
  std::vector<uint8_t>& j = *jpeg;
  if (j.size() < 4 || j[0] != 0xFF || j[1] != 0xD8) return;
  size_t in = 2, out = 2;
  while (in + 4 <= j.size() && j[in] == 0xFF && j[in + 1] != 0xDA) {
    const size_t len = size_t(j[in + 2]) << 8 | j[in + 3];
    if (in + 2 + len > j.size()) break;
    const bool app = j[in + 1] >= 0xE0 && j[in + 1] <= 0xEF;
    if (!app) {
      std::memmove(&j[out], &j[in], 2 + len);
      out += 2 + len;
    }
    in += 2 + len;
  }
  std::memmove(&j[out], &j[in], j.size() - in);
  j.resize(out + (j.size() - in));
}

bool EncodeJpeg(const RgbImage& image, int quality, bool subsample420, int restartInterval,
                std::vector<uint8_t>* jpeg) {
  if (!jpeg || image.width <= 0 || image.height <= 0 || image.width > 65500 || image.height > 65500 ||
      image.rgb.size() < size_t(image.width) * size_t(image.height) * 3)
    return false;
  jpeg_compress_struct cinfo;
  JpegErrorManager jerr;
  cinfo.err = jpeg_std_error(&jerr.base);
  jerr.base.error_exit = JpegErrorExit;
  jerr.base.emit_message = JpegSilent;
  unsigned char* mem = nullptr;
  unsigned long memSize = 0;
  if (setjmp(jerr.jump)) {
    jpeg_destroy_compress(&cinfo);
    free(mem);
    return false;
  }
  jpeg_create_compress(&cinfo);
  jpeg_mem_dest(&cinfo, &mem, &memSize);
  cinfo.image_width = static_cast<JDIMENSION>(image.width);
  cinfo.image_height = static_cast<JDIMENSION>(image.height);
  cinfo.input_components = 3;
  cinfo.in_color_space = JCS_RGB;
  jpeg_set_defaults(&cinfo);
  jpeg_set_quality(&cinfo, quality < 1 ? 1 : (quality > 100 ? 100 : quality), TRUE);
  cinfo.optimize_coding = FALSE;
  // Luma 2x horizontally (4:2:2) or 2x2 (4:2:0); chroma 1x1.
  cinfo.comp_info[0].h_samp_factor = 2;
  cinfo.comp_info[0].v_samp_factor = subsample420 ? 2 : 1;
  cinfo.comp_info[1].h_samp_factor = cinfo.comp_info[1].v_samp_factor = 1;
  cinfo.comp_info[2].h_samp_factor = cinfo.comp_info[2].v_samp_factor = 1;
  cinfo.restart_interval = restartInterval > 0 ? static_cast<unsigned>(restartInterval) : 0;
  jpeg_start_compress(&cinfo, TRUE);
  while (cinfo.next_scanline < cinfo.image_height) {
    JSAMPROW row = const_cast<JSAMPROW>(image.rgb.data() + size_t(cinfo.next_scanline) * image.width * 3);
    jpeg_write_scanlines(&cinfo, &row, 1);
  }
  jpeg_finish_compress(&cinfo);
  jpeg->assign(mem, mem + memSize);
  jpeg_destroy_compress(&cinfo);
  free(mem);
  return true;
}

namespace {
// BT.601 studio range YCbCr to RGB, fixed point (16.16).
inline void YuvToRgb(int y, int u, int v, uint8_t* rgb) {
  const int c = (y - 16) * 76309;
  const int d = u - 128;
  const int e = v - 128;
  rgb[0] = Clamp255((c + 104597 * e + 32768) >> 16);
  rgb[1] = Clamp255((c - 25675 * d - 53279 * e + 32768) >> 16);
  rgb[2] = Clamp255((c + 132201 * d + 32768) >> 16);
}
}  // namespace

void Yuy2ToRgb(const uint8_t* yuy2, int width, int height, RgbImage* out) {
  out->width = width;
  out->height = height;
  out->rgb.assign(size_t(width) * height * 3, 0);
  for (int y = 0; y < height; ++y) {
    const uint8_t* src = yuy2 + size_t(y) * width * 2;
    uint8_t* dst = out->rgb.data() + size_t(y) * width * 3;
    for (int x = 0; x + 1 < width; x += 2) {
      const int u = src[x * 2 + 1], v = src[x * 2 + 3];
      YuvToRgb(src[x * 2], u, v, dst + x * 3);
      YuvToRgb(src[x * 2 + 2], u, v, dst + x * 3 + 3);
    }
    if (width & 1) {  // odd width: last pixel has only Y and U of its pair
      const int x = width - 1;
      YuvToRgb(src[x * 2], src[x * 2 + 1], 128, dst + x * 3);
    }
  }
}

void I420ToRgb(const uint8_t* i420, int width, int height, RgbImage* out) {
  out->width = width;
  out->height = height;
  out->rgb.assign(size_t(width) * height * 3, 0);
  const int cw = (width + 1) / 2, ch = (height + 1) / 2;
  const uint8_t* yp = i420;
  const uint8_t* up = i420 + size_t(width) * height;
  const uint8_t* vp = up + size_t(cw) * ch;
  for (int y = 0; y < height; ++y) {
    uint8_t* dst = out->rgb.data() + size_t(y) * width * 3;
    for (int x = 0; x < width; ++x) {
      const size_t ci = size_t(y / 2) * cw + x / 2;
      YuvToRgb(yp[size_t(y) * width + x], up[ci], vp[ci], dst + x * 3);
    }
  }
}

void BottomUpBgrToRgb(const uint8_t* bgr, int width, int height, RgbImage* out) {
  out->width = width;
  out->height = height;
  out->rgb.assign(size_t(width) * height * 3, 0);
  for (int y = 0; y < height; ++y) {
    const uint8_t* src = bgr + size_t(height - 1 - y) * width * 3;
    uint8_t* dst = out->rgb.data() + size_t(y) * width * 3;
    for (int x = 0; x < width; ++x) {
      dst[x * 3] = src[x * 3 + 2];
      dst[x * 3 + 1] = src[x * 3 + 1];
      dst[x * 3 + 2] = src[x * 3];
    }
  }
}

void RgbToYuy2(const RgbImage& image, std::vector<uint8_t>* yuy2) {
  const int w = image.width, h = image.height;
  yuy2->assign(size_t(w) * h * 2, 0);
  if (w <= 0 || h <= 0 || image.rgb.size() < size_t(w) * h * 3) return;
  for (int y = 0; y < h; ++y) {
    const uint8_t* src = image.rgb.data() + size_t(y) * w * 3;
    uint8_t* dst = yuy2->data() + size_t(y) * w * 2;
    for (int x = 0; x < w; x += 2) {
      const uint8_t* p0 = src + x * 3;
      const uint8_t* p1 = (x + 1 < w) ? p0 + 3 : p0;
      const int y0 = ((66 * p0[0] + 129 * p0[1] + 25 * p0[2] + 128) >> 8) + 16;
      const int y1 = ((66 * p1[0] + 129 * p1[1] + 25 * p1[2] + 128) >> 8) + 16;
      const int r = (p0[0] + p1[0] + 1) >> 1, g = (p0[1] + p1[1] + 1) >> 1, b = (p0[2] + p1[2] + 1) >> 1;
      const int u = ((-38 * r - 74 * g + 112 * b + 128) >> 8) + 128;
      const int v = ((112 * r - 94 * g - 18 * b + 128) >> 8) + 128;
      dst[x * 2] = Clamp255(y0);
      dst[x * 2 + 1] = Clamp255(u);
      // With an odd width the last pair is cut short: its V sample has no
      // room in a w*2-byte row.
      if (x + 1 < w) {
        dst[x * 2 + 2] = Clamp255(y1);
        dst[x * 2 + 3] = Clamp255(v);
      }
    }
  }
}

}  // namespace sim
