// qcam pages on the Win32 side: the property frame (OleCreatePropertyFrame
// on the camera's filter) or the video-source sheet (the module's
// VFWWDMExtension, as the VfW-to-WDM mapper calls it), with the user's
// actions performed from the modal loop as a person would.
#include <windows.h>
#include <commctrl.h>
#include <dshow.h>
#include <ocidl.h>
#include <olectl.h>
#include <prsht.h>

#include <cstdio>
#include <cstdlib>
#include <sstream>

#include "platform/draw/window_draw.h"
#include "platform/machine/window_system.h"
#include "platform/sdk-extra/vfwext.h"
#include "shared/qcamext_classes.h"
#include "tools/qcam/pages_run.h"
#include "tools/qcam/request_log.h"
#include "tools/qcam/user_mode.h"
#include "tools/qcam/user_mode_win32.h"

namespace qcam_tool {
namespace {

constexpr int kFrameApplyButton = 0x3021;

bool ParseNumber(const std::string& text, int* value) {
  if (text.empty()) return false;
  char* end = nullptr;
  const long parsed = std::strtol(text.c_str(), &end, 10);
  if (*end || parsed < -1000000 || parsed > 1000000) return false;
  *value = static_cast<int>(parsed);
  return true;
}

// The words of an action after its verb, the last one taking the rest of
// the line (a text or a path may hold blanks).
std::vector<std::string> SplitAction(const std::string& text, size_t words) {
  std::vector<std::string> out;
  std::istringstream in(text);
  std::string word;
  while (out.size() + 1 < words && in >> word) out.push_back(word);
  std::string rest;
  std::getline(in >> std::ws, rest);
  if (!rest.empty()) out.push_back(rest);
  return out;
}

class Runner {
 public:
  Runner(const PagesRequest& request, const std::function<void(const std::string&)>& say)
      : request_(request), say_(say) {}

  // Performs everything from the modal loop, the first time the host shows.
  void OnShown(HWND host, int pageIndex) {
    if (started_) return;
    started_ = true;
    host_ = host;
    if (pageIndex > 0 && !platform::SelectTab(host, pageIndex)) Fail("cannot show page " + std::to_string(pageIndex));
    Flush();
    Picture();
    for (size_t i = 0; i < request_.actions.size() && error_.empty(); ++i) {
      const PageAction& action = request_.actions[i];
      if (closed_) {
        Fail("'" + action.source + "': the pages are closed already");
        break;
      }
      say_("action " + std::to_string(i + 1) + ": " + action.source);
      Perform(action);
      Flush();
      if (error_.empty() && !closed_) Picture();
    }
    if (!error_.empty() && !closed_) {
      say_("closing with Cancel");
      platform::ClickDialogButton(host_, IDCANCEL);
      closed_ = true;
    } else if (!closed_) {
      say_("closing with OK");
      platform::ClickDialogButton(host_, IDOK);
      closed_ = true;
    }
  }

  // Requests sent since the last call, one line each.
  void Flush() {
    for (const std::string& request : recorder_.Take()) say_("  " + request);
  }
  void MessageBoxShown(const platform::MessageBoxRecord& box) {
    Flush();
    say_("  message box \"" + box.caption + "\": " + box.text);
  }

  bool Started() const { return started_; }
  const std::string& Error() const { return error_; }
  void Fail(const std::string& error) {
    if (error_.empty()) error_ = error;
  }
  bool isSheet = false;

 private:
  HWND CurrentPage() const {
    if (isSheet) return reinterpret_cast<HWND>(SendMessageA(host_, PSM_GETCURRENTPAGEHWND, 0, 0));
    // The frame's page is its visible child dialog.
    for (HWND child = GetWindow(host_, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
      char name[16] = {};
      GetClassNameA(child, name, sizeof(name));
      if (lstrcmpA(name, "#32770") == 0 && IsWindowVisible(child)) return child;
    }
    return NULL;
  }

  void Perform(const PageAction& action) {
    HWND page = CurrentPage();
    HWND control = page && action.id ? GetDlgItem(page, action.id) : NULL;
    const std::string what = "control " + std::to_string(action.id);
    bool done = true;
    switch (action.kind) {
      case PageAction::kClick:
        done = platform::ClickDialogButton(page, action.id);
        break;
      case PageAction::kTrackbar:
        done = platform::DragTrackbar(control, action.number);
        break;
      case PageAction::kText:
        done = platform::TypeText(control, action.text);
        break;
      case PageAction::kSelect: {
        char name[32] = {};
        GetClassNameA(control, name, sizeof(name));
        done = lstrcmpiA(name, "ComboBox") == 0   ? platform::ChooseComboItem(control, action.number)
               : lstrcmpiA(name, "ListBox") == 0 ? platform::ChooseListItem(control, action.number)
                                                 : false;
        break;
      }
      case PageAction::kTab:
        done = platform::SelectTab(host_, action.number);
        if (!done) return Fail("there is no tab " + std::to_string(action.number));
        return;
      case PageAction::kApply:
        if (isSheet) {
          SendMessageA(host_, PSM_APPLY, 0, 0);
        } else {
          done = platform::ClickDialogButton(host_, kFrameApplyButton);
          if (!done) return Fail("the Apply button is greyed (no page has changes)");
        }
        return;
      case PageAction::kOk:
      case PageAction::kCancel:
        platform::ClickDialogButton(host_, action.kind == PageAction::kOk ? IDOK : IDCANCEL);
        closed_ = true;
        return;
      case PageAction::kOpenFile:
        platform::ScriptOpenFileAnswers({action.text});
        return;
    }
    if (!done) {
      Fail(what + " cannot take '" + action.source +
           "' (no such control on the page, of another kind, hidden or greyed)");
    }
  }

  void Picture() {
    if (request_.outDir.empty() || !host_ || !IsWindow(host_)) return;
    char name[32];
    std::snprintf(name, sizeof(name), "page-%02d.png", picture_++);
    const std::string path = request_.outDir + "/" + name;
    platform::WindowPicture picture;
    std::string error;
    if (!platform::CaptureWindowPicture(host_, &picture) || !draw::WriteWindowPng(picture, path, &error))
      return Fail("cannot write " + path + (error.empty() ? "" : ": " + error));
    say_("  picture " + path);
  }

  const PagesRequest& request_;
  const std::function<void(const std::string&)>& say_;
  RequestRecorder recorder_;
  HWND host_ = NULL;
  bool started_ = false;
  bool closed_ = false;
  int picture_ = 0;
  std::string error_;
};

// Hooks the modal loop and message boxes to the runner while it lives.
class Hooks {
 public:
  Hooks(Runner& runner, int pageIndex) {
    previousModal_ =
        platform::SetModalHook([&runner, pageIndex](platform::WindowHandle modal, platform::ModalEvent event) {
          if (event == platform::ModalEvent::Shown) runner.OnShown(modal, pageIndex);
        });
    previousBox_ = platform::SetMessageBoxHook([&runner](const platform::MessageBoxRecord& box) {
      runner.MessageBoxShown(box);
    });
  }
  ~Hooks() {
    platform::SetModalHook(previousModal_);
    platform::SetMessageBoxHook(previousBox_);
  }

 private:
  platform::ModalHook previousModal_;
  platform::MessageBoxHook previousBox_;
};

const CLSID* PageClass(PageKind kind) {
  switch (kind) {
    case PageKind::kCamera: return &CLSID_CustomCameraPage;
    case PageKind::kEffect: return &CLSID_SpecialEffectPage;
    case PageKind::kZoom: return &CLSID_DigitalZoomPage;
    default: return &CLSID_CommandPage;
  }
}

// The property frame on the camera's filter, with the pages the filter
// names (the device's page list), or else the module's four.
bool RunFrame(Runner& runner, PageKind kind, std::string* error) {
  IAMCustomCameraProp* custom = NULL;
  if (FAILED(FindCustomCameraProp(&custom))) {
    *error = "no camera answers IAMCustomCameraProp";
    return false;
  }
  IBaseFilter* filter = NULL;
  custom->QueryInterface(IID_IBaseFilter, reinterpret_cast<void**>(&filter));
  custom->Release();
  if (!filter) {
    *error = "the camera's private interface has no filter behind it";
    return false;
  }
  CAUUID pages = {0, NULL};
  ISpecifyPropertyPages* specify = NULL;
  if (SUCCEEDED(filter->QueryInterface(IID_ISpecifyPropertyPages, reinterpret_cast<void**>(&specify)))) {
    specify->GetPages(&pages);
    specify->Release();
  }
  const CLSID fallback[] = {CLSID_CustomCameraPage, CLSID_SpecialEffectPage, CLSID_DigitalZoomPage,
                            CLSID_CommandPage};
  const bool own = pages.cElems == 0;
  const ULONG count = own ? 4 : pages.cElems;
  const CLSID* list = own ? fallback : pages.pElems;
  int index = -1;
  for (ULONG i = 0; i < count; ++i) {
    if (IsEqualCLSID(list[i], *PageClass(kind))) index = static_cast<int>(i);
  }
  HRESULT hr = E_FAIL;
  if (index < 0) {
    *error = "the camera's page list lacks that page";
  } else {
    Hooks hooks(runner, index);
    IUnknown* objects[] = {filter};
    hr = OleCreatePropertyFrame(NULL, 0, 0, L"USB Camera", 1, objects, count, const_cast<CLSID*>(list), 0,
                                0, NULL);
    if (FAILED(hr)) *error = "OleCreatePropertyFrame failed: " + HresultText(uint32_t(hr));
  }
  CoTaskMemFree(pages.pElems);
  filter->Release();
  return SUCCEEDED(hr);
}

BOOL CALLBACK CollectPage(HPROPSHEETPAGE page, LPARAM lParam) {
  reinterpret_cast<std::vector<HPROPSHEETPAGE>*>(lParam)->push_back(page);
  return TRUE;
}

PageKind KindOfTemplate(int templateId) {
  if (templateId == 107) return PageKind::kEffect;
  if (templateId == 110 || templateId == 111) return PageKind::kZoom;
  return PageKind::kCamera;
}

// The video-source sheet, modal as the mapper shows it.
bool RunSheet(Runner& runner, PageKind kind, std::string* error) {
  if (kind == PageKind::kCommand) {
    *error = "the video-source dialog has no command page";
    return false;
  }
  HMODULE module = LoadLibraryA(kModuleWin32Path);
  VFWWDMExtensionProc entry = module ? reinterpret_cast<VFWWDMExtensionProc>(reinterpret_cast<void (*)()>(
                                           GetProcAddress(module, "VFWWDMExtension")))
                                     : NULL;
  if (!entry) {
    *error = std::string("cannot load VFWWDMExtension of ") + kModuleWin32Path;
    if (module) FreeLibrary(module);
    return false;
  }
  std::vector<HPROPSHEETPAGE> pages;
  entry(NULL, CollectPage, reinterpret_cast<LPARAM>(&pages));
  int index = -1;
  for (size_t i = 0; i < pages.size(); ++i) {
    platform::SheetPageInfo info;
    if (platform::DescribeSheetPage(pages[i], &info) && KindOfTemplate(info.templateId) == kind && index < 0)
      index = static_cast<int>(i);
  }
  bool ok = true;
  if (index < 0) {
    *error = "the extension added no such page to the video-source dialog";
    for (HPROPSHEETPAGE page : pages) DestroyPropertySheetPage(page);
    ok = false;
  } else {
    runner.isSheet = true;
    Hooks hooks(runner, index);
    PROPSHEETHEADERA header = {};
    header.dwSize = sizeof(header);
    header.dwFlags = PSH_NOAPPLYNOW;
    header.pszCaption = "Video Source";
    header.nPages = UINT(pages.size());
    header.phpage = pages.data();
    PropertySheetA(&header);
  }
  FreeLibrary(module);
  return ok;
}

}  // namespace

bool ParsePageKind(const std::string& text, PageKind* kind) {
  if (text == "camera") *kind = PageKind::kCamera;
  else if (text == "effect") *kind = PageKind::kEffect;
  else if (text == "zoom") *kind = PageKind::kZoom;
  else if (text == "command") *kind = PageKind::kCommand;
  else return false;
  return true;
}

bool ParsePageAction(const std::string& text, PageAction* action, std::string* error) {
  std::istringstream in(text);
  std::string verb;
  in >> verb;
  action->source = text;
  struct Verb {
    const char* name;
    PageAction::Kind kind;
    int words;  // after the verb
    bool number;
  } verbs[] = {
      {"click", PageAction::kClick, 1, false},     {"trackbar", PageAction::kTrackbar, 2, true},
      {"text", PageAction::kText, 2, false},       {"select", PageAction::kSelect, 2, true},
      {"tab", PageAction::kTab, 1, true},          {"apply", PageAction::kApply, 0, false},
      {"ok", PageAction::kOk, 0, false},           {"cancel", PageAction::kCancel, 0, false},
      {"open-file", PageAction::kOpenFile, 1, false},
  };
  for (const Verb& v : verbs) {
    if (verb != v.name) continue;
    std::string rest;
    std::getline(in >> std::ws, rest);
    const std::vector<std::string> words = SplitAction(rest, v.words);
    if (static_cast<int>(words.size()) != v.words) {
      *error = "'" + text + "': " + verb + " takes " + std::to_string(v.words) + " word(s)";
      return false;
    }
    action->kind = v.kind;
    if (v.kind == PageAction::kOpenFile) {
      action->text = words[0];
    } else if (v.kind == PageAction::kTab) {
      if (!ParseNumber(words[0], &action->number) || action->number < 0) {
        *error = "'" + text + "': the tab is a number from 0";
        return false;
      }
    } else if (v.words > 0) {
      if (!ParseNumber(words[0], &action->id) || action->id <= 0 || action->id > 0xFFFF) {
        *error = "'" + text + "': the control id is a number from 1 to 65535";
        return false;
      }
      if (v.kind == PageAction::kText) action->text = words[1];
      if (v.number && !ParseNumber(words[1], &action->number)) {
        *error = "'" + text + "': '" + words[1] + "' is no number";
        return false;
      }
    }
    return true;
  }
  *error = "'" + text + "': unknown action (click, trackbar, text, select, tab, apply, ok, cancel, open-file)";
  return false;
}

bool RunPropertyPages(const PagesRequest& request, const std::function<void(const std::string&)>& say,
                      std::string* error) {
  HRESULT hr = CoInitialize(NULL);
  if (FAILED(hr)) {
    *error = "CoInitialize failed";
    return false;
  }
  Runner runner(request, say);
  bool ok = request.host == PageHost::kFrame ? RunFrame(runner, request.page, error)
                                             : RunSheet(runner, request.page, error);
  // What the pages sent while closing (Apply, or the restore of a page
  // closed without it).
  runner.Flush();
  CoUninitialize();
  if (ok && !runner.Started()) {
    *error = "the pages were not shown";
    ok = false;
  }
  if (ok && !runner.Error().empty()) {
    *error = runner.Error();
    ok = false;
  }
  return ok;
}

}  // namespace qcam_tool
