// Raw ODBC session used by tests beside the program's own database layer.
#include "test_db.h"

#include <windows.h>
#include <sql.h>
#include <sqlext.h>

#include "test_env.h"

namespace {

std::string Diagnostic(SQLSMALLINT type, SQLHANDLE handle)
{
    SQLCHAR state[6] = "", text[1024] = "";
    SQLINTEGER native = 0;
    SQLSMALLINT length = 0;
    if (SQL_SUCCEEDED(SQLGetDiagRec(type, handle, 1, state, &native, text, sizeof text, &length)))
        return std::string((char *)state) + ": " + (char *)text;
    return "unknown ODBC error";
}

}

TestDbSession::TestDbSession(bool asAdmin)
{
    std::string dsn = TestEnv("VANTREL_DSN");
    std::string user = TestEnv(asAdmin ? "VANTREL_ADMIN_USER" : "VANTREL_DB_USER");
    std::string password = TestEnv(asAdmin ? "VANTREL_ADMIN_PASSWORD" : "VANTREL_DB_PASSWORD");
    SQLHENV environment = SQL_NULL_HENV;
    SQLHDBC connection = SQL_NULL_HDBC;
    if (!SQL_SUCCEEDED(SQLAllocHandle(SQL_HANDLE_ENV, SQL_NULL_HANDLE, &environment)))
        return;
    environment_ = environment;
    SQLSetEnvAttr(environment, SQL_ATTR_ODBC_VERSION, (SQLPOINTER)SQL_OV_ODBC3, 0);
    if (!SQL_SUCCEEDED(SQLAllocHandle(SQL_HANDLE_DBC, environment, &connection)))
        return;
    SQLRETURN rc = SQLConnect(connection, (SQLCHAR *)dsn.c_str(), SQL_NTS, (SQLCHAR *)user.c_str(), SQL_NTS,
                              (SQLCHAR *)password.c_str(), SQL_NTS);
    if (!SQL_SUCCEEDED(rc)) {
        lastError_ = Diagnostic(SQL_HANDLE_DBC, connection);
        SQLFreeHandle(SQL_HANDLE_DBC, connection);
        return;
    }
    connection_ = connection;
}

TestDbSession::~TestDbSession()
{
    if (connection_ != nullptr) {
        SQLDisconnect(connection_);
        SQLFreeHandle(SQL_HANDLE_DBC, connection_);
    }
    if (environment_ != nullptr)
        SQLFreeHandle(SQL_HANDLE_ENV, environment_);
}

bool TestDbSession::Exec(const std::string &sql, const std::vector<std::string> &params)
{
    std::string result = SelectText(sql, params);
    return result.rfind("<error", 0) != 0;
}

std::string TestDbSession::SelectText(const std::string &sql, const std::vector<std::string> &params)
{
    if (connection_ == nullptr)
        return "<error: not connected: " + lastError_ + ">";
    SQLHSTMT statement = SQL_NULL_HSTMT;
    if (!SQL_SUCCEEDED(SQLAllocHandle(SQL_HANDLE_STMT, connection_, &statement)))
        return "<error: no statement handle>";
    std::vector<SQLLEN> lengths(params.size(), SQL_NTS);
    for (size_t i = 0; i < params.size(); i++) {
        SQLBindParameter(statement, (SQLUSMALLINT)(i + 1), SQL_PARAM_INPUT, SQL_C_CHAR, SQL_VARCHAR,
                         params[i].size() + 1, 0, (SQLPOINTER)params[i].c_str(), 0, &lengths[i]);
    }
    std::string result;
    SQLRETURN rc = SQLExecDirect(statement, (SQLCHAR *)sql.c_str(), SQL_NTS);
    if (!SQL_SUCCEEDED(rc) && rc != SQL_NO_DATA) {
        lastError_ = Diagnostic(SQL_HANDLE_STMT, statement);
        result = "<error: " + lastError_ + ">";
    } else if (SQL_SUCCEEDED(SQLFetch(statement))) {
        std::string text;
        char buffer[4096];
        SQLLEN length = 0;
        for (;;) {
            rc = SQLGetData(statement, 1, SQL_C_CHAR, buffer, sizeof buffer, &length);
            if (!SQL_SUCCEEDED(rc))
                break;
            if (length == SQL_NULL_DATA) {
                text = "<null>";
                break;
            }
            text += buffer;
            if (rc == SQL_SUCCESS)
                break;
        }
        result = text;
    }
    SQLFreeHandle(SQL_HANDLE_STMT, statement);
    return result;
}

bool TestDbSession::SendTrace(const std::string &pipe, const std::string &message)
{
    return Exec("SELECT vantrel.put(?, ?)", {pipe, message});
}

std::string UniquePipeName(const char *prefix)
{
    static int counter = 0;
    return std::string(prefix) + "_" + std::to_string(GetCurrentProcessId()) + "_" + std::to_string(++counter);
}
