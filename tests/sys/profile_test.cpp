// The INI calls against awkward files: blanks, quotes, case, comments, line
// endings, duplicates, cut values and lists, several code pages; and writes
// that must leave every other byte of the file as it was.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#include "platform/machine/codepages.h"
#include "tests/sys/pc_root.h"

namespace {

using sys_test::PcRootTest;

const std::string kLong(70, 'x');

// CR LF lines, then LF lines from the duplicate section on.
const std::string kAwkward =
    "; a comment before any section\r\n"
    "[Main]\r\n"
    "  Spaced Key  =   spaced value  \t\r\n"
    "Quoted=\"  kept blanks  \"\r\n"
    "HalfQuoted=\"open\r\n"
    "SingleQuoted='single'\r\n"
    "Empty=\r\n"
    "a line without an equals sign\r\n"
    ";Commented=1\r\n"
    "Dup=first\r\n"
    "DUP=second\r\n"
    "Inline=value ; not a comment\r\n"
    "Equals=a=b\r\n"
    "Long=" + kLong + "\r\n"
    "\r\n"
    "[main]\n"
    "Later=hidden by the first Main\n"
    "[Other]\n"
    "Key=other\n"
    "Last=no line break";

struct Lookup {
  const char* label;
  const char* section;
  const char* key;
  const char* defaultText;
  DWORD size;
  std::string expected;
};

class ProfileTest : public PcRootTest {
 protected:
  void SetUp() override {
    PcRootTest::SetUp();
    Write("Windows/awkward.ini", kAwkward);
  }
};

TEST_F(ProfileTest, ValuesFollowWindowsRulesOnAnAwkwardFile) {
  const Lookup lookups[] = {
      {"blanks trimmed, case ignored", "MAIN", "spaced key", "", 100, "spaced value"},
      {"caller's names trimmed too", "  Main ", " Spaced Key", "", 100, "spaced value"},
      {"matching quotes removed, inner blanks kept", "Main", "Quoted", "", 100, "  kept blanks  "},
      {"a lone quote stays", "Main", "HalfQuoted", "", 100, "\"open"},
      {"single quotes stay", "Main", "SingleQuoted", "", 100, "'single'"},
      {"empty value is not missing", "Main", "Empty", "default", 100, ""},
      {"missing key: default without trailing blanks", "Main", "Missing", " default \t ", 100, " default"},
      {"null default", "Main", "Missing", nullptr, 100, ""},
      {"a line without '=' is no key", "Main", "a line without an equals sign", "d", 100, "d"},
      {"a comment is no key", "Main", ";Commented", "d", 100, "d"},
      {"first duplicate wins", "Main", "dup", "", 100, "first"},
      {"no comments after values", "Main", "Inline", "", 100, "value ; not a comment"},
      {"value may hold '='", "Main", "Equals", "", 100, "a=b"},
      {"first of duplicate sections wins", "Main", "Later", "d", 100, "d"},
      {"LF lines", "Other", "Key", "", 100, "other"},
      {"last line without a line break", "other", "last", "", 100, "no line break"},
      {"missing section", "Nowhere", "Key", "d", 100, "d"},
      {"empty key name", "Main", "", "d", 100, "d"},
      {"empty section name", "", "Key", "d", 100, "d"},
      {"value cut to size - 1", "Main", "Long", "", 60, std::string(59, 'x')},
      {"exact fit", "Main", "Dup", "", 6, "first"},
      {"one short", "Main", "Dup", "", 5, "firs"},
      {"room for the terminator only", "Main", "Dup", "", 1, ""},
      {"default cut too", "Main", "Missing", "abcdef", 4, "abc"},
  };
  for (const Lookup& l : lookups) {
    SCOPED_TRACE(l.label);
    // Exactly the promised size, with guard bytes behind it.
    std::string buffer(l.size + 4, '#');
    const DWORD n = GetPrivateProfileStringA(l.section, l.key, l.defaultText, &buffer[0], l.size, "awkward.ini");
    EXPECT_EQ(n, l.expected.size());
    EXPECT_EQ(std::string(buffer.c_str()), l.expected);
    EXPECT_EQ(buffer.substr(l.size), "####");
  }
  // The same through the full path, and a missing file.
  char value[16];
  EXPECT_EQ(GetPrivateProfileStringA("Other", "Key", "", value, 16, "C:\\Windows\\AWKWARD.INI"), 5u);
  EXPECT_EQ(GetPrivateProfileStringA("Other", "Key", "none  ", value, 16, "missing.ini"), 4u);
  EXPECT_STREQ(value, "none");
  EXPECT_EQ(GetPrivateProfileStringA("Other", "Key", "none", value, 16, "C:\\NoSuchFolder\\x.ini"), 4u);
  // A zero size writes nothing.
  value[0] = '#';
  EXPECT_EQ(GetPrivateProfileStringA("Other", "Key", "", value, 0, "awkward.ini"), 0u);
  EXPECT_EQ(value[0], '#');
}

TEST_F(ProfileTest, ListsOfKeysAndSectionsEndWithTwoTerminators) {
  const std::string keys = std::string("Spaced Key\0Quoted\0HalfQuoted\0SingleQuoted\0Empty\0Dup\0DUP\0", 56) +
                           std::string("Inline\0Equals\0Long\0", 19);
  char buffer[200];
  std::memset(buffer, '#', sizeof buffer);
  DWORD n = GetPrivateProfileStringA("main", nullptr, "", buffer, sizeof buffer, "awkward.ini");
  EXPECT_EQ(n, keys.size());
  EXPECT_EQ(std::string(buffer, n + 1), keys + '\0');

  // A cut list: the last name is cut and followed by two terminators.
  std::memset(buffer, '#', sizeof buffer);
  n = GetPrivateProfileStringA("Main", nullptr, "", buffer, 16, "awkward.ini");
  EXPECT_EQ(n, 14u);
  EXPECT_EQ(std::string(buffer, 17), std::string("Spaced Key\0Quo\0\0#", 17));

  std::memset(buffer, '#', sizeof buffer);
  n = GetPrivateProfileStringA(nullptr, "ignored", "", buffer, sizeof buffer, "awkward.ini");
  EXPECT_EQ(std::string(buffer, n + 1), std::string("Main\0main\0Other\0\0", 17));
  n = GetPrivateProfileStringA(nullptr, nullptr, "", buffer, 2, "awkward.ini");
  EXPECT_EQ(n, 0u);
  EXPECT_EQ(std::string(buffer, 2), std::string("\0\0", 2));

  // No such section (or no keys in it): the default.
  EXPECT_EQ(GetPrivateProfileStringA("Nowhere", nullptr, "d", buffer, sizeof buffer, "awkward.ini"), 1u);
  EXPECT_STREQ(buffer, "d");
}

TEST_F(ProfileTest, IntegersAndWideCalls) {
  Write("Windows/numbers.ini",
        "[N]\nplain=42\nsigned=-7\nplus=+5\ntrailing=12abc\nletters=abc\nhex=0x10\nempty=\n"
        "quoted=\"9\"\nhuge=4294967297\n");
  const struct {
    const char* key;
    UINT expected;
  } ints[] = {{"plain", 42},    {"signed", UINT(-7)}, {"plus", 5},   {"trailing", 12}, {"letters", 0},
              {"hex", 0},       {"empty", 77},        {"missing", 77}, {"quoted", 9},  {"huge", 1}};
  for (const auto& i : ints) {
    SCOPED_TRACE(i.key);
    EXPECT_EQ(GetPrivateProfileIntA("N", i.key, 77, "numbers.ini"), i.expected);
  }

  wchar_t wide[8];
  EXPECT_EQ(GetPrivateProfileStringW(L"Main", L"dup", L"", wide, 8, L"awkward.ini"), 5u);
  EXPECT_STREQ(wide, L"first");
  EXPECT_EQ(GetPrivateProfileStringW(L"Main", L"Long", L"", wide, 8, L"awkward.ini"), 7u);
  EXPECT_STREQ(wide, L"xxxxxxx");
  EXPECT_EQ(GetPrivateProfileStringW(L"Main", L"none", L"w  ", wide, 8, L"awkward.ini"), 1u);
  EXPECT_STREQ(wide, L"w");
  EXPECT_EQ(GetPrivateProfileStringW(nullptr, nullptr, L"", wide, 8, L"awkward.ini"), 6u);
  EXPECT_EQ(std::wstring(wide, 8), std::wstring(L"Main\0m\0\0", 8));
}

// The localisation files hold one section per language, each in its own
// code page; the A call returns the bytes as they are in the file.
TEST_F(ProfileTest, SectionsInSeveralCodePagesReadBackByteForByte) {
  const struct {
    uint16_t language;
    uint32_t codePage;
    const char* section;
    const char* utf8;
  } languages[] = {
      {1041, 932, "LANG_JAPANESE", "保存する表示ソフト"},  // 表 and ソ end in 0x5C, a backslash
      {2052, 936, "LANG_CHINESE_S", "保存设置"},
      {1042, 949, "LANG_KOREAN", "저장하기"},
      {1028, 950, "LANG_CHINESE_T", "儲存設定"},
      {1036, 1252, "LANG_FRENCH", "Enregistrer les réglages"},
  };
  std::string file;
  for (const auto& l : languages)
    file += std::string("[") + l.section + "]\r\nIDC_VIDEO_SAVE=" + platform::Utf8ToAnsi(l.codePage, l.utf8) + "\r\n";
  Write("Windows/System32/QCAMCFG.ini", file);

  for (const auto& l : languages) {
    SCOPED_TRACE(l.section);
    SetLanguage(l.language);
    const std::string bytes = platform::Utf8ToAnsi(l.codePage, l.utf8);
    char value[60];
    EXPECT_EQ(GetPrivateProfileStringA(l.section, "IDC_VIDEO_SAVE", "", value, sizeof value,
                                       "C:\\Windows\\System32\\QCAMCFG.ini"),
              bytes.size());
    EXPECT_EQ(std::string(value), bytes);
    wchar_t wide[60];
    GetPrivateProfileStringW(std::wstring(l.section, l.section + strlen(l.section)).c_str(), L"IDC_VIDEO_SAVE", L"",
                             wide, 60, L"C:\\Windows\\System32\\QCAMCFG.ini");
    EXPECT_EQ(std::wstring(wide), platform::AnsiToWide(l.codePage, bytes));
  }
}

// In a double-byte code page the second byte of a character may look like
// an ASCII letter; it must not be folded, or different names would match.
TEST_F(ProfileTest, CaseIsFoldedByTheCodePageOfThePc) {
  SetLanguage(1041);
  Write("Windows/jp.ini", "[S]\n\x83\x41=katakana a\n\x83\x61=katakana tsu\n");
  char value[32];
  GetPrivateProfileStringA("s", "\x83\x61", "", value, sizeof value, "jp.ini");
  EXPECT_STREQ(value, "katakana tsu");

  SetLanguage(1036);
  Write("Windows/fr.ini", "[Réglages]\nCLÉ=valeur\n");
  const std::string section = platform::Utf8ToAnsi(1252, "RÉGLAGES"), key = platform::Utf8ToAnsi(1252, "clé");
  Write("Windows/fr.ini", platform::Utf8ToAnsi(1252, "[Réglages]\nCLÉ=valeur\n"));
  GetPrivateProfileStringA(section.c_str(), key.c_str(), "", value, sizeof value, "fr.ini");
  EXPECT_STREQ(value, "valeur");
  EXPECT_EQ(lstrcmpiA(section.c_str(), platform::Utf8ToAnsi(1252, "réglages").c_str()), 0);
}

TEST_F(ProfileTest, WritesChangeOnlyTheirLine) {
  // Replacing a value keeps the key's spelling, the other lines and the CR LF
  // and LF endings byte for byte.
  ASSERT_TRUE(WritePrivateProfileStringA("MAIN", "dup", "changed", "awkward.ini"));
  std::string expected = kAwkward;
  expected.replace(expected.find("Dup=first"), 9, "Dup=changed");
  EXPECT_EQ(Read("Windows/awkward.ini"), expected);

  // A new key goes after the section's last line that is not blank.
  ASSERT_TRUE(WritePrivateProfileStringA("Main", "NewKey", "new", "awkward.ini"));
  expected.insert(expected.find("\r\n[main]"), "NewKey=new\r\n");
  EXPECT_EQ(Read("Windows/awkward.ini"), expected);

  // A key in the last section, whose last line has no line break; new lines
  // end as the file's first line does.
  ASSERT_TRUE(WritePrivateProfileStringA("Other", "Added", "1", "awkward.ini"));
  expected += "\r\nAdded=1\r\n";
  EXPECT_EQ(Read("Windows/awkward.ini"), expected);

  // Deleting a key, then a whole section.
  ASSERT_TRUE(WritePrivateProfileStringA("Main", "Quoted", nullptr, "awkward.ini"));
  expected.erase(expected.find("Quoted=\""), std::string("Quoted=\"  kept blanks  \"\r\n").size());
  EXPECT_EQ(Read("Windows/awkward.ini"), expected);
  ASSERT_TRUE(WritePrivateProfileStringA("other", nullptr, nullptr, "awkward.ini"));
  expected.erase(expected.find("[Other]"));
  EXPECT_EQ(Read("Windows/awkward.ini"), expected);

  // Deleting what is not there changes nothing and succeeds.
  EXPECT_TRUE(WritePrivateProfileStringA("Other", "Key", nullptr, "awkward.ini"));
  EXPECT_TRUE(WritePrivateProfileStringA("Nowhere", nullptr, nullptr, "awkward.ini"));
  EXPECT_EQ(Read("Windows/awkward.ini"), expected);
  char value[32];
  GetPrivateProfileStringA("Main", "dup", "", value, sizeof value, "awkward.ini");
  EXPECT_STREQ(value, "changed");
}

TEST_F(ProfileTest, WritesCreateFilesAndRefuseWhatCouldNotBeReadBack) {
  ASSERT_TRUE(WritePrivateProfileStringA("BM", "Language", "0411", "C:\\BM.ini"));
  ASSERT_TRUE(WritePrivateProfileStringA("BM", "Other", "x", "C:\\BM.ini"));
  ASSERT_TRUE(WritePrivateProfileStringA("Second", "K", "v", "C:\\BM.ini"));
  EXPECT_EQ(Read("C/BM.ini"), "[BM]\r\nLanguage=0411\r\nOther=x\r\n[Second]\r\nK=v\r\n");
  Write("C/lf.ini", "[A]\nk=1\n\n\n[B]\nk=2");
  ASSERT_TRUE(WritePrivateProfileStringA("a", "New", "n", "C:\\LF.INI"));
  ASSERT_TRUE(WritePrivateProfileStringA("C", "K", "3", "C:\\lf.ini"));
  EXPECT_EQ(Read("C/lf.ini"), "[A]\nk=1\nNew=n\n\n\n[B]\nk=2\n[C]\nK=3\n");
  EXPECT_FALSE(WritePrivateProfileStringA("BM", "Language", "a\r\n[Injected]", "C:\\BM.ini"));
  EXPECT_EQ(GetLastError(), DWORD(ERROR_INVALID_PARAMETER));
  EXPECT_FALSE(WritePrivateProfileStringA("BM", "Key=With", "x", "C:\\BM.ini"));
  EXPECT_FALSE(WritePrivateProfileStringA("BM", "[Header]", "x", "C:\\BM.ini"));
  EXPECT_FALSE(WritePrivateProfileStringA("  ", "K", "x", "C:\\BM.ini"));
  EXPECT_FALSE(WritePrivateProfileStringA(nullptr, "K", "x", "C:\\BM.ini"));
  EXPECT_EQ(Read("C/BM.ini"), "[BM]\r\nLanguage=0411\r\nOther=x\r\n[Second]\r\nK=v\r\n");

  EXPECT_FALSE(WritePrivateProfileStringA("S", "K", "v", "C:\\NoSuchFolder\\x.ini"));
  EXPECT_EQ(GetLastError(), DWORD(ERROR_PATH_NOT_FOUND));
  EXPECT_FALSE(WritePrivateProfileStringA("S", "K", "v", "D:\\x.ini"));
  // Deleting from a file that does not exist does not create it.
  EXPECT_TRUE(WritePrivateProfileStringA("S", "K", nullptr, "C:\\absent.ini"));
  EXPECT_EQ(GetFileAttributesA("C:\\absent.ini"), INVALID_FILE_ATTRIBUTES);
}

TEST(LstrTest, CopiesCutAndCompareLikeWindows) {
  char buffer[8];
  std::memset(buffer, '#', sizeof buffer);
  EXPECT_EQ(lstrcpynA(buffer, "abcdefghij", 5), buffer);
  EXPECT_EQ(std::string(buffer, 6), std::string("abcd\0#", 6));
  EXPECT_EQ(lstrlenA(nullptr), 0);
  EXPECT_EQ(lstrlenW(L"wide"), 4);
  wchar_t wide[4];
  lstrcpynW(wide, L"wider", 4);
  EXPECT_STREQ(wide, L"wid");
  EXPECT_EQ(lstrcmpiA("Hello", "hELLO"), 0);
  EXPECT_LT(lstrcmpiA("apple", "Banana"), 0);
  EXPECT_LT(lstrcmpA("apple", "Banana"), 0);  // dictionary order, not byte order
  EXPECT_LT(lstrcmpA("a", "A"), 0);
  EXPECT_GT(lstrcmpA("B", "a"), 0);
  lstrcpyA(buffer, "ab");
  lstrcatA(buffer, "cd");
  EXPECT_STREQ(buffer, "abcd");
}

}  // namespace
