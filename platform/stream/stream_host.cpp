// Forwarding of the stream-class and USBCAMD entry points to the class driver
// host that installed itself.
#include <atomic>

#include "platform/stream/usbcamdi.h"

namespace {
std::atomic<const platform::StreamClassHost*> g_streamHost{nullptr};
std::atomic<const platform::UsbcamdHost*> g_usbcamdHost{nullptr};
}  // namespace

namespace platform {
void StreamClassSetHost(const StreamClassHost* host) { g_streamHost.store(host); }
void UsbcamdSetHost(const UsbcamdHost* host) { g_usbcamdHost.store(host); }
}  // namespace platform

VOID StreamClassDeviceNotification(STREAM_MINIDRIVER_DEVICE_NOTIFICATION_TYPE, PVOID HwDeviceExtension,
                                   PHW_STREAM_REQUEST_BLOCK Srb) {
  if (const platform::StreamClassHost* h = g_streamHost.load())
    h->DeviceNotification(h->host, HwDeviceExtension, Srb);
}

VOID StreamClassStreamNotification(STREAM_MINIDRIVER_STREAM_NOTIFICATION_TYPE, PHW_STREAM_OBJECT StreamObject,
                                   PHW_STREAM_REQUEST_BLOCK Srb) {
  if (const platform::StreamClassHost* h = g_streamHost.load()) h->StreamNotification(h->host, StreamObject, Srb);
}

VOID StreamClassAbortOutstandingRequests(PVOID HwDeviceExtension, PHW_STREAM_OBJECT HwStreamObject,
                                         NTSTATUS Status) {
  if (const platform::StreamClassHost* h = g_streamHost.load())
    h->AbortOutstandingRequests(h->host, HwDeviceExtension, HwStreamObject, Status);
}

ULONG USBCAMD_DriverEntry(PVOID Context1, PVOID Context2, ULONG DeviceContextSize, ULONG FrameContextSize,
                          PHW_RECEIVE_DEVICE_SRB ReceivePacket) {
  const platform::UsbcamdHost* h = g_usbcamdHost.load();
  if (!h) return ULONG(STATUS_DEVICE_NOT_CONNECTED);
  return h->DriverEntry(h->host, Context1, Context2, DeviceContextSize, FrameContextSize, ReceivePacket);
}

PVOID USBCAMD_AdapterReceivePacket(PHW_STREAM_REQUEST_BLOCK Srb, PUSBCAMD_DEVICE_DATA DeviceData,
                                   PDEVICE_OBJECT* DeviceObject, BOOLEAN NeedsCompletion) {
  const platform::UsbcamdHost* h = g_usbcamdHost.load();
  if (!h) return nullptr;
  return h->AdapterReceivePacket(h->host, Srb, DeviceData, DeviceObject, NeedsCompletion);
}

ULONG USBCAMD_InitializeNewInterface(PVOID DeviceContext, PVOID DeviceData, ULONG Version, ULONG CamControlFlag) {
  const platform::UsbcamdHost* h = g_usbcamdHost.load();
  if (!h) return 0;
  return h->InitializeNewInterface(h->host, DeviceContext, DeviceData, Version, CamControlFlag);
}

NTSTATUS USBCAMD_ControlVendorCommand(PVOID DeviceContext, UCHAR Request, USHORT Value, USHORT Index,
                                      PVOID Buffer, PULONG BufferLength, BOOLEAN GetData,
                                      PCOMMAND_COMPLETE_FUNCTION CommandComplete, PVOID CommandContext) {
  const platform::UsbcamdHost* h = g_usbcamdHost.load();
  if (!h) return STATUS_DEVICE_NOT_CONNECTED;
  NTSTATUS st = h->ControlVendorCommand(h->host, DeviceContext, Request, Value, Index, Buffer, BufferLength, GetData);
  if (CommandComplete) CommandComplete(DeviceContext, CommandContext, st);
  return st;
}

NTSTATUS USBCAMD_CheckSnapshopButton(PVOID DeviceContext, PULONG ButtonState) {
  const platform::UsbcamdHost* h = g_usbcamdHost.load();
  if (!h) return STATUS_DEVICE_NOT_CONNECTED;
  return h->CheckSnapshopButton(h->host, DeviceContext, ButtonState);
}
