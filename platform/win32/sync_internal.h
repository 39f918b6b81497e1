// What the thread calls need from the synchronisation objects.
#pragma once

namespace platform {

// Gives up every mutex the calling thread still owns, marking each
// abandoned. Called when a thread ends, before its handle is signalled.
void AbandonMutexesOfThisThread();

}  // namespace platform
