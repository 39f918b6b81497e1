// The tray's WM_COPYDATA command over any bytes and any dwData: only
// dwData 4402 with the text "EXIT" (the bytes before the first zero among
// at most 512) is the exit command, and no byte past those given is read.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "fuzz/input_reader.h"
#include "tray/tray_command.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  FuzzReader in{data, size};
  const uint8_t mode = in.Byte();
  // Mostly the command's own id, so that the text is what decides.
  const ULONG_PTR id = (mode & 1) ? ULONG_PTR(4402) : ULONG_PTR(in.U32());
  // The bytes sit in a buffer of exactly their size, so the address
  // sanitizer sees any read past them.
  std::vector<uint8_t> bytes(in.p, in.p + in.n);
  COPYDATASTRUCT copy;
  copy.dwData = id;
  copy.cbData = DWORD(bytes.size());
  copy.lpData = bytes.empty() || (mode & 2) ? nullptr : bytes.data();
  const bool exit = qorbm::IsExitCommand(&copy);

  bool expected = false;
  if (id == 4402 && copy.lpData) {
    const size_t looked = bytes.size() < 512 ? bytes.size() : 512;
    size_t length = 0;
    while (length < looked && bytes[length]) ++length;
    expected = length == 4 && std::memcmp(bytes.data(), "EXIT", 4) == 0;
  }
  if (exit != expected) {
    std::fprintf(stderr, "the command was taken as %s\n", exit ? "EXIT" : "something else");
    std::abort();
  }
  return 0;
}
