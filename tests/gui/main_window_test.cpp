// The main window driven through its real dialog procedure and template.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "gui_support.h"
#include "main_window.h"
#include "resource.h"

namespace {

const char* const ADDRESS_TEXT = "www.korvanta.example";

TEST(ClockText, DayMonthYearWithLeadingZeros)
{
    struct Case {
        WORD day, month, year;
        const char* text;
    };
    const Case cases[] = {
        {1, 2, 2026, "01-02-2026"},
        {31, 12, 1999, "31-12-1999"},
        {9, 10, 999, "09-10-0999"},
        {29, 2, 2028, "29-02-2028"},
    };
    for (const Case& c : cases) {
        SYSTEMTIME time = {};
        time.wDay = c.day;
        time.wMonth = c.month;
        time.wYear = c.year;
        char text[16];
        FormatClockDate(&time, text);
        EXPECT_STREQ(text, c.text);
    }
}

// --- Modeless runs, for what needs no modal loop ----------------------------

void PumpFor(DWORD ms)
{
    DWORD start = GetTickCount();
    while (GetTickCount() - start < ms) {
        MSG msg;
        while (PeekMessageA(&msg, NULL, 0, 0, PM_REMOVE)) {
            if (msg.message != WM_QUIT) {
                TranslateMessage(&msg);
                DispatchMessageA(&msg);
            }
        }
        Sleep(5);
    }
}

HWND OpenMainModeless()
{
    DrainQuitMessages();
    HWND hwnd = CreateDialogParamA(GetModuleHandleA(NULL), MAKEINTRESOURCEA(IDD_MAIN), NULL,
                                   MainDialogProc, 0);
    PumpFor(200);
    return hwnd;
}

void CloseModeless(HWND hwnd)
{
    DestroyWindow(hwnd);
    PumpFor(20);
    DrainQuitMessages();
}

// The second control numbered 1014 (the address label), found by walking the children.
HWND SecondClockNumberedControl(HWND dialog)
{
    int seen = 0;
    for (HWND child = GetWindow(dialog, GW_CHILD); child != NULL;
         child = GetWindow(child, GW_HWNDNEXT)) {
        if (GetDlgCtrlID(child) == IDC_CLOCK && ++seen == 2) {
            return child;
        }
    }
    return NULL;
}

TEST(MainWindow, InitialisationSetsIconsFontsAndListHandle)
{
    HWND hwnd = OpenMainModeless();
    ASSERT_NE(hwnd, (HWND)NULL);
    EXPECT_EQ(g_hInstance, GetModuleHandleA(NULL));
    EXPECT_EQ(g_hBlockList, GetDlgItem(hwnd, IDC_BLOCKS));
    ASSERT_NE(g_hAppIcon, (HICON)NULL);
    EXPECT_EQ((HICON)SendMessageA(hwnd, WM_GETICON, ICON_SMALL, 0), g_hAppIcon);
    EXPECT_EQ((HICON)SendMessageA(hwnd, WM_GETICON, ICON_BIG, 0), g_hAppIcon);

    ASSERT_NE(g_hLabelFont, (HFONT)NULL);
    EXPECT_EQ((HFONT)SendDlgItemMessageA(hwnd, IDC_VERSION, WM_GETFONT, 0, 0), g_hLabelFont);
    EXPECT_EQ((HFONT)SendDlgItemMessageA(hwnd, IDC_DATE, WM_GETFONT, 0, 0), g_hLabelFont);
    EXPECT_NE((HFONT)SendDlgItemMessageA(hwnd, IDC_CPU, WM_GETFONT, 0, 0), g_hLabelFont);
    LOGFONTA font = {};
    ASSERT_EQ(GetObjectA(g_hLabelFont, sizeof font, &font), (int)sizeof font);
    EXPECT_EQ(font.lfHeight, 15);
    EXPECT_EQ(font.lfWeight, FW_BOLD);
    EXPECT_EQ(font.lfCharSet, ANSI_CHARSET);
    EXPECT_STREQ(font.lfFaceName, "Arial");

    // Save starts disabled; the address label keeps its template text.
    EXPECT_FALSE(IsWindowEnabled(GetDlgItem(hwnd, IDC_SAVE)));
    HWND address = SecondClockNumberedControl(hwnd);
    ASSERT_NE(address, (HWND)NULL);
    char text[64] = "";
    GetWindowTextA(address, text, sizeof text);
    EXPECT_STREQ(text, ADDRESS_TEXT);
    CloseModeless(hwnd);
}

TEST(MainWindow, ASecondWindowInTheSameRunReusesTheLabelFont)
{
    HWND first = OpenMainModeless();
    HFONT font = g_hLabelFont;
    CloseModeless(first);
    HWND second = OpenMainModeless();
    EXPECT_EQ(g_hLabelFont, font);
    LOGFONTA info = {};
    EXPECT_EQ(GetObjectA(g_hLabelFont, sizeof info, &info), (int)sizeof info) << "still alive";
    CloseModeless(second);
}

// Pixels of the banner resource as 0x00BBGGRR, top row first.
std::vector<COLORREF> BannerPixels(int* width, int* height)
{
    std::vector<COLORREF> pixels;
    HBITMAP banner = LoadBitmapA(GetModuleHandleA(NULL), MAKEINTRESOURCEA(IDB_BANNER));
    BITMAP info = {};
    if (banner == NULL || GetObjectA(banner, sizeof info, &info) != (int)sizeof info) {
        return pixels;
    }
    *width = info.bmWidth;
    *height = info.bmHeight;
    BITMAPINFO request = {};
    request.bmiHeader.biSize = sizeof request.bmiHeader;
    request.bmiHeader.biWidth = info.bmWidth;
    request.bmiHeader.biHeight = -info.bmHeight;
    request.bmiHeader.biPlanes = 1;
    request.bmiHeader.biBitCount = 32;
    request.bmiHeader.biCompression = BI_RGB;
    std::vector<DWORD> bgrx((size_t)info.bmWidth * info.bmHeight);
    HDC screen = GetDC(NULL);
    int rows = GetDIBits(screen, banner, 0, info.bmHeight, bgrx.data(), &request, DIB_RGB_COLORS);
    ReleaseDC(NULL, screen);
    DeleteObject(banner);
    if (rows != info.bmHeight) {
        return pixels;
    }
    for (DWORD p : bgrx) {
        pixels.push_back(RGB((p >> 16) & 0xFF, (p >> 8) & 0xFF, p & 0xFF));
    }
    return pixels;
}

struct BannerCheck {
    int compared;
    int wrong;
    int nonBlack;
    COLORREF face;
    int outsideWrong;
};

// Compares the client area with face XOR banner over a grid, above the first
// control row so no control's own painting is in the way.
BannerCheck CheckBanner(HWND hwnd)
{
    BannerCheck check = {};
    int width = 0;
    int height = 0;
    std::vector<COLORREF> banner = BannerPixels(&width, &height);
    if (banner.empty()) {
        return check;
    }
    RECT controls = {0, 68, 0, 68};
    MapDialogRect(hwnd, &controls);
    HDC dc = GetDC(hwnd);
    check.face = GetPixel(dc, BANNER_X - 6, BANNER_Y + 40);
    for (int y = 0; y < height && BANNER_Y + y < controls.top; y += 3) {
        for (int x = 0; x < width; x += 3) {
            COLORREF expected = banner[(size_t)y * width + x] ^ check.face;
            COLORREF actual = GetPixel(dc, BANNER_X + x, BANNER_Y + y);
            ++check.compared;
            check.nonBlack += banner[(size_t)y * width + x] != 0;
            check.wrong += actual != expected;
        }
    }
    // Just left of and just above the banner the face shows unchanged.
    for (int y = 0; y < height && BANNER_Y + y < controls.top; y += 3) {
        check.outsideWrong += GetPixel(dc, BANNER_X - 1, BANNER_Y + y) != check.face;
    }
    for (int x = 0; x < width; x += 3) {
        check.outsideWrong += GetPixel(dc, BANNER_X + x, BANNER_Y - 1) != check.face;
    }
    ReleaseDC(hwnd, dc);
    return check;
}

TEST(MainWindow, BannerIsXoredOntoTheFaceAt30By10)
{
    HWND hwnd = OpenMainModeless();
    ASSERT_NE(hwnd, (HWND)NULL);
    BannerCheck check = CheckBanner(hwnd);
    ASSERT_GT(check.compared, 1000);
    EXPECT_GT(check.nonBlack, 0) << "the banner has a picture";
    EXPECT_LT(check.nonBlack, check.compared) << "and a black background";
    EXPECT_EQ(check.wrong, 0) << "of " << check.compared << " pixels, face " << std::hex
                              << check.face;
    EXPECT_EQ(check.outsideWrong, 0);
    CloseModeless(hwnd);
}

// GDI objects this process may still create: the handle table's free room.
// Wine's GetGuiResources answers 0, so objects are counted this way instead.
int FreeGdiHandles()
{
    std::vector<HBRUSH> brushes;
    for (;;) {
        HBRUSH brush = CreateSolidBrush(RGB(1, 2, 3));
        if (brush == NULL || brushes.size() >= 1000000) {
            if (brush != NULL) {
                DeleteObject(brush);
            }
            break;
        }
        brushes.push_back(brush);
    }
    for (HBRUSH brush : brushes) {
        DeleteObject(brush);
    }
    return (int)brushes.size();
}

void Repaint(HWND hwnd, int times)
{
    for (int i = 0; i < times; ++i) {
        InvalidateRect(hwnd, NULL, TRUE);
        UpdateWindow(hwnd);
    }
}

TEST(MainWindow, RepaintingUsesUpNoDrawingObjects)
{
    HWND hwnd = OpenMainModeless();
    ASSERT_NE(hwnd, (HWND)NULL);
    Repaint(hwnd, 5);  // anything the system caches on a first paint
    DWORD reportedBefore = GetGuiResources(GetCurrentProcess(), GR_GDIOBJECTS);
    int freeBefore = FreeGdiHandles();
    Repaint(hwnd, 300);
    int freeAfter = FreeGdiHandles();
    DWORD reportedAfter = GetGuiResources(GetCurrentProcess(), GR_GDIOBJECTS);
    ASSERT_GT(freeBefore, 1000);
    EXPECT_EQ(freeAfter, freeBefore);
    if (reportedBefore != 0) {
        EXPECT_EQ(reportedAfter, reportedBefore);
    }
    // Covering and uncovering, as a person would.
    HWND cover = CreateWindowExA(WS_EX_TOPMOST, "STATIC", "", WS_POPUP | WS_VISIBLE | SS_BLACKRECT,
                                 0, 0, 2000, 2000, NULL, NULL, NULL, NULL);
    PumpFor(50);
    DestroyWindow(cover);
    PumpFor(100);
    BannerCheck check = CheckBanner(hwnd);
    EXPECT_EQ(check.wrong, 0);
    EXPECT_EQ(check.outsideWrong, 0);
    CloseModeless(hwnd);
}

// --- Modal runs, the way the program runs -----------------------------------

struct ShownClock {
    HHOOK hook;
    std::string atShow;
};
ShownClock g_shownClock;

// Records the clock's text at the moment the dialog manager shows the window.
LRESULT CALLBACK WatchShow(int code, WPARAM wParam, LPARAM lParam)
{
    const CWPSTRUCT* call = (const CWPSTRUCT*)lParam;
    if (code == HC_ACTION && call->message == WM_SHOWWINDOW && call->wParam == TRUE &&
        GetDlgItem(call->hwnd, IDC_CLOCK) != NULL && g_shownClock.atShow.empty()) {
        g_shownClock.atShow = ControlText(call->hwnd, IDC_CLOCK);
    }
    return CallNextHookEx(g_shownClock.hook, code, wParam, lParam);
}

struct ClockRun {
    std::string first;
    bool refreshed;
    std::string address;
};

void ReadClockThenClose(DWORD guiThread, void* context)
{
    ClockRun* run = (ClockRun*)context;
    HWND hwnd = WaitForThreadDialog(guiThread, "Korvanta", 5000);
    if (hwnd == NULL) {
        return;
    }
    run->first = ControlText(hwnd, IDC_CLOCK);
    // The timer rewrites the label once a second.
    SetDlgItemTextA(hwnd, IDC_CLOCK, "stale");
    run->refreshed = WaitForControlText(hwnd, IDC_CLOCK, TodayAsClockText(), 3000);
    HWND address = SecondClockNumberedControl(hwnd);
    char text[64] = "";
    GetWindowTextA(address, text, sizeof text);
    run->address = text;
    PostMessageA(hwnd, WM_CLOSE, 0, 0);
    WaitForWindowGone(hwnd, 3000);
}

TEST(MainWindow, ClockShowsTodayBeforeTheWindowAppearsAndKeepsRunning)
{
    g_shownClock.atShow.clear();
    g_shownClock.hook = SetWindowsHookExA(WH_CALLWNDPROC, WatchShow, NULL, GetCurrentThreadId());
    ASSERT_NE(g_shownClock.hook, (HHOOK)NULL);
    std::string before = TodayAsClockText();
    ClockRun run = {};
    bool leftOpen = true;
    INT_PTR result = RunModalWithDriver(IDD_MAIN, MainDialogProc, ReadClockThenClose, &run,
                                        &leftOpen);
    std::string after = TodayAsClockText();
    UnhookWindowsHookEx(g_shownClock.hook);

    EXPECT_EQ(result, 0);
    EXPECT_FALSE(leftOpen);
    EXPECT_NE(g_shownClock.atShow, "KORVANTA");
    EXPECT_TRUE(g_shownClock.atShow == before || g_shownClock.atShow == after)
        << g_shownClock.atShow;
    EXPECT_TRUE(run.first == before || run.first == after) << run.first;
    EXPECT_TRUE(run.refreshed);
    EXPECT_EQ(run.address, ADDRESS_TEXT);
}

// One thing done to a running main window, and whether the window went away.
struct Action {
    const char* name;
    UINT message;
    WPARAM wParam;
    int targetId;  // 0: the dialog itself; else the control with that id
    bool closes;
};

struct ActionRun {
    const Action* action;
    bool found;
    bool gone;
};

void ApplyAction(DWORD guiThread, void* context)
{
    ActionRun* run = (ActionRun*)context;
    HWND hwnd = WaitForThreadDialog(guiThread, "Korvanta", 5000);
    run->found = hwnd != NULL;
    if (hwnd == NULL) {
        return;
    }
    HWND target = run->action->targetId == 0 ? hwnd : GetDlgItem(hwnd, run->action->targetId);
    PostMessageA(target, run->action->message, run->action->wParam, 0);
    if (run->action->message == WM_KEYDOWN) {
        PostMessageA(target, WM_KEYUP, run->action->wParam, 0xC0000001);
    }
    run->gone = WaitForWindowGone(hwnd, run->action->closes ? 3000 : 400);
    if (!run->gone) {
        PostMessageA(hwnd, WM_CLOSE, 0, 0);
        WaitForWindowGone(hwnd, 3000);
    }
}

TEST(MainWindow, OnlyTheCloseBoxAndExitEndTheWindow)
{
    const Action actions[] = {
        {"Esc on the window", WM_KEYDOWN, VK_ESCAPE, 0, false},
        {"Esc on the Open button", WM_KEYDOWN, VK_ESCAPE, IDC_OPEN, false},
        {"Enter on the window", WM_KEYDOWN, VK_RETURN, 0, false},
        {"IDCANCEL", WM_COMMAND, IDCANCEL, 0, false},
        {"IDOK", WM_COMMAND, IDOK, 0, false},
        {"WM_CLOSE", WM_CLOSE, 0, 0, true},
        {"close box", WM_SYSCOMMAND, SC_CLOSE, 0, true},
        {"Exit clicked", BM_CLICK, 0, IDC_EXIT, true},
        {"Exit command", WM_COMMAND, IDC_EXIT, 0, true},
    };
    for (const Action& action : actions) {
        SCOPED_TRACE(action.name);
        ActionRun run = {&action, false, false};
        bool leftOpen = true;
        INT_PTR result = RunModalWithDriver(IDD_MAIN, MainDialogProc, ApplyAction, &run, &leftOpen);
        EXPECT_TRUE(run.found);
        EXPECT_EQ(run.gone, action.closes);
        EXPECT_EQ(result, 0);
        EXPECT_FALSE(leftOpen);
    }
}

}  // namespace
