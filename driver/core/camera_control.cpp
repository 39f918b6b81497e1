// Control requests to the camera and the bridge-chip registers.
#include "driver/core/camera_control.h"

NTSTATUS SendControlRequest(CameraDeviceState* dev, UCHAR request, USHORT value, USHORT index, PVOID buffer,
                            ULONG length, ControlDirection direction) {
  if (DeviceIsGone(dev)) return STATUS_IO_DEVICE_ERROR;
  ULONG transferred = length;
  return USBCAMD_ControlVendorCommand(dev, request, value, index, buffer, &transferred,
                                      direction == kControlGet ? TRUE : FALSE, nullptr, nullptr);
}

NTSTATUS ReadWholeControl(CameraDeviceState* dev, UCHAR request, USHORT value, USHORT index, PVOID buffer,
                          ULONG length) {
  if (DeviceIsGone(dev)) return STATUS_IO_DEVICE_ERROR;
  ULONG transferred = length;
  NTSTATUS status =
      USBCAMD_ControlVendorCommand(dev, request, value, index, buffer, &transferred, TRUE, nullptr, nullptr);
  if (!NT_SUCCESS(status)) return status;
  return transferred < length ? STATUS_DATA_ERROR : STATUS_SUCCESS;
}

// Requests to the bridge's extension unit on the control interface.
constexpr USHORT kBridgeIndex = uvc::ControlIndex(uvc::kBridgeUnitId, 0);
constexpr USHORT kRegisterSelect = uvc::ControlValue(uvc::XU_REGISTER_SELECT);
constexpr USHORT kRegisterData = uvc::ControlValue(uvc::XU_REGISTER_DATA);

NTSTATUS BridgeRead(CameraDeviceState* dev, USHORT address, UCHAR* value) {
  UCHAR select[uvc::kXuRecordSize] = {uvc::kXuRegisterCommand, UCHAR(address & 0xFF), UCHAR(address >> 8), 0x00};
  NTSTATUS status =
      SendControlRequest(dev, uvc::SET_CUR, kRegisterSelect, kBridgeIndex, select, sizeof(select), kControlSet);
  if (!NT_SUCCESS(status)) return status;
  UCHAR answer[uvc::kXuRecordSize] = {};
  status = ReadWholeControl(dev, uvc::GET_CUR, kRegisterData, kBridgeIndex, answer, sizeof(answer));
  if (!NT_SUCCESS(status)) return status;
  *value = answer[uvc::XuRegisterRecord::bValue];
  return STATUS_SUCCESS;
}

VOID BridgeWrite(CameraDeviceState* dev, USHORT address, UCHAR value) {
  UCHAR record[uvc::kXuRecordSize] = {uvc::kXuRegisterCommand, UCHAR(address & 0xFF), UCHAR(address >> 8), value};
  SendControlRequest(dev, uvc::SET_CUR, kRegisterData, kBridgeIndex, record, sizeof(record), kControlSet);
}

VOID SetCameraLed(CameraDeviceState* dev, ULONG on) { BridgeWrite(dev, on ? uvc::kRegLedOn : uvc::kRegLedOff, 0); }
