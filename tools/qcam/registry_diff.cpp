// Registry text compared key by key.
#include "tools/qcam/registry_diff.h"

#include <map>
#include <sstream>

namespace qcam_tool {
namespace {

struct KeyBlock {
  std::string key;
  std::string values;  // the value lines, as rendered
};

// The keys of a rendering in order, each with its value lines.
std::vector<KeyBlock> Blocks(const std::string& text) {
  std::vector<KeyBlock> blocks;
  std::istringstream in(text);
  std::string line;
  while (std::getline(in, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (line.size() >= 2 && line.front() == '[' && line.back() == ']') {
      blocks.push_back({line.substr(1, line.size() - 2), ""});
    } else if (!blocks.empty() && !line.empty()) {
      blocks.back().values += line + "\n";
    }
  }
  return blocks;
}

}  // namespace

std::vector<RegistryChange> DiffRegistryText(const std::string& before, const std::string& after) {
  const std::vector<KeyBlock> old = Blocks(before), now = Blocks(after);
  std::map<std::string, const KeyBlock*> oldByKey, nowByKey;
  for (const KeyBlock& b : old) oldByKey.emplace(b.key, &b);
  for (const KeyBlock& b : now) nowByKey.emplace(b.key, &b);
  std::vector<RegistryChange> changes;
  // Keys that came or went, by path, to the change that lists them (a
  // rendering lists a parent before its subkeys).
  std::map<std::string, size_t> listedBy;
  auto note = [&](RegistryChange::Kind kind, const std::string& key) {
    const size_t cut = key.rfind('\\');
    auto parent = cut == std::string::npos ? listedBy.end() : listedBy.find(key.substr(0, cut));
    if (parent != listedBy.end() && changes[parent->second].kind == kind) {
      ++changes[parent->second].subkeys;
      listedBy[key] = parent->second;
      return;
    }
    listedBy[key] = changes.size();
    changes.push_back({kind, key});
  };
  for (const KeyBlock& b : old)
    if (!nowByKey.count(b.key)) note(RegistryChange::kRemoved, b.key);
  for (const KeyBlock& b : now) {
    auto it = oldByKey.find(b.key);
    if (it == oldByKey.end()) note(RegistryChange::kAdded, b.key);
    else if (it->second->values != b.values) changes.push_back({RegistryChange::kChanged, b.key});
  }
  return changes;
}

std::string RegistryChangeLine(const RegistryChange& change) {
  const char* mark = change.kind == RegistryChange::kAdded ? "+ " : change.kind == RegistryChange::kRemoved ? "- " : "* ";
  std::string line = mark + change.key;
  if (change.subkeys) line += " (and " + std::to_string(change.subkeys) + (change.subkeys == 1 ? " subkey)" : " subkeys)");
  return line;
}

}  // namespace qcam_tool
