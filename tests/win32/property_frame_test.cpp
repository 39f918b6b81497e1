// The OLE property frame with test page classes created through COM: the
// order of the page calls, the site's answers, Apply to dirty pages, a page
// whose Apply fails, and the release of everything on close.
#include <objbase.h>
#include <ocidl.h>
#include <olectl.h>

#include "platform/machine/builtin_classes.h"
#include "platform/machine/com_control.h"
#include "platform/nt/platform_control.h"
#include "tests/win32/resources.h"
#include "tests/win32/win32_test.h"

namespace win32_test {
namespace {

// {6F1E5A10-77A0-4B3C-9D11-0A0B0C0D0E01} and ...02
DEFINE_GUID(CLSID_TestPageAlpha, 0x6F1E5A10, 0x77A0, 0x4B3C, 0x9D, 0x11, 0x0A, 0x0B, 0x0C, 0x0D, 0x0E, 0x01);
DEFINE_GUID(CLSID_TestPageBeta, 0x6F1E5A10, 0x77A0, 0x4B3C, 0x9D, 0x11, 0x0A, 0x0B, 0x0C, 0x0D, 0x0E, 0x02);
DEFINE_GUID(CLSID_NotRegistered, 0x6F1E5A10, 0x77A0, 0x4B3C, 0x9D, 0x11, 0x0A, 0x0B, 0x0C, 0x0D, 0x0E, 0x03);

std::vector<std::string> g_calls;
HRESULT g_betaApply = S_OK;
HWND g_pageWindow[2] = {nullptr, nullptr};

class TestPage : public IPropertyPage {
 public:
  TestPage(const char* name, int templateId, int slot) : name_(name), template_(templateId), slot_(slot) {}
  STDMETHODIMP QueryInterface(REFIID iid, void** object) override {
    if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IPropertyPage)) {
      *object = static_cast<IPropertyPage*>(this);
      AddRef();
      return S_OK;
    }
    *object = nullptr;
    return E_NOINTERFACE;
  }
  STDMETHODIMP_(ULONG) AddRef() override { return ++references_; }
  STDMETHODIMP_(ULONG) Release() override {
    if (--references_) return references_;
    Log("destroyed");
    delete this;
    return 0;
  }
  STDMETHODIMP SetPageSite(IPropertyPageSite* site) override {
    Log(site ? "SetPageSite" : "SetPageSite(null)");
    if (site_) site_->Release();
    site_ = site;
    if (site_) site_->AddRef();
    return S_OK;
  }
  STDMETHODIMP Activate(HWND parent, LPCRECT rect, BOOL modal) override {
    Log("Activate");
    LCID locale = 0;
    EXPECT_EQ(site_->GetLocaleID(&locale), S_OK);
    EXPECT_EQ(locale, 0x0411u);
    IUnknown* container = reinterpret_cast<IUnknown*>(1);
    EXPECT_EQ(site_->GetPageContainer(&container), E_NOTIMPL);
    EXPECT_EQ(container, nullptr);
    EXPECT_EQ(site_->TranslateAccelerator(nullptr), S_FALSE);
    window_ = CreateDialogParamA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(template_), parent, PageProc,
                                 reinterpret_cast<LPARAM>(this));
    g_pageWindow[slot_] = window_;
    MoveWindow(window_, rect->left, rect->top, rect->right - rect->left, rect->bottom - rect->top, FALSE);
    return window_ ? S_OK : E_FAIL;
  }
  STDMETHODIMP Deactivate() override {
    Log("Deactivate");
    DestroyWindow(window_);
    window_ = nullptr;
    return S_OK;
  }
  STDMETHODIMP GetPageInfo(PROPPAGEINFO* info) override {
    Log("GetPageInfo");
    const std::wstring title(name_.begin(), name_.end());
    info->pszTitle = static_cast<LPOLESTR>(CoTaskMemAlloc((title.size() + 1) * sizeof(WCHAR)));
    std::wcscpy(info->pszTitle, title.c_str());
    info->size = SIZE{slot_ == 0 ? 270 : 385, slot_ == 0 ? 146 : 225};
    info->pszDocString = info->pszHelpFile = nullptr;
    info->dwHelpContext = 0;
    return S_OK;
  }
  STDMETHODIMP SetObjects(ULONG count, IUnknown** objects) override {
    Log("SetObjects(" + std::to_string(count) + ")");
    return S_OK;
  }
  STDMETHODIMP Show(UINT command) override {
    ShowWindow(window_, int(command));
    return S_OK;
  }
  STDMETHODIMP Move(LPCRECT) override { return S_OK; }
  STDMETHODIMP IsPageDirty() override { return dirty_ ? S_OK : S_FALSE; }
  STDMETHODIMP Apply() override {
    Log("Apply");
    const HRESULT hr = slot_ == 1 ? g_betaApply : S_OK;
    if (SUCCEEDED(hr)) dirty_ = false;
    return hr;
  }
  STDMETHODIMP Help(LPCOLESTR) override { return E_NOTIMPL; }
  STDMETHODIMP TranslateAccelerator(MSG*) override { return E_NOTIMPL; }

 private:
  virtual ~TestPage() {
    if (site_) site_->Release();
  }
  void Log(const std::string& call) { g_calls.push_back(name_ + "." + call); }
  static INT_PTR CALLBACK PageProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_INITDIALOG) {
      SetWindowLongPtrA(dialog, DWLP_USER, lParam);
      return TRUE;
    }
    TestPage* page = reinterpret_cast<TestPage*>(GetWindowLongPtrA(dialog, DWLP_USER));
    if (page && message == WM_COMMAND && (HIWORD(wParam) == EN_CHANGE || HIWORD(wParam) == BN_CLICKED)) {
      page->dirty_ = true;
      page->site_->OnStatusChange(PROPPAGESTATUS_DIRTY);
      return TRUE;
    }
    return FALSE;
  }
  std::string name_;
  int template_;
  int slot_;
  ULONG references_ = 1;
  IPropertyPageSite* site_ = nullptr;
  HWND window_ = nullptr;
  bool dirty_ = false;
};

template <int Slot>
HRESULT CreateTestPage(IUnknown* outer, REFIID iid, void** object) {
  if (outer) return CLASS_E_NOAGGREGATION;
  TestPage* page = Slot == 0 ? new TestPage("Alpha", IDD_PAGE_ONE, 0) : new TestPage("Beta", IDD_PAGE_TWO, 1);
  const HRESULT hr = page->QueryInterface(iid, object);
  page->Release();
  return hr;
}

const platform::BuiltinClassRegistrar kAlpha(
    {CLSID_TestPageAlpha, "Test Page Alpha", "winpagetest.dll", "Both", CreateTestPage<0>});
const platform::BuiltinClassRegistrar kBeta(
    {CLSID_TestPageBeta, "Test Page Beta", "winpagetest.dll", "Both", CreateTestPage<1>});

class PropertyFrameTest : public WindowTest {
 protected:
  void SetUp() override {
    WindowTest::SetUp();
    platform::ResetMachine();
    ASSERT_TRUE(platform::RegisterBuiltinClassesInRegistry());
    ASSERT_TRUE(SUCCEEDED(CoInitialize(nullptr)));
    g_calls.clear();
    g_betaApply = S_OK;
  }
  void TearDown() override {
    CoUninitialize();
    platform::ResetMachine();
    WindowTest::TearDown();
  }
};

TEST_F(PropertyFrameTest, PagesAreSitedActivatedAppliedAndReleased) {
  HWND owner = CreateWindowExA(0, "Static", "app", WS_POPUP | WS_VISIBLE, 50, 60, 300, 200, nullptr, nullptr,
                               nullptr, nullptr);
  IUnknown* filter = reinterpret_cast<IUnknown*>(owner);  // only passed along, never called
  CLSID pages[] = {CLSID_TestPageAlpha, CLSID_NotRegistered, CLSID_TestPageBeta};
  bool sawFailure = false;
  platform::SetModalHook([&](HWND frame, platform::ModalEvent event) {
    if (event != platform::ModalEvent::Shown) return;
    char caption[64];
    GetWindowTextA(frame, caption, sizeof caption);
    EXPECT_STREQ(caption, "USB Camera Properties");
    EXPECT_FALSE(IsWindowEnabled(owner));
    HWND apply = GetDlgItem(frame, 0x3021);
    EXPECT_FALSE(IsWindowEnabled(apply));
    // The frame fits the larger page; the first page lies in the tab area.
    RECT display = RectInParent(g_pageWindow[0]);
    EXPECT_EQ(display.right - display.left, 385);
    RECT tab = RectInParent(GetDlgItem(frame, 0x3020));
    EXPECT_GE(tab.right - tab.left, 385);

    platform::TypeText(GetDlgItem(g_pageWindow[0], IDC_PAGE_EDIT), "5");
    EXPECT_TRUE(IsWindowEnabled(apply));
    ASSERT_TRUE(platform::SelectTab(frame, 1));
    platform::ClickButton(GetDlgItem(g_pageWindow[1], IDC_PAGE_CHECK));
    g_betaApply = E_FAIL;
    platform::ClickDialogButton(frame, IDOK);  // Beta fails to apply: the frame stays
    sawFailure = IsWindowVisible(frame) && IsWindowVisible(g_pageWindow[1]);
    g_betaApply = S_OK;
    platform::ClickDialogButton(frame, IDOK);
  });
  EXPECT_EQ(OleCreatePropertyFrame(owner, 10, 20, L"USB Camera", 1, &filter, 3, pages, 0x0411, 0, nullptr), S_OK);
  EXPECT_TRUE(sawFailure);
  EXPECT_TRUE(IsWindowEnabled(owner));
  EXPECT_EQ(g_calls, (std::vector<std::string>{
                         "Alpha.SetPageSite", "Alpha.SetObjects(1)", "Alpha.GetPageInfo",
                         "Beta.SetPageSite", "Beta.SetObjects(1)", "Beta.GetPageInfo",
                         "Alpha.Activate",
                         "Alpha.Deactivate", "Beta.Activate",        // the tab changes
                         "Alpha.Apply", "Beta.Apply",                 // OK: Beta fails
                         "Beta.Apply",                                // OK again (Alpha is clean)
                         "Beta.Deactivate",                           // the frame closes
                         "Alpha.SetObjects(0)", "Alpha.SetPageSite(null)", "Alpha.destroyed",
                         "Beta.SetObjects(0)", "Beta.SetPageSite(null)", "Beta.destroyed"}));
}

TEST_F(PropertyFrameTest, NoPageNoFrame) {
  CLSID missing = CLSID_NotRegistered;
  EXPECT_EQ(OleCreatePropertyFrame(nullptr, 0, 0, L"x", 0, nullptr, 1, &missing, 0, 0, nullptr),
            REGDB_E_CLASSNOTREG);
  EXPECT_EQ(OleCreatePropertyFrame(nullptr, 0, 0, L"x", 1, nullptr, 0, nullptr, 0, 0, nullptr), E_POINTER);
  EXPECT_TRUE(platform::TopLevelWindowList().empty());
}

}  // namespace
}  // namespace win32_test
