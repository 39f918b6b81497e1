// Fuzzes the packet routine and the frame pipeline of a plugged-in camera:
// the input is cut into isochronous packets (a length byte, then that many
// bytes), each goes through the packet routine, and every completed frame
// through raw frame processing of a 160x120 YUY2 stream.
#include <cstdint>
#include <cstring>
#include <memory>
#include <vector>

#include "tests/support/driver_rig.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static rig::DriverRig* rig = new rig::DriverRig(qcam::kFourCC_YUY2, 160, 120);
  if (size > 200000) return 0;
  const USBCAMD_DEVICE_DATA2* cb = rig->cb();
  CameraDeviceState* dev = rig->dev;
  dev->EndOfFrameMode = size ? data[0] & 1 : 0;
  std::vector<uint8_t> raw, out(160 * 120 * 2);
  size_t pos = size ? 1 : 0;
  while (pos < size) {
    size_t len = size_t(data[pos]) * 8;  // packets of up to 2 KiB
    ++pos;
    if (len > size - pos) len = size - pos;
    std::vector<uint8_t> packet(data + pos, data + pos + len);  // exact size
    pos += len;
    USBD_ISO_PACKET_DESCRIPTOR iso = {0, ULONG(packet.size()), 0};
    BOOLEAN complete = FALSE;
    ULONG flags = 0, offset = 0;
    ULONG n = cb->CamProcessUSBPacketEx(nullptr, dev, nullptr, nullptr, nullptr, &iso,
                                        packet.empty() ? nullptr : packet.data(), &complete, &flags, &offset);
    if (n > packet.size() || (n && offset + n > packet.size())) __builtin_trap();
    if (n) raw.insert(raw.end(), packet.begin() + offset, packet.begin() + offset + n);
    if (complete) {
      ULONG bytes = 0;
      std::vector<uint8_t> exact(raw);
      cb->CamProcessRawVideoFrameEx(nullptr, dev, nullptr, out.data(), ULONG(out.size()),
                                    exact.empty() ? nullptr : exact.data(), ULONG(exact.size()), 1, &bytes,
                                    ULONG(exact.size()), 0);
      if (bytes > out.size()) __builtin_trap();
      raw.clear();
    }
  }
  dev->StillPending = 0;
  return 0;
}
