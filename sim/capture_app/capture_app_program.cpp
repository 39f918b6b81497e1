// The outside capture application the tray button manager starts: a hidden
// top-level window with the class and title the tray looks for, which on the
// tray's button message takes pictures from the camera and saves them as
// PNG files under C:\Users\Public\Pictures\. What it does goes, one line per
// action, to capture.log in the PC root.
//
// The button message's wParam chooses the picture:
//   1  a still picture: one frame;
//   2  the snapshot file the driver wrote (\SystemRoot\Snap.dat), or one
//      frame when there is none (said in the log);
//   3  a burst: three consecutive frames.
#include <windows.h>
#include <objbase.h>
#include <dshow.h>
#include <qedit.h>
#include <uuids.h>

#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "platform/appframe/video_devices.h"
#include "platform/machine/camera_pictures.h"
#include "platform/machine/paths.h"
#include "platform/nt/platform_control.h"
#include "shared/tray_names.h"
#include "sim/capture_app/capture_app_log.h"
#include "sim/image_io.h"
#include "sim/snapshot_file.h"

namespace {

constexpr const char* kPicturesFolder = "C:\\Users\\Public\\Pictures\\";
constexpr uint32_t kBurstFrames = 3;
// The driver writes the snapshot file in the Windows folder.
constexpr const char* kSnapshotWin32Path = "C:\\Windows\\Snap.dat";
// A snapshot file is at most a 2560 x 2048 picture of 3 bytes per pixel.
constexpr size_t kSnapshotLimit = sim::kSnapshotHeaderSize + 2560u * 2048u * 3u;

constexpr uint32_t kFourCC_MJPG = 0x47504A4D;  // 'MJPG'

UINT g_buttonMessage = 0;

template <class T>
void SafeRelease(T** p) {
  if (*p) (*p)->Release();
  *p = NULL;
}

// The first video input device that binds to a filter, as a capture
// application picks its default camera.
HRESULT OpenFirstCamera(IBaseFilter** filter, std::string* devicePath, std::string* friendlyName) {
  IEnumMoniker* monikers = appframe::VideoInputMonikers();
  if (!monikers) return VFW_E_NOT_FOUND;
  HRESULT hr = VFW_E_NOT_FOUND;
  IMoniker* moniker = NULL;
  while (!*filter && monikers->Next(1, &moniker, NULL) == S_OK) {
    *devicePath = appframe::MonikerProperty(moniker, L"DevicePath", appframe::kWholeText);
    *friendlyName = appframe::MonikerFriendlyName(moniker, appframe::kWholeText);
    hr = moniker->BindToObject(NULL, NULL, IID_IBaseFilter, reinterpret_cast<void**>(filter));
    moniker->Release();
  }
  monikers->Release();
  return *filter ? S_OK : hr;
}

// The graph a preview-less capture application builds: the camera's filter,
// a Sample Grabber asking for 24-bit RGB with sample buffering, a Null
// Renderer; running while the pictures are taken.
class CaptureGraph {
 public:
  ~CaptureGraph() {
    if (control_) control_->Stop();
    SafeRelease(&control_);
    SafeRelease(&renderer_);
    SafeRelease(&grabberFilter_);
    SafeRelease(&camera_);
    SafeRelease(&graph_);
  }

  // False with the failed step in *error.
  bool Build(std::string* error) {
    HRESULT hr = OpenFirstCamera(&camera_, &devicePath_, &friendlyName_);
    if (FAILED(hr)) return Failed("no camera found", hr, error);
    hr = CoCreateInstance(CLSID_FilterGraph, NULL, CLSCTX_INPROC_SERVER, IID_IGraphBuilder,
                          reinterpret_cast<void**>(&graph_));
    if (FAILED(hr)) return Failed("cannot create the filter graph", hr, error);
    hr = graph_->AddFilter(camera_, L"Video Capture");
    if (FAILED(hr)) return Failed("cannot add the camera to the graph", hr, error);
    hr = CoCreateInstance(CLSID_SampleGrabber, NULL, CLSCTX_INPROC_SERVER, IID_IBaseFilter,
                          reinterpret_cast<void**>(&grabberFilter_));
    if (SUCCEEDED(hr)) hr = graph_->AddFilter(grabberFilter_, L"Sample Grabber");
    if (FAILED(hr)) return Failed("cannot add the Sample Grabber", hr, error);
    ISampleGrabber* grabber = NULL;
    if (SUCCEEDED(grabberFilter_->QueryInterface(IID_ISampleGrabber, reinterpret_cast<void**>(&grabber)))) {
      AM_MEDIA_TYPE type{};
      type.majortype = MEDIATYPE_Video;
      type.subtype = MEDIASUBTYPE_RGB24;
      grabber->SetMediaType(&type);
      grabber->SetBufferSamples(TRUE);
      grabber->Release();
    }
    hr = CoCreateInstance(CLSID_NullRenderer, NULL, CLSCTX_INPROC_SERVER, IID_IBaseFilter,
                          reinterpret_cast<void**>(&renderer_));
    if (SUCCEEDED(hr)) hr = graph_->AddFilter(renderer_, L"Null Renderer");
    if (FAILED(hr)) return Failed("cannot add the Null Renderer", hr, error);
    hr = graph_->QueryInterface(IID_IMediaControl, reinterpret_cast<void**>(&control_));
    if (SUCCEEDED(hr)) hr = control_->Run();
    if (FAILED(hr)) return Failed("the graph does not run", hr, error);
    return true;
  }

  // The frames the grabber would have buffered.
  bool Take(uint32_t count, std::vector<platform::CameraPicture>* pictures, std::string* error) {
    return platform::TakeCameraPictures(devicePath_, count, pictures, error);
  }

  const std::string& FriendlyName() const { return friendlyName_; }

 private:
  static bool Failed(const char* what, HRESULT hr, std::string* error) {
    char text[96];
    std::snprintf(text, sizeof(text), "%s (0x%08lX)", what, static_cast<unsigned long>(hr));
    *error = text;
    return false;
  }

  IBaseFilter* camera_ = NULL;
  IGraphBuilder* graph_ = NULL;
  IBaseFilter* grabberFilter_ = NULL;
  IBaseFilter* renderer_ = NULL;
  IMediaControl* control_ = NULL;
  std::string devicePath_, friendlyName_;
};

// Writes one picture under a new name; the Win32 path of the file, or empty
// with a reason.
std::string SavePicture(const sim::RgbImage& rgb, std::string* error) {
  std::string win32, host;
  if (!sim::ReserveNewPictureName(kPicturesFolder, "Snapshot", "png", &win32, &host, error)) return std::string();
  if (!sim::WritePng(host, rgb, error)) return std::string();
  return win32;
}

// Saves delivered frames; one log line per picture. False at the first failure.
bool SaveFrames(const char* what, const std::vector<platform::CameraPicture>& frames, std::string* error) {
  for (size_t i = 0; i < frames.size(); ++i) {
    const platform::CameraPicture& frame = frames[i];
    sim::RgbImage rgb;
    if (frame.fourcc == kFourCC_MJPG) {
      if (!sim::DecodeJpeg(frame.bytes, "a delivered JPEG frame", &rgb, error)) return false;
    } else if (!sim::DeliveredToRgb(frame.fourcc, frame.bytes.data(), frame.bytes.size(), frame.width,
                                    frame.height, &rgb)) {
      *error = "a delivered frame is no picture this application can read";
      return false;
    }
    const std::string path = SavePicture(rgb, error);
    if (path.empty()) return false;
    char line[160];
    std::snprintf(line, sizeof(line), "%s %zu/%zu (%dx%d): saved ", what, i + 1, frames.size(), frame.width,
                  frame.height);
    sim::CaptureLog(line + path);
  }
  return true;
}

// The snapshot file as a picture; false with the reason it cannot be used.
bool ReadSnapshot(sim::RgbImage* rgb, std::string* description, std::string* error) {
  std::string host;
  if (!platform::MapWin32Path(kSnapshotWin32Path, &host)) {
    *error = "the PC has no Windows folder";
    return false;
  }
  std::ifstream in(host, std::ios::binary);
  if (!in) {
    *error = std::string(kSnapshotWin32Path) + " does not exist";
    return false;
  }
  std::vector<uint8_t> bytes;
  bytes.reserve(4096);
  char chunk[65536];
  while (in && bytes.size() <= kSnapshotLimit) {
    in.read(chunk, sizeof(chunk));
    bytes.insert(bytes.end(), chunk, chunk + in.gcount());
  }
  if (bytes.size() > kSnapshotLimit) {
    *error = std::string(kSnapshotWin32Path) + " is larger than any snapshot";
    return false;
  }
  sim::SnapshotFile snap;
  if (!sim::ParseSnapshotFile(bytes.empty() ? nullptr : bytes.data(), bytes.size(), &snap, error) ||
      !sim::SnapshotToRgb(snap, rgb, error)) {
    *error = std::string(kSnapshotWin32Path) + ": " + *error;
    return false;
  }
  *description = std::string(kSnapshotWin32Path) + " (" + sim::SnapshotFormatName(snap.formatIndex) + " " +
                 std::to_string(snap.width) + "x" + std::to_string(snap.height) + ")";
  return true;
}

void OnButtonMessage(WPARAM wParam) {
  char head[48];
  std::snprintf(head, sizeof(head), "ButtonMessage wParam=%lu", static_cast<unsigned long>(wParam));
  std::string error;
  if (wParam == qcam::kButtonMessageSnapshot) {
    sim::RgbImage rgb;
    std::string description;
    if (ReadSnapshot(&rgb, &description, &error)) {
      const std::string path = SavePicture(rgb, &error);
      if (!path.empty()) {
        sim::CaptureLog(std::string(head) + ": snapshot file " + description + ": saved " + path);
        return;
      }
      sim::CaptureLog(std::string(head) + ": snapshot file " + description + " not saved: " + error);
      return;
    }
    sim::CaptureLog(std::string(head) + ": no snapshot file to use (" + error + "); taking a frame instead");
  } else if (wParam != qcam::kButtonMessageStill && wParam != qcam::kButtonMessageState2) {
    sim::CaptureLog(std::string(head) + ": not a button this application knows; ignored");
    return;
  }
  CaptureGraph graph;
  if (!graph.Build(&error)) {
    sim::CaptureLog(std::string(head) + ": " + error);
    return;
  }
  const bool burst = wParam == qcam::kButtonMessageState2;
  std::vector<platform::CameraPicture> frames;
  if (!graph.Take(burst ? kBurstFrames : 1, &frames, &error)) {
    sim::CaptureLog(std::string(head) + ": no picture from " + graph.FriendlyName() + ": " + error);
    return;
  }
  const std::string what = std::string(head) + (burst ? ": burst" : ": still picture");
  if (!SaveFrames(what.c_str(), frames, &error)) sim::CaptureLog(std::string(head) + ": not saved: " + error);
}

LRESULT CALLBACK CaptureWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (g_buttonMessage != 0 && message == g_buttonMessage) {
    OnButtonMessage(wParam);
    return 0;
  }
  switch (message) {
    case WM_CLOSE:
      DestroyWindow(window);
      return 0;
    case WM_DESTROY:
      PostQuitMessage(0);
      return 0;
    default:
      return DefWindowProcA(window, message, wParam, lParam);
  }
}

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE previous, LPSTR commandLine, int show) {
  if (FAILED(CoInitialize(NULL))) {
    sim::CaptureLog("cannot start: CoInitialize failed");
    return 1;
  }
  WNDCLASSA windowClass{};
  windowClass.lpfnWndProc = CaptureWindowProc;
  windowClass.hInstance = instance;
  windowClass.lpszClassName = qcam::kCaptureAppWindowClass;
  RegisterClassA(&windowClass);
  g_buttonMessage = RegisterWindowMessageA(qcam::kButtonMessageName);
  HWND window = CreateWindowExA(0, qcam::kCaptureAppWindowClass, qcam::kCaptureAppWindowTitle, WS_POPUP, 0, 0, 320,
                                240, NULL, NULL, instance, NULL);
  if (!window) {
    sim::CaptureLog("cannot start: no window");
    CoUninitialize();
    return 1;
  }
  sim::CaptureLog("started, waiting for the button message");
  MSG message;
  while (GetMessageA(&message, NULL, 0, 0) > 0) {
    TranslateMessage(&message);
    DispatchMessageA(&message);
  }
  sim::CaptureLog("closed");
  UnregisterClassA(qcam::kCaptureAppWindowClass, instance);
  CoUninitialize();
  return 0;
}
