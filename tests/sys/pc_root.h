// A fresh PC root per test for the kernel32 tests: its Windows, System32 and
// C folders, a chosen system language, a PC clock a thousand times faster
// than real time, and a check that every handle opened was closed.
#pragma once

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>

#include "platform/machine/handles.h"
#include "platform/machine/pc_clock.h"
#include "platform/machine/pc_settings.h"
#include "platform/nt/platform_control.h"

namespace sys_test {

class PcRootTest : public ::testing::Test {
 protected:
  void SetUp() override {
    platform::ResetMachine();
    char pattern[] = "/tmp/qcam-sys-XXXXXX";
    const char* dir = mkdtemp(pattern);
    ASSERT_NE(dir, nullptr);
    root_ = dir;
    ASSERT_TRUE(platform::SetRoot(root_));
    platform::SetPcClockRate(1000);
    handlesBefore_ = platform::LiveHandleCount();
  }
  void TearDown() override {
    EXPECT_EQ(platform::LiveHandleCount(), handlesBefore_) << "a handle was left open";
    platform::SetPcClockRate(1);
    platform::ResetMachine();
    const std::string cmd = "rm -rf '" + root_ + "'";
    ASSERT_EQ(std::system(cmd.c_str()), 0);
  }
  void SetLanguage(uint16_t languageId) {
    platform::PcSettings settings = platform::GetPcSettings();
    settings.languageId = languageId;
    ASSERT_TRUE(platform::SetPcSettings(settings));
  }
  // A host file below the root, by its path relative to the root.
  std::string Host(const std::string& relative) const { return root_ + "/" + relative; }
  std::string Read(const std::string& relative) const {
    std::ifstream in(Host(relative), std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
  }
  void Write(const std::string& relative, const std::string& bytes) const {
    std::ofstream out(Host(relative), std::ios::binary);
    out << bytes;
  }

  std::string root_;
  size_t handlesBefore_ = 0;
};

}  // namespace sys_test
