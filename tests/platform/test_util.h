// Helpers for the tests of the kernel and Win32 stand-ins: a fresh PC root per
// test and UTF-16 literals for the kernel routines.
#pragma once

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>

#include "platform/nt/platform_control.h"

namespace platform_test {

// Each test gets an empty root folder below the system's temporary folder,
// removed again afterwards; the machine is reset before and after.
class MachineTest : public ::testing::Test {
 protected:
  void SetUp() override {
    platform::ResetMachine();
    char pattern[] = "/tmp/qcam-platform-XXXXXX";
    const char* dir = mkdtemp(pattern);
    ASSERT_NE(dir, nullptr);
    root_ = dir;
  }
  void TearDown() override {
    platform::ResetMachine();
    platform::SetDebugSink(nullptr);
    std::string cmd = "rm -rf '" + root_ + "'";
    ASSERT_EQ(std::system(cmd.c_str()), 0);
  }
  static std::string ReadHostFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
  }
  static void WriteHostFile(const std::string& path, const std::string& text) {
    std::ofstream out(path, std::ios::binary);
    out << text;
  }
  std::string root_;
};

}  // namespace platform_test
