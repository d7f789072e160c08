// The status strip: pane geometry and texts by table, and the real main window's paint read back
// on its pixels.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

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
