// The simulated PC's machine registry: one tree (registry_tree) reached by the
// kernel view (\Registry\MACHINE\...) and the user view (HKEY_LOCAL_MACHINE\...),
// kept in memory behind one lock and saved as ROOT/registry.reg (registry_text)
// after every change. Also the PC root itself and the access counters.
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
#include "platform/nt/registry_text.h"
#include "platform/nt/registry_tree.h"

namespace {

using namespace platform::registry;

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

// Writes the registry file of the current root: a temporary file first, then
// renamed over the old one, so a reader never sees half a file.
bool SaveLocked(Machine& m) {
  if (m.root.empty()) return true;
  const std::string text = RenderText(*m.hive);
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
  if (tooLarge || !ParseText(text, hive.get(), &error)) {
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
  if (!ParseText(text, hive.get(), &why)) {
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
  return RenderText(*m.hive);
}

}  // namespace platform
