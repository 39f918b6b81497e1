// Texts of statuses (AMGetErrorTextA/W) and the automation strings and
// variants the property bags hand out.
#include "tests/dshow/dshow_fixture.h"

namespace dshowtest {
namespace {

TEST(ErrorText, KnownCodesAreCutToTheBufferUnknownOnesGiveNothing) {
  char text[MAX_ERROR_TEXT_LEN];
  DWORD n = AMGetErrorTextA(VFW_E_NOT_CONNECTED, text, sizeof(text));
  ASSERT_GT(n, 0u);
  EXPECT_EQ(n, std::strlen(text));
  for (HRESULT hr : {E_FAIL, E_OUTOFMEMORY, E_INVALIDARG, E_NOINTERFACE, E_POINTER, E_UNEXPECTED, E_NOTIMPL,
                     E_ACCESSDENIED, VFW_E_NEED_OWNER, HRESULT_FROM_WIN32(ERROR_NOT_SUPPORTED),
                     HRESULT_FROM_WIN32(ERROR_DEVICE_NOT_CONNECTED), HRESULT_FROM_WIN32(ERROR_INVALID_PARAMETER)})
    EXPECT_GT(AMGetErrorTextA(hr, text, sizeof(text)), 0u) << std::hex << hr;

  const std::string full = (AMGetErrorTextA(E_OUTOFMEMORY, text, sizeof(text)), text);
  char small[10];
  std::memset(small, 'x', sizeof(small));
  EXPECT_EQ(AMGetErrorTextA(E_OUTOFMEMORY, small, sizeof(small)), 9u);
  EXPECT_EQ(std::string(small), full.substr(0, 9));

  std::memset(small, 'x', sizeof(small));
  EXPECT_EQ(AMGetErrorTextA(HRESULT(0x80041234), small, sizeof(small)), 0u);
  EXPECT_EQ(small[0], 'x');
  EXPECT_EQ(AMGetErrorTextA(S_OK, small, sizeof(small)), 0u);
  EXPECT_EQ(AMGetErrorTextA(E_FAIL, small, 0), 0u);
  EXPECT_EQ(small[0], 'x');
  EXPECT_EQ(AMGetErrorTextA(E_FAIL, nullptr, 10), 0u);

  WCHAR wide[MAX_ERROR_TEXT_LEN];
  ASSERT_EQ(AMGetErrorTextW(E_OUTOFMEMORY, wide, MAX_ERROR_TEXT_LEN), full.size());
  EXPECT_EQ(std::wstring(wide), std::wstring(full.begin(), full.end()));
}

using Automation = DshowTest;

TEST_F(Automation, StringsKnowTheirLengthAndVariantsTheirContents) {
  BSTR text = SysAllocString(L"Camera");
  ASSERT_NE(text, nullptr);
  EXPECT_EQ(SysStringLen(text), 6u);
  EXPECT_EQ(SysStringByteLen(text), 6 * sizeof(OLECHAR));
  EXPECT_EQ(text[6], 0);
  BSTR cut = SysAllocStringLen(L"Came\0ra", 7);  // embedded zeros are kept
  EXPECT_EQ(SysStringLen(cut), 7u);
  BSTR blank = SysAllocStringLen(nullptr, 3);
  EXPECT_EQ(SysStringLen(blank), 3u);
  EXPECT_EQ(blank[0], 0);
  EXPECT_EQ(SysAllocString(nullptr), nullptr);
  EXPECT_EQ(SysStringLen(nullptr), 0u);
  EXPECT_EQ(SysAllocStringLen(L"x", 0xFFFFFFFFu), nullptr);
  SysFreeString(cut);
  SysFreeString(blank);
  SysFreeString(nullptr);

  VARIANT a, b;
  VariantInit(&a);
  VariantInit(&b);
  EXPECT_EQ(a.vt, VT_EMPTY);
  a.vt = VT_BSTR;
  a.bstrVal = text;
  ASSERT_EQ(VariantCopy(&b, &a), S_OK);
  EXPECT_NE(b.bstrVal, a.bstrVal);  // a copy of its own
  EXPECT_EQ(std::wstring(b.bstrVal), L"Camera");
  EXPECT_EQ(VariantClear(&a), S_OK);
  EXPECT_EQ(a.vt, VT_EMPTY);
  EXPECT_EQ(std::wstring(b.bstrVal), L"Camera");

  // An interface in a variant is held, and let go by VariantClear.
  Ref<IBaseFilter> renderer;
  ASSERT_EQ(Create(CLSID_NullRenderer, IID_IBaseFilter, &renderer), S_OK);
  VARIANT c;
  VariantInit(&c);
  c.vt = VT_UNKNOWN;
  c.punkVal = renderer.get();
  ASSERT_EQ(VariantCopy(&b, &c), S_OK);  // b's string is freed first
  EXPECT_EQ(RefCount(renderer.get()), 2u);
  EXPECT_EQ(VariantClear(&b), S_OK);
  EXPECT_EQ(RefCount(renderer.get()), 1u);
  c.vt = VT_ARRAY | VT_I4;
  EXPECT_EQ(VariantClear(&c), DISP_E_BADVARTYPE);
  EXPECT_EQ(VariantClear(nullptr), E_INVALIDARG);
}

}  // namespace
}  // namespace dshowtest
