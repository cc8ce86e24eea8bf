// The main window: a modal dialog from template IDD_MAIN with the banner, the
// date clock and the buttons that route to the firmware commands and the About box.
#pragma once

#include <windows.h>

constexpr UINT_PTR CLOCK_TIMER_ID = 1;
constexpr UINT CLOCK_PERIOD_MS = 1000;

// Where the banner's top-left corner lands in the client area, in pixels.
constexpr int BANNER_X = 30;
constexpr int BANNER_Y = 10;

// Handles set during WM_INITDIALOG and kept for the whole run.
extern HINSTANCE g_hInstance;
extern HWND g_hBlockList;
extern HFONT g_hLabelFont;
extern HICON g_hAppIcon;

INT_PTR CALLBACK MainDialogProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);

// "%02d-%02d-%04d": day, month, four-digit year. `out` holds at least 16 characters.
void FormatClockDate(const SYSTEMTIME* time, char* out);
