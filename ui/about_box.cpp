#include "about_box.h"

#include "main_window.h"
#include "resource.h"

// Only OK closes the box: Esc and the close box arrive as IDCANCEL and are ignored.
INT_PTR CALLBACK AboutDialogProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    (void)lParam;
    switch (message) {
    case WM_INITDIALOG:
        SendDlgItemMessageA(hwnd, IDC_ABOUT_LINK, WM_SETFONT, (WPARAM)g_hLabelFont, 0);
        break;
    case WM_COMMAND:
        if (LOWORD(wParam) == IDOK) {
            EndDialog(hwnd, 0);
        }
        break;
    default:
        break;
    }
    return FALSE;
}

void ShowAboutBox(HWND owner)
{
    DialogBoxParamA(g_hInstance, MAKEINTRESOURCEA(IDD_ABOUT), owner, AboutDialogProc, 0);
}
