// OleCreatePropertyFrame: a modal frame with a tab for each property page
// class, made with CoCreateInstance, each page given a site, the objects,
// and activated inside the tab control's display area; Apply goes to every
// dirty page; closing deactivates the page shown and lets go of them all.
#include <algorithm>
#include <atomic>
#include <memory>
#include <string>
#include <vector>

#include <commctrl.h>
#include <objbase.h>
#include <ocidl.h>
#include <olectl.h>

#include "platform/win32/dialog_manager.h"
#include "platform/win32/sheet_frame.h"
#include "platform/win32/text.h"
#include "platform/win32/window_manager.h"

namespace platform {
namespace win32 {
namespace {

struct Frame;

// The site a page reports to. It outlives the frame if a page keeps it;
// after the frame closes it only answers that the frame is gone.
class PageSite : public IPropertyPageSite {
 public:
  PageSite(Frame* frame, LCID locale) : frame_(frame), locale_(locale) {}
  STDMETHODIMP QueryInterface(REFIID iid, void** object) override {
    if (!object) return E_POINTER;
    if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IPropertyPageSite)) {
      *object = static_cast<IPropertyPageSite*>(this);
      AddRef();
      return S_OK;
    }
    *object = nullptr;
    return E_NOINTERFACE;
  }
  STDMETHODIMP_(ULONG) AddRef() override { return ++references_; }
  STDMETHODIMP_(ULONG) Release() override {
    const ULONG left = --references_;
    if (!left) delete this;
    return left;
  }
  STDMETHODIMP OnStatusChange(DWORD flags) override;
  STDMETHODIMP GetLocaleID(LCID* locale) override {
    if (!locale) return E_POINTER;
    *locale = locale_;
    return S_OK;
  }
  STDMETHODIMP GetPageContainer(IUnknown** container) override {
    if (container) *container = nullptr;
    return E_NOTIMPL;
  }
  STDMETHODIMP TranslateAccelerator(MSG*) override { return S_FALSE; }
  void Detach() { frame_ = nullptr; }

 private:
  virtual ~PageSite() = default;
  Frame* frame_;
  LCID locale_;
  std::atomic<ULONG> references_{1};
};

struct FramePage {
  IPropertyPage* page = nullptr;
  PageSite* site = nullptr;
  std::string title;  // ANSI
  SIZE size = {0, 0};
};

struct Frame {
  HWND hwnd = nullptr;
  HWND tab = nullptr;
  std::vector<FramePage> pages;
  int current = -1;
  RECT display = {0, 0, 0, 0};
  bool closed = false;
};

STDMETHODIMP PageSite::OnStatusChange(DWORD flags) {
  if (!frame_) return E_UNEXPECTED;
  if ((flags & PROPPAGESTATUS_DIRTY) && frame_->hwnd) EnableWindow(GetDlgItem(frame_->hwnd, kApplyButtonId), TRUE);
  return S_OK;
}

// Makes one page: created, sited, given the objects, asked for its title
// and size. A page that fails any step is let go and left out.
bool MakePage(REFCLSID clsid, Frame* frame, ULONG objects, IUnknown** unknowns, LCID locale, FramePage* out,
              HRESULT* failure) {
  IPropertyPage* page = nullptr;
  HRESULT hr = CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_IPropertyPage,
                                reinterpret_cast<void**>(&page));
  if (FAILED(hr) || !page) {
    *failure = FAILED(hr) ? hr : E_NOINTERFACE;
    return false;
  }
  PageSite* site = new PageSite(frame, locale);
  hr = page->SetPageSite(site);
  if (SUCCEEDED(hr)) {
    hr = page->SetObjects(objects, unknowns);
    if (FAILED(hr)) page->SetPageSite(nullptr);
  }
  if (FAILED(hr)) {
    site->Detach();
    site->Release();
    page->Release();
    *failure = hr;
    return false;
  }
  PROPPAGEINFO info = {};
  info.cb = sizeof info;
  if (SUCCEEDED(page->GetPageInfo(&info))) {
    out->title = info.pszTitle ? WideToAnsiText(info.pszTitle) : std::string();
    out->size = info.size;
    CoTaskMemFree(info.pszTitle);
    CoTaskMemFree(info.pszDocString);
    CoTaskMemFree(info.pszHelpFile);
  }
  out->page = page;
  out->site = site;
  return true;
}

// Brings the page's window, which Activate made as the frame's child, above
// the tab control it lies on.
void RaiseNewChildren(HWND frame, const std::vector<HWND>& before) {
  for (HWND child = GetWindow(frame, GW_CHILD); child;) {
    HWND next = GetWindow(child, GW_HWNDNEXT);
    if (std::find(before.begin(), before.end(), child) == before.end())
      SetWindowPos(child, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    child = next;
  }
}

void Show(Frame& frame, int index) {
  if (index < 0 || size_t(index) >= frame.pages.size() || index == frame.current) return;
  if (frame.current >= 0) frame.pages[size_t(frame.current)].page->Deactivate();
  std::vector<HWND> before;
  for (HWND child = GetWindow(frame.hwnd, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT))
    before.push_back(child);
  IPropertyPage* page = frame.pages[size_t(index)].page;
  if (FAILED(page->Activate(frame.hwnd, &frame.display, TRUE))) {
    frame.current = -1;
    return;
  }
  page->Show(SW_SHOW);
  RaiseNewChildren(frame.hwnd, before);
  frame.current = index;
  SendMessageA(frame.tab, TCM_SETCURSEL, WPARAM(index), 0);
}

// Apply on every page that says it is dirty; a page that fails to apply is
// shown and keeps the frame open.
bool ApplyAll(Frame& frame) {
  for (size_t i = 0; i < frame.pages.size(); ++i) {
    IPropertyPage* page = frame.pages[i].page;
    if (page->IsPageDirty() != S_OK) continue;
    if (FAILED(page->Apply())) {
      Show(frame, int(i));
      return false;
    }
  }
  EnableWindow(GetDlgItem(frame.hwnd, kApplyButtonId), FALSE);
  return true;
}

INT_PTR CALLBACK FrameDialogProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_INITDIALOG) {
    Frame* frame = reinterpret_cast<Frame*>(lParam);
    frame->hwnd = hwnd;
    frame->tab = GetDlgItem(hwnd, kTabControlId);
    SetWindowLongPtrA(hwnd, DWLP_USER, lParam);
    return FALSE;
  }
  Frame* frame = reinterpret_cast<Frame*>(GetWindowLongPtrA(hwnd, DWLP_USER));
  if (!frame) return FALSE;
  switch (message) {
    case WM_COMMAND:
      switch (LOWORD(wParam)) {
        case IDOK:
          if (ApplyAll(*frame)) frame->closed = true;
          return TRUE;
        case IDCANCEL:
          frame->closed = true;
          return TRUE;
        case kApplyButtonId:
          ApplyAll(*frame);
          return TRUE;
        default:
          return FALSE;
      }
    case WM_NOTIFY: {
      const NMHDR* header = reinterpret_cast<const NMHDR*>(lParam);
      if (header && header->hwndFrom == frame->tab && header->code == TCN_SELCHANGE)
        Show(*frame, int(SendMessageA(frame->tab, TCM_GETCURSEL, 0, 0)));
      return TRUE;
    }
    default:
      return FALSE;
  }
}

// The frame goes: the page shown is deactivated, every page loses its
// objects and its site and is released.
void LetGo(Frame& frame) {
  if (frame.current >= 0) frame.pages[size_t(frame.current)].page->Deactivate();
  frame.current = -1;
  for (FramePage& p : frame.pages) {
    p.page->SetObjects(0, nullptr);
    p.page->SetPageSite(nullptr);
    p.page->Release();
    p.site->Detach();
    p.site->Release();
  }
  frame.pages.clear();
}

}  // namespace
}  // namespace win32
}  // namespace platform

using namespace platform::win32;

STDAPI OleCreatePropertyFrame(HWND hwndOwner, UINT x, UINT y, LPCOLESTR lpszCaption, ULONG cObjects,
                              LPUNKNOWN* ppUnk, ULONG cPages, LPCLSID pPageClsID, LCID lcid, DWORD dwReserved,
                              LPVOID pvReserved) {
  if ((cPages && !pPageClsID) || (cObjects && !ppUnk)) return E_POINTER;
  if (hwndOwner && !IsWindow(hwndOwner)) return E_INVALIDARG;
  auto frame = std::make_unique<Frame>();
  HRESULT failure = S_OK;
  for (ULONG i = 0; i < cPages; ++i) {
    FramePage page;
    if (MakePage(pPageClsID[i], frame.get(), cObjects, ppUnk, lcid, &page, &failure)) frame->pages.push_back(page);
  }
  if (cPages && frame->pages.empty()) return failure;

  FrameLayout layout;
  layout.caption = WideOrEmpty(lpszCaption) + L" Properties";
  layout.centred = !hwndOwner;
  const std::vector<uint8_t> bytes = BuildFrameTemplate(layout);
  HWND owner = hwndOwner ? GetAncestor(hwndOwner, GA_ROOT) : nullptr;
  HWND hwnd = CreateDialogFromTemplate(nullptr, bytes.data(), bytes.size(), owner, FrameDialogProc,
                                       reinterpret_cast<LPARAM>(frame.get()), false, DialogKind::Modal);
  if (!hwnd) {
    LetGo(*frame);
    return E_OUTOFMEMORY;
  }
  SIZE largest = {0, 0};
  for (const FramePage& p : frame->pages) {
    largest.cx = std::max(largest.cx, p.size.cx);
    largest.cy = std::max(largest.cy, p.size.cy);
  }
  frame->display = LayOutFrame(hwnd, largest);
  if (hwndOwner) {
    // (x, y) is in the owner's client coordinates.
    POINT at = {LONG(x), LONG(y)};
    ClientToScreen(hwndOwner, &at);
    SetWindowPos(hwnd, nullptr, at.x, at.y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
  }
  for (size_t i = 0; i < frame->pages.size(); ++i) {
    TCITEMA item = {};
    item.mask = TCIF_TEXT;
    item.pszText = const_cast<LPSTR>(frame->pages[i].title.c_str());
    SendMessageA(frame->tab, TCM_INSERTITEMA, i, reinterpret_cast<LPARAM>(&item));
  }
  Show(*frame, 0);
  Frame* raw = frame.get();
  RunModalLoop(hwnd, owner, [raw]() { return raw->closed; });
  LetGo(*frame);
  if (IsWindow(hwnd)) DestroyWindow(hwnd);
  return S_OK;
}
