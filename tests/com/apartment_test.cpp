// COM on a thread: entered and left as often as called, in one mode at a
// time, and nothing created on a thread that never entered it.
#include <gtest/gtest.h>

#include <objbase.h>

#include <thread>

#include "tests/com/com_test_util.h"

namespace {

using com_test::PcTest;

// {6B1D2A4F-7E3C-4F51-9A0B-1C2D3E4F5A60}
DEFINE_GUID(kAnyClass, 0x6B1D2A4F, 0x7E3C, 0x4F51, 0x9A, 0x0B, 0x1C, 0x2D, 0x3E, 0x4F, 0x5A, 0x60);

void ExpectNoCom() {
  void* object = reinterpret_cast<void*>(1);
  EXPECT_EQ(CoCreateInstance(kAnyClass, nullptr, CLSCTX_INPROC_SERVER, IID_IUnknown, &object), CO_E_NOTINITIALIZED);
  EXPECT_EQ(object, nullptr);
  object = reinterpret_cast<void*>(1);
  EXPECT_EQ(CoGetClassObject(kAnyClass, CLSCTX_INPROC_SERVER, nullptr, IID_IClassFactory, &object),
            CO_E_NOTINITIALIZED);
  EXPECT_EQ(object, nullptr);
}

TEST_F(PcTest, EachThreadCountsItsOwnEntriesInOneMode) {
  ExpectNoCom();
  EXPECT_EQ(CoInitialize(nullptr), S_OK);
  EXPECT_EQ(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE), S_FALSE);
  // The other mode is refused and not counted.
  EXPECT_EQ(CoInitializeEx(nullptr, COINIT_MULTITHREADED), RPC_E_CHANGED_MODE);
  int dummy;
  EXPECT_EQ(CoInitializeEx(&dummy, COINIT_APARTMENTTHREADED), E_INVALIDARG);

  // Another thread has no COM of its own until it enters, in any mode.
  std::thread other([] {
    ExpectNoCom();
    EXPECT_EQ(CoInitializeEx(nullptr, COINIT_MULTITHREADED), S_OK);
    EXPECT_EQ(CoInitializeEx(nullptr, COINIT_MULTITHREADED), S_FALSE);
    EXPECT_EQ(CoInitialize(nullptr), RPC_E_CHANGED_MODE);
    CoUninitialize();
    CoUninitialize();
    ExpectNoCom();
    CoUninitialize();  // one too many does no harm
    EXPECT_EQ(CoInitialize(nullptr), S_OK);
    CoUninitialize();
  });
  other.join();

  // Two entries, so COM stays after the first leave; after the second a
  // new mode may be chosen.
  CoUninitialize();
  void* object = nullptr;
  EXPECT_EQ(CoCreateInstance(kAnyClass, nullptr, CLSCTX_INPROC_SERVER, IID_IUnknown, &object), REGDB_E_CLASSNOTREG);
  CoUninitialize();
  ExpectNoCom();
  EXPECT_EQ(CoInitializeEx(nullptr, COINIT_MULTITHREADED), S_OK);
  CoUninitialize();
}

}  // namespace
