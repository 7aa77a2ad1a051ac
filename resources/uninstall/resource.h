// Resource identifiers of the uninstaller (kivouninstall.exe). Plain #defines.
#pragma once

// Icon, bitmaps and clips
#define IDR_UNINSTALL_ICON 128
#define IDB_CHECK 129
#define IDR_STEP_AVI 130

// Dialog templates
#define IDD_PROGRESS 300
#define IDD_SHARED_FILE 301
#define IDD_RESULT 302

// Controls
#define IDC_PROGRESS_TEXT 1100
#define IDC_PROGRESS_BAR 1101
#define IDC_ANIMATION 1102
#define IDC_DONE_TEXT 1103
// The label of step n is IDC_STEP1 + n - 1, its check mark IDC_CHECK1 + n - 1.
#define IDC_STEP1 1111
#define IDC_STEP2 1112
#define IDC_STEP3 1113
#define IDC_STEP4 1114
#define IDC_STEP5 1115
#define IDC_STEP6 1116
#define IDC_CHECK1 1121
#define IDC_CHECK2 1122
#define IDC_CHECK3 1123
#define IDC_CHECK4 1124
#define IDC_CHECK5 1125
#define IDC_CHECK6 1126
#define IDC_SHARED_NAME 1130
#define IDC_SHARED_DIR 1131
#define IDC_SHARED_YES 1132
#define IDC_SHARED_YES_ALL 1133
#define IDC_SHARED_NO 1134
#define IDC_SHARED_NO_ALL 1135
#define IDC_RESULT_TEXT 1140
#define IDC_RESULT_TEXT2 1141
#define IDC_RESTART_NOW 1142
#define IDC_RESTART_LATER 1143
#define IDC_DISK_TEXT 1144
#define IDC_REFUSED 1145
#define IDC_FINISH 1146

// Strings
#define IDS_CONFIRM 100
#define IDS_UNINSTALL 101
#define IDS_CONFIRM_CAPTION 102
#define IDS_PROGRESS_TEXT 103
#define IDS_COMPLETED 104
#define IDS_SUCCESS 105
#define IDS_MUST_RESTART 106
#define IDS_REMOVE_DISK 107
#define IDS_FAILURE 108
#define IDS_FAILURE_MORE 109
#define IDS_REFUSED_HEAD 110
#define IDS_REFUSED_FOLDER 111
#define IDS_REFUSED_FILE 112
#define IDS_REFUSED_KEY 113
