// Helpers of the qcam scenario tests: fresh folders per test program run,
// whole files as text, and a command run with its output captured.
#pragma once

#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include <gtest/gtest.h>

namespace qcam_test {

// An empty folder below the temporary folder, named for the test program's
// process and the case, removed first if an earlier run left it.
inline std::string FreshDir(const std::string& prefix, const std::string& name) {
  const std::filesystem::path p =
      std::filesystem::temp_directory_path() / (prefix + "_" + std::to_string(::getpid()) + "_" + name);
  std::filesystem::remove_all(p);
  return p.string();
}

inline std::string ReadText(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

inline void WriteText(const std::string& path, const std::string& text) {
  std::ofstream(path, std::ios::binary | std::ios::trunc) << text;
}

// What a qcam command printed and returned, run in this process.
struct Outcome {
  int status = -1;
  std::string out, err;
};

inline Outcome RunCommand(int (*command)(const std::vector<std::string>&), const std::vector<std::string>& args) {
  Outcome o;
  ::testing::internal::CaptureStdout();
  ::testing::internal::CaptureStderr();
  o.status = command(args);
  o.out = ::testing::internal::GetCapturedStdout();
  o.err = ::testing::internal::GetCapturedStderr();
  return o;
}

}  // namespace qcam_test
