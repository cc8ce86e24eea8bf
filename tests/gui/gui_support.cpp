#include "gui_support.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "main_window.h"

namespace {

struct DriverStart {
    DriverFunction driver;
    void* context;
    DWORD guiThread;
    bool leftOpen;
};

struct FindRequest {
    const char* caption;
    bool visibleOnly;
    HWND found;
};

BOOL CALLBACK MatchDialog(HWND hwnd, LPARAM lParam)
{
    FindRequest* request = (FindRequest*)lParam;
    char className[32] = "";
    char caption[256] = "";
    GetClassNameA(hwnd, className, sizeof className);
    GetWindowTextA(hwnd, caption, sizeof caption);
    if ((!request->visibleOnly || IsWindowVisible(hwnd)) && strcmp(className, "#32770") == 0 &&
        strcmp(caption, request->caption) == 0) {
        request->found = hwnd;
        return FALSE;
    }
    return TRUE;
}

struct OpenDialogs {
    HWND list[16];
    int count;
};

BOOL CALLBACK CollectDialog(HWND hwnd, LPARAM lParam)
{
    OpenDialogs* open = (OpenDialogs*)lParam;
    char className[32] = "";
    GetClassNameA(hwnd, className, sizeof className);
    if (IsWindowVisible(hwnd) && strcmp(className, "#32770") == 0 && open->count < 16) {
        open->list[open->count++] = hwnd;
    }
    return TRUE;
}

// Closes the dialogs of the GUI thread from the innermost out: an enabled
// window other than the one the test ran is a box over it (About, a message).
bool CloseLeftovers(DWORD guiThread)
{
    bool any = false;
    for (int round = 0; round < 50; ++round) {
        OpenDialogs open = {};
        EnumThreadWindows(guiThread, CollectDialog, (LPARAM)&open);
        if (open.count == 0) {
            return any;
        }
        any = true;
        for (int i = 0; i < open.count; ++i) {
            if (IsWindowEnabled(open.list[i])) {
                char caption[64] = "";
                GetWindowTextA(open.list[i], caption, sizeof caption);
                if (strcmp(caption, "Open") == 0) {
                    PostMessageA(open.list[i], WM_COMMAND, IDCANCEL, 0);
                } else if (GetWindow(open.list[i], GW_OWNER) != NULL) {
                    PostMessageA(open.list[i], WM_COMMAND, IDOK, 0);
                } else {
                    PostMessageA(open.list[i], WM_CLOSE, 0, 0);
                }
            }
        }
        Sleep(100);
    }
    return any;
}

DWORD WINAPI DriverThread(void* parameter)
{
    DriverStart* start = (DriverStart*)parameter;
    start->driver(start->guiThread, start->context);
    start->leftOpen = CloseLeftovers(start->guiThread);
    return 0;
}

}  // namespace

INT_PTR RunModalWithDriver(int templateId, DLGPROC dialogProc, DriverFunction driver,
                           void* context, bool* leftOpen)
{
    DrainQuitMessages();
    DriverStart start = {driver, context, GetCurrentThreadId(), false};
    HANDLE thread = CreateThread(NULL, 0, DriverThread, &start, 0, NULL);
    INT_PTR result = DialogBoxParamA(GetModuleHandleA(NULL), MAKEINTRESOURCEA(templateId), NULL,
                                     dialogProc, 0);
    // The driver may still be waiting for a window to go; keep its messages flowing.
    while (MsgWaitForMultipleObjects(1, &thread, FALSE, 30000, QS_ALLINPUT) == WAIT_OBJECT_0 + 1) {
        MSG msg;
        while (PeekMessageA(&msg, NULL, 0, 0, PM_REMOVE)) {
            if (msg.message != WM_QUIT) {
                TranslateMessage(&msg);
                DispatchMessageA(&msg);
            }
        }
    }
    CloseHandle(thread);
    DrainQuitMessages();
    if (leftOpen != NULL) {
        *leftOpen = start.leftOpen;
    }
    return result;
}

HWND FindThreadDialog(DWORD thread, const char* caption)
{
    FindRequest request = {caption, true, NULL};
    EnumThreadWindows(thread, MatchDialog, (LPARAM)&request);
    return request.found;
}

HWND WaitForThreadDialog(DWORD thread, const char* caption, DWORD timeoutMs)
{
    DWORD start = GetTickCount();
    for (;;) {
        HWND found = FindThreadDialog(thread, caption);
        if (found != NULL || GetTickCount() - start > timeoutMs) {
            return found;
        }
        Sleep(10);
    }
}

bool WaitForWindowGone(HWND hwnd, DWORD timeoutMs)
{
    DWORD start = GetTickCount();
    while (IsWindow(hwnd)) {
        if (GetTickCount() - start > timeoutMs) {
            return false;
        }
        Sleep(10);
    }
    return true;
}

std::string ControlText(HWND dialog, int id)
{
    char text[512] = "";
    GetDlgItemTextA(dialog, id, text, sizeof text);
    return text;
}

bool WaitForControlText(HWND dialog, int id, const std::string& text, DWORD timeoutMs)
{
    DWORD start = GetTickCount();
    for (;;) {
        if (ControlText(dialog, id) == text) {
            return true;
        }
        if (GetTickCount() - start > timeoutMs) {
            return false;
        }
        Sleep(20);
    }
}

std::string TodayAsClockText()
{
    SYSTEMTIME now;
    GetLocalTime(&now);
    char text[16];
    FormatClockDate(&now, text);
    return text;
}

void DrainQuitMessages()
{
    MSG msg;
    while (PeekMessageA(&msg, NULL, WM_QUIT, WM_QUIT, PM_REMOVE)) {
    }
}

std::string WindowsPath(const std::string& path)
{
    if (path.empty() || path[0] != '/') {
        return path;
    }
    std::string converted = "Z:" + path;
    for (char& c : converted) {
        if (c == '/') {
            c = '\\';
        }
    }
    return converted;
}

bool SaveScreenshot(const char* name)
{
    const char* folder = getenv("KORVANTA_SCREENSHOT_DIR");
    if (folder == NULL || folder[0] == '\0') {
        return false;
    }
    std::string base = WindowsPath(folder) + "\\" + name;
    std::string request = base + ".request";
    std::string picture = base + ".png";
    DeleteFileA(picture.c_str());
    FILE* file = fopen(request.c_str(), "wb");
    if (file == NULL) {
        return false;
    }
    fclose(file);
    DWORD start = GetTickCount();
    while (GetFileAttributesA(picture.c_str()) == INVALID_FILE_ATTRIBUTES) {
        if (GetTickCount() - start > 10000) {
            DeleteFileA(request.c_str());
            return false;
        }
        Sleep(20);
    }
    return true;
}

namespace {

DWORD WINAPI MainDialogThread(void* parameter)
{
    DialogThread* dialog = (DialogThread*)parameter;
    dialog->result = DialogBoxParamA(GetModuleHandleA(NULL), MAKEINTRESOURCEA(101), NULL,
                                     MainDialogProc, 0);
    return 0;
}

constexpr int FILE_NAME_FIELD = 0x47C;  // cmb13 of the explorer-style open-file dialog
constexpr int MESSAGE_TEXT = 0xFFFF;    // the message box's Static

}  // namespace

bool StartMainDialog(DialogThread* dialog)
{
    dialog->main = NULL;
    dialog->result = -1;
    dialog->thread = CreateThread(NULL, 0, MainDialogThread, dialog, 0, &dialog->threadId);
    if (dialog->thread == NULL) {
        return false;
    }
    dialog->main = WaitForThreadDialog(dialog->threadId, "Korvanta", 10000);
    return dialog->main != NULL;
}

void StopMainDialog(DialogThread* dialog)
{
    if (dialog->thread == NULL) {
        return;
    }
    CloseLeftovers(dialog->threadId);
    WaitForSingleObject(dialog->thread, 10000);
    CloseHandle(dialog->thread);
    dialog->thread = NULL;
}

void SyncWithDialog(const DialogThread* dialog)
{
    DWORD_PTR answer = 0;
    SendMessageTimeoutA(dialog->main, WM_NULL, 0, 0, SMTO_NORMAL, 30000, &answer);
}

HWND FindAnyThreadDialog(DWORD thread, const char* caption)
{
    FindRequest request = {caption, false, NULL};
    EnumThreadWindows(thread, MatchDialog, (LPARAM)&request);
    return request.found;
}

bool ReadAndDismissBox(const DialogThread* dialog, const char* caption, std::string* text,
                       DWORD timeoutMs)
{
    HWND box = WaitForThreadDialog(dialog->threadId, caption, timeoutMs);
    if (box == NULL) {
        return false;
    }
    *text = ControlText(box, MESSAGE_TEXT);
    PostMessageA(box, WM_COMMAND, IDOK, 0);
    WaitForWindowGone(box, 5000);
    SyncWithDialog(dialog);
    return true;
}

HWND OpenTheFileDialog(const DialogThread* dialog)
{
    PostMessageA(dialog->main, WM_COMMAND, 1001, 0);
    return WaitForThreadDialog(dialog->threadId, "Open", 10000);
}

bool FinishFileDialog(const DialogThread* dialog, HWND fileDialog, const char* path)
{
    if (path != NULL) {
        SetDlgItemTextA(fileDialog, FILE_NAME_FIELD, path);
    }
    PostMessageA(fileDialog, WM_COMMAND, path != NULL ? IDOK : IDCANCEL, 0);
    bool gone = WaitForWindowGone(fileDialog, 10000);
    SyncWithDialog(dialog);
    return gone;
}
