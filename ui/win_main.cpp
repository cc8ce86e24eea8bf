// Entry point of Korvanta.exe: the main dialog's modal loop is the program's
// only message loop.
#include <windows.h>

#include "main_window.h"
#include "resource.h"

int WINAPI WinMain(HINSTANCE hInstance, HINSTANCE hPrevInstance, LPSTR cmdLine, int showCmd)
{
    (void)hPrevInstance;
    (void)cmdLine;
    (void)showCmd;
    DialogBoxParamA(hInstance, MAKEINTRESOURCEA(IDD_MAIN), NULL, MainDialogProc, 0);
    return 0;
}
