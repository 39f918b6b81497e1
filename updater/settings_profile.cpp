// The updater's settings store and the settings read from it.
#include "updater/settings_profile.h"

#include <windows.h>
#include <objbase.h>

#include <cctype>
#include <cstdlib>
#include <cstring>

namespace {

bool SameName(const std::string& a, const std::string& b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i)
    if (std::tolower(static_cast<unsigned char>(a[i])) != std::tolower(static_cast<unsigned char>(b[i]))) return false;
  return true;
}

std::string Trim(const std::string& s) {
  size_t b = 0, e = s.size();
  while (b < e && std::isspace(static_cast<unsigned char>(s[b]))) ++b;
  while (e > b && std::isspace(static_cast<unsigned char>(s[e - 1]))) --e;
  return s.substr(b, e - b);
}

}  // namespace

CSettingsProfile::Section* CSettingsProfile::FindSection(const std::string& name) {
  for (Section& s : sections_)
    if (SameName(s.name, name)) return &s;
  return nullptr;
}

const CSettingsProfile::Section* CSettingsProfile::FindSection(const std::string& name) const {
  return const_cast<CSettingsProfile*>(this)->FindSection(name);
}

void CSettingsProfile::AddValue(const std::string& section, const std::string& key, const std::string& value) {
  Section* s = FindSection(section);
  if (!s) {
    sections_.push_back(Section{section, {}});
    s = &sections_.back();
  }
  s->values.emplace_back(key, value);
}

void CSettingsProfile::ParseText(const std::string& text) {
  std::string section;
  bool inSection = false;
  size_t at = 0;
  while (at < text.size()) {
    size_t end = text.find('\n', at);
    if (end == std::string::npos) end = text.size();
    const std::string line = Trim(text.substr(at, end - at));
    at = end + 1;
    if (line.size() >= 2 && line.front() == '[' && line.back() == ']') {
      section = Trim(line.substr(1, line.size() - 2));
      inSection = true;
    } else if (inSection) {
      const size_t eq = line.find('=');
      if (eq != std::string::npos && eq > 0) AddValue(section, Trim(line.substr(0, eq)), Trim(line.substr(eq + 1)));
    }
  }
}

std::string CSettingsProfile::Lookup(const std::string& section, const std::string& key,
                                     const std::string& fallback) const {
  std::string value = fallback;
  if (const Section* s = FindSection(section)) {
    for (auto it = s->values.rbegin(); it != s->values.rend(); ++it) {
      if (SameName(it->first, key)) {
        value = it->second;
        break;
      }
    }
  }
  const size_t semicolon = value.rfind(';');
  if (semicolon != std::string::npos) value.erase(semicolon);
  return value;
}

UpdaterSettings ReadUpdaterSettings(const CSettingsProfile& profile) {
  UpdaterSettings s;
  s.pid3 = profile.Lookup("ISPSet", "PID3", "");
  s.pid4 = profile.Lookup("ISPSet", "PID4", "");
  s.vid4 = profile.Lookup("ISPSet", "VID4", "");
  s.pid5 = profile.Lookup("ISPSet", "PID5", "");
  s.vid5 = profile.Lookup("ISPSet", "VID5", "");
  const std::string guid = profile.Lookup("ISPSet", "XUGUID", "{C987A729-59D3-4569-8467-FF0849FC19E8}");
  // The GUID text in registry form, through the wide-character parser.
  WCHAR wide[64] = {};
  if (guid.size() < 64) {
    for (size_t i = 0; i < guid.size(); ++i) wide[i] = WCHAR(static_cast<unsigned char>(guid[i]));
    GUID parsed;
    if (SUCCEEDED(CLSIDFromString(wide, &parsed))) {
      std::memcpy(s.guid, &parsed, sizeof(parsed));
      s.guidValid = true;
    }
  }
  s.writeProtect = std::strtol(profile.Lookup("WriteProtect", "WPFuncEnable", "0").c_str(), nullptr, 10) != 0;
  s.gpio = static_cast<unsigned char>(std::strtoul(profile.Lookup("WriteProtect", "GPIO", "0").c_str(), nullptr, 16));
  return s;
}
