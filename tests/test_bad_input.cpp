// Bad input through the whole program: odd bytes, line breaks and the longest messages, a server
// function that returns too much, odd pipe names, an overlong command line on the real program,
// damaged settings, a data source that does not exist, and connect fields holding "/" and "@".
// Each must be refused with a clear message or shown and spooled exactly; nothing may overflow.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "box_answerer.h"
#include "connect_dialog.h"
#include "connect_text.h"
#include "deferred_action.h"
#include "file_probe.h"
#include "program_state.h"
#include "program_window.h"
#include "resource.h"
#include "settings_probe.h"
#include "test_db.h"
#include "test_env.h"
#include "trace_sender.h"

namespace {

const int FILE_NAME_FIELD = 1148;   // the Save dialog's file-name field

std::string Utf8Of(unsigned code)
{
    if (code < 0x80)
        return std::string(1, (char)code);
    return std::string{(char)(0xC0 | (code >> 6)), (char)(0x80 | (code & 0x3F))};
}

std::string TempPath(const char *name)
{
    char folder[MAX_PATH] = "";
    GetTempPathA(sizeof folder, folder);
    return std::string(folder) + name + "-" + std::to_string(GetCurrentProcessId());
}

// The whole program, logged on from its command line, spying on a pipe of its own.
class ProgramTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_FALSE(TestEnv("VANTREL_DSN").empty()) << "run through tools/test";
        ASSERT_NE(StartProgramWindow(TestConnectString()), nullptr);
        ASSERT_EQ(programState.connected, 1);
        pipe = UniquePipeName("BAD");
        lstrcpynA(programState.pipeName, pipe.c_str(), sizeof programState.pipeName);
    }

    void TearDown() override
    {
        EndProgramWindow();
        EXPECT_EQ(answerer.Pending(), 0u) << "a box that was expected never came";
        for (const SeenBox &seen : answerer.Seen())
            EXPECT_TRUE(seen.expected) << "unexpected box \"" << seen.caption << "\": " << seen.text;
        if (!spoolPath.empty())
            DeleteFileA(spoolPath.c_str());
    }

    void SpoolTo(const char *name)
    {
        spoolPath = TempPath(name);
        std::string path = spoolPath;
        answerer.Handle([path](HWND dialog, const SeenBox &) {
            RunFromDialogLoop([dialog, path] {
                SetDlgItemTextA(dialog, FILE_NAME_FIELD, path.c_str());
                BoxAnswerer::PressButton(dialog, IDOK);
            });
        });
        SendProgramCommand(IDM_SPOOLTO);
        ASSERT_NE(programState.activeSpoolFile, HFILE_ERROR);
    }

    void StartSpying(UINT interval = 0)
    {
        programState.timerInterval = interval;
        SendProgramCommand(IDM_SPYING);
        ASSERT_EQ(programState.spying, 1);
    }

    // Sends the messages and waits until as many lines have arrived (or spying stopped).
    void Deliver(const std::vector<std::string> &messages, DWORD milliseconds = 30000)
    {
        int before = TraceListCount();
        BackgroundSender sender(pipe, messages);
        int want = before + (int)messages.size();
        PumpProgramUntil([want] { return TraceListCount() >= want || programState.spying == 0; }, milliseconds);
        EXPECT_TRUE(sender.Finish(15000)) << sender.Error();
        PumpProgram(100);
    }

    BoxAnswerer answerer;
    std::string pipe;
    std::string spoolPath;
};

}

TEST_F(ProgramTest, EveryCharacterLineBreaksAndLongestMessagesArriveExactlyInListAndSpoolFile)
{
    // The database is UTF-8 and the driver hands its bytes on unchanged: U+0001 to U+007F arrive
    // as one byte each, U+0080 to U+00FF as two (0xC2 or 0xC3, then one byte). U+0000 cannot be
    // sent at all (the server refuses it in text).
    std::vector<std::string> messages;
    for (unsigned code = 1; code <= 255; code++)
        messages.push_back("<" + Utf8Of(code) + ">");
    std::string everything;
    for (unsigned code = 1; code <= 255; code++)
        everything += Utf8Of(code);
    messages.push_back(everything);
    messages.push_back("tab\there");
    messages.push_back("first\r\nsecond");
    messages.push_back("lone\rreturn and lone\nfeed");
    messages.push_back(std::string(2000, 'w'));
    std::string twoByteCharacters;
    for (int i = 0; i < 1000; i++)
        twoByteCharacters += Utf8Of(0xE9);
    messages.push_back(twoByteCharacters);   // 1000 characters, 2000 bytes: still fits whole

    SpoolTo("bad-input.trc");
    StartSpying();
    Deliver(messages);

    EXPECT_EQ(programState.spying, 1);
    std::vector<std::string> lines = TraceListLines();
    ASSERT_EQ(lines.size(), messages.size());
    std::string expectedFile;
    for (size_t i = 0; i < messages.size(); i++) {
        EXPECT_EQ(lines[i], messages[i]) << "message " << i;
        expectedFile += messages[i] + "\r\n";
    }
    EndProgramWindow();   // closes the spool file
    EXPECT_TRUE(FileBytes(spoolPath) == expectedFile) << "the spool file differs from the messages sent";
}

namespace {

// Replaces the server's trace function for one test and puts the installed one back after it,
// also when the test fails.
class ReplacedGetFunction {
public:
    explicit ReplacedGetFunction(const std::string &body)
    {
        original_ = admin_.SelectText("SELECT pg_get_functiondef('vantrel.get(text)'::regprocedure)");
        replaced_ = original_.rfind("CREATE", 0) == 0 &&
                    admin_.Exec("CREATE OR REPLACE FUNCTION vantrel.get(p_nam text) RETURNS text LANGUAGE sql AS $$ " +
                                body + " $$");
    }
    ~ReplacedGetFunction()
    {
        if (replaced_)
            admin_.Exec(original_);
    }
    bool Replaced() const { return replaced_; }
    const std::string &Error() const { return admin_.LastError(); }

private:
    TestDbSession admin_{true};
    std::string original_;
    bool replaced_ = false;
};

}

TEST_F(ProgramTest, ServerFunctionReturningMoreThanTheBufferIsRefusedWithAClearError)
{
    const struct {
        const char *body;
        const char *what;
    } cases[] = {
        {"SELECT repeat('L', 2001)", "2001 characters"},
        {"SELECT repeat(chr(233), 1001)", "1001 characters, 2002 bytes"},
        {"SELECT repeat('L', 100000)", "100000 characters"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.what);
        ReplacedGetFunction replaced(c.body);
        ASSERT_TRUE(replaced.Replaced()) << replaced.Error();
        answerer.Clear();
        answerer.Answer(IDOK);
        StartSpying(10);
        PumpProgramUntil([] { return programState.spying == 0; }, 5000);
        EXPECT_EQ(programState.spying, 0);
        ASSERT_EQ(answerer.Seen().size(), 1u);
        EXPECT_EQ(answerer.Seen()[0].caption, "Oracle Error");
        EXPECT_FALSE(answerer.Seen()[0].text.empty());
        printf("[ text ] %s: %s\n", c.what, answerer.Seen()[0].text.c_str());
        // Nothing cut is shown as if it were the message, and the buffer kept its terminator.
        EXPECT_EQ(TraceListCount(), 0);
        EXPECT_LT(strnlen(programState.messageText, sizeof programState.messageText), sizeof programState.messageText);
    }
}

TEST_F(ProgramTest, PipeNamesOfTheLongestLengthAndWithQuotesCarryTheirOwnMessages)
{
    // Typed into the Connect dialog, whose pipe field keeps at most 63 characters in capitals.
    const std::vector<std::string> names = {
        std::string(63, 'P'),
        "O'REILLY",
        "SAY \"HI\"",
        "X'); SELECT PG_SLEEP(10); --",
        "BACK\\SLASH AND SPACE",
        "%S%S%N",
    };
    std::string user = TestEnv("VANTREL_DB_USER"), password = TestEnv("VANTREL_DB_PASSWORD"),
                dsn = TestEnv("VANTREL_DSN");
    for (const std::string &name : names) {
        SCOPED_TRACE(name);
        answerer.Clear();
        answerer.Answer(IDYES);   // already connected: re-connect
        answerer.Handle([=](HWND dialog, const SeenBox &) {
            SetDlgItemTextA(dialog, IDC_USERNAME, user.c_str());
            SetDlgItemTextA(dialog, IDC_PASSWORD, password.c_str());
            SetDlgItemTextA(dialog, IDC_DATABASE, dsn.c_str());
            SetDlgItemTextA(dialog, IDC_PIPENAME, name.c_str());
            BoxAnswerer::PressButton(dialog, IDOK);
        });
        ASSERT_EQ(SendProgramCommand(IDM_CONNECT), 0);
        ASSERT_EQ(std::string(programState.pipeName), name);
        pipe = name;
        SendMessageA(programState.listBox, LB_RESETCONTENT, 0, 0);
        StartSpying();
        Deliver({"on " + name, "second on " + name}, 10000);
        EXPECT_EQ(TraceListLines(), (std::vector<std::string>{"on " + name, "second on " + name}));
        EXPECT_EQ(programState.spying, 1);
    }
    DeleteSettingsKey();
}

TEST_F(ProgramTest, DataSourcesThatDoNotExistAreReportedAndLeaveTheProgramNotConnected)
{
    std::string user = TestEnv("VANTREL_DB_USER"), password = TestEnv("VANTREL_DB_PASSWORD");
    // The driver manager takes data source names of up to 32 characters and says so for longer ones.
    const struct {
        std::string source;
        const char *text;
    } cases[] = {
        {"NoSuchSource", "Data source name not found"},
        {"Vantrel Test With Spaces", "Data source name not found"},
        {std::string(63, 'D'), "Invalid string or buffer length"},
    };
    for (const auto &c : cases) {
        const std::string &source = c.source;
        SCOPED_TRACE(source);
        answerer.Clear();
        if (programState.connected)
            answerer.Answer(IDYES);
        answerer.Answer(IDOK);
        lstrcpynA(programState.connectString, (user + "/" + password + "@" + source).c_str(),
                  sizeof programState.connectString);
        EXPECT_EQ(SendProgramCommand(IDM_CONNECT), 2);
        ASSERT_FALSE(answerer.Seen().empty());
        const SeenBox &box = answerer.Seen().back();
        EXPECT_EQ(box.caption, "Oracle Error");
        EXPECT_NE(box.text.find(c.text), std::string::npos) << box.text;
        EXPECT_EQ(box.text.find(password), std::string::npos);
        EXPECT_EQ(programState.connected, 0);
        EXPECT_EQ(programState.connectString[0], '\0');
    }
}

namespace {

void StoreRaw(const char *name, DWORD type, const std::string &bytes)
{
    HKEY key = nullptr;
    ASSERT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, SETTINGS_KEY_PATH, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key,
                              nullptr),
              ERROR_SUCCESS);
    RegSetValueExA(key, name, 0, type, (const BYTE *)bytes.data(), (DWORD)bytes.size());
    RegCloseKey(key);
}

std::string DwordBytes(DWORD value)
{
    return std::string((const char *)&value, sizeof value);
}

std::string FieldText(HWND dialog, int control)
{
    char text[256] = "";
    GetDlgItemTextA(dialog, control, text, sizeof text);
    return text;
}

}

TEST(BadSettings, ValuesOfTheWrongTypeOrSizeGiveDefinedFieldsAndPeriods)
{
    // Each stored value as an earlier version, another program or a damaged profile may leave it;
    // the Connect dialog and the poll period must come out defined, never read past a buffer.
    const struct {
        DWORD userType;
        std::string user;
        DWORD pipeType;
        std::string pipe;
        DWORD periodType;
        std::string period;
        std::string shownUser;
        std::string shownPipe;
        UINT interval;
    } cases[] = {
        {REG_DWORD, DwordBytes(0x00434241), REG_DWORD, DwordBytes(0), REG_QWORD, std::string(8, '\0'), "ABC", "",
         0},
        {REG_BINARY, std::string(64, 'u'), REG_BINARY, std::string(64, 'p'), REG_BINARY, std::string(2, '\x05'), "",
         "VANTREL32", 0},
        {REG_MULTI_SZ, std::string("one\0two\0\0", 9), REG_EXPAND_SZ, std::string("%PATH%", 7), REG_SZ,
         std::string("-1", 3), "one", "%PATH%", 0xFFFFFFFFu},
        {REG_SZ, std::string(63, 'x'), REG_SZ, std::string(1000, 'P') + '\0', REG_SZ, std::string(1000, '7') + '\0',
         std::string(63, 'x'), "VANTREL32", DEFAULT_TIMER_INTERVAL},
        {REG_NONE, "", REG_SZ, std::string("A\0B", 3), REG_DWORD, std::string(3, '\x01'), "", "A",
         DEFAULT_TIMER_INTERVAL},
    };
    for (size_t i = 0; i < sizeof cases / sizeof cases[0]; i++) {
        const auto &c = cases[i];
        SCOPED_TRACE("case " + std::to_string(i));
        DeleteSettingsKey();
        StoreRaw("User", c.userType, c.user);
        StoreRaw("Database", c.userType, c.user);
        StoreRaw("Pipe", c.pipeType, c.pipe);
        StoreRaw("TimerSpeed", c.periodType, c.period);

        BoxAnswerer answerer;
        std::string shownUser = "<none>", shownDatabase = "<none>", shownPipe = "<none>";
        answerer.Handle([&](HWND dialog, const SeenBox &) {
            RunFromDialogLoop([&, dialog] {
                shownUser = FieldText(dialog, IDC_USERNAME);
                shownDatabase = FieldText(dialog, IDC_DATABASE);
                shownPipe = FieldText(dialog, IDC_PIPENAME);
                BoxAnswerer::PressButton(dialog, IDCANCEL);
            });
        });
        ASSERT_NE(StartProgramWindow(""), nullptr);
        PumpProgramUntil([&] { return shownPipe != "<none>"; }, 5000);
        EXPECT_EQ(programState.timerInterval, c.interval);
        EXPECT_EQ(shownUser, c.shownUser);
        EXPECT_EQ(shownDatabase, c.shownUser);
        EXPECT_EQ(shownPipe, c.shownPipe);
        // Whatever the period, the poll timer can be set (the system clamps it).
        EXPECT_TRUE(SetTimer(programState.mainWindow, TRACE_TIMER_ID, programState.timerInterval, nullptr) != 0);
        KillTimer(programState.mainWindow, TRACE_TIMER_ID);
        EndProgramWindow();
    }
    DeleteSettingsKey();
}

namespace {

struct FoundWindow {
    DWORD process;
    const char *className;
    HWND window;
};

BOOL CALLBACK FindProcessWindow(HWND window, LPARAM data)
{
    FoundWindow &found = *(FoundWindow *)data;
    DWORD process = 0;
    GetWindowThreadProcessId(window, &process);
    char className[64] = "";
    GetClassNameA(window, className, sizeof className);
    if (process == found.process && lstrcmpA(className, found.className) == 0 && IsWindowVisible(window)) {
        found.window = window;
        return FALSE;
    }
    return TRUE;
}

HWND WaitForWindowOf(DWORD process, const char *className, DWORD milliseconds)
{
    DWORD start = GetTickCount();
    do {
        FoundWindow found = {process, className, nullptr};
        EnumWindows(FindProcessWindow, (LPARAM)&found);
        if (found.window != nullptr)
            return found.window;
        Sleep(50);
    } while (GetTickCount() - start < milliseconds);
    return nullptr;
}

std::string ProgramPath(void)
{
    // The test programs are built in tests/ beside the program's own folder.
    char path[MAX_PATH] = "";
    GetModuleFileNameA(nullptr, path, sizeof path);
    std::string folder(path);
    folder = folder.substr(0, folder.find_last_of('\\'));
    folder = folder.substr(0, folder.find_last_of('\\'));
    return folder + "\\vantrel.exe";
}

}

TEST(BadCommandLine, TenThousandCharactersReachTheRealProgramAsAClearLogonError)
{
    std::string program = ProgramPath();
    ASSERT_NE(GetFileAttributesA(program.c_str()), INVALID_FILE_ATTRIBUTES) << program;
    const std::string tails[] = {
        TestConnectString() + std::string(10000 - TestConnectString().size(), 'x'),   // the database runs on
        std::string(10000, 'u'),                                                         // one endless user name
        TestEnv("VANTREL_DB_USER") + "/" + std::string(10000 - TestEnv("VANTREL_DB_USER").size() - 1, 'p'),
    };
    std::string password = TestEnv("VANTREL_DB_PASSWORD");
    for (const std::string &tail : tails) {
        SCOPED_TRACE(tail.substr(0, 40));
        ASSERT_EQ(tail.size() >= 10000, true);
        std::string line = "\"" + program + "\" " + tail;
        STARTUPINFOA startup = {};
        startup.cb = sizeof startup;
        PROCESS_INFORMATION process = {};
        ASSERT_TRUE(CreateProcessA(program.c_str(), &line[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                                   &process));
        HWND box = WaitForWindowOf(process.dwProcessId, "#32770", 15000);
        char caption[64] = "", text[1024] = "";
        if (box != nullptr) {
            GetWindowTextA(box, caption, sizeof caption);
            GetDlgItemTextA(box, 0xFFFF, text, sizeof text);
            PostMessageA(box, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
        }
        HWND main = WaitForWindowOf(process.dwProcessId, "VANTREL32", 5000);
        char title[64] = "";
        if (main != nullptr) {
            GetWindowTextA(main, title, sizeof title);
            PostMessageA(main, WM_CLOSE, 0, 0);
        }
        bool ended = WaitForSingleObject(process.hProcess, 10000) == WAIT_OBJECT_0;
        if (!ended)
            TerminateProcess(process.hProcess, 1);
        DWORD exitCode = 99;
        GetExitCodeProcess(process.hProcess, &exitCode);
        CloseHandle(process.hThread);
        CloseHandle(process.hProcess);

        ASSERT_NE(box, nullptr) << "no box from the program";
        printf("[ text ] %s\n", text);
        EXPECT_STREQ(caption, "Oracle Error");
        EXPECT_NE(std::string(text).find("connect string is not user[/password][@database]"), std::string::npos)
            << text;
        EXPECT_EQ(std::string(text).find(password), std::string::npos);
        EXPECT_STREQ(title, "Vantrel");
        EXPECT_TRUE(ended);
        EXPECT_EQ(exitCode, 0u);
    }
}

namespace {

class OddConnectFields : public ::testing::Test {
protected:
    void SetUp() override
    {
        DeleteSettingsKey();
        ASSERT_TRUE(admin.Connected()) << admin.LastError();
        ASSERT_TRUE(admin.Exec("DROP ROLE IF EXISTS vantrel_odd_login"));
        ASSERT_TRUE(admin.Exec("CREATE ROLE vantrel_odd_login LOGIN PASSWORD 'p@ss/w@rd'")) << admin.LastError();
        answerer.Answer(IDCANCEL);   // the Connect dialog of the start: not connected
        ASSERT_NE(StartProgramWindow(""), nullptr);
        ASSERT_EQ(answerer.Seen().size(), 1u);
        answerer.Clear();
    }
    void TearDown() override
    {
        EndProgramWindow();
        admin.Exec("DROP ROLE IF EXISTS vantrel_odd_login");
        DeleteSettingsKey();
    }

    // Opens the Connect dialog, types the fields and presses OK; a refusing box is answered and
    // the dialog is then cancelled. Returns the Connect command's result.
    LRESULT ConnectWith(const std::string &user, const std::string &password, const std::string &database,
                        bool refused)
    {
        answerer.Handle([=](HWND dialog, const SeenBox &) {
            SetDlgItemTextA(dialog, IDC_USERNAME, user.c_str());
            SetDlgItemTextA(dialog, IDC_PASSWORD, password.c_str());
            SetDlgItemTextA(dialog, IDC_DATABASE, database.c_str());
            SetDlgItemTextA(dialog, IDC_PIPENAME, "ODD");
            BoxAnswerer::PressButton(dialog, IDOK);
            if (refused) {
                // After the refusal the dialog is still there: cancel it.
                RunFromDialogLoop([dialog] {
                    if (IsWindow(dialog))
                        BoxAnswerer::PressButton(dialog, IDCANCEL);
                }, 300);
            }
        });
        answerer.Answer(IDOK);   // the refusal, or the logon's own error box if it fails
        return SendProgramCommand(IDM_CONNECT);
    }

    BoxAnswerer answerer;
    TestDbSession admin{true};
};

}

TEST_F(OddConnectFields, PasswordHoldingSlashAndAtSignLogsOnToTheNamedDatabase)
{
    std::string dsn = TestEnv("VANTREL_DSN");
    EXPECT_EQ(ConnectWith("vantrel_odd_login", "p@ss/w@rd", dsn, false), 0);
    EXPECT_EQ(programState.connected, 1);
    EXPECT_STREQ(programState.displayName, ("vantrel_odd_login@" + dsn).c_str());
    ASSERT_EQ(answerer.Seen().size(), 1u) << "no error box expected";
    answerer.Clear();   // the queued error answer was not needed
}

TEST(OddConnectText, PasswordHoldingAtSignWithoutDatabaseKeepsTheDatabaseEmpty)
{
    // "u/p@ss" would be read as password "p" on a data source "ss".
    char out[CONNECT_STRING_SIZE];
    ASSERT_EQ(BuildConnectString("u", "p@ss", "", out, sizeof out), 1);
    EXPECT_STREQ(out, "u/p@ss@");
    ASSERT_EQ(BuildConnectString("u", "p/ss", "", out, sizeof out), 1);
    EXPECT_STREQ(out, "u/p/ss");
    ASSERT_EQ(BuildConnectString("u", "p@ss", "D", out, sizeof out), 1);
    EXPECT_STREQ(out, "u/p@ss@D");
    // The mark counts toward the size: never cut, never past the buffer.
    char small[8];
    EXPECT_EQ(BuildConnectString("u", "p@ss", "", small, 7), 0);
    EXPECT_EQ(small[0], '\0');
    EXPECT_EQ(BuildConnectString("u", "p@ss", "", small, 8), 1);
    EXPECT_STREQ(small, "u/p@ss@");
}

TEST_F(OddConnectFields, UserOrDatabaseThatTheConnectStringCannotCarryIsRefusedInTheDialog)
{
    std::string dsn = TestEnv("VANTREL_DSN");
    const struct {
        const char *user;
        const char *database;
        const char *text;
    } cases[] = {
        {"vantrel/odd", "", "The user name cannot contain \"/\" or \"@\"."},
        {"vantrel@odd", dsn.c_str(), "The user name cannot contain \"/\" or \"@\"."},
        {"vantrel_odd_login", "Vantrel@Test", "The database name cannot contain \"@\"."},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(std::string(c.user) + " / " + c.database);
        answerer.Clear();
        EXPECT_EQ(ConnectWith(c.user, "p@ss/w@rd", c.database, true), 2);
        ASSERT_EQ(answerer.Seen().size(), 2u);
        EXPECT_EQ(answerer.Seen()[1].caption, "Error");
        EXPECT_EQ(answerer.Seen()[1].icon, "warning");
        EXPECT_EQ(answerer.Seen()[1].text, c.text);
        EXPECT_EQ(programState.connected, 0);
        // Refused before anything was stored or built.
        EXPECT_EQ(StoredSettingText("User"), "<none>");
        EXPECT_EQ(programState.connectString[0], '\0');
    }
}
