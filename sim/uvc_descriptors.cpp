// Configuration descriptors of the built-in camera profiles and the bounded
// descriptor walk.
#include "sim/uvc_descriptors.h"

#include <algorithm>
#include <cstring>

namespace sim {
namespace {

uint16_t Le16(const uint8_t* p) { return uint16_t(p[0] | (p[1] << 8)); }
uint32_t Le32(const uint8_t* p) { return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24; }

// {32595559-0000-0010-8000-00AA00389B71}: YUY2 as stored in a format descriptor.
constexpr uint8_t kGuidYuy2[16] = {'Y', 'U', 'Y', '2', 0x00, 0x00, 0x10, 0x00,
                                   0x80, 0x00, 0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71};
// The bridge chip's extension unit.
constexpr uint8_t kGuidBridgeXu[16] = {0x5C, 0x2E, 0x8B, 0x3A, 0x41, 0x7D, 0x4E, 0x0B,
                                       0x9A, 0x21, 0x6F, 0x37, 0xC4, 0x05, 0xD2, 0x18};

// ---- building ---------------------------------------------------------------

class Writer {
 public:
  void U8(uint8_t v) { bytes_.push_back(v); }
  void U16(uint16_t v) {
    U8(uint8_t(v));
    U8(uint8_t(v >> 8));
  }
  void U32(uint32_t v) {
    U16(uint16_t(v));
    U16(uint16_t(v >> 16));
  }
  void Bytes(const uint8_t* p, size_t n) { bytes_.insert(bytes_.end(), p, p + n); }
  size_t Size() const { return bytes_.size(); }
  void Patch16(size_t at, uint16_t v) {
    bytes_[at] = uint8_t(v);
    bytes_[at + 1] = uint8_t(v >> 8);
  }
  void Patch8(size_t at, uint8_t v) { bytes_[at] = v; }
  std::vector<uint8_t>& Data() { return bytes_; }

 private:
  std::vector<uint8_t> bytes_;
};

struct ProfileFrame {
  uint16_t width, height;
  std::vector<uint32_t> intervals;  // the first one is the default
};

struct Profile {
  std::vector<ProfileFrame> mjpeg;
  std::vector<ProfileFrame> yuy2;
  std::vector<uint16_t> altPackets;  // wMaxPacketSize values, high-bandwidth encoded
  bool focus = false;
  uint16_t productId = 0;
};

// wMaxPacketSize of a high-speed isochronous endpoint carrying `transactions`
// transactions of `size` bytes per microframe.
constexpr uint16_t HighBandwidth(uint16_t size, int transactions) {
  return uint16_t(((transactions - 1) << 11) | size);
}

bool GetProfile(const std::string& name, Profile* p) {
  const std::vector<uint32_t> rates = {333333, 666666, 1000000, 2000000};
  if (name == "notebook") {
    p->mjpeg = {{640, 480, rates}, {1280, 720, rates}, {352, 288, rates},
                {320, 240, rates}, {176, 144, rates}, {160, 120, rates}};
    p->yuy2 = {{640, 480, rates}, {352, 288, rates}, {320, 240, rates},
               {176, 144, rates}, {160, 120, rates}, {1280, 720, {1000000, 2000000}}};
    p->altPackets = {128, 256, 512, 1024, HighBandwidth(1024, 2), HighBandwidth(896, 3), HighBandwidth(1024, 3)};
    p->focus = true;
    p->productId = 0x9710;
    return true;
  }
  if (name == "basic") {
    p->mjpeg = {{640, 480, rates}, {352, 288, rates}, {320, 240, rates}, {176, 144, rates}, {160, 120, rates}};
    p->altPackets = {956, HighBandwidth(1024, 3)};
    p->focus = false;
    p->productId = 0x9711;
    return true;
  }
  return false;
}

void WriteFrames(Writer* w, uint8_t subtype, const std::vector<ProfileFrame>& frames, int bitsPerPixel) {
  uint8_t index = 1;
  for (const auto& f : frames) {
    const uint32_t pixels = uint32_t(f.width) * f.height;
    w->U8(uint8_t(26 + 4 * f.intervals.size()));
    w->U8(uvc::CS_INTERFACE);
    w->U8(subtype);
    w->U8(index++);
    w->U8(0);  // bmCapabilities
    w->U16(f.width);
    w->U16(f.height);
    w->U32(pixels * bitsPerPixel * uint32_t(10000000 / f.intervals.back()));  // dwMinBitRate
    w->U32(pixels * bitsPerPixel * uint32_t(10000000 / f.intervals.front()));  // dwMaxBitRate
    w->U32(pixels * 2);  // dwMaxVideoFrameBufferSize
    w->U32(f.intervals.front());
    w->U8(uint8_t(f.intervals.size()));
    for (uint32_t iv : f.intervals) w->U32(iv);
  }
}

void WriteStill(Writer* w, const std::vector<ProfileFrame>& frames, const std::vector<uint8_t>& compression) {
  w->U8(uint8_t(5 + 4 * frames.size() + 1 + compression.size()));
  w->U8(uvc::CS_INTERFACE);
  w->U8(uvc::VS_STILL_IMAGE_FRAME);
  w->U8(0);  // bEndpointAddress: stills ride on the video endpoint
  w->U8(uint8_t(frames.size()));
  for (const auto& f : frames) {
    w->U16(f.width);
    w->U16(f.height);
  }
  w->U8(uint8_t(compression.size()));
  for (uint8_t c : compression) w->U8(c);
}

void WriteColorMatching(Writer* w) {
  const uint8_t d[6] = {6, uvc::CS_INTERFACE, uvc::VS_COLORFORMAT, 1, 1, 4};
  w->Bytes(d, sizeof(d));
}

void WriteInterface(Writer* w, uint8_t number, uint8_t alt, uint8_t endpoints, uint8_t subclass, uint8_t str) {
  const uint8_t d[9] = {9, uvc::USB_DT_INTERFACE, number, alt, endpoints, uvc::CC_VIDEO, subclass, 0, str};
  w->Bytes(d, sizeof(d));
}

// The video control interface: its header, camera terminal 1, processing
// unit 4, the bridge's extension unit 5, output terminal 3 and the status
// endpoint.
void WriteVideoControl(Writer* w, const Profile& p) {
  WriteInterface(w, 0, 0, 1, uvc::SC_VIDEOCONTROL, 2);
  const size_t vcHeader = w->Size();
  w->U8(13);
  w->U8(uvc::CS_INTERFACE);
  w->U8(uvc::VC_HEADER);
  w->U16(0x0100);  // UVC 1.0
  w->U16(0);       // wTotalLength, patched
  w->U32(48000000);
  w->U8(1);
  w->U8(1);  // streaming interface 1
  // Camera terminal 1.
  w->U8(18);
  w->U8(uvc::CS_INTERFACE);
  w->U8(uvc::VC_INPUT_TERMINAL);
  w->U8(1);
  w->U16(uvc::ITT_CAMERA);
  w->U8(0);
  w->U8(0);
  w->U16(0);
  w->U16(0);
  w->U16(0);
  w->U8(3);
  // Auto-exposure mode (bit 1), exposure time absolute (bit 3), focus absolute
  // (bit 5), focus auto (bit 17).
  w->U8(p.focus ? 0x2A : 0x0A);
  w->U8(0x00);
  w->U8(p.focus ? 0x02 : 0x00);
  // Processing unit 4: brightness, contrast, hue, saturation, sharpness,
  // gamma, white-balance temperature; backlight, gain, power line, white
  // balance temperature auto.
  w->U8(11);
  w->U8(uvc::CS_INTERFACE);
  w->U8(uvc::VC_PROCESSING_UNIT);
  w->U8(4);
  w->U8(1);
  w->U16(0);
  w->U8(2);
  w->U8(0x7F);
  w->U8(0x17);
  w->U8(0);
  // Extension unit 5 (bridge registers).
  w->U8(27);
  w->U8(uvc::CS_INTERFACE);
  w->U8(uvc::VC_EXTENSION_UNIT);
  w->U8(5);
  w->Bytes(kGuidBridgeXu, 16);
  w->U8(2);  // controls
  w->U8(1);  // input pins
  w->U8(4);  // source: processing unit
  w->U8(2);  // control size
  w->U8(0x0A);  // selectors 2 and 4
  w->U8(0x00);
  w->U8(0);
  // Output terminal 3 (USB streaming).
  const uint8_t ot[9] = {9, uvc::CS_INTERFACE, uvc::VC_OUTPUT_TERMINAL, 3, 0x01, 0x01, 0, 5, 0};
  w->Bytes(ot, sizeof(ot));
  w->Patch16(vcHeader + 5, uint16_t(w->Size() - vcHeader));
  // Status interrupt endpoint.
  const uint8_t ep[7] = {7, uvc::USB_DT_ENDPOINT, 0x83, 0x03, 0x10, 0x00, 0x06};
  w->Bytes(ep, sizeof(ep));
  const uint8_t csEp[5] = {5, 0x25, 0x03, 0x10, 0x00};
  w->Bytes(csEp, sizeof(csEp));
}

// The video streaming interface's setting 0: the input header, the MJPEG
// format and, when the profile has one, the uncompressed format, each with
// its frames, still image frame and colour matching.
void WriteVideoStreaming(Writer* w, const Profile& p) {
  WriteInterface(w, 1, 0, 0, uvc::SC_VIDEOSTREAMING, 0);
  const uint8_t formats = p.yuy2.empty() ? 1 : 2;
  const size_t vsHeader = w->Size();
  w->U8(uint8_t(13 + formats));
  w->U8(uvc::CS_INTERFACE);
  w->U8(uvc::VS_INPUT_HEADER);
  w->U8(formats);
  w->U16(0);  // patched
  w->U8(0x81);
  w->U8(0);     // bmInfo
  w->U8(3);     // terminal link
  w->U8(2);     // still capture method 2
  w->U8(1);     // hardware trigger supported (the snapshot button)
  w->U8(0);     // trigger usage: still image
  w->U8(1);     // control size
  for (int i = 0; i < formats; ++i) w->U8(0);
  // MJPEG, format 1.
  w->U8(11);
  w->U8(uvc::CS_INTERFACE);
  w->U8(uvc::VS_FORMAT_MJPEG);
  w->U8(1);
  w->U8(uint8_t(p.mjpeg.size()));
  w->U8(1);  // fixed-size samples
  w->U8(1);  // default frame
  w->U8(0);
  w->U8(0);
  w->U8(0);
  w->U8(0);
  WriteFrames(w, uvc::VS_FRAME_MJPEG, p.mjpeg, 16);
  WriteStill(w, p.mjpeg, {5});
  WriteColorMatching(w);
  if (!p.yuy2.empty()) {
    w->U8(27);
    w->U8(uvc::CS_INTERFACE);
    w->U8(uvc::VS_FORMAT_UNCOMPRESSED);
    w->U8(2);
    w->U8(uint8_t(p.yuy2.size()));
    w->Bytes(kGuidYuy2, 16);
    w->U8(16);
    w->U8(1);
    w->U8(0);
    w->U8(0);
    w->U8(0);
    w->U8(0);
    WriteFrames(w, uvc::VS_FRAME_UNCOMPRESSED, p.yuy2, 16);
    WriteStill(w, p.yuy2, {});
    WriteColorMatching(w);
  }
  w->Patch16(vsHeader + 4, uint16_t(w->Size() - vsHeader));
}

// The streaming alternate settings, one isochronous IN endpoint each.
void WriteAlternateSettings(Writer* w, const Profile& p) {
  for (size_t i = 0; i < p.altPackets.size(); ++i) {
    WriteInterface(w, 1, uint8_t(i + 1), 1, uvc::SC_VIDEOSTREAMING, 0);
    w->U8(7);
    w->U8(uvc::USB_DT_ENDPOINT);
    w->U8(0x81);
    w->U8(0x05);  // isochronous, asynchronous
    w->U16(p.altPackets[i]);
    w->U8(1);
  }
}

}  // namespace

std::vector<uint8_t> BuildProfileDescriptor(const std::string& profileName) {
  Profile p;
  if (!GetProfile(profileName, &p)) return {};
  Writer w;
  // Configuration.
  w.U8(9);
  w.U8(uvc::USB_DT_CONFIGURATION);
  w.U16(0);  // wTotalLength, patched below
  w.U8(2);   // interfaces
  w.U8(1);   // bConfigurationValue
  w.U8(0);
  w.U8(0x80);  // bus powered
  w.U8(250);   // 500 mA
  // Interface association.
  const uint8_t iad[8] = {8, 0x0B, 0, 2, uvc::CC_VIDEO, 0x03, 0, 2};
  w.Bytes(iad, sizeof(iad));

  WriteVideoControl(&w, p);
  WriteVideoStreaming(&w, p);
  WriteAlternateSettings(&w, p);
  w.Patch16(2, uint16_t(w.Size()));
  return std::move(w.Data());
}

USB_DEVICE_DESCRIPTOR ProfileDeviceDescriptor(const std::string& profileName) {
  Profile p;
  USB_DEVICE_DESCRIPTOR d{};
  d.bLength = 18;
  d.bDescriptorType = uvc::USB_DT_DEVICE;
  d.bcdUSB = 0x0200;
  d.bDeviceClass = 0xEF;  // miscellaneous, interface association
  d.bDeviceSubClass = 0x02;
  d.bDeviceProtocol = 0x01;
  d.bMaxPacketSize0 = 64;
  d.idVendor = 0x1B3F;
  d.idProduct = GetProfile(profileName, &p) ? p.productId : 0;
  d.bcdDevice = 0x0100;
  d.iManufacturer = 1;
  d.iProduct = 2;
  d.iSerialNumber = 0;
  d.bNumConfigurations = 1;
  return d;
}

const FormatInfo* DescriptorInfo::FindFormat(uint8_t index) const {
  for (const auto& f : formats)
    if (f.index == index) return &f;
  return nullptr;
}

// ---- the walk -----------------------------------------------------------------

namespace {

// Where the walk is: the interface being described and the format whose
// frames and still image frame follow.
struct WalkState {
  DescriptorInfo info;
  int ifNumber = -1, ifAlt = 0, ifClass = -1, ifSubclass = -1;
  FormatInfo* current = nullptr;
  AltSettingInfo* pendingAlt = nullptr;  // a streaming setting waiting for its endpoint
  bool lastWasFrameOfCurrent = false;
};

void ReadInterface(const uint8_t* d, WalkState* w) {
  using Interface = uvc::InterfaceDescriptor;
  DescriptorInfo& info = w->info;
  w->ifNumber = d[Interface::bInterfaceNumber];
  w->ifAlt = d[Interface::bAlternateSetting];
  w->ifClass = d[Interface::bInterfaceClass];
  w->ifSubclass = d[Interface::bInterfaceSubClass];
  w->pendingAlt = nullptr;
  w->current = nullptr;
  if (w->ifClass != uvc::CC_VIDEO) return;
  if (w->ifSubclass == uvc::SC_VIDEOCONTROL && info.controlInterface < 0) info.controlInterface = w->ifNumber;
  if (w->ifSubclass != uvc::SC_VIDEOSTREAMING) return;
  if (info.streamingInterface < 0) info.streamingInterface = w->ifNumber;
  bool repeated = false;
  for (const auto& a : info.altSettings) repeated = repeated || a.alternateSetting == w->ifAlt;
  if (repeated && w->ifNumber == info.streamingInterface)
    info.anomalies.push_back("alternate setting " + std::to_string(w->ifAlt) + " repeated");
  if (w->ifNumber == info.streamingInterface && w->ifAlt != 0 && !repeated) {
    AltSettingInfo alt;
    alt.alternateSetting = uint8_t(w->ifAlt);
    info.altSettings.push_back(alt);
    w->pendingAlt = &info.altSettings.back();
  }
}

// The first isochronous endpoint of a streaming alternate setting.
void ReadEndpoint(const uint8_t* d, WalkState* w) {
  using Endpoint = uvc::EndpointDescriptor;
  if (!w->pendingAlt || (d[Endpoint::bmAttributes] & 0x03) != 0x01) return;
  AltSettingInfo& alt = *w->pendingAlt;
  alt.endpointAddress = d[Endpoint::bEndpointAddress];
  alt.rawMaxPacket = Le16(d + Endpoint::wMaxPacketSize);
  // Bits 10..0 the size, bits 12..11 the extra transactions per microframe.
  alt.maxPacketBytes = uint32_t(alt.rawMaxPacket & 0x7FF) * (1 + ((alt.rawMaxPacket >> 11) & 3));
  w->pendingAlt = nullptr;
}

void ReadControlUnit(const uint8_t* d, uint8_t len, WalkState* w) {
  DescriptorInfo& info = w->info;
  const uint8_t subtype = d[uvc::DescriptorHeader::bDescriptorSubtype];
  using Terminal = uvc::CameraTerminalDescriptor;
  using Unit = uvc::ProcessingUnitDescriptor;
  using Extension = uvc::ExtensionUnitDescriptor;
  if (subtype == uvc::VC_INPUT_TERMINAL && len >= Terminal::kFixedSize &&
      Le16(d + uvc::InputTerminalDescriptor::wTerminalType) == uvc::ITT_CAMERA && !info.cameraTerminal.present) {
    auto& ct = info.cameraTerminal;
    ct.present = true;
    ct.id = d[uvc::InputTerminalDescriptor::bTerminalID];
    ct.objectiveFocalMin = Le16(d + Terminal::wObjectiveFocalLengthMin);
    ct.objectiveFocalMax = Le16(d + Terminal::wObjectiveFocalLengthMax);
    ct.ocularFocal = Le16(d + Terminal::wOcularFocalLength);
    const size_t n = d[Terminal::bControlSize];
    const size_t room = len - Terminal::bmControls;
    ct.controls.assign(d + Terminal::bmControls, d + Terminal::bmControls + std::min(n, room));
    if (n > room) info.anomalies.push_back("camera terminal controls run past its length");
  } else if (subtype == uvc::VC_PROCESSING_UNIT && len >= Unit::kFixedSize && !info.processingUnit.present) {
    auto& pu = info.processingUnit;
    pu.present = true;
    pu.id = d[Unit::bUnitID];
    pu.sourceId = d[Unit::bSourceID];
    pu.maxMultiplier = Le16(d + Unit::wMaxMultiplier);
    const size_t n = d[Unit::bControlSize];
    const size_t room = len - Unit::bmControls;
    pu.controls.assign(d + Unit::bmControls, d + Unit::bmControls + std::min(n, room));
    if (n > room) info.anomalies.push_back("processing unit controls run past its length");
  } else if (subtype == uvc::VC_EXTENSION_UNIT && len >= Extension::kFixedSize) {
    ExtensionUnitInfo xu;
    xu.id = d[Extension::bUnitID];
    std::memcpy(xu.guid, d + Extension::guidExtensionCode, 16);
    const size_t sizeAt = Extension::baSourceID + d[Extension::bNrInPins];
    if (sizeAt < len) {
      const size_t n = d[sizeAt];
      const size_t avail = len - sizeAt - 1;
      xu.controls.assign(d + sizeAt + 1, d + sizeAt + 1 + std::min(n, avail));
    }
    info.extensionUnits.push_back(xu);
  }
}

void AddFormat(FormatInfo f, WalkState* w) {
  if (w->info.FindFormat(f.index)) w->info.anomalies.push_back("format index " + std::to_string(f.index) + " repeated");
  w->info.formats.push_back(f);
  w->current = &w->info.formats.back();
}

FrameInfo ReadFrame(const uint8_t* d, uint8_t len, DescriptorInfo* info) {
  using Frame = uvc::FrameDescriptor;
  FrameInfo fr;
  fr.index = d[Frame::bFrameIndex];
  fr.capabilities = d[Frame::bmCapabilities];
  fr.width = Le16(d + Frame::wWidth);
  fr.height = Le16(d + Frame::wHeight);
  fr.minBitRate = Le32(d + Frame::dwMinBitRate);
  fr.maxBitRate = Le32(d + Frame::dwMaxBitRate);
  fr.maxFrameSize = Le32(d + Frame::dwMaxVideoFrameBufferSize);
  fr.defaultInterval = Le32(d + Frame::dwDefaultFrameInterval);
  const size_t n = d[Frame::bFrameIntervalType];
  if (n == 0) {
    if (len >= uvc::FrameDescriptorSize(Frame::kContinuousWords)) {
      fr.continuous = true;
      fr.minInterval = Le32(d + Frame::dwFrameInterval);
      fr.maxInterval = Le32(d + Frame::dwFrameInterval + 4);
      fr.intervalStep = Le32(d + Frame::dwFrameInterval + 8);
    } else {
      info->anomalies.push_back("continuous frame descriptor too short");
    }
  } else {
    const size_t fit = std::min(n, size_t(len - Frame::kFixedSize) / 4);
    if (fit < n) info->anomalies.push_back("frame descriptor lists more intervals than it holds");
    for (size_t i = 0; i < fit; ++i) fr.intervals.push_back(Le32(d + Frame::dwFrameInterval + 4 * i));
  }
  return fr;
}

void ReadStill(const uint8_t* d, uint8_t len, StillInfo* st) {
  using Still = uvc::StillImageFrameDescriptor;
  st->present = true;
  const size_t n = d[Still::bNumImageSizePatterns];
  size_t at = Still::wWidthHeight;
  for (size_t i = 0; i < n && at + 4 <= len; ++i, at += 4) st->sizes.emplace_back(Le16(d + at), Le16(d + at + 2));
  if (at < len) {
    const size_t m = d[at++];
    for (size_t i = 0; i < m && at < len; ++i) st->compression.push_back(d[at++]);
  }
}

// A class-specific descriptor of the streaming interface's setting 0;
// returns whether it belongs to the current format's frames (a frame, or the
// still image frame after them).
bool ReadStreamingDescriptor(const uint8_t* d, uint8_t len, WalkState* w) {
  DescriptorInfo& info = w->info;
  const uint8_t subtype = d[uvc::DescriptorHeader::bDescriptorSubtype];
  using Format = uvc::FormatDescriptor;
  if (subtype == uvc::VS_INPUT_HEADER && len >= uvc::InputHeaderDescriptor::kFixedSize) {
    info.announcedFormats = d[uvc::InputHeaderDescriptor::bNumFormats];
    info.stillCaptureMethod = d[uvc::InputHeaderDescriptor::bStillCaptureMethod];
  } else if (subtype == uvc::VS_FORMAT_MJPEG && len >= uvc::FormatMjpegDescriptor::kSize) {
    FormatInfo f;
    f.kind = FormatKind::kMjpeg;
    f.index = d[Format::bFormatIndex];
    f.declaredFrames = d[Format::bNumFrameDescriptors];
    f.fourcc = uint32_t('M') | uint32_t('J') << 8 | uint32_t('P') << 16 | uint32_t('G') << 24;
    f.bitsPerPixel = 16;
    f.defaultFrameIndex = d[uvc::FormatMjpegDescriptor::bDefaultFrameIndex];
    AddFormat(f, w);
  } else if (subtype == uvc::VS_FORMAT_UNCOMPRESSED && len >= uvc::FormatUncompressedDescriptor::kSize) {
    using Uncompressed = uvc::FormatUncompressedDescriptor;
    FormatInfo f;
    f.kind = FormatKind::kUncompressed;
    f.index = d[Format::bFormatIndex];
    f.declaredFrames = d[Format::bNumFrameDescriptors];
    std::memcpy(f.guid, d + Uncompressed::guidFormat, 16);
    f.fourcc = Le32(d + Uncompressed::guidFormat);
    f.bitsPerPixel = d[Uncompressed::bBitsPerPixel];
    f.defaultFrameIndex = d[Uncompressed::bDefaultFrameIndex];
    AddFormat(f, w);
  } else if ((subtype == uvc::VS_FRAME_MJPEG || subtype == uvc::VS_FRAME_UNCOMPRESSED) &&
             len >= uvc::FrameDescriptor::kFixedSize && w->current &&
             (subtype == uvc::VS_FRAME_MJPEG) == (w->current->kind == FormatKind::kMjpeg)) {
    w->current->frames.push_back(ReadFrame(d, len, &info));
    return true;
  } else if (subtype == uvc::VS_STILL_IMAGE_FRAME && len >= uvc::StillImageFrameDescriptor::kFixedSize &&
             w->current && w->lastWasFrameOfCurrent && !w->current->still.present) {
    ReadStill(d, len, &w->current->still);
    return true;
  } else if (subtype != uvc::VS_INPUT_HEADER) {
    // Colour matching ends the format's frames; other formats (frame-based,
    // DV...) and their frames are not streamed.
    w->current = nullptr;
  }
  return false;
}

// The configuration header: false with a reason when the bytes are not one,
// or wTotalLength does not fit them.
bool CheckConfigurationHeader(const uint8_t* data, size_t size, std::string* error) {
  if (!data || size < uvc::ConfigurationDescriptor::kSize) {
    *error = "configuration descriptor shorter than 9 bytes";
    return false;
  }
  if (data[0] < uvc::ConfigurationDescriptor::kSize || data[1] != uvc::USB_DT_CONFIGURATION) {
    *error = "not a configuration descriptor";
    return false;
  }
  const size_t total = Le16(data + uvc::ConfigurationDescriptor::wTotalLength);
  if (total < uvc::ConfigurationDescriptor::kSize) {
    *error = "configuration wTotalLength below 9";
    return false;
  }
  if (total > size) {
    *error = "configuration descriptor truncated: wTotalLength " + std::to_string(total) + ", " +
             std::to_string(size) + " bytes present";
    return false;
  }
  return true;
}

// Announced counts that disagree with what follows.
void NoteCountAnomalies(DescriptorInfo* info) {
  if (info->announcedFormats != 0 && info->announcedFormats != info->formats.size())
    info->anomalies.push_back("VS input header announces " + std::to_string(info->announcedFormats) + " formats, " +
                              std::to_string(info->formats.size()) + " follow");
  for (const auto& f : info->formats)
    if (f.declaredFrames != f.frames.size())
      info->anomalies.push_back("format " + std::to_string(f.index) + " announces " + std::to_string(f.declaredFrames) +
                                " frames, " + std::to_string(f.frames.size()) + " follow");
}

}  // namespace

bool ParseConfigurationDescriptor(const uint8_t* data, size_t size, DescriptorInfo* out, std::string* error) {
  std::string dummy;
  if (!error) error = &dummy;
  if (!CheckConfigurationHeader(data, size, error)) return false;
  const size_t total = Le16(data + uvc::ConfigurationDescriptor::wTotalLength);
  WalkState w;
  w.info.totalLength = uint16_t(total);
  w.info.numInterfaces = data[uvc::ConfigurationDescriptor::bNumInterfaces];
  size_t pos = 0;
  while (pos + 2 <= total) {
    const uint8_t len = data[pos];
    const uint8_t type = data[pos + 1];
    if (len < 2) {
      *error = "descriptor of length " + std::to_string(len) + " at offset " + std::to_string(pos);
      return false;
    }
    if (pos + len > total) {
      *error = "descriptor at offset " + std::to_string(pos) + " runs past wTotalLength";
      return false;
    }
    const uint8_t* d = data + pos;
    bool frameOfCurrent = false;
    if (type == uvc::USB_DT_INTERFACE && len >= uvc::InterfaceDescriptor::kSize) {
      ReadInterface(d, &w);
    } else if (type == uvc::USB_DT_ENDPOINT && len >= uvc::EndpointDescriptor::kSize) {
      ReadEndpoint(d, &w);
    } else if (type == uvc::CS_INTERFACE && len >= uvc::DescriptorHeader::kClassSpecificMinSize &&
               w.ifClass == uvc::CC_VIDEO) {
      if (w.ifSubclass == uvc::SC_VIDEOCONTROL)
        ReadControlUnit(d, len, &w);
      else if (w.ifSubclass == uvc::SC_VIDEOSTREAMING && w.ifNumber == w.info.streamingInterface && w.ifAlt == 0)
        frameOfCurrent = ReadStreamingDescriptor(d, len, &w);
    }
    w.lastWasFrameOfCurrent = frameOfCurrent;
    pos += len;
  }
  NoteCountAnomalies(&w.info);
  *out = std::move(w.info);
  return true;
}

bool SplitDescriptorFile(const std::vector<uint8_t>& bytes, std::vector<uint8_t>* configuration,
                         USB_DEVICE_DESCRIPTOR* device, bool* hasDevice, std::string* error) {
  std::string dummy;
  if (!error) error = &dummy;
  size_t at = 0;
  bool dev = false;
  if (bytes.size() >= 18 && bytes[0] == 18 && bytes[1] == uvc::USB_DT_DEVICE) {
    dev = true;
    at = 18;
  }
  if (bytes.size() - at < 9 || bytes[at + 1] != uvc::USB_DT_CONFIGURATION) {
    *error = dev ? "no configuration descriptor after the device descriptor" : "not a configuration descriptor";
    return false;
  }
  const size_t total = Le16(&bytes[at + 2]);
  if (total < 9 || total > bytes.size() - at) {
    *error = "configuration descriptor truncated: wTotalLength " + std::to_string(total) + ", " +
             std::to_string(bytes.size() - at) + " bytes present";
    return false;
  }
  configuration->assign(bytes.begin() + at, bytes.begin() + at + total);
  if (dev && device) std::memcpy(device, bytes.data(), 18);
  if (hasDevice) *hasDevice = dev;
  return true;
}

}  // namespace sim
