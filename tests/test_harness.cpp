// Proves the harness itself: a real list box under Wine, and ODBC from a Windows program to the
// private PostgreSQL with orafce's pipes.
#include <windows.h>
#include <sql.h>
#include <sqlext.h>

#include <gtest/gtest.h>

#include <string>

#include "test_env.h"

TEST(Harness, ListBoxKeepsLinesInOrder)
{
    HWND list = CreateWindowExA(0, "LISTBOX", "", WS_OVERLAPPEDWINDOW | LBS_NOTIFY, 0, 0, 200, 200,
                                nullptr, nullptr, GetModuleHandleA(nullptr), nullptr);
    ASSERT_NE(list, nullptr);
    const char *lines[] = {"first", "second", "third"};
    for (const char *line : lines)
        SendMessageA(list, LB_ADDSTRING, 0, (LPARAM)line);
    ASSERT_EQ((int)SendMessageA(list, LB_GETCOUNT, 0, 0), 3);
    for (int i = 0; i < 3; i++) {
        char buffer[64] = "";
        SendMessageA(list, LB_GETTEXT, i, (LPARAM)buffer);
        EXPECT_STREQ(buffer, lines[i]);
    }
    DestroyWindow(list);
}

namespace {

std::string SelectText(SQLHDBC connection, const char *sql)
{
    SQLHSTMT statement = SQL_NULL_HSTMT;
    std::string result = "<error>";
    if (SQL_SUCCEEDED(SQLAllocHandle(SQL_HANDLE_STMT, connection, &statement))) {
        if (SQL_SUCCEEDED(SQLExecDirect(statement, (SQLCHAR *)sql, SQL_NTS)) && SQL_SUCCEEDED(SQLFetch(statement))) {
            char buffer[256] = "";
            SQLLEN length = 0;
            if (SQL_SUCCEEDED(SQLGetData(statement, 1, SQL_C_CHAR, buffer, sizeof buffer, &length)))
                result = length == SQL_NULL_DATA ? "<null>" : buffer;
        }
        SQLFreeHandle(SQL_HANDLE_STMT, statement);
    }
    return result;
}

}

TEST(Harness, OdbcReachesOrafcePipesInPostgres)
{
    std::string dsn = TestEnv("VANTREL_DSN"), user = TestEnv("VANTREL_DB_USER"), password = TestEnv("VANTREL_DB_PASSWORD");
    ASSERT_FALSE(dsn.empty()) << "run through tools/test";
    SQLHENV environment = SQL_NULL_HENV;
    SQLHDBC connection = SQL_NULL_HDBC;
    ASSERT_TRUE(SQL_SUCCEEDED(SQLAllocHandle(SQL_HANDLE_ENV, SQL_NULL_HANDLE, &environment)));
    SQLSetEnvAttr(environment, SQL_ATTR_ODBC_VERSION, (SQLPOINTER)SQL_OV_ODBC3, 0);
    ASSERT_TRUE(SQL_SUCCEEDED(SQLAllocHandle(SQL_HANDLE_DBC, environment, &connection)));
    SQLRETURN rc = SQLConnect(connection, (SQLCHAR *)dsn.c_str(), SQL_NTS, (SQLCHAR *)user.c_str(), SQL_NTS,
                              (SQLCHAR *)password.c_str(), SQL_NTS);
    ASSERT_TRUE(SQL_SUCCEEDED(rc));

    EXPECT_EQ(SelectText(connection, "SELECT dbms_pipe.pack_message('harness message')"), "");
    EXPECT_EQ(SelectText(connection, "SELECT dbms_pipe.send_message('HARNESS_SMOKE')"), "0");
    EXPECT_EQ(SelectText(connection, "SELECT dbms_pipe.receive_message('HARNESS_SMOKE', 0)"), "0");
    EXPECT_EQ(SelectText(connection, "SELECT dbms_pipe.unpack_message_text()"), "harness message");

    SQLDisconnect(connection);
    SQLFreeHandle(SQL_HANDLE_DBC, connection);
    SQLFreeHandle(SQL_HANDLE_ENV, environment);
}

#include "box_answerer.h"

TEST(Harness, RealMessageBoxesAreRecordedAndAnswered)
{
    BoxAnswerer answerer;
    answerer.Answer(IDNO);
    int result = MessageBoxA(nullptr, "Do you want to go on?", "Confirm", MB_YESNO | MB_ICONQUESTION);
    EXPECT_EQ(result, IDNO);
    // Nothing queued: the box is still closed, and reported as unexpected.
    result = MessageBoxA(nullptr, "Something failed", "Error", MB_OK | MB_ICONWARNING);
    EXPECT_EQ(result, IDOK);
    ASSERT_EQ(answerer.Seen().size(), 2u);
    EXPECT_EQ(answerer.Seen()[0].caption, "Confirm");
    EXPECT_EQ(answerer.Seen()[0].text, "Do you want to go on?");
    EXPECT_EQ(answerer.Seen()[0].icon, "question");
    EXPECT_TRUE(answerer.Seen()[0].hasYesNo);
    EXPECT_TRUE(answerer.Seen()[0].expected);
    EXPECT_EQ(answerer.Seen()[1].icon, "warning");
    EXPECT_FALSE(answerer.Seen()[1].expected);
}

#include "test_db.h"

TEST(Harness, TestSessionBindsParametersAndReportsErrors)
{
    TestDbSession session;
    ASSERT_TRUE(session.Connected()) << session.LastError();
    // A quote inside a bound value is data, not SQL.
    EXPECT_EQ(session.SelectText("SELECT upper(?)", {"it's"}), "IT'S");
    EXPECT_EQ(session.SelectText("SELECT NULL::text"), "<null>");
    EXPECT_EQ(session.SelectText("SELECT no_such_function()").rfind("<error: 42883", 0), 0u);
}
