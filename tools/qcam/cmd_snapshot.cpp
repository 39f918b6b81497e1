// qcam snapshot: shows the snapshot file \SystemRoot\Snap.dat and writes its
// picture.
#include <cstdio>
#include <filesystem>

#include "tools/qcam/commands.h"
#include "tools/qcam/common.h"

namespace qcam_tool {

namespace {
// A snapshot file holds at most a 2560x2048 picture at 3 bytes a pixel.
constexpr size_t kMaxSnapshotFile = kSnapshotHeaderSize + size_t(4096) * 4096 * 3;
}  // namespace

int CmdSnapshot(const Args& args) {
  ParsedOptions opts;
  std::string error;
  if (!ParseOptions(args, {{"root", true}, {"out", true}, {"file", true}, {"help", false}}, &opts, &error))
    return Fail(error);
  if (opts.Has("help")) {
    std::printf("usage: qcam snapshot --root DIR --out FILE.png\n"
                "Reads ROOT/Windows/Snap.dat (or --file PATH), prints its header and writes its\n"
                "picture as PNG (a JPEG snapshot is written as .jpg).\n");
    return 0;
  }
  std::string path = opts.Get("file");
  if (path.empty()) {
    const std::string root = opts.Get("root");
    if (root.empty()) return Fail("snapshot needs --root DIR");
    path = (std::filesystem::path(root) / "Windows" / "Snap.dat").string();
  }
  std::vector<uint8_t> bytes;
  if (!ReadFileBytes(path, kMaxSnapshotFile, &bytes, &error)) return Fail(error);
  SnapshotFile snap;
  if (!ParseSnapshotFile(bytes.data(), bytes.size(), &snap, &error)) return Fail(path + ": " + error);
  std::printf("%s: %zu bytes\n", path.c_str(), bytes.size());
  std::printf("image bytes: %u\n", snap.imageBytes);
  std::printf("format index: %u (%s)\n", snap.formatIndex, SnapshotFormatName(snap.formatIndex));
  std::printf("size: %ux%u\n", snap.width, snap.height);
  std::printf("requested size: %ux%u\n", snap.requestedWidth, snap.requestedHeight);
  std::string out = opts.Get("out");
  if (out.empty()) return 0;
  if (snap.formatIndex == 3) {
    std::filesystem::path p(out);
    if (p.extension() == ".png") p.replace_extension(".jpg");
    out = p.string();
    if (!WriteFileBytes(out, snap.image.data(), snap.image.size(), &error)) return Fail(error);
  } else {
    sim::RgbImage rgb;
    if (!SnapshotToRgb(snap, &rgb, &error) || !sim::WritePng(out, rgb, &error)) return Fail(error);
  }
  std::printf("wrote %s\n", out.c_str());
  return 0;
}

}  // namespace qcam_tool
