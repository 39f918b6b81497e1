// qcam pages as a script uses it: the actions, the requests printed, the
// pictures written, what it refuses, and the shell verb with a stream
// running meanwhile.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

namespace {

namespace fs = std::filesystem;

struct QcamRun {
  int status = -1;
  std::string out, err;
};

std::string Slurp(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

class PagesCommandTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/qcam-pages-XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    dir_ = pattern;
    root_ = dir_ + "/root";
    qcam_ = (fs::read_symlink("/proc/self/exe").parent_path() / "qcam").string();
    ASSERT_EQ(Qcam("install --root " + root_).status, 0);
  }
  void TearDown() override { fs::remove_all(dir_); }

  // Runs qcam with the arguments (a shell command line), `input` on stdin.
  QcamRun Qcam(const std::string& arguments, const std::string& input = "") {
    std::ofstream(dir_ + "/in") << input;
    const std::string command = "'" + qcam_ + "' " + arguments + " < '" + dir_ + "/in' > '" + dir_ + "/out' 2> '" +
                                dir_ + "/err'";
    const int rc = std::system(command.c_str());
    QcamRun run;
    run.status = WIFEXITED(rc) ? WEXITSTATUS(rc) : -1;
    run.out = Slurp(dir_ + "/out");
    run.err = Slurp(dir_ + "/err");
    return run;
  }

  std::string dir_, root_, qcam_;
};

TEST_F(PagesCommandTest, ActionsReachTheCameraAndPicturesAreWritten) {
  QcamRun run = Qcam("pages --root " + root_ + " --page camera --do 'click 1113' --out " + dir_ + "/pictures");
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_NE(run.out.find("  set private 7 [1]\n"), std::string::npos) << run.out;
  EXPECT_NE(run.out.find("MirrorTmp = 1"), std::string::npos) << run.out;
  EXPECT_TRUE(fs::exists(dir_ + "/pictures/page-00.png"));
  EXPECT_TRUE(fs::exists(dir_ + "/pictures/page-01.png"));
  run = Qcam("props --root " + root_ + " get mirror");
  EXPECT_EQ(run.out.compare(0, 6, "mirror"), 0) << run.out;
  EXPECT_NE(run.out.find(" 1 "), std::string::npos) << run.out;

  // The video-source dialog: the effect page, sepia, then Cancel (sent at
  // once, so the effect stays).
  run = Qcam("pages --root " + root_ + " --via vfw --page effect --do 'click 2005' --do cancel");
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_NE(run.out.find("  set private 3 [5]\n"), std::string::npos) << run.out;
  EXPECT_NE(run.out.find("SpecialEffect = 5"), std::string::npos) << run.out;

  // The zoom page at 200 %, then the frame's second tab and Apply.
  run = Qcam("pages --root " + root_ + " --page zoom --do 'click 1142' --do 'trackbar 1143 8' --do 'tab 1' --do apply");
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_NE(run.out.find("  set private 9 [2000]\n"), std::string::npos) << run.out;
  EXPECT_NE(run.out.find("ZoomEnable = 1"), std::string::npos) << run.out;
}

TEST_F(PagesCommandTest, BadActionsAndHostsAreRefused) {
  const std::string pages = "pages --root " + root_ + " ";
  for (const char* bad : {"--do 'press 1113'", "--do 'click'", "--do 'click x'", "--do 'trackbar 1179'",
                          "--do 'select 1208 two'", "--do 'tab -1'", "--via ole", "--page gain",
                          "--via vfw --page command"}) {
    SCOPED_TRACE(bad);
    QcamRun run = Qcam(pages + bad);
    EXPECT_EQ(run.status, 2);
    EXPECT_NE(run.err.find("qcam: "), std::string::npos) << run.err;
  }
  // A hidden control cannot be clicked: the frame is cancelled and nothing
  // else happens.
  QcamRun run = Qcam(pages + "--do 'click 1210' --do 'click 1113'");
  EXPECT_EQ(run.status, 2);
  EXPECT_NE(run.err.find("1210"), std::string::npos) << run.err;
  EXPECT_EQ(run.out.find("set private 7"), std::string::npos) << run.out;
  EXPECT_NE(run.out.find("closing with Cancel"), std::string::npos) << run.out;
  // Nothing can follow the closing of the pages.
  run = Qcam(pages + "--do ok --do 'click 1113'");
  EXPECT_EQ(run.status, 2);
}

TEST_F(PagesCommandTest, TheShellChangesSettingsWhileItsStreamRuns) {
  QcamRun run = Qcam("shell --root " + root_,
                 "stream YUY2 320x240\n"
                 "pages --page effect --do \"click 2005\"\n"
                 "frames 1\n"
                 "pages --page camera --do \"click 1113\" --do \"select 1208 1\"\n"
                 "props get mirror\n"
                 "stop\n");
  ASSERT_EQ(run.status, 0) << run.err << run.out;
  EXPECT_NE(run.out.find("  set private 3 [5]\n"), std::string::npos) << run.out;
  EXPECT_NE(run.out.find("  set private 7 [1]\n"), std::string::npos) << run.out;
  // 320x240 offers sizes up to 640x480; row 1 is 176x144.
  EXPECT_NE(run.out.find("  set private 12 [1]\n"), std::string::npos) << run.out;
}

}  // namespace
