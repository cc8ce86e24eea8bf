// The About box: the makers' picture, their web address and the program's name.
#pragma once

#include <windows.h>

INT_PTR CALLBACK AboutDialogProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);

// Runs the box modally over `owner` until its OK button closes it.
void ShowAboutBox(HWND owner);
