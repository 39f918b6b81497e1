// The simulated USB camera class driver QORCAMD2 and the stream class around
// it: it loads the minidriver, plugs the camera in, drives the minidriver's
// callbacks in the order the system does, assembles frames from the camera's
// packets on its own thread and hands each processed frame to the application
// that opened the stream.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "platform/stream/usbcamdi.h"
#include "sim/camera.h"

namespace sim {

typedef NTSTATUS (*MinidriverEntry)(PDRIVER_OBJECT DriverObject, PUNICODE_STRING RegistryPath);

// One delivered frame as the application sees it.
struct DeliveredFrame {
  uint32_t number = 0;          // 1-based
  std::vector<uint8_t> data;    // the application's buffer
  uint32_t bytesReturned = 0;   // as the minidriver reported it (0 = empty frame)
  bool still = false;           // the minidriver flagged the frame as a still
};

class ClassDriver {
 public:
  ClassDriver();
  ~ClassDriver();
  ClassDriver(const ClassDriver&) = delete;
  ClassDriver& operator=(const ClassDriver&) = delete;

  // Loads the minidriver and plugs the camera in: DriverEntry, configure,
  // initialize, SRB_INITIALIZE_DEVICE, SRB_INITIALIZATION_COMPLETE and
  // SRB_GET_STREAM_INFO.
  NTSTATUS Plug(MinidriverEntry entry, Camera* camera);
  bool Plugged() const { return plugged_; }
  // Surprise removal (at any time, from any thread), then uninitialize.
  void Unplug();

  // The device context (the minidriver's device state).
  PVOID DeviceContext() { return deviceContext_.data(); }
  // Stream information as the minidriver answered SRB_GET_STREAM_INFO.
  const HW_STREAM_HEADER& StreamHeader() const { return streamHeader_; }
  const std::vector<HW_STREAM_INFORMATION>& StreamInfo() const { return streamInfo_; }
  // The device descriptor of the camera plugged in last (zeros before).
  USB_DEVICE_DESCRIPTOR DeviceDescriptor() const;

  // SRB_GET_DATA_INTERSECTION for one of the application's ranges.
  NTSTATUS DataIntersection(ULONG stream, PKSDATARANGE range, PVOID buffer, ULONG bufferSize, ULONG* actual);
  // Device property request as IOCTL_KS_PROPERTY brings it (get or set).
  NTSTATUS DeviceProperty(bool set, PKSPROPERTY property, ULONG propertySize, PVOID data, ULONG dataSize,
                          ULONG* bytesReturned);

  // Capture stream: SRB_OPEN_STREAM with the format, set data format,
  // allocate bandwidth and start capture. `cameraFormat` is the format the
  // camera streams (an offered slot); `applicationFormat`, when given, is the
  // format handed to bandwidth allocation instead (the decoded formats I420 and
  // RGB24 ride on an MJPG slot).
  NTSTATUS OpenStream(ULONG stream, const KS_DATAFORMAT_VIDEOINFOHEADER& cameraFormat,
                      const KS_DATAFORMAT_VIDEOINFOHEADER* applicationFormat = nullptr);
  // Streams until `frames` frames were delivered, the callback returns false,
  // or the camera is unplugged. Packets and frames are processed on the class
  // driver's own thread; the callback runs there.
  NTSTATUS Run(uint32_t frames, const std::function<bool(const DeliveredFrame&)>& onFrame);
  // Stop capture, free bandwidth, close the stream.
  NTSTATUS CloseStream();

  // Every minidriver callback and request, in order ("configure",
  // "initialize", "SRB_INITIALIZE_DEVICE", ..., "packet" once per frame's
  // packets, "frame").
  std::vector<std::string> CallLog() const;

  // The minidriver's version 2 callback table, for tests that drive single
  // callbacks with crafted packets and frames.
  const USBCAMD_DEVICE_DATA2* Callbacks() const;

 private:
  // (state kept in class_driver.cpp)
  struct Impl;
  Impl* impl_;
  std::atomic<bool> plugged_{false};
  std::vector<uint8_t> deviceContext_;
  HW_STREAM_HEADER streamHeader_{};
  std::vector<HW_STREAM_INFORMATION> streamInfo_;
};

}  // namespace sim
