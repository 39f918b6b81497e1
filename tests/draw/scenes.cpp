#include "scenes.h"

#include "platform/draw/style_bits.h"

namespace draw_test {

using namespace draw::styles;

namespace {

constexpr int kBorder = 3;
constexpr int kCaption = 19;

WindowNode Items(WindowNode node, std::vector<std::string> items, int selected) {
  node.items = std::move(items);
  node.selected = selected;
  return node;
}

WindowNode Range(WindowNode node, int lo, int hi, int pos, int frequency = 1) {
  node.rangeMin = lo;
  node.rangeMax = hi;
  node.position = pos;
  node.tickFrequency = frequency;
  return node;
}

WindowNode Checked(WindowNode node, int state) {
  node.checkState = state;
  return node;
}

WindowNode Disabled(WindowNode node) {
  node.enabled = false;
  node.style |= WS_DISABLED;
  return node;
}

WindowNode Focused(WindowNode node) {
  node.focused = true;
  return node;
}

WindowNode Icon(WindowNode node, int id) {
  node.iconId = id;
  return node;
}

}  // namespace

WindowNode Control(const std::string& className, int id, uint32_t style, int x, int y, int width, int height,
                   const std::string& text) {
  WindowNode node;
  node.className = className;
  node.id = id;
  node.style = style | WS_VISIBLE | WS_CHILD;
  node.x = x;
  node.y = y;
  node.width = width;
  node.height = height;
  node.text = text;
  return node;
}

WindowPicture Dialog(const std::string& caption, int clientWidth, int clientHeight, uint32_t codePage,
                     const std::string& fontFace, int pointSize) {
  WindowPicture picture;
  picture.codePage = codePage;
  WindowNode& root = picture.root;
  root.className = "#32770";
  root.style = WS_VISIBLE | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME;
  root.exStyle = WS_EX_DLGMODALFRAME;
  root.text = caption;
  root.width = clientWidth + 2 * kBorder;
  root.height = clientHeight + 2 * kBorder + kCaption;
  root.clientX = kBorder;
  root.clientY = kBorder + kCaption;
  root.fontFace = fontFace;
  root.fontPointSize = pointSize;
  return picture;
}

WindowPicture ControlsScene() {
  WindowPicture picture = Dialog("Every Control", 520, 390);
  auto& c = picture.root.children;
  // Buttons.
  c.push_back(Control("Button", 0, BS_GROUPBOX, 7, 4, 160, 230, "&Buttons"));
  c.push_back(Checked(Control("Button", 1, BS_DEFPUSHBUTTON, 16, 22, 64, 23, "OK"), 1));
  c.push_back(Control("Button", 2, BS_PUSHBUTTON, 88, 22, 64, 23, "Cancel"));
  c.push_back(Disabled(Control("Button", 3, BS_PUSHBUTTON, 16, 50, 64, 23, "&Apply")));
  WindowNode pressed = Control("Button", 4, BS_PUSHBUTTON, 88, 50, 64, 23, "Pressed");
  pressed.pressed = true;
  c.push_back(pressed);
  c.push_back(Control("Button", 1100, BS_AUTOCHECKBOX, 16, 80, 140, 16, "&Unchecked"));
  c.push_back(Checked(Control("Button", kCheckedBoxId, BS_AUTOCHECKBOX, 16, 98, 140, 16, "&Mirror"), 1));
  c.push_back(Checked(Control("Button", 1102, BS_AUTO3STATE, 16, 116, 140, 16, "Indeterminate"), 2));
  c.push_back(Checked(Disabled(Control("Button", 1103, BS_AUTOCHECKBOX, 16, 134, 140, 16, "Disabled on")), 1));
  c.push_back(Focused(Control("Button", 1104, BS_AUTOCHECKBOX | BS_LEFTTEXT, 16, 152, 140, 16, "Text on the left")));
  c.push_back(Checked(Control("Button", 1105, BS_AUTORADIOBUTTON | WS_GROUP, 16, 172, 66, 16, "&50Hz"), 1));
  c.push_back(Control("Button", 1106, BS_AUTORADIOBUTTON, 86, 172, 66, 16, "&60Hz"));
  c.push_back(Checked(Disabled(Control("Button", 1107, BS_AUTORADIOBUTTON, 16, 190, 66, 16, "Off")), 1));
  c.push_back(Checked(Control("Button", 1108, BS_AUTOCHECKBOX | BS_PUSHLIKE, 88, 188, 64, 22, "Like"), 1));
  // Statics.
  c.push_back(Control("Button", 0, BS_GROUPBOX, 7, 238, 160, 146, "Statics"));
  c.push_back(Control("Static", 1200, SS_LEFT, 16, 256, 140, 26, "Left text that wraps onto a second line"));
  c.push_back(Control("Static", 1201, SS_CENTER, 16, 284, 140, 13, "Centred"));
  c.push_back(Control("Static", 1202, SS_RIGHT, 16, 299, 140, 13, "Right"));
  c.push_back(Disabled(Control("Static", 1203, SS_LEFT, 16, 314, 140, 13, "Disabled &label")));
  c.push_back(Control("Static", 0, SS_ETCHEDHORZ, 16, 331, 140, 2));
  c.push_back(Icon(Control("Static", 1204, SS_ICON, 16, 340, 32, 32), IDI_HAND));
  c.push_back(Icon(Control("Static", 1205, SS_ICON, 52, 340, 32, 32), IDI_EXCLAMATION));
  c.push_back(Icon(Control("Static", 1206, SS_ICON, 88, 340, 32, 32), IDI_ASTERISK));
  c.push_back(Icon(Control("Static", 1207, SS_ICON, 124, 340, 32, 32), IDI_QUESTION));
  // Fields.
  c.push_back(Control("Button", 0, BS_GROUPBOX, 175, 4, 170, 230, "Fields"));
  c.push_back(Control("Edit", 1300, ES_AUTOHSCROLL | WS_BORDER, 184, 22, 150, 20, "Editable text"));
  c.push_back(Control("Edit", 1301, ES_READONLY | WS_BORDER, 184, 46, 70, 20, "112.5%"));
  c.push_back(Disabled(Control("Edit", 1302, WS_BORDER, 262, 46, 72, 20, "Disabled")));
  c.push_back(Focused(Control("Edit", 1303, ES_PASSWORD | WS_BORDER, 184, 70, 70, 20, "secret")));
  c.push_back(Control("Edit", 1304, ES_NUMBER | WS_BORDER | ES_RIGHT, 262, 70, 56, 20, "42"));
  WindowNode spin = Range(Control("msctls_updown32", 1305, UDS_ALIGNRIGHT | UDS_SETBUDDYINT, 318, 70, 16, 20), 0, 100, 42);
  c.push_back(spin);
  c.push_back(Items(Control("ListBox", 1306, WS_BORDER | WS_VSCROLL | LBS_NOTIFY, 184, 96, 150, 60), {"160x120", "176x144", "320x240", "352x288", "640x480", "800x600"}, 2));
  c.push_back(Focused(Items(Control("ComboBox", 1307, CBS_DROPDOWNLIST | WS_VSCROLL, 184, 162, 150, 100), {"640x480", "1280x960"}, 0)));
  c.push_back(Disabled(Items(Control("ComboBox", 1308, CBS_DROPDOWNLIST, 184, 188, 72, 100), {"Off"}, 0)));
  WindowNode editable = Items(Control("ComboBox", 1309, CBS_DROPDOWN, 262, 188, 72, 100), {"Auto"}, -1);
  editable.text = "Typed";
  c.push_back(editable);
  // Hidden: none of it may show.
  WindowNode hidden = Control("Edit", kHiddenEditId, WS_BORDER, 184, 212, 150, 18, "HIDDEN");
  hidden.visible = false;
  hidden.style &= ~WS_VISIBLE;
  c.push_back(hidden);
  // Ranges.
  c.push_back(Control("Button", 0, BS_GROUPBOX, 175, 238, 170, 146, "Ranges"));
  c.push_back(Range(Control("msctls_trackbar32", 1400, TBS_AUTOTICKS | TBS_HORZ | TBS_BOTTOM, 180, 254, 160, 28), 0, 10, 3, 1));
  c.push_back(Focused(Range(Control("msctls_trackbar32", 1401, TBS_AUTOTICKS | TBS_TOP, 180, 284, 160, 28), -50, 50, 25, 10)));
  c.push_back(Disabled(Range(Control("msctls_trackbar32", 1402, TBS_NOTICKS | TBS_BOTH, 180, 314, 160, 22), 0, 100, 100)));
  c.push_back(Range(Control("msctls_progress32", 1403, 0, 184, 340, 150, 16), 0, 100, 40));
  c.push_back(Range(Control("msctls_progress32", 1404, PBS_SMOOTH, 184, 362, 150, 14), 0, 100, 70));
  // Vertical things and the tab control on the right.
  c.push_back(Control("Button", 0, BS_GROUPBOX, 353, 4, 160, 230, "Vertical"));
  c.push_back(Range(Control("msctls_trackbar32", 1500, TBS_VERT | TBS_AUTOTICKS | TBS_BOTH, 362, 22, 40, 200), 0, 16, 4, 1));
  c.push_back(Range(Control("msctls_trackbar32", 1501, TBS_VERT | TBS_AUTOTICKS, 404, 22, 32, 200), 0, 16, 16, 2));
  c.push_back(Range(Control("msctls_progress32", 1502, PBS_VERTICAL, 444, 22, 18, 200), 0, 10, 6));
  c.push_back(Range(Control("msctls_updown32", 1503, 0, 472, 22, 18, 40), 0, 10, 3));
  c.push_back(Disabled(Range(Control("msctls_updown32", 1504, UDS_HORZ, 472, 70, 32, 16), 0, 10, 3)));
  WindowNode tabs = Items(Control("SysTabControl32", 1600, 0, 353, 242, 160, 142), {"One", "Two", "Three"}, 0);
  c.push_back(tabs);
  c.push_back(Control("Static", 1601, SS_LEFT, 363, 272, 140, 40, "Page content over the tab control"));
  return picture;
}

WindowPicture SheetScene() {
  WindowPicture picture = Dialog("USB Camera Properties", 360, 330);
  picture.root.exStyle |= WS_EX_CONTEXTHELP;
  auto& c = picture.root.children;
  c.push_back(Focused(Items(Control("SysTabControl32", 12320, 0, 7, 7, 346, 282), {"Camera", "Digital Zoom", "Special Effect"}, 1)));
  WindowNode page = Control("#32770", 0, 0, 11, 32, 338, 253);
  page.fontFace = "Verdana";
  page.fontPointSize = 8;
  auto& p = page.children;
  p.push_back(Control("Button", 1200, BS_GROUPBOX, 8, 6, 150, 236, "Zoom Control"));
  p.push_back(Checked(Control("Button", 1142, BS_AUTOCHECKBOX, 18, 24, 130, 16, "Enable Digital Zoom"), 1));
  p.push_back(Control("Static", 0, SS_LEFT, 20, 48, 40, 13, "100%"));
  p.push_back(Range(Control("msctls_trackbar32", 1143, TBS_VERT | TBS_AUTOTICKS | TBS_BOTH, 60, 44, 40, 160), 0, 16, 1));
  p.push_back(Control("Static", 0, SS_LEFT, 20, 194, 40, 13, "300%"));
  p.push_back(Control("Edit", 1144, ES_READONLY | WS_BORDER | ES_CENTER, 104, 112, 46, 20, "112.5%"));
  p.push_back(Control("Button", 1199, BS_GROUPBOX, 166, 6, 164, 150, "Pan"));
  p.push_back(Control("Button", 1138, 0, 224, 28, 48, 24, "Up"));
  p.push_back(Control("Button", 1141, 0, 174, 62, 48, 24, "Left"));
  p.push_back(Control("Button", 1145, 0, 224, 62, 48, 24, "Center"));
  p.push_back(Control("Button", 1140, 0, 274, 62, 48, 24, "Right"));
  p.push_back(Control("Button", 1139, 0, 224, 96, 48, 24, "Down"));
  p.push_back(Control("Button", 1202, BS_GROUPBOX, 166, 164, 164, 78, "Face"));
  p.push_back(Disabled(Control("Button", 1116, BS_AUTOCHECKBOX, 176, 190, 150, 16, "Face Tracking")));
  c.push_back(page);
  c.push_back(Checked(Control("Button", 1, BS_DEFPUSHBUTTON, 116, 300, 75, 23, "OK"), 1));
  c.push_back(Control("Button", 2, 0, 197, 300, 75, 23, "Cancel"));
  c.push_back(Disabled(Control("Button", 12321, 0, 278, 300, 75, 23, "&Apply")));
  return picture;
}

WindowPicture JapaneseScene() {
  // "カメラの設定" (camera settings)
  WindowPicture picture = Dialog("\x83\x4A\x83\x81\x83\x89\x82\xCC\x90\xDD\x92\xE8", 240, 96, 932,
                                 "\x82\x6C\x82\x72 \x82\x6F\x83\x53\x83\x56\x83\x62\x83\x4E", 9);
  auto& c = picture.root.children;
  // "明るさ" (brightness)
  c.push_back(Control("Static", kCaptionTextId, SS_LEFT, 10, 12, 70, 16, "\x96\xBE\x82\xE9\x82\xB3"));
  c.push_back(Range(Control("msctls_trackbar32", 1301, TBS_AUTOTICKS, 80, 6, 150, 28), 0, 10, 5));
  // "左右反転" (mirror), with the mnemonic "(&M)" as Japanese dialogs write it
  c.push_back(Checked(Control("Button", 1302, BS_AUTOCHECKBOX, 10, 42, 150, 16, "\x8D\xB6\x89\x45\x94\xBD\x93\x5D(&M)"), 1));
  c.push_back(Checked(Control("Button", 1, BS_DEFPUSHBUTTON, 158, 66, 75, 23, "OK"), 1));
  return picture;
}

WindowPicture KoreanScene() {
  // "카메라 설정" (camera settings)
  WindowPicture picture = Dialog("\xC4\xAB\xB8\xDE\xB6\xF3\x20\xBC\xB3\xC1\xA4", 240, 96, 949, "Gulim", 9);
  auto& c = picture.root.children;
  // "밝기" (brightness)
  c.push_back(Control("Static", kCaptionTextId, SS_LEFT, 10, 12, 70, 16, "\xB9\xE0\xB1\xE2"));
  c.push_back(Range(Control("msctls_trackbar32", 1301, TBS_AUTOTICKS, 80, 6, 150, 28), 0, 10, 7));
  // "좌우 반전" (mirror)
  c.push_back(Control("Button", 1302, BS_AUTOCHECKBOX, 10, 42, 150, 16, "\xC1\xC2\xBF\xEC\x20\xB9\xDD\xC0\xFC(&M)"));
  c.push_back(Checked(Control("Button", 1, BS_DEFPUSHBUTTON, 158, 66, 75, 23, "OK"), 1));
  return picture;
}

WindowPicture MenuScene() {
  WindowPicture picture;
  picture.captionBar = false;
  WindowNode& menu = picture.root;
  menu.className = "#32768";
  menu.style = WS_VISIBLE;
  menu.width = 120;
  menu.height = 3 + 17 + 9 + 17 + 9 + 17 + 3;
  menu.items = {"&Exit", "", "&50Hz", "", "&60Hz\tCtrl+6"};
  menu.itemStates = {MF_HILITE, MF_SEPARATOR, MF_CHECKED, MF_SEPARATOR, MF_GRAYED};
  return picture;
}

WindowPicture UpdaterScene() {
  // "新細明體" as the template names it (UTF-8: the window system keeps
  // template font names as the template's Unicode).
  WindowPicture picture = Dialog("Firmware Upgrade Tool", 530, 150, 950, "\xE6\x96\xB0\xE7\xB4\xB0\xE6\x98\x8E\xE9\xAB\x94", 9);
  picture.root.iconId = 128;
  auto& c = picture.root.children;
  // "韌體版本:" (firmware version)
  c.push_back(Control("Static", 0, SS_LEFT, 12, 14, 100, 16, "\xB6\xB4\xC5\xE9\xAA\xA9\xA5\xBB\x3A"));
  c.push_back(Control("Edit", 1009, ES_READONLY | WS_BORDER, 116, 10, 400, 22, "V1.02 2010/11/30"));
  c.push_back(Control("Edit", 1010, ES_READONLY | WS_BORDER, 12, 38, 504, 22, "The program will upgrade the firmware of your camera!"));
  c.push_back(Control("Edit", 1017, ES_READONLY | WS_BORDER, 12, 64, 504, 22, "Press \"Upgrade\" to begin. Don't unplug during update period!"));
  c.push_back(Range(Control("msctls_progress32", 1030, WS_BORDER, 12, 92, 504, 18), 0, 100, 65));
  // "升級" (upgrade), "關閉" (close)
  c.push_back(Checked(Control("Button", 1011, BS_DEFPUSHBUTTON, 336, 118, 86, 26, "\xA4\xC9\xAF\xC5"), 1));
  c.push_back(Disabled(Control("Button", 1019, 0, 430, 118, 86, 26, "\xC3\xF6\xB3\xAC")));
  return picture;
}

const WindowNode* FindNode(const WindowNode& root, int id, int* x, int* y) {
  for (const WindowNode& child : root.children) {
    if (child.id == id) {
      *x = root.clientX + child.x;
      *y = root.clientY + child.y;
      return &child;
    }
    int cx = 0, cy = 0;
    if (const WindowNode* found = FindNode(child, id, &cx, &cy)) {
      *x = root.clientX + child.x + cx;
      *y = root.clientY + child.y + cy;
      return found;
    }
  }
  return nullptr;
}

}  // namespace draw_test
