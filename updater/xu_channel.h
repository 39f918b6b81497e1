// The camera's flash-programming extension unit as the updater reaches it:
// kernel-streaming node properties (node 4) on the capture filter's
// IKsControl, in one of the two dialects the firmware speaks. Every request
// carries a KSP_NODE record: the active property-set GUID, the control
// selector as property id, get or set with the topology flag, the node id.
#pragma once

#include <windows.h>
#include <ks.h>
#include <ksproxy.h>

#include <string>

#include "updater/update_view.h"

enum XuDialect { LegacyProtocol, PacketProtocol };

// The unit's GUID built into the tool: {C987A729-59D3-4569-8467-FF0849FC19E8}.
extern const GUID XU_GUID_BUILTIN;

const ULONG XU_NODE_ID = 4;
const ULONG XU_INFO_SIZE = 1024;
const ULONG XU_INFO_DIALECT_BYTE = 16;
const int XU_TOP_BLOCK_SIZE = 32;
const int XU_READ_WINDOW = 60;

// The request record of one call, as sent (set or get, selector).
void BuildXuRequest(const GUID& set, ULONG selector, bool isSet, KSP_NODE* record);

// "1.3.101203" for a release, "TEST Version = 2010/12/06, 01.04.02" for a
// test build.
std::string FormatFirmwareVersion(DWORD version);

class CXuChannel {
 public:
  explicit CXuChannel(CUpdateView* view);
  ~CXuChannel();
  CXuChannel(const CXuChannel&) = delete;
  CXuChannel& operator=(const CXuChannel&) = delete;

  // Installs the control interface of a newly opened filter (AddRef),
  // releasing the previous one; null keeps nothing.
  void SetControl(IKsControl* control);
  bool HasControl() const { return control_ != NULL; }

  void SetConfiguredGuid(const GUID& guid) { configured_ = guid; }
  const GUID& ConfiguredGuid() const { return configured_; }
  void UseConfiguredGuid() { active_ = configured_; }
  const GUID& ActiveGuid() const { return active_; }

  XuDialect Dialect() const { return dialect_; }
  void SetDialect(XuDialect dialect) { dialect_ = dialect; }
  // The dialect an information block names.
  static XuDialect DialectOf(const BYTE* info);

  // One set or get; 0, or -1 on failure (a failed set shows the error box).
  int Set(ULONG selector, ULONG length, const BYTE* data);
  int Get(ULONG selector, ULONG length, BYTE* buffer);
  // Gets the information block with the active GUID and, if that fails,
  // with the built-in GUID, which then stays active. False if both fail.
  bool Probe(BYTE* info);

  int WriteRegister(WORD address, BYTE value);
  // The register's value, or -1 (after the error box).
  int ReadRegister(WORD address);
  // Reads n (at most 60) flash bytes at `address`; the legacy form reads one.
  int ReadBlock(WORD address, int n, BYTE* destination);
  int ReadVersion(DWORD* version);
  // Keeps the device's 32 bytes at 0xFF00 (result not checked).
  void SaveTopBlock();
  const BYTE* TopBlock() const { return topBlock_; }
  void SetTopBlock(const BYTE* block);

  // The transport's error box: "Error!" with the DirectShow error text.
  void ShowError(HRESULT hr);
  HRESULT LastResult() const { return last_; }

 private:
  HRESULT Call(ULONG selector, bool isSet, ULONG length, BYTE* data);

  CUpdateView* view_;
  IKsControl* control_ = NULL;
  GUID configured_ = GUID();
  GUID active_ = GUID();
  XuDialect dialect_ = LegacyProtocol;
  BYTE topBlock_[XU_TOP_BLOCK_SIZE] = {};
  HRESULT last_ = S_OK;
};
