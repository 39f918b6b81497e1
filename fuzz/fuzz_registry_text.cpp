// Registry text parser: any bytes must be either refused with a reason and no
// change, or accepted into a registry whose rendering reads back to itself.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "platform/nt/platform_control.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const bool ready = [] {
    platform::ResetMachine();  // memory only: nothing reaches the disk
    return true;
  }();
  (void)ready;
  if (size > (1u << 20)) return 0;
  const std::string text(reinterpret_cast<const char*>(data), size);
  const std::string before = platform::RenderRegistryText();
  std::string error;
  if (!platform::ParseRegistryText(text, &error)) {
    if (error.empty() || platform::RenderRegistryText() != before) {
      std::fprintf(stderr, "refused text without a reason or with a change\n");
      std::abort();
    }
    return 0;
  }
  const std::string rendered = platform::RenderRegistryText();
  if (!platform::ParseRegistryText(rendered, &error)) {
    std::fprintf(stderr, "rendered registry does not parse: %s\n%s\n", error.c_str(), rendered.c_str());
    std::abort();
  }
  if (platform::RenderRegistryText() != rendered) {
    std::fprintf(stderr, "rendered registry does not read back to itself\n");
    std::abort();
  }
  platform::ResetMachine();
  return 0;
}
