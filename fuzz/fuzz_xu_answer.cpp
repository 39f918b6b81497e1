// Any answer the camera's extension unit may give the updater: a control
// interface whose every result and every byte comes from the input, behind
// the updater's channel as it probes, reads registers, flash blocks and the
// version, and the version text formed from what it read. The display name
// of a device (for its ids) is taken from the input's tail.
#include <windows.h>
#include <ks.h>
#include <ksproxy.h>

#include <cstring>
#include <string>

#include "fuzz/input_reader.h"
#include "updater/device_pattern.h"
#include "updater/xu_channel.h"

namespace {

FuzzReader g_input{nullptr, 0};

class SilentView : public CUpdateView {
 public:
  void SetStatusText(const std::string&) override {}
  void SetProgressText(const std::string&) override {}
  void SetVersionText(const std::string& text) override { version = text; }
  std::string VersionText() const override { return version; }
  void SetProgressBar(int) override {}
  void Log(const std::string&) override {}
  void Repaint() override {}
  int Message(const std::string& text, const std::string&, UINT) override { return int(text.size()); }
  void PumpOneMessage() override {}
  void Wait(DWORD) override {}
  void ClearDeviceCombo() override {}
  void AddDeviceComboItem(const std::string&) override {}
  int DeviceComboCount() const override { return 0; }
  void EnableUpgrade(bool) override {}
  void EnableClose(bool) override {}
  std::string version;
};

class InputControl : public IKsControl {
 public:
  STDMETHODIMP QueryInterface(REFIID, void**) override { return E_NOINTERFACE; }
  STDMETHODIMP_(ULONG) AddRef() override { return 2; }
  STDMETHODIMP_(ULONG) Release() override { return 1; }
  STDMETHODIMP KsProperty(PKSPROPERTY, ULONG, LPVOID data, ULONG length, ULONG* returned) override {
    const uint8_t status = g_input.Byte();
    uint8_t* bytes = static_cast<uint8_t*>(data);
    for (ULONG i = 0; i < length; ++i) bytes[i] = g_input.Byte();
    *returned = length;
    return (status & 7) == 0 ? E_FAIL : (status & 7) == 1 ? HRESULT(0x80070490) : S_OK;
  }
  STDMETHODIMP KsMethod(PKSMETHOD, ULONG, LPVOID, ULONG, ULONG*) override { return E_NOTIMPL; }
  STDMETHODIMP KsEvent(PKSEVENT, ULONG, LPVOID, ULONG, ULONG*) override { return E_NOTIMPL; }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size > 8192) return 0;
  g_input = FuzzReader{data, size};
  SilentView view;
  InputControl control;
  CXuChannel xu(&view);
  xu.SetControl(&control);
  unsigned sum = 0;
  BYTE info[XU_INFO_SIZE];
  if (xu.Probe(info)) xu.SetDialect(CXuChannel::DialectOf(info));
  for (int round = 0; round < 2; ++round) {
    sum += unsigned(xu.ReadRegister(g_input.U16()));
    const int n = int(g_input.Byte() % 64);
    BYTE block[64] = {};
    if (xu.ReadBlock(g_input.U16(), n, block) == 0)
      for (int i = 0; i < n && i < 60; ++i) sum += block[i];
    DWORD version = 0;
    if (xu.ReadVersion(&version) == 0) sum += unsigned(FormatFirmwareVersion(version).size());
    xu.SaveTopBlock();
    for (int i = 0; i < XU_TOP_BLOCK_SIZE; ++i) sum += xu.TopBlock()[i];
    xu.SetDialect(xu.Dialect() == PacketProtocol ? LegacyProtocol : PacketProtocol);
  }
  const std::string name(reinterpret_cast<const char*>(g_input.p), g_input.n);
  DeviceIds ids;
  if (ParseDeviceIds(LowerText(name), &ids)) sum += ids.vendor + ids.product + unsigned(ids.productText.size());
  xu.SetControl(nullptr);
  return sum == 0xFFFFFFFFu ? 1 : 0;
}
