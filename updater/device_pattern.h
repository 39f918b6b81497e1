// Which capture devices are the camera: lower-case substrings of the device
// path ("vid_1b3f&pid_9710") formed from vendor and product id texts, and
// the ids read back out of a device's display name.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

// The camera's vendor id and its two product ids, as they appear in USB
// device paths.
extern const char* const CAMERA_VENDOR_ID;
extern const char* const CAMERA_PRODUCT_ID_1;
extern const char* const CAMERA_PRODUCT_ID_2;

// "vid_V&" when P is "*", "pid_P" when V is "*", else "vid_V&pid_P"; lower case.
std::string MakeDevicePattern(const std::string& vendor, const std::string& product);
// The display name, lower-cased, contains one of the patterns.
bool MatchesDevicePattern(const std::string& displayName, const std::vector<std::string>& patterns);

struct DeviceIds {
  WORD vendor = 0;
  WORD product = 0;
  std::string productText;  // the (up to) four characters after "pid_"
};
// Reads the ids from a lower-cased display name: the four characters after
// the first "pid_" and after the last "vid_" before it, as far as the name
// has them. Parsing stops at the first character that is no hexadecimal
// digit (so "12g4" reads as 0x12). False when there is no "pid_".
bool ParseDeviceIds(const std::string& lowerName, DeviceIds* ids);
std::string LowerText(const std::string& text);
