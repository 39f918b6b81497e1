// The digital zoom and special effect pages on the simulated camera: zoom
// and face tracking excluding each other in the order the driver needs, the
// effect page told at once, the formats and sizes that rule controls out,
// the ids the radios send and the user's frame.
#include "tests/extension/page_scenario.h"

#include <fstream>

#include "shared/qcamext_classes.h"

namespace ext_test {
namespace {

constexpr int kFaceTracking = 1116, kZoomEnable = 1142, kZoomBar = 1143, kZoomBox = 1144;
constexpr int kUp = 1138, kDown = 1139, kRight = 1140, kLeft = 1141, kCentre = 1145;

class ZoomEffectPagesTest : public PageScenario {
 protected:
  // A second page in the same frame (the effect page beside the zoom page).
  HWND OpenSecond(REFCLSID clsid, IPropertyPage** page) {
    IClassFactory* factory = Factory(clsid);
    EXPECT_EQ(factory->CreateInstance(nullptr, IID_IPropertyPage, reinterpret_cast<void**>(page)), S_OK);
    factory->Release();
    IUnknown* objects[] = {filter_};
    EXPECT_EQ((*page)->SetObjects(1, objects), S_OK);
    RECT rect = {0, 0, 600, 500};
    EXPECT_EQ((*page)->Activate(parent_, &rect, TRUE), S_OK);
    for (HWND child = GetWindow(parent_, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
      if (child != window_) return child;
    }
    return nullptr;
  }
  void CloseSecond(IPropertyPage* page) {
    page->Deactivate();
    page->SetObjects(0, nullptr);
    page->Release();
  }
  void Command(int id) {
    SendMessageA(window_, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(Item(id)));
  }
};

TEST_F(ZoomEffectPagesTest, ZoomAndFaceTrackingExcludeEachOtherInOrder) {
  StartCamera();
  OpenPage(CLSID_DigitalZoomPage);
  EXPECT_EQ(Text(kZoomBox), "100.0%");
  EXPECT_TRUE(Enabled(kZoomEnable));
  EXPECT_FALSE(Enabled(kZoomBar)) << "zoom is off";
  ASSERT_TRUE(Click(kZoomEnable));
  EXPECT_EQ(Sent(), Requests({"set private 9 [1000]", "set private 13 [1]"}));
  ASSERT_TRUE(Enabled(kZoomBar));
  ASSERT_TRUE(platform::DragTrackbar(Item(kZoomBar), 8));
  EXPECT_EQ(Sent(), Requests({"set private 9 [2000]"}));
  EXPECT_EQ(Text(kZoomBox), "200.0%");

  // Pan steps are relative; the centre button sends 0 both ways.
  ASSERT_TRUE(Click(kUp));
  ASSERT_TRUE(Click(kLeft));
  ASSERT_TRUE(Click(kRight));
  ASSERT_TRUE(Click(kDown));
  ASSERT_TRUE(Click(kCentre));
  EXPECT_EQ(Sent(), Requests({"set private 11 [10]", "set private 10 [-10]", "set private 10 [10]",
                              "set private 11 [-10]", "set private 10 [0]", "set private 11 [0]"}));

  // Face tracking turns zoom off first (with the factor), then goes on.
  ASSERT_TRUE(Click(kFaceTracking));
  EXPECT_EQ(Sent(), Requests({"set private 9 [2000]", "set private 13 [0]", "set private 4 [1]"}));
  EXPECT_FALSE(Checked(kZoomEnable));
  EXPECT_FALSE(Enabled(kZoomBar));
  // And zoom turns face tracking off.
  ASSERT_TRUE(Click(kZoomEnable));
  EXPECT_EQ(Sent(), Requests({"set private 9 [2000]", "set private 13 [1]", "set private 4 [0]"}));
  EXPECT_FALSE(Checked(kFaceTracking));
  // Unchecking zoom sends the factor again before the switch.
  ASSERT_TRUE(Click(kZoomEnable));
  EXPECT_EQ(Sent(), Requests({"set private 9 [2000]", "set private 9 [2000]", "set private 13 [0]"}));
  ClosePage(true);
  EXPECT_EQ(Sent(), Requests());
  EXPECT_EQ(CurrentDword("ZoomEnable"), 0u);
}

TEST_F(ZoomEffectPagesTest, StreamsRuleControlsOut) {
  StartCamera("MJPG:640x480");
  OpenPage(CLSID_DigitalZoomPage);
  for (int id : {kZoomEnable, kZoomBar, kUp, kDown, kLeft, kRight, kCentre}) EXPECT_FALSE(Enabled(id)) << id;
  ClosePage(false);
  OpenPage(CLSID_SpecialEffectPage);
  EXPECT_TRUE(Checked(2001)) << "the current choice stays checked";
  for (int id : {2001, 2022, 3001, 3011}) EXPECT_FALSE(Enabled(id)) << id;
  ClosePage(false);
  filter_->Release();
  filter_ = nullptr;
  camera_.reset();

  // Larger than 640x480: no face tracking, no effects, but zoom.
  StartCamera("YUY2:1280x720");
  OpenPage(CLSID_DigitalZoomPage);
  EXPECT_TRUE(Enabled(kZoomEnable));
  EXPECT_FALSE(Enabled(kFaceTracking));
  ClosePage(false);
  OpenPage(CLSID_SpecialEffectPage);
  EXPECT_FALSE(Enabled(2005));
  ClosePage(false);
  filter_->Release();
  filter_ = nullptr;
  camera_.reset();

  StartCamera("I420:320x240");
  OpenPage(CLSID_SpecialEffectPage);
  EXPECT_FALSE(Enabled(2005)) << "effects need RGB24 or YUY2";
  ClosePage(false);
  OpenPage(CLSID_DigitalZoomPage);
  EXPECT_TRUE(Enabled(kFaceTracking)) << "face tracking works on I420";
}

TEST_F(ZoomEffectPagesTest, EffectRadiosSendTheirIdsAndGreyOutWithFaceTracking) {
  StartCamera();
  OpenPage(CLSID_SpecialEffectPage);
  ASSERT_TRUE(Enabled(2005));
  ASSERT_TRUE(Click(2005));
  EXPECT_EQ(Sent(), Requests({"set private 3 [5]"}));
  EXPECT_EQ(CurrentDword("SpecialEffect"), 5u);
  ASSERT_TRUE(Click(2005));
  EXPECT_EQ(Sent(), Requests()) << "the current choice again sends nothing";
  ASSERT_TRUE(Click(2022));
  ASSERT_TRUE(Click(3011));
  ASSERT_TRUE(Click(3001));
  EXPECT_EQ(Sent(), Requests({"set private 3 [49]", "set private 3 [61]", "set private 3 [51]"}));
  EXPECT_FALSE(IsWindowVisible(Item(3012)));

  // The zoom page beside it switches face tracking on: every radio greys at
  // once, and comes back when it goes off.
  IPropertyPage* zoom = nullptr;
  HWND zoomWindow = OpenSecond(CLSID_DigitalZoomPage, &zoom);
  ASSERT_NE(zoomWindow, window_);
  ASSERT_TRUE(platform::ClickDialogButton(zoomWindow, kFaceTracking));
  EXPECT_FALSE(Enabled(2001));
  EXPECT_FALSE(Enabled(3011));
  EXPECT_TRUE(Checked(3001));
  ASSERT_TRUE(platform::ClickDialogButton(zoomWindow, kFaceTracking));
  EXPECT_TRUE(Enabled(2001));
  EXPECT_TRUE(Enabled(3011));
  CloseSecond(zoom);
  ClosePage(true);

  // Reopened: the page shows the driver's effect.
  OpenPage(CLSID_SpecialEffectPage);
  EXPECT_TRUE(Checked(3001));
  EXPECT_FALSE(Checked(2001));
}

TEST_F(ZoomEffectPagesTest, TheUsersFrameIsBrowsedForAndReloaded) {
  StartCamera();
  {
    std::ofstream frame(root_ + "/C/frame.bmp", std::ios::binary);
    frame << "BM";
  }
  OpenPage(CLSID_SpecialEffectPage);
  // Cancelled: nothing changes.
  Command(1205);
  EXPECT_EQ(Text(1125), "");
  // A file that is not there cannot be confirmed; then the real one.
  platform::ScriptOpenFileAnswers({"C:\\missing.bmp"});
  Command(1205);
  EXPECT_EQ(Text(1125), "");
  platform::ScriptOpenFileAnswers({"C:\\frame.bmp"});
  Command(1205);
  EXPECT_EQ(Text(1125), "C:\\frame.bmp");
  std::string stored;
  platform::RegGetString("HKEY_LOCAL_MACHINE\\SOFTWARE\\Qorvane\\QCAM500\\Current", "UDFrame", &stored);
  EXPECT_EQ(stored, "C:\\frame.bmp");
  EXPECT_EQ(Sent(), Requests());

  // Update works only while the user's frame is the choice.
  Command(1206);
  EXPECT_EQ(Sent(), Requests());
  Command(3012);
  EXPECT_EQ(Sent(), Requests({"set private 3 [99]"}));
  Command(1206);
  EXPECT_EQ(Sent(), Requests({"set private 3 [99]"})) << "sent again so the driver reloads the bitmap";
}

TEST_F(ZoomEffectPagesTest, CommandPageReadsAndWritesRegisters) {
  StartCamera();
  OpenPage(CLSID_CommandPage);
  ASSERT_TRUE(platform::TypeText(Item(1126), "f004"));
  ASSERT_TRUE(Click(1205));
  EXPECT_EQ(Sent(), Requests({"set private 14 [101 61444]", "set private 14 [104 61444]"}));
  // The driver answers the final Get with the request as it was.
  EXPECT_EQ(Text(1127), "F004");
  ASSERT_TRUE(platform::TypeText(Item(1127), "5"));
  ASSERT_TRUE(Click(1206));
  EXPECT_EQ(Sent(), Requests({"set private 14 [101 61444]", "set private 14 [102 5]", "set private 14 [105 5]"}));
  // Sensor registers: only the low 16 bits of a long address, other
  // characters passed over.
  ASSERT_TRUE(platform::TypeText(Item(1128), "12345"));
  ASSERT_TRUE(platform::TypeText(Item(1129), "x1y2"));
  ASSERT_TRUE(Click(1208));
  EXPECT_EQ(Sent(), Requests({"set private 14 [101 9029]", "set private 14 [102 18]", "set private 14 [107 18]"}));
  ASSERT_TRUE(Click(1207));
  EXPECT_EQ(Sent(), Requests({"set private 14 [101 9029]", "set private 14 [106 9029]"}));
  EXPECT_EQ(Text(1129), "2345");
  // APPLY: a signed number, or 0 for text that is none.
  ASSERT_TRUE(platform::TypeText(Item(1125), "-7"));
  ASSERT_TRUE(Click(1204));
  ASSERT_TRUE(platform::TypeText(Item(1125), "abc"));
  ASSERT_TRUE(Click(1204));
  EXPECT_EQ(Sent(), Requests({"set private 14 [-7]", "set private 14 [0]"}));
}

}  // namespace
}  // namespace ext_test

namespace ext_test {
namespace {

// The frames the camera delivers after the pages changed something: YUY2
// 320x240, Y0 U Y1 V per pixel pair.
class FramesFollowThePagesTest : public PageScenario {
 protected:
  static constexpr int kWidth = 320, kHeight = 240;
  std::vector<uint8_t> Frame() {
    std::vector<uint8_t> bytes;
    std::string error;
    EXPECT_TRUE(camera_->CaptureFrame("YUY2:320x240", &bytes, &error)) << error;
    EXPECT_EQ(bytes.size(), size_t(kWidth * kHeight * 2));
    return bytes;
  }
  static int Luma(const std::vector<uint8_t>& f, int x, int y) { return f[(y * kWidth + x) * 2]; }
  // Runs the page (opened while the stream runs) and closes it with OK.
  void OnPage(REFCLSID clsid, const std::vector<int>& clicks, int zoomIndex = -1) {
    std::string error;
    ASSERT_TRUE(camera_->StartStream("YUY2:320x240", &error)) << error;
    OpenPage(clsid);
    for (int id : clicks) ASSERT_TRUE(Click(id)) << id;
    if (zoomIndex >= 0) ASSERT_TRUE(platform::DragTrackbar(Item(1143), zoomIndex));
    ClosePage(true);
  }
};

TEST_F(FramesFollowThePagesTest, MirrorSepiaAndZoomShowInTheFrames) {
  StartCamera("YUY2:320x240");
  const std::vector<uint8_t> plain = Frame();
  ASSERT_FALSE(plain.empty());

  OnPage(CLSID_CustomCameraPage, {1113});
  const std::vector<uint8_t> mirrored = Frame();
  ASSERT_EQ(mirrored.size(), plain.size());
  int matches = 0;
  for (int x = 0; x < kWidth; x += 8) matches += std::abs(Luma(mirrored, kWidth - 1 - x, 40) - Luma(plain, x, 40)) < 8;
  EXPECT_GT(matches, kWidth / 8 - 3) << "row 40 read backwards";
  OnPage(CLSID_CustomCameraPage, {1113});

  OnPage(CLSID_SpecialEffectPage, {2005});
  const std::vector<uint8_t> sepia = Frame();
  ASSERT_EQ(sepia.size(), plain.size());
  // Sepia gives every pixel the same tint; the colour bars of the plain
  // picture have many.
  int tints = 0, plainTints = 0;
  for (size_t i = 1; i + 2 < sepia.size(); i += 4) {
    tints += std::abs(sepia[i] - sepia[1]) > 6 || std::abs(sepia[i + 2] - sepia[3]) > 6;
    plainTints += std::abs(plain[i] - plain[1]) > 6 || std::abs(plain[i + 2] - plain[3]) > 6;
  }
  EXPECT_EQ(tints, 0);
  EXPECT_GT(plainTints, 1000);
  OnPage(CLSID_SpecialEffectPage, {2001});

  // 200 %: the picture's centre fills the frame, so the colour bars across
  // rows 20 to 60 are gone.
  OnPage(CLSID_DigitalZoomPage, {1142}, 8);
  const std::vector<uint8_t> zoomed = Frame();
  ASSERT_EQ(zoomed.size(), plain.size());
  int differing = 0;
  for (int x = 0; x < kWidth; x += 4) differing += std::abs(Luma(zoomed, x, 40) - Luma(plain, x, 40)) > 16;
  EXPECT_GT(differing, kWidth / 8);
}

}  // namespace
}  // namespace ext_test
