// The status strip: pane geometry and texts by table, and the real main window's paint read back
// on its pixels.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "box_answerer.h"
#include "main_window.h"
#include "program_state.h"
#include "status_layout.h"

namespace {

bool SameRect(const LayoutRect &a, const LayoutRect &b)
{
    return a.left == b.left && a.top == b.top && a.right == b.right && a.bottom == b.bottom;
}

std::string Show(const LayoutRect &r)
{
    return "(" + std::to_string(r.left) + "," + std::to_string(r.top) + "," + std::to_string(r.right) + "," +
           std::to_string(r.bottom) + ")";
}

}

TEST(StatusGeometry, PanesShareTheWidthLeftOfIndicatorAndButtonInSevenths)
{
    struct Case {
        LayoutRect client;
        LayoutRect frame;
        LayoutRect panes[4];
        LayoutRect indicator;
    } cases[] = {
        // 640 wide: u = (640 - 46) / 7 = 84 (594 does not divide evenly; pane 4 takes the rest).
        {{0, 0, 640, 480}, {0, 0, 640, 456},
         {{0, 458, 166, 480}, {168, 458, 334, 480}, {336, 458, 502, 480}, {504, 458, 592, 480}},
         {594, 458, 616, 480}},
        // u = 100 exactly.
        {{0, 0, 746, 300}, {0, 0, 746, 276},
         {{0, 278, 198, 300}, {200, 278, 398, 300}, {400, 278, 598, 300}, {600, 278, 698, 300}},
         {700, 278, 722, 300}},
        // A client rectangle that does not start at 0: every edge is relative to it. u = 2.
        {{5, 7, 65, 107}, {5, 7, 65, 83},
         {{5, 85, 7, 107}, {9, 85, 11, 107}, {13, 85, 15, 107}, {17, 85, 17, 107}},
         {19, 85, 41, 107}},
        // u = 4 / 7 = 0: the first three panes collapse to inverted slivers at the left edge.
        {{0, 0, 50, 60}, {0, 0, 50, 36},
         {{0, 38, -2, 60}, {0, 38, -2, 60}, {0, 38, -2, 60}, {0, 38, 2, 60}},
         {4, 38, 26, 60}},
        // u = -36 / 7 truncates to -5 (not -6): the panes run off to the left.
        {{0, 0, 10, 30}, {0, 0, 10, 6},
         {{0, 8, -12, 30}, {-10, 8, -22, 30}, {-20, 8, -32, 30}, {-30, 8, -38, 30}},
         {-36, 8, -14, 30}},
        // No client area at all (a minimised window).
        {{0, 0, 0, 0}, {0, 0, 0, -24},
         {{0, -22, -14, 0}, {-12, -22, -26, 0}, {-24, -22, -38, 0}, {-36, -22, -48, 0}},
         {-46, -22, -24, 0}},
    };
    for (const Case &c : cases) {
        StatusGeometry g = ComputeStatusGeometry(c.client, 24, 22);
        SCOPED_TRACE("client " + Show(c.client));
        EXPECT_TRUE(SameRect(g.listFrame, c.frame)) << Show(g.listFrame);
        for (int i = 0; i < 4; i++)
            EXPECT_TRUE(SameRect(g.panes[i], c.panes[i])) << "pane " << i + 1 << " " << Show(g.panes[i]);
        EXPECT_TRUE(SameRect(g.indicator, c.indicator)) << Show(g.indicator);
    }
}

TEST(StatusGeometry, ExtremeRectanglesSaturateInsteadOfOverflowing)
{
    const int big = 2147483647, small = -2147483647 - 1;
    StatusGeometry g = ComputeStatusGeometry({small, small, big, big}, 24, 22);
    // r - l does not fit an int; the result must still be ordered sensibly and in range.
    EXPECT_EQ(g.listFrame.left, small);
    EXPECT_EQ(g.listFrame.right, big);
    EXPECT_EQ(g.indicator.right, big - 24);
    EXPECT_LE(g.panes[0].right, g.panes[1].left);
    ChildLayout layout = ComputeChildLayout({small, small, big, big}, 24, 22);
    EXPECT_EQ(layout.list.right, big - 2);   // l + 2 + (r - l - 4), computed without wrapping
    EXPECT_EQ(layout.list.bottom, big - 26);
    EXPECT_EQ(layout.button.left, big - 22);
}

TEST(ChildLayout, ListKeepsTwoPixelMarginAndButtonSitsInTheBottomRightCorner)
{
    struct Case {
        LayoutRect client;
        LayoutRect list;
        LayoutRect button;
    } cases[] = {
        {{0, 0, 640, 480}, {2, 2, 638, 454}, {618, 458, 640, 480}},
        {{0, 0, 300, 100}, {2, 2, 298, 74}, {278, 78, 300, 100}},
        // Too small for a list: its size goes negative rather than wrapping.
        {{0, 0, 3, 20}, {2, 2, 1, -6}, {-19, -2, 3, 20}},
    };
    for (const Case &c : cases) {
        ChildLayout layout = ComputeChildLayout(c.client, 24, 22);
        SCOPED_TRACE("client " + Show(c.client));
        EXPECT_TRUE(SameRect(layout.list, c.list)) << Show(layout.list);
        EXPECT_TRUE(SameRect(layout.button, c.button)) << Show(layout.button);
        // The list's bottom edge stays 26 pixels above the client's bottom: strip and margin.
        EXPECT_EQ(c.client.bottom - layout.list.bottom, 26);
    }
}

TEST(PaneTexts, EachPaneShowsItsStateByCondition)
{
    StatusFacts off = {0, 0, 0, "VANTREL", "", "", 0, 0};
    StatusFacts on = {1, 1, 1, "MY_PIPE", "scott@ORCL", "C:\\logs\\trace.txt", 3, 1};
    StatusFacts oddFlags = {2, 2, 0, "P", "D", "", 1, 0};   // only exactly 1 counts as on
    StatusFacts noCaret = {0, 0, 0, "", "", "", 2, -1};
    StatusFacts failedCount = {0, 0, 0, "", "", "", -1, -1};   // LB_ERR from a missing list
    StatusFacts nulls = {1, 1, 1, nullptr, nullptr, nullptr, 0, 0};
    struct Case {
        const StatusFacts *facts;
        int pane;
        const char *text;
    } cases[] = {
        {&off, 0, "Not spying"},
        {&off, 1, "Not connected"},
        {&off, 2, "Not spooling"},
        {&off, 3, "No lines"},
        {&on, 0, "Spying on MY_PIPE"},
        {&on, 1, "Connected to scott@ORCL"},
        {&on, 2, "Spooling to \"C:\\logs\\trace.txt\""},
        {&on, 3, "Line 2 of 3"},
        {&oddFlags, 0, "Not spying"},
        {&oddFlags, 1, "Not connected"},
        {&oddFlags, 3, "Line 1 of 1"},
        {&noCaret, 3, "Line 0 of 2"},
        {&failedCount, 3, "No lines"},
        {&nulls, 0, "Spying on "},
        {&nulls, 1, "Connected to "},
        {&nulls, 2, "Spooling to \"\""},
        {&on, 4, ""},
        {&on, -1, ""},
    };
    for (const Case &c : cases) {
        char text[STATUS_TEXT_SIZE];
        memset(text, 'x', sizeof text);
        FormatPaneText(c.pane, *c.facts, text, sizeof text);
        EXPECT_STREQ(text, c.text) << "pane " << c.pane + 1;
    }
}

TEST(PaneTexts, LongSpoolPathIsCutToTheBufferAndNothingPastItIsWritten)
{
    // The longest path the spool buffer holds: the label makes the text 14 characters longer.
    std::string path(1023, 'p');
    StatusFacts facts = {0, 0, 1, "", "", path.c_str(), 0, 0};
    struct Guarded {
        char text[STATUS_TEXT_SIZE];
        char guard[16];
    } out;
    memset(&out, '#', sizeof out);
    FormatPaneText(2, facts, out.text, sizeof out.text);
    EXPECT_EQ(strlen(out.text), STATUS_TEXT_SIZE - 1);
    EXPECT_EQ(std::string(out.text, 13), "Spooling to \"");
    EXPECT_EQ(std::string(out.guard, sizeof out.guard), std::string(sizeof out.guard, '#'));

    // Small buffers cut too; a zero-sized one is left alone.
    char small[5];
    FormatPaneText(2, facts, small, sizeof small);
    EXPECT_STREQ(small, "Spoo");
    StatusFacts lines = {0, 0, 0, "", "", "", 2147483647, 2147483647};
    char position[STATUS_TEXT_SIZE];
    FormatPaneText(3, lines, position, sizeof position);
    EXPECT_STREQ(position, "Line 2147483648 of 2147483647");   // caret + 1 does not wrap
    char untouched = '#';
    FormatPaneText(0, facts, &untouched, 0);
    EXPECT_EQ(untouched, '#');
}

namespace {

HINSTANCE Instance(void)
{
    return GetModuleHandleA(nullptr);
}

// The real main window, shown, with the Connect dialog it opens at once cancelled.
class PaintedWindowTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ResetProgramState(Instance(), "");
        ASSERT_TRUE(RegisterMainWindowClass(Instance()));
        answerer_.Answer(IDCANCEL);
        window_ = CreateMainWindow(Instance());
        ASSERT_NE(window_, nullptr);
        SetWindowPos(window_, HWND_TOP, 40, 40, 700, 400, SWP_SHOWWINDOW);
        UpdateWindow(window_);
        ASSERT_TRUE(PumpUntil([&] { return answerer_.Pending() == 0; }, 5000));
        PumpMessages(50);
    }

    void TearDown() override
    {
        if (window_ != nullptr && IsWindow(window_))
            DestroyWindow(window_);
        MSG message;
        while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
        }
        UnregisterClassA(MAIN_WINDOW_CLASS, Instance());
        ResetProgramState(Instance(), "");
    }

    StatusGeometry Geometry(void)
    {
        RECT client;
        GetClientRect(window_, &client);
        return ComputeStatusGeometry({(int)client.left, (int)client.top, (int)client.right, (int)client.bottom}, 24, 22);
    }

    // Paints the client black first, so that only what the paint handler draws shows afterwards.
    void RepaintOverBlack(void)
    {
        HDC dc = GetDC(window_);
        RECT client;
        GetClientRect(window_, &client);
        FillRect(dc, &client, (HBRUSH)GetStockObject(BLACK_BRUSH));
        ReleaseDC(window_, dc);
        InvalidateRect(window_, nullptr, FALSE);
        UpdateWindow(window_);
    }

    COLORREF Pixel(int x, int y)
    {
        HDC dc = GetDC(window_);
        COLORREF colour = GetPixel(dc, x, y);
        ReleaseDC(window_, dc);
        return colour;
    }

    // First and last column of a rectangle that hold a dark (text) pixel; -1 when none does.
    void DarkColumns(const RECT &rect, int *first, int *last)
    {
        HDC dc = GetDC(window_);
        *first = *last = -1;
        for (int x = rect.left; x < rect.right; x++)
            for (int y = rect.top; y < rect.bottom; y++) {
                COLORREF c = GetPixel(dc, x, y);
                if (GetRValue(c) < 96 && GetGValue(c) < 96 && GetBValue(c) < 96) {
                    if (*first < 0)
                        *first = x;
                    *last = x;
                    break;
                }
            }
        ReleaseDC(window_, dc);
    }

    HWND window_ = nullptr;
    BoxAnswerer answerer_;
};

RECT Inner(const LayoutRect &pane)
{
    RECT rect = {pane.left + 4, pane.top + 2, pane.right - 4, pane.bottom - 2};
    return rect;
}

}

TEST_F(PaintedWindowTest, IndicatorIsFilledWithTheColourOfItsState)
{
    const struct {
        int state;
        COLORREF colour;
        const char *name;
    } cases[] = {
        {INDICATOR_OFF, RGB(255, 0, 0), "red"},
        {INDICATOR_WAITING, RGB(255, 255, 0), "yellow"},
        {INDICATOR_RECEIVED, RGB(0, 255, 0), "green"},
        {INDICATOR_OFF, RGB(255, 0, 0), "red again"},
        {7, RGB(0, 255, 0), "any other value green"},
    };
    LayoutRect indicator = Geometry().indicator;
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        programState.indicatorState = c.state;
        RepaintOverBlack();
        // The fill covers the rectangle inside the 2-pixel sunken edge, and only that.
        EXPECT_EQ(Pixel((indicator.left + indicator.right) / 2, (indicator.top + indicator.bottom) / 2), c.colour);
        EXPECT_EQ(Pixel(indicator.left + 2, indicator.top + 2), c.colour);
        EXPECT_EQ(Pixel(indicator.right - 3, indicator.bottom - 3), c.colour);
        EXPECT_NE(Pixel(indicator.left + 1, indicator.top + 1), c.colour);
        EXPECT_NE(Pixel(indicator.right - 2, indicator.bottom - 2), c.colour);
    }
    programState.indicatorState = INDICATOR_OFF;
}

TEST_F(PaintedWindowTest, PanesAreFramedFilledAndAlignedAndTheListIsFramed)
{
    RepaintOverBlack();
    StatusGeometry geometry = Geometry();
    const COLORREF face = GetSysColor(COLOR_BTNFACE), shadow = GetSysColor(COLOR_BTNSHADOW),
                   light = GetSysColor(COLOR_BTNHIGHLIGHT), black = RGB(0, 0, 0);
    ASSERT_NE(face, black);

    // The sunken frame around the list: shadow at the top left, light at the bottom right.
    EXPECT_EQ(Pixel(geometry.listFrame.left, geometry.listFrame.top + 5), shadow);
    EXPECT_EQ(Pixel(geometry.listFrame.right - 1, geometry.listFrame.bottom - 5), light);

    for (int pane = 0; pane < STATUS_PANE_COUNT; pane++) {
        SCOPED_TRACE("pane " + std::to_string(pane + 1));
        LayoutRect outer = geometry.panes[pane];
        RECT inner = Inner(outer);
        int middle = (inner.top + inner.bottom) / 2;
        // One-pixel sunken edge, then a margin of the window's own colour, then the fill.
        EXPECT_EQ(Pixel(outer.left, middle), shadow);
        EXPECT_EQ(Pixel(outer.right - 1, middle), light);
        EXPECT_EQ(Pixel(inner.left, inner.top), face);
        EXPECT_EQ(Pixel(inner.right - 1, inner.bottom - 1), face);
        // Nothing of the strip is painted between the panes: the black stays.
        EXPECT_EQ(Pixel(outer.right + 1, middle), black);

        // "Not spying", "Not connected", "Not spooling" read from the left; "No lines" from the right.
        int first = -1, last = -1;
        DarkColumns(inner, &first, &last);
        ASSERT_GE(first, 0) << "no text drawn";
        if (pane < 3) {
            EXPECT_LE(first - inner.left, 3);
            EXPECT_GT(inner.right - 1 - last, 20);
        } else {
            EXPECT_LE(inner.right - 1 - last, 3);
            EXPECT_GT(first - inner.left, 10);
        }
    }
}

TEST_F(PaintedWindowTest, WindowTooNarrowForThePanesStillPaints)
{
    // The platform keeps a window with a sizing frame wider than the panes need; without the
    // frame and caption the client can be made as narrow as u <= 0 requires.
    SetWindowLongA(window_, GWL_STYLE, GetWindowLongA(window_, GWL_STYLE) & ~(WS_THICKFRAME | WS_CAPTION));
    for (int width : {120, 60, 52, 46, 20, 1}) {
        SetWindowPos(window_, nullptr, 0, 0, width, 200, SWP_NOMOVE | SWP_NOZORDER);
        RECT client;
        GetClientRect(window_, &client);
        int u = ((int)client.right - 46) / 7;
        SCOPED_TRACE("client width " + std::to_string(client.right) + ", u " + std::to_string(u));
        RepaintOverBlack();
        PumpMessages(10);
        // Still painted: the indicator, wherever it lands inside the window, is red.
        LayoutRect indicator = Geometry().indicator;
        int x = indicator.right - 3;
        if (x >= 0 && x < client.right) {
            EXPECT_EQ(Pixel(x, indicator.bottom - 3), RGB(255, 0, 0));
        }
        EXPECT_TRUE(IsWindow(window_));
    }
    RECT client;
    GetClientRect(window_, &client);
    EXPECT_LE(((int)client.right - 46) / 7, 0) << "the narrowest window must reach u <= 0";
}
