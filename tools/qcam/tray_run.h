// The tray button manager running on the PC with the world around it, as
// 'qcam tray' and the shell's 'tray' verbs drive it: the log viewer and
// QORBM started as a person's login would start them, the PC's clock let
// run, the camera's button pressed, the camera pulled out and plugged in,
// the tray's menu used and its EXIT command sent. Everything that happens
// is printed in time order, one line each, with the PC time since the start:
// the viewer's log lines, the tray icon's changes, every ButtonMessage
// broadcast, every program start, and what the capture application did.
//
// The object lives on one thread, which owns a hidden window of its own (it
// registers ButtonMessage and so sees every broadcast) and pumps its
// messages while the clock runs.
#pragma once

#include <chrono>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "platform/machine/camera_pictures.h"
#include "tools/qcam/common.h"
#include "tools/qcam/stream.h"

namespace platform {
class RunningProgram;
struct WindowPicture;
}  // namespace platform

namespace qcam_tool {

// The tray menu's commands by the names the commands take.
bool TrayMenuCommand(const std::string& item, int* command);  // "50hz", "60hz", "exit"

class TrayWorld {
 public:
  // The camera session and the stream are the caller's; the world changes
  // them only while it holds HoldCamera's lock.
  TrayWorld(const std::string& root, CameraSession& session, BackgroundStream& stream,
            const sim::CameraOptions& cameraOptions);
  ~TrayWorld();
  TrayWorld(const TrayWorld&) = delete;
  TrayWorld& operator=(const TrayWorld&) = delete;

  // Starts the viewer (when `viewer`) and QORBM in its own folder; the PC
  // clock runs `clockRate` times faster from then on. False with a reason.
  bool Start(bool viewer, double clockRate, std::string* error);
  // QORBM was started and has not ended.
  bool TrayRunning() const;
  // Lets `pcMs` of PC time pass, pumping this thread's messages, and prints
  // what happened meanwhile.
  void Advance(uint64_t pcMs);
  // The actions; each prints what it did. False with a reason.
  bool Press(uint32_t state, std::string* error);
  bool Unplug(std::string* error);
  bool Plug(std::string* error);
  // Right-clicks the tray icon with `item` scripted as the choice; with
  // `outDir`, the menu as it pops up goes to OUT/tray_menu.png.
  bool Menu(const std::string& item, const std::string& outDir, std::string* error);
  // Sends the "EXIT" copy-data command to the tray's dialog.
  bool SendExit(std::string* error);
  // Ends the tray (its EXIT command when it still runs), lets the capture
  // application finish what it was told and closes it and the viewer, prints
  // the rest and gives the clock its rate back. Called by the destructor.
  void Stop();

  // The camera's lock: held by whoever changes the session or the stream
  // while the world runs (the capture application's pictures need both).
  std::unique_lock<std::mutex> HoldCamera() { return std::unique_lock<std::mutex>(cameraLock_); }

  // For the world's own callbacks.
  void Note(const std::string& text);
  void NoteMenu(const platform::WindowPicture& picture, const std::string& items);

 private:
  struct Event {
    uint64_t pcMs;
    std::string text;
  };
  void PumpAndPrint();
  void PrintPending();
  void ReadNewLines(const std::string& path, uint64_t* offset, const char* prefix);
  bool ServePictures(const std::string& devicePath, uint32_t count, std::vector<platform::CameraPicture>* out,
                     std::string* error);
  // Pumps until `done` holds or `pcMs` of PC time passed; false on time-out.
  template <class Done>
  bool PumpUntil(uint64_t pcMs, Done done);
  // The same with a limit in real time: for waits on the programs' own work
  // (a window to appear, a picture to be saved), which takes what the
  // machine takes whatever the PC clock's rate.
  template <class Done>
  bool PumpUntilReal(std::chrono::milliseconds limit, Done done);

  std::string root_;
  CameraSession& session_;
  BackgroundStream& stream_;
  sim::CameraOptions cameraOptions_;
  std::mutex cameraLock_;

  bool started_ = false;
  double previousRate_ = 1;
  uint64_t startMs_ = 0;
  bool window_ = false;  // the hidden window exists
  std::unique_ptr<platform::RunningProgram> viewer_, tray_;

  std::mutex eventLock_;
  std::deque<Event> events_;
  std::string menuOut_;  // where the next menu picture goes ("" none)
  std::unique_ptr<platform::WindowPicture> menuPicture_;
  uint64_t viewerOffset_ = 0, captureOffset_ = 0;
};

}  // namespace qcam_tool
