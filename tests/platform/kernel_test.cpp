// Kernel services without machine state: pool, strings, debug output, time,
// rand, system threads, events and the synchronous plug-and-play request.
#include <atomic>
#include <chrono>
#include <cstring>
#include <mutex>
#include <set>
#include <vector>

#include "platform/nt/ntddk.h"
#include "tests/platform/test_util.h"

namespace {

using platform_test::MachineTest;

TEST_F(MachineTest, PoolFailureInjectionAndOutstandingCount) {
  const long base = platform::PoolOutstanding();
  platform::PoolFailAfter(2);
  void* a = ExAllocatePool(NonPagedPool, 16);
  void* b = ExAllocatePoolWithTag(NonPagedPool, 0, 0x5143614Du);
  void* c = ExAllocatePool(NonPagedPool, 16);
  EXPECT_NE(a, nullptr);
  EXPECT_NE(b, nullptr);
  EXPECT_EQ(c, nullptr);
  EXPECT_EQ(ExAllocatePool(PagedPool, 1), nullptr);
  EXPECT_EQ(platform::PoolOutstanding(), base + 2);
  platform::PoolFailAfter(-1);
  void* d = ExAllocatePool(NonPagedPool, 1 << 20);
  ASSERT_NE(d, nullptr);
  std::memset(d, 0xA5, 1 << 20);
  ExFreePool(a);
  ExFreePool(b);
  ExFreePool(d);
  EXPECT_EQ(platform::PoolOutstanding(), base);

  // Strings that need pool fail cleanly when it is exhausted.
  platform::PoolFailAfter(0);
  ANSI_STRING ansi;
  RtlInitAnsiString(&ansi, "abc");
  UNICODE_STRING wide = {0, 0, nullptr};
  EXPECT_EQ(RtlAnsiStringToUnicodeString(&wide, &ansi, TRUE), STATUS_INSUFFICIENT_RESOURCES);
  EXPECT_EQ(wide.Buffer, nullptr);
}

TEST(PoolDeathTest, FreeingABlockTwiceStopsTheMachine) {
  void* p = ExAllocatePool(NonPagedPool, 8);
  ExFreePool(p);
  EXPECT_DEATH(ExFreePool(p), "not a live pool block");
}

TEST_F(MachineTest, StringConversions) {
  ANSI_STRING ansi;
  RtlInitAnsiString(&ansi, "C:\\caf\xC3\xA9.bmp");
  EXPECT_EQ(ansi.Length, 12);
  EXPECT_EQ(ansi.MaximumLength, 13);
  UNICODE_STRING wide = {0, 0, nullptr};
  ASSERT_EQ(RtlAnsiStringToUnicodeString(&wide, &ansi, TRUE), STATUS_SUCCESS);
  EXPECT_EQ(std::u16string(wide.Buffer, wide.Length / 2), u"C:\\caf\u00e9.bmp");
  EXPECT_EQ(wide.Buffer[wide.Length / 2], 0);

  ANSI_STRING back = {0, 0, nullptr};
  ASSERT_EQ(RtlUnicodeStringToAnsiString(&back, &wide, TRUE), STATUS_SUCCESS);
  EXPECT_STREQ(back.Buffer, "C:\\caf\xC3\xA9.bmp");
  RtlFreeAnsiString(&back);
  EXPECT_EQ(back.Buffer, nullptr);

  // Into a caller's buffer: too small is reported, and nothing is written past it.
  char small[5];
  std::memset(small, '#', sizeof small);
  ANSI_STRING shortDest = {0, 4, small};
  EXPECT_EQ(RtlUnicodeStringToAnsiString(&shortDest, &wide, FALSE), STATUS_BUFFER_OVERFLOW);
  EXPECT_STREQ(small, "C:\\");
  EXPECT_EQ(small[4], '#');
  WCHAR wbuf[4];
  UNICODE_STRING wshort = {0, sizeof wbuf, wbuf};
  EXPECT_EQ(RtlAnsiStringToUnicodeString(&wshort, &ansi, FALSE), STATUS_BUFFER_OVERFLOW);
  RtlFreeUnicodeString(&wide);

  UNICODE_STRING init;
  RtlInitUnicodeString(&init, u"Snap.dat");
  EXPECT_EQ(init.Length, 16);
  EXPECT_EQ(init.MaximumLength, 18);
  RtlInitUnicodeString(&init, nullptr);
  EXPECT_EQ(init.Length, 0);
  EXPECT_EQ(init.Buffer, nullptr);

  // Surrogate pairs survive, a lone surrogate becomes '?'.
  const WCHAR pair[] = {0xD83D, 0xDE00, 0xD800, u'x'};
  EXPECT_EQ(platform::Narrow(pair, 4), "\xF0\x9F\x98\x80?x");
  EXPECT_EQ(platform::Widen("\xF0\x9F\x98\x80"), std::u16string(pair, 2));
  EXPECT_EQ(platform::Widen("a\xFFz"), u"a\u00ffz");
}

TEST_F(MachineTest, DebugPrintFormatsWideStringsLineByLine) {
  std::vector<std::string> lines;
  platform::SetDebugSink([&lines](const std::string& l) { lines.push_back(l); });
  UNICODE_STRING u;
  RtlInitUnicodeString(&u, u"C:\\frame.bmp");
  DbgPrint("QORCAM_ReadStringFormRegistry: %ws\n", u.Buffer);
  DbgPrint("%S|%-6ws|%.2ws|%wZ|%wc|%lc|%3c\n", u"ab", u"cd", u"efgh", &u, u'z', u'y', 'x');
  DbgPrint("%d %5u %08x %I64d %lld %s %c %%\nsecond", -3, 7u, 0xBEEF, static_cast<LONGLONG>(1) << 40, -1LL, "s", 'c');
  DbgPrint("%ws %s\n", static_cast<const WCHAR*>(nullptr), static_cast<const char*>(nullptr));
  ASSERT_EQ(lines.size(), 5u);
  EXPECT_EQ(lines[0], "QORCAM_ReadStringFormRegistry: C:\\frame.bmp");
  EXPECT_EQ(lines[1], "ab|cd    |ef|C:\\frame.bmp|z|y|  x");
  EXPECT_EQ(lines[2], "-3     7 0000beef 1099511627776 -1 s c %");
  EXPECT_EQ(lines[3], "second");
  EXPECT_EQ(lines[4], "(null) (null)");
}

TEST_F(MachineTest, RandIsTheKernelSequence) {
  srand(1);
  EXPECT_EQ(rand(), 41);
  EXPECT_EQ(rand(), 18467);
  EXPECT_EQ(rand(), 6334);
  EXPECT_EQ(rand(), 26500);
  EXPECT_EQ(rand(), 19169);
  srand(1);
  EXPECT_EQ(rand(), 41);
}

TEST_F(MachineTest, SystemTimeAndDelays) {
  LARGE_INTEGER t;
  KeQuerySystemTime(&t);
  // 2020-01-01 in 100 ns units since 1601.
  EXPECT_GT(t.QuadPart, 132223104000000000LL);
  platform::SetSystemTime(1234);
  KeQuerySystemTime(&t);
  EXPECT_EQ(t.QuadPart, 1234);
  platform::SetSystemTime(-1);
  KeQuerySystemTime(&t);
  EXPECT_GT(t.QuadPart, 1234);

  LARGE_INTEGER interval;
  interval.QuadPart = -20 * 10000;  // 20 ms, relative
  const auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(KeDelayExecutionThread(KernelMode, FALSE, &interval), STATUS_SUCCESS);
  EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(20));
  EXPECT_EQ(KeDelayExecutionThread(KernelMode, FALSE, nullptr), STATUS_INVALID_PARAMETER);
}

// ---- system threads ----------------------------------------------------------------------

struct Worker {
  std::atomic<int> steps{0};
  std::atomic<bool> passedTerminate{false};
  KEVENT go;
};

void WorkerRoutine(PVOID context) {
  Worker* w = static_cast<Worker*>(context);
  KeWaitForSingleObject(&w->go, Executive, KernelMode, FALSE, nullptr);
  w->steps++;
  struct Guard {  // unwinding runs destructors on the way out
    Worker* w;
    ~Guard() { w->steps += 10; }
  } guard{w};
  PsTerminateSystemThread(STATUS_SUCCESS);
  w->passedTerminate = true;
}

TEST_F(MachineTest, SystemThreadsRunEndAndAreJoined) {
  Worker workers[3];
  std::set<HANDLE> handles;
  for (Worker& w : workers) {
    KeInitializeEvent(&w.go, NotificationEvent, FALSE);
    HANDLE h = nullptr;
    ASSERT_EQ(PsCreateSystemThread(&h, THREAD_ALL_ACCESS, nullptr, nullptr, nullptr, WorkerRoutine, &w),
              STATUS_SUCCESS);
    EXPECT_NE(h, nullptr);
    handles.insert(h);
  }
  EXPECT_EQ(handles.size(), 3u);
  // Still waiting for their event: not ended.
  EXPECT_FALSE(platform::WaitForSystemThreads(10));
  for (Worker& w : workers) KeSetEvent(&w.go, IO_NO_INCREMENT, FALSE);
  EXPECT_TRUE(platform::WaitForSystemThreads(5000));
  for (Worker& w : workers) {
    EXPECT_EQ(w.steps.load(), 11);
    EXPECT_FALSE(w.passedTerminate.load());
  }
  for (HANDLE h : handles) EXPECT_EQ(ZwClose(h), STATUS_SUCCESS);
  for (HANDLE h : handles) EXPECT_NE(ZwClose(h), STATUS_SUCCESS);
}

void Nothing(PVOID) {}

TEST_F(MachineTest, ThreadCreationFailureInjection) {
  platform::ThreadsFailAfter(1);
  HANDLE a = nullptr, b = nullptr;
  EXPECT_EQ(PsCreateSystemThread(&a, THREAD_ALL_ACCESS, nullptr, nullptr, nullptr, Nothing, nullptr), STATUS_SUCCESS);
  EXPECT_EQ(PsCreateSystemThread(&b, THREAD_ALL_ACCESS, nullptr, nullptr, nullptr, Nothing, nullptr),
            STATUS_INSUFFICIENT_RESOURCES);
  EXPECT_EQ(b, nullptr);
  platform::ThreadsFailAfter(-1);
  EXPECT_EQ(PsCreateSystemThread(&b, THREAD_ALL_ACCESS, nullptr, nullptr, nullptr, Nothing, nullptr), STATUS_SUCCESS);
  EXPECT_TRUE(platform::WaitForSystemThreads(5000));
  ZwClose(a);
  ZwClose(b);
}

TEST_F(MachineTest, EventsWaitAndTimeOut) {
  KEVENT e;
  KeInitializeEvent(&e, SynchronizationEvent, FALSE);
  LARGE_INTEGER timeout;
  timeout.QuadPart = -5 * 10000;
  EXPECT_EQ(KeWaitForSingleObject(&e, Executive, KernelMode, FALSE, &timeout), 0x102);  // timed out
  EXPECT_EQ(KeSetEvent(&e, IO_NO_INCREMENT, FALSE), 0);
  EXPECT_EQ(KeWaitForSingleObject(&e, Executive, KernelMode, FALSE, &timeout), STATUS_SUCCESS);
  // A synchronization event resets itself when a wait is satisfied.
  EXPECT_EQ(KeWaitForSingleObject(&e, Executive, KernelMode, FALSE, &timeout), 0x102);
  KEVENT n;
  KeInitializeEvent(&n, NotificationEvent, TRUE);
  EXPECT_EQ(KeWaitForSingleObject(&n, Executive, KernelMode, FALSE, &timeout), STATUS_SUCCESS);
  EXPECT_EQ(KeWaitForSingleObject(&n, Executive, KernelMode, FALSE, &timeout), STATUS_SUCCESS);
}

// ---- the plug-and-play query-interface request ---------------------------------------------

const GUID kTestInterface = {0x12345678, 0x1234, 0x5678, {1, 2, 3, 4, 5, 6, 7, 8}};

struct FakeBus {
  int references = 0;
  int calls = 0;
  bool completeItself = false;
  bool pend = false;
  PIRP pendingIrp = nullptr;
};

VOID Reference(PVOID context) { static_cast<FakeBus*>(context)->references++; }
VOID Dereference(PVOID context) { static_cast<FakeBus*>(context)->references--; }

NTSTATUS FakePnp(PDEVICE_OBJECT device, PIRP irp) {
  FakeBus* bus = static_cast<FakeBus*>(device->DeviceExtension);
  bus->calls++;
  PIO_STACK_LOCATION stack = IoGetCurrentIrpStackLocation(irp);
  if (stack->MajorFunction != IRP_MJ_PNP || stack->MinorFunction != IRP_MN_QUERY_INTERFACE ||
      !IsEqualGUID(*stack->Parameters.QueryInterface.InterfaceType, kTestInterface) ||
      stack->Parameters.QueryInterface.Size < sizeof(INTERFACE)) {
    return irp->IoStatus.Status;  // not ours: left as it came
  }
  PINTERFACE out = stack->Parameters.QueryInterface.Interface;
  out->Size = sizeof(INTERFACE);
  out->Version = stack->Parameters.QueryInterface.Version;
  out->Context = bus;
  out->InterfaceReference = Reference;
  out->InterfaceDereference = Dereference;
  Reference(bus);
  irp->IoStatus.Status = STATUS_SUCCESS;
  irp->IoStatus.Information = 0;
  if (bus->pend) {
    bus->pendingIrp = irp;
    return STATUS_PENDING;
  }
  if (bus->completeItself) IoCompleteRequest(irp, IO_NO_INCREMENT);
  return STATUS_SUCCESS;
}

// The request as a driver sends it to the device below it.
NTSTATUS QueryInterface(PDEVICE_OBJECT target, const GUID& type, INTERFACE* out, IO_STATUS_BLOCK* iosb,
                        KEVENT* event, FakeBus* bus) {
  KeInitializeEvent(event, NotificationEvent, FALSE);
  PIRP irp = IoBuildSynchronousFsdRequest(IRP_MJ_PNP, target, nullptr, 0, nullptr, event, iosb);
  if (!irp) return STATUS_INSUFFICIENT_RESOURCES;
  PIO_STACK_LOCATION stack = IoGetNextIrpStackLocation(irp);
  stack->MinorFunction = IRP_MN_QUERY_INTERFACE;
  stack->Parameters.QueryInterface.InterfaceType = &type;
  stack->Parameters.QueryInterface.Size = sizeof(INTERFACE);
  stack->Parameters.QueryInterface.Version = 1;
  stack->Parameters.QueryInterface.Interface = out;
  stack->Parameters.QueryInterface.InterfaceSpecificData = nullptr;
  NTSTATUS status = IoCallDriver(target, irp);
  if (status == STATUS_PENDING) {
    if (bus && bus->pendingIrp) IoCompleteRequest(bus->pendingIrp, IO_NO_INCREMENT);  // the bus finishes later
    KeWaitForSingleObject(event, Executive, KernelMode, FALSE, nullptr);
    status = iosb->Status;
  }
  return status;
}

TEST_F(MachineTest, QueryInterfaceRoundTrip) {
  FakeBus bus;
  DRIVER_OBJECT driver = {};
  driver.MajorFunction[IRP_MJ_PNP] = FakePnp;
  DEVICE_OBJECT device = {&driver, &bus, nullptr};

  for (int mode = 0; mode < 3; ++mode) {
    SCOPED_TRACE(mode);
    bus = FakeBus();
    bus.completeItself = mode == 1;
    bus.pend = mode == 2;
    INTERFACE itf = {};
    IO_STATUS_BLOCK iosb = {STATUS_UNSUCCESSFUL, 99};
    KEVENT event;
    ASSERT_EQ(QueryInterface(&device, kTestInterface, &itf, &iosb, &event, &bus), STATUS_SUCCESS);
    EXPECT_EQ(iosb.Status, STATUS_SUCCESS);
    EXPECT_EQ(iosb.Information, 0u);
    EXPECT_EQ(event.Signaled, 1);
    EXPECT_EQ(bus.calls, 1);
    ASSERT_EQ(itf.Context, &bus);
    EXPECT_EQ(bus.references, 1);
    itf.InterfaceDereference(itf.Context);
    EXPECT_EQ(bus.references, 0);
  }

  // An interface the device does not know: the request comes back unanswered.
  bus = FakeBus();
  const GUID other = {1, 2, 3, {0}};
  INTERFACE itf = {};
  IO_STATUS_BLOCK iosb;
  KEVENT event;
  EXPECT_EQ(QueryInterface(&device, other, &itf, &iosb, &event, &bus), STATUS_NOT_SUPPORTED);
  EXPECT_EQ(iosb.Status, STATUS_NOT_SUPPORTED);
  EXPECT_EQ(itf.Context, nullptr);

  // A driver without a dispatch routine for the request.
  DRIVER_OBJECT empty = {};
  DEVICE_OBJECT bare = {&empty, nullptr, nullptr};
  EXPECT_EQ(QueryInterface(&bare, kTestInterface, &itf, &iosb, &event, nullptr), STATUS_INVALID_DEVICE_REQUEST);
  EXPECT_EQ(iosb.Status, STATUS_INVALID_DEVICE_REQUEST);
  EXPECT_EQ(event.Signaled, 1);
}

}  // namespace

namespace {

// ---- several threads at once ----------------------------------------------------------

struct Hammer {
  std::mutex lock;
  std::vector<int> draws;
  PCWSTR key;
};

struct HammerSlot {
  Hammer* shared;
  int index;
};

void HammerRoutine(PVOID context) {
  HammerSlot* slot = static_cast<HammerSlot*>(context);
  std::vector<int> mine;
  const std::u16string name = u"Value" + std::u16string(1, static_cast<char16_t>(u'A' + slot->index));
  for (ULONG i = 1; i <= 200; ++i) {
    mine.push_back(rand());
    RtlWriteRegistryValue(RTL_REGISTRY_ABSOLUTE, slot->shared->key, name.c_str(), REG_DWORD, &i, sizeof i);
    ULONG back = 0;
    RTL_QUERY_REGISTRY_TABLE table[2] = {};
    table[0] = {nullptr, RTL_QUERY_REGISTRY_DIRECT, const_cast<PWSTR>(name.c_str()), &back, REG_DWORD, nullptr, 0};
    RtlQueryRegistryValues(RTL_REGISTRY_ABSOLUTE, slot->shared->key, table, nullptr, nullptr);
    if (back != i) mine.push_back(-1);  // a lost or torn write
    DbgPrint("thread %d step %lu\n", slot->index, static_cast<unsigned long>(i));
  }
  std::lock_guard<std::mutex> guard(slot->shared->lock);
  slot->shared->draws.insert(slot->shared->draws.end(), mine.begin(), mine.end());
}

TEST_F(MachineTest, ThreadsShareRegistryRandAndDebugOutput) {
  ASSERT_TRUE(platform::SetRoot(root_));
  ASSERT_TRUE(platform::RegCreateKeyPath("HKLM\\SOFTWARE\\Hammer"));
  std::atomic<int> lines{0};
  platform::SetDebugSink([&lines](const std::string&) { lines++; });
  Hammer shared;
  shared.key = u"\\Registry\\MACHINE\\SOFTWARE\\Hammer";
  HammerSlot slots[4];
  HANDLE handles[4];
  srand(7);
  for (int i = 0; i < 4; ++i) {
    slots[i] = {&shared, i};
    ASSERT_EQ(PsCreateSystemThread(&handles[i], THREAD_ALL_ACCESS, nullptr, nullptr, nullptr, HammerRoutine,
                                   &slots[i]),
              STATUS_SUCCESS);
  }
  ASSERT_TRUE(platform::WaitForSystemThreads(60000));
  for (HANDLE h : handles) ZwClose(h);

  // Every draw took one step of the one sequence: together they are exactly
  // its first 800 values, and no write was lost.
  srand(7);
  std::multiset<int> expected, got(shared.draws.begin(), shared.draws.end());
  for (int i = 0; i < 800; ++i) expected.insert(rand());
  EXPECT_EQ(got, expected);
  EXPECT_EQ(lines.load(), 800);
  for (int i = 0; i < 4; ++i) {
    uint32_t v = 0;
    ASSERT_TRUE(platform::RegGetDword("HKLM\\SOFTWARE\\Hammer", std::string("Value") + char('A' + i), &v));
    EXPECT_EQ(v, 200u);
  }
  // The saved file is whole and holds the last state.
  platform::ResetMachine();
  ASSERT_TRUE(platform::SetRoot(root_));
  uint32_t v = 0;
  ASSERT_TRUE(platform::RegGetDword("HKLM\\SOFTWARE\\Hammer", "valued", &v));
  EXPECT_EQ(v, 200u);
}

}  // namespace
