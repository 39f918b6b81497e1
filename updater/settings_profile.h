// The updater's keyed settings: named sections of ordered key and value
// texts, names compared without regard to case. A lookup returns the value
// or the caller's default; a later duplicate key wins, and a value loses
// everything from its last ';' on. Nothing fills the store in the program,
// so every lookup gives its default.
#pragma once

#include <string>
#include <utility>
#include <vector>

class CSettingsProfile {
 public:
  void AddValue(const std::string& section, const std::string& key, const std::string& value);
  // Fills the store from INI-style text ("[section]" lines and "key=value"
  // lines; anything else is skipped).
  void ParseText(const std::string& text);
  std::string Lookup(const std::string& section, const std::string& key, const std::string& fallback) const;

 private:
  struct Section {
    std::string name;
    std::vector<std::pair<std::string, std::string>> values;
  };
  Section* FindSection(const std::string& name);
  const Section* FindSection(const std::string& name) const;
  std::vector<Section> sections_;
};

// The settings the updater runs with, read in their order.
struct UpdaterSettings {
  std::string pid3, pid4, vid4, pid5, vid5;
  bool guidValid = false;
  unsigned char guid[16] = {};  // the XUGUID text parsed (GUID memory layout)
  bool writeProtect = false;    // WPFuncEnable
  unsigned char gpio = 0;       // GPIO's low byte
};
UpdaterSettings ReadUpdaterSettings(const CSettingsProfile& profile);
