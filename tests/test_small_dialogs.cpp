// The Options, About and Display dialogs, run for real and answered through the box answerer;
// Options stops real spying on the private database.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "box_answerer.h"
#include "deferred_action.h"
#include "dialogs.h"
#include "program_state.h"
#include "resource.h"
#include "test_db.h"
#include "test_env.h"
#include "test_window.h"
#include "trace_poller.h"

namespace {

std::string ControlText(HWND dialog, int id)
{
    std::vector<char> text(8192);
    GetDlgItemTextA(dialog, id, text.data(), (int)text.size());
    return text.data();
}

std::string WindowTitle(HWND window)
{
    char title[256] = "";
    GetWindowTextA(window, title, sizeof title);
    return title;
}

// Distance between the centres of a dialog and its owner, in pixels along each axis.
POINT CentreOffset(HWND dialog, HWND owner)
{
    RECT inner = {}, outer = {};
    GetWindowRect(dialog, &inner);
    GetWindowRect(owner, &outer);
    POINT offset = {std::abs((inner.left + inner.right) - (outer.left + outer.right)) / 2,
                    std::abs((inner.top + inner.bottom) - (outer.top + outer.bottom)) / 2};
    return offset;
}

// How a test closes a dialog: a button, or the close box (WM_CLOSE).
const int CLOSE_BOX = -1;

void CloseDialog(HWND dialog, int how)
{
    if (how == CLOSE_BOX)
        PostMessageA(dialog, WM_CLOSE, 0, 0);
    else
        BoxAnswerer::PressButton(dialog, how);
}

class SmallDialogs : public ::testing::Test {
protected:
    void SetUp() override { CreateTestWindows(true); }

    void TearDown() override
    {
        for (const SeenBox &seen : answerer_.Seen())
            EXPECT_TRUE(seen.expected) << "unexpected box \"" << seen.caption << "\": " << seen.text;
        EXPECT_EQ(answerer_.Pending(), 0u);
        if (programState.spying == 1)
            programState.spying = SetSpying(0);
        DestroyTestWindows();
    }

    // Logs on to the private database and starts spying, as the Spying command would.
    void StartSpying()
    {
        if (!programState.connected) {
            std::string connect = TestConnectString();
            ASSERT_EQ(DbLogOn(&programState.logonArea, programState.hostArea, connect.c_str(), -1, nullptr, -1, 0), 0)
                << "log on failed with " << programState.logonArea.returnCode;
            programState.connected = 1;
            std::string pipe = UniquePipeName("OPTIONS");
            lstrcpynA(programState.pipeName, pipe.c_str(), sizeof programState.pipeName);
        }
        UINT period = programState.timerInterval;
        programState.timerInterval = 60000;   // no tick while the test runs
        programState.spying = SetSpying(1);
        programState.timerInterval = period;
        ASSERT_EQ(programState.spying, 1);
        ASSERT_EQ(WindowTitle(programState.mainWindow), "Vantrel *");
    }

    // Queues the answer for the next dialog: once its loop runs, call inspect, then close it.
    void AnswerDialog(std::function<void(HWND)> inspect, int how)
    {
        answerer_.Handle([inspect, how](HWND dialog, const SeenBox &) {
            RunFromDialogLoop([dialog, inspect, how] {
                inspect(dialog);
                CloseDialog(dialog, how);
            });
        });
    }

    BoxAnswerer answerer_;
};

TEST_F(SmallDialogs, OptionsOkStoresTheFieldAsAnUnsignedNumberAndStopsSpying)
{
    struct Case {
        const char *name;
        UINT period;          // before the dialog
        const char *shown;    // what the field shows at first
        const char *typed;    // nullptr: leave the field as shown
        UINT stored;
    } cases[] = {
        {"250", 500, "500", "250", 250},
        {"unchanged number", 500, "500", nullptr, 500},
        {"not a number", 500, "500", "abc", 0},
        {"empty", 500, "500", "", 0},
        {"zero", 500, "500", "0", 0},
        {"above 2^31", 4000000000u, "4000000000", "4294967295", 4294967295u},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        answerer_.Clear();
        programState.timerInterval = c.period;
        StartSpying();
        std::string shown;
        AnswerDialog(
            [&shown, &c](HWND dialog) {
                shown = ControlText(dialog, IDC_INTERVAL);
                if (c.typed != nullptr)
                    SetDlgItemTextA(dialog, IDC_INTERVAL, c.typed);
            },
            IDOK);

        EXPECT_EQ(OptionsCommand(), 0);

        ASSERT_EQ(answerer_.Seen().size(), 1u);
        EXPECT_EQ(answerer_.Seen()[0].caption, "Options");
        EXPECT_EQ(shown, c.shown);
        EXPECT_EQ(programState.timerInterval, c.stored);
        EXPECT_EQ(programState.spying, 0);
        EXPECT_EQ(programState.indicatorState, INDICATOR_OFF);
        EXPECT_EQ(WindowTitle(programState.mainWindow), "Vantrel") << "the title changes at once";
    }
}

TEST_F(SmallDialogs, OptionsCancelledOrClosedChangesNothingAndSpyingGoesOn)
{
    for (int how : {IDCANCEL, CLOSE_BOX}) {
        SCOPED_TRACE(how == IDCANCEL ? "Cancel" : "close box");
        answerer_.Clear();
        programState.timerInterval = 500;
        if (programState.spying == 0)
            StartSpying();
        AnswerDialog([](HWND dialog) { SetDlgItemTextA(dialog, IDC_INTERVAL, "250"); }, how);

        EXPECT_EQ(OptionsCommand(), 0);

        ASSERT_EQ(answerer_.Seen().size(), 1u);
        EXPECT_EQ(programState.timerInterval, 500u);
        EXPECT_EQ(programState.spying, 1);
        EXPECT_EQ(WindowTitle(programState.mainWindow), "Vantrel *");
        EXPECT_NE(KillTimer(programState.mainWindow, TRACE_TIMER_ID), FALSE) << "the poll timer still runs";
        programState.timerId = SetTimer(programState.mainWindow, TRACE_TIMER_ID, 60000, nullptr);
    }
}

// "available/total" of one label, as two numbers.
struct MemoryPair {
    unsigned long long available = 0, total = 0;
    bool parsed = false;
};

MemoryPair ParsePair(const std::string &text)
{
    MemoryPair pair;
    size_t slash = text.find('/');
    if (slash == std::string::npos || slash == 0 || slash + 1 >= text.size())
        return pair;
    if (text.find_first_not_of("0123456789/") != std::string::npos)
        return pair;
    pair.available = std::strtoull(text.substr(0, slash).c_str(), nullptr, 10);
    pair.total = std::strtoull(text.substr(slash + 1).c_str(), nullptr, 10);
    pair.parsed = true;
    return pair;
}

TEST_F(SmallDialogs, AboutShowsAvailableThenTotalInKibFromTheMemoryStatus)
{
    for (int how : {IDOK, IDCANCEL, CLOSE_BOX}) {
        answerer_.Clear();
        std::string version, labels[3];
        MEMORYSTATUS status = {};
        AnswerDialog(
            [&](HWND dialog) {
                version = ControlText(dialog, IDC_VERSION);
                labels[0] = ControlText(dialog, IDC_PHYSICAL);
                labels[1] = ControlText(dialog, IDC_PAGED);
                labels[2] = ControlText(dialog, IDC_VIRTUAL);
                status.dwLength = sizeof status;
                GlobalMemoryStatus(&status);
            },
            how);

        EXPECT_EQ(AboutCommand(), 0);

        ASSERT_EQ(answerer_.Seen().size(), 1u);
        EXPECT_EQ(answerer_.Seen()[0].caption, "About");
        EXPECT_EQ(version, "32-bit Version");
        const struct {
            const char *name;
            SIZE_T available, total;
        } expected[3] = {{"physical", status.dwAvailPhys, status.dwTotalPhys},
                         {"paged", status.dwAvailPageFile, status.dwTotalPageFile},
                         {"virtual", status.dwAvailVirtual, status.dwTotalVirtual}};
        for (int i = 0; i < 3; i++) {
            SCOPED_TRACE(expected[i].name);
            MemoryPair pair = ParsePair(labels[i]);
            ASSERT_TRUE(pair.parsed) << labels[i];
            // Totals are fixed; what is available moves a little between the two readings.
            EXPECT_EQ(pair.total, (unsigned long long)(expected[i].total >> 10)) << labels[i];
            unsigned long long available = expected[i].available >> 10;
            unsigned long long slack = pair.total / 20;
            EXPECT_LE(pair.available, available + slack) << labels[i];
            EXPECT_GE(pair.available + slack, available) << labels[i];
            EXPECT_LE(pair.available, pair.total) << labels[i];
        }
    }
}

TEST_F(SmallDialogs, DisplayShowsTheTextExactlyAndClosesEitherWay)
{
    std::string longText;
    for (int i = 0; longText.size() < 2000; i++) {
        char c = (char)(0x20 + i % 0xE0);
        // 0x98 is U+02DC, which crashes Wine 8's text shaping in a wrapped edit field.
        if (c != '\x98')
            longText += c;
    }
    const std::string texts[] = {"short", longText, "two\r\nlines\ttab"};
    for (const std::string &text : texts) {
        for (int how : {IDCANCEL, CLOSE_BOX}) {
            answerer_.Clear();
            std::string shown;
            DWORD fieldStyle = 0;
            AnswerDialog(
                [&](HWND dialog) {
                    shown = ControlText(dialog, IDC_MESSAGE);
                    fieldStyle = (DWORD)GetWindowLongA(GetDlgItem(dialog, IDC_MESSAGE), GWL_STYLE);
                },
                how);

            EXPECT_EQ(RunDisplayDialog(text.c_str()), 0);

            ASSERT_EQ(answerer_.Seen().size(), 1u);
            EXPECT_EQ(answerer_.Seen()[0].caption, "Display");
            EXPECT_EQ(shown, text);
            EXPECT_TRUE(fieldStyle & ES_READONLY);
        }
    }
}

TEST_F(SmallDialogs, EachDialogIsOwnedByTheMainWindowAndCentredOverIt)
{
    MoveWindow(programState.mainWindow, 150, 120, 700, 500, TRUE);
    struct Case {
        const char *caption;
        std::function<void()> run;
        int closeWith;
    } cases[] = {
        {"Options", [] { OptionsCommand(); }, IDCANCEL},
        {"About", [] { AboutCommand(); }, IDOK},
        {"Display", [] { RunDisplayDialog("text"); }, IDCANCEL},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.caption);
        answerer_.Clear();
        POINT offset = {-1, -1};
        AnswerDialog([&offset](HWND dialog) { offset = CentreOffset(dialog, programState.mainWindow); }, c.closeWith);
        c.run();
        ASSERT_EQ(answerer_.Seen().size(), 1u);
        EXPECT_EQ(answerer_.Seen()[0].caption, c.caption);
        EXPECT_EQ(answerer_.Seen()[0].owner, programState.mainWindow);
        EXPECT_LE(offset.x, 1);
        EXPECT_LE(offset.y, 1);
        EXPECT_GE(offset.x, 0);
    }
}

}
