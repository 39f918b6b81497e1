#include "extension/property_page_base.h"

#include <cstring>
#include <cwchar>

#include "extension/module.h"

namespace qcamext {
namespace {

constexpr int kTitleCapacity = 128;
constexpr LONG kDefaultPageWidth = 340;
constexpr LONG kDefaultPageHeight = 150;

INT_PTR CALLBACK MeasureDialogProc(HWND, UINT, WPARAM, LPARAM) { return FALSE; }

// The pixel size of a dialog template: the dialog is created hidden under
// the desktop window, measured and destroyed.
SIZE MeasureTemplate(int templateId) {
  SIZE size = {kDefaultPageWidth, kDefaultPageHeight};
  HWND dialog = CreateDialogParamA(Module().instance, MAKEINTRESOURCEA(templateId), GetDesktopWindow(),
                                   MeasureDialogProc, 0);
  if (dialog) {
    RECT rect;
    if (GetWindowRect(dialog, &rect)) {
      size.cx = rect.right - rect.left;
      size.cy = rect.bottom - rect.top;
    }
    DestroyWindow(dialog);
  }
  return size;
}

}  // namespace

PropertyPageBase::PropertyPageBase(IUnknown* outer, Counting counting, int titleId, int templateId)
    : AggregatableObject(outer, counting), titleId_(titleId), templateId_(templateId) {}

PropertyPageBase::~PropertyPageBase() {
  // A frame that lets the page go without Deactivate or SetPageSite(NULL)
  // must not leave a window that points at a deleted page.
  if (pageWindow_) {
    SetWindowLongPtrA(pageWindow_, DWLP_USER, 0);
    DestroyWindow(pageWindow_);
  }
  if (site_) site_->Release();
}

HRESULT PropertyPageBase::QueryOwnInterface(REFIID iid, void** object) {
  if (IsEqualIID(iid, IID_IPropertyPage)) {
    *object = static_cast<IPropertyPage*>(this);
    return S_OK;
  }
  return E_NOINTERFACE;
}

STDMETHODIMP PropertyPageBase::SetPageSite(IPropertyPageSite* site) {
  if (site) {
    if (site_) return E_UNEXPECTED;
    site_ = site;
    site_->AddRef();
    return S_OK;
  }
  if (!site_) return E_UNEXPECTED;
  site_->Release();
  site_ = NULL;
  return S_OK;
}

STDMETHODIMP PropertyPageBase::Activate(HWND parent, LPCRECT rect, BOOL modal) {
  if (!rect) return E_POINTER;
  if (!objectsSet_ || pageWindow_) return E_UNEXPECTED;
  pageWindow_ = CreateDialogParamA(Module().instance, MAKEINTRESOURCEA(templateId_), parent, PageDialogProc,
                                   reinterpret_cast<LPARAM>(this));
  if (!pageWindow_) return E_OUTOFMEMORY;
  OnActivate();
  Move(rect);
  Show(SW_SHOWNORMAL);
  return S_OK;
}

STDMETHODIMP PropertyPageBase::Deactivate() {
  if (!pageWindow_) return E_UNEXPECTED;
  // The frame's own tab order must not run into a page that is going away.
  LONG exStyle = GetWindowLongA(pageWindow_, GWL_EXSTYLE);
  SetWindowLongA(pageWindow_, GWL_EXSTYLE, exStyle & ~WS_EX_CONTROLPARENT);
  OnDeactivate();
  DestroyWindow(pageWindow_);
  pageWindow_ = NULL;
  dialogWindow_ = NULL;
  return S_OK;
}

STDMETHODIMP PropertyPageBase::GetPageInfo(PROPPAGEINFO* info) {
  if (!info) return E_POINTER;
  WCHAR title[kTitleCapacity];
  title[0] = 0;
  PageTitle(title, kTitleCapacity);
  title[kTitleCapacity - 1] = 0;
  size_t bytes = (std::wcslen(title) + 1) * sizeof(WCHAR);
  LPOLESTR copy = static_cast<LPOLESTR>(CoTaskMemAlloc(bytes));
  if (!copy) return E_OUTOFMEMORY;
  std::memcpy(copy, title, bytes);
  info->cb = sizeof(PROPPAGEINFO);
  info->pszTitle = copy;
  info->size = MeasureTemplate(templateId_);
  info->pszDocString = NULL;
  info->pszHelpFile = NULL;
  info->dwHelpContext = 0;
  return S_OK;
}

void PropertyPageBase::PageTitle(WCHAR* title, int capacity) { LoadTitleString(title, capacity); }

void PropertyPageBase::LoadTitleString(WCHAR* title, int capacity) {
  title[0] = 0;
  if (Module().platformId == VER_PLATFORM_WIN32_NT) {
    LoadStringW(Module().instance, titleId_, title, capacity);
    return;
  }
  char ansi[kTitleCapacity];
  if (LoadStringA(Module().instance, titleId_, ansi, sizeof(ansi)) > 0 &&
      MultiByteToWideChar(CP_ACP, 0, ansi, -1, title, capacity) == 0) {
    title[0] = 0;
  }
}

STDMETHODIMP PropertyPageBase::SetObjects(ULONG count, IUnknown** objects) {
  if (count == 1) {
    if (!objects || !objects[0]) return E_POINTER;
    objectsSet_ = true;
    return OnConnect(objects[0]);
  }
  if (count == 0) {
    objectsSet_ = false;
    return OnDisconnect();
  }
  return E_UNEXPECTED;
}

STDMETHODIMP PropertyPageBase::Show(UINT command) {
  if (command != SW_HIDE && command != SW_SHOWNORMAL && command != SW_SHOW) return E_INVALIDARG;
  if (!pageWindow_) return E_UNEXPECTED;
  ShowWindow(pageWindow_, command);
  InvalidateRect(pageWindow_, NULL, TRUE);
  return S_OK;
}

STDMETHODIMP PropertyPageBase::Move(LPCRECT rect) {
  if (!rect) return E_POINTER;
  if (!pageWindow_) return E_UNEXPECTED;
  MoveWindow(pageWindow_, rect->left, rect->top, rect->right - rect->left, rect->bottom - rect->top, TRUE);
  return S_OK;
}

STDMETHODIMP PropertyPageBase::IsPageDirty() { return dirty_ ? S_OK : S_FALSE; }

STDMETHODIMP PropertyPageBase::Apply() {
  if (!objectsSet_ || !site_) return E_UNEXPECTED;
  if (!dirty_) return S_OK;
  HRESULT result = OnApplyChanges();
  if (SUCCEEDED(result)) dirty_ = false;
  return result;
}

STDMETHODIMP PropertyPageBase::Help(LPCOLESTR) { return E_NOTIMPL; }

STDMETHODIMP PropertyPageBase::TranslateAccelerator(MSG*) { return E_NOTIMPL; }

void PropertyPageBase::SetDirty() {
  dirty_ = true;
  if (site_) site_->OnStatusChange(PROPPAGESTATUS_DIRTY);
}

INT_PTR CALLBACK PropertyPageBase::PageDialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  PropertyPageBase* page;
  if (message == WM_INITDIALOG) {
    SetWindowLongPtrA(window, DWLP_USER, lParam);
    page = reinterpret_cast<PropertyPageBase*>(lParam);
    if (page) page->dialogWindow_ = window;
  } else {
    page = reinterpret_cast<PropertyPageBase*>(GetWindowLongPtrA(window, DWLP_USER));
  }
  if (!page) return 1;
  return page->OnReceiveMessage(window, message, wParam, lParam);
}

}  // namespace qcamext
