// The tray's texts: the language section of QORBM.ini, chosen through the
// "Language" value of BM.ini or the system language, and the menu texts and
// tooltip read from that section.
#pragma once

#include <windows.h>

#include <string>

namespace qorbm {

// The QORBM.ini section of a language id. The configured-language table
// also knows French (Canada) 3084; the system-language table does not.
const char* LanguageSection(WORD languageId, bool configuredTable);

// Reads the first four characters of a "Language" value as hexadecimal
// (digits 0-9, a-f, A-F). False for an empty value or any other character.
bool ParseLanguageValue(const char* value, WORD* languageId);

// The section for a "Language" value: the value's language by the
// configured-language table when it parses and is not 0x1000, else
// `systemLanguage` by the system-language table.
const char* ChooseLanguageSection(const char* languageValue, WORD systemLanguage);

// The section this PC and BM.ini (in the current directory) choose.
std::string CurrentLanguageSection();

// Longest text a QORBM.ini value gives (59 characters).
constexpr DWORD kTrayTextSize = 60;
// Reads `key` of the current language section of QORBM.ini (in the system
// directory), or `defaultText`.
std::string ReadTrayText(const char* key, const char* defaultText);

}  // namespace qorbm
