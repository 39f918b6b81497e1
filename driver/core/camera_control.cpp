// Control requests to the camera and the bridge-chip registers.
#include "driver/core/camera_control.h"

NTSTATUS SendControlRequest(CameraDeviceState* dev, UCHAR request, USHORT value, USHORT index, PVOID buffer,
                            ULONG length, ControlDirection direction) {
  if (dev->DeviceGone) return STATUS_IO_DEVICE_ERROR;
  ULONG transferred = length;
  return USBCAMD_ControlVendorCommand(dev, request, value, index, buffer, &transferred,
                                      direction == kControlGet ? TRUE : FALSE, nullptr, nullptr);
}

NTSTATUS ReadWholeControl(CameraDeviceState* dev, UCHAR request, USHORT value, USHORT index, PVOID buffer,
                          ULONG length) {
  if (dev->DeviceGone) return STATUS_IO_DEVICE_ERROR;
  ULONG transferred = length;
  NTSTATUS status =
      USBCAMD_ControlVendorCommand(dev, request, value, index, buffer, &transferred, TRUE, nullptr, nullptr);
  if (!NT_SUCCESS(status)) return status;
  return transferred < length ? STATUS_DATA_ERROR : STATUS_SUCCESS;
}

NTSTATUS BridgeRead(CameraDeviceState* dev, USHORT address, UCHAR* value) {
  UCHAR select[4] = {0x01, UCHAR(address & 0xFF), UCHAR(address >> 8), 0x00};
  NTSTATUS status =
      SendControlRequest(dev, UVC_SET_CUR, 0x0200, kUnitExtension << 8, select, sizeof(select), kControlSet);
  if (!NT_SUCCESS(status)) return status;
  UCHAR answer[4] = {0, 0, 0, 0};
  status = ReadWholeControl(dev, UVC_GET_CUR, 0x0400, kUnitExtension << 8, answer, sizeof(answer));
  if (!NT_SUCCESS(status)) return status;
  *value = answer[3];
  return STATUS_SUCCESS;
}

VOID BridgeWrite(CameraDeviceState* dev, USHORT address, UCHAR value) {
  UCHAR record[4] = {0x01, UCHAR(address & 0xFF), UCHAR(address >> 8), value};
  SendControlRequest(dev, UVC_SET_CUR, 0x0400, kUnitExtension << 8, record, sizeof(record), kControlSet);
}

VOID SetCameraLed(CameraDeviceState* dev, ULONG on) { BridgeWrite(dev, on ? kRegLedOn : kRegLedOff, 0); }
