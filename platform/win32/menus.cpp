// Menus: built by code or loaded from menu resources (MENU and MENUEX
// templates), changed item by item, and shown as popup menus whose choice
// comes from the machine's script (platform/machine/window_system.h).
#include <algorithm>
#include <map>
#include <mutex>

#include "platform/machine/window_system.h"
#include "platform/win32/byte_cursor.h"
#include "platform/win32/message_queue.h"
#include "platform/win32/modal_hooks.h"
#include "platform/win32/resources.h"
#include "platform/win32/text.h"
#include "platform/win32/window_manager.h"

namespace platform {
namespace win32 {
namespace {

// Menu templates nest popups; deeper nesting than this is refused, as is a
// template with more items than this.
constexpr int kMaxDepth = 16;
constexpr size_t kMaxItems = 4096;

// The state bits an item keeps besides its kind.
constexpr UINT kStateBits = MF_CHECKED | MF_GRAYED | MF_DISABLED | MF_DEFAULT | MF_MENUBREAK | MF_MENUBARBREAK;

struct MenuItem {
  UINT flags = 0;  // MF_STRING / MF_SEPARATOR / MF_POPUP and the state bits
  UINT_PTR id = 0;
  HMENU submenu = nullptr;
  std::string text;
};

struct Menu {
  bool popup = false;
  std::vector<MenuItem> items;
};

struct MenuTable {
  std::recursive_mutex lock;
  std::map<HMENU, Menu> menus;
  uintptr_t next = 0x40000;
};
MenuTable& M() {
  static MenuTable* t = new MenuTable;
  return *t;
}
typedef std::lock_guard<std::recursive_mutex> MenuGuard;

HMENU NewMenu(bool popup) {
  MenuTable& t = M();
  MenuGuard hold(t.lock);
  HMENU h = reinterpret_cast<HMENU>(t.next);
  t.next += 4;
  t.menus[h].popup = popup;
  return h;
}

Menu* MenuOf(HMENU menu) {
  MenuTable& t = M();
  auto it = t.menus.find(menu);
  if (it == t.menus.end()) {
    SetLastError(ERROR_INVALID_MENU_HANDLE);
    return nullptr;
  }
  return &it->second;
}

void Destroy(HMENU menu, int depth) {
  MenuTable& t = M();
  auto it = t.menus.find(menu);
  if (it == t.menus.end() || depth > kMaxDepth) return;
  std::vector<HMENU> subs;
  for (const MenuItem& item : it->second.items)
    if (item.submenu) subs.push_back(item.submenu);
  t.menus.erase(it);
  for (HMENU sub : subs) Destroy(sub, depth + 1);
}

// Finds an item by command id (searching submenus) or by position.
// Lock held.
MenuItem* Locate(HMENU menu, UINT item, UINT flags, int depth = 0) {
  Menu* m = MenuOf(menu);
  if (!m || depth > kMaxDepth) return nullptr;
  if (flags & MF_BYPOSITION) return item < m->items.size() ? &m->items[item] : nullptr;
  for (MenuItem& i : m->items) {
    if (!(i.flags & MF_POPUP) && i.id == item) return &i;
    if (i.submenu) {
      MenuItem* inner = Locate(i.submenu, item, flags, depth + 1);
      if (inner) return inner;
    }
  }
  return nullptr;
}

// An item as AppendMenu, InsertMenu and ModifyMenu describe it.
bool MakeItem(UINT flags, UINT_PTR idOrMenu, const std::string* text, MenuItem* item) {
  item->flags = flags & (kStateBits | MF_POPUP | MF_SEPARATOR | MF_BITMAP | MF_OWNERDRAW);
  if (flags & MF_POPUP) {
    item->submenu = reinterpret_cast<HMENU>(idOrMenu);
    if (!MenuOf(item->submenu)) return false;
    item->id = idOrMenu;
  } else {
    item->id = idOrMenu;
  }
  if (!(flags & (MF_SEPARATOR | MF_BITMAP | MF_OWNERDRAW)) && text) item->text = *text;
  return true;
}

bool Insert(HMENU menu, UINT position, UINT flags, UINT_PTR idOrMenu, const std::string* text) {
  MenuGuard hold(M().lock);
  Menu* m = MenuOf(menu);
  if (!m) return false;
  MenuItem item;
  if (!MakeItem(flags, idOrMenu, text, &item)) return false;
  size_t at = m->items.size();
  if (position != UINT(-1)) {
    if (flags & MF_BYPOSITION) {
      at = std::min<size_t>(position, m->items.size());
    } else {
      for (size_t i = 0; i < m->items.size(); ++i)
        if (!(m->items[i].flags & MF_POPUP) && m->items[i].id == position) at = i;
    }
  }
  m->items.insert(m->items.begin() + long(at), item);
  return true;
}

bool Modify(HMENU menu, UINT position, UINT flags, UINT_PTR idOrMenu, const std::string* text) {
  MenuGuard hold(M().lock);
  MenuItem* target = Locate(menu, position, flags);
  if (!target) {
    SetLastError(ERROR_INVALID_MENU_HANDLE);
    return false;
  }
  MenuItem item;
  if (!MakeItem(flags, idOrMenu, text, &item)) return false;
  *target = item;
  return true;
}

// --- Menu templates ---------------------------------------------------------

// MENU: items of WORD flags, WORD id (not for popups), text; popups are
// followed by their items; MF_END marks the last item of a level.
bool ReadItems(ByteCursor& c, HMENU menu, int depth, size_t* count) {
  if (depth > kMaxDepth) return false;
  for (;;) {
    uint16_t flags = 0, id = 0;
    std::u16string text;
    if (!c.U16(&flags)) return false;
    if (!(flags & MF_POPUP) && !c.U16(&id)) return false;
    if (!c.String16(&text) || ++*count > kMaxItems) return false;
    MenuItem item;
    item.flags = flags & (kStateBits | MF_POPUP);
    item.id = id;
    item.text = Utf16ToAnsi(text);
    if (flags & MF_POPUP) {
      item.submenu = NewMenu(true);
      item.id = reinterpret_cast<UINT_PTR>(item.submenu);
      MenuGuard hold(M().lock);
      MenuOf(menu)->items.push_back(item);
      if (!ReadItems(c, item.submenu, depth + 1, count)) return false;
    } else {
      if (id == 0 && text.empty()) item.flags |= MF_SEPARATOR;
      MenuGuard hold(M().lock);
      MenuOf(menu)->items.push_back(item);
    }
    if (flags & MF_END) return true;
  }
}

// MENUEX: items of DWORD type, DWORD state, DWORD id, WORD resInfo, text,
// padding to 4 bytes, and for popups a DWORD help id before their items;
// resInfo 0x80 marks the last item of a level, 0x01 a popup.
bool ReadItemsEx(ByteCursor& c, HMENU menu, int depth, size_t* count) {
  if (depth > kMaxDepth) return false;
  for (;;) {
    uint32_t type = 0, state = 0, id = 0, help = 0;
    uint16_t resInfo = 0;
    std::u16string text;
    if (!c.U32(&type) || !c.U32(&state) || !c.U32(&id) || !c.U16(&resInfo) || !c.String16(&text)) return false;
    c.Align(4);
    if (++*count > kMaxItems) return false;
    MenuItem item;
    item.flags = (type & (MF_SEPARATOR | MF_MENUBREAK | MF_MENUBARBREAK)) | (state & (MF_CHECKED | MF_GRAYED |
                                                                                     MF_DISABLED | MF_DEFAULT));
    item.id = id;
    item.text = Utf16ToAnsi(text);
    if (resInfo & 0x01) {
      if (!c.U32(&help)) return false;
      item.flags |= MF_POPUP;
      item.submenu = NewMenu(true);
      MenuGuard hold(M().lock);
      MenuOf(menu)->items.push_back(item);
      if (!ReadItemsEx(c, item.submenu, depth + 1, count)) return false;
    } else {
      MenuGuard hold(M().lock);
      MenuOf(menu)->items.push_back(item);
    }
    if (resInfo & 0x80) return true;
  }
}

HMENU LoadTemplate(const uint8_t* data, size_t size) {
  ByteCursor c(data, size);
  uint16_t version = 0, offset = 0;
  if (!c.U16(&version) || !c.U16(&offset)) return nullptr;
  HMENU menu = NewMenu(false);
  size_t count = 0;
  bool ok = false;
  if (version == 0) {
    ok = c.Skip(offset) && (c.Remaining() == 0 || ReadItems(c, menu, 0, &count));
  } else if (version == 1) {
    ok = c.Skip(offset) && (c.Remaining() == 0 || ReadItemsEx(c, menu, 0, &count));
  }
  if (!ok) {
    MenuGuard hold(M().lock);
    Destroy(menu, 0);
    SetLastError(ERROR_RESOURCE_DATA_NOT_FOUND);
    return nullptr;
  }
  return menu;
}

HMENU LoadMenuResource(HINSTANCE instance, const ResName& name) {
  const ResourceRecord* r = FindModuleResource(instance, OrdinalName(4 /* RT_MENU */), name, -1);
  return r ? LoadTemplate(r->data, r->size) : nullptr;
}

void DescribeInto(HMENU menu, std::vector<MenuItemInfo>* out, int depth) {
  Menu* m = MenuOf(menu);
  if (!m || depth > kMaxDepth) return;
  for (const MenuItem& item : m->items) {
    MenuItemInfo info;
    info.id = (item.flags & MF_POPUP) ? 0 : int(item.id);
    info.text = item.text;
    info.separator = (item.flags & MF_SEPARATOR) != 0;
    info.checked = (item.flags & MF_CHECKED) != 0;
    info.grayed = (item.flags & (MF_GRAYED | MF_DISABLED)) != 0;
    info.isDefault = (item.flags & MF_DEFAULT) != 0;
    if (item.submenu) DescribeInto(item.submenu, &info.submenu, depth + 1);
    out->push_back(info);
  }
}

// The system menu every captioned window has.
HMENU StandardSystemMenu() {
  HMENU menu = NewMenu(true);
  const std::pair<UINT, const char*> items[] = {{SC_RESTORE, "&Restore"},   {SC_MOVE, "&Move"},
                                                {SC_SIZE, "&Size"},         {SC_MINIMIZE, "Mi&nimize"},
                                                {SC_MAXIMIZE, "Ma&ximize"}, {0, nullptr},
                                                {SC_CLOSE, "&Close\tAlt+F4"}};
  for (const auto& item : items) {
    const std::string text = item.second ? item.second : "";
    Insert(menu, UINT(-1), item.second ? MF_STRING : MF_SEPARATOR, item.first, &text);
  }
  return menu;
}

}  // namespace

bool DescribeMenuItems(HMENU menu, std::vector<MenuItemInfo>* items) {
  MenuGuard hold(M().lock);
  if (!MenuOf(menu)) return false;
  DescribeInto(menu, items, 0);
  return true;
}

}  // namespace win32
}  // namespace platform

using namespace platform::win32;

HMENU WINAPI CreateMenu(void) { return NewMenu(false); }
HMENU WINAPI CreatePopupMenu(void) { return NewMenu(true); }

BOOL WINAPI DestroyMenu(HMENU hMenu) {
  MenuGuard hold(M().lock);
  if (!MenuOf(hMenu)) return FALSE;
  Destroy(hMenu, 0);
  return TRUE;
}

BOOL WINAPI IsMenu(HMENU hMenu) {
  MenuGuard hold(M().lock);
  return M().menus.count(hMenu) != 0;
}

HMENU WINAPI LoadMenuA(HINSTANCE hInstance, LPCSTR lpMenuName) {
  ResName name;
  if (!NameFromA(lpMenuName, &name)) return SetLastError(ERROR_INVALID_PARAMETER), nullptr;
  return LoadMenuResource(hInstance, name);
}

HMENU WINAPI LoadMenuW(HINSTANCE hInstance, LPCWSTR lpMenuName) {
  ResName name;
  if (!NameFromW(lpMenuName, &name)) return SetLastError(ERROR_INVALID_PARAMETER), nullptr;
  return LoadMenuResource(hInstance, name);
}

HMENU WINAPI LoadMenuIndirectA(const void* lpMenuTemplate) {
  const uint8_t* data = static_cast<const uint8_t*>(lpMenuTemplate);
  if (!data) return SetLastError(ERROR_INVALID_PARAMETER), nullptr;
  const size_t known = ResourceBytesFrom(data);
  return LoadTemplate(data, known ? known : size_t(1) << 20);
}

HMENU WINAPI GetSubMenu(HMENU hMenu, int nPos) {
  MenuGuard hold(M().lock);
  Menu* m = MenuOf(hMenu);
  if (!m || nPos < 0 || size_t(nPos) >= m->items.size()) return nullptr;
  return m->items[size_t(nPos)].submenu;
}

int WINAPI GetMenuItemCount(HMENU hMenu) {
  MenuGuard hold(M().lock);
  Menu* m = MenuOf(hMenu);
  return m ? int(m->items.size()) : -1;
}

UINT WINAPI GetMenuItemID(HMENU hMenu, int nPos) {
  MenuGuard hold(M().lock);
  Menu* m = MenuOf(hMenu);
  if (!m || nPos < 0 || size_t(nPos) >= m->items.size() || m->items[size_t(nPos)].submenu) return UINT(-1);
  return UINT(m->items[size_t(nPos)].id);
}

UINT WINAPI GetMenuState(HMENU hMenu, UINT uId, UINT uFlags) {
  MenuGuard hold(M().lock);
  MenuItem* item = Locate(hMenu, uId, uFlags);
  if (!item) return UINT(-1);
  if (item->submenu) {
    Menu* sub = MenuOf(item->submenu);
    return (item->flags & 0xFF) | (UINT(sub ? sub->items.size() : 0) << 8);
  }
  return item->flags;
}

int WINAPI GetMenuStringA(HMENU hMenu, UINT uIDItem, LPSTR lpString, int cchMax, UINT flags) {
  MenuGuard hold(M().lock);
  MenuItem* item = Locate(hMenu, uIDItem, flags);
  if (!item) return 0;
  if (!lpString) return int(item->text.size());
  return CopyOut(item->text, lpString, cchMax);
}

BOOL WINAPI AppendMenuA(HMENU hMenu, UINT uFlags, UINT_PTR uIDNewItem, LPCSTR lpNewItem) {
  const std::string text = AnsiOrEmpty((uFlags & (MF_BITMAP | MF_OWNERDRAW)) ? nullptr : lpNewItem);
  return Insert(hMenu, UINT(-1), uFlags, uIDNewItem, &text);
}

BOOL WINAPI AppendMenuW(HMENU hMenu, UINT uFlags, UINT_PTR uIDNewItem, LPCWSTR lpNewItem) {
  const std::string text = WideToAnsiText(WideOrEmpty((uFlags & (MF_BITMAP | MF_OWNERDRAW)) ? nullptr : lpNewItem));
  return Insert(hMenu, UINT(-1), uFlags, uIDNewItem, &text);
}

BOOL WINAPI InsertMenuA(HMENU hMenu, UINT uPosition, UINT uFlags, UINT_PTR uIDNewItem, LPCSTR lpNewItem) {
  const std::string text = AnsiOrEmpty((uFlags & (MF_BITMAP | MF_OWNERDRAW)) ? nullptr : lpNewItem);
  return Insert(hMenu, uPosition, uFlags, uIDNewItem, &text);
}

BOOL WINAPI ModifyMenuA(HMENU hMnu, UINT uPosition, UINT uFlags, UINT_PTR uIDNewItem, LPCSTR lpNewItem) {
  const std::string text = AnsiOrEmpty((uFlags & (MF_BITMAP | MF_OWNERDRAW)) ? nullptr : lpNewItem);
  return Modify(hMnu, uPosition, uFlags, uIDNewItem, &text);
}

BOOL WINAPI ModifyMenuW(HMENU hMnu, UINT uPosition, UINT uFlags, UINT_PTR uIDNewItem, LPCWSTR lpNewItem) {
  const std::string text = WideToAnsiText(WideOrEmpty((uFlags & (MF_BITMAP | MF_OWNERDRAW)) ? nullptr : lpNewItem));
  return Modify(hMnu, uPosition, uFlags, uIDNewItem, &text);
}

namespace {
BOOL RemoveItem(HMENU hMenu, UINT uPosition, UINT uFlags, bool destroySubmenu) {
  MenuGuard hold(M().lock);
  Menu* m = MenuOf(hMenu);
  if (!m) return FALSE;
  for (size_t i = 0; i < m->items.size(); ++i) {
    const MenuItem& item = m->items[i];
    const bool match = (uFlags & MF_BYPOSITION) ? i == uPosition : (!item.submenu && item.id == uPosition);
    if (!match) continue;
    HMENU sub = item.submenu;
    m->items.erase(m->items.begin() + long(i));
    if (sub && destroySubmenu) Destroy(sub, 0);
    return TRUE;
  }
  return FALSE;
}
}  // namespace

BOOL WINAPI DeleteMenu(HMENU hMenu, UINT uPosition, UINT uFlags) { return RemoveItem(hMenu, uPosition, uFlags, true); }
BOOL WINAPI RemoveMenu(HMENU hMenu, UINT uPosition, UINT uFlags) { return RemoveItem(hMenu, uPosition, uFlags, false); }

DWORD WINAPI CheckMenuItem(HMENU hMenu, UINT uIDCheckItem, UINT uCheck) {
  MenuGuard hold(M().lock);
  MenuItem* item = Locate(hMenu, uIDCheckItem, uCheck);
  if (!item) return DWORD(-1);
  const DWORD old = item->flags & MF_CHECKED;
  item->flags = (item->flags & ~UINT(MF_CHECKED)) | (uCheck & MF_CHECKED);
  return old;
}

BOOL WINAPI EnableMenuItem(HMENU hMenu, UINT uIDEnableItem, UINT uEnable) {
  MenuGuard hold(M().lock);
  MenuItem* item = Locate(hMenu, uIDEnableItem, uEnable);
  if (!item) return -1;
  const UINT old = item->flags & (MF_GRAYED | MF_DISABLED);
  item->flags = (item->flags & ~UINT(MF_GRAYED | MF_DISABLED)) | (uEnable & (MF_GRAYED | MF_DISABLED));
  return BOOL(old);
}

BOOL WINAPI CheckMenuRadioItem(HMENU hmenu, UINT first, UINT last, UINT check, UINT flags) {
  MenuGuard hold(M().lock);
  bool found = false;
  for (UINT i = first; i <= last && i >= first; ++i) {
    MenuItem* item = Locate(hmenu, i, flags);
    if (!item) continue;
    found = found || i == check;
    item->flags = (item->flags & ~UINT(MF_CHECKED)) | (i == check ? MF_CHECKED : 0);
    if (i == last) break;
  }
  return found;
}

BOOL WINAPI SetMenuDefaultItem(HMENU hMenu, UINT uItem, UINT fByPos) {
  MenuGuard hold(M().lock);
  Menu* m = MenuOf(hMenu);
  if (!m) return FALSE;
  for (MenuItem& item : m->items) item.flags &= ~UINT(MF_DEFAULT);
  if (uItem == UINT(-1)) return TRUE;
  MenuItem* item = Locate(hMenu, uItem, fByPos ? MF_BYPOSITION : MF_BYCOMMAND);
  if (!item) return FALSE;
  item->flags |= MF_DEFAULT;
  return TRUE;
}

BOOL WINAPI TrackPopupMenuEx(HMENU hMenu, UINT uFlags, int x, int y, HWND hwnd, LPTPMPARAMS lptpm) {
  if (!IsMenu(hMenu)) return SetLastError(ERROR_INVALID_MENU_HANDLE), FALSE;
  if (!CheckWindow(hwnd)) return FALSE;
  const bool notify = !(uFlags & TPM_NONOTIFY);
  if (notify) {
    SendMessageA(hwnd, WM_ENTERMENULOOP, TRUE, 0);
    SendMessageA(hwnd, WM_INITMENUPOPUP, reinterpret_cast<WPARAM>(hMenu), 0);
  }
  UINT chosen = UINT(ChoosePopupMenuItem(hMenu, hwnd, x, y));
  {
    // Only an enabled command of this menu can be chosen.
    MenuGuard hold(M().lock);
    MenuItem* item = chosen ? Locate(hMenu, chosen, MF_BYCOMMAND) : nullptr;
    if (!item || (item->flags & (MF_GRAYED | MF_DISABLED | MF_SEPARATOR))) chosen = 0;
  }
  if (notify) SendMessageA(hwnd, WM_EXITMENULOOP, TRUE, 0);
  if (uFlags & TPM_RETURNCMD) return BOOL(chosen);
  if (chosen && notify) PostMessageA(hwnd, WM_COMMAND, MAKEWPARAM(chosen, 0), 0);
  return TRUE;
}

BOOL WINAPI TrackPopupMenu(HMENU hMenu, UINT uFlags, int x, int y, int nReserved, HWND hWnd, const RECT* prcRect) {
  return TrackPopupMenuEx(hMenu, uFlags, x, y, hWnd, nullptr);
}

HMENU WINAPI GetMenu(HWND hWnd) {
  WindowGuard hold(WindowLock());
  WindowPtr w = CheckWindow(hWnd);
  return (w && !(w->style & WS_CHILD)) ? w->menu : nullptr;
}

BOOL WINAPI SetMenu(HWND hWnd, HMENU hMenu) {
  if (hMenu && !IsMenu(hMenu)) return SetLastError(ERROR_INVALID_MENU_HANDLE), FALSE;
  WindowGuard hold(WindowLock());
  WindowPtr w = CheckWindow(hWnd);
  if (!w || (w->style & WS_CHILD)) return FALSE;
  w->menu = hMenu;
  return TRUE;
}

HMENU WINAPI GetSystemMenu(HWND hWnd, BOOL bRevert) {
  HMENU old = nullptr;
  {
    WindowGuard hold(WindowLock());
    WindowPtr w = CheckWindow(hWnd);
    if (!w) return nullptr;
    old = w->systemMenu;
    if (bRevert) w->systemMenu = nullptr;
  }
  if (bRevert) {
    if (old) DestroyMenu(old);
    return nullptr;
  }
  if (old) return old;
  HMENU menu = StandardSystemMenu();
  WindowGuard hold(WindowLock());
  WindowPtr w = FindWindowRecord(hWnd);
  if (!w) {
    DestroyMenu(menu);
    return nullptr;
  }
  w->systemMenu = menu;
  return menu;
}

BOOL WINAPI DrawMenuBar(HWND hWnd) { return InvalidateRect(hWnd, nullptr, TRUE); }
