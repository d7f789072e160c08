// The program's eight database operations, carried over ODBC. Called by the trace poller,
// the logon and the exit path. Free of windows.h: ODBC handles are kept as plain pointers.
#ifndef VANTREL_DB_CLIENT_H
#define VANTREL_DB_CLIENT_H

#include <cstddef>
#include <cstdint>

#include "block_adapter.h"

// Error number the poller tolerates: a NULL fetched into a bind that has no indicator.
const unsigned DB_NULL_FETCHED = 1405;

// Size of the host data area handed over at log on.
const size_t HOST_AREA_SIZE = 256;

// Texts of recent failures, so an error number can be turned into the server's own words.
const int DB_ERROR_SLOTS = 8;
const size_t DB_ERROR_TEXT_SIZE = 1024;

struct DbErrorSlot {
    unsigned short number;              // 0 = slot unused
    char text[DB_ERROR_TEXT_SIZE];      // server's message with its SQLSTATE
};

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
    void *connection;                   // SQLHDBC
    int isOracle;                       // 1: blocks run as written; 0: the block adapter runs them
    int nextErrorSlot;
    DbErrorSlot errors[DB_ERROR_SLOTS]; // also filled by failures on this logon's cursors
};

static_assert(offsetof(LogonArea, returnCode) == 12, "return code must sit at byte offset 12");

const int DB_MAX_BINDS = 8;

// One bind by name: the caller's buffer, its size and its indicator (may be null).
struct DbBind {
    char name[BLOCK_NAME_SIZE];
    char *buffer;
    int bufferLength;
    short *indicator;
    long long lengthOrIndicator;        // SQLLEN handed to ODBC for this bind
};

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
    int isOpen;
    int isParsed;
    int bindCount;
    DbBind binds[DB_MAX_BINDS];
    void *statements[BLOCK_MAX_STEPS];  // SQLHSTMT per step that calls the server (adapter), or [0] for a whole Oracle block
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
