// qcam shell driven through a pipe, as a script would drive it: one PC
// lifetime in which the camera stays plugged in, a stream keeps running in
// the background while other lines act, and every line prints its result.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <regex>

#include "sim/camera_flash.h"
#include "tests/qcam/qcam_test_files.h"
#include "tools/qcam/cmd_update.h"
#include "tools/qcam/commands.h"

namespace {

namespace fs = std::filesystem;

using qcam_test::ReadText;

// The qcam program built beside this test.
std::string QcamProgram() { return (fs::read_symlink("/proc/self/exe").parent_path() / "qcam").string(); }

struct ShellRun {
  int status = -1;
  std::string out, err;
};

ShellRun PipeIntoShell(const std::string& root, const std::string& script, const std::string& options = "") {
  const std::string dir = root + "-io";
  fs::create_directories(dir);
  qcam_test::WriteText(dir + "/script", script);
  const std::string command = "cat '" + dir + "/script' | '" + QcamProgram() + "' shell --root '" + root + "' " +
                              options + " > '" + dir + "/out' 2> '" + dir + "/err'";
  ShellRun r;
  const int rc = std::system(command.c_str());
  r.status = WIFEXITED(rc) ? WEXITSTATUS(rc) : -1;
  r.out = ReadText(dir + "/out");
  r.err = ReadText(dir + "/err");
  return r;
}

std::string FreshRoot(const std::string& name) {
  const std::string root = qcam_test::FreshDir("qcam_shell", name);
  fs::remove_all(root + "-io");
  return root;
}

int Count(const std::string& text, const std::string& pattern) {
  const std::regex re(pattern);
  return int(std::distance(std::sregex_iterator(text.begin(), text.end(), re), std::sregex_iterator()));
}

TEST(Shell, ScriptThroughAPipeKeepsOnePcAlive) {
  ASSERT_TRUE(fs::exists(QcamProgram()));
  const std::string root = FreshRoot("scenario");
  const ShellRun r = PipeIntoShell(root,
                                   "# settings first, then a stream in the background\n"
                                   "props set brightness -10\n"
                                   "stream YUY2 320x240\n"
                                   "frames 2\n"
                                   "press 1\n"
                                   "props button 1\n"
                                   "frames 2\n"
                                   "stream MJPG 320x240\n"
                                   "stop\n"
                                   "stop\n"
                                   "props get brightness\n"
                                   "unplug\n"
                                   "props get brightness\n"
                                   "plug\n"
                                   "props get brightness\n"
                                   "\"quoted word\"\n"
                                   "plug basic\n"
                                   "stream YUY2 640x480\n"
                                   "frames 0\n"
                                   "quit\n"
                                   "props set mirror 1\n");
  EXPECT_EQ(r.status, 2) << "some lines failed on purpose";
  EXPECT_EQ(r.out.find("qcam>"), std::string::npos) << "no prompt on a pipe";
  EXPECT_NE(r.out.find("streaming YUY2 320x240 in the background"), std::string::npos) << r.out;
  EXPECT_EQ(Count(r.out, "frame \\d+: 153600 bytes"), 4) << r.out;
  // The button pressed while the stream runs makes the next frame a still,
  // which the driver writes as the snapshot file (the still may come before
  // the listing starts).
  EXPECT_LE(Count(r.out, "frame \\d+: 153600 bytes, still"), 1) << r.out;
  EXPECT_TRUE(fs::exists(root + "/Windows/Snap.dat"));
  EXPECT_NE(r.err.find("stream: a YUY2 stream is running already"), std::string::npos) << r.err;
  EXPECT_NE(r.out.find("no stream is running"), std::string::npos) << r.out;
  EXPECT_EQ(Count(r.out, "brightness\\s+-10 "), 1) << r.out;
  EXPECT_NE(r.err.find("props: no camera is plugged in"), std::string::npos) << r.err;
  EXPECT_NE(r.out.find("plugged in the notebook camera (power-on values)"), std::string::npos) << r.out;
  EXPECT_EQ(Count(r.out, "brightness\\s+0 "), 1) << r.out;
  EXPECT_NE(r.err.find("unknown command 'quoted word'"), std::string::npos) << r.err;
  EXPECT_NE(r.out.find("plugged in the basic camera (power-on values)"), std::string::npos) << r.out;
  EXPECT_NE(r.err.find("the camera offers no YUY2 640x480"), std::string::npos) << r.err;
  EXPECT_NE(r.err.find("frames needs a count"), std::string::npos) << r.err;
  EXPECT_EQ(r.out.find("mirror = 1"), std::string::npos) << "nothing runs after quit";
  // The shell lets the camera go as a command does: the basic camera stays
  // plugged in with its state.
  const std::string record = ReadText(root + "/camera/plugged");
  EXPECT_NE(record.find("camera basic\nplugged yes"), std::string::npos) << record;
  EXPECT_TRUE(fs::exists(root + "/camera/power-state"));
}

TEST(Shell, EndOfInputKeepsTheStateAndAGoodScriptEndsWithZero) {
  const std::string root = FreshRoot("eof");
  ShellRun r = PipeIntoShell(root, "props set mirror 1\nstream MJPG 320x240\nframes 1\n");
  EXPECT_EQ(r.status, 0) << r.err;
  r = PipeIntoShell(root, "props get mirror\nhelp\n");
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_TRUE(std::regex_search(r.out, std::regex("mirror\\s+1 "))) << r.out;
  EXPECT_NE(r.out.find("press 1|2|4"), std::string::npos) << r.out;
  r = PipeIntoShell(root, "unbalanced \"quote\n");
  EXPECT_EQ(r.status, 2);
  EXPECT_NE(r.err.find("unbalanced double quote"), std::string::npos) << r.err;
  EXPECT_EQ(PipeIntoShell(root, "", "--camera toaster").status, 2);
  EXPECT_EQ(qcam_tool::CmdShell({"--camera", "basic"}), 2) << "no root";
}

TEST(Shell, PrivateInterfaceAndVfwSheetBesideARunningStream) {
  const std::string root = FreshRoot("user_mode");
  const ShellRun r = PipeIntoShell(root,
                                   "stream YUY2 640x480\n"
                                   "frames 1\n"
                                   "private set 7 1\n"
                                   "props get mirror\n"
                                   "private get 1 --length 4\n"
                                   "private --stream MJPG:320x240 get 1\n"
                                   "vfw --out '" + root + "-sheet.png'\n"
                                   "vfw --out \"" + root + "-sheet.png\"\n"
                                   "stop\n"
                                   "private --stream MJPG:320x240 get 1 --length 4\n");
  EXPECT_EQ(r.status, 2) << "two lines fail on purpose";
  EXPECT_NE(r.out.find("word[0]=1\n"), std::string::npos) << r.out;
  EXPECT_TRUE(std::regex_search(r.out, std::regex("mirror\\s+1 "))) << r.out;
  EXPECT_NE(r.out.find("word[0]=2\n"), std::string::npos) << "YUY2 while the shell's stream runs: " << r.out;
  EXPECT_NE(r.err.find("private: a stream is running already"), std::string::npos) << r.err;
  EXPECT_NE(r.err.find("cannot create '"), std::string::npos) << "single quotes are part of the word: " << r.err;
  EXPECT_EQ(Count(r.out, "page \\d: template \\d+, title"), 6) << r.out;
  EXPECT_TRUE(fs::exists(root + "-sheet.png"));
  EXPECT_NE(r.out.find("word[0]=3\n"), std::string::npos) << "MJPG once the shell's stream stopped: " << r.out;
}

TEST(Shell, CameraPulledOutDuringABackgroundUpdateAndTheNextUpdateRepairsIt) {
  const std::string root = FreshRoot("update");
  ASSERT_EQ(std::system(("'" + QcamProgram() + "' pc --root '" + root + "' --camera-driver generic > /dev/null").c_str()),
            0);
  const ShellRun r = PipeIntoShell(root,
                                   "update wait\n"
                                   "update --background --unplug-at-packet 0\n"
                                   "update --background\n"
                                   "update --background\n"
                                   "flash\n"
                                   "unplug\n"
                                   "unplug\n"
                                   "wait 50\n"
                                   "plug basic\n"
                                   "plug\n"
                                   "update wait\n"
                                   "update --background\n"
                                   "wait 10\n"
                                   "quit\n");
  EXPECT_EQ(r.status, 1) << "the stopped update's status: " << r.err;
  EXPECT_NE(r.out.find("no update is running"), std::string::npos) << r.out;
  // An update that cannot start says so at once, not as one running.
  EXPECT_NE(r.err.find("bad --unplug-at-packet value '0'"), std::string::npos) << r.err;
  EXPECT_EQ(Count(r.out, "the update runs in the background"), 2) << r.out;
  EXPECT_NE(r.err.find("update: an update is running already"), std::string::npos) << r.err;
  EXPECT_NE(r.err.find("flash: an update is running"), std::string::npos) << r.err;
  EXPECT_NE(r.err.find("plug: the update's camera takes no arguments"), std::string::npos) << r.err;
  // The second unplug finds the camera out; the background update's own
  // status lines may come between the two answers.
  const size_t pulled = r.out.find("pulled the camera out during the update\n");
  ASSERT_NE(pulled, std::string::npos) << r.out;
  EXPECT_NE(r.out.find("the camera is out already\n", pulled), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("plugged the camera in during the update"), std::string::npos) << r.out;
  // The first update stopped without the new firmware; the one 'quit' ended
  // brought the camera back with it.
  const size_t stopped = r.out.find("outcome:        stopped"), done = r.out.find("outcome:        done");
  ASSERT_NE(stopped, std::string::npos) << r.out;
  ASSERT_NE(done, std::string::npos) << r.out;
  EXPECT_LT(stopped, done);
  EXPECT_EQ(Count(r.out, "outcome: "), 2) << r.out;
  const std::string version = qcam_tool::FirmwareVersionText(0x0A0C0313);
  EXPECT_NE(r.out.find("version after:  " + version, stopped), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("camera:         boots firmware " + version, stopped), std::string::npos) << r.out;
  const std::string bytes = ReadText(root + "/camera/flash.bin");
  const std::vector<uint8_t> flash(bytes.begin(), bytes.end());
  EXPECT_EQ(sim::ImageFault(flash), "");
  EXPECT_EQ(sim::ImageVersion(flash), 0x0A0C0313u);
}

}  // namespace
