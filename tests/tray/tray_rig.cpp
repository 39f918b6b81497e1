#include "tests/tray/tray_rig.h"

#include <chrono>
#include <filesystem>
#include <fstream>

#include "platform/machine/com_control.h"
#include "platform/machine/pc_clock.h"
#include "platform/machine/paths.h"
#include "platform/machine/pc_settings.h"
#include "platform/machine/window_system.h"
#include "platform/nt/platform_control.h"
#include "shared/qcam_ids.h"
#include "shared/tray_names.h"
#include "tools/qcam/package.h"

namespace tray_test {

namespace {

std::string BuildFolder() {
  return std::filesystem::read_symlink("/proc/self/exe").parent_path().parent_path().string();
}

void CopyInto(const std::string& root, const std::string& from, const std::string& relative) {
  const std::filesystem::path to = std::filesystem::path(root) / relative;
  std::filesystem::create_directories(to.parent_path());
  std::filesystem::copy_file(from, to, std::filesystem::copy_options::overwrite_existing);
}

// PC time runs this much faster than real time in the tray tests.
constexpr double kClockRate = 100;

}  // namespace

// ---- the desk --------------------------------------------------------------------------

Desk::Desk() {
  thread_ = std::thread([this] { Run(); });
  while (!ready_) std::this_thread::sleep_for(std::chrono::milliseconds(1));
}

Desk::~Desk() {
  PostThreadMessageA(threadId_, WM_QUIT, 0, 0);
  thread_.join();
}

LRESULT CALLBACK Desk::ViewerProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  Desk* self = reinterpret_cast<Desk*>(GetWindowLongPtrA(window, GWLP_USERDATA));
  if (self && message == WM_COPYDATA) {
    const COPYDATASTRUCT* data = reinterpret_cast<const COPYDATASTRUCT*>(lParam);
    std::lock_guard<std::mutex> hold(self->lock_);
    self->lines_.push_back(
        {DWORD(data->dwData), std::string(static_cast<const char*>(data->lpData), data->lpData ? data->cbData : 0)});
    return TRUE;
  }
  if (self && message == self->buttonMessage_ && message) {
    std::lock_guard<std::mutex> hold(self->lock_);
    self->broadcasts_.push_back(wParam);
    return 0;
  }
  return DefWindowProcA(window, message, wParam, lParam);
}

void Desk::Run() {
  threadId_ = GetCurrentThreadId();
  buttonMessage_ = RegisterWindowMessageA(qcam::kButtonMessageName);
  WNDCLASSA wc = {};
  wc.lpfnWndProc = ViewerProc;
  wc.lpszClassName = "TrayTestDesk";
  RegisterClassA(&wc);
  HWND viewer = CreateWindowExA(0, "TrayTestDesk", qcam::kLogViewerTitle, WS_OVERLAPPEDWINDOW, 0, 0, 200, 100, NULL,
                                NULL, NULL, NULL);
  SetWindowLongPtrA(viewer, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
  MSG msg;
  PeekMessageA(&msg, NULL, 0, 0, PM_NOREMOVE);  // the thread's queue exists before anyone posts to it
  ready_ = true;
  while (GetMessageA(&msg, NULL, 0, 0) > 0) DispatchMessageA(&msg);
  DestroyWindow(viewer);
  UnregisterClassA("TrayTestDesk", NULL);
}

std::vector<LogLine> Desk::Lines() {
  std::lock_guard<std::mutex> hold(lock_);
  return lines_;
}

size_t Desk::Count(const std::string& text) {
  std::lock_guard<std::mutex> hold(lock_);
  size_t n = 0;
  for (const LogLine& l : lines_) n += l.text == text;
  return n;
}

std::vector<WPARAM> Desk::Broadcasts() {
  std::lock_guard<std::mutex> hold(lock_);
  return broadcasts_;
}

// ---- the fixture -----------------------------------------------------------------------

void TrayTest::SetUp() {
  platform::ResetMachine();
  char pattern[] = "/tmp/qcam-tray-XXXXXX";
  ASSERT_NE(mkdtemp(pattern), nullptr);
  root_ = pattern;
  ASSERT_TRUE(platform::SetRoot(root_));
  platform::SetPcClockRate(kClockRate);
  std::string error;
  ASSERT_TRUE(InstallCameraPackage(root_, &error)) << error;
  CopyInto(root_, BuildFolder() + "/programs/QORBM.exe", "C/Program Files/Qorvane/QORBM.exe");
  CopyInto(root_, QCAM_CAPTURE_STUB, "C/Program Files/ArcSoft/WebCam Companion 3/CaptureApp.exe");
  WriteAppName(std::string(kCapturePath) + '\0', REG_SZ);
  WriteTrayValues(1, 103);
  platform::ResetNotifyIcons();
  platform::SetProgramStartObserver([this](const std::string& path, uint32_t, bool) {
    std::lock_guard<std::mutex> hold(lock_);
    starts_.push_back(path);
  });
  platform::SetNotifyIconObserver([this](const char* action, const platform::NotifyIconState& icon) {
    std::lock_guard<std::mutex> hold(lock_);
    iconEvents_.push_back(std::string(action) + " " + icon.tip);
  });
  desk_ = std::make_unique<Desk>();
}

void TrayTest::TearDown() {
  if (tray_ && !tray_->Finished()) EndTray();
  tray_.reset();
  CloseCaptureApp();
  captureApp_.reset();
  desk_.reset();
  platform::SetProgramStartObserver(nullptr);
  platform::SetNotifyIconObserver(nullptr);
  platform::ResetNotifyIcons();
  platform::ResetWindowSystemControls();
  platform::SetPcClockRate(1);
  platform::ResetMachine();
  std::error_code ec;
  std::filesystem::remove_all(root_, ec);
}

bool TrayTest::WaitUntil(const std::function<bool()>& done) {
  for (int i = 0; i < 30000; ++i) {
    if (done()) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  return done();
}

void TrayTest::PcWait(double seconds) {
  const uint64_t until = platform::PcNowMs() + uint64_t(seconds * 1000);
  while (platform::PcNowMs() < until) std::this_thread::sleep_for(std::chrono::milliseconds(1));
}

void TrayTest::StartTray() {
  std::string error;
  tray_ = platform::StartProgram(kTrayPath, "", &error, kTrayFolder);
  ASSERT_TRUE(tray_) << error;
  ASSERT_TRUE(WaitUntil([&] { return TrayDialog() != NULL && desk_->Count("Thread Start") > 0; }));
}

HWND TrayTest::TrayDialog() const { return FindWindowA(NULL, kTrayDialogTitle); }

void TrayTest::SendCommand(ULONG_PTR id, const void* bytes, DWORD size) {
  COPYDATASTRUCT data;
  data.dwData = id;
  data.cbData = size;
  data.lpData = const_cast<void*>(bytes);
  SendMessageA(TrayDialog(), WM_COPYDATA, 0, reinterpret_cast<LPARAM>(&data));
}

void TrayTest::EndTray() {
  SendCommand(qcam::kTrayCommandId, "EXIT", 4);
  ASSERT_TRUE(WaitUntil([&] { return tray_->Finished(); }));
  tray_->Wait();
}

namespace {

HKEY OpenCurrent() {
  HKEY key = NULL;
  RegCreateKeyExA(HKEY_LOCAL_MACHINE, qcam::kUserCurrentKey, 0, NULL, 0, KEY_ALL_ACCESS | KEY_WOW64_64KEY, NULL, &key,
                  NULL);
  return key;
}

}  // namespace

DWORD TrayTest::ReadStatus() {
  HKEY key = OpenCurrent();
  DWORD value = 0, size = sizeof(value), type = 0;
  RegQueryValueExA(key, "CameraStatus", NULL, &type, reinterpret_cast<LPBYTE>(&value), &size);
  RegCloseKey(key);
  return value;
}

void TrayTest::WriteStatus(DWORD value) {
  HKEY key = OpenCurrent();
  RegSetValueExA(key, "CameraStatus", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value), sizeof(value));
  RegCloseKey(key);
}

void TrayTest::WriteTrayValues(DWORD trayEnabled, DWORD debugLevel) {
  HKEY key = OpenCurrent();
  RegSetValueExA(key, qcam::kValueTrayEnabled, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&trayEnabled), 4);
  RegSetValueExA(key, qcam::kValueTrayDebug, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&debugLevel), 4);
  RegCloseKey(key);
}

void TrayTest::WriteAppName(const std::string& bytes, DWORD type) {
  HKEY key = NULL;
  ASSERT_EQ(RegCreateKeyExA(HKEY_LOCAL_MACHINE, qcam::kCaptureAppKey, 0, NULL, 0, KEY_ALL_ACCESS, NULL, &key, NULL),
            ERROR_SUCCESS);
  RegSetValueExA(key, qcam::kCaptureAppPathValue, 0, type, reinterpret_cast<const BYTE*>(bytes.data()),
                 DWORD(bytes.size()));
  RegCloseKey(key);
}

void TrayTest::WriteIni(const std::string& win32Path, const std::string& text) {
  std::string host;
  ASSERT_TRUE(platform::MapWin32Path(win32Path, &host));
  std::ofstream(host, std::ios::binary) << text;
}

void TrayTest::SetLanguage(uint16_t languageId) {
  platform::PcSettings settings = platform::GetPcSettings();
  settings.languageId = languageId;
  ASSERT_TRUE(platform::SetPcSettings(settings));
}

size_t TrayTest::CaptureStarts() {
  std::lock_guard<std::mutex> hold(lock_);
  size_t n = 0;
  for (const std::string& path : starts_) n += path == kCapturePath;
  return n;
}

std::vector<std::string> TrayTest::StartedPaths() {
  std::lock_guard<std::mutex> hold(lock_);
  return starts_;
}

std::vector<std::string> TrayTest::IconEvents() {
  std::lock_guard<std::mutex> hold(lock_);
  return iconEvents_;
}

void TrayTest::CloseCaptureApp() {
  HWND app = FindWindowA(qcam::kCaptureAppWindowClass, qcam::kCaptureAppWindowTitle);
  if (!app) return;
  PostMessageA(app, WM_CLOSE, 0, 0);
  WaitUntil([] { return FindWindowA(qcam::kCaptureAppWindowClass, qcam::kCaptureAppWindowTitle) == NULL; });
}

}  // namespace tray_test
