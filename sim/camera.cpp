// The simulated USB video-class camera.
#include "sim/uvc_camera.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>

#include "sim/image_io.h"
#include "sim/payload.h"

namespace sim {
namespace {

// Largest payload per microframe the bridge fills for each profile.
constexpr uint32_t kNotebookPayloadCap = 2688;
constexpr uint32_t kBasicPayloadCap = 3072;

constexpr size_t kMaxDescriptorFile = 1 << 20;

uint16_t Key(uint8_t entity, uint8_t selector) { return uint16_t(entity << 8 | selector); }

void PutValue(uint8_t* data, uint8_t size, int32_t v) {
  for (uint8_t i = 0; i < size; ++i) data[i] = uint8_t(uint32_t(v) >> (8 * i));
}

int32_t GetValue(const uint8_t* data, uint8_t size, bool isSigned) {
  uint32_t v = 0;
  for (uint8_t i = 0; i < size; ++i) v |= uint32_t(data[i]) << (8 * i);
  if (isSigned && size < 4 && (v & (1u << (8 * size - 1)))) v |= ~0u << (8 * size);
  return int32_t(v);
}

NTSTATUS Stall(uint32_t* length) {
  *length = 0;
  return STATUS_UNSUCCESSFUL;
}

}  // namespace

std::unique_ptr<Camera> Camera::Create(const CameraOptions& options, std::string* error) {
  return UvcCamera::Create(options, error);
}

std::unique_ptr<UvcCamera> UvcCamera::Create(const CameraOptions& options, std::string* errorOut) {
  std::string dummy;
  std::string* error = errorOut ? errorOut : &dummy;
  if (!options.descriptorFile.empty()) {
    std::ifstream in(options.descriptorFile, std::ios::binary);
    if (!in) {
      *error = "cannot open camera descriptor file " + options.descriptorFile;
      return nullptr;
    }
    std::vector<uint8_t> bytes;
    char buf[4096];
    while (in.read(buf, sizeof(buf)) || in.gcount() > 0) {
      bytes.insert(bytes.end(), buf, buf + in.gcount());
      if (bytes.size() > kMaxDescriptorFile) {
        *error = options.descriptorFile + ": too large for a descriptor file";
        return nullptr;
      }
    }
    return CreateFromDescriptorBytes(bytes, options, error);
  }
  std::unique_ptr<UvcCamera> cam(new UvcCamera());
  cam->config_ = BuildProfileDescriptor(options.profile);
  if (cam->config_.empty()) {
    *error = "unknown camera profile '" + options.profile + "' (known: notebook, basic)";
    return nullptr;
  }
  std::string why;
  if (!ParseConfigurationDescriptor(cam->config_.data(), cam->config_.size(), &cam->info_, &why)) {
    *error = "built-in profile " + options.profile + ": " + why;
    return nullptr;
  }
  cam->device_ = ProfileDeviceDescriptor(options.profile);
  cam->maxPayloadCap_ = options.profile == "basic" ? kBasicPayloadCap : kNotebookPayloadCap;
  if (!cam->Finish(options, error)) return nullptr;
  return cam;
}

std::unique_ptr<UvcCamera> UvcCamera::CreateFromDescriptorBytes(const std::vector<uint8_t>& bytes,
                                                                const CameraOptions& options, std::string* errorOut) {
  std::string dummy;
  std::string* error = errorOut ? errorOut : &dummy;
  const std::string name = options.descriptorFile.empty() ? "camera descriptor" : options.descriptorFile;
  std::unique_ptr<UvcCamera> cam(new UvcCamera());
  bool hasDevice = false;
  USB_DEVICE_DESCRIPTOR dev = ProfileDeviceDescriptor("notebook");
  dev.idProduct = 0;
  std::string why;
  if (bytes.size() > kMaxDescriptorFile) {
    *error = name + ": too large for a descriptor file";
    return nullptr;
  }
  if (!SplitDescriptorFile(bytes, &cam->config_, &dev, &hasDevice, &why) ||
      !ParseConfigurationDescriptor(cam->config_.data(), cam->config_.size(), &cam->info_, &why)) {
    *error = name + ": " + why;
    return nullptr;
  }
  cam->device_ = dev;
  cam->maxPayloadCap_ = 0;
  for (const auto& alt : cam->info_.altSettings) cam->maxPayloadCap_ = std::max(cam->maxPayloadCap_, alt.maxPacketBytes);
  if (cam->maxPayloadCap_ <= uvc::kPayloadHeaderLength) {
    *error = name + ": the streaming interface has no usable isochronous alternate setting";
    return nullptr;
  }
  if (!cam->Finish(options, error)) return nullptr;
  return cam;
}

bool UvcCamera::Finish(const CameraOptions& options, std::string* error) {
  UvcCamera* cam = this;
  bool streamable = false;
  for (const auto& f : cam->info_.formats) streamable = streamable || !f.frames.empty();
  if (!streamable) {
    *error = (options.descriptorFile.empty() ? options.profile : options.descriptorFile) +
             ": no MJPEG or uncompressed video format with frames";
    return false;
  }
  if (!cam->source_.Open(options.sourceFile, options.scene, error)) return false;

  auto add = [&](uint8_t entity, uint8_t selector, uint8_t size, bool isSigned, int32_t min, int32_t max,
                 int32_t def) {
    ControlState c;
    c.size = size;
    c.isSigned = isSigned;
    c.min = min;
    c.max = max;
    c.res = 1;
    c.def = def;
    c.cur = def;
    cam->controls_[Key(entity, selector)] = c;
  };
  add(uvc::kProcessingUnitId, uvc::PU_BACKLIGHT_COMPENSATION_CONTROL, 2, false, 0, 2, 1);
  add(uvc::kProcessingUnitId, uvc::PU_BRIGHTNESS_CONTROL, 2, true, -64, 64, 0);
  add(uvc::kProcessingUnitId, uvc::PU_CONTRAST_CONTROL, 2, false, 0, 64, 32);
  add(uvc::kProcessingUnitId, uvc::PU_GAIN_CONTROL, 2, false, 0, 100, 0);
  add(uvc::kProcessingUnitId, uvc::PU_POWER_LINE_FREQUENCY_CONTROL, 2, false, 0, 2, 1);
  add(uvc::kProcessingUnitId, uvc::PU_HUE_CONTROL, 2, true, -40, 40, 0);
  add(uvc::kProcessingUnitId, uvc::PU_SATURATION_CONTROL, 2, false, 0, 128, 64);
  add(uvc::kProcessingUnitId, uvc::PU_SHARPNESS_CONTROL, 2, false, 0, 7, 3);
  add(uvc::kProcessingUnitId, uvc::PU_GAMMA_CONTROL, 2, false, 72, 500, 100);
  add(uvc::kProcessingUnitId, uvc::PU_WHITE_BALANCE_TEMPERATURE_CONTROL, 2, false, 2800, 6500, 4600);
  add(uvc::kProcessingUnitId, uvc::PU_WHITE_BALANCE_TEMPERATURE_AUTO_CONTROL, 1, false, 0, 1, 1);
  add(uvc::kCameraTerminalId, uvc::CT_AE_MODE_CONTROL, 1, false, uvc::AE_MODE_MANUAL, uvc::AE_MODE_APERTURE_PRIORITY, uvc::AE_MODE_APERTURE_PRIORITY);
  cam->controls_[Key(uvc::kCameraTerminalId, uvc::CT_AE_MODE_CONTROL)].res = uvc::AE_MODE_MANUAL | uvc::AE_MODE_APERTURE_PRIORITY;
  add(uvc::kCameraTerminalId, uvc::CT_EXPOSURE_TIME_ABSOLUTE_CONTROL, 4, false, 1, 10000, 156);
  const auto& ct = cam->info_.cameraTerminal;
  const bool focus = ct.present && !ct.controls.empty() && (ct.controls[0] & 0x20);
  if (focus) {
    add(uvc::kCameraTerminalId, uvc::CT_FOCUS_ABSOLUTE_CONTROL, 2, false, 0, 200, 0);
    add(uvc::kCameraTerminalId, uvc::CT_FOCUS_AUTO_CONTROL, 1, false, 0, 1, 1);
  }
  cam->registers_[uvc::kRegPictureFlags] = uvc::kNotMirroredBit | uvc::kNotFlippedBit;
  cam->registers_[uvc::kRegSceneMode] = 0x00;
  cam->probe_ = cam->DefaultProbe();
  cam->commit_ = cam->probe_;
  return true;
}

ControlState* UvcCamera::FindControl(uint8_t entity, uint8_t selector) {
  auto it = controls_.find(Key(entity, selector));
  return it == controls_.end() ? nullptr : &it->second;
}

const ControlState* UvcCamera::FindControl(uint8_t entity, uint8_t selector) const {
  auto it = controls_.find(Key(entity, selector));
  return it == controls_.end() ? nullptr : &it->second;
}

NTSTATUS UvcCamera::ControlTransfer(uint8_t request, uint16_t value, uint16_t index, uint8_t* data,
                                    uint32_t* length, bool getData) {
  if (!length) return STATUS_INVALID_PARAMETER;
  if (!data && *length) return Stall(length);
  // The direction must agree with the request code.
  if (getData != (uvc::IsGetRequest(request))) return Stall(length);
  std::lock_guard<std::mutex> lock(mutex_);
  const uint8_t selector = uint8_t(value >> 8);
  const uint8_t entity = uint8_t(index >> 8);
  const uint8_t iface = uint8_t(index);
  if ((value & 0xFF) != 0) return Stall(length);
  if (entity == 0 && info_.streamingInterface >= 0 && iface == info_.streamingInterface)
    return StreamingRequest(request, selector, data, length);
  if (info_.controlInterface >= 0 && iface != info_.controlInterface) return Stall(length);
  if (entity == uvc::kBridgeUnitId) return BridgeRequest(request, selector, data, length);
  uint8_t unit = entity;
  // The processing unit also answers under the id its descriptor gives it.
  if (info_.processingUnit.present && entity == info_.processingUnit.id && entity != uvc::kCameraTerminalId)
    unit = uvc::kProcessingUnitId;
  if (unit == uvc::kProcessingUnitId || unit == uvc::kCameraTerminalId) return UnitRequest(request, unit, selector, data, length);
  return Stall(length);
}

NTSTATUS UvcCamera::UnitRequest(uint8_t request, uint8_t entity, uint8_t selector, uint8_t* data,
                                uint32_t* length) {
  ControlState* c = FindControl(entity, selector);
  if (!c) return Stall(length);
  switch (request) {
    case uvc::SET_CUR: {
      if (*length < c->size) return Stall(length);
      const int32_t v = GetValue(data, c->size, c->isSigned);
      if (entity == uvc::kCameraTerminalId && selector == uvc::CT_AE_MODE_CONTROL) {
        if (v != uvc::AE_MODE_MANUAL && v != uvc::AE_MODE_APERTURE_PRIORITY) return Stall(length);
      } else if (v < c->min || v > c->max) {
        return Stall(length);
      }
      c->cur = v;
      *length = c->size;
      return STATUS_SUCCESS;
    }
    case uvc::GET_CUR:
    case uvc::GET_MIN:
    case uvc::GET_MAX:
    case uvc::GET_RES:
    case uvc::GET_DEF: {
      if (*length < c->size) return Stall(length);
      const int32_t v = request == uvc::GET_CUR ? c->cur
                        : request == uvc::GET_MIN ? c->min
                        : request == uvc::GET_MAX ? c->max
                        : request == uvc::GET_RES ? c->res
                                             : c->def;
      PutValue(data, c->size, v);
      *length = c->size;
      return STATUS_SUCCESS;
    }
    case uvc::GET_LEN:
      if (*length < 2) return Stall(length);
      PutValue(data, 2, c->size);
      *length = 2;
      return STATUS_SUCCESS;
    case uvc::GET_INFO:
      if (*length < 1) return Stall(length);
      data[0] = 0x03;  // get and set supported
      *length = 1;
      return STATUS_SUCCESS;
    default:
      return Stall(length);
  }
}

NTSTATUS UvcCamera::BridgeRequest(uint8_t request, uint8_t selector, uint8_t* data, uint32_t* length) {
  if (selector != uvc::XU_REGISTER_SELECT && selector != uvc::XU_REGISTER_DATA) return Stall(length);
  switch (request) {
    case uvc::SET_CUR: {
      if (*length < 4 || data[0] != uvc::kXuRegisterCommand) return Stall(length);
      const uint16_t address = uint16_t(data[1] | data[2] << 8);
      if (selector == uvc::XU_REGISTER_SELECT) {
        selectedRegister_ = address;
      } else {
        registers_[address] = data[3];
        if (address == uvc::kRegLedOn && data[3] == 0) ledOn_ = true;
        if (address == uvc::kRegLedOff && data[3] == 0) ledOn_ = false;
      }
      *length = 4;
      return STATUS_SUCCESS;
    }
    case uvc::GET_CUR: {
      if (*length < 4) return Stall(length);
      data[0] = uvc::kXuRegisterCommand;
      data[1] = uint8_t(selectedRegister_);
      data[2] = uint8_t(selectedRegister_ >> 8);
      auto it = registers_.find(selectedRegister_);
      data[3] = selector == uvc::XU_REGISTER_DATA && it != registers_.end() ? it->second : 0;
      *length = 4;
      return STATUS_SUCCESS;
    }
    case uvc::GET_MIN:
    case uvc::GET_MAX:
    case uvc::GET_RES:
    case uvc::GET_DEF:
      if (*length < 4) return Stall(length);
      std::memset(data, request == uvc::GET_MAX ? 0xFF : 0, 4);
      if (request == uvc::GET_RES) data[0] = 1;
      *length = 4;
      return STATUS_SUCCESS;
    case uvc::GET_LEN:
      if (*length < 2) return Stall(length);
      PutValue(data, 2, 4);
      *length = 2;
      return STATUS_SUCCESS;
    case uvc::GET_INFO:
      if (*length < 1) return Stall(length);
      data[0] = 0x03;
      *length = 1;
      return STATUS_SUCCESS;
    default:
      return Stall(length);
  }
}

NTSTATUS UvcCamera::StreamingRequest(uint8_t request, uint8_t selector, uint8_t* data, uint32_t* length) {
  if (selector != uvc::VS_PROBE_CONTROL && selector != uvc::VS_COMMIT_CONTROL) return Stall(length);
  const uint32_t size = sizeof(VideoProbeCommit);
  switch (request) {
    case uvc::SET_CUR: {
      if (*length < size) return Stall(length);
      VideoProbeCommit asked;
      std::memcpy(&asked, data, size);
      if (selector == uvc::VS_PROBE_CONTROL) {
        probe_ = Negotiate(asked);
      } else {
        commit_ = Negotiate(asked);
        committed_ = true;
      }
      *length = size;
      return STATUS_SUCCESS;
    }
    case uvc::GET_CUR:
    case uvc::GET_MIN:
    case uvc::GET_MAX:
    case uvc::GET_DEF: {
      if (*length == 0) return Stall(length);
      VideoProbeCommit answer = request == uvc::GET_CUR ? (selector == uvc::VS_PROBE_CONTROL ? probe_ : commit_) : DefaultProbe();
      if (request == uvc::GET_MAX && selector == uvc::VS_PROBE_CONTROL) {
        answer.wCompQuality = 10000;
        answer.dwMaxPayloadTransferSize = maxPayloadCap_;
      }
      const uint32_t n = std::min<uint32_t>(*length, size);
      std::memcpy(data, &answer, n);
      *length = n;
      return STATUS_SUCCESS;
    }
    case uvc::GET_LEN:
      if (*length < 2) return Stall(length);
      PutValue(data, 2, int32_t(size));
      *length = 2;
      return STATUS_SUCCESS;
    case uvc::GET_INFO:
      if (*length < 1) return Stall(length);
      data[0] = 0x03;
      *length = 1;
      return STATUS_SUCCESS;
    default:
      return Stall(length);
  }
}

uint32_t UvcCamera::PayloadFor(const FormatInfo& format, const FrameInfo& frame, uint32_t interval) const {
  const uint64_t pixels = uint64_t(frame.width) * frame.height;
  // Uncompressed: every byte of every frame; MJPEG: what the encoder is
  // expected to produce at the worst, a fifth of the YUY2 size.
  const uint64_t bytesPerFrame =
      format.kind == FormatKind::kUncompressed ? pixels * std::max<uint8_t>(format.bitsPerPixel, 8) / 8 : pixels * 2 / 5;
  // 8000 microframes a second; interval in 100 ns units.
  const uint64_t perMicroframe = (bytesPerFrame * 1250 + interval - 1) / std::max<uint32_t>(interval, 1);
  const uint64_t need = std::max<uint64_t>(perMicroframe + uvc::kPayloadHeaderLength, 64);
  return uint32_t(std::min<uint64_t>(need, maxPayloadCap_));
}

VideoProbeCommit UvcCamera::DefaultProbe() const {
  VideoProbeCommit asked{};
  const FormatInfo* f = nullptr;
  for (const auto& fmt : info_.formats)
    if (!fmt.frames.empty()) {
      f = &fmt;
      break;
    }
  if (f) {
    asked.bFormatIndex = f->index;
    asked.bFrameIndex = f->defaultFrameIndex;
  }
  return Negotiate(asked);
}

VideoProbeCommit UvcCamera::Negotiate(const VideoProbeCommit& asked) const {
  VideoProbeCommit out = asked;
  const FormatInfo* format = nullptr;
  for (const auto& f : info_.formats)
    if (f.index == asked.bFormatIndex && !f.frames.empty()) {
      format = &f;
      break;
    }
  if (!format)
    for (const auto& f : info_.formats)
      if (!f.frames.empty()) {
        format = &f;
        break;
      }
  if (!format) return out;  // a camera without frames refuses nothing but offers nothing
  // The frame asked for, else the format's default, else the nearest index.
  const uint8_t wantFrame = asked.bFrameIndex ? asked.bFrameIndex : format->defaultFrameIndex;
  const FrameInfo* frame = nullptr;
  int best = 1 << 30;
  for (const auto& fr : format->frames) {
    const int d = std::abs(int(fr.index) - int(wantFrame));
    if (d < best) {
      best = d;
      frame = &fr;
    }
  }
  // Interval: the one asked for when offered, else the nearest offered one.
  uint32_t interval = asked.dwFrameInterval ? asked.dwFrameInterval : frame->defaultInterval;
  if (frame->continuous) {
    const uint32_t lo = frame->minInterval, hi = std::max(frame->minInterval, frame->maxInterval);
    interval = std::min(std::max(interval, lo), hi);
    if (frame->intervalStep > 0) interval = lo + (interval - lo) / frame->intervalStep * frame->intervalStep;
  } else if (!frame->intervals.empty()) {
    uint32_t nearest = frame->intervals.front();
    for (uint32_t iv : frame->intervals)
      if ((iv > interval ? iv - interval : interval - iv) < (nearest > interval ? nearest - interval : interval - nearest))
        nearest = iv;
    interval = nearest;
  }
  if (interval == 0) interval = 333333;
  out.bFormatIndex = format->index;
  out.bFrameIndex = frame->index;
  out.dwFrameInterval = interval;
  out.wDelay = 32;
  const uint32_t bpp = format->kind == FormatKind::kUncompressed ? std::max<uint8_t>(format->bitsPerPixel, 8) : 16;
  out.dwMaxVideoFrameSize = frame->maxFrameSize ? frame->maxFrameSize : uint32_t(frame->width) * frame->height * bpp / 8;
  out.dwMaxPayloadTransferSize = PayloadFor(*format, *frame, interval);
  return out;
}

void UvcCamera::SetAlternateSetting(uint32_t alternateSetting) {
  std::lock_guard<std::mutex> lock(mutex_);
  if (alternateSetting == 0) {
    streaming_ = false;
    alternate_ = 0;
    return;
  }
  bool known = false;
  for (const auto& alt : info_.altSettings) known = known || alt.alternateSetting == alternateSetting;
  if (!known) return;  // the device refuses a setting it does not have
  if (!streaming_) frames_ = 0;
  alternate_ = alternateSetting;
  streaming_ = true;
  if (!committed_) commit_ = DefaultProbe();
}

uint32_t UvcCamera::MaxPacketSize(uint32_t alternateSetting) const {
  std::lock_guard<std::mutex> lock(mutex_);
  if (alternateSetting == 0) return 0;
  for (const auto& alt : info_.altSettings)
    if (alt.alternateSetting == alternateSetting) return alt.maxPacketBytes;
  return 0;
}

PictureSettings UvcCamera::CurrentPictureSettings() const {
  PictureSettings s;
  auto reg = [&](uint16_t a) {
    auto it = registers_.find(a);
    return it == registers_.end() ? uint8_t(0) : it->second;
  };
  const uint8_t flags = reg(uvc::kRegPictureFlags), mode = reg(uvc::kRegSceneMode);
  s.mirrored = !(flags & uvc::kNotMirroredBit);
  s.flipped = !(flags & uvc::kNotFlippedBit);
  s.blackWhite = (flags & uvc::kMonochromeBit) != 0;
  s.lowLight = (mode & uvc::kLowLightBit) != 0;
  s.outdoor = (mode & uvc::kOutdoorBit) != 0;
  auto cur = [&](uint8_t entity, uint8_t sel, int32_t fallback) {
    const ControlState* c = FindControl(entity, sel);
    return c ? c->cur : fallback;
  };
  auto def = [&](uint8_t entity, uint8_t sel, int32_t fallback) {
    const ControlState* c = FindControl(entity, sel);
    return c ? c->def : fallback;
  };
  s.brightness = cur(uvc::kProcessingUnitId, uvc::PU_BRIGHTNESS_CONTROL, 0);
  s.contrast = cur(uvc::kProcessingUnitId, uvc::PU_CONTRAST_CONTROL, 32);
  s.contrastDefault = def(uvc::kProcessingUnitId, uvc::PU_CONTRAST_CONTROL, 32);
  s.saturation = cur(uvc::kProcessingUnitId, uvc::PU_SATURATION_CONTROL, 64);
  s.saturationDefault = def(uvc::kProcessingUnitId, uvc::PU_SATURATION_CONTROL, 64);
  s.hue = cur(uvc::kProcessingUnitId, uvc::PU_HUE_CONTROL, 0);
  s.gamma = cur(uvc::kProcessingUnitId, uvc::PU_GAMMA_CONTROL, 100);
  s.gain = cur(uvc::kProcessingUnitId, uvc::PU_GAIN_CONTROL, 0);
  s.sharpness = cur(uvc::kProcessingUnitId, uvc::PU_SHARPNESS_CONTROL, 3);
  s.sharpnessDefault = def(uvc::kProcessingUnitId, uvc::PU_SHARPNESS_CONTROL, 3);
  s.whiteBalanceAuto = cur(uvc::kProcessingUnitId, uvc::PU_WHITE_BALANCE_TEMPERATURE_AUTO_CONTROL, 1) != 0;
  s.whiteBalance = cur(uvc::kProcessingUnitId, uvc::PU_WHITE_BALANCE_TEMPERATURE_CONTROL, 4600);
  s.backlight = cur(uvc::kProcessingUnitId, uvc::PU_BACKLIGHT_COMPENSATION_CONTROL, 1);
  s.powerLine = cur(uvc::kProcessingUnitId, uvc::PU_POWER_LINE_FREQUENCY_CONTROL, 1);
  s.exposureAuto = cur(uvc::kCameraTerminalId, uvc::CT_AE_MODE_CONTROL, uvc::AE_MODE_APERTURE_PRIORITY) != uvc::AE_MODE_MANUAL;
  s.exposureTime = uint32_t(cur(uvc::kCameraTerminalId, uvc::CT_EXPOSURE_TIME_ABSOLUTE_CONTROL, 156));
  return s;
}

void UvcCamera::ProduceFrame(std::vector<uint8_t>* payload, const FormatInfo& format, const FrameInfo& frame) {
  RgbImage img;
  FaceTruth truth;
  source_.Render(frame.width, frame.height, frames_, &img, &truth);
  const PictureSettings settings = CurrentPictureSettings();
  ApplyPictureSettings(settings, frames_, &img);
  if (truth.present) {
    if (settings.mirrored) truth.centerX = frame.width - 1 - truth.centerX;
    if (settings.flipped) truth.centerY = frame.height - 1 - truth.centerY;
  }
  truth_ = truth;
  const uint32_t limit = commit_.dwMaxVideoFrameSize;
  if (format.kind == FormatKind::kMjpeg) {
    // Baseline 4:2:2; a busy picture that would not fit the frame buffer is
    // encoded again more coarsely.
    int quality = jpegQuality_;
    EncodeJpeg(img, quality, false, 0, payload);
    DropApplicationSegments(payload);
    while (limit && payload->size() > limit && quality > 10) {
      quality -= 15;
      EncodeJpeg(img, quality, false, 0, payload);
      DropApplicationSegments(payload);
    }
  } else {
    RgbToYuy2(img, payload);
    const size_t want = size_t(frame.width) * frame.height * std::max<uint8_t>(format.bitsPerPixel, 8) / 8;
    payload->resize(want, 0x80);
  }
  lastPicture_ = std::move(img);
}

void UvcCamera::NextFramePackets(std::vector<std::vector<uint8_t>>* packets) {
  std::lock_guard<std::mutex> lock(mutex_);
  if (!streaming_ || !packets) return;
  const FormatInfo* format = info_.FindFormat(commit_.bFormatIndex);
  if (!format) return;
  const FrameInfo* frame = nullptr;
  for (const auto& fr : format->frames)
    if (fr.index == commit_.bFrameIndex) frame = &fr;
  if (!frame || frame->width == 0 || frame->height == 0 || frame->width > kMaxFrameSide ||
      frame->height > kMaxFrameSide)
    return;
  uint32_t altMax = 0;
  for (const auto& alt : info_.altSettings)
    if (alt.alternateSetting == alternate_) {
      altMax = alt.maxPacketBytes;
      break;
    }
  const uint32_t negotiated = commit_.dwMaxPayloadTransferSize;
  const uint32_t maxPacket = std::min(negotiated, altMax);
  if (maxPacket <= uvc::kPayloadHeaderLength) return;

  std::vector<uint8_t> payload;
  ProduceFrame(&payload, *format, *frame);
  PacketizeParams params;
  params.maxPacket = maxPacket;
  params.fid = fid_;
  params.still = stillNext_ || int64_t(frames_) == stillAt_;
  if (int64_t(frames_) == stillAt_) stillAt_ = -1;
  const uint64_t ticksPerFrame = uint64_t(commit_.dwFrameInterval) * 48 / 10;  // 48 MHz clock
  params.pts = uint32_t(uint64_t(frames_) * ticksPerFrame);
  params.stcStart = params.pts + 6000;
  params.sofStart = uint16_t(packetsSent_ / 8);
  std::vector<std::vector<uint8_t>> out;
  PacketizeFrame(payload.data(), payload.size(), params, &out);
  uint32_t seed = 0xC0FFEEu + frames_;
  for (auto& p : out) {
    if (errorPackets_ == 0) break;
    --errorPackets_;
    p[1] |= uvc::UVC_STREAM_ERR;
    for (size_t i = uvc::kPayloadHeaderLength; i < p.size(); ++i) {
      seed = seed * 1103515245u + 12345u;
      p[i] = uint8_t(seed >> 16);
    }
  }
  packetsSent_ += uint32_t(out.size());
  for (auto& p : out) packets->push_back(std::move(p));
  fid_ = !fid_;
  stillNext_ = false;
  ++frames_;
}

void UvcCamera::MarkNextFrameStill() {
  std::lock_guard<std::mutex> lock(mutex_);
  stillNext_ = true;
}

void UvcCamera::MarkFrameStill(uint32_t frameIndex) {
  std::lock_guard<std::mutex> lock(mutex_);
  stillAt_ = frameIndex;
}

void UvcCamera::InjectErrorPackets(uint32_t count) {
  std::lock_guard<std::mutex> lock(mutex_);
  errorPackets_ += count;
}

void UvcCamera::PressButton(uint32_t state) {
  std::lock_guard<std::mutex> lock(mutex_);
  button_ = state;
}

uint32_t UvcCamera::TakeButtonState() {
  std::lock_guard<std::mutex> lock(mutex_);
  const uint32_t s = button_;
  button_ = 0;
  return s;
}

uint32_t UvcCamera::FramesProduced() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return frames_;
}

FaceTruth UvcCamera::LastFaceTruth() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return truth_;
}

bool UvcCamera::LedOn() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return ledOn_;
}

uint8_t UvcCamera::Register(uint16_t address) const {
  std::lock_guard<std::mutex> lock(mutex_);
  auto it = registers_.find(address);
  return it == registers_.end() ? 0 : it->second;
}

void UvcCamera::SetRegister(uint16_t address, uint8_t value) {
  std::lock_guard<std::mutex> lock(mutex_);
  registers_[address] = value;
}

bool UvcCamera::ControlValue(uint8_t entity, uint8_t selector, int32_t* value) const {
  std::lock_guard<std::mutex> lock(mutex_);
  const ControlState* c = FindControl(entity, selector);
  if (!c) return false;
  *value = c->cur;
  return true;
}

VideoProbeCommit UvcCamera::Committed() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return commit_;
}

bool UvcCamera::Streaming() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return streaming_;
}

uint32_t UvcCamera::AlternateSetting() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return alternate_;
}

CameraPowerState UvcCamera::PowerState() const {
  std::lock_guard<std::mutex> lock(mutex_);
  CameraPowerState s;
  s.descriptorHash = DescriptorHash(config_);
  for (const auto& c : controls_) s.controls[c.first] = c.second.cur;
  s.registers = registers_;
  s.selectedRegister = selectedRegister_;
  s.ledOn = ledOn_;
  s.buttonState = button_;
  std::memcpy(s.probe.data(), &probe_, sizeof(probe_));
  std::memcpy(s.commit.data(), &commit_, sizeof(commit_));
  s.committed = committed_;
  s.frameId = fid_;
  return s;
}

bool UvcCamera::RestorePowerState(const CameraPowerState& s, std::string* error) {
  static_assert(sizeof(VideoProbeCommit) == std::tuple_size<decltype(s.probe)>::value, "record size");
  std::lock_guard<std::mutex> lock(mutex_);
  if (s.descriptorHash != DescriptorHash(config_)) {
    *error = "the saved state belongs to another camera";
    return false;
  }
  // Check everything before changing anything.
  for (const auto& c : s.controls) {
    const ControlState* control = FindControl(uint8_t(c.first >> 8), uint8_t(c.first));
    const bool exposureMode = c.first == Key(uvc::kCameraTerminalId, uvc::CT_AE_MODE_CONTROL);
    if (!control) {
      *error = "the camera has no control " + std::to_string(c.first >> 8) + "/" + std::to_string(c.first & 0xFF);
      return false;
    }
    if (exposureMode ? (c.second != uvc::AE_MODE_MANUAL && c.second != uvc::AE_MODE_APERTURE_PRIORITY)
                     : (c.second < control->min || c.second > control->max)) {
      *error = "value " + std::to_string(c.second) + " is outside the range of control " +
               std::to_string(c.first >> 8) + "/" + std::to_string(c.first & 0xFF);
      return false;
    }
  }
  for (const auto& c : s.controls) controls_[c.first].cur = c.second;
  registers_ = s.registers;
  selectedRegister_ = s.selectedRegister;
  ledOn_ = s.ledOn;
  button_ = s.buttonState;
  VideoProbeCommit probe, commit;
  std::memcpy(&probe, s.probe.data(), sizeof(probe));
  std::memcpy(&commit, s.commit.data(), sizeof(commit));
  // Negotiated again, so a record always names a format and frame the camera has.
  probe_ = Negotiate(probe);
  commit_ = Negotiate(commit);
  committed_ = s.committed;
  fid_ = s.frameId;
  return true;
}

RgbImage UvcCamera::LastPicture() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return lastPicture_;
}

}  // namespace sim
