// Window trees built by hand for the drawing tests and the reference
// pictures: each looks like something the window system captures from a
// real dialog, property sheet or menu.
#pragma once

#include <string>

#include "platform/machine/window_tree.h"

namespace draw_test {

using platform::WindowNode;
using platform::WindowPicture;

// A child window with WS_VISIBLE | WS_CHILD added to `style`.
WindowNode Control(const std::string& className, int id, uint32_t style, int x, int y, int width, int height,
                   const std::string& text = "");
// A top-level dialog frame of the given client size: caption bar, 3-pixel
// border, the font of its template.
WindowPicture Dialog(const std::string& caption, int clientWidth, int clientHeight, uint32_t codePage = 1252,
                     const std::string& fontFace = "MS Sans Serif", int pointSize = 8);

// Every control type, in several states each.
WindowPicture ControlsScene();
// A property sheet with three tabs, the middle page shown.
WindowPicture SheetScene();
// Captions and labels in Japanese (code page 932) and Korean (949) bytes.
WindowPicture JapaneseScene();
WindowPicture KoreanScene();
// The tray's popup menu.
WindowPicture MenuScene();
// The firmware updater's dialog in Traditional Chinese (950).
WindowPicture UpdaterScene();

// Ids of controls the structure tests look at.
constexpr int kCheckedBoxId = 1101;
constexpr int kHiddenEditId = 1199;
constexpr int kCaptionTextId = 1300;

// Finds a child by id anywhere in the tree (nullptr when absent), and its
// top-left corner in the root window's coordinates.
const WindowNode* FindNode(const WindowNode& root, int id, int* x, int* y);

}  // namespace draw_test
