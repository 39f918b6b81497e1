// A tray run: the programs, the clock, the actions and what they print.
#include "tools/qcam/tray_run.h"

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <thread>

#include "platform/draw/window_draw.h"
#include "platform/machine/codepages.h"
#include "platform/machine/notify_icons.h"
#include "platform/machine/paths.h"
#include "platform/machine/pc_clock.h"
#include "platform/machine/pc_settings.h"
#include "platform/machine/programs.h"
#include "platform/nt/platform_control.h"
#include "shared/qcam_defs.h"
#include "shared/tray_names.h"
#include "tools/qcam/package.h"
#include "tools/qcam/tray_win32.h"

namespace qcam_tool {
namespace {

namespace fs = std::filesystem;

// The one world whose watcher window and hooks are installed.
TrayWorld* g_world = nullptr;

// How long (real time) a program may take to open its window, and to
// finish what it was told at the end.
constexpr std::chrono::milliseconds kStartWait(30000);
constexpr std::chrono::milliseconds kEndWait(120000);

std::string PcText(const std::string& ansi) {
  return platform::AnsiToUtf8(platform::AnsiCodePageOfLanguage(platform::GetPcSettings().languageId), ansi);
}

std::string ProgramName(const std::string& win32Path) {
  const size_t slash = win32Path.find_last_of('\\');
  return slash == std::string::npos ? win32Path : win32Path.substr(slash + 1);
}

bool SamePath(const std::string& a, const std::string& b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i)
    if (std::tolower(static_cast<unsigned char>(a[i])) != std::tolower(static_cast<unsigned char>(b[i]))) return false;
  return true;
}

// The frames the capture application gets when no stream is held: YUY2 at
// 640x480 where the camera offers it, else its first YUY2 size; a camera
// with MJPG only gives 24-bit RGB, decoded by the driver, in the same way.
bool PictureFormat(const sim::ClassDriver& cd, StreamFormat* format) {
  const std::vector<OfferedFormat> offered = OfferedFormats(cd);
  for (uint32_t fourcc : {qcam::kFourCC_YUY2, qcam::kFourCC_MJPG}) {
    const OfferedFormat* chosen = nullptr;
    for (const OfferedFormat& f : offered) {
      if (f.fourcc != fourcc) continue;
      if (!chosen || (f.width == 640 && f.height == 480)) chosen = &f;
    }
    if (!chosen) continue;
    std::string error;
    return ParseStreamFormat(fourcc == qcam::kFourCC_YUY2 ? "YUY2" : "RGB24",
                             std::to_string(chosen->width) + "x" + std::to_string(chosen->height), format, &error);
  }
  return false;
}

}  // namespace

bool TrayMenuCommand(const std::string& item, int* command) {
  if (item == "50hz") *command = tray_win32::kMenu50Hz;
  else if (item == "60hz") *command = tray_win32::kMenu60Hz;
  else if (item == "exit") *command = tray_win32::kMenuExit;
  else return false;
  return true;
}

TrayWorld::TrayWorld(const std::string& root, CameraSession& session, BackgroundStream& stream,
                     const sim::CameraOptions& cameraOptions)
    : root_(root), session_(session), stream_(stream), cameraOptions_(cameraOptions) {}

TrayWorld::~TrayWorld() { Stop(); }

void TrayWorld::Note(const std::string& text) {
  std::lock_guard<std::mutex> hold(eventLock_);
  events_.push_back({platform::PcNowMs(), text});
}

void TrayWorld::NoteMenu(const platform::WindowPicture& picture, const std::string& items) {
  Note("tray menu: " + PcText(items));
  std::lock_guard<std::mutex> hold(eventLock_);
  if (!menuOut_.empty()) menuPicture_ = std::make_unique<platform::WindowPicture>(picture);
}

bool TrayWorld::Start(bool viewer, double clockRate, std::string* error) {
  if (started_) return true;
  if (g_world) {
    *error = "a tray runs already";
    return false;
  }
  const std::string viewerLog = (fs::path(root_) / "qormsgbox.log").string();
  const std::string captureLog = (fs::path(root_) / "capture.log").string();
  std::error_code ec;
  viewerOffset_ = fs::exists(viewerLog, ec) ? fs::file_size(viewerLog, ec) : 0;
  captureOffset_ = fs::exists(captureLog, ec) ? fs::file_size(captureLog, ec) : 0;
  g_world = this;
  started_ = true;
  previousRate_ = platform::PcClockRate();
  platform::SetPcClockRate(clockRate);
  startMs_ = platform::PcNowMs();

  platform::SetProgramStartObserver([this](const std::string& path, uint32_t processId, bool started) {
    const std::string name = SamePath(path, kCaptureAppWin32Path) ? "capture application" : ProgramName(path);
    if (started) Note(name + " started: " + path + " (process " + std::to_string(processId) + ")");
    else Note(name + " did not start: " + path);
  });
  platform::SetNotifyIconObserver([this](const char* action, const platform::NotifyIconState& icon) {
    Note(std::string("tray icon ") + action + ": tip \"" + PcText(icon.tip) + "\"");
  });
  tray_win32::SetMenuObserver(
      [this](const platform::WindowPicture& picture, const std::string& items) { NoteMenu(picture, items); });
  platform::SetCameraPictureSource([this](const std::string& devicePath, uint32_t count,
                                          std::vector<platform::CameraPicture>* out, std::string* reason) {
    return ServePictures(devicePath, count, out, reason);
  });
  if (!tray_win32::CreateWatcherWindow(
          [this](uint64_t wParam) { Note("ButtonMessage broadcast: wParam " + std::to_string(wParam)); }, error))
    return false;
  window_ = true;

  if (viewer) {
    viewer_ = platform::StartProgram(kLogViewerWin32Path, "", error);
    if (!viewer_) return false;
    // The tray logs only to a viewer that is there when it writes.
    PumpUntilReal(kStartWait, [] { return tray_win32::ViewerWindowExists(); });
  }
  std::string trayHost;
  if (!platform::MapWin32Path(kTrayWin32Path, &trayHost) || !fs::is_regular_file(trayHost, ec)) {
    *error = std::string("the tray button manager is not installed (") + kTrayWin32Path + ")";
    return false;
  }
  // Started in its own folder, as its shortcut starts it, so that it finds
  // BM.ini there.
  tray_ = platform::StartProgram(kTrayWin32Path, "", error, kTrayFolderWin32Path);
  if (!tray_) return false;
  PumpUntilReal(kStartWait, [] { return tray_win32::TrayDialogExists(); });
  PrintPending();
  return true;
}

bool TrayWorld::TrayRunning() const { return tray_ && !tray_->Finished(); }

template <class Done>
bool TrayWorld::PumpUntil(uint64_t pcMs, Done done) {
  const uint64_t end = platform::PcNowMs() + pcMs;
  while (!done()) {
    if (platform::PcNowMs() >= end) return false;
    PumpAndPrint();
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  PumpAndPrint();
  return true;
}

template <class Done>
bool TrayWorld::PumpUntilReal(std::chrono::milliseconds limit, Done done) {
  const auto end = std::chrono::steady_clock::now() + limit;
  while (!done()) {
    if (std::chrono::steady_clock::now() >= end) return false;
    PumpAndPrint();
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  PumpAndPrint();
  return true;
}

void TrayWorld::Advance(uint64_t pcMs) {
  PumpUntil(pcMs, [] { return false; });
}

void TrayWorld::PumpAndPrint() {
  if (window_) tray_win32::PumpMessages();
  PrintPending();
}

void TrayWorld::ReadNewLines(const std::string& path, uint64_t* offset, const char* prefix) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return;
  in.seekg(0, std::ios::end);
  const uint64_t size = uint64_t(in.tellg());
  if (size < *offset) *offset = 0;  // the file was replaced
  if (size == *offset) return;
  in.seekg(std::streamoff(*offset));
  std::string text(size_t(size - *offset), '\0');
  in.read(&text[0], std::streamsize(text.size()));
  text.resize(size_t(in.gcount()));
  // Only whole lines: a line being written is read the next time.
  const size_t end = text.rfind('\n');
  if (end == std::string::npos) return;
  *offset += end + 1;
  size_t start = 0;
  while (start <= end) {
    const size_t next = text.find('\n', start);
    Note(prefix + text.substr(start, next - start));
    start = next + 1;
  }
}

void TrayWorld::PrintPending() {
  if (!root_.empty()) {
    ReadNewLines((fs::path(root_) / "qormsgbox.log").string(), &viewerOffset_, "QORMsgBox: ");
    ReadNewLines((fs::path(root_) / "capture.log").string(), &captureOffset_, "capture application: ");
  }
  std::deque<Event> events;
  std::unique_ptr<platform::WindowPicture> picture;
  std::string pictureDir;
  {
    std::lock_guard<std::mutex> hold(eventLock_);
    events.swap(events_);
    if (menuPicture_) {
      picture = std::move(menuPicture_);
      pictureDir = menuOut_;
      menuOut_.clear();
    }
  }
  for (const Event& e : events) {
    const uint64_t ms = e.pcMs > startMs_ ? e.pcMs - startMs_ : 0;
    std::printf("[%4llu.%01llu s] %s\n", static_cast<unsigned long long>(ms / 1000),
                static_cast<unsigned long long>(ms % 1000 / 100), e.text.c_str());
  }
  if (picture) {
    std::error_code ec;
    fs::create_directories(pictureDir, ec);
    const std::string path = (fs::path(pictureDir) / "tray_menu.png").string();
    std::string error;
    if (draw::WriteWindowPng(*picture, path, &error)) std::printf("picture of the tray menu: %s\n", path.c_str());
    else std::printf("picture of the tray menu not written: %s\n", error.c_str());
  }
  std::fflush(stdout);
}

bool TrayWorld::ServePictures(const std::string& devicePath, uint32_t count,
                              std::vector<platform::CameraPicture>* out, std::string* error) {
  // Never waits for the lock: whoever holds it may be announcing a device
  // change to the very program that asks.
  std::unique_lock<std::mutex> hold(cameraLock_, std::try_to_lock);
  if (!hold.owns_lock()) {
    *error = "the camera is being plugged in or pulled out";
    return false;
  }
  if (!session_.classDriver || !session_.classDriver->Plugged() || !session_.device) {
    *error = "no camera is plugged in";
    return false;
  }
  if (!devicePath.empty() && !SamePath(devicePath, session_.device->InterfacePath())) {
    *error = "that camera is not the one plugged in";
    return false;
  }
  std::vector<sim::DeliveredFrame> frames;
  StreamFormat format;
  if (stream_.Open()) {
    format = stream_.Format();
    if (!stream_.WaitFrameData(count, &frames)) {
      *error = "the stream ended";
      return false;
    }
  } else {
    if (!PictureFormat(*session_.classDriver, &format)) {
      *error = "the camera offers neither YUY2 nor MJPG";
      return false;
    }
    BackgroundStream own;
    if (!own.Start(*session_.classDriver, format, error)) return false;
    const bool all = own.WaitFrameData(count, &frames);
    own.Stop();
    if (!all) {
      *error = "the stream ended";
      return false;
    }
  }
  for (const sim::DeliveredFrame& frame : frames) {
    platform::CameraPicture picture;
    picture.fourcc = format.fourcc;
    picture.width = format.width;
    picture.height = format.height;
    const size_t bytes = std::min<size_t>(frame.bytesReturned, frame.data.size());
    picture.bytes.assign(frame.data.begin(), frame.data.begin() + std::ptrdiff_t(bytes));
    out->push_back(std::move(picture));
  }
  return true;
}

bool TrayWorld::Press(uint32_t state, std::string* error) {
  std::lock_guard<std::mutex> hold(cameraLock_);
  if (!session_.camera || !session_.classDriver || !session_.classDriver->Plugged()) {
    *error = "no camera is plugged in";
    return false;
  }
  Note("pressed the snapshot button (state " + std::to_string(state) + ")");
  session_.camera->PressButton(state);
  return true;
}

bool TrayWorld::Unplug(std::string* error) {
  {
    std::lock_guard<std::mutex> hold(cameraLock_);
    if (!session_.classDriver || !session_.classDriver->Plugged()) {
      *error = "no camera is plugged in";
      return false;
    }
    Note("pulled the camera out");
    session_.PullOut();
    stream_.Stop();
    session_.End();
  }
  return true;
}

bool TrayWorld::Plug(std::string* error) {
  {
    std::lock_guard<std::mutex> hold(cameraLock_);
    if (session_.classDriver && session_.classDriver->Plugged()) {
      *error = "the camera is plugged in already";
      return false;
    }
    sim::CameraOptions options = cameraOptions_;
    if (!session_.record.profile.empty() || !session_.record.descriptorFile.empty()) {
      options.profile = session_.record.profile;
      options.descriptorFile = session_.record.descriptorFile;
    }
    Note("plugging the camera in");
    if (!PlugCamera(root_, options, &session_, error)) return false;
  }
  return true;
}

bool TrayWorld::Menu(const std::string& item, const std::string& outDir, std::string* error) {
  int command = 0;
  if (!TrayMenuCommand(item, &command)) {
    *error = "unknown tray menu item '" + item + "' (50hz, 60hz, exit)";
    return false;
  }
  {
    std::lock_guard<std::mutex> hold(eventLock_);
    menuOut_ = outDir;
  }
  // The tray makes its icon again when the camera comes or goes; a click
  // waits for it a moment, as a person's would.
  PumpUntil(2000, [] { return tray_win32::TrayIconShown(); });
  // Noted first: the tray may handle the click before the call returns.
  Note("right-clicking the tray icon, choosing " + item);
  if (!tray_win32::ClickTrayMenu(command, error)) return false;
  // Exit is seen through, as a person watches the icon go: a slow machine
  // must not leave the tray running into the run's own end.
  if (command == tray_win32::kMenuExit && !PumpUntilReal(kEndWait, [this] { return !TrayRunning(); }))
    Note("the tray did not end after its Exit item");
  return true;
}

bool TrayWorld::SendExit(std::string* error) {
  Note("sending \"EXIT\" to the tray");
  return tray_win32::SendTrayExit(error);
}

void TrayWorld::Stop() {
  if (!started_) return;
  started_ = false;
  if (TrayRunning()) {
    std::string error;
    Note("the run ends: \"EXIT\" sent to the tray");
    if (!tray_win32::SendTrayExit(&error)) Note(error);
    if (!PumpUntilReal(kEndWait, [this] { return tray_->Finished(); }))
      Note("the tray did not end after its EXIT command");
  }
  if (tray_ && tray_->Finished()) tray_.reset();
  // The capture application first handles what it was told, then closes.
  if (tray_win32::CloseCaptureApp()) PumpUntilReal(kEndWait, [] { return !tray_win32::CaptureAppWindowExists(); });
  if (viewer_) {
    tray_win32::CloseViewer();
    PumpUntilReal(kEndWait, [this] { return viewer_->Finished(); });
    if (viewer_->Finished()) viewer_.reset();
  }
  Advance(200);  // the last log lines
  uint32_t status = 0;
  if (platform::RegGetDword(qcam::kKeyCurrentA, "CameraStatus", &status)) {
    char line[48];
    std::snprintf(line, sizeof(line), "CameraStatus 0x%X", unsigned(status));
    Note(line);
  }
  PrintPending();
  platform::SetCameraPictureSource(nullptr);
  tray_win32::SetMenuObserver(nullptr);
  platform::SetNotifyIconObserver(nullptr);
  platform::SetProgramStartObserver(nullptr);
  tray_win32::DestroyWatcherWindow();
  window_ = false;
  platform::SetPcClockRate(previousRate_);
  g_world = nullptr;
  // A program that would not end is left running rather than waited for
  // for ever: the PC ends with qcam.
  if (tray_ && !tray_->Finished()) {
    std::printf("qcam: the tray did not end; it is left running\n");
    static_cast<void>(tray_.release());
  }
  if (viewer_ && !viewer_->Finished()) static_cast<void>(viewer_.release());
}

}  // namespace qcam_tool
