// Camera settings by name, shared by 'qcam props' and 'qcam capture --set':
// every standard and private property of the driver under a short name
// (brightness, exposure, mirror, zoom, led, ...), read and changed through
// the property requests a capture application would send.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "sim/class_driver.h"

namespace qcam_tool {

// Applies one setting to the plugged-in camera. `value` is a number
// (decimal or 0x hex, negative allowed), "on"/"off", or for the controls
// with an automatic mode "auto", "manual" or "NUMBER,auto|manual"; for
// udframe it is a path. Returns false with the reason in *message (the
// driver's refusal with its status, an unknown name or a bad value); on
// success *message tells what was done.
bool ApplyNamedSetting(sim::ClassDriver& cd, const std::string& name, const std::string& value,
                       std::string* message);

// Reads one setting: *text receives "NAME = VALUE ..." as 'qcam props get'
// prints it. False with the reason in *message.
bool ReadNamedSetting(sim::ClassDriver& cd, const std::string& name, std::string* text, std::string* message);

// One line per property (standard, then private): name, current value,
// range and flags, as 'qcam props list' prints them.
std::vector<std::string> ListNamedSettings(sim::ClassDriver& cd);

// The names ApplyNamedSetting and ReadNamedSetting accept.
std::vector<std::string> SettingNames();

// Marks the next processed frame as a snapshot through the private set.
bool RequestSnapshot(sim::ClassDriver& cd, std::string* message);

// Sends one private-set request (1112-byte record, the same buffer in and
// out) through the capture filter's device handle. D[0] .. D[271] in `words`; on return they
// hold the driver's answer. The driver's status comes back in *status.
bool PrivateRequest(sim::ClassDriver& cd, bool set, uint32_t id, std::vector<int32_t>* words, NTSTATUS* status);

// A status as "STATUS_INVALID_PARAMETER (0xC000000D)".
std::string StatusText(NTSTATUS status);

}  // namespace qcam_tool

using qcam_tool::ApplyNamedSetting;
