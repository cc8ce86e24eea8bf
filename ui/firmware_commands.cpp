#include "firmware_commands.h"

#include <cstddef>

#include "block_extract.h"
#include "block_layout.h"
#include "block_stamp.h"
#include "main_window.h"
#include "resource.h"
#include "word_search.h"

const char IMAGE_FILTER[] = "BinFile(*.bin)\0*.bin\0";
const char UNKNOWN_BOARD_TEXT[] = "Unknown board";

char g_imagePath[IMAGE_PATH_LEN] = "";
BoardModel g_boardModel = BOARD_NONE;
int g_selectedIndex = 0;
char g_selectedName[SELECTED_NAME_LEN] = "";
uint64_t g_foundOffset = 0;

ImageChooser g_chooseImage = GetOpenFileNameA;

constexpr DWORD CHOOSER_FLAGS = OFN_EXPLORER | OFN_FILEMUSTEXIST | OFN_HIDEREADONLY;
static_assert(CHOOSER_FLAGS == 0x00081004, "the open-file dialog's flags");
#ifndef _WIN64
// The size macro casts, so it is no constant expression; the same sum is.
static_assert(offsetof(OPENFILENAMEA, lpTemplateName) + sizeof(LPCSTR) == 76,
              "the record of the 32-bit program");
#endif

void ResetFileInfo(HWND hwnd)
{
    SendMessageA(g_hBlockList, CB_RESETCONTENT, 0, 0);
    SetDlgItemTextA(hwnd, IDC_VERSION, "");
    SetDlgItemTextA(hwnd, IDC_DATE, "");
    SetDlgItemTextA(hwnd, IDC_CPU, "");
    EnableWindow(GetDlgItem(hwnd, IDC_SAVE), FALSE);
}

bool BrowseForImage(HWND hwnd, const char* filter)
{
    // On a path that does not fit, the dialog stores the size it needed in the
    // buffer's first bytes: that must not reach g_imagePath.
    char chosen[IMAGE_PATH_LEN];
    lstrcpynA(chosen, g_imagePath, IMAGE_PATH_LEN);

    OPENFILENAMEA request;
    ZeroMemory(&request, sizeof request);
    request.lStructSize = OPENFILENAME_SIZE_VERSION_400A;
    request.hwndOwner = hwnd;
    request.lpstrFilter = filter;
    request.lpstrFile = chosen;
    request.nMaxFile = IMAGE_PATH_LEN;
    request.Flags = CHOOSER_FLAGS;
    if (!g_chooseImage(&request)) {
        return false;
    }
    chosen[IMAGE_PATH_LEN - 1] = '\0';
    lstrcpyA(g_imagePath, chosen);
    return true;
}

void FormatSizeText(uint64_t size, char* out)
{
    char digits[24];
    int count = 0;
    do {
        digits[count++] = (char)('0' + size % 10);
        size /= 10;
    } while (size != 0);
    char number[24];
    for (int i = 0; i < count; ++i) {
        number[i] = digits[count - 1 - i];
    }
    number[count] = '\0';
    wsprintfA(out, "%s Byte", number);
}

// One search of the image, with the size label refreshed as it goes: emptied
// first, then filled once the image is open. Returns 1 when found, else 0.
static int SearchImage(HWND hwnd, BlockId wanted)
{
    SetDlgItemTextA(hwnd, IDC_SIZE, "");
    WordSearchResult result = FindBlockWord(g_imagePath, wanted);
    g_foundOffset = result.found ? result.offset : 0;
    if (result.opened) {
        char text[32];
        FormatSizeText(result.size, text);
        SetDlgItemTextA(hwnd, IDC_SIZE, text);
    }
    return result.found ? 1 : 0;
}

void OpenImageCommand(HWND hwnd)
{
    if (!BrowseForImage(hwnd, IMAGE_FILTER)) {
        return;
    }
    SetDlgItemTextA(hwnd, IDC_PATH, g_imagePath);
    if (SearchImage(hwnd, BOOTLOADER_ID) != 1) {
        MessageBoxA(hwnd, "Error File", "Error", MB_OK | MB_ICONERROR);
        return;
    }
    if (SearchImage(hwnd, MAINCODE_ID) != 1) {
        return;
    }
    ResetFileInfo(hwnd);
    int answer = IdentifyBoard(g_imagePath, g_foundOffset);
    if (IsBoardModel(answer)) {
        g_boardModel = answer;
        int count = CatalogueSize(g_boardModel);
        for (int i = 0; i < count; ++i) {
            CatalogueEntry entry;
            if (CatalogueEntryAt(g_boardModel, i, &entry)) {
                SendMessageA(g_hBlockList, CB_ADDSTRING, 0, (LPARAM)entry.name);
            }
        }
        SetDlgItemTextA(hwnd, IDC_CPU, ModelText(g_boardModel));
    } else if (answer == IDENTIFY_UNRECOGNISED) {
        // The model keeps its value but the list stays empty, so nothing can be
        // picked or saved; the label says why.
        SetDlgItemTextA(hwnd, IDC_CPU, UNKNOWN_BOARD_TEXT);
    }
}

void BlockListCommand(HWND hwnd, UINT notification)
{
    if (notification != CBN_SELCHANGE) {
        return;
    }
    LRESULT index = SendMessageA(g_hBlockList, CB_GETCURSEL, 0, 0);
    LRESULT length = index == CB_ERR ? CB_ERR
                                     : SendMessageA(g_hBlockList, CB_GETLBTEXTLEN, (WPARAM)index, 0);
    if (index == CB_ERR || length == CB_ERR || length >= SELECTED_NAME_LEN) {
        return;
    }
    g_selectedIndex = (int)index;
    SendMessageA(g_hBlockList, CB_GETLBTEXT, (WPARAM)index, (LPARAM)g_selectedName);
    EnableWindow(GetDlgItem(hwnd, IDC_SAVE), TRUE);

    CatalogueEntry entry;
    if (!CatalogueEntryAt(g_boardModel, g_selectedIndex, &entry)) {
        return;
    }
    if (SearchImage(hwnd, entry.id) == 1) {
        BlockStamp stamp = ReadBlockStamp(g_imagePath, g_foundOffset);
        if (stamp.opened) {
            SetDlgItemTextA(hwnd, IDC_VERSION, stamp.version);
            SetDlgItemTextA(hwnd, IDC_DATE, stamp.date);
        }
    }
}

// The message after a save: the file's name when it was written; a warning
// when it was cut at the image end; otherwise an error naming file and reason.
static void ReportSave(HWND hwnd, const ExtractResult& result, const char* outputName)
{
    char text[REPORTED_NAME_LEN + 160];
    switch (result.status) {
    case EXTRACT_WRITTEN:
        MessageBoxA(hwnd, result.reportedName, "File Name", MB_OK | MB_ICONINFORMATION);
        break;
    case EXTRACT_CUT_AT_END: {
        char written[32];
        char extent[32];
        FormatSizeText(result.bytesWritten, written);
        FormatSizeText(result.extent, extent);
        wsprintfA(text, "%s\n\nThe block was cut at the image end: %s of %s written.",
                  result.reportedName, written, extent);
        MessageBoxA(hwnd, text, "File Name", MB_OK | MB_ICONWARNING);
        break;
    }
    default:
        wsprintfA(text, "%s was not saved: %s.", outputName, ExtractStatusText(result.status));
        MessageBoxA(hwnd, text, "Error", MB_OK | MB_ICONERROR);
        break;
    }
}

void SaveBlockCommand(HWND hwnd)
{
    if (!IsBoardModel(g_boardModel)) {
        return;
    }
    const char* extension = ExtensionForBlock(g_selectedName);
    CatalogueEntry entry;
    if (!CatalogueEntryAt(g_boardModel, g_selectedIndex, &entry)) {
        return;
    }
    if (SearchImage(hwnd, entry.id) != 1) {
        return;
    }
    ExtractResult result = ExtractBlock(g_imagePath, g_selectedName, extension, g_foundOffset);
    char outputName[REPORTED_NAME_LEN];
    wsprintfA(outputName, "%s%s", g_selectedName, extension);
    ReportSave(hwnd, result, outputName);
}
