// Opening capture streams and keeping one running in the background.
#include "tools/qcam/stream.h"

#include <cstdio>

#include "platform/machine/pc_clock.h"
#include "shared/qcam_defs.h"
#include "tools/qcam/common.h"

namespace qcam_tool {
namespace {

// The application's format for a decoded stream: the camera's MJPG format
// with the application's compression, depth and image size.
KS_DATAFORMAT_VIDEOINFOHEADER ApplicationFormat(const KS_DATAFORMAT_VIDEOINFOHEADER& camera, const StreamFormat& f) {
  KS_DATAFORMAT_VIDEOINFOHEADER app = camera;
  KS_BITMAPINFOHEADER& bmi = app.VideoInfoHeader.bmiHeader;
  const ULONG pixels = ULONG(f.width) * ULONG(f.height);
  if (f.fourcc == qcam::kFourCC_I420) {
    bmi.biCompression = qcam::kFourCC_I420;
    bmi.biBitCount = 12;
    bmi.biSizeImage = pixels * 3 / 2;
    app.DataFormat.SubFormat = KsFourCCSubtype(qcam::kFourCC_I420);
  } else {
    bmi.biCompression = 0;
    bmi.biBitCount = 24;
    bmi.biSizeImage = pixels * 3;
    app.DataFormat.SubFormat = KSDATAFORMAT_SUBTYPE_RGB24;
  }
  app.DataFormat.SampleSize = bmi.biSizeImage;
  return app;
}

}  // namespace

bool ParseStreamFormat(const std::string& format, const std::string& size, StreamFormat* out, std::string* error) {
  StreamFormat f;
  f.name = format;
  if (format == "MJPG") {
    f.fourcc = qcam::kFourCC_MJPG;
  } else if (format == "YUY2") {
    f.fourcc = qcam::kFourCC_YUY2;
  } else if (format == "I420") {
    f.fourcc = qcam::kFourCC_I420;
    f.decoded = true;
  } else if (format == "RGB24") {
    f.fourcc = 0;
    f.decoded = true;
  } else {
    *error = format.empty() ? "no format given (MJPG, YUY2, I420 or RGB24)"
                            : "unknown format '" + format + "' (known: MJPG, YUY2, I420, RGB24)";
    return false;
  }
  if (!ParseSize(size, &f.width, &f.height)) {
    *error = "bad size '" + size + "' (expected WxH, e.g. 640x480)";
    return false;
  }
  *out = f;
  return true;
}

bool ParseStreamOption(const std::string& streamText, StreamFormat* out, std::string* error) {
  const size_t colon = streamText.find(':');
  if (colon == std::string::npos) {
    *error = "bad stream '" + streamText + "' (expected FORMAT:WxH, e.g. YUY2:640x480)";
    return false;
  }
  return ParseStreamFormat(streamText.substr(0, colon), streamText.substr(colon + 1), out, error);
}

bool OpenCaptureStream(sim::ClassDriver& cd, const StreamFormat& req, KS_DATAFORMAT_VIDEOINFOHEADER* cameraFormat,
                       std::string* error) {
  const uint32_t slotFourcc = req.decoded ? qcam::kFourCC_MJPG : req.fourcc;
  const auto offered = OfferedFormats(cd);
  const OfferedFormat* slot = nullptr;
  for (const auto& f : offered)
    if (f.fourcc == slotFourcc && f.width == req.width && f.height == req.height) {
      slot = &f;
      break;
    }
  if (!slot) {
    std::string sizes;
    for (const auto& f : offered)
      if (f.fourcc == slotFourcc) sizes += (sizes.empty() ? "" : ", ") + std::to_string(f.width) + "x" + std::to_string(f.height);
    *error = "the camera offers no " + req.name + " " + std::to_string(req.width) + "x" + std::to_string(req.height) +
             (req.decoded ? " (decoded from MJPG)" : "") +
             (sizes.empty() ? std::string(" (no such format)") : " (offered: " + sizes + ")");
    return false;
  }
  if (!IntersectFormat(cd, *slot, cameraFormat, error)) return false;
  KS_DATAFORMAT_VIDEOINFOHEADER appFormat{};
  if (req.decoded) appFormat = ApplicationFormat(*cameraFormat, req);
  const NTSTATUS status = cd.OpenStream(0, *cameraFormat, req.decoded ? &appFormat : nullptr);
  if (!NT_SUCCESS(status)) {
    char buf[64];
    std::snprintf(buf, sizeof(buf), "the driver refused to open the stream (status 0x%08X)", unsigned(status));
    *error = buf;
    cd.CloseStream();  // undo whatever part of the opening succeeded
    return false;
  }
  return true;
}

BackgroundStream::~BackgroundStream() { Stop(); }

bool BackgroundStream::Start(sim::ClassDriver& cd, const StreamFormat& format, std::string* error) {
  if (cd_) {
    *error = "a " + format_.name + " stream is running already";
    return false;
  }
  KS_DATAFORMAT_VIDEOINFOHEADER cameraFormat{};
  if (!OpenCaptureStream(cd, format, &cameraFormat, error)) return false;
  cd_ = &cd;
  format_ = format;
  recent_.clear();
  delivered_ = 0;
  stopping_ = false;
  ended_ = false;
  const int64_t interval = cameraFormat.VideoInfoHeader.AvgTimePerFrame;  // 100 ns units
  const uint64_t frameMs = interval >= 10000 ? uint64_t(interval / 10000) : 1;
  thread_ = std::thread([this, frameMs] { Pump(frameMs); });
  return true;
}

void BackgroundStream::Pump(uint64_t frameMs) {
  cd_->Run(UINT32_MAX, [&](const sim::DeliveredFrame& frame) {
    std::unique_lock<std::mutex> hold(lock_);
    recent_.push_back({++delivered_, frame.bytesReturned, frame.still});
    if (recent_.size() > kMaxWait) recent_.pop_front();
    if (copiesWanted_ > 0) {
      copies_.push_back(frame);
      --copiesWanted_;
    }
    changed_.notify_all();
    // The camera sends the next frame one frame interval later on the PC clock.
    changed_.wait_for(hold, platform::PcToReal(frameMs), [this] { return stopping_; });
    return !stopping_;
  });
  std::lock_guard<std::mutex> hold(lock_);
  ended_ = true;
  changed_.notify_all();
}

void BackgroundStream::Stop() {
  if (!cd_) return;
  {
    std::lock_guard<std::mutex> hold(lock_);
    stopping_ = true;
    changed_.notify_all();
  }
  if (thread_.joinable()) thread_.join();
  cd_->CloseStream();
  cd_ = nullptr;
}

uint32_t BackgroundStream::Delivered() const {
  std::lock_guard<std::mutex> hold(lock_);
  return delivered_;
}

bool BackgroundStream::WaitFrames(uint32_t count, std::vector<FrameNote>* frames) {
  return WaitFramesAfter(Delivered(), count, frames);
}

bool BackgroundStream::WaitFramesAfter(uint32_t from, uint32_t count, std::vector<FrameNote>* frames) {
  frames->clear();
  if (count > kMaxWait) count = kMaxWait;
  std::unique_lock<std::mutex> hold(lock_);
  changed_.wait(hold, [&] { return delivered_ >= from + count || ended_ || !cd_; });
  for (const FrameNote& f : recent_)
    if (f.number > from && f.number <= from + count) frames->push_back(f);
  return frames->size() == count;
}

bool BackgroundStream::WaitFrameData(uint32_t count, std::vector<sim::DeliveredFrame>* frames) {
  frames->clear();
  if (count > 16) count = 16;
  std::unique_lock<std::mutex> hold(lock_);
  copies_.clear();
  copiesWanted_ = count;
  changed_.wait(hold, [&] { return copies_.size() >= count || ended_ || !cd_; });
  copiesWanted_ = 0;
  frames->swap(copies_);
  copies_.clear();
  return frames->size() == count;
}

StreamForWork::StreamForWork(BackgroundStream& stream, sim::ClassDriver& cd, const std::string& streamText)
    : stream_(stream) {
  if (streamText.empty()) return;
  StreamFormat format;
  std::vector<FrameNote> first;
  if (stream.Open()) {
    error_ = "a stream is running already (stop it, or leave out --stream)";
  } else if (ParseStreamOption(streamText, &format, &error_) && stream.Start(cd, format, &error_)) {
    started_ = true;
    if (!stream.WaitFrames(1, &first)) error_ = "the stream delivered no frame";
  }
}

StreamForWork::~StreamForWork() {
  if (started_) stream_.Stop();
}

bool StreamForWork::Ok(std::string* error) const {
  if (error_.empty()) return true;
  *error = error_;
  return false;
}

}  // namespace qcam_tool
