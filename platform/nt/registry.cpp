// The simulated PC's machine registry: one tree reached by the kernel view
// (\Registry\MACHINE\...) and the user view (HKEY_LOCAL_MACHINE\...), kept in
// memory behind one lock and saved as ROOT/registry.reg after every change.
// Also the PC root itself and the access counters.
#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include <sys/stat.h>
#include <unistd.h>

#include "platform/nt/ntddk.h"
#include "platform/nt/platform_control.h"

namespace {


// Limits of the registry (the real one's key-name, value-name and depth
// limits) and of the text file read back.
constexpr size_t kMaxKeyNameLength = 255;
constexpr size_t kMaxValueNameLength = 16383;
constexpr size_t kMaxDepth = 512;
constexpr size_t kMaxValueData = 1u << 20;
constexpr size_t kMaxTextSize = 32u << 20;

const char kHeader[] = "Windows Registry Editor Version 5.00";
const char kHiveName[] = "HKEY_LOCAL_MACHINE";

std::string Fold(const std::string& s) {
  std::string out(s);
  for (char& c : out)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  return out;
}

bool StartsWithNoCase(const std::string& s, const std::string& prefix) {
  return s.size() >= prefix.size() && Fold(s.substr(0, prefix.size())) == Fold(prefix);
}

struct RegValue {
  std::string name;  // as written
  ULONG type = REG_NONE;
  std::vector<uint8_t> data;  // strings: UTF-8 without terminator
};

struct RegKey {
  std::string name;  // as written
  std::map<std::string, RegValue> values;                  // by folded name
  std::map<std::string, std::unique_ptr<RegKey>> subkeys;  // by folded name
};

struct Machine {
  std::mutex lock;
  std::unique_ptr<RegKey> hive{new RegKey};
  std::string root;
  // Set when ROOT/registry.reg could not be read back: the file is moved
  // aside to registry.reg.damaged before the first save replaces it.
  bool keepDamagedFile = false;
  platform::AccessCounters counters;
};
Machine& M() {
  static Machine* machine = new Machine;  // never destroyed: system threads may outlive statics
  return *machine;
}

bool ValidKeyComponent(const std::string& c) {
  if (c.empty() || c.size() > kMaxKeyNameLength) return false;
  for (unsigned char ch : c)
    if (ch < 0x20 || ch == 0x7F) return false;
  return true;
}

bool ValidValueName(const std::string& n) {
  if (n.size() > kMaxValueNameLength) return false;
  for (unsigned char ch : n)
    if (ch < 0x20 || ch == 0x7F) return false;
  return true;
}

// Splits a key path of either view into its components below the hive.
// Empty components (doubled or trailing backslashes) are skipped.
bool SplitKeyPath(const std::string& path, std::vector<std::string>* parts) {
  static const char* const kPrefixes[] = {"\\Registry\\MACHINE", "HKEY_LOCAL_MACHINE", "HKLM"};
  std::string rest;
  bool matched = false;
  for (const char* prefix : kPrefixes) {
    const std::string p(prefix);
    if (StartsWithNoCase(path, p) && (path.size() == p.size() || path[p.size()] == '\\')) {
      rest = path.substr(p.size());
      matched = true;
      break;
    }
  }
  if (!matched) return false;
  parts->clear();
  size_t i = 0;
  while (i <= rest.size()) {
    size_t j = rest.find('\\', i);
    if (j == std::string::npos) j = rest.size();
    if (j > i) {
      std::string c = rest.substr(i, j - i);
      if (!ValidKeyComponent(c)) return false;
      parts->push_back(std::move(c));
    }
    i = j + 1;
  }
  return parts->size() <= kMaxDepth;
}

RegKey* FindKey(RegKey* hive, const std::vector<std::string>& parts) {
  RegKey* k = hive;
  for (const std::string& c : parts) {
    auto it = k->subkeys.find(Fold(c));
    if (it == k->subkeys.end()) return nullptr;
    k = it->second.get();
  }
  return k;
}

RegKey* CreateKey(RegKey* hive, const std::vector<std::string>& parts, bool* created) {
  RegKey* k = hive;
  if (created) *created = false;
  for (const std::string& c : parts) {
    std::unique_ptr<RegKey>& slot = k->subkeys[Fold(c)];
    if (!slot) {
      slot.reset(new RegKey);
      slot->name = c;
      if (created) *created = true;
    }
    k = slot.get();
  }
  return k;
}

bool DeleteKey(RegKey* hive, const std::vector<std::string>& parts) {
  if (parts.empty()) return false;  // the hive itself stays
  std::vector<std::string> parentParts(parts.begin(), parts.end() - 1);
  RegKey* parent = FindKey(hive, parentParts);
  if (!parent) return false;
  return parent->subkeys.erase(Fold(parts.back())) == 1;
}

void SetValue(RegKey* key, const std::string& name, ULONG type, std::vector<uint8_t> data) {
  RegValue& v = key->values[Fold(name)];
  v.name = name;  // the case of the latest write is kept
  v.type = type;
  v.data = std::move(data);
}

// ---- text rendering ------------------------------------------------------------------
std::string QuoteString(const std::string& s) {
  std::string out = "\"";
  for (char c : s) {
    if (c == '\\' || c == '"') out.push_back('\\');
    out.push_back(c);
  }
  out.push_back('"');
  return out;
}

bool NeedsHexString(const std::vector<uint8_t>& data) {
  for (uint8_t b : data)
    if (b == '\r' || b == '\n' || b == 0) return true;
  return false;
}

void AppendHexList(std::string* out, size_t prefixLength, const std::vector<uint8_t>& bytes) {
  static const char kDigits[] = "0123456789abcdef";
  size_t column = prefixLength;
  for (size_t i = 0; i < bytes.size(); ++i) {
    out->push_back(kDigits[bytes[i] >> 4]);
    out->push_back(kDigits[bytes[i] & 15]);
    column += 2;
    if (i + 1 < bytes.size()) {
      out->push_back(',');
      ++column;
      if (column > 76) {  // wrapped like the registry editor's exports
        out->append("\\\n  ");
        column = 2;
      }
    }
  }
}

std::vector<uint8_t> Utf16LeBytes(const std::string& utf8) {
  const std::u16string w = platform::Widen(utf8);
  std::vector<uint8_t> out;
  out.reserve(w.size() * 2 + 2);
  for (char16_t c : w) {
    out.push_back(static_cast<uint8_t>(c & 0xFF));
    out.push_back(static_cast<uint8_t>(c >> 8));
  }
  out.push_back(0);
  out.push_back(0);
  return out;
}

void RenderValue(std::string* out, const RegValue& v) {
  std::string line = v.name.empty() ? std::string("@") : QuoteString(v.name);
  line.push_back('=');
  if (v.type == REG_DWORD && v.data.size() == 4) {
    char buf[32];
    const uint32_t d = v.data[0] | (v.data[1] << 8) | (v.data[2] << 16) | (static_cast<uint32_t>(v.data[3]) << 24);
    std::snprintf(buf, sizeof buf, "dword:%08x", d);
    line += buf;
  } else if (v.type == REG_SZ && !NeedsHexString(v.data)) {
    line += QuoteString(std::string(v.data.begin(), v.data.end()));
  } else {
    std::vector<uint8_t> bytes = v.data;
    if (v.type == REG_SZ || v.type == REG_EXPAND_SZ) bytes = Utf16LeBytes(std::string(v.data.begin(), v.data.end()));
    if (v.type == REG_BINARY) {
      line += "hex:";
    } else {
      char buf[24];
      std::snprintf(buf, sizeof buf, "hex(%x):", static_cast<unsigned>(v.type));
      line += buf;
    }
    AppendHexList(&line, line.size(), bytes);
  }
  *out += line;
  out->push_back('\n');
}

void RenderKey(std::string* out, const RegKey& key, const std::string& path, bool isHive) {
  if (!isHive || !key.values.empty()) {
    *out += "[" + path + "]\n";
    for (const auto& v : key.values) RenderValue(out, v.second);
    out->push_back('\n');
  }
  for (const auto& sub : key.subkeys) RenderKey(out, *sub.second, path + "\\" + sub.second->name, false);
}

std::string RenderLocked(const RegKey& hive) {
  std::string out = std::string(kHeader) + "\n\n";
  RenderKey(&out, hive, kHiveName, true);
  return out;
}

// Writes the registry file of the current root: a temporary file first, then
// renamed over the old one, so a reader never sees half a file.
bool SaveLocked(Machine& m) {
  if (m.root.empty()) return true;
  const std::string text = RenderLocked(*m.hive);
  const std::string path = m.root + "/registry.reg";
  if (m.keepDamagedFile) {
    if (std::rename(path.c_str(), (path + ".damaged").c_str()) != 0 && errno != ENOENT) {
      std::fprintf(stderr, "registry: cannot keep the damaged %s aside: %s\n", path.c_str(), std::strerror(errno));
      return false;
    }
    m.keepDamagedFile = false;
  }
  const std::string temp = path + ".tmp." + std::to_string(static_cast<long>(getpid()));
  FILE* f = std::fopen(temp.c_str(), "wb");
  if (!f) return false;
  const bool written = std::fwrite(text.data(), 1, text.size(), f) == text.size();
  const bool closed = std::fclose(f) == 0;
  if (!written || !closed || std::rename(temp.c_str(), path.c_str()) != 0) {
    std::remove(temp.c_str());
    std::fprintf(stderr, "registry: cannot save %s: %s\n", path.c_str(), std::strerror(errno));
    return false;
  }
  return true;
}

// ---- text parsing --------------------------------------------------------------------
std::string TrimRight(const std::string& s) {
  size_t e = s.size();
  while (e > 0 && (s[e - 1] == ' ' || s[e - 1] == '\t')) --e;
  return s.substr(0, e);
}

std::string TrimLeft(const std::string& s) {
  size_t b = 0;
  while (b < s.size() && (s[b] == ' ' || s[b] == '\t')) ++b;
  return s.substr(b);
}

// Reads a quoted string starting at s[*pos] == '"' with \\ and \" escapes.
bool ReadQuoted(const std::string& s, size_t* pos, std::string* out, std::string* why) {
  size_t i = *pos + 1;
  out->clear();
  while (i < s.size()) {
    const char c = s[i];
    if (c == '"') {
      *pos = i + 1;
      return true;
    }
    if (c == '\\') {
      if (i + 1 >= s.size()) break;
      const char e = s[i + 1];
      if (e != '\\' && e != '"') {
        *why = "unknown escape \\" + std::string(1, e) + " in a quoted string";
        return false;
      }
      out->push_back(e);
      i += 2;
      continue;
    }
    out->push_back(c);
    ++i;
  }
  *why = "unterminated quoted string";
  return false;
}

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

bool ParseHexNumber(const std::string& s, size_t maxDigits, uint32_t* value) {
  if (s.empty() || s.size() > maxDigits) return false;
  uint32_t v = 0;
  for (char c : s) {
    const int d = HexDigit(c);
    if (d < 0) return false;
    v = (v << 4) | static_cast<uint32_t>(d);
  }
  *value = v;
  return true;
}

bool ParseHexBytes(const std::string& list, std::vector<uint8_t>* out, std::string* why) {
  out->clear();
  size_t i = 0;
  const size_t n = list.size();
  auto skipSpace = [&] {
    while (i < n && (list[i] == ' ' || list[i] == '\t')) ++i;
  };
  skipSpace();
  if (i == n) return true;
  while (true) {
    skipSpace();
    size_t start = i;
    while (i < n && HexDigit(list[i]) >= 0) ++i;
    uint32_t b;
    if (!ParseHexNumber(list.substr(start, i - start), 2, &b)) {
      *why = "bad byte in hex data";
      return false;
    }
    if (out->size() >= kMaxValueData) {
      *why = "value data too long";
      return false;
    }
    out->push_back(static_cast<uint8_t>(b));
    skipSpace();
    if (i == n) return true;
    if (list[i] != ',') {
      *why = "expected ',' in hex data";
      return false;
    }
    ++i;
  }
}

// UTF-16LE bytes of a string value (from hex(1) / hex(2)) to UTF-8, cut at the
// first terminator.
bool Utf16LeToUtf8(const std::vector<uint8_t>& bytes, std::vector<uint8_t>* out, std::string* why) {
  if (bytes.size() % 2) {
    *why = "string data of odd length";
    return false;
  }
  std::u16string w;
  for (size_t i = 0; i + 1 < bytes.size(); i += 2) {
    const char16_t c = static_cast<char16_t>(bytes[i] | (bytes[i + 1] << 8));
    if (c == 0) break;
    w.push_back(c);
  }
  const std::string s = platform::Narrow(w.data(), w.size());
  out->assign(s.begin(), s.end());
  return true;
}

bool ParseInto(const std::string& rawText, RegKey* hive, std::string* error) {
  struct {
    std::vector<std::string> lines;
  } p;
  auto fail = [error](size_t line, const std::string& why) {
    *error = "line " + std::to_string(line + 1) + ": " + why;
    return false;
  };
  if (rawText.size() > kMaxTextSize) {
    *error = "registry text too large";
    return false;
  }
  std::string text;
  if (rawText.size() >= 2 && static_cast<uint8_t>(rawText[0]) == 0xFF && static_cast<uint8_t>(rawText[1]) == 0xFE) {
    // UTF-16LE, as the registry editor writes by default.
    if (rawText.size() % 2) {
      *error = "UTF-16 text of odd length";
      return false;
    }
    std::u16string w;
    for (size_t i = 2; i + 1 < rawText.size(); i += 2)
      w.push_back(static_cast<char16_t>(static_cast<uint8_t>(rawText[i]) | (static_cast<uint8_t>(rawText[i + 1]) << 8)));
    text = platform::Narrow(w.data(), w.size());
  } else if (rawText.size() >= 3 && rawText.compare(0, 3, "\xEF\xBB\xBF") == 0) {
    text = rawText.substr(3);
  } else {
    text = rawText;
  }
  if (text.find('\0') != std::string::npos) {
    *error = "NUL character in registry text";
    return false;
  }
  size_t b = 0;
  while (b <= text.size()) {
    size_t e = text.find('\n', b);
    if (e == std::string::npos) e = text.size();
    std::string line = text.substr(b, e - b);
    if (!line.empty() && line.back() == '\r') line.pop_back();
    p.lines.push_back(std::move(line));
    b = e + 1;
  }

  // Header.
  size_t i = 0;
  while (i < p.lines.size() && TrimLeft(TrimRight(p.lines[i])).empty()) ++i;
  if (i == p.lines.size() || TrimLeft(TrimRight(p.lines[i])) != kHeader) {
    *error = "missing \"" + std::string(kHeader) + "\" header";
    return false;
  }
  ++i;

  RegKey* current = nullptr;
  for (; i < p.lines.size(); ++i) {
    const std::string line = TrimLeft(TrimRight(p.lines[i]));
    if (line.empty() || line[0] == ';') continue;
    const size_t lineNo = i;
    if (line[0] == '[') {
      if (line.back() != ']') return fail(lineNo, "key section without closing ']'");
      std::string path = line.substr(1, line.size() - 2);
      bool remove = false;
      if (!path.empty() && path[0] == '-') {
        remove = true;
        path.erase(0, 1);
      }
      if (!StartsWithNoCase(path, kHiveName) ||
          (path.size() > sizeof(kHiveName) - 1 && path[sizeof(kHiveName) - 1] != '\\')) {
        return fail(lineNo, "only HKEY_LOCAL_MACHINE keys are supported");
      }
      std::vector<std::string> parts;
      if (!SplitKeyPath(path, &parts)) {
        return fail(lineNo, "invalid key path");
      }
      if (remove) {
        DeleteKey(hive, parts);
        current = nullptr;
      } else {
        current = CreateKey(hive, parts, nullptr);
      }
      continue;
    }
    if (line[0] != '"' && line[0] != '@') {
      return fail(lineNo, "unexpected text");
    }
    if (!current) {
      return fail(lineNo, "value outside a key section");
    }
    std::string name, why;
    size_t pos = 0;
    if (line[0] == '@') {
      pos = 1;
    } else if (!ReadQuoted(line, &pos, &name, &why)) {
      return fail(lineNo, why);
    }
    if (!ValidValueName(name)) {
      return fail(lineNo, "invalid value name");
    }
    std::string rest = TrimLeft(line.substr(pos));
    if (rest.empty() || rest[0] != '=') {
      return fail(lineNo, "expected '=' after the value name");
    }
    rest = TrimLeft(rest.substr(1));
    if (rest == "-") {
      current->values.erase(Fold(name));
      continue;
    }
    if (!rest.empty() && rest[0] == '"') {
      std::string value;
      size_t vpos = 0;
      if (!ReadQuoted(rest, &vpos, &value, &why)) {
        return fail(lineNo, why);
      }
      if (!TrimLeft(rest.substr(vpos)).empty()) {
        return fail(lineNo, "text after a string value");
      }
      if (value.size() > kMaxValueData) {
        return fail(lineNo, "value data too long");
      }
      SetValue(current, name, REG_SZ, std::vector<uint8_t>(value.begin(), value.end()));
      continue;
    }
    if (StartsWithNoCase(rest, "dword:")) {
      uint32_t d;
      if (!ParseHexNumber(rest.substr(6), 8, &d)) {
        return fail(lineNo, "bad dword value");
      }
      SetValue(current, name, REG_DWORD,
               {static_cast<uint8_t>(d), static_cast<uint8_t>(d >> 8), static_cast<uint8_t>(d >> 16),
                static_cast<uint8_t>(d >> 24)});
      continue;
    }
    if (StartsWithNoCase(rest, "hex")) {
      ULONG type = REG_BINARY;
      size_t colon;
      if (rest.size() > 3 && rest[3] == '(') {
        const size_t close = rest.find(')', 4);
        uint32_t t;
        if (close == std::string::npos || !ParseHexNumber(rest.substr(4, close - 4), 8, &t)) {
          return fail(lineNo, "bad hex(type)");
        }
        type = t;
        colon = close + 1;
      } else {
        colon = 3;
      }
      if (colon >= rest.size() || rest[colon] != ':') {
        return fail(lineNo, "expected ':' after hex");
      }
      // The byte list may continue over lines ending in a backslash.
      std::string list = rest.substr(colon + 1);
      while (!list.empty() && list.back() == '\\') {
        list.pop_back();
        if (i + 1 >= p.lines.size()) {
          return fail(lineNo, "hex data continues past the end of the text");
        }
        ++i;
        list += TrimLeft(TrimRight(p.lines[i]));
        if (list.size() > kMaxValueData * 4) {
          return fail(lineNo, "value data too long");
        }
      }
      std::vector<uint8_t> bytes;
      if (!ParseHexBytes(list, &bytes, &why)) {
        return fail(lineNo, why);
      }
      if (type == REG_SZ || type == REG_EXPAND_SZ) {
        std::vector<uint8_t> utf8;
        if (!Utf16LeToUtf8(bytes, &utf8, &why)) {
          return fail(lineNo, why);
        }
        bytes.swap(utf8);
      }
      SetValue(current, name, type, std::move(bytes));
      continue;
    }
    return fail(lineNo, "unrecognised value data");
  }
  return true;
}

bool MakeDirectories(const std::string& path) {
  std::string partial;
  size_t i = 0;
  while (i <= path.size()) {
    size_t j = path.find('/', i);
    if (j == std::string::npos) j = path.size();
    partial = path.substr(0, j);
    if (!partial.empty()) {
      struct stat st;
      if (stat(partial.c_str(), &st) != 0) {
        if (mkdir(partial.c_str(), 0777) != 0 && errno != EEXIST) return false;
      } else if (!S_ISDIR(st.st_mode)) {
        return false;
      }
    }
    i = j + 1;
  }
  return true;
}

std::vector<uint8_t> DwordBytes(uint32_t v) {
  return {static_cast<uint8_t>(v), static_cast<uint8_t>(v >> 8), static_cast<uint8_t>(v >> 16),
          static_cast<uint8_t>(v >> 24)};
}

// Copies a string (UTF-8) into a caller's UNICODE_STRING the way a direct
// query does: a null buffer is allocated from pool, otherwise the text is
// copied as far as MaximumLength allows.
NTSTATUS StoreUnicode(PUNICODE_STRING dest, const std::u16string& text) {
  size_t bytes = text.size() * sizeof(WCHAR);
  if (bytes > 0xFFFC) bytes = 0xFFFC;
  if (!dest->Buffer) {
    PWSTR buffer = static_cast<PWSTR>(ExAllocatePool(PagedPool, bytes + sizeof(WCHAR)));
    if (!buffer) return STATUS_INSUFFICIENT_RESOURCES;
    std::memcpy(buffer, text.data(), bytes);
    buffer[bytes / sizeof(WCHAR)] = 0;
    dest->Buffer = buffer;
    dest->Length = static_cast<USHORT>(bytes);
    dest->MaximumLength = static_cast<USHORT>(bytes + sizeof(WCHAR));
    return STATUS_SUCCESS;
  }
  const size_t room = dest->MaximumLength & ~static_cast<size_t>(1);
  size_t copy = bytes;
  if (copy + sizeof(WCHAR) > room) copy = room >= sizeof(WCHAR) ? room - sizeof(WCHAR) : 0;
  std::memcpy(dest->Buffer, text.data(), copy);
  if (copy + sizeof(WCHAR) <= room) dest->Buffer[copy / sizeof(WCHAR)] = 0;
  dest->Length = static_cast<USHORT>(copy);
  return STATUS_SUCCESS;
}

size_t WideLen(PCWSTR s) {
  size_t n = 0;
  while (s[n]) ++n;
  return n;
}

}  // namespace

// ---- kernel registry routines --------------------------------------------------------------
NTSTATUS RtlQueryRegistryValues(ULONG RelativeTo, PCWSTR Path, PRTL_QUERY_REGISTRY_TABLE QueryTable,
                                PVOID Context, PVOID Environment) {
  if ((RelativeTo & ~RTL_REGISTRY_OPTIONAL) != RTL_REGISTRY_ABSOLUTE || !Path || !QueryTable)
    return STATUS_INVALID_PARAMETER;
  std::vector<std::string> parts;
  if (!SplitKeyPath(platform::Narrow(Path), &parts)) return STATUS_OBJECT_NAME_NOT_FOUND;

  // Take a copy of the values the table asks for, then work without the lock
  // (a query routine may itself use the registry).
  struct Found {
    bool present = false;
    RegValue value;
  };
  std::vector<Found> found;
  std::vector<RegValue> all;  // for entries with a routine and no name
  {
    Machine& m = M();
    std::lock_guard<std::mutex> guard(m.lock);
    ++m.counters.registryReads;
    RegKey* key = FindKey(m.hive.get(), parts);
    if (!key) return STATUS_OBJECT_NAME_NOT_FOUND;
    for (PRTL_QUERY_REGISTRY_TABLE e = QueryTable; e->QueryRoutine || e->Name; ++e) {
      Found f;
      if (e->Flags & (RTL_QUERY_REGISTRY_SUBKEY | RTL_QUERY_REGISTRY_TOPKEY | RTL_QUERY_REGISTRY_NOVALUE))
        return STATUS_NOT_IMPLEMENTED;
      if (e->Name) {
        auto it = key->values.find(Fold(platform::Narrow(e->Name)));
        if (it != key->values.end()) {
          f.present = true;
          f.value = it->second;
        }
      } else if (all.empty()) {
        for (const auto& v : key->values) all.push_back(v.second);
      }
      found.push_back(std::move(f));
    }
  }

  size_t index = 0;
  for (PRTL_QUERY_REGISTRY_TABLE e = QueryTable; e->QueryRoutine || e->Name; ++e, ++index) {
    const Found& f = found[index];
    if (e->Flags & RTL_QUERY_REGISTRY_DIRECT) {
      if (!e->Name || !e->EntryContext) return STATUS_INVALID_PARAMETER;
      ULONG type;
      const uint8_t* data;
      size_t length;
      std::u16string text;
      if (f.present) {
        type = f.value.type;
        data = f.value.data.data();
        length = f.value.data.size();
        // The caller's destination is known only by the default type it
        // declares; a stored value of another kind is refused rather than
        // written into memory laid out for something else.
        const bool callerDword = e->DefaultType == REG_DWORD;
        const bool callerString = e->DefaultType == REG_SZ || e->DefaultType == REG_EXPAND_SZ;
        const bool isString = type == REG_SZ || type == REG_EXPAND_SZ;
        if ((callerDword && type != REG_DWORD) || (callerString && !isString)) return STATUS_OBJECT_TYPE_MISMATCH;
        if (isString) text = platform::Widen(std::string(f.value.data.begin(), f.value.data.end()));
      } else {
        if (e->Flags & RTL_QUERY_REGISTRY_REQUIRED) return STATUS_OBJECT_NAME_NOT_FOUND;
        type = e->DefaultType;
        data = static_cast<const uint8_t*>(e->DefaultData);
        length = e->DefaultLength;
        if (type == REG_NONE || !data) continue;
        if (type == REG_SZ || type == REG_EXPAND_SZ) {
          const PCWSTR w = static_cast<PCWSTR>(e->DefaultData);
          const size_t n = length ? length / sizeof(WCHAR) : WideLen(w);
          text.assign(w, n);
          const size_t nul = text.find(u'\0');
          if (nul != std::u16string::npos) text.resize(nul);
        } else if (type == REG_DWORD && length == 0) {
          length = sizeof(ULONG);
        }
      }
      if (type == REG_DWORD) {
        if (length != sizeof(ULONG)) return STATUS_OBJECT_TYPE_MISMATCH;
        ULONG v;
        std::memcpy(&v, data, sizeof v);
        *static_cast<ULONG*>(e->EntryContext) = v;
      } else if (type == REG_SZ || type == REG_EXPAND_SZ) {
        const NTSTATUS s = StoreUnicode(static_cast<PUNICODE_STRING>(e->EntryContext), text);
        if (!NT_SUCCESS(s)) return s;
      } else {
        return STATUS_OBJECT_TYPE_MISMATCH;
      }
      continue;
    }
    // Entries with a query routine: called with the value as the registry
    // routines hand it out (strings as terminated UTF-16).
    auto call = [&](const RegValue& v, PWSTR name) -> NTSTATUS {
      if (v.type == REG_SZ || v.type == REG_EXPAND_SZ) {
        std::u16string w = platform::Widen(std::string(v.data.begin(), v.data.end()));
        w.push_back(0);
        return e->QueryRoutine(name, v.type, &w[0], static_cast<ULONG>(w.size() * sizeof(WCHAR)), Context,
                               e->EntryContext);
      }
      std::vector<uint8_t> copy = v.data;
      return e->QueryRoutine(name, v.type, copy.empty() ? nullptr : copy.data(), static_cast<ULONG>(copy.size()),
                             Context, e->EntryContext);
    };
    if (e->Name) {
      NTSTATUS s;
      if (f.present) {
        s = call(f.value, e->Name);
      } else {
        if (e->Flags & RTL_QUERY_REGISTRY_REQUIRED) return STATUS_OBJECT_NAME_NOT_FOUND;
        if (e->DefaultType == REG_NONE) continue;
        s = e->QueryRoutine(e->Name, e->DefaultType, e->DefaultData, e->DefaultLength, Context, e->EntryContext);
      }
      if (!NT_SUCCESS(s)) return s;
    } else {
      for (const RegValue& v : all) {
        std::u16string name = platform::Widen(v.name);
        name.push_back(0);
        const NTSTATUS s = call(v, &name[0]);
        if (!NT_SUCCESS(s)) return s;
      }
    }
  }
  return STATUS_SUCCESS;
}

NTSTATUS RtlWriteRegistryValue(ULONG RelativeTo, PCWSTR Path, PCWSTR ValueName, ULONG ValueType, PVOID ValueData,
                               ULONG ValueLength) {
  if ((RelativeTo & ~RTL_REGISTRY_OPTIONAL) != RTL_REGISTRY_ABSOLUTE || !Path || !ValueName)
    return STATUS_INVALID_PARAMETER;
  if (ValueLength && !ValueData) return STATUS_INVALID_PARAMETER;
  std::vector<std::string> parts;
  if (!SplitKeyPath(platform::Narrow(Path), &parts)) return STATUS_OBJECT_NAME_NOT_FOUND;
  const std::string name = platform::Narrow(ValueName);
  if (!ValidValueName(name) || ValueLength > kMaxValueData) return STATUS_INVALID_PARAMETER;
  std::vector<uint8_t> data;
  if (ValueType == REG_DWORD) {
    if (ValueLength != sizeof(ULONG)) return STATUS_INVALID_PARAMETER;
    data.assign(static_cast<const uint8_t*>(ValueData), static_cast<const uint8_t*>(ValueData) + ValueLength);
  } else if (ValueType == REG_SZ || ValueType == REG_EXPAND_SZ) {
    // The length counts bytes and usually includes the terminator.
    const size_t count = ValueLength / sizeof(WCHAR);
    std::u16string w;
    if (count) w.assign(static_cast<const WCHAR*>(ValueData), count);
    const size_t nul = w.find(u'\0');
    if (nul != std::u16string::npos) w.resize(nul);
    const std::string s = platform::Narrow(w.data(), w.size());
    data.assign(s.begin(), s.end());
  } else {
    if (ValueLength)
      data.assign(static_cast<const uint8_t*>(ValueData), static_cast<const uint8_t*>(ValueData) + ValueLength);
  }
  Machine& m = M();
  std::lock_guard<std::mutex> guard(m.lock);
  ++m.counters.registryWrites;
  RegKey* key = FindKey(m.hive.get(), parts);
  if (!key) return STATUS_OBJECT_NAME_NOT_FOUND;
  SetValue(key, name, ValueType, std::move(data));
  SaveLocked(m);
  return STATUS_SUCCESS;
}

// ---- machine controls ---------------------------------------------------------------------------------
namespace platform {

bool SetRoot(const std::string& root) {
  Machine& m = M();
  std::lock_guard<std::mutex> guard(m.lock);
  m.hive.reset(new RegKey);
  m.root.clear();
  m.keepDamagedFile = false;
  if (root.empty()) return true;
  std::string r = root;
  while (r.size() > 1 && r.back() == '/') r.pop_back();
  if (!MakeDirectories(r)) return false;
  // The folders every PC has: \SystemRoot, its system directory, drive C:.
  MakeDirectories(r + "/Windows/System32");
  MakeDirectories(r + "/C");
  m.root = r;
  FILE* f = std::fopen((r + "/registry.reg").c_str(), "rb");
  if (!f) return true;  // a new PC: empty registry
  std::string text;
  char buf[65536];
  size_t n;
  bool tooLarge = false;
  while ((n = std::fread(buf, 1, sizeof buf, f)) > 0) {
    text.append(buf, n);
    if (text.size() > kMaxTextSize) {
      tooLarge = true;
      break;
    }
  }
  std::fclose(f);
  std::unique_ptr<RegKey> hive(new RegKey);
  std::string error;
  if (tooLarge || !ParseInto(text, hive.get(), &error)) {
    std::fprintf(stderr,
                 "registry: %s/registry.reg not loaded (moved to registry.reg.damaged at the next change): %s\n",
                 r.c_str(), tooLarge ? "file too large" : error.c_str());
    m.keepDamagedFile = true;
    return false;
  }
  m.hive = std::move(hive);
  return true;
}

const std::string& Root() { return M().root; }

void ResetMachine() {
  Machine& m = M();
  {
    std::lock_guard<std::mutex> guard(m.lock);
    m.hive.reset(new RegKey);
    m.root.clear();
    m.keepDamagedFile = false;
    m.counters = AccessCounters();
  }
  PoolFailAfter(-1);
  ThreadsFailAfter(-1);
  SetSystemTime(-1);
  internal::ResetPcSettings();
}

AccessCounters Counters() {
  Machine& m = M();
  std::lock_guard<std::mutex> guard(m.lock);
  return m.counters;
}

namespace internal {
std::string CurrentRoot() {
  Machine& m = M();
  std::lock_guard<std::mutex> guard(m.lock);
  return m.root;
}

void CountFileOpen() {
  Machine& m = M();
  std::lock_guard<std::mutex> guard(m.lock);
  ++m.counters.fileOpens;
}
}  // namespace internal

namespace {

// The names of a key's subkeys or of its values, as written.
bool ListKey(const std::string& keyPath, std::vector<std::string>* names, bool subkeys) {
  std::vector<std::string> parts;
  if (!SplitKeyPath(keyPath, &parts)) return false;
  Machine& m = M();
  std::lock_guard<std::mutex> guard(m.lock);
  RegKey* key = FindKey(m.hive.get(), parts);
  if (!key) return false;
  names->clear();
  if (subkeys) {
    for (const auto& sub : key->subkeys) names->push_back(sub.second->name);
  } else {
    for (const auto& value : key->values) names->push_back(value.second.name);
  }
  return true;
}

}  // namespace

bool RegCreateKeyPath(const std::string& keyPath) {
  std::vector<std::string> parts;
  if (!SplitKeyPath(keyPath, &parts)) return false;
  Machine& m = M();
  std::lock_guard<std::mutex> guard(m.lock);
  bool created = false;
  CreateKey(m.hive.get(), parts, &created);
  if (created) SaveLocked(m);
  return true;
}

bool RegKeyExists(const std::string& keyPath) {
  std::vector<std::string> parts;
  if (!SplitKeyPath(keyPath, &parts)) return false;
  Machine& m = M();
  std::lock_guard<std::mutex> guard(m.lock);
  return FindKey(m.hive.get(), parts) != nullptr;
}

bool RegDeleteKeyPath(const std::string& keyPath) {
  std::vector<std::string> parts;
  if (!SplitKeyPath(keyPath, &parts)) return false;
  Machine& m = M();
  std::lock_guard<std::mutex> guard(m.lock);
  if (!DeleteKey(m.hive.get(), parts)) return false;
  SaveLocked(m);
  return true;
}

bool RegSetRaw(const std::string& keyPath, const std::string& name, ULONG type, const std::vector<uint8_t>& data) {
  std::vector<std::string> parts;
  if (!SplitKeyPath(keyPath, &parts) || !ValidValueName(name) || data.size() > kMaxValueData) return false;
  if (type == REG_DWORD && data.size() != 4) return false;
  if ((type == REG_SZ || type == REG_EXPAND_SZ) && std::find(data.begin(), data.end(), 0) != data.end()) return false;
  Machine& m = M();
  std::lock_guard<std::mutex> guard(m.lock);
  RegKey* key = FindKey(m.hive.get(), parts);
  if (!key) return false;
  SetValue(key, name, type, data);
  SaveLocked(m);
  return true;
}

bool RegGetRaw(const std::string& keyPath, const std::string& name, ULONG* type, std::vector<uint8_t>* data) {
  std::vector<std::string> parts;
  if (!SplitKeyPath(keyPath, &parts)) return false;
  Machine& m = M();
  std::lock_guard<std::mutex> guard(m.lock);
  RegKey* key = FindKey(m.hive.get(), parts);
  if (!key) return false;
  auto it = key->values.find(Fold(name));
  if (it == key->values.end()) return false;
  if (type) *type = it->second.type;
  if (data) *data = it->second.data;
  return true;
}

bool RegSetDword(const std::string& keyPath, const std::string& name, uint32_t value) {
  return RegSetRaw(keyPath, name, REG_DWORD, DwordBytes(value));
}

bool RegGetDword(const std::string& keyPath, const std::string& name, uint32_t* value) {
  ULONG type;
  std::vector<uint8_t> data;
  if (!RegGetRaw(keyPath, name, &type, &data) || type != REG_DWORD || data.size() != 4) return false;
  if (value) *value = data[0] | (data[1] << 8) | (data[2] << 16) | (static_cast<uint32_t>(data[3]) << 24);
  return true;
}

bool RegSetString(const std::string& keyPath, const std::string& name, const std::string& value) {
  return RegSetRaw(keyPath, name, REG_SZ, std::vector<uint8_t>(value.begin(), value.end()));
}

bool RegGetString(const std::string& keyPath, const std::string& name, std::string* value) {
  ULONG type;
  std::vector<uint8_t> data;
  if (!RegGetRaw(keyPath, name, &type, &data) || (type != REG_SZ && type != REG_EXPAND_SZ)) return false;
  if (value) value->assign(data.begin(), data.end());
  return true;
}

bool RegDeleteValue(const std::string& keyPath, const std::string& name) {
  std::vector<std::string> parts;
  if (!SplitKeyPath(keyPath, &parts)) return false;
  Machine& m = M();
  std::lock_guard<std::mutex> guard(m.lock);
  RegKey* key = FindKey(m.hive.get(), parts);
  if (!key || key->values.erase(Fold(name)) == 0) return false;
  SaveLocked(m);
  return true;
}

bool RegListSubkeys(const std::string& keyPath, std::vector<std::string>* names) {
  return ListKey(keyPath, names, true);
}

bool RegListValues(const std::string& keyPath, std::vector<std::string>* names) {
  return ListKey(keyPath, names, false);
}

bool ParseRegistryText(const std::string& text, std::string* error) {
  std::unique_ptr<RegKey> hive(new RegKey);
  std::string why;
  if (!ParseInto(text, hive.get(), &why)) {
    if (error) *error = why;
    return false;
  }
  Machine& m = M();
  std::lock_guard<std::mutex> guard(m.lock);
  m.hive = std::move(hive);
  SaveLocked(m);
  return true;
}

std::string RenderRegistryText() {
  Machine& m = M();
  std::lock_guard<std::mutex> guard(m.lock);
  return RenderLocked(*m.hive);
}

}  // namespace platform
