// The localisation files the package installs in a PC's system directory:
// the extension's "QCAMCFG.ini" and the tray button manager's "QORBM.ini".
// Each is kept as UTF-8 source (tools/qcam/localisation/NAME.utf8.ini, built
// into the tools) and installed with every section in its language's ANSI
// code page.
#pragma once

#include <cstdint>
#include <string>

namespace qcam {

// The UTF-8 sources as built into the program: the extension's and the
// tray's.
std::string LocalisationSource();
std::string TrayLocalisationSource();

// The ANSI code page a section's text is written in: 932 "LANG_JAPANESE",
// 936 "LANG_CHINESE_S", 949 "LANG_KOREAN", 950 "LANG_CHINESE_T", 1251
// "LANG_RUSSIAN", 1252 any other section (and the lines before the first
// section).
uint32_t SectionCodePage(const std::string& section);

// Converts UTF-8 INI text line by line into the installed form (CR LF line
// ends). False, with the line number in *error, for text that is not UTF-8
// or that the section's code page cannot hold: nothing is silently replaced.
bool ConvertLocalisationSource(const std::string& utf8, std::string* ansi, std::string* error);

// Writes ROOT/Windows/System32/<fileName> from UTF-8 source text
// (temporary file, then rename). False with a reason in *error.
bool InstallSystemIniFile(const std::string& root, const std::string& fileName, const std::string& utf8,
                          std::string* error);
// The two files from their built-in sources.
bool InstallLocalisationFile(const std::string& root, std::string* error);
bool InstallTrayLocalisationFile(const std::string& root, std::string* error);

}  // namespace qcam
