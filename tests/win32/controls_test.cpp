// The controls answer their messages and tell their parents what the
// user did, as Windows' controls do.
#include <algorithm>

#include "tests/win32/resources.h"
#include "tests/win32/win32_test.h"

namespace win32_test {
namespace {

class ControlsTest : public WindowTest {
 protected:
  void SetUp() override {
    WindowTest::SetUp();
    dialog_ = CreateDialogParamA(nullptr, MAKEINTRESOURCEA(IDD_ALL_CONTROLS), nullptr, RecordingDialogProc, 0);
    ASSERT_NE(dialog_, nullptr);
    ShowWindow(dialog_, SW_SHOW);
    Log().clear();
    RefuseNotify().clear();
  }
  HWND Item(int id) const { return GetDlgItem(dialog_, id); }
  std::string Text(int id) const {
    char text[256];
    GetDlgItemTextA(dialog_, id, text, sizeof text);
    return text;
  }
  // The notification codes WM_COMMAND brought from control `id`.
  static std::vector<int> Commands(int id) {
    std::vector<int> codes;
    for (const Seen& s : LogOf(WM_COMMAND))
      if (LOWORD(s.wParam) == id) codes.push_back(HIWORD(s.wParam));
    return codes;
  }
  // The scroll codes (and positions) a control reported.
  static std::vector<std::pair<int, int>> Scrolls(UINT message, HWND from) {
    std::vector<std::pair<int, int>> codes;
    for (const Seen& s : LogOf(message))
      if (reinterpret_cast<HWND>(s.lParam) == from) codes.push_back({LOWORD(s.wParam), SHORT(HIWORD(s.wParam))});
    return codes;
  }
  HWND dialog_ = nullptr;
};

TEST_F(ControlsTest, ButtonsCheckBoxesAndRadioGroups) {
  CheckRadioButton(dialog_, IDC_RADIO_B1, IDC_RADIO_B2, IDC_RADIO_B1);
  CheckRadioButton(dialog_, IDC_RADIO_A1, IDC_RADIO_A3, IDC_RADIO_A1);
  ASSERT_TRUE(platform::ClickButton(Item(IDC_RADIO_A2)));
  EXPECT_EQ(IsDlgButtonChecked(dialog_, IDC_RADIO_A1), UINT(BST_UNCHECKED));
  EXPECT_EQ(IsDlgButtonChecked(dialog_, IDC_RADIO_A2), UINT(BST_CHECKED));
  EXPECT_EQ(IsDlgButtonChecked(dialog_, IDC_RADIO_B1), UINT(BST_CHECKED));  // another group
  ASSERT_TRUE(platform::ClickButton(Item(IDC_RADIO_B2)));
  EXPECT_EQ(IsDlgButtonChecked(dialog_, IDC_RADIO_B1), UINT(BST_UNCHECKED));
  EXPECT_EQ(IsDlgButtonChecked(dialog_, IDC_RADIO_A2), UINT(BST_CHECKED));
  EXPECT_EQ(Commands(IDC_RADIO_A2), std::vector<int>{BN_CLICKED});

  // An automatic check box toggles itself; a plain one only tells.
  platform::ClickButton(Item(IDC_CHECK_AUTO));
  platform::ClickButton(Item(IDC_CHECK_MANUAL));
  EXPECT_EQ(IsDlgButtonChecked(dialog_, IDC_CHECK_AUTO), UINT(BST_CHECKED));
  EXPECT_EQ(IsDlgButtonChecked(dialog_, IDC_CHECK_MANUAL), UINT(BST_UNCHECKED));
  EXPECT_EQ(Commands(IDC_CHECK_MANUAL), std::vector<int>{BN_CLICKED});
  CheckDlgButton(dialog_, IDC_CHECK_AUTO, BST_INDETERMINATE);  // not a 3-state box
  EXPECT_EQ(IsDlgButtonChecked(dialog_, IDC_CHECK_AUTO), UINT(BST_CHECKED));

  // Nobody can click what is disabled or hidden, not even with BM_CLICK.
  EXPECT_FALSE(platform::ClickButton(Item(IDC_DISABLED)));
  SendDlgItemMessageA(dialog_, IDC_DISABLED, BM_CLICK, 0, 0);
  ShowWindow(Item(IDC_PUSH), SW_HIDE);
  EXPECT_FALSE(platform::ClickButton(Item(IDC_PUSH)));
  EXPECT_TRUE(Commands(IDC_DISABLED).empty());
  EXPECT_TRUE(Commands(IDC_PUSH).empty());
  EXPECT_FALSE(platform::ClickButton(Item(IDC_LABEL)));  // not a button
}

TEST_F(ControlsTest, EditLimitsNumbersAndChangeNotifications) {
  HWND number = Item(IDC_EDIT_NUMBER);
  ASSERT_TRUE(platform::TypeText(number, "12a3"));
  EXPECT_EQ(Text(IDC_EDIT_NUMBER), "123");  // letters refused
  EXPECT_EQ(Commands(IDC_EDIT_NUMBER),
            (std::vector<int>{EN_SETFOCUS, EN_UPDATE, EN_CHANGE, EN_UPDATE, EN_CHANGE, EN_UPDATE, EN_CHANGE}));
  BOOL translated = FALSE;
  EXPECT_EQ(GetDlgItemInt(dialog_, IDC_EDIT_NUMBER, &translated, FALSE), 123u);
  EXPECT_TRUE(translated);

  Log().clear();
  SendMessageA(number, EM_SETLIMITTEXT, 2, 0);
  EXPECT_EQ(SendMessageA(number, EM_GETLIMITTEXT, 0, 0), 2);
  platform::TypeText(number, "4567");
  EXPECT_EQ(Text(IDC_EDIT_NUMBER), "45");
  const std::vector<int> limited = Commands(IDC_EDIT_NUMBER);
  EXPECT_EQ(std::count(limited.begin(), limited.end(), EN_MAXTEXT), 2);

  // A new text of a single-line edit is reported like a typed one and is
  // not cut by the limit.
  Log().clear();
  SetDlgItemTextA(dialog_, IDC_EDIT_NUMBER, "98765");
  EXPECT_EQ(Text(IDC_EDIT_NUMBER), "98765");
  EXPECT_EQ(Commands(IDC_EDIT_NUMBER), (std::vector<int>{EN_UPDATE, EN_CHANGE}));
  SetDlgItemInt(dialog_, IDC_EDIT_NUMBER, UINT(-42), TRUE);
  EXPECT_EQ(int(GetDlgItemInt(dialog_, IDC_EDIT_NUMBER, &translated, TRUE)), -42);
  EXPECT_TRUE(translated);
  GetDlgItemInt(dialog_, IDC_EDIT_NUMBER, &translated, FALSE);
  EXPECT_FALSE(translated);  // no sign allowed
  SetDlgItemTextA(dialog_, IDC_EDIT_NUMBER, "99999999999");
  GetDlgItemInt(dialog_, IDC_EDIT_NUMBER, &translated, FALSE);
  EXPECT_FALSE(translated);  // does not fit

  // Typing into a read-only edit changes nothing.
  SetDlgItemTextA(dialog_, IDC_READONLY, "fixed");
  platform::TypeText(Item(IDC_READONLY), "xyz");
  EXPECT_EQ(Text(IDC_READONLY), "fixed");
  SendMessageA(Item(IDC_READONLY), EM_SETREADONLY, FALSE, 0);
  platform::TypeText(Item(IDC_READONLY), "xyz");
  EXPECT_EQ(Text(IDC_READONLY), "xyz");
}

TEST_F(ControlsTest, ListAndComboBoxes) {
  HWND list = Item(IDC_LIST);
  EXPECT_EQ(SendMessageA(list, LB_ADDSTRING, 0, LPARAM("beta")), 0);
  EXPECT_EQ(SendMessageA(list, LB_ADDSTRING, 0, LPARAM("delta")), 1);
  EXPECT_EQ(SendMessageA(list, LB_INSERTSTRING, 0, LPARAM("alpha")), 0);
  EXPECT_EQ(SendMessageA(list, LB_INSERTSTRING, 9, LPARAM("nowhere")), LB_ERR);
  EXPECT_EQ(SendMessageA(list, LB_GETCOUNT, 0, 0), 3);
  EXPECT_EQ(SendMessageA(list, LB_FINDSTRINGEXACT, WPARAM(-1), LPARAM("DELTA")), 2);
  EXPECT_EQ(SendMessageA(list, LB_SETCURSEL, 2, 0), 2);
  EXPECT_EQ(SendMessageA(list, LB_SETITEMDATA, 2, 77), TRUE);
  EXPECT_EQ(SendMessageA(list, LB_DELETESTRING, 0, 0), 2);
  EXPECT_EQ(SendMessageA(list, LB_GETCURSEL, 0, 0), 1);  // the selection follows its item
  EXPECT_EQ(SendMessageA(list, LB_GETITEMDATA, 1, 0), 77);
  char text[32];
  EXPECT_EQ(SendMessageA(list, LB_GETTEXT, 1, LPARAM(text)), 5);
  EXPECT_STREQ(text, "delta");
  EXPECT_EQ(SendMessageA(list, LB_GETTEXTLEN, 7, 0), LB_ERR);
  EXPECT_EQ(SendMessageA(list, LB_SETCURSEL, WPARAM(-1), 0), LB_ERR);  // cleared, reported as LB_ERR
  EXPECT_EQ(SendMessageA(list, LB_GETCURSEL, 0, 0), LB_ERR);
  // Programmatic changes are silent; the user's click notifies once.
  EXPECT_TRUE(Commands(IDC_LIST).empty());
  ASSERT_TRUE(platform::ChooseListItem(list, 1));
  ASSERT_TRUE(platform::ChooseListItem(list, 1));
  EXPECT_EQ(SendMessageA(list, LB_GETCURSEL, 0, 0), 1);
  auto changes = Commands(IDC_LIST);
  EXPECT_EQ(std::count(changes.begin(), changes.end(), LBN_SELCHANGE), 1);

  HWND combo = Item(IDC_COMBO);
  for (const char* size : {"160x120", "320x240", "640x480"}) SendMessageA(combo, CB_ADDSTRING, 0, LPARAM(size));
  SendMessageW(combo, CB_ADDSTRING, 0, LPARAM(L"Gr\u00f6\u00dfe"));  // converted to the ANSI page
  EXPECT_EQ(SendMessageA(combo, CB_GETCOUNT, 0, 0), 4);
  EXPECT_EQ(SendMessageA(combo, CB_GETLBTEXT, 3, LPARAM(text)), 5);
  EXPECT_STREQ(text, "Gr\xF6\xDF" "e");
  WCHAR wide[16];
  EXPECT_EQ(SendMessageW(combo, CB_GETLBTEXTLEN, 3, 0), 5);
  EXPECT_EQ(SendMessageW(combo, CB_GETLBTEXT, 3, LPARAM(wide)), 5);
  EXPECT_EQ(std::wstring(wide), L"Gr\u00f6\u00dfe");
  EXPECT_EQ(SendMessageW(combo, CB_GETLBTEXT, 9, LPARAM(wide)), CB_ERR);
  EXPECT_EQ(SendMessageA(combo, CB_FINDSTRINGEXACT, WPARAM(-1), LPARAM("320X240")), 1);
  EXPECT_EQ(SendMessageA(combo, CB_SETCURSEL, 2, 0), 2);
  EXPECT_EQ(Text(IDC_COMBO), "640x480");  // a drop-down list shows its selection
  EXPECT_EQ(SendMessageA(combo, CB_SETCURSEL, 9, 0), CB_ERR);
  EXPECT_EQ(SendMessageA(combo, CB_GETCURSEL, 0, 0), 2);
  EXPECT_TRUE(Commands(IDC_COMBO).empty());
  ASSERT_TRUE(platform::ChooseComboItem(combo, 0));
  EXPECT_EQ(Text(IDC_COMBO), "160x120");
  auto notes = Commands(IDC_COMBO);
  notes.erase(std::remove(notes.begin(), notes.end(), int(CBN_SETFOCUS)), notes.end());
  EXPECT_EQ(notes, (std::vector<int>{CBN_DROPDOWN, CBN_SELCHANGE, CBN_SELENDOK, CBN_CLOSEUP}));
  EXPECT_FALSE(platform::ChooseComboItem(combo, 4));
  SendMessageA(combo, CB_RESETCONTENT, 0, 0);
  EXPECT_EQ(Text(IDC_COMBO), "");
}

TEST_F(ControlsTest, TrackbarsReportUserMovesToTheirParent) {
  HWND track = Item(IDC_TRACK);
  SendMessageA(track, TBM_SETRANGE, TRUE, MAKELONG(0, 16));
  SendMessageA(track, TBM_SETPOS, TRUE, 4);
  EXPECT_EQ(SendMessageA(track, TBM_GETPAGESIZE, 0, 0), 3);  // a fifth of the range
  EXPECT_TRUE(Scrolls(WM_HSCROLL, track).empty());           // set by the program: silent
  ASSERT_TRUE(platform::DragTrackbar(track, 11));
  EXPECT_EQ(SendMessageA(track, TBM_GETPOS, 0, 0), 11);
  EXPECT_EQ(Scrolls(WM_HSCROLL, track),
            (std::vector<std::pair<int, int>>{{TB_THUMBTRACK, 11}, {TB_THUMBPOSITION, 11}, {TB_ENDTRACK, 0}}));
  Log().clear();
  platform::PressControlKey(track, VK_NEXT);
  platform::PressControlKey(track, VK_END);
  platform::PressControlKey(track, VK_RIGHT);  // already at the end: nothing moves
  EXPECT_EQ(SendMessageA(track, TBM_GETPOS, 0, 0), 16);
  EXPECT_EQ(Scrolls(WM_HSCROLL, track), (std::vector<std::pair<int, int>>{
                                            {TB_PAGEDOWN, 0}, {TB_ENDTRACK, 0}, {TB_BOTTOM, 0}, {TB_ENDTRACK, 0},
                                            {TB_ENDTRACK, 0}}));
  // A range below zero; out-of-range positions are held at the ends.
  SendMessageA(track, TBM_SETRANGEMIN, FALSE, -10);
  SendMessageA(track, TBM_SETRANGEMAX, FALSE, 10);
  SendMessageA(track, TBM_SETPOS, TRUE, -50);
  EXPECT_EQ(SendMessageA(track, TBM_GETPOS, 0, 0), -10);
  EXPECT_EQ(SendMessageA(track, TBM_GETRANGEMIN, 0, 0), -10);

  // A vertical trackbar reports through WM_VSCROLL.
  HWND vertical = Item(IDC_VTRACK);
  SendMessageA(vertical, TBM_SETRANGE, TRUE, MAKELONG(0, 16));
  platform::DragTrackbar(vertical, 16);
  EXPECT_EQ(SendMessageA(vertical, TBM_GETPOS, 0, 0), 16);
  EXPECT_EQ(Scrolls(WM_VSCROLL, vertical).size(), 3u);
  EXPECT_TRUE(Scrolls(WM_HSCROLL, vertical).empty());
}

TEST_F(ControlsTest, UpDownAsksItsParentThenMovesAndWritesItsBuddy) {
  HWND arrows = Item(IDC_UPDOWN);
  // The default range runs from 100 down to 0: the up arrow moves towards 0.
  EXPECT_EQ(SendMessageA(arrows, UDM_GETRANGE, 0, 0), MAKELONG(0, 100));
  SendMessageA(arrows, UDM_SETRANGE32, 0, 2000);
  EXPECT_EQ(SendMessageA(arrows, UDM_SETPOS32, 0, 1999), 0);
  EXPECT_EQ(Text(IDC_EDIT_BUDDY), "1,999");

  ASSERT_TRUE(platform::ClickUpDown(arrows, true));
  EXPECT_EQ(Text(IDC_EDIT_BUDDY), "2,000");
  ASSERT_EQ(LogOf(WM_NOTIFY).size(), 1u);
  const Seen note = LogOf(WM_NOTIFY)[0];
  EXPECT_EQ(note.notifyCode, UINT(UDN_DELTAPOS));
  EXPECT_EQ(Scrolls(WM_VSCROLL, arrows),
            (std::vector<std::pair<int, int>>{{SB_THUMBPOSITION, 2000}, {SB_ENDSCROLL, 2000}}));
  platform::ClickUpDown(arrows, true);  // at the limit: no wrap, still reported
  EXPECT_EQ(SendMessageA(arrows, UDM_GETPOS32, 0, 0), 2000);
  EXPECT_EQ(Scrolls(WM_VSCROLL, arrows).size(), 4u);

  // The parent refuses the step: nothing moves and nothing is reported.
  Log().clear();
  RefuseNotify().push_back(UINT(UDN_DELTAPOS));
  platform::ClickUpDown(arrows, false);
  EXPECT_EQ(SendMessageA(arrows, UDM_GETPOS32, 0, 0), 2000);
  EXPECT_EQ(Scrolls(WM_VSCROLL, arrows), (std::vector<std::pair<int, int>>{{SB_ENDSCROLL, 2000}}));

  // UDM_GETPOS reads the buddy: a number there becomes the position, other
  // text is an error.
  SetDlgItemTextA(dialog_, IDC_EDIT_BUDDY, "1,234");
  EXPECT_EQ(SendMessageA(arrows, UDM_GETPOS, 0, 0), MAKELONG(1234, 0));
  SetDlgItemTextA(dialog_, IDC_EDIT_BUDDY, "many");
  BOOL failed = FALSE;
  EXPECT_EQ(SendMessageA(arrows, UDM_GETPOS32, 0, LPARAM(&failed)), 1234);
  EXPECT_TRUE(failed);
  EXPECT_EQ(HIWORD(SendMessageA(arrows, UDM_GETPOS, 0, 0)), 1);
}

TEST_F(ControlsTest, ProgressBarAndTabs) {
  HWND bar = Item(IDC_PROGRESS);
  EXPECT_EQ(SendMessageA(bar, PBM_SETRANGE32, 0, 100), MAKELONG(0, 100));
  EXPECT_EQ(SendMessageA(bar, PBM_SETSTEP, 30, 0), 10);
  for (int expected : {0, 30, 60, 90}) EXPECT_EQ(SendMessageA(bar, PBM_STEPIT, 0, 0), expected);
  EXPECT_EQ(SendMessageA(bar, PBM_GETPOS, 0, 0), 0);  // past the end it starts over
  EXPECT_EQ(SendMessageA(bar, PBM_SETPOS, 150, 0), 0);
  EXPECT_EQ(SendMessageA(bar, PBM_GETPOS, 0, 0), 100);
  EXPECT_EQ(SendMessageA(bar, PBM_DELTAPOS, WPARAM(-40), 0), 100);
  PBRANGE range;
  EXPECT_EQ(SendMessageA(bar, PBM_GETRANGE, FALSE, LPARAM(&range)), 100);
  EXPECT_EQ(range.iLow, 0);

  HWND tab = CreateWindowExA(0, "SysTabControl32", "", WS_CHILD | WS_VISIBLE, 0, 0, 300, 200, dialog_,
                             reinterpret_cast<HMENU>(77), nullptr, nullptr);
  SendMessageA(tab, WM_SETFONT, SendMessageA(dialog_, WM_GETFONT, 0, 0), 0);
  TCITEMA item = {};
  item.mask = TCIF_TEXT | TCIF_PARAM;
  const char* names[] = {"Camera", "Effects", "Zoom"};
  for (int i = 0; i < 3; ++i) {
    item.pszText = const_cast<LPSTR>(names[i]);
    item.lParam = 100 + i;
    EXPECT_EQ(SendMessageA(tab, TCM_INSERTITEMA, i, LPARAM(&item)), i);
  }
  EXPECT_EQ(SendMessageA(tab, TCM_GETCURSEL, 0, 0), 0);  // the first tab is selected
  ASSERT_TRUE(platform::SelectTab(tab, 2));
  EXPECT_EQ(SendMessageA(tab, TCM_GETCURSEL, 0, 0), 2);
  std::vector<UINT> codes;
  for (const Seen& s : LogOf(WM_NOTIFY)) codes.push_back(s.notifyCode);
  EXPECT_EQ(codes, (std::vector<UINT>{UINT(TCN_SELCHANGING), UINT(TCN_SELCHANGE)}));
  RefuseNotify().push_back(UINT(TCN_SELCHANGING));
  platform::SelectTab(tab, 1);
  EXPECT_EQ(SendMessageA(tab, TCM_GETCURSEL, 0, 0), 2);
  char caption[16];
  item.mask = TCIF_TEXT | TCIF_PARAM;
  item.pszText = caption;
  item.cchTextMax = 4;
  ASSERT_TRUE(SendMessageA(tab, TCM_GETITEMA, 1, LPARAM(&item)));
  EXPECT_STREQ(caption, "Eff");
  EXPECT_EQ(item.lParam, 101);
  RECT display = {0, 0, 300, 200};
  SendMessageA(tab, TCM_ADJUSTRECT, FALSE, LPARAM(&display));
  EXPECT_GT(display.top, 10);
  EXPECT_LT(display.right, 300);

  platform::WindowPicture picture;
  ASSERT_TRUE(platform::CaptureWindowPicture(dialog_, &picture));
  const platform::WindowNode& tabs = picture.root.children.back();
  EXPECT_EQ(tabs.className, "SysTabControl32");
  EXPECT_EQ(tabs.items, (std::vector<std::string>{"Camera", "Effects", "Zoom"}));
  EXPECT_EQ(tabs.selected, 2);
}

}  // namespace
}  // namespace win32_test
