// The simulated PC's settings, kept in ROOT/pc.ini as "key=value" lines.
#include "platform/machine/pc_settings.h"

#include <cstdio>
#include <fstream>
#include <mutex>
#include <sstream>

#include "platform/nt/platform_control.h"

namespace platform {
namespace {

std::mutex g_lock;
PcSettings g_memory;          // the memory-only PC's settings
std::string g_cachedRoot;     // root whose file g_cached holds
PcSettings g_cached;
bool g_cacheValid = false;

std::string SettingsPath(const std::string& root) { return root + "/pc.ini"; }

bool ParseUnsigned(const std::string& text, uint32_t max, uint32_t* value) {
  if (text.empty() || text.size() > 10) return false;
  uint64_t v = 0;
  for (char c : text) {
    if (c < '0' || c > '9') return false;
    v = v * 10 + uint64_t(c - '0');
  }
  if (v > max) return false;
  *value = uint32_t(v);
  return true;
}

PcSettings Load(const std::string& root) {
  PcSettings s;
  std::ifstream in(SettingsPath(root));
  std::string line;
  while (std::getline(in, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    size_t eq = line.find('=');
    if (eq == std::string::npos) continue;
    std::string key = line.substr(0, eq), value = line.substr(eq + 1);
    uint32_t v = 0;
    if (!ParseUnsigned(value, 0xFFFFFFFFu, &v)) continue;  // a bad line keeps the default
    if (key == "language" && v <= 0xFFFF) s.languageId = uint16_t(v);
    else if (key == "windows_major") s.windowsMajor = v;
    else if (key == "windows_minor") s.windowsMinor = v;
    else if (key == "windows_build") s.windowsBuild = v;
    else if (key == "wow64") s.wow64 = v != 0;
    else if (key == "pending") s.pendingRequests = v != 0;
    else if (key == "generic_camera_driver") s.genericCameraDriver = v != 0;
  }
  return s;
}

}  // namespace

PcSettings GetPcSettings() {
  const std::string root = internal::CurrentRoot();
  std::lock_guard<std::mutex> hold(g_lock);
  if (root.empty()) return g_memory;
  if (!g_cacheValid || g_cachedRoot != root) {
    g_cached = Load(root);
    g_cachedRoot = root;
    g_cacheValid = true;
  }
  return g_cached;
}

bool SetPcSettings(const PcSettings& s) {
  const std::string root = internal::CurrentRoot();
  std::lock_guard<std::mutex> hold(g_lock);
  if (root.empty()) {
    g_memory = s;
    return true;
  }
  std::ostringstream text;
  text << "language=" << s.languageId << "\nwindows_major=" << s.windowsMajor << "\nwindows_minor="
       << s.windowsMinor << "\nwindows_build=" << s.windowsBuild << "\nwow64=" << (s.wow64 ? 1 : 0)
       << "\npending=" << (s.pendingRequests ? 1 : 0)
       << "\ngeneric_camera_driver=" << (s.genericCameraDriver ? 1 : 0) << "\n";
  const std::string path = SettingsPath(root), temp = path + ".tmp";
  {
    std::ofstream out(temp, std::ios::binary | std::ios::trunc);
    out << text.str();
    if (!out.good()) return false;
  }
  if (std::rename(temp.c_str(), path.c_str()) != 0) return false;
  g_cached = s;
  g_cachedRoot = root;
  g_cacheValid = true;
  return true;
}

namespace internal {
void ResetPcSettings() {
  std::lock_guard<std::mutex> hold(g_lock);
  g_memory = PcSettings();
  g_cacheValid = false;
}
}  // namespace internal

uint32_t AnsiCodePageOfLanguage(uint16_t languageId) {
  switch (languageId & 0x3FF) {  // by primary language
    case 0x11: return 932;       // Japanese
    case 0x12: return 949;       // Korean
    case 0x19: return 1251;      // Russian
    case 0x04:                   // Chinese: Traditional for Taiwan, Hong Kong, Macao
      return (languageId == 1028 || languageId == 3076 || languageId == 5124) ? 950 : 936;
    default: return 1252;
  }
}

}  // namespace platform
