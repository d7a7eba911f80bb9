#pragma once

// Resource identifiers of the desktop program. Plain macros so that the
// Windows resource script can include this file as well; IDOK and IDCANCEL
// are the window system's own and keep its values.

#define IDD_ABOUTBOX 100
#define IDS_ABOUTBOX 101
#define IDD_MAIN 102
#define IDR_MAINFRAME 128
#define IDD_HELP 131

#ifndef IDOK
#define IDOK 1
#endif
#ifndef IDCANCEL
#define IDCANCEL 2
#endif

#define IDC_PROGRESS 1001
#define IDC_INPUT_PATH 1020
#define IDC_OUTPUT_PATH 1021
#define IDC_BROWSE_INPUT 1022
#define IDC_BROWSE_OUTPUT 1023
#define IDC_PASSWORD 1024
#define IDC_HELP_BUTTON 1026
#define IDC_START 1027
#define IDC_ABOUT_NAME 1028
#define IDC_ABOUT_EMAIL 1029
#define IDC_INPUT_LABEL 1030
#define IDC_OUTPUT_LABEL 1031
#define IDC_PASSWORD_LABEL 1032
#define IDC_HELP_TEXT 1033

// The About entry of the system menu.
#define IDM_ABOUTBOX 0x0010

// Version of the executables (file and product).
#define PROGRAM_VERSION_NUMBERS 1, 0, 0, 1
#define PROGRAM_VERSION_TEXT "1.0.0.1"
