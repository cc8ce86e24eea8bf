// Resource numbers shared by the resource script and the window code.
#pragma once

// <windows.h> first: it names an obsolete cursor IDC_SIZE, which our control
// number below replaces.
#include <windows.h>

// Dialog templates
#define IDD_MAIN 101
#define IDD_ABOUT 104

// Bitmaps
#define IDB_BANNER 103
#define IDB_ABOUT_PICTURE 105

// Icon group
#define IDI_APP 107

// Controls of the main window
#define IDC_PATH 1000
#define IDC_OPEN 1001
#define IDC_CPU 1002
#define IDC_BLOCKS 1004
#undef IDC_SIZE
#define IDC_SIZE 1007
#define IDC_VERSION 1008
#define IDC_DATE 1009
#define IDC_EXIT 1010
#define IDC_ABOUT 1011
#define IDC_SAVE 1013
// Both the clock and the makers' address label carry 1014; lookups by number
// reach the clock, which comes first in the template.
#define IDC_CLOCK 1014

// Controls of the About box
#define IDC_ABOUT_LINK 1012

// The application manifest
#define IDR_MANIFEST 1
