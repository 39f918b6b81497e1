// The extension-unit requests byte for byte, in both dialects, on a control
// interface that records every call.
#include <gtest/gtest.h>

#include <windows.h>
#include <ks.h>
#include <ksproxy.h>

#include <cstring>
#include <deque>

#include "tests/updater/updater_rig.h"
#include "updater/xu_channel.h"

namespace updatertest {
namespace {

using Bytes = std::vector<uint8_t>;

struct Call {
  Bytes record;  // the 32-byte KSP_NODE
  Bytes data;    // what was sent (sets) or the buffer's length (gets)
  ULONG length;
};

class RecordingControl : public IKsControl {
 public:
  std::vector<Call> calls;
  std::deque<HRESULT> results;  // per call; S_OK when empty
  std::deque<Bytes> answers;    // copied into get buffers
  STDMETHODIMP QueryInterface(REFIID, void**) override { return E_NOINTERFACE; }
  STDMETHODIMP_(ULONG) AddRef() override { return ++refs; }
  STDMETHODIMP_(ULONG) Release() override { return --refs; }
  STDMETHODIMP KsProperty(PKSPROPERTY property, ULONG propertyLength, LPVOID data, ULONG dataLength,
                          ULONG* returned) override {
    const auto* r = reinterpret_cast<const uint8_t*>(property);
    const auto* d = static_cast<uint8_t*>(data);
    calls.push_back({Bytes(r, r + propertyLength), Bytes(d, d + dataLength), dataLength});
    HRESULT hr = S_OK;
    if (!results.empty()) {
      hr = results.front();
      results.pop_front();
    }
    if (SUCCEEDED(hr) && (property->Flags & KSPROPERTY_TYPE_GET) && !answers.empty()) {
      std::memcpy(data, answers.front().data(), std::min<size_t>(dataLength, answers.front().size()));
      answers.pop_front();
    }
    *returned = dataLength;
    return hr;
  }
  STDMETHODIMP KsMethod(PKSMETHOD, ULONG, LPVOID, ULONG, ULONG*) override { return E_NOTIMPL; }
  STDMETHODIMP KsEvent(PKSEVENT, ULONG, LPVOID, ULONG, ULONG*) override { return E_NOTIMPL; }
  ULONG refs = 1;
};

Bytes Record(const GUID& set, ULONG id, bool isSet) {
  Bytes r(32, 0);
  std::memcpy(r.data(), &set, 16);
  const ULONG flags = isSet ? 0x10000002 : 0x10000001, node = 4;
  std::memcpy(&r[16], &id, 4);
  std::memcpy(&r[20], &flags, 4);
  std::memcpy(&r[24], &node, 4);
  return r;
}

const GUID kOther = {0x12345678, 0x1, 0x2, {3, 4, 5, 6, 7, 8, 9, 10}};

TEST(XuChannelTest, PacketDialectRecordsByteForByte) {
  RecordingView view;
  RecordingControl control;
  CXuChannel xu(&view);
  xu.SetControl(&control);
  xu.SetDialect(PacketProtocol);
  ASSERT_EQ(xu.WriteRegister(0x34E3, 3), 0);
  control.answers = {Bytes{1, 0x0B, 0x44, 11, 0, 0, 0, 0, 0}};
  EXPECT_EQ(xu.ReadRegister(0x440B), 11);
  control.answers = {Bytes{0x0A, 0x2C, 0x06, 0x14}};
  DWORD version = 0;
  ASSERT_EQ(xu.ReadVersion(&version), 0);
  EXPECT_EQ(version, 0x0A2C0614u);
  Bytes window(64, 0);
  for (int i = 0; i < 60; ++i) window[4 + i] = uint8_t(i + 1);
  control.answers = {window};
  BYTE block[60] = {};
  ASSERT_EQ(xu.ReadBlock(0xB03C, 60, block), 0);
  EXPECT_EQ(block[59], 60);
  control.answers = {window};
  xu.SaveTopBlock();
  EXPECT_EQ(xu.TopBlock()[31], 32);

  const GUID g = XU_GUID_BUILTIN;
  const std::vector<Call>& c = control.calls;
  ASSERT_EQ(c.size(), 8u);
  EXPECT_EQ(c[0].record, Record(g, 4, true));
  EXPECT_EQ(c[0].data, (Bytes{1, 0xE3, 0x34, 3, 0, 0, 0, 0, 0}));
  EXPECT_EQ(c[1].record, Record(g, 2, true));
  EXPECT_EQ(c[1].data, (Bytes{1, 0x0B, 0x44, 0, 0}));
  EXPECT_EQ(c[2].record, Record(g, 4, false));
  EXPECT_EQ(c[2].length, 9u);
  EXPECT_EQ(c[3].record, Record(g, 12, false));
  EXPECT_EQ(c[3].length, 4u);
  EXPECT_EQ(c[4].record, Record(g, 16, true));
  EXPECT_EQ(c[4].data, (Bytes{1, 0x3C, 0xB0, 0, 0}));
  EXPECT_EQ(c[5].record, Record(g, 15, false));
  EXPECT_EQ(c[5].length, 64u);
  EXPECT_EQ(c[6].data, (Bytes{1, 0x00, 0xFF, 0, 0}));
  EXPECT_TRUE(view.messages.empty());
  xu.SetControl(nullptr);
  EXPECT_EQ(control.refs, 1u);
}

TEST(XuChannelTest, LegacyDialectRecordsAndVersionIsPacketOnly) {
  RecordingView view;
  RecordingControl control;
  CXuChannel xu(&view);
  xu.SetControl(&control);
  ASSERT_EQ(xu.Dialect(), LegacyProtocol);
  ASSERT_EQ(xu.WriteRegister(0xE00F, 1), 0);
  control.answers = {Bytes{11}};
  EXPECT_EQ(xu.ReadRegister(0x440B), 11);
  control.answers = {Bytes{0x5A}};
  BYTE b = 0;
  ASSERT_EQ(xu.ReadBlock(0x1234, 60, &b), 0);
  EXPECT_EQ(b, 0x5A);
  DWORD version = 0;
  EXPECT_EQ(xu.ReadVersion(&version), -1);

  const GUID g = XU_GUID_BUILTIN;
  const std::vector<Call>& c = control.calls;
  ASSERT_EQ(c.size(), 6u);
  EXPECT_EQ(c[0].record, Record(g, 2, true));
  EXPECT_EQ(c[0].data, (Bytes{0x0F, 0xE0}));
  EXPECT_EQ(c[1].record, Record(g, 3, true));
  EXPECT_EQ(c[1].data, (Bytes{1}));
  EXPECT_EQ(c[2].data, (Bytes{0x0B, 0x44}));
  EXPECT_EQ(c[3].record, Record(g, 3, false));
  EXPECT_EQ(c[4].record, Record(g, 16, true));
  EXPECT_EQ(c[4].data, (Bytes{0x34, 0x12}));
  EXPECT_EQ(c[5].record, Record(g, 3, false));
  xu.SetControl(nullptr);
}

TEST(XuChannelTest, ProbeFallsBackToBuiltInGuidAndFailuresShowErrorBox) {
  RecordingView view;
  RecordingControl control;
  CXuChannel xu(&view);
  BYTE info[1024] = {};
  EXPECT_FALSE(xu.Probe(info)) << "no control interface";
  EXPECT_EQ(xu.Set(4, 1, info), -1);
  EXPECT_EQ(xu.LastResult(), E_POINTER);
  EXPECT_EQ(view.messages.size(), 1u);

  xu.SetControl(&control);
  xu.SetConfiguredGuid(kOther);
  xu.UseConfiguredGuid();
  Bytes answer(1024, 0);
  answer[16] = 15;
  control.results = {E_FAIL, S_OK};
  control.answers = {answer};
  ASSERT_TRUE(xu.Probe(info));
  EXPECT_EQ(CXuChannel::DialectOf(info), LegacyProtocol);
  info[16] = 16;
  EXPECT_EQ(CXuChannel::DialectOf(info), PacketProtocol);
  EXPECT_EQ(control.calls[0].record, Record(kOther, 0, false));
  EXPECT_EQ(control.calls[1].record, Record(XU_GUID_BUILTIN, 0, false));
  EXPECT_EQ(control.calls[1].length, 1024u);
  // The built-in GUID stays active for later requests.
  xu.WriteRegister(0xE00F, 1);
  EXPECT_EQ(control.calls[2].record, Record(XU_GUID_BUILTIN, 2, true));

  // A get that fails inside a register read raises one box; a failed set one.
  view.messages.clear();
  control.results = {S_OK, E_FAIL};
  EXPECT_EQ(xu.ReadRegister(0x440B), -1);
  control.results = {HRESULT(0x80040217)};
  EXPECT_EQ(xu.WriteRegister(0x440B, 0), -1);
  control.results = {HRESULT(0x8BADF00D)};
  EXPECT_EQ(xu.WriteRegister(0x440B, 0), -1);
  ASSERT_EQ(view.messages.size(), 3u);
  EXPECT_EQ(view.messages[2], "Error!: Unknown Error: 0x8badf00d");
  xu.SetControl(nullptr);
}

TEST(XuChannelTest, VersionTextsOfReleaseAndTestBuild) {
  EXPECT_EQ(FormatFirmwareVersion(0x0A0C0313), "1.3.101203");
  EXPECT_EQ(FormatFirmwareVersion(0x0A2C0614), "TEST Version = 2010/12/06, 01.04.02");
  EXPECT_EQ(FormatFirmwareVersion(0x0B01F0AB), "a.b.1101-16") << "the day is a signed byte";
  EXPECT_EQ(FormatFirmwareVersion(0), "0.0.000000");
}

}  // namespace
}  // namespace updatertest
