// Camera settings by name over the user-mode request path: the camera is
// announced as a kernel-streaming device for each operation (unless it is
// announced already), its capture filter is bound, and standard controls go
// through the filter's IAMVideoProcAmp and IAMCameraControl, private ones as
// 1112-byte records on the filter's device handle, as the package's own
// clients send them.
#include "tools/qcam/prop_names.h"

#include <cerrno>
#include <cinttypes>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <cstdarg>
#include <cctype>
#include <climits>

#include "platform/nt/platform_control.h"
#include "shared/qcam_defs.h"
#include "sim/ks_camera_device.h"
#include "tools/qcam/camera_filter.h"

namespace qcam_tool {
namespace {

// ---- the device ----------------------------------------------------------------
// Holds the capture filter of a camera for one operation.
struct Filter {
  sim::KsCameraDevice device;
  CameraFilter filter;

  explicit Filter(sim::ClassDriver& cd) : device(cd), filter(device.InterfacePath()) {}
  bool Ok() const { return filter.Ok(); }
};

// ---- the names -----------------------------------------------------------------
enum class Kind { ProcAmp, Camera, Private, FaceTracking, TrackingFlags, UdFrame };

struct Named {
  const char* name;
  Kind kind;
  uint32_t id;
  bool get, set;
  bool hasAuto;     // standard control with an automatic mode
  int32_t lo, hi;   // private: the accepted span (lo > hi: none checked here)
  const char* what;
};

const Named kNames[] = {
    {"brightness", Kind::ProcAmp, KSPROPERTY_VIDEOPROCAMP_BRIGHTNESS, true, true, false, 0, -1, "brightness"},
    {"contrast", Kind::ProcAmp, KSPROPERTY_VIDEOPROCAMP_CONTRAST, true, true, false, 0, -1, "contrast"},
    {"hue", Kind::ProcAmp, KSPROPERTY_VIDEOPROCAMP_HUE, true, true, false, 0, -1, "hue"},
    {"saturation", Kind::ProcAmp, KSPROPERTY_VIDEOPROCAMP_SATURATION, true, true, false, 0, -1, "saturation"},
    {"sharpness", Kind::ProcAmp, KSPROPERTY_VIDEOPROCAMP_SHARPNESS, true, true, false, 0, -1, "sharpness"},
    {"gamma", Kind::ProcAmp, KSPROPERTY_VIDEOPROCAMP_GAMMA, true, true, false, 0, -1, "gamma"},
    {"white-balance", Kind::ProcAmp, KSPROPERTY_VIDEOPROCAMP_WHITEBALANCE, true, true, true, 0, -1,
     "white balance temperature (K)"},
    {"backlight", Kind::ProcAmp, KSPROPERTY_VIDEOPROCAMP_BACKLIGHT_COMPENSATION, true, true, false, 0, -1,
     "backlight compensation"},
    {"gain", Kind::ProcAmp, KSPROPERTY_VIDEOPROCAMP_GAIN, true, true, false, 0, -1, "gain"},
    {"power-line", Kind::ProcAmp, KSPROPERTY_VIDEOPROCAMP_POWERLINE_FREQUENCY, true, true, false, 0, -1,
     "power-line frequency (0 off, 1 50 Hz, 2 60 Hz)"},
    {"exposure", Kind::Camera, KSPROPERTY_CAMERACONTROL_EXPOSURE, true, true, true, 0, -1, "exposure (log2 s)"},
    {"focus", Kind::Camera, KSPROPERTY_CAMERACONTROL_FOCUS, true, true, true, 0, -1, "focus"},
    {"driver-id", Kind::Private, qcam::kPrivDriverId, true, false, false, 0, -1, "driver identification"},
    {"format-index", Kind::Private, qcam::kPrivFormatIndex, true, false, false, 0, -1,
     "format of the last frame (0 I420, 1 RGB24, 2 YUY2, 3 MJPG, -1 none)"},
    {"picture-size", Kind::Private, qcam::kPrivPictureSize, true, false, false, 0, -1, "pixels per frame"},
    {"effect", Kind::Private, qcam::kPrivSpecialEffect, true, true, false, 1, 99, "special effect or frame number"},
    {"face-tracking", Kind::FaceTracking, qcam::kPrivFaceTracking, true, true, false, 0, 1,
     "face tracking and automatic framing"},
    {"tracking-flags", Kind::TrackingFlags, qcam::kPrivFaceTracking, true, true, false, 0, -1,
     "tracking flags (bit 0 track, bit 1 frame, bit 2 box) and parameters 1-7"},
    {"value5", Kind::Private, qcam::kPrivValue5, true, true, false, 0, -1, "private value 5"},
    {"mirror", Kind::Private, qcam::kPrivMirror, true, true, false, 0, 1, "mirror"},
    {"flip", Kind::Private, qcam::kPrivFlip, true, true, false, 0, 1, "flip"},
    {"zoom", Kind::Private, qcam::kPrivZoomScale, true, true, false, 0, -1, "zoom scale (1000 = 1.0x)"},
    {"zoom-x", Kind::Private, qcam::kPrivZoomX, true, true, false, 0, -1, "zoom x offset (set: step, 0 centre)"},
    {"zoom-y", Kind::Private, qcam::kPrivZoomY, true, true, false, 0, -1, "zoom y offset (set: step, 0 centre)"},
    {"snapshot-size", Kind::Private, qcam::kPrivSnapshotSize, true, true, false, 0, -1,
     "snapshot size index (0 160x120 .. 14 2560x2048)"},
    {"zoom-enable", Kind::Private, qcam::kPrivZoomEnable, true, true, false, 0, 1, "digital zoom on"},
    {"colour", Kind::Private, qcam::kPrivColorEnable, true, true, false, 0, 1, "colour (0 black and white)"},
    {"snapshot", Kind::Private, qcam::kPrivTakeSnapshot, false, true, false, 0, 1, "take a snapshot"},
    {"outdoor", Kind::Private, qcam::kPrivOutdoor, true, true, false, 0, 1, "outdoor mode"},
    {"low-light", Kind::Private, qcam::kPrivLowLight, true, true, false, 0, 1, "low-light mode"},
    {"led", Kind::Private, qcam::kPrivLed, true, true, false, 0, 1, "LED"},
    {"udframe", Kind::UdFrame, 0, true, true, false, 0, -1, "the user's photo frame (path)"},
};

struct Alias {
  const char* alias;
  const char* name;
};
const Alias kAliases[] = {{"whitebalance", "white-balance"}, {"white_balance", "white-balance"},
                          {"wb", "white-balance"},          {"powerline", "power-line"},
                          {"banding", "power-line"},        {"color", "colour"},
                          {"lowlight", "low-light"},        {"low_light", "low-light"},
                          {"snapshot_size", "snapshot-size"}, {"zoom_enable", "zoom-enable"},
                          {"facetracking", "face-tracking"}, {"backlight-compensation", "backlight"}};

const Named* FindName(std::string name) {
  for (char& c : name) c = char(std::tolower(static_cast<unsigned char>(c)));
  for (const Alias& a : kAliases)
    if (name == a.alias) name = a.name;
  for (const Named& n : kNames)
    if (name == n.name) return &n;
  return nullptr;
}

bool ParseInt(const std::string& text, int32_t* value) {
  if (text == "on" || text == "yes" || text == "true") {
    *value = 1;
    return true;
  }
  if (text == "off" || text == "no" || text == "false") {
    *value = 0;
    return true;
  }
  if (text.empty()) return false;
  errno = 0;
  char* end = nullptr;
  long long v = std::strtoll(text.c_str(), &end, 0);
  if (errno || *end || v < INT32_MIN || v > UINT32_MAX) return false;
  *value = int32_t(uint32_t(v));
  return true;
}

std::string Format(const char* fmt, ...) __attribute__((format(printf, 1, 2)));
std::string Format(const char* fmt, ...) {
  char buffer[512];
  va_list args;
  va_start(args, fmt);
  std::vsnprintf(buffer, sizeof(buffer), fmt, args);
  va_end(args);
  return buffer;
}

std::string Refusal(const std::string& what, int32_t hr) {
  NTSTATUS status = CameraFilter::LastDriverStatus();
  if (status != STATUS_SUCCESS) return what + " refused by the driver: " + StatusText(status);
  return Format("%s failed: HRESULT 0x%08X", what.c_str(), uint32_t(hr));
}

ControlSet SetOf(const Named& n) { return n.kind == Kind::ProcAmp ? ControlSet::ProcAmp : ControlSet::CameraControl; }

// The twenty range groups of property 21, by standard control.
struct RangeInfo {
  bool found = false;
  int32_t min = 0, max = 0, step = 0, def = 0, flags = 0;
};
RangeInfo RangeOf(const std::vector<int32_t>& ranges, const Named& n) {
  RangeInfo r;
  // Group order: proc-amp ids 0..9 in groups 0..9, camera control 4 in 14,
  // 6 in 16.
  int group = -1;
  if (n.kind == Kind::ProcAmp && n.id <= 9) group = int(n.id);
  if (n.kind == Kind::Camera) group = n.id == KSPROPERTY_CAMERACONTROL_EXPOSURE ? 14 : 16;
  if (group < 0 || ranges.size() < 136) return r;
  const int32_t* g = &ranges[16 + 6 * group];
  if (g[0] != int32_t(n.id) || g[5] == 0) return r;
  r.found = true;
  r.min = g[1];
  r.max = g[2];
  r.step = g[3];
  r.def = g[4];
  r.flags = g[5];
  return r;
}

const char* ModeName(int32_t flags) {
  if (flags & KSPROPERTY_VIDEOPROCAMP_FLAGS_AUTO) return "auto";
  if (flags & KSPROPERTY_VIDEOPROCAMP_FLAGS_MANUAL) return "manual";
  return "-";
}

bool ReadStandard(Filter& f, const Named& n, int32_t* value, int32_t* flags, std::string* message) {
  int32_t hr = f.filter.Get(SetOf(n), int32_t(n.id), value, flags);
  if (hr < 0) {
    *message = Refusal(std::string("get ") + n.name, hr);
    return false;
  }
  return true;
}

bool SendPrivate(Filter& f, bool set, uint32_t id, std::vector<int32_t>* words, NTSTATUS* status) {
  std::vector<uint8_t> record(qcam::kPrivateRecordSize, 0);
  KSPROPERTY header{};
  header.Set = qcam::kPropSetPrivate;
  header.Id = id;
  header.Flags = set ? KSPROPERTY_TYPE_SET : KSPROPERTY_TYPE_GET;
  std::memcpy(record.data(), &header, sizeof(header));
  words->resize(qcam::kPrivateWordCount, 0);
  for (uint32_t k = 0; k < qcam::kPrivateWordCount; ++k) {
    uint32_t v = uint32_t((*words)[k]);
    for (int b = 0; b < 4; ++b) record[sizeof(header) + 4 * k + b] = uint8_t(v >> (8 * b));
  }
  int32_t driverStatus = STATUS_SUCCESS;
  bool ok = f.filter.PropertyRequest(record.data(), uint32_t(record.size()), &driverStatus);
  *status = ok ? STATUS_SUCCESS : driverStatus;
  for (uint32_t k = 0; k < qcam::kPrivateWordCount; ++k) {
    const uint8_t* p = &record[sizeof(header) + 4 * k];
    (*words)[k] = int32_t(uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24);
  }
  return ok;
}

bool ApplySetting(Filter& f, const Named& n, const std::string& value, std::string* message) {
  if (!n.set) {
    *message = std::string(n.name) + " is read-only";
    return false;
  }
  if (n.kind == Kind::UdFrame) {
    if (!platform::RegSetString(qcam::kKeyCurrentA, "UDFrame", value)) {
      *message = "udframe: cannot write UDFrame (is the package installed?)";
      return false;
    }
    *message = "udframe = " + value;
    return true;
  }

  // Split "NUMBER[,auto|manual]" / "auto" / "manual".
  std::string number = value, mode;
  size_t comma = value.find_first_of(", ");
  if (comma != std::string::npos) {
    number = value.substr(0, comma);
    mode = value.substr(comma + 1);
  }
  if (number == "auto" || number == "manual") {
    mode = number;
    number.clear();
  }
  if (!mode.empty() && mode != "auto" && mode != "manual") {
    *message = std::string(n.name) + ": mode must be auto or manual, not '" + mode + "'";
    return false;
  }
  if (!mode.empty() && !n.hasAuto && mode == "auto") {
    *message = std::string(n.name) + " has no automatic mode";
    return false;
  }
  int32_t v = 0;
  if (!number.empty() && !ParseInt(number, &v)) {
    *message = std::string(n.name) + ": '" + number + "' is not a number";
    return false;
  }

  if (n.kind == Kind::ProcAmp || n.kind == Kind::Camera) {
    int32_t flags = mode == "auto" ? KSPROPERTY_VIDEOPROCAMP_FLAGS_AUTO : KSPROPERTY_VIDEOPROCAMP_FLAGS_MANUAL;
    if (number.empty()) {
      if (mode.empty()) {
        *message = std::string(n.name) + ": no value";
        return false;
      }
      // A mode alone keeps the current value.
      int32_t current = 0, currentFlags = 0;
      if (!ReadStandard(f, n, &current, &currentFlags, message)) return false;
      v = current;
    }
    int32_t hr = f.filter.Set(SetOf(n), int32_t(n.id), v, flags);
    if (hr < 0) {
      *message = Refusal(Format("%s %d", n.name, v), hr);
      return false;
    }
    *message = n.hasAuto ? Format("%s = %d (%s)", n.name, v, ModeName(flags)) : Format("%s = %d", n.name, v);
    return true;
  }

  if (!mode.empty() || number.empty()) {
    *message = std::string(n.name) + (number.empty() ? ": no value" : " has no automatic mode");
    return false;
  }
  if (n.lo <= n.hi && (v < n.lo || v > n.hi)) {
    *message = Format("%s: %d is outside %d..%d", n.name, v, n.lo, n.hi);
    return false;
  }
  std::vector<int32_t> words(qcam::kPrivateWordCount, 0);
  NTSTATUS status = STATUS_SUCCESS;
  if (n.kind == Kind::TrackingFlags) {
    // The parameters stay what they are; only the flags word changes.
    if (!SendPrivate(f, false, n.id, &words, &status)) {
      *message = "read tracking parameters refused by the driver: " + StatusText(status);
      return false;
    }
    std::vector<int32_t> out(qcam::kPrivateWordCount, 0);
    out[0] = 90;
    out[1] = v;
    for (int k = 2; k <= 8; ++k) out[k] = words[k];
    words = out;
  } else {
    words[0] = v;
  }
  if (!SendPrivate(f, true, n.id, &words, &status)) {
    *message = Format("%s %d refused by the driver: ", n.name, v) + StatusText(status);
    return false;
  }
  *message = Format("%s = %d", n.name, v);
  return true;
}

std::string RangeText(const RangeInfo& r) {
  if (!r.found) return "-";
  return Format("%d..%d step %d default %d", r.min, r.max, r.step, r.def);
}

bool ReadSetting(Filter& f, const Named& n, const std::vector<int32_t>& ranges, std::string* text,
                 std::string* message) {
  if (!n.get) {
    *text = Format("%-15s %12s  %-36s %s", n.name, "-", "0..1", "set only");
    return true;
  }
  if (n.kind == Kind::ProcAmp || n.kind == Kind::Camera) {
    int32_t value = 0, flags = 0;
    if (!ReadStandard(f, n, &value, &flags, message)) return false;
    RangeInfo r = RangeOf(ranges, n);
    if (!r.found) {
      // Not among the private set's range groups: ask the filter, whose
      // range comes from the driver's property table.
      int32_t mn = 0, mx = 0, st = 0, df = 0, cf = 0;
      if (f.filter.GetRange(SetOf(n), int32_t(n.id), &mn, &mx, &st, &df, &cf) >= 0) {
        r.found = true;
        r.min = mn;
        r.max = mx;
        r.step = st;
        r.def = df;
        r.flags = cf;
      }
    }
    std::string caps = r.found ? ((r.flags & 1) ? "auto/manual" : "manual") : "-";
    *text = Format("%-15s %12d  %-36s %s, now %s", n.name, value, RangeText(r).c_str(), caps.c_str(), ModeName(flags));
    return true;
  }
  if (n.kind == Kind::UdFrame) {
    std::string path;
    if (!platform::RegGetString(qcam::kKeyCurrentA, "UDFrame", &path)) path = "(not set)";
    *text = Format("%-15s %12s  %-36s %s", n.name, path.c_str(), "path", "get/set");
    return true;
  }
  std::vector<int32_t> words(qcam::kPrivateWordCount, 0);
  NTSTATUS status = STATUS_SUCCESS;
  if (!SendPrivate(f, false, n.id, &words, &status)) {
    *message = std::string("get ") + n.name + " refused by the driver: " + StatusText(status);
    return false;
  }
  std::string range = n.lo <= n.hi ? Format("%d..%d", n.lo, n.hi) : "-";
  const char* access = n.set ? "get/set" : "read-only";
  if (n.kind == Kind::TrackingFlags) {
    *text = Format("%-15s %12s  %-36s %s (parameters %d %d %d %d %d %d %d)", n.name, Format("0x%X", words[1]).c_str(),
                   range.c_str(), access, words[2], words[3], words[4], words[5], words[6], words[7], words[8]);
    return true;
  }
  *text = Format("%-15s %12d  %-36s %s", n.name, words[0], range.c_str(), access);
  return true;
}

bool ReadRanges(Filter& f, std::vector<int32_t>* ranges) {
  ranges->assign(qcam::kPrivateWordCount, 0);
  NTSTATUS status;
  return SendPrivate(f, false, qcam::kPrivRanges, ranges, &status);
}

}  // namespace

// ---- public ----------------------------------------------------------------------
std::string StatusText(NTSTATUS status) {
  struct Name {
    NTSTATUS status;
    const char* name;
  };
  static const Name kStatusNames[] = {
      {STATUS_SUCCESS, "STATUS_SUCCESS"},
      {STATUS_BUFFER_OVERFLOW, "STATUS_BUFFER_OVERFLOW"},
      {STATUS_UNSUCCESSFUL, "STATUS_UNSUCCESSFUL"},
      {STATUS_NOT_IMPLEMENTED, "STATUS_NOT_IMPLEMENTED"},
      {STATUS_INVALID_PARAMETER, "STATUS_INVALID_PARAMETER"},
      {STATUS_INVALID_DEVICE_REQUEST, "STATUS_INVALID_DEVICE_REQUEST"},
      {STATUS_BUFFER_TOO_SMALL, "STATUS_BUFFER_TOO_SMALL"},
      {STATUS_INSUFFICIENT_RESOURCES, "STATUS_INSUFFICIENT_RESOURCES"},
      {STATUS_DEVICE_NOT_CONNECTED, "STATUS_DEVICE_NOT_CONNECTED"},
      {STATUS_NOT_SUPPORTED, "STATUS_NOT_SUPPORTED"},
      {STATUS_IO_DEVICE_ERROR, "STATUS_IO_DEVICE_ERROR"},
      {STATUS_NO_MATCH, "STATUS_NO_MATCH"},
  };
  for (const Name& n : kStatusNames)
    if (n.status == status) return Format("%s (0x%08X)", n.name, uint32_t(status));
  return Format("status 0x%08X", uint32_t(status));
}

bool PrivateRequest(sim::ClassDriver& cd, bool set, uint32_t id, std::vector<int32_t>* words, NTSTATUS* status) {
  Filter f(cd);
  if (!f.Ok()) {
    *status = STATUS_DEVICE_NOT_CONNECTED;
    return false;
  }
  return SendPrivate(f, set, id, words, status);
}

std::vector<std::string> SettingNames() {
  std::vector<std::string> names;
  for (const Named& n : kNames) names.push_back(n.name);
  return names;
}

bool ApplyNamedSetting(sim::ClassDriver& cd, const std::string& name, const std::string& value,
                       std::string* message) {
  std::string scratch;
  if (!message) message = &scratch;
  const Named* n = FindName(name);
  if (!n) {
    *message = "unknown setting '" + name + "'";
    return false;
  }
  Filter f(cd);
  if (!f.Ok()) {
    *message = "the camera is not plugged in";
    return false;
  }
  return ApplySetting(f, *n, value, message);
}

bool ReadNamedSetting(sim::ClassDriver& cd, const std::string& name, std::string* text, std::string* message) {
  std::string scratch;
  if (!message) message = &scratch;
  const Named* n = FindName(name);
  if (!n) {
    *message = "unknown setting '" + name + "'";
    return false;
  }
  Filter f(cd);
  if (!f.Ok()) {
    *message = "the camera is not plugged in";
    return false;
  }
  std::vector<int32_t> ranges;
  ReadRanges(f, &ranges);
  return ReadSetting(f, *n, ranges, text, message);
}

std::vector<std::string> ListNamedSettings(sim::ClassDriver& cd) {
  std::vector<std::string> lines;
  Filter f(cd);
  if (!f.Ok()) return lines;
  std::vector<int32_t> ranges;
  ReadRanges(f, &ranges);
  for (const Named& n : kNames) {
    std::string text, message;
    if (ReadSetting(f, n, ranges, &text, &message))
      lines.push_back(text);
    else
      lines.push_back(Format("%-15s %12s  %s", n.name, "?", message.c_str()));
  }
  return lines;
}

bool RequestSnapshot(sim::ClassDriver& cd, std::string* message) {
  return ApplyNamedSetting(cd, "snapshot", "1", message);
}

}  // namespace qcam_tool
