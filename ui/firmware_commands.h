// The commands of the main window that work on a firmware image: open an
// image, pick a block in the list, save the picked block.
#pragma once

#include <windows.h>
#include <commdlg.h>

#include <cstdint>

#include "board_catalogue.h"

constexpr int IMAGE_PATH_LEN = 260;     // a path with its terminating NUL
constexpr int SELECTED_NAME_LEN = 256;  // a list entry with its terminating NUL

// "BinFile(*.bin)" / "*.bin", double-NUL-terminated.
extern const char IMAGE_FILTER[];

// Shown in the CPU label when the main-code block's variant byte is none of
// the three known ones.
extern const char UNKNOWN_BOARD_TEXT[];

// The user-interface state; lives for the whole run.
extern char g_imagePath[IMAGE_PATH_LEN];        // the image chosen last
extern BoardModel g_boardModel;                 // BOARD_NONE until an image is identified
extern int g_selectedIndex;                     // list position picked last
extern char g_selectedName[SELECTED_NAME_LEN];  // that entry's text
extern uint64_t g_foundOffset;                  // answer of the last search

// The file chooser; GetOpenFileNameA unless a test puts another in.
typedef BOOL(WINAPI* ImageChooser)(OPENFILENAMEA* request);
extern ImageChooser g_chooseImage;

// Empties the block list, the version, date and CPU labels, disables Save.
void ResetFileInfo(HWND hwnd);

// Runs the open-file dialog starting at g_imagePath. The dialog writes into a
// scratch buffer; g_imagePath changes only when the user chose a file, so a
// cancel or a path too long for the buffer leaves it as it was.
bool BrowseForImage(HWND hwnd, const char* filter);

// "<size> Byte", the size in unsigned decimal (sizes of 2 GiB and more included).
// `out` holds at least 32 characters.
void FormatSizeText(uint64_t size, char* out);

// IDC_OPEN: choose an image, check it, identify the board, list its blocks.
void OpenImageCommand(HWND hwnd);

// IDC_BLOCKS: acts on CBN_SELCHANGE only; shows the picked block's stamp.
void BlockListCommand(HWND hwnd, UINT notification);

// IDC_SAVE: writes the picked block, header included, to a file of its own in
// the current directory and says which (or why not) in a message box.
void SaveBlockCommand(HWND hwnd);
