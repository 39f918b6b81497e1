#include "tools/qcam/request_log.h"

#include <cstring>
#include <mutex>

#include "platform/machine/ks_devices.h"

namespace qcam_tool {
namespace {

constexpr uint32_t kIoctlKsProperty = 0x2F0003;
constexpr uint32_t kTypeGet = 1;
constexpr uint32_t kTypeSet = 2;
constexpr uint32_t kHeaderSize = 24;  // set GUID, id, flags
constexpr uint32_t kPrivateWords = 272;

// The property sets by the bytes of their GUIDs (little-endian fields).
constexpr uint8_t kPrivateSet[16] = {0x20, 0xE8, 0xC2, 0x3D, 0x13, 0x47, 0xD2, 0x11,
                                     0xBA, 0x41, 0x00, 0xA0, 0xC9, 0x0D, 0x2B, 0x05};
constexpr uint8_t kProcAmpSet[16] = {0x60, 0x33, 0xE1, 0xC6, 0xAC, 0x30, 0xD0, 0x11,
                                     0xA1, 0x8C, 0x00, 0xA0, 0xC9, 0x11, 0x89, 0x56};
constexpr uint8_t kCameraSet[16] = {0x70, 0x33, 0xE1, 0xC6, 0xAC, 0x30, 0xD0, 0x11,
                                    0xA1, 0x8C, 0x00, 0xA0, 0xC9, 0x11, 0x89, 0x56};

uint32_t Word(const uint8_t* bytes, uint32_t offset) {
  uint32_t value;
  std::memcpy(&value, bytes + offset, sizeof(value));
  return value;
}

std::string FlagsText(uint32_t flags) {
  if (flags == 1) return "auto";
  if (flags == 2) return "manual";
  return "flags " + std::to_string(flags);
}

std::string PrivateWords(const uint8_t* bytes, uint32_t size) {
  uint32_t words = (size - kHeaderSize) / 4;
  if (words > kPrivateWords) words = kPrivateWords;
  uint32_t last = 0;
  for (uint32_t i = 0; i < words; ++i) {
    if (Word(bytes, kHeaderSize + 4 * i) != 0) last = i;
  }
  std::string text = "[";
  for (uint32_t i = 0; i <= last && i < words; ++i) {
    if (i) text += ' ';
    text += std::to_string(static_cast<int32_t>(Word(bytes, kHeaderSize + 4 * i)));
  }
  return text + "]";
}

}  // namespace

std::string DescribePropertyRequest(uint32_t ioControlCode, const void* input, uint32_t inputSize) {
  if (ioControlCode != kIoctlKsProperty || !input || inputSize < kHeaderSize) return std::string();
  const uint8_t* bytes = static_cast<const uint8_t*>(input);
  const uint32_t id = Word(bytes, 16);
  const uint32_t flags = Word(bytes, 20);
  if (flags != kTypeGet && flags != kTypeSet) return std::string();
  const std::string verb = flags == kTypeSet ? "set " : "get ";
  if (std::memcmp(bytes, kPrivateSet, 16) == 0) {
    std::string text = verb + "private " + std::to_string(id);
    if (flags == kTypeSet && inputSize >= kHeaderSize + 4) text += " " + PrivateWords(bytes, inputSize);
    return text;
  }
  const bool procAmp = std::memcmp(bytes, kProcAmpSet, 16) == 0;
  if (!procAmp && std::memcmp(bytes, kCameraSet, 16) != 0) return std::string();
  std::string text = verb + (procAmp ? "procamp " : "camera ") + std::to_string(id);
  // KSPROPERTY_VIDEOPROCAMP_S and KSPROPERTY_CAMERACONTROL_S: the header,
  // then the value and the flags.
  if (flags == kTypeSet && inputSize >= kHeaderSize + 8) {
    text += " = " + std::to_string(static_cast<int32_t>(Word(bytes, kHeaderSize))) + " (" +
            FlagsText(Word(bytes, kHeaderSize + 4)) + ")";
  }
  return text;
}

struct RequestRecorder::State {
  bool withGets = false;
  std::mutex lock;
  std::vector<std::string> seen;
  platform::KsRequestObserver previous;
};

RequestRecorder::RequestRecorder(bool withGets) : state_(new State) {
  state_->withGets = withGets;
  State* state = state_;
  state_->previous = platform::SetKsRequestObserver([state](uint32_t code, const void* in, uint32_t size) {
    std::string text = DescribePropertyRequest(code, in, size);
    if (text.empty() || (!state->withGets && text.compare(0, 4, "set ") != 0)) return;
    std::lock_guard<std::mutex> hold(state->lock);
    state->seen.push_back(text);
  });
}

RequestRecorder::~RequestRecorder() {
  platform::SetKsRequestObserver(state_->previous);
  delete state_;
}

std::vector<std::string> RequestRecorder::Take() {
  std::lock_guard<std::mutex> hold(state_->lock);
  std::vector<std::string> taken;
  taken.swap(state_->seen);
  return taken;
}

}  // namespace qcam_tool
