// Resource ids of QORBM.
#pragma once

#define IDD_QORTRAY_DIALOG 102
#define IDI_TRAY_ICON 136
#define IDR_TRAY_MENU 141

#define ID_MENU_50_HZ 32780
#define ID_MENU_60_HZ 32781
#define ID_MENU_EXIT 32798
