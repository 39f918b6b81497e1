// What several qcam commands share: option parsing, installing a PC root,
// plugging the simulated camera in through the class driver, the formats the
// driver offers, the snapshot file and saving delivered frames.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "platform/stream/ks.h"
#include "shared/snapshot_file.h"
#include "sim/class_driver.h"
#include "sim/image_io.h"
#include "sim/ks_camera_device.h"
#include "sim/snapshot_file.h"
#include "sim/uvc_camera.h"
#include "tools/qcam/commands.h"
#include "tools/qcam/plugged_camera.h"

namespace qcam_tool {

// ---- options -------------------------------------------------------------------
struct OptionRule {
  const char* name;  // without the leading "--"
  bool takesValue;
};

// "--name value" or "--name=value"; a repeated option keeps every value.
struct ParsedOptions {
  std::map<std::string, std::vector<std::string>> values;
  bool Has(const std::string& name) const { return values.count(name) != 0; }
  // The last value given, or `fallback`.
  std::string Get(const std::string& name, const std::string& fallback = "") const;
  const std::vector<std::string>& All(const std::string& name) const;
};

// False with a one-line reason for an unknown option, a missing value or a
// stray argument. With `words`, arguments that are no options (not starting
// with "--"; "-5" is a word) are collected there in order instead.
bool ParseOptions(const Args& args, const std::vector<OptionRule>& rules, ParsedOptions* out, std::string* error,
                  Args* words = nullptr);
// Whole decimal numbers only (optional sign); false for anything else.
bool ParseInt(const std::string& text, long long min, long long max, long long* value);
// The same, or "0x" and up to 8 hexadecimal digits.
bool ParseIntOrHex(const std::string& text, long long min, long long max, long long* value);
// "640x480".
bool ParseSize(const std::string& text, int* width, int* height);
// Prints "qcam: MESSAGE" on stderr and returns 2.
int Fail(const std::string& message);

// ---- the PC root -------------------------------------------------------------------
// Creates the root and its folders (Windows/, Windows/System32/, C/, camera/),
// the CURRENT, DEFAULT and UCAM keys with their initial values and the photo
// frame bitmaps. Values that already exist keep what they hold, so installing
// again loses no settings. Selects the root for the stand-ins.
bool InstallRoot(const std::string& root, std::string* error);
// The root exists and holds the package's registry keys.
bool RootInstalled(const std::string& root);
// The initial DWORD values an install writes, by key ("CURRENT", "DEFAULT",
// "UCAM") and value name, in install order.
struct InitialValue {
  const char* key;
  std::string name;
  int32_t value;
};
std::vector<InitialValue> InitialRegistryValues();

// ---- the camera ----------------------------------------------------------------------
// `--camera` takes a profile name ("notebook", "basic") or a descriptor file.
// Without it, the camera plugged into the root stays (see plugged_camera.h),
// and a root without one gets the notebook camera.
void CameraOptionsFromArgs(const ParsedOptions& opts, sim::CameraOptions* camera);
// The camera part of the options from such a name alone.
void SetCameraByName(const std::string& name, sim::CameraOptions* camera);

// A camera plugged into the simulated class driver with the driver loaded.
// On a PC root the camera keeps its state between commands: the session
// takes over what the last command left (unless the camera was unplugged or
// another one is asked for) and, when it ends, saves the camera's state, or
// records the camera as unplugged when it was pulled out during the command.
struct CameraSession {
  std::unique_ptr<sim::UvcCamera> camera;
  std::unique_ptr<sim::ClassDriver> classDriver;
  // The camera as user mode finds it (device enumerator, CreateFile), for as
  // long as it is plugged in.
  std::unique_ptr<sim::KsCameraDevice> device;
  std::string root;                  // empty: a memory-only PC that keeps nothing
  PlugRecord record;                 // which camera this is
  CameraStart start = CameraStart::kPowerOn;
  CameraSession() = default;
  CameraSession(const CameraSession&) = delete;
  CameraSession& operator=(const CameraSession&) = delete;
  ~CameraSession();
  // Saves the camera's state for the next command (or records it as
  // unplugged); false with the reason on stderr.
  bool Keep();
  // Closes any stream, keeps the camera's state for the next command and lets
  // the camera go; a session that holds no camera does nothing.
  void End();
  // Pulls the camera out as it is, streaming or not: user mode loses the
  // device, and the class driver reports the surprise removal.
  void PullOut();
};
// Selects `root` (may be empty: a memory-only PC), creates the camera and
// plugs it in. False with a one-line reason. A saved state that cannot be
// read is reported on stderr, and the camera starts from its power-on values.
bool PlugCamera(const std::string& root, const sim::CameraOptions& options, CameraSession* session,
                std::string* error);

// One format slot offered on the capture stream.
struct OfferedFormat {
  int slot = 0;
  uint32_t fourcc = 0;
  int width = 0, height = 0;
  int bitsPerPixel = 0;
  int64_t defaultInterval = 0;
  const KS_DATARANGE_VIDEO* range = nullptr;
};
std::vector<OfferedFormat> OfferedFormats(const sim::ClassDriver& cd);
std::string FourCCText(uint32_t fourcc);
// Number of items of the camera-control set the driver registered (0 when absent).
unsigned CameraControlItems(const sim::ClassDriver& cd);

// Runs the data intersection for an offered slot and returns the format the
// driver produced. False with the driver's status in the reason.
bool IntersectFormat(sim::ClassDriver& cd, const OfferedFormat& slot, KS_DATAFORMAT_VIDEOINFOHEADER* format,
                     std::string* error);

// ---- pictures --------------------------------------------------------------------------
// Converts a delivered buffer (YUY2, I420, bottom-up BGR) to RGB for viewing;
// false when the buffer is too short for the size.
using sim::DeliveredToRgb;
bool WriteFileBytes(const std::string& path, const uint8_t* data, size_t size, std::string* error);
bool ReadFileBytes(const std::string& path, size_t limit, std::vector<uint8_t>* bytes, std::string* error);

// ---- the snapshot file (sim/snapshot_file.h) -------------------------------------------------
using sim::kSnapshotHeaderSize;
using sim::ParseSnapshotFile;
using sim::SnapshotFile;
using sim::SnapshotFormatName;
using sim::SnapshotToRgb;

}  // namespace qcam_tool
