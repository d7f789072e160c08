// The trace poller against the private PostgreSQL through ODBC, with a real trace list, real
// spool files and real message boxes.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "box_answerer.h"
#include "file_probe.h"
#include "logon.h"
#include "program_state.h"
#include "program_window.h"
#include "resource.h"
#include "test_db.h"
#include "test_env.h"
#include "test_window.h"
#include "trace_poller.h"

namespace {

// Until the main window exists, the stand-in owner gets the parts of its procedure the poller
// relies on: a poll timer tick runs PollTrace (and stops spying when it says so), and commands
// sent to it are recorded. Paints are counted so a test can see the repaints the poller asks for.
struct OwnerRecord {
    WNDPROC previous = nullptr;
    std::vector<WORD> commands;     // low words of WM_COMMAND received
    LRESULT connectResult = 0;      // what the Connect command answers
    int paints = 0;
    int erases = 0;
    int ticks = 0;                  // poll timer ticks delivered
};
OwnerRecord owner;

LRESULT CALLBACK OwnerStandInProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_TIMER:
        if (wParam == TRACE_TIMER_ID) {
            owner.ticks++;
            if (PollTrace() == 0)
                SetSpying(0);
            return 0;
        }
        break;
    case WM_COMMAND:
        owner.commands.push_back(LOWORD(wParam));
        return LOWORD(wParam) == IDM_CONNECT ? owner.connectResult : 0;
    case WM_PAINT:
        owner.paints++;
        break;
    case WM_ERASEBKGND:
        owner.erases++;
        break;
    }
    return CallWindowProcA(owner.previous, window, message, wParam, lParam);
}

void AddLines(const std::vector<std::string> &lines)
{
    for (const std::string &line : lines)
        SendMessageA(programState.listBox, LB_ADDSTRING, 0, (LPARAM)line.c_str());
}

std::string TempFilePath(const char *name)
{
    char folder[MAX_PATH] = "";
    GetTempPathA(sizeof folder, folder);
    return std::string(folder) + name + "_" + std::to_string(GetCurrentProcessId()) + ".txt";
}

// True when the poll timer was still set; kills it as a side effect.
bool PollTimerWasSet(void)
{
    return KillTimer(programState.mainWindow, TRACE_TIMER_ID) != FALSE;
}

class TracePoller : public ::testing::Test {
protected:
    void SetUp() override { Start(false); }

    void Start(bool visible)
    {
        CreateTestWindows(visible);
        owner = OwnerRecord();
        owner.previous = (WNDPROC)SetWindowLongPtrA(programState.mainWindow, GWLP_WNDPROC, (LONG_PTR)OwnerStandInProc);
        ASSERT_TRUE(sender.Connected()) << sender.LastError();
        pipe = UniquePipeName("POLLER");
        ASSERT_NO_FATAL_FAILURE(LogOnTestWindows(pipe));
    }

    void TearDown() override
    {
        if (programState.spying == 1)
            programState.spying = SetSpying(0);
        if (programState.activeSpoolFile != HFILE_ERROR)
            _lclose(programState.activeSpoolFile);
        programState.activeSpoolFile = HFILE_ERROR;
        DestroyTestWindows();
        if (!spoolPath.empty())
            DeleteFileA(spoolPath.c_str());
    }

    // Starts spying the way the Spying command does, with a period long enough that no tick
    // arrives unless the test pumps for it.
    void StartSpying(UINT interval = 60000)
    {
        programState.timerInterval = interval;
        programState.spying = SetSpying(1);
        ASSERT_EQ(programState.spying, 1);
        ASSERT_EQ(answerer.Seen().size(), 0u) << answerer.Seen()[0].text;
    }

    void Send(const std::string &message) { ASSERT_TRUE(sender.SendTrace(pipe, message)) << sender.LastError(); }

    void SpoolToNewFile(const char *name)
    {
        spoolPath = TempFilePath(name);
        programState.activeSpoolFile = _lcreat(spoolPath.c_str(), 0);
        ASSERT_NE(programState.activeSpoolFile, HFILE_ERROR);
    }

    // Closes the spool file so its bytes can be read as another program would.
    std::string SpooledBytes(void)
    {
        if (programState.activeSpoolFile != HFILE_ERROR)
            _lclose(programState.activeSpoolFile);
        programState.activeSpoolFile = HFILE_ERROR;
        return FileBytes(spoolPath);
    }

    BoxAnswerer answerer;
    TestDbSession sender;
    std::string pipe;
    std::string spoolPath;
};

}

TEST_F(TracePoller, MessageBecomesLastLineAndIsSpooledWithCrLf)
{
    // Enough earlier lines that the list has to scroll to show the new one.
    std::vector<std::string> earlier;
    for (int i = 0; i < 80; i++)
        earlier.push_back("earlier line " + std::to_string(i));
    AddLines(earlier);
    SpoolToNewFile("poller_spool");
    StartSpying();
    EXPECT_EQ(WindowTitle(programState.mainWindow), "Vantrel *");
    EXPECT_EQ(programState.indicatorState, INDICATOR_WAITING);

    const std::string first = "first message: 'quoted', \"double\", tab\there";
    const std::string second = "second message ;-- not SQL";
    Send(first);
    Send(second);

    EXPECT_EQ(PollTrace(), 1);
    EXPECT_EQ(programState.indicatorState, INDICATOR_RECEIVED);
    EXPECT_EQ(PollTrace(), 1);

    std::vector<std::string> lines = TraceListLines();
    ASSERT_EQ(lines.size(), 82u);
    EXPECT_EQ(lines[80], first);
    EXPECT_EQ(lines[81], second);
    EXPECT_EQ((int)SendMessageA(programState.listBox, LB_GETCARETINDEX, 0, 0), 81);
    EXPECT_GT((int)SendMessageA(programState.listBox, LB_GETTOPINDEX, 0, 0), 0) << "the list did not scroll";

    // Empty pipe: nothing more is written anywhere.
    EXPECT_EQ(PollTrace(), 1);
    EXPECT_EQ(TraceListLines().size(), 82u);
    EXPECT_EQ(SpooledBytes(), first + "\r\n" + second + "\r\n");
    EXPECT_EQ(answerer.Seen().size(), 0u);
    EXPECT_EQ(programState.spying, 1);
}

TEST_F(TracePoller, RealTimerDrainsOneMessagePerTickWhileSpying)
{
    // The Spying command starts the poll; the timer then delivers the messages in order.
    programState.timerInterval = 20;
    SpyingCommand();
    ASSERT_EQ(programState.spying, 1);
    ASSERT_NE(programState.timerId, 0u);
    for (int i = 0; i < 5; i++)
        Send("tick message " + std::to_string(i));
    ASSERT_TRUE(PumpUntil([] { return TraceListLines().size() == 5; }, 5000)) << TraceListLines().size();
    for (int i = 0; i < 5; i++)
        EXPECT_EQ(TraceListLines()[i], "tick message " + std::to_string(i));

    // Spying again stops it: title, indicator and timer go back to off.
    SpyingCommand();
    EXPECT_EQ(programState.spying, 0);
    EXPECT_EQ(programState.indicatorState, INDICATOR_OFF);
    EXPECT_EQ(WindowTitle(programState.mainWindow), "Vantrel");
    EXPECT_FALSE(PollTimerWasSet());
    EXPECT_EQ(answerer.Seen().size(), 0u);
}

TEST_F(TracePoller, NullAndEmptyResultsAddNothingAndTurnGreenToYellow)
{
    // The server really hands back an empty text (not NULL) for an empty message.
    std::string probe = UniquePipeName("POLLER_PROBE");
    ASSERT_TRUE(sender.SendTrace(probe, ""));
    ASSERT_EQ(sender.SelectText("SELECT coalesce(vantrel.get(?), '<null>')", {probe}), "");

    struct Case {
        const char *name;
        bool sendEmpty;
    } cases[] = {{"NULL result", false}, {"empty result", true}};
    SpoolToNewFile("poller_empty");
    StartSpying();
    std::string expectedSpool;
    size_t expectedLines = 0;
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        Send(std::string("before ") + c.name);
        ASSERT_EQ(PollTrace(), 1);
        expectedSpool += std::string("before ") + c.name + "\r\n";
        expectedLines++;
        ASSERT_EQ(programState.indicatorState, INDICATOR_RECEIVED);

        if (c.sendEmpty)
            Send("");
        EXPECT_EQ(PollTrace(), 1);
        EXPECT_EQ(programState.indicatorState, INDICATOR_WAITING);
        EXPECT_EQ(TraceListLines().size(), expectedLines);
        // It stays yellow.
        EXPECT_EQ(PollTrace(), 1);
        EXPECT_EQ(programState.indicatorState, INDICATOR_WAITING);
        EXPECT_EQ(TraceListLines().size(), expectedLines);
    }
    EXPECT_EQ(SpooledBytes(), expectedSpool);
    EXPECT_EQ(answerer.Seen().size(), 0u);
}

TEST_F(TracePoller, TwoThousandCharacterMessageArrivesWhole)
{
    std::string message;
    for (int i = 0; i < 2000; i++)
        message += (char)('A' + (i * 7) % 26);
    message[0] = '<';
    message[1999] = '>';
    SpoolToNewFile("poller_long");
    StartSpying();
    Send(message);
    ASSERT_EQ(PollTrace(), 1);

    std::vector<std::string> lines = TraceListLines();
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_EQ(lines[0].size(), 2000u);
    EXPECT_EQ(lines[0], message);
    EXPECT_EQ(SpooledBytes(), message + "\r\n");
}

namespace {

// The real list box never refuses a line here (it took a million lines under Wine in a probe),
// so a subclass of the real list answers the first refusals itself.
struct ListRefusal {
    WNDPROC previous = nullptr;
    LRESULT answer = LB_ERRSPACE;
    int refusalsLeft = 0;
    int addCalls = 0;
};
ListRefusal refusal;

LRESULT CALLBACK RefusingListProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == LB_ADDSTRING) {
        refusal.addCalls++;
        if (refusal.refusalsLeft > 0) {
            refusal.refusalsLeft--;
            return refusal.answer;
        }
    }
    return CallWindowProcA(refusal.previous, window, message, wParam, lParam);
}

}

TEST_F(TracePoller, RefusedLineDropsOldestLineAndIsTriedOnceMore)
{
    struct Case {
        const char *name;
        LRESULT answer;
        int refusals;
        std::vector<std::string> expected;
        int caret;                  // -1: the caret is not moved to a refused line
    } cases[] = {
        {"out of space once", LB_ERRSPACE, 1, {"old 1", "old 2", "new"}, 2},
        {"error once", LB_ERR, 1, {"old 1", "old 2", "new"}, 2},
        {"refused twice: no second retry", LB_ERRSPACE, 2, {"old 1", "old 2"}, 0},
    };
    StartSpying();
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        SendMessageA(programState.listBox, LB_RESETCONTENT, 0, 0);
        AddLines({"old 0", "old 1", "old 2"});
        SendMessageA(programState.listBox, LB_SETCARETINDEX, 0, 0);
        SpoolToNewFile("poller_refused");
        refusal = ListRefusal();
        refusal.answer = c.answer;
        refusal.refusalsLeft = c.refusals;
        refusal.previous = (WNDPROC)SetWindowLongPtrA(programState.listBox, GWLP_WNDPROC, (LONG_PTR)RefusingListProc);

        Send("new");
        EXPECT_EQ(PollTrace(), 1);
        SetWindowLongPtrA(programState.listBox, GWLP_WNDPROC, (LONG_PTR)refusal.previous);

        EXPECT_EQ(refusal.addCalls, 2);
        EXPECT_EQ(TraceListLines(), c.expected);
        EXPECT_EQ((int)SendMessageA(programState.listBox, LB_GETCARETINDEX, 0, 0), c.caret);
        EXPECT_EQ(programState.indicatorState, INDICATOR_RECEIVED);
        // The spool file is the complete record, refused or not.
        EXPECT_EQ(SpooledBytes(), "new\r\n");
        EXPECT_EQ(answerer.Seen().size(), 0u);
    }
}

TEST_F(TracePoller, SpoolWriteFailureClosesFileWarnsOnceAndPollingGoesOn)
{
    // A real device that is always full: _lcreat succeeds and every _lwrite fails.
    programState.activeSpoolFile = _lcreat("Z:\\dev\\full", 0);
    ASSERT_NE(programState.activeSpoolFile, HFILE_ERROR);
    StartSpying();
    Send("lost on disk, kept in list");
    Send("after the failure");
    answerer.Answer(IDOK);

    EXPECT_EQ(PollTrace(), 1);
    ASSERT_EQ(answerer.Seen().size(), 1u);
    EXPECT_EQ(answerer.Seen()[0].caption, "Error");
    EXPECT_EQ(answerer.Seen()[0].text, "Error writing to spool file");
    EXPECT_EQ(answerer.Seen()[0].icon, "warning");
    EXPECT_EQ(answerer.Seen()[0].owner, programState.mainWindow);
    EXPECT_EQ(programState.activeSpoolFile, HFILE_ERROR);

    EXPECT_EQ(PollTrace(), 1);
    EXPECT_EQ(answerer.Seen().size(), 1u);
    EXPECT_EQ(TraceListLines(), (std::vector<std::string>{"lost on disk, kept in list", "after the failure"}));
    EXPECT_EQ(programState.spying, 1);
}

TEST_F(TracePoller, PausedSpoolFileGetsNothing)
{
    spoolPath = TempFilePath("poller_paused");
    programState.pausedSpoolFile = _lcreat(spoolPath.c_str(), 0);
    ASSERT_NE(programState.pausedSpoolFile, HFILE_ERROR);
    StartSpying();
    Send("list only");
    EXPECT_EQ(PollTrace(), 1);
    EXPECT_EQ(TraceListLines(), std::vector<std::string>{"list only"});
    _lclose(programState.pausedSpoolFile);
    programState.pausedSpoolFile = HFILE_ERROR;
    EXPECT_EQ(FileBytes(spoolPath), "");
}

namespace {

struct ErrorBoxView {
    int spying = -1;
    std::string title;
    int ticksAtOpen = 0;
    int ticksAtClose = -1;
};
ErrorBoxView view;

// Answers a box only after many poll periods, so ticks would have time to arrive while it is up.
HWND lateBox = nullptr;
void CALLBACK PressOkLate(HWND, UINT, UINT_PTR id, DWORD)
{
    KillTimer(nullptr, id);
    view.ticksAtClose = owner.ticks;
    BoxAnswerer::PressButton(lateBox, IDOK);
}

}

struct ServerFailure {
    const char *name;
    const char *breakIt;            // run by the superuser with the test user's name as parameter
    const char *repairIt;           // run afterwards, also when the test fails
    const char *serverText;         // part of the server's message the box must show
};

void PrintTo(const ServerFailure &failure, std::ostream *out)
{
    *out << failure.name;
}

class TracePollerServerFailure : public TracePoller, public ::testing::WithParamInterface<ServerFailure> {
protected:
    void TearDown() override
    {
        if (GetParam().repairIt != nullptr) {
            EXPECT_TRUE(admin.Exec(GetParam().repairIt)) << admin.LastError();
        }
        TracePoller::TearDown();
    }
    TestDbSession admin{true};
};

TEST_P(TracePollerServerFailure, ShowsServerTextThenSpyingIsOffWithoutNestedBoxes)
{
    ASSERT_TRUE(admin.Connected()) << admin.LastError();
    StartSpying(20);
    Send("before the failure");
    ASSERT_TRUE(PumpUntil([] { return TraceListLines().size() == 1; }, 5000));

    view = ErrorBoxView();
    answerer.Handle([](HWND box, const SeenBox &) {
        view.ticksAtOpen = owner.ticks;
        view.spying = programState.spying;
        view.title = WindowTitle(programState.mainWindow);
        // Keep the box up for many poll periods.
        lateBox = box;
        SetTimer(nullptr, 0, 300, PressOkLate);
    });
    std::vector<std::string> params;
    if (std::string(GetParam().breakIt).find('?') != std::string::npos)
        params.push_back(TestEnv("VANTREL_DB_USER"));
    ASSERT_TRUE(admin.Exec(GetParam().breakIt, params)) << admin.LastError();
    ASSERT_TRUE(PumpUntil([] { return programState.spying == 0; }, 5000));

    ASSERT_EQ(answerer.Seen().size(), 1u) << "more than one box: ticks went on while it was up";
    const SeenBox &box = answerer.Seen()[0];
    EXPECT_EQ(box.caption, "Oracle Error");
    EXPECT_EQ(box.icon, "warning");
    EXPECT_EQ(box.owner, programState.mainWindow);
    EXPECT_NE(box.text.find(GetParam().serverText), std::string::npos) << box.text;
    // The box came while spying was still on, with the timer already stopped: no tick arrived
    // while it was up.
    EXPECT_EQ(view.ticksAtClose, view.ticksAtOpen);
    EXPECT_EQ(view.spying, 1);
    EXPECT_EQ(view.title, "Vantrel *");
    // Once it is closed, spying is off.
    EXPECT_EQ(WindowTitle(programState.mainWindow), "Vantrel");
    EXPECT_EQ(programState.indicatorState, INDICATOR_OFF);
    EXPECT_FALSE(PollTimerWasSet());
    EXPECT_EQ(TraceListLines().size(), 1u);
}

INSTANTIATE_TEST_SUITE_P(
    RealFailures, TracePollerServerFailure,
    ::testing::Values(
        // The box must show the server's own words.
        ServerFailure{"FunctionRenamed",
                      "DROP FUNCTION IF EXISTS vantrel.get_hidden_by_test(text); "
                      "ALTER FUNCTION vantrel.get(text) RENAME TO get_hidden_by_test",
                      "DO $$BEGIN IF to_regprocedure('vantrel.get_hidden_by_test(text)') IS NOT NULL THEN "
                      "ALTER FUNCTION vantrel.get_hidden_by_test(text) RENAME TO get; END IF; END$$",
                      "function vantrel.get(text) does not exist"},
        ServerFailure{"SessionEndedByServer",
                      "SELECT pg_terminate_backend(pid) FROM pg_stat_activity WHERE usename = ?", nullptr,
                      "terminating connection due to administrator command"}),
    [](const ::testing::TestParamInfo<ServerFailure> &info) { return std::string(info.param.name); });

TEST_F(TracePoller, NullFetchedWithoutIndicatorIsTreatedAsSuccess)
{
    SpoolToNewFile("poller_1405");
    StartSpying();
    Send("received before");
    ASSERT_EQ(PollTrace(), 1);
    ASSERT_EQ(programState.indicatorState, INDICATOR_RECEIVED);

    // Bound without an indicator, a NULL result makes execute fail with 1405, as the client
    // library does for a NULL it has nowhere to report.
    ASSERT_EQ(DbBindByName(&programState.cursorArea, ":retval", -1, programState.messageText,
                           (int)MESSAGE_BUFFER_SIZE, 5, -1, nullptr, nullptr, -1, -1), 0);
    EXPECT_EQ(PollTrace(), 1);
    EXPECT_EQ(programState.cursorArea.returnCode, DB_NULL_FETCHED) << "execute did not fail with 1405";
    EXPECT_EQ(answerer.Seen().size(), 0u);
    EXPECT_EQ(programState.spying, 1);
    EXPECT_EQ(programState.indicatorState, INDICATOR_WAITING);
    EXPECT_EQ(TraceListLines(), std::vector<std::string>{"received before"});

    // Polling goes on and still receives.
    Send("received after");
    EXPECT_EQ(PollTrace(), 1);
    EXPECT_EQ(TraceListLines(), (std::vector<std::string>{"received before", "received after"}));
    EXPECT_EQ(SpooledBytes(), "received before\r\nreceived after\r\n");
}

TEST_F(TracePoller, CursorThatCannotOpenShowsErrorAndLeavesSpyingOff)
{
    // The logon is gone (the state still says connected): the cursor cannot be opened on it.
    DbLogOff(&programState.logonArea);
    answerer.Answer(IDOK);
    SpyingCommand();
    ASSERT_EQ(answerer.Seen().size(), 1u);
    EXPECT_EQ(answerer.Seen()[0].caption, "Oracle Error");
    EXPECT_EQ(answerer.Seen()[0].icon, "warning");
    EXPECT_EQ(answerer.Seen()[0].owner, programState.mainWindow);
    EXPECT_FALSE(answerer.Seen()[0].text.empty());
    EXPECT_EQ(programState.spying, 0);
    EXPECT_EQ(programState.indicatorState, INDICATOR_OFF);
    EXPECT_EQ(WindowTitle(programState.mainWindow), "Vantrel");
    EXPECT_FALSE(PollTimerWasSet());
    programState.connected = 0;
}

TEST_F(TracePoller, SpyingWhileNotConnectedAsksFirst)
{
    struct Case {
        const char *name;
        int answer;
        LRESULT connectResult;
        std::vector<WORD> commandsSent;   // sent at once
        bool spyingPosted;
    } cases[] = {
        {"No: nothing more", IDNO, 0, {}, false},
        {"Yes, connect cancelled", IDYES, CONNECT_NOT_MADE, {IDM_CONNECT}, false},
        {"Yes, connected", IDYES, 0, {IDM_CONNECT}, true},
    };
    DbLogOff(&programState.logonArea);
    programState.connected = 0;
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        answerer.Clear();
        owner.commands.clear();
        owner.connectResult = c.connectResult;
        answerer.Answer(c.answer);

        EXPECT_EQ(SpyingCommand(), 0);
        ASSERT_EQ(answerer.Seen().size(), 1u);
        const SeenBox &box = answerer.Seen()[0];
        EXPECT_EQ(box.caption, "Confirm");
        EXPECT_EQ(box.text, "You need to connect to a database before you can see trace messages.\n"
                            "Do you want to connect now?");
        EXPECT_EQ(box.icon, "question");
        EXPECT_TRUE(box.hasYesNo);
        EXPECT_EQ(box.owner, programState.mainWindow);
        EXPECT_EQ(owner.commands, c.commandsSent);
        MSG posted;
        bool spyingPosted = PeekMessageA(&posted, programState.mainWindow, WM_COMMAND, WM_COMMAND, PM_REMOVE) &&
                            LOWORD(posted.wParam) == IDM_SPYING;
        EXPECT_EQ(spyingPosted, c.spyingPosted);
        EXPECT_EQ(programState.spying, 0);
        EXPECT_EQ(programState.indicatorState, INDICATOR_OFF);
    }
}

TEST_F(TracePoller, RepaintsMainWindowWhenLineOrIndicatorChanged)
{
    // Paints reach only a visible window.
    TearDown();
    Start(true);
    PumpMessages(50);
    UpdateWindow(programState.mainWindow);
    owner.paints = 0;
    owner.erases = 0;
    programState.timerInterval = 60000;
    SpyingCommand();
    ASSERT_EQ(programState.spying, 1);
    // The Spying command repaints everything, background included, before it returns.
    EXPECT_GT(owner.paints, 0);
    EXPECT_GT(owner.erases, 0);

    struct Case {
        const char *name;
        const char *message;        // nullptr: empty pipe
        int indicatorBefore;
        int indicatorAfter;
        bool repainted;
    } cases[] = {
        {"message arrives", "paint me", INDICATOR_WAITING, INDICATOR_RECEIVED, true},
        {"first empty tick after a message", nullptr, INDICATOR_RECEIVED, INDICATOR_WAITING, true},
        {"empty tick while waiting", nullptr, INDICATOR_WAITING, INDICATOR_WAITING, false},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        ASSERT_EQ(programState.indicatorState, c.indicatorBefore);
        if (c.message != nullptr)
            Send(c.message);
        PumpMessages(50);
        UpdateWindow(programState.mainWindow);
        owner.paints = 0;
        owner.erases = 0;
        EXPECT_EQ(PollTrace(), 1);
        // The repaint is done before PollTrace returns, and without erasing.
        EXPECT_EQ(owner.paints > 0, c.repainted);
        EXPECT_EQ(owner.erases, 0);
        EXPECT_EQ(programState.indicatorState, c.indicatorAfter);
    }
}

TEST_F(TracePoller, TimerThatCannotBeSetWarnsAndClosesTheCursor)
{
    // Window timers can only be set on this process's windows: with the desktop window (owned
    // by another process) as owner, the real SetTimer fails.
    HWND ownWindow = programState.mainWindow;
    programState.mainWindow = GetDesktopWindow();
    answerer.Answer(IDOK);
    programState.spying = SetSpying(1);
    programState.mainWindow = ownWindow;

    ASSERT_EQ(answerer.Seen().size(), 1u);
    EXPECT_EQ(answerer.Seen()[0].caption, "Error");
    EXPECT_EQ(answerer.Seen()[0].text, "Unable to set periodic timer event");
    EXPECT_EQ(answerer.Seen()[0].icon, "warning");
    EXPECT_EQ(programState.spying, 0);
    EXPECT_EQ(programState.indicatorState, INDICATOR_OFF);
    // Nothing will ever poll that cursor: it is closed at once.
    EXPECT_EQ(programState.cursorArea.logon, nullptr);
    EXPECT_NE(DbExecute(&programState.cursorArea), 0);
}

TEST(ProgramState, StartsDisconnectedNotSpyingNotSpoolingOnPipeVantrel)
{
    HINSTANCE instance = GetModuleHandleA(nullptr);
    // Dirty every byte first: a reset must not depend on a fresh process.
    FillMemory(&programState, sizeof programState, 0x5A);
    ResetProgramState(instance, "scott/tiger@trace");

    const ProgramState &state = programState;
    EXPECT_EQ(state.instance, instance);
    EXPECT_STREQ(state.connectString, "scott/tiger@trace");
    EXPECT_STREQ(state.pipeName, "VANTREL");
    EXPECT_EQ(state.connected, 0);
    EXPECT_EQ(state.spying, 0);
    EXPECT_EQ(state.indicatorState, INDICATOR_OFF);
    EXPECT_EQ(state.timerInterval, 500u);
    EXPECT_EQ(state.timerId, 0u);
    EXPECT_EQ(state.statusHeight, 24);
    EXPECT_EQ(state.buttonSize, 22);
    EXPECT_EQ(state.activeSpoolFile, HFILE_ERROR);
    EXPECT_EQ(state.pausedSpoolFile, HFILE_ERROR);
    EXPECT_EQ(state.pipeIndicator, 0);
    EXPECT_EQ(state.messageIndicator, 0);
    EXPECT_STREQ(state.messageText, "");
    EXPECT_STREQ(state.displayName, "");
    EXPECT_STREQ(state.spoolPath, "");
    EXPECT_EQ(state.mainWindow, nullptr);
    EXPECT_EQ(state.listFont, nullptr);
    EXPECT_EQ(state.logonArea.connection, nullptr);
    EXPECT_EQ(state.cursorArea.logon, nullptr);
    unsigned char zero[sizeof state.hostArea] = {};
    EXPECT_EQ(memcmp(state.hostArea, zero, sizeof zero), 0);
    OPENFILENAMEA empty = {};
    EXPECT_EQ(memcmp(&state.saveFileDialog, &empty, sizeof empty), 0);

    // The fields whose widths other parts and the database library rely on.
    EXPECT_EQ(sizeof state.pipeName, 2001u);
    EXPECT_EQ(sizeof state.messageText, 2001u);
    EXPECT_EQ(sizeof state.pipeIndicator, 2u);
    EXPECT_EQ(sizeof state.messageIndicator, 2u);
    EXPECT_EQ(sizeof state.timerInterval, 4u);
    EXPECT_EQ(sizeof state.displayName, 256u);
    EXPECT_EQ(sizeof state.hostArea, 256u);
    EXPECT_EQ(sizeof state.spoolPath, 1024u);
    EXPECT_EQ(sizeof state.spoolFileTitle, 256u);
    // displayName gets the connect string less its password: it must never be the smaller.
    EXPECT_LE(sizeof state.connectString, sizeof state.displayName);

    // A command line longer than the buffer is cut and terminated, never written past it.
    std::string longLine(600, 'u');
    ResetProgramState(instance, longLine.c_str());
    EXPECT_EQ(std::string(state.connectString), longLine.substr(0, sizeof state.connectString - 1));
    EXPECT_STREQ(state.pipeName, "VANTREL");
    ResetProgramState(instance, nullptr);
    EXPECT_STREQ(state.connectString, "");
}
