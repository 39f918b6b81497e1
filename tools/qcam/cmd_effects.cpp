// qcam effects: runs one picture through the driver's effect engine, every
// picture effect and photo frame on both layouts, and lays the results out
// as labelled contact sheets so a person can see them all at once.
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "driver/imaging/effect_state.h"
#include "driver/imaging/effects.h"
#include "driver/imaging/photo_frame.h"
#include "platform/nt/platform_control.h"
#include "shared/qcam_defs.h"
#include "sim/image_io.h"
#include "tools/qcam/commands.h"
#include "tools/qcam/frame_art.h"

namespace qcam_tool {
namespace {

constexpr int kW = 640;
constexpr int kH = 480;
constexpr int kTileW = 320;
constexpr int kTileH = 240;
constexpr int kLabelH = 22;
constexpr int kColumns = 6;

void Usage(FILE* out) {
  std::fprintf(out,
               "usage: qcam effects --root DIR --out DIR [--source FILE]\n\n"
               "Runs a picture (PNG or JPEG, scaled to 640x480; a built-in test scene when\n"
               "--source is left out) through every picture effect and photo frame of the\n"
               "driver, on the 24-bit RGB and the YUY2 layout, and writes\n"
               "  OUT/effects-rgb24.png, OUT/effects-yuy2.png   contact sheets, one tile each\n"
               "  OUT/rgb24/NN-name.png, OUT/yuy2/NN-name.png   every result at full size\n"
               "Photo frames are read from ROOT/Windows (see 'qcam install') and the user's\n"
               "frame from the UDFrame setting. Stretch is shown at its tenth picture and the\n"
               "nine-view grid at its ninth, so their movement can be seen.\n");
}

// A built-in scene: sky, sun, hills, a house and a chequered floor.
sim::RgbImage TestScene() {
  sim::RgbImage img;
  img.width = kW;
  img.height = kH;
  img.rgb.resize(size_t(kW) * kH * 3);
  for (int y = 0; y < kH; ++y)
    for (int x = 0; x < kW; ++x) {
      uint8_t* p = &img.rgb[(size_t(y) * kW + x) * 3];
      int r = 90 + y / 4, g = 150 + y / 6, b = 235;
      const double hill = 300 + 40 * std::sin(x / 70.0);
      if (y > hill) r = 60 + (x * 7 % 40), g = 150, b = 60;
      if (y > 400) r = g = b = ((x / 40 + y / 20) % 2) ? 220 : 60;
      if ((x - 520) * (x - 520) + (y - 90) * (y - 90) < 45 * 45) r = 255, g = 220, b = 40;
      if (x > 120 && x < 300 && y > 220 && y < 380) r = 200, g = 80, b = 60;
      if (x > 170 && x < 220 && y > 300 && y < 380) r = 90, g = 50, b = 30;
      if (x > 240 && x < 280 && y > 250 && y < 290) r = 180, g = 230, b = 250;
      if (y > 150 && y < 222 && y > 150 + (x > 210 ? x - 210 : 210 - x) * 0.7 && x > 110 && x < 310)
        r = 120, g = 40, b = 40;
      p[0] = uint8_t(r), p[1] = uint8_t(g), p[2] = uint8_t(b);
    }
  return img;
}

sim::RgbImage ScaleNearest(const sim::RgbImage& in, int w, int h) {
  sim::RgbImage out;
  out.width = w;
  out.height = h;
  out.rgb.resize(size_t(w) * h * 3);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) {
      const int sx = int(int64_t(x) * in.width / w), sy = int(int64_t(y) * in.height / h);
      const uint8_t* s = &in.rgb[(size_t(sy) * in.width + sx) * 3];
      std::copy(s, s + 3, &out.rgb[(size_t(y) * w + x) * 3]);
    }
  return out;
}

struct Entry {
  ULONG effect;  // 1 = the picture as it came
  std::string label;
  int frames;  // pictures processed before the one shown
};

std::string FileName(const Entry& e) {
  char buf[80];
  std::string name = e.effect == 1 ? "original" : EffectName(e.effect);
  for (char& c : name)
    if (c == ' ') c = '-';
  std::snprintf(buf, sizeof(buf), "%02u-%s.png", unsigned(e.effect), name.c_str());
  return buf;
}

// Runs one entry on a copy of the picture in the given layout; the result as
// viewable RGB.
bool Render(const Entry& e, int layout, const std::vector<uint8_t>& input, sim::RgbImage* view,
            std::string* error) {
  std::vector<uint8_t> pic = input;
  // What the driver does at stream start; the kernel rand sequence restarts
  // too, so every run draws the same pictures.
  ResetEffectState();
  if (AllocateEffectBuffers(kW, kH) != STATUS_SUCCESS) {
    *error = "cannot allocate the effect buffers";
    return false;
  }
  srand(1);
  if (e.effect != 1) {
    for (int i = 0; i < e.frames; ++i) {
      pic = input;
      SetEffectPicture(layout, kW, kH, e.effect);
      const NTSTATUS status = ApplySpecialEffect(pic.data(), ULONG(pic.size()));
      if (status != STATUS_SUCCESS) {
        char buf[96];
        std::snprintf(buf, sizeof(buf), "effect %u refused the picture: 0x%08X", unsigned(e.effect),
                      unsigned(status));
        *error = buf;
        return false;
      }
    }
  }
  if (layout == qcam::kFormatRGB24)
    sim::BottomUpBgrToRgb(pic.data(), kW, kH, view);
  else
    sim::Yuy2ToRgb(pic.data(), kW, kH, view);
  return true;
}

void Paste(sim::RgbImage* sheet, const sim::RgbImage& full, int tile, const std::string& label) {
  const int x0 = (tile % kColumns) * kTileW;
  const int y0 = (tile / kColumns) * (kTileH + kLabelH);
  for (int y = 0; y < kTileH; ++y)
    for (int x = 0; x < kTileW; ++x) {
      uint8_t* d = &sheet->rgb[(size_t(y0 + y) * sheet->width + x0 + x) * 3];
      for (int c = 0; c < 3; ++c) {
        int sum = 0;
        for (int dy = 0; dy < 2; ++dy)
          for (int dx = 0; dx < 2; ++dx) sum += full.rgb[(size_t(2 * y + dy) * full.width + 2 * x + dx) * 3 + c];
        d[c] = uint8_t(sum / 4);
      }
    }
  DrawLabel(&sheet->rgb, sheet->width, sheet->height, x0 + 6, y0 + kTileH + 4, label, 2, 240, 240, 240);
}

}  // namespace

int CmdEffects(const Args& args) {
  std::string root, source, out;
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    if (a == "--help" || a == "-h") {
      Usage(stdout);
      return 0;
    }
    if ((a == "--root" || a == "--source" || a == "--out") && i + 1 < args.size()) {
      (a == "--root" ? root : a == "--source" ? source : out) = args[++i];
      continue;
    }
    std::fprintf(stderr, "qcam effects: unexpected argument '%s'\n", a.c_str());
    Usage(stderr);
    return 2;
  }
  if (root.empty() || out.empty()) {
    std::fprintf(stderr, "qcam effects: --root and --out are required\n");
    Usage(stderr);
    return 2;
  }
  if (!platform::SetRoot(root)) {
    std::fprintf(stderr, "qcam effects: cannot use the PC root %s\n", root.c_str());
    return 2;
  }

  sim::RgbImage picture;
  if (source.empty()) {
    picture = TestScene();
  } else {
    std::string error;
    if (!sim::ReadPicture(source, &picture, &error)) {
      std::fprintf(stderr, "qcam effects: cannot read %s: %s\n", source.c_str(), error.c_str());
      return 2;
    }
    if (picture.width != kW || picture.height != kH) picture = ScaleNearest(picture, kW, kH);
  }

  int missing = 0;
  for (ULONG n = qcam::kFrameFirst; n <= qcam::kFrameLast; ++n) {
    std::string host;
    if (!platform::MapKernelPath(BuiltInFramePath(n), &host) || !std::filesystem::exists(host)) ++missing;
  }
  if (missing)
    std::fprintf(stderr,
                 "qcam effects: %d photo-frame bitmaps are missing in %s/Windows (run 'qcam install'); "
                 "those frames show the picture unchanged\n",
                 missing, root.c_str());

  std::vector<Entry> entries;
  entries.push_back({1, "original", 1});
  for (ULONG e = qcam::kEffectFirst; e <= qcam::kEffectLast; ++e) {
    const int frames = e == 17 ? 10 : (e == 20 ? 9 : 1);
    std::string label = std::to_string(e) + " " + EffectName(e);
    if (frames > 1) label += " (" + std::to_string(frames) + ")";
    entries.push_back({e, label, frames});
  }
  for (ULONG n = qcam::kFrameFirst; n <= qcam::kFrameLast; ++n)
    entries.push_back({n, std::to_string(n) + " " + EffectName(n), 1});
  std::string userFrame;
  if (platform::RegGetString(qcam::kKeyCurrentA, "UDFrame", &userFrame) && !userFrame.empty())
    entries.push_back({qcam::kFrameUser, "99 user frame", 1});

  // The two layouts of the same picture: 24-bit RGB bottom-up, YUY2 top-down.
  std::vector<uint8_t> rgb24(size_t(kW) * kH * 3);
  for (int r = 0; r < kH; ++r)
    for (int x = 0; x < kW; ++x) {
      const uint8_t* s = &picture.rgb[(size_t(kH - 1 - r) * kW + x) * 3];
      uint8_t* d = &rgb24[(size_t(r) * kW + x) * 3];
      d[0] = s[2], d[1] = s[1], d[2] = s[0];
    }
  std::vector<uint8_t> yuy2;
  sim::RgbToYuy2(picture, &yuy2);

  const struct {
    int layout;
    const char* name;
    const std::vector<uint8_t>* input;
  } layouts[] = {{qcam::kFormatRGB24, "rgb24", &rgb24}, {qcam::kFormatYUY2, "yuy2", &yuy2}};

  int status = 0;
  for (const auto& l : layouts) {
    const std::filesystem::path dir = std::filesystem::path(out) / l.name;
    std::error_code ec;
    std::filesystem::create_directories(dir, ec);
    if (ec) {
      std::fprintf(stderr, "qcam effects: cannot create %s: %s\n", dir.string().c_str(), ec.message().c_str());
      FreeEffectBuffers();
      return 2;
    }
    const int rows = int((entries.size() + kColumns - 1) / kColumns);
    sim::RgbImage sheet;
    sheet.width = kColumns * kTileW;
    sheet.height = rows * (kTileH + kLabelH);
    sheet.rgb.assign(size_t(sheet.width) * sheet.height * 3, 24);
    for (size_t i = 0; i < entries.size(); ++i) {
      sim::RgbImage view;
      std::string error;
      if (!Render(entries[i], l.layout, *l.input, &view, &error)) {
        std::fprintf(stderr, "qcam effects: %s %s: %s\n", l.name, entries[i].label.c_str(), error.c_str());
        status = 2;
        continue;
      }
      Paste(&sheet, view, int(i), entries[i].label);
      if (!sim::WritePng((dir / FileName(entries[i])).string(), view, &error)) {
        std::fprintf(stderr, "qcam effects: %s\n", error.c_str());
        status = 2;
      }
    }
    const std::string sheetPath = (std::filesystem::path(out) / ("effects-" + std::string(l.name) + ".png")).string();
    std::string error;
    if (!sim::WritePng(sheetPath, sheet, &error)) {
      std::fprintf(stderr, "qcam effects: %s\n", error.c_str());
      status = 2;
    } else {
      std::printf("%s: %zu tiles\n", sheetPath.c_str(), entries.size());
    }
  }
  FreeEffectBuffers();
  return status;
}

}  // namespace qcam_tool
