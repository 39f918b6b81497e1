#include "extension/property_editor.h"

#include <commctrl.h>

#include <string>

namespace qcamext {
namespace {

constexpr LONG kFlagsAuto = 1;    // VideoProcAmp_Flags_Auto, CameraControl_Flags_Auto
constexpr LONG kFlagsManual = 2;  // VideoProcAmp_Flags_Manual, CameraControl_Flags_Manual

HWND ControlOf(HWND dialog, int id) { return id ? GetDlgItem(dialog, id) : NULL; }

// The trackbar notifications that move the value; the others (the thumb's
// final position, top and bottom) are followed by one of these anyway.
bool MovesValue(int code) {
  switch (code) {
    case TB_LINEUP:
    case TB_LINEDOWN:
    case TB_PAGEUP:
    case TB_PAGEDOWN:
    case TB_THUMBTRACK:
    case TB_ENDTRACK:
      return true;
    default:
      return false;
  }
}

}  // namespace

PropertyEditor::PropertyEditor(HWND dialog, LONG property, const EditorControls& ids)
    : property_(property),
      label_(ControlOf(dialog, ids.label)),
      trackbar_(ControlOf(dialog, ids.trackbar)),
      autoBox_(ControlOf(dialog, ids.autoBox)),
      valueBox_(ControlOf(dialog, ids.valueBox)) {
  INITCOMMONCONTROLSEX controls = {sizeof(controls), ICC_BAR_CLASSES | ICC_UPDOWN_CLASS};
  InitCommonControlsEx(&controls);
}

void PropertyEditor::Initialise() {
  Enable(label_, false);
  Enable(trackbar_, false);
  Enable(autoBox_, false);
  Enable(valueBox_, false);
  active_ = SUCCEEDED(GetOf(&startValue_, &startFlags_));
  if (!active_) return;
  value_ = startValue_;
  flags_ = startFlags_;
  if (FAILED(GetRangeOf(&minimum_, &maximum_, &step_, &default_, &caps_)) && HasSlider()) {
    active_ = false;
    return;
  }
  if (trackbar_) {
    Enable(trackbar_, true);
    SetRangeOnTrackbar();
  }
  if (valueBox_) {
    ShowValue();
    Enable(valueBox_, true);
  }
  autoEnabled_ = autoBox_ && CanAutoControl();
  Enable(autoBox_, autoEnabled_);
  Enable(label_, true);
  ShowAutoState();
}

bool PropertyEditor::CanAutoControl() const {
  return (caps_ & (HasSlider() ? kFlagsAuto : kFlagsManual)) != 0;
}

void PropertyEditor::SetRangeOnTrackbar() {
  // A trackbar cannot start below 0: a negative minimum moves the whole
  // range up, and positions map back by the same offset.
  offset_ = minimum_ < 0 ? -minimum_ : 0;
  SendMessageA(trackbar_, TBM_SETRANGEMIN, FALSE, minimum_ + offset_);
  SendMessageA(trackbar_, TBM_SETRANGEMAX, FALSE, maximum_ + offset_);
  SendMessageA(trackbar_, TBM_SETTICFREQ, step_, 0);
  SendMessageA(trackbar_, TBM_SETPAGESIZE, 0, step_);
  SendMessageA(trackbar_, TBM_SETPOS, TRUE, value_ + offset_);
}

void PropertyEditor::ShowValue() {
  if (valueBox_) SetWindowTextA(valueBox_, std::to_string(value_).c_str());
  if (trackbar_) SendMessageA(trackbar_, TBM_SETPOS, TRUE, value_ + offset_);
}

bool PropertyEditor::AutoState() {
  if (HasSlider()) return (flags_ & kFlagsAuto) != 0;
  LONG value = 0, flags = 0;
  if (SUCCEEDED(GetOf(&value, &flags))) value_ = value;
  return value_ != 0;
}

void PropertyEditor::ShowAutoState() {
  if (!autoEnabled_) return;
  const bool automatic = AutoState();
  SendMessageA(autoBox_, BM_SETCHECK, automatic ? BST_CHECKED : BST_UNCHECKED, 0);
  EnableManualControls(!automatic);
}

void PropertyEditor::EnableManualControls(bool enable) {
  Enable(label_, enable);
  Enable(trackbar_, enable);
  Enable(valueBox_, enable);
}

bool PropertyEditor::HandleCommand(HWND control) {
  if (!control) return false;
  if (control == autoBox_) {
    const bool checked = SendMessageA(autoBox_, BM_GETCHECK, 0, 0) == BST_CHECKED;
    if (HasSlider()) {
      flags_ = checked ? kFlagsAuto : kFlagsManual;
    } else {
      value_ = checked ? 1 : 0;
    }
    SetOf(value_, flags_);
    EnableManualControls(!checked);
    return true;
  }
  if (control == valueBox_) {
    if (trackbar_) SendMessageA(trackbar_, TBM_SETPOS, TRUE, value_ + offset_);
    return true;
  }
  return false;
}

bool PropertyEditor::HandleScroll(HWND trackbar, int code) {
  if (!trackbar || trackbar != trackbar_) return false;
  if (active_ && MovesValue(code)) {
    value_ = static_cast<LONG>(SendMessageA(trackbar_, TBM_GETPOS, 0, 0)) - offset_;
    SetOf(value_, flags_);
    if (valueBox_) SetWindowTextA(valueBox_, std::to_string(value_).c_str());
  }
  return true;
}

void PropertyEditor::TakeStart() {
  startValue_ = value_;
  startFlags_ = flags_;
}

void PropertyEditor::RestoreStart() {
  if (!active_) return;
  SetOf(startValue_, startFlags_);
}

void PropertyEditor::ApplyRecordValue(LONG value) {
  if (!active_) return;
  startValue_ = value_ = value;
  flags_ = startFlags_;
  SetOf(value_, flags_);
  ShowValue();
  ShowAutoState();
}

void PropertyEditor::ApplyRecordAuto(bool automatic) {
  if (!active_) return;
  if (HasSlider()) {
    startFlags_ = flags_ = automatic ? kFlagsAuto : kFlagsManual;
  } else {
    startValue_ = value_ = automatic ? 1 : 0;
  }
  SetOf(value_, flags_);
  ShowValue();
  ShowAutoState();
}

}  // namespace qcamext
