// The system's video input devices as the programs list them: the video
// input category's monikers, each moniker's display name and "FriendlyName"
// as ANSI text cut to the program's buffer size, and both lists in
// enumeration order. Written over the COM calls only, like the dialog layer.
#pragma once

#include <windows.h>
#include <dshow.h>

#include <cstddef>
#include <string>
#include <vector>

namespace appframe {

// No cut: the whole text.
constexpr size_t kWholeText = 0;

// The video input category's monikers, or null.
IEnumMoniker* VideoInputMonikers();
// ANSI text of `length` wide characters (-1: up to the terminator), cut at
// an embedded zero and to `bufferSize` - 1 bytes.
std::string WideToAnsi(LPCWSTR text, int length, size_t bufferSize);
std::string MonikerDisplayName(IMoniker* moniker, size_t bufferSize);
// A string of the moniker's property bag ("FriendlyName", "DevicePath"...);
// empty when the bag or the value is missing or is no string.
std::string MonikerProperty(IMoniker* moniker, LPCOLESTR name, size_t bufferSize);
std::string MonikerFriendlyName(IMoniker* moniker, size_t bufferSize);
// Both names of every video input device, in enumeration order.
void ListVideoInputDevices(size_t displaySize, size_t friendlySize, std::vector<std::string>* displayNames,
                           std::vector<std::string>* friendlyNames);

}  // namespace appframe
