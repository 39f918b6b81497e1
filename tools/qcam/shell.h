// The shell's pieces: one PC lifetime with the camera plugged in and maybe a
// stream running, and its table of verbs. A verb is one row of the table in
// cmd_shell.cpp; verbs that share their work with a command of their own are
// declared here and live beside that command.
#pragma once

#include <istream>
#include <memory>
#include <string>

#include "tools/qcam/commands.h"
#include "tools/qcam/common.h"
#include "tools/qcam/stream.h"
#include "tools/qcam/tray_run.h"

namespace qcam_tool {

class ShellUpdateJob;  // an update running in the background (cmd_update.cpp)

struct Shell {
  std::string root;
  sim::CameraOptions cameraOptions;  // as the shell was started (source picture, scene)
  CameraSession session;             // the camera plugged in (none after 'unplug')
  BackgroundStream stream;           // declared after the session: stops first
  std::shared_ptr<ShellUpdateJob> update;  // while 'update --background' runs
  std::unique_ptr<TrayWorld> tray;   // while 'tray start' runs; declared last: ends first
  bool quit = false;
};

struct ShellVerb {
  const char* name;
  const char* syntax;
  const char* summary;
  int (*run)(Shell& shell, const Args& words);  // the words after the verb; 0 or 2 as a command
};

// Verbs that live beside their commands.
int ShellPrivate(Shell& shell, const Args& words);
int ShellVfw(Shell& shell, const Args& words);
int ShellUpdate(Shell& shell, const Args& words);
int ShellFlash(Shell& shell, const Args& words);
// 'plug' and 'unplug' while an update runs: they act on the update's camera.
int ShellUpdateCamera(Shell& shell, bool plugIn, const Args& words);
int ShellPages(Shell& shell, const Args& words);

// Words of one line: separated by blanks, "double quotes" keep blanks inside
// a word. False for an unbalanced quote.
bool SplitShellLine(const std::string& line, Args* words, std::string* error);

// Runs lines from `in` until 'quit' or the end of the input (a prompt before
// each line when `interactive`); stops any stream and lets the camera go at
// the end, keeping its state. 0 when every line succeeded, else 2.
int RunShell(Shell& shell, std::istream& in, bool interactive);

}  // namespace qcam_tool
