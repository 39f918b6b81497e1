// The stream class as a minidriver sees it: request blocks (SRBs), stream
// information, port configuration and the notification routines. Published
// layouts, reduced to the fields the package uses.
#pragma once

#include "platform/stream/ks.h"

struct _HW_STREAM_REQUEST_BLOCK;
typedef struct _HW_STREAM_REQUEST_BLOCK HW_STREAM_REQUEST_BLOCK, *PHW_STREAM_REQUEST_BLOCK;
typedef VOID (*PHW_RECEIVE_DEVICE_SRB)(PHW_STREAM_REQUEST_BLOCK Srb);

// Request commands: stream-level commands count from 0, device-level ones
// from 0x100.
typedef enum {
  SRB_READ_DATA = 0,
  SRB_WRITE_DATA = 1,
  SRB_GET_STREAM_STATE = 2,
  SRB_SET_STREAM_STATE = 3,
  SRB_SET_STREAM_PROPERTY = 4,
  SRB_GET_STREAM_PROPERTY = 5,
  SRB_OPEN_MASTER_CLOCK = 6,
  SRB_INDICATE_MASTER_CLOCK = 7,
  SRB_UNKNOWN_STREAM_COMMAND = 8,
  SRB_SET_STREAM_RATE = 9,
  SRB_PROPOSE_DATA_FORMAT = 10,
  SRB_CLOSE_MASTER_CLOCK = 11,
  SRB_PROPOSE_STREAM_RATE = 12,
  SRB_SET_DATA_FORMAT = 13,
  SRB_GET_STREAM_RATE = 14,
  SRB_GET_STREAM_INFO = 0x100,
  SRB_OPEN_STREAM = 0x101,
  SRB_CLOSE_STREAM = 0x102,
  SRB_OPEN_DEVICE_INSTANCE = 0x103,
  SRB_CLOSE_DEVICE_INSTANCE = 0x104,
  SRB_GET_DEVICE_PROPERTY = 0x105,
  SRB_SET_DEVICE_PROPERTY = 0x106,
  SRB_INITIALIZE_DEVICE = 0x107,
  SRB_CHANGE_POWER_STATE = 0x108,
  SRB_UNINITIALIZE_DEVICE = 0x109,
  SRB_UNKNOWN_DEVICE_COMMAND = 0x10A,
  SRB_PAGING_OUT_DRIVER = 0x10B,
  SRB_GET_DATA_INTERSECTION = 0x10C,
  SRB_INITIALIZATION_COMPLETE = 0x10D,
  SRB_SURPRISE_REMOVAL = 0x10E,
} SRB_COMMAND;

typedef struct _HW_STREAM_OBJECT {
  ULONG SizeOfThisPacket;
  ULONG StreamNumber;
  PVOID HwStreamExtension;
  // For a camera minidriver these hold the class driver's typed routines
  // (PCAM_RECEIVE_PACKET_ROUTINE, usbcamdi.h), stored untyped as in the kit.
  PVOID ReceiveDataPacket;
  PVOID ReceiveControlPacket;
  BOOLEAN Dma;
  BOOLEAN Pio;
  PVOID HwDeviceExtension;
  ULONG StreamHeaderMediaSpecific;
  ULONG StreamHeaderWorkspace;
  BOOLEAN Allocator;
  PVOID HwEventRoutine;
} HW_STREAM_OBJECT, *PHW_STREAM_OBJECT;

typedef struct _HW_STREAM_HEADER {
  ULONG NumberOfStreams;
  ULONG SizeOfHwStreamInformation;
  ULONG NumDevPropArrayEntries;
  const KSPROPERTY_SET* DevicePropertiesArray;
  ULONG NumDevEventArrayEntries;
  PVOID DeviceEventsArray;
  PVOID Topology;
  PVOID DeviceEventRoutine;
  LONG NumDevMethodArrayEntries;
  PVOID DeviceMethodsArray;
} HW_STREAM_HEADER, *PHW_STREAM_HEADER;

typedef struct _HW_STREAM_INFORMATION {
  ULONG NumberOfPossibleInstances;
  KSPIN_DATAFLOW DataFlow;
  BOOLEAN DataAccessible;
  ULONG NumberOfFormatArrayEntries;
  PKSDATAFORMAT* StreamFormatsArray;
  PVOID ClassReserved[4];
  ULONG NumStreamPropArrayEntries;
  const KSPROPERTY_SET* StreamPropertiesArray;
  ULONG NumStreamEventArrayEntries;
  PVOID StreamEventsArray;
  const GUID* Category;
  const GUID* Name;
  ULONG MediumsCount;
  const VOID* Mediums;
  BOOLEAN BridgeStream;
  ULONG Reserved[2];
} HW_STREAM_INFORMATION, *PHW_STREAM_INFORMATION;

typedef struct _HW_STREAM_DESCRIPTOR {
  HW_STREAM_HEADER StreamHeader;
  HW_STREAM_INFORMATION StreamInfo[1];  // NumberOfStreams entries
} HW_STREAM_DESCRIPTOR, *PHW_STREAM_DESCRIPTOR;

typedef struct _PORT_CONFIGURATION_INFORMATION {
  ULONG SizeOfThisPacket;
  PVOID HwDeviceExtension;
  PDEVICE_OBJECT ClassDeviceObject;
  PDEVICE_OBJECT PhysicalDeviceObject;
  ULONG StreamDescriptorSize;
  PDEVICE_OBJECT RealPhysicalDeviceObject;
} PORT_CONFIGURATION_INFORMATION, *PPORT_CONFIGURATION_INFORMATION;

typedef struct _STREAM_PROPERTY_DESCRIPTOR {
  PKSPROPERTY Property;
  ULONG PropertySetID;  // index of the matched set in the device's table
  PVOID PropertyInfo;   // the data buffer
  ULONG PropertyInputSize;
  ULONG PropertyOutputSize;
} STREAM_PROPERTY_DESCRIPTOR, *PSTREAM_PROPERTY_DESCRIPTOR;

typedef struct _STREAM_DATA_INTERSECT_INFO {
  ULONG StreamNumber;
  PKSDATARANGE DataRange;
  PVOID DataFormatBuffer;
  ULONG SizeOfDataFormatBuffer;
} STREAM_DATA_INTERSECT_INFO, *PSTREAM_DATA_INTERSECT_INFO;

struct _HW_STREAM_REQUEST_BLOCK {
  ULONG SizeOfThisPacket;
  ULONG Command;  // SRB_COMMAND
  NTSTATUS Status;
  PHW_STREAM_OBJECT StreamObject;
  PVOID HwDeviceExtension;
  PVOID SRBExtension;
  union {
    PHW_STREAM_DESCRIPTOR StreamBuffer;
    KSSTATE StreamState;
    PSTREAM_PROPERTY_DESCRIPTOR PropertyInfo;
    PKSDATAFORMAT OpenFormat;
    PPORT_CONFIGURATION_INFORMATION ConfigInfo;
    PSTREAM_DATA_INTERSECT_INFO IntersectInfo;
    PVOID Raw;
  } CommandData;
  ULONG NumberOfBuffers;
  PIRP Irp;
  ULONG Flags;
  PVOID HwInstanceExtension;
  union {
    ULONG NumberOfBytesToTransfer;
    ULONG ActualBytesTransferred;
  };
};

typedef enum { DeviceRequestComplete = 1 } STREAM_MINIDRIVER_DEVICE_NOTIFICATION_TYPE;
typedef enum { StreamRequestComplete = 1 } STREAM_MINIDRIVER_STREAM_NOTIFICATION_TYPE;

// Notifications into the stream class (served by the class driver host that
// installed itself with StreamClassSetHost).
VOID StreamClassDeviceNotification(STREAM_MINIDRIVER_DEVICE_NOTIFICATION_TYPE NotificationType,
                                   PVOID HwDeviceExtension, PHW_STREAM_REQUEST_BLOCK Srb);
VOID StreamClassStreamNotification(STREAM_MINIDRIVER_STREAM_NOTIFICATION_TYPE NotificationType,
                                   PHW_STREAM_OBJECT StreamObject, PHW_STREAM_REQUEST_BLOCK Srb);
VOID StreamClassAbortOutstandingRequests(PVOID HwDeviceExtension, PHW_STREAM_OBJECT HwStreamObject,
                                         NTSTATUS Status);

namespace platform {
// The stream class behind the notification routines above.
struct StreamClassHost {
  void (*DeviceNotification)(void* host, PVOID HwDeviceExtension, PHW_STREAM_REQUEST_BLOCK Srb);
  void (*StreamNotification)(void* host, PHW_STREAM_OBJECT StreamObject, PHW_STREAM_REQUEST_BLOCK Srb);
  void (*AbortOutstandingRequests)(void* host, PVOID HwDeviceExtension, PHW_STREAM_OBJECT StreamObject,
                                   NTSTATUS Status);
  void* host;
};
// Installs (or, with null, removes) the stream class host.
void StreamClassSetHost(const StreamClassHost* host);
}  // namespace platform
