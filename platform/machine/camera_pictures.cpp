#include "platform/machine/camera_pictures.h"

#include <memory>
#include <mutex>

namespace platform {
namespace {

std::mutex g_lock;
// Held by shared pointer so that a request running on a program's thread
// keeps its source alive while the tool replaces or removes it.
std::shared_ptr<CameraPictureSource> g_source;

constexpr uint32_t kMaxPicturesPerRequest = 16;

}  // namespace

void SetCameraPictureSource(CameraPictureSource source) {
  std::lock_guard<std::mutex> hold(g_lock);
  g_source = source ? std::make_shared<CameraPictureSource>(std::move(source)) : nullptr;
}

bool TakeCameraPictures(const std::string& devicePath, uint32_t count, std::vector<CameraPicture>* pictures,
                        std::string* error) {
  pictures->clear();
  std::shared_ptr<CameraPictureSource> source;
  {
    std::lock_guard<std::mutex> hold(g_lock);
    source = g_source;
  }
  if (!source) {
    *error = "no camera streams on this PC";
    return false;
  }
  if (count == 0 || count > kMaxPicturesPerRequest) {
    *error = "between 1 and 16 pictures can be asked for at once";
    return false;
  }
  if (!(*source)(devicePath, count, pictures, error)) return false;
  if (pictures->size() != count) {
    *error = "the camera delivered " + std::to_string(pictures->size()) + " of " + std::to_string(count) + " frames";
    return false;
  }
  return true;
}

}  // namespace platform
