// The keys of the extension's localisation file "QCAMCFG.ini": one table per
// localised page, in the order the captions are applied, each key naming the
// control it labels, and the three page-title keys. Plain C++, so the
// installer and the tests read the same tables as the pages.
#pragma once

namespace qcamext {

struct CaptionKey {
  const char* key;
  int control;
};

constexpr CaptionKey kCameraPageCaptions[] = {
    {"IDC_VIDEO_EXPOSURE_TITLE", 1159},
    {"IDC_VIDEO_GAIN_TITLE", 1160},
    {"IDC_IMAGE_CONTROL", 1161},
    {"IDC_AUTO_CONTROL", 1162},
    {"IDC_VIDEO_SHARPNESS_TITLE", 1163},
    {"IDC_VIDEO_SATURATION_TITLE", 1168},
    {"IDC_VIDEO_HUE_TITLE", 1169},
    {"IDC_VIDEO_GAMMA_TITLE", 1172},
    {"IDC_VIDEO_CONTRAST_TITLE", 1175},
    {"IDC_VIDEO_BRIGHTNESS_TITLE", 1178},
    {"IDC_VIDEO_FLIP", 1114},
    {"IDC_VIDEO_MIRROR", 1113},
    {"IDC_VIDEO_LOWLIGHT", 1133},
    {"IDC_VIDEO_WHITEBALANCE_TITLE", 1184},
    {"IDC_AUTO_TITLE", 1188},
    {"IDC_BANDING", 1207},
    {"IDC_BANDING_50HZ_RADIO", 1190},
    {"IDC_BANDING_60HZ_RADIO", 1191},
    {"IDC_EXTRA_CONTROL", 1192},
    {"IDC_VIDEO_BACKLIGHT", 1116},
    {"IDC_VIDEO_COLORENABLE", 1194},
    {"IDC_SETUP", 1195},
    {"IDC_VIDEO_SAVE", 1118},
    {"IDC_VIDEO_RELOAD", 1131},
    {"IDC_VIDEO_DEFAULT", 1132},
    {"IDC_VIDEO_SNAPSHOP_TITLE", 1199},
    {"ID_SNAPONE", 1119},
    {"IDC_VIDEO_FOCUS_TITLE", 1193},
    {"IDC_BANDING_OUTDOOR_CHECK", 1209},
    {"IDC_VIDEO_LEDCTRL", 1200},
};

constexpr CaptionKey kZoomPageCaptions[] = {
    {"IDC_ZOOM_BLOCK", 1200},
    {"IDC_ZOOM_OFFSET_UP", 1138},
    {"IDC_ZOOM_OFFSET_DOWN", 1139},
    {"IDC_ZOOM_OFFSET_RIGHT", 1140},
    {"IDC_ZOOM_OFFSET_LEFT", 1141},
    {"IDC_ZOOM_OFFSET_CENTER", 1145},
    {"IDC_ZOOM_ENABLE", 1142},
    {"IDC_PAN_BLOCK", 1199},
    {"IDC_FACE_BLOCK", 1202},
    {"IDC_FACE_TRACKING", 1116},
};

constexpr CaptionKey kEffectPageCaptions[] = {
    {"IDC_SE_BLOCK", 1166},
    {"IDC_SE_RADIO1", 2001},
    {"IDC_SE_RADIO2", 2002},
    {"IDC_SE_RADIO3", 2003},
    {"IDC_SE_RADIO4", 2004},
    {"IDC_SE_RADIO5", 2005},
    {"IDC_SE_RADIO6", 2006},
    {"IDC_SE_RADIO7", 2007},
    {"IDC_SE_RADIO8", 2008},
    {"IDC_SE_RADIO9", 2009},
    {"IDC_SE_RADIO10", 2010},
    {"IDC_SE_RADIO11", 2011},
    {"IDC_SE_RADIO12", 2012},
    {"IDC_SE_RADIO13", 2013},
    {"IDC_SE_RADIO14", 2014},
    {"IDC_SE_RADIO15", 2015},
    {"IDC_SE_RADIO16", 2016},
    {"IDC_SE_RADIO17", 2017},
    {"IDC_SE_RADIO18", 2018},
    {"IDC_SE_RADIO19", 2019},
    {"IDC_SE_RADIO20", 2020},
    {"IDC_SE_RADIO21", 2021},
    {"IDC_SE_RADIO22", 2022},
    {"IDC_FRAME_BLOCK", 1201},
    {"IDC_FRAME_RADIO1", 3001},
    {"IDC_FRAME_RADIO2", 3002},
    {"IDC_FRAME_RADIO3", 3003},
    {"IDC_FRAME_RADIO4", 3004},
    {"IDC_FRAME_RADIO5", 3005},
    {"IDC_FRAME_RADIO6", 3006},
    {"IDC_FRAME_RADIO7", 3007},
    {"IDC_FRAME_RADIO8", 3008},
    {"IDC_FRAME_RADIO9", 3009},
    {"IDC_FRAME_RADIO10", 3010},
    {"IDC_FRAME_RADIO11", 3011},
    {"IDC_FRAME_RADIO12", 3012},
    {"IDC_UDFRAME_UPDATE", 1206},
};

// Page titles: in each language section for the property frame, and in
// section "Language" for the video-source dialog, where an empty title
// leaves the page out.
constexpr const char* kTitleSection = "Language";
constexpr const char* kCameraTitleKey = "IDD_CAMERA_PAGE_TITLE";
constexpr const char* kEffectTitleKey = "IDD_EFFECT_PAGE_TITLE";
constexpr const char* kZoomTitleKey = "IDD_DZOOM_PAGE_TITLE";

// The file in the system directory, and the size of the buffer every value
// is read into (so a caption keeps at most 59 bytes).
constexpr const char* kLocalisationFileName = "QCAMCFG.ini";
constexpr int kCaptionBufferSize = 60;

// Language ids with a section of their own; any other id reads
// "LANG_ENGLISH".
struct LanguageSectionName {
  unsigned short languageId;
  const char* section;
};
constexpr LanguageSectionName kLanguageSections[] = {
    {1028, "LANG_CHINESE_T"}, {1031, "LANG_GERMAN"},   {1034, "LANG_SPANISH"},    {1036, "LANG_FRENCH"},
    {1040, "LANG_ITALIAN"},   {1041, "LANG_JAPANESE"}, {1042, "LANG_KOREAN"},     {1043, "LANG_DUTCH"},
    {1046, "LANG_PORTUGUESE"}, {1053, "LANG_SWEDISH"}, {2052, "LANG_CHINESE_S"},
};
constexpr const char* kDefaultLanguageSection = "LANG_ENGLISH";

}  // namespace qcamext
