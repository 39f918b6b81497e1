// Shared helpers of the platform's DirectShow objects.
#include "platform/dshow/com_object.h"

#include <algorithm>

#include "platform/machine/dshow_control.h"

namespace {
std::atomic<long> g_live{0};
}

namespace platform {
long LiveDirectShowObjects() { return g_live.load(); }
}  // namespace platform

namespace dshow {

void CountObject(int delta) { g_live += delta; }

LPWSTR TaskMemString(const std::wstring& text) {
  LPWSTR copy = static_cast<LPWSTR>(CoTaskMemAlloc((text.size() + 1) * sizeof(WCHAR)));
  if (!copy) return nullptr;
  std::copy(text.begin(), text.end(), copy);
  copy[text.size()] = 0;
  return copy;
}

void CopyName(const std::wstring& text, WCHAR* out, size_t capacity) {
  if (!capacity) return;
  size_t n = std::min(text.size(), capacity - 1);
  std::copy(text.begin(), text.begin() + n, out);
  out[n] = 0;
}

}  // namespace dshow
