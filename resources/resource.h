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

// Window captions. The demo program says in its own windows that its
// drives are made-up samples, not the machine's; the product's stay as
// they are.
#define VANTREL_MAIN_CAPTION "Vantrel by Corvane Software"
#define VANTREL_ABOUT_CAPTION "About"
#define VANTREL_DEMO_MAIN_CAPTION "Vantrel by Corvane Software - DEMO: sample drives, not this PC's"
#define VANTREL_DEMO_ABOUT_CAPTION "About - DEMO with sample drives"

#define VANTREL_WEBSITE_URL "https://www.example.com"
#define VANTREL_WEBSITE_TEXT "www.example.com"
