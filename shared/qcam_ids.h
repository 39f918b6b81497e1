// Numbers and names shared by the driver and its user-mode clients: the
// private property ids and record size, the registry keys and value names,
// the CameraStatus bits, the effect numbers and the snapshot size list.
// Plain C++: both the kernel and the Win32 world include it.
#pragma once

#include <cstdint>

namespace qcam {

// ---- registry ---------------------------------------------------------------
// Kernel paths of the three keys; the user-mode view opens the same keys under
// HKEY_LOCAL_MACHINE (kUserCurrentKey, kUserDefaultKey).
constexpr const char16_t* kKeyCurrent = u"\\Registry\\MACHINE\\SOFTWARE\\Qorvane\\QCAM500\\CURRENT";
constexpr const char16_t* kKeyDefault = u"\\Registry\\MACHINE\\SOFTWARE\\Qorvane\\QCAM500\\DEFAULT";
constexpr const char16_t* kKeyUcam = u"\\Registry\\MACHINE\\SOFTWARE\\QORCAM\\UCAM";
constexpr const char* kKeyCurrentA = "\\Registry\\MACHINE\\SOFTWARE\\Qorvane\\QCAM500\\CURRENT";
constexpr const char* kKeyDefaultA = "\\Registry\\MACHINE\\SOFTWARE\\Qorvane\\QCAM500\\DEFAULT";
constexpr const char* kKeyUcamA = "\\Registry\\MACHINE\\SOFTWARE\\QORCAM\\UCAM";
constexpr const char* kUserCurrentKey = "SOFTWARE\\Qorvane\\QCAM500\\Current\\";
constexpr const char* kUserDefaultKey = "SOFTWARE\\Qorvane\\QCAM500\\Default\\";

// The 24 picture settings, in the order of the settings record.
constexpr int kPictureSettingCount = 24;
constexpr const char16_t* kPictureSettingNames[kPictureSettingCount] = {
    u"Brightness", u"Contrast", u"Gamma",     u"Hue",        u"Saturation",  u"Sharpness",
    u"Whitebalance", u"WhitebalanceAuto", u"BackLight", u"Exposure", u"ExposureAuto", u"Gain",
    u"GainAuto",   u"Banding",  u"Flip",      u"Mirror",     u"Outdoor",     u"LowLight",
    u"SnapShopSize", u"ColorEnable", u"Focus", u"FocusAuto", u"LEDCtrl",    u"Privacy"};

// ---- CameraStatus -------------------------------------------------------------
constexpr const char16_t* kValueCameraStatus = u"CameraStatus";
constexpr uint32_t kStatusStreaming = 0x001;      // capture is running
constexpr uint32_t kStatusButtonIdle = 0x002;     // button pressed while not streaming
constexpr uint32_t kStatusSnapshotReady = 0x008;  // Snap.dat was written
constexpr uint32_t kStatusButton2 = 0x100;        // button state 2
constexpr uint32_t kStatusButton4 = 0x200;        // button state 4

// ---- face tracking -------------------------------------------------------------
// Bits of the tracking word (word 1 of private property 4).
constexpr uint32_t kFaceTrackFaces = 0x1;    // find faces in every frame
constexpr uint32_t kFaceAutoFraming = 0x2;   // move the zoom window onto the face found
constexpr uint32_t kFaceDrawBox = 0x4;       // draw a box round the face found

// The tracker's seven parameters (values FTPROP01 .. FTPROP07) and its four
// sets of nine skin rules (FTPROP10 .. FTPROP48: set s + 1, rule k), with the
// built-in values the driver starts with and an installation writes. Only
// set 0 has built-in rules; the others start at zero.
constexpr int kFaceParamCount = 7;
constexpr int kSkinRuleSetCount = 4;
constexpr int kSkinRuleCount = 9;
constexpr int32_t kFaceParamDefaults[kFaceParamCount] = {50, 160, 10, 10, 5, 30, 50};
constexpr int32_t kSkinRuleSet0Defaults[kSkinRuleCount] = {1, 4, 50, -46, 0, 0, 46, -31, -4};
constexpr const char16_t* kFaceParamNames[kFaceParamCount] = {u"FTPROP01", u"FTPROP02", u"FTPROP03", u"FTPROP04",
                                                              u"FTPROP05", u"FTPROP06", u"FTPROP07"};
constexpr const char16_t* kSkinRuleNames[kSkinRuleSetCount][kSkinRuleCount] = {
    {u"FTPROP10", u"FTPROP11", u"FTPROP12", u"FTPROP13", u"FTPROP14", u"FTPROP15", u"FTPROP16", u"FTPROP17", u"FTPROP18"},
    {u"FTPROP20", u"FTPROP21", u"FTPROP22", u"FTPROP23", u"FTPROP24", u"FTPROP25", u"FTPROP26", u"FTPROP27", u"FTPROP28"},
    {u"FTPROP30", u"FTPROP31", u"FTPROP32", u"FTPROP33", u"FTPROP34", u"FTPROP35", u"FTPROP36", u"FTPROP37", u"FTPROP38"},
    {u"FTPROP40", u"FTPROP41", u"FTPROP42", u"FTPROP43", u"FTPROP44", u"FTPROP45", u"FTPROP46", u"FTPROP47", u"FTPROP48"}};

// ---- private property set ------------------------------------------------------
// The set's GUID {3DC2E820-4713-11D2-BA41-00A0C90D2B05} is declared by each
// world in its own terms: qcam_defs.h for the kernel, custom_camera_prop.h
// for user mode.
constexpr uint32_t kPrivateRecordSize = 1112;  // 24-byte header + 272 words
constexpr uint32_t kPrivateWordCount = 272;

enum PrivatePropertyId : uint32_t {
  kPrivDriverId = 0,
  kPrivFormatIndex = 1,
  kPrivPictureSize = 2,
  kPrivSpecialEffect = 3,
  kPrivFaceTracking = 4,
  kPrivValue5 = 5,
  kPrivMirror = 7,
  kPrivFlip = 8,
  kPrivZoomScale = 9,
  kPrivZoomX = 10,
  kPrivZoomY = 11,
  kPrivSnapshotSize = 12,
  kPrivZoomEnable = 13,
  kPrivCommand = 14,
  kPrivColorEnable = 15,
  kPrivTakeSnapshot = 16,
  kPrivOutdoor = 17,
  kPrivSettings = 18,
  kPrivLowLight = 19,
  kPrivLed = 20,
  kPrivRanges = 21,
};

constexpr uint32_t kDriverIdentification = 0x4302;

// ---- effects and frames ----------------------------------------------------------
constexpr uint32_t kEffectNone = 1;
constexpr uint32_t kEffectFirst = 2;
constexpr uint32_t kEffectLast = 21;
constexpr uint32_t kEffectCycle = 49;
constexpr uint32_t kFrameFirst = 51;
constexpr uint32_t kFrameLast = 61;
constexpr uint32_t kFrameUser = 99;

// ---- picture layouts -------------------------------------------------------------
enum FormatIndex : int32_t {
  kFormatI420 = 0,
  kFormatRGB24 = 1,
  kFormatYUY2 = 2,
  kFormatMJPG = 3,
};

// ---- snapshot sizes -----------------------------------------------------------------
constexpr int kSnapshotSizeCount = 15;
struct SnapshotSize {
  uint16_t width, height;
};
constexpr SnapshotSize kSnapshotSizes[kSnapshotSizeCount] = {
    {160, 120},   {176, 144},   {320, 240},   {352, 288},   {640, 480},
    {800, 600},   {1024, 768},  {1280, 720},  {1280, 800},  {1280, 960},
    {1280, 1024}, {1600, 1200}, {2304, 1728}, {2560, 1600}, {2560, 2048}};

// FourCC as a little-endian 32-bit word ("MJPG" -> 'M' in the low byte).
constexpr uint32_t FourCC(char a, char b, char c, char d) {
  return uint32_t(uint8_t(a)) | uint32_t(uint8_t(b)) << 8 | uint32_t(uint8_t(c)) << 16 | uint32_t(uint8_t(d)) << 24;
}
constexpr uint32_t kFourCC_MJPG = FourCC('M', 'J', 'P', 'G');
constexpr uint32_t kFourCC_YUY2 = FourCC('Y', 'U', 'Y', '2');
constexpr uint32_t kFourCC_I420 = FourCC('I', '4', '2', '0');
constexpr uint32_t kFourCC_IYUV = FourCC('I', 'Y', 'U', 'V');

}  // namespace qcam
