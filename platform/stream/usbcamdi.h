// The USB camera class-driver interface (USBCAMD) as a camera minidriver sees
// it: the USB records it is handed, the two callback tables it registers, the
// interface record returned by the plug-and-play interface query, and the
// USBCAMD_* entry points. The entry points forward to the class driver that
// installed itself with UsbcamdSetHost (the simulated QORCAMD2).
#pragma once

#include "platform/stream/strmini.h"

// ---- USB records --------------------------------------------------------------
#pragma pack(push, 1)
typedef struct _USB_DEVICE_DESCRIPTOR {
  UCHAR bLength;
  UCHAR bDescriptorType;
  USHORT bcdUSB;
  UCHAR bDeviceClass;
  UCHAR bDeviceSubClass;
  UCHAR bDeviceProtocol;
  UCHAR bMaxPacketSize0;
  USHORT idVendor;
  USHORT idProduct;
  USHORT bcdDevice;
  UCHAR iManufacturer;
  UCHAR iProduct;
  UCHAR iSerialNumber;
  UCHAR bNumConfigurations;
} USB_DEVICE_DESCRIPTOR, *PUSB_DEVICE_DESCRIPTOR;
static_assert(sizeof(USB_DEVICE_DESCRIPTOR) == 18, "device descriptor is 18 bytes");

typedef struct _USB_CONFIGURATION_DESCRIPTOR {
  UCHAR bLength;
  UCHAR bDescriptorType;
  USHORT wTotalLength;
  UCHAR bNumInterfaces;
  UCHAR bConfigurationValue;
  UCHAR iConfiguration;
  UCHAR bmAttributes;
  UCHAR MaxPower;
} USB_CONFIGURATION_DESCRIPTOR, *PUSB_CONFIGURATION_DESCRIPTOR;
static_assert(sizeof(USB_CONFIGURATION_DESCRIPTOR) == 9, "configuration descriptor is 9 bytes");
#pragma pack(pop)

typedef struct _USBD_ISO_PACKET_DESCRIPTOR {
  ULONG Offset;
  ULONG Length;  // bytes received in this packet
  LONG Status;
} USBD_ISO_PACKET_DESCRIPTOR, *PUSBD_ISO_PACKET_DESCRIPTOR;

typedef struct _USBD_PIPE_INFORMATION {
  USHORT MaximumPacketSize;
  UCHAR EndpointAddress;
  UCHAR Interval;
  ULONG PipeType;
  PVOID PipeHandle;
  ULONG MaximumTransferSize;
  ULONG PipeFlags;
} USBD_PIPE_INFORMATION, *PUSBD_PIPE_INFORMATION;

typedef struct _USBD_INTERFACE_INFORMATION {
  USHORT Length;  // of the whole record, pipes included
  UCHAR InterfaceNumber;
  UCHAR AlternateSetting;
  UCHAR Class;
  UCHAR SubClass;
  UCHAR Protocol;
  UCHAR Reserved;
  PVOID InterfaceHandle;
  ULONG NumberOfPipes;
  USBD_PIPE_INFORMATION Pipes[1];
} USBD_INTERFACE_INFORMATION, *PUSBD_INTERFACE_INFORMATION;
constexpr USHORT UsbdInterfaceInformationSize(ULONG pipes) {
  return USHORT(sizeof(USBD_INTERFACE_INFORMATION) + (pipes ? pipes - 1 : 0) * sizeof(USBD_PIPE_INFORMATION));
}

// Pipe configuration the minidriver reports at configure time.
typedef struct _pipe_config_descriptor {
  CHAR StreamAssociation;  // USBCAMD_VIDEO_STREAM | USBCAMD_STILL_STREAM
  UCHAR PipeConfigFlags;
} USBCAMD_Pipe_Config_Descriptor, *PUSBCAMD_Pipe_Config_Descriptor;
static_assert(sizeof(USBCAMD_Pipe_Config_Descriptor) == 2, "pipe configuration entries are 16 bits");
constexpr CHAR USBCAMD_VIDEO_STREAM = 0x1;
constexpr CHAR USBCAMD_STILL_STREAM = 0x2;
constexpr CHAR USBCAMD_VIDEO_STILL_STREAM = USBCAMD_VIDEO_STREAM | USBCAMD_STILL_STREAM;
constexpr UCHAR USBCAMD_DATA_PIPE = 0x0001;
constexpr UCHAR USBCAMD_MULTIPLEX_PIPE = 0x0002;
constexpr UCHAR USBCAMD_SYNC_PIPE = 0x0004;
constexpr UCHAR USBCAMD_DONT_CARE_PIPE = 0x0008;

// Control flags for USBCAMD_InitializeNewInterface.
constexpr ULONG USBCAMD_EnableDeviceEvents = 0x4;
constexpr ULONG USBCAMD_StillPinIsAssociated = 0x8;

// Packet flag reported by the packet routine for a frame that is a still.
constexpr ULONG USBCAMD_PROCESSPACKETEX_CurrentFrameIsStill = 0x0008;

// ---- the minidriver's callbacks -------------------------------------------------
// Version 1 (handed with every forwarded request to USBCAMD_AdapterReceivePacket).
typedef NTSTATUS (*PCAM_INITIALIZE_ROUTINE)(PDEVICE_OBJECT BusDeviceObject, PVOID DeviceContext);
typedef ULONG (*PCAM_PROCESS_PACKET_ROUTINE)(PDEVICE_OBJECT BusDeviceObject, PVOID DeviceContext,
                                             PVOID CurrentFrameContext, PUSBD_ISO_PACKET_DESCRIPTOR SyncPacket,
                                             PVOID SyncBuffer, PUSBD_ISO_PACKET_DESCRIPTOR DataPacket,
                                             PVOID DataBuffer, PBOOLEAN FrameComplete, PBOOLEAN NextFrameIsStill);
typedef VOID (*PCAM_NEW_FRAME_ROUTINE)(PVOID DeviceContext, PVOID FrameContext);
typedef NTSTATUS (*PCAM_PROCESS_RAW_FRAME_ROUTINE)(PDEVICE_OBJECT BusDeviceObject, PVOID DeviceContext,
                                                   PVOID FrameContext, PVOID FrameBuffer, ULONG FrameLength,
                                                   PVOID RawFrameBuffer, ULONG RawFrameLength,
                                                   ULONG NumberOfPackets, PULONG BytesReturned);
typedef NTSTATUS (*PCAM_START_CAPTURE_ROUTINE)(PDEVICE_OBJECT BusDeviceObject, PVOID DeviceContext);
typedef NTSTATUS (*PCAM_ALLOCATE_BW_ROUTINE)(PDEVICE_OBJECT BusDeviceObject, PVOID DeviceContext,
                                             PULONG RawFrameLength, PVOID Format);
typedef NTSTATUS (*PCAM_FREE_BW_ROUTINE)(PDEVICE_OBJECT BusDeviceObject, PVOID DeviceContext);
typedef NTSTATUS (*PCAM_CONFIGURE_ROUTINE)(PDEVICE_OBJECT BusDeviceObject, PVOID DeviceContext,
                                           PUSBD_INTERFACE_INFORMATION Interface,
                                           PUSB_CONFIGURATION_DESCRIPTOR ConfigurationDescriptor,
                                           PLONG DataPipeIndex, PLONG SyncPipeIndex);
typedef NTSTATUS (*PCAM_STATE_ROUTINE)(PDEVICE_OBJECT BusDeviceObject, PVOID DeviceContext);

typedef struct _USBCAMD_DEVICE_DATA {
  ULONG Reserved1;
  PCAM_INITIALIZE_ROUTINE CamInitialize;
  PCAM_INITIALIZE_ROUTINE CamUnInitialize;
  PCAM_PROCESS_PACKET_ROUTINE CamProcessUSBPacket;
  PCAM_NEW_FRAME_ROUTINE CamNewVideoFrame;
  PCAM_PROCESS_RAW_FRAME_ROUTINE CamProcessRawVideoFrame;
  PCAM_START_CAPTURE_ROUTINE CamStartCapture;
  PCAM_START_CAPTURE_ROUTINE CamStopCapture;
  PCAM_CONFIGURE_ROUTINE CamConfigure;
  PCAM_STATE_ROUTINE CamSaveState;
  PCAM_STATE_ROUTINE CamRestoreState;
  PCAM_ALLOCATE_BW_ROUTINE CamAllocateBandwidth;
  PCAM_FREE_BW_ROUTINE CamFreeBandwidth;
} USBCAMD_DEVICE_DATA, *PUSBCAMD_DEVICE_DATA;

// Version 2 (registered with USBCAMD_InitializeNewInterface): the same slots,
// with a stream number where the class driver supplies one.
typedef ULONG (*PCAM_PROCESS_PACKET_ROUTINE_EX)(PDEVICE_OBJECT BusDeviceObject, PVOID DeviceContext,
                                                PVOID CurrentFrameContext, PUSBD_ISO_PACKET_DESCRIPTOR SyncPacket,
                                                PVOID SyncBuffer, PUSBD_ISO_PACKET_DESCRIPTOR DataPacket,
                                                PVOID DataBuffer, PBOOLEAN FrameComplete, PULONG PacketFlag,
                                                PULONG ValidDataOffset);
typedef VOID (*PCAM_NEW_FRAME_ROUTINE_EX)(PVOID DeviceContext, PVOID FrameContext, ULONG StreamNumber,
                                          PULONG FrameLength);
typedef NTSTATUS (*PCAM_PROCESS_RAW_FRAME_ROUTINE_EX)(PDEVICE_OBJECT BusDeviceObject, PVOID DeviceContext,
                                                      PVOID FrameContext, PVOID FrameBuffer, ULONG FrameLength,
                                                      PVOID RawFrameBuffer, ULONG RawFrameLength,
                                                      ULONG NumberOfPackets, PULONG BytesReturned,
                                                      ULONG ActualRawFrameLength, ULONG StreamNumber);
typedef NTSTATUS (*PCAM_START_CAPTURE_ROUTINE_EX)(PDEVICE_OBJECT BusDeviceObject, PVOID DeviceContext,
                                                  ULONG StreamNumber);
typedef NTSTATUS (*PCAM_ALLOCATE_BW_ROUTINE_EX)(PDEVICE_OBJECT BusDeviceObject, PVOID DeviceContext,
                                                PULONG RawFrameLength, PVOID Format, ULONG StreamNumber);
typedef NTSTATUS (*PCAM_FREE_BW_ROUTINE_EX)(PDEVICE_OBJECT BusDeviceObject, PVOID DeviceContext,
                                            ULONG StreamNumber);
typedef NTSTATUS (*PCAM_CONFIGURE_ROUTINE_EX)(PDEVICE_OBJECT BusDeviceObject, PVOID DeviceContext,
                                              PUSBD_INTERFACE_INFORMATION Interface,
                                              PUSB_CONFIGURATION_DESCRIPTOR ConfigurationDescriptor,
                                              ULONG PipeConfigListSize, PUSBCAMD_Pipe_Config_Descriptor PipeConfig,
                                              PUSB_DEVICE_DESCRIPTOR DeviceDescriptor);

typedef struct _USBCAMD_DEVICE_DATA2 {
  ULONG Reserved1;
  PCAM_INITIALIZE_ROUTINE CamInitialize;
  PCAM_INITIALIZE_ROUTINE CamUnInitialize;
  PCAM_PROCESS_PACKET_ROUTINE_EX CamProcessUSBPacketEx;
  PCAM_NEW_FRAME_ROUTINE_EX CamNewVideoFrameEx;
  PCAM_PROCESS_RAW_FRAME_ROUTINE_EX CamProcessRawVideoFrameEx;
  PCAM_START_CAPTURE_ROUTINE_EX CamStartCaptureEx;
  PCAM_START_CAPTURE_ROUTINE_EX CamStopCaptureEx;
  PCAM_CONFIGURE_ROUTINE_EX CamConfigureEx;
  PCAM_STATE_ROUTINE CamSaveState;
  PCAM_STATE_ROUTINE CamRestoreState;
  PCAM_ALLOCATE_BW_ROUTINE_EX CamAllocateBandwidthEx;
  PCAM_FREE_BW_ROUTINE_EX CamFreeBandwidthEx;
} USBCAMD_DEVICE_DATA2, *PUSBCAMD_DEVICE_DATA2;

// The minidriver's control routine for stream-level requests, stored in the
// stream object's ReceiveControlPacket (data routine likewise).
typedef VOID (*PCAM_RECEIVE_PACKET_ROUTINE)(PHW_STREAM_REQUEST_BLOCK Srb, PVOID DeviceContext,
                                            PBOOLEAN Completed);

// ---- the interface record returned by the plug-and-play interface query ---------
// {2BCB75C0-B27F-11D1-BA41-00A0C90D2B05}
constexpr GUID GUID_USBCAMD_INTERFACE = {0x2BCB75C0, 0xB27F, 0x11D1, {0xBA, 0x41, 0x00, 0xA0, 0xC9, 0x0D, 0x2B, 0x05}};
constexpr USHORT USBCAMD_VERSION_200 = 0x200;

typedef NTSTATUS (*PFNUSBCAMD_SetVideoFormat)(PVOID DeviceContext, PHW_STREAM_REQUEST_BLOCK Srb);
typedef NTSTATUS (*PFNUSBCAMD_SetIsoPipeState)(PVOID DeviceContext, ULONG PipeStateFlags);
typedef NTSTATUS (*PFNUSBCAMD_CommitBracket)(PVOID DeviceContext, ULONG Reserved);

// Nine words on the 32-bit target: the INTERFACE header (size and version in
// the first word, context, reference, dereference), then five routines. The
// seventh word accepts a new video format (returns non-zero to accept); the
// eighth must be non-zero for the record to be taken; the ninth is called
// with (device state, 0) before and after the streaming commit.
typedef struct _USBCAMD_INTERFACE {
  INTERFACE Interface;
  PVOID USBCAMD_WaitOnDeviceEvent;
  PVOID USBCAMD_BulkReadWrite;
  PFNUSBCAMD_SetVideoFormat USBCAMD_SetVideoFormat;
  PFNUSBCAMD_SetIsoPipeState USBCAMD_SetIsoPipeState;
  PFNUSBCAMD_CommitBracket USBCAMD_CommitBracket;
} USBCAMD_INTERFACE, *PUSBCAMD_INTERFACE;

// ---- entry points into the class driver ------------------------------------------
typedef VOID (*PCOMMAND_COMPLETE_FUNCTION)(PVOID DeviceContext, PVOID CommandContext, NTSTATUS NtStatus);

ULONG USBCAMD_DriverEntry(PVOID Context1, PVOID Context2, ULONG DeviceContextSize, ULONG FrameContextSize,
                          PHW_RECEIVE_DEVICE_SRB ReceivePacket);
// (srb, null, null, false): returns the device context of the request's device
// without touching the request. (srb, table, null, true): the class driver
// processes the request itself and completes it.
PVOID USBCAMD_AdapterReceivePacket(PHW_STREAM_REQUEST_BLOCK Srb, PUSBCAMD_DEVICE_DATA DeviceData,
                                   PDEVICE_OBJECT* DeviceObject, BOOLEAN NeedsCompletion);
ULONG USBCAMD_InitializeNewInterface(PVOID DeviceContext, PVOID DeviceData, ULONG Version, ULONG CamControlFlag);
// One control transfer to the camera. Request is the video-class request
// code, Value the selector << 8, Index the unit or terminal id << 8 (or the
// streaming interface number). *BufferLength carries the length in and the
// bytes transferred out. Synchronous when CommandComplete is null.
NTSTATUS USBCAMD_ControlVendorCommand(PVOID DeviceContext, UCHAR Request, USHORT Value, USHORT Index,
                                      PVOID Buffer, PULONG BufferLength, BOOLEAN GetData,
                                      PCOMMAND_COMPLETE_FUNCTION CommandComplete, PVOID CommandContext);
// Polls the camera's snapshot button; *ButtonState receives the state the
// camera reports (0 when not pressed; 1, 2 or 4).
NTSTATUS USBCAMD_CheckSnapshopButton(PVOID DeviceContext, PULONG ButtonState);

namespace platform {
// The class driver behind the USBCAMD_* entry points.
struct UsbcamdHost {
  ULONG (*DriverEntry)(void* host, PVOID Context1, PVOID Context2, ULONG DeviceContextSize,
                       ULONG FrameContextSize, PHW_RECEIVE_DEVICE_SRB ReceivePacket);
  PVOID (*AdapterReceivePacket)(void* host, PHW_STREAM_REQUEST_BLOCK Srb, PUSBCAMD_DEVICE_DATA DeviceData,
                                PDEVICE_OBJECT* DeviceObject, BOOLEAN NeedsCompletion);
  ULONG (*InitializeNewInterface)(void* host, PVOID DeviceContext, PVOID DeviceData, ULONG Version,
                                  ULONG CamControlFlag);
  NTSTATUS (*ControlVendorCommand)(void* host, PVOID DeviceContext, UCHAR Request, USHORT Value, USHORT Index,
                                   PVOID Buffer, PULONG BufferLength, BOOLEAN GetData);
  NTSTATUS (*CheckSnapshopButton)(void* host, PVOID DeviceContext, PULONG ButtonState);
  void* host;
};
// Installs (or, with null, removes) the class driver host. Without a host the
// entry points fail with STATUS_DEVICE_NOT_CONNECTED (null for
// AdapterReceivePacket).
void UsbcamdSetHost(const UsbcamdHost* host);
}  // namespace platform
