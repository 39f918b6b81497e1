// Resources: the program's own resource file (compiled from resources.rc
// and registered at start-up), strings, menus, icons, and resource files
// whose bytes are damaged.
#include <cstring>
#include <deque>

#include "platform/machine/module_resources.h"
#include "tests/win32/resources.h"
#include "tests/win32/win32_test.h"

namespace win32_test {
namespace {

class ResourcesTest : public WindowTest {};

TEST_F(ResourcesTest, FindsResourcesByTypeNameAndLanguage) {
  HRSRC data = FindResourceA(nullptr, MAKEINTRESOURCEA(IDR_DATA), MAKEINTRESOURCEA(10) /* RT_RCDATA */);
  ASSERT_NE(data, nullptr);
  EXPECT_EQ(FindResourceA(nullptr, "#400", MAKEINTRESOURCEA(10)), data);
  ASSERT_EQ(SizeofResource(nullptr, data), 8u);
  const uint8_t* bytes = static_cast<const uint8_t*>(LockResource(LoadResource(nullptr, data)));
  ASSERT_NE(bytes, nullptr);
  EXPECT_EQ(std::memcmp(bytes, "\x01\x02\x03\x04raw", 8), 0);

  EXPECT_EQ(FindResourceA(nullptr, MAKEINTRESOURCEA(401), MAKEINTRESOURCEA(10)), nullptr);
  EXPECT_EQ(GetLastError(), DWORD(ERROR_RESOURCE_NAME_NOT_FOUND));
  EXPECT_EQ(FindResourceA(nullptr, MAKEINTRESOURCEA(IDR_DATA), MAKEINTRESOURCEA(23)), nullptr);
  EXPECT_EQ(GetLastError(), DWORD(ERROR_RESOURCE_TYPE_NOT_FOUND));

  // The Taiwanese dialog exists in that language only.
  EXPECT_NE(FindResourceExA(nullptr, MAKEINTRESOURCEA(5), MAKEINTRESOURCEA(IDD_TAIWAN), 0x0404), nullptr);
  EXPECT_EQ(FindResourceExA(nullptr, MAKEINTRESOURCEA(5), MAKEINTRESOURCEA(IDD_TAIWAN), 0x0409), nullptr);
  EXPECT_EQ(GetLastError(), DWORD(ERROR_RESOURCE_LANG_NOT_FOUND));
  EXPECT_NE(FindResourceA(nullptr, MAKEINTRESOURCEA(IDD_TAIWAN), MAKEINTRESOURCEA(5)), nullptr);

  // Handles that are not resources are refused, not followed.
  int notAResource = 0;
  EXPECT_EQ(LoadResource(nullptr, reinterpret_cast<HRSRC>(&notAResource)), nullptr);
  EXPECT_EQ(SizeofResource(nullptr, reinterpret_cast<HRSRC>(&notAResource)), 0u);
}

TEST_F(ResourcesTest, StringTablesAcrossBlocksAndCodePages) {
  char text[64];
  EXPECT_EQ(LoadStringA(nullptr, IDS_FIRST, text, sizeof text), 12);
  EXPECT_STREQ(text, "First string");
  EXPECT_EQ(LoadStringA(nullptr, IDS_FIRST, text, 6), 5);  // cut, terminated
  EXPECT_STREQ(text, "First");
  EXPECT_EQ(LoadStringA(nullptr, IDS_BLOCK_END, text, sizeof text), 13);
  EXPECT_STREQ(text, "Last of block");
  EXPECT_EQ(LoadStringA(nullptr, IDS_SECOND_BLOCK, text, sizeof text), 12);
  EXPECT_STREQ(text, "Second block");
  std::strcpy(text, "untouched");
  EXPECT_EQ(LoadStringA(nullptr, 2, text, sizeof text), 0);  // absent from a present block
  EXPECT_STREQ(text, "");
  EXPECT_EQ(LoadStringA(nullptr, 999, text, sizeof text), 0);  // absent block

  WCHAR wide[16];
  EXPECT_EQ(LoadStringW(nullptr, IDS_JAPANESE, wide, 16), 3);
  EXPECT_EQ(std::wstring(wide), L"\u30AB\u30E1\u30E9");
  const WCHAR* readOnly = nullptr;
  EXPECT_EQ(LoadStringW(nullptr, IDS_TITLE, reinterpret_cast<LPWSTR>(&readOnly), 0), 10);
  ASSERT_NE(readOnly, nullptr);
  EXPECT_EQ(std::wstring(readOnly, 10), L"Camera Amp");

  // On a Japanese PC the ANSI text is Shift-JIS, and a short buffer keeps
  // whole characters only.
  SetLanguage(1041);
  EXPECT_EQ(LoadStringA(nullptr, IDS_JAPANESE, text, sizeof text), 6);
  EXPECT_STREQ(text, "\x83\x4A\x83\x81\x83\x89");
  EXPECT_EQ(LoadStringA(nullptr, IDS_JAPANESE, text, 4), 2);
  EXPECT_STREQ(text, "\x83\x4A");
}

TEST_F(ResourcesTest, MenusLoadChangeAndPopUpWithScriptedChoices) {
  HMENU bar = LoadMenuA(nullptr, MAKEINTRESOURCEA(IDM_TRAY));
  ASSERT_NE(bar, nullptr);
  HMENU tray = GetSubMenu(bar, 0);
  ASSERT_NE(tray, nullptr);
  ASSERT_EQ(GetMenuItemCount(tray), 5);
  EXPECT_EQ(GetMenuItemID(tray, 0), UINT(IDM_EXIT));
  EXPECT_TRUE(GetMenuState(tray, 1, MF_BYPOSITION) & MF_SEPARATOR);
  EXPECT_EQ(CheckMenuItem(tray, IDM_50HZ, MF_BYCOMMAND | MF_CHECKED), DWORD(MF_UNCHECKED));
  EXPECT_EQ(CheckMenuItem(tray, IDM_60HZ, MF_BYCOMMAND | MF_UNCHECKED), DWORD(MF_CHECKED));
  EXPECT_EQ(CheckMenuItem(tray, 12345, MF_BYCOMMAND), DWORD(-1));
  EXPECT_TRUE(ModifyMenuA(tray, IDM_EXIT, MF_BYCOMMAND | MF_STRING, IDM_EXIT, "&Beenden"));
  EXPECT_EQ(EnableMenuItem(tray, IDM_60HZ, MF_BYCOMMAND | MF_GRAYED), MF_ENABLED);

  std::vector<platform::MenuItemInfo> items;
  ASSERT_TRUE(platform::DescribeMenu(tray, &items));
  ASSERT_EQ(items.size(), 5u);
  EXPECT_EQ(items[0].text, "&Beenden");
  EXPECT_TRUE(items[2].checked);
  EXPECT_FALSE(items[4].checked);
  EXPECT_TRUE(items[4].grayed);

  // The popup menu's choice comes from the script; a grayed or unknown
  // command is no choice; without TPM_RETURNCMD the owner gets WM_COMMAND.
  HWND owner = CreateWindowExA(0, "Static", "owner", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
  std::vector<int> seen;
  platform::SetPopupMenuHook([&](const platform::PopupMenuEvent& e) {
    seen.push_back(e.chosen);
    EXPECT_EQ(e.owner, owner);
    EXPECT_EQ(e.items.size(), 5u);
    platform::WindowPicture picture;
    ASSERT_TRUE(platform::CaptureMenuPicture(e.menu, e.x, e.y, &picture));
    EXPECT_EQ(picture.root.className, "#32768");
    EXPECT_EQ(picture.root.itemStates[1], UINT(MF_SEPARATOR));
    EXPECT_EQ(picture.root.x, 120);
  });
  platform::ScriptMenuChoices({IDM_50HZ, IDM_60HZ, 777, IDM_EXIT});
  EXPECT_EQ(TrackPopupMenu(tray, TPM_RETURNCMD, 120, 80, 0, owner, nullptr), IDM_50HZ);
  EXPECT_EQ(TrackPopupMenu(tray, TPM_RETURNCMD, 120, 80, 0, owner, nullptr), 0);
  EXPECT_EQ(TrackPopupMenu(tray, TPM_RETURNCMD, 120, 80, 0, owner, nullptr), 0);
  EXPECT_TRUE(TrackPopupMenu(tray, TPM_LEFTBUTTON, 120, 80, 0, owner, nullptr));
  EXPECT_EQ(seen, (std::vector<int>{IDM_50HZ, IDM_60HZ, 777, IDM_EXIT}));
  MSG msg;
  ASSERT_TRUE(PeekMessageA(&msg, owner, WM_COMMAND, WM_COMMAND, PM_REMOVE));
  EXPECT_EQ(LOWORD(msg.wParam), IDM_EXIT);
  EXPECT_EQ(TrackPopupMenu(tray, TPM_RETURNCMD, 120, 80, 0, owner, nullptr), 0);  // script used up

  EXPECT_TRUE(DestroyMenu(bar));
  EXPECT_FALSE(IsMenu(tray));  // went with its menu
  EXPECT_FALSE(CheckMenuItem(tray, IDM_50HZ, MF_CHECKED) != DWORD(-1));

  HMENU extended = LoadMenuA(nullptr, MAKEINTRESOURCEA(IDM_EXTENDED));
  ASSERT_TRUE(platform::DescribeMenu(extended, &items));
  ASSERT_EQ(items.size(), 1u);
  ASSERT_EQ(items[0].submenu.size(), 3u);
  EXPECT_TRUE(items[0].submenu[0].grayed);
  EXPECT_TRUE(items[0].submenu[1].separator);
  EXPECT_EQ(items[0].submenu[2].id, 2);
  EXPECT_TRUE(items[0].submenu[2].checked);
  DestroyMenu(extended);
}

TEST_F(ResourcesTest, IconsRememberTheirResource) {
  HINSTANCE program = GetModuleHandleA(nullptr);
  HICON icon = LoadIconA(program, MAKEINTRESOURCEA(IDI_TEST));
  ASSERT_NE(icon, nullptr);
  EXPECT_EQ(LoadIconA(program, MAKEINTRESOURCEA(IDI_TEST)), icon);  // shared
  platform::IconInfo info;
  ASSERT_TRUE(platform::DescribeIcon(icon, &info));
  EXPECT_FALSE(info.system);
  EXPECT_EQ(info.ordinal, IDI_TEST);
  ASSERT_EQ(info.images.size(), 1u);
  EXPECT_EQ(info.images[0].width, 16);
  EXPECT_EQ(info.images[0].bitCount, 32);
  EXPECT_EQ(info.images[0].bytes.size(), 40u + 16 * 16 * 4 + 16 * 4);

  // An image loaded without LR_SHARED is the caller's to destroy.
  HICON own = static_cast<HICON>(LoadImageA(program, MAKEINTRESOURCEA(IDI_TEST), IMAGE_ICON, 16, 16, 0));
  ASSERT_NE(own, icon);
  EXPECT_TRUE(DestroyIcon(own));
  EXPECT_FALSE(platform::DescribeIcon(own, &info));
  EXPECT_TRUE(DestroyIcon(icon));  // a shared one stays
  EXPECT_TRUE(platform::DescribeIcon(icon, &info));

  // Without a module only the system's own icons are found.
  HICON system = LoadIconA(nullptr, IDI_APPLICATION);
  ASSERT_TRUE(platform::DescribeIcon(system, &info));
  EXPECT_TRUE(info.system);
  EXPECT_EQ(LoadIconA(nullptr, MAKEINTRESOURCEA(IDI_TEST)), nullptr);
  EXPECT_EQ(LoadImageA(nullptr, "file.bmp", IMAGE_BITMAP, 0, 0, LR_LOADFROMFILE), nullptr);
}

// A .res file written by hand: records of type / name ordinals.
class ResWriter {
 public:
  ResWriter() { Record(0, 0, std::string()); }  // the leading empty record
  ResWriter& Record(uint16_t type, uint16_t name, const std::string& data, uint16_t language = 0x0409) {
    Put32(uint32_t(data.size()));
    Put32(32);
    Put16(0xFFFF), Put16(type), Put16(0xFFFF), Put16(name);
    Put32(0), Put16(0x30), Put16(language), Put32(0), Put32(0);
    bytes += data;
    while (bytes.size() % 4) bytes.push_back('\0');
    return *this;
  }
  void Put16(uint16_t v) { bytes.append({char(v & 0xFF), char(v >> 8)}); }
  void Put32(uint32_t v) { Put16(uint16_t(v)), Put16(uint16_t(v >> 16)); }
  std::string bytes;
};

TEST_F(ResourcesTest, DamagedResourceFilesKeepWhatCameBeforeTheDamage) {
  HMODULE fake = reinterpret_cast<HMODULE>(uintptr_t(0x7770000));
  // Each file gets bytes of its own, as each loaded module has.
  std::deque<std::string> files;
  auto install = [&](const std::string& bytes) {
    files.push_back(bytes);
    platform::RegisterModuleResources(fake, reinterpret_cast<const uint8_t*>(files.back().data()), bytes.size());
  };
  auto find = [&](uint16_t name) { return FindResourceA(fake, MAKEINTRESOURCEA(name), MAKEINTRESOURCEA(10)); };

  ResWriter good;
  good.Record(10, 1, "one").Record(10, 2, "second");
  const std::string whole = good.bytes;
  install(whole);
  ASSERT_NE(find(1), nullptr);
  ASSERT_NE(find(2), nullptr);

  // The second record cut anywhere before the end of its data (its padding
  // may be missing): the first stays, the second is gone.
  const size_t secondStart = 32 + 32 + 4;
  for (size_t cut = secondStart; cut < secondStart + 32 + 6; ++cut) {
    install(whole.substr(0, cut));
    EXPECT_NE(find(1), nullptr) << cut;
    EXPECT_EQ(find(2), nullptr) << cut;
  }
  // A header size too small for its own fields, a header size or a data
  // size past the end, and a name without terminator.
  std::string bad = whole;
  bad[secondStart + 4] = 8;
  install(bad);
  EXPECT_EQ(find(2), nullptr);
  bad = whole;
  bad[secondStart + 7] = '\x7F';
  install(bad);
  EXPECT_EQ(find(2), nullptr);
  bad = whole;
  bad[secondStart + 3] = '\x7F';
  install(bad);
  EXPECT_EQ(find(2), nullptr);
  ResWriter unterminated;
  unterminated.bytes += std::string("\x00\x00\x00\x00\x40\x00\x00\x00", 8) + std::string(56, 'A');
  install(unterminated.bytes);
  EXPECT_EQ(find(1), nullptr);

  // A dialog template that promises more items than it has, and menus and
  // string blocks that end early, are refused where they are used.
  ResWriter broken;
  std::string shortDialog("\x00\x00\xC0\x80\x00\x00\x00\x00\x03\x00", 10);  // 3 items...
  shortDialog += std::string(8, '\0') + std::string(6, '\0');                // ...and none
  std::string shortMenu("\x00\x00\x00\x00\x10\x00P\x00", 8);                 // popup, no terminator
  std::string shortStrings("\x05\x00A\x00", 4);                              // 5 units, 1 given
  broken.Record(5, 7, shortDialog).Record(4, 8, shortMenu).Record(6, 1, shortStrings);
  install(broken.bytes);
  EXPECT_EQ(CreateDialogParamA(fake, MAKEINTRESOURCEA(7), nullptr, RecordingDialogProc, 0), nullptr);
  EXPECT_EQ(LoadMenuA(fake, MAKEINTRESOURCEA(8)), nullptr);
  char text[16] = "x";
  EXPECT_EQ(LoadStringA(fake, 0, text, sizeof text), 0);
  EXPECT_STREQ(text, "");
  platform::UnregisterModuleResources(fake);
  EXPECT_EQ(find(1), nullptr);
}

}  // namespace
}  // namespace win32_test
