// Fonts, device contexts and stock objects.
#include "platform/win32/gdi_objects.h"

#include <cstring>
#include <map>
#include <mutex>

#include "platform/win32/text.h"
#include "platform/win32/window_manager.h"

namespace platform {
namespace win32 {
namespace {

enum class Kind { Font, Brush, DeviceContext };

struct GdiObject {
  Kind kind = Kind::Font;
  bool stock = false;
  FontInfo font;
  HWND window = nullptr;        // device contexts
  HGDIOBJ selectedFont = nullptr;
};

struct GdiTable {
  std::mutex lock;
  std::map<uintptr_t, GdiObject> objects;
  uintptr_t next = 0x30000;
  GdiTable() {
    // Stock objects at fixed places: 0x2000 + the GetStockObject index.
    for (int i = 0; i <= 17; ++i) {
      GdiObject o;
      o.stock = true;
      o.kind = i <= NULL_BRUSH ? Kind::Brush : Kind::Font;
      o.font.face = i == SYSTEM_FONT ? "System" : i == DEFAULT_GUI_FONT ? "MS Shell Dlg" : "Courier";
      o.font.pointSize = i == SYSTEM_FONT ? 10 : 8;
      o.font.weight = i == SYSTEM_FONT ? FW_BOLD : FW_NORMAL;
      objects[0x2000 + uintptr_t(i)] = o;
    }
  }
};
GdiTable& G() {
  static GdiTable* g = new GdiTable;
  return *g;
}

void* Add(const GdiObject& o) {
  GdiTable& g = G();
  std::lock_guard<std::mutex> hold(g.lock);
  const uintptr_t h = g.next;
  g.next += 4;
  g.objects[h] = o;
  return reinterpret_cast<void*>(h);
}

int PointSizeOfHeight(LONG height) {
  if (height == 0) return 8;
  const LONG pixels = height < 0 ? -height : height;
  return int((pixels * 72 + 48) / 96);
}

}  // namespace

HFONT CreateFontObject(const FontInfo& info) {
  GdiObject o;
  o.kind = Kind::Font;
  o.font = info;
  return static_cast<HFONT>(Add(o));
}

bool DescribeFont(HFONT font, FontInfo* info) {
  GdiTable& g = G();
  std::lock_guard<std::mutex> hold(g.lock);
  auto it = g.objects.find(reinterpret_cast<uintptr_t>(font));
  if (it == g.objects.end() || it->second.kind != Kind::Font) return false;
  *info = it->second.font;
  return true;
}

HFONT SystemFont() { return reinterpret_cast<HFONT>(uintptr_t(0x2000 + SYSTEM_FONT)); }

}  // namespace win32
}  // namespace platform

using namespace platform::win32;

HFONT WINAPI CreateFontIndirectA(const LOGFONTA* lplf) {
  if (!lplf) return SetLastError(ERROR_INVALID_PARAMETER), nullptr;
  FontInfo info;
  info.face.assign(lplf->lfFaceName, strnlen(lplf->lfFaceName, LF_FACESIZE));
  info.pointSize = PointSizeOfHeight(lplf->lfHeight);
  info.weight = lplf->lfWeight ? int(lplf->lfWeight) : FW_NORMAL;
  info.italic = lplf->lfItalic != 0;
  info.charset = lplf->lfCharSet;
  return CreateFontObject(info);
}

HFONT WINAPI CreateFontIndirectW(const LOGFONTW* lplf) {
  if (!lplf) return SetLastError(ERROR_INVALID_PARAMETER), nullptr;
  LOGFONTA a;
  std::memcpy(&a, lplf, offsetof(LOGFONTA, lfFaceName));
  std::wstring face;
  for (int i = 0; i < LF_FACESIZE && lplf->lfFaceName[i]; ++i) face.push_back(lplf->lfFaceName[i]);
  std::memset(a.lfFaceName, 0, sizeof a.lfFaceName);
  CopyOut(WideToAnsiText(face), a.lfFaceName, LF_FACESIZE);
  return CreateFontIndirectA(&a);
}

HFONT WINAPI CreateFontA(int cHeight, int cWidth, int cEscapement, int cOrientation, int cWeight, DWORD bItalic,
                         DWORD bUnderline, DWORD bStrikeOut, DWORD iCharSet, DWORD iOutPrecision,
                         DWORD iClipPrecision, DWORD iQuality, DWORD iPitchAndFamily, LPCSTR pszFaceName) {
  LOGFONTA lf;
  std::memset(&lf, 0, sizeof lf);
  lf.lfHeight = cHeight;
  lf.lfWidth = cWidth;
  lf.lfWeight = cWeight;
  lf.lfItalic = BYTE(bItalic);
  lf.lfCharSet = BYTE(iCharSet);
  if (pszFaceName) CopyOut(pszFaceName, lf.lfFaceName, LF_FACESIZE);
  return CreateFontIndirectA(&lf);
}

int WINAPI GetObjectA(HANDLE h, int c, LPVOID pv) {
  FontInfo info;
  if (!DescribeFont(static_cast<HFONT>(h), &info)) return SetLastError(ERROR_INVALID_HANDLE), 0;
  if (!pv) return int(sizeof(LOGFONTA));
  if (c < int(sizeof(LOGFONTA))) return SetLastError(ERROR_INSUFFICIENT_BUFFER), 0;
  LOGFONTA* lf = static_cast<LOGFONTA*>(pv);
  std::memset(lf, 0, sizeof *lf);
  lf->lfHeight = -LONG((info.pointSize * 96 + 36) / 72);
  lf->lfWeight = info.weight;
  lf->lfItalic = info.italic ? 1 : 0;
  lf->lfCharSet = BYTE(info.charset);
  CopyOut(info.face, lf->lfFaceName, LF_FACESIZE);
  return int(sizeof(LOGFONTA));
}

HGDIOBJ WINAPI GetStockObject(int i) {
  if (i < 0 || i > DEFAULT_GUI_FONT || i == 6 || i == 7 || i == 8 || i == 9 || i == 15) return nullptr;
  return reinterpret_cast<HGDIOBJ>(uintptr_t(0x2000 + i));
}

BOOL WINAPI DeleteObject(HGDIOBJ ho) {
  GdiTable& g = G();
  std::lock_guard<std::mutex> hold(g.lock);
  auto it = g.objects.find(reinterpret_cast<uintptr_t>(ho));
  if (it == g.objects.end() || it->second.kind == Kind::DeviceContext) return FALSE;
  if (!it->second.stock) g.objects.erase(it);
  return TRUE;
}

HDC WINAPI GetDC(HWND hWnd) {
  if (hWnd && !CheckWindow(hWnd)) return nullptr;
  GdiObject o;
  o.kind = Kind::DeviceContext;
  o.window = hWnd;
  o.selectedFont = SystemFont();
  return static_cast<HDC>(Add(o));
}

int WINAPI ReleaseDC(HWND hWnd, HDC hDC) {
  GdiTable& g = G();
  std::lock_guard<std::mutex> hold(g.lock);
  auto it = g.objects.find(reinterpret_cast<uintptr_t>(hDC));
  if (it == g.objects.end() || it->second.kind != Kind::DeviceContext || it->second.window != hWnd) return 0;
  g.objects.erase(it);
  return 1;
}

HGDIOBJ WINAPI SelectObject(HDC hdc, HGDIOBJ h) {
  GdiTable& g = G();
  std::lock_guard<std::mutex> hold(g.lock);
  auto dc = g.objects.find(reinterpret_cast<uintptr_t>(hdc));
  auto obj = g.objects.find(reinterpret_cast<uintptr_t>(h));
  if (dc == g.objects.end() || dc->second.kind != Kind::DeviceContext || obj == g.objects.end()) return nullptr;
  if (obj->second.kind != Kind::Font) return h;  // brushes are not tracked
  HGDIOBJ previous = dc->second.selectedFont;
  dc->second.selectedFont = h;
  return previous;
}

int WINAPI GetDeviceCaps(HDC hdc, int index) {
  switch (index) {
    case LOGPIXELSX: case LOGPIXELSY: return 96;
    case HORZRES: return kScreenWidth;
    case VERTRES: return kScreenHeight;
    case BITSPIXEL: return 32;
    default: return 0;
  }
}
