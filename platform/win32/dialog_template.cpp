// Reader of DLGTEMPLATE and DLGTEMPLATEEX.
#include "platform/win32/dialog_template.h"

namespace platform {
namespace win32 {
namespace {

// DS_SETFONT; DS_SHELLFONT includes it.
constexpr uint32_t kSetFont = 0x40;
// A dialog has at most this many items; the count field is 16 bits anyway,
// this only keeps a hostile template from reserving much memory up front.
constexpr size_t kReserveLimit = 256;

bool ReadHeaderNames(ByteCursor& c, DialogTemplate* t) {
  if (!c.NameOrOrdinal(&t->menu) || !c.NameOrOrdinal(&t->windowClass)) return false;
  return c.String16(&t->title);
}

bool ReadItemTail(ByteCursor& c, DialogItemTemplate* item) {
  if (!c.NameOrOrdinal(&item->windowClass) || !c.NameOrOrdinal(&item->title)) return false;
  const uint8_t* sizeWord = c.Here();
  uint16_t extra = 0;
  if (!c.U16(&extra)) return false;
  if (extra) {
    if (!c.Skip(extra)) return false;
    item->creationData = sizeWord;
    item->creationSize = extra;
  }
  return true;
}

bool ReadItem(ByteCursor& c, bool extended, DialogItemTemplate* item) {
  c.Align(4);
  if (extended) {
    if (!c.U32(&item->helpId) || !c.U32(&item->exStyle) || !c.U32(&item->style)) return false;
  } else {
    if (!c.U32(&item->style) || !c.U32(&item->exStyle)) return false;
  }
  if (!c.I16(&item->x) || !c.I16(&item->y) || !c.I16(&item->cx) || !c.I16(&item->cy)) return false;
  if (extended) {
    if (!c.U32(&item->id)) return false;
  } else {
    uint16_t id = 0;
    if (!c.U16(&id)) return false;
    item->id = id;
  }
  return ReadItemTail(c, item);
}

}  // namespace

bool ParseDialogTemplate(const uint8_t* data, size_t size, DialogTemplate* out) {
  *out = DialogTemplate();
  ByteCursor c(data, size);
  uint16_t version = 0, signature = 0;
  if (!c.U16(&version) || !c.U16(&signature)) return false;
  out->extended = version == 1 && signature == 0xFFFF;
  uint16_t count = 0;
  if (out->extended) {
    if (!c.U32(&out->helpId) || !c.U32(&out->exStyle) || !c.U32(&out->style)) return false;
  } else {
    c = ByteCursor(data, size);
    if (!c.U32(&out->style) || !c.U32(&out->exStyle)) return false;
  }
  if (!c.U16(&count) || !c.I16(&out->x) || !c.I16(&out->y) || !c.I16(&out->cx) || !c.I16(&out->cy)) return false;
  if (!ReadHeaderNames(c, out)) return false;
  if (out->style & kSetFont) {
    out->hasFont = true;
    if (!c.U16(&out->pointSize)) return false;
    if (out->extended) {
      uint8_t italic = 0;
      if (!c.U16(&out->weight) || !c.U8(&italic) || !c.U8(&out->charset)) return false;
      out->italic = italic != 0;
    }
    if (!c.String16(&out->faceName)) return false;
  }
  out->items.reserve(count < kReserveLimit ? count : kReserveLimit);
  for (uint16_t i = 0; i < count; ++i) {
    DialogItemTemplate item;
    if (!ReadItem(c, out->extended, &item)) return false;
    out->items.push_back(item);
  }
  return true;
}

const char* PredefinedClassName(uint16_t ordinal) {
  switch (ordinal) {
    case 0x80: return "Button";
    case 0x81: return "Edit";
    case 0x82: return "Static";
    case 0x83: return "ListBox";
    case 0x84: return "ScrollBar";
    case 0x85: return "ComboBox";
    default: return nullptr;
  }
}

}  // namespace win32
}  // namespace platform
