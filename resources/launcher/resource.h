// Resource identifiers of the launcher (KDZ_INIT.exe).
#pragma once

#define IDR_LAUNCHER_ICON 100

// The three hardware pages; each has one text and Next (IDOK) / Cancel.
#define IDD_PAGE1 101
#define IDD_PAGE2 102
#define IDD_PAGE3 103
#define IDC_PAGE_TEXT 1000

// Their pictures, 370 x 222, 24-bit.
#define IDB_PAGE1 201
#define IDB_PAGE2 202
#define IDB_PAGE3 203
