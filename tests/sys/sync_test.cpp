// Events, mutexes, waits, threads and critical sections, on a PC clock that
// runs a thousand times faster than real time.
#include <windows.h>

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "platform/machine/pc_clock.h"
#include "tests/sys/pc_root.h"

namespace {

using SyncTest = sys_test::PcRootTest;

// A wait that only a fault lets run out (six real seconds).
constexpr DWORD kLongWait = 6000000;

// PC milliseconds that `wait` took.
template <class F>
uint64_t PcMsOf(F wait) {
  const uint64_t start = platform::PcNowMs();
  wait();
  return platform::PcNowMs() - start;
}

TEST_F(SyncTest, EventsResetAsCreatedAndTimeOutOnThePcClock) {
  HANDLE autoEvent = CreateEventA(nullptr, FALSE, TRUE, nullptr);
  HANDLE manualEvent = CreateEventA(nullptr, TRUE, FALSE, nullptr);
  ASSERT_NE(autoEvent, nullptr);
  ASSERT_NE(manualEvent, nullptr);

  // An auto-reset event lets one wait through and resets itself.
  EXPECT_EQ(WaitForSingleObject(autoEvent, 0), WAIT_OBJECT_0);
  DWORD result = 0;
  EXPECT_GE(PcMsOf([&] { result = WaitForSingleObject(autoEvent, 500); }), 500u);
  EXPECT_EQ(result, DWORD(WAIT_TIMEOUT));

  // A manual-reset event stays set for every wait until it is reset.
  EXPECT_EQ(WaitForSingleObject(manualEvent, 0), DWORD(WAIT_TIMEOUT));
  ASSERT_TRUE(SetEvent(manualEvent));
  EXPECT_EQ(WaitForSingleObject(manualEvent, 0), WAIT_OBJECT_0);
  EXPECT_EQ(WaitForSingleObject(manualEvent, 0), WAIT_OBJECT_0);
  ASSERT_TRUE(ResetEvent(manualEvent));
  EXPECT_EQ(WaitForSingleObject(manualEvent, 0), DWORD(WAIT_TIMEOUT));

  // A wait is ended by a SetEvent of another thread long before its time-out.
  std::thread setter([&] {
    Sleep(200);
    SetEvent(autoEvent);
  });
  EXPECT_EQ(WaitForSingleObject(autoEvent, kLongWait), WAIT_OBJECT_0);
  setter.join();

  // Wait-any names the lowest signalled index; wait-all takes nothing until
  // every object can be taken, so the auto-reset event stays set.
  HANDLE both[2] = {manualEvent, autoEvent};
  SetEvent(autoEvent);
  EXPECT_EQ(WaitForMultipleObjects(2, both, FALSE, 0), WAIT_OBJECT_0 + 1);
  SetEvent(autoEvent);
  EXPECT_EQ(WaitForMultipleObjects(2, both, TRUE, 100), DWORD(WAIT_TIMEOUT));
  SetEvent(manualEvent);
  EXPECT_EQ(WaitForMultipleObjects(2, both, FALSE, 0), WAIT_OBJECT_0);
  EXPECT_EQ(WaitForMultipleObjects(2, both, TRUE, 0), WAIT_OBJECT_0);
  EXPECT_EQ(WaitForSingleObject(autoEvent, 0), DWORD(WAIT_TIMEOUT));  // taken by the wait-all

  EXPECT_TRUE(CloseHandle(autoEvent));
  EXPECT_TRUE(CloseHandle(manualEvent));
}

TEST_F(SyncTest, BadWaitsFailWithTheirErrors) {
  HANDLE event = CreateEventA(nullptr, TRUE, TRUE, nullptr);
  ASSERT_TRUE(CloseHandle(event));
  SetLastError(0);
  EXPECT_EQ(WaitForSingleObject(event, 0), WAIT_FAILED);
  EXPECT_EQ(GetLastError(), DWORD(ERROR_INVALID_HANDLE));
  EXPECT_FALSE(SetEvent(event));
  EXPECT_EQ(GetLastError(), DWORD(ERROR_INVALID_HANDLE));

  HANDLE live = CreateEventA(nullptr, TRUE, TRUE, nullptr);
  HANDLE twice[2] = {live, live};
  EXPECT_EQ(WaitForMultipleObjects(2, twice, TRUE, 0), WAIT_FAILED);
  EXPECT_EQ(GetLastError(), DWORD(ERROR_INVALID_PARAMETER));
  EXPECT_EQ(WaitForMultipleObjects(2, twice, FALSE, 0), WAIT_OBJECT_0);
  EXPECT_EQ(WaitForMultipleObjects(0, twice, FALSE, 0), WAIT_FAILED);
  EXPECT_EQ(WaitForMultipleObjects(MAXIMUM_WAIT_OBJECTS + 1, twice, FALSE, 0), WAIT_FAILED);

  // A mutex handle is not an event, and a file-like object is not waitable.
  HANDLE mutex = CreateMutexA(nullptr, FALSE, nullptr);
  EXPECT_FALSE(SetEvent(mutex));
  EXPECT_EQ(GetLastError(), DWORD(ERROR_INVALID_HANDLE));
  EXPECT_EQ(WaitForSingleObject(GetCurrentProcess(), 0), WAIT_FAILED);
  CloseHandle(mutex);
  CloseHandle(live);
}

TEST_F(SyncTest, NamedObjectsAreSharedByNameAndKind) {
  SetLastError(1234);
  HANDLE first = CreateEventA(nullptr, TRUE, FALSE, "Global\\QcamTestEvent");
  ASSERT_NE(first, nullptr);
  EXPECT_EQ(GetLastError(), DWORD(ERROR_SUCCESS));
  // The second creation (another case, the wide form) opens the same event
  // and keeps its state and reset mode.
  HANDLE second = CreateEventW(nullptr, FALSE, TRUE, L"global\\qcamtestevent");
  ASSERT_NE(second, nullptr);
  EXPECT_EQ(GetLastError(), DWORD(ERROR_ALREADY_EXISTS));
  EXPECT_EQ(WaitForSingleObject(second, 0), DWORD(WAIT_TIMEOUT));
  HANDLE opened = OpenEventA(EVENT_ALL_ACCESS, FALSE, "Global\\QcamTestEvent");
  ASSERT_NE(opened, nullptr);
  SetEvent(opened);
  EXPECT_EQ(WaitForSingleObject(first, 0), WAIT_OBJECT_0);
  EXPECT_EQ(WaitForSingleObject(second, 0), WAIT_OBJECT_0);  // manual reset, as first created

  // The name belongs to an event: a mutex cannot take it or open it.
  EXPECT_EQ(CreateMutexA(nullptr, FALSE, "Global\\QcamTestEvent"), nullptr);
  EXPECT_EQ(GetLastError(), DWORD(ERROR_INVALID_HANDLE));
  EXPECT_EQ(OpenMutexA(SYNCHRONIZE, FALSE, "Global\\QcamTestEvent"), nullptr);
  EXPECT_EQ(GetLastError(), DWORD(ERROR_INVALID_HANDLE));

  // The name goes with the last handle.
  CloseHandle(first);
  CloseHandle(second);
  CloseHandle(opened);
  EXPECT_EQ(OpenEventA(SYNCHRONIZE, FALSE, "Global\\QcamTestEvent"), nullptr);
  EXPECT_EQ(GetLastError(), DWORD(ERROR_FILE_NOT_FOUND));
  HANDLE again = CreateEventA(nullptr, TRUE, FALSE, "Global\\QcamTestEvent");
  EXPECT_EQ(GetLastError(), DWORD(ERROR_SUCCESS));
  CloseHandle(again);
}

// A program's single-instance check: the first start creates its named mutex
// owning it; a second start finds it existing and not its own.
TEST_F(SyncTest, NamedMutexCreatedTwiceIsOneMutexOwnedByItsCreator) {
  HANDLE first = CreateMutexA(nullptr, TRUE, "QORBM");
  ASSERT_NE(first, nullptr);
  EXPECT_EQ(GetLastError(), DWORD(ERROR_SUCCESS));

  std::thread secondInstance([] {
    HANDLE second = CreateMutexA(nullptr, TRUE, "QORBM");
    ASSERT_NE(second, nullptr);
    EXPECT_EQ(GetLastError(), DWORD(ERROR_ALREADY_EXISTS));
    // Creation did not make this thread an owner.
    EXPECT_FALSE(ReleaseMutex(second));
    EXPECT_EQ(GetLastError(), DWORD(ERROR_NOT_OWNER));
    EXPECT_EQ(WaitForSingleObject(second, 300), DWORD(WAIT_TIMEOUT));
    CloseHandle(second);
  });
  secondInstance.join();

  // The owner may take it again; it is free after as many releases.
  EXPECT_EQ(WaitForSingleObject(first, 0), WAIT_OBJECT_0);
  EXPECT_TRUE(ReleaseMutex(first));
  std::thread other([&] { EXPECT_EQ(WaitForSingleObject(first, 0), DWORD(WAIT_TIMEOUT)); });
  other.join();
  EXPECT_TRUE(ReleaseMutex(first));
  EXPECT_FALSE(ReleaseMutex(first));
  std::thread taker([&] {
    EXPECT_EQ(WaitForSingleObject(first, 0), WAIT_OBJECT_0);
    EXPECT_TRUE(ReleaseMutex(first));
  });
  taker.join();
  CloseHandle(first);
}

DWORD WINAPI HoldMutexAndEnd(LPVOID mutex) {
  WaitForSingleObject(static_cast<HANDLE>(mutex), INFINITE);
  return 7;
}

// What ExitEarly is given: the event that lets it go on, and the flag its
// unwound frame sets.
struct EarlyExit {
  HANDLE go;
  std::atomic<bool> unwound{false};
};

DWORD WINAPI ExitEarly(LPVOID parameter) {
  auto* early = static_cast<EarlyExit*>(parameter);
  struct Unwound {
    std::atomic<bool>* flag;
    ~Unwound() { *flag = true; }
  } unwound{&early->unwound};
  // Held until the starter has seen it active: a sleep on the fast PC clock
  // can end before a slow (sanitized) starter looks.
  WaitForSingleObject(early->go, INFINITE);
  ExitThread(42);
  return 1;
}

TEST_F(SyncTest, ThreadsSignalTheirHandlesAndAbandonTheirMutexes) {
  HANDLE mutex = CreateMutexA(nullptr, FALSE, nullptr);
  DWORD threadId = 0;
  HANDLE holder = CreateThread(nullptr, 0, HoldMutexAndEnd, mutex, 0, &threadId);
  ASSERT_NE(holder, nullptr);
  EXPECT_NE(threadId, 0u);
  EXPECT_NE(threadId, GetCurrentThreadId());
  EXPECT_EQ(GetThreadId(holder), threadId);
  ASSERT_EQ(WaitForSingleObject(holder, kLongWait), WAIT_OBJECT_0);
  DWORD code = 0;
  EXPECT_TRUE(GetExitCodeThread(holder, &code));
  EXPECT_EQ(code, 7u);
  // The thread ended owning the mutex: the next owner is told so, once.
  EXPECT_EQ(WaitForSingleObject(mutex, 0), DWORD(WAIT_ABANDONED));
  EXPECT_TRUE(ReleaseMutex(mutex));
  EXPECT_EQ(WaitForSingleObject(mutex, 0), WAIT_OBJECT_0);
  EXPECT_TRUE(ReleaseMutex(mutex));

  // ExitThread unwinds the thread: its handle gets the code, its frames are
  // destroyed; before that it is still active.
  EarlyExit exit;
  exit.go = CreateEventA(nullptr, TRUE, FALSE, nullptr);
  HANDLE early = CreateThread(nullptr, 0, ExitEarly, &exit, 0, nullptr);
  ASSERT_NE(early, nullptr);
  EXPECT_TRUE(GetExitCodeThread(early, &code));
  EXPECT_EQ(code, DWORD(STILL_ACTIVE));
  EXPECT_EQ(WaitForSingleObject(early, 50), DWORD(WAIT_TIMEOUT));
  SetEvent(exit.go);
  HANDLE threads[2] = {early, holder};
  EXPECT_EQ(WaitForMultipleObjects(2, threads, TRUE, kLongWait), WAIT_OBJECT_0);
  EXPECT_TRUE(GetExitCodeThread(early, &code));
  EXPECT_EQ(code, 42u);
  EXPECT_TRUE(exit.unwound);

  EXPECT_EQ(CreateThread(nullptr, 0, nullptr, nullptr, 0, nullptr), nullptr);
  EXPECT_EQ(GetLastError(), DWORD(ERROR_INVALID_PARAMETER));
  EXPECT_NE(GetCurrentProcessId(), 0u);
  CloseHandle(exit.go);
  CloseHandle(early);
  CloseHandle(holder);
  CloseHandle(mutex);
}

struct Shared {
  CRITICAL_SECTION section;
  long counter = 0;
};

DWORD WINAPI CountUnderSection(LPVOID parameter) {
  auto* shared = static_cast<Shared*>(parameter);
  for (int i = 0; i < 2000; ++i) {
    EnterCriticalSection(&shared->section);
    EnterCriticalSection(&shared->section);  // recursion by the owner
    const long seen = shared->counter;
    shared->counter = seen + 1;
    LeaveCriticalSection(&shared->section);
    LeaveCriticalSection(&shared->section);
  }
  return 0;
}

TEST_F(SyncTest, CriticalSectionsAndInterlockedOperationsKeepCounts) {
  Shared shared;
  InitializeCriticalSection(&shared.section);
  HANDLE threads[3];
  for (HANDLE& t : threads) t = CreateThread(nullptr, 0, CountUnderSection, &shared, 0, nullptr);
  EXPECT_EQ(WaitForMultipleObjects(3, threads, TRUE, kLongWait), WAIT_OBJECT_0);
  EXPECT_EQ(shared.counter, 6000);
  for (HANDLE t : threads) CloseHandle(t);

  EnterCriticalSection(&shared.section);
  std::thread other([&] {
    EXPECT_FALSE(TryEnterCriticalSection(&shared.section));
    LeaveCriticalSection(&shared.section);  // not the owner: ignored
  });
  other.join();
  EXPECT_TRUE(TryEnterCriticalSection(&shared.section));
  EXPECT_EQ(shared.section.RecursionCount, 2);
  LeaveCriticalSection(&shared.section);
  LeaveCriticalSection(&shared.section);
  std::thread after([&] {
    EXPECT_TRUE(TryEnterCriticalSection(&shared.section));
    LeaveCriticalSection(&shared.section);
  });
  after.join();
  DeleteCriticalSection(&shared.section);

  LONG volatile value = 5;
  EXPECT_EQ(InterlockedIncrement(&value), 6);
  EXPECT_EQ(InterlockedDecrement(&value), 5);
  EXPECT_EQ(InterlockedExchange(&value, 9), 5);
  EXPECT_EQ(InterlockedCompareExchange(&value, 1, 8), 9);  // no match: unchanged
  EXPECT_EQ(value, 9);
  EXPECT_EQ(InterlockedCompareExchange(&value, 1, 9), 9);
  EXPECT_EQ(value, 1);
}

TEST_F(SyncTest, SleepRunsOnThePcClock) {
  EXPECT_GE(PcMsOf([] { Sleep(5000); }), 5000u);
  Sleep(0);  // gives up the processor and returns
}

}  // namespace
