// The machine registry: kernel queries and writes, the helper calls of tools,
// and the registry text file it is kept in.
#include <sys/stat.h>
#include <fcntl.h>
#include <unistd.h>

#include <cstring>
#include <vector>

#include "platform/nt/ntddk.h"
#include "tests/platform/test_util.h"

namespace {

using platform_test::MachineTest;

const char kCurrent[] = "\\Registry\\MACHINE\\SOFTWARE\\Qorvane\\QCAM500\\CURRENT";
const WCHAR kCurrentW[] = u"\\Registry\\MACHINE\\SOFTWARE\\Qorvane\\QCAM500\\CURRENT";
const char kCurrentUser[] = "HKEY_LOCAL_MACHINE\\SOFTWARE\\Qorvane\\QCAM500\\Current\\";


// One direct REG_DWORD query with a default of 0, as the driver makes it.
NTSTATUS QueryDword(PCWSTR path, PCWSTR name, ULONG* out, ULONG flags = 0) {
  static ULONG zero = 0;
  RTL_QUERY_REGISTRY_TABLE table[2] = {};
  table[0].Flags = RTL_QUERY_REGISTRY_DIRECT | flags;
  table[0].Name = const_cast<PWSTR>(name);
  table[0].EntryContext = out;
  table[0].DefaultType = REG_DWORD;
  table[0].DefaultData = &zero;
  table[0].DefaultLength = sizeof zero;
  return RtlQueryRegistryValues(RTL_REGISTRY_ABSOLUTE, path, table, nullptr, nullptr);
}

NTSTATUS WriteDword(PCWSTR path, PCWSTR name, ULONG value) {
  return RtlWriteRegistryValue(RTL_REGISTRY_ABSOLUTE, path, name, REG_DWORD, &value, sizeof value);
}

TEST_F(MachineTest, MissingKeyFailsQueryAndWritesNothing) {
  ULONG a = 0xAAAA, b = 0xBBBB;
  static ULONG seven = 7;
  RTL_QUERY_REGISTRY_TABLE table[3] = {};
  table[0] = {nullptr, RTL_QUERY_REGISTRY_DIRECT, const_cast<PWSTR>(u"CameraStatus"), &a, REG_DWORD, &seven, 4};
  table[1] = {nullptr, RTL_QUERY_REGISTRY_DIRECT, const_cast<PWSTR>(u"Other"), &b, REG_DWORD, &seven, 4};
  EXPECT_EQ(RtlQueryRegistryValues(RTL_REGISTRY_ABSOLUTE, kCurrentW, table, nullptr, nullptr),
            STATUS_OBJECT_NAME_NOT_FOUND);
  EXPECT_EQ(a, 0xAAAAu);
  EXPECT_EQ(b, 0xBBBBu);

  // A write does not create the key either.
  EXPECT_EQ(WriteDword(kCurrentW, u"CameraStatus", 1), STATUS_OBJECT_NAME_NOT_FOUND);
  EXPECT_FALSE(platform::RegKeyExists(kCurrent));
  EXPECT_EQ(platform::Counters().registryReads, 1u);
  EXPECT_EQ(platform::Counters().registryWrites, 1u);
}

TEST_F(MachineTest, MissingValueTakesDefaultUnlessRequired) {
  ASSERT_TRUE(platform::RegCreateKeyPath(kCurrent));
  ULONG v = 0x1234;
  EXPECT_EQ(QueryDword(kCurrentW, u"CameraStatus", &v), STATUS_SUCCESS);
  EXPECT_EQ(v, 0u);
  v = 0x1234;
  EXPECT_EQ(QueryDword(kCurrentW, u"CameraStatus", &v, RTL_QUERY_REGISTRY_REQUIRED), STATUS_OBJECT_NAME_NOT_FOUND);
  EXPECT_EQ(v, 0x1234u);

  // No default at all: the destination is left alone and the query succeeds.
  RTL_QUERY_REGISTRY_TABLE table[2] = {};
  table[0] = {nullptr, RTL_QUERY_REGISTRY_DIRECT, const_cast<PWSTR>(u"Missing"), &v, REG_NONE, nullptr, 0};
  EXPECT_EQ(RtlQueryRegistryValues(RTL_REGISTRY_ABSOLUTE, kCurrentW, table, nullptr, nullptr), STATUS_SUCCESS);
  EXPECT_EQ(v, 0x1234u);
}

TEST_F(MachineTest, NamesIgnoreCaseAndKeepTheirCase) {
  ASSERT_TRUE(platform::RegCreateKeyPath(kCurrent));
  // The kernel writes through its view, a client reads through its own view
  // with other case in the key path and the value name.
  ASSERT_EQ(WriteDword(kCurrentW, u"WhitebalanceAuto", 10), STATUS_SUCCESS);
  uint32_t v = 0;
  ASSERT_TRUE(platform::RegGetDword(kCurrentUser, "WHITEBALANCEAUTO", &v));
  EXPECT_EQ(v, 10u);
  ULONG k = 0;
  ASSERT_EQ(QueryDword(u"\\registry\\machine\\software\\QORVANE\\qcam500\\current", u"whitebalanceauto", &k),
            STATUS_SUCCESS);
  EXPECT_EQ(k, 10u);

  const std::string text = platform::RenderRegistryText();
  EXPECT_NE(text.find("[HKEY_LOCAL_MACHINE\\SOFTWARE\\Qorvane\\QCAM500\\CURRENT]"), std::string::npos);
  EXPECT_NE(text.find("\"WhitebalanceAuto\"=dword:0000000a"), std::string::npos);

  // Overwriting through another case replaces the value; it does not add one.
  ASSERT_TRUE(platform::RegSetDword(kCurrent, "whitebalanceauto", 3));
  const std::string after = platform::RenderRegistryText();
  EXPECT_EQ(after.find("WhitebalanceAuto"), std::string::npos);
  EXPECT_NE(after.find("\"whitebalanceauto\"=dword:00000003"), std::string::npos);
}

TEST_F(MachineTest, TypeMismatchIsRefusedNotWrittenIntoTheWrongRecord) {
  ASSERT_TRUE(platform::RegCreateKeyPath(kCurrent));
  ASSERT_TRUE(platform::RegSetString(kCurrent, "Brightness", "not a number"));
  ULONG v = 0x55;
  EXPECT_EQ(QueryDword(kCurrentW, u"Brightness", &v), STATUS_OBJECT_TYPE_MISMATCH);
  EXPECT_EQ(v, 0x55u);

  ASSERT_TRUE(platform::RegSetDword(kCurrent, "UDFrame", 5));
  UNICODE_STRING s = {0, 0, nullptr};
  RTL_QUERY_REGISTRY_TABLE table[2] = {};
  table[0] = {nullptr, RTL_QUERY_REGISTRY_DIRECT, const_cast<PWSTR>(u"UDFrame"), &s, REG_SZ,
              const_cast<WCHAR*>(u""), 0};
  EXPECT_EQ(RtlQueryRegistryValues(RTL_REGISTRY_ABSOLUTE, kCurrentW, table, nullptr, nullptr), STATUS_OBJECT_TYPE_MISMATCH);
  EXPECT_EQ(s.Buffer, nullptr);
}

TEST_F(MachineTest, StringQueryIntoCallerBufferAndPool) {
  ASSERT_TRUE(platform::RegCreateKeyPath(kCurrent));
  ASSERT_EQ(RtlWriteRegistryValue(RTL_REGISTRY_ABSOLUTE, kCurrentW, u"UDFrame", REG_SZ,
                                  const_cast<WCHAR*>(u"C:\\frames\\mine.bmp"), sizeof(u"C:\\frames\\mine.bmp")),
            STATUS_SUCCESS);
  std::string narrow;
  ASSERT_TRUE(platform::RegGetString(kCurrent, "udframe", &narrow));
  EXPECT_EQ(narrow, "C:\\frames\\mine.bmp");

  // Caller buffer, large enough.
  WCHAR buffer[64];
  UNICODE_STRING s = {0, sizeof buffer, buffer};
  RTL_QUERY_REGISTRY_TABLE table[2] = {};
  table[0] = {nullptr, RTL_QUERY_REGISTRY_DIRECT, const_cast<PWSTR>(u"UDFrame"), &s, REG_SZ,
              const_cast<WCHAR*>(u""), 0};
  ASSERT_EQ(RtlQueryRegistryValues(RTL_REGISTRY_ABSOLUTE, kCurrentW, table, nullptr, nullptr), STATUS_SUCCESS);
  EXPECT_EQ(std::u16string(s.Buffer, s.Length / 2), u"C:\\frames\\mine.bmp");
  EXPECT_EQ(buffer[s.Length / 2], 0);

  // Caller buffer too short: filled up to its end with a terminator, never past it.
  WCHAR small[6];
  std::fill(std::begin(small), std::end(small), u'#');
  UNICODE_STRING t = {0, 8, small};  // room for three characters and a terminator
  table[0].EntryContext = &t;
  ASSERT_EQ(RtlQueryRegistryValues(RTL_REGISTRY_ABSOLUTE, kCurrentW, table, nullptr, nullptr), STATUS_SUCCESS);
  EXPECT_EQ(t.Length, 6);
  EXPECT_EQ(std::u16string(small, 3), u"C:\\");
  EXPECT_EQ(small[3], 0);
  EXPECT_EQ(small[4], u'#');

  // Null buffer: allocated from pool, freed by the caller.
  const long before = platform::PoolOutstanding();
  UNICODE_STRING p = {0, 0, nullptr};
  table[0].EntryContext = &p;
  ASSERT_EQ(RtlQueryRegistryValues(RTL_REGISTRY_ABSOLUTE, kCurrentW, table, nullptr, nullptr), STATUS_SUCCESS);
  EXPECT_EQ(std::u16string(p.Buffer, p.Length / 2), u"C:\\frames\\mine.bmp");
  EXPECT_EQ(platform::PoolOutstanding(), before + 1);
  RtlFreeUnicodeString(&p);
  EXPECT_EQ(platform::PoolOutstanding(), before);

  // Missing string: the empty default.
  UNICODE_STRING d = {0, sizeof buffer, buffer};
  table[0].Name = const_cast<PWSTR>(u"NoSuchValue");
  table[0].EntryContext = &d;
  ASSERT_EQ(RtlQueryRegistryValues(RTL_REGISTRY_ABSOLUTE, kCurrentW, table, nullptr, nullptr), STATUS_SUCCESS);
  EXPECT_EQ(d.Length, 0);
}

TEST_F(MachineTest, QueryRoutineSeesValuesOfTheKey) {
  ASSERT_TRUE(platform::RegCreateKeyPath(kCurrent));
  ASSERT_TRUE(platform::RegSetDword(kCurrent, "A", 1));
  ASSERT_TRUE(platform::RegSetString(kCurrent, "B", "bee"));
  struct Seen {
    std::vector<std::string> names;
    std::u16string text;
  } seen;
  auto routine = [](PWSTR name, ULONG type, PVOID data, ULONG length, PVOID context, PVOID) -> NTSTATUS {
    Seen* s = static_cast<Seen*>(context);
    s->names.push_back(platform::Narrow(name));
    if (type == REG_SZ) s->text.assign(static_cast<WCHAR*>(data), length / 2);
    return STATUS_SUCCESS;
  };
  RTL_QUERY_REGISTRY_TABLE table[2] = {};
  table[0].QueryRoutine = routine;
  ASSERT_EQ(RtlQueryRegistryValues(RTL_REGISTRY_ABSOLUTE, kCurrentW, table, &seen, nullptr), STATUS_SUCCESS);
  EXPECT_EQ(seen.names, (std::vector<std::string>{"A", "B"}));
  EXPECT_EQ(seen.text, std::u16string(u"bee\0", 4));
}

TEST_F(MachineTest, BadArgumentsAreRefused) {
  ASSERT_TRUE(platform::RegCreateKeyPath(kCurrent));
  ULONG v = 1;
  EXPECT_EQ(RtlWriteRegistryValue(RTL_REGISTRY_ABSOLUTE, kCurrentW, u"X", REG_DWORD, &v, 2), STATUS_INVALID_PARAMETER);
  EXPECT_EQ(RtlWriteRegistryValue(5, kCurrentW, u"X", REG_DWORD, &v, 4), STATUS_INVALID_PARAMETER);
  EXPECT_EQ(RtlWriteRegistryValue(RTL_REGISTRY_ABSOLUTE, u"\\Registry\\USER\\X", u"X", REG_DWORD, &v, 4),
            STATUS_OBJECT_NAME_NOT_FOUND);
  EXPECT_EQ(QueryDword(u"SOFTWARE\\Qorvane", u"X", &v), STATUS_OBJECT_NAME_NOT_FOUND);
  EXPECT_FALSE(platform::RegGetDword(kCurrent, "X", &v));
  EXPECT_FALSE(platform::RegCreateKeyPath("HKEY_CURRENT_USER\\X"));
  EXPECT_FALSE(platform::RegSetDword("HKLM\\No\\Such\\Key", "X", 1));
  EXPECT_FALSE(platform::RegKeyExists("HKLM\\No"));
}

TEST_F(MachineTest, EveryChangeIsSavedAndReloadedWithTheRoot) {
  ASSERT_TRUE(platform::SetRoot(root_));
  ASSERT_TRUE(platform::RegCreateKeyPath(kCurrent));
  ASSERT_EQ(WriteDword(kCurrentW, u"CameraStatus", 0x108), STATUS_SUCCESS);
  ASSERT_TRUE(platform::RegSetString(kCurrent, "UDFrame", "C:\\a \"b\"\\c.bmp"));
  const std::string saved = ReadHostFile(root_ + "/registry.reg");
  EXPECT_EQ(saved.rfind("Windows Registry Editor Version 5.00", 0), 0u);
  EXPECT_NE(saved.find("\"CameraStatus\"=dword:00000108"), std::string::npos);
  EXPECT_NE(saved.find("\"UDFrame\"=\"C:\\\\a \\\"b\\\"\\\\c.bmp\""), std::string::npos);

  // Another PC, then back: everything comes back from the file.
  platform::ResetMachine();
  EXPECT_FALSE(platform::RegKeyExists(kCurrent));
  ASSERT_TRUE(platform::SetRoot(root_));
  uint32_t status = 0;
  ASSERT_TRUE(platform::RegGetDword(kCurrentUser, "camerastatus", &status));
  EXPECT_EQ(status, 0x108u);
  std::string frame;
  ASSERT_TRUE(platform::RegGetString(kCurrent, "UDFrame", &frame));
  EXPECT_EQ(frame, "C:\\a \"b\"\\c.bmp");
  EXPECT_EQ(platform::RenderRegistryText(), saved);

  // The PC's standard folders exist.
  struct stat st;
  EXPECT_EQ(stat((root_ + "/Windows/System32").c_str(), &st), 0);
  EXPECT_EQ(stat((root_ + "/C").c_str(), &st), 0);
}

TEST_F(MachineTest, SaveReplacesTheFileInsteadOfRewritingIt) {
  ASSERT_TRUE(platform::SetRoot(root_));
  ASSERT_TRUE(platform::RegCreateKeyPath(kCurrent));
  ASSERT_TRUE(platform::RegSetDword(kCurrent, "CameraStatus", 1));
  const std::string path = root_ + "/registry.reg";
  const std::string before = ReadHostFile(path);
  // A reader that has the old file open keeps seeing the old, whole file.
  const int fd = open(path.c_str(), O_RDONLY);
  ASSERT_GE(fd, 0);
  ASSERT_TRUE(platform::RegSetDword(kCurrent, "CameraStatus", 2));
  std::string old(before.size() + 16, '\0');
  const ssize_t n = pread(fd, &old[0], old.size(), 0);
  close(fd);
  ASSERT_GE(n, 0);
  old.resize(static_cast<size_t>(n));
  EXPECT_EQ(old, before);
  EXPECT_NE(ReadHostFile(path).find("dword:00000002"), std::string::npos);
  // No temporary file is left behind.
  std::string cmd = "ls -a '" + root_ + "' | grep -c tmp";
  FILE* p = popen(cmd.c_str(), "r");
  char line[16] = {};
  ASSERT_NE(fgets(line, sizeof line, p), nullptr);
  pclose(p);
  EXPECT_STREQ(line, "0\n");
}

TEST_F(MachineTest, UnreadableRegistryFileLeavesAnEmptyRegistry) {
  WriteHostFile(root_ + "/registry.reg", "Windows Registry Editor Version 5.00\n\n[HKEY_LOCAL_MACHINE\\A]\n\"X\"=dword:zz\n");
  EXPECT_FALSE(platform::SetRoot(root_));
  EXPECT_FALSE(platform::RegKeyExists("HKLM\\A"));
  // The damaged file is not overwritten by loading, and the first change
  // keeps it aside instead of saving over it.
  EXPECT_NE(ReadHostFile(root_ + "/registry.reg").find("dword:zz"), std::string::npos);
  ASSERT_TRUE(platform::RegCreateKeyPath("HKLM\\New"));
  EXPECT_NE(ReadHostFile(root_ + "/registry.reg.damaged").find("dword:zz"), std::string::npos);
  EXPECT_NE(ReadHostFile(root_ + "/registry.reg").find("[HKEY_LOCAL_MACHINE\\New]"), std::string::npos);
  ASSERT_TRUE(platform::RegCreateKeyPath("HKLM\\Newer"));
  EXPECT_NE(ReadHostFile(root_ + "/registry.reg.damaged").find("dword:zz"), std::string::npos);
}

TEST_F(MachineTest, DeletingKeysAndValues) {
  ASSERT_TRUE(platform::RegCreateKeyPath(kCurrent));
  ASSERT_TRUE(platform::RegSetDword(kCurrent, "A", 1));
  EXPECT_TRUE(platform::RegDeleteValue(kCurrentUser, "a"));
  EXPECT_FALSE(platform::RegDeleteValue(kCurrentUser, "a"));
  EXPECT_TRUE(platform::RegDeleteKeyPath("HKLM\\SOFTWARE\\QORVANE"));
  EXPECT_FALSE(platform::RegKeyExists(kCurrent));
  EXPECT_TRUE(platform::RegKeyExists("HKLM\\SOFTWARE"));
  EXPECT_FALSE(platform::RegDeleteKeyPath("HKLM"));
}

// ---- the registry text -----------------------------------------------------------------

TEST_F(MachineTest, TextRoundTripOfEveryKindOfValue) {
  const std::string text =
      "Windows Registry Editor Version 5.00\r\n"
      "\r\n"
      "; a comment\r\n"
      "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Qorvane]\r\n"
      "@=\"default\"\r\n"
      "\"Quote\"=\"say \\\"hi\\\" \\\\o/\"\r\n"
      "\"Empty\"=\"\"\r\n"
      "\"Num\"=dword:FFFFFFFF\r\n"
      "\"Blob\"=hex:00,01,fe,\\\r\n"
      "  ff\r\n"
      "\"Lines\"=hex(1):61,00,0a,00,62,00,00,00\r\n"
      "\"Expand\"=hex(2):25,00,78,00,25,00,00,00\r\n"
      "\"Q\"=hex(b):01,00,00,00,00,00,00,00\r\n"
      "\r\n"
      "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Qorvane\\Empty Key]\r\n";
  std::string error;
  ASSERT_TRUE(platform::ParseRegistryText(text, &error)) << error;
  const char key[] = "HKLM\\SOFTWARE\\Qorvane";
  std::string s;
  ASSERT_TRUE(platform::RegGetString(key, "", &s));
  EXPECT_EQ(s, "default");
  ASSERT_TRUE(platform::RegGetString(key, "quote", &s));
  EXPECT_EQ(s, "say \"hi\" \\o/");
  ASSERT_TRUE(platform::RegGetString(key, "Lines", &s));
  EXPECT_EQ(s, "a\nb");
  ASSERT_TRUE(platform::RegGetString(key, "Expand", &s));
  EXPECT_EQ(s, "%x%");
  uint32_t d;
  ASSERT_TRUE(platform::RegGetDword(key, "Num", &d));
  EXPECT_EQ(d, 0xFFFFFFFFu);
  ULONG type;
  std::vector<uint8_t> blob;
  ASSERT_TRUE(platform::RegGetRaw(key, "Blob", &type, &blob));
  EXPECT_EQ(type, REG_BINARY);
  EXPECT_EQ(blob, (std::vector<uint8_t>{0, 1, 0xFE, 0xFF}));
  ASSERT_TRUE(platform::RegGetRaw(key, "Q", &type, &blob));
  EXPECT_EQ(type, 0xBu);
  EXPECT_EQ(blob.size(), 8u);
  EXPECT_TRUE(platform::RegKeyExists("HKLM\\SOFTWARE\\Qorvane\\empty key"));

  // Render, parse again, render again: the same text.
  const std::string rendered = platform::RenderRegistryText();
  ASSERT_TRUE(platform::ParseRegistryText(rendered, &error)) << error;
  EXPECT_EQ(platform::RenderRegistryText(), rendered);
}

TEST_F(MachineTest, LongBinaryValueWrapsAndComesBack) {
  ASSERT_TRUE(platform::RegCreateKeyPath("HKLM\\B"));
  std::vector<uint8_t> data(300);
  for (size_t i = 0; i < data.size(); ++i) data[i] = static_cast<uint8_t>(i * 7);
  ASSERT_TRUE(platform::RegSetRaw("HKLM\\B", "Blob", REG_BINARY, data));
  const std::string text = platform::RenderRegistryText();
  for (size_t b = 0, e; (e = text.find('\n', b)) != std::string::npos; b = e + 1) EXPECT_LE(e - b, 80u);
  std::string error;
  ASSERT_TRUE(platform::ParseRegistryText(text, &error)) << error;
  std::vector<uint8_t> back;
  ULONG type;
  ASSERT_TRUE(platform::RegGetRaw("HKLM\\B", "blob", &type, &back));
  EXPECT_EQ(back, data);
}

TEST_F(MachineTest, RegeditUtf16FileIsAccepted) {
  const std::u16string text = u"Windows Registry Editor Version 5.00\r\n\r\n[HKEY_LOCAL_MACHINE\\K]\r\n\"N\"=\"\u00e9t\u00e9\"\r\n";
  std::string bytes = "\xFF\xFE";
  for (char16_t c : text) {
    bytes.push_back(static_cast<char>(c & 0xFF));
    bytes.push_back(static_cast<char>(c >> 8));
  }
  std::string error;
  ASSERT_TRUE(platform::ParseRegistryText(bytes, &error)) << error;
  std::string s;
  ASSERT_TRUE(platform::RegGetString("HKLM\\K", "n", &s));
  EXPECT_EQ(s, "\xC3\xA9t\xC3\xA9");
}

struct BadText {
  const char* label;
  const char* text;
  const char* reason;  // part of the error message
};

class BadRegistryText : public MachineTest, public ::testing::WithParamInterface<BadText> {};

TEST_P(BadRegistryText, IsRefusedWithAReasonAndChangesNothing) {
  ASSERT_TRUE(platform::RegCreateKeyPath("HKLM\\Keep"));
  ASSERT_TRUE(platform::RegSetDword("HKLM\\Keep", "Value", 42));
  const std::string before = platform::RenderRegistryText();
  std::string error;
  EXPECT_FALSE(platform::ParseRegistryText(GetParam().text, &error));
  EXPECT_NE(error.find(GetParam().reason), std::string::npos) << error;
  EXPECT_EQ(platform::RenderRegistryText(), before);
}

const BadText kBadTexts[] = {
    {"Empty", "", "header"},
    {"WrongHeader", "REGEDIT5\n[HKEY_LOCAL_MACHINE\\A]\n", "header"},
    {"ValueBeforeKey", "Windows Registry Editor Version 5.00\n\"A\"=dword:1\n", "outside a key"},
    {"OtherHive", "Windows Registry Editor Version 5.00\n[HKEY_CURRENT_USER\\A]\n", "HKEY_LOCAL_MACHINE"},
    {"HivePrefixOnly", "Windows Registry Editor Version 5.00\n[HKEY_LOCAL_MACHINEX]\n", "HKEY_LOCAL_MACHINE"},
    {"UnclosedSection", "Windows Registry Editor Version 5.00\n[HKEY_LOCAL_MACHINE\\A\n", "line 2"},
    {"DwordTooLong", "Windows Registry Editor Version 5.00\n[HKEY_LOCAL_MACHINE\\A]\n\"X\"=dword:123456789\n",
     "dword"},
    {"DwordEmpty", "Windows Registry Editor Version 5.00\n[HKEY_LOCAL_MACHINE\\A]\n\"X\"=dword:\n", "dword"},
    {"UnterminatedName", "Windows Registry Editor Version 5.00\n[HKEY_LOCAL_MACHINE\\A]\n\"X=dword:1\n",
     "unterminated"},
    {"UnterminatedString", "Windows Registry Editor Version 5.00\n[HKEY_LOCAL_MACHINE\\A]\n\"X\"=\"abc\n",
     "unterminated"},
    {"UnknownEscape", "Windows Registry Editor Version 5.00\n[HKEY_LOCAL_MACHINE\\A]\n\"X\"=\"a\\nb\"\n", "escape"},
    {"TextAfterString", "Windows Registry Editor Version 5.00\n[HKEY_LOCAL_MACHINE\\A]\n\"X\"=\"a\" b\n", "after"},
    {"NoEquals", "Windows Registry Editor Version 5.00\n[HKEY_LOCAL_MACHINE\\A]\n\"X\" dword:1\n", "'='"},
    {"BadHexByte", "Windows Registry Editor Version 5.00\n[HKEY_LOCAL_MACHINE\\A]\n\"X\"=hex:01,123\n", "byte"},
    {"HexTrailingComma", "Windows Registry Editor Version 5.00\n[HKEY_LOCAL_MACHINE\\A]\n\"X\"=hex:01,\n", "byte"},
    {"HexContinuesPastEnd", "Windows Registry Editor Version 5.00\n[HKEY_LOCAL_MACHINE\\A]\n\"X\"=hex:01,\\",
     "past the end"},
    {"BadHexType", "Windows Registry Editor Version 5.00\n[HKEY_LOCAL_MACHINE\\A]\n\"X\"=hex(q):01\n", "hex(type)"},
    {"OddUtf16String", "Windows Registry Editor Version 5.00\n[HKEY_LOCAL_MACHINE\\A]\n\"X\"=hex(1):61\n", "odd"},
    {"UnknownData", "Windows Registry Editor Version 5.00\n[HKEY_LOCAL_MACHINE\\A]\n\"X\"=qword:1\n", "unrecognised"},
    {"StrayText", "Windows Registry Editor Version 5.00\n[HKEY_LOCAL_MACHINE\\A]\nhello\n", "unexpected"},
    {"ValueAfterDeletedKey", "Windows Registry Editor Version 5.00\n[-HKEY_LOCAL_MACHINE\\A]\n\"X\"=dword:1\n",
     "outside a key"},
};

INSTANTIATE_TEST_SUITE_P(Parser, BadRegistryText, ::testing::ValuesIn(kBadTexts),
                         [](const ::testing::TestParamInfo<BadText>& info) { return std::string(info.param.label); });

TEST_F(MachineTest, KeyNamesBeyondTheLimitsAreRefused) {
  std::string error;
  const std::string longName(256, 'k');
  EXPECT_FALSE(platform::ParseRegistryText(
      "Windows Registry Editor Version 5.00\n[HKEY_LOCAL_MACHINE\\" + longName + "]\n", &error));
  std::string deep = "Windows Registry Editor Version 5.00\n[HKEY_LOCAL_MACHINE";
  for (int i = 0; i < 513; ++i) deep += "\\k";
  EXPECT_FALSE(platform::ParseRegistryText(deep + "]\n", &error));
  EXPECT_FALSE(platform::ParseRegistryText(std::string("Windows Registry Editor Version 5.00\n\0\n", 40), &error));
  EXPECT_NE(error.find("NUL"), std::string::npos);
  EXPECT_FALSE(platform::RegCreateKeyPath("HKLM\\" + longName));
  EXPECT_FALSE(platform::RegCreateKeyPath("HKLM\\bad\nname"));
}

}  // namespace
