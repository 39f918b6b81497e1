// The registry's key tree: keys and values with the names they were written
// with, found by case-folded name, and the key paths of both views
// (\Registry\MACHINE\... and HKEY_LOCAL_MACHINE\...) split into components.
#pragma once

#include <cstddef>
#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "platform/nt/ntddk.h"

namespace platform {
namespace registry {

// Limits of the registry: the real one's key-name, value-name and depth
// limits, and the largest value data kept.
inline constexpr size_t kMaxKeyNameLength = 255;
inline constexpr size_t kMaxValueNameLength = 16383;
inline constexpr size_t kMaxDepth = 512;
inline constexpr size_t kMaxValueData = 1u << 20;

// Lower-case ASCII: key and value lookups ignore case, as the registry does.
std::string Fold(const std::string& s);
bool StartsWithNoCase(const std::string& s, const std::string& prefix);

struct RegValue {
  std::string name;  // as written
  ULONG type = REG_NONE;
  std::vector<uint8_t> data;  // strings: UTF-8 without terminator
};

struct RegKey {
  std::string name;  // as written
  std::map<std::string, RegValue> values;                  // by folded name
  std::map<std::string, std::unique_ptr<RegKey>> subkeys;  // by folded name
};

bool ValidKeyComponent(const std::string& c);
bool ValidValueName(const std::string& n);
// Splits a key path of either view into its components below the hive.
// Empty components (doubled or trailing backslashes) are skipped.
bool SplitKeyPath(const std::string& path, std::vector<std::string>* parts);
RegKey* FindKey(RegKey* hive, const std::vector<std::string>& parts);
RegKey* CreateKey(RegKey* hive, const std::vector<std::string>& parts, bool* created);
// Deletes a key with everything below it; the hive itself stays.
bool DeleteKey(RegKey* hive, const std::vector<std::string>& parts);
// Sets a value; the case of the latest write is kept.
void SetValue(RegKey* key, const std::string& name, ULONG type, std::vector<uint8_t> data);

}  // namespace registry
}  // namespace platform
