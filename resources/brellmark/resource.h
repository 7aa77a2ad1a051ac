// Resource identifiers of Brellmark. Plain #defines so that the portable
// rule classes can report message ids without any platform header.
#pragma once

// Icons, bitmaps, clips, menus
#define IDR_MAINFRAME 128
#define IDB_BANNER 131
#define IDR_BUSY_AVI 135
#define IDR_LIST_MENU 143

// Dialog templates
#define IDD_ABOUTBOX 100
#define IDD_BRELLMARK_DIALOG 102
#define IDD_NO_SERVERS 129
#define IDD_ADMIN_LOGIN 130
#define IDD_BASIC_CONFIG 132
#define IDD_DETAILS 133

// Main window controls
#define IDC_SERVER_LIST 1000
#define IDC_CONFIGURE 1001
#define IDC_DETAILS 1002
#define IDC_MAP_DRIVE 1003
#define IDC_REFRESH 1004
#define IDC_HELP_BUTTON 1005
#define IDC_EXIT 1006

// About box
#define IDC_ABOUT_VERSION 1007
#define IDC_ABOUT_TEXT 1008

// Administrator login
#define IDC_ADMIN_NAME 1010
#define IDC_ADMIN_PASSWORD 1011

// Basic configuration
#define IDC_SERVER_NAME 1020
#define IDC_MONTH 1021
#define IDC_DAY 1022
#define IDC_YEAR 1023
#define IDC_HOUR 1024
#define IDC_MINUTE 1025
#define IDC_SECOND 1026
#define IDC_DHCP 1027
#define IDC_FIXED_IP 1028
#define IDC_IP_ADDRESS 1029
#define IDC_NETMASK 1030
#define IDC_GATEWAY 1031

// Details
#define IDC_DETAILS_LIST 1040

// Commands
#define IDM_ABOUTBOX 0x0010
#define IDM_HELP 0x0011
#define ID_RUN_WIZARD 32771
#define ID_SETUP_ANSWER 32780

// Strings: menus, captions, columns
#define IDS_ABOUTBOX 101
#define IDS_HELP_MENU 102
#define IDS_APP_TITLE 103
#define IDS_CAPTION_ERROR 104
#define IDS_CAPTION_WARNING 105
#define IDS_WINSOCK_FAILED 106
#define IDS_COL_NAME 110
#define IDS_COL_IP 111
#define IDS_COL_WORKGROUP 112
#define IDS_COL_VERSION 113
#define IDS_COL_STATE 114
#define IDS_STATE_NOT_CONFIGURED 115
#define IDS_STATE_CONFIGURED 116
#define IDS_STATE_UNKNOWN 117
#define IDS_SETUP_QUESTION 118

// Strings: configure flow
#define IDS_LOGIN_REFUSED 120
#define IDS_RESTART_QUESTION 121
#define IDS_SETUP_BUSY 122
#define IDS_WRITE_CONFIG_ERROR 123
#define IDS_SERVER_DISCONNECTED 124

// Strings: basic configuration checks
#define IDS_INVALID_NAME 130
#define IDS_NAME_EMPTY 131
#define IDS_NAME_ALL_DIGITS 132
#define IDS_INVALID_YEAR 133
#define IDS_INVALID_MONTH 134
#define IDS_INVALID_DAY 135
#define IDS_INVALID_HOUR 136
#define IDS_INVALID_MINUTE 137
#define IDS_INVALID_SECOND 138
#define IDS_ADDRESS_NULL 139

// Strings: details
#define IDS_DET_STATUS 150
#define IDS_DET_VALUE 151
#define IDS_DET_SERVER_NAME 152
#define IDS_DET_WORKGROUP 153
#define IDS_DET_VERSION 154
#define IDS_DET_MAC 155
#define IDS_DET_DHCP 156
#define IDS_DET_IP 157
#define IDS_DET_NETMASK 158
#define IDS_DET_GATEWAY 159
#define IDS_DET_ENABLED 160
#define IDS_DET_DISABLED 161
#define IDS_DET_WAN 162
#define IDS_DET_LAN 163
#define IDS_DET_CONN_TYPE 164
#define IDS_DET_CT_DHCP 165
#define IDS_DET_CT_STATIC 166
#define IDS_DET_CT_PPPOE 167
#define IDS_DET_CT_PPTP 168
#define IDS_DET_DISK_STATUS 169
#define IDS_DET_DISK_INITIALIZED 170
#define IDS_DET_DISK_NOT_INITIALIZED 171
#define IDS_DET_DISK_MODEL 172
#define IDS_DET_DISK_CAPACITY 173
#define IDS_NO_ADDRESS 174
