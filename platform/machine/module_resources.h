// The resources of the modules loaded into the simulated PC's processes:
// each module's compiled resource file (the standard binary .res format that
// windres writes), by module handle. The module loader registers a module's
// resources when it loads it and drops them when it unloads it; programs
// register their own under the null module (GetModuleHandle(NULL)), which
// stands for the calling process's own program: every PC process has its
// own. The resource calls (FindResource, LoadString, dialog creation...)
// read them.
#pragma once

#include <cstddef>
#include <cstdint>

namespace platform {

void RegisterModuleResources(void* module, const uint8_t* data, size_t size);
void UnregisterModuleResources(void* module);
// False when the module has no resources registered.
bool ModuleResources(void* module, const uint8_t** data, size_t* size);
// The program resources of another process (the program runner sets them
// for the process it starts and drops them when it ends).
void RegisterProcessResources(uint32_t processId, const uint8_t* data, size_t size);
void UnregisterProcessResources(uint32_t processId);

}  // namespace platform
