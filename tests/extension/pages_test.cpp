// The four pages as a property frame drives them: the IPropertyPage
// contract, the interfaces bound to the filter, the dialog template chosen by
// Layer (read from the native registry view under WOW64), and the captions
// and titles the localisation file gives in the system's language.
#include <gtest/gtest.h>

#include <commctrl.h>
#include <ocidl.h>

#include <string>

#include "platform/machine/window_system.h"
#include "shared/qcamext_classes.h"
#include "tests/extension/ext_fixture.h"
#include "tests/extension/fake_objects.h"

namespace ext_test {
namespace {

constexpr int kPictureGroup = 1161;
constexpr int kBandingGroup = 1207;
constexpr int kLowLight = 1133;
constexpr int kPrivacy = 1210;
constexpr int kSaveButton = 1118;
constexpr int kReloadButton = 1131;
constexpr int kDefaultButton = 1132;

class PagesTest : public ModuleTest {
 protected:
  void SetUp() override {
    ModuleTest::SetUp();
    platform::ResetWindowSystemControls();
    parent_ = CreateWindowExA(0, "#32770", "frame", WS_POPUP | WS_VISIBLE, 0, 0, 800, 700, NULL, NULL, NULL, NULL);
    ASSERT_NE(parent_, nullptr);
  }
  void TearDown() override {
    if (parent_) DestroyWindow(parent_);
    platform::ResetWindowSystemControls();
    ModuleTest::TearDown();
  }

  IPropertyPage* CreatePage(REFCLSID clsid) {
    IClassFactory* factory = Factory(clsid);
    IPropertyPage* page = nullptr;
    EXPECT_EQ(factory->CreateInstance(nullptr, IID_IPropertyPage, reinterpret_cast<void**>(&page)), S_OK);
    factory->Release();
    return page;
  }

  // Opens the page on the filter as a frame does and returns its window.
  HWND OpenPage(IPropertyPage* page, FakeFilter* filter) {
    IUnknown* objects[] = {filter->Unknown()};
    EXPECT_EQ(page->SetObjects(1, objects), S_OK);
    RECT rect = {10, 20, 500, 420};
    EXPECT_EQ(page->Activate(parent_, &rect, TRUE), S_OK);
    return GetWindow(parent_, GW_CHILD);
  }
  void ClosePage(IPropertyPage* page) {
    EXPECT_EQ(page->Deactivate(), S_OK);
    EXPECT_EQ(page->SetObjects(0, nullptr), S_OK);
    EXPECT_EQ(page->Release(), 0u);
  }

  static std::string Caption(HWND page, int id) {
    char text[128] = {};
    GetDlgItemTextA(page, id, text, sizeof(text));
    return text;
  }
  static bool Visible(HWND page, int id) { return IsWindowVisible(GetDlgItem(page, id)) != FALSE; }

  std::wstring Title(IPropertyPage* page) {
    PROPPAGEINFO info = {};
    EXPECT_EQ(page->GetPageInfo(&info), S_OK);
    std::wstring title = info.pszTitle ? info.pszTitle : L"";
    CoTaskMemFree(info.pszTitle);
    return title;
  }

  void WriteIni(const std::string& text) {
    std::ofstream out(root_ + "/Windows/System32/QCAMCFG.ini", std::ios::binary);
    out << text;
  }
  void SetLanguage(uint16_t language) {
    platform::PcSettings settings = platform::GetPcSettings();
    settings.languageId = language;
    ASSERT_TRUE(platform::SetPcSettings(settings));
  }

  HWND parent_ = nullptr;
};

TEST_F(PagesTest, PropertyPageContract) {
  Load();
  IPropertyPage* page = CreatePage(CLSID_CustomCameraPage);
  ASSERT_NE(page, nullptr);
  FakeSite site;
  EXPECT_EQ(page->SetPageSite(nullptr), E_UNEXPECTED) << "no site held yet";
  EXPECT_EQ(page->SetPageSite(&site), S_OK);
  EXPECT_EQ(page->SetPageSite(&site), E_UNEXPECTED);
  EXPECT_EQ(site.references, 2);

  RECT rect = {0, 0, 100, 100};
  EXPECT_EQ(page->Activate(parent_, nullptr, TRUE), E_POINTER);
  EXPECT_EQ(page->Activate(parent_, &rect, TRUE), E_UNEXPECTED) << "no objects yet";
  EXPECT_EQ(page->Apply(), E_UNEXPECTED);
  EXPECT_EQ(page->SetObjects(1, nullptr), E_POINTER);
  IUnknown* none[] = {nullptr};
  EXPECT_EQ(page->SetObjects(1, none), E_POINTER);
  FakeFilter filter;
  IUnknown* two[] = {filter.Unknown(), filter.Unknown()};
  EXPECT_EQ(page->SetObjects(2, two), E_UNEXPECTED);
  EXPECT_EQ(page->GetPageInfo(nullptr), E_POINTER);
  EXPECT_EQ(page->Deactivate(), E_UNEXPECTED);
  EXPECT_EQ(page->Move(&rect), E_UNEXPECTED);

  // A filter without one of the interfaces: the failure is shown and
  // returned, and nothing stays bound.
  FakeFilter noCameraControl(true, true, false);
  IUnknown* partial[] = {noCameraControl.Unknown()};
  EXPECT_EQ(page->SetObjects(1, partial), E_NOINTERFACE);
  ASSERT_EQ(platform::MessageBoxLog().size(), 1u);
  EXPECT_EQ(platform::MessageBoxLog()[0].caption, "Error!");
  EXPECT_EQ(platform::MessageBoxLog()[0].owner, nullptr);
  EXPECT_EQ(platform::MessageBoxLog()[0].type & MB_ICONERROR, unsigned(MB_ICONERROR));
  EXPECT_EQ(page->SetObjects(0, nullptr), S_OK);
  EXPECT_EQ(noCameraControl.references, 1);

  HWND window = OpenPage(page, &filter);
  ASSERT_NE(window, nullptr);
  EXPECT_EQ(filter.references, 4) << "the page holds its three interfaces";
  EXPECT_EQ(page->Activate(parent_, &rect, TRUE), E_UNEXPECTED) << "already active";
  EXPECT_TRUE(IsWindowVisible(window));
  RECT placed;
  GetWindowRect(window, &placed);
  EXPECT_EQ(placed.right - placed.left, 490);
  EXPECT_EQ(placed.bottom - placed.top, 400);
  EXPECT_EQ(page->Show(SW_MAXIMIZE), E_INVALIDARG);
  EXPECT_EQ(page->Show(SW_HIDE), S_OK);
  EXPECT_FALSE(IsWindowVisible(window));
  EXPECT_EQ(page->Show(SW_SHOW), S_OK);
  EXPECT_EQ(page->Move(nullptr), E_POINTER);
  EXPECT_EQ(page->IsPageDirty(), S_FALSE);
  EXPECT_EQ(page->Apply(), S_OK);
  EXPECT_EQ(page->Help(nullptr), E_NOTIMPL);
  EXPECT_EQ(page->TranslateAccelerator(nullptr), E_NOTIMPL);

  // The page's size is its template's, measured from a hidden dialog that is
  // gone again.
  const size_t windows = platform::TopLevelWindowList().size();
  PROPPAGEINFO info = {};
  ASSERT_EQ(page->GetPageInfo(&info), S_OK);
  EXPECT_EQ(info.cb, sizeof(PROPPAGEINFO));
  EXPECT_STREQ(info.pszTitle, L"Camera Amp") << "no localisation file: the string table's title";
  EXPECT_EQ(info.pszDocString, nullptr);
  EXPECT_EQ(info.pszHelpFile, nullptr);
  EXPECT_EQ(info.dwHelpContext, 0u);
  RECT units = {0, 0, 264, 264};
  MapDialogRect(window, &units);
  EXPECT_EQ(info.size.cx, units.right);
  EXPECT_EQ(info.size.cy, units.bottom);
  CoTaskMemFree(info.pszTitle);
  EXPECT_EQ(platform::TopLevelWindowList().size(), windows);

  EXPECT_EQ(page->Deactivate(), S_OK);
  EXPECT_FALSE(IsWindow(window));
  EXPECT_EQ(page->Deactivate(), E_UNEXPECTED);
  EXPECT_EQ(page->SetObjects(0, nullptr), S_OK);
  EXPECT_EQ(filter.references, 1);
  EXPECT_EQ(page->Apply(), E_UNEXPECTED) << "no objects";
  EXPECT_EQ(page->SetPageSite(nullptr), S_OK);
  EXPECT_EQ(site.references, 1);
  EXPECT_EQ(page->Release(), 0u);
  EXPECT_EQ(canUnloadNow_(), S_OK);

  // The command page's title comes from the string table.
  IPropertyPage* command = CreatePage(CLSID_CommandPage);
  EXPECT_EQ(Title(command), L"Qorvane");
  EXPECT_EQ(command->Release(), 0u);
}

TEST_F(PagesTest, LayerChoosesTheTemplateFromTheNativeRegistryView) {
  // A 32-bit process on 64-bit Windows: the driver's keys are in the native
  // view; the 32-bit view holds a stale value that must not be read.
  SetPc([](platform::PcSettings* s) { s->wow64 = true; });
  const std::string native = "HKEY_LOCAL_MACHINE\\SOFTWARE\\Qorvane\\QCAM500\\Default";
  const std::string redirected = "HKEY_LOCAL_MACHINE\\SOFTWARE\\WOW6432Node\\Qorvane\\QCAM500\\Default";
  ASSERT_TRUE(platform::RegCreateKeyPath(native) && platform::RegCreateKeyPath(redirected));
  ASSERT_TRUE(platform::RegSetDword(redirected, "Layer", 5));
  struct Case {
    uint32_t layer;
    bool picture, lowLight, privacy, save;
  } cases[] = {
      {0, true, false, false, true},   // 106: full page
      {3, false, false, false, false}, // 114: light frequency only
      {5, true, true, true, true},     // 125: LED, low light, privacy
      {1, true, false, false, false},  // 112: no Save
      {9, true, false, false, true},   // any other value: 106
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.layer);
    ASSERT_TRUE(platform::RegSetDword(native, "Layer", c.layer));
    Load();
    IPropertyPage* page = CreatePage(CLSID_CustomCameraPage);
    FakeFilter filter;
    HWND window = OpenPage(page, &filter);
    ASSERT_NE(window, nullptr);
    EXPECT_EQ(Visible(window, kPictureGroup), c.picture);
    EXPECT_TRUE(Visible(window, kBandingGroup));
    EXPECT_EQ(Visible(window, kLowLight), c.lowLight);
    EXPECT_EQ(Visible(window, kPrivacy), c.privacy);
    EXPECT_EQ(Visible(window, kSaveButton), c.save);
    EXPECT_FALSE(Visible(window, 1115)) << "the number box is always hidden";
    ClosePage(page);
    Unload();
  }
}

TEST_F(PagesTest, CaptionsAndTitlesInTheSystemLanguage) {
  const std::string longText(70, 'x');
  WriteIni(
      "[LANG_ENGLISH]\r\nIDC_VIDEO_SAVE=Save now\r\nIDD_CAMERA_PAGE_TITLE=Camera\r\n"
      "[LANG_GERMAN]\r\nIDC_VIDEO_SAVE=Speichern\r\nIDC_VIDEO_RELOAD=" + longText +
      "\r\nIDD_CAMERA_PAGE_TITLE=Kamera\r\nIDC_SE_RADIO22=Effekte durchlaufen\r\nIDC_ZOOM_ENABLE=Zoom an\r\n"
      "[LANG_SPANISH]\r\nIDC_VIDEO_SAVE=Guardar\r\n"
      "[LANG_JAPANESE]\r\nIDD_CAMERA_PAGE_TITLE=\x83\x4a\x83\x81\x83\x89\r\n");  // カメラ in CP932
  struct Case {
    uint16_t language;
    const char* save;
    const wchar_t* title;
  } cases[] = {
      {1031, "Speichern", L"Kamera"},
      {1034, "Guardar", L"Camera Amp"},  // no title in the section: the string table's
      {3082, "Save now", L"Camera"},     // Spanish, modern sort: no section of its own
      {2070, "Save now", L"Camera"},     // Portuguese (Portugal): likewise
      {1041, "", L"\u30ab\u30e1\u30e9"},
  };
  Load();
  for (const Case& c : cases) {
    SCOPED_TRACE(c.language);
    SetLanguage(c.language);
    IPropertyPage* page = CreatePage(CLSID_CustomCameraPage);
    FakeFilter filter;
    HWND window = OpenPage(page, &filter);
    EXPECT_EQ(Caption(window, kSaveButton), c.save);
    EXPECT_EQ(Caption(window, kDefaultButton), "") << "a missing key empties the caption";
    EXPECT_EQ(Caption(window, kPrivacy), "Privacy") << "no key: the template's caption stays";
    if (c.language == 1031) EXPECT_EQ(Caption(window, kReloadButton), std::string(59, 'x'));
    EXPECT_EQ(Title(page), c.title);
    ClosePage(page);
  }

  // The effect and zoom pages read their own keys.
  SetLanguage(1031);
  IPropertyPage* effect = CreatePage(CLSID_SpecialEffectPage);
  FakeFilter filter;
  HWND window = OpenPage(effect, &filter);
  EXPECT_EQ(Caption(window, 2022), "Effekte durchlaufen");
  EXPECT_EQ(Caption(window, 2001), "");
  EXPECT_EQ(Title(effect), L"Special Effect");
  ClosePage(effect);
  IPropertyPage* zoom = CreatePage(CLSID_DigitalZoomPage);
  window = OpenPage(zoom, &filter);
  EXPECT_EQ(Caption(window, 1142), "Zoom an");
  ClosePage(zoom);

  // Without the file the templates' captions stay.
  std::remove((root_ + "/Windows/System32/QCAMCFG.ini").c_str());
  IPropertyPage* page = CreatePage(CLSID_CustomCameraPage);
  window = OpenPage(page, &filter);
  EXPECT_EQ(Caption(window, kSaveButton), "Save");
  EXPECT_EQ(Title(page), L"Camera Amp");
  ClosePage(page);
}

}  // namespace
}  // namespace ext_test
