#include "main_window.h"

#include <commctrl.h>

#include "about_box.h"
#include "firmware_commands.h"
#include "resource.h"

HINSTANCE g_hInstance = NULL;
HWND g_hBlockList = NULL;
HFONT g_hLabelFont = NULL;
HICON g_hAppIcon = NULL;

void FormatClockDate(const SYSTEMTIME* time, char* out)
{
    wsprintfA(out, "%02d-%02d-%04d", (int)time->wDay, (int)time->wMonth, (int)time->wYear);
}

static void InitMainDialog(HWND hwnd)
{
    InitCommonControls();
    g_hInstance = GetModuleHandleA(NULL);

    // The clock shows the date before the window first appears.
    SendMessageA(hwnd, WM_TIMER, 0, 1);
    SetTimer(hwnd, CLOCK_TIMER_ID, CLOCK_PERIOD_MS, NULL);

    g_hAppIcon = LoadIconA(g_hInstance, MAKEINTRESOURCEA(IDI_APP));
    SendMessageA(hwnd, WM_SETICON, ICON_SMALL, (LPARAM)g_hAppIcon);
    SendMessageA(hwnd, WM_SETICON, ICON_BIG, (LPARAM)g_hAppIcon);

    g_hBlockList = GetDlgItem(hwnd, IDC_BLOCKS);

    // One font for the whole run; a second dialog in the same process reuses it.
    if (g_hLabelFont == NULL) {
        g_hLabelFont = CreateFontA(15, 0, 0, 0, FW_BOLD, FALSE, FALSE, FALSE, ANSI_CHARSET,
                                   OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY,
                                   DEFAULT_PITCH | FF_DONTCARE, "Arial");
    }
    SendDlgItemMessageA(hwnd, IDC_VERSION, WM_SETFONT, (WPARAM)g_hLabelFont, 0);
    SendDlgItemMessageA(hwnd, IDC_DATE, WM_SETFONT, (WPARAM)g_hLabelFont, 0);
}

static void RefreshClock(HWND hwnd)
{
    SYSTEMTIME now;
    GetLocalTime(&now);
    char text[16];
    FormatClockDate(&now, text);
    SetDlgItemTextA(hwnd, IDC_CLOCK, text);
}

// The banner is XORed onto the face colour: its black background leaves the
// face as it is. Everything made here is released before the paint ends.
static void PaintBanner(HWND hwnd)
{
    PAINTSTRUCT ps;
    HDC hdc = BeginPaint(hwnd, &ps);
    HBITMAP banner = LoadBitmapA(g_hInstance, MAKEINTRESOURCEA(IDB_BANNER));
    if (hdc != NULL && banner != NULL) {
        HDC memory = CreateCompatibleDC(hdc);
        if (memory != NULL) {
            HGDIOBJ previous = SelectObject(memory, banner);
            BITMAP info;
            if (GetObjectA(banner, sizeof info, &info) == (int)sizeof info) {
                BitBlt(hdc, BANNER_X, BANNER_Y, info.bmWidth, info.bmHeight, memory, 0, 0,
                       SRCINVERT);
            }
            SelectObject(memory, previous);
            DeleteDC(memory);
        }
    }
    if (banner != NULL) {
        DeleteObject(banner);
    }
    EndPaint(hwnd, &ps);
}

static void OnMainCommand(HWND hwnd, WPARAM wParam)
{
    switch (LOWORD(wParam)) {
    case IDC_OPEN:
        OpenImageCommand(hwnd);
        break;
    case IDC_BLOCKS:
        BlockListCommand(hwnd, HIWORD(wParam));
        break;
    case IDC_SAVE:
        SaveBlockCommand(hwnd);
        break;
    case IDC_ABOUT:
        ShowAboutBox(hwnd);
        break;
    case IDC_EXIT:
        SendMessageA(hwnd, WM_CLOSE, 0, 0);
        break;
    default:
        // IDOK and IDCANCEL among them: Esc and Enter do not close the window.
        break;
    }
}

// Returns FALSE for every message, WM_INITDIALOG included, so the dialog
// manager keeps its default handling and sets no initial focus.
INT_PTR CALLBACK MainDialogProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    (void)lParam;
    switch (message) {
    case WM_INITDIALOG:
        InitMainDialog(hwnd);
        break;
    case WM_PAINT:
        PaintBanner(hwnd);
        break;
    case WM_TIMER:
        RefreshClock(hwnd);
        break;
    case WM_CLOSE:
        EndDialog(hwnd, 0);
        break;
    case WM_DESTROY:
        PostQuitMessage(0);
        break;
    case WM_COMMAND:
        OnMainCommand(hwnd, wParam);
        break;
    default:
        break;
    }
    return FALSE;
}
