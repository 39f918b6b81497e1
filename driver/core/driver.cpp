// Driver entry, the adapter request dispatch and the camera callbacks the
// class driver calls.
#include "driver/core/driver.h"

#include <cstring>

#include "driver/core/camera_control.h"
#include "driver/core/formats.h"
#include "driver/core/frame_pipeline.h"
#include "driver/core/property_sets.h"
#include "driver/core/settings.h"
#include "driver/core/stream_negotiation.h"
#include "driver/imaging/effects.h"
#include "shared/qcam_defs.h"
#include "shared/uvc_wire.h"

DriverGlobals g_Driver;

static VOID AdapterReceivePacket(PHW_STREAM_REQUEST_BLOCK srb);

// ---- helpers ---------------------------------------------------------------------------

static VOID CompleteDeviceRequest(PHW_STREAM_REQUEST_BLOCK srb, NTSTATUS status) {
  srb->Status = status;
  StreamClassDeviceNotification(DeviceRequestComplete, srb->HwDeviceExtension, srb);
}

static VOID FreeSavedInterface(CameraDeviceState* dev) {
  if (dev->SavedInterface) ExFreePool(dev->SavedInterface);
  dev->SavedInterface = nullptr;
}

static BOOLEAN FocusSupported() {
  const auto& terminal = g_Driver.Descriptors.CameraTerminal;
  return terminal.Present && terminal.bControlSize > 0 && (terminal.bmControls[0] & 0x20) ? TRUE : FALSE;
}

// ---- camera callbacks (version 2 table) ---------------------------------------------------

static NTSTATUS CamInitialize(PDEVICE_OBJECT, PVOID context) {
  CameraDeviceState* dev = static_cast<CameraDeviceState*>(context);
  dev->Stopped = 0;
  dev->FrameCounter = 0;
  dev->NumberOfStreams = 2;
  dev->DriverId = qcam::kDriverIdentification;
  dev->FormatIndex = -1;
  dev->Mirror = 0;
  dev->Flip = 0;
  dev->SpecialEffect = qcam::kEffectNone;
  dev->ColorEnable = 1;
  dev->Outdoor = 0;
  dev->LowLight = 0;
  dev->LedOn = 0;
  dev->PrivateValue5 = 0;
  dev->ZoomScale = 1000;
  dev->ZoomXOffset = 0;
  dev->ZoomYOffset = 0;
  dev->ZoomWindowLeft = 0;
  dev->ZoomWindowTop = 0;
  dev->SnapshotSizeIndex = 4;
  dev->FaceHoldCounter = 0;
  dev->ZoomEnable = 0;
  dev->StillPending = 0;
  dev->StillStreamRunning = 0;
  dev->SnapshotButtonStill = 0;
  dev->StillTrigger = 0;
  ReadDwordSetting(qcam::kKeyUcam, u"DebugFlag", &dev->DebugFlags, 0);

  FaceTrackingParameters& face = g_Driver.Face;
  face.Flags = 0;
  face.Param[0] = 0;
  for (int p = 0; p < qcam::kFaceParamCount; ++p) face.Param[p + 1] = qcam::kFaceParamDefaults[p];
  memset(face.SkinRules, 0, sizeof(face.SkinRules));
  for (int k = 0; k < qcam::kSkinRuleCount; ++k) face.SkinRules[0][k] = qcam::kSkinRuleSet0Defaults[k];
  face.SelectedSet = 0;
  face.SelectedBy91 = FALSE;

  ULONG status = 0;
  ReadDwordSetting(qcam::kKeyCurrent, qcam::kValueCameraStatus, &status, 0);
  StoreCameraStatus(0);
  return STATUS_SUCCESS;
}

static NTSTATUS CamUnInitialize(PDEVICE_OBJECT, PVOID context) {
  CameraDeviceState* dev = static_cast<CameraDeviceState*>(context);
  FreeSavedInterface(dev);
  ReleaseFrameBuffers();
  dev->Stopped = 1;
  return STATUS_SUCCESS;
}

static ULONG CamProcessUSBPacketEx(PDEVICE_OBJECT, PVOID context, PVOID, PUSBD_ISO_PACKET_DESCRIPTOR, PVOID,
                                   PUSBD_ISO_PACKET_DESCRIPTOR dataPacket, PVOID dataBuffer,
                                   PBOOLEAN frameComplete, PULONG packetFlag, PULONG validDataOffset) {
  CameraDeviceState* dev = static_cast<CameraDeviceState*>(context);
  *frameComplete = FALSE;
  // A packet of the header alone (or less) carries nothing, not even its bits.
  // The camera's header is always the 12-byte one (see kPayloadHeaderLength):
  // bHeaderLength is not read.
  if (!dataPacket || !dataBuffer || dataPacket->Length <= uvc::kPayloadHeaderLength) return 0;
  const UCHAR* header = static_cast<const UCHAR*>(dataBuffer);
  UCHAR info = header[uvc::PayloadHeaderField::bmHeaderInfo];
  if (info & uvc::UVC_STREAM_ERR) return 0;  // error bit: the whole packet is ignored
  if (g_Driver.EndSeenLatch) {
    g_Driver.EndSeenLatch = 0;
    if (dev->EndOfFrameMode == 1) *frameComplete = TRUE;
  }
  if (info & uvc::UVC_STREAM_EOF) {
    g_Driver.EndSeenLatch = 1;
    if (dev->EndOfFrameMode == 0) *frameComplete = TRUE;
  }
  if ((info & uvc::UVC_STREAM_STI) || dev->StillTrigger == 1 || dev->SnapshotButtonStill == 1) {
    dev->StillPending = 1;
    dev->StillTrigger = 0;
    dev->SnapshotButtonStill = 0;
    if (packetFlag) *packetFlag |= USBCAMD_PROCESSPACKETEX_CurrentFrameIsStill;
  }
  *validDataOffset = uvc::kPayloadHeaderLength;
  return dataPacket->Length - uvc::kPayloadHeaderLength;
}

static VOID CamNewVideoFrameEx(PVOID, PVOID, ULONG, PULONG) {}

static NTSTATUS CamProcessRawVideoFrameEx(PDEVICE_OBJECT, PVOID context, PVOID, PVOID frameBuffer,
                                          ULONG frameLength, PVOID rawFrameBuffer, ULONG rawFrameLength, ULONG,
                                          PULONG bytesReturned, ULONG actualRawFrameLength, ULONG) {
  CameraDeviceState* dev = static_cast<CameraDeviceState*>(context);
  ULONG rawLength = actualRawFrameLength <= rawFrameLength ? actualRawFrameLength : rawFrameLength;
  ULONG ignored = 0;
  return ProcessRawFrame(dev, static_cast<PUCHAR>(frameBuffer), frameLength,
                         static_cast<const UCHAR*>(rawFrameBuffer), rawLength, bytesReturned ? bytesReturned : &ignored);
}

static NTSTATUS CamStartCaptureEx(PDEVICE_OBJECT, PVOID context, ULONG stream) {
  CameraDeviceState* dev = static_cast<CameraDeviceState*>(context);
  if (stream == 1) {
    dev->StillStreamRunning = 1;
    return STATUS_SUCCESS;
  }
  if (stream != 0) return STATUS_SUCCESS;
  return StartCaptureStream0(dev);
}

static NTSTATUS CamStopCaptureEx(PDEVICE_OBJECT, PVOID context, ULONG stream) {
  CameraDeviceState* dev = static_cast<CameraDeviceState*>(context);
  dev->StillStreamRunning = 0;
  if (stream != 0) return STATUS_SUCCESS;
  return StopCaptureStream0(dev);
}

static NTSTATUS ConfigureCommon(CameraDeviceState* dev, PUSBD_INTERFACE_INFORMATION interface,
                                PUSB_CONFIGURATION_DESCRIPTOR configuration) {
  dev->Signature = kDeviceSignature;
  dev->DebugFlags = 0;
  dev->NumberOfStreams = 2;
  if (!interface) {
    FreeSavedInterface(dev);
    return STATUS_SUCCESS;
  }
  USHORT length = interface->Length;
  // The pipes listed must lie inside the record the class driver handed in.
  if (length < sizeof(USBD_INTERFACE_INFORMATION) ||
      interface->NumberOfPipes > 1 + (length - sizeof(USBD_INTERFACE_INFORMATION)) / sizeof(USBD_PIPE_INFORMATION))
    return STATUS_INVALID_PARAMETER;
  // A saved copy of another size is replaced, so the copy below always fits.
  if (dev->SavedInterface && dev->SavedInterface->Length != length) FreeSavedInterface(dev);
  if (!dev->SavedInterface) {
    dev->SavedInterface = static_cast<PUSBD_INTERFACE_INFORMATION>(ExAllocatePool(NonPagedPool, length));
    if (!dev->SavedInterface) return STATUS_INSUFFICIENT_RESOURCES;
  }
  interface->AlternateSetting = 1;
  static const ULONG kTransferSizes[3] = {230400, 65536, 8};
  for (ULONG i = 0; i < interface->NumberOfPipes && i < 3; ++i)
    interface->Pipes[i].MaximumTransferSize = kTransferSizes[i];
  memcpy(dev->SavedInterface, interface, length);

  ReadControlRanges(dev);
  if (configuration) {
    ParseConfigurationDescriptor(reinterpret_cast<const UCHAR*>(configuration), configuration->wTotalLength,
                                 &g_Driver.Descriptors);
    RebuildFormats();
  }
  return STATUS_SUCCESS;
}

static NTSTATUS CamConfigureEx(PDEVICE_OBJECT, PVOID context, PUSBD_INTERFACE_INFORMATION interface,
                               PUSB_CONFIGURATION_DESCRIPTOR configuration, ULONG pipeConfigListSize,
                               PUSBCAMD_Pipe_Config_Descriptor pipeConfig, PUSB_DEVICE_DESCRIPTOR) {
  CameraDeviceState* dev = static_cast<CameraDeviceState*>(context);
  NTSTATUS status = ConfigureCommon(dev, interface, configuration);
  if (status != STATUS_SUCCESS || !interface) return status;
  static const USBCAMD_Pipe_Config_Descriptor kPipeTable[2] = {
      {USBCAMD_VIDEO_STILL_STREAM, USBCAMD_MULTIPLEX_PIPE}, {USBCAMD_VIDEO_STREAM, USBCAMD_DONT_CARE_PIPE}};
  for (ULONG i = 0; pipeConfig && i < pipeConfigListSize && i < 2; ++i) pipeConfig[i] = kPipeTable[i];
  return STATUS_SUCCESS;
}

static NTSTATUS CamSaveState(PDEVICE_OBJECT, PVOID) { return STATUS_SUCCESS; }
static NTSTATUS CamRestoreState(PDEVICE_OBJECT, PVOID) { return STATUS_SUCCESS; }

static NTSTATUS CamAllocateBandwidthEx(PDEVICE_OBJECT, PVOID context, PULONG rawFrameLength, PVOID format,
                                       ULONG stream) {
  CameraDeviceState* dev = static_cast<CameraDeviceState*>(context);
  if (stream == 0) return AllocateBandwidthStream0(dev, rawFrameLength, format);
  if (!rawFrameLength) return STATUS_INVALID_PARAMETER;
  if (stream == 1) {
    *rawFrameLength = 1920000;
    return STATUS_SUCCESS;
  }
  *rawFrameLength = 3840000;
  return STATUS_NOT_IMPLEMENTED;
}

static NTSTATUS CamFreeBandwidthEx(PDEVICE_OBJECT, PVOID context, ULONG stream) {
  if (stream != 0) return STATUS_SUCCESS;
  return FreeBandwidthStream0(static_cast<CameraDeviceState*>(context));
}

// ---- version 1 table: the same operations on stream 0 ------------------------------------

static ULONG CamProcessUSBPacket(PDEVICE_OBJECT bus, PVOID context, PVOID frameContext,
                                 PUSBD_ISO_PACKET_DESCRIPTOR syncPacket, PVOID syncBuffer,
                                 PUSBD_ISO_PACKET_DESCRIPTOR dataPacket, PVOID dataBuffer,
                                 PBOOLEAN frameComplete, PBOOLEAN nextFrameIsStill) {
  ULONG flags = 0, offset = 0;
  ULONG length = CamProcessUSBPacketEx(bus, context, frameContext, syncPacket, syncBuffer, dataPacket, dataBuffer,
                                       frameComplete, &flags, &offset);
  if (nextFrameIsStill) *nextFrameIsStill = (flags & USBCAMD_PROCESSPACKETEX_CurrentFrameIsStill) ? TRUE : FALSE;
  return length;
}
static VOID CamNewVideoFrame(PVOID, PVOID) {}
static NTSTATUS CamProcessRawVideoFrame(PDEVICE_OBJECT bus, PVOID context, PVOID frameContext, PVOID frameBuffer,
                                        ULONG frameLength, PVOID rawFrameBuffer, ULONG rawFrameLength,
                                        ULONG packets, PULONG bytesReturned) {
  return CamProcessRawVideoFrameEx(bus, context, frameContext, frameBuffer, frameLength, rawFrameBuffer,
                                   rawFrameLength, packets, bytesReturned, rawFrameLength, 0);
}
static NTSTATUS CamStartCapture(PDEVICE_OBJECT bus, PVOID context) { return CamStartCaptureEx(bus, context, 0); }
static NTSTATUS CamStopCapture(PDEVICE_OBJECT bus, PVOID context) { return CamStopCaptureEx(bus, context, 0); }
static NTSTATUS CamConfigure(PDEVICE_OBJECT, PVOID context, PUSBD_INTERFACE_INFORMATION interface,
                             PUSB_CONFIGURATION_DESCRIPTOR configuration, PLONG dataPipeIndex,
                             PLONG syncPipeIndex) {
  if (dataPipeIndex) *dataPipeIndex = 0;
  if (syncPipeIndex) *syncPipeIndex = -1;
  return ConfigureCommon(static_cast<CameraDeviceState*>(context), interface, configuration);
}
static NTSTATUS CamAllocateBandwidth(PDEVICE_OBJECT bus, PVOID context, PULONG rawFrameLength, PVOID format) {
  return CamAllocateBandwidthEx(bus, context, rawFrameLength, format, 0);
}
static NTSTATUS CamFreeBandwidth(PDEVICE_OBJECT bus, PVOID context) { return CamFreeBandwidthEx(bus, context, 0); }

static USBCAMD_DEVICE_DATA g_DeviceData1 = {0,
                                             CamInitialize,
                                             CamUnInitialize,
                                             CamProcessUSBPacket,
                                             CamNewVideoFrame,
                                             CamProcessRawVideoFrame,
                                             CamStartCapture,
                                             CamStopCapture,
                                             CamConfigure,
                                             CamSaveState,
                                             CamRestoreState,
                                             CamAllocateBandwidth,
                                             CamFreeBandwidth};

static USBCAMD_DEVICE_DATA2 g_DeviceData2 = {0,
                                              CamInitialize,
                                              CamUnInitialize,
                                              CamProcessUSBPacketEx,
                                              CamNewVideoFrameEx,
                                              CamProcessRawVideoFrameEx,
                                              CamStartCaptureEx,
                                              CamStopCaptureEx,
                                              CamConfigureEx,
                                              CamSaveState,
                                              CamRestoreState,
                                              CamAllocateBandwidthEx,
                                              CamFreeBandwidthEx};

static VOID ForwardToClassDriver(PHW_STREAM_REQUEST_BLOCK srb) {
  USBCAMD_AdapterReceivePacket(srb, &g_DeviceData1, nullptr, TRUE);
}

// ---- stream requests -----------------------------------------------------------------------

static VOID NullDataRoutine(PHW_STREAM_REQUEST_BLOCK, PVOID, PBOOLEAN completed) { *completed = FALSE; }

static VOID StreamControlRoutine(PHW_STREAM_REQUEST_BLOCK srb, PVOID context, PBOOLEAN completed) {
  CameraDeviceState* dev = static_cast<CameraDeviceState*>(context);
  BOOLEAN handled = TRUE;
  NTSTATUS status = STATUS_SUCCESS;
  switch (srb->Command) {
    case SRB_GET_STREAM_STATE:
    case SRB_SET_STREAM_STATE:
    case SRB_SET_STREAM_PROPERTY:
    case SRB_GET_STREAM_PROPERTY:
      handled = FALSE;
      status = STATUS_NOT_IMPLEMENTED;
      break;
    case SRB_PROPOSE_DATA_FORMAT: {
      ULONG stream = srb->StreamObject ? srb->StreamObject->StreamNumber : 0;
      if (FindMatchingFormat(stream, srb->CommandData.OpenFormat) < 0) status = STATUS_NO_MATCH;
      break;
    }
    case SRB_SET_DATA_FORMAT:
      status = SetDataFormat(dev, srb);
      break;
    case SRB_GET_STREAM_RATE:
      status = STATUS_NOT_IMPLEMENTED;
      break;
    default:  // including the master clock
      handled = FALSE;
      break;
  }
  *completed = handled;
  if (handled) {
    srb->Status = status;
    StreamClassStreamNotification(StreamRequestComplete, srb->StreamObject, srb);
  }
}

// ---- device requests -----------------------------------------------------------------------

static VOID GetStreamInfo(CameraDeviceState* dev, PHW_STREAM_REQUEST_BLOCK srb) {
  PHW_STREAM_DESCRIPTOR descriptor = srb->CommandData.StreamBuffer;
  ULONG streams = dev->NumberOfStreams <= 2 ? dev->NumberOfStreams : 2;
  descriptor->StreamHeader.NumberOfStreams = streams;
  descriptor->StreamHeader.SizeOfHwStreamInformation = sizeof(HW_STREAM_INFORMATION);
  for (ULONG i = 0; i < streams; ++i) descriptor->StreamInfo[i] = g_StreamInfo[i];
  descriptor->StreamHeader.DevicePropertiesArray = GetDevicePropertySets(FocusSupported());
  descriptor->StreamHeader.NumDevPropArrayEntries = kDevicePropertySetCount;
  ForwardToClassDriver(srb);
}

static VOID OpenStream(CameraDeviceState* dev, PHW_STREAM_REQUEST_BLOCK srb) {
  PHW_STREAM_OBJECT stream = srb->StreamObject;
  stream->ReceiveDataPacket = reinterpret_cast<PVOID>(&NullDataRoutine);
  stream->ReceiveControlPacket = reinterpret_cast<PVOID>(&StreamControlRoutine);
  const KSDATAFORMAT* format = srb->CommandData.OpenFormat;
  if (FindMatchingFormat(stream->StreamNumber, format) < 0) {
    CompleteDeviceRequest(srb, STATUS_INVALID_PARAMETER);
    return;
  }
  const KS_VIDEOINFOHEADER& vih = reinterpret_cast<const KS_DATAFORMAT_VIDEOINFOHEADER*>(format)->VideoInfoHeader;
  dev->StreamOpen = 1;
  dev->OpenWidth = ULONG(vih.bmiHeader.biWidth);
  dev->OpenHeight = ULONG(vih.bmiHeader.biHeight);
  ForwardToClassDriver(srb);
}

static NTSTATUS PropertyRequest(CameraDeviceState* dev, PHW_STREAM_REQUEST_BLOCK srb, bool set) {
  PSTREAM_PROPERTY_DESCRIPTOR info = srb->CommandData.PropertyInfo;
  srb->ActualBytesTransferred = 0;
  if (!info || !info->Property || info->PropertyInputSize < sizeof(KSPROPERTY)) return STATUS_INVALID_PARAMETER;
  const GUID& set_id = info->Property->Set;
  if (set_id == PROPSETID_VIDCAP_VIDEOPROCAMP)
    return set ? ProcAmpSetProperty(dev, srb) : ProcAmpGetProperty(dev, srb);
  if (set_id == PROPSETID_VIDCAP_CAMERACONTROL)
    return set ? CameraControlSetProperty(dev, srb) : CameraControlGetProperty(dev, srb);
  if (set_id == qcam::kPropSetPrivate) return set ? PrivateSetProperty(dev, srb) : PrivateGetProperty(dev, srb);
  if (set_id == PROPSETID_VIDCAP_VIDEOCONTROL)
    return set ? VideoControlSetProperty(dev, srb) : VideoControlGetProperty(dev, srb);
  return STATUS_NOT_SUPPORTED;
}

static VOID InitializeDevice(CameraDeviceState* dev, PHW_STREAM_REQUEST_BLOCK srb) {
  PPORT_CONFIGURATION_INFORMATION config = srb->CommandData.ConfigInfo;
  if (config) {
    dev->ClassDeviceObject = config->ClassDeviceObject;
    dev->PhysicalDeviceObject =
        config->RealPhysicalDeviceObject ? config->RealPhysicalDeviceObject : config->PhysicalDeviceObject;
  }
  USBCAMD_InitializeNewInterface(dev, &g_DeviceData2, USBCAMD_VERSION_200,
                                 USBCAMD_EnableDeviceEvents | USBCAMD_StillPinIsAssociated);
  ForwardToClassDriver(srb);
  SetDeviceGone(dev, false);
}

static VOID InitializationComplete(CameraDeviceState* dev, PHW_STREAM_REQUEST_BLOCK srb) {
  PUSBCAMD_INTERFACE record = static_cast<PUSBCAMD_INTERFACE>(ExAllocatePool(NonPagedPool, sizeof(USBCAMD_INTERFACE)));
  if (!record) {
    CompleteDeviceRequest(srb, STATUS_INSUFFICIENT_RESOURCES);
    return;
  }
  memset(record, 0, sizeof(*record));
  dev->ClassInterface.Interface.Version = 0;
  if (dev->ClassDeviceObject) {
    KEVENT event;
    KeInitializeEvent(&event, NotificationEvent, FALSE);
    IO_STATUS_BLOCK ioStatus = {};
    PIRP irp = IoBuildSynchronousFsdRequest(IRP_MJ_PNP, dev->ClassDeviceObject, nullptr, 0, nullptr, &event,
                                            &ioStatus);
    if (irp) {
      PIO_STACK_LOCATION stack = IoGetNextIrpStackLocation(irp);
      stack->MinorFunction = IRP_MN_QUERY_INTERFACE;
      stack->Parameters.QueryInterface.InterfaceType = &GUID_USBCAMD_INTERFACE;
      stack->Parameters.QueryInterface.Size = sizeof(USBCAMD_INTERFACE);
      stack->Parameters.QueryInterface.Version = USBCAMD_VERSION_200;
      stack->Parameters.QueryInterface.Interface = &record->Interface;
      stack->Parameters.QueryInterface.InterfaceSpecificData = nullptr;
      irp->IoStatus.Status = STATUS_NOT_SUPPORTED;
      if (IofCallDriver(dev->ClassDeviceObject, irp) == STATUS_PENDING)
        KeWaitForSingleObject(&event, Executive, KernelMode, FALSE, nullptr);
    }
    if (record->USBCAMD_SetIsoPipeState)
      dev->ClassInterface = *record;
    else
      dev->ClassInterface.Interface.Version = 0;
  }
  ExFreePool(record);
  CompleteDeviceRequest(srb, STATUS_SUCCESS);
}

static VOID SurpriseRemoval(CameraDeviceState* dev, PHW_STREAM_REQUEST_BLOCK srb) {
  {
    // Under the frame lock: a frame being finished on the stream's thread
    // is finished first. Property requests read the mark without the lock.
    std::lock_guard<std::mutex> guard(g_FrameLock);
    SetDeviceGone(dev, true);
  }
  dev->Stopped = 1;
  PHW_STREAM_OBJECT stream = srb->StreamObject;
  ForwardToClassDriver(srb);
  StreamClassAbortOutstandingRequests(dev, stream, STATUS_NOT_SUPPORTED);
  FreeSavedInterface(dev);
  ReleaseFrameBuffers();
}

static VOID AdapterReceivePacket(PHW_STREAM_REQUEST_BLOCK srb) {
  CameraDeviceState* dev =
      static_cast<CameraDeviceState*>(USBCAMD_AdapterReceivePacket(srb, nullptr, nullptr, FALSE));
  if (!dev) {
    CompleteDeviceRequest(srb, STATUS_INVALID_DEVICE_REQUEST);
    return;
  }
  switch (srb->Command) {
    case SRB_GET_STREAM_INFO:
      GetStreamInfo(dev, srb);
      break;
    case SRB_OPEN_STREAM:
      OpenStream(dev, srb);
      break;
    case SRB_CLOSE_STREAM:
      ForwardToClassDriver(srb);
      dev->StreamOpen = 0;
      break;
    case SRB_GET_DEVICE_PROPERTY:
      CompleteDeviceRequest(srb, PropertyRequest(dev, srb, false));
      break;
    case SRB_SET_DEVICE_PROPERTY:
      CompleteDeviceRequest(srb, PropertyRequest(dev, srb, true));
      break;
    case SRB_INITIALIZE_DEVICE:
      InitializeDevice(dev, srb);
      break;
    case SRB_PAGING_OUT_DRIVER:
      CompleteDeviceRequest(srb, STATUS_SUCCESS);
      break;
    case SRB_GET_DATA_INTERSECTION:
      CompleteDeviceRequest(srb, DataIntersection(srb));
      break;
    case SRB_INITIALIZATION_COMPLETE:
      InitializationComplete(dev, srb);
      break;
    case SRB_SURPRISE_REMOVAL:
      SurpriseRemoval(dev, srb);
      break;
    default:
      ForwardToClassDriver(srb);
      break;
  }
}

extern "C" NTSTATUS DriverEntry(PDRIVER_OBJECT DriverObject, PUNICODE_STRING RegistryPath) {
  return NTSTATUS(USBCAMD_DriverEntry(DriverObject, RegistryPath, sizeof(CameraDeviceState), 4,
                                      AdapterReceivePacket));
}
