// The device's property-set tables and the request-buffer checks shared by
// every handler.
#include "driver/core/property_sets.h"

#include "driver/core/props_internal.h"
#include "shared/qcam_defs.h"

namespace {

// {97E99BA0-BDEA-11CF-A5D6-28DB04C10000}: property values of a general type.
constexpr GUID kPropTypeSetGeneral = {0x97E99BA0, 0xBDEA, 0x11CF, {0xA5, 0xD6, 0x28, 0xDB, 0x04, 0xC1, 0x00, 0x00}};
constexpr ULONG VT_I4 = 3;

// ---- video proc amp ------------------------------------------------------------
// Table order of the nine items with their static ranges (step 1); the
// camera's own ranges replace them at every configure.
struct StaticRange {
  ULONG id;
  LONG minimum, maximum, defaultValue;
};
constexpr int kProcAmpItemCount = 9;
constexpr StaticRange kProcAmpStatic[kProcAmpItemCount] = {
    {KSPROPERTY_VIDEOPROCAMP_BRIGHTNESS, -128, 127, 0},
    {KSPROPERTY_VIDEOPROCAMP_SHARPNESS, 0, 255, 52},
    {KSPROPERTY_VIDEOPROCAMP_SATURATION, 0, 255, 128},
    {KSPROPERTY_VIDEOPROCAMP_CONTRAST, 0, 255, 128},
    {KSPROPERTY_VIDEOPROCAMP_WHITEBALANCE, kWhiteBalanceMin, kWhiteBalanceMax, kWhiteBalanceDefault},
    {KSPROPERTY_VIDEOPROCAMP_POWERLINE_FREQUENCY, 0, 2, 2},
    {KSPROPERTY_VIDEOPROCAMP_HUE, -128, 127, 0},
    {KSPROPERTY_VIDEOPROCAMP_BACKLIGHT_COMPENSATION, 0, 2, 1},
    {KSPROPERTY_VIDEOPROCAMP_GAMMA, 72, 500, 100},
};

constexpr int kCameraItemCount = 2;
constexpr StaticRange kCameraStatic[kCameraItemCount] = {
    {KSPROPERTY_CAMERACONTROL_EXPOSURE, kExposureMin, kExposureMax, kExposureDefault},
    {KSPROPERTY_CAMERACONTROL_FOCUS, kFocusMin, kFocusMax, kFocusDefault},
};

KSPROPERTY_STEPPING_LONG g_ProcAmpStepping[kProcAmpItemCount];
LONG g_ProcAmpDefault[kProcAmpItemCount];
KSPROPERTY_STEPPING_LONG g_CameraStepping[kCameraItemCount];
LONG g_CameraDefault[kCameraItemCount];

constexpr KSPROPERTY_MEMBERSHEADER kSteppedHeader = {KSPROPERTY_MEMBER_STEPPEDRANGES,
                                                     sizeof(KSPROPERTY_STEPPING_LONG), 1, 0};
constexpr KSPROPERTY_MEMBERSHEADER kDefaultHeader = {KSPROPERTY_MEMBER_VALUES, sizeof(LONG), 1,
                                                     KSPROPERTY_MEMBER_FLAG_DEFAULT};

#define QCAM_MEMBERS(stepping, defaults, i) \
  { {kSteppedHeader, &stepping[i]}, {kDefaultHeader, &defaults[i]} }
const KSPROPERTY_MEMBERSLIST g_ProcAmpMembers[kProcAmpItemCount][2] = {
    QCAM_MEMBERS(g_ProcAmpStepping, g_ProcAmpDefault, 0), QCAM_MEMBERS(g_ProcAmpStepping, g_ProcAmpDefault, 1),
    QCAM_MEMBERS(g_ProcAmpStepping, g_ProcAmpDefault, 2), QCAM_MEMBERS(g_ProcAmpStepping, g_ProcAmpDefault, 3),
    QCAM_MEMBERS(g_ProcAmpStepping, g_ProcAmpDefault, 4), QCAM_MEMBERS(g_ProcAmpStepping, g_ProcAmpDefault, 5),
    QCAM_MEMBERS(g_ProcAmpStepping, g_ProcAmpDefault, 6), QCAM_MEMBERS(g_ProcAmpStepping, g_ProcAmpDefault, 7),
    QCAM_MEMBERS(g_ProcAmpStepping, g_ProcAmpDefault, 8),
};
const KSPROPERTY_MEMBERSLIST g_CameraMembers[kCameraItemCount][2] = {
    QCAM_MEMBERS(g_CameraStepping, g_CameraDefault, 0), QCAM_MEMBERS(g_CameraStepping, g_CameraDefault, 1)};
#undef QCAM_MEMBERS

#define QCAM_VALUES(members, i) \
  { {kPropTypeSetGeneral, VT_I4, 0}, 2, members[i] }
const KSPROPERTY_VALUES g_ProcAmpValues[kProcAmpItemCount] = {
    QCAM_VALUES(g_ProcAmpMembers, 0), QCAM_VALUES(g_ProcAmpMembers, 1), QCAM_VALUES(g_ProcAmpMembers, 2),
    QCAM_VALUES(g_ProcAmpMembers, 3), QCAM_VALUES(g_ProcAmpMembers, 4), QCAM_VALUES(g_ProcAmpMembers, 5),
    QCAM_VALUES(g_ProcAmpMembers, 6), QCAM_VALUES(g_ProcAmpMembers, 7), QCAM_VALUES(g_ProcAmpMembers, 8),
};
const KSPROPERTY_VALUES g_CameraValues[kCameraItemCount] = {QCAM_VALUES(g_CameraMembers, 0),
                                                            QCAM_VALUES(g_CameraMembers, 1)};
#undef QCAM_VALUES

#define QCAM_ITEM(id, get, set, minProperty, minData, values) \
  { (id), (get), (minProperty), (minData), (set), (values), 0, nullptr, nullptr, 0 }
const KSPROPERTY_ITEM g_ProcAmpItems[kProcAmpItemCount] = {
    QCAM_ITEM(KSPROPERTY_VIDEOPROCAMP_BRIGHTNESS, TRUE, TRUE, 40, 40, &g_ProcAmpValues[0]),
    QCAM_ITEM(KSPROPERTY_VIDEOPROCAMP_SHARPNESS, TRUE, TRUE, 40, 40, &g_ProcAmpValues[1]),
    QCAM_ITEM(KSPROPERTY_VIDEOPROCAMP_SATURATION, TRUE, TRUE, 40, 40, &g_ProcAmpValues[2]),
    QCAM_ITEM(KSPROPERTY_VIDEOPROCAMP_CONTRAST, TRUE, TRUE, 40, 40, &g_ProcAmpValues[3]),
    QCAM_ITEM(KSPROPERTY_VIDEOPROCAMP_WHITEBALANCE, TRUE, TRUE, 40, 40, &g_ProcAmpValues[4]),
    QCAM_ITEM(KSPROPERTY_VIDEOPROCAMP_POWERLINE_FREQUENCY, TRUE, TRUE, 40, 40, &g_ProcAmpValues[5]),
    QCAM_ITEM(KSPROPERTY_VIDEOPROCAMP_HUE, TRUE, TRUE, 40, 40, &g_ProcAmpValues[6]),
    QCAM_ITEM(KSPROPERTY_VIDEOPROCAMP_BACKLIGHT_COMPENSATION, TRUE, TRUE, 40, 40, &g_ProcAmpValues[7]),
    QCAM_ITEM(KSPROPERTY_VIDEOPROCAMP_GAMMA, TRUE, TRUE, 40, 40, &g_ProcAmpValues[8]),
};
// Exposure first: the table without focus is the first item alone.
const KSPROPERTY_ITEM g_CameraItems[kCameraItemCount] = {
    QCAM_ITEM(KSPROPERTY_CAMERACONTROL_EXPOSURE, TRUE, TRUE, 40, 40, &g_CameraValues[0]),
    QCAM_ITEM(KSPROPERTY_CAMERACONTROL_FOCUS, TRUE, TRUE, 40, 40, &g_CameraValues[1]),
};
const KSPROPERTY_ITEM g_VideoControlItems[3] = {
    QCAM_ITEM(KSPROPERTY_VIDEOCONTROL_CAPS, TRUE, FALSE, 32, 32, nullptr),
    QCAM_ITEM(KSPROPERTY_VIDEOCONTROL_FRAME_RATES, TRUE, FALSE, 40, 0, nullptr),
    QCAM_ITEM(KSPROPERTY_VIDEOCONTROL_MODE, TRUE, TRUE, 32, 32, nullptr),
};
constexpr ULONG P = qcam::kPrivateRecordSize;
const KSPROPERTY_ITEM g_PrivateItems[21] = {
    QCAM_ITEM(qcam::kPrivDriverId, TRUE, FALSE, P, P, nullptr),
    QCAM_ITEM(qcam::kPrivFormatIndex, TRUE, FALSE, P, P, nullptr),
    QCAM_ITEM(qcam::kPrivFlip, TRUE, TRUE, P, P, nullptr),
    QCAM_ITEM(qcam::kPrivMirror, TRUE, TRUE, P, P, nullptr),
    QCAM_ITEM(qcam::kPrivSpecialEffect, TRUE, TRUE, P, P, nullptr),
    QCAM_ITEM(qcam::kPrivFaceTracking, TRUE, TRUE, P, P, nullptr),
    QCAM_ITEM(qcam::kPrivValue5, TRUE, TRUE, P, P, nullptr),
    QCAM_ITEM(qcam::kPrivZoomScale, TRUE, TRUE, P, P, nullptr),
    QCAM_ITEM(qcam::kPrivZoomX, TRUE, TRUE, P, P, nullptr),
    QCAM_ITEM(qcam::kPrivZoomY, TRUE, TRUE, P, P, nullptr),
    QCAM_ITEM(qcam::kPrivZoomEnable, TRUE, TRUE, P, P, nullptr),
    QCAM_ITEM(qcam::kPrivCommand, TRUE, TRUE, P, P, nullptr),
    QCAM_ITEM(qcam::kPrivPictureSize, TRUE, FALSE, P, P, nullptr),
    QCAM_ITEM(qcam::kPrivColorEnable, TRUE, TRUE, P, P, nullptr),
    QCAM_ITEM(qcam::kPrivTakeSnapshot, FALSE, TRUE, P, P, nullptr),
    QCAM_ITEM(qcam::kPrivSnapshotSize, TRUE, TRUE, P, P, nullptr),
    QCAM_ITEM(qcam::kPrivOutdoor, TRUE, TRUE, P, P, nullptr),
    QCAM_ITEM(qcam::kPrivSettings, TRUE, TRUE, P, P, nullptr),
    QCAM_ITEM(qcam::kPrivLowLight, TRUE, TRUE, P, P, nullptr),
    QCAM_ITEM(qcam::kPrivLed, TRUE, TRUE, P, P, nullptr),
    QCAM_ITEM(qcam::kPrivRanges, TRUE, TRUE, P, P, nullptr),
};
#undef QCAM_ITEM

// The two device tables differ only in the camera-control set.
const KSPROPERTY_SET g_SetsWithFocus[kDevicePropertySetCount] = {
    {&qcam::kPropSetPrivate, 21, g_PrivateItems, 0, nullptr},
    {&PROPSETID_VIDCAP_CAMERACONTROL, 2, g_CameraItems, 0, nullptr},
    {&PROPSETID_VIDCAP_VIDEOPROCAMP, kProcAmpItemCount, g_ProcAmpItems, 0, nullptr},
    {&PROPSETID_VIDCAP_VIDEOCONTROL, 3, g_VideoControlItems, 0, nullptr},
};
const KSPROPERTY_SET g_SetsWithoutFocus[kDevicePropertySetCount] = {
    {&qcam::kPropSetPrivate, 21, g_PrivateItems, 0, nullptr},
    {&PROPSETID_VIDCAP_CAMERACONTROL, 1, g_CameraItems, 0, nullptr},
    {&PROPSETID_VIDCAP_VIDEOPROCAMP, kProcAmpItemCount, g_ProcAmpItems, 0, nullptr},
    {&PROPSETID_VIDCAP_VIDEOCONTROL, 3, g_VideoControlItems, 0, nullptr},
};

VOID SetStepping(KSPROPERTY_STEPPING_LONG* s, LONG* d, LONG resolution, LONG minimum, LONG maximum, LONG def) {
  s->SteppingDelta = ULONG(resolution);
  s->Reserved = 0;
  s->Bounds.SignedMinimum = minimum;
  s->Bounds.SignedMaximum = maximum;
  *d = def;
}

// Static ranges are in place before the first configure.
struct TableInitializer {
  TableInitializer() { ResetPropertyTables(); }
} g_TableInitializer;

}  // namespace

VOID ResetPropertyTables() {
  for (int i = 0; i < kProcAmpItemCount; ++i)
    SetStepping(&g_ProcAmpStepping[i], &g_ProcAmpDefault[i], 1, kProcAmpStatic[i].minimum,
                kProcAmpStatic[i].maximum, kProcAmpStatic[i].defaultValue);
  for (int i = 0; i < kCameraItemCount; ++i)
    SetStepping(&g_CameraStepping[i], &g_CameraDefault[i], 1, kCameraStatic[i].minimum, kCameraStatic[i].maximum,
                kCameraStatic[i].defaultValue);
}

VOID SetProcAmpTableRange(ULONG propertyId, LONG resolution, LONG minimum, LONG maximum, LONG defaultValue) {
  for (int i = 0; i < kProcAmpItemCount; ++i) {
    if (kProcAmpStatic[i].id == propertyId) {
      SetStepping(&g_ProcAmpStepping[i], &g_ProcAmpDefault[i], resolution, minimum, maximum, defaultValue);
      return;
    }
  }
}

const KSPROPERTY_SET* GetDevicePropertySets(BOOLEAN focusSupported) {
  return focusSupported ? g_SetsWithFocus : g_SetsWithoutFocus;
}

const KSPROPERTY_ITEM* FindPropertyItem(const GUID& set, ULONG id) {
  for (const KSPROPERTY_SET& s : g_SetsWithFocus) {
    if (!IsEqualGUID(*s.Set, set)) continue;
    for (ULONG i = 0; i < s.PropertiesCount; ++i)
      if (s.PropertyItem[i].PropertyId == id) return &s.PropertyItem[i];
  }
  return nullptr;
}

NTSTATUS PeekPropertyId(PHW_STREAM_REQUEST_BLOCK srb, ULONG* id) {
  srb->ActualBytesTransferred = 0;
  PSTREAM_PROPERTY_DESCRIPTOR spd = srb->CommandData.PropertyInfo;
  if (!spd || !spd->Property) return STATUS_INVALID_PARAMETER;
  if (spd->PropertyInputSize < sizeof(KSPROPERTY)) return STATUS_BUFFER_TOO_SMALL;
  *id = spd->Property->Id;
  return STATUS_SUCCESS;
}

NTSTATUS OpenPropertyRequest(PHW_STREAM_REQUEST_BLOCK srb, ULONG minProperty, ULONG minData, PropertyRequest* req) {
  srb->ActualBytesTransferred = 0;
  PSTREAM_PROPERTY_DESCRIPTOR spd = srb->CommandData.PropertyInfo;
  if (!spd || !spd->Property) return STATUS_INVALID_PARAMETER;
  if (minProperty < sizeof(KSPROPERTY)) minProperty = sizeof(KSPROPERTY);
  if (spd->PropertyInputSize < minProperty) return STATUS_BUFFER_TOO_SMALL;
  // A data buffer must be there whenever the caller claims one, and be at
  // least the item's minimum.
  if (spd->PropertyOutputSize < minData) return STATUS_BUFFER_TOO_SMALL;
  if (spd->PropertyOutputSize && !spd->PropertyInfo) return STATUS_BUFFER_TOO_SMALL;
  req->Property = spd->Property;
  req->Property8 = reinterpret_cast<PUCHAR>(spd->Property);
  req->PropertySize = spd->PropertyInputSize;
  req->Data = static_cast<PUCHAR>(spd->PropertyInfo);
  req->DataSize = req->Data ? spd->PropertyOutputSize : 0;
  return STATUS_SUCCESS;
}
