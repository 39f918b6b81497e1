#include "extension/localisation.h"

#include <cstdio>

namespace qcamext {
namespace {

// "%s\QCAMCFG.ini" in the system directory.
void LocalisationFilePath(char* path, size_t capacity) {
  char directory[MAX_PATH];
  UINT length = GetSystemDirectoryA(directory, MAX_PATH);
  if (length == 0 || length >= MAX_PATH) directory[0] = 0;
  std::snprintf(path, capacity, "%s\\%s", directory, kLocalisationFileName);
}

bool FileExists(const char* path) {
  WIN32_FIND_DATAA found;
  HANDLE search = FindFirstFileA(path, &found);
  if (search == INVALID_HANDLE_VALUE) return false;
  FindClose(search);
  return true;
}

template <size_t N>
void ApplyCaptionTable(HWND page, const CaptionKey (&table)[N], const char* path) {
  for (const CaptionKey& caption : table) {
    char value[kCaptionBufferSize];
    GetPrivateProfileStringA(LanguageSection(GetSystemDefaultLangID()), caption.key, "", value, sizeof(value),
                             path);
    SetDlgItemTextA(page, caption.control, value);
  }
}

const char* TitleKey(LocalisedPage kind) {
  switch (kind) {
    case LocalisedPage::kCamera:
      return kCameraTitleKey;
    case LocalisedPage::kEffect:
      return kEffectTitleKey;
    case LocalisedPage::kZoom:
      break;
  }
  return kZoomTitleKey;
}

}  // namespace

const char* LanguageSection(LANGID languageId) {
  for (const LanguageSectionName& entry : kLanguageSections) {
    if (entry.languageId == languageId) return entry.section;
  }
  return kDefaultLanguageSection;
}

void ApplyPageCaptions(HWND page, LocalisedPage kind) {
  char path[MAX_PATH + 16];
  LocalisationFilePath(path, sizeof(path));
  if (!FileExists(path)) return;
  switch (kind) {
    case LocalisedPage::kCamera:
      ApplyCaptionTable(page, kCameraPageCaptions, path);
      break;
    case LocalisedPage::kEffect:
      ApplyCaptionTable(page, kEffectPageCaptions, path);
      break;
    case LocalisedPage::kZoom:
      ApplyCaptionTable(page, kZoomPageCaptions, path);
      break;
  }
}

void ReadPageTitle(LocalisedPage kind, WCHAR* title, int capacity) {
  title[0] = 0;
  char path[MAX_PATH + 16];
  LocalisationFilePath(path, sizeof(path));
  char value[kCaptionBufferSize];
  GetPrivateProfileStringA(LanguageSection(GetSystemDefaultLangID()), TitleKey(kind), "", value, sizeof(value),
                           path);
  if (value[0] && MultiByteToWideChar(CP_ACP, 0, value, -1, title, capacity) == 0) title[0] = 0;
}

void ReadVfwPageTitles(VfwPageTitles* titles) {
  char path[MAX_PATH + 16];
  LocalisationFilePath(path, sizeof(path));
  GetPrivateProfileStringA(kTitleSection, kCameraTitleKey, "", titles->camera, sizeof(titles->camera), path);
  GetPrivateProfileStringA(kTitleSection, kEffectTitleKey, "", titles->effect, sizeof(titles->effect), path);
  GetPrivateProfileStringA(kTitleSection, kZoomTitleKey, "", titles->zoom, sizeof(titles->zoom), path);
}

}  // namespace qcamext
