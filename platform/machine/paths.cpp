// Mapping between the PC's Win32 paths and host paths below the root.
#include "platform/machine/paths.h"

#include <dirent.h>

#include <cctype>
#include <vector>

#include "platform/nt/platform_control.h"

namespace platform {
namespace {

bool EqualNoCase(const std::string& a, const std::string& b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i)
    if (std::tolower((unsigned char)a[i]) != std::tolower((unsigned char)b[i])) return false;
  return true;
}

bool StartsNoCase(const std::string& s, const std::string& prefix) {
  return s.size() >= prefix.size() && EqualNoCase(s.substr(0, prefix.size()), prefix);
}

// The existing entry of `dir` named `name` without regard to case, else `name`.
std::string MatchCase(const std::string& dir, const std::string& name) {
  DIR* d = opendir(dir.c_str());
  if (!d) return name;
  std::string found = name;
  while (dirent* e = readdir(d)) {
    if (e->d_name == name) {
      found = name;
      break;
    }
    if (EqualNoCase(e->d_name, name)) found = e->d_name;
  }
  closedir(d);
  return found;
}

}  // namespace

bool MapWin32Path(const std::string& win32Path, std::string* hostPath) {
  const std::string root = internal::CurrentRoot();
  if (root.empty()) return false;
  std::string p = win32Path;
  for (char& c : p)
    if (c == '/') c = '\\';
  std::string rest;
  std::string base;
  if (StartsNoCase(p, "%SystemRoot%\\") || StartsNoCase(p, "\\SystemRoot\\")) {
    rest = p.substr(p.find('\\', 1) + 1);
    base = "Windows";
  } else if (EqualNoCase(p, "%SystemRoot%") || EqualNoCase(p, "\\SystemRoot")) {
    base = "Windows";
  } else if (p.size() >= 2 && (p[0] == 'C' || p[0] == 'c') && p[1] == ':') {
    if (p.size() > 2 && p[2] != '\\') return false;  // "C:x" is relative to a current folder
    rest = p.size() > 3 ? p.substr(3) : "";
    base = "C";
  } else {
    return false;
  }
  std::vector<std::string> parts;
  size_t start = 0;
  while (start <= rest.size()) {
    size_t end = rest.find('\\', start);
    if (end == std::string::npos) end = rest.size();
    std::string part = rest.substr(start, end - start);
    if (part == "..") {
      if (parts.empty()) return false;
      parts.pop_back();
    } else if (!part.empty() && part != ".") {
      parts.push_back(part);
    }
    start = end + 1;
  }
  // C:\Windows is the Windows folder of the root.
  if (base == "C" && !parts.empty() && EqualNoCase(parts[0], "Windows")) {
    base = "Windows";
    parts.erase(parts.begin());
  }
  std::string host = root + "/" + base;
  for (const std::string& part : parts) host += "/" + MatchCase(host, part);
  *hostPath = host;
  return true;
}

bool HostToWin32Path(const std::string& hostPath, std::string* win32Path) {
  const std::string root = internal::CurrentRoot();
  if (root.empty() || hostPath.size() <= root.size() || hostPath.compare(0, root.size(), root) != 0 ||
      hostPath[root.size()] != '/')
    return false;
  std::string rest = hostPath.substr(root.size() + 1);
  std::string out;
  if (rest == "Windows" || rest.compare(0, 8, "Windows/") == 0) {
    out = "C:\\" + rest;
  } else if (rest == "C" || rest.compare(0, 2, "C/") == 0) {
    out = "C:\\" + rest.substr(rest.size() > 1 ? 2 : 1);
  } else {
    return false;
  }
  for (char& c : out)
    if (c == '/') c = '\\';
  *win32Path = out;
  return true;
}

}  // namespace platform
