// PropertyEditor: one standard camera property (a video proc-amp or camera
// control property) on the custom camera page, shown through up to four
// controls: a label, a trackbar, an "auto" check box and a read-only value
// box. Every change goes to the camera at once; the start value is what the
// page restores when it closes without having been applied.
#pragma once

#include <windows.h>
#include <dshow.h>

namespace qcamext {

// Control ids of one editor; 0 where the editor has no such control.
struct EditorControls {
  int label;
  int trackbar;
  int autoBox;
  int valueBox;
};

class PropertyEditor {
 public:
  PropertyEditor(HWND dialog, LONG property, const EditorControls& ids);
  virtual ~PropertyEditor() = default;
  PropertyEditor(const PropertyEditor&) = delete;
  PropertyEditor& operator=(const PropertyEditor&) = delete;

  // Reads the property and its range and sets up the controls; an editor
  // whose property cannot be read stays disabled.
  void Initialise();

  // A command from `control`: the auto box toggles automatic control, the
  // value box re-positions the trackbar. False when the control is not one
  // of this editor's.
  bool HandleCommand(HWND control);
  // A trackbar notification; false when the trackbar is not this editor's.
  bool HandleScroll(HWND trackbar, int code);

  // The current value becomes the start value (the page was applied).
  void TakeStart();
  // Sends the start value and flags back to the camera.
  void RestoreStart();
  // Takes a value (and an automatic state) from a saved settings record.
  void ApplyRecordValue(LONG value);
  void ApplyRecordAuto(bool automatic);

  bool Active() const { return active_; }
  LONG Value() const { return value_; }
  // With a trackbar or a value box: the flags say Auto; without (a check
  // box editor): the property's value, read again from the camera.
  bool AutoState();

 protected:
  virtual HRESULT GetRangeOf(LONG* minimum, LONG* maximum, LONG* step, LONG* defaultValue, LONG* caps) = 0;
  virtual HRESULT SetOf(LONG value, LONG flags) = 0;
  virtual HRESULT GetOf(LONG* value, LONG* flags) = 0;

  LONG property_;

 private:
  bool HasSlider() const { return trackbar_ || valueBox_; }
  bool CanAutoControl() const;
  void SetRangeOnTrackbar();
  void ShowValue();
  void ShowAutoState();
  // Label, trackbar and value box are usable only while automatic control
  // is off.
  void EnableManualControls(bool enable);
  static void Enable(HWND control, bool enable) {
    if (control) EnableWindow(control, enable);
  }

  HWND label_, trackbar_, autoBox_, valueBox_;
  LONG value_ = 0, flags_ = 0;
  LONG startValue_ = 0, startFlags_ = 0;
  LONG minimum_ = 0, maximum_ = 0, step_ = 1, default_ = 0, caps_ = 0;
  LONG offset_ = 0;
  bool active_ = false;
  bool autoEnabled_ = false;
};

// The editor of one interface: IAMVideoProcAmp and IAMCameraControl offer
// the same get-range, set and get operations.
template <class Interface>
class InterfaceEditor : public PropertyEditor {
 public:
  InterfaceEditor(HWND dialog, Interface* control, LONG property, const EditorControls& ids)
      : PropertyEditor(dialog, property, ids), control_(control) {}

 protected:
  HRESULT GetRangeOf(LONG* minimum, LONG* maximum, LONG* step, LONG* defaultValue, LONG* caps) override {
    return control_ ? control_->GetRange(property_, minimum, maximum, step, defaultValue, caps) : E_POINTER;
  }
  HRESULT SetOf(LONG value, LONG flags) override {
    return control_ ? control_->Set(property_, value, flags) : E_POINTER;
  }
  HRESULT GetOf(LONG* value, LONG* flags) override {
    return control_ ? control_->Get(property_, value, flags) : E_POINTER;
  }

 private:
  Interface* control_;  // held by the page
};

typedef InterfaceEditor<IAMVideoProcAmp> VideoProcAmpEditor;
typedef InterfaceEditor<IAMCameraControl> CameraControlEditor;

}  // namespace qcamext
