// Resource ids of Vantrell.exe, shared by the resource script and the code.
#pragma once

#define IDS_APP_TITLE 123
#define IDC_VANTRELL 109
#define IDI_VANTRELL 107
#define IDB_PICTURE 5005
#define IDD_INPUT_NUMBER 34202
#define IDC_NUMBER_SLIDER 34201
#define IDC_NUMBER_BOX 1005

#define IDM_CHART 34400
#define IDM_CLOSE 105
#define IDM_BOX_REVERSE 34102
#define IDM_DATA_EXPAND_OFF 34211
#define IDM_SHOW_LINES 34104
#define IDM_FIGURE_LENGTH 34105
#define IDM_SCROLL_BACK 34106
#define IDM_OPTIONS 34300
#define IDM_SAVE_SETTINGS 34500
