// FindResource, LoadResource and friends over the modules' resource files.
#include "platform/win32/resources.h"

#include <deque>
#include <map>
#include <mutex>
#include <set>
#include <tuple>
#include <vector>

#include "platform/machine/module_resources.h"
#include "platform/machine/pc_settings.h"
#include "platform/machine/pc_threads.h"
#include "platform/win32/res_file.h"
#include "platform/win32/text.h"

namespace platform {
namespace win32 {
namespace {

// One index per module's registered blob (a module's bytes do not change
// while it is loaded), kept while the module keeps those bytes so that HRSRC
// values stay valid (they are pointers to records here).
struct BlobIndex {
  std::deque<ResourceRecord> records;
};

struct Indexes {
  std::mutex lock;
  // Keyed by module and, for the null module (each process's own program),
  // by process as well.
  std::map<std::tuple<HMODULE, uint32_t, const uint8_t*, size_t>, BlobIndex> byBlob;
  std::set<const ResourceRecord*> valid;
};
Indexes& I() {
  static Indexes* i = new Indexes;
  return *i;
}

// The resources of a module. A program registers its own under the null
// module, which is also what its module handle (GetModuleHandle(NULL))
// stands for here.
bool BlobOf(HMODULE* module, const uint8_t** data, size_t* size) {
  if (ModuleResources(*module, data, size)) return true;
  if (*module && *module == GetModuleHandleA(nullptr) && ModuleResources(nullptr, data, size)) {
    *module = nullptr;
    return true;
  }
  return false;
}

// The index of the module's blob, built on first use; null without resources.
const BlobIndex* IndexOf(HMODULE module) {
  const uint8_t* data = nullptr;
  size_t size = 0;
  if (!BlobOf(&module, &data, &size)) return nullptr;
  Indexes& idx = I();
  std::lock_guard<std::mutex> hold(idx.lock);
  const uint32_t process = module ? 0u : platform::CurrentPcProcessId();
  auto key = std::make_tuple(module, process, data, size);
  auto it = idx.byBlob.find(key);
  if (it != idx.byBlob.end()) return &it->second;
  // The module now has other bytes (it was unloaded and loaded again): the
  // index of the old ones, and the HRSRCs into it, are gone with them.
  for (auto old = idx.byBlob.begin(); old != idx.byBlob.end();) {
    if (std::get<0>(old->first) != module || std::get<1>(old->first) != process) {
      ++old;
      continue;
    }
    for (const ResourceRecord& r : old->second.records) idx.valid.erase(&r);
    old = idx.byBlob.erase(old);
  }
  BlobIndex& index = idx.byBlob[key];
  std::vector<ResEntry> entries;
  ParseResFile(data, size, &entries);  // a damaged tail keeps what came before
  for (const ResEntry& e : entries) {
    index.records.push_back(ResourceRecord{module, e.type, e.name, e.language, e.data, e.size});
    idx.valid.insert(&index.records.back());
  }
  return &index;
}

bool ParseOrdinalText(const std::u16string& text, ResName* name) {
  if (text.size() < 2 || text[0] != u'#') return false;
  uint32_t v = 0;
  for (size_t i = 1; i < text.size(); ++i) {
    if (text[i] < u'0' || text[i] > u'9') return false;
    v = v * 10 + uint32_t(text[i] - u'0');
    if (v > 0xFFFF) return false;
  }
  *name = OrdinalName(uint16_t(v));
  return true;
}

const ResourceRecord* Choose(const std::vector<const ResourceRecord*>& candidates, int language) {
  if (candidates.empty()) return nullptr;
  if (language >= 0) {
    for (const ResourceRecord* r : candidates)
      if (r->language == language) return r;
    return nullptr;
  }
  const uint16_t pcLanguage = GetPcSettings().languageId;
  const uint16_t order[] = {pcLanguage, 0x0000, 0x0409};
  for (uint16_t wanted : order)
    for (const ResourceRecord* r : candidates)
      if (r->language == wanted) return r;
  for (const ResourceRecord* r : candidates)
    if (PRIMARYLANGID(r->language) == PRIMARYLANGID(pcLanguage)) return r;
  return candidates.front();
}

}  // namespace

ResName OrdinalName(uint16_t ordinal) {
  ResName n;
  n.isOrdinal = true;
  n.ordinal = ordinal;
  return n;
}

bool NameFromW(LPCWSTR text, ResName* name) {
  if (IS_INTRESOURCE(text)) {
    if (!text) return false;
    *name = OrdinalName(uint16_t(reinterpret_cast<ULONG_PTR>(text)));
    return true;
  }
  std::u16string s;
  for (const WCHAR* p = text; *p; ++p) {
    const uint32_t c = uint32_t(*p);
    if (c >= 0x10000) {
      s.push_back(char16_t(0xD800 + ((c - 0x10000) >> 10)));
      s.push_back(char16_t(0xDC00 + ((c - 0x10000) & 0x3FF)));
    } else {
      s.push_back(char16_t(c));
    }
  }
  if (ParseOrdinalText(s, name)) return true;
  name->isOrdinal = false;
  name->ordinal = 0;
  name->text = s;
  return true;
}

bool NameFromA(LPCSTR text, ResName* name) {
  if (IS_INTRESOURCE(text)) return NameFromW(reinterpret_cast<LPCWSTR>(text), name);
  const std::wstring wide = AnsiToWideText(text);
  return NameFromW(wide.c_str(), name);
}

const ResourceRecord* FindModuleResource(HMODULE module, const ResName& type, const ResName& name, int language) {
  const BlobIndex* index = IndexOf(module);
  if (!index) {
    SetLastError(ERROR_RESOURCE_DATA_NOT_FOUND);
    return nullptr;
  }
  bool typeSeen = false;
  std::vector<const ResourceRecord*> candidates;
  for (const ResourceRecord& r : index->records) {
    if (!ResNameMatches(r.type, type)) continue;
    typeSeen = true;
    if (ResNameMatches(r.name, name)) candidates.push_back(&r);
  }
  const ResourceRecord* found = Choose(candidates, language);
  if (!found)
    SetLastError(!typeSeen ? ERROR_RESOURCE_TYPE_NOT_FOUND
                           : candidates.empty() ? ERROR_RESOURCE_NAME_NOT_FOUND : ERROR_RESOURCE_LANG_NOT_FOUND);
  return found;
}

const ResourceRecord* RecordOf(HRSRC handle) {
  const ResourceRecord* r = reinterpret_cast<const ResourceRecord*>(handle);
  Indexes& idx = I();
  std::lock_guard<std::mutex> hold(idx.lock);
  return idx.valid.count(r) ? r : nullptr;
}

size_t ResourceBytesFrom(const void* p) {
  const uint8_t* at = static_cast<const uint8_t*>(p);
  Indexes& idx = I();
  std::lock_guard<std::mutex> hold(idx.lock);
  for (const auto& blob : idx.byBlob)
    for (const ResourceRecord& r : blob.second.records)
      if (r.data && at >= r.data && at < r.data + r.size) return size_t(r.data + r.size - at);
  return 0;
}

}  // namespace win32
}  // namespace platform

using platform::win32::FindModuleResource;
using platform::win32::RecordOf;
using platform::win32::ResName;

namespace {
// Language 0 (neutral) asks for the usual choice, as FindResource does.
HRSRC Find(HMODULE module, bool namesOk, const ResName& type, const ResName& name, WORD language) {
  if (!namesOk) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  return reinterpret_cast<HRSRC>(const_cast<platform::win32::ResourceRecord*>(
      FindModuleResource(module, type, name, language ? int(language) : -1)));
}
}  // namespace

HRSRC WINAPI FindResourceExW(HMODULE hModule, LPCWSTR lpType, LPCWSTR lpName, WORD wLanguage) {
  ResName type, name;
  const bool ok = platform::win32::NameFromW(lpType, &type) && platform::win32::NameFromW(lpName, &name);
  return Find(hModule, ok, type, name, wLanguage);
}

HRSRC WINAPI FindResourceExA(HMODULE hModule, LPCSTR lpType, LPCSTR lpName, WORD wLanguage) {
  ResName type, name;
  const bool ok = platform::win32::NameFromA(lpType, &type) && platform::win32::NameFromA(lpName, &name);
  return Find(hModule, ok, type, name, wLanguage);
}

HRSRC WINAPI FindResourceW(HMODULE hModule, LPCWSTR lpName, LPCWSTR lpType) {
  return FindResourceExW(hModule, lpType, lpName, 0);
}

HRSRC WINAPI FindResourceA(HMODULE hModule, LPCSTR lpName, LPCSTR lpType) {
  return FindResourceExA(hModule, lpType, lpName, 0);
}

HGLOBAL WINAPI LoadResource(HMODULE hModule, HRSRC hResInfo) {
  const platform::win32::ResourceRecord* r = RecordOf(hResInfo);
  if (!r) {
    SetLastError(ERROR_RESOURCE_DATA_NOT_FOUND);
    return nullptr;
  }
  // An empty resource still loads: a pointer to its (empty) place.
  return const_cast<uint8_t*>(r->data);
}

LPVOID WINAPI LockResource(HGLOBAL hResData) { return hResData; }

DWORD WINAPI SizeofResource(HMODULE hModule, HRSRC hResInfo) {
  const platform::win32::ResourceRecord* r = RecordOf(hResInfo);
  if (!r) {
    SetLastError(ERROR_RESOURCE_DATA_NOT_FOUND);
    return 0;
  }
  return r->size;
}

// Resources stay mapped as long as their module is loaded.
BOOL WINAPI FreeResource(HGLOBAL) { return FALSE; }
