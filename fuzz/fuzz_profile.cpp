// INI files: any bytes as the file, any section and key taken from its own
// lines, any buffer size and code page. Every read must stay inside its
// buffer and terminate it; a write that is accepted must read back and must
// not change what any other entry of the file reads as.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "fuzz/input_reader.h"
#include "platform/machine/pc_settings.h"
#include "platform/nt/platform_control.h"

namespace {

const char* kFile = "fuzz.ini";

void Fail(const char* what) {
  std::fprintf(stderr, "%s\n", what);
  std::abort();
}

// One PC root for the whole run, removed at exit (kept in a string that is
// never destroyed, so that the exit handler can still read it).
const std::string& Root() {
  static const std::string* root = [] {
    char pattern[] = "/tmp/qcam-fuzz-profile-XXXXXX";
    auto* dir = new std::string(mkdtemp(pattern));
    platform::SetRoot(*dir);
    std::atexit([] { std::system(("rm -rf '" + Root() + "'").c_str()); });
    return dir;
  }();
  return *root;
}

void WriteIni(const std::string& bytes) {
  FILE* f = std::fopen((Root() + "/Windows/fuzz.ini").c_str(), "wb");
  if (!f) Fail("cannot write the INI file");
  std::fwrite(bytes.data(), 1, bytes.size(), f);
  std::fclose(f);
}

// Candidate names: the text of "[...]" lines and the text before '=' of
// other lines, untrimmed, as a careless caller might pass them.
void Names(const std::string& text, std::vector<std::string>* sections, std::vector<std::string>* keys) {
  size_t pos = 0;
  while (pos < text.size() && sections->size() + keys->size() < 24) {
    size_t end = text.find('\n', pos);
    if (end == std::string::npos) end = text.size();
    std::string line = text.substr(pos, end - pos);
    line = line.substr(0, line.find('\0'));
    const size_t open = line.find('['), close = line.rfind(']');
    if (open != std::string::npos && close != std::string::npos && close > open)
      sections->push_back(line.substr(open + 1, close - open - 1));
    else if (line.find('=') != std::string::npos)
      keys->push_back(line.substr(0, line.find('=')));
    pos = end + 1;
  }
  if (sections->empty()) sections->push_back("S");
  if (keys->empty()) keys->push_back("K");
}

// Names match without their surrounding blanks and without regard to case.
bool SameName(const std::string& a, const std::string& b) {
  auto trim = [](const std::string& s) {
    const char* blanks = " \t\r\v\f\x1a";
    const size_t first = s.find_first_not_of(blanks);
    return first == std::string::npos ? std::string() : s.substr(first, s.find_last_not_of(blanks) - first + 1);
  };
  return lstrcmpiA(trim(a).c_str(), trim(b).c_str()) == 0;
}

// Reads into a heap buffer of exactly `size` bytes, so that a write past it
// is caught, and checks the result contract.
std::string Get(const char* section, const char* key, DWORD size) {
  std::unique_ptr<char[]> buffer(new char[size ? size : 1]);
  const DWORD n = GetPrivateProfileStringA(section, key, "default  ", size ? buffer.get() : nullptr, size, kFile);
  if (size == 0) {
    if (n != 0) Fail("a zero-size read returned characters");
    return std::string();
  }
  if (n >= size) Fail("returned count does not leave room for the terminator");
  if (buffer[n] != '\0') Fail("result not terminated at the returned count");
  if (section && key && std::strlen(buffer.get()) != n) Fail("a value's count differs from its length");
  return std::string(buffer.get(), n);
}

void CheckWide(const char* section, const char* key, DWORD size) {
  auto widen = [](const char* text) { return text ? std::wstring(text, text + std::strlen(text)) : std::wstring(); };
  const std::wstring s = widen(section), k = widen(key);
  std::unique_ptr<wchar_t[]> buffer(new wchar_t[size ? size : 1]);
  const DWORD n = GetPrivateProfileStringW(section ? s.c_str() : nullptr, key ? k.c_str() : nullptr, L"d",
                                           buffer.get(), size, L"fuzz.ini");
  if (size && (n >= size || buffer[n] != L'\0')) Fail("wide result outside its buffer or not terminated");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size > (1u << 16)) return 0;
  Root();
  FuzzReader in{data, size};
  static const uint16_t kLanguages[] = {1033, 1036, 1041, 2052, 1042, 1028};
  platform::PcSettings settings;
  settings.languageId = kLanguages[in.Byte() % 6];
  if (platform::GetPcSettings().languageId != settings.languageId) platform::SetPcSettings(settings);
  const DWORD bufferSize = in.Byte();
  const uint8_t sectionPick = in.Byte(), keyPick = in.Byte(), action = in.Byte();
  const std::string text(reinterpret_cast<const char*>(in.p), in.n);
  WriteIni(text);

  std::vector<std::string> sections, keys;
  Names(text, &sections, &keys);
  const std::string& section = sections[sectionPick % sections.size()];
  const std::string& key = keys[keyPick % keys.size()];

  Get(section.c_str(), key.c_str(), bufferSize);
  Get(section.c_str(), nullptr, bufferSize);
  Get(nullptr, nullptr, bufferSize);
  CheckWide(section.c_str(), key.c_str(), bufferSize);
  CheckWide(nullptr, nullptr, bufferSize);
  GetPrivateProfileIntA(section.c_str(), key.c_str(), 5, kFile);

  // Every lookup except the edited entry (or section) must read the same
  // after a write as before it.
  std::vector<std::string> before;
  for (const std::string& s : sections)
    for (const std::string& k : keys) before.push_back(Get(s.c_str(), k.c_str(), 300));
  const std::string value = key + "\t" + section;  // bytes of the file as a value
  const bool deleteSection = action % 3 == 2;
  const char* newValue = action % 3 == 0 ? value.c_str() : nullptr;
  if (!WritePrivateProfileStringA(section.c_str(), deleteSection ? nullptr : key.c_str(), newValue, kFile)) return 0;

  size_t i = 0;
  for (const std::string& s : sections) {
    for (const std::string& k : keys) {
      const std::string after = Get(s.c_str(), k.c_str(), 300);
      const bool edited = SameName(s, section) && (deleteSection || SameName(k, key));
      if (!edited && after != before[i]) Fail("a write changed another entry");
      ++i;
    }
  }
  if (newValue) {
    // The value reads back as a file holding only that entry would give it.
    const std::string written = Get(section.c_str(), key.c_str(), 300);
    WriteIni("[" + section + "]\n" + key + "=" + value + "\n");
    if (Get(section.c_str(), key.c_str(), 300) != written) Fail("a written value does not read back");
  }
  return 0;
}
