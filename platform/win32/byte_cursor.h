// A bounds-checked little-endian reader over resource bytes (the .res file,
// dialog templates, menus, string tables, icon directories). Every read
// checks the remaining length first; a failed read leaves the cursor failed
// and every later read fails too, so a parser can read a whole record and
// check once.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace platform {
namespace win32 {

// A resource name or type as resource formats write it: an ordinal
// (0xFFFF followed by a 16-bit number) or a zero-terminated UTF-16 string.
struct ResName {
  bool isOrdinal = true;
  uint16_t ordinal = 0;
  std::u16string text;
  bool Empty() const { return isOrdinal ? ordinal == 0 : text.empty(); }
};

class ByteCursor {
 public:
  ByteCursor(const uint8_t* data, size_t size) : data_(data), size_(data ? size : 0) {}

  bool Ok() const { return ok_; }
  size_t Position() const { return pos_; }
  size_t Remaining() const { return ok_ ? size_ - pos_ : 0; }
  const uint8_t* Here() const { return data_ + pos_; }

  bool Skip(size_t n) {
    if (!ok_ || n > size_ - pos_) return Fail();
    pos_ += n;
    return true;
  }
  // Moves to the next multiple of `n` bytes from the start of the data.
  bool Align(size_t n) {
    const size_t pad = (n - pos_ % n) % n;
    if (pad > size_ - pos_) {
      // Alignment padding may be missing at the very end of the data.
      pos_ = size_;
      return ok_;
    }
    pos_ += pad;
    return ok_;
  }
  bool U8(uint8_t* v) {
    if (!Skip(1)) return false;
    *v = data_[pos_ - 1];
    return true;
  }
  bool U16(uint16_t* v) {
    if (!Skip(2)) return false;
    *v = uint16_t(data_[pos_ - 2] | (data_[pos_ - 1] << 8));
    return true;
  }
  bool I16(int16_t* v) {
    uint16_t u;
    if (!U16(&u)) return false;
    *v = int16_t(u);
    return true;
  }
  bool U32(uint32_t* v) {
    if (!Skip(4)) return false;
    const uint8_t* p = data_ + pos_ - 4;
    *v = uint32_t(p[0]) | (uint32_t(p[1]) << 8) | (uint32_t(p[2]) << 16) | (uint32_t(p[3]) << 24);
    return true;
  }
  // A zero-terminated UTF-16 string; fails when the terminator is missing.
  bool String16(std::u16string* out) {
    out->clear();
    for (;;) {
      uint16_t c;
      if (!U16(&c)) return false;
      if (c == 0) return true;
      out->push_back(char16_t(c));
    }
  }
  // 0x0000 (no name), 0xFFFF + ordinal, or a string.
  bool NameOrOrdinal(ResName* out) {
    *out = ResName();
    uint16_t first;
    if (!U16(&first)) return false;
    if (first == 0xFFFF) return U16(&out->ordinal);
    if (first == 0) return true;
    out->isOrdinal = false;
    out->text.push_back(char16_t(first));
    std::u16string rest;
    if (!String16(&rest)) return false;
    out->text += rest;
    return true;
  }

 private:
  bool Fail() {
    ok_ = false;
    return false;
  }
  const uint8_t* data_;
  size_t size_;
  size_t pos_ = 0;
  bool ok_ = true;
};

}  // namespace win32
}  // namespace platform
