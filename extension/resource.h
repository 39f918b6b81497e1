// Resource ids of qcamext: dialog templates, string table entries and the
// control ids of the four property pages. The control ids are also the names
// of the localisation file's keys (IDC_VIDEO_SAVE...).
#pragma once

// ---- dialog templates ------------------------------------------------------
#define IDD_CAMERA_PAGE 106           // custom camera page, full (COM)
#define IDD_EFFECT_PAGE 107           // special effect page
#define IDD_DZOOM_PAGE 108            // digital zoom page (COM)
#define IDD_COMMAND_PAGE 109          // command page
#define IDD_DZOOM_PAGE_VFW 110        // digital zoom page (VfW dialog)
#define IDD_DZOOM_PAGE_VISTA 111      // digital zoom page on Windows 6.x
#define IDD_CAMERA_PAGE_SNAP 112      // custom camera page, snapshot variant (COM)
#define IDD_CAMERA_PAGE_LED 113       // custom camera page with LED and low light, no focus (COM)
#define IDD_CAMERA_PAGE_BANDING 114   // light-frequency group only (both paths)
#define IDD_CAMERA_PAGE_LED_FOCUS 115 // custom camera page with LED and low light (COM)
#define IDD_CAMERA_VFW 120            // custom camera page, full (VfW)
#define IDD_CAMERA_VFW_NOFOCUS 121    // full, focus hidden (VfW)
#define IDD_CAMERA_VFW_LED 122        // LED and low light, focus hidden (VfW)
#define IDD_CAMERA_VFW_LED_FOCUS 123  // LED and low light (VfW)
#define IDD_CAMERA_VFW_PRIVACY 124    // as 123 plus privacy (VfW, not selected)
#define IDD_CAMERA_PAGE_PRIVACY 125   // LED, low light and privacy (COM)
#define IDD_CAMERA_PAGE_PLAIN 126     // no mirror, flip or snapshot size (COM)

// ---- string table ------------------------------------------------------------
#define IDS_CAMERA_TITLE 4
#define IDS_EFFECT_TITLE 5
#define IDS_DZOOM_TITLE 6
#define IDS_COMMAND_TITLE 7

// ---- custom camera page --------------------------------------------------------
#define IDC_VIDEO_GAIN 1016
#define IDC_VIDEO_GAIN_AUTO 1086
#define IDC_VIDEO_MIRROR 1113
#define IDC_VIDEO_FLIP 1114
#define IDC_VIDEO_NUMBER 1115
#define IDC_VIDEO_BACKLIGHT 1116
#define IDC_VIDEO_SAVE 1118
#define ID_SNAPONE 1119
#define IDC_VIDEO_RELOAD 1131
#define IDC_VIDEO_DEFAULT 1132
#define IDC_VIDEO_LOWLIGHT 1133
#define IDC_VIDEO_GAIN_SLIDER 1138
#define IDC_VIDEO_EXPOSURE_AUTO 1154
#define IDC_VIDEO_EXPOSURE 1155
#define IDC_VIDEO_EXPOSURE_SLIDER 1156
#define IDC_VIDEO_EXPOSURE_TITLE 1159
#define IDC_VIDEO_GAIN_TITLE 1160
#define IDC_IMAGE_CONTROL 1161
#define IDC_AUTO_CONTROL 1162
#define IDC_VIDEO_SHARPNESS_TITLE 1163
#define IDC_VIDEO_SHARPNESS_SLIDER 1164
#define IDC_VIDEO_SHARPNESS 1165
#define IDC_VIDEO_SATURATION_SLIDER 1166
#define IDC_VIDEO_SATURATION 1167
#define IDC_VIDEO_SATURATION_TITLE 1168
#define IDC_VIDEO_HUE_TITLE 1169
#define IDC_VIDEO_HUE_SLIDER 1170
#define IDC_VIDEO_HUE 1171
#define IDC_VIDEO_GAMMA_TITLE 1172
#define IDC_VIDEO_GAMMA_SLIDER 1173
#define IDC_VIDEO_GAMMA 1174
#define IDC_VIDEO_CONTRAST_TITLE 1175
#define IDC_VIDEO_CONTRAST_SLIDER 1176
#define IDC_VIDEO_CONTRAST 1177
#define IDC_VIDEO_BRIGHTNESS_TITLE 1178
#define IDC_VIDEO_BRIGHTNESS_SLIDER 1179
#define IDC_VIDEO_BRIGHTNESS 1180
#define IDC_VIDEO_WHITEBALANCE_TITLE 1184
#define IDC_VIDEO_WHITEBALANCE_SLIDER 1185
#define IDC_VIDEO_WHITEBALANCE 1186
#define IDC_VIDEO_WHITEBALANCE_AUTO 1187
#define IDC_AUTO_TITLE 1188
#define IDC_BANDING_OFF_RADIO 1189
#define IDC_BANDING_50HZ_RADIO 1190
#define IDC_BANDING_60HZ_RADIO 1191
#define IDC_EXTRA_CONTROL 1192
#define IDC_VIDEO_FOCUS_TITLE 1193
#define IDC_VIDEO_COLORENABLE 1194
#define IDC_SETUP 1195
#define IDC_VIDEO_FOCUS_SLIDER 1196
#define IDC_VIDEO_FOCUS 1197
#define IDC_VIDEO_FOCUS_AUTO 1198
#define IDC_VIDEO_SNAPSHOP_TITLE 1199
#define IDC_VIDEO_LEDCTRL 1200
#define IDC_BANDING 1207
#define IDC_VIDEO_SNAPSHOP_SIZE 1208
#define IDC_BANDING_OUTDOOR_CHECK 1209
#define IDC_VIDEO_PRIVACY 1210

// ---- digital zoom page -------------------------------------------------------------
#define IDC_FACE_TRACKING 1116
#define IDC_ZOOM_OFFSET_UP 1138
#define IDC_ZOOM_OFFSET_DOWN 1139
#define IDC_ZOOM_OFFSET_RIGHT 1140
#define IDC_ZOOM_OFFSET_LEFT 1141
#define IDC_ZOOM_ENABLE 1142
#define IDC_ZOOM_SLIDER 1143
#define IDC_ZOOM_VALUE 1144
#define IDC_ZOOM_OFFSET_CENTER 1145
#define IDC_PAN_BLOCK 1199
#define IDC_ZOOM_BLOCK 1200
#define IDC_FACE_BLOCK 1202

// ---- special effect page -------------------------------------------------------------
#define IDC_UDFRAME_PATH 1125
#define IDC_SE_BLOCK 1166
#define IDC_FRAME_BLOCK 1201
#define IDC_UDFRAME_BROWSE 1205
#define IDC_UDFRAME_UPDATE 1206
#define IDC_SE_RADIO1 2001     // IDC_SE_RADIOn = 2000 + n, n = 1 ... 22
#define IDC_SE_RADIO22 2022
#define IDC_FRAME_RADIO1 3001  // IDC_FRAME_RADIOn = 3000 + n, n = 1 ... 12
#define IDC_FRAME_RADIO12 3012

// ---- command page -------------------------------------------------------------------
#define IDC_COMMAND_NUMBER 1125
#define IDC_REG_ADDRESS 1126
#define IDC_REG_VALUE 1127
#define IDC_SENSOR_ADDRESS 1128
#define IDC_SENSOR_VALUE 1129
#define IDC_COMMAND_APPLY 1204
#define IDC_REG_READ 1205
#define IDC_REG_WRITE 1206
#define IDC_SENSOR_READ 1207
#define IDC_SENSOR_WRITE 1208
