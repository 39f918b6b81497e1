// The atom table and RegisterWindowMessage.
#include "platform/win32/atoms.h"

#include <map>
#include <mutex>
#include <vector>

#include "platform/win32/text.h"

namespace platform {
namespace win32 {
namespace {

constexpr ATOM kFirstAtom = 0xC000;

struct AtomTable {
  std::mutex lock;
  std::vector<std::string> names;  // atom kFirstAtom + i
};
AtomTable& A() {
  static AtomTable* a = new AtomTable;
  return *a;
}

// "#123" names the integer atom 123 (below 0xC000).
bool IntegerAtom(const std::string& name, ATOM* atom) {
  if (name.size() < 2 || name[0] != '#') return false;
  unsigned v = 0;
  for (size_t i = 1; i < name.size(); ++i) {
    if (name[i] < '0' || name[i] > '9') return false;
    v = v * 10 + unsigned(name[i] - '0');
    if (v >= kFirstAtom) return false;
  }
  *atom = ATOM(v);
  return v != 0;
}

ATOM FindLocked(AtomTable& a, const std::string& name) {
  for (size_t i = 0; i < a.names.size(); ++i)
    if (EqualNoCase(a.names[i], name)) return ATOM(kFirstAtom + i);
  return 0;
}

}  // namespace

ATOM AddAtomName(const std::string& name) {
  ATOM atom = 0;
  if (IntegerAtom(name, &atom)) return atom;
  if (name.empty() || name.size() > 255) return 0;
  AtomTable& a = A();
  std::lock_guard<std::mutex> hold(a.lock);
  if ((atom = FindLocked(a, name)) != 0) return atom;
  if (a.names.size() >= size_t(0x10000 - kFirstAtom)) return 0;
  a.names.push_back(name);
  return ATOM(kFirstAtom + a.names.size() - 1);
}

ATOM FindAtomName(const std::string& name) {
  ATOM atom = 0;
  if (IntegerAtom(name, &atom)) return atom;
  AtomTable& a = A();
  std::lock_guard<std::mutex> hold(a.lock);
  return FindLocked(a, name);
}

std::string AtomName(ATOM atom) {
  AtomTable& a = A();
  std::lock_guard<std::mutex> hold(a.lock);
  if (atom >= kFirstAtom && size_t(atom - kFirstAtom) < a.names.size()) return a.names[atom - kFirstAtom];
  if (atom && atom < kFirstAtom) return "#" + std::to_string(atom);
  return std::string();
}

}  // namespace win32
}  // namespace platform

UINT WINAPI RegisterWindowMessageA(LPCSTR lpString) {
  if (!lpString || !*lpString) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  const ATOM atom = platform::win32::AddAtomName(lpString);
  // Integer atoms ("#123") are not message names.
  if (atom < 0xC000) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  return atom;
}

UINT WINAPI RegisterWindowMessageW(LPCWSTR lpString) {
  if (!lpString || !*lpString) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  return RegisterWindowMessageA(platform::win32::WideToAnsiText(lpString).c_str());
}
