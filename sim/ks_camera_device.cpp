// The plugged-in camera as a kernel-streaming device: the stream class's
// side of IOCTL_KS_PROPERTY for the simulated class driver.
#include "sim/ks_camera_device.h"

#include <cstdio>
#include <cstring>
#include <vector>

#include "sim/class_driver.h"

namespace sim {
namespace {

// KS answers methods and events of sets a device does not have with
// STATUS_NOT_FOUND; the camera has none.
constexpr NTSTATUS kStatusNotFound = NTSTATUS(0xC0000225);

// Answers a basic-support request from the minidriver's property tables:
// access flags, then for items with values the members lists (stepped
// range, default). A data buffer of 4 to 39 bytes receives the access flags
// only; a zero-length one is told the full size with STATUS_BUFFER_OVERFLOW.
NTSTATUS AnswerBasicSupport(const KSPROPERTY_SET* sets, ULONG setCount, const KSPROPERTY& property, PUCHAR out,
                            ULONG outSize, ULONG* bytesReturned) {
  const KSPROPERTY_ITEM* item = nullptr;
  for (ULONG s = 0; sets && s < setCount && !item; ++s) {
    if (!sets[s].Set || !IsEqualGUID(*sets[s].Set, property.Set)) continue;
    for (ULONG i = 0; i < sets[s].PropertiesCount; ++i)
      if (sets[s].PropertyItem[i].PropertyId == property.Id) item = &sets[s].PropertyItem[i];
  }
  if (!item) return STATUS_NOT_SUPPORTED;

  ULONG access = (item->GetSupported ? KSPROPERTY_TYPE_GET : 0) | (item->SetSupported ? KSPROPERTY_TYPE_SET : 0) |
                 KSPROPERTY_TYPE_BASICSUPPORT;
  ULONG total = sizeof(KSPROPERTY_DESCRIPTION);
  ULONG lists = item->Values ? item->Values->MembersListCount : 0;
  for (ULONG l = 0; l < lists; ++l) {
    const KSPROPERTY_MEMBERSHEADER& h = item->Values->MembersList[l].MembersHeader;
    total += sizeof(KSPROPERTY_MEMBERSHEADER) + h.MembersSize * h.MembersCount;
  }
  if (outSize == 0) {
    *bytesReturned = total;
    return STATUS_BUFFER_OVERFLOW;
  }
  if (outSize >= sizeof(ULONG) && outSize < sizeof(KSPROPERTY_DESCRIPTION)) {
    std::memcpy(out, &access, sizeof(access));
    *bytesReturned = sizeof(ULONG);
    return STATUS_SUCCESS;
  }
  if (outSize < total) return STATUS_BUFFER_TOO_SMALL;

  KSPROPERTY_DESCRIPTION d{};
  d.AccessFlags = access;
  d.DescriptionSize = total;
  if (item->Values) d.PropTypeSet = item->Values->PropTypeSet;
  d.MembersListCount = lists;
  std::memcpy(out, &d, sizeof(d));
  ULONG at = sizeof(d);
  for (ULONG l = 0; l < lists; ++l) {
    const KSPROPERTY_MEMBERSLIST& list = item->Values->MembersList[l];
    std::memcpy(out + at, &list.MembersHeader, sizeof(list.MembersHeader));
    at += sizeof(list.MembersHeader);
    ULONG bytes = list.MembersHeader.MembersSize * list.MembersHeader.MembersCount;
    std::memcpy(out + at, list.Members, bytes);
    at += bytes;
  }
  *bytesReturned = total;
  return STATUS_SUCCESS;
}

NTSTATUS Property(ClassDriver* cd, const std::vector<uint8_t>& in, std::vector<uint8_t>* out, ULONG* returned) {
  // Kernel streaming works on its own aligned copies of the caller's
  // buffers, so the minidriver never sees the caller's alignment.
  KSPROPERTY property;
  std::memcpy(&property, in.data(), sizeof(property));
  if (property.Flags & KSPROPERTY_TYPE_BASICSUPPORT)
    return AnswerBasicSupport(cd->StreamHeader().DevicePropertiesArray, cd->StreamHeader().NumDevPropArrayEntries,
                              property, out->data(), ULONG(out->size()), returned);
  const bool set = (property.Flags & KSPROPERTY_TYPE_SET) != 0;
  if (!set && !(property.Flags & KSPROPERTY_TYPE_GET)) return STATUS_INVALID_PARAMETER;
  std::vector<uint64_t> aligned((in.size() + 7) / 8);
  std::memcpy(aligned.data(), in.data(), in.size());
  return cd->DeviceProperty(set, reinterpret_cast<PKSPROPERTY>(aligned.data()), ULONG(in.size()),
                            out->empty() ? nullptr : out->data(), ULONG(out->size()), returned);
}

int32_t CameraRequest(void* context, uint32_t ioControlCode, void* inBuffer, uint32_t inSize, void* outBuffer,
                      uint32_t outSize, uint32_t* bytesReturned) {
  ClassDriver* cd = static_cast<ClassDriver*>(context);
  *bytesReturned = 0;
  if (!cd->Plugged()) return STATUS_DEVICE_NOT_CONNECTED;
  if (ioControlCode == IOCTL_KS_METHOD || ioControlCode == IOCTL_KS_ENABLE_EVENT ||
      ioControlCode == IOCTL_KS_DISABLE_EVENT)
    return kStatusNotFound;
  if (ioControlCode != IOCTL_KS_PROPERTY) return STATUS_INVALID_DEVICE_REQUEST;
  if (!inBuffer || inSize < sizeof(KSPROPERTY) || (!outBuffer && outSize)) return STATUS_INVALID_PARAMETER;

  const uint8_t* in = static_cast<const uint8_t*>(inBuffer);
  std::vector<uint8_t> input(in, in + inSize);
  std::vector<uint8_t> output(outSize);
  if (outSize) std::memcpy(output.data(), outBuffer, outSize);
  ULONG returned = 0;
  NTSTATUS status = Property(cd, input, &output, &returned);
  if (outSize) std::memcpy(outBuffer, output.data(), outSize);
  *bytesReturned = returned;
  return status;
}

uint32_t Fnv1a(const std::string& text) {
  uint32_t h = 2166136261u;
  for (unsigned char c : text) h = (h ^ c) * 16777619u;
  return h;
}

}  // namespace

std::string UsbInstanceString(uint16_t vendorId, uint16_t productId, uint32_t port) {
  char seed[48], instance[32];
  std::snprintf(seed, sizeof(seed), "USB\\VID_%04X&PID_%04X\\PORT_%u", unsigned(vendorId), unsigned(productId),
                unsigned(port));
  std::snprintf(instance, sizeof(instance), "6&%08x&0&0000", unsigned(Fnv1a(seed)));
  return instance;
}

std::string UsbCaptureInterfacePath(uint16_t vendorId, uint16_t productId, const std::string& instance) {
  char head[64];
  std::snprintf(head, sizeof(head), "\\\\?\\usb#vid_%04x&pid_%04x&mi_00#", unsigned(vendorId), unsigned(productId));
  return head + instance + "#{65e8773d-8f56-11d0-a3b9-00a0c9223196}\\global";
}

KsCameraDevice::KsCameraDevice(ClassDriver& classDriver, const KsCameraDeviceOptions& options) {
  USB_DEVICE_DESCRIPTOR d = classDriver.DeviceDescriptor();
  info_.vendorId = d.idVendor;
  info_.productId = d.idProduct;
  info_.instance = UsbInstanceString(d.idVendor, d.idProduct, options.port);
  info_.interfacePath = UsbCaptureInterfacePath(d.idVendor, d.idProduct, info_.instance);
  info_.friendlyName = options.friendlyName;
  plugged_ = platform::PlugKsDevice(info_, CameraRequest, &classDriver);
}

KsCameraDevice::~KsCameraDevice() {
  if (plugged_) platform::UnplugKsDevice(info_.interfacePath);
}

}  // namespace sim
