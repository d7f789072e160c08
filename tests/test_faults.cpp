// The whole program against database faults: the server stopped or one of its processes paused
// while spying, and a spool file on a full device while a burst drains. The server is always
// running again when a test ends, even when it fails.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "box_answerer.h"
#include "deferred_action.h"
#include "host_server.h"
#include "program_state.h"
#include "program_window.h"
#include "resource.h"
#include "test_db.h"
#include "test_env.h"
#include "trace_sender.h"

namespace {

const int FILE_NAME_FIELD = 1148;   // the Save dialog's file-name field

class FaultTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_FALSE(TestEnv("PGHOST").empty()) << "run through tools/test";
        ASSERT_TRUE(DatabaseServerAnswers()) << "the server is not running at the start";
        ASSERT_NE(StartProgramWindow(TestConnectString()), nullptr);
        ASSERT_EQ(programState.connected, 1);
        pipe = UniquePipeName("FAULT");
        lstrcpynA(programState.pipeName, pipe.c_str(), sizeof programState.pipeName);
    }

    void TearDown() override
    {
        EndProgramWindow();
        for (const SeenBox &seen : answerer.Seen())
            EXPECT_TRUE(seen.expected) << "unexpected box \"" << seen.caption << "\": " << seen.text;
    }

    void StartSpying(UINT interval)
    {
        programState.timerInterval = interval;
        SendProgramCommand(IDM_SPYING);
        ASSERT_EQ(programState.spying, 1);
    }

    void Send(const std::string &message)
    {
        TestDbSession sender;
        ASSERT_TRUE(sender.SendTrace(pipe, message)) << sender.LastError();
    }

    bool ListReaches(int count, DWORD milliseconds)
    {
        return PumpProgramUntil([count] { return TraceListCount() >= count; }, milliseconds);
    }

    BoxAnswerer answerer;
    std::string pipe;
};

// The server process of the program's own session (the one that last ran the trace call).
int ProgramBackendPid(void)
{
    TestDbSession admin(true);
    std::string pid = admin.SelectText(
        "SELECT pid::text FROM pg_stat_activity WHERE usename = ? AND query LIKE '%vantrel.get%' "
        "AND pid <> pg_backend_pid()",
        {TestEnv("VANTREL_DB_USER")});
    return atoi(pid.c_str());
}

}

TEST_F(FaultTest, ServerStoppedWhileSpyingShowsOneErrorThenReconnectAndSpyAgain)
{
    ServerRestorer restorer;
    StartSpying(50);
    Send("before the stop");
    ASSERT_TRUE(ListReaches(1, 5000));

    answerer.Answer(IDOK);
    ASSERT_TRUE(StopDatabaseServer());
    DWORD stopped = GetTickCount();
    ASSERT_TRUE(PumpProgramUntil([] { return programState.spying == 0; }, 15000)) << "still spying";
    DWORD reaction = GetTickCount() - stopped;
    // Ticks that would follow must not open more boxes.
    PumpProgram(1000);

    ASSERT_EQ(answerer.Seen().size(), 1u);
    const SeenBox &box = answerer.Seen()[0];
    EXPECT_EQ(box.caption, "Oracle Error");
    EXPECT_EQ(box.icon, "warning");
    EXPECT_EQ(box.owner, programState.mainWindow);
    // The driver's own text, with its state code.
    EXPECT_NE(box.text.find("SQLSTATE"), std::string::npos) << box.text;
    EXPECT_EQ(programState.indicatorState, INDICATOR_OFF);
    EXPECT_EQ(WindowTitle(programState.mainWindow), "Vantrel");
    EXPECT_TRUE(IsWindow(programState.mainWindow));
    EXPECT_EQ(TraceListLines(), std::vector<std::string>{"before the stop"});
    EXPECT_LT(reaction, 6000u) << "the error took " << reaction << " ms to show";
    printf("[ figure ] server stop to spying off: %lu ms; box text: %s\n", (unsigned long)reaction,
           box.text.c_str());

    ASSERT_TRUE(StartDatabaseServer());
    // The old logon is dead but the program still counts it: Connect asks to re-connect first.
    answerer.Clear();
    answerer.Answer(IDYES);
    std::string user = TestEnv("VANTREL_DB_USER"), password = TestEnv("VANTREL_DB_PASSWORD"),
                dsn = TestEnv("VANTREL_DSN"), pipeName = pipe;
    answerer.Handle([=](HWND dialog, const SeenBox &) {
        SetDlgItemTextA(dialog, IDC_USERNAME, user.c_str());
        SetDlgItemTextA(dialog, IDC_PASSWORD, password.c_str());
        SetDlgItemTextA(dialog, IDC_DATABASE, dsn.c_str());
        SetDlgItemTextA(dialog, IDC_PIPENAME, pipeName.c_str());
        BoxAnswerer::PressButton(dialog, IDOK);
    });
    EXPECT_EQ(SendProgramCommand(IDM_CONNECT), 0);
    ASSERT_EQ(answerer.Seen().size(), 2u);
    EXPECT_EQ(answerer.Seen()[0].caption, "Confirm");
    EXPECT_EQ(answerer.Seen()[1].caption, "Connect");
    ASSERT_EQ(programState.connected, 1);

    StartSpying(50);
    Send("after the restart");
    ASSERT_TRUE(ListReaches(2, 5000));
    EXPECT_EQ(TraceListLines(), (std::vector<std::string>{"before the stop", "after the restart"}));
    EXPECT_NE(programState.indicatorState, INDICATOR_OFF);
}

namespace {

// Resumes the paused server process from a second thread once the wait has gone on long enough
// to show whether the program ended it itself. Keeps the test bounded whatever the program does.
struct Watchdog {
    int pid;
    DWORD delay;
    volatile LONG resumedAt;   // tick count when SIGCONT was sent, 0 before
};

DWORD WINAPI ResumeLater(LPVOID data)
{
    Watchdog &watchdog = *(Watchdog *)data;
    Sleep(watchdog.delay);
    DWORD now = GetTickCount();
    SignalHostProcess(watchdog.pid, "CONT");
    InterlockedExchange(&watchdog.resumedAt, (LONG)now);
    return 0;
}

// The longest gap between two turns of the thread's message loop: how long the window was frozen.
DWORD longestGap = 0;
DWORD lastTurn = 0;
void CALLBACK NoteTurn(HWND, UINT, UINT_PTR, DWORD)
{
    DWORD now = GetTickCount();
    if (lastTurn != 0 && now - lastTurn > longestGap)
        longestGap = now - lastTurn;
    lastTurn = now;
}

}

TEST_F(FaultTest, PausedServerProcessHoldsTheWindowOnlyUntilItRunsAgainAndNothingIsLost)
{
    StartSpying(50);
    Send("before the pause");
    ASSERT_TRUE(ListReaches(1, 5000));
    int pid = ProgramBackendPid();
    ASSERT_GT(pid, 0) << "the program's server process was not found";
    ProcessResumer resumer(pid);

    const DWORD timeout = DB_QUERY_TIMEOUT_SECONDS * 1000;
    Watchdog watchdog = {pid, timeout + 2000, 0};
    longestGap = 0;
    lastTurn = GetTickCount();
    UINT_PTR turnTimer = SetTimer(nullptr, 0, 10, NoteTurn);
    // Should the wait end in an error box, it is answered at once and checked below.
    answerer.Answer(IDOK);
    ASSERT_TRUE(SignalHostProcess(pid, "STOP"));
    DWORD paused = GetTickCount();
    HANDLE thread = CreateThread(nullptr, 0, ResumeLater, &watchdog, 0, nullptr);
    // A message sent while the program's server process is paused goes through another one.
    Send("during the pause");
    bool arrived = ListReaches(2, timeout + 8000);
    DWORD ended = GetTickCount();
    NoteTurn(nullptr, 0, 0, 0);
    KillTimer(nullptr, turnTimer);
    WaitForSingleObject(thread, 20000);
    CloseHandle(thread);

    DWORD resumedAt = (DWORD)watchdog.resumedAt;
    printf("[ figure ] server process paused for %lu ms; longest stretch without a message loop turn %lu ms; "
           "query timeout %lu ms; spying %d; boxes %u\n",
           (unsigned long)(resumedAt != 0 ? resumedAt - paused : 0), (unsigned long)longestGap,
           (unsigned long)timeout, programState.spying, (unsigned)answerer.Seen().size());
    // The query timeout is the server's own (the driver sends it as statement_timeout), and a
    // paused server process does not count it: the single-threaded window waits until the
    // process runs again. What must hold is that it then goes on at once and loses nothing.
    ASSERT_NE(resumedAt, 0u);
    EXPECT_TRUE(arrived) << "the message sent during the pause never arrived";
    EXPECT_LT(ended - resumedAt, 2000u) << "the window stayed frozen after the server process resumed";
    EXPECT_LT(longestGap, resumedAt - paused + 2000);
    EXPECT_EQ(TraceListLines(), (std::vector<std::string>{"before the pause", "during the pause"}));
    EXPECT_TRUE(IsWindow(programState.mainWindow));
    if (!answerer.Seen().empty()) {
        // A timeout that fired on resume is shown once, with the server's text.
        EXPECT_EQ(answerer.Seen().size(), 1u);
        EXPECT_EQ(answerer.Seen()[0].caption, "Oracle Error");
        EXPECT_EQ(programState.spying, 0);
    } else {
        answerer.Clear();
        EXPECT_EQ(programState.spying, 1);
    }
}

TEST_F(FaultTest, SpoolOnAFullDeviceWarnsOnceWhileABurstGoesOnIntoTheList)
{
    const int count = 1500, length = 100;
    // The Save dialog, then the write failure's box, which stays up a second while ticks go on.
    answerer.Handle([](HWND dialog, const SeenBox &) {
        RunFromDialogLoop([dialog] {
            SetDlgItemTextA(dialog, FILE_NAME_FIELD, "Z:\\dev\\full");
            BoxAnswerer::PressButton(dialog, IDOK);
        });
    });
    SendProgramCommand(IDM_SPOOLTO);
    ASSERT_NE(programState.activeSpoolFile, HFILE_ERROR);
    int linesWhenBoxCame = -1;
    answerer.Handle([&linesWhenBoxCame](HWND box, const SeenBox &) {
        linesWhenBoxCame = TraceListCount();
        RunFromDialogLoop([box] { BoxAnswerer::PressButton(box, IDOK); }, 1000);
    });

    StartSpying(0);
    BackgroundSender sender(pipe, count, length);
    bool all = ListReaches(count, 60000);
    EXPECT_TRUE(sender.Finish(10000)) << sender.Error();
    PumpProgram(200);

    ASSERT_TRUE(all) << "lines: " << TraceListCount();
    ASSERT_EQ(answerer.Seen().size(), 2u);
    EXPECT_EQ(answerer.Seen()[1].caption, "Error");
    EXPECT_EQ(answerer.Seen()[1].text, "Error writing to spool file");
    EXPECT_EQ(answerer.Seen()[1].icon, "warning");
    EXPECT_EQ(programState.activeSpoolFile, HFILE_ERROR);
    EXPECT_EQ(programState.spying, 1);
    std::vector<std::string> lines = TraceListLines();
    ASSERT_EQ(lines.size(), (size_t)count);
    for (int i = 0; i < count; i++)
        ASSERT_EQ(lines[i], BackgroundSender::Message(i + 1, length)) << "line " << i;
    // The first line's write failed; ticks went on while the box was up.
    EXPECT_EQ(linesWhenBoxCame, 1);
}
