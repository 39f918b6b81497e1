// Reader of the binary resource file format.
#include "platform/win32/res_file.h"

#include "platform/win32/text.h"

namespace platform {
namespace win32 {
namespace {

// DataVersion, MemoryFlags, LanguageId, Version, Characteristics.
constexpr size_t kHeaderTail = 4 + 2 + 2 + 4 + 4;
// DataSize, HeaderSize and the two shortest names (ordinals).
constexpr size_t kMinHeader = 8 + 4 + 4 + kHeaderTail;

bool ReadRecord(ByteCursor& file, ResEntry* entry) {
  const size_t start = file.Position();
  uint32_t dataSize = 0, headerSize = 0;
  if (!file.U32(&dataSize) || !file.U32(&headerSize)) return false;
  if (headerSize < kMinHeader || headerSize > file.Remaining() + 8) return false;
  // The names and fixed fields are read inside the header's own bounds.
  ByteCursor header(file.Here() - 8, headerSize);
  header.Skip(8);
  uint16_t memoryFlags = 0;
  uint32_t skip32 = 0;
  if (!header.NameOrOrdinal(&entry->type) || !header.NameOrOrdinal(&entry->name)) return false;
  header.Align(4);
  if (!header.U32(&skip32) || !header.U16(&memoryFlags) || !header.U16(&entry->language) || !header.U32(&skip32) ||
      !header.U32(&skip32))
    return false;
  file.Skip(headerSize - 8);
  if (dataSize > file.Remaining()) return false;
  entry->data = file.Here();
  entry->size = dataSize;
  file.Skip(dataSize);
  file.Align(4);
  return file.Position() > start;
}

}  // namespace

bool ParseResFile(const uint8_t* data, size_t size, std::vector<ResEntry>* entries) {
  entries->clear();
  ByteCursor file(data, size);
  while (file.Remaining() > 0) {
    ResEntry entry;
    if (!ReadRecord(file, &entry)) return false;
    // The leading empty record (and any other placeholder) names nothing.
    if (entry.type.Empty() && entry.name.Empty()) continue;
    entries->push_back(entry);
  }
  return true;
}

bool ResNameMatches(const ResName& stored, const ResName& wanted) {
  if (stored.isOrdinal != wanted.isOrdinal) return false;
  if (stored.isOrdinal) return stored.ordinal == wanted.ordinal;
  return EqualNoCase16(stored.text, wanted.text);
}

}  // namespace win32
}  // namespace platform
