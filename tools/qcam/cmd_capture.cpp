// qcam capture: streams frames through the driver as a capture application
// would and saves them.
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <filesystem>

#include "driver/core/face_tracking.h"
#include "platform/nt/platform_control.h"
#include "shared/qcam_defs.h"
#include "tools/qcam/commands.h"
#include "tools/qcam/common.h"
#include "tools/qcam/prop_names.h"
#include "tools/qcam/stream.h"

namespace qcam_tool {
namespace {

namespace fs = std::filesystem;

const char kUsage[] =
    "usage: qcam capture --root DIR [--camera PROFILE|FILE] [--source FILE] [--scene face]\n"
    "                    --format MJPG|YUY2|I420|RGB24 --size WxH [--frames N] [--snapshot K]\n"
    "                    [--unplug-at K] [--out DIR] [--raw] [--set NAME=VALUE]... [--effect N]\n"
    "                    [--face-log FILE] [--button STATE[@K]] [--snapshot-via camera|property]\n"
    "Installs the root if needed, plugs the camera in, opens the capture stream and streams\n"
    "N frames (default 30). --snapshot K has the camera mark frame K as a still (or, with\n"
    "--snapshot-via property, asks the driver through its private property 16); --unplug-at K\n"
    "pulls the camera out when frame K is due. --out writes frame-0001.png ... (MJPG as .jpg);\n"
    "with --raw each buffer is written exactly as delivered (.yuy2, .i420, .bgr, .jpg).\n"
    "--button presses the camera's snapshot button (state 1, 2 or 4) after frame K (default 1)\n"
    "and polls it through the driver as the tray application does.\n";

struct Request {
  StreamFormat format;
  long long frames = 30;
  long long snapshot = 0;
  bool snapshotByProperty = false;  // private property 16 instead of the camera's still bit
  long long unplugAt = 0;
  long long buttonState = 0;
  long long buttonAt = 1;
  std::string root;
  std::vector<std::pair<std::string, std::string>> settings;  // --set NAME=VALUE and --effect, in order
  std::string outDir;
  bool raw = false;
  std::string faceLogPath;
  bool tracking = false;  // the face box is followed (a face log, or tracking switched on)
};

// What a run saw, for the report.
struct Outcome {
  uint32_t delivered = 0, empty = 0, withFace = 0;
  bool unplugged = false;
  bool buttonPolled = false;
  std::string saveError;
  std::string snapshotError;
  double seconds = 0;
};

void Progress(uint32_t done, uint32_t total) {
  const int width = 30;
  const int filled = total ? int(uint64_t(done) * width / total) : width;
  std::fprintf(stderr, "\r[%.*s%*s] %u/%u", filled, "##############################", width - filled, "", done, total);
  std::fflush(stderr);
}

const char* RawExtension(uint32_t fourcc) {
  if (fourcc == qcam::kFourCC_YUY2) return "yuy2";
  if (fourcc == qcam::kFourCC_I420) return "i420";
  if (fourcc == qcam::kFourCC_MJPG) return "jpg";
  return "bgr";
}

// ---- parsing -------------------------------------------------------------------------------

// What the application asks for; false with a one-line reason.
bool ParseRequest(const ParsedOptions& opts, Request* req, std::string* error) {
  auto fail = [error](const std::string& why) {
    *error = why;
    return false;
  };
  req->root = opts.Get("root");
  if (req->root.empty()) return fail("capture needs --root DIR");
  if (!opts.Has("format")) return fail("capture needs --format MJPG|YUY2|I420|RGB24");
  if (!opts.Has("size")) return fail("capture needs --size WxH");
  if (!ParseStreamFormat(opts.Get("format"), opts.Get("size"), &req->format, error)) return false;
  if (opts.Has("frames") && !ParseInt(opts.Get("frames"), 1, 100000, &req->frames))
    return fail("bad frame count '" + opts.Get("frames") + "'");
  if (opts.Has("snapshot") && !ParseInt(opts.Get("snapshot"), 1, 100000, &req->snapshot))
    return fail("bad snapshot frame '" + opts.Get("snapshot") + "'");
  if (opts.Has("snapshot-via")) {
    const std::string via = opts.Get("snapshot-via");
    if (via != "camera" && via != "property") return fail("bad snapshot route '" + via + "' (expected camera or property)");
    req->snapshotByProperty = via == "property";
  }
  if (opts.Has("unplug-at") && !ParseInt(opts.Get("unplug-at"), 1, 100000, &req->unplugAt))
    return fail("bad unplug frame '" + opts.Get("unplug-at") + "'");
  if (opts.Has("button")) {
    const std::string b = opts.Get("button");
    const size_t at = b.find('@');
    if (!ParseInt(b.substr(0, at), 1, 4, &req->buttonState) || req->buttonState == 3 ||
        (at != std::string::npos && !ParseInt(b.substr(at + 1), 1, 100000, &req->buttonAt)))
      return fail("bad button press '" + b + "' (expected 1, 2 or 4, optionally @FRAME)");
  }
  for (const std::string& s : opts.All("set")) {
    const size_t eq = s.find('=');
    if (eq == std::string::npos || eq == 0) return fail("bad setting '" + s + "' (expected NAME=VALUE)");
    req->settings.emplace_back(s.substr(0, eq), s.substr(eq + 1));
  }
  if (opts.Has("effect")) req->settings.emplace_back("effect", opts.Get("effect"));
  req->outDir = opts.Get("out");
  req->raw = opts.Has("raw");
  req->faceLogPath = opts.Get("face-log");
  req->tracking = !req->faceLogPath.empty();
  for (const auto& s : req->settings)
    if ((s.first == "face-tracking" || s.first == "facetracking") && s.second != "0" && s.second != "off")
      req->tracking = true;
  return true;
}

// ---- set-up --------------------------------------------------------------------------------

// The PC, the camera plugged in with the settings applied, the capture stream
// open on an offered slot through format intersection, and the output places.
bool SetUp(const Request& req, const ParsedOptions& opts, CameraSession* session, FILE** faceLog,
           std::string* error) {
  if (!RootInstalled(req.root) && !InstallRoot(req.root, error)) return false;
  sim::CameraOptions cameraOptions;
  CameraOptionsFromArgs(opts, &cameraOptions);
  if (!PlugCamera(req.root, cameraOptions, session, error)) return false;
  sim::ClassDriver& cd = *session->classDriver;
  for (const auto& s : req.settings) {
    std::string message;
    if (!ApplyNamedSetting(cd, s.first, s.second, &message)) {
      *error = s.first + "=" + s.second + ": " + message;
      return false;
    }
    if (!message.empty()) std::printf("%s\n", message.c_str());
  }
  KS_DATAFORMAT_VIDEOINFOHEADER cameraFormat{};
  if (!OpenCaptureStream(cd, req.format, &cameraFormat, error)) return false;
  if (!req.outDir.empty()) {
    std::error_code ec;
    fs::create_directories(req.outDir, ec);
    if (ec || !fs::is_directory(req.outDir)) {
      *error = "cannot create " + req.outDir;
      return false;
    }
  }
  if (!req.faceLogPath.empty()) {
    *faceLog = std::fopen(req.faceLogPath.c_str(), "w");
    if (!*faceLog) {
      *error = "cannot create " + req.faceLogPath;
      return false;
    }
  }
  return true;
}

// ---- streaming -----------------------------------------------------------------------------

// Counts a frame with a face box and writes the box (or "-") to the log.
void FollowFace(const sim::DeliveredFrame& frame, FILE* faceLog, Outcome* out) {
  LONG l = 0, t = 0, w = 0, h = 0;
  const bool box = GetCurrentFaceBox(&l, &t, &w, &h);
  if (box) ++out->withFace;
  if (faceLog && box)
    std::fprintf(faceLog, "%u %ld %ld %ld %ld\n", frame.number, long(l), long(t), long(w), long(h));
  else if (faceLog)
    std::fprintf(faceLog, "%u -\n", frame.number);
}

// Writes a delivered frame as frame-NNNN.png (.jpg for MJPG, or the raw
// buffer with --raw); the first failure is kept in `saveError`.
void SaveFrame(const Request& req, const sim::DeliveredFrame& frame, std::string* saveError) {
  char name[32];
  const size_t bytes = std::min<size_t>(frame.bytesReturned, frame.data.size());
  const bool jpeg = req.format.fourcc == qcam::kFourCC_MJPG;
  std::snprintf(name, sizeof(name), "frame-%04u.%s", frame.number,
                req.raw ? RawExtension(req.format.fourcc) : (jpeg ? "jpg" : "png"));
  const std::string path = (fs::path(req.outDir) / name).string();
  if (req.raw || jpeg) {
    WriteFileBytes(path, frame.data.data(), bytes, saveError);
    return;
  }
  sim::RgbImage rgb;
  if (!DeliveredToRgb(req.format.fourcc, frame.data.data(), bytes, req.format.width, req.format.height, &rgb))
    *saveError = "frame " + std::to_string(frame.number) + " is shorter than a " + req.format.name + " picture";
  else
    sim::WritePng(path, rgb, saveError);
}

// Presses the camera's button, then polls it through the private set
// (command 4) as the tray application does.
bool PressAndPollButton(sim::ClassDriver& cd, sim::UvcCamera* camera, long long state) {
  camera->PressButton(uint32_t(state));
  std::vector<int32_t> words(qcam::kPrivateWordCount, 0);
  words[0] = 4;
  NTSTATUS pollStatus = 0;
  PrivateRequest(cd, true, qcam::kPrivCommand, &words, &pollStatus);
  return NT_SUCCESS(pollStatus);
}

// Streams the requested frames, marking or requesting the snapshot, pressing
// the button and pulling the camera out where asked.
void Stream(const Request& req, CameraSession& session, FILE* faceLog, Outcome* out) {
  sim::ClassDriver& cd = *session.classDriver;
  sim::UvcCamera* camera = session.camera.get();
  const uint32_t total = uint32_t(req.frames);
  const bool showProgress = isatty(2);
  // Through the property the request makes the next processed frame the
  // snapshot, so it is sent once frame K-1 is out (or before streaming).
  auto requestSnapshot = [&] {
    std::string message;
    if (!RequestSnapshot(cd, &message)) out->snapshotError = message.empty() ? "snapshot request refused" : message;
  };
  if (req.snapshot > 0 && !req.snapshotByProperty) camera->MarkFrameStill(uint32_t(req.snapshot - 1));
  if (req.snapshot == 1 && req.snapshotByProperty) requestSnapshot();
  if (req.unplugAt == 1) {
    session.PullOut();
    out->unplugged = true;
  }
  const auto start = std::chrono::steady_clock::now();
  if (!out->unplugged) {
    cd.Run(total, [&](const sim::DeliveredFrame& frame) {
      ++out->delivered;
      if (frame.bytesReturned == 0) ++out->empty;
      if (req.tracking) FollowFace(frame, faceLog, out);
      if (!req.outDir.empty() && frame.bytesReturned > 0 && out->saveError.empty()) SaveFrame(req, frame, &out->saveError);
      if (req.buttonState && frame.number == uint64_t(req.buttonAt))
        out->buttonPolled = PressAndPollButton(cd, camera, req.buttonState);
      if (req.snapshotByProperty && req.snapshot > 1 && frame.number + 1 == uint64_t(req.snapshot)) requestSnapshot();
      if (showProgress) Progress(frame.number, total);
      if (req.unplugAt > 1 && frame.number + 1 == uint64_t(req.unplugAt)) {
        session.PullOut();
        out->unplugged = true;
      }
      return true;
    });
  }
  out->seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  if (showProgress) std::fprintf(stderr, "\n");
}

// ---- the report ----------------------------------------------------------------------------

struct SnapshotFileState {
  bool existed = false;
  fs::file_time_type written{};
};

SnapshotFileState SnapshotFileNow(const fs::path& snap) {
  std::error_code ec;
  SnapshotFileState state;
  state.existed = fs::exists(snap, ec);
  if (state.existed) state.written = fs::last_write_time(snap, ec);
  return state;
}

int Report(const Request& req, const Outcome& out, const fs::path& snap, const SnapshotFileState& before) {
  if (!out.saveError.empty()) return Fail(out.saveError);
  if (!out.snapshotError.empty()) return Fail(out.snapshotError);
  if (out.unplugged) std::printf("camera unplugged at frame %lld\n", req.unplugAt);
  if (req.buttonState) {
    uint32_t status = 0;
    platform::RegGetDword(qcam::kKeyCurrentA, "CameraStatus", &status);
    std::printf("button state %lld pressed after frame %lld%s; CameraStatus 0x%03X\n", req.buttonState, req.buttonAt,
                out.buttonPolled ? "" : " (not polled: the stream ended first)", status);
  }
  const SnapshotFileState after = SnapshotFileNow(snap);
  if (after.existed && (!before.existed || after.written != before.written))
    std::printf("snapshot written: %s\n", snap.string().c_str());
  std::printf("delivered %u frames (%dx%d %s), %u empty, %.1f fps", out.delivered, req.format.width,
              req.format.height, req.format.name.c_str(), out.empty,
              out.seconds > 0 ? out.delivered / out.seconds : 0.0);
  if (req.tracking) std::printf(", face box on %u frames", out.withFace);
  std::printf("\n");
  return 0;
}

}  // namespace

int CmdCapture(const Args& args) {
  ParsedOptions opts;
  std::string error;
  const std::vector<OptionRule> rules = {
      {"root", true},      {"camera", true}, {"source", true}, {"scene", true},    {"format", true},
      {"size", true},      {"frames", true}, {"snapshot", true}, {"unplug-at", true}, {"out", true},
      {"raw", false},      {"set", true},    {"effect", true}, {"face-log", true}, {"button", true},
      {"snapshot-via", true}, {"help", false}};
  if (!ParseOptions(args, rules, &opts, &error)) return Fail(error);
  if (opts.Has("help")) {
    std::printf("%s", kUsage);
    return 0;
  }
  Request req;
  if (!ParseRequest(opts, &req, &error)) return Fail(error);
  CameraSession session;
  FILE* faceLog = nullptr;
  if (!SetUp(req, opts, &session, &faceLog, &error)) {
    if (faceLog) std::fclose(faceLog);
    return Fail(error);
  }
  const fs::path snap = fs::path(req.root) / "Windows" / "Snap.dat";
  const SnapshotFileState before = SnapshotFileNow(snap);
  Outcome out;
  Stream(req, session, faceLog, &out);
  // The application lets the camera go; it stays plugged in unless it was
  // pulled out during the stream.
  session.End();
  if (faceLog) std::fclose(faceLog);
  return Report(req, out, snap, before);
}

}  // namespace qcam_tool
