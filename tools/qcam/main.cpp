// qcam: installs the camera package on a simulated PC, plugs the simulated
// camera in, streams, changes settings and shows the pictures.
#include <cstdio>
#include <cstring>
#include <string>

#include "tools/qcam/commands.h"

namespace {

struct Command {
  const char* name;
  int (*run)(const qcam_tool::Args&);
  const char* summary;
};

const Command kCommands[] = {
    {"install", qcam_tool::CmdInstall, "create a PC root with the package's registry keys and folders"},
    {"pc", qcam_tool::CmdPc, "show and change the PC's language, Windows version, WOW64, pending requests"},
    {"plug", qcam_tool::CmdPlug, "plug the camera in (it keeps its state between commands)"},
    {"unplug", qcam_tool::CmdUnplug, "pull the camera out (it comes back with power-on values)"},
    {"register", qcam_tool::CmdRegister, "run the extension module's registration and show the keys it wrote"},
    {"private", qcam_tool::CmdPrivate, "call IAMCustomCameraProp Get or Set through COM, as the pages do"},
    {"vfw", qcam_tool::CmdVfw, "show the extension's pages in the VfW video-source sheet, as the mapper does"},
    {"update", qcam_tool::CmdUpdate, "run the firmware updater QCAMLDR on the camera and follow its dialog"},
    {"flash", qcam_tool::CmdFlash, "show the camera's flash: firmware version, checksums, device areas"},
    {"pages", qcam_tool::CmdPages, "use the camera's property pages: click, drag, type, apply, as a person does"},
    {"tray", qcam_tool::CmdTray, "run the tray button manager with its viewer and capture application for N seconds"},
    {"formats", qcam_tool::CmdFormats, "plug the camera in and list the formats the driver offers"},
    {"capture", qcam_tool::CmdCapture, "stream frames through the driver and save them"},
    {"snapshot", qcam_tool::CmdSnapshot, "show the snapshot file \\SystemRoot\\Snap.dat"},
    {"decode", qcam_tool::CmdDecode, "run the driver's JPEG decoder on a file"},
    {"props", qcam_tool::CmdProps, "list, read and change camera properties"},
    {"effects", qcam_tool::CmdEffects, "render a picture through every effect and frame"},
    {"shell", qcam_tool::CmdShell, "run commands from standard input on one PC lifetime"},
    {"demo", qcam_tool::CmdDemo, "install, stream, change settings, show the extension's sheet; say where the pictures are"},
};

void Usage(FILE* out) {
  std::fprintf(out, "usage: qcam COMMAND [options]\n\ncommands:\n");
  for (const Command& c : kCommands) std::fprintf(out, "  %-9s %s\n", c.name, c.summary);
  std::fprintf(out, "\n'qcam COMMAND --help' describes a command's options.\n");
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2 || !std::strcmp(argv[1], "--help") || !std::strcmp(argv[1], "-h") || !std::strcmp(argv[1], "help")) {
    Usage(argc < 2 ? stderr : stdout);
    return argc < 2 ? 2 : 0;
  }
  for (const Command& c : kCommands) {
    if (!std::strcmp(argv[1], c.name)) return c.run(qcam_tool::Args(argv + 2, argv + argc));
  }
  std::fprintf(stderr, "qcam: unknown command '%s'\n", argv[1]);
  Usage(stderr);
  return 2;
}
