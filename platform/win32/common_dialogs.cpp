// The open-file common dialog: answered by the machine's script
// (platform/machine/window_system.h) as the user would, never waiting.
#include <windows.h>
#include <commdlg.h>

#include <cstring>
#include <string>

#include "platform/win32/modal_hooks.h"

namespace {

thread_local DWORD lastDialogError = 0;

BOOL Refuse(DWORD error) {
  lastDialogError = error;
  return FALSE;
}

}  // namespace

BOOL WINAPI GetOpenFileNameA(LPOPENFILENAMEA ofn) {
  lastDialogError = 0;
  if (!ofn) return Refuse(CDERR_INITIALIZATION);
  if (ofn->lStructSize != sizeof(OPENFILENAMEA) && ofn->lStructSize != OPENFILENAME_SIZE_VERSION_400A)
    return Refuse(CDERR_STRUCTSIZE);
  if (!ofn->lpstrFile || ofn->nMaxFile == 0) return Refuse(CDERR_INITIALIZATION);
  const std::string path = platform::win32::AnswerOpenFileDialog();
  if (path.empty()) return FALSE;  // the user cancelled
  // The dialog does not let the user confirm a file that is not there.
  if ((ofn->Flags & OFN_FILEMUSTEXIST) && GetFileAttributesA(path.c_str()) == INVALID_FILE_ATTRIBUTES) return FALSE;
  if (path.size() + 1 > ofn->nMaxFile) {
    // As Windows does: the first word of the buffer gets the size needed.
    if (ofn->nMaxFile >= 2) {
      const WORD needed = static_cast<WORD>(path.size() + 1);
      std::memcpy(ofn->lpstrFile, &needed, sizeof(needed));
    }
    return Refuse(FNERR_BUFFERTOOSMALL);
  }
  std::memcpy(ofn->lpstrFile, path.c_str(), path.size() + 1);
  const size_t slash = path.find_last_of("\\/");
  const size_t name = slash == std::string::npos ? 0 : slash + 1;
  const size_t dot = path.find_last_of('.');
  ofn->nFileOffset = static_cast<WORD>(name);
  ofn->nFileExtension = static_cast<WORD>(dot != std::string::npos && dot > name ? dot + 1 : path.size());
  if (ofn->lpstrFileTitle && ofn->nMaxFileTitle > 0) {
    lstrcpynA(ofn->lpstrFileTitle, path.c_str() + name, static_cast<int>(ofn->nMaxFileTitle));
  }
  return TRUE;
}

DWORD WINAPI CommDlgExtendedError(void) { return lastDialogError; }
