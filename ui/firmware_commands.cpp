#include "firmware_commands.h"

void OpenImageCommand(HWND hwnd)
{
    (void)hwnd;
}

void BlockListCommand(HWND hwnd, UINT notification)
{
    (void)hwnd;
    (void)notification;
}

void SaveBlockCommand(HWND hwnd)
{
    (void)hwnd;
}
