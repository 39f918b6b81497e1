// A camera's installation announcements in the PC's registry.
#include "platform/machine/dshow_control.h"

#include <cstdio>

#include "platform/machine/guid_text.h"
#include "platform/nt/platform_control.h"

namespace platform {
namespace {

std::string InterfaceKey(uint16_t vendorId, uint16_t productId, const std::string& iid) {
  return DeviceParametersKey(vendorId, productId) + "\\Interfaces\\" + iid;
}

std::string PagesKey(uint16_t vendorId, uint16_t productId) {
  return DeviceParametersKey(vendorId, productId) + "\\PropertyPages";
}

// GUID text in registry form, upper case; false when `text` is not exactly
// such a GUID.
bool CanonicalGuidText(const std::string& text, std::string* canonical) {
  GuidFields fields;
  if (!ParseGuidFields(text, &fields)) return false;
  *canonical = GuidFieldsToText(fields);
  return true;
}

}  // namespace

std::string DeviceParametersKey(uint16_t vendorId, uint16_t productId) {
  char id[32];
  std::snprintf(id, sizeof(id), "VID_%04X&PID_%04X&MI_00", unsigned(vendorId), unsigned(productId));
  return std::string("HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\Enum\\USB\\") + id + "\\Device Parameters";
}

bool AnnounceInterfaceHandler(uint16_t vendorId, uint16_t productId, const std::string& iid,
                              const std::string& clsid) {
  std::string i, c;
  if (!CanonicalGuidText(iid, &i) || !CanonicalGuidText(clsid, &c)) return false;
  const std::string key = InterfaceKey(vendorId, productId, i);
  return RegCreateKeyPath(key) && RegSetString(key, "CLSID", c);
}

bool RemoveInterfaceHandler(uint16_t vendorId, uint16_t productId, const std::string& iid) {
  std::string i;
  if (!CanonicalGuidText(iid, &i)) return false;
  const std::string key = InterfaceKey(vendorId, productId, i);
  return !RegKeyExists(key) || RegDeleteKeyPath(key);
}

std::vector<std::pair<std::string, std::string>> AnnouncedInterfaceHandlers(uint16_t vendorId, uint16_t productId) {
  std::vector<std::pair<std::string, std::string>> handlers;
  const std::string key = DeviceParametersKey(vendorId, productId) + "\\Interfaces";
  std::vector<std::string> iids;
  if (!RegListSubkeys(key, &iids)) return handlers;
  for (const std::string& name : iids) {
    std::string iid, stored, clsid;
    if (CanonicalGuidText(name, &iid) && RegGetString(key + "\\" + name, "CLSID", &stored) &&
        CanonicalGuidText(stored, &clsid))
      handlers.emplace_back(iid, clsid);
  }
  return handlers;
}

bool AnnouncePropertyPages(uint16_t vendorId, uint16_t productId, const std::vector<std::string>& clsids) {
  std::vector<std::string> pages(clsids.size());
  for (size_t k = 0; k < clsids.size(); ++k)
    if (!CanonicalGuidText(clsids[k], &pages[k])) return false;
  // The old list goes first, so that no entry of a longer one survives.
  if (!RemovePropertyPages(vendorId, productId)) return false;
  if (pages.empty()) return true;
  const std::string key = PagesKey(vendorId, productId);
  if (!RegCreateKeyPath(key)) return false;
  for (size_t k = 0; k < pages.size(); ++k)
    if (!RegSetString(key, std::to_string(k), pages[k])) return false;
  return RegSetDword(key, "Count", uint32_t(pages.size()));
}

bool RemovePropertyPages(uint16_t vendorId, uint16_t productId) {
  const std::string key = PagesKey(vendorId, productId);
  return !RegKeyExists(key) || RegDeleteKeyPath(key);
}

std::vector<std::string> AnnouncedPropertyPages(uint16_t vendorId, uint16_t productId) {
  std::vector<std::string> pages;
  const std::string key = PagesKey(vendorId, productId);
  uint32_t count = 0;
  if (!RegGetDword(key, "Count", &count)) return pages;
  for (uint32_t k = 0; k < count; ++k) {
    std::string stored, page;
    if (!RegGetString(key, std::to_string(k), &stored) || !CanonicalGuidText(stored, &page)) break;
    pages.push_back(page);
  }
  return pages;
}

}  // namespace platform
