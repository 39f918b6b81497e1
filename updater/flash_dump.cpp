// The flash dump file: one line per flash byte, "0xADDRESS, 0xBYTE".
#include <cstdio>
#include <string>
#include <vector>

#include "updater/updater_core.h"

namespace {

const ULONG SEL_LEGACY_READ_ADDRESS = 9;
const ULONG SEL_LEGACY_READ = 10;

std::string DumpFileName() {
  SYSTEMTIME now;
  GetLocalTime(&now);
  char name[64];
  std::snprintf(name, sizeof(name), "C:\\FW_%d_%02d%02d_%02d%02d%02d.txt", now.wYear, now.wMonth, now.wDay, now.wHour,
                now.wMinute, now.wSecond);
  return name;
}

}  // namespace

void CUpdaterCore::WriteFlashDump(DWORD count) {
  view_->Log("UVC: logging Flash FW content...begin ~");
  view_->Repaint();
  const std::string name = DumpFileName();
  HANDLE file = CreateFileA(name.c_str(), GENERIC_WRITE, 0, NULL, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, NULL);
  if (file == INVALID_HANDLE_VALUE) {
    // Nothing is written through a file that did not open.
    view_->Message("Can not create " + name, "QCAMLDR", MB_OK | MB_ICONERROR);
    return;
  }
  std::string text;
  BYTE bytes[16] = {};
  for (DWORD i = 0; i < count; ++i) {
    if (i % 16 == 0) {
      const DWORD n = count - i < 16 ? count - i : 16;
      int result;
      if (xu_.Dialect() == PacketProtocol) {
        result = xu_.ReadBlock(WORD(i), int(n), bytes);
      } else {
        const BYTE address[2] = {LOBYTE(WORD(i)), HIBYTE(WORD(i))};
        if (xu_.Set(SEL_LEGACY_READ_ADDRESS, 2, address) != 0)
          view_->Message("Fail to Set Flash Address!!!", "QCAMLDR", MB_OK);
        result = xu_.Get(SEL_LEGACY_READ, n, bytes);
      }
      if (result != 0) view_->Message("Fail to Read Flash Data!!!", "QCAMLDR", MB_OK);
    }
    char line[32];
    std::snprintf(line, sizeof(line), "0x%02X, 0x%02X\r\n", unsigned(i), unsigned(bytes[i % 16]));
    text += line;
  }
  DWORD written = 0;
  WriteFile(file, text.data(), DWORD(text.size()), &written, NULL);
  CloseHandle(file);
  lastDump_ = name;
  view_->Log("UVC: logging Flash FW contect...finished.");
}
