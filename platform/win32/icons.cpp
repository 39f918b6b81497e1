// Icons and cursors: handles that remember which resource they came from
// (RT_GROUP_ICON / RT_GROUP_CURSOR and the images the group lists), or
// which system icon they are. Nothing is drawn; the drawing module reads
// the images through platform::DescribeIcon.
#include <cstdlib>
#include <map>
#include <mutex>
#include <tuple>

#include "platform/machine/window_system.h"
#include "platform/win32/byte_cursor.h"
#include "platform/win32/modal_hooks.h"
#include "platform/win32/resources.h"
#include "platform/win32/text.h"

namespace platform {
namespace win32 {
namespace {

constexpr uint16_t kGroupIcon = 14;    // RT_GROUP_ICON
constexpr uint16_t kGroupCursor = 12;  // RT_GROUP_CURSOR
constexpr uint16_t kIcon = 3;          // RT_ICON
constexpr uint16_t kCursor = 1;        // RT_CURSOR

struct IconRecord {
  bool shared = true;
  IconInfo info;
};

struct IconTable {
  std::mutex lock;
  std::map<uintptr_t, IconRecord> icons;
  // Shared icons by module (and the resource bytes it had), group type and
  // name.
  std::map<std::tuple<HMODULE, const void*, uint16_t, bool, int, std::u16string>, uintptr_t> shared;
  uintptr_t next = 0x50000;
};
IconTable& I() {
  static IconTable* t = new IconTable;
  return *t;
}

// The images a group directory lists: WORD reserved, WORD type, WORD
// count, then 14-byte entries (BYTE width, height, colours, reserved;
// WORD planes, bit count; DWORD size; WORD image id).
void ReadGroup(HMODULE module, const ResourceRecord& group, uint16_t imageType, IconInfo* info) {
  ByteCursor c(group.data, group.size);
  uint16_t reserved = 0, type = 0, count = 0;
  if (!c.U16(&reserved) || !c.U16(&type) || !c.U16(&count)) return;
  for (uint16_t i = 0; i < count; ++i) {
    uint8_t width = 0, height = 0, colours = 0, unused = 0;
    uint16_t planes = 0, bits = 0, id = 0;
    uint32_t size = 0;
    if (!c.U8(&width) || !c.U8(&height) || !c.U8(&colours) || !c.U8(&unused) || !c.U16(&planes) ||
        !c.U16(&bits) || !c.U32(&size) || !c.U16(&id))
      return;
    const ResourceRecord* image = FindModuleResource(module, OrdinalName(imageType), OrdinalName(id), -1);
    if (!image) continue;
    IconImage entry;
    entry.width = width ? width : 256;
    entry.height = height ? height : 256;
    entry.bitCount = bits;
    entry.bytes.assign(image->data, image->data + image->size);
    info->images.push_back(entry);
  }
}

HICON Add(const IconRecord& record) {
  IconTable& t = I();
  std::lock_guard<std::mutex> hold(t.lock);
  const uintptr_t h = t.next;
  t.next += 4;
  t.icons[h] = record;
  return reinterpret_cast<HICON>(h);
}

// A system icon or cursor: the same handle every time.
HICON SystemImage(uint16_t ordinal) {
  IconTable& t = I();
  std::lock_guard<std::mutex> hold(t.lock);
  auto key = std::make_tuple(HMODULE(nullptr), static_cast<const void*>(nullptr), uint16_t(0), true, int(ordinal),
                             std::u16string());
  auto it = t.shared.find(key);
  if (it != t.shared.end()) return reinterpret_cast<HICON>(it->second);
  const uintptr_t h = t.next;
  t.next += 4;
  IconRecord r;
  r.info.system = true;
  r.info.ordinal = ordinal;
  t.icons[h] = r;
  t.shared[key] = h;
  return reinterpret_cast<HICON>(h);
}

bool IsSystemImage(uint16_t ordinal, bool cursor) {
  if (cursor) return ordinal >= 32512 && ordinal <= 32651;  // IDC_ARROW .. IDC_HELP
  return ordinal >= 32512 && ordinal <= 32518;             // IDI_APPLICATION .. IDI_SHIELD
}

HICON LoadGroup(HMODULE module, const ResName& name, bool cursor, bool shared) {
  const uint16_t groupType = cursor ? kGroupCursor : kGroupIcon;
  // Without a module the name is one of the system's own (IDI_*, IDC_*).
  if (!module) {
    if (name.isOrdinal && IsSystemImage(name.ordinal, cursor)) return SystemImage(name.ordinal);
    return SetLastError(ERROR_RESOURCE_NAME_NOT_FOUND), nullptr;
  }
  const ResourceRecord* group = FindModuleResource(module, OrdinalName(groupType), name, -1);
  if (!group) return nullptr;
  const auto key = std::make_tuple(module, static_cast<const void*>(group->data), groupType, name.isOrdinal,
                                   int(name.ordinal), name.text);
  if (shared) {
    IconTable& t = I();
    std::lock_guard<std::mutex> hold(t.lock);
    auto it = t.shared.find(key);
    if (it != t.shared.end()) return reinterpret_cast<HICON>(it->second);
  }
  IconRecord r;
  r.shared = shared;
  r.info.module = module;
  r.info.byOrdinal = name.isOrdinal;
  r.info.ordinal = name.ordinal;
  r.info.name = name.isOrdinal ? std::string() : Utf16ToAnsi(name.text);
  ReadGroup(module, *group, cursor ? kCursor : kIcon, &r.info);
  HICON icon = Add(r);
  if (shared) {
    IconTable& t = I();
    std::lock_guard<std::mutex> hold(t.lock);
    t.shared[key] = reinterpret_cast<uintptr_t>(icon);
  }
  return icon;
}

HCURSOR g_cursor = nullptr;

// A DIB icon image: BITMAPINFOHEADER, colour table (up to 8 bits per
// pixel), the colour rows and the 1-bit AND mask rows, both bottom-up with
// rows padded to 4 bytes. PNG images are left alone.
bool DecodeDib(const std::vector<uint8_t>& bytes, int* width, int* height, std::vector<uint32_t>* pixels) {
  ByteCursor c(bytes.data(), bytes.size());
  uint32_t headerSize = 0, compression = 0, used = 0, skip = 0;
  uint16_t planes = 0, bits = 0;
  uint32_t w = 0, h2 = 0;
  if (!c.U32(&headerSize) || headerSize < 40 || !c.U32(&w) || !c.U32(&h2) || !c.U16(&planes) || !c.U16(&bits) ||
      !c.U32(&compression) || !c.U32(&skip) || !c.U32(&skip) || !c.U32(&skip) || !c.U32(&used))
    return false;
  const uint32_t h = h2 / 2;
  if (compression != 0 || w == 0 || h == 0 || w > 256 || h > 256) return false;
  if (bits != 1 && bits != 4 && bits != 8 && bits != 24 && bits != 32) return false;
  if (!c.Skip(headerSize - 40 + 4)) return false;  // the rest of the header
  std::vector<uint32_t> palette;
  if (bits <= 8) {
    const uint32_t entries = used && used <= (1u << bits) ? used : (1u << bits);
    for (uint32_t i = 0; i < entries; ++i) {
      uint32_t bgra = 0;
      if (!c.U32(&bgra)) return false;
      palette.push_back(bgra & 0xFFFFFF);
    }
  }
  const size_t colourStride = ((size_t(w) * bits + 31) / 32) * 4;
  const size_t maskStride = ((size_t(w) + 31) / 32) * 4;
  const uint8_t* colour = c.Here();
  if (!c.Skip(colourStride * h)) return false;
  const uint8_t* mask = c.Remaining() >= maskStride * h ? c.Here() : nullptr;
  pixels->assign(size_t(w) * h, 0);
  bool anyAlpha = false;
  for (uint32_t y = 0; y < h; ++y) {
    const uint8_t* row = colour + colourStride * (h - 1 - y);
    for (uint32_t x = 0; x < w; ++x) {
      uint32_t argb;
      if (bits == 32) {
        argb = uint32_t(row[4 * x + 3]) << 24 | uint32_t(row[4 * x + 2]) << 16 | uint32_t(row[4 * x + 1]) << 8 |
               row[4 * x];
        anyAlpha = anyAlpha || (argb >> 24) != 0;
      } else if (bits == 24) {
        argb = 0xFF000000u | uint32_t(row[3 * x + 2]) << 16 | uint32_t(row[3 * x + 1]) << 8 | row[3 * x];
      } else {
        const size_t bit = size_t(x) * bits;
        const uint32_t index = (row[bit / 8] >> (8 - bits - bit % 8)) & ((1u << bits) - 1);
        argb = 0xFF000000u | (index < palette.size() ? palette[index] : 0);
      }
      (*pixels)[size_t(y) * w + x] = argb;
    }
  }
  // Without an alpha channel the AND mask says which pixels are see-through.
  if (!anyAlpha) {
    for (uint32_t y = 0; y < h; ++y) {
      for (uint32_t x = 0; x < w; ++x) {
        uint32_t& p = (*pixels)[size_t(y) * w + x];
        const bool clear = mask && (mask[maskStride * (h - 1 - y) + x / 8] >> (7 - x % 8)) & 1;
        p = clear ? 0 : (p | 0xFF000000u);
      }
    }
  }
  *width = int(w);
  *height = int(h);
  return true;
}

}  // namespace

bool IconPixels(HICON icon, int wanted, int* id, int* width, int* height, std::vector<uint32_t>* pixels) {
  IconInfo info;
  if (!DescribeIconHandle(icon, &info)) return false;
  *id = info.byOrdinal ? info.ordinal : 0;
  const IconImage* best = nullptr;
  for (const IconImage& image : info.images)
    if (!best || std::abs(image.width - wanted) < std::abs(best->width - wanted)) best = &image;
  pixels->clear();
  *width = *height = 0;
  if (best && !DecodeDib(best->bytes, width, height, pixels)) {
    pixels->clear();
    *width = *height = 0;
  }
  return true;
}

bool DescribeIconHandle(HICON icon, IconInfo* info) {
  IconTable& t = I();
  std::lock_guard<std::mutex> hold(t.lock);
  auto it = t.icons.find(reinterpret_cast<uintptr_t>(icon));
  if (it == t.icons.end()) return false;
  *info = it->second.info;
  return true;
}

}  // namespace win32
}  // namespace platform

using namespace platform::win32;

HICON WINAPI LoadIconA(HINSTANCE hInstance, LPCSTR lpIconName) {
  ResName name;
  if (!NameFromA(lpIconName, &name)) return SetLastError(ERROR_INVALID_PARAMETER), nullptr;
  return LoadGroup(hInstance, name, false, true);
}

HICON WINAPI LoadIconW(HINSTANCE hInstance, LPCWSTR lpIconName) {
  ResName name;
  if (!NameFromW(lpIconName, &name)) return SetLastError(ERROR_INVALID_PARAMETER), nullptr;
  return LoadGroup(hInstance, name, false, true);
}

HCURSOR WINAPI LoadCursorA(HINSTANCE hInstance, LPCSTR lpCursorName) {
  ResName name;
  if (!NameFromA(lpCursorName, &name)) return SetLastError(ERROR_INVALID_PARAMETER), nullptr;
  return LoadGroup(hInstance, name, true, true);
}

HCURSOR WINAPI LoadCursorW(HINSTANCE hInstance, LPCWSTR lpCursorName) {
  ResName name;
  if (!NameFromW(lpCursorName, &name)) return SetLastError(ERROR_INVALID_PARAMETER), nullptr;
  return LoadGroup(hInstance, name, true, true);
}

// Icons and cursors from resources; LR_SHARED hands out the one shared
// handle. Bitmaps and files are not loaded by the window system.
HANDLE WINAPI LoadImageA(HINSTANCE hInst, LPCSTR name, UINT type, int cx, int cy, UINT fuLoad) {
  if ((type != IMAGE_ICON && type != IMAGE_CURSOR) || (fuLoad & LR_LOADFROMFILE))
    return SetLastError(ERROR_NOT_SUPPORTED), nullptr;
  ResName resource;
  if (!NameFromA(name, &resource)) return SetLastError(ERROR_INVALID_PARAMETER), nullptr;
  return LoadGroup(hInst, resource, type == IMAGE_CURSOR, (fuLoad & LR_SHARED) != 0 || !hInst);
}

HANDLE WINAPI LoadImageW(HINSTANCE hInst, LPCWSTR name, UINT type, int cx, int cy, UINT fuLoad) {
  if ((type != IMAGE_ICON && type != IMAGE_CURSOR) || (fuLoad & LR_LOADFROMFILE))
    return SetLastError(ERROR_NOT_SUPPORTED), nullptr;
  ResName resource;
  if (!NameFromW(name, &resource)) return SetLastError(ERROR_INVALID_PARAMETER), nullptr;
  return LoadGroup(hInst, resource, type == IMAGE_CURSOR, (fuLoad & LR_SHARED) != 0 || !hInst);
}

BOOL WINAPI DestroyIcon(HICON hIcon) {
  IconTable& t = I();
  std::lock_guard<std::mutex> hold(t.lock);
  auto it = t.icons.find(reinterpret_cast<uintptr_t>(hIcon));
  if (it == t.icons.end()) return SetLastError(ERROR_INVALID_HANDLE), FALSE;
  // Shared icons live as long as their module.
  if (!it->second.shared) t.icons.erase(it);
  return TRUE;
}

HCURSOR WINAPI SetCursor(HCURSOR hCursor) {
  static std::mutex lock;
  std::lock_guard<std::mutex> hold(lock);
  HCURSOR old = g_cursor;
  g_cursor = hCursor;
  return old;
}
