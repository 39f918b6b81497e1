// Machine controls of the headless window system, for tests, tools and
// drawing (never for a deliverable): hooks that see modal windows, message
// boxes and popup menus come up, scripts that answer them, the user's
// actions on controls, and pictures of windows. Plain C++ types; window,
// menu and icon handles are the SDK's HWND, HMENU and HICON (struct
// HWND__* ...), declared here without the SDK headers.
//
// Modal loops. A modal dialog, property sheet or property frame runs its
// loop on the thread that opened it. The modal hook is called on that
// thread when the window comes up (ModalEvent::Shown) and every time the
// loop runs out of messages (ModalEvent::Idle): that is where a test or a
// tool inspects the window and acts as the user would, for instance by
// clicking OK. A loop whose hook does nothing waits for messages (timers,
// messages from other threads), as a real dialog waits for the user.
//
// User actions send exactly the messages the user's mouse or keyboard
// action sends on Windows (button down and up, the keys, the drag of a
// thumb), so the controls react and notify their parents as they do there.
// Each returns false, doing nothing, when the window is not of the right
// kind, or is hidden or disabled (the user cannot reach it). Call them on
// the window's thread (from the modal hook) or from another thread, whose
// calls then wait until the window's thread has handled them.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "platform/machine/window_tree.h"

struct HWND__;
struct HMENU__;
struct HICON__;
struct _PSP;

namespace platform {

typedef HWND__* WindowHandle;

// --- Modal windows -------------------------------------------------------------
enum class ModalEvent { Shown, Idle };
typedef std::function<void(WindowHandle modal, ModalEvent event)> ModalHook;
// Installs the hook for every thread (an empty function removes it) and
// returns the one it replaces.
ModalHook SetModalHook(ModalHook hook);

// --- The user's actions -----------------------------------------------------------
// A click on a button (push button, check box, radio button).
bool ClickButton(WindowHandle button);
// A click on the dialog's control `id`.
bool ClickDialogButton(WindowHandle dialog, int id);
// Drags a trackbar's thumb to `position` (the nearest position a pixel can
// reach when the range is wider than the trackbar).
bool DragTrackbar(WindowHandle trackbar, int position);
// A key pressed and released on a focused trackbar, up-down or list
// (VK_LEFT, VK_NEXT, VK_HOME...).
bool PressControlKey(WindowHandle control, int virtualKey);
// A click on an up-down control's up (or down) arrow.
bool ClickUpDown(WindowHandle upDown, bool up);
// Opens a combo box's list and picks item `index`.
bool ChooseComboItem(WindowHandle comboBox, int index);
// A click on a list box item.
bool ChooseListItem(WindowHandle listBox, int index);
// A click on tab `index` of a tab control, or of the tab control of a
// property sheet or property frame.
bool SelectTab(WindowHandle tabOrSheet, int index);
// Replaces an edit control's text by typing `text` (ANSI bytes), one
// character at a time, after selecting what is there.
bool TypeText(WindowHandle edit, const std::string& text);
// A key pressed and released with `window`'s dialog in front (VK_RETURN,
// VK_ESCAPE, VK_TAB): posted, so that the modal loop's IsDialogMessage
// sees it.
bool PressKey(WindowHandle window, int virtualKey);
// The close box in the caption.
bool CloseWindowByUser(WindowHandle window);

// --- Message boxes ----------------------------------------------------------------
struct MessageBoxRecord {
  WindowHandle owner = nullptr;
  std::string text;     // ANSI bytes in the PC's code page
  std::string caption;
  uint32_t type = 0;    // MB_*
  int answer = 0;       // IDOK, IDYES...
};
// Answers for the next message boxes, in order. An answer the box's buttons
// do not allow is skipped in favour of the default button.
void ScriptMessageBoxAnswers(const std::vector<int>& answers);
typedef std::function<void(const MessageBoxRecord&)> MessageBoxHook;
MessageBoxHook SetMessageBoxHook(MessageBoxHook hook);
// Every message box shown since the last clear, oldest first.
std::vector<MessageBoxRecord> MessageBoxLog();
void ClearMessageBoxLog();

// --- Common dialogs ---------------------------------------------------------------
// Answers for the next open-file dialogs, in order: the Win32 path the user
// picks, or an empty string for Cancel. Without a script the user cancels.
void ScriptOpenFileAnswers(const std::vector<std::string>& paths);

// --- Popup menus --------------------------------------------------------------------
struct MenuItemInfo {
  int id = 0;  // 0 for popups and separators
  std::string text;
  bool separator = false;
  bool checked = false;
  bool grayed = false;
  bool isDefault = false;
  std::vector<MenuItemInfo> submenu;
};
// The items of a menu; false for a handle that is no menu.
bool DescribeMenu(HMENU__* menu, std::vector<MenuItemInfo>* items);
// Commands the next popup menus choose, in order (0: the user dismisses
// the menu). Without a script every popup menu is dismissed.
void ScriptMenuChoices(const std::vector<int>& commands);
// A popup menu as TrackPopupMenu shows it (the menu handle is valid while
// the hook runs).
struct PopupMenuEvent {
  HMENU__* menu = nullptr;
  std::vector<MenuItemInfo> items;
  WindowHandle owner = nullptr;
  int x = 0, y = 0;  // screen position
  int chosen = 0;    // the command about to be chosen (0: none)
};
typedef std::function<void(const PopupMenuEvent&)> PopupMenuHook;
PopupMenuHook SetPopupMenuHook(PopupMenuHook hook);
// A picture of a popup menu at (x, y) on the screen: a "#32768" node with
// one item (and state word) per entry, for the drawing module.
bool CaptureMenuPicture(HMENU__* menu, int x, int y, WindowPicture* picture);

// --- Icons ---------------------------------------------------------------------------
struct IconImage {
  int width = 0, height = 0, bitCount = 0;
  std::vector<uint8_t> bytes;  // the RT_ICON resource: a DIB or a PNG
};
struct IconInfo {
  bool system = false;  // IDI_* / IDC_* of the system
  void* module = nullptr;
  bool byOrdinal = true;
  int ordinal = 0;      // the resource id (or the IDI_* value)
  std::string name;     // a resource named by string
  std::vector<IconImage> images;
};
bool DescribeIcon(HICON__* icon, IconInfo* info);

// --- Property-sheet pages -----------------------------------------------------------
// What a page handle (HPROPSHEETPAGE) was made from, as a sheet shows it.
struct SheetPageInfo {
  int templateId = 0;        // the dialog template's resource id (0: named or in memory)
  std::string templateName;  // a template named by a string
  std::string title;         // the tab title (ANSI bytes in the PC's code page)
};
// False for a handle that is no live page.
bool DescribeSheetPage(_PSP* page, SheetPageInfo* info);

// --- Windows ------------------------------------------------------------------------
// A picture-ready copy of a top-level window and everything in it.
bool CaptureWindowPicture(WindowHandle window, WindowPicture* picture);
// The top-level windows, top first.
std::vector<WindowHandle> TopLevelWindowList();
// The ICC_* classes programs asked InitCommonControls(Ex) for.
uint32_t InitializedCommonControls();

// Clears the scripts, logs and hooks above (between tests).
void ResetWindowSystemControls();

}  // namespace platform
