// Video proc amp and camera control: the picture and camera controls,
// translated one to one into video-class requests to the camera's processing
// unit and camera terminal, with the ranges read from the camera at configure
// and every new value recorded in the settings store.
#include "driver/core/camera_control.h"
#include "driver/core/props_internal.h"
#include "driver/core/settings.h"
#include "shared/qcam_defs.h"

const ULONG kExposureTimes[kExposureTableSize] = {10000, 5000, 2500, 1250, 625, 312, 156, 78,
                                                  39,    19,   9,    4,    2,   1,   0};

LONG ExposureValueFromTime(ULONG time, LONG notFound) {
  for (int i = 0; i < kExposureTableSize; ++i)
    if (kExposureTimes[i] == time) return -i;
  return notFound;
}

ULONG ExposureTimeFromValue(LONG value, ULONG notFound) {
  if (value > 0 || value <= -kExposureTableSize) return notFound;
  return kExposureTimes[-value];
}

namespace {

enum ProcAmpKind { kPlain, kSigned, kBacklight, kWhiteBalance };

struct ProcAmpControl {
  ULONG id;
  UCHAR selector;
  StandardControl cache;
  ProcAmpKind kind;
  PCWSTR lastSetName;   // CURRENT value written on every set
  PCWSTR defaultName;   // DEFAULT value written at configure (null: not read)
  ControlRange initial;  // before the first configure
};

constexpr int kProcAmpControlCount = 10;
const ProcAmpControl kProcAmpControls[kProcAmpControlCount] = {
    {KSPROPERTY_VIDEOPROCAMP_BRIGHTNESS, uvc::PU_BRIGHTNESS_CONTROL, kCtlBrightness, kSigned, u"BrightnessTmp", u"Brightness",
     {-128, 127, 1, 0}},
    {KSPROPERTY_VIDEOPROCAMP_CONTRAST, uvc::PU_CONTRAST_CONTROL, kCtlContrast, kPlain, u"ContrastTmp", u"Contrast",
     {0, 255, 1, 128}},
    {KSPROPERTY_VIDEOPROCAMP_HUE, uvc::PU_HUE_CONTROL, kCtlHue, kSigned, u"HueTmp", u"Hue", {-128, 127, 1, 0}},
    {KSPROPERTY_VIDEOPROCAMP_SATURATION, uvc::PU_SATURATION_CONTROL, kCtlSaturation, kPlain, u"SaturationTmp", u"Saturation",
     {0, 255, 1, 128}},
    {KSPROPERTY_VIDEOPROCAMP_SHARPNESS, uvc::PU_SHARPNESS_CONTROL, kCtlSharpness, kPlain, u"SharpnessTmp", u"Sharpness",
     {0, 255, 1, 52}},
    {KSPROPERTY_VIDEOPROCAMP_GAMMA, uvc::PU_GAMMA_CONTROL, kCtlGamma, kPlain, u"GammaTmp", u"Gamma", {72, 500, 1, 100}},
    {KSPROPERTY_VIDEOPROCAMP_WHITEBALANCE, uvc::PU_WHITE_BALANCE_TEMPERATURE_CONTROL, kCtlWhiteBalance, kWhiteBalance,
     u"WhitebalanceTmp", nullptr, {kWhiteBalanceMin, kWhiteBalanceMax, 1, kWhiteBalanceDefault}},
    {KSPROPERTY_VIDEOPROCAMP_BACKLIGHT_COMPENSATION, uvc::PU_BACKLIGHT_COMPENSATION_CONTROL, kCtlBacklight, kBacklight,
     u"BackLightTmp", u"BackLight", {0, 2, 1, 1}},
    // Gain is answered although the table does not list it; its static range
    // is the camera's 8-bit span until configure reads the real one.
    {KSPROPERTY_VIDEOPROCAMP_GAIN, uvc::PU_GAIN_CONTROL, kCtlGain, kPlain, u"GainTmp", u"Gain", {0, 255, 1, 0}},
    {KSPROPERTY_VIDEOPROCAMP_POWERLINE_FREQUENCY, uvc::PU_POWER_LINE_FREQUENCY_CONTROL, kCtlPowerLine, kPlain, u"BandingTmp",
     u"Banding", {0, 2, 1, 2}},
};

// Driver-wide copies of the proc-amp ranges, replaced at configure.
struct RangeStore {
  ControlRange r[kProcAmpControlCount];
  RangeStore() {
    for (int i = 0; i < kProcAmpControlCount; ++i) r[i] = kProcAmpControls[i].initial;
  }
} g_Ranges;

int FindProcAmp(ULONG id) {
  for (int i = 0; i < kProcAmpControlCount; ++i)
    if (kProcAmpControls[i].id == id) return i;
  return -1;
}

int FindProcAmpBySelector(UCHAR selector) {
  for (int i = 0; i < kProcAmpControlCount; ++i)
    if (kProcAmpControls[i].selector == selector) return i;
  return -1;
}

// Reads `length` bytes of one control into a zeroed 4-byte buffer, so that
// 1- and 2-byte answers are zero-extended; a failed request reads 0.
LONG ReadControl(CameraDeviceState* dev, UCHAR request, UCHAR selector, UCHAR unit, ULONG length) {
  UCHAR buffer[4] = {};
  SendControlRequest(dev, request, uvc::ControlValue(selector), uvc::ControlIndex(unit, 0), buffer, length, kControlGet);
  return LoadLong(buffer, 0);
}

VOID WriteControl(CameraDeviceState* dev, UCHAR selector, UCHAR unit, LONG value, ULONG length) {
  UCHAR buffer[4];
  StoreLong(buffer, 0, value);
  SendControlRequest(dev, uvc::SET_CUR, uvc::ControlValue(selector), uvc::ControlIndex(unit, 0), buffer, length, kControlSet);
}

VOID WriteCurrent(PCWSTR name, ULONG value) { WriteDwordSetting(qcam::kKeyCurrent, name, value); }

VOID StoreRecord(const PropertyRequest& req, LONG value, ULONG flags, ULONG caps) {
  StoreLong(req.Data, kPropValueOffset, value);
  StoreLong(req.Data, kPropFlagsOffset, LONG(flags));
  StoreLong(req.Data, kPropCapsOffset, LONG(caps));
}

constexpr ULONG kFlagAuto = KSPROPERTY_VIDEOPROCAMP_FLAGS_AUTO;
constexpr ULONG kFlagManual = KSPROPERTY_VIDEOPROCAMP_FLAGS_MANUAL;

// Range check, cache and division by the resolution shared by every
// proc-amp set. A resolution of 0 would divide by zero; it is replaced by 1
// and the replacement kept.
NTSTATUS CheckAndScale(CameraDeviceState* dev, int index, LONG value, LONG* quotient) {
  ControlRange& range = g_Ranges.r[index];
  if (value < range.Minimum || value > range.Maximum) return STATUS_INVALID_PARAMETER;
  dev->ControlValue[kProcAmpControls[index].cache] = value;
  if (range.Resolution == 0) range.Resolution = 1;
  *quotient = value / range.Resolution;
  return STATUS_SUCCESS;
}

}  // namespace

BOOLEAN GetProcAmpRange(ULONG propertyId, ControlRange* range) {
  int i = FindProcAmp(propertyId);
  if (i < 0) return FALSE;
  *range = g_Ranges.r[i];
  return TRUE;
}

VOID ReadControlRanges(CameraDeviceState* dev) {
  // White balance is not read: its range stays the static one.
  static const UCHAR kOrder[9] = {uvc::PU_BRIGHTNESS_CONTROL, uvc::PU_CONTRAST_CONTROL,  uvc::PU_GAMMA_CONTROL, uvc::PU_SATURATION_CONTROL,          uvc::PU_HUE_CONTROL,
                                  uvc::PU_SHARPNESS_CONTROL,  uvc::PU_GAIN_CONTROL,      uvc::PU_BACKLIGHT_COMPENSATION_CONTROL, uvc::PU_POWER_LINE_FREQUENCY_CONTROL};
  for (UCHAR selector : kOrder) {
    int index = FindProcAmpBySelector(selector);
    const ProcAmpControl& c = kProcAmpControls[index];
    LONG minimum = ReadControl(dev, uvc::GET_MIN, selector, uvc::kProcessingUnitId, 2);
    LONG maximum = ReadControl(dev, uvc::GET_MAX, selector, uvc::kProcessingUnitId, 2);
    LONG resolution = ReadControl(dev, uvc::GET_RES, selector, uvc::kProcessingUnitId, 2);
    LONG cameraDefault = ReadControl(dev, uvc::GET_DEF, selector, uvc::kProcessingUnitId, 2);
    // Signed controls answer 16-bit two's complement; a minimum above the
    // maximum is a negative one, of which the camera's low byte carries the
    // value (0xFFC0 is -64).
    if (minimum > maximum) minimum = LONG(static_cast<signed char>(minimum & 0xFF));
    // The default of a signed control comes in the same encoding; taken as
    // is it would lie outside the range it belongs to.
    if (minimum < 0 && cameraDefault > maximum) cameraDefault -= 0x10000;
    if (resolution == 0) resolution = 1;
    // The property's backlight is on/off, the camera's 1 is "off".
    LONG tableDefault = c.kind == kBacklight ? (cameraDefault == 1 ? 0 : 1) : cameraDefault;

    SetProcAmpTableRange(c.id, resolution, minimum, maximum, tableDefault);
    g_Ranges.r[index] = ControlRange{minimum, maximum, resolution, tableDefault};
    WriteDwordSetting(qcam::kKeyDefault, c.defaultName, ULONG(tableDefault));
  }
}

VOID ResetControlRanges() {
  for (int i = 0; i < kProcAmpControlCount; ++i) g_Ranges.r[i] = kProcAmpControls[i].initial;
  ResetPropertyTables();
}

// The opening every proc-amp and camera-control request shares: the property
// id must be one the set knows (`find` returns its index, or -1 to refuse it
// with STATUS_NOT_SUPPORTED), then both buffers must hold the 40-byte record.
template <typename Find>
static NTSTATUS OpenControlRequest(PHW_STREAM_REQUEST_BLOCK srb, Find find, int* index, PropertyRequest* req) {
  ULONG id;
  NTSTATUS status = PeekPropertyId(srb, &id);
  if (!NT_SUCCESS(status)) return status;
  *index = find(id);
  if (*index < 0) return STATUS_NOT_SUPPORTED;
  return OpenPropertyRequest(srb, kPropRecordSize, kPropRecordSize, req);
}

static int FindCameraControl(ULONG id) {
  return id == KSPROPERTY_CAMERACONTROL_EXPOSURE || id == KSPROPERTY_CAMERACONTROL_FOCUS ? int(id) : -1;
}

// ---- video proc amp ---------------------------------------------------------------
NTSTATUS ProcAmpGetProperty(CameraDeviceState* dev, PHW_STREAM_REQUEST_BLOCK srb) {
  int index;
  PropertyRequest req;
  NTSTATUS status = OpenControlRequest(srb, FindProcAmp, &index, &req);
  if (!NT_SUCCESS(status)) return status;

  const ProcAmpControl& c = kProcAmpControls[index];
  ULONG flags = kFlagManual, caps = kFlagManual;
  if (c.kind == kWhiteBalance) {
    BOOLEAN automatic = ReadControl(dev, uvc::GET_CUR, uvc::PU_WHITE_BALANCE_TEMPERATURE_AUTO_CONTROL, uvc::kProcessingUnitId, 1) != 0;
    flags = automatic ? kFlagAuto : kFlagManual;
    caps = kFlagAuto | kFlagManual;
  }
  LONG value = ReadControl(dev, uvc::GET_CUR, c.selector, uvc::kProcessingUnitId, 2);
  if (c.kind == kSigned && value > g_Ranges.r[index].Maximum) value -= 0x10000;
  if (c.kind == kBacklight) value = value == 1 ? 0 : 1;

  dev->ControlValue[c.cache] = value;
  StoreRecord(req, value, flags, caps);
  srb->ActualBytesTransferred = kPropRecordSize;
  return STATUS_SUCCESS;
}

NTSTATUS ProcAmpSetProperty(CameraDeviceState* dev, PHW_STREAM_REQUEST_BLOCK srb) {
  int index;
  PropertyRequest req;
  NTSTATUS status = OpenControlRequest(srb, FindProcAmp, &index, &req);
  if (!NT_SUCCESS(status)) return status;

  const ProcAmpControl& c = kProcAmpControls[index];
  LONG value = LoadLong(req.Data, kPropValueOffset);
  ULONG flags = ULONG(LoadLong(req.Data, kPropFlagsOffset));
  LONG quotient = 0;

  switch (c.kind) {
    case kPlain:
    case kSigned:
      status = CheckAndScale(dev, index, value, &quotient);
      if (!NT_SUCCESS(status)) return status;
      WriteCurrent(c.lastSetName, ULONG(quotient));
      WriteControl(dev, c.selector, uvc::kProcessingUnitId, quotient, 2);
      break;
    case kBacklight: {
      // The camera's 2 is "on", 1 "off". The last-set value is written only
      // once the camera value was accepted, so a refused set leaves no trace.
      LONG cameraValue = value != 0 ? 2 : 1;
      status = CheckAndScale(dev, index, cameraValue, &quotient);
      if (!NT_SUCCESS(status)) return status;
      WriteCurrent(c.lastSetName, value != 0 ? 1 : 0);
      WriteControl(dev, c.selector, uvc::kProcessingUnitId, quotient, 2);
      break;
    }
    case kWhiteBalance:
      if (flags & kFlagManual) {
        WriteControl(dev, uvc::PU_WHITE_BALANCE_TEMPERATURE_AUTO_CONTROL, uvc::kProcessingUnitId, 0, 1);
        status = CheckAndScale(dev, index, value, &quotient);
        if (!NT_SUCCESS(status)) return status;
        WriteCurrent(u"WhitebalanceTmp", ULONG(quotient));
        WriteCurrent(u"WhitebalanceAutoTmp", 0);
        WriteControl(dev, uvc::PU_WHITE_BALANCE_TEMPERATURE_CONTROL, uvc::kProcessingUnitId, quotient, 2);
      } else if (flags & kFlagAuto) {
        WriteControl(dev, uvc::PU_WHITE_BALANCE_TEMPERATURE_AUTO_CONTROL, uvc::kProcessingUnitId, 1, 1);
        WriteCurrent(u"WhitebalanceAutoTmp", 1);
      } else {
        // Neither mode asked for: nothing to do that the caller meant.
        return STATUS_INVALID_PARAMETER;
      }
      break;
  }
  srb->ActualBytesTransferred = kPropRecordSize;
  return STATUS_SUCCESS;
}

// ---- camera control -----------------------------------------------------------------
NTSTATUS CameraControlGetProperty(CameraDeviceState* dev, PHW_STREAM_REQUEST_BLOCK srb) {
  int found;
  PropertyRequest req;
  NTSTATUS status = OpenControlRequest(srb, FindCameraControl, &found, &req);
  if (!NT_SUCCESS(status)) return status;
  const ULONG id = ULONG(found);

  LONG value;
  BOOLEAN automatic;
  if (id == KSPROPERTY_CAMERACONTROL_EXPOSURE) {
    automatic = ReadControl(dev, uvc::GET_CUR, uvc::CT_AE_MODE_CONTROL, uvc::kCameraTerminalId, 1) == uvc::AE_MODE_APERTURE_PRIORITY;
    ULONG time = ULONG(ReadControl(dev, uvc::GET_CUR, uvc::CT_EXPOSURE_TIME_ABSOLUTE_CONTROL, uvc::kCameraTerminalId, 4));
    value = ExposureValueFromTime(time, kExposureDefault);
    dev->ControlValue[kCtlExposure] = value;
  } else {
    automatic = ReadControl(dev, uvc::GET_CUR, uvc::CT_FOCUS_AUTO_CONTROL, uvc::kCameraTerminalId, 1) == 1;
    value = ReadControl(dev, uvc::GET_CUR, uvc::CT_FOCUS_ABSOLUTE_CONTROL, uvc::kCameraTerminalId, 2);
    dev->ControlValue[kCtlFocus] = value;
  }
  StoreRecord(req, value, automatic ? kFlagAuto : kFlagManual, kFlagAuto | kFlagManual);
  srb->ActualBytesTransferred = kPropRecordSize;
  return STATUS_SUCCESS;
}

NTSTATUS CameraControlSetProperty(CameraDeviceState* dev, PHW_STREAM_REQUEST_BLOCK srb) {
  int found;
  PropertyRequest req;
  NTSTATUS status = OpenControlRequest(srb, FindCameraControl, &found, &req);
  if (!NT_SUCCESS(status)) return status;
  const ULONG id = ULONG(found);

  LONG value = LoadLong(req.Data, kPropValueOffset);
  ULONG flags = ULONG(LoadLong(req.Data, kPropFlagsOffset));
  if (id == KSPROPERTY_CAMERACONTROL_EXPOSURE) {
    if (flags & kFlagAuto) {
      WriteControl(dev, uvc::CT_AE_MODE_CONTROL, uvc::kCameraTerminalId, uvc::AE_MODE_APERTURE_PRIORITY, 1);
      WriteCurrent(u"ExposureAutoTmp", 1);
    } else {
      // The camera is switched to manual before the value is checked, as a
      // client that asks for a manual value wants manual exposure.
      WriteControl(dev, uvc::CT_AE_MODE_CONTROL, uvc::kCameraTerminalId, uvc::AE_MODE_MANUAL, 1);
      if (value < kExposureMin || value > kExposureMax) return STATUS_INVALID_PARAMETER;
      dev->ControlValue[kCtlExposure] = value;
      ULONG time = ExposureTimeFromValue(value, 78);
      WriteCurrent(u"ExposureTmp", time);
      WriteCurrent(u"ExposureAutoTmp", 0);
      WriteControl(dev, uvc::CT_EXPOSURE_TIME_ABSOLUTE_CONTROL, uvc::kCameraTerminalId, LONG(time), 4);
    }
  } else {
    if (flags & kFlagAuto) {
      WriteControl(dev, uvc::CT_FOCUS_AUTO_CONTROL, uvc::kCameraTerminalId, 1, 1);
      WriteCurrent(u"FocusAutoTmp", 1);
    } else {
      WriteControl(dev, uvc::CT_FOCUS_AUTO_CONTROL, uvc::kCameraTerminalId, 0, 1);
      if (ULONG(value) > ULONG(kFocusMax)) return STATUS_INVALID_PARAMETER;
      dev->ControlValue[kCtlFocus] = value;
      WriteCurrent(u"FocusTmp", ULONG(value));
      WriteCurrent(u"FocusAutoTmp", 0);
      WriteControl(dev, uvc::CT_FOCUS_ABSOLUTE_CONTROL, uvc::kCameraTerminalId, value, 2);
    }
  }
  srb->ActualBytesTransferred = kPropRecordSize;
  return STATUS_SUCCESS;
}
