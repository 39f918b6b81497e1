// qcam update and qcam flash: the camera on its driver, the updater run on
// the PC, and the camera's flash afterwards.
#include "tools/qcam/cmd_update.h"

#include <condition_variable>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <sstream>
#include <thread>

#include "platform/machine/pc_clock.h"
#include "platform/machine/pc_settings.h"
#include "sim/camera_flash.h"
#include "sim/generic_driver.h"
#include "tools/qcam/commands.h"
#include "tools/qcam/common.h"
#include "tools/qcam/package.h"
#include "tools/qcam/shell.h"

namespace qcam_tool {
namespace {

namespace fs = std::filesystem;

const char kUpdateUsage[] =
    "usage: qcam update --root DIR [--camera notebook|basic|FILE] [--firmware packet|legacy]\n"
    "                   [--options program,write,verify,dump,wp] [--unplug-at-packet N] [--out DIR]\n"
    "Runs the firmware updater QCAMLDR on the PC: shows its status and progress lines as they\n"
    "change, every message box and its log, presses Upgrade once detection enabled it and\n"
    "reports the version before and after the camera's restart. --firmware chooses the dialect\n"
    "of the camera's firmware (kept for later runs), --options the check boxes that are on\n"
    "(the others off; default program,write,verify), --unplug-at-packet pulls the camera out\n"
    "after that write packet, --out saves pictures of the dialog. Exit status 0 only when the\n"
    "update was done and the camera came back with the new version.\n";

const char kFlashUsage[] =
    "usage: qcam flash --root DIR [--dump FILE] [--version]\n"
    "Shows the camera's flash: the firmware version it boots, its checksums and the device's\n"
    "own areas; --dump writes the 65536 flash bytes to FILE, --version shows the version only.\n";

// The dialect the camera's firmware speaks, kept in ROOT/camera/firmware.
std::string FirmwarePath(const std::string& root) { return (fs::path(root) / "camera" / "firmware").string(); }

bool LegacyFirmware(const std::string& root) {
  std::ifstream in(FirmwarePath(root));
  std::string word;
  return in >> word && word == "legacy";
}

bool ParseOptionList(const std::string& text, UpdaterRunOptions* o, std::string* bad) {
  o->program = o->write = o->verify = o->dump = o->wpRestore = 0;
  std::stringstream in(text);
  std::string item;
  while (std::getline(in, item, ',')) {
    if (item == "program") o->program = 1;
    else if (item == "write") o->write = 1;
    else if (item == "verify") o->verify = 1;
    else if (item == "dump") o->dump = 1;
    else if (item == "wp") o->wpRestore = 1;
    else if (!item.empty()) {
      *bad = item;
      return false;
    }
  }
  // Writing needs programming, as the dialog couples them.
  if (o->write) o->program = 1;
  return true;
}

// The vendor and product id of the camera the options or the root name.
bool CameraIds(const std::string& root, const ParsedOptions& opts, uint16_t* vendor, uint16_t* product,
               std::string* error) {
  sim::CameraOptions options;
  PlugRecord record;
  std::string why;
  if (!opts.Has("camera") && ReadPlugRecord(root, &record, &why) == PlugRecordLoad::kLoaded) {
    if (!record.plugged) {
      *error = "no camera is plugged into " + root + " (qcam plug)";
      return false;
    }
    options.profile = record.profile;
    options.descriptorFile = record.descriptorFile;
  } else {
    CameraOptionsFromArgs(opts, &options);
  }
  std::unique_ptr<sim::UvcCamera> camera = sim::UvcCamera::Create(options, error);
  if (!camera) return false;
  *vendor = camera->DeviceDescriptor().idVendor;
  *product = camera->DeviceDescriptor().idProduct;
  return true;
}

void PrintResult(const UpdaterRunResult& r) {
  std::printf("log list:\n");
  for (const std::string& line : r.log) std::printf("  %s\n", line.c_str());
  std::printf("final status:   %s\n", r.finalStatus.c_str());
  std::printf("version before: %s\n", r.versionBefore.empty() ? "(none shown)" : r.versionBefore.c_str());
  std::printf("version after:  %s\n", r.versionAfter.empty() ? "(none shown)" : r.versionAfter.c_str());
  if (r.pressedUpgrade) std::printf("the update took %llu ms on the PC's clock\n", (unsigned long long)r.updateMs);
}

// `share` hears of the camera once it is plugged in and (with null) before it
// goes; `report` runs before the end is printed.
struct UpdateHooks {
  std::function<void(sim::GenericCameraDevice*)> share;
  std::function<void()> report;
};

int UpdateOnGenericDriver(const std::string& root, const ParsedOptions& opts, UpdaterRunOptions& run,
                          const UpdateHooks& hooks) {
  std::string error;
  sim::GenericDeviceOptions device;
  if (!CameraIds(root, opts, &device.vendorId, &device.productId, &error)) return Fail(error);
  device.stateDir = (fs::path(root) / "camera").string();
  device.firmware.legacyFirmware = LegacyFirmware(root);
  sim::GenericCameraDevice camera(device);
  long long cut = 0;
  if (opts.Has("unplug-at-packet") && !ParseInt(opts.Get("unplug-at-packet"), 1, 1 << 20, &cut))
    return Fail("bad --unplug-at-packet value '" + opts.Get("unplug-at-packet") + "'");
  if (cut) camera.SetWritePacketHook([cut](uint32_t packet) {
    if (packet != uint32_t(cut)) return false;
    std::printf("pulling the camera out after write packet %u\n", packet);
    return true;
  });
  if (!camera.Plug()) return Fail("the camera cannot be plugged in");
  std::printf("camera %04X:%04X on the generic video driver, %s firmware, flash %s\n", device.vendorId,
              device.productId, device.firmware.legacyFirmware ? "legacy" : "packet",
              camera.Flash().FilePath().c_str());
  // Lent while the update runs; taken back before the camera goes, even
  // when the updater could not run.
  struct Lend {
    const UpdateHooks& hooks;
    ~Lend() {
      if (hooks.share) hooks.share(nullptr);
    }
  } lend{hooks};
  if (hooks.share) hooks.share(&camera);
  UpdaterRunResult result;
  if (!RunUpdaterProgram(run, [&] { camera.WaitRestart(); }, &result, &error)) return Fail(error);
  camera.SetWritePacketHook(nullptr);
  if (hooks.report) hooks.report();
  PrintResult(result);
  const bool back = camera.Plugged() && camera.Firmware().Mode() != sim::FirmwareMode::kBootRom;
  const std::string flashVersion = FirmwareVersionText(sim::ImageVersion(camera.Flash().Bytes()));
  std::printf("camera:         %s\n", !camera.Plugged() ? "pulled out"
                                      : back            ? ("boots firmware " + flashVersion).c_str()
                                                        : "in its boot ROM (no valid firmware)");
  const bool ok = result.finalStatus == "Firmware upgrading successfully done!" && back &&
                  result.versionAfter == flashVersion;
  std::printf("outcome:        %s\n", ok ? "done" : "stopped");
  return ok ? 0 : 1;
}

int UpdateOnQorcam(const std::string& root, const ParsedOptions& opts, UpdaterRunOptions& run,
                   const UpdateHooks& hooks) {
  std::string error;
  sim::CameraOptions options;
  CameraOptionsFromArgs(opts, &options);
  CameraSession session;
  if (!PlugCamera(root, options, &session, &error)) return Fail(error);
  std::printf("camera on the QORCAM driver (it offers no access to the firmware's extension unit)\n");
  UpdaterRunResult result;
  if (!RunUpdaterProgram(run, nullptr, &result, &error)) return Fail(error);
  if (hooks.report) hooks.report();
  PrintResult(result);
  const bool ok = result.finalStatus == "Firmware upgrading successfully done!";
  std::printf("outcome:        %s\n", ok ? "done" : "stopped");
  return ok ? 0 : 1;
}

std::string Hex(const std::vector<uint8_t>& bytes, uint32_t begin, uint32_t end) {
  std::string s;
  char b[4];
  for (uint32_t i = begin; i < end; ++i) {
    std::snprintf(b, sizeof(b), "%02X", bytes[i]);
    s += b;
  }
  return s;
}

}  // namespace

std::string BuiltUpdaterPath() {
  std::error_code ec;
  const fs::path program = fs::read_symlink("/proc/self/exe", ec);
  return (program.parent_path() / ".." / "programs" / "QCAMLDR.exe").lexically_normal().string();
}

namespace {

// What one update runs with, from the command's words.
struct UpdateRequest {
  ParsedOptions opts;
  std::string root;
  UpdaterRunOptions run;
};

// Parses the words and keeps the firmware choice; false with the command's
// status when there is nothing to run (help, or a bad word).
bool PrepareUpdate(const Args& args, UpdateRequest* req, int* status) {
  std::string error;
  *status = 0;
  if (!ParseOptions(args, {{"root", true}, {"camera", true}, {"firmware", true}, {"options", true},
                           {"unplug-at-packet", true}, {"out", true}, {"help", false}},
                    &req->opts, &error)) {
    *status = Fail(error);
    return false;
  }
  const ParsedOptions& opts = req->opts;
  if (opts.Has("help")) {
    std::fputs(kUpdateUsage, stdout);
    return false;
  }
  req->root = opts.Get("root");
  if (req->root.empty()) *status = Fail("update needs --root DIR");
  req->run.outDir = opts.Get("out");
  req->run.progressBar = true;
  std::string bad;
  if (!*status && opts.Has("options") && !ParseOptionList(opts.Get("options"), &req->run, &bad))
    *status = Fail("unknown update option '" + bad + "' (program, write, verify, dump, wp)");
  const std::string firmware = opts.Get("firmware");
  if (!*status && opts.Has("firmware") && firmware != "packet" && firmware != "legacy")
    *status = Fail("bad --firmware value '" + firmware + "' (packet or legacy)");
  if (!*status && !EnsurePackageInstalled(req->root, &error)) *status = Fail(error);
  if (*status) return false;
  if (opts.Has("firmware")) {
    std::error_code ec;
    fs::create_directories(fs::path(req->root) / "camera", ec);
    std::ofstream(FirmwarePath(req->root)) << firmware << "\n";
  }
  return true;
}

int RunUpdate(UpdateRequest& req, const UpdateHooks& hooks) {
  // The updater's own waits (1000 ms after opening, 200 ms after restarting)
  // pass at twenty times real speed; its timings stay its own.
  const double rate = platform::PcClockRate();
  platform::SetPcClockRate(20);
  const int rc = platform::GetPcSettings().genericCameraDriver ? UpdateOnGenericDriver(req.root, req.opts, req.run, hooks)
                                                                : UpdateOnQorcam(req.root, req.opts, req.run, hooks);
  platform::SetPcClockRate(rate);
  return rc;
}

}  // namespace

int CmdUpdate(const Args& args) {
  UpdateRequest req;
  int status = 0;
  if (!PrepareUpdate(args, &req, &status)) return status;
  return RunUpdate(req, {});
}

int CmdFlash(const Args& args) {
  ParsedOptions opts;
  std::string error;
  if (!ParseOptions(args, {{"root", true}, {"dump", true}, {"version", false}, {"help", false}}, &opts, &error))
    return Fail(error);
  if (opts.Has("help")) {
    std::fputs(kFlashUsage, stdout);
    return 0;
  }
  const std::string root = opts.Get("root");
  if (root.empty()) return Fail("flash needs --root DIR");
  uint16_t vendor = 0, product = 0;
  if (!CameraIds(root, opts, &vendor, &product, &error)) return Fail(error);
  const sim::CameraFlash flash((fs::path(root) / "camera").string(), sim::FlashDeviceSeed(vendor, product, 1));
  const std::vector<uint8_t>& bytes = flash.Bytes();
  const std::string fault = sim::ImageFault(bytes);
  const uint32_t version = sim::ImageVersion(bytes);
  const std::string versionText =
      fault.empty() ? FirmwareVersionText(version) : "none: the chip stays in its boot ROM (" + fault + ")";
  if (opts.Has("version")) {
    std::printf("%s\n", versionText.c_str());
  } else {
    std::error_code ec;
    std::printf("flash     %s%s\n", flash.FilePath().c_str(),
                fs::exists(flash.FilePath(), ec) ? "" : " (not written yet: the factory image)");
    std::printf("version   %s (0x%08X)\n", versionText.c_str(), version);
    const uint8_t a = sim::RegionSum(bytes.data(), sim::kRegionABegin, sim::kRegionAEnd);
    const uint8_t c = sim::RegionSum(bytes.data(), sim::kRegionCBegin, sim::kRegionCEnd);
    std::printf("checksum  0xA000-0xBFFF %s, 0xC000-0xCFFF %s\n", a ? "wrong" : "sums to 0", c ? "wrong" : "sums to 0");
    std::printf("device    0xB010-0xB0FF %s...\n", Hex(bytes, 0xB010, 0xB030).c_str());
    std::printf("top block 0xFF00-0xFF1F %s\n", Hex(bytes, 0xFF00, 0xFF20).c_str());
  }
  if (opts.Has("dump") && !WriteFileBytes(opts.Get("dump"), bytes.data(), bytes.size(), &error)) return Fail(error);
  if (opts.Has("dump")) std::printf("dumped 65536 bytes to %s\n", opts.Get("dump").c_str());
  return 0;
}

// An update the shell runs on a thread of its own while it reads more lines:
// the updater's dialog lives on the program's thread, this thread follows it
// as 'qcam update' does and holds its end back until the shell asks for it.
class ShellUpdateJob {
 public:
  ~ShellUpdateJob() { End(); }

  // Returns once Upgrade was pressed (or the run ended without it).
  void Start(UpdateRequest request) {
    request_ = std::move(request);
    request_.run.onPressed = [this] { Signal(&pressed_); };
    thread_ = std::thread([this] {
      UpdateHooks hooks;
      hooks.share = [this](sim::GenericCameraDevice* camera) {
        std::lock_guard<std::mutex> hold(cameraLock_);
        camera_ = camera;
      };
      hooks.report = [this] { Await(&reportWanted_); };
      status_ = RunUpdate(request_, hooks);
      std::fflush(stdout);
      Signal(&ended_);
      Signal(&pressed_);
    });
    Await(&pressed_);
  }

  // True when the run ended before it got going (no camera, no program):
  // its failure is then the starting command's.
  bool EndedEarly() {
    std::lock_guard<std::mutex> hold(lock_);
    return ended_ && !reportWanted_;
  }

  // Lets the update print its end and waits for it; the command's status.
  int End() {
    if (!thread_.joinable()) return status_;
    Signal(&reportWanted_);
    thread_.join();
    return status_;
  }

  // Plugs the update's camera in or pulls it out: the PC announces the
  // change to the updater's dialog as it would for a person's hand. False
  // when the update runs on no camera of ours (any more).
  bool Move(bool plugIn, bool* done) {
    std::lock_guard<std::mutex> hold(cameraLock_);
    if (!camera_) return false;
    *done = camera_->CableIn() != plugIn;
    if (plugIn && *done) *done = camera_->Plug();
    if (!plugIn && *done) camera_->Unplug();
    return true;
  }

 private:
  void Signal(bool* flag) {
    std::lock_guard<std::mutex> hold(lock_);
    *flag = true;
    changed_.notify_all();
  }
  void Await(const bool* flag) {
    std::unique_lock<std::mutex> hold(lock_);
    changed_.wait(hold, [flag] { return *flag; });
  }

  UpdateRequest request_;
  std::thread thread_;
  int status_ = 0;
  std::mutex lock_;
  std::condition_variable changed_;
  bool pressed_ = false, reportWanted_ = false, ended_ = false;
  std::mutex cameraLock_;
  sim::GenericCameraDevice* camera_ = nullptr;
};

int ShellUpdate(Shell& shell, const Args& words) {
  if (words.size() == 1 && words[0] == "wait") {
    if (!shell.update) {
      std::printf("no update is running\n");
      return 0;
    }
    std::fflush(stdout);
    const int rc = shell.update->End();
    shell.update.reset();
    return rc;
  }
  if (shell.update) return Fail("update: an update is running already (update wait)");
  Args args;
  bool background = false;
  for (const std::string& w : words) {
    if (w == "--background") background = true;
    else args.push_back(w);
  }
  args.insert(args.end(), {"--root", shell.root});
  // The updater finds the camera on its own driver: the shell's session lets
  // it go first, keeping its state.
  shell.stream.Stop();
  shell.session.End();
  if (!background) return CmdUpdate(args);
  UpdateRequest request;
  int status = 0;
  if (!PrepareUpdate(args, &request, &status)) return status;
  std::fflush(stdout);
  shell.update = std::make_shared<ShellUpdateJob>();
  shell.update->Start(std::move(request));
  if (shell.update->EndedEarly()) {
    const int rc = shell.update->End();
    shell.update.reset();
    return rc;
  }
  std::printf("the update runs in the background (update wait ends it)\n");
  return 0;
}

int ShellUpdateCamera(Shell& shell, bool plugIn, const Args& words) {
  const char* verb = plugIn ? "plug" : "unplug";
  if (!words.empty()) return Fail(std::string(verb) + ": the update's camera takes no arguments");
  bool done = false;
  if (!shell.update->Move(plugIn, &done))
    return Fail(std::string(verb) + ": the update runs on no camera of the generic driver");
  if (plugIn) std::printf(done ? "plugged the camera in during the update\n" : "the camera is plugged in already\n");
  else std::printf(done ? "pulled the camera out during the update\n" : "the camera is out already\n");
  return 0;
}

int ShellFlash(Shell& shell, const Args& words) {
  if (shell.update) return Fail("flash: an update is running (update wait)");
  Args args = words;
  args.insert(args.end(), {"--root", shell.root});
  return CmdFlash(args);
}

}  // namespace qcam_tool
