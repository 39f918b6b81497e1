// Kernel-streaming property requests as a person reads them: what the pages
// (or any program) send to the camera, decoded from the request's input
// bytes. Plain C++, so that tests of either world can use it.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace qcam_tool {

// "set private 7 [1]", "get private 2", "set procamp 0 = 12 (manual)",
// "set camera 4 = -5 (auto)"; empty for a request that is no property
// request of those three sets (or too short to be one).
std::string DescribePropertyRequest(uint32_t ioControlCode, const void* input, uint32_t inputSize);

// Collects the descriptions of the requests sent while it lives (set
// requests only, or gets as well), through the PC's request observer.
class RequestRecorder {
 public:
  explicit RequestRecorder(bool withGets = false);
  ~RequestRecorder();
  RequestRecorder(const RequestRecorder&) = delete;
  RequestRecorder& operator=(const RequestRecorder&) = delete;

  // The requests recorded since the last call, oldest first.
  std::vector<std::string> Take();

 private:
  struct State;
  State* state_;
};

}  // namespace qcam_tool
