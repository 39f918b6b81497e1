// Capture streams as an application opens them: the format it asks for, the
// offered slot found through format intersection, and a stream kept running
// on the class driver's thread while the application does other things.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "platform/stream/ks.h"
#include "sim/class_driver.h"

namespace qcam_tool {

// What an application asks for. I420 and RGB24 ride on an MJPG slot of the
// same size and are decoded by the driver.
struct StreamFormat {
  std::string name;       // "MJPG", "YUY2", "I420", "RGB24"
  uint32_t fourcc = 0;    // the application's format (0 = RGB24)
  bool decoded = false;
  int width = 0, height = 0;
};
// Format name and "WxH"; false with a one-line reason.
bool ParseStreamFormat(const std::string& format, const std::string& size, StreamFormat* out, std::string* error);
// "FORMAT:WxH", as --stream takes it.
bool ParseStreamOption(const std::string& streamText, StreamFormat* out, std::string* error);

// Finds the offered slot, intersects and opens the capture stream (open, set
// format, allocate bandwidth, start capture). *cameraFormat receives the
// format the camera streams. False with a one-line reason.
bool OpenCaptureStream(sim::ClassDriver& cd, const StreamFormat& format, KS_DATAFORMAT_VIDEOINFOHEADER* cameraFormat,
                       std::string* error);

// One delivered frame, briefly.
struct FrameNote {
  uint32_t number = 0;
  uint32_t bytes = 0;  // 0 = an empty frame
  bool still = false;
};

// A stream running in the background: frames flow on the class driver's
// thread at the negotiated frame rate on the PC clock, as they would for a
// capture application that holds the camera, until Stop, or until the camera
// is unplugged.
class BackgroundStream {
 public:
  BackgroundStream() = default;
  BackgroundStream(const BackgroundStream&) = delete;
  BackgroundStream& operator=(const BackgroundStream&) = delete;
  ~BackgroundStream();

  // Opens the stream and starts the frames. False with a reason (and no
  // stream) when one runs already or the driver refuses.
  bool Start(sim::ClassDriver& cd, const StreamFormat& format, std::string* error);
  // Stops the frames and closes the stream; nothing when none runs.
  void Stop();
  // A stream was started and not stopped (it may have ended by an unplug).
  bool Open() const { return cd_ != nullptr; }
  const StreamFormat& Format() const { return format_; }
  // Frames delivered since Start.
  uint32_t Delivered() const;
  // Waits for `count` (at most kMaxWait) more frames and returns them;
  // false, with what came, when the stream ended first.
  static constexpr uint32_t kMaxWait = 1000;
  bool WaitFrames(uint32_t count, std::vector<FrameNote>* frames);
  // The same counted from frame number `after` (a value Delivered() gave),
  // so that frames that came meanwhile are not missed.
  bool WaitFramesAfter(uint32_t after, uint32_t count, std::vector<FrameNote>* frames);
  // Waits for `count` (at most 16) more frames and gives their bytes as
  // delivered; false, with what came, when the stream ended first.
  bool WaitFrameData(uint32_t count, std::vector<sim::DeliveredFrame>* frames);

 private:
  void Pump(uint64_t frameMs);

  sim::ClassDriver* cd_ = nullptr;
  StreamFormat format_;
  std::thread thread_;
  mutable std::mutex lock_;
  std::condition_variable changed_;
  std::deque<FrameNote> recent_;  // the last kMaxWait frames
  uint32_t delivered_ = 0;
  uint32_t copiesWanted_ = 0;                 // frames WaitFrameData still waits for
  std::vector<sim::DeliveredFrame> copies_;  // their copies
  bool stopping_ = false;
  bool ended_ = false;
};

// A stream held for one piece of work (a command's --stream FORMAT:WxH), as
// a capture application holds the camera meanwhile: started, its first
// frame waited for (the driver knows the format from then on), stopped when
// this object goes. An empty streamText holds nothing.
class StreamForWork {
 public:
  StreamForWork(BackgroundStream& stream, sim::ClassDriver& cd, const std::string& streamText);
  ~StreamForWork();
  StreamForWork(const StreamForWork&) = delete;
  StreamForWork& operator=(const StreamForWork&) = delete;
  // False with the reason when the stream was asked for and did not run.
  bool Ok(std::string* error) const;

 private:
  BackgroundStream& stream_;
  bool started_ = false;
  std::string error_;
};

}  // namespace qcam_tool
