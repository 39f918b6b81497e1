// The plugged camera's record and power state under ROOT/camera/.
#include "tools/qcam/plugged_camera.h"

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace qcam_tool {
namespace {

namespace fs = std::filesystem;

constexpr const char* kRecordHeader = "qcam-plugged-camera 1";
constexpr size_t kMaxRecordFile = 64 * 1024;
// Far more than any camera keeps (every register of the 64 KiB bridge space
// would take about 1.2 MiB).
constexpr size_t kMaxStateFile = 4u << 20;

std::string RecordPath(const std::string& root) { return (fs::path(root) / "camera" / "plugged").string(); }

bool ReadSmallFile(const std::string& path, size_t limit, std::string* text) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return false;
  text->clear();
  char buf[4096];
  while (in.read(buf, sizeof(buf)) || in.gcount() > 0) {
    text->append(buf, size_t(in.gcount()));
    if (text->size() > limit) return false;
  }
  return true;
}

bool WriteFileAtomically(const std::string& path, const std::string& text, std::string* error) {
  std::error_code ec;
  fs::create_directories(fs::path(path).parent_path(), ec);
  const std::string temp = path + ".tmp";
  {
    std::ofstream out(temp, std::ios::binary | std::ios::trunc);
    out << text;
    out.flush();
    if (!out.good()) {
      *error = "cannot write " + temp;
      fs::remove(temp, ec);
      return false;
    }
  }
  fs::rename(temp, path, ec);
  if (ec) {
    *error = "cannot rename " + temp + ": " + ec.message();
    fs::remove(temp, ec);
    return false;
  }
  return true;
}

bool ParseRecord(const std::string& text, PlugRecord* out, std::string* why) {
  std::istringstream in(text);
  std::string line;
  if (!std::getline(in, line) || line != kRecordHeader) {
    *why = "not a plugged-camera record";
    return false;
  }
  PlugRecord r;
  bool haveCamera = false, havePlugged = false;
  while (std::getline(in, line)) {
    const size_t space = line.find(' ');
    const std::string item = line.substr(0, space), value = space == std::string::npos ? "" : line.substr(space + 1);
    bool& have = item == "plugged" ? havePlugged : haveCamera;
    if (have || value.empty()) {
      *why = "bad or repeated line '" + line.substr(0, 40) + "'";
      return false;
    }
    if (item == "camera" && (value == "notebook" || value == "basic")) {
      r.profile = value;
    } else if (item == "camera-file" && fs::path(value).is_absolute()) {
      r.descriptorFile = value;
    } else if (item == "plugged" && (value == "yes" || value == "no")) {
      r.plugged = value == "yes";
    } else {
      *why = "bad line '" + line.substr(0, 40) + "'";
      return false;
    }
    have = true;
  }
  if (!haveCamera || !havePlugged || text.back() != '\n') {
    *why = "incomplete record";
    return false;
  }
  *out = r;
  return true;
}

}  // namespace

PlugRecordLoad ReadPlugRecord(const std::string& root, PlugRecord* record, std::string* error) {
  const std::string path = RecordPath(root);
  std::error_code ec;
  if (!fs::exists(path, ec) && !ec) return PlugRecordLoad::kAbsent;
  std::string text, why;
  if (!ReadSmallFile(path, kMaxRecordFile, &text)) {
    *error = path + ": unreadable or too large";
    return PlugRecordLoad::kDamaged;
  }
  if (!ParseRecord(text, record, &why)) {
    *error = path + ": " + why;
    return PlugRecordLoad::kDamaged;
  }
  return PlugRecordLoad::kLoaded;
}

bool WritePlugRecord(const std::string& root, const PlugRecord& record, std::string* error) {
  if (record.descriptorFile.find_first_of("\r\n") != std::string::npos) {
    *error = "a descriptor path with a line break cannot be recorded";
    return false;
  }
  std::string text = std::string(kRecordHeader) + "\n";
  text += record.descriptorFile.empty() ? "camera " + record.profile + "\n" : "camera-file " + record.descriptorFile + "\n";
  text += std::string("plugged ") + (record.plugged ? "yes" : "no") + "\n";
  return WriteFileAtomically(RecordPath(root), text, error);
}

std::string PowerStatePath(const std::string& root) { return (fs::path(root) / "camera" / "power-state").string(); }

PlugRecord RecordOf(const sim::CameraOptions& options) {
  PlugRecord r;
  if (options.descriptorFile.empty()) {
    r.profile = options.profile;
  } else {
    std::error_code ec;
    const fs::path absolute = fs::absolute(options.descriptorFile, ec);
    r.descriptorFile = (ec ? fs::path(options.descriptorFile) : absolute.lexically_normal()).string();
  }
  return r;
}

bool SameCamera(const PlugRecord& a, const PlugRecord& b) {
  return a.profile == b.profile && a.descriptorFile == b.descriptorFile;
}

std::string CameraName(const PlugRecord& record) {
  return record.descriptorFile.empty() ? record.profile : record.descriptorFile;
}

CameraStart RestoreCameraState(const std::string& root, const PlugRecord& wanted, sim::UvcCamera* camera,
                               std::string* note) {
  PlugRecord last;
  std::string why;
  const std::string statePath = PowerStatePath(root);
  std::error_code ec;
  if (ReadPlugRecord(root, &last, &why) != PlugRecordLoad::kLoaded || !last.plugged || !SameCamera(last, wanted)) {
    // Unplugged before, or another camera: whatever state is left belongs to
    // a camera that has since lost power.
    fs::remove(statePath, ec);
    return CameraStart::kPowerOn;
  }
  if (!fs::exists(statePath, ec) && !ec) return CameraStart::kPowerOn;
  std::string text;
  sim::CameraPowerState state;
  if (!ReadSmallFile(statePath, kMaxStateFile, &text)) {
    *note = statePath + ": unreadable or too large";
    return CameraStart::kDamagedState;
  }
  if (!sim::ParseCameraState(text, &state, &why) || !camera->RestorePowerState(state, &why)) {
    *note = statePath + ": " + why;
    return CameraStart::kDamagedState;
  }
  return CameraStart::kSavedState;
}

bool KeepCameraState(const std::string& root, const PlugRecord& record, const sim::UvcCamera* camera,
                     std::string* error) {
  PlugRecord r = record;
  r.plugged = camera != nullptr;
  std::error_code ec;
  if (!camera) {
    fs::remove(PowerStatePath(root), ec);
  } else {
    if (!WriteFileAtomically(PowerStatePath(root), sim::RenderCameraState(camera->PowerState()), error))
      return false;
  }
  return WritePlugRecord(root, r, error);
}

}  // namespace qcam_tool
