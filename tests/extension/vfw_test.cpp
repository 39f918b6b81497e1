// The VfW entry as the VfW-to-WDM mapper calls it while it builds the
// video-source dialog: the camera found among the capture devices, the pages
// the localisation file's titles ask for, their templates, and the camera's
// interfaces let go when the dialog lets its pages go.
#include <gtest/gtest.h>

#include <commctrl.h>
#include <prsht.h>

#include <string>
#include <vector>

#include "platform/machine/com_control.h"
#include "platform/machine/window_system.h"
#include "tests/extension/camera_rig.h"
#include "tests/extension/ext_fixture.h"
#include "tests/extension/sheet_runner.h"
#include "tools/qcam/localisation_file.h"
#include "tools/qcam/request_log.h"
#include "vfwext.h"

namespace ext_test {
namespace {

constexpr DWORD kFlags = VFW_OEM_ADD_PAGE | VFW_HIDECAMERACONTROLPAGE | VFW_HIDESETTINGSPAGE;
static_assert(kFlags == 0x80000005, "the mapper's flags");

struct SheetPage {
  std::string title;
  HWND window = nullptr;
  int bandingLeft = 0;  // x of the light-frequency group, in dialog units
  bool led = false, privacy = false, focus = false;
  std::string autoCaption;
};

class VfwTest : public ModuleTest {
 protected:
  void SetUp() override {
    ModuleTest::SetUp();
    platform::ResetWindowSystemControls();
    CreateDriverKeys();
    ASSERT_TRUE(platform::RegisterBuiltinClassesInRegistry());
    Load();
    ASSERT_EQ(registerServer_(), S_OK);
    extension_ = reinterpret_cast<VFWWDMExtensionProc>(Export("VFWWDMExtension"));
    ASSERT_NE(extension_, nullptr);
    ASSERT_TRUE(SUCCEEDED(CoInitialize(NULL)));
  }
  void TearDown() override {
    CoUninitialize();
    platform::ResetWindowSystemControls();
    ModuleTest::TearDown();
  }

  static BOOL CALLBACK Collect(HPROPSHEETPAGE page, LPARAM lParam) {
    reinterpret_cast<std::vector<HPROPSHEETPAGE>*>(lParam)->push_back(page);
    return TRUE;
  }
  DWORD CallExtension() {
    pages_.clear();
    return extension_(nullptr, Collect, reinterpret_cast<LPARAM>(&pages_));
  }

  static HWND FindChild(HWND parent, const char* className) {
    for (HWND child = GetWindow(parent, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
      char name[64] = {};
      GetClassNameA(child, name, sizeof(name));
      if (lstrcmpiA(name, className) == 0) return child;
    }
    return nullptr;
  }

  // Shows the collected pages in a sheet, as the mapper does, reads each page
  // and cancels the sheet.
  std::vector<SheetPage> ShowSheet() {
    std::vector<SheetPage> seen;
    RunVideoSourceSheet(&pages_, [&](HWND sheet) {
      HWND tabs = FindChild(sheet, "SysTabControl32");
      int count = static_cast<int>(SendMessageA(tabs, TCM_GETITEMCOUNT, 0, 0));
      for (int i = 0; i < count; ++i) {
        SheetPage page;
        char text[64] = {};
        TCITEMA item = {};
        item.mask = TCIF_TEXT;
        item.pszText = text;
        item.cchTextMax = sizeof(text);
        SendMessageA(tabs, TCM_GETITEMA, i, reinterpret_cast<LPARAM>(&item));
        page.title = text;
        platform::SelectTab(sheet, i);
        page.window = reinterpret_cast<HWND>(SendMessageA(sheet, PSM_GETCURRENTPAGEHWND, 0, 0));
        if (HWND banding = GetDlgItem(page.window, 1207)) {
          RECT group, units = {0, 0, 4, 8};
          GetWindowRect(banding, &group);
          POINT corner = {group.left, group.top};
          ScreenToClient(page.window, &corner);
          MapDialogRect(page.window, &units);
          page.bandingLeft = corner.x * 4 / units.right;
          page.led = IsWindowVisible(GetDlgItem(page.window, 1200)) != FALSE;
          page.privacy = IsWindowVisible(GetDlgItem(page.window, 1210)) != FALSE;
          page.focus = IsWindowVisible(GetDlgItem(page.window, 1196)) != FALSE;
          char caption[64] = {};
          GetDlgItemTextA(page.window, 1162, caption, sizeof(caption));
          page.autoCaption = caption;
        }
        seen.push_back(page);
      }
      platform::ClickDialogButton(sheet, IDCANCEL);
    });
    return seen;
  }

  // The module reads Layer when it is loaded: COM lets go of it once nothing
  // of it is alive, and the test loads it afresh.
  void Reload() {
    CoFreeUnusedLibraries();
    Unload();
    ASSERT_TRUE(platform::LoadedModules().empty());
    Load();
    extension_ = reinterpret_cast<VFWWDMExtensionProc>(Export("VFWWDMExtension"));
  }
  void SetLayer(DWORD layer) {
    ASSERT_TRUE(platform::RegCreateKeyPath("HKEY_LOCAL_MACHINE\\SOFTWARE\\Qorvane\\QCAM500\\Default"));
    ASSERT_TRUE(platform::RegSetDword("HKEY_LOCAL_MACHINE\\SOFTWARE\\Qorvane\\QCAM500\\Default", "Layer", layer));
  }
  void InstallIni() {
    std::string error;
    ASSERT_TRUE(qcam::InstallLocalisationFile(root_, &error)) << error;
  }

  VFWWDMExtensionProc extension_ = nullptr;
  std::vector<HPROPSHEETPAGE> pages_;
};

TEST_F(VfwTest, PagesFollowTheTitlesAndTheCameraIsLetGo) {
  EXPECT_EQ(CallExtension(), 0u) << "no camera: no pages, no flags";
  EXPECT_TRUE(pages_.empty());

  CameraRig camera("notebook", 1, true);
  ASSERT_TRUE(camera.Ok());
  // Without the localisation file no page is added, yet the mapper hides its
  // own pages; the camera is not held for pages that do not exist.
  EXPECT_EQ(CallExtension(), kFlags);
  EXPECT_TRUE(pages_.empty());
  EXPECT_EQ(canUnloadNow_(), S_OK);

  InstallIni();
  ASSERT_EQ(CallExtension(), kFlags);
  ASSERT_EQ(pages_.size(), 3u);
  EXPECT_EQ(canUnloadNow_(), S_FALSE) << "the camera's handler is held for the pages";
  std::vector<SheetPage> pages = ShowSheet();
  ASSERT_EQ(pages.size(), 3u);
  EXPECT_EQ(pages[0].title, "Camera Settings");
  EXPECT_EQ(pages[1].title, "Special Effects");
  EXPECT_EQ(pages[2].title, "Digital Zoom");
  EXPECT_EQ(pages[0].bandingLeft, 350 - 108) << "the video-source dialog's wide template";
  EXPECT_EQ(pages[0].autoCaption, "Automatic Control") << "captions from the localisation file";
  EXPECT_EQ(canUnloadNow_(), S_OK) << "the page callback let the camera go";

  // An empty effect title leaves that page out; the others stay.
  WritePrivateProfileStringA("Language", "IDD_EFFECT_PAGE_TITLE", "", "C:\\Windows\\System32\\QCAMCFG.ini");
  ASSERT_EQ(CallExtension(), kFlags);
  pages = ShowSheet();
  ASSERT_EQ(pages.size(), 2u);
  EXPECT_EQ(pages[0].title, "Camera Settings");
  EXPECT_EQ(pages[1].title, "Digital Zoom");
}

TEST_F(VfwTest, LayerChoosesTheVideoSourceTemplate) {
  CameraRig camera("notebook", 1, true);
  ASSERT_TRUE(camera.Ok());
  InstallIni();
  struct Case {
    DWORD layer;
    bool led, privacy, focus;
  } cases[] = {
      {0, false, false, true},  // 120
      {1, false, false, false}, // 121
      {2, true, false, false},  // 122
      {4, true, false, true},   // 123
      {5, false, false, true},  // 120, not the frame's privacy variant
      {6, false, false, true},  // 120
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.layer);
    SetLayer(c.layer);
    Reload();
    ASSERT_EQ(CallExtension(), kFlags);
    std::vector<SheetPage> pages = ShowSheet();
    ASSERT_FALSE(pages.empty());
    EXPECT_EQ(pages[0].bandingLeft, 350 - 108);
    EXPECT_EQ(pages[0].led, c.led);
    EXPECT_EQ(pages[0].privacy, c.privacy);
    EXPECT_EQ(pages[0].focus, c.focus);
  }
  SetLayer(3);  // the light-frequency page, the same in both hosts
  Reload();
  ASSERT_EQ(CallExtension(), kFlags);
  std::vector<SheetPage> pages = ShowSheet();
  ASSERT_FALSE(pages.empty());
  EXPECT_EQ(pages[0].bandingLeft, 264 - 108);
  EXPECT_FALSE(IsWindowVisible(GetDlgItem(pages[0].window, 1161)));
}

TEST_F(VfwTest, CameraWithoutThePrivateSetIsPassedOver) {
  InstallIni();
  {
    // Only a camera whose filter lacks IAMCustomCameraProp: nothing to show.
    CameraRig other("basic", 2, false);
    ASSERT_TRUE(other.Ok());
    EXPECT_EQ(CallExtension(), 0u);
    EXPECT_TRUE(pages_.empty());
    // Enumerated first, it is passed over for the camera behind it.
    CameraRig camera("notebook", 3, true);
    ASSERT_TRUE(camera.Ok());
    EXPECT_EQ(CallExtension(), kFlags);
    EXPECT_EQ(pages_.size(), 3u);
    EXPECT_EQ(ShowSheet().size(), 3u);
  }
  EXPECT_EQ(canUnloadNow_(), S_OK);
}

// The static pages serve one video-source dialog after another: each
// dialog's page reads the camera afresh, and every visit of the camera page
// builds editors on the window it has now.
TEST_F(VfwTest, EveryDialogAndVisitGetsFreshEditors) {
  CameraRig camera("notebook", 1, true);
  ASSERT_TRUE(camera.Ok());
  std::string error;
  ASSERT_TRUE(camera.StartStream("YUY2:640x480", &error)) << error;
  InstallIni();
  qcam_tool::RequestRecorder recorder;
  for (int dialog = 0; dialog < 2; ++dialog) {
    SCOPED_TRACE(dialog);
    ASSERT_EQ(CallExtension(), kFlags);
    ASSERT_EQ(pages_.size(), 3u);
    std::vector<std::string> moved, mirrored;
    RunVideoSourceSheet(&pages_, [&](HWND sheet) {
      platform::SelectTab(sheet, 2);
      platform::SelectTab(sheet, 0);
      HWND page = reinterpret_cast<HWND>(SendMessageA(sheet, PSM_GETCURRENTPAGEHWND, 0, 0));
      recorder.Take();
      platform::DragTrackbar(GetDlgItem(page, 1164), 1);
      moved = recorder.Take();
      platform::ClickDialogButton(page, 1113);
      mirrored = recorder.Take();
      platform::ClickDialogButton(sheet, IDOK);
    });
    // Thumb-track and end-track both send the sharpness value (the first
    // change also sends the snapshot size, read but never counted as sent).
    ASSERT_FALSE(moved.empty());
    EXPECT_EQ(moved[0].compare(0, 15, "set procamp 4 ="), 0) << moved[0];
    ASSERT_FALSE(mirrored.empty());
    // The second dialog finds the camera mirrored by the first.
    EXPECT_EQ(mirrored[0], dialog == 0 ? "set private 7 [1]" : "set private 7 [0]");
  }
  EXPECT_EQ(canUnloadNow_(), S_OK);
}

}  // namespace
}  // namespace ext_test
