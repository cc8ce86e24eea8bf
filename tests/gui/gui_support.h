// Helpers for tests that drive the real dialogs: a modal dialog runs on the
// test thread while a driver function on a second thread sends it messages and
// records what it saw. GoogleTest assertions stay on the test thread.
#pragma once

#include <windows.h>

#include <string>

// A driver gets the id of the thread that runs the dialog and its own context.
typedef void (*DriverFunction)(DWORD guiThread, void* context);

// Runs `templateId` modally with `dialogProc` on this thread while `driver`
// runs on a second thread. When the driver returns, whatever it left open is
// closed (message boxes and the About box by OK, the main window by WM_CLOSE).
// Returns the dialog's result; *leftOpen tells whether that clean-up was needed.
INT_PTR RunModalWithDriver(int templateId, DLGPROC dialogProc, DriverFunction driver,
                           void* context, bool* leftOpen);

// A visible dialog-class window of `thread` with exactly this caption, or NULL.
HWND FindThreadDialog(DWORD thread, const char* caption);

// Polls FindThreadDialog until it answers or `timeoutMs` passes.
HWND WaitForThreadDialog(DWORD thread, const char* caption, DWORD timeoutMs);

// Polls until the window is gone or `timeoutMs` passes; true when it is gone.
bool WaitForWindowGone(HWND hwnd, DWORD timeoutMs);

// The control's text (WM_GETTEXT, also across threads and processes).
std::string ControlText(HWND dialog, int id);

// Polls until the control shows `text` or `timeoutMs` passes.
bool WaitForControlText(HWND dialog, int id, const std::string& text, DWORD timeoutMs);

// Today's date as the clock shows it, for the moment of the call.
std::string TodayAsClockText();

// Removes a WM_QUIT left in this thread's queue by a dialog that posted one on
// its way out, so the next modal loop on this thread does not end at once.
void DrainQuitMessages();

// Unix paths (from CTest) as Wine's Z: drive sees them; other paths unchanged.
std::string WindowsPath(const std::string& path);

// Asks the test harness for a PNG of the whole screen, named `name`.png, in the
// folder given by KORVANTA_SCREENSHOT_DIR. False when no harness answers.
bool SaveScreenshot(const char* name);

// The main window run modally on a thread of its own, so a test drives it
// from the test thread with ordinary assertions.
struct DialogThread {
    HANDLE thread;
    DWORD threadId;
    HWND main;
    INT_PTR result;
};

// Starts the thread and waits for the main window; false when it did not appear.
bool StartMainDialog(DialogThread* dialog);

// Closes whatever is still open (message boxes and the open-file dialog by
// Cancel/OK, then the main window) and waits for the thread to end.
void StopMainDialog(DialogThread* dialog);

// Returns once the dialog's thread has handled everything sent before, or
// has reached a modal loop (a message box) on the way.
void SyncWithDialog(const DialogThread* dialog);

// A dialog-class window of the thread with this caption, visible or not.
HWND FindAnyThreadDialog(DWORD thread, const char* caption);

// The message box with this caption: its text, after which it is dismissed
// with OK. False when none appeared within `timeoutMs`.
bool ReadAndDismissBox(const DialogThread* dialog, const char* caption, std::string* text,
                       DWORD timeoutMs);

// Presses Open in the main window and waits for the open-file dialog.
HWND OpenTheFileDialog(const DialogThread* dialog);

// Fills the open-file dialog's file-name field (cmb13) and presses Open, or
// presses Cancel when `path` is NULL; waits for the dialog to go.
bool FinishFileDialog(const DialogThread* dialog, HWND fileDialog, const char* path);
