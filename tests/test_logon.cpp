// The Connect command against the private PostgreSQL through ODBC, with the real Connect dialog
// and real message boxes answered by the test; and the pure texts it builds.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "box_answerer.h"
#include "connect_text.h"
#include "logon.h"
#include "main_window.h"
#include "program_state.h"
#include "resource.h"
#include "settings_probe.h"
#include "status_layout.h"
#include "test_db.h"
#include "test_env.h"
#include "test_window.h"
#include "trace_poller.h"

namespace {

const char GUARD = '\x7f';

std::string DisplayNameOf(const char *connect, size_t size)
{
    char buffer[300];
    memset(buffer, GUARD, sizeof buffer);
    DeriveDisplayName(connect, buffer, size);
    for (size_t i = size; i < sizeof buffer; i++)
        if (buffer[i] != GUARD)
            return "<wrote past " + std::to_string(size) + " bytes>";
    return size == 0 ? "<untouched>" : std::string(buffer);
}

}

TEST(DisplayName, DropsThePasswordByTable)
{
    const struct {
        const char *connect;
        const char *expected;
    } cases[] = {
        {"U/P@D", "U@D"},
        {"U/P", "U"},
        {"U@D", "U@D"},
        {"U", "U"},
        {"/", ""},
        {"", ""},
        {"/P@D", "@D"},
        {"U/@D", "U@D"},
        {"U/P@", "U@"},
        // The log on takes the database after the last at sign: a password may hold one.
        {"scott/ti@ger@ORCL", "scott@ORCL"},
        {"scott/a/b@ORCL", "scott@ORCL"},
        {"scott@ORCL/x", "scott@ORCL/x"},
    };
    for (const auto &c : cases)
        EXPECT_EQ(DisplayNameOf(c.connect, DISPLAY_NAME_SIZE), c.expected) << c.connect;
}

TEST(DisplayName, NeverWritesPastItsBuffer)
{
    std::string longUser(400, 'u');
    EXPECT_EQ(DisplayNameOf((longUser + "/secret@D").c_str(), DISPLAY_NAME_SIZE), std::string(255, 'u'));
    EXPECT_EQ(DisplayNameOf("scott/tiger@ORCL", 6), "scott");
    EXPECT_EQ(DisplayNameOf("scott/tiger@ORCL", 7), "scott@");
    EXPECT_EQ(DisplayNameOf("scott/tiger@ORCL", 1), "");
    EXPECT_EQ(DisplayNameOf("scott/tiger@ORCL", 0), "<untouched>");
    // Cutting short never lets the password in.
    for (size_t size = 1; size <= 17; size++)
        EXPECT_EQ(DisplayNameOf("scott/tiger@ORCL", size).find("tiger"), std::string::npos) << size;
}

TEST(ConnectText, BuildsOnlyWhatFitsAndNeverPartOfIt)
{
    char buffer[32];
    memset(buffer, GUARD, sizeof buffer);
    // "scott/tiger@ORCL" is 16 characters: 17 bytes fit, 16 do not.
    EXPECT_EQ(BuildConnectString("scott", "tiger", "ORCL", buffer, 17), 1);
    EXPECT_STREQ(buffer, "scott/tiger@ORCL");
    memset(buffer, GUARD, sizeof buffer);
    EXPECT_EQ(BuildConnectString("scott", "tiger", "ORCL", buffer, 16), 0);
    EXPECT_EQ(buffer[0], '\0');
    for (size_t i = 1; i < sizeof buffer; i++)
        ASSERT_EQ(buffer[i], GUARD) << i;
    EXPECT_EQ(BuildConnectString("scott", "tiger", "ORCL", buffer, 0), 0);
    EXPECT_EQ(buffer[1], GUARD);

    // The dialog's longest answer fits the program's connect string.
    std::string field(63, 'x');
    char connect[CONNECT_STRING_SIZE];
    EXPECT_EQ(BuildConnectString(field.c_str(), field.c_str(), field.c_str(), connect, sizeof connect), 1);
    EXPECT_EQ(strlen(connect), 191u);
}

// The Connect command over a stand-in main window that routes the commands and the poll timer
// as the real one does, so Spying and Connect can call each other through window messages.
namespace {

WNDPROC standInProc = nullptr;

LRESULT CALLBACK RoutingProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_COMMAND && LOWORD(wParam) == IDM_CONNECT)
        return ConnectCommand();
    if (message == WM_COMMAND && LOWORD(wParam) == IDM_SPYING)
        return SpyingCommand();
    if (message == WM_TIMER && wParam == TRACE_TIMER_ID) {
        if (!PollTrace())
            SetSpying(0);
        return 0;
    }
    return CallWindowProcA(standInProc, window, message, wParam, lParam);
}

struct Entry {
    std::string user;
    std::string password;
    std::string database;
    std::string pipe;
};

std::string Title(HWND window)
{
    char title[256] = "";
    GetWindowTextA(window, title, sizeof title);
    return title;
}

bool Contains(const char *buffer, size_t size, const std::string &text)
{
    return std::string(buffer, size).find(text) != std::string::npos;
}

bool AllZero(const char *buffer, size_t size)
{
    for (size_t i = 0; i < size; i++)
        if (buffer[i] != '\0')
            return false;
    return true;
}

class LogonTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_FALSE(TestEnv("VANTREL_DSN").empty()) << "run through tools/test";
        DeleteSettingsKey();
        CreateTestWindows(true);
        standInProc = (WNDPROC)SetWindowLongPtrA(programState.mainWindow, GWLP_WNDPROC, (LONG_PTR)RoutingProc);
        user = TestEnv("VANTREL_DB_USER");
        password = TestEnv("VANTREL_DB_PASSWORD");
        dsn = TestEnv("VANTREL_DSN");
        ASSERT_TRUE(admin.Connected()) << admin.LastError();
        ASSERT_TRUE(SessionsBecome(0)) << "a logon of an earlier test is still open";
    }
    void TearDown() override
    {
        EXPECT_EQ(answerer.Pending(), 0u) << "a box that was expected never came";
        for (const SeenBox &seen : answerer.Seen())
            EXPECT_TRUE(seen.expected) << "unexpected box: " << seen.caption << ": " << seen.text;
        if (programState.spying)
            programState.spying = SetSpying(0);
        DestroyTestWindows();
        DeleteSettingsKey();
    }

    Entry Good(const char *pipe = "LOGONPIPE") const { return {user, password, dsn, pipe}; }

    // Queues the answer to the next Connect dialog: type the entry, then press the button.
    void AnswerDialog(const Entry &entry, int button = IDOK)
    {
        answerer.Handle([entry, button](HWND dialog, const SeenBox &) {
            SetDlgItemTextA(dialog, IDC_USERNAME, entry.user.c_str());
            SetDlgItemTextA(dialog, IDC_PASSWORD, entry.password.c_str());
            SetDlgItemTextA(dialog, IDC_DATABASE, entry.database.c_str());
            SetDlgItemTextA(dialog, IDC_PIPENAME, entry.pipe.c_str());
            BoxAnswerer::PressButton(dialog, button);
        });
    }

    // Queues the answer to the next error box, noting whether the mouse was still captured and
    // whether the password was still held while the box waited for the user.
    void AnswerErrorBox()
    {
        answerer.Handle([this](HWND box, const SeenBox &) {
            captureAtBox = GetCapture();
            secretHeldAtBox = !AllZero(programState.connectString, sizeof programState.connectString);
            BoxAnswerer::PressButton(box, IDOK);
        });
    }

    // The server's count of sessions of the program's user; backends end a moment after log off.
    bool SessionsBecome(int expected)
    {
        std::string want = std::to_string(expected);
        std::string got;
        bool reached = PumpUntil(
            [&] {
                got = admin.SelectText("SELECT count(*) FROM pg_stat_activity WHERE usename = ?", {user});
                return got == want;
            },
            3000);
        if (!reached)
            ADD_FAILURE() << "sessions of " << user << ": " << got << ", expected " << want;
        return reached;
    }

    void LogOnFromCommandLine()
    {
        lstrcpynA(programState.connectString, TestConnectString().c_str(), sizeof programState.connectString);
        ASSERT_EQ(ConnectCommand(), 0);
        ASSERT_EQ(programState.connected, 1);
    }

    // No trace of the secret anywhere the program keeps or shows text.
    void ExpectSecretGone(const std::string &secret)
    {
        EXPECT_TRUE(AllZero(programState.connectString, sizeof programState.connectString))
            << "connectString not wiped";
        EXPECT_FALSE(Contains(programState.displayName, sizeof programState.displayName, secret));
        EXPECT_FALSE(Contains(programState.pipeName, sizeof programState.pipeName, secret));
        EXPECT_FALSE(SettingsKeyContains(secret));
        EXPECT_EQ(Title(programState.mainWindow).find(secret), std::string::npos);
        for (const SeenBox &seen : answerer.Seen())
            EXPECT_EQ(seen.text.find(secret), std::string::npos) << seen.caption;
    }

    BoxAnswerer answerer;
    TestDbSession admin{true};
    std::string user, password, dsn;
    HWND captureAtBox = (HWND)-1;
    bool secretHeldAtBox = true;
};

}

TEST_F(LogonTest, GoodLogonThroughDialogConnectsWithSpyingOff)
{
    AnswerDialog(Good());
    EXPECT_EQ(ConnectCommand(), 0);

    ASSERT_EQ(answerer.Seen().size(), 1u);
    EXPECT_EQ(answerer.Seen()[0].caption, "Connect");
    EXPECT_EQ(programState.connected, 1);
    EXPECT_EQ(programState.spying, 0);
    EXPECT_EQ(programState.indicatorState, INDICATOR_OFF);
    EXPECT_STREQ(programState.displayName, (user + "@" + dsn).c_str());
    EXPECT_STREQ(programState.pipeName, "LOGONPIPE");
    EXPECT_EQ(Title(programState.mainWindow), "Vantrel");
    EXPECT_EQ(GetCapture(), nullptr);
    EXPECT_EQ(StoredSettingText("User"), user);
    EXPECT_EQ(StoredSettingText("Database"), dsn);
    EXPECT_TRUE(SessionsBecome(1));
    ExpectSecretGone(password);
}

TEST_F(LogonTest, CommandLineLogonSkipsDialogAndNextConnectShowsIt)
{
    LogOnFromCommandLine();
    EXPECT_TRUE(answerer.Seen().empty()) << "no box or dialog for a command-line logon";
    EXPECT_STREQ(programState.pipeName, "VANTREL");
    EXPECT_STREQ(programState.displayName, (user + "@" + dsn).c_str());
    EXPECT_TRUE(SessionsBecome(1));
    ExpectSecretGone(password);

    // The string was used up, so re-connecting asks; a cancelled dialog keeps the logon.
    answerer.Answer(IDYES);
    AnswerDialog(Good(), IDCANCEL);
    EXPECT_EQ(ConnectCommand(), CONNECT_NOT_MADE);
    ASSERT_EQ(answerer.Seen().size(), 2u);
    EXPECT_EQ(answerer.Seen()[1].caption, "Connect");
    EXPECT_EQ(programState.connected, 1);
    EXPECT_STREQ(programState.displayName, (user + "@" + dsn).c_str());
    EXPECT_STREQ(programState.pipeName, "VANTREL");
    EXPECT_TRUE(SessionsBecome(1));
}

TEST_F(LogonTest, FailedLogonShowsOracleErrorAndLeavesNotConnected)
{
    const struct {
        const char *name;
        bool connectedBefore;
        Entry entry;
        const char *serverWords;   // from the server's or the driver manager's own message
    } cases[] = {
        {"wrong password", false, {user, "wrong-pw-1", dsn, "P"}, "password authentication failed"},
        {"unknown data source", false, {user, "any-pw-2", "NoSuchSource", "P"}, "Data source name not found"},
        {"re-connect with a wrong password", true, {user, "wrong-pw-3", dsn, "P"}, "password authentication failed"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        answerer.Clear();
        if (c.connectedBefore) {
            LogOnFromCommandLine();
            answerer.Answer(IDYES);
        }
        AnswerDialog(c.entry);
        AnswerErrorBox();
        captureAtBox = (HWND)-1;
        secretHeldAtBox = true;
        EXPECT_EQ(ConnectCommand(), CONNECT_NOT_MADE);

        ASSERT_FALSE(answerer.Seen().empty());
        const SeenBox &box = answerer.Seen().back();
        EXPECT_EQ(box.caption, "Oracle Error");
        EXPECT_EQ(box.icon, "warning");
        EXPECT_NE(box.text.find(c.serverWords), std::string::npos) << box.text;
        EXPECT_EQ(box.owner, programState.mainWindow);
        EXPECT_EQ(captureAtBox, nullptr) << "mouse still captured while the box was up";
        EXPECT_FALSE(secretHeldAtBox) << "connectString still held the password while the box was up";
        EXPECT_EQ(programState.connected, 0);
        EXPECT_EQ(programState.spying, 0);
        EXPECT_TRUE(SessionsBecome(0)) << "the earlier logon must be closed";
        ExpectSecretGone(c.entry.password);
        ExpectSecretGone(password);
    }
}

TEST_F(LogonTest, ReconnectAnsweredNoChangesNothing)
{
    LogOnFromCommandLine();
    lstrcpynA(programState.connectString, "left as it was", sizeof programState.connectString);
    answerer.Answer(IDNO);

    EXPECT_EQ(ConnectCommand(), 0);
    ASSERT_EQ(answerer.Seen().size(), 1u);
    const SeenBox &box = answerer.Seen()[0];
    EXPECT_EQ(box.caption, "Confirm");
    EXPECT_EQ(box.text, "You are already connected. Do you want to re-connect?");
    EXPECT_EQ(box.icon, "question");
    EXPECT_TRUE(box.hasYesNo);
    EXPECT_EQ(box.owner, programState.mainWindow);
    EXPECT_EQ(programState.connected, 1);
    EXPECT_STREQ(programState.connectString, "left as it was");
    EXPECT_STREQ(programState.displayName, (user + "@" + dsn).c_str());
    EXPECT_TRUE(SessionsBecome(1));
}

namespace {

int ListCount(void)
{
    return (int)SendMessageA(programState.listBox, LB_GETCOUNT, 0, 0);
}

std::string ListLine(int index)
{
    char line[MESSAGE_BUFFER_SIZE] = "";
    SendMessageA(programState.listBox, LB_GETTEXT, index, (LPARAM)line);
    return line;
}

}

TEST_F(LogonTest, ReconnectWhileSpyingStopsSpyingOnlyWhenLogonGoesAhead)
{
    LogOnFromCommandLine();
    std::string pipe = UniquePipeName("RECONNECT");
    lstrcpynA(programState.pipeName, pipe.c_str(), sizeof programState.pipeName);
    programState.spying = SetSpying(1);
    ASSERT_EQ(programState.spying, 1);

    // Yes, then a cancelled dialog: the poll goes on and lines keep arriving.
    answerer.Answer(IDYES);
    AnswerDialog(Good("OTHERPIPE"), IDCANCEL);
    EXPECT_EQ(ConnectCommand(), CONNECT_NOT_MADE);
    EXPECT_EQ(programState.spying, 1);
    EXPECT_EQ(Title(programState.mainWindow), "Vantrel *");
    ASSERT_TRUE(admin.SendTrace(pipe, "still spying")) << admin.LastError();
    ASSERT_TRUE(PumpUntil([] { return ListCount() == 1; }, 3000));
    EXPECT_EQ(ListLine(0), "still spying");

    // Yes, then OK: spying stops before the old logon closes, and the new logon leaves it off.
    answerer.Answer(IDYES);
    AnswerDialog(Good("NEWPIPE"));
    EXPECT_EQ(ConnectCommand(), 0);
    EXPECT_EQ(programState.spying, 0);
    EXPECT_EQ(programState.indicatorState, INDICATOR_OFF);
    EXPECT_EQ(programState.connected, 1);
    EXPECT_STREQ(programState.pipeName, "NEWPIPE");
    EXPECT_EQ(Title(programState.mainWindow), "Vantrel");
    EXPECT_TRUE(SessionsBecome(1)) << "the old logon must be closed, the new one open";
    ExpectSecretGone(password);
}

TEST_F(LogonTest, SpyingWhileNotConnectedStartsOnlyAfterTheDialogLogsOn)
{
    answerer.Answer(IDYES);
    AnswerDialog(Good(), IDCANCEL);
    SendMessageA(programState.mainWindow, WM_COMMAND, IDM_SPYING, 0);
    PumpMessages(300);
    ASSERT_EQ(answerer.Seen().size(), 2u);
    EXPECT_EQ(answerer.Seen()[0].caption, "Confirm");
    EXPECT_EQ(answerer.Seen()[1].caption, "Connect");
    EXPECT_EQ(programState.connected, 0);
    EXPECT_EQ(programState.spying, 0);

    std::string pipe = UniquePipeName("SPYFIRST");
    answerer.Clear();
    answerer.Answer(IDYES);
    AnswerDialog(Good(pipe.c_str()));
    SendMessageA(programState.mainWindow, WM_COMMAND, IDM_SPYING, 0);
    ASSERT_TRUE(PumpUntil([] { return programState.spying == 1; }, 3000));
    EXPECT_EQ(programState.connected, 1);
    EXPECT_STREQ(programState.pipeName, pipe.c_str());

    ASSERT_TRUE(admin.SendTrace(pipe, "hello through the logon")) << admin.LastError();
    ASSERT_TRUE(PumpUntil([] { return ListCount() == 1; }, 3000));
    EXPECT_EQ(ListLine(0), "hello through the logon");
    ExpectSecretGone(password);
}

// The whole program in this process: it logs on at start (from the command line, or through the
// Connect dialog its window opens), and after Spy a message sent to its pipe appears in the list.
namespace {

struct ProgramDriver {
    TestDbSession *sender = nullptr;
    std::string message;
    int step = 0;                 // 0 wait for the logon, 1 wait for spying, 2 wait for the line, 3 done
    DWORD start = 0;
    std::string connectionPane;   // the strip's connection pane once logged on
    std::string pipe;
    std::string line;
};

ProgramDriver driver;

std::string ConnectionPane(void)
{
    StatusFacts facts = {};
    facts.spying = programState.spying;
    facts.connected = programState.connected;
    facts.pipeName = programState.pipeName;
    facts.displayName = programState.displayName;
    facts.spoolPath = programState.spoolPath;
    char text[512] = "";
    FormatPaneText(1, facts, text, sizeof text);
    return text;
}

// Runs inside the program's own message loop (and the Connect dialog's) as a thread timer.
void CALLBACK DriveProgram(HWND, UINT, UINT_PTR, DWORD)
{
    HWND window = programState.mainWindow;
    if (window == nullptr || driver.step == 3)
        return;
    if (GetTickCount() - driver.start > 10000) {
        driver.step = 3;
        PostMessageA(window, WM_CLOSE, 0, 0);
        return;
    }
    switch (driver.step) {
    case 0:
        if (programState.connected) {
            driver.connectionPane = ConnectionPane();
            driver.pipe = programState.pipeName;
            PostMessageA(window, WM_COMMAND, MAKEWPARAM(IDM_SPYING, 0), 0);
            driver.step = 1;
        }
        break;
    case 1:
        if (programState.spying) {
            driver.sender->SendTrace(driver.pipe, driver.message);
            driver.step = 2;
        }
        break;
    case 2:
        if (ListCount() >= 1) {
            driver.line = ListLine(0);
            PostMessageA(window, WM_COMMAND, MAKEWPARAM(IDM_EXIT, 0), 0);
            driver.step = 3;
        }
        break;
    }
}

void RunDrivenProgram(TestDbSession &sender, const std::string &commandLine, const std::string &message)
{
    driver = ProgramDriver();
    driver.sender = &sender;
    driver.message = message;
    driver.start = GetTickCount();
    UINT_PTR timer = SetTimer(nullptr, 0, 50, DriveProgram);
    RunProgram(GetModuleHandleA(nullptr), commandLine.c_str(), SW_SHOWNORMAL);
    KillTimer(nullptr, timer);
}

}

TEST(WholeProgram, LogsOnAtStartAndShowsPipeMessagesAfterSpy)
{
    ASSERT_FALSE(TestEnv("VANTREL_DSN").empty()) << "run through tools/test";
    std::string user = TestEnv("VANTREL_DB_USER"), password = TestEnv("VANTREL_DB_PASSWORD");
    std::string dsn = TestEnv("VANTREL_DSN");
    TestDbSession sender(true);
    ASSERT_TRUE(sender.Connected()) << sender.LastError();
    DeleteSettingsKey();

    {
        SCOPED_TRACE("command line");
        BoxAnswerer answerer;
        RunDrivenProgram(sender, TestConnectString(), "from the command-line logon");
        EXPECT_TRUE(answerer.Seen().empty()) << "no dialog or box: " << answerer.Seen()[0].caption;
        EXPECT_EQ(driver.connectionPane, "Connected to " + user + "@" + dsn);
        EXPECT_EQ(driver.pipe, "VANTREL");
        EXPECT_EQ(driver.line, "from the command-line logon");
        EXPECT_FALSE(SettingsKeyContains(password));
    }
    {
        SCOPED_TRACE("Connect dialog at start");
        std::string pipe = UniquePipeName("START");
        BoxAnswerer answerer;
        answerer.Handle([&](HWND dialog, const SeenBox &) {
            SetDlgItemTextA(dialog, IDC_USERNAME, user.c_str());
            SetDlgItemTextA(dialog, IDC_PASSWORD, password.c_str());
            SetDlgItemTextA(dialog, IDC_DATABASE, dsn.c_str());
            SetDlgItemTextA(dialog, IDC_PIPENAME, pipe.c_str());
            BoxAnswerer::PressButton(dialog, IDOK);
        });
        RunDrivenProgram(sender, "", "from the dialog's logon");
        ASSERT_EQ(answerer.Seen().size(), 1u);
        EXPECT_EQ(answerer.Seen()[0].caption, "Connect");
        EXPECT_EQ(driver.connectionPane, "Connected to " + user + "@" + dsn);
        EXPECT_EQ(driver.pipe, pipe);
        EXPECT_EQ(driver.line, "from the dialog's logon");
        EXPECT_EQ(StoredSettingText("Pipe"), pipe);
        EXPECT_FALSE(SettingsKeyContains(password));
    }
    DeleteSettingsKey();
}
