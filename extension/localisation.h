// Captions and page titles from the localisation file "QCAMCFG.ini" in the
// system directory: one section per language, chosen by the system's default
// language id, and section "Language" with the titles of the pages the
// video-source dialog shows.
#pragma once

#include <windows.h>

#include "extension/localisation_keys.h"

namespace qcamext {

enum class LocalisedPage { kCamera, kEffect, kZoom };

// The section of a language id (exact ids only, no primary-language match).
const char* LanguageSection(LANGID languageId);

// Sets every caption of the page's table from the current language's section
// (an empty or missing value empties the caption); changes nothing when the
// file does not exist.
void ApplyPageCaptions(HWND page, LocalisedPage kind);

// The page's title from the current language's section, converted with the
// ANSI code page; an empty string when the file or the value is missing.
void ReadPageTitle(LocalisedPage kind, WCHAR* title, int capacity);

// The three titles of section "Language" (camera, effect, zoom), read whether
// or not the file exists: a missing file reads as empty.
struct VfwPageTitles {
  char camera[kCaptionBufferSize];
  char effect[kCaptionBufferSize];
  char zoom[kCaptionBufferSize];
};
void ReadVfwPageTitles(VfwPageTitles* titles);

}  // namespace qcamext
