// The simulated PC's kernel-object handles as user mode holds them: one
// table for events, mutexes, files, devices, threads and processes, so that
// CloseHandle, the waits and DuplicateHandle work on any of them. Each family
// derives its object from KernelObject; the table keeps a reference per
// handle.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

namespace platform {

class KernelObject {
 public:
  virtual ~KernelObject() = default;
  // "event", "mutex", "file", "device", "thread", "process"...
  virtual const char* Kind() const = 0;
};

// A new handle on `object` (never null, never INVALID_HANDLE_VALUE).
void* NewHandle(std::shared_ptr<KernelObject> object);
// The object behind a live handle, or null.
std::shared_ptr<KernelObject> LookupHandle(void* handle);
// The object behind a live handle when it is of type T, or null.
template <class T>
std::shared_ptr<T> LookupHandleAs(void* handle) {
  return std::dynamic_pointer_cast<T>(LookupHandle(handle));
}
// Drops the handle; false when it was not live.
bool CloseHandleEntry(void* handle);
// Closes every handle the process `processId` still holds (the process
// has ended, and Windows closes them for it).
void CloseProcessHandles(uint32_t processId);
// Live handles (for leak checks in tests).
size_t LiveHandleCount();

// Named kernel objects (events, mutexes) share one namespace, as on Windows.
// Returns the live object of that name, or null.
std::shared_ptr<KernelObject> FindNamedObject(const std::string& name);
// Registers a name for an object; the name goes when the object does.
void NameObject(const std::string& name, const std::shared_ptr<KernelObject>& object);

}  // namespace platform
