// The commands of the main window that work on a firmware image.
#pragma once

#include <windows.h>

// IDC_OPEN: choose an image, check it, identify the board, list its blocks.
void OpenImageCommand(HWND hwnd);

// IDC_BLOCKS: acts on CBN_SELCHANGE only; shows the picked block's stamp.
void BlockListCommand(HWND hwnd, UINT notification);

// IDC_SAVE: writes the picked block, header included, to a file of its own.
void SaveBlockCommand(HWND hwnd);
