// The registry's text file format: the "Windows Registry Editor Version 5.00"
// file the simulated PC keeps as ROOT/registry.reg, rendered from the key
// tree and read back into one.
#pragma once

#include <string>

#include "platform/nt/registry_tree.h"

namespace platform {
namespace registry {

// The largest text read back.
inline constexpr size_t kMaxTextSize = 32u << 20;

// The whole tree as registry text.
std::string RenderText(const RegKey& hive);
// Reads registry text (UTF-8, UTF-8 with a byte-order mark, or UTF-16LE) into
// `hive`; false with "line N: reason" when the text is not valid.
bool ParseText(const std::string& text, RegKey* hive, std::string* error);

}  // namespace registry
}  // namespace platform
