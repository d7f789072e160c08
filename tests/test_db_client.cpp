// The database client on the real private PostgreSQL through ODBC: log on and its failures, the
// trace block receiving messages sent with vantrel.put, NULL results, cut outputs, 1405, real
// server failures with their numbers and texts, and closing and logging off.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <string>

#include <windows.h>

#include "db_client.h"
#include "test_db.h"
#include "test_env.h"

namespace {

const char TRACE_BLOCK_TEXT[] = "DECLARE rc VARCHAR2(2000); BEGIN rc:=vantrel.get(:p_nam); :retval:=rc; END;";
const int TEXT_TYPE = 5;
const int MESSAGE_SIZE = 2001;

// The areas live in static storage like the program's state; each test starts them zeroed.
LogonArea logon;
CursorArea cursor;
CursorArea otherCursor;

std::string ErrorText(int number, int size = 1024)
{
    std::string buffer(size, '\0');
    DbErrorMessage(&logon, number, &buffer[0], size);
    return buffer.c_str();
}

class DbClient : public ::testing::Test {
protected:
    void SetUp() override
    {
        memset(&logon, 0, sizeof logon);
        memset(&cursor, 0, sizeof cursor);
        memset(&otherCursor, 0, sizeof otherCursor);
        memset(pipeName, 0, sizeof pipeName);
        memset(message, 0, sizeof message);
        pipeIndicator = 0;
        messageIndicator = 7;
    }
    void TearDown() override
    {
        DbCloseCursor(&cursor);
        DbCloseCursor(&otherCursor);
        DbLogOff(&logon);
    }

    void LogOn()
    {
        std::string connect = TestConnectString();
        ASSERT_EQ(DbLogOn(&logon, hostArea, connect.c_str(), -1, nullptr, -1, 0), 0)
            << ErrorText(logon.returnCode);
        ASSERT_EQ(logon.isOracle, 0);
    }

    // Opens the trace cursor the way the poller does, on a pipe of its own.
    void OpenTraceCursor(short *retvalIndicator)
    {
        LogOn();
        pipe = UniquePipeName("dbclient");
        strcpy(pipeName, pipe.c_str());
        ASSERT_EQ(DbOpenCursor(&cursor, &logon, nullptr, -1, 0, nullptr, -2), 0);
        ASSERT_EQ(DbParse(&cursor, TRACE_BLOCK_TEXT, -1, 1, 2), 0) << ErrorText(cursor.returnCode);
        ASSERT_EQ(DbBindByName(&cursor, ":p_nam", -1, pipeName, MESSAGE_SIZE, TEXT_TYPE, -1, &pipeIndicator,
                               nullptr, -1, -1), 0) << ErrorText(cursor.returnCode);
        ASSERT_EQ(DbBindByName(&cursor, ":retval", -1, message, MESSAGE_SIZE, TEXT_TYPE, -1, retvalIndicator,
                               nullptr, -1, -1), 0) << ErrorText(cursor.returnCode);
    }

    unsigned char hostArea[HOST_AREA_SIZE] = {};
    std::string pipe;
    char pipeName[MESSAGE_SIZE];
    short pipeIndicator;
    char message[MESSAGE_SIZE];
    short messageIndicator;
};

struct LogonCase {
    std::string connect;
    unsigned number;
    const char *textHas;                // the server's or driver manager's own words
    const char *stateHas;
};

TEST_F(DbClient, LogOnFailuresGiveStableNumbersAndTheirOwnTexts)
{
    std::string dsn = TestEnv("VANTREL_DSN"), user = TestEnv("VANTREL_DB_USER");
    const LogonCase cases[] = {
        {user + "/wrong-password@" + dsn, 30801, "password authentication failed", "SQLSTATE 08001"},
        {"nobody_here/x@" + dsn, 30801, "nobody_here", "SQLSTATE 08001"},
        {user + "/x@NoSuchDataSource", 31002, "", "SQLSTATE IM002"},
        {user + "/x", 31002, "", "SQLSTATE IM002"},              // no default data source is set up here
        {"/x@" + dsn, DB_ERROR_BAD_CONNECT_STRING, "user[/password][@database]", ""},
        {"", DB_ERROR_BAD_CONNECT_STRING, "user[/password][@database]", ""},
    };
    for (const LogonCase &c : cases) {
        memset(&logon, 0, sizeof logon);
        EXPECT_NE(DbLogOn(&logon, hostArea, c.connect.c_str(), -1, nullptr, -1, 0), 0) << c.connect;
        EXPECT_EQ(logon.returnCode, c.number) << c.connect << "\n" << ErrorText(logon.returnCode);
        std::string text = ErrorText(logon.returnCode);
        EXPECT_NE(text.find(c.textHas), std::string::npos) << c.connect << "\n" << text;
        EXPECT_NE(text.find(c.stateHas), std::string::npos) << c.connect << "\n" << text;
        EXPECT_EQ(logon.connection, nullptr);
        EXPECT_EQ(logon.environment, nullptr);
    }
}

TEST_F(DbClient, LogOnTakesTheWholeStringOrASeparatePassword)
{
    std::string dsn = TestEnv("VANTREL_DSN"), user = TestEnv("VANTREL_DB_USER");
    std::string password = TestEnv("VANTREL_DB_PASSWORD");
    // The length argument is honoured: the rest of the text is not part of the connect string.
    std::string padded = TestConnectString() + "#ignored";
    EXPECT_EQ(DbLogOn(&logon, hostArea, padded.c_str(), (int)padded.size() - 8, nullptr, -1, 0), 0)
        << ErrorText(logon.returnCode);
    EXPECT_NE(logon.connection, nullptr);
    std::string withoutPassword = user + "@" + dsn;
    EXPECT_EQ(DbLogOn(&logon, hostArea, withoutPassword.c_str(), -1, password.c_str(), -1, 0), 0)
        << ErrorText(logon.returnCode);
    EXPECT_NE(logon.connection, nullptr);
}

TEST_F(DbClient, PasswordMayHoldSlashAndAtSign)
{
    // The data source follows the last '@'; the password runs from the first '/' up to it.
    TestDbSession admin(true);
    ASSERT_TRUE(admin.Exec("DROP ROLE IF EXISTS vantrel_odd_password"));
    ASSERT_TRUE(admin.Exec("CREATE ROLE vantrel_odd_password LOGIN PASSWORD 'p@ss/w@rd'")) << admin.LastError();
    std::string connect = "vantrel_odd_password/p@ss/w@rd@" + TestEnv("VANTREL_DSN");
    EXPECT_EQ(DbLogOn(&logon, hostArea, connect.c_str(), -1, nullptr, -1, 0), 0) << ErrorText(logon.returnCode);
    DbLogOff(&logon);
    EXPECT_TRUE(admin.Exec("DROP ROLE vantrel_odd_password"));
}

TEST_F(DbClient, TraceBlockReceivesMessagesInOrderThenNull)
{
    OpenTraceCursor(&messageIndicator);
    TestDbSession sender;
    ASSERT_TRUE(sender.Connected()) << sender.LastError();
    const char *sent[] = {"first message", "second, with 'quotes' and ; semicolons", ""};
    for (const char *text : sent)
        ASSERT_TRUE(sender.SendTrace(pipe, text)) << sender.LastError();
    for (const char *text : sent) {
        ASSERT_EQ(DbExecute(&cursor), 0) << ErrorText(cursor.returnCode);
        EXPECT_STREQ(message, text);
        EXPECT_EQ(messageIndicator, 0);
    }
    strcpy(message, "stale");
    ASSERT_EQ(DbExecute(&cursor), 0) << ErrorText(cursor.returnCode);
    EXPECT_EQ(messageIndicator, -1);
    EXPECT_STREQ(message, "");
    // Nothing from another pipe leaks in.
    ASSERT_TRUE(sender.SendTrace(pipe + "_other", "not for us"));
    ASSERT_EQ(DbExecute(&cursor), 0);
    EXPECT_EQ(messageIndicator, -1);
    EXPECT_EQ(sender.SelectText("SELECT vantrel.get(?)", {pipe + "_other"}), "not for us");
}

TEST_F(DbClient, MessageOf2000CharactersArrivesWhole)
{
    OpenTraceCursor(&messageIndicator);
    std::string text;
    for (int i = 0; i < 2000; i++)
        text += (char)('A' + i % 26);
    text[1999] = '!';
    TestDbSession sender;
    ASSERT_TRUE(sender.SendTrace(pipe, text)) << sender.LastError();
    ASSERT_EQ(DbExecute(&cursor), 0) << ErrorText(cursor.returnCode);
    EXPECT_EQ(std::string(message), text);
    EXPECT_EQ(messageIndicator, 0);
}

struct CutCase {
    const char *block;
    int bufferLength;
};

TEST_F(DbClient, OutputIsCutToBufferLengthWithoutOverrun)
{
    // Through a local (copied by the client) and straight from the call (cut by the driver).
    const CutCase cases[] = {
        {TRACE_BLOCK_TEXT, 11},
        {"BEGIN :retval := vantrel.get(:p_nam); END;", 11},
        {TRACE_BLOCK_TEXT, 1},
        {"BEGIN :retval := vantrel.get(:p_nam); END;", 1},
    };
    LogOn();
    TestDbSession sender;
    for (const CutCase &c : cases) {
        std::string name = UniquePipeName("dbcut");
        strcpy(pipeName, name.c_str());
        char guarded[64];
        memset(guarded, '#', sizeof guarded);
        char *buffer = guarded + 16;
        ASSERT_EQ(DbOpenCursor(&cursor, &logon, nullptr, -1, 0, nullptr, -2), 0);
        ASSERT_EQ(DbParse(&cursor, c.block, -1, 1, 2), 0) << ErrorText(cursor.returnCode);
        ASSERT_EQ(DbBindByName(&cursor, ":p_nam", -1, pipeName, MESSAGE_SIZE, TEXT_TYPE, -1, &pipeIndicator,
                               nullptr, -1, -1), 0);
        ASSERT_EQ(DbBindByName(&cursor, ":retval", -1, buffer, c.bufferLength, TEXT_TYPE, -1, &messageIndicator,
                               nullptr, -1, -1), 0);
        ASSERT_TRUE(sender.SendTrace(name, "0123456789ABCDEFGHIJ"));
        ASSERT_EQ(DbExecute(&cursor), 0) << c.block << "\n" << ErrorText(cursor.returnCode);
        EXPECT_EQ(std::string(buffer), std::string("0123456789ABCDEFGHIJ").substr(0, c.bufferLength - 1)) << c.block;
        EXPECT_EQ(messageIndicator, 0);
        for (int i = 0; i < 16; i++)
            EXPECT_EQ(guarded[i], '#') << "byte before the buffer overwritten: " << c.block;
        for (size_t i = 16 + c.bufferLength; i < sizeof guarded; i++)
            EXPECT_EQ(guarded[i], '#') << "byte " << i - 16 << " past the buffer overwritten: " << c.block;
        DbCloseCursor(&cursor);
    }
}

TEST_F(DbClient, NullIntoBindWithoutIndicatorGives1405AndAMessageStillArrives)
{
    OpenTraceCursor(nullptr);
    strcpy(message, "stale");
    EXPECT_NE(DbExecute(&cursor), 0);
    EXPECT_EQ(cursor.returnCode, DB_NULL_FETCHED);
    EXPECT_STREQ(message, "");
    EXPECT_NE(ErrorText(DB_NULL_FETCHED).find("NULL"), std::string::npos);
    TestDbSession sender;
    ASSERT_TRUE(sender.SendTrace(pipe, "after the null"));
    ASSERT_EQ(DbExecute(&cursor), 0) << ErrorText(cursor.returnCode);
    EXPECT_STREQ(message, "after the null");
    EXPECT_EQ(cursor.returnCode, 0);
}

TEST_F(DbClient, NullWithAnIndicatorIsNot1405)
{
    // A NULL into a local, then from the local into a bind with an indicator: no error anywhere.
    OpenTraceCursor(&messageIndicator);
    EXPECT_EQ(DbExecute(&cursor), 0);
    EXPECT_EQ(cursor.returnCode, 0);
    EXPECT_EQ(messageIndicator, -1);
}

TEST_F(DbClient, RenamedServerFunctionGivesItsNumberAndTheServersText)
{
    LogOn();
    TestDbSession admin(true);
    ASSERT_TRUE(admin.Connected()) << admin.LastError();
    ASSERT_TRUE(admin.Exec("ALTER FUNCTION vantrel.get(text) RENAME TO get_moved_away")) << admin.LastError();
    strcpy(pipeName, "dbclient_renamed");
    int failed = DbOpenCursor(&cursor, &logon, nullptr, -1, 0, nullptr, -2) ||
                 DbParse(&cursor, TRACE_BLOCK_TEXT, -1, 1, 2) ||
                 DbBindByName(&cursor, ":p_nam", -1, pipeName, MESSAGE_SIZE, TEXT_TYPE, -1, &pipeIndicator, nullptr,
                              -1, -1) ||
                 DbBindByName(&cursor, ":retval", -1, message, MESSAGE_SIZE, TEXT_TYPE, -1, &messageIndicator,
                              nullptr, -1, -1) ||
                 DbExecute(&cursor);
    unsigned number = cursor.returnCode;
    std::string text = ErrorText(number);
    bool restored = admin.Exec("ALTER FUNCTION vantrel.get_moved_away(text) RENAME TO get");
    EXPECT_TRUE(restored) << admin.LastError();
    EXPECT_NE(failed, 0);
    EXPECT_EQ(number, 34203u) << text;
    EXPECT_NE(text.find("vantrel.get"), std::string::npos) << text;
    EXPECT_NE(text.find("does not exist"), std::string::npos) << text;
    EXPECT_NE(text.find("SQLSTATE 42883"), std::string::npos) << text;
    // The same cursor works again once the function is back.
    DbCloseCursor(&cursor);
    ASSERT_EQ(DbOpenCursor(&cursor, &logon, nullptr, -1, 0, nullptr, -2), 0);
    ASSERT_EQ(DbParse(&cursor, TRACE_BLOCK_TEXT, -1, 1, 2), 0);
    ASSERT_EQ(DbBindByName(&cursor, ":p_nam", -1, pipeName, MESSAGE_SIZE, TEXT_TYPE, -1, &pipeIndicator, nullptr,
                           -1, -1), 0);
    ASSERT_EQ(DbBindByName(&cursor, ":retval", -1, message, MESSAGE_SIZE, TEXT_TYPE, -1, &messageIndicator,
                           nullptr, -1, -1), 0);
    EXPECT_EQ(DbExecute(&cursor), 0) << ErrorText(cursor.returnCode);
}

TEST_F(DbClient, EndedServerSessionFailsExecuteWithTheServersText)
{
    OpenTraceCursor(&messageIndicator);
    ASSERT_EQ(DbExecute(&cursor), 0);
    // Our own backend's process id, asked through the client itself.
    char pid[32] = "";
    short pidIndicator = 0;
    ASSERT_EQ(DbOpenCursor(&otherCursor, &logon, nullptr, -1, 0, nullptr, -2), 0);
    ASSERT_EQ(DbParse(&otherCursor, "BEGIN :pid := pg_catalog.pg_backend_pid(); END;", -1, 1, 2), 0)
        << ErrorText(otherCursor.returnCode);
    ASSERT_EQ(DbBindByName(&otherCursor, ":pid", -1, pid, sizeof pid, TEXT_TYPE, -1, &pidIndicator, nullptr, -1,
                           -1), 0);
    ASSERT_EQ(DbExecute(&otherCursor), 0) << ErrorText(otherCursor.returnCode);
    ASSERT_GT(atoi(pid), 0);
    TestDbSession admin(true);
    ASSERT_EQ(admin.SelectText("SELECT pg_terminate_backend(CAST(? AS integer))", {pid}), "1");
    EXPECT_NE(DbExecute(&cursor), 0);
    unsigned number = cursor.returnCode;
    std::string text = ErrorText(number);
    EXPECT_NE(number, 0u);
    EXPECT_NE(number, DB_NULL_FETCHED);
    EXPECT_NE(text.find("SQLSTATE"), std::string::npos) << text;
    EXPECT_TRUE(text.find("terminat") != std::string::npos || text.find("connection") != std::string::npos) << text;
    // And the next try fails as well instead of pretending to work.
    EXPECT_NE(DbExecute(&cursor), 0);
    EXPECT_NE(cursor.returnCode, 0);
}

TEST_F(DbClient, SlowServerCallEndsAtTheQueryTimeout)
{
    LogOn();
    char result[16] = "";
    short indicator = 0;
    ASSERT_EQ(DbOpenCursor(&cursor, &logon, nullptr, -1, 0, nullptr, -2), 0);
    ASSERT_EQ(DbParse(&cursor, "BEGIN :r := pg_catalog.pg_sleep(30); END;", -1, 1, 2), 0)
        << ErrorText(cursor.returnCode);
    ASSERT_EQ(DbBindByName(&cursor, ":r", -1, result, sizeof result, TEXT_TYPE, -1, &indicator, nullptr, -1, -1), 0);
    auto start = std::chrono::steady_clock::now();
    EXPECT_NE(DbExecute(&cursor), 0);
    double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    EXPECT_LT(seconds, DB_QUERY_TIMEOUT_SECONDS + 3.0);
    EXPECT_GE(seconds, DB_QUERY_TIMEOUT_SECONDS - 0.5);
    std::string text = ErrorText(cursor.returnCode);
    EXPECT_TRUE(cursor.returnCode == 35701 || cursor.returnCode == 31100) << cursor.returnCode << " " << text;
    EXPECT_NE(text.find("SQLSTATE"), std::string::npos) << text;
}

TEST_F(DbClient, BlockWithLiteralsAndABindReadBackRunsOnTheServer)
{
    LogOn();
    std::string name = UniquePipeName("dblit");
    TestDbSession sender;
    ASSERT_TRUE(sender.SendTrace(name, "via literal"));
    std::string block = "DECLARE a VARCHAR2(100); b VARCHAR2(100); BEGIN a := vantrel.get('" + name +
                        "'); :first := a; b := 'it''s'; :second := b; :third := NULL; :echo := :first; END;";
    char first[32], second[32], third[32], echo[32];
    short firstIndicator = 5, secondIndicator = 5, thirdIndicator = 5, echoIndicator = 5;
    ASSERT_EQ(DbOpenCursor(&cursor, &logon, nullptr, -1, 0, nullptr, -2), 0);
    ASSERT_EQ(DbParse(&cursor, block.c_str(), -1, 1, 2), 0) << ErrorText(cursor.returnCode);
    ASSERT_EQ(DbBindByName(&cursor, ":FIRST", -1, first, sizeof first, TEXT_TYPE, -1, &firstIndicator, nullptr, -1, -1), 0);
    ASSERT_EQ(DbBindByName(&cursor, ":second", 7, second, sizeof second, TEXT_TYPE, -1, &secondIndicator, nullptr, -1, -1), 0);
    ASSERT_EQ(DbBindByName(&cursor, ":third", -1, third, sizeof third, TEXT_TYPE, -1, &thirdIndicator, nullptr, -1, -1), 0);
    ASSERT_EQ(DbBindByName(&cursor, ":echo", -1, echo, sizeof echo, TEXT_TYPE, -1, &echoIndicator, nullptr, -1, -1), 0);
    ASSERT_EQ(DbExecute(&cursor), 0) << ErrorText(cursor.returnCode);
    EXPECT_STREQ(first, "via literal");
    EXPECT_EQ(firstIndicator, 0);
    EXPECT_STREQ(second, "it's");
    EXPECT_EQ(secondIndicator, 0);
    EXPECT_EQ(thirdIndicator, -1);
    EXPECT_STREQ(echo, "via literal");
    EXPECT_EQ(echoIndicator, 0);
}

TEST_F(DbClient, ValueLongerThanItsLocalFailsInsteadOfBeingCut)
{
    LogOn();
    std::string name = UniquePipeName("dblocal");
    TestDbSession sender;
    ASSERT_TRUE(sender.SendTrace(name, "twelve chars"));
    strcpy(pipeName, name.c_str());
    ASSERT_EQ(DbOpenCursor(&cursor, &logon, nullptr, -1, 0, nullptr, -2), 0);
    ASSERT_EQ(DbParse(&cursor, "DECLARE rc VARCHAR2(5); BEGIN rc := vantrel.get(:p_nam); :retval := rc; END;", -1, 1, 2), 0);
    ASSERT_EQ(DbBindByName(&cursor, ":p_nam", -1, pipeName, MESSAGE_SIZE, TEXT_TYPE, -1, &pipeIndicator, nullptr, -1, -1), 0);
    ASSERT_EQ(DbBindByName(&cursor, ":retval", -1, message, MESSAGE_SIZE, TEXT_TYPE, -1, &messageIndicator, nullptr, -1, -1), 0);
    EXPECT_NE(DbExecute(&cursor), 0);
    EXPECT_EQ(cursor.returnCode, DB_ERROR_VALUE_TOO_LONG);
    EXPECT_NE(ErrorText(cursor.returnCode).find("local rc"), std::string::npos) << ErrorText(cursor.returnCode);
}

TEST_F(DbClient, MisuseOfTheCursorGivesClearNumbersAndTexts)
{
    LogOn();
    char buffer[16];
    short indicator = 0;
    // Never opened: parse, bind and execute refuse.
    EXPECT_NE(DbParse(&cursor, TRACE_BLOCK_TEXT, -1, 1, 2), 0);
    EXPECT_EQ(cursor.returnCode, DB_ERROR_OUT_OF_ORDER);
    EXPECT_NE(DbExecute(&cursor), 0);
    EXPECT_EQ(cursor.returnCode, DB_ERROR_OUT_OF_ORDER);

    ASSERT_EQ(DbOpenCursor(&cursor, &logon, nullptr, -1, 0, nullptr, -2), 0);
    EXPECT_NE(DbParse(&cursor, "BEGIN IF 1 THEN :x := 1; END IF; END;", -1, 1, 2), 0);
    EXPECT_EQ(cursor.returnCode, DB_ERROR_BLOCK_NOT_SUPPORTED);
    EXPECT_NE(ErrorText(cursor.returnCode).find("\"IF\""), std::string::npos) << ErrorText(cursor.returnCode);

    ASSERT_EQ(DbParse(&cursor, TRACE_BLOCK_TEXT, -1, 1, 2), 0);
    EXPECT_NE(DbBindByName(&cursor, ":nope", -1, buffer, sizeof buffer, TEXT_TYPE, -1, &indicator, nullptr, -1, -1), 0);
    EXPECT_EQ(cursor.returnCode, DB_ERROR_UNKNOWN_PLACEHOLDER);
    EXPECT_NE(ErrorText(cursor.returnCode).find(":nope"), std::string::npos);
    EXPECT_NE(DbBindByName(&cursor, ":retval", -1, buffer, sizeof buffer, 1, -1, &indicator, nullptr, -1, -1), 0);
    EXPECT_EQ(cursor.returnCode, DB_ERROR_BAD_BIND);
    EXPECT_NE(DbBindByName(&cursor, ":retval", -1, buffer, 0, TEXT_TYPE, -1, &indicator, nullptr, -1, -1), 0);
    EXPECT_EQ(cursor.returnCode, DB_ERROR_BAD_BIND);
    ASSERT_EQ(DbBindByName(&cursor, ":retval", -1, buffer, sizeof buffer, TEXT_TYPE, -1, &indicator, nullptr, -1, -1), 0);
    EXPECT_NE(DbExecute(&cursor), 0);
    EXPECT_EQ(cursor.returnCode, DB_ERROR_NOT_BOUND);
    EXPECT_NE(ErrorText(cursor.returnCode).find(":p_nam"), std::string::npos) << ErrorText(cursor.returnCode);
}

TEST_F(DbClient, CloseCursorTwiceAndLogOffLeaveNothingBehind)
{
    DbCloseCursor(&cursor);             // never opened
    EXPECT_EQ(cursor.logon, nullptr);
    OpenTraceCursor(&messageIndicator);
    ASSERT_EQ(DbExecute(&cursor), 0);
    EXPECT_EQ(DbCloseCursor(&cursor), 0);
    EXPECT_EQ(DbCloseCursor(&cursor), 0);
    EXPECT_EQ(cursor.logon, nullptr);
    for (void *statement : cursor.statements)
        EXPECT_EQ(statement, nullptr);
    EXPECT_NE(DbExecute(&cursor), 0);
    EXPECT_EQ(cursor.returnCode, DB_ERROR_OUT_OF_ORDER);

    // Log off closes a cursor left open (as after a failed start of spying).
    ASSERT_EQ(DbOpenCursor(&cursor, &logon, nullptr, -1, 0, nullptr, -2), 0);
    ASSERT_EQ(DbParse(&cursor, TRACE_BLOCK_TEXT, -1, 1, 2), 0);
    ASSERT_NE(cursor.statements[0], nullptr);
    EXPECT_EQ(DbLogOff(&logon), 0);
    EXPECT_EQ(logon.connection, nullptr);
    EXPECT_EQ(logon.environment, nullptr);
    EXPECT_EQ(cursor.logon, nullptr);
    for (void *statement : cursor.statements)
        EXPECT_EQ(statement, nullptr);
    EXPECT_EQ(DbCloseCursor(&cursor), 0);
    EXPECT_EQ(DbLogOff(&logon), 0);
    EXPECT_NE(DbOpenCursor(&cursor, &logon, nullptr, -1, 0, nullptr, -2), 0);
    EXPECT_EQ(cursor.returnCode, DB_ERROR_OUT_OF_ORDER);
}

TEST_F(DbClient, ManyLogOnsAndCursorsDoNotRunOutOfHandles)
{
    // Each round takes a connection and statements; a leak would exhaust the server's slots.
    for (int round = 0; round < 120; round++) {
        LogOn();
        ASSERT_EQ(DbOpenCursor(&cursor, &logon, nullptr, -1, 0, nullptr, -2), 0);
        ASSERT_EQ(DbParse(&cursor, TRACE_BLOCK_TEXT, -1, 1, 2), 0);
        if (round % 2)
            DbCloseCursor(&cursor);
        DbLogOff(&logon);
    }
}

TEST_F(DbClient, ErrorMessageNeverExceedsTheBufferAndExplainsUnknownNumbers)
{
    std::string bad = TestEnv("VANTREL_DB_USER") + "/wrong@" + TestEnv("VANTREL_DSN");
    ASSERT_NE(DbLogOn(&logon, hostArea, bad.c_str(), -1, nullptr, -1, 0), 0);
    char small[24];
    memset(small, '#', sizeof small);
    DbErrorMessage(&logon, logon.returnCode, small, 16);
    EXPECT_EQ(strlen(small), 15u);
    for (size_t i = 16; i < sizeof small; i++)
        EXPECT_EQ(small[i], '#');
    EXPECT_EQ(std::string(small), ErrorText(logon.returnCode).substr(0, 15));

    EXPECT_EQ(ErrorText(12345), "Database error 12345: no message is recorded for this number.");
    EXPECT_EQ(ErrorText(35702), "Database error 35702: server session ended by the administrator (SQLSTATE 57P01).");
    EXPECT_EQ(ErrorText(DB_ERROR_NOT_BOUND), "Database error 30007: a placeholder of the block was never bound.");
    char one[1] = {'#'};
    DbErrorMessage(&logon, 12345, one, 1);
    EXPECT_EQ(one[0], 0);
}

TEST_F(DbClient, WholeBlockPathBindsEveryPositionInputOutput)
{
    // No Oracle server here. The path that hands a block to the server as written runs against
    // PostgreSQL with the driver's call escape and a function whose INOUT parameters are written
    // back, as an Oracle block writes its placeholders back (psqlODBC maps result columns to every
    // input-output parameter, so the pipe name is INOUT as well).
    TestDbSession admin(true);
    ASSERT_TRUE(admin.Exec("CREATE SCHEMA IF NOT EXISTS vantrel_test"));
    ASSERT_TRUE(admin.Exec("DROP ROUTINE IF EXISTS vantrel_test.take(text, text)"));
    ASSERT_TRUE(admin.Exec("CREATE OR REPLACE FUNCTION vantrel_test.take(INOUT p_nam text, INOUT retval text) "
                           "LANGUAGE plpgsql AS $$ BEGIN retval := vantrel.get(p_nam); END $$"))
        << admin.LastError();
    ASSERT_TRUE(admin.Exec("GRANT USAGE ON SCHEMA vantrel_test TO PUBLIC"));
    LogOn();
    logon.isOracle = 1;
    std::string name = UniquePipeName("dbwhole");
    strcpy(pipeName, name.c_str());
    ASSERT_EQ(DbOpenCursor(&cursor, &logon, nullptr, -1, 0, nullptr, -2), 0);
    ASSERT_EQ(DbParse(&cursor, "{call vantrel_test.take(:P_NAM, :retval)} -- :not_a_bind", -1, 1, 2), 0)
        << ErrorText(cursor.returnCode);
    EXPECT_STREQ(cursor.plan.text, "{call vantrel_test.take(?, ?)} -- :not_a_bind");
    char guarded[48];
    memset(guarded, '#', sizeof guarded);
    char *out = guarded + 16;
    ASSERT_EQ(DbBindByName(&cursor, ":p_nam", -1, pipeName, MESSAGE_SIZE, TEXT_TYPE, -1, &pipeIndicator, nullptr, -1, -1), 0);
    ASSERT_EQ(DbBindByName(&cursor, ":retval", -1, out, 8, TEXT_TYPE, -1, &messageIndicator, nullptr, -1, -1), 0);
    TestDbSession sender;
    ASSERT_TRUE(sender.SendTrace(name, "whole block message"));
    ASSERT_EQ(DbExecute(&cursor), 0) << ErrorText(cursor.returnCode);
    EXPECT_STREQ(out, "whole b");
    EXPECT_EQ(messageIndicator, 0);
    for (size_t i = 0; i < sizeof guarded; i++) {
        if (i < 16 || i >= 24) {
            EXPECT_EQ(guarded[i], '#') << i;
        }
    }
    EXPECT_STREQ(pipeName, name.c_str());
    ASSERT_EQ(DbExecute(&cursor), 0) << ErrorText(cursor.returnCode);
    EXPECT_EQ(messageIndicator, -1);
    ASSERT_EQ(DbBindByName(&cursor, ":retval", -1, out, 8, TEXT_TYPE, -1, nullptr, nullptr, -1, -1), 0);
    EXPECT_NE(DbExecute(&cursor), 0);
    EXPECT_EQ(cursor.returnCode, DB_NULL_FETCHED);
    DbCloseCursor(&cursor);
    EXPECT_TRUE(admin.Exec("DROP SCHEMA vantrel_test CASCADE"));
}

TEST_F(DbClient, PutRefusesLongMessagesAndWaitsForRoomThenFailsClearly)
{
    // The client is the sender here: vantrel.put through the block adapter with two arguments.
    LogOn();
    std::string name = UniquePipeName("dbput");
    static char putPipe[64], text[4096], result[8];
    short resultIndicator = 0;
    strcpy(putPipe, name.c_str());
    ASSERT_EQ(DbOpenCursor(&cursor, &logon, nullptr, -1, 0, nullptr, -2), 0);
    ASSERT_EQ(DbParse(&cursor, "BEGIN :r := vantrel.put(:p, :m, 1); END;", -1, 1, 2), 0) << ErrorText(cursor.returnCode);
    ASSERT_EQ(DbBindByName(&cursor, ":p", -1, putPipe, sizeof putPipe, TEXT_TYPE, -1, nullptr, nullptr, -1, -1), 0);
    ASSERT_EQ(DbBindByName(&cursor, ":m", -1, text, sizeof text, TEXT_TYPE, -1, nullptr, nullptr, -1, -1), 0);
    ASSERT_EQ(DbBindByName(&cursor, ":r", -1, result, sizeof result, TEXT_TYPE, -1, &resultIndicator, nullptr, -1, -1), 0);

    // 1001 two-byte characters: fewer than 2000 characters, more than the reader's 2000 bytes.
    text[0] = 0;
    for (int i = 0; i < 1001; i++)
        strcat(text, "\xC3\xA9");
    EXPECT_NE(DbExecute(&cursor), 0);
    EXPECT_EQ(cursor.returnCode, 36001u);
    EXPECT_NE(ErrorText(cursor.returnCode).find("longer than 2000 bytes; not sent"), std::string::npos)
        << ErrorText(cursor.returnCode);

    // Fill the pipes' shared room with 2000-character messages until put gives up after its
    // one-second wait.
    memset(text, 'x', 2000);
    text[2000] = 0;
    int sent = 0;
    double waited = 0;
    while (sent < 50) {
        auto before = std::chrono::steady_clock::now();
        if (DbExecute(&cursor) != 0) {
            waited = std::chrono::duration<double>(std::chrono::steady_clock::now() - before).count();
            break;
        }
        sent++;
    }
    EXPECT_GE(sent, 1);
    EXPECT_LT(sent, 50);
    EXPECT_GE(waited, 0.9);
    EXPECT_EQ(cursor.returnCode, 36001u);
    std::string full = ErrorText(cursor.returnCode);
    EXPECT_NE(full.find("is full; nobody read it for 1 seconds; message not sent"), std::string::npos) << full;
    EXPECT_NE(full.find("SQLSTATE P0001"), std::string::npos) << full;

    // While a sender waits, a reader taking one message lets it through.
    struct Waiter {
        static DWORD WINAPI Run(void *parameter)
        {
            std::string *pipeName = (std::string *)parameter;
            TestDbSession sender;
            // As long as the others: a short one would still find room.
            bool ok = sender.Exec("SELECT vantrel.put(?, ?, 10)", {*pipeName, std::string(2000, 'W')});
            return ok ? 1 : 0;
        }
    };
    HANDLE thread = CreateThread(nullptr, 0, Waiter::Run, &name, 0, nullptr);
    ASSERT_NE(thread, nullptr);
    Sleep(1500);
    TestDbSession reader;
    EXPECT_EQ(WaitForSingleObject(thread, 0), (DWORD)WAIT_TIMEOUT) << "the sender did not wait";
    EXPECT_EQ(reader.SelectText("SELECT length(vantrel.get(?))", {name}), "2000");
    EXPECT_EQ(WaitForSingleObject(thread, 10000), (DWORD)WAIT_OBJECT_0);
    DWORD threadResult = 0;
    GetExitCodeThread(thread, &threadResult);
    CloseHandle(thread);
    EXPECT_EQ(threadResult, 1u);
    // Everything sent arrives, in order, the waiting one last.
    for (int i = 1; i < sent; i++)
        EXPECT_EQ(reader.SelectText("SELECT length(vantrel.get(?))", {name}), "2000");
    EXPECT_EQ(reader.SelectText("SELECT vantrel.get(?)", {name}), std::string(2000, 'W'));
    EXPECT_EQ(reader.SelectText("SELECT vantrel.get(?)", {name}), "<null>");
}
}
