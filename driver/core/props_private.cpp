// The driver's private property set: effects, face tracking, zoom, mirror,
// flip, black and white, outdoor and low-light modes, the LED, snapshots and
// the snapshot button, the saved and default settings and the control
// ranges. Every request carries one 1112-byte record: a copy of the property
// header and 272 words D[0] .. D[271].
#include <climits>

#include "driver/core/camera_control.h"
#include "driver/core/face_tracking.h"
#include "driver/core/props_internal.h"
#include "driver/core/settings.h"
#include "driver/core/zoom.h"
#include "driver/imaging/effects.h"
#include "shared/qcam_defs.h"

namespace {

constexpr ULONG kRecordSize = qcam::kPrivateRecordSize;
constexpr ULONG kWordsOffset = sizeof(KSPROPERTY);
static_assert(kWordsOffset + 4 * qcam::kPrivateWordCount == qcam::kPrivateRecordSize, "private record layout");

// Sub-commands of property 14 and 4.
constexpr LONG kCmdSnapshotButton = 4;
constexpr LONG kCmdTuningSet = 90;
constexpr LONG kCmdSelectTuningSet = 91;
constexpr LONG kTrackingParameters = 90;
// Sub-commands of property 18.
constexpr LONG kSettingsStoreStatus = 5;
constexpr LONG kSettingsSaveCurrent = 6;
// Offsets of the settings and range areas of the record, in words.
constexpr ULONG kAreaStart = 16;
constexpr ULONG kDefaultSettingsStart = kAreaStart + qcam::kPictureSettingCount;

// Snapshot-button states the camera reports.
constexpr ULONG kButtonPressed = 1;
constexpr ULONG kButtonState2 = 2;
constexpr ULONG kButtonState4 = 4;

struct Record {
  PUCHAR bytes;
  LONG Get(ULONG k) const { return LoadLong(bytes, kWordsOffset + 4 * k); }
  VOID Put(ULONG k, LONG v) const { StoreLong(bytes, kWordsOffset + 4 * k, v); }
};

VOID WriteCurrent(PCWSTR name, ULONG value) { WriteDwordSetting(qcam::kKeyCurrent, name, value); }

// Read-modify-write of one bit of a bridge register. A failed read skips the
// write: writing back an unread value would clear the register's other bits.
NTSTATUS UpdateRegisterBit(CameraDeviceState* dev, USHORT address, UCHAR bit, BOOLEAN set) {
  UCHAR value = 0;
  NTSTATUS status = BridgeRead(dev, address, &value);
  if (!NT_SUCCESS(status)) return status;
  value = set ? UCHAR(value | bit) : UCHAR(value & ~bit);
  BridgeWrite(dev, address, value);
  return STATUS_SUCCESS;
}

// Whether a bit of a bridge register is set; a failed read leaves `field` at
// the last value known.
VOID ReadRegisterBit(CameraDeviceState* dev, USHORT address, UCHAR bit, ULONG whenSet, ULONG whenClear,
                     ULONG* field) {
  UCHAR value = 0;
  if (NT_SUCCESS(BridgeRead(dev, address, &value))) *field = (value & bit) ? whenSet : whenClear;
}

// Zoom pan steps accumulate; a long stream of steps must not overflow the
// offset, which the zoom window clamps much further anyway.
LONG AddOffset(LONG offset, LONG step) {
  LONGLONG sum = LONGLONG(offset) + step;
  if (sum > INT_MAX) return INT_MAX;
  if (sum < INT_MIN) return INT_MIN;
  return LONG(sum);
}

// The twenty range groups of property 21, in record order. Id -1 is an
// empty group; `cameraControl` marks the camera-control ids.
struct RangeGroup {
  LONG id;
  BOOLEAN cameraControl;
};
constexpr RangeGroup kRangeGroups[20] = {
    {0, FALSE},  {1, FALSE}, {2, FALSE},  {3, FALSE}, {4, FALSE}, {5, FALSE}, {-1, FALSE},
    {7, FALSE},  {8, FALSE}, {9, FALSE},  {-1, FALSE}, {-1, FALSE}, {-1, FALSE}, {-1, FALSE},
    {4, TRUE},   {-1, FALSE}, {6, TRUE},  {-1, FALSE}, {-1, FALSE}, {-1, FALSE},
};

VOID FillRanges(const Record& r) {
  for (ULONG g = 0; g < 20; ++g) {
    ULONG base = kAreaStart + 6 * g;
    LONG group[6] = {0, 0, 0, 0, 0, 0};
    const RangeGroup& rg = kRangeGroups[g];
    if (rg.id >= 0) {
      ControlRange range{};
      ULONG flags = 2;
      if (rg.cameraControl) {
        if (rg.id == KSPROPERTY_CAMERACONTROL_EXPOSURE)
          range = ControlRange{kExposureMin, kExposureMax, 1, kExposureDefault};
        else
          range = ControlRange{kFocusMin, kFocusMax, 1, kFocusDefault};
        flags = 3;
      } else if (rg.id == KSPROPERTY_VIDEOPROCAMP_WHITEBALANCE) {
        range = ControlRange{kWhiteBalanceMin, kWhiteBalanceMax, 1, kWhiteBalanceDefault};
        flags = 3;
      } else {
        GetProcAmpRange(ULONG(rg.id), &range);
      }
      group[0] = rg.id;
      group[1] = range.Minimum;
      group[2] = range.Maximum;
      group[3] = range.Resolution;
      group[4] = range.Default;
      group[5] = LONG(flags);
    }
    for (ULONG k = 0; k < 6; ++k) r.Put(base + k, group[k]);
  }
}

VOID FillSettings(const Record& r, PCWSTR key, ULONG start) {
  for (int i = 0; i < qcam::kPictureSettingCount; ++i) {
    ULONG value = 0;
    ReadDwordSetting(key, qcam::kPictureSettingNames[i], &value, 0);
    r.Put(start + ULONG(i), LONG(value));
  }
}

// Property 14: the snapshot-button poll and the tuning-set commands.
VOID RunCommand(CameraDeviceState* dev, const Record& r) {
  LONG command = r.Get(0);
  if (command == kCmdSnapshotButton) {
    ULONG status = 0;
    ReadDwordSetting(qcam::kKeyCurrent, qcam::kValueCameraStatus, &status, 0);
    ULONG state = 0;
    if (!NT_SUCCESS(USBCAMD_CheckSnapshopButton(dev, &state))) state = 0;
    if (state == kButtonPressed) {
      if (status & qcam::kStatusStreaming) {
        // While streaming the press takes the next frame as a snapshot.
        dev->StillPending = 1;
        dev->SnapshotButtonStill = 1;
      } else {
        UpdateCameraStatus(qcam::kStatusButtonIdle, 0);
      }
    } else if (state == kButtonState2) {
      UpdateCameraStatus(qcam::kStatusButton2, 0);
    } else if (state == kButtonState4) {
      UpdateCameraStatus(qcam::kStatusButton4, 0);
    }
  }
  if (command == kCmdTuningSet) {
    LONG index = r.Get(1);
    g_Driver.Face.SelectedSet = index;
    g_Driver.Face.SelectedBy91 = FALSE;
    if (index >= 0 && index <= 3)
      for (ULONG k = 0; k < 9; ++k) g_Driver.Face.SkinRules[index][k] = r.Get(2 + k);
  }
  if (command == kCmdSelectTuningSet) {
    g_Driver.Face.SelectedSet = r.Get(1);
    g_Driver.Face.SelectedBy91 = TRUE;
  }
}

NTSTATUS OpenPrivateRequest(PHW_STREAM_REQUEST_BLOCK srb, BOOLEAN set, ULONG* id, Record* record) {
  NTSTATUS status = PeekPropertyId(srb, id);
  if (!NT_SUCCESS(status)) return status;
  BOOLEAN known = set ? ((*id >= 3 && *id <= 5) || (*id >= 7 && *id <= 20)) : (*id <= 5 || (*id >= 7 && *id <= 21));
  if (!known) return STATUS_NOT_SUPPORTED;
  PropertyRequest req;
  status = OpenPropertyRequest(srb, kRecordSize, kRecordSize, &req);
  if (!NT_SUCCESS(status)) return status;
  record->bytes = req.Data;
  return STATUS_SUCCESS;
}

}  // namespace

NTSTATUS PrivateGetProperty(CameraDeviceState* dev, PHW_STREAM_REQUEST_BLOCK srb) {
  ULONG id;
  Record r;
  NTSTATUS status = OpenPrivateRequest(srb, FALSE, &id, &r);
  if (!NT_SUCCESS(status)) return status;

  // Mirror, flip, colour, outdoor and low light live in the camera, where
  // another client may have changed them: they are read back every time.
  switch (id) {
    case qcam::kPrivMirror:
      ReadRegisterBit(dev, uvc::kRegPictureFlags, uvc::kNotMirroredBit, 0, 1, &dev->Mirror);
      break;
    case qcam::kPrivFlip:
      ReadRegisterBit(dev, uvc::kRegPictureFlags, uvc::kNotFlippedBit, 0, 1, &dev->Flip);
      break;
    case qcam::kPrivColorEnable:
      ReadRegisterBit(dev, uvc::kRegPictureFlags, uvc::kMonochromeBit, 0, 1, &dev->ColorEnable);
      break;
    case qcam::kPrivOutdoor:
      ReadRegisterBit(dev, uvc::kRegSceneMode, uvc::kOutdoorBit, 1, 0, &dev->Outdoor);
      break;
    case qcam::kPrivLowLight:
      ReadRegisterBit(dev, uvc::kRegSceneMode, uvc::kLowLightBit, 1, 0, &dev->LowLight);
      break;
    case qcam::kPrivLed: {
      // Without the key the LED counts as on, as it is after a fresh install.
      ULONG led = 0;
      ReadDwordSetting(qcam::kKeyCurrent, u"LEDCtrlTmp", &led, 1);
      dev->LedOn = led;
      break;
    }
    default:
      break;
  }

  const FaceTrackingParameters& face = g_Driver.Face;
  switch (id) {
    case qcam::kPrivDriverId: r.Put(0, LONG(dev->DriverId)); break;
    case qcam::kPrivFormatIndex: r.Put(0, dev->FormatIndex); break;
    case qcam::kPrivPictureSize: r.Put(0, LONG(ULONG(dev->Width) * ULONG(dev->Height))); break;
    case qcam::kPrivSpecialEffect: r.Put(0, LONG(dev->SpecialEffect)); break;
    case qcam::kPrivValue5: r.Put(0, LONG(dev->PrivateValue5)); break;
    case qcam::kPrivMirror: r.Put(0, LONG(dev->Mirror)); break;
    case qcam::kPrivFlip: r.Put(0, LONG(dev->Flip)); break;
    case qcam::kPrivColorEnable: r.Put(0, LONG(dev->ColorEnable)); break;
    case qcam::kPrivOutdoor: r.Put(0, LONG(dev->Outdoor)); break;
    case qcam::kPrivLowLight: r.Put(0, LONG(dev->LowLight)); break;
    case qcam::kPrivLed: r.Put(0, LONG(dev->LedOn)); break;
    case qcam::kPrivZoomScale: r.Put(0, LONG(dev->ZoomScale)); break;
    case qcam::kPrivZoomX: r.Put(0, dev->ZoomXOffset); break;
    case qcam::kPrivZoomY: r.Put(0, dev->ZoomYOffset); break;
    case qcam::kPrivSnapshotSize: r.Put(0, LONG(dev->SnapshotSizeIndex)); break;
    case qcam::kPrivZoomEnable: r.Put(0, LONG(dev->ZoomEnable)); break;
    case qcam::kPrivTakeSnapshot: r.Put(0, LONG(dev->StillPending)); break;
    case qcam::kPrivFaceTracking:
      r.Put(0, (face.Flags & (qcam::kFaceTrackFaces | qcam::kFaceAutoFraming)) ? 1 : 0);
      r.Put(1, LONG(face.Flags));
      for (ULONG k = 1; k <= 7; ++k) r.Put(1 + k, face.Param[k]);
      break;
    case qcam::kPrivCommand:
      if (face.SelectedBy91 && face.SelectedSet >= 0 && face.SelectedSet <= 3)
        for (ULONG k = 0; k < 9; ++k) r.Put(k, face.SkinRules[face.SelectedSet][k]);
      break;
    case qcam::kPrivSettings:
      FillSettings(r, qcam::kKeyCurrent, kAreaStart);
      FillSettings(r, qcam::kKeyDefault, kDefaultSettingsStart);
      break;
    case qcam::kPrivRanges:
      FillRanges(r);
      break;
    default:
      break;
  }
  srb->ActualBytesTransferred = kRecordSize;
  return STATUS_SUCCESS;
}

// Mirror, flip and colour share register 0xF004, where a set bit is the
// camera's default state (not mirrored, not flipped) or black and white: a
// non-zero value clears the bit, zero sets it. The register is read first so
// the other bits survive, and the last value set is remembered. A failed read
// changes nothing: neither the register, nor the remembered value, nor `field`.
static NTSTATUS SetPictureRegisterBit(CameraDeviceState* dev, UCHAR bit, LONG value, PCWSTR tmpName,
                                      ULONG* field) {
  UCHAR reg = 0;
  NTSTATUS status = BridgeRead(dev, uvc::kRegPictureFlags, &reg);
  if (!NT_SUCCESS(status)) return status;
  *field = ULONG(value);
  reg = value ? UCHAR(reg & ~bit) : UCHAR(reg | bit);
  WriteCurrent(tmpName, value ? 1 : 0);
  BridgeWrite(dev, uvc::kRegPictureFlags, reg);
  return STATUS_SUCCESS;
}

NTSTATUS PrivateSetProperty(CameraDeviceState* dev, PHW_STREAM_REQUEST_BLOCK srb) {
  ULONG id;
  Record r;
  NTSTATUS status = OpenPrivateRequest(srb, TRUE, &id, &r);
  if (!NT_SUCCESS(status)) return status;

  LONG v = r.Get(0);
  status = STATUS_SUCCESS;
  switch (id) {
    case qcam::kPrivSpecialEffect:
      dev->SpecialEffect = ULONG(v);
      ResetEffectState();
      WriteCurrent(u"SpecialEffect", ULONG(v));
      break;
    case qcam::kPrivFaceTracking: {
      FaceTrackingParameters& face = g_Driver.Face;
      if (v == kTrackingParameters) {
        face.Flags = ULONG(r.Get(1));
        for (ULONG k = 1; k <= 7; ++k) face.Param[k] = r.Get(1 + k);
        if (!(face.Flags & qcam::kFaceTrackFaces)) RequestFaceTrackingStop();
      } else if (v == 1) {
        face.Flags |= qcam::kFaceTrackFaces | qcam::kFaceAutoFraming;
        WriteCurrent(u"FTEnable", 1);
      } else {
        face.Flags &= ~(qcam::kFaceTrackFaces | qcam::kFaceAutoFraming);
        WriteCurrent(u"FTEnable", 0);
      }
      break;
    }
    case qcam::kPrivValue5:
      dev->PrivateValue5 = ULONG(v);
      break;
    case qcam::kPrivMirror:
      status = SetPictureRegisterBit(dev, uvc::kNotMirroredBit, v, u"MirrorTmp", &dev->Mirror);
      break;
    case qcam::kPrivFlip:
      status = SetPictureRegisterBit(dev, uvc::kNotFlippedBit, v, u"FlipTmp", &dev->Flip);
      break;
    case qcam::kPrivColorEnable:
      status = SetPictureRegisterBit(dev, uvc::kMonochromeBit, v, u"ColorEnableTmp", &dev->ColorEnable);
      break;
    case qcam::kPrivZoomScale:
      dev->ZoomScale = ULONG(v);
      RecomputeZoomWindow(dev);
      break;
    case qcam::kPrivZoomX:
      dev->ZoomXOffset = v ? AddOffset(dev->ZoomXOffset, v) : 0;
      RecomputeZoomWindow(dev);
      break;
    case qcam::kPrivZoomY:
      dev->ZoomYOffset = v ? AddOffset(dev->ZoomYOffset, v) : 0;
      RecomputeZoomWindow(dev);
      break;
    case qcam::kPrivSnapshotSize:
      dev->SnapshotSizeIndex = ULONG(v);
      break;
    case qcam::kPrivZoomEnable:
      dev->ZoomEnable = ULONG(v);
      dev->ZoomTableRebuild = 1;
      WriteCurrent(u"ZoomEnable", ULONG(v));
      break;
    case qcam::kPrivCommand:
      RunCommand(dev, r);
      break;
    case qcam::kPrivTakeSnapshot:
      dev->StillPending = ULONG(v);
      break;
    case qcam::kPrivOutdoor:
      status = UpdateRegisterBit(dev, uvc::kRegSceneMode, uvc::kOutdoorBit, v != 0);
      if (!NT_SUCCESS(status)) break;
      dev->Outdoor = v ? 2 : 0;
      WriteCurrent(u"OutDoorTmp", v ? 1 : 0);
      break;
    case qcam::kPrivLowLight:
      status = UpdateRegisterBit(dev, uvc::kRegSceneMode, uvc::kLowLightBit, v != 0);
      if (!NT_SUCCESS(status)) break;
      dev->LowLight = v ? 1 : 0;
      WriteCurrent(u"LowLightTmp", v ? 1 : 0);
      break;
    case qcam::kPrivLed:
      dev->LedOn = v ? 1 : 0;
      SetCameraLed(dev, dev->LedOn);
      WriteCurrent(u"LEDCtrlTmp", dev->LedOn);
      break;
    case qcam::kPrivSettings:
      if (v == kSettingsStoreStatus) {
        StoreCameraStatus(ULONG(r.Get(1)));
      } else if (v == kSettingsSaveCurrent) {
        for (int i = 0; i < qcam::kPictureSettingCount; ++i)
          WriteCurrent(qcam::kPictureSettingNames[i], ULONG(r.Get(kAreaStart + ULONG(i))));
      }
      // Clients rely on this answer; the writes above were made regardless.
      status = STATUS_NOT_SUPPORTED;
      break;
    default:
      break;
  }
  srb->ActualBytesTransferred = kRecordSize;
  return status;
}
