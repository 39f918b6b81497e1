#include "extension/command_page.h"

#include <cstdio>

#include "extension/resource.h"
#include "shared/hex_digit.h"

namespace qcamext {
namespace {

constexpr ULONG kCommandLength = 64;
constexpr int kTextCapacity = 64;
// Command codes of a register access: the address first, then the value
// (writes) or the kind of read, and a Get that brings the value back.
constexpr DWORD kCodeAddress = 101;
constexpr DWORD kCodeValue = 102;
constexpr DWORD kCodeResult = 103;
constexpr DWORD kCodeBridgeRead = 104;
constexpr DWORD kCodeBridgeWrite = 105;
constexpr DWORD kCodeSensorRead = 106;
constexpr DWORD kCodeSensorWrite = 107;

}  // namespace

DWORD CommandPage::ParseHex(const std::string& text) {
  DWORD value = 0;
  for (char c : text) {
    const int digit = qcam::HexDigit(c);
    if (digit >= 0) value = ((value << 4) | static_cast<DWORD>(digit)) & 0xFFFF;
  }
  return value;
}

IUnknown* CommandPage::Create(IUnknown* outer, HRESULT* result) { return CreatePage<CommandPage>(result, outer); }

CommandPage::CommandPage(IUnknown* outer) : CustomPropPage(outer, kCounted, IDS_COMMAND_TITLE, IDD_COMMAND_PAGE) {}

DWORD CommandPage::HexOf(int id) const {
  char text[kTextCapacity] = {};
  GetDlgItemTextA(DialogWindow(), id, text, kTextCapacity);
  return ParseHex(text);
}

void CommandPage::Send(DWORD* payload) {
  if (customProp_) customProp_->Set(qcam::kPrivCommand, payload, kCommandLength);
}

void CommandPage::ReadRegister(int addressBox, int valueBox, DWORD readCode) {
  const DWORD address = HexOf(addressBox);
  DWORD payload[kCommandLength / sizeof(DWORD)] = {kCodeAddress, address};
  Send(payload);
  payload[0] = readCode;
  payload[1] = address;
  Send(payload);
  payload[0] = kCodeResult;
  // A failed Get leaves the address in word 1, and that is what is shown.
  if (customProp_) customProp_->Get(qcam::kPrivCommand, payload, kCommandLength);
  char text[16];
  std::snprintf(text, sizeof(text), "%02X", static_cast<unsigned>(payload[1]));
  SetDlgItemTextA(DialogWindow(), valueBox, text);
}

void CommandPage::WriteRegister(int addressBox, int valueBox, DWORD writeCode) {
  const DWORD address = HexOf(addressBox);
  const DWORD value = HexOf(valueBox);
  DWORD payload[kCommandLength / sizeof(DWORD)] = {kCodeAddress, address};
  Send(payload);
  payload[0] = kCodeValue;
  payload[1] = value;
  Send(payload);
  payload[0] = writeCode;
  payload[1] = value;
  Send(payload);
}

INT_PTR CommandPage::OnReceiveMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message != WM_COMMAND) return CustomPropPage::OnReceiveMessage(window, message, wParam, lParam);
  switch (LOWORD(wParam)) {
    case IDC_COMMAND_APPLY: {
      BOOL number = FALSE;
      DWORD payload[kCommandLength / sizeof(DWORD)] = {};
      payload[0] = static_cast<DWORD>(GetDlgItemInt(window, IDC_COMMAND_NUMBER, &number, TRUE));
      if (!number) payload[0] = 0;
      Send(payload);
      break;
    }
    case IDC_REG_READ:
      ReadRegister(IDC_REG_ADDRESS, IDC_REG_VALUE, kCodeBridgeRead);
      break;
    case IDC_REG_WRITE:
      WriteRegister(IDC_REG_ADDRESS, IDC_REG_VALUE, kCodeBridgeWrite);
      break;
    case IDC_SENSOR_READ:
      ReadRegister(IDC_SENSOR_ADDRESS, IDC_SENSOR_VALUE, kCodeSensorRead);
      break;
    case IDC_SENSOR_WRITE:
      WriteRegister(IDC_SENSOR_ADDRESS, IDC_SENSOR_VALUE, kCodeSensorWrite);
      break;
    default:
      break;
  }
  return FALSE;
}

HRESULT CommandPage::OnApplyChanges() {
  ClearDirty();
  return S_OK;
}

}  // namespace qcamext
