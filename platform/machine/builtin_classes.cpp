// The table of the platform's own COM classes.
#include "platform/machine/builtin_classes.h"

#include <cctype>
#include <deque>
#include <mutex>

namespace platform {
namespace {

struct Table {
  std::mutex lock;
  std::deque<BuiltinClass> classes;  // a deque keeps entries where they are
};
Table& T() {
  static Table* t = new Table;
  return *t;
}

bool SameFile(const std::string& a, const char* b) {
  std::string x = a;
  size_t slash = x.find_last_of("\\/");
  if (slash != std::string::npos) x = x.substr(slash + 1);
  size_t n = std::char_traits<char>::length(b);
  if (x.size() != n) return false;
  for (size_t i = 0; i < n; ++i)
    if (std::tolower((unsigned char)x[i]) != std::tolower((unsigned char)b[i])) return false;
  return true;
}

}  // namespace

BuiltinClassRegistrar::BuiltinClassRegistrar(const BuiltinClass& entry) {
  Table& t = T();
  std::lock_guard<std::mutex> hold(t.lock);
  t.classes.push_back(entry);
}

std::vector<BuiltinClass> BuiltinClasses() {
  Table& t = T();
  std::lock_guard<std::mutex> hold(t.lock);
  return std::vector<BuiltinClass>(t.classes.begin(), t.classes.end());
}

const BuiltinClass* FindBuiltinClass(REFCLSID clsid, const std::string& serverFile) {
  Table& t = T();
  std::lock_guard<std::mutex> hold(t.lock);
  for (const BuiltinClass& c : t.classes)
    if (IsEqualGUID(c.clsid, clsid) && SameFile(serverFile, c.serverFile)) return &c;
  return nullptr;
}

}  // namespace platform
