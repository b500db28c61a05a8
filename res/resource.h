// Ids of the updater's own resources and of the confirmation dialog's controls. Included by
// the resource script and by the C++ code.
#pragma once

#define IDM_ABOUTBOX        0x0010
#define IDD_ABOUTBOX        100
#define IDS_ABOUTBOX        101
#define IDD_HALVERN_DIALOG  102
#define IDR_MAINFRAME       128

#define IDC_YES             1000
#define IDC_CANCEL_BTN      1001
#define IDC_EXIT            1002
#define IDC_REBOOT          1003
#define IDC_MESSAGE_TEXT    (-1)
