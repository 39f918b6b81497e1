// Property sheets: pages made on first activation, PSN_* notifications in
// Windows' order, Apply and PSNRET_INVALID, Cancel, modeless sheets and the
// page callbacks.
#include <prsht.h>

#include "tests/win32/resources.h"
#include "tests/win32/win32_test.h"

namespace win32_test {
namespace {

// What one page saw, and how it answers.
struct PageScript {
  HWND hwnd = nullptr;
  const PROPSHEETPAGEA* initParam = nullptr;
  std::vector<UINT> codes;
  std::vector<LPARAM> applyParams;
  LRESULT killActive = 0;
  LRESULT apply = PSNRET_NOERROR;
  LRESULT queryCancel = 0;
};

INT_PTR CALLBACK PageProc(HWND page, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_INITDIALOG) {
    const PROPSHEETPAGEA* psp = reinterpret_cast<const PROPSHEETPAGEA*>(lParam);
    PageScript* script = reinterpret_cast<PageScript*>(psp->lParam);
    script->hwnd = page;
    script->initParam = psp;
    SetWindowLongPtrA(page, DWLP_USER, psp->lParam);
    return TRUE;
  }
  PageScript* script = reinterpret_cast<PageScript*>(GetWindowLongPtrA(page, DWLP_USER));
  if (!script) return FALSE;
  if (message == WM_COMMAND && HIWORD(wParam) == EN_CHANGE) {
    PropSheet_Changed(GetParent(page), page);
    return TRUE;
  }
  if (message != WM_NOTIFY) return FALSE;
  const PSHNOTIFY* note = reinterpret_cast<const PSHNOTIFY*>(lParam);
  script->codes.push_back(note->hdr.code);
  LRESULT result = 0;
  if (note->hdr.code == PSN_KILLACTIVE) result = script->killActive;
  if (note->hdr.code == PSN_APPLY) {
    result = script->apply;
    script->applyParams.push_back(note->lParam);
  }
  if (note->hdr.code == PSN_QUERYCANCEL) result = script->queryCancel;
  SetWindowLongPtrA(page, DWLP_MSGRESULT, result);
  return TRUE;
}

std::vector<std::pair<UINT, LPARAM>> g_callbacks;

UINT CALLBACK PageCallback(HWND, UINT message, LPPROPSHEETPAGEA page) {
  g_callbacks.push_back({message, page->lParam});
  return 1;
}

class PropertySheetTest : public WindowTest {
 protected:
  void SetUp() override {
    WindowTest::SetUp();
    g_callbacks.clear();
    for (int i = 0; i < 2; ++i) {
      pages_[i] = PROPSHEETPAGEA();
      // An array of pages is walked by each record's dwSize.
      pages_[i].dwSize = sizeof(PROPSHEETPAGEA);
      pages_[i].dwFlags = PSP_USECALLBACK | PSP_USEREFPARENT | (i == 0 ? PSP_USETITLE : 0);
      pages_[i].hInstance = GetModuleHandleA(nullptr);
      pages_[i].pszTemplate = MAKEINTRESOURCEA(i == 0 ? IDD_PAGE_ONE : IDD_PAGE_TWO);
      pages_[i].pszTitle = "Camera";
      pages_[i].pfnDlgProc = PageProc;
      pages_[i].lParam = reinterpret_cast<LPARAM>(&scripts_[i]);
      pages_[i].pfnCallback = PageCallback;
      pages_[i].pcRefParent = &references_;
    }
    header_ = PROPSHEETHEADERA();
    header_.dwSize = sizeof header_;
    header_.dwFlags = PSH_PROPSHEETPAGE;
    header_.pszCaption = "Video Source";
    header_.nPages = 2;
    header_.ppsp = pages_;
  }
  HWND Current(HWND sheet) { return PropSheet_GetCurrentPageHwnd(sheet); }
  std::vector<UINT> CallbackMessages() {
    std::vector<UINT> out;
    for (const auto& c : g_callbacks) out.push_back(c.first);
    return out;
  }

  PROPSHEETPAGEA pages_[2];
  PageScript scripts_[2];
  PROPSHEETHEADERA header_;
  UINT references_ = 0;
};

TEST_F(PropertySheetTest, ApplyAndOkGoToEveryPageMadeAndInvalidPagesKeepTheSheetOpen) {
  int step = 0;
  platform::SetModalHook([&](HWND sheet, platform::ModalEvent event) {
    if (event != platform::ModalEvent::Shown) return;
    char caption[64];
    GetWindowTextA(sheet, caption, sizeof caption);
    EXPECT_STREQ(caption, "Video Source");
    platform::WindowPicture picture;
    ASSERT_TRUE(platform::CaptureWindowPicture(sheet, &picture));
    for (const platform::WindowNode& n : picture.root.children) {
      if (n.className != "SysTabControl32") continue;
      EXPECT_EQ(n.items, (std::vector<std::string>{"Camera", "Second"}));
    }
    // Only the first page exists yet; Apply waits for a change.
    EXPECT_EQ(Current(sheet), scripts_[0].hwnd);
    EXPECT_EQ(scripts_[1].hwnd, nullptr);
    HWND apply = GetDlgItem(sheet, 0x3021);
    EXPECT_FALSE(IsWindowEnabled(apply));
    EXPECT_EQ(references_, 2u);

    platform::TypeText(GetDlgItem(scripts_[0].hwnd, IDC_PAGE_EDIT), "7");
    EXPECT_TRUE(IsWindowEnabled(apply));
    PropSheet_UnChanged(sheet, scripts_[0].hwnd);
    EXPECT_FALSE(IsWindowEnabled(apply));
    platform::TypeText(GetDlgItem(scripts_[0].hwnd, IDC_PAGE_EDIT), "8");
    EXPECT_TRUE(IsWindowEnabled(apply));
    ASSERT_TRUE(platform::SelectTab(sheet, 1));
    EXPECT_EQ(Current(sheet), scripts_[1].hwnd);
    EXPECT_FALSE(IsWindowVisible(scripts_[0].hwnd));
    EXPECT_TRUE(IsWindowVisible(scripts_[1].hwnd));
    ASSERT_TRUE(platform::ClickDialogButton(sheet, 0x3021));
    EXPECT_FALSE(IsWindowEnabled(apply));

    // OK with the first page invalid: it comes to the front, the sheet stays.
    scripts_[0].apply = PSNRET_INVALID;
    ASSERT_TRUE(platform::ClickDialogButton(sheet, IDOK));
    EXPECT_TRUE(IsWindow(sheet));
    EXPECT_EQ(Current(sheet), scripts_[0].hwnd);
    scripts_[0].apply = PSNRET_NOERROR;
    step = 1;
    ASSERT_TRUE(platform::ClickDialogButton(sheet, IDOK));
  });
  EXPECT_EQ(PropertySheetA(&header_), 1);
  EXPECT_EQ(step, 1);
  EXPECT_EQ(scripts_[0].codes, (std::vector<UINT>{PSN_SETACTIVE, PSN_KILLACTIVE, PSN_APPLY, PSN_APPLY,
                                                  PSN_SETACTIVE, PSN_KILLACTIVE, PSN_APPLY}));
  EXPECT_EQ(scripts_[1].codes, (std::vector<UINT>{PSN_SETACTIVE, PSN_KILLACTIVE, PSN_APPLY, PSN_KILLACTIVE,
                                                  PSN_APPLY}));
  EXPECT_EQ(scripts_[0].applyParams, (std::vector<LPARAM>{FALSE, TRUE, TRUE}));  // Apply, then OK twice
  // WM_INITDIALOG got the sheet's copy of the PROPSHEETPAGE, not ours.
  EXPECT_NE(scripts_[0].initParam, &pages_[0]);
  // Callbacks: each page added, made when first shown, released with the sheet.
  EXPECT_EQ(CallbackMessages(), (std::vector<UINT>{PSPCB_ADDREF, PSPCB_ADDREF, PSPCB_CREATE, PSPCB_CREATE,
                                                   PSPCB_RELEASE, PSPCB_RELEASE}));
  EXPECT_EQ(references_, 0u);
  EXPECT_FALSE(IsWindow(scripts_[0].hwnd));
}

TEST_F(PropertySheetTest, CancelResetsThePagesMadeAndAPageMayRefuseToBeLeft) {
  platform::SetModalHook([&](HWND sheet, platform::ModalEvent event) {
    if (event != platform::ModalEvent::Shown) return;
    scripts_[0].killActive = TRUE;
    platform::SelectTab(sheet, 1);
    EXPECT_EQ(Current(sheet), scripts_[0].hwnd);  // refused
    EXPECT_EQ(SendMessageA(PropSheet_GetTabControl(sheet), TCM_GETCURSEL, 0, 0), 0);
    scripts_[0].queryCancel = TRUE;
    platform::ClickDialogButton(sheet, IDCANCEL);  // refused too
    EXPECT_TRUE(IsWindow(sheet));
    scripts_[0].queryCancel = FALSE;
    platform::CloseWindowByUser(sheet);
  });
  EXPECT_EQ(PropertySheetA(&header_), 0);
  EXPECT_EQ(scripts_[0].codes, (std::vector<UINT>{PSN_SETACTIVE, PSN_KILLACTIVE, PSN_QUERYCANCEL, PSN_QUERYCANCEL,
                                                  PSN_RESET}));
  EXPECT_TRUE(scripts_[1].codes.empty());  // never made, never told
}

TEST_F(PropertySheetTest, ModelessSheetsAndPagesCreatedAhead) {
  HPROPSHEETPAGE handles[2] = {CreatePropertySheetPageA(&pages_[0]), CreatePropertySheetPageA(&pages_[1])};
  ASSERT_NE(handles[0], nullptr);
  EXPECT_EQ(CallbackMessages(), (std::vector<UINT>{PSPCB_ADDREF, PSPCB_ADDREF}));
  PROPSHEETPAGEA tooShort = pages_[0];
  tooShort.dwSize = 12;
  EXPECT_EQ(CreatePropertySheetPageA(&tooShort), nullptr);

  header_.dwFlags = PSH_MODELESS | PSH_NOAPPLYNOW;
  header_.nStartPage = 1;
  header_.phpage = handles;
  HWND sheet = reinterpret_cast<HWND>(PropertySheetA(&header_));
  ASSERT_TRUE(IsWindow(sheet));
  EXPECT_TRUE(IsWindowVisible(sheet));
  EXPECT_EQ(GetDlgItem(sheet, 0x3021), nullptr);  // no Apply button
  EXPECT_EQ(Current(sheet), scripts_[1].hwnd);    // the start page
  // The page lies in the tab control's display area, above it.
  RECT page = RectInParent(scripts_[1].hwnd), tab = RectInParent(PropSheet_GetTabControl(sheet));
  EXPECT_GT(page.top, tab.top);
  EXPECT_LE(page.right, tab.right);
  EXPECT_EQ(GetWindow(sheet, GW_CHILD), scripts_[1].hwnd);
  // Pages are chosen by handle or by index.
  EXPECT_TRUE(PropSheet_SetCurSel(sheet, handles[0], 0));
  EXPECT_EQ(Current(sheet), scripts_[0].hwnd);
  EXPECT_TRUE(PropSheet_SetCurSel(sheet, nullptr, 1));

  PropSheet_PressButton(sheet, PSBTN_CANCEL);
  MSG msg;
  while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&msg);
  EXPECT_EQ(Current(sheet), nullptr);  // closed: its owner destroys it
  EXPECT_EQ(scripts_[1].codes.back(), UINT(PSN_RESET));
  DestroyWindow(sheet);
  EXPECT_EQ(CallbackMessages(), (std::vector<UINT>{PSPCB_ADDREF, PSPCB_ADDREF, PSPCB_CREATE, PSPCB_CREATE,
                                                   PSPCB_RELEASE, PSPCB_RELEASE}));
  EXPECT_EQ(references_, 0u);
  EXPECT_FALSE(DestroyPropertySheetPage(handles[0]));  // went with the sheet
}

}  // namespace
}  // namespace win32_test
