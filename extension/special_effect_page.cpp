#include "extension/special_effect_page.h"

#include <commdlg.h>

#include <cstring>

#include "extension/module.h"
#include "shared/qcam_registry.h"
#include "extension/resource.h"

namespace qcamext {
namespace {

constexpr ULONG kEffectLength = 68;
constexpr LONG kLargestEffectPicture = 640 * 480;
constexpr int kPathCapacity = 260;
constexpr int kRegistryPathCapacity = 256;
constexpr int kEffectRadioCount = 22;
constexpr int kFrameRadioCount = 12;

// Effect radios 1 ... 21 send their own number, 22 the automatic cycle;
// frame radios 1 ... 11 the built-in frames, 12 the user's own.
LONG EffectId(int n) { return n == kEffectRadioCount ? qcam::kEffectCycle : n; }
LONG FrameId(int n) { return n == kFrameRadioCount ? qcam::kFrameUser : qcam::kFrameFirst + n - 1; }

}  // namespace

LONG SpecialEffectPage::IdOfRadio(int radio) {
  if (radio >= IDC_SE_RADIO1 && radio <= IDC_SE_RADIO22) return EffectId(radio - IDC_SE_RADIO1 + 1);
  if (radio >= IDC_FRAME_RADIO1 && radio <= IDC_FRAME_RADIO12) return FrameId(radio - IDC_FRAME_RADIO1 + 1);
  return 0;
}

int SpecialEffectPage::RadioOfId(LONG id) {
  for (int n = 1; n <= kEffectRadioCount; ++n) {
    if (EffectId(n) == id) return IDC_SE_RADIO1 + n - 1;
  }
  for (int n = 1; n <= kFrameRadioCount; ++n) {
    if (FrameId(n) == id) return IDC_FRAME_RADIO1 + n - 1;
  }
  return 0;
}

IUnknown* SpecialEffectPage::Create(IUnknown* outer, HRESULT* result) {
  return CreatePage<SpecialEffectPage>(result, outer, kCounted);
}

SpecialEffectPage::SpecialEffectPage(IUnknown* outer, Counting counting)
    : CustomPropPage(outer, counting, IDS_EFFECT_TITLE, IDD_EFFECT_PAGE) {}

void SpecialEffectPage::OnInitDialog(HWND window) {
  // The zoom page tells the effect page opened last when zoom or face
  // tracking change.
  Module().lastEffectPageWindow = window;
  ReadValues();
  RefreshControls();
  ApplyPageCaptions(window, LocalisedPage::kEffect);
  ReEvaluate();
}

void SpecialEffectPage::ReadValues() {
  DWORD payload[kEffectLength / sizeof(DWORD)] = {};
  if (customProp_ && SUCCEEDED(customProp_->Get(qcam::kPrivSpecialEffect, payload, kEffectLength))) {
    current_ = lastSent_ = static_cast<LONG>(payload[0]);
    parameters_[0] = payload[1];
    parameters_[1] = payload[2];
  }
  if (!ReadPrivate(qcam::kPrivFormatIndex, &formatIndex_, kEffectLength)) formatIndex_ = -1;
  if (!ReadPrivate(qcam::kPrivPictureSize, &pictureSize_, kEffectLength)) pictureSize_ = 307201;
}

bool SpecialEffectPage::FormatAllowsEffects() const {
  return (formatIndex_ == 1 || formatIndex_ == 2) && pictureSize_ <= kLargestEffectPicture;
}

void SpecialEffectPage::EnableRadios(bool enable, bool updateButton) {
  HWND window = DialogWindow();
  for (int id = IDC_SE_RADIO1; id <= IDC_SE_RADIO22; ++id) EnableWindow(GetDlgItem(window, id), enable);
  for (int id = IDC_FRAME_RADIO1; id <= IDC_FRAME_RADIO12; ++id) EnableWindow(GetDlgItem(window, id), enable);
  if (updateButton) EnableWindow(GetDlgItem(window, IDC_UDFRAME_UPDATE), enable);
}

void SpecialEffectPage::RefreshControls() {
  HWND window = DialogWindow();
  if (!window) return;
  if (int radio = RadioOfId(current_)) CheckDlgButton(window, radio, BST_CHECKED);
  EnableRadios(FormatAllowsEffects(), false);
  char path[kRegistryPathCapacity];
  qcam::ReadQcamString(qcam::kUserCurrentKey, "UDFrame", path, sizeof(path));
  SetDlgItemTextA(window, IDC_UDFRAME_PATH, path);
}

// Face tracking rules out every effect and frame (the zoom page says when
// it changes).
void SpecialEffectPage::ReEvaluate() {
  if (!FormatAllowsEffects()) return;
  LONG tracking = 0;
  if (!ReadPrivate(qcam::kPrivFaceTracking, &tracking, kEffectLength)) return;
  EnableRadios(tracking == 0, true);
}

void SpecialEffectPage::SendChanges() {
  if (current_ == lastSent_) return;
  lastSent_ = current_;
  DWORD payload[kEffectLength / sizeof(DWORD)] = {};
  payload[0] = static_cast<DWORD>(current_);
  payload[1] = parameters_[0];
  payload[2] = parameters_[1];
  if (customProp_) customProp_->Set(qcam::kPrivSpecialEffect, payload, kEffectLength);
}

void SpecialEffectPage::Browse() {
  char path[kPathCapacity] = {};
  OPENFILENAMEA dialog;
  std::memset(&dialog, 0, sizeof(dialog));
  dialog.lStructSize = sizeof(dialog);
  dialog.hwndOwner = DialogWindow();
  dialog.lpstrFilter = "BMP Files\0*.bmp\0";
  dialog.lpstrFile = path;
  dialog.nMaxFile = kPathCapacity;
  dialog.Flags = OFN_FILEMUSTEXIST | OFN_HIDEREADONLY;
  if (!GetOpenFileNameA(&dialog)) return;
  path[kPathCapacity - 1] = 0;
  SetDlgItemTextA(DialogWindow(), IDC_UDFRAME_PATH, path);
  qcam::WriteQcamString(qcam::kUserCurrentKey, "UDFrame", path);
}

void SpecialEffectPage::Update() {
  if (current_ != qcam::kFrameUser) return;
  char path[kPathCapacity] = {};
  GetDlgItemTextA(DialogWindow(), IDC_UDFRAME_PATH, path, kPathCapacity);
  qcam::WriteQcamString(qcam::kUserCurrentKey, "UDFrame", path);
  // The same id again makes the driver load the bitmap afresh.
  DWORD payload[kEffectLength / sizeof(DWORD)] = {};
  payload[0] = qcam::kFrameUser;
  if (customProp_) customProp_->Set(qcam::kPrivSpecialEffect, payload, kEffectLength);
}

INT_PTR SpecialEffectPage::OnReceiveMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_NOTIFY:
      OnSheetNotify(lParam);
      return FALSE;
    case WM_USER + 1:
      ReEvaluate();
      return FALSE;
    case WM_DESTROY:
      if (Module().lastEffectPageWindow == window) Module().lastEffectPageWindow = NULL;
      return FALSE;
    case WM_COMMAND: {
      const int id = LOWORD(wParam);
      if (LONG effect = IdOfRadio(id)) {
        current_ = effect;
        SendChanges();
        SetDirty();
      } else if (id == IDC_UDFRAME_BROWSE) {
        Browse();
      } else if (id == IDC_UDFRAME_UPDATE) {
        Update();
      }
      return FALSE;
    }
    case WM_HSCROLL:
      SetDirty();
      return FALSE;
    default:
      return CustomPropPage::OnReceiveMessage(window, message, wParam, lParam);
  }
}

HRESULT SpecialEffectPage::OnApplyChanges() {
  SendChanges();
  ClearDirty();
  return S_OK;
}

HRESULT SpecialEffectPage::OnDeactivate() {
  if (Dirty() && lastSent_ != current_) current_ = lastSent_;
  return S_OK;
}

}  // namespace qcamext
