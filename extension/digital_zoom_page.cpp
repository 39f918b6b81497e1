#include "extension/digital_zoom_page.h"

#include <commctrl.h>

#include <cstdio>
#include <initializer_list>

#include "extension/module.h"
#include "extension/resource.h"

namespace qcamext {
namespace {

constexpr int kZoomSteps = 16;
constexpr LONG kFactorBase = 1000;
constexpr LONG kFactorStep = 125;
constexpr LONG kPanStep = 10;
constexpr LONG kLargestTrackedPicture = 640 * 480;
// No zoom index has this value: the factor is sent again at the next send.
constexpr int kNoIndexSent = 1000;

// Zoom and face tracking work on I420, RGB24 and YUY2 frames only.
bool FormatAllowsZoom(LONG formatIndex) { return formatIndex >= 0 && formatIndex <= 2; }

}  // namespace

LONG DigitalZoomPage::FactorOfIndex(int index) {
  return index >= 0 && index <= kZoomSteps ? kFactorBase + kFactorStep * index : kFactorBase;
}

int DigitalZoomPage::IndexOfFactor(LONG factor) {
  for (int index = 0; index <= kZoomSteps; ++index) {
    if (FactorOfIndex(index) == factor) return index;
  }
  return 0;
}

IUnknown* DigitalZoomPage::Create(IUnknown* outer, HRESULT* result) {
  return CreatePage<DigitalZoomPage>(result, outer, kCounted, ZoomPageTemplate(Module().windows6));
}

DigitalZoomPage::DigitalZoomPage(IUnknown* outer, Counting counting, int templateId)
    : CustomPropPage(outer, counting, IDS_DZOOM_TITLE, templateId) {}

void DigitalZoomPage::OnInitDialog(HWND window) {
  ReadValues();
  RefreshControls();
  ApplyPageCaptions(window, LocalisedPage::kZoom);
}

void DigitalZoomPage::ReadValues() {
  LONG value = 0;
  if (ReadPrivate(qcam::kPrivZoomScale, &value)) zoomIndex_ = sentZoomIndex_ = IndexOfFactor(value);
  if (!ReadPrivate(qcam::kPrivFormatIndex, &formatIndex_)) formatIndex_ = -1;
  if (!ReadPrivate(qcam::kPrivPictureSize, &pictureSize_)) pictureSize_ = 307201;
  if (ReadPrivate(qcam::kPrivZoomEnable, &value)) zoomEnabled_ = sentZoomEnabled_ = value;
  if (!ReadPrivate(qcam::kPrivFaceTracking, &value)) value = 0;
  faceTracking_ = sentFaceTracking_ = value;
}

bool DigitalZoomPage::Checked(int id) const { return IsDlgButtonChecked(DialogWindow(), id) == BST_CHECKED; }

void DigitalZoomPage::RefreshControls() {
  HWND window = DialogWindow();
  if (!window) return;
  HWND slider = GetDlgItem(window, IDC_ZOOM_SLIDER);
  SendMessageA(slider, TBM_SETRANGE, TRUE, MAKELPARAM(0, kZoomSteps));
  SendMessageA(slider, TBM_SETPOS, TRUE, zoomIndex_);
  char text[32];
  std::snprintf(text, sizeof(text), "%.1f%%", FactorOfIndex(zoomIndex_) / 10.0);
  SetDlgItemTextA(window, IDC_ZOOM_VALUE, text);
  CheckDlgButton(window, IDC_ZOOM_ENABLE, zoomEnabled_ == 1 ? BST_CHECKED : BST_UNCHECKED);
  const bool formatOk = FormatAllowsZoom(formatIndex_);
  EnableWindow(GetDlgItem(window, IDC_ZOOM_ENABLE), formatOk);
  const bool zoomControls = formatOk && zoomEnabled_ == 1;
  for (int id : {IDC_ZOOM_OFFSET_UP, IDC_ZOOM_OFFSET_DOWN, IDC_ZOOM_OFFSET_RIGHT, IDC_ZOOM_OFFSET_LEFT,
                 IDC_ZOOM_SLIDER, IDC_ZOOM_OFFSET_CENTER})
    EnableWindow(GetDlgItem(window, id), zoomControls);
  CheckDlgButton(window, IDC_FACE_TRACKING, faceTracking_ == 1 ? BST_CHECKED : BST_UNCHECKED);
  EnableWindow(GetDlgItem(window, IDC_FACE_TRACKING), formatOk && pictureSize_ <= kLargestTrackedPicture);
}

void DigitalZoomPage::SendChanges() {
  if (zoomIndex_ != sentZoomIndex_) {
    sentZoomIndex_ = zoomIndex_;
    SendPrivate(qcam::kPrivZoomScale, FactorOfIndex(zoomIndex_));
  }
  if (HWND window = DialogWindow()) {
    SendDlgItemMessageA(window, IDC_ZOOM_SLIDER, TBM_SETPOS, TRUE, zoomIndex_);
    char text[32];
    std::snprintf(text, sizeof(text), "%.1f%%", FactorOfIndex(zoomIndex_) / 10.0);
    SetDlgItemTextA(window, IDC_ZOOM_VALUE, text);
  }
  if (stepX_) {
    sentStepX_ = stepX_;
    SendPrivate(qcam::kPrivZoomX, stepX_);
    stepX_ = 0;
  }
  if (stepY_) {
    sentStepY_ = stepY_;
    SendPrivate(qcam::kPrivZoomY, stepY_);
    stepY_ = 0;
  }
  if (zoomEnabled_ != sentZoomEnabled_) {
    // The factor goes with every change of the enable switch, so the driver
    // builds its zoom table for the factor the page shows.
    sentZoomIndex_ = zoomIndex_;
    SendPrivate(qcam::kPrivZoomScale, FactorOfIndex(zoomIndex_));
    sentZoomEnabled_ = zoomEnabled_;
    SendPrivate(qcam::kPrivZoomEnable, zoomEnabled_);
  }
  if (faceTracking_ != sentFaceTracking_) {
    sentFaceTracking_ = faceTracking_;
    SendPrivate(qcam::kPrivFaceTracking, faceTracking_);
  }
}

void DigitalZoomPage::NotifyEffectPage() {
  // The effect page may have been closed since; its handle is then stale.
  HWND effectPage = Module().lastEffectPageWindow;
  if (effectPage && IsWindow(effectPage)) SendMessageA(effectPage, WM_USER + 1, 0, 0);
}

void DigitalZoomPage::HandleCommand(int id) {
  HWND window = DialogWindow();
  switch (id) {
    case IDC_FACE_TRACKING:
      if (Checked(IDC_FACE_TRACKING)) {
        faceTracking_ = 1;
        CheckDlgButton(window, IDC_ZOOM_ENABLE, BST_UNCHECKED);
        zoomEnabled_ = 0;
      } else {
        faceTracking_ = 0;
      }
      break;
    case IDC_ZOOM_ENABLE:
      if (Checked(IDC_ZOOM_ENABLE)) {
        zoomEnabled_ = 1;
        CheckDlgButton(window, IDC_FACE_TRACKING, BST_UNCHECKED);
        faceTracking_ = 0;
      } else {
        zoomEnabled_ = 0;
        sentZoomIndex_ = kNoIndexSent;
      }
      break;
    case IDC_ZOOM_OFFSET_UP:
    case IDC_ZOOM_OFFSET_DOWN:
      stepY_ = id == IDC_ZOOM_OFFSET_UP ? kPanStep : -kPanStep;
      SendChanges();
      SetDirty();
      return;
    case IDC_ZOOM_OFFSET_RIGHT:
    case IDC_ZOOM_OFFSET_LEFT:
      stepX_ = id == IDC_ZOOM_OFFSET_RIGHT ? kPanStep : -kPanStep;
      SendChanges();
      SetDirty();
      return;
    case IDC_ZOOM_OFFSET_CENTER:
      SendPrivate(qcam::kPrivZoomX, 0);
      SendPrivate(qcam::kPrivZoomY, 0);
      SetDirty();
      return;
    default:
      return;
  }
  RefreshControls();
  SendChanges();
  SetDirty();
  NotifyEffectPage();
}

INT_PTR DigitalZoomPage::OnReceiveMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_NOTIFY:
      OnSheetNotify(lParam);
      return FALSE;
    case WM_COMMAND:
      HandleCommand(LOWORD(wParam));
      return FALSE;
    case WM_HSCROLL:
    case WM_VSCROLL: {
      const LRESULT position = SendDlgItemMessageA(window, IDC_ZOOM_SLIDER, TBM_GETPOS, 0, 0);
      zoomIndex_ = position < 0 ? 0 : position > kZoomSteps ? kZoomSteps : static_cast<int>(position);
      SendChanges();
      SetDirty();
      return FALSE;
    }
    default:
      return CustomPropPage::OnReceiveMessage(window, message, wParam, lParam);
  }
}

HRESULT DigitalZoomPage::OnApplyChanges() {
  SendChanges();
  ClearDirty();
  return S_OK;
}

HRESULT DigitalZoomPage::OnDeactivate() {
  if (Dirty() && sentZoomIndex_ >= 0 && sentZoomIndex_ <= kZoomSteps) {
    zoomEnabled_ = sentZoomEnabled_;
    zoomIndex_ = sentZoomIndex_;
    SendChanges();
  }
  return S_OK;
}

}  // namespace qcamext
