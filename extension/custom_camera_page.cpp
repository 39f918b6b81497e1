#include "extension/custom_camera_page.h"

#include <commctrl.h>


#include "extension/camera_finder.h"
#include "extension/module.h"
#include "extension/resource.h"

namespace qcamext {
namespace {

constexpr LONG kPowerLineProperty = 13;  // the proc-amp's power-line frequency
constexpr LONG kPictureSizeFallback = 307200;
constexpr ULONG kSettingsLength = 1088;
constexpr int kSavedRecord = 16;    // payload word of the saved settings record
constexpr int kDefaultRecord = 40;  // and of the driver's defaults

// The private id and check box of each slot (the power-line value has
// radios, the snapshot size a list).
struct SlotInfo {
  ULONG property;
  int checkBox;
};
constexpr SlotInfo kSlots[CustomCameraPage::kSlotCount] = {
    {0, 0},
    {qcam::kPrivMirror, IDC_VIDEO_MIRROR},
    {qcam::kPrivFlip, IDC_VIDEO_FLIP},
    {qcam::kPrivSnapshotSize, 0},
    {qcam::kPrivColorEnable, IDC_VIDEO_COLORENABLE},
    {qcam::kPrivOutdoor, IDC_BANDING_OUTDOOR_CHECK},
    {qcam::kPrivLed, IDC_VIDEO_LEDCTRL},
    {qcam::kPrivLowLight, IDC_VIDEO_LOWLIGHT},
};

enum EditorIndex {
  kBrightness, kContrast, kGamma, kHue, kSaturation, kSharpness, kWhiteBalance,
  kBacklight, kExposure, kGain, kFocus, kPrivacy,
};

struct EditorInfo {
  bool cameraControl;
  LONG property;
  EditorControls ids;
};
constexpr EditorInfo kEditors[CustomCameraPage::kEditorCount] = {
    {false, VideoProcAmp_Brightness, {1178, 1179, 0, 1180}},
    {false, VideoProcAmp_Contrast, {1175, 1176, 0, 1177}},
    {false, VideoProcAmp_Gamma, {1172, 1173, 0, 1174}},
    {false, VideoProcAmp_Hue, {1169, 1170, 0, 1171}},
    {false, VideoProcAmp_Saturation, {1168, 1166, 0, 1167}},
    {false, VideoProcAmp_Sharpness, {1163, 1164, 0, 1165}},
    {false, VideoProcAmp_WhiteBalance, {1184, 1185, 1187, 1186}},
    {false, VideoProcAmp_BacklightCompensation, {0, 0, 1116, 0}},
    {true, CameraControl_Exposure, {1159, 1156, 1154, 1155}},
    {false, VideoProcAmp_Gain, {1160, 1138, 1086, 1016}},
    {true, CameraControl_Focus, {1193, 1196, 1198, 1197}},
    {true, 8 /* privacy */, {0, 0, 1210, 0}},
};

constexpr const char* kSnapshotRows[qcam::kSnapshotSizeCount] = {
    "160x120",  "176x144",   "320x240",   "352x288",   "640x480",   "800x600",   "1024x768",  "1280x720",
    "1280x800", "1280x960", "1280x1024", "1600x1200", "2304x1728", "2560x1600", "2560x2048",
};

// The driver's property 15 is "colour enabled" (1: colour), and so is the
// settings record's word; the box is labelled "Black and White" and is
// therefore checked while the value is 0.
UINT BoxState(int slot, LONG value) {
  const bool checked = slot == CustomCameraPage::kBlackWhite ? value == 0 : value == 1;
  return checked ? BST_CHECKED : BST_UNCHECKED;
}
LONG ValueOfBox(int slot, bool checked) {
  if (slot == CustomCameraPage::kBlackWhite) return checked ? 0 : 1;
  return checked ? 1 : 0;
}

// The largest snapshot size offered for a stream of that many pixels.
int LastSnapshotRow(LONG pictureSize) {
  switch (pictureSize) {
    case 160 * 120:
    case 176 * 144:
      return 3;
    case 320 * 240:
    case 352 * 288:
      return 4;
    case 640 * 400:
    case 640 * 480:
      return 9;
    case 800 * 600:
      return 11;
    default:
      return 13;
  }
}

// The record's words in the order the settings record keeps them.
enum RecordWord {
  kRecBrightness, kRecContrast, kRecGamma, kRecHue, kRecSaturation, kRecSharpness, kRecWhiteBalance,
  kRecWhiteBalanceAuto, kRecBacklight, kRecExposure, kRecExposureAuto, kRecGain, kRecGainAuto, kRecPowerLine,
  kRecFlip, kRecMirror, kRecOutdoor, kRecLowLight, kRecSnapshot, kRecBlackWhite, kRecFocus, kRecFocusAuto,
  kRecLed, kRecPrivacy, kRecordWords,
};

}  // namespace

IUnknown* CustomCameraPage::Create(IUnknown* outer, HRESULT* result) {
  return CreatePage<CustomCameraPage>(result, outer, kCounted, CameraPageTemplate(Module().layer));
}

CustomCameraPage::CustomCameraPage(IUnknown* outer, Counting counting, int templateId)
    : CustomPropPage(outer, counting, IDS_CAMERA_TITLE, templateId) {}

CustomCameraPage::~CustomCameraPage() {
  DestroyEditors();
  ReleaseAndClear(&videoProcAmp_);
  ReleaseAndClear(&cameraControl_);
}

HRESULT CustomCameraPage::OnConnect(IUnknown* filter) {
  HRESULT result = CustomPropPage::OnConnect(filter);
  if (FAILED(result)) return result;
  ReleaseAndClear(&videoProcAmp_);
  result = BindInterface(filter, IID_IAMVideoProcAmp, &videoProcAmp_);
  if (FAILED(result)) return result;
  ReleaseAndClear(&cameraControl_);
  return BindInterface(filter, IID_IAMCameraControl, &cameraControl_);
}

HRESULT CustomCameraPage::OnDisconnect() {
  // The editors call the interfaces through plain pointers.
  DestroyEditors();
  ReleaseSharedCameraFinder();
  CustomPropPage::OnDisconnect();
  ReleaseAndClear(&videoProcAmp_);
  ReleaseAndClear(&cameraControl_);
  return S_OK;
}

void CustomCameraPage::UseVfwInterfaces() {
  DestroyEditors();
  HoldInterface(&videoProcAmp_, Module().vfwVideoProcAmp);
  HoldInterface(&cameraControl_, Module().vfwCameraControl);
  CustomPropPage::UseVfwInterfaces();
}

// ---- dialog initialisation, reading and showing ---------------------------------

void CustomCameraPage::OnInitDialog(HWND window) {
  // A dialog shown again (the video-source dialog opened a second time)
  // starts without the editors of the window that is gone.
  DestroyEditors();
  ReadValues();
  for (PrivateValue& value : values_) value.initial = value.current;
  RefreshControls();
  ApplyPageCaptions(window, LocalisedPage::kCamera);
}

void CustomCameraPage::ReadValues() {
  if (!customProp_) return;
  LONG value = 0, flags = 0;
  if (videoProcAmp_ && SUCCEEDED(videoProcAmp_->Get(kPowerLineProperty, &value, &flags)))
    values_[kPowerLine].current = values_[kPowerLine].lastSent = value;
  for (int slot : {kMirror, kFlip}) {
    if (ReadPrivate(kSlots[slot].property, &value)) values_[slot].current = values_[slot].lastSent = value;
  }
  ReadPrivate(qcam::kPrivDriverId, &driverNumber_);
  // The snapshot size is read as the current value only: the first change
  // of anything sends it.
  ReadPrivate(qcam::kPrivSnapshotSize, &values_[kSnapshot].current);
  if (ReadPrivate(qcam::kPrivColorEnable, &value))
    values_[kBlackWhite].current = values_[kBlackWhite].lastSent = value;
  if (!ReadPrivate(qcam::kPrivPictureSize, &pictureSize_)) pictureSize_ = kPictureSizeFallback;
  for (int slot : {kOutdoor, kLed, kLowLight}) {
    if (ReadPrivate(kSlots[slot].property, &value)) values_[slot].current = values_[slot].lastSent = value;
  }
}

bool CustomCameraPage::Checked(int id) const { return IsDlgButtonChecked(Window(), id) == BST_CHECKED; }

void CustomCameraPage::RefreshControls() {
  HWND window = Window();
  if (!window) return;
  CheckDlgButton(window, IDC_BANDING_50HZ_RADIO, BST_UNCHECKED);
  CheckDlgButton(window, IDC_BANDING_60HZ_RADIO, BST_UNCHECKED);
  CheckDlgButton(window, IDC_BANDING_OFF_RADIO, BST_UNCHECKED);
  const LONG powerLine = values_[kPowerLine].current;
  if (powerLine >= 0 && powerLine <= 2) {
    static const int kRadios[] = {IDC_BANDING_OFF_RADIO, IDC_BANDING_50HZ_RADIO, IDC_BANDING_60HZ_RADIO};
    CheckDlgButton(window, kRadios[powerLine], BST_CHECKED);
  }
  SetDlgItemInt(window, IDC_VIDEO_NUMBER, static_cast<UINT>(driverNumber_), TRUE);
  FillSnapshotList();
  for (int slot = kMirror; slot < kSlotCount; ++slot) {
    if (kSlots[slot].checkBox) CheckDlgButton(window, kSlots[slot].checkBox, BoxState(slot, values_[slot].current));
  }
}

void CustomCameraPage::FillSnapshotList() {
  HWND list = GetDlgItem(Window(), IDC_VIDEO_SNAPSHOP_SIZE);
  if (!list) return;
  lastSnapshotRow_ = LastSnapshotRow(pictureSize_);
  SendMessageA(list, CB_RESETCONTENT, 0, 0);
  for (int row = 0; row <= lastSnapshotRow_; ++row)
    SendMessageA(list, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(kSnapshotRows[row]));
  SendMessageA(list, CB_SETCURSEL, values_[kSnapshot].current, 0);
}

// ---- sending ----------------------------------------------------------------------

void CustomCameraPage::SendSlot(int slot) {
  PrivateValue& value = values_[slot];
  value.lastSent = value.current;
  if (slot == kPowerLine) {
    if (videoProcAmp_) videoProcAmp_->Set(kPowerLineProperty, value.current, 0);
  } else {
    SendPrivate(kSlots[slot].property, value.current);
  }
}

void CustomCameraPage::SendChanges() {
  if (!customProp_) return;
  for (int slot = 0; slot < kSlotCount; ++slot) {
    if (values_[slot].current != values_[slot].lastSent) SendSlot(slot);
  }
}

// ---- editors ---------------------------------------------------------------------------

HRESULT CustomCameraPage::OnActivate() {
  // The video-source dialog activates the page on every visit: each visit
  // gets a fresh set of editors.
  DestroyEditors();
  HWND window = Window();
  if (!window) return S_OK;
  for (const EditorInfo& info : kEditors) {
    PropertyEditor* editor;
    if (info.cameraControl) {
      editor = new CameraControlEditor(window, cameraControl_, info.property, info.ids);
    } else {
      editor = new VideoProcAmpEditor(window, videoProcAmp_, info.property, info.ids);
    }
    editors_[editorCount_++].reset(editor);
    editor->Initialise();
  }
  return S_OK;
}

void CustomCameraPage::DestroyEditors() {
  for (auto& editor : editors_) editor.reset();
  editorCount_ = 0;
}

// ---- messages ---------------------------------------------------------------------------

INT_PTR CustomCameraPage::OnReceiveMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_NOTIFY:
      OnSheetNotify(lParam);
      return FALSE;
    case WM_COMMAND:
      if (HandleCommand(reinterpret_cast<HWND>(lParam), LOWORD(wParam))) {
        SendChanges();
        SetDirty();
      }
      return FALSE;
    case WM_HSCROLL:
    case WM_VSCROLL:
      for (int i = 0; i < editorCount_; ++i) {
        if (editors_[i]->HandleScroll(reinterpret_cast<HWND>(lParam), LOWORD(wParam))) {
          SetDirty();
          break;
        }
      }
      SendChanges();
      SetDirty();
      return FALSE;
    default:
      return CustomPropPage::OnReceiveMessage(window, message, wParam, lParam);
  }
}

// True when the command changed a private value (the changes are then sent).
bool CustomCameraPage::HandleCommand(HWND control, int id) {
  for (int i = 0; i < editorCount_; ++i) {
    if (editors_[i]->HandleCommand(control)) {
      SetDirty();
      break;
    }
  }
  for (int slot = kMirror; slot < kSlotCount; ++slot) {
    if (kSlots[slot].checkBox == id) {
      values_[slot].current = ValueOfBox(slot, Checked(id));
      return true;
    }
  }
  switch (id) {
    case IDC_BANDING_OFF_RADIO:
    case IDC_BANDING_50HZ_RADIO:
    case IDC_BANDING_60HZ_RADIO:
      values_[kPowerLine].current = id - IDC_BANDING_OFF_RADIO;
      return true;
    case IDC_VIDEO_SNAPSHOP_SIZE: {
      // No selection (an emptied list) leaves the index as it is rather
      // than sending the driver a row that does not exist.
      const LRESULT row = SendDlgItemMessageA(Window(), IDC_VIDEO_SNAPSHOP_SIZE, CB_GETCURSEL, 0, 0);
      if (row >= 0 && row <= lastSnapshotRow_) values_[kSnapshot].current = static_cast<LONG>(row);
      return true;
    }
    case IDC_VIDEO_SAVE:
      SaveSettings();
      return false;
    case ID_SNAPONE:
      TakeSnapshot();
      return false;
    case IDC_VIDEO_RELOAD:
    case IDC_VIDEO_DEFAULT:
      LoadSettings(id == IDC_VIDEO_DEFAULT);
      return true;
    default:
      return false;
  }
}

// ---- settings record --------------------------------------------------------------------

void CustomCameraPage::SaveSettings() {
  if (!customProp_ || editorCount_ != kEditorCount) return;
  DWORD payload[kSettingsLength / sizeof(DWORD)] = {};
  payload[0] = 6;
  DWORD* record = payload + kSavedRecord;
  auto value = [this](int editor) { return static_cast<DWORD>(editors_[editor]->Value()); };
  auto automatic = [this](int editor) { return static_cast<DWORD>(editors_[editor]->AutoState() ? 1 : 0); };
  record[kRecBrightness] = value(kBrightness);
  record[kRecContrast] = value(kContrast);
  record[kRecGamma] = value(kGamma);
  record[kRecHue] = value(kHue);
  record[kRecSaturation] = value(kSaturation);
  record[kRecSharpness] = value(kSharpness);
  record[kRecWhiteBalance] = value(kWhiteBalance);
  record[kRecWhiteBalanceAuto] = automatic(kWhiteBalance);
  record[kRecBacklight] = automatic(kBacklight);
  record[kRecExposure] = value(kExposure);
  record[kRecExposureAuto] = automatic(kExposure);
  record[kRecGain] = value(kGain);
  record[kRecGainAuto] = automatic(kGain);
  record[kRecPowerLine] = values_[kPowerLine].current;
  record[kRecFlip] = values_[kFlip].current;
  record[kRecMirror] = values_[kMirror].current;
  record[kRecOutdoor] = values_[kOutdoor].current;
  record[kRecLowLight] = values_[kLowLight].current;
  record[kRecSnapshot] = values_[kSnapshot].current;
  record[kRecBlackWhite] = values_[kBlackWhite].current;
  record[kRecFocus] = value(kFocus);
  record[kRecFocusAuto] = automatic(kFocus);
  record[kRecLed] = values_[kLed].current;
  record[kRecPrivacy] = automatic(kPrivacy);
  customProp_->Set(qcam::kPrivSettings, payload, kSettingsLength);
}

void CustomCameraPage::LoadSettings(bool defaults) {
  if (!customProp_) return;
  DWORD payload[kSettingsLength / sizeof(DWORD)] = {};
  if (FAILED(customProp_->Get(qcam::kPrivSettings, payload, kSettingsLength))) return;
  const LONG* record = reinterpret_cast<const LONG*>(payload + (defaults ? kDefaultRecord : kSavedRecord));
  if (editorCount_ == kEditorCount) {
    static const int kValueEditors[] = {kBrightness, kContrast, kGamma, kHue, kSaturation, kSharpness, kWhiteBalance};
    static const int kValueWords[] = {kRecBrightness, kRecContrast, kRecGamma, kRecHue,
                                      kRecSaturation, kRecSharpness, kRecWhiteBalance};
    for (int i = 0; i < 7; ++i) editors_[kValueEditors[i]]->ApplyRecordValue(record[kValueWords[i]]);
    editors_[kWhiteBalance]->ApplyRecordAuto(record[kRecWhiteBalanceAuto] == 1);
    editors_[kBacklight]->ApplyRecordValue(record[kRecBacklight]);
    editors_[kExposure]->ApplyRecordValue(record[kRecExposure]);
    editors_[kExposure]->ApplyRecordAuto(record[kRecExposureAuto] == 1);
    editors_[kGain]->ApplyRecordValue(record[kRecGain]);
    editors_[kGain]->ApplyRecordAuto(record[kRecGainAuto] == 1);
  }
  values_[kPowerLine].current = record[kRecPowerLine];
  values_[kFlip].current = record[kRecFlip];
  values_[kMirror].current = record[kRecMirror];
  values_[kLowLight].current = record[kRecLowLight];
  values_[kBlackWhite].current = record[kRecBlackWhite];
  values_[kOutdoor].current = record[kRecOutdoor];
  if (editorCount_ == kEditorCount) {
    editors_[kFocus]->ApplyRecordValue(record[kRecFocus]);
    editors_[kFocus]->ApplyRecordAuto(record[kRecFocusAuto] == 1);
  }
  values_[kLed].current = record[kRecLed];
  if (editorCount_ == kEditorCount) editors_[kPrivacy]->ApplyRecordValue(record[kRecPrivacy]);
  RefreshControls();
}

void CustomCameraPage::TakeSnapshot() {
  CameraFinder* finder = SharedCameraFinder();
  if (!finder) return;
  // Built once and kept; a camera that was not there the first time is
  // looked for again.
  if (!finder->Filter()) finder->Build();
  DWORD payload[17] = {};
  payload[0] = static_cast<DWORD>(values_[kSnapshot].current);
  finder->SendProperty(qcam::kPrivSnapshotSize, payload);
  finder->ClearCameraStatus(qcam::kStatusSnapshotReady);
  finder->TriggerStill();
}

// ---- apply and close ---------------------------------------------------------------------

HRESULT CustomCameraPage::OnApplyChanges() {
  for (int i = 0; i < editorCount_; ++i) editors_[i]->TakeStart();
  for (int slot = 0; slot < kSlotCount; ++slot) {
    if (values_[slot].current != values_[slot].lastSent) SendSlot(slot);
  }
  ClearDirty();
  applied_ = true;
  return S_OK;
}

HRESULT CustomCameraPage::OnDeactivate() {
  if (!applied_) {
    // Closed without Apply: the camera goes back to what the page found.
    for (int i = 0; i < editorCount_; ++i) editors_[i]->RestoreStart();
    for (PrivateValue& value : values_) value.current = value.initial;
    RefreshControls();
    SendChanges();
  } else if (Dirty()) {
    for (PrivateValue& value : values_) value.current = value.lastSent;
  }
  DestroyEditors();
  return S_OK;
}

}  // namespace qcamext
