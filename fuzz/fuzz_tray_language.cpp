// The tray's language choice over any bytes: any BM.ini in the current
// directory, any QORBM.ini in the system directory, any system language.
// The section is always one of the tray's, and every text read fits its
// 60-byte buffer with its terminator.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "fuzz/input_reader.h"
#include "platform/machine/pc_settings.h"
#include "platform/nt/platform_control.h"
#include "tray/tray_language.h"

namespace {

void Fail(const char* what) {
  std::fprintf(stderr, "%s\n", what);
  std::abort();
}

const std::string& Root() {
  static const std::string* root = [] {
    char pattern[] = "/tmp/qcam-fuzz-tray-XXXXXX";
    auto* dir = new std::string(mkdtemp(pattern));
    platform::SetRoot(*dir);
    std::atexit([] { std::system(("rm -rf '" + Root() + "'").c_str()); });
    return dir;
  }();
  return *root;
}

void Write(const std::string& relative, const std::string& bytes) {
  FILE* f = std::fopen((Root() + "/" + relative).c_str(), "wb");
  if (!f) Fail("cannot write an INI file");
  std::fwrite(bytes.data(), 1, bytes.size(), f);
  std::fclose(f);
}

const char* const kSections[] = {"LANG_CHINESE_T", "LANG_DANISH",     "LANG_GERMAN",  "LANG_SPANISH",
                                 "LANG_FRENCH",    "LANG_ITALIAN",    "LANG_JAPANESE", "LANG_KOREAN",
                                 "LANG_DUTCH",     "LANG_PORTUGUESE", "LANG_RUSSIAN", "LANG_SWEDISH",
                                 "LANG_CHINESE_S", "LANG_ENGLISH"};

void CheckSection(const std::string& section) {
  for (const char* known : kSections)
    if (section == known) return;
  Fail("a section the tray has no texts for");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  Root();
  FuzzReader in{data, size};
  const uint16_t language = in.U16();
  // The rest: BM.ini, a zero byte, QORBM.ini.
  const std::string rest(reinterpret_cast<const char*>(in.p), in.n);
  const size_t split = rest.find('\0');
  const std::string bmIni = rest.substr(0, split);
  const std::string qorbmIni = split == std::string::npos ? std::string() : rest.substr(split + 1);

  // The value alone, as any bytes up to their first zero.
  CheckSection(qorbm::ChooseLanguageSection(bmIni.c_str(), language));

  platform::PcSettings settings = platform::GetPcSettings();
  settings.languageId = language;
  platform::SetPcSettings(settings);
  Write("C/BM.ini", bmIni);
  Write("Windows/System32/QORBM.ini", qorbmIni);
  CheckSection(qorbm::CurrentLanguageSection());
  for (const char* key : {"ID_MENU_TOOLTIP", "ID_MENU_EXIT", "ID_MENU_50_HZ", "ID_MENU_60_HZ"}) {
    const std::string text = qorbm::ReadTrayText(key, "default");
    if (text.size() >= qorbm::kTrayTextSize) Fail("a text longer than its buffer");
  }
  return 0;
}
