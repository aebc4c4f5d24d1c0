// Resource and control identifiers, shared by the resource scripts and the
// program.
#pragma once

// The system headers name a help cursor IDC_HELP; here it is the Help
// button, so the system's meaning is dropped after they are read.
#include <windows.h>
#ifdef IDC_HELP
#undef IDC_HELP
#endif

#define IDD_MAIN 101
#define IDD_ABOUT 102
#define IDI_APP 103

#define IDC_EXPORT 3
#define IDC_VERSION_TEXT 1000
#define IDC_ABOUT 1001
#define IDC_DRIVE_COMBO 1002
#define IDC_DRIVE_INFO 1003
#define IDC_ATTR_LIST 1004
#define IDC_GET_INFO 1005
#define IDC_WEBSITE 1006
#define IDC_HELP 1007

// The demo program's sample drives: RCDATA resources, one per position.
#define IDR_SAMPLE_DRIVE_0 200
#define IDR_SAMPLE_DRIVE_1 201
#define IDR_SAMPLE_DRIVE_2 202
#define IDR_SAMPLE_DRIVE_3 203

#define VANTREL_WEBSITE_URL "https://www.example.com"
#define VANTREL_WEBSITE_TEXT "www.example.com"
