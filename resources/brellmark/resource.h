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
#define IDD_ROUTER_CONFIG 134

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

// Basic configuration of a router-type server (with the System and WAN
// address boxes above)
#define IDC_PPPOE 1032
#define IDC_PPTP 1033
#define IDC_PPPOE_USER 1034
#define IDC_PPPOE_PASSWORD 1035
#define IDC_PPTP_SERVER 1036
#define IDC_PPTP_USER 1037
#define IDC_PPTP_PASSWORD 1038
#define IDC_LAN_IP 1050
#define IDC_LAN_NETMASK 1051
#define IDC_LAN_GATEWAY 1052
#define IDC_DHCP_SERVER 1053
#define IDC_DHCP_START 1054
#define IDC_DHCP_END 1055

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
#define IDS_NULL_USER_NAME 140
#define IDS_TEXT_TOO_LONG 141

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

// Account import (dialogs, controls, strings, commands)
#define IDD_IMPORT_STATUS 141
#define IDD_IMPORT_RESULT 142
#define IDC_IMPORT_FILE 1500
#define IDC_IMPORT_PROGRESS 1501
#define IDC_IMPORT_PERCENT 1502
#define IDC_IMPORT_LIST 1503
#define IDS_IMPORT_BAD_FORMAT 1500
#define IDS_IMPORT_SUCCESS 1501
#define IDS_IMPORT_COL_TYPE 1502
#define IDS_IMPORT_COL_COMMAND 1503
#define IDS_IMPORT_MENU 1504
#define IDS_IMPORT_FILTER 1505
#define IDS_IMPORT_FILE_ERROR 1506
#define ID_IMPORT_USERS 32800
#define IDM_IMPORT 0x0020

/////////////////////////////////////////////////////////////////////////////
// Quick configuration wizard: dialogs 200-259, controls and strings 2000-2999

// Bitmaps and clips of the wizard
#define IDB_WIZ_CHECK 200
#define IDR_WIZ_ROW_AVI 201
#define IDB_WIZ_WATERMARK 202
#define IDB_WIZ_WATERMARK16 203
#define IDB_WIZ_HEADER 204
#define IDB_WIZ_HEADER16 205

// Pages
#define IDD_WIZ_HEAD 200
#define IDD_WIZ_STEP1 201
#define IDD_WIZ_STEP2 202
#define IDD_WIZ_STEP3 203
#define IDD_WIZ_STEP4 204
#define IDD_WIZ_STEP5 205
#define IDD_WIZ_STEP6 206
#define IDD_WIZ_TAIL 207
#define IDD_WIZ_PROGRESS 208
#define IDD_WIZ_FINISH 209
#define IDD_WIZ_FAIL 210

// Controls
#define IDC_WIZ_NAME 2000
#define IDC_WIZ_PASSWORD 2010
#define IDC_WIZ_VERIFY 2011
#define IDC_WIZ_KEEP_PASSWORD 2012
#define IDC_WIZ_TIME_ZONE 2020
#define IDC_WIZ_SET_CLOCK 2021
#define IDC_WIZ_DATE 2022
#define IDC_WIZ_TIME 2023
#define IDC_WIZ_USE_NTP 2024
#define IDC_WIZ_NTP_SERVER 2025
#define IDC_WIZ_ENCODING 2030
#define IDC_WIZ_DHCP 2040
#define IDC_WIZ_STATIC 2041
#define IDC_WIZ_IP 2042
#define IDC_WIZ_NETMASK 2043
#define IDC_WIZ_GATEWAY 2044
#define IDC_WIZ_DNS1 2045
#define IDC_WIZ_DNS2 2046
#define IDC_WIZ_DISK_MODEL 2050
#define IDC_WIZ_DISK_CAPACITY 2051
#define IDC_WIZ_INIT_DISK 2052
#define IDC_WIZ_KEEP_DISK 2053
#define IDC_WIZ_SUMMARY 2060
#define IDC_WIZ_PROGRESS 2070
#define IDC_WIZ_COMPLETE 2071
// Row k (1 to 7) of the applying page: label 2080+k, clip 2090+k, check 2100+k.
#define IDC_WIZ_ROW_LABEL 2080
#define IDC_WIZ_ROW_ANIM 2090
#define IDC_WIZ_ROW_CHECK 2100
// Finish page
#define IDC_WIZ_MAP_DRIVE 2110

// The not-configured prompt (a dialog of its own, beside the wizard it starts)
#define IDD_SETUP_PROMPT 211
#define IDC_PROMPT_ICON 2120
#define IDC_PROMPT_TEXT 2121
#define IDC_PROMPT_DONT_ASK 2122

// Commands the dispatcher sends to the applying page
#define ID_WIZ_NAME_DONE 32781
#define ID_WIZ_PASSWORD_DONE 32782
#define ID_WIZ_DATETIME_DONE 32783
#define ID_WIZ_ENCODING_DONE 32784
#define ID_WIZ_NETWORK_DONE 32785
#define ID_WIZ_DISK_DONE 32786
#define ID_WIZ_FINISH_DONE 32787
#define ID_WIZ_COMPLETE 32789
#define ID_WIZ_DISK_PROGRESS 32790

// Strings: titles
#define IDS_WIZ_CAPTION 2000
#define IDS_WIZ_TITLE_WELCOME 2001
#define IDS_WIZ_TITLE_STEP1 2002
#define IDS_WIZ_TITLE_STEP2 2003
#define IDS_WIZ_TITLE_STEP3 2004
#define IDS_WIZ_TITLE_STEP4 2005
#define IDS_WIZ_TITLE_STEP5 2006
#define IDS_WIZ_TITLE_STEP6 2007
#define IDS_WIZ_TITLE_FINISH 2008

// Strings: checks and questions
#define IDS_WIZ_NAME_EMPTY 2010
#define IDS_WIZ_NAME_ALL_DIGITS 2011
#define IDS_WIZ_NAME_ILLEGAL 2012
#define IDS_WIZ_PASSWORD_WRONG 2013
#define IDS_WIZ_NO_DISK 2014
#define IDS_WIZ_FORMAT_WARNING 2015
#define IDS_WIZ_NO_RESPONSE 2016

// Strings: summary
#define IDS_WIZ_SUM_STATUS 2020
#define IDS_WIZ_SUM_VALUE 2021
#define IDS_WIZ_SUM_NAME 2022
#define IDS_WIZ_SUM_TIME_ZONE 2023
#define IDS_WIZ_SUM_ENCODING 2024
#define IDS_WIZ_SUM_NETWORK 2025
#define IDS_WIZ_SUM_DISK 2026
#define IDS_WIZ_SUM_DNS1 2027
#define IDS_WIZ_SUM_DNS2 2028
#define IDS_WIZ_SUM_DHCP 2029
#define IDS_WIZ_SUM_STATIC 2030
#define IDS_WIZ_SUM_YES 2031
#define IDS_WIZ_SUM_NO 2032

// Strings: filename encodings, in table order
#define IDS_WIZ_ENC_CHS 2040
#define IDS_WIZ_ENC_CHT 2041
#define IDS_WIZ_ENC_CYRILLIC 2042
#define IDS_WIZ_ENC_ENGLISH 2043
#define IDS_WIZ_ENC_GREEK 2044
#define IDS_WIZ_ENC_ICELANDIC 2045
#define IDS_WIZ_ENC_JAPANESE 2046
#define IDS_WIZ_ENC_KOREAN 2047
#define IDS_WIZ_ENC_LATIN2 2048
#define IDS_WIZ_ENC_LATIN1 2049

// ---------------------------------------------------------------------------
// Drive mapping: share selection, credentials, drive letter

#define IDD_SELECT_SHARE 260
#define IDD_CONNECT 261
#define IDD_CONNECT_SHORT 262
#define IDD_DRIVE_LETTER 263

#define IDC_SHARE_LIST 3000
#define IDC_MAP_NETWORK_DRIVE 3001
#define IDC_CONNECT_SERVER 3002
#define IDC_CONNECT_SHARE_LABEL 3003
#define IDC_CONNECT_SHARE 3004
#define IDC_CONNECT_USER 3005
#define IDC_CONNECT_PASSWORD 3006
#define IDC_DRIVE_LETTER 3007
#define IDC_DRIVE_PATH 3008

#define IDS_CONNECT_ACCESS_DENIED 3000
#define IDS_CONNECT_NO_SERVER 3001
#define IDS_CONNECT_CREDENTIAL_CONFLICT 3002
#define IDS_CONNECT_UNREACHABLE 3003
#define IDS_CONNECT_READ_ONLY 3004
#define IDS_CONNECT_LOGON_FAILURE 3005
#define IDS_CONNECT_FAILED 3006
#define IDS_CONNECT_RELOGIN 3007

// ---------------------------------------------------------------------------
// Discovery: find by address and the discovery report

#define IDD_FIND_ADDRESS 300
#define IDD_DISCOVERY_REPORT 301

#define IDC_FIND_ADDRESS 3500
#define IDC_REPORT_LIST 3501
#define IDC_REPORT_SUMMARY 3502
#define IDC_REPORT_HINTS 3503
#define IDC_REPORT_FIND 3504

#define IDS_FIND_MENU 3600
#define IDS_REPORT_MENU 3601
#define IDS_FIND_EMPTY 3602
#define IDS_FIND_UNRESOLVED 3603
#define IDS_FIND_UNSPECIFIED 3604
#define IDS_FIND_LOOPBACK 3605
#define IDS_FIND_MULTICAST 3606
#define IDS_FIND_BROADCAST 3607
#define IDS_FIND_OWN_ADDRESS 3608
#define IDS_FIND_LISTED 3609
#define IDS_FIND_SEND_FAILED 3610
#define IDS_FIND_NO_ANSWER 3611
#define IDS_REPORT_COL_ADAPTER 3612
#define IDS_REPORT_COL_NETMASK 3613
#define IDS_REPORT_COL_SENT_TO 3614
#define IDS_REPORT_COL_REPLIES 3615
#define IDS_REPORT_COL_LISTED 3616
#define IDS_REPORT_LIMITED 3617
#define IDS_REPORT_TYPED 3618
#define IDS_REPORT_SEND_ERROR 3619
#define IDS_REPORT_NONE 3620
#define IDS_REPORT_RUNNING 3621
#define IDS_REPORT_FINISHED 3622
#define IDS_HINT_NO_ADAPTER 3623
#define IDS_HINT_NOTHING 3624
#define IDS_HINT_VPN 3625
#define IDS_HINT_OTHER_SUBNET 3626
#define IDS_HINT_SEND_FAILED 3627
#define IDS_HINT_TYPED_SILENT 3628
#define IDS_HINT_RUNNING 3629
#define IDS_REPORT_NO_HINTS 3630

// The list's menu and the system menu (system-menu ids are multiples of 16)
#define ID_FIND_ADDRESS 32810
#define ID_DISCOVERY_REPORT 32811
#define IDM_FIND_ADDRESS 0x0030
#define IDM_DISCOVERY_REPORT 0x0040

// ---------------------------------------------------------------------------
// Waking a sleeping server: the remembered servers and wake-on-LAN

#define IDD_WAKE_UP 320

#define IDC_WAKE_LIST 3900
#define IDC_WAKE_FORGET 3901
#define IDC_WAKE_INTRO 3902

#define IDS_WAKE_MENU 3920
#define IDS_WAKE_COL_NAME 3921
#define IDS_WAKE_COL_MAC 3922
#define IDS_WAKE_COL_ADDRESS 3923
#define IDS_WAKE_COL_SEEN 3924
#define IDS_WAKE_NONE 3925
#define IDS_WAKE_ANSWERED 3926
#define IDS_WAKE_SILENT 3927
#define IDS_WAKE_LISTED 3928
#define IDS_WAKE_SEND_FAILED 3929

// The list's menu and the system menu (system-menu ids are multiples of 16)
#define ID_WAKE_UP 32830
#define IDM_WAKE_UP 0x0090
