// The registry's key tree.
#include "platform/nt/registry_tree.h"

namespace platform {
namespace registry {

std::string Fold(const std::string& s) {
  std::string out(s);
  for (char& c : out)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  return out;
}

bool StartsWithNoCase(const std::string& s, const std::string& prefix) {
  return s.size() >= prefix.size() && Fold(s.substr(0, prefix.size())) == Fold(prefix);
}

bool ValidKeyComponent(const std::string& c) {
  if (c.empty() || c.size() > kMaxKeyNameLength) return false;
  for (unsigned char ch : c)
    if (ch < 0x20 || ch == 0x7F) return false;
  return true;
}

bool ValidValueName(const std::string& n) {
  if (n.size() > kMaxValueNameLength) return false;
  for (unsigned char ch : n)
    if (ch < 0x20 || ch == 0x7F) return false;
  return true;
}

bool SplitKeyPath(const std::string& path, std::vector<std::string>* parts) {
  static const char* const kPrefixes[] = {"\\Registry\\MACHINE", "HKEY_LOCAL_MACHINE", "HKLM"};
  std::string rest;
  bool matched = false;
  for (const char* prefix : kPrefixes) {
    const std::string p(prefix);
    if (StartsWithNoCase(path, p) && (path.size() == p.size() || path[p.size()] == '\\')) {
      rest = path.substr(p.size());
      matched = true;
      break;
    }
  }
  if (!matched) return false;
  parts->clear();
  size_t i = 0;
  while (i <= rest.size()) {
    size_t j = rest.find('\\', i);
    if (j == std::string::npos) j = rest.size();
    if (j > i) {
      std::string c = rest.substr(i, j - i);
      if (!ValidKeyComponent(c)) return false;
      parts->push_back(std::move(c));
    }
    i = j + 1;
  }
  return parts->size() <= kMaxDepth;
}

RegKey* FindKey(RegKey* hive, const std::vector<std::string>& parts) {
  RegKey* k = hive;
  for (const std::string& c : parts) {
    auto it = k->subkeys.find(Fold(c));
    if (it == k->subkeys.end()) return nullptr;
    k = it->second.get();
  }
  return k;
}

RegKey* CreateKey(RegKey* hive, const std::vector<std::string>& parts, bool* created) {
  RegKey* k = hive;
  if (created) *created = false;
  for (const std::string& c : parts) {
    std::unique_ptr<RegKey>& slot = k->subkeys[Fold(c)];
    if (!slot) {
      slot.reset(new RegKey);
      slot->name = c;
      if (created) *created = true;
    }
    k = slot.get();
  }
  return k;
}

bool DeleteKey(RegKey* hive, const std::vector<std::string>& parts) {
  if (parts.empty()) return false;  // the hive itself stays
  std::vector<std::string> parentParts(parts.begin(), parts.end() - 1);
  RegKey* parent = FindKey(hive, parentParts);
  if (!parent) return false;
  return parent->subkeys.erase(Fold(parts.back())) == 1;
}

void SetValue(RegKey* key, const std::string& name, ULONG type, std::vector<uint8_t> data) {
  RegValue& v = key->values[Fold(name)];
  v.name = name;  // the case of the latest write is kept
  v.type = type;
  v.data = std::move(data);
}

}  // namespace registry
}  // namespace platform
