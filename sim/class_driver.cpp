// The simulated camera class driver QORCAMD2 and the stream class around it.
//
// It plays what the operating system's camera class driver does for a camera
// minidriver: it owns the device, the USB pipes and the isochronous stream;
// the minidriver is reached through its adapter request routine and the two
// callback tables it registers. Device start runs inside the forwarded
// SRB_INITIALIZE_DEVICE: the class driver selects the configuration, calls
// the minidriver's configure and then its initialize callback.
#include "sim/class_driver.h"

#include <algorithm>
#include <condition_variable>
#include <cstring>
#include <mutex>
#include <set>

namespace sim {

namespace {

// The alternate setting the minidriver wants for capture is the second
// 32-bit field of its device state (after the signature).
constexpr size_t kAlternateSettingOffset = 4;
constexpr ULONG kStreamCount = 2;

}  // namespace

struct ClassDriver::Impl {
  ClassDriver* owner = nullptr;
  int users = 0;  // minidriver calls in progress (guarded by the registry's lock)
  Camera* camera = nullptr;
  PHW_RECEIVE_DEVICE_SRB adapter = nullptr;
  ULONG deviceContextSize = 0;
  PUSBCAMD_DEVICE_DATA2 table2 = nullptr;
  PUSBCAMD_DEVICE_DATA table1 = nullptr;

  DRIVER_OBJECT classDriverObject = {};
  DEVICE_OBJECT classDevice = {};
  DEVICE_OBJECT physicalDevice = {};
  DEVICE_OBJECT busDevice = {};

  std::vector<uint8_t> configuration;  // at least wTotalLength bytes
  std::vector<uint8_t> interfaceInfo;  // USBD_INTERFACE_INFORMATION with two pipes
  USBCAMD_Pipe_Config_Descriptor pipeConfig[2] = {};
  USB_DEVICE_DESCRIPTOR deviceDescriptor = {};

  HW_STREAM_OBJECT streams[kStreamCount] = {};
  bool streamOpen[kStreamCount] = {false, false};
  bool capturing = false;
  bool bandwidth = false;
  bool uninitializePending = false;
  KS_DATAFORMAT_VIDEOINFOHEADER cameraFormat = {};
  KS_DATAFORMAT_VIDEOINFOHEADER applicationFormat = {};
  ULONG rawFrameLength = 0;
  std::thread::id streamingThread;

  std::mutex lock;  // guards log and completed
  std::vector<std::string> log;
  std::set<PHW_STREAM_REQUEST_BLOCK> completed;

  PVOID context() { return owner->deviceContext_.data(); }
  void Log(const std::string& what) {
    std::lock_guard<std::mutex> g(lock);
    log.push_back(what);
  }
  void MarkCompleted(PHW_STREAM_REQUEST_BLOCK srb) {
    std::lock_guard<std::mutex> g(lock);
    completed.insert(srb);
  }
  bool TakeCompleted(PHW_STREAM_REQUEST_BLOCK srb) {
    std::lock_guard<std::mutex> g(lock);
    return completed.erase(srb) != 0;
  }

  // Sends one device request to the minidriver and returns its status; a
  // request the minidriver never completed reports STATUS_UNSUCCESSFUL.
  NTSTATUS SendDeviceSrb(HW_STREAM_REQUEST_BLOCK* srb, const char* name) {
    Log(name);
    srb->SizeOfThisPacket = sizeof(*srb);
    srb->HwDeviceExtension = context();
    adapter(srb);
    if (!TakeCompleted(srb)) return STATUS_UNSUCCESSFUL;
    return srb->Status;
  }

  // Sends one stream request to the minidriver's control routine; requests it
  // leaves to the class driver are answered here.
  NTSTATUS SendStreamSrb(ULONG stream, ULONG command, PVOID data, const char* name) {
    Log(name);
    HW_STREAM_REQUEST_BLOCK srb = {};
    srb.SizeOfThisPacket = sizeof(srb);
    srb.Command = command;
    srb.StreamObject = &streams[stream];
    srb.HwDeviceExtension = context();
    srb.CommandData.Raw = data;
    BOOLEAN done = FALSE;
    auto routine = reinterpret_cast<PCAM_RECEIVE_PACKET_ROUTINE>(streams[stream].ReceiveControlPacket);
    if (routine) routine(&srb, context(), &done);
    if (done) {
      TakeCompleted(&srb);
      return srb.Status;
    }
    return STATUS_SUCCESS;  // stream state and properties: the class driver's own business
  }

  ULONG AlternateSettingWanted() {
    ULONG alt = 0;
    memcpy(&alt, owner->deviceContext_.data() + kAlternateSettingOffset, sizeof(alt));
    return alt;
  }

  // ---- finding the class driver a minidriver call names ----
  // Every class driver alive. The minidriver's calls name their device (its
  // device context, a stream object of it, or, while it loads, the class
  // driver plugging it on this thread), so that with several cameras plugged
  // each call reaches its own class driver; a call holds that class driver
  // until it returns, and a class driver going away waits for its calls.
  struct Registry {
    std::mutex lock;
    std::condition_variable idle;
    std::vector<Impl*> live;
  };
  static Registry& Live() {
    static Registry* r = new Registry;
    return *r;
  }
  static Impl*& Plugging() {
    static thread_local Impl* plugging = nullptr;
    return plugging;
  }
  // Holds the live class driver that `match` picks (none: null) for the
  // length of one call.
  class Held {
   public:
    template <typename Match>
    explicit Held(Match match) {
      Registry& r = Live();
      std::lock_guard<std::mutex> g(r.lock);
      for (Impl* i : r.live)
        if (match(i)) {
          impl_ = i;
          ++i->users;
          break;
        }
    }
    ~Held() {
      if (!impl_) return;
      Registry& r = Live();
      std::lock_guard<std::mutex> g(r.lock);
      if (--impl_->users == 0) r.idle.notify_all();
    }
    Held(const Held&) = delete;
    Held& operator=(const Held&) = delete;
    Impl* operator->() const { return impl_; }
    explicit operator bool() const { return impl_ != nullptr; }

   private:
    Impl* impl_ = nullptr;
  };
  static Held ByContext(PVOID deviceContext) {
    return Held([deviceContext](Impl* i) { return deviceContext != nullptr && i->context() == deviceContext; });
  }
  static Held ByStream(PHW_STREAM_OBJECT stream) {
    return Held([stream](Impl* i) { return stream >= i->streams && stream < i->streams + kStreamCount; });
  }

  // ---- entry points the minidriver calls ----
  static ULONG DriverEntryThunk(void*, PVOID, PVOID, ULONG deviceContextSize, ULONG,
                                PHW_RECEIVE_DEVICE_SRB receive) {
    Impl* self = Plugging();
    if (!self) return ULONG(STATUS_DEVICE_NOT_CONNECTED);
    self->deviceContextSize = deviceContextSize;
    self->adapter = receive;
    return ULONG(STATUS_SUCCESS);
  }
  static PVOID AdapterReceivePacketThunk(void*, PHW_STREAM_REQUEST_BLOCK srb, PUSBCAMD_DEVICE_DATA data,
                                         PDEVICE_OBJECT* deviceObject, BOOLEAN needsCompletion) {
    Held self = ByContext(srb ? srb->HwDeviceExtension : nullptr);
    if (!self) return nullptr;
    if (deviceObject) *deviceObject = &self->busDevice;
    if (!needsCompletion) return self->context();
    if (data) self->table1 = data;
    self->ProcessForwarded(srb);
    return self->context();
  }
  static ULONG InitializeNewInterfaceThunk(void*, PVOID deviceContext, PVOID data, ULONG, ULONG) {
    Held self = ByContext(deviceContext);
    if (self) self->table2 = static_cast<PUSBCAMD_DEVICE_DATA2>(data);
    return 0;
  }
  static NTSTATUS ControlVendorCommandThunk(void*, PVOID deviceContext, UCHAR request, USHORT value, USHORT index,
                                            PVOID buffer, PULONG length, BOOLEAN getData) {
    Held self = ByContext(deviceContext);
    if (!self || !self->camera || !self->owner->plugged_) return STATUS_DEVICE_NOT_CONNECTED;
    uint32_t len = length ? *length : 0;
    NTSTATUS st = self->camera->ControlTransfer(request, value, index, static_cast<uint8_t*>(buffer), &len,
                                                getData != 0);
    if (length) *length = len;
    return st;
  }
  static NTSTATUS CheckSnapshopButtonThunk(void*, PVOID deviceContext, PULONG state) {
    Held self = ByContext(deviceContext);
    if (!self || !self->camera || !self->owner->plugged_) return STATUS_DEVICE_NOT_CONNECTED;
    if (state) *state = self->camera->TakeButtonState();
    return STATUS_SUCCESS;
  }
  static void DeviceNotificationThunk(void*, PVOID deviceContext, PHW_STREAM_REQUEST_BLOCK srb) {
    if (Held self = ByContext(deviceContext)) self->MarkCompleted(srb);
  }
  static void StreamNotificationThunk(void*, PHW_STREAM_OBJECT stream, PHW_STREAM_REQUEST_BLOCK srb) {
    if (Held self = ByStream(stream)) self->MarkCompleted(srb);
  }
  static void AbortThunk(void*, PVOID deviceContext, PHW_STREAM_OBJECT, NTSTATUS) {
    if (Held self = ByContext(deviceContext)) self->Log("abort-outstanding-requests");
  }

  // The interface record answered to the minidriver's plug-and-play query.
  static NTSTATUS SetVideoFormatRoutine(PVOID, PHW_STREAM_REQUEST_BLOCK) { return TRUE; }
  static NTSTATUS SetIsoPipeStateRoutine(PVOID, ULONG) { return STATUS_SUCCESS; }
  static NTSTATUS CommitBracketRoutine(PVOID, ULONG) { return STATUS_SUCCESS; }
  static NTSTATUS PnpDispatch(PDEVICE_OBJECT device, PIRP irp) {
    Impl* self = static_cast<Impl*>(device->DeviceExtension);
    PIO_STACK_LOCATION stack = IoGetCurrentIrpStackLocation(irp);
    if (stack->MinorFunction == IRP_MN_QUERY_INTERFACE && stack->Parameters.QueryInterface.InterfaceType &&
        *stack->Parameters.QueryInterface.InterfaceType == GUID_USBCAMD_INTERFACE &&
        stack->Parameters.QueryInterface.Size >= sizeof(USBCAMD_INTERFACE) &&
        stack->Parameters.QueryInterface.Interface) {
      self->Log("query-interface");
      PUSBCAMD_INTERFACE record = reinterpret_cast<PUSBCAMD_INTERFACE>(stack->Parameters.QueryInterface.Interface);
      record->Interface.Size = sizeof(USBCAMD_INTERFACE);
      record->Interface.Version = USBCAMD_VERSION_200;
      record->Interface.Context = self->context();
      record->USBCAMD_SetVideoFormat = SetVideoFormatRoutine;
      record->USBCAMD_SetIsoPipeState = SetIsoPipeStateRoutine;
      record->USBCAMD_CommitBracket = CommitBracketRoutine;
      irp->IoStatus.Status = STATUS_SUCCESS;
    }
    return irp->IoStatus.Status;
  }

  // Requests the minidriver forwards for the class driver to process.
  void ProcessForwarded(PHW_STREAM_REQUEST_BLOCK srb) {
    NTSTATUS status = STATUS_SUCCESS;
    switch (srb->Command) {
      case SRB_INITIALIZE_DEVICE:
        status = StartDevice();
        break;
      case SRB_GET_STREAM_INFO: {
        PHW_STREAM_DESCRIPTOR d = srb->CommandData.StreamBuffer;
        owner->streamHeader_ = d->StreamHeader;
        owner->streamInfo_.assign(d->StreamInfo, d->StreamInfo + (d->StreamHeader.NumberOfStreams <= kStreamCount
                                                                      ? d->StreamHeader.NumberOfStreams
                                                                      : kStreamCount));
        break;
      }
      case SRB_OPEN_STREAM:
        if (srb->StreamObject && srb->StreamObject->StreamNumber < kStreamCount)
          streamOpen[srb->StreamObject->StreamNumber] = true;
        break;
      case SRB_CLOSE_STREAM:
        if (srb->StreamObject && srb->StreamObject->StreamNumber < kStreamCount)
          streamOpen[srb->StreamObject->StreamNumber] = false;
        break;
      case SRB_SURPRISE_REMOVAL:
        if (camera) camera->SetAlternateSetting(0);
        break;
      default:
        status = STATUS_NOT_IMPLEMENTED;
        break;
    }
    srb->Status = status;
    MarkCompleted(srb);
  }

  NTSTATUS StartDevice() {
    if (!table2) return STATUS_UNSUCCESSFUL;
    PUSBD_INTERFACE_INFORMATION info = reinterpret_cast<PUSBD_INTERFACE_INFORMATION>(interfaceInfo.data());
    Log("configure");
    NTSTATUS status = table2->CamConfigureEx(&busDevice, context(), info,
                                             reinterpret_cast<PUSB_CONFIGURATION_DESCRIPTOR>(configuration.data()),
                                             2, pipeConfig, &deviceDescriptor);
    if (!NT_SUCCESS(status)) return status;
    Log("initialize");
    return table2->CamInitialize(&busDevice, context());
  }
};

ClassDriver::ClassDriver() : impl_(new Impl) {
  impl_->owner = this;
  impl_->classDriverObject.MajorFunction[IRP_MJ_PNP] = Impl::PnpDispatch;
  impl_->classDevice.DriverObject = &impl_->classDriverObject;
  impl_->classDevice.DeviceExtension = impl_;
  for (ULONG i = 0; i < kStreamCount; ++i) {
    impl_->streams[i].SizeOfThisPacket = sizeof(HW_STREAM_OBJECT);
    impl_->streams[i].StreamNumber = i;
  }
  // One pair of hosts serves every class driver alive: each call finds its
  // own by the device it names.
  static const platform::UsbcamdHost kUsbcamd = {Impl::DriverEntryThunk, Impl::AdapterReceivePacketThunk,
                                                 Impl::InitializeNewInterfaceThunk, Impl::ControlVendorCommandThunk,
                                                 Impl::CheckSnapshopButtonThunk, nullptr};
  static const platform::StreamClassHost kStream = {Impl::DeviceNotificationThunk, Impl::StreamNotificationThunk,
                                                    Impl::AbortThunk, nullptr};
  Impl::Registry& r = Impl::Live();
  std::lock_guard<std::mutex> g(r.lock);
  r.live.push_back(impl_);
  platform::UsbcamdSetHost(&kUsbcamd);
  platform::StreamClassSetHost(&kStream);
}

ClassDriver::~ClassDriver() {
  if (impl_->streamOpen[0] || impl_->bandwidth) CloseStream();
  if (plugged_) Unplug();
  if (impl_->uninitializePending && impl_->table2) {
    impl_->Log("uninitialize");
    impl_->table2->CamUnInitialize(&impl_->busDevice, DeviceContext());
  }
  {
    Impl::Registry& r = Impl::Live();
    std::unique_lock<std::mutex> g(r.lock);
    r.live.erase(std::find(r.live.begin(), r.live.end(), impl_));
    r.idle.wait(g, [this] { return impl_->users == 0; });
    if (r.live.empty()) {
      platform::UsbcamdSetHost(nullptr);
      platform::StreamClassSetHost(nullptr);
    }
  }
  delete impl_;
}

NTSTATUS ClassDriver::Plug(MinidriverEntry entry, Camera* camera) {
  Impl& m = *impl_;
  if (plugged_ || !camera || !entry) return STATUS_INVALID_PARAMETER;
  m.camera = camera;
  m.Log("DriverEntry");
  Impl::Plugging() = impl_;
  NTSTATUS status = entry(&m.classDriverObject, nullptr);
  Impl::Plugging() = nullptr;
  if (!NT_SUCCESS(status) || !m.adapter) return NT_SUCCESS(status) ? STATUS_UNSUCCESSFUL : status;
  deviceContext_.assign(m.deviceContextSize, 0);

  // The configuration descriptor as the device returns it: wTotalLength bytes.
  const std::vector<uint8_t>& desc = camera->ConfigurationDescriptor();
  size_t total = desc.size() >= 4 ? size_t(desc[2] | (desc[3] << 8)) : 0;
  m.configuration.assign(std::max(std::max(total, desc.size()), sizeof(USB_CONFIGURATION_DESCRIPTOR)), 0);
  std::copy(desc.begin(), desc.end(), m.configuration.begin());
  if (total > desc.size()) {
    // A device that announces more than it returns: the class driver hands
    // over only what it received.
    m.configuration[2] = uint8_t(desc.size());
    m.configuration[3] = uint8_t(desc.size() >> 8);
  }
  m.deviceDescriptor = camera->DeviceDescriptor();

  m.interfaceInfo.assign(UsbdInterfaceInformationSize(2), 0);
  PUSBD_INTERFACE_INFORMATION info = reinterpret_cast<PUSBD_INTERFACE_INFORMATION>(m.interfaceInfo.data());
  info->Length = UsbdInterfaceInformationSize(2);
  info->InterfaceNumber = 1;
  info->Class = 0x0E;
  info->SubClass = 0x02;
  info->NumberOfPipes = 2;
  info->Pipes[0].EndpointAddress = 0x81;
  info->Pipes[0].PipeType = 1;  // isochronous
  info->Pipes[0].MaximumPacketSize = USHORT(camera->MaxPacketSize(1));
  info->Pipes[1].EndpointAddress = 0x82;
  info->Pipes[1].PipeType = 3;  // interrupt
  info->Pipes[1].MaximumPacketSize = 8;

  plugged_ = true;
  HW_STREAM_REQUEST_BLOCK init = {};
  init.Command = SRB_INITIALIZE_DEVICE;
  PORT_CONFIGURATION_INFORMATION config = {};
  config.SizeOfThisPacket = sizeof(config);
  config.HwDeviceExtension = DeviceContext();
  config.ClassDeviceObject = &m.classDevice;
  config.PhysicalDeviceObject = &m.physicalDevice;
  init.CommandData.ConfigInfo = &config;
  status = m.SendDeviceSrb(&init, "SRB_INITIALIZE_DEVICE");
  if (!NT_SUCCESS(status)) {
    plugged_ = false;
    return status;
  }
  m.uninitializePending = true;

  HW_STREAM_REQUEST_BLOCK complete = {};
  complete.Command = SRB_INITIALIZATION_COMPLETE;
  status = m.SendDeviceSrb(&complete, "SRB_INITIALIZATION_COMPLETE");
  if (!NT_SUCCESS(status)) return status;

  // Stream information: header plus two stream records.
  std::vector<uint8_t> buffer(sizeof(HW_STREAM_HEADER) + kStreamCount * sizeof(HW_STREAM_INFORMATION), 0);
  HW_STREAM_REQUEST_BLOCK info_srb = {};
  info_srb.Command = SRB_GET_STREAM_INFO;
  info_srb.CommandData.StreamBuffer = reinterpret_cast<PHW_STREAM_DESCRIPTOR>(buffer.data());
  return m.SendDeviceSrb(&info_srb, "SRB_GET_STREAM_INFO");
}

void ClassDriver::Unplug() {
  Impl& m = *impl_;
  if (!plugged_) return;
  HW_STREAM_REQUEST_BLOCK srb = {};
  srb.Command = SRB_SURPRISE_REMOVAL;
  m.SendDeviceSrb(&srb, "SRB_SURPRISE_REMOVAL");
  plugged_ = false;
  // With a stream still open, uninitialize follows its teardown.
  if (!m.streamOpen[0] && !m.bandwidth && m.table2) {
    m.uninitializePending = false;
    m.Log("uninitialize");
    m.table2->CamUnInitialize(&m.busDevice, DeviceContext());
  }
}

NTSTATUS ClassDriver::DataIntersection(ULONG stream, PKSDATARANGE range, PVOID buffer, ULONG bufferSize,
                                       ULONG* actual) {
  STREAM_DATA_INTERSECT_INFO info = {stream, range, buffer, bufferSize};
  HW_STREAM_REQUEST_BLOCK srb = {};
  srb.Command = SRB_GET_DATA_INTERSECTION;
  srb.CommandData.IntersectInfo = &info;
  NTSTATUS status = impl_->SendDeviceSrb(&srb, "SRB_GET_DATA_INTERSECTION");
  if (actual) *actual = srb.ActualBytesTransferred;
  return status;
}

NTSTATUS ClassDriver::DeviceProperty(bool set, PKSPROPERTY property, ULONG propertySize, PVOID data,
                                     ULONG dataSize, ULONG* bytesReturned) {
  STREAM_PROPERTY_DESCRIPTOR descriptor = {};
  descriptor.Property = property;
  descriptor.PropertySetID = ULONG(-1);
  for (ULONG i = 0; property && streamHeader_.DevicePropertiesArray && i < streamHeader_.NumDevPropArrayEntries; ++i)
    if (streamHeader_.DevicePropertiesArray[i].Set && *streamHeader_.DevicePropertiesArray[i].Set == property->Set)
      descriptor.PropertySetID = i;
  descriptor.PropertyInfo = data;
  descriptor.PropertyInputSize = propertySize;
  descriptor.PropertyOutputSize = dataSize;
  HW_STREAM_REQUEST_BLOCK srb = {};
  srb.Command = set ? SRB_SET_DEVICE_PROPERTY : SRB_GET_DEVICE_PROPERTY;
  srb.CommandData.PropertyInfo = &descriptor;
  NTSTATUS status = impl_->SendDeviceSrb(&srb, set ? "SRB_SET_DEVICE_PROPERTY" : "SRB_GET_DEVICE_PROPERTY");
  if (bytesReturned) *bytesReturned = srb.ActualBytesTransferred;
  return status;
}

NTSTATUS ClassDriver::OpenStream(ULONG stream, const KS_DATAFORMAT_VIDEOINFOHEADER& cameraFormat,
                                 const KS_DATAFORMAT_VIDEOINFOHEADER* applicationFormat) {
  Impl& m = *impl_;
  if (!plugged_) return STATUS_DEVICE_NOT_CONNECTED;
  if (stream >= kStreamCount || m.streamOpen[stream]) return STATUS_INVALID_PARAMETER;
  m.cameraFormat = cameraFormat;
  m.applicationFormat = applicationFormat ? *applicationFormat : cameraFormat;

  HW_STREAM_REQUEST_BLOCK open = {};
  open.Command = SRB_OPEN_STREAM;
  open.StreamObject = &m.streams[stream];
  open.CommandData.OpenFormat = &m.cameraFormat.DataFormat;
  NTSTATUS status = m.SendDeviceSrb(&open, "SRB_OPEN_STREAM");
  if (!NT_SUCCESS(status)) return status;
  status = m.SendStreamSrb(stream, SRB_SET_DATA_FORMAT, &m.cameraFormat.DataFormat, "SRB_SET_DATA_FORMAT");
  if (!NT_SUCCESS(status)) return status;
  if (stream != 0) return STATUS_SUCCESS;

  m.Log("allocate-bandwidth");
  status = m.table2->CamAllocateBandwidthEx(&m.busDevice, DeviceContext(), &m.rawFrameLength,
                                            &m.applicationFormat, 0);
  if (!NT_SUCCESS(status)) return status;
  m.bandwidth = true;
  m.Log("start-capture");
  status = m.table2->CamStartCaptureEx(&m.busDevice, DeviceContext(), 0);
  if (!NT_SUCCESS(status)) return status;
  m.capturing = true;
  m.camera->SetAlternateSetting(m.AlternateSettingWanted());
  return STATUS_SUCCESS;
}

NTSTATUS ClassDriver::Run(uint32_t frames, const std::function<bool(const DeliveredFrame&)>& onFrame) {
  Impl& m = *impl_;
  if (!m.capturing) return STATUS_INVALID_DEVICE_REQUEST;
  NTSTATUS result = STATUS_SUCCESS;
  std::thread worker([&] {
    m.streamingThread = std::this_thread::get_id();
    std::vector<uint8_t> raw(m.rawFrameLength);
    ULONG used = 0, packetsInFrame = 0;
    bool overflow = false;
    uint32_t delivered = 0;
    ULONG outputSize = m.applicationFormat.VideoInfoHeader.bmiHeader.biSizeImage;
    bool stop = false;
    bool still = false;
    auto append = [&](const std::vector<uint8_t>& packet, ULONG offset, ULONG length) {
      if (length == 0 || offset > packet.size() || length > packet.size() - offset) return;
      ULONG room = ULONG(raw.size()) - used;
      ULONG take = length <= room ? length : room;
      if (take < length) overflow = true;
      memcpy(raw.data() + used, packet.data() + offset, take);
      used += take;
      packetsInFrame++;
    };
    auto deliver = [&] {
      m.Log("frame");
      DeliveredFrame frame;
      frame.number = delivered + 1;
      frame.data.assign(outputSize, 0);
      ULONG bytes = 0;
      m.table2->CamProcessRawVideoFrameEx(&m.busDevice, DeviceContext(), nullptr, frame.data.data(), outputSize,
                                          raw.data(), ULONG(raw.size()), packetsInFrame, &bytes, used, 0);
      frame.bytesReturned = overflow ? 0 : bytes;
      frame.still = still;
      used = 0;
      packetsInFrame = 0;
      overflow = false;
      still = false;
      ++delivered;
      if (!plugged_) return;  // removed while the frame was processed: not handed on
      if (!onFrame(frame) || delivered >= frames) stop = true;
    };
    while (!stop && plugged_) {
      std::vector<std::vector<uint8_t>> packets;
      m.camera->NextFramePackets(&packets);
      if (packets.empty()) break;
      m.Log("packets");
      for (const std::vector<uint8_t>& packet : packets) {
        if (stop) break;
        if (!plugged_) {
          // Removed mid-frame: the transfer in flight still completes into
          // the minidriver, which must leave it alone.
          if (used) deliver();
          stop = true;
          break;
        }
        USBD_ISO_PACKET_DESCRIPTOR iso = {0, ULONG(packet.size()), 0};
        BOOLEAN complete = FALSE;
        ULONG flags = 0, offset = 0;
        ULONG length = m.table2->CamProcessUSBPacketEx(&m.busDevice, DeviceContext(), nullptr, nullptr, nullptr,
                                                       &iso, const_cast<uint8_t*>(packet.data()), &complete,
                                                       &flags, &offset);
        bool markedStill = (flags & USBCAMD_PROCESSPACKETEX_CurrentFrameIsStill) != 0;
        // A frame ends either with the packet that carries the end-of-frame
        // bit or just before the packet after it; the header tells which.
        // In the second case the packet, and its still mark, open the next frame.
        bool endsHere = packet.size() > 1 && (packet[1] & 0x02);
        if (complete && !endsHere) {
          if (used || packetsInFrame) deliver();
          if (stop) break;
        }
        still = still || markedStill;
        append(packet, offset, length);
        if (complete && endsHere) deliver();
      }
    }
    if (!plugged_) result = STATUS_DEVICE_NOT_CONNECTED;
  });
  worker.join();
  return result;
}

NTSTATUS ClassDriver::CloseStream() {
  Impl& m = *impl_;
  NTSTATUS status = STATUS_SUCCESS;
  if (m.capturing) {
    m.camera->SetAlternateSetting(0);
    m.Log("stop-capture");
    status = m.table2->CamStopCaptureEx(&m.busDevice, DeviceContext(), 0);
    m.capturing = false;
  }
  if (m.bandwidth) {
    m.Log("free-bandwidth");
    m.table2->CamFreeBandwidthEx(&m.busDevice, DeviceContext(), 0);
    m.bandwidth = false;
  }
  if (m.streamOpen[0]) {
    HW_STREAM_REQUEST_BLOCK close = {};
    close.Command = SRB_CLOSE_STREAM;
    close.StreamObject = &m.streams[0];
    m.SendDeviceSrb(&close, "SRB_CLOSE_STREAM");
    m.streamOpen[0] = false;
  }
  if (!plugged_ && m.uninitializePending && m.table2) {
    m.uninitializePending = false;
    m.Log("uninitialize");
    m.table2->CamUnInitialize(&m.busDevice, DeviceContext());
  }
  return status;
}

USB_DEVICE_DESCRIPTOR ClassDriver::DeviceDescriptor() const { return impl_->deviceDescriptor; }

const USBCAMD_DEVICE_DATA2* ClassDriver::Callbacks() const { return impl_->table2; }

std::vector<std::string> ClassDriver::CallLog() const {
  std::lock_guard<std::mutex> g(impl_->lock);
  return impl_->log;
}

}  // namespace sim
