// The About box opened from the real main window, as a person would.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#include "gui_support.h"
#include "main_window.h"
#include "resource.h"

namespace {

struct AboutAction {
    const char* name;
    UINT message;
    WPARAM wParam;
    int targetId;  // 0: the box itself
    bool closes;
};

struct AboutRun {
    const AboutAction* action;
    bool opened;
    bool ownedByMain;
    bool mainDisabled;
    bool linkHasLabelFont;
    std::string link;
    bool clockRanWhileOpen;
    bool gone;
    bool mainEnabledAfter;
};

void DriveAbout(DWORD guiThread, void* context)
{
    AboutRun* run = (AboutRun*)context;
    HWND main = WaitForThreadDialog(guiThread, "Korvanta", 5000);
    if (main == NULL) {
        return;
    }
    // Posted: the box's modal loop would keep a sent message from returning.
    PostMessageA(main, WM_COMMAND, IDC_ABOUT, 0);
    HWND about = WaitForThreadDialog(guiThread, "About", 5000);
    run->opened = about != NULL;
    if (about == NULL) {
        return;
    }
    run->ownedByMain = GetWindow(about, GW_OWNER) == main;
    run->mainDisabled = !IsWindowEnabled(main);
    run->linkHasLabelFont =
        (HFONT)SendDlgItemMessageA(about, IDC_ABOUT_LINK, WM_GETFONT, 0, 0) == g_hLabelFont;
    run->link = ControlText(about, IDC_ABOUT_LINK);

    SetDlgItemTextA(main, IDC_CLOCK, "stale");
    run->clockRanWhileOpen = WaitForControlText(main, IDC_CLOCK, TodayAsClockText(), 3000) &&
                             IsWindow(about);

    HWND target = run->action->targetId == 0 ? about : GetDlgItem(about, run->action->targetId);
    PostMessageA(target, run->action->message, run->action->wParam, 0);
    if (run->action->message == WM_KEYDOWN) {
        PostMessageA(target, WM_KEYUP, run->action->wParam, 0xC0000001);
    }
    run->gone = WaitForWindowGone(about, run->action->closes ? 3000 : 400);
    if (!run->gone) {
        PostMessageA(about, WM_COMMAND, IDOK, 0);
        WaitForWindowGone(about, 3000);
    }
    Sleep(50);
    run->mainEnabledAfter = IsWindowEnabled(main) != FALSE;
    PostMessageA(main, WM_CLOSE, 0, 0);
    WaitForWindowGone(main, 3000);
}

TEST(AboutBox, OpensOverTheMainWindowAndOnlyOkClosesIt)
{
    const AboutAction actions[] = {
        {"Esc", WM_KEYDOWN, VK_ESCAPE, 0, false},
        {"Esc on OK", WM_KEYDOWN, VK_ESCAPE, IDOK, false},
        {"close box", WM_SYSCOMMAND, SC_CLOSE, 0, false},
        {"WM_CLOSE", WM_CLOSE, 0, 0, false},
        {"Enter", WM_KEYDOWN, VK_RETURN, 0, true},
        {"Enter on OK", WM_KEYDOWN, VK_RETURN, IDOK, true},
        {"OK clicked", BM_CLICK, 0, IDOK, true},
    };
    for (const AboutAction& action : actions) {
        SCOPED_TRACE(action.name);
        AboutRun run = {};
        run.action = &action;
        bool leftOpen = true;
        INT_PTR result = RunModalWithDriver(IDD_MAIN, MainDialogProc, DriveAbout, &run, &leftOpen);
        EXPECT_EQ(result, 0);
        EXPECT_FALSE(leftOpen);
        ASSERT_TRUE(run.opened);
        EXPECT_TRUE(run.ownedByMain);
        EXPECT_TRUE(run.mainDisabled);
        EXPECT_TRUE(run.linkHasLabelFont);
        EXPECT_EQ(run.link, "www.korvanta.example");
        EXPECT_TRUE(run.clockRanWhileOpen);
        EXPECT_EQ(run.gone, action.closes);
        EXPECT_TRUE(run.mainEnabledAfter);
    }
}

}  // namespace
