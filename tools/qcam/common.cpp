// Shared parts of the qcam commands.
#include "tools/qcam/common.h"

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>

#include "driver/core/driver.h"
#include "platform/nt/platform_control.h"
#include "shared/qcam_defs.h"
#include "tools/qcam/frame_art.h"

namespace qcam_tool {

namespace fs = std::filesystem;

// ---- options -------------------------------------------------------------------

std::string ParsedOptions::Get(const std::string& name, const std::string& fallback) const {
  auto it = values.find(name);
  return it == values.end() || it->second.empty() ? fallback : it->second.back();
}

const std::vector<std::string>& ParsedOptions::All(const std::string& name) const {
  static const std::vector<std::string> none;
  auto it = values.find(name);
  return it == values.end() ? none : it->second;
}

bool ParseOptions(const Args& args, const std::vector<OptionRule>& rules, ParsedOptions* out, std::string* error,
                  Args* words) {
  ParsedOptions parsed;
  Args plain;
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    if (a.size() < 3 || a.compare(0, 2, "--") != 0) {
      if (words) {
        plain.push_back(a);
        continue;
      }
      *error = "unexpected argument '" + a + "'";
      return false;
    }
    std::string name = a.substr(2), value;
    bool inlineValue = false;
    const size_t eq = name.find('=');
    if (eq != std::string::npos) {
      value = name.substr(eq + 1);
      name = name.substr(0, eq);
      inlineValue = true;
    }
    const OptionRule* rule = nullptr;
    for (const auto& s : rules)
      if (name == s.name) rule = &s;
    if (!rule) {
      *error = "unknown option '--" + name + "'";
      return false;
    }
    if (rule->takesValue && !inlineValue) {
      if (i + 1 >= args.size()) {
        *error = "option '--" + name + "' needs a value";
        return false;
      }
      value = args[++i];
    } else if (!rule->takesValue && inlineValue) {
      *error = "option '--" + name + "' takes no value";
      return false;
    }
    parsed.values[name].push_back(value);
  }
  *out = std::move(parsed);
  if (words) *words = std::move(plain);
  return true;
}

bool ParseInt(const std::string& text, long long min, long long max, long long* value) {
  if (text.empty() || text.size() > 19) return false;
  size_t i = (text[0] == '-' || text[0] == '+') ? 1 : 0;
  if (i == text.size()) return false;
  // The value is bounded before each step, so that no number of digits can
  // overflow: anything past the largest long long is refused.
  long long v = 0;
  for (; i < text.size(); ++i) {
    if (text[i] < '0' || text[i] > '9') return false;
    const int digit = text[i] - '0';
    if (v > (LLONG_MAX - digit) / 10) return false;
    v = v * 10 + digit;
  }
  if (text[0] == '-') v = -v;
  if (v < min || v > max) return false;
  *value = v;
  return true;
}

bool ParseIntOrHex(const std::string& text, long long min, long long max, long long* value) {
  if (text.size() < 3 || text[0] != '0' || (text[1] != 'x' && text[1] != 'X')) return ParseInt(text, min, max, value);
  if (text.size() > 10) return false;
  long long v = 0;
  for (size_t i = 2; i < text.size(); ++i) {
    const char c = char(text[i] | 0x20);
    const int d = c >= '0' && c <= '9' ? c - '0' : c >= 'a' && c <= 'f' ? c - 'a' + 10 : -1;
    if (d < 0) return false;
    v = v * 16 + d;
  }
  if (v < min || v > max) return false;
  *value = v;
  return true;
}

bool ParseSize(const std::string& text, int* width, int* height) {
  const size_t x = text.find_first_of("xX");
  long long w = 0, h = 0;
  if (x == std::string::npos || !ParseInt(text.substr(0, x), 1, 16384, &w) ||
      !ParseInt(text.substr(x + 1), 1, 16384, &h) || text[0] == '+' || text[0] == '-')
    return false;
  *width = int(w);
  *height = int(h);
  return true;
}

int Fail(const std::string& message) {
  std::fprintf(stderr, "qcam: %s\n", message.c_str());
  return 2;
}

// ---- the PC root -------------------------------------------------------------------

std::vector<InitialValue> InitialRegistryValues() {
  // Picture settings as the driver's property sets report the camera's own
  // defaults; the same in CURRENT (the user's saved settings) and DEFAULT.
  static const std::pair<const char*, int32_t> kPicture[qcam::kPictureSettingCount] = {
      {"Brightness", 0},   {"Contrast", 32},  {"Gamma", 100},          {"Hue", 0},
      {"Saturation", 64},  {"Sharpness", 3},  {"Whitebalance", 4600},  {"WhitebalanceAuto", 1},
      {"BackLight", 0},    {"Exposure", -7},  {"ExposureAuto", 1},     {"Gain", 0},
      {"GainAuto", 0},     {"Banding", 1},    {"Flip", 0},             {"Mirror", 0},
      {"Outdoor", 0},      {"LowLight", 0},   {"SnapShopSize", 4},     {"ColorEnable", 1},
      {"Focus", 0},        {"FocusAuto", 1},  {"LEDCtrl", 1},          {"Privacy", 0}};
  std::vector<InitialValue> v;
  for (const char* key : {"CURRENT", "DEFAULT"})
    for (const auto& p : kPicture) v.push_back({key, p.first, p.second});
  v.push_back({"CURRENT", "LEDCtrlTmp", 1});
  v.push_back({"CURRENT", "CameraStatus", 0});
  v.push_back({"CURRENT", "SpecialEffect", int32_t(qcam::kEffectNone)});
  v.push_back({"CURRENT", "FTEnable", 0});
  v.push_back({"CURRENT", "ZoomEnable", 0});
  v.push_back({"CURRENT", "ZoomScale", 1000});
  v.push_back({"CURRENT", "ZoomXofst", 0});
  v.push_back({"CURRENT", "ZoomYofst", 0});
  // Face-tracking tuning at the driver's built-in defaults.
  // The value names are plain ASCII: each UTF-16 unit narrows to its byte.
  auto ascii = [](const char16_t* name) {
    std::string out;
    for (; *name; ++name) out += char(*name);
    return out;
  };
  for (int i = 0; i < qcam::kFaceParamCount; ++i)
    v.push_back({"CURRENT", ascii(qcam::kFaceParamNames[i]), qcam::kFaceParamDefaults[i]});
  for (int set = 0; set < qcam::kSkinRuleSetCount; ++set)
    for (int i = 0; i < qcam::kSkinRuleCount; ++i)
      v.push_back({"CURRENT", ascii(qcam::kSkinRuleNames[set][i]), set == 0 ? qcam::kSkinRuleSet0Defaults[i] : 0});
  v.push_back({"UCAM", "DebugFlag", 0});
  return v;
}

namespace {
const char* KeyPath(const std::string& key) {
  if (key == "CURRENT") return qcam::kKeyCurrentA;
  if (key == "DEFAULT") return qcam::kKeyDefaultA;
  return qcam::kKeyUcamA;
}
}  // namespace

bool InstallRoot(const std::string& root, std::string* error) {
  std::string dummy;
  if (!error) error = &dummy;
  if (root.empty()) {
    *error = "no root folder given";
    return false;
  }
  std::error_code ec;
  for (const char* sub : {"", "Windows", "Windows/System32", "C", "camera"}) {
    fs::create_directories(fs::path(root) / sub, ec);
    if (ec || !fs::is_directory(fs::path(root) / sub)) {
      *error = "cannot create " + (fs::path(root) / sub).string() + (ec ? ": " + ec.message() : "");
      return false;
    }
  }
  if (!platform::SetRoot(root)) {
    *error = "cannot use " + root + " as a PC root (unreadable registry.reg?)";
    return false;
  }
  for (const char* key : {"CURRENT", "DEFAULT", "UCAM"}) {
    if (!platform::RegCreateKeyPath(KeyPath(key))) {
      *error = std::string("cannot create the registry key ") + KeyPath(key);
      return false;
    }
  }
  for (const auto& v : InitialRegistryValues()) {
    uint32_t existing = 0;
    if (platform::RegGetDword(KeyPath(v.key), v.name, &existing)) continue;
    if (!platform::RegSetDword(KeyPath(v.key), v.name, uint32_t(v.value))) {
      *error = "cannot write " + v.name + " under " + KeyPath(v.key);
      return false;
    }
  }
  if (!WritePhotoFrameBitmaps((fs::path(root) / "Windows").string(), error)) return false;
  return true;
}

bool RootInstalled(const std::string& root) {
  std::error_code ec;
  if (root.empty() || !fs::is_regular_file(fs::path(root) / "registry.reg", ec)) return false;
  if (!platform::SetRoot(root)) return false;
  return platform::RegKeyExists(qcam::kKeyCurrentA) && platform::RegKeyExists(qcam::kKeyDefaultA) &&
         platform::RegKeyExists(qcam::kKeyUcamA);
}

// ---- the camera ----------------------------------------------------------------------

void SetCameraByName(const std::string& name, sim::CameraOptions* camera) {
  camera->profile.clear();
  camera->descriptorFile.clear();
  if (name == "notebook" || name == "basic") {
    camera->profile = name;
  } else if (name.find('/') == std::string::npos && name.find('.') == std::string::npos && !fs::exists(name)) {
    camera->profile = name;  // an unknown profile name: Create says so
  } else {
    camera->descriptorFile = name;
  }
}

void CameraOptionsFromArgs(const ParsedOptions& opts, sim::CameraOptions* camera) {
  const std::string root = opts.Get("root");
  PlugRecord plugged;
  std::string why;
  if (!opts.Has("camera") && !root.empty()) {
    switch (ReadPlugRecord(root, &plugged, &why)) {
      case PlugRecordLoad::kLoaded:
        camera->profile = plugged.profile;
        camera->descriptorFile = plugged.descriptorFile;
        break;
      case PlugRecordLoad::kDamaged:
        std::fprintf(stderr, "qcam: %s; taking the notebook camera\n", why.c_str());
        [[fallthrough]];
      case PlugRecordLoad::kAbsent:
        camera->profile = "notebook";
        camera->descriptorFile.clear();
        break;
    }
  } else {
    SetCameraByName(opts.Get("camera", "notebook"), camera);
  }
  camera->sourceFile = opts.Get("source");
  camera->scene = opts.Get("scene");
  if (!root.empty()) camera->stateDir = (fs::path(root) / "camera").string();
}

CameraSession::~CameraSession() { End(); }

bool CameraSession::Keep() {
  if (root.empty() || !camera || !classDriver) return true;
  std::string error;
  if (KeepCameraState(root, record, classDriver->Plugged() ? camera.get() : nullptr, &error)) return true;
  std::fprintf(stderr, "qcam: the camera's state is not kept: %s\n", error.c_str());
  return false;
}

void CameraSession::End() {
  if (!classDriver) return;
  classDriver->CloseStream();
  Keep();
  device.reset();
  if (classDriver->Plugged()) classDriver->Unplug();
  classDriver.reset();
}

void CameraSession::PullOut() {
  device.reset();
  if (classDriver) classDriver->Unplug();
}

bool PlugCamera(const std::string& root, const sim::CameraOptions& options, CameraSession* session,
                std::string* error) {
  if (!platform::SetRoot(root)) {
    *error = "cannot use " + root + " as a PC root";
    return false;
  }
  session->camera = sim::UvcCamera::Create(options, error);
  if (!session->camera) return false;
  session->root = root;
  session->record = RecordOf(options);
  session->start = CameraStart::kPowerOn;
  if (!root.empty()) {
    std::string note;
    session->start = RestoreCameraState(root, session->record, session->camera.get(), &note);
    if (session->start == CameraStart::kDamagedState)
      std::fprintf(stderr, "qcam: the camera's saved state is unusable (%s); it starts from its power-on values\n",
                   note.c_str());
  }
  session->classDriver = std::make_unique<sim::ClassDriver>();
  const NTSTATUS status = session->classDriver->Plug(&DriverEntry, session->camera.get());
  if (!NT_SUCCESS(status)) {
    char buf[64];
    std::snprintf(buf, sizeof(buf), "the driver refused the camera (status 0x%08X)", unsigned(status));
    *error = buf;
    session->root.clear();  // a camera that never worked leaves the root as it was
    return false;
  }
  session->device = std::make_unique<sim::KsCameraDevice>(*session->classDriver);
  return true;
}

std::string FourCCText(uint32_t fourcc) {
  if (fourcc == 0) return "RGB";
  std::string s;
  for (int i = 0; i < 4; ++i) {
    const char c = char(fourcc >> (8 * i));
    s += (c >= 32 && c < 127) ? c : '?';
  }
  return s;
}

std::vector<OfferedFormat> OfferedFormats(const sim::ClassDriver& cd) {
  std::vector<OfferedFormat> out;
  const auto& info = cd.StreamInfo();
  if (info.empty() || !info[0].StreamFormatsArray) return out;
  for (ULONG i = 0; i < info[0].NumberOfFormatArrayEntries; ++i) {
    const KSDATAFORMAT* f = info[0].StreamFormatsArray[i];
    if (!f || f->FormatSize < sizeof(KS_DATARANGE_VIDEO)) continue;
    const auto* r = reinterpret_cast<const KS_DATARANGE_VIDEO*>(f);
    OfferedFormat o;
    o.slot = int(i);
    o.fourcc = r->VideoInfoHeader.bmiHeader.biCompression;
    o.width = r->VideoInfoHeader.bmiHeader.biWidth;
    o.height = r->VideoInfoHeader.bmiHeader.biHeight;
    o.bitsPerPixel = r->VideoInfoHeader.bmiHeader.biBitCount;
    o.defaultInterval = r->VideoInfoHeader.AvgTimePerFrame;
    o.range = r;
    out.push_back(o);
  }
  return out;
}

unsigned CameraControlItems(const sim::ClassDriver& cd) {
  const HW_STREAM_HEADER& h = cd.StreamHeader();
  for (ULONG i = 0; i < h.NumDevPropArrayEntries && h.DevicePropertiesArray; ++i) {
    const KSPROPERTY_SET& s = h.DevicePropertiesArray[i];
    if (s.Set && *s.Set == PROPSETID_VIDCAP_CAMERACONTROL) return s.PropertiesCount;
  }
  return 0;
}

bool IntersectFormat(sim::ClassDriver& cd, const OfferedFormat& slot, KS_DATAFORMAT_VIDEOINFOHEADER* format,
                     std::string* error) {
  // The application asks with the range it was offered.
  KS_DATARANGE_VIDEO range = *slot.range;
  ULONG needed = 0;
  NTSTATUS s = cd.DataIntersection(0, &range.DataRange, nullptr, 0, &needed);
  if (s != STATUS_BUFFER_OVERFLOW || needed < sizeof(KS_DATAFORMAT_VIDEOINFOHEADER) || needed > 4096) {
    char buf[96];
    std::snprintf(buf, sizeof(buf), "format intersection failed (status 0x%08X, size %lu)", unsigned(s),
                  static_cast<unsigned long>(needed));
    *error = buf;
    return false;
  }
  std::vector<uint8_t> buffer(needed, 0);
  ULONG actual = 0;
  s = cd.DataIntersection(0, &range.DataRange, buffer.data(), needed, &actual);
  if (!NT_SUCCESS(s) || actual < sizeof(KS_DATAFORMAT_VIDEOINFOHEADER)) {
    char buf[80];
    std::snprintf(buf, sizeof(buf), "format intersection failed (status 0x%08X)", unsigned(s));
    *error = buf;
    return false;
  }
  std::memcpy(format, buffer.data(), sizeof(*format));
  return true;
}

// ---- pictures --------------------------------------------------------------------------

bool WriteFileBytes(const std::string& path, const uint8_t* data, size_t size, std::string* error) {
  FILE* f = std::fopen(path.c_str(), "wb");
  if (!f) {
    *error = "cannot create " + path + ": " + std::strerror(errno);
    return false;
  }
  const bool ok = std::fwrite(data, 1, size, f) == size;
  const bool closed = std::fclose(f) == 0;
  if (!ok || !closed) {
    *error = "cannot write " + path;
    return false;
  }
  return true;
}

bool ReadFileBytes(const std::string& path, size_t limit, std::vector<uint8_t>* bytes, std::string* error) {
  std::ifstream in(path, std::ios::binary);
  if (!in) {
    *error = "cannot open " + path;
    return false;
  }
  bytes->clear();
  char buf[65536];
  while (in.read(buf, sizeof(buf)) || in.gcount() > 0) {
    bytes->insert(bytes->end(), buf, buf + in.gcount());
    if (bytes->size() > limit) {
      *error = path + " is too large";
      return false;
    }
  }
  return true;
}

}  // namespace qcam_tool
