// The subcommands of qcam. Each takes the arguments after its name and
// returns the process exit status (0 success, 2 bad input or refusal).
#pragma once

#include <string>
#include <vector>

namespace qcam_tool {

using Args = std::vector<std::string>;

int CmdInstall(const Args& args);
int CmdFormats(const Args& args);
int CmdCapture(const Args& args);
int CmdSnapshot(const Args& args);
int CmdDemo(const Args& args);
int CmdDecode(const Args& args);
int CmdProps(const Args& args);
int CmdEffects(const Args& args);
int CmdPc(const Args& args);
int CmdPlug(const Args& args);
int CmdUnplug(const Args& args);
int CmdShell(const Args& args);
int CmdRegister(const Args& args);
int CmdPrivate(const Args& args);
int CmdVfw(const Args& args);
int CmdUpdate(const Args& args);
int CmdFlash(const Args& args);
int CmdPages(const Args& args);
int CmdTray(const Args& args);

// Verbs that work on a camera already plugged in, shared by their commands
// and the shell: the words after the command's own options.
struct CameraSession;
int RunProps(CameraSession& session, const Args& words);

}  // namespace qcam_tool
