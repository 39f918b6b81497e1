// What a camera's installation announces to DirectShow's kernel-streaming
// proxy, and the plumbing tools use around device requests. Plain C++ types
// only; GUIDs travel as registry text "{XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}"
// (either case accepted, upper case stored).
//
// Where the announcements live. A device's setup information writes, for
// the hardware id USB\VID_vvvv&PID_pppp&MI_00 of its capture interface, the
// device-parameter key
//
//   HKEY_LOCAL_MACHINE\SYSTEM\CurrentControlSet\Enum\USB\VID_vvvv&PID_pppp&MI_00\Device Parameters
//
// (vvvv and pppp in upper-case hexadecimal). The simulated PC keeps one such
// key per hardware id, shared by every instance of the device. Below it:
//
// - Interface handlers: one subkey "Interfaces\{IID}" per interface the proxy
//   answers for the device by aggregating a handler; its REG_SZ value "CLSID"
//   names the handler's class, which the proxy creates with
//   CoCreateInstance(CLSID, proxy, CLSCTX_INPROC_SERVER, IID_IUnknown) when
//   it loads (one object per class, whatever number of IIDs name it).
// - Property pages: the subkey "PropertyPages" with the REG_DWORD value
//   "Count" and the REG_SZ values "0", "1", ... naming the page classes in
//   the order ISpecifyPropertyPages::GetPages reports them.
#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace platform {

// The device-parameter key of a hardware id, as above.
std::string DeviceParametersKey(uint16_t vendorId, uint16_t productId);

// Writes, or removes, the interface handler `clsid` for `iid`. False when a
// GUID text is malformed or the registry cannot be written; removing a
// handler that is not there succeeds.
bool AnnounceInterfaceHandler(uint16_t vendorId, uint16_t productId, const std::string& iid,
                              const std::string& clsid);
bool RemoveInterfaceHandler(uint16_t vendorId, uint16_t productId, const std::string& iid);
// The announced handlers as (IID, CLSID) pairs in the order of their IIDs;
// entries whose texts are not GUIDs are left out.
std::vector<std::pair<std::string, std::string>> AnnouncedInterfaceHandlers(uint16_t vendorId, uint16_t productId);

// Replaces the device's property-page list (an empty list removes it), or
// removes it. False when a GUID text is malformed (nothing is written then)
// or the registry cannot be written.
bool AnnouncePropertyPages(uint16_t vendorId, uint16_t productId, const std::vector<std::string>& clsids);
bool RemovePropertyPages(uint16_t vendorId, uint16_t productId);
// The announced pages in order; entries that are missing or not GUIDs end
// the list.
std::vector<std::string> AnnouncedPropertyPages(uint16_t vendorId, uint16_t productId);

// The NTSTATUS the device answered the calling thread's last DeviceIoControl
// or GetOverlappedResult with (0 when the request did not reach a device),
// for tools that report the driver's own refusal.
int32_t LastKsRequestStatus();

// The platform's DirectShow objects alive now (enumerators, monikers,
// filters, graphs...), for leak checks.
long LiveDirectShowObjects();

}  // namespace platform
