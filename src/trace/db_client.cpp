// The eight database operations on ODBC. Oracle runs the program's block itself; any other
// server gets it through the block adapter, one prepared SELECT per call in the block.
// Wine's odbc32 lacks the "A" entry points, so only the plain ODBC names are called.
#include "db_client.h"

#include <windows.h>
#include <sql.h>
#include <sqlext.h>

#include <cstdio>
#include <cstring>

static_assert(sizeof(SQLLEN) == sizeof(intptr_t), "parameter lengths are kept as intptr_t");

namespace {

const int STRING_TYPE = 5;              // the only external type the program binds: terminated text
const size_t NAME_PART_SIZE = 128;      // user, password or data source name

struct StateNumber {
    const char *state;                  // a full SQLSTATE, or its two-character class
    unsigned short number;
    const char *meaning;
};

// Stable numbers for servers that have no Oracle number: exact SQLSTATEs first, then classes.
// The same table is in docs/DATABASE.md.
const StateNumber STATE_NUMBERS[] = {
    {"08001", 30801, "the client could not connect to the server"},
    {"08003", 30803, "the connection does not exist"},
    {"08004", 30804, "the server refused the connection"},
    {"08S01", 30805, "the connection to the server was lost"},
    {"08", 30800, "connection exception"},
    {"28", 32800, "invalid authorization: user name or password not accepted"},
    {"IM002", 31002, "data source not found and no default driver"},
    {"IM", 31000, "ODBC driver manager error"},
    {"HYT00", 31100, "timeout expired"},
    {"HYT01", 31101, "connection timeout expired"},
    {"HY008", 31108, "operation cancelled"},
    {"HY", 31199, "ODBC driver error"},
    {"22001", 32201, "string data too long"},
    {"22", 32200, "data exception"},
    {"23", 32300, "integrity constraint violation"},
    {"25", 32500, "invalid transaction state"},
    {"3F000", 34205, "schema does not exist"},
    {"40", 34000, "transaction rolled back"},
    {"42501", 34201, "insufficient privilege"},
    {"42601", 34202, "syntax error"},
    {"42883", 34203, "function does not exist"},
    {"42P01", 34204, "table does not exist"},
    {"42", 34200, "syntax error or access rule violation"},
    {"53", 35300, "insufficient resources"},
    {"54", 35400, "program limit exceeded"},
    {"57014", 35701, "statement cancelled (query timeout)"},
    {"57P01", 35702, "server session ended by the administrator"},
    {"57", 35700, "operator intervention"},
    {"58", 35800, "system error outside the server"},
    {"P0001", 36001, "error raised by a server function"},
    {"P0", 36000, "PL/pgSQL error"},
    {"XX", 39900, "internal server error"},
};
const unsigned short OTHER_STATE_NUMBER = 39999;

// Texts for the client's own numbers, used when no recorded text is at hand.
const StateNumber CLIENT_NUMBERS[] = {
    {"", DB_NULL_FETCHED, "a NULL value was fetched into a bind that has no indicator"},
    {"", DB_ERROR_BLOCK_NOT_SUPPORTED, "the block is not of a form this client can run on the server"},
    {"", DB_ERROR_UNKNOWN_PLACEHOLDER, "the placeholder does not occur in the block"},
    {"", DB_ERROR_BAD_BIND, "the bind's type, buffer or length cannot be used"},
    {"", DB_ERROR_OUT_OF_ORDER, "the cursor is not open and parsed, or its logon has ended"},
    {"", DB_ERROR_VALUE_TOO_LONG, "a value is longer than the local variable holds"},
    {"", DB_ERROR_BAD_CONNECT_STRING, "the connect string cannot be used"},
    {"", DB_ERROR_NOT_BOUND, "a placeholder of the block was never bound"},
    {"", DB_ERROR_TOO_MANY_CURSORS, "too many cursors are open on this logon"},
    {"", DB_ERROR_NO_DIAGNOSTIC, "an ODBC call failed without saying why"},
};

const char *Meaning(unsigned number, const char **state)
{
    *state = "";
    for (const StateNumber &entry : CLIENT_NUMBERS)
        if (entry.number == number)
            return entry.meaning;
    for (const StateNumber &entry : STATE_NUMBERS)
        if (entry.number == number) {
            *state = entry.state;
            return entry.meaning;
        }
    return nullptr;
}

unsigned short NumberForState(const char *state)
{
    for (const StateNumber &entry : STATE_NUMBERS)
        if (strncmp(state, entry.state, strlen(entry.state)) == 0)
            return entry.number;
    return OTHER_STATE_NUMBER;
}

// Copies at most size - 1 bytes and terminates; nothing when size is 0.
void CopyText(char *out, size_t size, const char *text)
{
    if (size == 0)
        return;
    size_t n = strlen(text);
    if (n >= size)
        n = size - 1;
    memcpy(out, text, n);
    out[n] = 0;
}

// Remembers number and text on the logon (newest in the next slot of the ring).
void Remember(LogonArea *logon, unsigned short number, const char *text)
{
    if (!logon)
        return;
    int slot = logon->nextErrorSlot;
    if (slot < 0 || slot >= DB_ERROR_SLOTS)
        slot = 0;
    logon->errors[slot].number = number;
    CopyText(logon->errors[slot].text, DB_ERROR_TEXT_SIZE, text);
    logon->nextErrorSlot = (slot + 1) % DB_ERROR_SLOTS;
}

// A failure found by the client: its number goes to the area, its text to the logon. Returns 1,
// the operations' failure result, so an operation can end with "return ClientFailure(...)";
// the inner helpers, which report success as 1, use "return !ClientFailure(...)".
int ClientFailure(uint16_t *returnCode, LogonArea *logon, unsigned number, const char *text)
{
    *returnCode = (uint16_t)number;
    Remember(logon, (uint16_t)number, text);
    return 1;
}

// A failed ODBC call: reads every diagnostic record of the handle, makes the error number
// (Oracle's own where the driver gives it, else from the SQLSTATE) and remembers the text.
// Returns 1 like ClientFailure.
int OdbcFailure(uint16_t *returnCode, LogonArea *logon, SQLSMALLINT handleType, SQLHANDLE handle, int isOracle)
{
    char text[DB_ERROR_TEXT_SIZE] = "";
    size_t used = 0;
    unsigned number = 0;
    for (SQLSMALLINT record = 1; handle; record++) {
        SQLCHAR state[6] = "";
        SQLINTEGER native = 0;
        SQLCHAR message[SQL_MAX_MESSAGE_LENGTH] = "";
        SQLSMALLINT length = 0;
        SQLRETURN rc = SQLGetDiagRec(handleType, handle, record, state, &native, message, sizeof message, &length);
        if (!SQL_SUCCEEDED(rc))
            break;
        if (number == 0)
            number = isOracle && native > 0 && native <= 65535 ? (unsigned)native : NumberForState((const char *)state);
        // Server texts tend to end in a line break; the box adds its own spacing.
        size_t n = strlen((const char *)message);
        while (n > 0 && (message[n - 1] == '\n' || message[n - 1] == '\r' || message[n - 1] == ' '))
            message[--n] = 0;
        if (used < sizeof text - 1) {
            int written = snprintf(text + used, sizeof text - used, "%sSQLSTATE %s: %s", used ? "\n" : "",
                                   (const char *)state, (const char *)message);
            used = written < 0 ? used : used + (size_t)written;
            if (used > sizeof text - 1)
                used = sizeof text - 1;
        }
    }
    if (number == 0)
        return ClientFailure(returnCode, logon, DB_ERROR_NO_DIAGNOSTIC,
                             "The ODBC driver reported a failure without a diagnostic record.");
    *returnCode = (uint16_t)number;
    Remember(logon, (uint16_t)number, text);
    return 1;
}

// Splits "user[/password][@database]". The database is after the last '@', so a password may
// hold '@'; the password is everything between the first '/' and that '@'.
int SplitConnectString(const char *text, size_t length, char *user, char *password, char *database)
{
    size_t at = length;
    for (size_t i = length; i > 0; i--)
        if (text[i - 1] == '@') {
            at = i - 1;
            break;
        }
    size_t slash = at;
    for (size_t i = 0; i < at; i++)
        if (text[i] == '/') {
            slash = i;
            break;
        }
    size_t userLength = slash;
    size_t passwordLength = slash < at ? at - slash - 1 : 0;
    size_t databaseLength = at < length ? length - at - 1 : 0;
    if (userLength == 0 || userLength >= NAME_PART_SIZE || passwordLength >= NAME_PART_SIZE ||
        databaseLength >= NAME_PART_SIZE)
        return 0;
    memcpy(user, text, userLength);
    user[userLength] = 0;
    memcpy(password, text + slash + 1, passwordLength);
    password[passwordLength] = 0;
    memcpy(database, text + at + 1, databaseLength);
    database[databaseLength] = 0;
    return 1;
}

void FreeStatements(CursorArea *cursor)
{
    for (void *&statement : cursor->statements)
        if (statement) {
            SQLFreeHandle(SQL_HANDLE_STMT, (SQLHSTMT)statement);
            statement = nullptr;
        }
}

// Releases what the cursor holds and takes it off its logon's list; the return code stays.
void ReleaseCursor(CursorArea *cursor)
{
    if (cursor->logon) {
        for (CursorArea *&open : cursor->logon->cursors)
            if (open == cursor)
                open = nullptr;
        FreeStatements(cursor);
    }
    cursor->logon = nullptr;
    cursor->isParsed = 0;
    memset(cursor->binds, 0, sizeof cursor->binds);
}

SQLHSTMT NewStatement(CursorArea *cursor, SQLHSTMT *out)
{
    SQLHSTMT statement = SQL_NULL_HSTMT;
    if (!SQL_SUCCEEDED(SQLAllocHandle(SQL_HANDLE_STMT, (SQLHDBC)cursor->logon->connection, &statement))) {
        OdbcFailure(&cursor->returnCode, cursor->logon, SQL_HANDLE_DBC, (SQLHDBC)cursor->logon->connection,
                    cursor->logon->isOracle);
        return SQL_NULL_HSTMT;
    }
    SQLSetStmtAttr(statement, SQL_ATTR_QUERY_TIMEOUT, (SQLPOINTER)(intptr_t)DB_QUERY_TIMEOUT_SECONDS, 0);
    *out = statement;
    return statement;
}

// Length of a terminated text in a buffer of size bytes, never reading past it.
SQLLEN BoundedLength(const char *buffer, int size)
{
    SQLLEN n = 0;
    while (n < size && buffer[n])
        n++;
    return n;
}

struct Value {
    const char *text;
    SQLLEN length;                      // SQL_NULL_DATA for NULL
    int isNumber;
};

Value ReadOperand(const CursorArea *cursor, const BlockOperand &operand)
{
    Value v = {"", SQL_NULL_DATA, 0};
    switch (operand.kind) {
    case OPERAND_BIND: {
        const DbBind &bind = cursor->binds[operand.index];
        if (!bind.indicator || *bind.indicator != -1) {
            v.text = bind.buffer;
            v.length = BoundedLength(bind.buffer, bind.bufferLength);
        }
        break;
    }
    case OPERAND_LOCAL:
        if (!cursor->localIsNull[operand.index]) {
            v.text = cursor->localValues[operand.index];
            v.length = (SQLLEN)strlen(v.text);
        }
        break;
    case OPERAND_TEXT:
    case OPERAND_NUMBER:
        v.text = cursor->plan.literals + operand.index;
        v.length = (SQLLEN)strlen(v.text);
        v.isNumber = operand.kind == OPERAND_NUMBER;
        break;
    case OPERAND_NULL:
        break;
    }
    return v;
}

// Writes a value into a bind as terminated text, cut to the buffer; a NULL needs an indicator.
// Returns 0 when the NULL had nowhere to go.
int StoreInBind(DbBind *bind, const char *text, SQLLEN length)
{
    if (length == SQL_NULL_DATA) {
        bind->buffer[0] = 0;
        if (!bind->indicator)
            return 0;
        *bind->indicator = -1;
        return 1;
    }
    SQLLEN room = bind->bufferLength - 1;
    SQLLEN n = length < room ? length : room;
    if (text != bind->buffer)
        memmove(bind->buffer, text, (size_t)n);
    bind->buffer[n] = 0;
    if (bind->indicator)
        *bind->indicator = 0;
    return 1;
}

// Binds the arguments of one call step as text parameters.
int BindArguments(CursorArea *cursor, const BlockStep &step, SQLHSTMT statement)
{
    SQLFreeStmt(statement, SQL_RESET_PARAMS);
    for (int i = 0; i < step.argCount; i++) {
        Value v = ReadOperand(cursor, step.args[i]);
        cursor->parameterLengths[i] = v.length;
        SQLSMALLINT sqlType = SQL_VARCHAR;
        SQLSMALLINT digits = 0;
        if (v.isNumber) {
            const char *point = strchr(v.text, '.');
            sqlType = point ? SQL_NUMERIC : SQL_BIGINT;
            digits = point ? (SQLSMALLINT)strlen(point + 1) : 0;
        }
        SQLULEN columnSize = v.length > 0 ? (SQLULEN)v.length : 1;
        SQLRETURN rc = SQLBindParameter(statement, (SQLUSMALLINT)(i + 1), SQL_PARAM_INPUT, SQL_C_CHAR, sqlType,
                                        columnSize, digits, (SQLPOINTER)v.text, v.length > 0 ? v.length : 0,
                                        (SQLLEN *)&cursor->parameterLengths[i]);
        if (!SQL_SUCCEEDED(rc))
            return !OdbcFailure(&cursor->returnCode, cursor->logon, SQL_HANDLE_STMT, statement, 0);
    }
    return 1;
}

// Runs one call step and stores its single result in the step's target. Returns 1, or 0 after
// recording the failure; *nullLost is set when a NULL reached a bind without an indicator.
int RunCallStep(CursorArea *cursor, const BlockStep &step, SQLHSTMT statement, int *nullLost)
{
    if (!BindArguments(cursor, step, statement))
        return 0;
    if (!SQL_SUCCEEDED(SQLExecute(statement))) {
        OdbcFailure(&cursor->returnCode, cursor->logon, SQL_HANDLE_STMT, statement, 0);
        SQLFreeStmt(statement, SQL_CLOSE);
        return 0;
    }
    int ok = 1;
    char *out;
    SQLLEN room;
    if (step.target.kind == OPERAND_LOCAL) {
        out = cursor->localValues[step.target.index];
        room = cursor->plan.localSizes[step.target.index] + 1;
    } else {
        out = cursor->binds[step.target.index].buffer;
        room = cursor->binds[step.target.index].bufferLength;
    }
    SQLLEN length = SQL_NULL_DATA;
    SQLRETURN rc = SQLFetch(statement);
    if (rc == SQL_NO_DATA) {
        out[0] = 0;                     // no row: the call gave nothing, taken as NULL
    } else if (SQL_SUCCEEDED(rc)) {
        // The driver cuts the text to room - 1 bytes and terminates it.
        out[0] = 0;
        rc = SQLGetData(statement, 1, SQL_C_CHAR, out, room, &length);
        if (!SQL_SUCCEEDED(rc) && rc != SQL_NO_DATA)
            ok = !OdbcFailure(&cursor->returnCode, cursor->logon, SQL_HANDLE_STMT, statement, 0);
        if (rc == SQL_NO_DATA)
            length = 0;
    } else {
        ok = !OdbcFailure(&cursor->returnCode, cursor->logon, SQL_HANDLE_STMT, statement, 0);
    }
    SQLFreeStmt(statement, SQL_CLOSE);
    if (!ok)
        return 0;
    if (step.target.kind == OPERAND_LOCAL) {
        int index = step.target.index;
        if (length != SQL_NULL_DATA && (length == SQL_NO_TOTAL || length >= room)) {
            char text[DB_ERROR_TEXT_SIZE];
            snprintf(text, sizeof text, "%s returned more than the %d bytes that local %s holds.",
                     step.sql + 7, cursor->plan.localSizes[index], cursor->plan.localNames[index]);
            return !ClientFailure(&cursor->returnCode, cursor->logon, DB_ERROR_VALUE_TOO_LONG, text);
        }
        cursor->localIsNull[index] = length == SQL_NULL_DATA;
        if (length == SQL_NULL_DATA)
            out[0] = 0;
        return 1;
    }
    DbBind *bind = &cursor->binds[step.target.index];
    if (length == SQL_NULL_DATA) {
        if (!StoreInBind(bind, "", SQL_NULL_DATA))
            *nullLost = 1;
    } else if (bind->indicator) {
        *bind->indicator = 0;
    }
    return 1;
}

// Copies a value into a step's target; a local refuses what is longer than it was declared.
int RunCopyStep(CursorArea *cursor, const BlockStep &step, int *nullLost)
{
    Value v = ReadOperand(cursor, step.value);
    if (step.target.kind == OPERAND_BIND) {
        if (!StoreInBind(&cursor->binds[step.target.index], v.text, v.length))
            *nullLost = 1;
        return 1;
    }
    int index = step.target.index;
    if (v.length != SQL_NULL_DATA && v.length > cursor->plan.localSizes[index]) {
        char text[DB_ERROR_TEXT_SIZE];
        snprintf(text, sizeof text, "A value of %ld bytes is longer than the %d bytes that local %s holds.",
                 (long)v.length, cursor->plan.localSizes[index], cursor->plan.localNames[index]);
        return !ClientFailure(&cursor->returnCode, cursor->logon, DB_ERROR_VALUE_TOO_LONG, text);
    }
    cursor->localIsNull[index] = v.length == SQL_NULL_DATA;
    char *out = cursor->localValues[index];
    if (v.length == SQL_NULL_DATA)
        out[0] = 0;
    else {
        memmove(out, v.text, (size_t)v.length);
        out[v.length] = 0;
    }
    return 1;
}

// The adapter's way: the steps in order, each call one prepared statement.
int ExecutePlan(CursorArea *cursor, int *nullLost)
{
    for (int i = 0; i < cursor->plan.localCount; i++) {
        cursor->localIsNull[i] = 1;     // locals start NULL on every run, as in a fresh block
        cursor->localValues[i][0] = 0;
    }
    for (int i = 0; i < cursor->plan.stepCount; i++) {
        const BlockStep &step = cursor->plan.steps[i];
        int ok = step.isCall ? RunCallStep(cursor, step, (SQLHSTMT)cursor->statements[i], nullLost)
                             : RunCopyStep(cursor, step, nullLost);
        if (!ok)
            return 0;
    }
    return 1;
}

// Oracle's way: the whole block at once, every placeholder position bound input-output to its
// bind's buffer, so outputs land there; the driver cuts them to the buffer.
int ExecuteWhole(CursorArea *cursor, int *nullLost)
{
    SQLHSTMT statement = (SQLHSTMT)cursor->statements[0];
    SQLFreeStmt(statement, SQL_RESET_PARAMS);
    for (int p = 0; p < cursor->plan.positionCount; p++) {
        DbBind *bind = &cursor->binds[cursor->plan.positions[p]];
        int isNull = bind->indicator && *bind->indicator == -1;
        cursor->parameterLengths[p] = isNull ? SQL_NULL_DATA : BoundedLength(bind->buffer, bind->bufferLength);
        SQLULEN columnSize = bind->bufferLength > 1 ? (SQLULEN)(bind->bufferLength - 1) : 1;
        SQLRETURN rc = SQLBindParameter(statement, (SQLUSMALLINT)(p + 1), SQL_PARAM_INPUT_OUTPUT, SQL_C_CHAR,
                                        SQL_VARCHAR, columnSize, 0, bind->buffer, bind->bufferLength,
                                        (SQLLEN *)&cursor->parameterLengths[p]);
        if (!SQL_SUCCEEDED(rc))
            return !OdbcFailure(&cursor->returnCode, cursor->logon, SQL_HANDLE_STMT, statement, 1);
    }
    SQLRETURN rc = SQLExecute(statement);
    if (!SQL_SUCCEEDED(rc) && rc != SQL_NO_DATA) {
        OdbcFailure(&cursor->returnCode, cursor->logon, SQL_HANDLE_STMT, statement, 1);
        SQLFreeStmt(statement, SQL_CLOSE);
        return 0;
    }
    SQLFreeStmt(statement, SQL_CLOSE);
    for (int p = 0; p < cursor->plan.positionCount; p++) {
        DbBind *bind = &cursor->binds[cursor->plan.positions[p]];
        SQLLEN length = (SQLLEN)cursor->parameterLengths[p];
        if (length == SQL_NULL_DATA) {
            if (!StoreInBind(bind, "", SQL_NULL_DATA))
                *nullLost = 1;
        } else {
            SQLLEN n = length == SQL_NO_TOTAL || length > bind->bufferLength - 1 ? bind->bufferLength - 1 : length;
            StoreInBind(bind, bind->buffer, n);
        }
    }
    return 1;
}

}

int DbLogOn(LogonArea *logon, unsigned char *hostArea, const char *connectString, int connectLength,
            const char *password, int passwordLength, int audit)
{
    (void)hostArea;
    (void)audit;
    if (logon->connection || logon->environment)
        DbLogOff(logon);
    memset(logon, 0, sizeof *logon);

    char user[NAME_PART_SIZE], secret[NAME_PART_SIZE], database[NAME_PART_SIZE];
    size_t length = connectLength < 0 ? strlen(connectString) : (size_t)connectLength;
    if (!connectString || !SplitConnectString(connectString, length, user, secret, database))
        return ClientFailure(&logon->returnCode, logon, DB_ERROR_BAD_CONNECT_STRING,
                             "The connect string is not user[/password][@database] with each part under 128 "
                             "characters.");
    if (password) {
        size_t n = passwordLength < 0 ? strlen(password) : (size_t)passwordLength;
        if (n >= NAME_PART_SIZE)
            return ClientFailure(&logon->returnCode, logon, DB_ERROR_BAD_CONNECT_STRING,
                                 "The password is 128 characters or longer.");
        memcpy(secret, password, n);
        secret[n] = 0;
    }
    // An empty database means the ODBC default data source.
    const char *source = database[0] ? database : "DEFAULT";

    SQLHENV environment = SQL_NULL_HENV;
    SQLHDBC connection = SQL_NULL_HDBC;
    if (!SQL_SUCCEEDED(SQLAllocHandle(SQL_HANDLE_ENV, SQL_NULL_HANDLE, &environment)))
        return ClientFailure(&logon->returnCode, logon, DB_ERROR_NO_DIAGNOSTIC,
                             "The ODBC driver manager could not be started.");
    SQLSetEnvAttr(environment, SQL_ATTR_ODBC_VERSION, (SQLPOINTER)SQL_OV_ODBC3, 0);
    if (!SQL_SUCCEEDED(SQLAllocHandle(SQL_HANDLE_DBC, environment, &connection))) {
        OdbcFailure(&logon->returnCode, logon, SQL_HANDLE_ENV, environment, 0);
        SQLFreeHandle(SQL_HANDLE_ENV, environment);
        return 1;
    }
    SQLSetConnectAttr(connection, SQL_ATTR_LOGIN_TIMEOUT, (SQLPOINTER)(intptr_t)DB_LOGIN_TIMEOUT_SECONDS, 0);
    SQLSetConnectAttr(connection, SQL_ATTR_CONNECTION_TIMEOUT, (SQLPOINTER)(intptr_t)DB_LOGIN_TIMEOUT_SECONDS, 0);
    SQLRETURN rc = SQLConnect(connection, (SQLCHAR *)source, SQL_NTS, (SQLCHAR *)user, SQL_NTS, (SQLCHAR *)secret,
                              SQL_NTS);
    memset(secret, 0, sizeof secret);
    if (!SQL_SUCCEEDED(rc)) {
        OdbcFailure(&logon->returnCode, logon, SQL_HANDLE_DBC, connection, 0);
        SQLFreeHandle(SQL_HANDLE_DBC, connection);
        SQLFreeHandle(SQL_HANDLE_ENV, environment);
        return 1;
    }
    char dbms[64] = "";
    SQLSMALLINT dbmsLength = 0;
    SQLGetInfo(connection, SQL_DBMS_NAME, dbms, sizeof dbms, &dbmsLength);
    for (char *c = dbms; *c; c++)
        *c = (char)(*c >= 'A' && *c <= 'Z' ? *c - 'A' + 'a' : *c);
    logon->isOracle = strstr(dbms, "oracle") != nullptr;
    logon->environment = environment;
    logon->connection = connection;
    return 0;
}

int DbLogOff(LogonArea *logon)
{
    for (CursorArea *cursor : logon->cursors)
        if (cursor && cursor->logon == logon)
            ReleaseCursor(cursor);
    memset(logon->cursors, 0, sizeof logon->cursors);
    if (logon->connection) {
        SQLDisconnect((SQLHDBC)logon->connection);
        SQLFreeHandle(SQL_HANDLE_DBC, (SQLHDBC)logon->connection);
        logon->connection = nullptr;
    }
    if (logon->environment) {
        SQLFreeHandle(SQL_HANDLE_ENV, (SQLHENV)logon->environment);
        logon->environment = nullptr;
    }
    return 0;
}

int DbOpenCursor(CursorArea *cursor, LogonArea *logon, const char *databaseName, int nameLength, int arraySize,
                 const char *userName, int userLength)
{
    (void)databaseName;
    (void)nameLength;
    (void)arraySize;
    (void)userName;
    (void)userLength;
    ReleaseCursor(cursor);             // opening an open cursor starts it afresh
    cursor->returnCode = 0;
    if (!logon->connection)
        return ClientFailure(&cursor->returnCode, logon, DB_ERROR_OUT_OF_ORDER,
                             "A cursor was opened without a database logon.");
    for (CursorArea *&slot : logon->cursors)
        if (!slot) {
            slot = cursor;
            cursor->logon = logon;
            return 0;
        }
    return ClientFailure(&cursor->returnCode, logon, DB_ERROR_TOO_MANY_CURSORS,
                         "Too many cursors are open on this logon.");
}

int DbParse(CursorArea *cursor, const char *statement, long length, int deferMode, unsigned long language)
{
    (void)deferMode;
    (void)language;
    if (!cursor->logon)
        return ClientFailure(&cursor->returnCode, nullptr, DB_ERROR_OUT_OF_ORDER,
                             "A statement was parsed on a cursor that is not open.");
    FreeStatements(cursor);
    cursor->isParsed = 0;
    memset(cursor->binds, 0, sizeof cursor->binds);
    if (!statement)
        return ClientFailure(&cursor->returnCode, cursor->logon, DB_ERROR_BLOCK_NOT_SUPPORTED,
                             "No statement was given to parse.");
    size_t size = length < 0 ? strlen(statement) : (size_t)length;
    char error[BLOCK_ERROR_SIZE];
    LogonArea *logon = cursor->logon;
    int planned = logon->isOracle ? RewritePlaceholders(statement, size, &cursor->plan, error, sizeof error)
                                  : PlanAnonymousBlock(statement, size, &cursor->plan, error, sizeof error);
    if (!planned)
        return ClientFailure(&cursor->returnCode, logon, DB_ERROR_BLOCK_NOT_SUPPORTED, error);
    if (logon->isOracle) {
        SQLHSTMT handle = SQL_NULL_HSTMT;
        if (!NewStatement(cursor, &handle))
            return 1;
        cursor->statements[0] = handle;
        if (!SQL_SUCCEEDED(SQLPrepare(handle, (SQLCHAR *)cursor->plan.text, SQL_NTS)))
            return OdbcFailure(&cursor->returnCode, logon, SQL_HANDLE_STMT, handle, 1);
    } else {
        for (int i = 0; i < cursor->plan.stepCount; i++) {
            if (!cursor->plan.steps[i].isCall)
                continue;
            SQLHSTMT handle = SQL_NULL_HSTMT;
            if (!NewStatement(cursor, &handle))
                return 1;
            cursor->statements[i] = handle;
            if (!SQL_SUCCEEDED(SQLPrepare(handle, (SQLCHAR *)cursor->plan.steps[i].sql, SQL_NTS)))
                return OdbcFailure(&cursor->returnCode, logon, SQL_HANDLE_STMT, handle, 0);
        }
    }
    cursor->isParsed = 1;
    return 0;
}

int DbBindByName(CursorArea *cursor, const char *placeholder, int placeholderLength, void *buffer,
                 int bufferLength, int externalType, int scale, short *indicator, const char *format,
                 int formatLength, int formatType)
{
    (void)scale;
    (void)format;
    (void)formatLength;
    (void)formatType;
    char text[DB_ERROR_TEXT_SIZE];
    if (!cursor->logon || !cursor->isParsed)
        return ClientFailure(&cursor->returnCode, cursor->logon, DB_ERROR_OUT_OF_ORDER,
                             "A placeholder was bound on a cursor without a parsed statement.");
    if (externalType != STRING_TYPE || !buffer || bufferLength < 1) {
        snprintf(text, sizeof text, "Bind of type %d with a buffer of %d bytes: only terminated text (type 5) in "
                 "a buffer of at least 1 byte is supported.", externalType, buffer ? bufferLength : 0);
        return ClientFailure(&cursor->returnCode, cursor->logon, DB_ERROR_BAD_BIND, text);
    }
    int index = placeholder ? FindBlockBind(&cursor->plan, placeholder, placeholderLength) : -1;
    if (index < 0) {
        size_t n = !placeholder ? 0 : placeholderLength < 0 ? strlen(placeholder) : (size_t)placeholderLength;
        snprintf(text, sizeof text, "Placeholder %.*s does not occur in the statement.", (int)(n > 64 ? 64 : n),
                 placeholder ? placeholder : "");
        return ClientFailure(&cursor->returnCode, cursor->logon, DB_ERROR_UNKNOWN_PLACEHOLDER, text);
    }
    cursor->binds[index].buffer = (char *)buffer;
    cursor->binds[index].bufferLength = bufferLength;
    cursor->binds[index].indicator = indicator;
    return 0;
}

int DbExecute(CursorArea *cursor)
{
    if (!cursor->logon || !cursor->isParsed || !cursor->logon->connection)
        return ClientFailure(&cursor->returnCode, cursor->logon, DB_ERROR_OUT_OF_ORDER,
                             "A statement was executed on a cursor that is not open and parsed.");
    for (int i = 0; i < cursor->plan.bindCount; i++)
        if (!cursor->binds[i].buffer) {
            char text[DB_ERROR_TEXT_SIZE];
            snprintf(text, sizeof text, "Placeholder :%s is not bound.", cursor->plan.bindNames[i]);
            return ClientFailure(&cursor->returnCode, cursor->logon, DB_ERROR_NOT_BOUND, text);
        }
    int nullLost = 0;
    int ok = cursor->logon->isOracle ? ExecuteWhole(cursor, &nullLost) : ExecutePlan(cursor, &nullLost);
    if (!ok)
        return 1;
    if (nullLost)
        return ClientFailure(&cursor->returnCode, cursor->logon, DB_NULL_FETCHED,
                             "ORA-01405: fetched column value is NULL (a bind without an indicator received NULL).");
    cursor->returnCode = 0;
    return 0;
}

int DbCloseCursor(CursorArea *cursor)
{
    ReleaseCursor(cursor);
    return 0;
}

int DbErrorMessage(LogonArea *logon, int errorNumber, char *buffer, int bufferSize)
{
    if (!buffer || bufferSize < 1)
        return 1;
    // The newest text recorded for this number, on the logon or any of its cursors.
    for (int k = 1; logon && k <= DB_ERROR_SLOTS; k++) {
        const DbErrorSlot &slot = logon->errors[((logon->nextErrorSlot - k) % DB_ERROR_SLOTS + DB_ERROR_SLOTS) % DB_ERROR_SLOTS];
        if (errorNumber > 0 && slot.number == errorNumber) {
            CopyText(buffer, (size_t)bufferSize, slot.text);
            return 0;
        }
    }
    const char *state = "";
    const char *meaning = errorNumber > 0 ? Meaning((unsigned)errorNumber, &state) : nullptr;
    char text[DB_ERROR_TEXT_SIZE];
    if (meaning && state[0])
        snprintf(text, sizeof text, "Database error %d: %s (SQLSTATE %s%s).", errorNumber, meaning, state,
                 strlen(state) == 2 ? "xxx" : "");
    else if (meaning)
        snprintf(text, sizeof text, "Database error %d: %s.", errorNumber, meaning);
    else
        snprintf(text, sizeof text, "Database error %d: no message is recorded for this number.", errorNumber);
    CopyText(buffer, (size_t)bufferSize, text);
    return 0;
}
