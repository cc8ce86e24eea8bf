// The real Korvanta.exe started as a process of its own: its window, the keys
// and buttons that do and do not end it, its exit code, and screenshots.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <string>

#include "gui_support.h"
#include "resource.h"

namespace {

std::string g_programPath;

struct Program {
    PROCESS_INFORMATION process;
    HWND window;
};

struct WindowSearch {
    DWORD processId;
    const char* caption;
    HWND found;
};

BOOL CALLBACK MatchProcessWindow(HWND hwnd, LPARAM lParam)
{
    WindowSearch* search = (WindowSearch*)lParam;
    DWORD owner = 0;
    GetWindowThreadProcessId(hwnd, &owner);
    char className[32] = "";
    char caption[64] = "";
    GetClassNameA(hwnd, className, sizeof className);
    GetWindowTextA(hwnd, caption, sizeof caption);
    if (owner == search->processId && IsWindowVisible(hwnd) && strcmp(className, "#32770") == 0 &&
        strcmp(caption, search->caption) == 0) {
        search->found = hwnd;
        return FALSE;
    }
    return TRUE;
}

HWND WaitForProcessWindow(DWORD processId, const char* caption, DWORD timeoutMs)
{
    DWORD start = GetTickCount();
    for (;;) {
        WindowSearch search = {processId, caption, NULL};
        EnumWindows(MatchProcessWindow, (LPARAM)&search);
        if (search.found != NULL || GetTickCount() - start > timeoutMs) {
            return search.found;
        }
        Sleep(20);
    }
}

bool Start(Program* program)
{
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    std::string commandLine = "\"" + g_programPath + "\"";
    if (!CreateProcessA(g_programPath.c_str(), &commandLine[0], NULL, NULL, FALSE, 0, NULL, NULL,
                        &startup, &program->process)) {
        return false;
    }
    WaitForInputIdle(program->process.hProcess, 10000);
    program->window = WaitForProcessWindow(program->process.dwProcessId, "Korvanta", 15000);
    return program->window != NULL;
}

// Waits for the process to end; its exit code, or -1 if it is still running
// (it is then ended so no window outlives the test).
long FinishAndExitCode(Program* program, DWORD timeoutMs)
{
    long code = -1;
    if (WaitForSingleObject(program->process.hProcess, timeoutMs) == WAIT_OBJECT_0) {
        DWORD exitCode = 0;
        GetExitCodeProcess(program->process.hProcess, &exitCode);
        code = (long)exitCode;
    } else {
        TerminateProcess(program->process.hProcess, 99);
        WaitForSingleObject(program->process.hProcess, 5000);
    }
    CloseHandle(program->process.hThread);
    CloseHandle(program->process.hProcess);
    return code;
}

bool StillRunningAfter(Program* program, DWORD ms)
{
    return WaitForSingleObject(program->process.hProcess, ms) == WAIT_TIMEOUT &&
           IsWindowVisible(program->window);
}

struct Closer {
    const char* name;
    UINT message;
    WPARAM wParam;
    int targetId;
};

TEST(Program, EscKeepsItOpenAndTheCloseWaysEndItWithExitCodeZero)
{
    const Closer closers[] = {
        {"close box", WM_SYSCOMMAND, SC_CLOSE, 0},
        {"WM_CLOSE", WM_CLOSE, 0, 0},
        {"Exit clicked", BM_CLICK, 0, IDC_EXIT},
    };
    for (const Closer& closer : closers) {
        SCOPED_TRACE(closer.name);
        Program program = {};
        ASSERT_TRUE(Start(&program)) << g_programPath;
        std::string clock = ControlText(program.window, IDC_CLOCK);
        EXPECT_NE(clock, "KORVANTA");
        EXPECT_EQ(clock, TodayAsClockText());

        PostMessageA(program.window, WM_KEYDOWN, VK_ESCAPE, 0);
        PostMessageA(program.window, WM_KEYUP, VK_ESCAPE, 0xC0000001);
        EXPECT_TRUE(StillRunningAfter(&program, 500)) << "Esc";

        HWND target = closer.targetId == 0 ? program.window
                                           : GetDlgItem(program.window, closer.targetId);
        PostMessageA(target, closer.message, closer.wParam, 0);
        EXPECT_EQ(FinishAndExitCode(&program, 10000), 0);
    }
}

TEST(Program, ShowsTheMainWindowAndTheAboutBox)
{
    Program program = {};
    ASSERT_TRUE(Start(&program)) << g_programPath;
    Sleep(300);
    bool harness = getenv("KORVANTA_SCREENSHOT_DIR") != NULL;
    bool mainShot = SaveScreenshot("main-window");

    PostMessageA(program.window, WM_COMMAND, IDC_ABOUT, 0);
    HWND about = WaitForProcessWindow(program.process.dwProcessId, "About", 5000);
    EXPECT_NE(about, (HWND)NULL);
    EXPECT_FALSE(IsWindowEnabled(program.window));
    Sleep(300);
    bool aboutShot = SaveScreenshot("about-box");
    if (harness) {
        EXPECT_TRUE(mainShot);
        EXPECT_TRUE(aboutShot);
    }
    if (about != NULL) {
        PostMessageA(about, WM_COMMAND, IDOK, 0);
        WaitForWindowGone(about, 5000);
    }
    EXPECT_TRUE(IsWindowEnabled(program.window));
    PostMessageA(program.window, WM_CLOSE, 0, 0);
    EXPECT_EQ(FinishAndExitCode(&program, 10000), 0);
}

}  // namespace

// Usage: korvanta_process_tests [gtest options] PATH_TO_Korvanta.exe
int main(int argc, char** argv)
{
    testing::InitGoogleTest(&argc, argv);
    if (argc >= 2) {
        g_programPath = WindowsPath(argv[argc - 1]);
    }
    return RUN_ALL_TESTS();
}
