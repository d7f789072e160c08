// Shared pieces of the benchmark programs: the clock, medians, plain ODBC statements for the
// sender and the bare loops, and the program's main window as WinMain creates it.
// Each bench program sets benchName before calling anything here.
#ifndef VANTREL_BENCH_SUPPORT_H
#define VANTREL_BENCH_SUPPORT_H

#include <windows.h>
#include <psapi.h>
#include <sql.h>
#include <sqlext.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "main_window.h"
#include "program_state.h"

extern const char *benchName;

const int BENCH_MESSAGE_LENGTH = 100;

inline std::string Env(const char *name)
{
    const char *value = std::getenv(name);
    return value != nullptr ? value : "";
}

inline double Seconds(void)
{
    static LARGE_INTEGER frequency = {};
    if (frequency.QuadPart == 0)
        QueryPerformanceFrequency(&frequency);
    LARGE_INTEGER now;
    QueryPerformanceCounter(&now);
    return (double)now.QuadPart / (double)frequency.QuadPart;
}

inline void BenchExit(const char *what)
{
    std::fprintf(stderr, "%s: %s\n", benchName, what);
    std::exit(1);
}

// The connect string the program takes on its command line: user/password@data source.
inline std::string BenchConnectString(void)
{
    if (Env("VANTREL_DSN").empty())
        BenchExit("VANTREL_DSN is not set; run it through tools/bench");
    return Env("VANTREL_DB_USER") + "/" + Env("VANTREL_DB_PASSWORD") + "@" + Env("VANTREL_DSN");
}

// The text of message number n: the number, a blank, then letters up to 100 characters.
inline void FormatBenchMessage(char *text, size_t size, int n)
{
    std::snprintf(text, size, "%08d ", n);
    for (int c = 9; c < BENCH_MESSAGE_LENGTH; c++)
        text[c] = (char)('a' + (n + c) % 26);
    text[BENCH_MESSAGE_LENGTH] = '\0';
}

// Cost of each timed call (in microseconds unless a program says otherwise). The median is the figure: other programs on a shared machine slow
// some calls down, and the median lets those pass.
struct Totals {
    std::vector<double> microseconds;
    int received = 0;
    int Calls() const { return (int)microseconds.size(); }
    double Median() const
    {
        std::vector<double> sorted = microseconds;
        std::sort(sorted.begin(), sorted.end());
        return sorted.empty() ? 0 : sorted[sorted.size() / 2];
    }
    double Mean() const
    {
        double sum = 0;
        for (double x : microseconds)
            sum += x;
        return microseconds.empty() ? 0 : sum / microseconds.size();
    }
};

inline void OdbcFail(const char *what, SQLSMALLINT type, SQLHANDLE handle)
{
    SQLCHAR state[6] = "", text[1024] = "";
    SQLINTEGER native = 0;
    SQLSMALLINT length = 0;
    if (handle != SQL_NULL_HANDLE)
        SQLGetDiagRec(type, handle, 1, state, &native, text, sizeof text, &length);
    std::fprintf(stderr, "%s: %s failed: %s %s\n", benchName, what, (char *)state, (char *)text);
    std::exit(1);
}

// A plain ODBC connection with one statement prepared on it, for senders and bare loops.
struct OdbcStatement {
    SQLHENV environment = SQL_NULL_HENV;
    SQLHDBC connection = SQL_NULL_HDBC;
    SQLHSTMT statement = SQL_NULL_HSTMT;
};

inline OdbcStatement Prepare(const char *sql)
{
    OdbcStatement s;
    std::string dsn = Env("VANTREL_DSN"), user = Env("VANTREL_DB_USER"), password = Env("VANTREL_DB_PASSWORD");
    SQLAllocHandle(SQL_HANDLE_ENV, SQL_NULL_HANDLE, &s.environment);
    SQLSetEnvAttr(s.environment, SQL_ATTR_ODBC_VERSION, (SQLPOINTER)SQL_OV_ODBC3, 0);
    SQLAllocHandle(SQL_HANDLE_DBC, s.environment, &s.connection);
    if (!SQL_SUCCEEDED(SQLConnect(s.connection, (SQLCHAR *)dsn.c_str(), SQL_NTS, (SQLCHAR *)user.c_str(), SQL_NTS,
                                  (SQLCHAR *)password.c_str(), SQL_NTS)))
        OdbcFail("connect", SQL_HANDLE_DBC, s.connection);
    SQLAllocHandle(SQL_HANDLE_STMT, s.connection, &s.statement);
    if (!SQL_SUCCEEDED(SQLPrepare(s.statement, (SQLCHAR *)sql, SQL_NTS)))
        OdbcFail("prepare", SQL_HANDLE_STMT, s.statement);
    return s;
}

inline void Release(OdbcStatement &s)
{
    SQLFreeHandle(SQL_HANDLE_STMT, s.statement);
    SQLDisconnect(s.connection);
    SQLFreeHandle(SQL_HANDLE_DBC, s.connection);
    SQLFreeHandle(SQL_HANDLE_ENV, s.environment);
}

// Sends messages with vantrel.put on its own connection. put waits while the pipe is full.
struct Sender {
    OdbcStatement put;
    char pipe[MESSAGE_BUFFER_SIZE] = "";
    char message[MESSAGE_BUFFER_SIZE] = "";
    SQLLEN pipeLength = SQL_NTS;
    SQLLEN messageLength = SQL_NTS;
};

inline void StartSender(Sender &sender, const char *pipe)
{
    sender.put = Prepare("SELECT vantrel.put(?, ?)");
    lstrcpynA(sender.pipe, pipe, sizeof sender.pipe);
    SQLBindParameter(sender.put.statement, 1, SQL_PARAM_INPUT, SQL_C_CHAR, SQL_VARCHAR, 2000, 0, sender.pipe, 0,
                     &sender.pipeLength);
    SQLBindParameter(sender.put.statement, 2, SQL_PARAM_INPUT, SQL_C_CHAR, SQL_VARCHAR, 2000, 0, sender.message, 0,
                     &sender.messageLength);
}

inline void SendMessageNumber(Sender &sender, int n)
{
    FormatBenchMessage(sender.message, sizeof sender.message, n);
    if (!SQL_SUCCEEDED(SQLExecute(sender.put.statement)))
        OdbcFail("vantrel.put", SQL_HANDLE_STMT, sender.put.statement);
    SQLFreeStmt(sender.put.statement, SQL_CLOSE);
}

// The bare loop: SELECT vantrel.get(?) prepared once, executed and fetched per call.
struct BareReader {
    OdbcStatement get;
    char pipe[MESSAGE_BUFFER_SIZE] = "";
    char result[MESSAGE_BUFFER_SIZE] = "";
    SQLLEN pipeLength = SQL_NTS;
    SQLLEN resultLength = 0;
};

inline void StartBareReader(BareReader &reader, const char *pipe)
{
    reader.get = Prepare("SELECT vantrel.get(?)");
    lstrcpynA(reader.pipe, pipe, sizeof reader.pipe);
    SQLBindParameter(reader.get.statement, 1, SQL_PARAM_INPUT, SQL_C_CHAR, SQL_VARCHAR, 2000, 0, reader.pipe, 0,
                     &reader.pipeLength);
    SQLBindCol(reader.get.statement, 1, SQL_C_CHAR, reader.result, sizeof reader.result, &reader.resultLength);
}

// Returns 1 when a message came back.
inline int BareStep(BareReader &reader)
{
    if (!SQL_SUCCEEDED(SQLExecute(reader.get.statement)))
        OdbcFail("bare execute", SQL_HANDLE_STMT, reader.get.statement);
    if (!SQL_SUCCEEDED(SQLFetch(reader.get.statement)))
        OdbcFail("bare fetch", SQL_HANDLE_STMT, reader.get.statement);
    SQLFreeStmt(reader.get.statement, SQL_CLOSE);
    return reader.resultLength != SQL_NULL_DATA && reader.result[0] != '\0';
}

// The process's memory two ways: the working set the system reports, and the bytes in use in the
// process heap, where the list keeps its lines. Wine reports PrivateUsage as 0, so private bytes
// are not available.
struct ProcessMemory {
    double workingSet = 0;
    double heapInUse = 0;
};

inline double ReadHeapInUse(void)
{
    HANDLE heap = GetProcessHeap();
    double inUse = 0;
    PROCESS_HEAP_ENTRY entry = {};
    HeapLock(heap);
    while (HeapWalk(heap, &entry))
        if (entry.wFlags & PROCESS_HEAP_ENTRY_BUSY)
            inUse += (double)entry.cbData + entry.cbOverhead;
    HeapUnlock(heap);
    return inUse;
}

inline ProcessMemory ReadProcessMemory(void)
{
    PROCESS_MEMORY_COUNTERS counters = {};
    counters.cb = sizeof counters;
    ProcessMemory memory;
    if (GetProcessMemoryInfo(GetCurrentProcess(), &counters, sizeof counters))
        memory.workingSet = (double)counters.WorkingSetSize;
    memory.heapInUse = ReadHeapInUse();
    return memory;
}

// Dispatches whatever is waiting, as the program's loop would, without blocking.
inline void PumpWaitingMessages(void)
{
    MSG message;
    while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&message);
        DispatchMessageA(&message);
    }
}

// WinMain's steps up to its loop: the program state with the command line, the class, the main
// window (trace list, Spy button, font, brushes, settings), shown and painted once. Without a
// connect string the Connect command that window creation posts is taken back, so that no
// Connect dialog waits for an answer; with one, the logon runs at the next pump.
inline void OpenMainWindow(const char *commandLine, int shown)
{
    HINSTANCE instance = GetModuleHandleA(nullptr);
    ResetProgramState(instance, commandLine);
    if (!RegisterMainWindowClass(instance) || CreateMainWindow(instance) == nullptr)
        BenchExit("the main window could not be created");
    if (commandLine[0] == '\0') {
        MSG posted;
        PeekMessageA(&posted, programState.mainWindow, WM_COMMAND, WM_COMMAND, PM_REMOVE);
    }
    if (shown) {
        ShowWindow(programState.mainWindow, SW_SHOWNORMAL);
        UpdateWindow(programState.mainWindow);
    }
}

// Fills the trace list with numbered 100-character lines. Drawing is held back while it fills
// (a shown list redraws its scroll bar on every line, milliseconds each on Xvfb); the list then
// holds what the same number of poll steps would have put there.
inline void FillTraceList(int first, int count)
{
    char line[MESSAGE_BUFFER_SIZE];
    SendMessageA(programState.listBox, WM_SETREDRAW, FALSE, 0);
    for (int n = first; n < first + count; n++) {
        FormatBenchMessage(line, sizeof line, n);
        SendMessageA(programState.listBox, LB_ADDSTRING, 0, (LPARAM)line);
    }
    SendMessageA(programState.listBox, WM_SETREDRAW, TRUE, 0);
    InvalidateRect(programState.listBox, nullptr, TRUE);
    UpdateWindow(programState.listBox);
}

#endif
