// CommandPage: the service page. Sends a raw command number to the driver
// and reads or writes single registers of the bridge chip and of the image
// sensor, all through private property 14. Not localised.
#pragma once

#include <string>

#include "extension/pages.h"

namespace qcamext {

class CommandPage : public CustomPropPage {
 public:
  static IUnknown* Create(IUnknown* outer, HRESULT* result);
  explicit CommandPage(IUnknown* outer);

  HRESULT OnApplyChanges() override;
  INT_PTR OnReceiveMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam) override;

  // A register address or value as typed: hexadecimal digits, the last one
  // least significant, kept to the low 16 bits; other characters are
  // passed over.
  static DWORD ParseHex(const std::string& text);

 private:
  DWORD HexOf(int id) const;
  void ReadRegister(int addressBox, int valueBox, DWORD readCode);
  void WriteRegister(int addressBox, int valueBox, DWORD writeCode);
  void Send(DWORD* payload);
};

}  // namespace qcamext
