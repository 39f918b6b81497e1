// Requests on the flash-programming extension unit.
#include "updater/xu_channel.h"

#include <cstdio>
#include <cstring>

#include <dshow.h>

const GUID XU_GUID_BUILTIN = {0xC987A729, 0x59D3, 0x4569, {0x84, 0x67, 0xFF, 0x08, 0x49, 0xFC, 0x19, 0xE8}};

namespace {

// Control selectors of the unit.
const ULONG SEL_INFO = 0;
const ULONG SEL_REG_ADDRESS = 2;
const ULONG SEL_LEGACY_REG_DATA = 3;
const ULONG SEL_PACKET_REG = 4;
const ULONG SEL_VERSION = 12;
const ULONG SEL_PACKET_READ = 15;
const ULONG SEL_READ_ADDRESS = 16;

const BYTE RECORD_COMMAND = 0x01;

}  // namespace

void BuildXuRequest(const GUID& set, ULONG selector, bool isSet, KSP_NODE* record) {
  std::memset(record, 0, sizeof(*record));
  record->Property.Set = set;
  record->Property.Id = selector;
  record->Property.Flags = (isSet ? KSPROPERTY_TYPE_SET : KSPROPERTY_TYPE_GET) | KSPROPERTY_TYPE_TOPOLOGY;
  record->NodeId = XU_NODE_ID;
  record->Reserved = 0;
}

std::string FormatFirmwareVersion(DWORD v) {
  const unsigned year = (v >> 24) & 0xFF, test = (v >> 20) & 0x0F, month = (v >> 16) & 0x0F;
  const int day = static_cast<signed char>((v >> 8) & 0xFF);
  const unsigned major = (v >> 4) & 0x0F, minor = v & 0x0F;
  char text[96];
  if (test == 0)
    std::snprintf(text, sizeof(text), "%x.%x.%02d%02d%02d", major, minor, int(year), int(month), day);
  else
    std::snprintf(text, sizeof(text), "TEST Version = 20%02d/%02d/%02d, %02x.%02x.%02x", int(year), int(month), day,
                  major, minor, test);
  return text;
}

CXuChannel::CXuChannel(CUpdateView* view) : view_(view) { active_ = XU_GUID_BUILTIN; }

CXuChannel::~CXuChannel() { SetControl(NULL); }

void CXuChannel::SetControl(IKsControl* control) {
  if (control) control->AddRef();
  if (control_) control_->Release();
  control_ = control;
}

XuDialect CXuChannel::DialectOf(const BYTE* info) {
  return info[XU_INFO_DIALECT_BYTE] >= 16 ? PacketProtocol : LegacyProtocol;
}

HRESULT CXuChannel::Call(ULONG selector, bool isSet, ULONG length, BYTE* data) {
  if (!control_) return last_ = E_POINTER;
  KSP_NODE record;
  BuildXuRequest(active_, selector, isSet, &record);
  ULONG returned = 0;
  return last_ = control_->KsProperty(reinterpret_cast<PKSPROPERTY>(&record), sizeof(record), data, length, &returned);
}

void CXuChannel::ShowError(HRESULT hr) {
  char text[161] = {};
  if (AMGetErrorTextA(hr, text, sizeof(text)) == 0) std::snprintf(text, sizeof(text), "Unknown Error: 0x%2x", unsigned(hr));
  view_->Message(text, "Error!", MB_OK | MB_ICONERROR);
}

int CXuChannel::Set(ULONG selector, ULONG length, const BYTE* data) {
  // The property call takes a writable buffer even for a set.
  BYTE copy[1024];
  if (length > sizeof(copy)) return -1;
  std::memcpy(copy, data, length);
  const HRESULT hr = Call(selector, true, length, copy);
  if (FAILED(hr)) {
    ShowError(hr);
    return -1;
  }
  return 0;
}

int CXuChannel::Get(ULONG selector, ULONG length, BYTE* buffer) {
  return FAILED(Call(selector, false, length, buffer)) ? -1 : 0;
}

bool CXuChannel::Probe(BYTE* info) {
  if (Get(SEL_INFO, XU_INFO_SIZE, info) == 0) return true;
  active_ = XU_GUID_BUILTIN;
  return Get(SEL_INFO, XU_INFO_SIZE, info) == 0;
}

int CXuChannel::WriteRegister(WORD address, BYTE value) {
  if (dialect_ == LegacyProtocol) {
    const BYTE at[2] = {LOBYTE(address), HIBYTE(address)};
    if (Set(SEL_REG_ADDRESS, 2, at) != 0) return -1;
    return Set(SEL_LEGACY_REG_DATA, 1, &value);
  }
  const BYTE record[9] = {RECORD_COMMAND, LOBYTE(address), HIBYTE(address), value, 0, 0, 0, 0, 0};
  return Set(SEL_PACKET_REG, sizeof(record), record);
}

int CXuChannel::ReadRegister(WORD address) {
  if (dialect_ == LegacyProtocol) {
    const BYTE at[2] = {LOBYTE(address), HIBYTE(address)};
    BYTE value = 0;
    if (Set(SEL_REG_ADDRESS, 2, at) != 0) return -1;
    if (Get(SEL_LEGACY_REG_DATA, 1, &value) != 0) {
      ShowError(last_);
      return -1;
    }
    return value;
  }
  const BYTE select[5] = {RECORD_COMMAND, LOBYTE(address), HIBYTE(address), 0, 0};
  BYTE record[9] = {};
  if (Set(SEL_REG_ADDRESS, sizeof(select), select) != 0) return -1;
  if (Get(SEL_PACKET_REG, sizeof(record), record) != 0) {
    ShowError(last_);
    return -1;
  }
  return record[3];
}

int CXuChannel::ReadBlock(WORD address, int n, BYTE* destination) {
  if (n < 1 || n > XU_READ_WINDOW) return -1;
  if (dialect_ == LegacyProtocol) {
    const BYTE at[2] = {LOBYTE(address), HIBYTE(address)};
    if (Set(SEL_READ_ADDRESS, 2, at) != 0) return -1;
    if (Get(SEL_LEGACY_REG_DATA, 1, destination) != 0) {
      ShowError(last_);
      return -1;
    }
    return 0;
  }
  const BYTE select[5] = {RECORD_COMMAND, LOBYTE(address), HIBYTE(address), 0, 0};
  BYTE window[64] = {};
  if (Set(SEL_READ_ADDRESS, sizeof(select), select) != 0) return -1;
  if (Get(SEL_PACKET_READ, sizeof(window), window) != 0) {
    ShowError(last_);
    return -1;
  }
  std::memcpy(destination, window + 4, size_t(n));
  return 0;
}

int CXuChannel::ReadVersion(DWORD* version) {
  if (dialect_ == LegacyProtocol) return -1;
  BYTE b[4] = {};
  if (Get(SEL_VERSION, sizeof(b), b) != 0) {
    ShowError(last_);
    return -1;
  }
  *version = DWORD(b[0]) << 24 | DWORD(b[1]) << 16 | DWORD(b[2]) << 8 | b[3];
  return 0;
}

void CXuChannel::SaveTopBlock() {
  const BYTE select[5] = {RECORD_COMMAND, 0x00, 0xFF, 0x00, 0x00};
  BYTE window[64] = {};
  if (Set(SEL_READ_ADDRESS, sizeof(select), select) != 0) return;
  if (Get(SEL_PACKET_READ, sizeof(window), window) != 0) return;
  std::memcpy(topBlock_, window + 4, XU_TOP_BLOCK_SIZE);
}

void CXuChannel::SetTopBlock(const BYTE* block) { std::memcpy(topBlock_, block, XU_TOP_BLOCK_SIZE); }
