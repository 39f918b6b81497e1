// The camera driver's per-device record and its driver-wide state.
#pragma once

#include <atomic>

#include "platform/nt/ntddk.h"
#include "platform/stream/usbcamdi.h"

// Index of each standard control in CameraDeviceState::ControlValue.
enum StandardControl {
  kCtlBrightness = 0,
  kCtlContrast,
  kCtlSaturation,
  kCtlSharpness,
  kCtlWhiteBalance,
  kCtlHue,
  kCtlPowerLine,
  kCtlBacklight,
  kCtlGamma,
  kCtlGain,
  kCtlExposure,
  kCtlFocus,
  kStandardControlCount
};

constexpr ULONG kDeviceSignature = 0x39524F51;  // "QOR9" little-endian

// One per camera; allocated by the class driver (the driver gives its size at
// entry) and handed to every callback as the device context.
struct CameraDeviceState {
  ULONG Signature;
  ULONG StreamingAlternateSetting;  // setting the class driver selects for capture
  ULONG Stopped;
  ULONG EndOfFrameMode;     // 0: frame ends on the end-bit packet; 1: on the next one
  ULONG OutputFormatCode;   // biCompression of the capture format (0 = RGB24)
  LONG Height;
  LONG Width;
  ULONG FrameCounter;
  PUCHAR ScratchBuffer;     // width x height x 2, for the JPEG decoder
  ULONG ScratchSize;
  ULONG DeviceGone;
  PUSBD_INTERFACE_INFORMATION SavedInterface;
  ULONG OpenWidth;
  ULONG OpenHeight;
  LONG ControlValue[kStandardControlCount];  // cached current values
  ULONG NumberOfStreams;
  UCHAR StillTrigger;       // set by the video-control mode property
  UCHAR StreamOpen;
  USBCAMD_INTERFACE ClassInterface;  // from the interface query
  PDEVICE_OBJECT ClassDeviceObject;
  PDEVICE_OBJECT PhysicalDeviceObject;
  ULONG DebugFlags;
  ULONG DriverId;           // 0x4302
  LONG FormatIndex;         // -1 before the first frame; 0 I420, 1 RGB24, 2 YUY2, 3 MJPG
  ULONG Mirror;
  ULONG Flip;
  ULONG SpecialEffect;      // 1 = none
  ULONG ColorEnable;        // 1 colour, 0 black and white
  ULONG Outdoor;
  ULONG LowLight;
  ULONG LedOn;
  ULONG PrivateValue5;
  ULONG ZoomScale;          // thousandths, 1000 = 1.0x
  LONG ZoomXOffset;         // pixels of a 640x480 reference frame
  LONG ZoomYOffset;
  LONG ZoomWindowLeft;      // pixels of the current frame
  LONG ZoomWindowTop;
  PULONG ZoomTable;         // one source byte index per output byte
  ULONG ZoomTableRebuild;
  ULONG SnapshotSizeIndex;  // 0..14, 4 = 640x480
  PUCHAR ZoomSourceBuffer;  // width x height x 3
  ULONG ZoomSourceSize;
  ULONG FaceHoldCounter;
  ULONG ZoomEnable;
  ULONG StillPending;       // next processed frame is written as a snapshot
  UCHAR StillStreamRunning;
  UCHAR SnapshotButtonStill;
};
// Whether the camera was pulled out. Surprise removal sets it on its own
// thread while property requests on the application's threads read it, so
// every access outside the frame lock is atomic.
inline bool DeviceIsGone(const CameraDeviceState* dev) {
  return __atomic_load_n(&dev->DeviceGone, __ATOMIC_ACQUIRE) != 0;
}
inline void SetDeviceGone(CameraDeviceState* dev, bool gone) {
  __atomic_store_n(&dev->DeviceGone, gone ? 1u : 0u, __ATOMIC_RELEASE);
}

// Parsed video-class descriptors of the camera (filled at configure).
constexpr int kMaxFramesPerFormat = 32;
constexpr int kMaxFrameIntervals = 16;
constexpr int kMaxStillSizes = 16;
constexpr int kMaxFormatSlots = 40;

struct ParsedFrame {
  UCHAR bFrameIndex;
  USHORT wWidth;
  USHORT wHeight;
  ULONG dwMaxVideoFrameBufferSize;
  ULONG dwDefaultFrameInterval;
  UCHAR bFrameIntervalType;  // number of discrete intervals (0 = continuous)
  UCHAR IntervalCount;       // intervals kept below (at most kMaxFrameIntervals)
  ULONG Intervals[kMaxFrameIntervals];
};

struct ParsedStillFrame {
  bool Present;
  UCHAR bEndpointAddress;
  UCHAR bNumImageSizePatterns;
  USHORT Sizes[kMaxStillSizes][2];  // wWidth, wHeight
  UCHAR bNumCompressionPattern;
  UCHAR Compression[kMaxStillSizes];
};

struct ParsedFormat {
  bool Present;
  UCHAR bFormatIndex;
  UCHAR bNumFrameDescriptors;  // as the descriptor announces it
  UCHAR FrameCount;            // frames actually read into Frames
  GUID guidFormat;             // uncompressed only
  UCHAR bBitsPerPixel;         // uncompressed only
  UCHAR bDefaultFrameIndex;
  ParsedFrame Frames[kMaxFramesPerFormat];
  ParsedStillFrame Still;
};

struct ParsedDescriptors {
  ULONG AlternateSettings;  // non-zero alternate settings of interface 1
  ParsedFormat Uncompressed;
  ParsedFormat Mjpeg;
  struct {
    bool Present;
    UCHAR bTerminalID;
    USHORT wTerminalType;
    UCHAR bAssocTerminal;
    UCHAR iTerminal;
    USHORT wObjectiveFocalLengthMin;
    USHORT wObjectiveFocalLengthMax;
    USHORT wOcularFocalLength;
    UCHAR bControlSize;
    UCHAR bmControls[4];
  } CameraTerminal;
  struct {
    bool Present;
    UCHAR bUnitID;
    UCHAR bSourceID;
    USHORT wMaxMultiplier;
    UCHAR bControlSize;
    UCHAR bmControls[4];
  } ProcessingUnit;
};

// Face-tracking parameters and skin rules, shared by the private property set
// and the face tracker.
struct FaceTrackingParameters {
  ULONG Flags;       // qcam::kFaceTrackFaces, kFaceAutoFraming, kFaceDrawBox
  LONG Param[8];     // Param[1] .. Param[7]; Param[0] unused
  LONG SkinRules[4][9];
  LONG SelectedSet;       // index remembered by commands 90 and 91
  BOOLEAN SelectedBy91;   // the selection was made by command 91
};

// Range of one proc-amp control as read from the camera.
struct ControlRange {
  LONG Minimum;
  LONG Maximum;
  LONG Resolution;
  LONG Default;
};

// Driver-wide state: one camera at a time.
struct DriverGlobals {
  ParsedDescriptors Descriptors;
  // Negotiated with the camera by the last probe.
  ULONG FrameInterval;
  ULONG MaxVideoFrameSize;
  ULONG MaxPayloadTransferSize;
  UCHAR ProbeFormatIndex;
  UCHAR ProbeFrameIndex;
  BOOLEAN CommitNeeded;
  PUCHAR ProbeCommitBuffer;  // 26 bytes of pool
  std::atomic<ULONG> FramesMayBeProcessed;
  ULONG EndSeenLatch;
  FaceTrackingParameters Face;
};
extern DriverGlobals g_Driver;
