// What a piece of work changed in the PC's registry: the registry's text
// rendering taken before and after, compared key by key.
#pragma once

#include <string>
#include <vector>

namespace qcam_tool {

struct RegistryChange {
  enum Kind { kAdded, kRemoved, kChanged } kind;
  std::string key;  // "HKEY_LOCAL_MACHINE\SOFTWARE\Classes\CLSID\{...}"
  int subkeys = 0;  // keys below it that came or went with it
};

// Keys present only after (added), only before (removed), or in both with
// other values (changed), in the order of the rendering; a key that came or
// went together with its parent is counted in the parent's `subkeys`
// instead of being listed. Any text is taken: lines that are no key header
// belong to the key above them.
std::vector<RegistryChange> DiffRegistryText(const std::string& before, const std::string& after);

// One line per change: "+ KEY", "- KEY", "* KEY" (values changed), with
// " (and N subkeys)" when others came or went with it.
std::string RegistryChangeLine(const RegistryChange& change);

}  // namespace qcam_tool
