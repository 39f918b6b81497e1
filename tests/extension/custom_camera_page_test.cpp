// The custom camera page on the simulated camera: what it sends when the
// user changes a setting, Apply, closing with and without Apply, Save,
// Reload and Default, and the snapshot sizes offered for each stream.
#include "tests/extension/page_scenario.h"

#include <filesystem>

#include "shared/qcamext_classes.h"

namespace ext_test {
namespace {

constexpr int kMirror = 1113, kFlip = 1114, kBlackWhite = 1194, kOutdoor = 1209;
constexpr int k60Hz = 1191, k50Hz = 1190;
constexpr int kBrightnessBar = 1179, kBrightnessBox = 1180;
constexpr int kHueBar = 1170, kHueBox = 1171;
constexpr int kWhiteBalanceAuto = 1187, kWhiteBalanceBar = 1185;
constexpr int kSave = 1118, kReload = 1131, kDefault = 1132;
constexpr int kSnapshotList = 1208;

class CustomCameraPageTest : public PageScenario {
 protected:
  int SnapshotRows() { return static_cast<int>(SendMessageA(Item(kSnapshotList), CB_GETCOUNT, 0, 0)); }
  std::string SnapshotRow(int row) {
    char text[64] = {};
    SendMessageA(Item(kSnapshotList), CB_GETLBTEXT, row, reinterpret_cast<LPARAM>(text));
    return text;
  }
  int TrackbarPosition(int id) { return static_cast<int>(SendMessageA(Item(id), TBM_GETPOS, 0, 0)); }
};

TEST_F(CustomCameraPageTest, ChangesGoOutAtOnceAndApplyKeepsThem) {
  StartCamera();
  OpenPage(CLSID_CustomCameraPage);
  EXPECT_FALSE(Checked(kMirror));
  EXPECT_FALSE(Checked(kBlackWhite)) << "the camera starts in colour";
  const std::string snapshotIndex = std::to_string(SendMessageA(Item(kSnapshotList), CB_GETCURSEL, 0, 0));

  // The snapshot size was read without counting as sent: the first change
  // sends it too.
  ASSERT_TRUE(Click(kMirror));
  EXPECT_EQ(Sent(), Requests({"set private 7 [1]", "set private 12 [" + snapshotIndex + "]"}));
  EXPECT_EQ(page_->IsPageDirty(), S_OK);
  EXPECT_EQ(site_.statusChanges.back(), DWORD(PROPPAGESTATUS_DIRTY));
  ASSERT_TRUE(Click(k60Hz));
  EXPECT_EQ(Sent(), Requests({"set procamp 13 = 2 (flags 0)"}));
  ASSERT_TRUE(Click(kOutdoor));
  ASSERT_TRUE(Click(kBlackWhite));
  EXPECT_EQ(Sent(), Requests({"set private 17 [1]", "set private 15 [0]"})) << "black and white: colour off";
  // The trackbar's value goes out with the flags it had and shows in the box.
  ASSERT_TRUE(platform::DragTrackbar(Item(kBrightnessBar), 40));
  Requests moved = Sent();
  ASSERT_FALSE(moved.empty());
  int brightness = 0;
  ASSERT_EQ(sscanf(moved.back().c_str(), "set procamp 0 = %d (manual)", &brightness), 1) << moved.back();
  EXPECT_EQ(Text(kBrightnessBox), std::to_string(brightness));
  const int position = TrackbarPosition(kBrightnessBar);

  // OK: Apply commits, and closing sends nothing back.
  ClosePage(true);
  EXPECT_EQ(Sent(), Requests());
  EXPECT_EQ(CurrentDword("MirrorTmp"), 1u);
  EXPECT_EQ(CurrentDword("OutDoorTmp"), 1u);
  EXPECT_EQ(CurrentDword("ColorEnableTmp"), 0u);

  // Opened again, the page shows what the camera has now.
  OpenPage(CLSID_CustomCameraPage);
  EXPECT_TRUE(Checked(kMirror));
  EXPECT_TRUE(Checked(k60Hz));
  EXPECT_FALSE(Checked(k50Hz));
  EXPECT_TRUE(Checked(kOutdoor));
  EXPECT_TRUE(Checked(kBlackWhite));
  EXPECT_EQ(TrackbarPosition(kBrightnessBar), position);
  EXPECT_EQ(Text(kBrightnessBox), std::to_string(brightness));
}

TEST_F(CustomCameraPageTest, ClosingWithoutApplyPutsBackWhatThePageFound) {
  StartCamera();
  OpenPage(CLSID_CustomCameraPage);
  ASSERT_TRUE(Click(kMirror));
  ASSERT_TRUE(Click(kFlip));
  ASSERT_TRUE(platform::DragTrackbar(Item(kBrightnessBar), 10));
  Sent();
  ClosePage(false);
  Requests restored = Sent();
  // The editors send their start values, then the private values go back.
  EXPECT_NE(std::find(restored.begin(), restored.end(), "set private 7 [0]"), restored.end());
  EXPECT_NE(std::find(restored.begin(), restored.end(), "set private 8 [0]"), restored.end());
  ASSERT_FALSE(restored.empty());
  EXPECT_EQ(restored.front().compare(0, 15, "set procamp 0 ="), 0) << restored.front();
  EXPECT_EQ(CurrentDword("MirrorTmp"), 0u);

  // Applied, then changed again and cancelled: the later change stays (it
  // went out at once), and nothing is sent at closing.
  OpenPage(CLSID_CustomCameraPage);
  ASSERT_TRUE(Click(kMirror));
  EXPECT_EQ(page_->Apply(), S_OK);
  ASSERT_TRUE(Click(kFlip));
  Sent();
  ClosePage(false);
  EXPECT_EQ(Sent(), Requests());
  EXPECT_EQ(CurrentDword("FlipTmp"), 1u);
}

TEST_F(CustomCameraPageTest, SnapshotSizesFollowTheStream) {
  struct Case {
    const char* stream;
    int rows;
    const char* last;
  } cases[] = {
      {"YUY2:160x120", 4, "352x288"},
      {"YUY2:176x144", 4, "352x288"},
      {"YUY2:320x240", 5, "640x480"},
      {"YUY2:640x480", 10, "1280x960"},
      {"YUY2:1280x720", 14, "2560x1600"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.stream);
    StartCamera(c.stream);
    OpenPage(CLSID_CustomCameraPage);
    EXPECT_EQ(SnapshotRows(), c.rows);
    EXPECT_EQ(SnapshotRow(0), "160x120");
    EXPECT_EQ(SnapshotRow(c.rows - 1), c.last);
    ASSERT_TRUE(platform::ChooseComboItem(Item(kSnapshotList), 2));
    Requests chosen = Sent();
    ASSERT_FALSE(chosen.empty());
    EXPECT_EQ(chosen.back(), "set private 12 [2]");
    ClosePage(true);
    filter_->Release();
    filter_ = nullptr;
    camera_.reset();
  }
}

TEST_F(CustomCameraPageTest, SaveReloadAndDefaultLeaveTheSnapshotSizeAlone) {
  StartCamera();
  OpenPage(CLSID_CustomCameraPage);
  ASSERT_TRUE(platform::ChooseComboItem(Item(kSnapshotList), 3));
  ASSERT_TRUE(Click(kMirror));
  ASSERT_TRUE(platform::DragTrackbar(Item(kBrightnessBar), 30));
  const std::string saved30 = Text(kBrightnessBox);
  Sent();
  ASSERT_TRUE(Click(kSave));
  Requests saved = Sent();
  ASSERT_EQ(saved.size(), 1u);
  // Word 0 = 6, then the record from word 16: brightness 30 ... mirror
  // (word 31) 1, snapshot size (word 34) 3.
  EXPECT_EQ(saved[0].compare(0, 21, "set private 18 [6 0 0"), 0) << saved[0];
  EXPECT_NE(saved[0].find(" 0 " + saved30 + " "), std::string::npos) << saved[0];

  ASSERT_TRUE(Click(kMirror));
  ASSERT_TRUE(platform::DragTrackbar(Item(kBrightnessBar), 70));
  ASSERT_TRUE(platform::ChooseComboItem(Item(kSnapshotList), 1));
  Sent();
  ASSERT_TRUE(Click(kReload));
  Requests reloaded = Sent();
  EXPECT_NE(std::find(reloaded.begin(), reloaded.end(), "set procamp 0 = " + saved30 + " (manual)"), reloaded.end());
  EXPECT_NE(std::find(reloaded.begin(), reloaded.end(), "set private 7 [1]"), reloaded.end());
  for (const std::string& request : reloaded) EXPECT_NE(request.compare(0, 15, "set private 12 "), 0) << request;
  EXPECT_TRUE(Checked(kMirror));
  EXPECT_EQ(Text(kBrightnessBox), saved30);
  EXPECT_EQ(SendMessageA(Item(kSnapshotList), CB_GETCURSEL, 0, 0), 1) << "the size stays as chosen";

  // Default: the driver's default record (mirror off).
  ASSERT_TRUE(Click(kDefault));
  Requests defaults = Sent();
  EXPECT_NE(std::find(defaults.begin(), defaults.end(), "set private 7 [0]"), defaults.end());
  for (const std::string& request : defaults) EXPECT_NE(request.compare(0, 15, "set private 12 "), 0) << request;
  EXPECT_FALSE(Checked(kMirror));
  EXPECT_EQ(page_->IsPageDirty(), S_OK);
}

// The snapshot variant of the page (Layer 1): one still through the
// module's own camera finder, at the size chosen, with the driver's "ready"
// bit cleared first.
TEST_F(CustomCameraPageTest, OneSnapshotAtTheChosenSize) {
  Restart(1);
  ASSERT_TRUE(platform::RegSetDword("HKEY_LOCAL_MACHINE\\SOFTWARE\\Qorvane\\QCAM500\\Current", "CameraStatus",
                                    0x009));
  OpenPage(CLSID_CustomCameraPage);
  ASSERT_TRUE(IsWindowVisible(Item(1119)));
  EXPECT_FALSE(IsWindowVisible(Item(kMirror)));
  EXPECT_FALSE(IsWindowVisible(Item(kSave)));
  EXPECT_TRUE(IsWindowVisible(Item(kDefault)));
  ASSERT_TRUE(platform::ChooseComboItem(Item(kSnapshotList), 2));
  Sent();
  const std::string snap = root_ + "/Windows/Snap.dat";
  std::filesystem::remove(snap);
  ASSERT_TRUE(Click(1119));
  Requests sent = Sent();
  // The finder's probe is a get; then the size, then the status word
  // without bit 3 (the stream's bit 0 stays).
  ASSERT_GE(sent.size(), 2u);
  EXPECT_EQ(sent[0], "set private 12 [2]");
  EXPECT_EQ(sent[1], "set private 18 [5 1]");
  for (int wait = 0; wait < 200 && !std::filesystem::exists(snap); ++wait) Sleep(10);
  EXPECT_TRUE(std::filesystem::exists(snap)) << "the next frame became the still";

  // A second snapshot uses the same finder.
  ASSERT_TRUE(Click(1119));
  sent = Sent();
  ASSERT_GE(sent.size(), 1u);
  EXPECT_EQ(sent[0], "set private 12 [2]");

  // Closed, the page lets the finder (and its hold on the camera) go, so
  // nothing of the module stays alive.
  ClosePage(true);
  filter_->Release();
  filter_ = nullptr;
  camera_.reset();
  CoFreeUnusedLibraries();
  EXPECT_EQ(canUnloadNow_(), S_OK);
}

TEST_F(CustomCameraPageTest, AutomaticControlsDisableTheirManualOnes) {
  StartCamera();
  OpenPage(CLSID_CustomCameraPage);
  // The driver's white balance offers auto and manual.
  ASSERT_TRUE(Enabled(kWhiteBalanceAuto));
  const bool automatic = Checked(kWhiteBalanceAuto);
  EXPECT_EQ(Enabled(kWhiteBalanceBar), !automatic);
  ASSERT_TRUE(Click(kWhiteBalanceAuto));
  Requests toggled = Sent();
  ASSERT_EQ(toggled.size(), 1u);
  EXPECT_NE(toggled[0].find(automatic ? "(manual)" : "(auto)"), std::string::npos) << toggled[0];
  EXPECT_EQ(Enabled(kWhiteBalanceBar), automatic);
  // Hidden controls stay hidden: the gain's auto box and the number box.
  EXPECT_FALSE(IsWindowVisible(Item(1086)));
  EXPECT_FALSE(IsWindowVisible(Item(1115)));
  EXPECT_EQ(Text(1115), std::to_string(0x4302)) << "the driver's identification word";
  // Hue's trackbar starts at 0 whatever the range, and maps back exactly.
  ASSERT_TRUE(platform::DragTrackbar(Item(kHueBar), 0));
  Requests hue = Sent();
  ASSERT_FALSE(hue.empty());
  long minimum = 0;
  ASSERT_EQ(sscanf(hue.back().c_str(), "set procamp 2 = %ld", &minimum), 1) << hue.back();
  EXPECT_EQ(Text(kHueBox), std::to_string(minimum));
}

}  // namespace
}  // namespace ext_test

namespace ext_test {
namespace {

// A filter whose standard properties have the ranges a test gives them
// (the same for both interfaces), recording what is set.
class RangedFilter : public FakeFilter {
 public:
  struct Range {
    LONG minimum, maximum, step, value, flags, caps;
  };
  STDMETHODIMP GetRange(LONG property, LONG* minimum, LONG* maximum, LONG* step, LONG* defaultValue,
                        LONG* caps) override {
    const Range& r = ranges[property & 15];
    if (!r.caps) return E_PROP_ID_UNSUPPORTED;
    *minimum = r.minimum;
    *maximum = r.maximum;
    *step = r.step;
    *defaultValue = r.value;
    *caps = r.caps;
    return S_OK;
  }
  STDMETHODIMP Get(LONG property, LONG* value, LONG* flags) override {
    const Range& r = ranges[property & 15];
    if (!r.caps) return E_PROP_ID_UNSUPPORTED;
    *value = r.value;
    *flags = r.flags;
    return S_OK;
  }
  STDMETHODIMP Set(LONG property, LONG value, LONG flags) override {
    sets.push_back({property, value, flags});
    return S_OK;
  }
  using FakeFilter::Get;
  using FakeFilter::Set;

  Range ranges[16] = {};
  struct Change {
    LONG property, value, flags;
  };
  std::vector<Change> sets;
};

class EditorTest : public ModuleTest {};

TEST_F(EditorTest, RangesDecideTheControls) {
  platform::ResetWindowSystemControls();
  Load();
  HWND parent = CreateWindowExA(0, "#32770", "frame", WS_POPUP | WS_VISIBLE, 0, 0, 800, 700, NULL, NULL, NULL, NULL);
  RangedFilter filter;
  filter.ranges[2] = {-10, 10, 1, -3, 2, 2};     // hue: a negative minimum
  filter.ranges[7] = {2800, 6500, 100, 4600, 2, 2};  // white balance without Auto
  IClassFactory* factory = Factory(CLSID_CustomCameraPage);
  IPropertyPage* page = nullptr;
  ASSERT_EQ(factory->CreateInstance(nullptr, IID_IPropertyPage, reinterpret_cast<void**>(&page)), S_OK);
  factory->Release();
  IUnknown* objects[] = {filter.Unknown()};
  ASSERT_EQ(page->SetObjects(1, objects), S_OK);
  RECT rect = {0, 0, 600, 500};
  ASSERT_EQ(page->Activate(parent, &rect, TRUE), S_OK);
  HWND window = GetWindow(parent, GW_CHILD);

  // The hue trackbar starts at 0 and maps back exactly.
  HWND hue = GetDlgItem(window, 1170);
  EXPECT_EQ(SendMessageA(hue, TBM_GETRANGEMIN, 0, 0), 0);
  EXPECT_EQ(SendMessageA(hue, TBM_GETRANGEMAX, 0, 0), 20);
  EXPECT_EQ(SendMessageA(hue, TBM_GETPOS, 0, 0), 7);
  ASSERT_TRUE(platform::DragTrackbar(hue, 0));
  ASSERT_FALSE(filter.sets.empty());
  EXPECT_EQ(filter.sets.back().property, 2);
  EXPECT_EQ(filter.sets.back().value, -10);
  EXPECT_EQ(filter.sets.back().flags, 2);
  char text[16] = {};
  GetDlgItemTextA(window, 1171, text, sizeof(text));
  EXPECT_STREQ(text, "-10");

  // White balance without Auto: the box is greyed, the trackbar usable.
  EXPECT_FALSE(IsWindowEnabled(GetDlgItem(window, 1187)));
  EXPECT_TRUE(IsWindowEnabled(GetDlgItem(window, 1185)));
  EXPECT_TRUE(IsWindowEnabled(GetDlgItem(window, 1184)));
  // Properties the filter does not have stay greyed.
  EXPECT_FALSE(IsWindowEnabled(GetDlgItem(window, 1179)));
  EXPECT_FALSE(IsWindowEnabled(GetDlgItem(window, 1178)));

  // Closed without Apply: each readable property gets its start value back.
  filter.sets.clear();
  EXPECT_EQ(page->Deactivate(), S_OK);
  ASSERT_EQ(filter.sets.size(), 2u);
  EXPECT_EQ(filter.sets[0].property, 2);
  EXPECT_EQ(filter.sets[0].value, -3);
  EXPECT_EQ(filter.sets[1].property, 7);
  EXPECT_EQ(filter.sets[1].value, 4600);
  EXPECT_EQ(page->SetObjects(0, nullptr), S_OK);
  EXPECT_EQ(page->Release(), 0u);
  DestroyWindow(parent);
}

}  // namespace
}  // namespace ext_test
