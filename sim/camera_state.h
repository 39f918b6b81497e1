// What the simulated camera keeps while it has power: the current values and
// automatic modes of its processing-unit and camera-terminal controls, its
// bridge registers (mirror, flip, colour, scene mode, LED...), the register
// the extension unit has selected, the LED, a snapshot-button press the
// driver has not looked at yet, and the negotiated probe and commit records.
// A real camera keeps all of it while applications come and go and loses it
// when it is unplugged; the simulated PC carries it from one program run to
// the next in a small text file that ends with a checksum, so that a damaged
// or cut file is recognised instead of half applied.
#pragma once

#include <array>
#include <cstdint>
#include <map>
#include <string>
#include <vector>

namespace sim {

struct CameraPowerState {
  // FNV-1a of the configuration descriptor of the camera the state belongs to.
  uint32_t descriptorHash = 0;
  std::map<uint16_t, int32_t> controls;   // entity << 8 | selector -> current value
  std::map<uint16_t, uint8_t> registers;  // bridge register address -> value
  uint16_t selectedRegister = 0;
  bool ledOn = false;
  uint32_t buttonState = 0;  // 0, or the press (1, 2, 4) waiting for the button check
  std::array<uint8_t, 26> probe{};   // the video probe and commit records as on the wire
  std::array<uint8_t, 26> commit{};
  bool committed = false;
  bool frameId = false;  // the FID bit of the next frame
};

// 32-bit FNV-1a over bytes.
uint32_t Fnv1a(const uint8_t* data, size_t size);
inline uint32_t DescriptorHash(const std::vector<uint8_t>& descriptor) {
  return Fnv1a(descriptor.data(), descriptor.size());
}

// The text form: a header line, one line per item, and a last line with the
// checksum of every byte before it.
std::string RenderCameraState(const CameraPowerState& state);
// Strict reader of the text form: false with a one-line reason for anything a
// rendering could not have produced (unknown or repeated items, bad numbers,
// a missing or wrong checksum, bytes after it); *out is untouched then.
bool ParseCameraState(const std::string& text, CameraPowerState* out, std::string* error);

}  // namespace sim
