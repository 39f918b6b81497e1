// The simulated camera's power state as text, and its file.
#include "sim/camera_state.h"

#include <cstdio>
#include <cstring>
#include <set>
#include <sstream>

namespace sim {
namespace {

constexpr const char* kHeader = "qcam-camera-state 1";
constexpr const char* kChecksumItem = "checksum ";

std::string Hex(uint32_t value, int digits) {
  char buf[16];
  std::snprintf(buf, sizeof(buf), "0x%0*X", digits, value);
  return buf;
}

std::string HexBytes(const std::array<uint8_t, 26>& bytes) {
  std::string s;
  char buf[3];
  for (uint8_t b : bytes) {
    std::snprintf(buf, sizeof(buf), "%02X", b);
    s += buf;
  }
  return s;
}

// "0x" and 1 to 8 hex digits, at most `max`.
bool ParseHex(const std::string& text, uint32_t max, uint32_t* value) {
  if (text.size() < 3 || text.size() > 10 || text[0] != '0' || (text[1] != 'x' && text[1] != 'X')) return false;
  uint64_t v = 0;
  for (size_t i = 2; i < text.size(); ++i) {
    const char c = text[i];
    const int d = c >= '0' && c <= '9' ? c - '0' : c >= 'a' && c <= 'f' ? c - 'a' + 10 : c >= 'A' && c <= 'F' ? c - 'A' + 10 : -1;
    if (d < 0) return false;
    v = v * 16 + uint64_t(d);
  }
  if (v > max) return false;
  *value = uint32_t(v);
  return true;
}

// Optional '-' and 1 to 10 decimal digits within the 32-bit signed range.
bool ParseDecimal(const std::string& text, int64_t min, int64_t max, int64_t* value) {
  size_t i = !text.empty() && text[0] == '-' ? 1 : 0;
  if (i == text.size() || text.size() - i > 10) return false;
  int64_t v = 0;
  for (; i < text.size(); ++i) {
    if (text[i] < '0' || text[i] > '9') return false;
    v = v * 10 + (text[i] - '0');
  }
  if (text[0] == '-') v = -v;
  if (v < min || v > max) return false;
  *value = v;
  return true;
}

bool ParseRecord(const std::string& text, std::array<uint8_t, 26>* out) {
  if (text.size() != out->size() * 2) return false;
  for (size_t i = 0; i < out->size(); ++i) {
    uint32_t b = 0;
    if (!ParseHex("0x" + text.substr(2 * i, 2), 0xFF, &b)) return false;
    (*out)[i] = uint8_t(b);
  }
  return true;
}

bool ParseFlag(const std::string& text, const char* yes, const char* no, bool* value) {
  if (text == yes) *value = true;
  else if (text == no) *value = false;
  else return false;
  return true;
}

std::vector<std::string> Words(const std::string& line) {
  std::vector<std::string> words;
  std::istringstream in(line);
  std::string w;
  while (in >> w) words.push_back(w);
  return words;
}

// One item line into the state; false with the reason.
bool ParseItem(const std::vector<std::string>& w, CameraPowerState* s, std::set<std::string>* seen,
               std::string* why) {
  const std::string& item = w[0];
  const size_t arity = item == "control" ? 4 : item == "register" ? 3 : 2;
  if (w.size() != arity) {
    *why = "'" + item + "' takes " + std::to_string(arity - 1) + " value(s)";
    return false;
  }
  uint32_t a = 0, b = 0;
  int64_t n = 0;
  if (item == "control") {
    int64_t entity = 0, selector = 0;
    if (!ParseDecimal(w[1], 0, 255, &entity) || !ParseDecimal(w[2], 0, 255, &selector) ||
        !ParseDecimal(w[3], INT32_MIN, INT32_MAX, &n)) {
      *why = "bad control line";
      return false;
    }
    const uint16_t key = uint16_t(entity << 8 | selector);
    if (!s->controls.emplace(key, int32_t(n)).second) {
      *why = "control " + w[1] + " " + w[2] + " given twice";
      return false;
    }
    return true;
  }
  if (item == "register") {
    if (!ParseHex(w[1], 0xFFFF, &a) || !ParseHex(w[2], 0xFF, &b)) {
      *why = "bad register line";
      return false;
    }
    if (!s->registers.emplace(uint16_t(a), uint8_t(b)).second) {
      *why = "register " + w[1] + " given twice";
      return false;
    }
    return true;
  }
  if (!seen->insert(item).second) {
    *why = "'" + item + "' given twice";
    return false;
  }
  bool ok = false;
  if (item == "descriptor") {
    ok = ParseHex(w[1], 0xFFFFFFFFu, &s->descriptorHash);
  } else if (item == "selected-register") {
    ok = ParseHex(w[1], 0xFFFF, &a);
    s->selectedRegister = uint16_t(a);
  } else if (item == "led") {
    ok = ParseFlag(w[1], "on", "off", &s->ledOn);
  } else if (item == "button") {
    ok = ParseDecimal(w[1], 0, 4, &n) && n != 3;
    s->buttonState = uint32_t(n);
  } else if (item == "probe") {
    ok = ParseRecord(w[1], &s->probe);
  } else if (item == "commit") {
    ok = ParseRecord(w[1], &s->commit);
  } else if (item == "committed") {
    ok = ParseFlag(w[1], "yes", "no", &s->committed);
  } else if (item == "frame-id") {
    ok = ParseFlag(w[1], "1", "0", &s->frameId);
  } else {
    *why = "unknown item '" + item + "'";
    return false;
  }
  if (!ok) *why = "bad value '" + w[1] + "' for '" + item + "'";
  return ok;
}

}  // namespace

uint32_t Fnv1a(const uint8_t* data, size_t size) {
  uint32_t h = 2166136261u;
  for (size_t i = 0; i < size; ++i) h = (h ^ data[i]) * 16777619u;
  return h;
}

std::string RenderCameraState(const CameraPowerState& s) {
  std::string t = std::string(kHeader) + "\n";
  t += "descriptor " + Hex(s.descriptorHash, 8) + "\n";
  for (const auto& c : s.controls)
    t += "control " + std::to_string(c.first >> 8) + " " + std::to_string(c.first & 0xFF) + " " +
         std::to_string(c.second) + "\n";
  for (const auto& r : s.registers) t += "register " + Hex(r.first, 4) + " " + Hex(r.second, 2) + "\n";
  t += "selected-register " + Hex(s.selectedRegister, 4) + "\n";
  t += std::string("led ") + (s.ledOn ? "on" : "off") + "\n";
  t += "button " + std::to_string(s.buttonState) + "\n";
  t += "probe " + HexBytes(s.probe) + "\n";
  t += "commit " + HexBytes(s.commit) + "\n";
  t += std::string("committed ") + (s.committed ? "yes" : "no") + "\n";
  t += std::string("frame-id ") + (s.frameId ? "1" : "0") + "\n";
  t += kChecksumItem + Hex(Fnv1a(reinterpret_cast<const uint8_t*>(t.data()), t.size()), 8) + "\n";
  return t;
}

bool ParseCameraState(const std::string& text, CameraPowerState* out, std::string* error) {
  // The checksum line is the last line and covers every byte before it.
  const size_t last = text.size() >= 2 ? text.rfind('\n', text.size() - 2) : std::string::npos;
  if (text.empty() || text.back() != '\n' || last == std::string::npos ||
      text.compare(last + 1, std::strlen(kChecksumItem), kChecksumItem) != 0) {
    *error = "no checksum line at the end (cut short?)";
    return false;
  }
  uint32_t sum = 0;
  const std::string sumText = text.substr(last + 1 + std::strlen(kChecksumItem));
  if (!ParseHex(sumText.substr(0, sumText.size() - 1), 0xFFFFFFFFu, &sum) ||
      sum != Fnv1a(reinterpret_cast<const uint8_t*>(text.data()), last + 1)) {
    *error = "checksum does not match the contents";
    return false;
  }
  std::istringstream in(text.substr(0, last + 1));
  std::string line;
  if (!std::getline(in, line) || line != kHeader) {
    *error = "not a camera state file (first line is not '" + std::string(kHeader) + "')";
    return false;
  }
  CameraPowerState s;
  std::set<std::string> seen;
  for (int number = 2; std::getline(in, line); ++number) {
    const std::vector<std::string> w = Words(line);
    std::string why;
    if (w.empty()) why = "empty line";
    if (w.empty() || !ParseItem(w, &s, &seen, &why)) {
      *error = "line " + std::to_string(number) + ": " + why;
      return false;
    }
  }
  for (const char* item : {"descriptor", "selected-register", "led", "button", "probe", "commit", "committed",
                           "frame-id"}) {
    if (!seen.count(item)) {
      *error = std::string("'") + item + "' is missing";
      return false;
    }
  }
  // The file is ours: a text that reads but is not written as this tool
  // writes it (lower-case or short hex, leading zeros, a reordered line)
  // was changed by hand, and a checksum that still matches proves nothing.
  if (RenderCameraState(s) != text) {
    *error = "not in the form qcam writes (edited by hand?)";
    return false;
  }
  *out = std::move(s);
  return true;
}

}  // namespace sim
