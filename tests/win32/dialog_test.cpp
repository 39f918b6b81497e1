// Dialogs from both template layouts: where the controls land, which are
// hidden or disabled, fonts and dialog units, the dialog procedure's
// contract, modal loops driven through the machine's hook, and keyboard
// navigation.
#include "tests/win32/resources.h"
#include "tests/win32/win32_test.h"

namespace win32_test {
namespace {

class DialogTest : public WindowTest {
 protected:
  void SetUp() override {
    WindowTest::SetUp();
    Log().clear();
    RefuseNotify().clear();
  }
  static HWND Create(int id, HWND owner = nullptr, LPARAM param = 0) {
    return CreateDialogParamA(nullptr, MAKEINTRESOURCEA(id), owner, RecordingDialogProc, param);
  }
  static std::string ClassName(HWND hwnd) {
    char name[64];
    GetClassNameA(hwnd, name, sizeof name);
    return name;
  }
};

TEST_F(DialogTest, ExtendedTemplatePlacesEveryControlInDialogUnits) {
  HWND dialog = Create(IDD_ALL_CONTROLS, nullptr, 0x1234);
  ASSERT_NE(dialog, nullptr);
  // WM_SETFONT before WM_INITDIALOG, whose lParam is the caller's.
  ASSERT_EQ(Log().size(), 2u);
  EXPECT_EQ(Log()[0].message, UINT(WM_SETFONT));
  EXPECT_EQ(Log()[1].message, UINT(WM_INITDIALOG));
  EXPECT_EQ(Log()[1].lParam, 0x1234);
  EXPECT_FALSE(IsWindowVisible(dialog));  // the template has no WS_VISIBLE

  // "MS Shell Dlg" 8 pt: 6 x 13 pixels per 4 x 8 dialog units; the window
  // adds a 3-pixel modal frame and a 19-pixel caption around the client.
  RECT client, frame;
  GetClientRect(dialog, &client);
  EXPECT_EQ(client.right, 390);
  EXPECT_EQ(client.bottom, 293);
  GetWindowRect(dialog, &frame);
  EXPECT_EQ(frame.left, 15);
  EXPECT_EQ(frame.top, 33);
  EXPECT_EQ(frame.right - frame.left, 396);
  EXPECT_EQ(frame.bottom - frame.top, 318);
  RECT label = RectInParent(GetDlgItem(dialog, IDC_LABEL));
  EXPECT_EQ(label.left, 11);
  EXPECT_EQ(label.top, 15);
  EXPECT_EQ(label.right, 101);
  EXPECT_EQ(label.bottom, 28);

  const std::pair<int, const char*> classes[] = {
      {IDC_LABEL, "Static"},      {IDC_PUSH, "Button"},          {IDC_EDIT_NUMBER, "Edit"},
      {IDC_LIST, "ListBox"},      {IDC_COMBO, "ComboBox"},       {IDC_SCROLL, "ScrollBar"},
      {IDC_TRACK, "msctls_trackbar32"}, {IDC_UPDOWN, "msctls_updown32"}, {IDC_PROGRESS, "msctls_progress32"}};
  for (const auto& c : classes) EXPECT_EQ(ClassName(GetDlgItem(dialog, c.first)), c.second) << c.first;

  ShowWindow(dialog, SW_SHOW);
  EXPECT_TRUE(IsWindowVisible(GetDlgItem(dialog, IDC_LABEL)));
  EXPECT_FALSE(IsWindowVisible(GetDlgItem(dialog, IDC_HIDDEN)));
  EXPECT_FALSE(IsWindowEnabled(GetDlgItem(dialog, IDC_DISABLED)));
  EXPECT_TRUE(IsWindowEnabled(GetDlgItem(dialog, IDC_PUSH)));

  // Every control has the dialog's font.
  HFONT font = reinterpret_cast<HFONT>(SendDlgItemMessageA(dialog, IDC_EDIT_NUMBER, WM_GETFONT, 0, 0));
  LOGFONTA lf;
  ASSERT_EQ(GetObjectA(font, sizeof lf, &lf), int(sizeof lf));
  EXPECT_STREQ(lf.lfFaceName, "MS Shell Dlg");
  EXPECT_EQ(lf.lfHeight, -11);

  // The icon static shows the icon its template names, at the size of an
  // icon.
  RECT iconRect = RectInParent(GetDlgItem(dialog, IDC_ICON));
  EXPECT_EQ(iconRect.right - iconRect.left, 32);
  EXPECT_EQ(iconRect.bottom - iconRect.top, 32);
  platform::IconInfo icon;
  ASSERT_TRUE(platform::DescribeIcon(
      reinterpret_cast<HICON>(SendDlgItemMessageA(dialog, IDC_ICON, STM_GETICON, 0, 0)), &icon));
  EXPECT_EQ(icon.ordinal, IDI_TEST);

  // The up-down control took the edit before it as its buddy and sits on the
  // buddy's right edge, which gave up the room.
  HWND buddy = GetDlgItem(dialog, IDC_EDIT_BUDDY);
  EXPECT_EQ(reinterpret_cast<HWND>(SendDlgItemMessageA(dialog, IDC_UPDOWN, UDM_GETBUDDY, 0, 0)), buddy);
  RECT edit = RectInParent(buddy), arrows = RectInParent(GetDlgItem(dialog, IDC_UPDOWN));
  EXPECT_EQ(edit.right - edit.left, 75 - 17);
  EXPECT_EQ(arrows.left, edit.right);
  EXPECT_EQ(arrows.bottom - arrows.top, edit.bottom - edit.top);

  platform::WindowPicture picture;
  ASSERT_TRUE(platform::CaptureWindowPicture(dialog, &picture));
  EXPECT_EQ(picture.root.className, "#32770");
  EXPECT_EQ(picture.root.text, "All Controls");
  EXPECT_EQ(picture.root.fontFace, "MS Shell Dlg");
  EXPECT_EQ(picture.root.clientX, 3);
  EXPECT_EQ(picture.root.clientY, 22);
  EXPECT_TRUE(picture.captionBar);
  ASSERT_EQ(picture.root.children.size(), 25u);
  EXPECT_EQ(picture.root.children[0].id, IDC_LABEL);
  EXPECT_EQ(picture.root.children[0].x, 11);
  EXPECT_EQ(picture.root.children[0].fontPointSize, 8);
  bool hiddenSeen = false;
  for (const platform::WindowNode& n : picture.root.children) {
    if (n.id == IDC_HIDDEN) hiddenSeen = !n.visible;
    if (n.id == IDOK) {
      EXPECT_EQ(n.checkState, 1);  // the default button
    }
    if (n.id != IDC_ICON) continue;
    // The icon's pixels, top-down: the image's top row is its last in the
    // file (blue 0, green 240, red 128).
    EXPECT_EQ(n.iconId, IDI_TEST);
    ASSERT_EQ(n.iconPixels.size(), 256u);
    EXPECT_EQ(n.iconPixels[0], 0xFF80F000u);
    EXPECT_EQ(n.iconPixels[15], 0xFF80F0F0u);
  }
  EXPECT_TRUE(hiddenSeen);
}

TEST_F(DialogTest, ClassicTemplatesAndFontsOfOtherLanguages) {
  HWND dialog = Create(IDD_CLASSIC);
  ASSERT_NE(dialog, nullptr);
  RECT frame, client;
  GetWindowRect(dialog, &frame);
  GetClientRect(dialog, &client);
  EXPECT_EQ(client.right, 300);
  EXPECT_EQ(client.bottom, 163);
  // DS_CENTER: centred on the screen.
  EXPECT_EQ(frame.left, (GetSystemMetrics(SM_CXSCREEN) - (frame.right - frame.left)) / 2);
  RECT units = {0, 0, 4, 8};
  ASSERT_TRUE(MapDialogRect(dialog, &units));
  EXPECT_EQ(units.right, 6);
  EXPECT_EQ(units.bottom, 13);
  EXPECT_EQ(GetDialogBaseUnits(), MAKELONG(8, 16));
  ShowWindow(dialog, SW_SHOW);
  EXPECT_FALSE(IsWindowVisible(GetDlgItem(dialog, IDCANCEL)));
  EXPECT_EQ(GetDlgItem(dialog, 4242), nullptr);

  // A Traditional Chinese dialog on a Taiwanese PC: its caption in code
  // page 950, its dialog units those of 9-point PMingLiU (6 x 12).
  SetLanguage(1028);
  HWND taiwan = Create(IDD_TAIWAN);
  ASSERT_NE(taiwan, nullptr);
  char caption[32];
  GetWindowTextA(taiwan, caption, sizeof caption);
  EXPECT_STREQ(caption, "\xB6\xB4\xC5\xE9\xA7\xF3\xB7\x73");
  GetClientRect(taiwan, &client);
  EXPECT_EQ(client.right, 530);
  EXPECT_EQ(client.bottom, 138);

  // A control of an unknown class fails the whole dialog.
  EXPECT_EQ(Create(IDD_BAD_CLASS), nullptr);
  EXPECT_EQ(GetLastError(), DWORD(ERROR_CANNOT_FIND_WND_CLASS));
}

TEST_F(DialogTest, DialogProcedureResultsAndUserData) {
  HWND dialog = Create(IDD_CLASSIC);
  ASSERT_NE(dialog, nullptr);
  NMHDR header = {GetDlgItem(dialog, IDOK), IDOK, UINT(-1234)};
  // Handled with a result in DWLP_MSGRESULT, and not handled.
  RefuseNotify().push_back(UINT(-1234));
  EXPECT_EQ(SendMessageA(dialog, WM_NOTIFY, IDOK, reinterpret_cast<LPARAM>(&header)), TRUE);
  header.code = UINT(-99);
  EXPECT_EQ(SendMessageA(dialog, WM_NOTIFY, IDOK, reinterpret_cast<LPARAM>(&header)), 0);
  SetWindowLongPtrA(dialog, DWLP_USER, 0x5555);
  EXPECT_EQ(GetWindowLongPtrA(dialog, DWLP_USER), 0x5555);
  EXPECT_EQ(reinterpret_cast<DLGPROC>(GetWindowLongPtrA(dialog, DWLP_DLGPROC)), RecordingDialogProc);
  EXPECT_EQ(GetWindowLongPtrA(dialog, 4096), 0);
  EXPECT_EQ(GetLastError(), DWORD(ERROR_INVALID_INDEX));
  // The default push button is the dialog's default id.
  EXPECT_EQ(SendMessageA(dialog, DM_GETDEFID, 0, 0), MAKELONG(IDOK, DC_HASDEFID));
}

TEST_F(DialogTest, ModalDialogsRunUntilEndDialogAsTheHookActs) {
  HWND owner = CreateWindowExA(0, "Static", "owner", WS_POPUP | WS_VISIBLE, 0, 0, 100, 100, nullptr, nullptr,
                               nullptr, nullptr);
  enum class Act { Click, Escape, CloseBox, Enter, WhenIdle };
  Act act = Act::Click;
  int shown = 0, idle = 0;
  HWND seenDialog = nullptr;
  platform::SetModalHook([&](HWND modal, platform::ModalEvent event) {
    seenDialog = modal;
    if (event == platform::ModalEvent::Idle) {
      // The loop has run out of messages: the user acts only now.
      if (act == Act::WhenIdle && ++idle == 1) {
        EXPECT_TRUE(platform::ClickDialogButton(modal, IDOK));
      }
      return;
    }
    ++shown;
    EXPECT_TRUE(IsWindowVisible(modal));
    EXPECT_FALSE(IsWindowEnabled(owner));
    switch (act) {
      case Act::Click: EXPECT_TRUE(platform::ClickDialogButton(modal, IDOK)); break;
      case Act::Escape: EXPECT_TRUE(platform::PressKey(modal, VK_ESCAPE)); break;
      case Act::CloseBox: EXPECT_TRUE(platform::CloseWindowByUser(modal)); break;
      case Act::Enter:
        // Enter presses the default button, wherever the focus is.
        SetFocus(GetDlgItem(modal, IDC_EDIT_NUMBER));
        EXPECT_TRUE(platform::PressKey(modal, VK_RETURN));
        break;
      case Act::WhenIdle: break;
    }
  });
  EXPECT_EQ(DialogBoxParamA(nullptr, MAKEINTRESOURCEA(IDD_CLASSIC), owner, RecordingDialogProc, 0), IDOK);
  EXPECT_FALSE(IsWindow(seenDialog));
  EXPECT_TRUE(IsWindowEnabled(owner));
  act = Act::Escape;
  EXPECT_EQ(DialogBoxParamA(nullptr, MAKEINTRESOURCEA(IDD_CLASSIC), owner, RecordingDialogProc, 0), IDCANCEL);
  act = Act::CloseBox;
  EXPECT_EQ(DialogBoxParamA(nullptr, MAKEINTRESOURCEA(IDD_CLASSIC), owner, RecordingDialogProc, 0), IDCANCEL);
  act = Act::Enter;
  EXPECT_EQ(DialogBoxParamA(nullptr, MAKEINTRESOURCEA(IDD_CLASSIC), owner, RecordingDialogProc, 0), IDOK);
  act = Act::WhenIdle;
  EXPECT_EQ(DialogBoxParamA(nullptr, MAKEINTRESOURCEA(IDD_CLASSIC), owner, RecordingDialogProc, 0), IDOK);
  EXPECT_EQ(idle, 1);
  EXPECT_EQ(shown, 5);
  EXPECT_EQ(DialogBoxParamA(nullptr, MAKEINTRESOURCEA(999), owner, RecordingDialogProc, 0), -1);
}

TEST_F(DialogTest, GroupsAndTabOrder) {
  HWND dialog = Create(IDD_ALL_CONTROLS);
  ShowWindow(dialog, SW_SHOW);
  HWND a1 = GetDlgItem(dialog, IDC_RADIO_A1), a2 = GetDlgItem(dialog, IDC_RADIO_A2),
       a3 = GetDlgItem(dialog, IDC_RADIO_A3);
  EXPECT_EQ(GetNextDlgGroupItem(dialog, a1, FALSE), a2);
  EXPECT_EQ(GetNextDlgGroupItem(dialog, a3, FALSE), a1);  // wraps inside the group
  EXPECT_EQ(GetNextDlgGroupItem(dialog, a1, TRUE), a3);
  EnableWindow(a2, FALSE);
  EXPECT_EQ(GetNextDlgGroupItem(dialog, a1, FALSE), a3);  // skips what cannot be used
  // Tab stops in creation order, wrapping; the disabled button is skipped.
  HWND first = GetNextDlgTabItem(dialog, nullptr, FALSE);
  EXPECT_EQ(GetDlgCtrlID(first), IDC_PUSH);
  EXPECT_EQ(GetDlgCtrlID(GetNextDlgTabItem(dialog, first, TRUE)), IDC_VTRACK);
  // Arrows move within the radio group and check the button they reach.
  SetFocus(a1);
  MSG key = {a1, WM_KEYDOWN, VK_DOWN, 0, 0, {0, 0}};
  EXPECT_TRUE(IsDialogMessageA(dialog, &key));
  EXPECT_EQ(GetFocus(), a3);
  EXPECT_EQ(IsDlgButtonChecked(dialog, IDC_RADIO_A3), UINT(BST_CHECKED));
}

}  // namespace
}  // namespace win32_test
