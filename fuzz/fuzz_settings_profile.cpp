// The updater's settings as any text gives them: the store filled from the
// input, every lookup the updater makes (the GUID text through the system's
// parser, the numbers, the device patterns formed from the ids), and one
// more lookup by section and key names from the input.
#include <string>

#include "updater/device_pattern.h"
#include "updater/settings_profile.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size > 16384) return 0;
  const std::string text(reinterpret_cast<const char*>(data), size);
  CSettingsProfile profile;
  profile.ParseText(text);
  const UpdaterSettings s = ReadUpdaterSettings(profile);
  size_t sum = s.pid3.size() + s.gpio + (s.writeProtect ? 1 : 0);
  for (unsigned char b : s.guid) sum += b;
  const std::vector<std::string> patterns = {MakeDevicePattern("", s.pid3), MakeDevicePattern(s.vid4, s.pid4),
                                             MakeDevicePattern(s.vid5, s.pid5)};
  sum += MatchesDevicePattern(text, patterns) ? 1 : 0;
  const size_t cut = text.find('|');
  if (cut != std::string::npos) sum += profile.Lookup(text.substr(0, cut), text.substr(cut + 1), "x;y").size();
  return sum == size_t(-1) ? 1 : 0;
}
