// Fuzzes the window drawing with trees built from the input: any class,
// style bits, geometry, ranges, texts in any code page, items, menu states
// and icon pixels, nested a few levels. The picture is drawn and every
// output byte read back.
#include <cstdint>
#include <string>

#include "fuzz/input_reader.h"
#include "platform/draw/window_draw.h"

namespace {

const char* const kClasses[] = {"#32770", "Button", "Static", "Edit", "ListBox", "ComboBox", "ScrollBar",
                                "msctls_trackbar32", "msctls_updown32", "msctls_progress32", "SysTabControl32",
                                "#32768", "Other"};
const uint32_t kCodePages[] = {1252, 932, 936, 949, 950, 65001, 0};

std::string Bytes(FuzzReader& in, size_t most) {
  std::string s;
  size_t n = in.Byte() % (most + 1);
  for (size_t i = 0; i < n; ++i) s += char(in.Byte());
  return s;
}

void ReadNode(FuzzReader& in, platform::WindowNode* node, int depth, int* budget) {
  node->className = kClasses[in.Byte() % (sizeof(kClasses) / sizeof(kClasses[0]))];
  node->style = in.U32();
  node->exStyle = in.U32();
  node->x = int16_t(in.U16());
  node->y = int16_t(in.U16());
  node->width = int16_t(in.U16());
  node->height = int16_t(in.U16());
  node->clientX = int8_t(in.Byte());
  node->clientY = int8_t(in.Byte());
  uint8_t flags = in.Byte();
  node->visible = flags & 1;
  node->enabled = flags & 2;
  node->focused = flags & 4;
  node->pressed = flags & 8;
  node->fontBold = flags & 16;
  if (flags & 32) node->fontFace = Bytes(in, 16);
  node->fontPointSize = int8_t(in.Byte());
  node->checkState = int8_t(in.Byte());
  node->rangeMin = in.I32();
  node->rangeMax = in.I32();
  node->position = in.I32();
  node->tickFrequency = in.I32();
  node->selectionStart = in.I32();
  node->selectionEnd = in.I32();
  node->selected = int16_t(in.U16());
  node->topIndex = int16_t(in.U16());
  node->text = Bytes(in, 40);
  for (int i = in.Byte() % 8; i > 0; --i) node->items.push_back(Bytes(in, 12));
  for (int i = in.Byte() % 8; i > 0; --i) node->itemStates.push_back(in.U32());
  node->iconId = int16_t(in.U16());
  node->iconWidth = int8_t(in.Byte());
  node->iconHeight = int8_t(in.Byte());
  node->iconPixels.resize(in.Byte() % 80, in.U32());
  int children = in.Byte() % 6;
  for (int i = 0; i < children && depth < 4 && *budget > 0; ++i, --*budget) {
    node->children.emplace_back();
    ReadNode(in, &node->children.back(), depth + 1, budget);
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  FuzzReader in{data, size};
  platform::WindowPicture picture;
  picture.codePage = kCodePages[in.Byte() % (sizeof(kCodePages) / sizeof(kCodePages[0]))];
  uint8_t mode = in.Byte();
  picture.captionBar = mode & 1;
  picture.active = mode & 2;
  int budget = 40;
  ReadNode(in, &picture.root, 0, &budget);
  picture.root.width = 1 + picture.root.width % 320;
  picture.root.height = 1 + picture.root.height % 240;
  if (picture.root.width < 1) picture.root.width += 320;
  if (picture.root.height < 1) picture.root.height += 240;
  draw::Image image;
  if (!draw::RenderWindowPicture(picture, &image)) __builtin_trap();
  unsigned sum = 0;
  for (uint8_t b : image.rgb) sum += b;
  if (image.rgb.size() != size_t(image.width) * size_t(image.height) * 3 || sum == 0xFFFFFFFFu) __builtin_trap();
  return 0;
}
