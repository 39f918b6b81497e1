// USB video-class wire records and codes, declared once for the driver, the
// simulated camera and the tests: descriptor types and subtypes, the field
// offsets and sizes of the descriptors that are read, the video probe and
// commit record, the payload header, the request codes and the control
// selectors. Names are the class standard's own (USB Video Class 1.0,
// appendix A and section 4), so a reader can hold the code against its tables.
//
// Records are read with the little-endian helpers below after one length
// check; no struct is ever cast onto device bytes.
#pragma once

#include <cstddef>
#include <cstdint>

namespace uvc {

// ---- little-endian field access ---------------------------------------------
inline uint16_t ReadLe16(const uint8_t* p) { return uint16_t(p[0] | (p[1] << 8)); }
inline uint32_t ReadLe32(const uint8_t* p) {
  return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}
inline void WriteLe16(uint8_t* p, uint16_t v) {
  p[0] = uint8_t(v);
  p[1] = uint8_t(v >> 8);
}
inline void WriteLe32(uint8_t* p, uint32_t v) {
  p[0] = uint8_t(v);
  p[1] = uint8_t(v >> 8);
  p[2] = uint8_t(v >> 16);
  p[3] = uint8_t(v >> 24);
}

// ---- descriptor types (USB 2.0 table 9-5; video class A.4) -------------------
constexpr uint8_t USB_DT_DEVICE = 0x01;
constexpr uint8_t USB_DT_CONFIGURATION = 0x02;
constexpr uint8_t USB_DT_INTERFACE = 0x04;
constexpr uint8_t USB_DT_ENDPOINT = 0x05;
constexpr uint8_t USB_DT_INTERFACE_ASSOCIATION = 0x0B;
constexpr uint8_t CS_INTERFACE = 0x24;
constexpr uint8_t CS_ENDPOINT = 0x25;

// Interface class and subclasses (A.1, A.2).
constexpr uint8_t CC_VIDEO = 0x0E;
constexpr uint8_t SC_VIDEOCONTROL = 0x01;
constexpr uint8_t SC_VIDEOSTREAMING = 0x02;
constexpr uint8_t SC_VIDEO_INTERFACE_COLLECTION = 0x03;

// Video-control interface descriptor subtypes (A.5).
constexpr uint8_t VC_HEADER = 0x01;
constexpr uint8_t VC_INPUT_TERMINAL = 0x02;
constexpr uint8_t VC_OUTPUT_TERMINAL = 0x03;
constexpr uint8_t VC_SELECTOR_UNIT = 0x04;
constexpr uint8_t VC_PROCESSING_UNIT = 0x05;
constexpr uint8_t VC_EXTENSION_UNIT = 0x06;

// Video-streaming interface descriptor subtypes (A.6).
constexpr uint8_t VS_INPUT_HEADER = 0x01;
constexpr uint8_t VS_STILL_IMAGE_FRAME = 0x03;
constexpr uint8_t VS_FORMAT_UNCOMPRESSED = 0x04;
constexpr uint8_t VS_FRAME_UNCOMPRESSED = 0x05;
constexpr uint8_t VS_FORMAT_MJPEG = 0x06;
constexpr uint8_t VS_FRAME_MJPEG = 0x07;
constexpr uint8_t VS_COLORFORMAT = 0x0D;

// Terminal types (USB Video Class terminal types, B.1 and B.2).
constexpr uint16_t TT_STREAMING = 0x0101;
constexpr uint16_t ITT_CAMERA = 0x0201;

// ---- descriptor layouts -------------------------------------------------------
// Every descriptor starts with bLength, bDescriptorType and, for the
// class-specific ones, bDescriptorSubtype.
struct DescriptorHeader {
  static constexpr size_t bLength = 0;
  static constexpr size_t bDescriptorType = 1;
  static constexpr size_t bDescriptorSubtype = 2;
  static constexpr size_t kClassSpecificMinSize = 3;
};

// Standard configuration descriptor (USB 2.0 table 9-10).
struct ConfigurationDescriptor {
  static constexpr size_t wTotalLength = 2;
  static constexpr size_t bNumInterfaces = 4;
  static constexpr size_t kSize = 9;
};

// Standard interface descriptor (USB 2.0 table 9-12).
struct InterfaceDescriptor {
  static constexpr size_t bInterfaceNumber = 2;
  static constexpr size_t bAlternateSetting = 3;
  static constexpr size_t bNumEndpoints = 4;
  static constexpr size_t bInterfaceClass = 5;
  static constexpr size_t bInterfaceSubClass = 6;
  static constexpr size_t kSize = 9;
};

// Standard endpoint descriptor (USB 2.0 table 9-13).
struct EndpointDescriptor {
  static constexpr size_t bEndpointAddress = 2;
  static constexpr size_t bmAttributes = 3;
  static constexpr size_t wMaxPacketSize = 4;
  static constexpr size_t kSize = 7;
};

// Input terminal descriptor (3.7.2.1); the camera terminal (3.7.2.3) adds its
// focal lengths and a bmControls field of bControlSize bytes.
struct InputTerminalDescriptor {
  static constexpr size_t bTerminalID = 3;
  static constexpr size_t wTerminalType = 4;
  static constexpr size_t bAssocTerminal = 6;
  static constexpr size_t iTerminal = 7;
  static constexpr size_t kSize = 8;
};
struct CameraTerminalDescriptor {
  static constexpr size_t wObjectiveFocalLengthMin = 8;
  static constexpr size_t wObjectiveFocalLengthMax = 10;
  static constexpr size_t wOcularFocalLength = 12;
  static constexpr size_t bControlSize = 14;
  static constexpr size_t bmControls = 15;
  static constexpr size_t kFixedSize = 15;  // + bControlSize
};

// Processing unit descriptor (3.7.2.5): bmControls of bControlSize bytes.
struct ProcessingUnitDescriptor {
  static constexpr size_t bUnitID = 3;
  static constexpr size_t bSourceID = 4;
  static constexpr size_t wMaxMultiplier = 5;
  static constexpr size_t bControlSize = 7;
  static constexpr size_t bmControls = 8;
  static constexpr size_t kFixedSize = 8;  // + bControlSize (+ iProcessing)
};

// Extension unit descriptor (3.7.2.6): bNrInPins source ids, then bmControls
// of bControlSize bytes, then iExtension.
struct ExtensionUnitDescriptor {
  static constexpr size_t bUnitID = 3;
  static constexpr size_t guidExtensionCode = 4;
  static constexpr size_t bNumControls = 20;
  static constexpr size_t bNrInPins = 21;
  static constexpr size_t baSourceID = 22;
  static constexpr size_t kFixedSize = 24;  // + bNrInPins + bControlSize
};

// Class-specific video-streaming input header (3.9.2.1).
struct InputHeaderDescriptor {
  static constexpr size_t bNumFormats = 3;
  static constexpr size_t wTotalLength = 4;
  static constexpr size_t bEndpointAddress = 6;
  static constexpr size_t bmInfo = 7;
  static constexpr size_t bTerminalLink = 8;
  static constexpr size_t bStillCaptureMethod = 9;
  static constexpr size_t bControlSize = 12;
  static constexpr size_t kFixedSize = 13;  // + bNumFormats * bControlSize
};

// Format descriptors: bFormatIndex and bNumFrameDescriptors sit at the same
// offsets in both. MJPEG (payload 3.1.1) is 11 bytes; uncompressed (payload
// 3.1.1) carries a 16-byte GUID and is 27 bytes.
struct FormatDescriptor {
  static constexpr size_t bFormatIndex = 3;
  static constexpr size_t bNumFrameDescriptors = 4;
};
struct FormatMjpegDescriptor : FormatDescriptor {
  static constexpr size_t bmFlags = 5;
  static constexpr size_t bDefaultFrameIndex = 6;
  static constexpr size_t kSize = 11;
};
struct FormatUncompressedDescriptor : FormatDescriptor {
  static constexpr size_t guidFormat = 5;
  static constexpr size_t bBitsPerPixel = 21;
  static constexpr size_t bDefaultFrameIndex = 22;
  static constexpr size_t kSize = 27;
};

// Frame descriptors, MJPEG and uncompressed alike (payload 3.1.2): a fixed
// part, then bFrameIntervalType discrete intervals, or three words (minimum,
// maximum, step) for a continuous range (type 0).
struct FrameDescriptor {
  static constexpr size_t bFrameIndex = 3;
  static constexpr size_t bmCapabilities = 4;
  static constexpr size_t wWidth = 5;
  static constexpr size_t wHeight = 7;
  static constexpr size_t dwMinBitRate = 9;
  static constexpr size_t dwMaxBitRate = 13;
  static constexpr size_t dwMaxVideoFrameBufferSize = 17;
  static constexpr size_t dwDefaultFrameInterval = 21;
  static constexpr size_t bFrameIntervalType = 25;
  static constexpr size_t dwFrameInterval = 26;  // first interval word
  static constexpr size_t kFixedSize = 26;
  static constexpr size_t kContinuousWords = 3;
};
// Size of a frame descriptor carrying `intervalWords` interval words.
constexpr size_t FrameDescriptorSize(size_t intervalWords) { return 26 + 4 * intervalWords; }
// Interval words a frame descriptor carries for its bFrameIntervalType.
constexpr size_t FrameIntervalWords(uint8_t bFrameIntervalType) {
  return bFrameIntervalType ? bFrameIntervalType : FrameDescriptor::kContinuousWords;
}
static_assert(FrameDescriptorSize(0) == FrameDescriptor::kFixedSize, "frame descriptor fixed part");

// Still image frame descriptor (3.9.2.5): bNumImageSizePatterns (wWidth,
// wHeight) pairs, then bNumCompressionPattern and its bytes.
struct StillImageFrameDescriptor {
  static constexpr size_t bEndpointAddress = 3;
  static constexpr size_t bNumImageSizePatterns = 4;
  static constexpr size_t wWidthHeight = 5;  // first pair
  static constexpr size_t kFixedSize = 5;
};

// ---- video probe and commit controls (4.3.1.1) ----------------------------------
// The 26-byte record of USB Video Class 1.0 (1.1 extends it to 34 bytes; this
// camera and driver speak 1.0).
#pragma pack(push, 1)
struct VideoProbeCommit {
  uint16_t bmHint;
  uint8_t bFormatIndex;
  uint8_t bFrameIndex;
  uint32_t dwFrameInterval;
  uint16_t wKeyFrameRate;
  uint16_t wPFrameRate;
  uint16_t wCompQuality;
  uint16_t wCompWindowSize;
  uint16_t wDelay;
  uint32_t dwMaxVideoFrameSize;
  uint32_t dwMaxPayloadTransferSize;
};
#pragma pack(pop)
constexpr uint32_t kProbeCommitSize = 26;
static_assert(sizeof(VideoProbeCommit) == kProbeCommitSize, "probe/commit record is 26 bytes (video class 1.0)");
static_assert(offsetof(VideoProbeCommit, bFormatIndex) == 2, "bFormatIndex offset");
static_assert(offsetof(VideoProbeCommit, bFrameIndex) == 3, "bFrameIndex offset");
static_assert(offsetof(VideoProbeCommit, dwFrameInterval) == 4, "dwFrameInterval offset");
static_assert(offsetof(VideoProbeCommit, wKeyFrameRate) == 8, "wKeyFrameRate offset");
static_assert(offsetof(VideoProbeCommit, wCompQuality) == 12, "wCompQuality offset");
static_assert(offsetof(VideoProbeCommit, wDelay) == 16, "wDelay offset");
static_assert(offsetof(VideoProbeCommit, dwMaxVideoFrameSize) == 18, "dwMaxVideoFrameSize offset");
static_assert(offsetof(VideoProbeCommit, dwMaxPayloadTransferSize) == 22, "dwMaxPayloadTransferSize offset");

// ---- payload header (payload-independent header, 2.4.3.3) ----------------------
// bHeaderLength, bmHeaderInfo, then dwPresentationTime and the six bytes of
// scrSourceClock when their bits are set.
struct PayloadHeaderField {
  static constexpr size_t bHeaderLength = 0;
  static constexpr size_t bmHeaderInfo = 1;
  static constexpr size_t dwPresentationTime = 2;
  static constexpr size_t scrSourceClock = 6;
};
// bmHeaderInfo bits.
constexpr uint8_t UVC_STREAM_FID = 0x01;
constexpr uint8_t UVC_STREAM_EOF = 0x02;
constexpr uint8_t UVC_STREAM_PTS = 0x04;
constexpr uint8_t UVC_STREAM_SCR = 0x08;
constexpr uint8_t UVC_STREAM_RES = 0x10;
constexpr uint8_t UVC_STREAM_STI = 0x20;
constexpr uint8_t UVC_STREAM_ERR = 0x40;
constexpr uint8_t UVC_STREAM_EOH = 0x80;
// Length of a header carrying both the presentation time and the source
// clock: 2 + 4 + 6 bytes. The camera always sends this header, and the driver
// takes every packet's data to start at this offset without reading
// bHeaderLength, as the device it was written for does.
constexpr uint32_t kPayloadHeaderLength = 12;

// ---- class-specific requests (A.8) ---------------------------------------------
constexpr uint8_t SET_CUR = 0x01;
constexpr uint8_t GET_CUR = 0x81;
constexpr uint8_t GET_MIN = 0x82;
constexpr uint8_t GET_MAX = 0x83;
constexpr uint8_t GET_RES = 0x84;
constexpr uint8_t GET_LEN = 0x85;
constexpr uint8_t GET_INFO = 0x86;
constexpr uint8_t GET_DEF = 0x87;
// Whether a request reads from the device (the direction bit of its code).
constexpr bool IsGetRequest(uint8_t request) { return (request & 0x80) != 0; }

// A control request carries its selector in the high byte of wValue, and the
// entity id (or 0) in the high byte and the interface in the low byte of
// wIndex.
constexpr uint16_t ControlValue(uint8_t selector) { return uint16_t(selector << 8); }
constexpr uint16_t ControlIndex(uint8_t entity, uint8_t interfaceNumber) {
  return uint16_t(entity << 8 | interfaceNumber);
}
constexpr uint8_t SelectorOf(uint16_t wValue) { return uint8_t(wValue >> 8); }
constexpr uint8_t EntityOf(uint16_t wIndex) { return uint8_t(wIndex >> 8); }

// Video-streaming interface control selectors (A.9.7).
constexpr uint8_t VS_PROBE_CONTROL = 0x01;
constexpr uint8_t VS_COMMIT_CONTROL = 0x02;

// Camera-terminal control selectors (A.9.4).
constexpr uint8_t CT_SCANNING_MODE_CONTROL = 0x01;
constexpr uint8_t CT_AE_MODE_CONTROL = 0x02;
constexpr uint8_t CT_AE_PRIORITY_CONTROL = 0x03;
constexpr uint8_t CT_EXPOSURE_TIME_ABSOLUTE_CONTROL = 0x04;
constexpr uint8_t CT_EXPOSURE_TIME_RELATIVE_CONTROL = 0x05;
constexpr uint8_t CT_FOCUS_ABSOLUTE_CONTROL = 0x06;
constexpr uint8_t CT_FOCUS_RELATIVE_CONTROL = 0x07;
constexpr uint8_t CT_FOCUS_AUTO_CONTROL = 0x08;
// bAutoExposureMode values of CT_AE_MODE_CONTROL.
constexpr uint8_t AE_MODE_MANUAL = 0x01;
constexpr uint8_t AE_MODE_AUTO = 0x02;
constexpr uint8_t AE_MODE_SHUTTER_PRIORITY = 0x04;
constexpr uint8_t AE_MODE_APERTURE_PRIORITY = 0x08;

// Processing-unit control selectors (A.9.5).
constexpr uint8_t PU_BACKLIGHT_COMPENSATION_CONTROL = 0x01;
constexpr uint8_t PU_BRIGHTNESS_CONTROL = 0x02;
constexpr uint8_t PU_CONTRAST_CONTROL = 0x03;
constexpr uint8_t PU_GAIN_CONTROL = 0x04;
constexpr uint8_t PU_POWER_LINE_FREQUENCY_CONTROL = 0x05;
constexpr uint8_t PU_HUE_CONTROL = 0x06;
constexpr uint8_t PU_SATURATION_CONTROL = 0x07;
constexpr uint8_t PU_SHARPNESS_CONTROL = 0x08;
constexpr uint8_t PU_GAMMA_CONTROL = 0x09;
constexpr uint8_t PU_WHITE_BALANCE_TEMPERATURE_CONTROL = 0x0A;
constexpr uint8_t PU_WHITE_BALANCE_TEMPERATURE_AUTO_CONTROL = 0x0B;

// ---- this camera's entities and its bridge extension unit ------------------------
// The camera answers on these entity ids, and streams on interface 1.
constexpr uint8_t kCameraTerminalId = 1;
constexpr uint8_t kProcessingUnitId = 4;
constexpr uint8_t kBridgeUnitId = 5;
constexpr uint8_t kStreamingInterface = 1;

// The bridge chip's registers behind the extension unit: a 4-byte record
// {command, address low, address high, value}. Selector XU_REGISTER_SELECT
// names the register a following GET_CUR of XU_REGISTER_DATA reads; a SET_CUR
// of XU_REGISTER_DATA writes the value.
constexpr uint8_t XU_REGISTER_SELECT = 0x02;
constexpr uint8_t XU_REGISTER_DATA = 0x04;
constexpr uint8_t kXuRegisterCommand = 0x01;
constexpr uint32_t kXuRecordSize = 4;
struct XuRegisterRecord {
  static constexpr size_t bCommand = 0;
  static constexpr size_t wAddress = 1;
  static constexpr size_t bValue = 3;
};

// Bridge registers with a meaning for the picture or the LED.
constexpr uint16_t kRegPictureFlags = 0xF004;  // the bits below; 0x03 after power-on
constexpr uint8_t kNotMirroredBit = 0x01;      // set: the picture is not mirrored
constexpr uint8_t kNotFlippedBit = 0x02;       // set: the picture is not flipped
constexpr uint8_t kMonochromeBit = 0x04;       // set: black and white
constexpr uint16_t kRegSceneMode = 0xF013;
constexpr uint8_t kLowLightBit = 0x01;
constexpr uint8_t kOutdoorBit = 0x02;
constexpr uint16_t kRegLedOn = 0xE007;   // written with 0: LED on
constexpr uint16_t kRegLedOff = 0xE006;  // written with 0: LED off

}  // namespace uvc
