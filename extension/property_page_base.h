// PropertyPageBase: IPropertyPage for the module's four pages, with a
// non-delegating IUnknown. A property frame drives it (SetPageSite,
// SetObjects, Activate, Apply, Deactivate); the pages override the On...
// operations and handle their dialog's messages in OnReceiveMessage.
#pragma once

#include <windows.h>
#include <ocidl.h>

#include "extension/com_object.h"

namespace qcamext {

class PropertyPageBase : public AggregatableObject, public IPropertyPage {
 public:
  STDMETHODIMP QueryInterface(REFIID iid, void** object) override { return Outer()->QueryInterface(iid, object); }
  STDMETHODIMP_(ULONG) AddRef() override { return Outer()->AddRef(); }
  STDMETHODIMP_(ULONG) Release() override { return Outer()->Release(); }

  STDMETHODIMP SetPageSite(IPropertyPageSite* site) override;
  STDMETHODIMP Activate(HWND parent, LPCRECT rect, BOOL modal) override;
  STDMETHODIMP Deactivate() override;
  STDMETHODIMP GetPageInfo(PROPPAGEINFO* info) override;
  STDMETHODIMP SetObjects(ULONG count, IUnknown** objects) override;
  STDMETHODIMP Show(UINT command) override;
  STDMETHODIMP Move(LPCRECT rect) override;
  STDMETHODIMP IsPageDirty() override;
  STDMETHODIMP Apply() override;
  STDMETHODIMP Help(LPCOLESTR helpDir) override;
  STDMETHODIMP TranslateAccelerator(MSG* message) override;

  virtual HRESULT OnConnect(IUnknown* filter) { return S_OK; }
  virtual HRESULT OnDisconnect() { return S_OK; }
  virtual HRESULT OnActivate() { return S_OK; }
  virtual HRESULT OnDeactivate() { return S_OK; }
  virtual HRESULT OnApplyChanges() { return S_OK; }
  virtual INT_PTR OnReceiveMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam) { return 0; }

  int TemplateId() const { return templateId_; }
  HWND PageWindow() const { return pageWindow_; }
  HWND DialogWindow() const { return dialogWindow_; }
  bool Dirty() const { return dirty_; }

  // The dialog procedure of page windows created by Activate.
  static INT_PTR CALLBACK PageDialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

 protected:
  PropertyPageBase(IUnknown* outer, Counting counting, int titleId, int templateId);
  ~PropertyPageBase() override;

  HRESULT QueryOwnInterface(REFIID iid, void** object) override;

  // The page's title as a wide string (GetPageInfo copies it). The base loads
  // the title id from the module's string table.
  virtual void PageTitle(WCHAR* title, int capacity);
  void LoadTitleString(WCHAR* title, int capacity);

  // Sets the dirty flag and tells the site.
  void SetDirty();
  void ClearDirty() { dirty_ = false; }
  void SetDialogWindow(HWND window) { dialogWindow_ = window; }

  int titleId_;
  int templateId_;

 private:
  IPropertyPageSite* site_ = NULL;
  HWND pageWindow_ = NULL;
  HWND dialogWindow_ = NULL;
  bool dirty_ = false;
  bool objectsSet_ = false;
};

}  // namespace qcamext
