// Device patterns and the ids in a device path.
#include "updater/device_pattern.h"

#include <cctype>

const char* const CAMERA_VENDOR_ID = "1b3f";
const char* const CAMERA_PRODUCT_ID_1 = "9710";
const char* const CAMERA_PRODUCT_ID_2 = "9711";

namespace {

WORD ParseHex4(const std::string& text, size_t at) {
  WORD value = 0;
  for (size_t i = at; i < text.size() && i < at + 4; ++i) {
    const int c = static_cast<unsigned char>(text[i]);
    if (!std::isxdigit(c)) break;
    value = WORD(value << 4 | (std::isdigit(c) ? c - '0' : std::tolower(c) - 'a' + 10));
  }
  return value;
}

}  // namespace

std::string LowerText(const std::string& text) {
  std::string out = text;
  for (char& c : out) c = char(std::tolower(static_cast<unsigned char>(c)));
  return out;
}

std::string MakeDevicePattern(const std::string& vendor, const std::string& product) {
  if (product == "*") return LowerText("vid_" + vendor + "&");
  if (vendor == "*") return LowerText("pid_" + product);
  return LowerText("vid_" + vendor + "&pid_" + product);
}

bool MatchesDevicePattern(const std::string& displayName, const std::vector<std::string>& patterns) {
  const std::string lower = LowerText(displayName);
  for (const std::string& p : patterns)
    if (lower.find(p) != std::string::npos) return true;
  return false;
}

bool ParseDeviceIds(const std::string& lowerName, DeviceIds* ids) {
  const size_t pid = lowerName.find("pid_");
  if (pid == std::string::npos) return false;
  ids->productText = lowerName.substr(pid + 4, 4);
  ids->product = ParseHex4(lowerName, pid + 4);
  ids->vendor = 0;
  const size_t vid = pid >= 4 ? lowerName.rfind("vid_", pid - 4) : std::string::npos;
  if (vid != std::string::npos) ids->vendor = ParseHex4(lowerName, vid + 4);
  return true;
}
