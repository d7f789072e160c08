// The program's eight database operations, carried over ODBC. Called by the trace poller,
// the logon and the exit path. Free of windows.h: ODBC handles are kept as plain pointers.
#ifndef VANTREL_DB_CLIENT_H
#define VANTREL_DB_CLIENT_H

#include <cstddef>
#include <cstdint>

#include "block_adapter.h"

// Error number the poller tolerates: a NULL fetched into a bind that has no indicator.
const unsigned DB_NULL_FETCHED = 1405;

// Failures this client finds itself, before or without the server (docs/DATABASE.md has the
// numbers made from a server's SQLSTATE).
const unsigned DB_ERROR_BLOCK_NOT_SUPPORTED = 30001; // parse: block outside the adapter's form
const unsigned DB_ERROR_UNKNOWN_PLACEHOLDER = 30002; // bind: name not in the block
const unsigned DB_ERROR_BAD_BIND = 30003;            // bind: type, buffer or length unusable
const unsigned DB_ERROR_OUT_OF_ORDER = 30004;        // call on a closed cursor or a lost logon
const unsigned DB_ERROR_VALUE_TOO_LONG = 30005;      // execute: value longer than a local holds
const unsigned DB_ERROR_BAD_CONNECT_STRING = 30006;  // log on: connect string unusable
const unsigned DB_ERROR_NOT_BOUND = 30007;           // execute: a placeholder was never bound
const unsigned DB_ERROR_TOO_MANY_CURSORS = 30008;    // open cursor: DB_MAX_CURSORS already open
const unsigned DB_ERROR_NO_DIAGNOSTIC = 30009;       // an ODBC call failed and said nothing

// Size of the host data area handed over at log on.
const size_t HOST_AREA_SIZE = 256;

// Waits that keep a silent server from freezing the window: log on, and each statement.
const int DB_LOGIN_TIMEOUT_SECONDS = 5;
const int DB_QUERY_TIMEOUT_SECONDS = 5;

// Texts of recent failures, so an error number can be turned into the server's own words.
const int DB_ERROR_SLOTS = 8;
const size_t DB_ERROR_TEXT_SIZE = 1024;

struct DbErrorSlot {
    unsigned short number;              // 0 = slot unused
    char text[DB_ERROR_TEXT_SIZE];      // server's message with its SQLSTATE
};

struct CursorArea;
const int DB_MAX_CURSORS = 4;           // cursors open at once on one logon

// Logon data area. The first 16 bytes keep the classic layout: the return code (error number
// of the last failed call) is an unsigned 16-bit field at byte offset 12.
struct LogonArea {
    int16_t v2ReturnCode;
    uint16_t functionType;
    uint32_t rowsProcessed;
    uint16_t parseErrorOffset;
    uint8_t functionCode;
    uint8_t reserved1;
    uint16_t returnCode;                // error number of the last failed call
    uint8_t warningFlags;
    uint8_t reserved2;
    // ODBC state behind the logon
    void *environment;                  // SQLHENV
    void *connection;                   // SQLHDBC; null when not logged on
    int isOracle;                       // 1: blocks run as written; 0: the block adapter runs them
    CursorArea *cursors[DB_MAX_CURSORS]; // open cursors, closed by log off
    int nextErrorSlot;
    DbErrorSlot errors[DB_ERROR_SLOTS]; // also filled by failures on this logon's cursors
};

static_assert(offsetof(LogonArea, returnCode) == 12, "return code must sit at byte offset 12");

// One bind by name: the caller's buffer, its size and its indicator (may be null).
struct DbBind {
    char *buffer;                       // null until bound
    int bufferLength;
    short *indicator;
};

const int DB_MAX_PARAMETERS = BLOCK_MAX_POSITIONS > BLOCK_MAX_ARGS ? BLOCK_MAX_POSITIONS : BLOCK_MAX_ARGS;

// Cursor data area: the same 16-byte head as the logon area, then the statement behind it.
struct CursorArea {
    int16_t v2ReturnCode;
    uint16_t functionType;
    uint32_t rowsProcessed;
    uint16_t parseErrorOffset;
    uint8_t functionCode;
    uint8_t reserved1;
    uint16_t returnCode;                // error number of the last failed call
    uint8_t warningFlags;
    uint8_t reserved2;
    // ODBC state behind the cursor
    LogonArea *logon;                   // logon the cursor was opened on; null when closed
    int isParsed;
    void *statements[BLOCK_MAX_STEPS];  // SQLHSTMT per call step (adapter), or [0] for a whole block
    DbBind binds[BLOCK_MAX_BINDS];      // by the plan's bind index
    intptr_t parameterLengths[DB_MAX_PARAMETERS]; // SQLLEN of each bound parameter
    char localValues[BLOCK_MAX_LOCALS][BLOCK_LOCAL_MAX + 1];
    int localIsNull[BLOCK_MAX_LOCALS];
    BlockPlan plan;                     // the parsed block (adapter), or the rewritten text (Oracle)
};

static_assert(offsetof(CursorArea, returnCode) == 12, "return code must sit at byte offset 12");

// Each returns 0 on success and non-zero on failure; the error number is then in the returnCode
// of the area named in the comment.
int DbLogOn(LogonArea *logon, unsigned char *hostArea, const char *connectString, int connectLength,
            const char *password, int passwordLength, int audit);                            // logon
int DbLogOff(LogonArea *logon);                                                               // not examined
int DbOpenCursor(CursorArea *cursor, LogonArea *logon, const char *databaseName, int nameLength,
                 int arraySize, const char *userName, int userLength);                        // cursor
int DbParse(CursorArea *cursor, const char *statement, long length, int deferMode, unsigned long language); // cursor
int DbBindByName(CursorArea *cursor, const char *placeholder, int placeholderLength, void *buffer,
                 int bufferLength, int externalType, int scale, short *indicator, const char *format,
                 int formatLength, int formatType);                                           // cursor
int DbExecute(CursorArea *cursor);                                                            // cursor
int DbCloseCursor(CursorArea *cursor);                                                        // not examined
int DbErrorMessage(LogonArea *logon, int errorNumber, char *buffer, int bufferSize);         // not examined

#endif
