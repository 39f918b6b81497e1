// The dialog manager: dialogs built from DLGTEMPLATE / DLGTEMPLATEEX, the
// dialog window procedure (DefDlgProc), modal loops and dialog units.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>

#include <windows.h>

#include "platform/win32/gdi_objects.h"

namespace platform {
namespace win32 {

struct Window;

struct DialogInfo {
  bool unicodeProc = false;     // the DLGPROC takes wide text
  HFONT font = nullptr;         // the template's font (owned)
  FontInfo fontInfo;            // as the template names it
  bool hasFont = false;
  int baseX = 8, baseY = 16;    // dialog base units
  bool ended = false;
  INT_PTR result = 0;
  HWND savedFocus = nullptr;    // focus to restore on activation
  UINT defaultId = IDOK;
};

// Dialog base units (average character width and height in pixels at 96
// DPI) of a dialog font. Known faces come from a table of the usual dialog
// fonts ("MS Sans Serif" 8 pt = 6 x 13); other faces are estimated from the
// point size. A dialog without a font of its own uses the system font's 8 x 16.
void DialogBaseUnitsOf(const std::string& face, int pointSize, int* x, int* y);

// MulDiv: value * numerator / denominator rounded half away from zero.
int MulDivRound(int value, int numerator, int denominator);

// How a dialog is made: shown as its template says (CreateDialog), hidden
// for a modal loop to show (DialogBox), or hidden as a child of `owner`
// whatever its template says (a property page inside a sheet).
enum class DialogKind { Modeless, Modal, Child };

// Builds a dialog from a template of at most `size` bytes; null with the
// last error set when the template is bad or a control cannot be created.
HWND CreateDialogFromTemplate(HINSTANCE instance, const uint8_t* data, size_t size, HWND owner, DLGPROC proc,
                              LPARAM param, bool unicode, DialogKind kind);
// The template bytes of a dialog resource; false (last error set) when the
// module has no such dialog.
bool FindDialogTemplate(HINSTANCE instance, LPCSTR nameA, LPCWSTR nameW, const uint8_t** data, size_t* size);

// A modal loop on the calling thread for `modal` (a dialog, a property
// sheet or a property frame): disables the owner, shows the window, hands
// out messages until `finished` says so or the window is gone, calling the
// machine's modal hook when the window comes up and whenever the loop runs
// out of messages. Re-enables the owner before it returns.
void RunModalLoop(HWND modal, HWND owner, const std::function<bool()>& finished);
// DialogBox's loop: returns EndDialog's result (-1 when the dialog was
// destroyed without it) and destroys the dialog.
INT_PTR RunDialogBox(HWND dialog, HWND owner);

// Called when DWLP_DLGPROC is written: the character set of the new
// procedure follows the call that wrote it. Window lock held.
void NoteDialogProcedure(Window& w, bool unicode);
// Frees what a dialog owns (its font) when its window goes.
void ReleaseDialogResources(HWND hwnd);
// The dialog's base units; false when `hwnd` is no dialog.
bool DialogUnits(HWND hwnd, int* x, int* y);
// The dialog's template font; false when it has none.
bool DialogFont(HWND hwnd, FontInfo* font);

}  // namespace win32
}  // namespace platform
