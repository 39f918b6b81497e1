// A fresh PC root per test for the kernel32 tests: its Windows, System32 and
// C folders, a chosen system language, a PC clock a thousand times faster
// than real time, and a check that every handle opened was closed.
#pragma once

#include <string>

#include "platform/machine/handles.h"
#include "platform/machine/pc_clock.h"
#include "platform/machine/pc_settings.h"
#include "tests/platform/test_util.h"

namespace sys_test {

class PcRootTest : public platform_test::MachineTest {
 protected:
  void SetUp() override {
    MachineTest::SetUp();
    ASSERT_TRUE(platform::SetRoot(root_));
    platform::SetPcClockRate(1000);
    handlesBefore_ = platform::LiveHandleCount();
  }
  void TearDown() override {
    EXPECT_EQ(platform::LiveHandleCount(), handlesBefore_) << "a handle was left open";
    platform::SetPcClockRate(1);
    MachineTest::TearDown();
  }
  void SetLanguage(uint16_t languageId) {
    platform::PcSettings settings = platform::GetPcSettings();
    settings.languageId = languageId;
    ASSERT_TRUE(platform::SetPcSettings(settings));
  }
  // Host files below the root, by their paths relative to the root.
  std::string Host(const std::string& relative) const { return root_ + "/" + relative; }
  std::string Read(const std::string& relative) const { return ReadHostFile(Host(relative)); }
  void Write(const std::string& relative, const std::string& bytes) const { WriteHostFile(Host(relative), bytes); }

  size_t handlesBefore_ = 0;
};

}  // namespace sys_test
