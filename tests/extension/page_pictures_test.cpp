// The pages drawn from their real templates on the simulated camera, with
// the captions of the installed localisation file, against committed
// pictures in tests/extension/golden/: every template a Layer value or the
// Windows version selects in the property frame and in the video-source
// dialog, and the camera page in each script the file carries.
#include "tests/extension/page_scenario.h"

#include <prsht.h>

#include "platform/draw/reference_picture.h"
#include "platform/draw/window_draw.h"
#include "shared/qcamext_classes.h"
#include "tests/extension/sheet_runner.h"
#include "tools/qcam/localisation_file.h"
#include "vfwext.h"

namespace ext_test {
namespace {

class PagePicturesTest : public PageScenario {
 protected:
  void SetUp() override {
    PageScenario::SetUp();
    std::string error;
    ASSERT_TRUE(qcam::InstallLocalisationFile(root_, &error)) << error;
  }

  void SetLanguage(uint16_t language) {
    platform::PcSettings settings = platform::GetPcSettings();
    settings.languageId = language;
    ASSERT_TRUE(platform::SetPcSettings(settings));
  }

  // Opens the page in a frame of its own size and compares the drawing.
  void ExpectPage(REFCLSID clsid, const std::string& name) {
    SCOPED_TRACE(name);
    IClassFactory* factory = Factory(clsid);
    IPropertyPage* page = nullptr;
    ASSERT_EQ(factory->CreateInstance(nullptr, IID_IPropertyPage, reinterpret_cast<void**>(&page)), S_OK);
    factory->Release();
    PROPPAGEINFO info = {};
    ASSERT_EQ(page->GetPageInfo(&info), S_OK);
    CoTaskMemFree(info.pszTitle);
    SetWindowPos(parent_, NULL, 0, 0, info.size.cx, info.size.cy, SWP_NOZORDER | SWP_NOACTIVATE);
    IUnknown* objects[] = {filter_};
    ASSERT_EQ(page->SetObjects(1, objects), S_OK);
    RECT rect = {0, 0, info.size.cx, info.size.cy};
    ASSERT_EQ(page->Activate(parent_, &rect, TRUE), S_OK);
    Compare(parent_, name);
    page->Deactivate();
    page->SetObjects(0, nullptr);
    page->Release();
  }

  static void Compare(HWND window, const std::string& name) {
    platform::WindowPicture picture;
    ASSERT_TRUE(platform::CaptureWindowPicture(window, &picture));
    draw::Image image;
    ASSERT_TRUE(draw::RenderWindowPicture(picture, &image));
    std::string report;
    const draw::ReferenceOutcome outcome = draw::CompareWithReference(
        image, std::string(QCAM_SOURCE_DIR) + "/tests/extension/golden/" + name + ".png",
        "pages_actual_" + name + ".png", &report);
    if (outcome == draw::ReferenceOutcome::Differs) ADD_FAILURE() << name << ": " << report;
  }

  static BOOL CALLBACK Collect(HPROPSHEETPAGE page, LPARAM lParam) {
    reinterpret_cast<std::vector<HPROPSHEETPAGE>*>(lParam)->push_back(page);
    return TRUE;
  }

  // The video-source sheet: the camera page, and the zoom page when asked.
  void ExpectSheet(const std::string& cameraName, const std::string& zoomName) {
    SCOPED_TRACE(cameraName);
    auto extension = reinterpret_cast<VFWWDMExtensionProc>(Export("VFWWDMExtension"));
    ASSERT_NE(extension, nullptr);
    std::vector<HPROPSHEETPAGE> pages;
    extension(nullptr, Collect, reinterpret_cast<LPARAM>(&pages));
    ASSERT_EQ(pages.size(), 3u);
    RunVideoSourceSheet(&pages, [&](HWND sheet) {
      Compare(sheet, cameraName);
      if (!zoomName.empty()) {
        platform::SelectTab(sheet, 2);
        Compare(sheet, zoomName);
      }
      platform::ClickDialogButton(sheet, IDCANCEL);
    });
  }
};

TEST_F(PagePicturesTest, EveryTemplate) {
  struct Layer {
    DWORD layer;
    const char* frame;  // the property frame's camera template
    const char* sheet;  // the video-source dialog's
  } layers[] = {
      {0, "camera-106", "vfw-120"}, {1, "camera-112", "vfw-121"}, {2, "camera-113", "vfw-122"},
      {3, "camera-114", nullptr},   {4, "camera-115", "vfw-123"}, {5, "camera-125", nullptr},
      {6, "camera-126", nullptr},
  };
  for (const Layer& l : layers) {
    Restart(l.layer, 5);
    ExpectPage(CLSID_CustomCameraPage, l.frame);
    if (l.sheet) ExpectSheet(l.sheet, l.layer == 0 ? "vfw-110" : "");
  }
  ExpectPage(CLSID_SpecialEffectPage, "effect-107");
  ExpectPage(CLSID_DigitalZoomPage, "zoom-108");
  ExpectPage(CLSID_CommandPage, "command-109");
  Restart(0, 6);
  ExpectPage(CLSID_DigitalZoomPage, "zoom-111");
}

TEST_F(PagePicturesTest, EveryScript) {
  StartCamera();
  struct Language {
    uint16_t id;
    const char* name;
  } languages[] = {{1031, "german"}, {1041, "japanese"}, {1042, "korean"}, {1028, "chinese-t"}, {2052, "chinese-s"}};
  for (const Language& language : languages) {
    SetLanguage(language.id);
    ExpectPage(CLSID_CustomCameraPage, std::string("camera-") + language.name);
    ExpectPage(CLSID_SpecialEffectPage, std::string("effect-") + language.name);
  }
}

}  // namespace
}  // namespace ext_test
