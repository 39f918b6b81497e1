// The installed localisation file: every language section carries every key
// the pages read, in its own code page, short enough for the pages' 60-byte
// buffer; the converter refuses text it would have to damage.
#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <map>
#include <sstream>
#include <string>

#include "extension/localisation_keys.h"
#include "platform/machine/codepages.h"
#include "tools/qcam/localisation_file.h"

namespace {

using Section = std::map<std::string, std::string>;

// A minimal reader of the installed file (sections of key=value lines).
std::map<std::string, Section> ReadIni(const std::string& text) {
  std::map<std::string, Section> sections;
  std::string current;
  std::istringstream in(text);
  std::string line;
  while (std::getline(in, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (line.empty() || line[0] == ';') continue;
    if (line[0] == '[') {
      current = line.substr(1, line.find(']') - 1);
      sections[current];
      continue;
    }
    size_t equals = line.find('=');
    if (equals != std::string::npos) sections[current][line.substr(0, equals)] = line.substr(equals + 1);
  }
  return sections;
}

std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

class LocalisationFileTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/qcam-loc-XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    root_ = pattern;
  }
  void TearDown() override { ASSERT_EQ(std::system(("rm -rf '" + root_ + "'").c_str()), 0); }
  std::string root_;
};

template <size_t N>
void ExpectCaptions(const Section& section, const std::string& name, const qcamext::CaptionKey (&table)[N],
                    uint32_t codePage) {
  for (const qcamext::CaptionKey& caption : table) {
    auto value = section.find(caption.key);
    ASSERT_NE(value, section.end()) << name << " lacks " << caption.key;
    EXPECT_FALSE(value->second.empty()) << name << " " << caption.key;
    EXPECT_LT(value->second.size(), size_t(qcamext::kCaptionBufferSize)) << name << " " << caption.key;
    EXPECT_EQ(platform::WideToAnsi(codePage, platform::AnsiToWide(codePage, value->second)), value->second)
        << name << " " << caption.key << " is not clean code page " << codePage << " text";
  }
}

TEST_F(LocalisationFileTest, EveryLanguageHasEveryKeyInItsCodePage) {
  std::string error;
  ASSERT_TRUE(qcam::InstallLocalisationFile(root_, &error)) << error;
  const std::string path = root_ + "/Windows/System32/QCAMCFG.ini";
  const std::string installed = ReadFile(path);
  EXPECT_EQ(installed.find("\n", 0), installed.find("\r\n", 0) + 1) << "lines end in CR LF";
  auto sections = ReadIni(installed);

  const Section& titles = sections["Language"];
  EXPECT_EQ(titles.at(qcamext::kCameraTitleKey), "Camera Settings");
  EXPECT_EQ(titles.at(qcamext::kEffectTitleKey), "Special Effects");
  EXPECT_EQ(titles.at(qcamext::kZoomTitleKey), "Digital Zoom");

  std::vector<std::string> names = {qcamext::kDefaultLanguageSection};
  for (const auto& language : qcamext::kLanguageSections) names.push_back(language.section);
  ASSERT_EQ(names.size(), 12u);
  for (const std::string& name : names) {
    ASSERT_TRUE(sections.count(name)) << name;
    const Section& section = sections[name];
    const uint32_t codePage = qcam::SectionCodePage(name);
    ExpectCaptions(section, name, qcamext::kCameraPageCaptions, codePage);
    ExpectCaptions(section, name, qcamext::kZoomPageCaptions, codePage);
    ExpectCaptions(section, name, qcamext::kEffectPageCaptions, codePage);
    for (const char* key : {qcamext::kCameraTitleKey, qcamext::kEffectTitleKey, qcamext::kZoomTitleKey}) {
      EXPECT_FALSE(section.at(key).empty()) << name << " " << key;
    }
  }
  // The Asian sections are stored in their own code pages, byte for byte.
  EXPECT_EQ(sections["LANG_JAPANESE"]["IDC_VIDEO_SAVE"], "\x95\xdb\x91\xb6");      // 保存, CP932
  EXPECT_EQ(sections["LANG_CHINESE_S"]["IDC_VIDEO_SAVE"], "\xb1\xa3\xb4\xe6");     // 保存, CP936
  EXPECT_EQ(sections["LANG_KOREAN"]["IDC_VIDEO_SAVE"], "\xc0\xfa\xc0\xe5");        // 저장, CP949
  EXPECT_EQ(sections["LANG_CHINESE_T"]["IDC_VIDEO_SAVE"], "\xc0\x78\xa6\x73");     // 儲存, CP950
  EXPECT_EQ(sections["LANG_GERMAN"]["IDC_VIDEO_WHITEBALANCE_TITLE"], "Wei\xdf" "abgleich");  // CP1252

  // Installing again replaces the file with the same bytes and leaves no
  // temporary file behind.
  ASSERT_TRUE(qcam::InstallLocalisationFile(root_, &error)) << error;
  EXPECT_EQ(ReadFile(path), installed);
  EXPECT_EQ(ReadFile(path + ".tmp"), "");
}

TEST_F(LocalisationFileTest, RefusesTextItWouldDamage) {
  std::string ansi;
  std::string error;
  // A Japanese character in a Western section would become '?'.
  EXPECT_FALSE(qcam::ConvertLocalisationSource("[LANG_GERMAN]\nIDC_VIDEO_SAVE=\xe4\xbf\x9d\n", &ansi, &error));
  EXPECT_EQ(error.rfind("line 2:", 0), 0u) << error;
  // Bytes that are not UTF-8 (a lone continuation byte, an overlong form, a
  // sequence cut by the end of the text).
  for (const char* bad : {"[LANG_ENGLISH]\nx=\x80\n", "a=\xc0\xaf", "a=\xe4\xbf"}) {
    error.clear();
    EXPECT_FALSE(qcam::ConvertLocalisationSource(bad, &ansi, &error)) << bad;
    EXPECT_NE(error.find("not UTF-8"), std::string::npos) << error;
  }
  // The same character is fine where the code page holds it; a header with
  // blanks around it still selects its section.
  ASSERT_TRUE(qcam::ConvertLocalisationSource("  [LANG_JAPANESE] \r\nk=\xe4\xbf\x9d", &ansi, &error)) << error;
  EXPECT_EQ(ansi, "  [LANG_JAPANESE] \r\nk=\x95\xdb\r\n");
}

}  // namespace
