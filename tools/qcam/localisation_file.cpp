#include "tools/qcam/localisation_file.h"

#include <cstdio>
#include <filesystem>
#include <fstream>

#include "platform/machine/codepages.h"

extern "C" const char qcam_localisation_source[];
extern "C" const char qcam_localisation_source_end[];
extern "C" const char qcam_tray_localisation_source[];
extern "C" const char qcam_tray_localisation_source_end[];

namespace qcam {
namespace {

// The section name of a "[name]" line (blanks around it allowed), or false.
bool SectionHeader(const std::string& line, std::string* name) {
  size_t first = line.find_first_not_of(" \t");
  size_t last = line.find_last_not_of(" \t");
  if (first == std::string::npos || line[first] != '[' || line[last] != ']' || last <= first) return false;
  *name = line.substr(first + 1, last - first - 1);
  return true;
}

// Strict UTF-8 (no overlong forms, surrogates or values past U+10FFFF).
bool ValidUtf8(const std::string& text) {
  size_t i = 0;
  while (i < text.size()) {
    unsigned char c = static_cast<unsigned char>(text[i]);
    size_t extra;
    uint32_t value;
    if (c < 0x80) {
      ++i;
      continue;
    } else if (c >= 0xC2 && c <= 0xDF) {
      extra = 1;
      value = c & 0x1F;
    } else if (c >= 0xE0 && c <= 0xEF) {
      extra = 2;
      value = c & 0x0F;
    } else if (c >= 0xF0 && c <= 0xF4) {
      extra = 3;
      value = c & 0x07;
    } else {
      return false;
    }
    if (text.size() - i <= extra) return false;
    for (size_t k = 1; k <= extra; ++k) {
      unsigned char next = static_cast<unsigned char>(text[i + k]);
      if ((next & 0xC0) != 0x80) return false;
      value = (value << 6) | (next & 0x3F);
    }
    if ((extra == 2 && (value < 0x800 || (value >= 0xD800 && value <= 0xDFFF))) ||
        (extra == 3 && (value < 0x10000 || value > 0x10FFFF))) {
      return false;
    }
    i += extra + 1;
  }
  return true;
}

std::string LineError(size_t number, const std::string& what) {
  return "line " + std::to_string(number) + ": " + what;
}

}  // namespace

std::string LocalisationSource() {
  return std::string(qcam_localisation_source, qcam_localisation_source_end - qcam_localisation_source);
}

std::string TrayLocalisationSource() {
  return std::string(qcam_tray_localisation_source, qcam_tray_localisation_source_end - qcam_tray_localisation_source);
}

uint32_t SectionCodePage(const std::string& section) {
  if (section == "LANG_JAPANESE") return 932;
  if (section == "LANG_CHINESE_S") return 936;
  if (section == "LANG_KOREAN") return 949;
  if (section == "LANG_CHINESE_T") return 950;
  if (section == "LANG_RUSSIAN") return 1251;
  return 1252;
}

bool ConvertLocalisationSource(const std::string& utf8, std::string* ansi, std::string* error) {
  ansi->clear();
  uint32_t codePage = SectionCodePage("");
  size_t number = 0;
  size_t start = 0;
  while (start < utf8.size()) {
    size_t end = utf8.find('\n', start);
    if (end == std::string::npos) end = utf8.size();
    std::string line = utf8.substr(start, end - start);
    start = end + 1;
    ++number;
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (!ValidUtf8(line)) {
      *error = LineError(number, "not UTF-8 text");
      return false;
    }
    std::string section;
    if (SectionHeader(line, &section)) codePage = SectionCodePage(section);
    std::string converted = platform::Utf8ToAnsi(codePage, line);
    // A character the code page lacks would come out as '?': refuse it.
    if (platform::AnsiToUtf8(codePage, converted) != line) {
      *error = LineError(number, "text that code page " + std::to_string(codePage) + " cannot hold");
      return false;
    }
    *ansi += converted;
    *ansi += "\r\n";
  }
  return true;
}

bool InstallSystemIniFile(const std::string& root, const std::string& fileName, const std::string& utf8,
                          std::string* error) {
  std::string ansi;
  std::string reason;
  if (!ConvertLocalisationSource(utf8, &ansi, &reason)) {
    *error = fileName + ": " + reason;
    return false;
  }
  namespace fs = std::filesystem;
  fs::path directory = fs::path(root) / "Windows" / "System32";
  std::error_code code;
  fs::create_directories(directory, code);
  if (code) {
    *error = "cannot create " + directory.string() + ": " + code.message();
    return false;
  }
  fs::path target = directory / fileName;
  fs::path temporary = directory / (fileName + ".tmp");
  {
    std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
    out.write(ansi.data(), static_cast<std::streamsize>(ansi.size()));
    if (!out.flush()) {
      *error = "cannot write " + temporary.string();
      return false;
    }
  }
  fs::rename(temporary, target, code);
  if (code) {
    fs::remove(temporary, code);
    *error = "cannot replace " + target.string();
    return false;
  }
  return true;
}

bool InstallLocalisationFile(const std::string& root, std::string* error) {
  return InstallSystemIniFile(root, "QCAMCFG.ini", LocalisationSource(), error);
}

bool InstallTrayLocalisationFile(const std::string& root, std::string* error) {
  return InstallSystemIniFile(root, "QORBM.ini", TrayLocalisationSource(), error);
}

}  // namespace qcam
