// Kernel-streaming records the driver and its clients exchange: property
// identifiers and items, data ranges and formats, the video info header and
// the video property records, in their published layouts.
#pragma once

#include <cstddef>

#include "platform/nt/ntddk.h"

typedef LONGLONG REFERENCE_TIME;

typedef struct tagRECT {
  LONG left, top, right, bottom;
} RECT;
typedef struct tagSIZE {
  LONG cx, cy;
} SIZE;
static_assert(sizeof(RECT) == 16 && sizeof(SIZE) == 8, "RECT and SIZE layouts");

// ---- requests ---------------------------------------------------------------
// CTL_CODE(FILE_DEVICE_KS, function, METHOD_NEITHER, FILE_ANY_ACCESS)
constexpr ULONG IOCTL_KS_PROPERTY = 0x002F0003;
constexpr ULONG IOCTL_KS_ENABLE_EVENT = 0x002F0007;
constexpr ULONG IOCTL_KS_DISABLE_EVENT = 0x002F000B;
constexpr ULONG IOCTL_KS_METHOD = 0x002F000F;

// ---- properties -------------------------------------------------------------
// KSIDENTIFIER: a union with a LONGLONG, hence 8-byte alignment; records that
// end on a 4-byte field are padded to a multiple of 8 (the 40-byte proc-amp
// record is 36 bytes of fields plus that padding).
typedef struct alignas(8) KSIDENTIFIER {
  GUID Set;
  ULONG Id;
  ULONG Flags;
} KSPROPERTY, *PKSPROPERTY, KSMETHOD, KSEVENT;
static_assert(sizeof(KSPROPERTY) == 24, "KSPROPERTY is 24 bytes");

constexpr ULONG KSPROPERTY_TYPE_GET = 0x00000001;
constexpr ULONG KSPROPERTY_TYPE_SET = 0x00000002;
constexpr ULONG KSPROPERTY_TYPE_BASICSUPPORT = 0x00000200;
constexpr ULONG KSPROPERTY_TYPE_DEFAULTVALUES = 0x00010000;

typedef struct {
  ULONG Size;
  ULONG Count;
} KSMULTIPLE_ITEM, *PKSMULTIPLE_ITEM;
static_assert(sizeof(KSMULTIPLE_ITEM) == 8, "KSMULTIPLE_ITEM layout");

typedef struct {
  ULONG MembersFlags;
  ULONG MembersSize;
  ULONG MembersCount;
  ULONG Flags;
} KSPROPERTY_MEMBERSHEADER;
constexpr ULONG KSPROPERTY_MEMBER_RANGES = 0x00000001;
constexpr ULONG KSPROPERTY_MEMBER_STEPPEDRANGES = 0x00000002;
constexpr ULONG KSPROPERTY_MEMBER_VALUES = 0x00000003;
constexpr ULONG KSPROPERTY_MEMBER_FLAG_DEFAULT = 0x00000001;

// Basic-support answer: this description, then MembersListCount lists, each
// a members header followed by its members.
typedef struct {
  ULONG AccessFlags;
  ULONG DescriptionSize;
  KSIDENTIFIER PropTypeSet;
  ULONG MembersListCount;
  ULONG Reserved;
} KSPROPERTY_DESCRIPTION;
static_assert(sizeof(KSPROPERTY_DESCRIPTION) == 40, "KSPROPERTY_DESCRIPTION is 40 bytes");

typedef struct {
  LONG SignedMinimum;
  LONG SignedMaximum;
} KSPROPERTY_BOUNDS_LONG;
typedef struct {
  ULONG SteppingDelta;
  ULONG Reserved;
  KSPROPERTY_BOUNDS_LONG Bounds;
} KSPROPERTY_STEPPING_LONG;

typedef struct {
  KSPROPERTY_MEMBERSHEADER MembersHeader;
  const VOID* Members;
} KSPROPERTY_MEMBERSLIST;

typedef struct {
  KSIDENTIFIER PropTypeSet;
  ULONG MembersListCount;
  const KSPROPERTY_MEMBERSLIST* MembersList;
} KSPROPERTY_VALUES;

// Property item as a stream-class minidriver declares it: the get and set
// fields are "supported" booleans; requests reach the minidriver as
// SRB_GET/SET_DEVICE_PROPERTY.
typedef struct {
  ULONG PropertyId;
  BOOLEAN GetSupported;
  ULONG MinProperty;
  ULONG MinData;
  BOOLEAN SetSupported;
  const KSPROPERTY_VALUES* Values;
  ULONG RelationsCount;
  const KSPROPERTY* Relations;
  PVOID SupportHandler;
  ULONG SerializedSize;
} KSPROPERTY_ITEM;

typedef struct {
  const GUID* Set;
  ULONG PropertiesCount;
  const KSPROPERTY_ITEM* PropertyItem;
  ULONG FastIoCount;
  const VOID* FastIoTable;
} KSPROPERTY_SET, *PKSPROPERTY_SET;

// ---- data ranges and formats ---------------------------------------------------
typedef struct alignas(8) {
  ULONG FormatSize;
  ULONG Flags;
  ULONG SampleSize;
  ULONG Reserved;
  GUID MajorFormat;
  GUID SubFormat;
  GUID Specifier;
} KSDATAFORMAT, *PKSDATAFORMAT, KSDATARANGE, *PKSDATARANGE;
static_assert(sizeof(KSDATARANGE) == 64, "KSDATARANGE is 64 bytes");

typedef struct {
  ULONG biSize;
  LONG biWidth;
  LONG biHeight;
  USHORT biPlanes;
  USHORT biBitCount;
  ULONG biCompression;
  ULONG biSizeImage;
  LONG biXPelsPerMeter;
  LONG biYPelsPerMeter;
  ULONG biClrUsed;
  ULONG biClrImportant;
} KS_BITMAPINFOHEADER, *PKS_BITMAPINFOHEADER;
static_assert(sizeof(KS_BITMAPINFOHEADER) == 40, "KS_BITMAPINFOHEADER is 40 bytes");

typedef struct {
  RECT rcSource;
  RECT rcTarget;
  ULONG dwBitRate;
  ULONG dwBitErrorRate;
  REFERENCE_TIME AvgTimePerFrame;
  KS_BITMAPINFOHEADER bmiHeader;
} KS_VIDEOINFOHEADER, *PKS_VIDEOINFOHEADER;
static_assert(sizeof(KS_VIDEOINFOHEADER) == 88, "KS_VIDEOINFOHEADER is 88 bytes");
static_assert(offsetof(KS_VIDEOINFOHEADER, AvgTimePerFrame) == 40, "AvgTimePerFrame offset");
static_assert(offsetof(KS_VIDEOINFOHEADER, bmiHeader) == 48, "bmiHeader offset");

typedef struct {
  GUID guid;
  ULONG VideoStandard;
  SIZE InputSize;
  SIZE MinCroppingSize;
  SIZE MaxCroppingSize;
  int CropGranularityX;
  int CropGranularityY;
  int CropAlignX;
  int CropAlignY;
  SIZE MinOutputSize;
  SIZE MaxOutputSize;
  int OutputGranularityX;
  int OutputGranularityY;
  int StretchTapsX;
  int StretchTapsY;
  int ShrinkTapsX;
  int ShrinkTapsY;
  LONGLONG MinFrameInterval;
  LONGLONG MaxFrameInterval;
  LONG MinBitsPerSecond;
  LONG MaxBitsPerSecond;
} KS_VIDEO_STREAM_CONFIG_CAPS;
static_assert(sizeof(KS_VIDEO_STREAM_CONFIG_CAPS) == 128, "config caps are 128 bytes");
static_assert(offsetof(KS_VIDEO_STREAM_CONFIG_CAPS, MinFrameInterval) == 104, "MinFrameInterval offset");

typedef struct {
  KSDATARANGE DataRange;
  ULONG bFixedSizeSamples;
  ULONG bTemporalCompression;
  ULONG StreamDescriptionFlags;
  ULONG MemoryAllocationFlags;
  KS_VIDEO_STREAM_CONFIG_CAPS ConfigCaps;
  KS_VIDEOINFOHEADER VideoInfoHeader;  // bmiHeader is variable in size
} KS_DATARANGE_VIDEO, *PKS_DATARANGE_VIDEO;
static_assert(sizeof(KS_DATARANGE_VIDEO) == 296, "KS_DATARANGE_VIDEO is 296 bytes");
static_assert(offsetof(KS_DATARANGE_VIDEO, ConfigCaps) == 80, "ConfigCaps offset");
static_assert(offsetof(KS_DATARANGE_VIDEO, VideoInfoHeader) == 208, "VideoInfoHeader offset");

typedef struct {
  KSDATAFORMAT DataFormat;
  KS_VIDEOINFOHEADER VideoInfoHeader;
} KS_DATAFORMAT_VIDEOINFOHEADER, *PKS_DATAFORMAT_VIDEOINFOHEADER;
static_assert(sizeof(KS_DATAFORMAT_VIDEOINFOHEADER) == 152, "video format is 152 bytes");
// Size of a video format whose bitmap header is biSize bytes long.
constexpr ULONG KsVideoFormatSize(ULONG biSize) { return 64 + 48 + biSize; }

// ---- video property records ------------------------------------------------------
typedef struct {
  KSPROPERTY Property;
  LONG Value;
  ULONG Flags;
  ULONG Capabilities;
} KSPROPERTY_VIDEOPROCAMP_S, KSPROPERTY_CAMERACONTROL_S;
static_assert(sizeof(KSPROPERTY_VIDEOPROCAMP_S) == 40, "proc-amp record is 40 bytes");
static_assert(offsetof(KSPROPERTY_VIDEOPROCAMP_S, Value) == 24, "Value offset");

constexpr ULONG KSPROPERTY_VIDEOPROCAMP_FLAGS_AUTO = 0x0001;
constexpr ULONG KSPROPERTY_VIDEOPROCAMP_FLAGS_MANUAL = 0x0002;
constexpr ULONG KSPROPERTY_CAMERACONTROL_FLAGS_AUTO = 0x0001;
constexpr ULONG KSPROPERTY_CAMERACONTROL_FLAGS_MANUAL = 0x0002;

enum {
  KSPROPERTY_VIDEOPROCAMP_BRIGHTNESS = 0,
  KSPROPERTY_VIDEOPROCAMP_CONTRAST = 1,
  KSPROPERTY_VIDEOPROCAMP_HUE = 2,
  KSPROPERTY_VIDEOPROCAMP_SATURATION = 3,
  KSPROPERTY_VIDEOPROCAMP_SHARPNESS = 4,
  KSPROPERTY_VIDEOPROCAMP_GAMMA = 5,
  KSPROPERTY_VIDEOPROCAMP_COLORENABLE = 6,
  KSPROPERTY_VIDEOPROCAMP_WHITEBALANCE = 7,
  KSPROPERTY_VIDEOPROCAMP_BACKLIGHT_COMPENSATION = 8,
  KSPROPERTY_VIDEOPROCAMP_GAIN = 9,
  KSPROPERTY_VIDEOPROCAMP_POWERLINE_FREQUENCY = 13,
};
enum {
  KSPROPERTY_CAMERACONTROL_PAN = 0,
  KSPROPERTY_CAMERACONTROL_TILT = 1,
  KSPROPERTY_CAMERACONTROL_ROLL = 2,
  KSPROPERTY_CAMERACONTROL_ZOOM = 3,
  KSPROPERTY_CAMERACONTROL_EXPOSURE = 4,
  KSPROPERTY_CAMERACONTROL_IRIS = 5,
  KSPROPERTY_CAMERACONTROL_FOCUS = 6,
};
enum {
  KSPROPERTY_VIDEOCONTROL_CAPS = 0,
  KSPROPERTY_VIDEOCONTROL_ACTUAL_FRAME_RATE = 1,
  KSPROPERTY_VIDEOCONTROL_FRAME_RATES = 2,
  KSPROPERTY_VIDEOCONTROL_MODE = 3,
};

typedef struct {
  KSPROPERTY Property;
  ULONG StreamIndex;
  ULONG VideoControlCaps;
} KSPROPERTY_VIDEOCONTROL_CAPS_S;
static_assert(sizeof(KSPROPERTY_VIDEOCONTROL_CAPS_S) == 32, "caps record is 32 bytes");

typedef struct {
  KSPROPERTY Property;
  ULONG StreamIndex;
  LONG Mode;
} KSPROPERTY_VIDEOCONTROL_MODE_S;
static_assert(sizeof(KSPROPERTY_VIDEOCONTROL_MODE_S) == 32, "mode record is 32 bytes");
static_assert(offsetof(KSPROPERTY_VIDEOCONTROL_MODE_S, Mode) == 28, "Mode offset");

typedef struct {
  KSPROPERTY Property;
  ULONG StreamIndex;
  ULONG RangeIndex;
  SIZE Dimensions;
} KSPROPERTY_VIDEOCONTROL_FRAME_RATES_S;
static_assert(sizeof(KSPROPERTY_VIDEOCONTROL_FRAME_RATES_S) == 40, "frame-rate record is 40 bytes");

constexpr ULONG KS_VideoControlFlag_FlipHorizontal = 0x0001;
constexpr ULONG KS_VideoControlFlag_FlipVertical = 0x0002;
constexpr ULONG KS_VideoControlFlag_ExternalTriggerEnable = 0x0004;
constexpr ULONG KS_VideoControlFlag_Trigger = 0x0008;

// ---- identifiers -------------------------------------------------------------------
// {73646976-0000-0010-8000-00AA00389B71} "vids"
constexpr GUID KSDATAFORMAT_TYPE_VIDEO = {0x73646976, 0x0000, 0x0010, {0x80, 0x00, 0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71}};
// {05589F80-C356-11CE-BF01-00AA0055595A}
constexpr GUID KSDATAFORMAT_SPECIFIER_VIDEOINFO = {0x05589F80, 0xC356, 0x11CE, {0xBF, 0x01, 0x00, 0xAA, 0x00, 0x55, 0x59, 0x5A}};
// {E436EB7D-524F-11CE-9F53-0020AF0BA770} uncompressed 24-bit RGB
constexpr GUID KSDATAFORMAT_SUBTYPE_RGB24 = {0xE436EB7D, 0x524F, 0x11CE, {0x9F, 0x53, 0x00, 0x20, 0xAF, 0x0B, 0xA7, 0x70}};
// FourCC media subtype: {XXXXXXXX-0000-0010-8000-00AA00389B71}
constexpr GUID KsFourCCSubtype(ULONG fourcc) {
  return GUID{fourcc, 0x0000, 0x0010, {0x80, 0x00, 0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71}};
}

// {C6E13360-30AC-11D0-A18C-00A0C9118956}
constexpr GUID PROPSETID_VIDCAP_VIDEOPROCAMP = {0xC6E13360, 0x30AC, 0x11D0, {0xA1, 0x8C, 0x00, 0xA0, 0xC9, 0x11, 0x89, 0x56}};
// {C6E13370-30AC-11D0-A18C-00A0C9118956}
constexpr GUID PROPSETID_VIDCAP_CAMERACONTROL = {0xC6E13370, 0x30AC, 0x11D0, {0xA1, 0x8C, 0x00, 0xA0, 0xC9, 0x11, 0x89, 0x56}};
// {6A2E0670-28E4-11D0-A18C-00A0C9118956}
constexpr GUID PROPSETID_VIDCAP_VIDEOCONTROL = {0x6A2E0670, 0x28E4, 0x11D0, {0xA1, 0x8C, 0x00, 0xA0, 0xC9, 0x11, 0x89, 0x56}};
// {1D58C920-AC9B-11CF-A5D6-28DB04C10000}
constexpr GUID KSPROPSETID_Connection = {0x1D58C920, 0xAC9B, 0x11CF, {0xA5, 0xD6, 0x28, 0xDB, 0x04, 0xC1, 0x00, 0x00}};
typedef enum {
  KSPROPERTY_CONNECTION_STATE,
  KSPROPERTY_CONNECTION_PRIORITY,
  KSPROPERTY_CONNECTION_DATAFORMAT,
  KSPROPERTY_CONNECTION_ALLOCATORFRAMING,
  KSPROPERTY_CONNECTION_PROPOSEDATAFORMAT,
  KSPROPERTY_CONNECTION_ACQUIREORDERING,
  KSPROPERTY_CONNECTION_ALLOCATORFRAMING_EX,
  KSPROPERTY_CONNECTION_STARTAT
} KSPROPERTY_CONNECTION;
// {C6E13344-30AC-11D0-A18C-00A0C9118956}
constexpr GUID PROPSETID_VIDCAP_DROPPEDFRAMES = {0xC6E13344, 0x30AC, 0x11D0, {0xA1, 0x8C, 0x00, 0xA0, 0xC9, 0x11, 0x89, 0x56}};
// Pin names: video capture and video still.
constexpr GUID PINNAME_VIDEO_CAPTURE = {0xFB6C4281, 0x0353, 0x11D1, {0x90, 0x5F, 0x00, 0x00, 0xC0, 0xCC, 0x16, 0xBA}};
constexpr GUID PINNAME_VIDEO_STILL = {0xFB6C428A, 0x0353, 0x11D1, {0x90, 0x5F, 0x00, 0x00, 0xC0, 0xCC, 0x16, 0xBA}};

typedef enum { KSPIN_DATAFLOW_IN = 1, KSPIN_DATAFLOW_OUT = 2 } KSPIN_DATAFLOW;
typedef enum { KSSTATE_STOP = 0, KSSTATE_ACQUIRE = 1, KSSTATE_PAUSE = 2, KSSTATE_RUN = 3 } KSSTATE;
