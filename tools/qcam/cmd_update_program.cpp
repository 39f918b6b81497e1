// Running QCAMLDR on the PC and following its dialog as a person would.
#include <windows.h>
#include <commctrl.h>

#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <mutex>
#include <thread>

#include "platform/draw/window_draw.h"
#include "platform/machine/pc_clock.h"
#include "platform/machine/programs.h"
#include "platform/machine/window_system.h"
#include "tools/qcam/cmd_update.h"
#include "updater/resource.h"
#include "updater/xu_channel.h"

namespace qcam_tool {
namespace {

constexpr const char* kDialogCaption = "Firmware Upgrade Tool";

const platform::WindowNode* FindNode(const platform::WindowNode& node, int id) {
  if (node.id == id) return &node;
  for (const platform::WindowNode& child : node.children)
    if (const platform::WindowNode* found = FindNode(child, id)) return found;
  return nullptr;
}

HWND FindUpdaterDialog() {
  for (platform::WindowHandle w : platform::TopLevelWindowList()) {
    platform::WindowPicture picture;
    if (platform::CaptureWindowPicture(w, &picture) && picture.root.text == kDialogCaption) return w;
  }
  return NULL;
}

struct DialogState {
  std::string status, progress, version;
  int bar = 0;
  bool upgradeEnabled = false, closeEnabled = false;
  std::vector<std::string> log;
};

bool ReadDialog(HWND dialog, DialogState* state, platform::WindowPicture* keep = nullptr) {
  platform::WindowPicture picture;
  if (!platform::CaptureWindowPicture(dialog, &picture)) return false;
  auto text = [&](int id) {
    const platform::WindowNode* n = FindNode(picture.root, id);
    return n ? n->text : std::string();
  };
  state->status = text(IDC_STATUS);
  state->progress = text(IDC_PROGRESS_TEXT);
  state->version = text(IDC_FW_VERSION);
  if (const platform::WindowNode* n = FindNode(picture.root, IDC_PROGRESS)) state->bar = n->position;
  if (const platform::WindowNode* n = FindNode(picture.root, IDC_UPGRADE)) state->upgradeEnabled = n->enabled;
  if (const platform::WindowNode* n = FindNode(picture.root, IDC_CLOSE)) state->closeEnabled = n->enabled;
  if (const platform::WindowNode* n = FindNode(picture.root, IDC_LOG_LIST)) state->log = n->items;
  if (keep) *keep = picture;
  return true;
}

class Printer {
 public:
  explicit Printer(bool bar) : bar_(bar) {}
  void Line(const std::string& text) {
    std::lock_guard<std::mutex> hold(lock_);
    ClearBar();
    std::printf("%s\n", text.c_str());
    std::fflush(stdout);
  }
  void Follow(const DialogState& s) {
    if (s.status != last_.status) Line("status:   " + s.status);
    if (s.progress != last_.progress) Line("progress: " + s.progress);
    if (s.version != last_.version) Line("version:  " + s.version);
    if (bar_ && s.bar != last_.bar) {
      std::lock_guard<std::mutex> hold(lock_);
      const int filled = s.bar * 40 / 100;
      std::printf("\r[%s%s] %3d%%", std::string(size_t(filled), '#').c_str(),
                  std::string(size_t(40 - filled), ' ').c_str(), s.bar);
      std::fflush(stdout);
      barShown_ = true;
    }
    last_ = s;
  }
  void ClearBar() {
    if (!barShown_) return;
    std::printf("\r%50s\r", "");
    barShown_ = false;
  }

 private:
  bool bar_;
  bool barShown_ = false;
  std::mutex lock_;
  DialogState last_;
};

void SavePicture(const platform::WindowPicture& picture, const std::string& dir, const char* name, Printer* out) {
  std::error_code ec;
  std::filesystem::create_directories(dir, ec);
  const std::string path = (std::filesystem::path(dir) / name).string();
  std::string error;
  if (draw::WriteWindowPng(picture, path, &error)) out->Line("picture:  " + path);
  else out->Line("picture " + path + " not written: " + error);
}

void SetOption(HWND dialog, int id, int value) {
  if (value < 0) return;
  HWND box = GetDlgItem(dialog, id);
  if (!box) return;
  SendMessageA(box, BM_SETCHECK, value ? BST_CHECKED : BST_UNCHECKED, 0);
  SendMessageA(dialog, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(box));
}

// Waits (real time, the program's own clock may run faster) until `ready`.
template <class F>
bool WaitFor(F ready, int seconds) {
  const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
  while (!ready()) {
    if (std::chrono::steady_clock::now() > end) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
  }
  return true;
}

}  // namespace

std::string FirmwareVersionText(uint32_t version) { return FormatFirmwareVersion(version); }

bool RunUpdaterProgram(const UpdaterRunOptions& options, const std::function<void()>& afterUpdate,
                       UpdaterRunResult* result, std::string* error) {
  Printer out(options.progressBar && isatty(STDOUT_FILENO));
  std::atomic<int> idles{0};
  platform::ModalHook previousModal = platform::SetModalHook([&](platform::WindowHandle, platform::ModalEvent e) {
    if (e == platform::ModalEvent::Idle) ++idles;
  });
  platform::MessageBoxHook previousBox = platform::SetMessageBoxHook([&](const platform::MessageBoxRecord& r) {
    const std::string line = (r.caption.empty() ? std::string("(no caption)") : r.caption) + ": " + r.text;
    result->messages.push_back(line);
    out.Line("message box  " + line);
  });
  struct Restore {
    platform::ModalHook m;
    platform::MessageBoxHook b;
    ~Restore() {
      platform::SetModalHook(m);
      platform::SetMessageBoxHook(b);
    }
  } restore{previousModal, previousBox};

  std::unique_ptr<platform::RunningProgram> program = platform::StartProgram(kUpdaterWin32Path, "", error);
  if (!program) return false;
  HWND dialog = NULL;
  if (!WaitFor([&] { return (dialog = FindUpdaterDialog()) != NULL && idles > 0; }, 30) || program->Finished()) {
    *error = "QCAMLDR showed no dialog";
    return false;
  }
  DialogState state;
  platform::WindowPicture picture;
  ReadDialog(dialog, &state, &picture);
  out.Follow(state);
  result->versionBefore = state.version;
  SetOption(dialog, IDC_OPT_PROGRAM, options.program);
  SetOption(dialog, IDC_OPT_WRITE, options.write);
  SetOption(dialog, IDC_OPT_VERIFY, options.verify);
  SetOption(dialog, IDC_OPT_DUMP, options.dump);
  SetOption(dialog, IDC_OPT_WP_RESTORE, options.wpRestore);
  if (!options.outDir.empty()) SavePicture(picture, options.outDir, "updater-before.png", &out);

  if (state.upgradeEnabled) {
    result->pressedUpgrade = true;
    out.Line("pressing Upgrade");
    std::atomic<bool> clicked{false};
    const uint64_t start = platform::PcNowMs();
    std::thread click([&] {
      platform::ClickDialogButton(dialog, IDC_UPGRADE);
      clicked = true;
    });
    // The update runs once the dialog's status line left its first text.
    const std::string idleStatus = state.status;
    bool running = false;
    while (!clicked) {
      if (ReadDialog(dialog, &state)) out.Follow(state);
      if (!running && state.status != idleStatus) {
        running = true;
        if (options.onPressed) options.onPressed();
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    click.join();
    if (!running && options.onPressed) options.onPressed();
    result->updateMs = platform::PcNowMs() - start;
    ReadDialog(dialog, &state);
    out.Follow(state);
    out.ClearBar();
    result->finalStatus = state.status;
    result->log = state.log;
    if (afterUpdate) afterUpdate();
  } else {
    out.Line("Upgrade stays disabled");
    if (options.onPressed) options.onPressed();
    result->finalStatus = state.status;
    result->log = state.log;
  }
  ReadDialog(dialog, &state, &picture);
  out.Follow(state);
  result->versionAfter = state.version;
  if (!options.outDir.empty()) SavePicture(picture, options.outDir, "updater-after.png", &out);
  if (state.closeEnabled) platform::ClickDialogButton(dialog, IDC_CLOSE);
  else platform::CloseWindowByUser(dialog);
  program->Wait();
  return true;
}

}  // namespace qcam_tool
