// The Connect dialog and the helper that centres every dialog over its owner.
#include <windows.h>

#include <gtest/gtest.h>

#include "center_geometry.h"
#include "dialogs.h"

namespace {

struct CenterCase {
    const char *name;
    ScreenRect window;
    ScreenRect parent;
    ScreenPoint expected;
};

const CenterCase CENTER_CASES[] = {
    {"smaller dialog sits in the middle", {0, 0, 200, 100}, {100, 100, 740, 580}, {320, 290}},
    {"odd sizes halve toward zero", {500, 500, 550, 525}, {0, 0, 101, 51}, {25, 13}},
    // Halving each side separately differs from halving the difference: 100 - 150, not -99 / 2.
    {"each half truncated on its own", {0, 0, 300, 40}, {600, 600, 801, 700}, {550, 630}},
    {"larger dialog overhangs both sides equally", {0, 0, 400, 300}, {500, 400, 700, 500}, {400, 300}},
    {"larger dialog near the top-left stops at 0", {0, 0, 400, 300}, {10, 20, 210, 120}, {0, 0}},
    {"only the coordinate that would be negative becomes 0", {0, 0, 300, 50}, {0, 300, 100, 400}, {0, 325}},
    {"owner partly off the screen to the top-left", {0, 0, 100, 50}, {-300, -200, -100, 0}, {0, 0}},
    {"nothing holds it back at the bottom-right", {0, 0, 400, 300}, {1200, 950, 1280, 1024}, {1040, 837}},
    {"same size as the owner takes its place", {7, 7, 207, 107}, {50, 60, 250, 160}, {50, 60}},
};

TEST(CenterGeometry, PlacesDialogByTable)
{
    for (const CenterCase &c : CENTER_CASES) {
        ScreenPoint got = CenteredPosition(c.window, c.parent);
        EXPECT_EQ(got.x, c.expected.x) << c.name;
        EXPECT_EQ(got.y, c.expected.y) << c.name;
    }
}

const char POPUP_CLASS[] = "VantrelCenterTestPopup";

HWND CreatePopup(HWND owner, int x, int y, int width, int height)
{
    WNDCLASSA windowClass = {};
    windowClass.lpfnWndProc = DefWindowProcA;
    windowClass.hInstance = GetModuleHandleA(nullptr);
    windowClass.lpszClassName = POPUP_CLASS;
    RegisterClassA(&windowClass);   // fails harmlessly when already registered
    return CreateWindowExA(0, POPUP_CLASS, "popup", WS_POPUP | WS_CAPTION, x, y, width, height, owner, nullptr,
                           GetModuleHandleA(nullptr), nullptr);
}

RECT WindowRect(HWND window)
{
    RECT rect = {};
    GetWindowRect(window, &rect);
    return rect;
}

}

// The real windows: an owned popup is centred over its owner, keeps its size, and a popup
// larger than an owner near the top-left corner stops at the screen's edge.
TEST(CenterDialog, CentresOwnedWindowOverItsOwner)
{
    HWND owner = CreatePopup(nullptr, 100, 100, 640, 480);
    ASSERT_NE(owner, nullptr);
    HWND popup = CreatePopup(owner, 900, 900, 200, 100);
    ASSERT_NE(popup, nullptr);
    ASSERT_EQ(GetParent(popup), owner);

    CenterDialog(popup);
    RECT rect = WindowRect(popup);
    EXPECT_EQ(rect.left, 320);
    EXPECT_EQ(rect.top, 290);
    EXPECT_EQ(rect.right - rect.left, 200);
    EXPECT_EQ(rect.bottom - rect.top, 100);

    DestroyWindow(popup);
    DestroyWindow(owner);
}

TEST(CenterDialog, LargerThanOwnerNearTopLeftStopsAtScreenEdge)
{
    HWND owner = CreatePopup(nullptr, 10, 20, 200, 100);
    HWND popup = CreatePopup(owner, 600, 600, 400, 300);
    ASSERT_NE(popup, nullptr);

    CenterDialog(popup);
    RECT rect = WindowRect(popup);
    EXPECT_EQ(rect.left, 0);
    EXPECT_EQ(rect.top, 0);
    EXPECT_EQ(rect.right - rect.left, 400);

    // Away from the corner it overhangs the owner equally on both sides.
    SetWindowPos(owner, nullptr, 500, 400, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
    CenterDialog(popup);
    rect = WindowRect(popup);
    EXPECT_EQ(rect.left, 400);
    EXPECT_EQ(rect.top, 300);

    DestroyWindow(popup);
    DestroyWindow(owner);
}

TEST(CenterDialog, WindowWithoutOwnerCentresOnDesktop)
{
    HWND popup = CreatePopup(nullptr, 3, 4, 300, 200);
    ASSERT_NE(popup, nullptr);
    RECT desktop = WindowRect(GetDesktopWindow());
    ASSERT_GT(desktop.right - desktop.left, 300);

    CenterDialog(popup);
    RECT rect = WindowRect(popup);
    EXPECT_EQ(rect.left, desktop.left + ((desktop.right - desktop.left) / 2 - 150));
    EXPECT_EQ(rect.top, desktop.top + ((desktop.bottom - desktop.top) / 2 - 100));

    DestroyWindow(popup);
}
