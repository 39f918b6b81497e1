// qcam shell: one PC lifetime driven by commands read one per line from
// standard input. The camera stays plugged in, and a stream keeps running on
// the class driver's thread, while the lines that follow act on the PC as
// other programs would.
#include <unistd.h>

#include <cstdio>
#include <iostream>
#include <string>

#include "platform/machine/pc_clock.h"
#include "tools/qcam/commands.h"
#include "tools/qcam/common.h"
#include "tools/qcam/package.h"
#include "tools/qcam/shell.h"
#include "tools/qcam/stream.h"

namespace qcam_tool {
namespace {

// PC time runs this much faster than real time while the tray runs; less
// in a sanitizer build, whose programs work several times slower while
// their timers keep the PC's pace.
#ifdef QCAM_SANITIZED
constexpr double kShellTrayClockRate = 5;
#else
constexpr double kShellTrayClockRate = 20;
#endif

bool Plugged(const Shell& shell) { return shell.session.classDriver && shell.session.classDriver->Plugged(); }

int NeedCamera(const char* verb) { return Fail(std::string(verb) + ": no camera is plugged in (plug)"); }

// The camera's lock of a running tray (the capture application takes its
// pictures through the session and the stream), or none.
std::unique_lock<std::mutex> HoldCamera(Shell& shell) {
  return shell.tray ? shell.tray->HoldCamera() : std::unique_lock<std::mutex>();
}

int VerbPlug(Shell& shell, const Args& words) {
  if (shell.update) return ShellUpdateCamera(shell, true, words);
  auto hold = HoldCamera(shell);
  if (words.size() > 1) return Fail("plug takes at most one camera (a profile or a descriptor file)");
  sim::CameraOptions options = shell.cameraOptions;  // the source picture or scene the shell started with
  if (!words.empty()) {
    SetCameraByName(words[0], &options);
  } else {
    options.profile = shell.session.record.profile;  // the camera plugged last in this shell
    options.descriptorFile = shell.session.record.descriptorFile;
  }
  if (Plugged(shell) && SameCamera(RecordOf(options), shell.session.record)) {
    std::printf("the %s camera is plugged in already\n", CameraName(shell.session.record).c_str());
    return 0;
  }
  // Another camera takes the place of the one plugged in, which is pulled
  // out and so loses its state.
  shell.stream.Stop();
  shell.session.PullOut();
  shell.session.End();
  std::string error;
  if (!PlugCamera(shell.root, options, &shell.session, &error)) return Fail("plug: " + error);
  std::printf("plugged in the %s camera (%s)\n", CameraName(shell.session.record).c_str(),
              shell.session.start == CameraStart::kSavedState ? "it keeps its state" : "power-on values");
  return 0;
}

int VerbUnplug(Shell& shell, const Args& words) {
  if (shell.update) return ShellUpdateCamera(shell, false, words);
  if (!words.empty()) return Fail("unplug takes no arguments");
  auto hold = HoldCamera(shell);
  if (!Plugged(shell)) {
    std::printf("no camera is plugged in\n");
    return 0;
  }
  // Pulled out as it is, streaming or not: surprise removal first.
  const bool streaming = shell.stream.Open();
  shell.session.PullOut();
  const uint32_t frames = shell.stream.Delivered();
  shell.stream.Stop();
  shell.session.End();
  std::printf("unplugged the %s camera", CameraName(shell.session.record).c_str());
  if (streaming) std::printf(" (the stream ended after %u frames)", frames);
  std::printf("\n");
  return 0;
}

int VerbStream(Shell& shell, const Args& words) {
  if (words.size() != 2) return Fail("stream needs FORMAT WxH, e.g. stream YUY2 640x480");
  auto hold = HoldCamera(shell);
  if (!Plugged(shell)) return NeedCamera("stream");
  StreamFormat format;
  std::string error;
  if (!ParseStreamFormat(words[0], words[1], &format, &error) ||
      !shell.stream.Start(*shell.session.classDriver, format, &error))
    return Fail("stream: " + error);
  std::printf("streaming %s %dx%d in the background\n", format.name.c_str(), format.width, format.height);
  return 0;
}

int VerbStop(Shell& shell, const Args& words) {
  if (!words.empty()) return Fail("stop takes no arguments");
  auto hold = HoldCamera(shell);
  if (!shell.stream.Open()) {
    std::printf("no stream is running\n");
    return 0;
  }
  const uint32_t frames = shell.stream.Delivered();
  shell.stream.Stop();
  std::printf("stopped the stream after %u frames\n", frames);
  return 0;
}

int VerbFrames(Shell& shell, const Args& words) {
  long long n = 0;
  if (words.size() != 1 || !ParseInt(words[0], 1, BackgroundStream::kMaxWait, &n))
    return Fail("frames needs a count from 1 to " + std::to_string(BackgroundStream::kMaxWait));
  if (!shell.stream.Open()) return Fail("frames: no stream is running (stream FORMAT WxH)");
  std::vector<FrameNote> frames;
  const bool all = shell.stream.WaitFrames(uint32_t(n), &frames);
  for (const FrameNote& f : frames) {
    if (f.bytes == 0) std::printf("frame %u: empty\n", f.number);
    else std::printf("frame %u: %u bytes%s\n", f.number, f.bytes, f.still ? ", still" : "");
  }
  if (!all) return Fail("frames: the stream ended after " + std::to_string(shell.stream.Delivered()) + " frames");
  return 0;
}

int VerbWait(Shell& shell, const Args& words) {
  long long ms = 0;
  if (words.size() != 1 || !ParseInt(words[0], 0, 3600000, &ms))
    return Fail("wait needs milliseconds from 0 to 3600000");
  // With the tray running, what happens meanwhile is printed.
  if (shell.tray) shell.tray->Advance(uint64_t(ms));
  else platform::PcSleep(uint64_t(ms));
  return 0;
}

int VerbPress(Shell& shell, const Args& words) {
  if (words.size() != 1 || (words[0] != "1" && words[0] != "2" && words[0] != "4"))
    return Fail("press needs the button state 1, 2 or 4");
  auto hold = HoldCamera(shell);
  if (!Plugged(shell)) return NeedCamera("press");
  shell.session.camera->PressButton(uint32_t(std::stoul(words[0])));
  std::printf("pressed the snapshot button (state %s); the camera reports it at the next button check\n",
              words[0].c_str());
  return 0;
}

int VerbProps(Shell& shell, const Args& words) { return RunProps(shell.session, words); }

int VerbTray(Shell& shell, const Args& words) {
  const bool start = !words.empty() && words[0] == "start";
  const bool stop = words.size() == 1 && words[0] == "stop";
  const bool viewerOff = words.size() == 3 && words[1] == "--viewer" && words[2] == "off";
  const bool viewerOn = words.size() == 1 || (words.size() == 3 && words[1] == "--viewer" && words[2] == "on");
  if (!(start && (viewerOn || viewerOff)) && !stop) return Fail("tray needs start [--viewer on|off] or stop");
  if (stop) {
    if (!shell.tray) {
      std::printf("the tray is not running\n");
      return 0;
    }
    shell.tray->Stop();
    shell.tray.reset();
    std::printf("the tray and its programs ended\n");
    return 0;
  }
  if (shell.tray) return Fail("tray: the tray runs already (tray stop)");
  if (shell.update) return Fail("tray: an update is running (update wait)");
  shell.tray = std::make_unique<TrayWorld>(shell.root, shell.session, shell.stream, shell.cameraOptions);
  std::string error;
  if (!shell.tray->Start(!viewerOff, kShellTrayClockRate, &error)) {
    shell.tray->Stop();
    shell.tray.reset();
    return Fail("tray: " + error);
  }
  std::printf("the tray runs; 'wait MS' lets PC time pass and shows what happens\n");
  return 0;
}

int VerbMenu(Shell& shell, const Args& words) {
  if (words.empty() || words.size() > 2) return Fail("menu needs 50hz, 60hz or exit (and an optional picture folder)");
  if (!shell.tray) return Fail("menu: the tray is not running (tray start)");
  std::string error;
  if (!shell.tray->Menu(words[0], words.size() == 2 ? words[1] : std::string(), &error))
    return Fail("menu: " + error);
  shell.tray->Advance(500);  // the tray handles the click
  return 0;
}

int VerbHelp(Shell& shell, const Args& words);

int VerbQuit(Shell& shell, const Args& words) {
  shell.quit = true;
  return 0;
}

const ShellVerb kVerbs[] = {
    {"plug", "plug [PROFILE|FILE]", "plug the camera (or another one) in", VerbPlug},
    {"unplug", "unplug", "pull the camera out, streaming or not", VerbUnplug},
    {"stream", "stream FORMAT WxH", "open a capture stream that keeps running in the background", VerbStream},
    {"stop", "stop", "stop the stream", VerbStop},
    {"frames", "frames N", "wait for N more frames and list them", VerbFrames},
    {"wait", "wait MS", "let MS milliseconds of PC time pass", VerbWait},
    {"press", "press 1|2|4", "press the camera's snapshot button", VerbPress},
    {"tray", "tray start [--viewer on|off]|stop", "run the tray button manager (PC time runs 20x faster)", VerbTray},
    {"menu", "menu 50hz|60hz|exit [DIR]", "pick a tray menu item (DIR: its picture tray_menu.png)", VerbMenu},
    {"props", "props list|get NAME|set NAME VALUE [auto|manual]|button 1|2|4", "as 'qcam props'", VerbProps},
    {"private", "private [--stream F:WxH] get ID|set ID WORD... [--length N]", "as 'qcam private'", ShellPrivate},
    {"vfw", "vfw [--stream F:WxH] [--out FILE.png]", "as 'qcam vfw'", ShellVfw},
    {"update", "update [--firmware F] [--options O] [--unplug-at-packet N] [--out DIR] [--background]",
     "as 'qcam update' (the camera is let go first; plug it again after)", ShellUpdate},
    {"", "update wait", "after --background: wait for the update's end and show it", nullptr},
    {"flash", "flash [--dump FILE] [--version]", "as 'qcam flash'", ShellFlash},
    {"pages", "pages [--stream F:WxH] [--via com|vfw] [--page P] [--do ACTION]... [--out DIR]", "as 'qcam pages'",
     ShellPages},
    {"help", "help", "list the commands", VerbHelp},
    {"quit", "quit", "end the shell (as does the end of the input)", VerbQuit},
};

int VerbHelp(Shell& shell, const Args& words) {
  for (const ShellVerb& v : kVerbs) std::printf("  %-58s %s\n", v.syntax, v.summary);
  std::printf("Lines starting with # are comments; \"double quotes\" keep spaces in a word.\n");
  return 0;
}

const ShellVerb* FindVerb(const std::string& name) {
  for (const ShellVerb& v : kVerbs)
    if (v.run && name == v.name) return &v;
  return nullptr;
}

}  // namespace

bool SplitShellLine(const std::string& line, Args* words, std::string* error) {
  words->clear();
  std::string word;
  bool inWord = false, quoted = false;
  for (char c : line) {
    if (c == '"') {
      quoted = !quoted;
      inWord = true;
    } else if (!quoted && (c == ' ' || c == '\t' || c == '\r')) {
      if (inWord) words->push_back(word);
      word.clear();
      inWord = false;
    } else {
      word += c;
      inWord = true;
    }
  }
  if (quoted) {
    *error = "unbalanced double quote";
    return false;
  }
  if (inWord) words->push_back(word);
  return true;
}

int RunShell(Shell& shell, std::istream& in, bool interactive) {
  int status = 0;
  std::string line;
  while (!shell.quit) {
    if (interactive) {
      std::printf("qcam> ");
      std::fflush(stdout);
    }
    if (!std::getline(in, line)) break;
    Args words;
    std::string error;
    if (!SplitShellLine(line, &words, &error)) {
      status = Fail(error);
      continue;
    }
    if (words.empty() || words[0][0] == '#') continue;
    const ShellVerb* verb = FindVerb(words[0]);
    const int rc = verb ? verb->run(shell, Args(words.begin() + 1, words.end()))
                        : Fail("unknown command '" + words[0] + "' (help lists them)");
    if (rc != 0) status = rc;
    shell.session.Keep();  // the camera's state after every line, as after every command
    std::fflush(stdout);
  }
  if (interactive && !shell.quit) std::printf("\n");
  if (shell.update) {
    const int rc = ShellUpdate(shell, {"wait"});  // an update still running ends as it would
    if (rc != 0) status = rc;
  }
  if (shell.tray) {
    shell.tray->Stop();
    shell.tray.reset();
  }
  shell.stream.Stop();
  shell.session.End();
  return status;
}

int CmdShell(const Args& args) {
  ParsedOptions opts;
  std::string error;
  if (!ParseOptions(args, {{"root", true}, {"camera", true}, {"source", true}, {"scene", true}, {"help", false}},
                    &opts, &error))
    return Fail(error);
  if (opts.Has("help")) {
    std::printf("usage: qcam shell --root DIR [--camera PROFILE|FILE] [--source PICTURE|--scene face]\n"
                "Plugs the camera in and reads commands, one per line, from standard input (a\n"
                "prompt only on a terminal); each prints its result. The camera and any stream\n"
                "stay alive from line to line. Ends at 'quit' or the end of the input, with\n"
                "status 0 when every command succeeded, else 2. Commands:\n");
    Shell shell;
    return VerbHelp(shell, {});
  }
  Shell shell;
  shell.root = opts.Get("root");
  if (shell.root.empty()) return Fail("shell needs --root DIR");
  if (!EnsurePackageInstalled(shell.root, &error)) return Fail(error);
  CameraOptionsFromArgs(opts, &shell.cameraOptions);
  if (!PlugCamera(shell.root, shell.cameraOptions, &shell.session, &error)) return Fail(error);
  return RunShell(shell, std::cin, isatty(0) != 0);
}

}  // namespace qcam_tool
