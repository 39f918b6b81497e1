#include "tray/tray_language.h"

#include "shared/hex_digit.h"

namespace qorbm {
namespace {

struct LanguageRow {
  WORD id;
  const char* section;
};

// Every language the tray has texts for; Spanish has one id per country.
const LanguageRow kLanguages[] = {
    {1028, "LANG_CHINESE_T"}, {1030, "LANG_DANISH"},   {1031, "LANG_GERMAN"},     {1036, "LANG_FRENCH"},
    {1040, "LANG_ITALIAN"},   {1041, "LANG_JAPANESE"}, {1042, "LANG_KOREAN"},     {1043, "LANG_DUTCH"},
    {1046, "LANG_PORTUGUESE"}, {2070, "LANG_PORTUGUESE"}, {1049, "LANG_RUSSIAN"}, {1053, "LANG_SWEDISH"},
    {2052, "LANG_CHINESE_S"},
};
constexpr WORD kFrenchCanada = 3084;
constexpr WORD kSystemLanguageMarker = 0x1000;

// Spanish: 0x040A and then every 0x400 up to 0x580A (22 countries).
bool IsSpanish(WORD id) { return id >= 0x040A && id <= 0x580A && (id - 0x040A) % 0x400 == 0; }

}  // namespace

const char* LanguageSection(WORD languageId, bool configuredTable) {
  if (IsSpanish(languageId)) return "LANG_SPANISH";
  if (configuredTable && languageId == kFrenchCanada) return "LANG_FRENCH";
  for (const LanguageRow& row : kLanguages)
    if (row.id == languageId) return row.section;
  return "LANG_ENGLISH";
}

bool ParseLanguageValue(const char* value, WORD* languageId) {
  if (!value || !value[0]) return false;
  unsigned result = 0;
  for (int i = 0; i < 4 && value[i]; ++i) {
    const int digit = qcam::HexDigit(value[i]);
    if (digit < 0) return false;
    result = result * 16 + unsigned(digit);
  }
  *languageId = WORD(result);
  return true;
}

const char* ChooseLanguageSection(const char* languageValue, WORD systemLanguage) {
  WORD configured = 0;
  if (ParseLanguageValue(languageValue, &configured) && configured != kSystemLanguageMarker)
    return LanguageSection(configured, true);
  return LanguageSection(systemLanguage, false);
}

std::string CurrentLanguageSection() {
  char directory[MAX_PATH] = {};
  const DWORD length = GetCurrentDirectoryA(MAX_PATH, directory);
  std::string path = (length > 0 && length < MAX_PATH) ? std::string(directory) : std::string();
  path += "\\BM.ini";
  char value[16] = {};
  GetPrivateProfileStringA("BM", "Language", "1000", value, sizeof(value), path.c_str());
  return ChooseLanguageSection(value, GetSystemDefaultLangID());
}

std::string ReadTrayText(const char* key, const char* defaultText) {
  char directory[MAX_PATH] = {};
  const UINT length = GetSystemDirectoryA(directory, MAX_PATH);
  std::string path = (length > 0 && length < MAX_PATH) ? std::string(directory) : std::string();
  path += "\\QORBM.ini";
  char text[kTrayTextSize] = {};
  GetPrivateProfileStringA(CurrentLanguageSection().c_str(), key, defaultText, text, sizeof(text), path.c_str());
  return text;
}

}  // namespace qorbm
