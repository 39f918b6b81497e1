// The window system's machine controls: hooks and scripts for modal
// windows, message boxes and popup menus, the user's actions, and pictures
// of window trees.
#include "platform/machine/window_system.h"

#include <algorithm>
#include <deque>
#include <mutex>

#include <commctrl.h>
#include <windows.h>

#include "platform/win32/controls.h"
#include "platform/win32/dialog_manager.h"
#include "platform/win32/gdi_objects.h"
#include "platform/win32/message_queue.h"
#include "platform/win32/modal_hooks.h"
#include "platform/win32/text.h"
#include "platform/win32/window_manager.h"

namespace platform {
namespace {

struct Controls {
  std::mutex lock;
  ModalHook modalHook;
  MessageBoxHook messageBoxHook;
  PopupMenuHook popupMenuHook;
  std::deque<int> messageBoxAnswers;
  std::deque<int> menuChoices;
  std::deque<std::string> openFileAnswers;
  std::vector<MessageBoxRecord> messageBoxes;
};
Controls& C() {
  static Controls* c = new Controls;
  return *c;
}

template <class Hook>
Hook Swap(Hook& slot, Hook hook) {
  std::lock_guard<std::mutex> hold(C().lock);
  Hook old = slot;
  slot = hook;
  return old;
}

// The buttons of a message box type, in order; the default button is one
// of them (MB_DEFBUTTON1..4, the first when there are fewer).
std::vector<int> ButtonsOf(UINT type) {
  switch (type & MB_TYPEMASK) {
    case MB_OKCANCEL: return {IDOK, IDCANCEL};
    case MB_ABORTRETRYIGNORE: return {IDABORT, IDRETRY, IDIGNORE};
    case MB_YESNOCANCEL: return {IDYES, IDNO, IDCANCEL};
    case MB_YESNO: return {IDYES, IDNO};
    case MB_RETRYCANCEL: return {IDRETRY, IDCANCEL};
    case MB_CANCELTRYCONTINUE: return {IDCANCEL, IDTRYAGAIN, IDCONTINUE};
    default: return {IDOK};
  }
}

std::string ClassOf(HWND hwnd) {
  char name[64] = {0};
  GetClassNameA(hwnd, name, sizeof name);
  return name;
}

bool IsClass(HWND hwnd, const char* cls) { return IsWindow(hwnd) && win32::EqualNoCase(ClassOf(hwnd), cls); }

// The user reaches only windows that are shown and enabled, with every
// window around them.
bool Reachable(HWND hwnd) {
  if (!IsWindow(hwnd) || !IsWindowVisible(hwnd)) return false;
  for (HWND h = hwnd; h; h = (GetWindowLongA(h, GWL_STYLE) & WS_CHILD) ? GetParent(h) : nullptr)
    if (!IsWindowEnabled(h)) return false;
  return true;
}

bool OnOwnThread(HWND hwnd) { return GetWindowThreadProcessId(hwnd, nullptr) == win32::CallerThreadId(); }

void Click(HWND hwnd, POINT at) {
  const LPARAM where = MAKELPARAM(at.x, at.y);
  SendMessageA(hwnd, WM_LBUTTONDOWN, MK_LBUTTON, where);
  SendMessageA(hwnd, WM_LBUTTONUP, 0, where);
}

POINT Centre(HWND hwnd) {
  RECT client;
  GetClientRect(hwnd, &client);
  return POINT{client.right / 2, client.bottom / 2};
}

// Focus moves with the user's click; a thread can only move its own focus,
// which is where the user's keys then go.
void Focus(HWND hwnd) {
  if (OnOwnThread(hwnd)) SetFocus(hwnd);
}

HWND TabControlOf(HWND window) {
  if (IsClass(window, "SysTabControl32")) return window;
  for (HWND child = GetWindow(window, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT))
    if (IsClass(child, "SysTabControl32")) return child;
  return nullptr;
}

// --- Pictures -------------------------------------------------------------------

void DescribeFontOf(const win32::Window& w, WindowNode* node) {
  win32::FontInfo info;
  bool found = w.font && win32::DescribeFont(w.font, &info);
  for (win32::WindowPtr a = win32::FindWindowRecord(w.handle); !found && a; a = win32::FindWindowRecord(a->parent))
    found = a->dialog && a->dialog->hasFont && (info = a->dialog->fontInfo, true);
  if (!found) win32::DescribeFont(win32::SystemFont(), &info);
  node->fontFace = info.face;
  node->fontPointSize = info.pointSize;
  node->fontBold = info.weight >= FW_SEMIBOLD;
}

void Fill(const win32::WindowPtr& w, WindowNode* node, int depth) {
  node->className = w->windowClass->name;
  node->id = (w->style & WS_CHILD) ? int(w->id) : 0;
  node->style = w->style;
  node->exStyle = w->exStyle;
  node->x = w->rect.left;
  node->y = w->rect.top;
  node->width = w->rect.right - w->rect.left;
  node->height = w->rect.bottom - w->rect.top;
  const RECT client = win32::ClientRectInParent(*w);
  node->clientX = client.left - w->rect.left;
  node->clientY = client.top - w->rect.top;
  node->visible = (w->style & WS_VISIBLE) != 0;
  node->enabled = !(w->style & WS_DISABLED);
  node->text = w->text;
  DescribeFontOf(*w, node);
  if (w->queue) {
    std::lock_guard<std::mutex> hold(w->queue->lock);
    node->focused = w->queue->focus == w->handle;
  }
  if (w->control) w->control->Describe(node);
  if (!(w->style & WS_CHILD)) {
    // The caption shows the small icon, else the big one, else the class's.
    HICON icon = w->iconSmall ? w->iconSmall : w->iconBig ? w->iconBig
                 : w->windowClass->iconSmall ? w->windowClass->iconSmall : w->windowClass->icon;
    if (icon) win32::IconPixels(icon, 16, &node->iconId, &node->iconWidth, &node->iconHeight, &node->iconPixels);
  }
  if (depth > 64) return;  // windows do not nest this deep; a cycle would
  for (HWND child : w->children) {
    win32::WindowPtr c = win32::FindWindowRecord(child);
    if (!c) continue;
    node->children.emplace_back();
    Fill(c, &node->children.back(), depth + 1);
  }
}

}  // namespace

// --- Hooks and scripts ----------------------------------------------------------

ModalHook SetModalHook(ModalHook hook) { return Swap(C().modalHook, hook); }
MessageBoxHook SetMessageBoxHook(MessageBoxHook hook) { return Swap(C().messageBoxHook, hook); }
PopupMenuHook SetPopupMenuHook(PopupMenuHook hook) { return Swap(C().popupMenuHook, hook); }

void ScriptMessageBoxAnswers(const std::vector<int>& answers) {
  std::lock_guard<std::mutex> hold(C().lock);
  C().messageBoxAnswers.insert(C().messageBoxAnswers.end(), answers.begin(), answers.end());
}

void ScriptMenuChoices(const std::vector<int>& commands) {
  std::lock_guard<std::mutex> hold(C().lock);
  C().menuChoices.insert(C().menuChoices.end(), commands.begin(), commands.end());
}

void ScriptOpenFileAnswers(const std::vector<std::string>& paths) {
  std::lock_guard<std::mutex> hold(C().lock);
  C().openFileAnswers.insert(C().openFileAnswers.end(), paths.begin(), paths.end());
}

std::vector<MessageBoxRecord> MessageBoxLog() {
  std::lock_guard<std::mutex> hold(C().lock);
  return C().messageBoxes;
}

void ClearMessageBoxLog() {
  std::lock_guard<std::mutex> hold(C().lock);
  C().messageBoxes.clear();
}

void ResetWindowSystemControls() {
  {
    std::lock_guard<std::mutex> hold(C().lock);
    Controls& c = C();
    c.modalHook = nullptr;
    c.messageBoxHook = nullptr;
    c.popupMenuHook = nullptr;
    c.messageBoxAnswers.clear();
    c.menuChoices.clear();
    c.openFileAnswers.clear();
    c.messageBoxes.clear();
  }
  win32::ResetCommonControlClasses();
}

bool DescribeMenu(HMENU__* menu, std::vector<MenuItemInfo>* items) {
  items->clear();
  return win32::DescribeMenuItems(menu, items);
}

bool DescribeIcon(HICON__* icon, IconInfo* info) { return win32::DescribeIconHandle(icon, info); }

bool DescribeSheetPage(_PSP* page, SheetPageInfo* info) { return win32::DescribeSheetPageHandle(page, info); }

uint32_t InitializedCommonControls() { return win32::InitializedCommonControlClasses(); }

namespace win32 {

void NotifyModal(HWND modal, bool idle) {
  ModalHook hook;
  {
    std::lock_guard<std::mutex> hold(C().lock);
    hook = C().modalHook;
  }
  if (hook) hook(modal, idle ? ModalEvent::Idle : ModalEvent::Shown);
}

int AnswerMessageBox(HWND owner, const std::string& text, const std::string& caption, UINT type) {
  const std::vector<int> buttons = ButtonsOf(type);
  const size_t defaultIndex = (type & MB_DEFMASK) >> 8;
  MessageBoxRecord record;
  record.owner = owner;
  record.text = text;
  record.caption = caption;
  record.type = type;
  record.answer = buttons[defaultIndex < buttons.size() ? defaultIndex : 0];
  MessageBoxHook hook;
  {
    std::lock_guard<std::mutex> hold(C().lock);
    Controls& c = C();
    if (!c.messageBoxAnswers.empty()) {
      const int scripted = c.messageBoxAnswers.front();
      c.messageBoxAnswers.pop_front();
      if (std::find(buttons.begin(), buttons.end(), scripted) != buttons.end()) record.answer = scripted;
    }
    c.messageBoxes.push_back(record);
    hook = c.messageBoxHook;
  }
  if (hook) hook(record);
  return record.answer;
}

std::string AnswerOpenFileDialog() {
  std::lock_guard<std::mutex> hold(C().lock);
  if (C().openFileAnswers.empty()) return std::string();
  std::string path = C().openFileAnswers.front();
  C().openFileAnswers.pop_front();
  return path;
}

int ChoosePopupMenuItem(HMENU menu, HWND owner, int x, int y) {
  PopupMenuEvent event;
  event.menu = menu;
  DescribeMenuItems(menu, &event.items);
  event.owner = owner;
  event.x = x;
  event.y = y;
  PopupMenuHook hook;
  {
    std::lock_guard<std::mutex> hold(C().lock);
    Controls& c = C();
    if (!c.menuChoices.empty()) {
      event.chosen = c.menuChoices.front();
      c.menuChoices.pop_front();
    }
    hook = c.popupMenuHook;
  }
  if (hook) hook(event);
  return event.chosen;
}

}  // namespace win32

// --- The user's actions ------------------------------------------------------------

bool ClickButton(WindowHandle button) {
  if (!IsClass(button, "Button") || !Reachable(button)) return false;
  Click(button, Centre(button));
  return true;
}

bool ClickDialogButton(WindowHandle dialog, int id) {
  HWND button = IsWindow(dialog) ? GetDlgItem(dialog, id) : nullptr;
  return button && ClickButton(button);
}

bool DragTrackbar(WindowHandle trackbar, int position) {
  if (!IsClass(trackbar, "msctls_trackbar32") || !Reachable(trackbar)) return false;
  const POINT from = win32::TrackbarPoint(trackbar, int(SendMessageA(trackbar, TBM_GETPOS, 0, 0)));
  const POINT to = win32::TrackbarPoint(trackbar, position);
  SendMessageA(trackbar, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(from.x, from.y));
  SendMessageA(trackbar, WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(to.x, to.y));
  SendMessageA(trackbar, WM_LBUTTONUP, 0, MAKELPARAM(to.x, to.y));
  return true;
}

bool PressControlKey(WindowHandle control, int virtualKey) {
  if (!Reachable(control)) return false;
  Focus(control);
  SendMessageA(control, WM_KEYDOWN, WPARAM(virtualKey), 1);
  SendMessageA(control, WM_KEYUP, WPARAM(virtualKey), LPARAM(0xC0000001));
  return true;
}

bool ClickUpDown(WindowHandle upDown, bool up) {
  if (!IsClass(upDown, "msctls_updown32") || !Reachable(upDown)) return false;
  RECT client;
  GetClientRect(upDown, &client);
  const bool horizontal = (GetWindowLongA(upDown, GWL_STYLE) & UDS_HORZ) != 0;
  const POINT at = horizontal ? POINT{up ? client.right * 3 / 4 : client.right / 4, client.bottom / 2}
                              : POINT{client.right / 2, up ? client.bottom / 4 : client.bottom * 3 / 4};
  Click(upDown, at);
  return true;
}

bool ChooseComboItem(WindowHandle comboBox, int index) {
  if (!IsClass(comboBox, "ComboBox") || !Reachable(comboBox)) return false;
  if (index < 0 || index >= int(SendMessageA(comboBox, CB_GETCOUNT, 0, 0))) return false;
  if (!SendMessageA(comboBox, CB_GETDROPPEDSTATE, 0, 0)) Click(comboBox, Centre(comboBox));
  SendMessageA(comboBox, win32::kComboPickItem, WPARAM(index), 0);
  return true;
}

bool ChooseListItem(WindowHandle listBox, int index) {
  POINT at;
  if (!IsClass(listBox, "ListBox") || !Reachable(listBox) || !win32::ListItemPoint(listBox, index, &at)) return false;
  Click(listBox, at);
  return true;
}

bool SelectTab(WindowHandle tabOrSheet, int index) {
  HWND tab = IsWindow(tabOrSheet) ? TabControlOf(tabOrSheet) : nullptr;
  POINT at;
  if (!tab || !Reachable(tab) || !win32::TabPoint(tab, index, &at)) return false;
  Click(tab, at);
  return true;
}

bool TypeText(WindowHandle edit, const std::string& text) {
  if (!IsClass(edit, "Edit") || !Reachable(edit)) return false;
  Focus(edit);
  SendMessageA(edit, EM_SETSEL, 0, -1);
  if (text.empty()) SendMessageA(edit, WM_CHAR, VK_BACK, 1);
  for (char c : text) SendMessageA(edit, WM_CHAR, WPARAM(uint8_t(c)), 1);
  return true;
}

bool PressKey(WindowHandle window, int virtualKey) {
  if (!Reachable(window)) return false;
  HWND target = window;
  {
    win32::WindowGuard hold(win32::WindowLock());
    win32::WindowPtr w = win32::FindWindowRecord(window);
    if (w && w->queue) {
      std::lock_guard<std::mutex> q(w->queue->lock);
      HWND focus = w->queue->focus;
      if (focus && (focus == window || IsChild(window, focus))) target = focus;
    }
  }
  PostMessageA(target, WM_KEYDOWN, WPARAM(virtualKey), 1);
  PostMessageA(target, WM_KEYUP, WPARAM(virtualKey), LPARAM(0xC0000001));
  return true;
}

bool CloseWindowByUser(WindowHandle window) {
  if (!IsWindow(window) || (GetWindowLongA(window, GWL_STYLE) & WS_CHILD) || !IsWindowVisible(window)) return false;
  SendMessageA(window, WM_SYSCOMMAND, SC_CLOSE, 0);
  return true;
}

// --- Windows ----------------------------------------------------------------------

bool CaptureWindowPicture(WindowHandle window, WindowPicture* picture) {
  win32::WindowGuard hold(win32::WindowLock());
  win32::WindowPtr w = win32::FindWindowRecord(window);
  if (!w || !picture) return false;
  *picture = WindowPicture();
  Fill(w, &picture->root, 0);
  if (w->parent) {
    // A child window is pictured where it is on the screen.
    const POINT origin = win32::ClientOriginOnScreen(w->parent);
    picture->root.x += origin.x;
    picture->root.y += origin.y;
  }
  picture->codePage = win32::AnsiCodePage();
  picture->captionBar = (w->style & WS_CAPTION) == WS_CAPTION;
  if (w->queue) {
    std::lock_guard<std::mutex> q(w->queue->lock);
    picture->active = w->queue->active == window;
  }
  return true;
}

// Classic popup menus: 17-pixel lines of 8-point text, 9-pixel separators,
// room for the check mark on the left and a 3-pixel frame.
bool CaptureMenuPicture(HMENU__* menu, int x, int y, WindowPicture* picture) {
  std::vector<MenuItemInfo> items;
  if (!picture || !DescribeMenu(menu, &items)) return false;
  *picture = WindowPicture();
  WindowNode& node = picture->root;
  node.className = "#32768";
  node.style = WS_POPUP | WS_VISIBLE | WS_BORDER;
  node.fontFace = "MS Shell Dlg";
  int width = 0, height = 6;
  for (const MenuItemInfo& item : items) {
    uint32_t state = (item.grayed ? MF_GRAYED : 0) | (item.checked ? MF_CHECKED : 0) |
                     (item.submenu.empty() ? 0 : MF_POPUP) | (item.separator ? MF_SEPARATOR : 0) |
                     (item.isDefault ? MF_DEFAULT : 0);
    node.items.push_back(item.text);
    node.itemStates.push_back(state);
    width = std::max(width, int(item.text.size()) * 6 + 48);
    height += item.separator ? 9 : 17;
  }
  node.x = x;
  node.y = y;
  node.width = std::max(width, 60);
  node.height = height;
  picture->codePage = win32::AnsiCodePage();
  picture->captionBar = false;
  return true;
}

std::vector<WindowHandle> TopLevelWindowList() {
  std::vector<WindowHandle> out;
  for (HWND h : win32::TopLevelWindows()) {
    win32::WindowPtr w = win32::FindWindowRecord(h);
    if (w && !w->messageOnly) out.push_back(h);
  }
  return out;
}

}  // namespace platform
