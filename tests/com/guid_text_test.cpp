// GUID text both ways: the form Windows writes, the forms it reads, and
// everything else refused with the SDK's errors.
#include <gtest/gtest.h>

#include <objbase.h>

#include <cwchar>
#include <string>

#include "platform/machine/com_control.h"
#include "platform/machine/guid_text.h"

namespace {

// {3DC2E820-4713-11D2-BA41-00A0C90D2B05}
DEFINE_GUID(kSample, 0x3DC2E820, 0x4713, 0x11D2, 0xBA, 0x41, 0x00, 0xA0, 0xC9, 0x0D, 0x2B, 0x05);
const wchar_t kSampleText[] = L"{3DC2E820-4713-11D2-BA41-00A0C90D2B05}";

TEST(GuidText, WrittenUpperCaseAndReadInEitherCase) {
  wchar_t buffer[39];
  EXPECT_EQ(StringFromGUID2(kSample, buffer, 39), 39);
  EXPECT_STREQ(buffer, kSampleText);
  // One character short: nothing written, 0 returned.
  wchar_t shortBuffer[38];
  std::wmemset(shortBuffer, L'#', 38);
  EXPECT_EQ(StringFromGUID2(kSample, shortBuffer, 38), 0);
  EXPECT_EQ(shortBuffer[0], L'#');

  const long blocks = platform::CoTaskMemOutstanding();
  LPOLESTR text = nullptr;
  ASSERT_EQ(StringFromCLSID(kSample, &text), S_OK);
  EXPECT_STREQ(text, kSampleText);
  EXPECT_EQ(platform::CoTaskMemOutstanding(), blocks + 1);
  CoTaskMemFree(text);
  EXPECT_EQ(platform::CoTaskMemOutstanding(), blocks);
  EXPECT_EQ(StringFromIID(kSample, nullptr), E_INVALIDARG);

  CLSID clsid = {};
  ASSERT_EQ(CLSIDFromString(L"{3dc2e820-4713-11d2-ba41-00a0c90d2b05}", &clsid), S_OK);
  EXPECT_EQ(clsid, kSample);
  IID iid = {};
  ASSERT_EQ(IIDFromString(kSampleText, &iid), S_OK);
  EXPECT_EQ(iid, kSample);
  // A null string is GUID_NULL.
  ASSERT_EQ(CLSIDFromString(nullptr, &clsid), S_OK);
  EXPECT_EQ(clsid, GUID_NULL);

  // The machine helper is the same text, and reads it back.
  EXPECT_EQ(platform::GuidToText(kSample), "{3DC2E820-4713-11D2-BA41-00A0C90D2B05}");
  GUID back = {};
  ASSERT_TRUE(platform::ParseGuidText(platform::GuidToText(kSample), &back));
  EXPECT_EQ(back, kSample);
}

TEST(GuidText, EveryFieldKeepsItsBytes) {
  // Distinct values in every byte catch a field read from the wrong place.
  const GUID g = {0x01234567, 0x89AB, 0xCDEF, {0x10, 0x32, 0x54, 0x76, 0x98, 0xBA, 0xDC, 0xFE}};
  EXPECT_EQ(platform::GuidToText(g), "{01234567-89AB-CDEF-1032-547698BADCFE}");
  GUID back = {};
  ASSERT_TRUE(platform::ParseGuidText(std::string("{01234567-89ab-cdef-1032-547698badcfe}"), &back));
  EXPECT_EQ(back, g);
}

TEST(GuidText, AnythingElseIsRefusedAndLeavesTheResultAlone) {
  const wchar_t* const bad[] = {
      L"",
      L"3DC2E820-4713-11D2-BA41-00A0C90D2B05",      // no braces
      L"{3DC2E820-4713-11D2-BA41-00A0C90D2B05",     // no closing brace
      L"{3DC2E820-4713-11D2-BA41-00A0C90D2B05}x",   // trailing text
      L" {3DC2E820-4713-11D2-BA41-00A0C90D2B05}",   // leading blank
      L"{3DC2E820-4713-11D2-BA4100A0C90D2B05-}",    // dash moved
      L"{3DC2E820-4713-11D2-BA41-00A0C90D2B0G}",    // not a hex digit
      L"{3DC2E82-04713-11D2-BA41-00A0C90D2B05}",    // group lengths shifted
      L"{+DC2E820-4713-11D2-BA41-00A0C90D2B05}",    // sign
      L"{3DC2E820-4713-11D2-BA41-00A0C90D2B0\u0665}",  // a non-ASCII digit
      L"{3DC2E820-4713-11D2-BA41-00A0C90D2B05}{3DC2E820-4713-11D2-BA41-00A0C90D2B05}",
  };
  for (const wchar_t* text : bad) {
    CLSID clsid = kSample;
    EXPECT_EQ(CLSIDFromString(text, &clsid), CO_E_CLASSSTRING) << std::wstring(text).size();
    EXPECT_EQ(clsid, kSample);
    IID iid = kSample;
    EXPECT_EQ(IIDFromString(text, &iid), E_INVALIDARG);
    EXPECT_EQ(iid, kSample);
  }
  // A wide character whose low byte is a valid digit is not that digit.
  std::wstring aliased = kSampleText;
  aliased[1] = wchar_t(0x100 | '3');
  CLSID clsid;
  EXPECT_EQ(CLSIDFromString(aliased.c_str(), &clsid), CO_E_CLASSSTRING);
  EXPECT_EQ(CLSIDFromString(kSampleText, nullptr), E_INVALIDARG);

  GUID g = kSample;
  EXPECT_FALSE(platform::ParseGuidText(std::string("{3DC2E820-4713-11D2-BA41-00A0C90D2B05\0", 39), &g));
  EXPECT_FALSE(platform::ParseGuidText(std::string("{3DC2E820-4713-11D2-BA41-00A0C90D2B\0}", 38), &g));
  EXPECT_EQ(g, kSample);
}

TEST(GuidText, TaskMemoryBlocksAreCounted) {
  const long before = platform::CoTaskMemOutstanding();
  void* a = CoTaskMemAlloc(0);  // a real block, so success shows
  ASSERT_NE(a, nullptr);
  void* b = CoTaskMemRealloc(nullptr, 16);
  ASSERT_NE(b, nullptr);
  b = CoTaskMemRealloc(b, 4096);
  ASSERT_NE(b, nullptr);
  EXPECT_EQ(platform::CoTaskMemOutstanding(), before + 2);
  EXPECT_EQ(CoTaskMemRealloc(a, 0), nullptr);
  CoTaskMemFree(b);
  CoTaskMemFree(nullptr);
  EXPECT_EQ(platform::CoTaskMemOutstanding(), before);
}

}  // namespace
