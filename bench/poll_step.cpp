// Cost of one poll step (PollTrace as the program runs it: execute the trace block, append the
// line to the trace list, write it to a spool file) beside a bare ODBC loop that runs the same
// server function prepared once, in the same run and on the same pipe.
// Connection from VANTREL_DSN, VANTREL_DB_USER and VANTREL_DB_PASSWORD (tools/bench sets them).
// Usage: poll_step [steps]   (default 2000: half with a message, half on the empty pipe, for each side)
#include <windows.h>
#include <sql.h>
#include <sqlext.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "program_state.h"
#include "trace_poller.h"

namespace {

const int BATCH = 40;               // an orafce pipe holds about 50 messages of 100 characters
const int MESSAGE_LENGTH = 100;

std::string Env(const char *name)
{
    const char *value = std::getenv(name);
    return value != nullptr ? value : "";
}

double Seconds(void)
{
    static LARGE_INTEGER frequency = {};
    if (frequency.QuadPart == 0)
        QueryPerformanceFrequency(&frequency);
    LARGE_INTEGER now;
    QueryPerformanceCounter(&now);
    return (double)now.QuadPart / (double)frequency.QuadPart;
}

void Fail(const char *what, SQLSMALLINT type, SQLHANDLE handle)
{
    SQLCHAR state[6] = "", text[1024] = "";
    SQLINTEGER native = 0;
    SQLSMALLINT length = 0;
    if (handle != SQL_NULL_HANDLE)
        SQLGetDiagRec(type, handle, 1, state, &native, text, sizeof text, &length);
    std::fprintf(stderr, "poll_step: %s failed: %s %s\n", what, (char *)state, (char *)text);
    std::exit(1);
}

// A plain ODBC connection with one statement prepared on it, for the sender and the bare loop.
struct OdbcStatement {
    SQLHENV environment = SQL_NULL_HENV;
    SQLHDBC connection = SQL_NULL_HDBC;
    SQLHSTMT statement = SQL_NULL_HSTMT;
};

OdbcStatement Prepare(const char *sql)
{
    OdbcStatement s;
    std::string dsn = Env("VANTREL_DSN"), user = Env("VANTREL_DB_USER"), password = Env("VANTREL_DB_PASSWORD");
    SQLAllocHandle(SQL_HANDLE_ENV, SQL_NULL_HANDLE, &s.environment);
    SQLSetEnvAttr(s.environment, SQL_ATTR_ODBC_VERSION, (SQLPOINTER)SQL_OV_ODBC3, 0);
    SQLAllocHandle(SQL_HANDLE_DBC, s.environment, &s.connection);
    if (!SQL_SUCCEEDED(SQLConnect(s.connection, (SQLCHAR *)dsn.c_str(), SQL_NTS, (SQLCHAR *)user.c_str(), SQL_NTS,
                                  (SQLCHAR *)password.c_str(), SQL_NTS)))
        Fail("connect", SQL_HANDLE_DBC, s.connection);
    SQLAllocHandle(SQL_HANDLE_STMT, s.connection, &s.statement);
    if (!SQL_SUCCEEDED(SQLPrepare(s.statement, (SQLCHAR *)sql, SQL_NTS)))
        Fail("prepare", SQL_HANDLE_STMT, s.statement);
    return s;
}

void Release(OdbcStatement &s)
{
    SQLFreeHandle(SQL_HANDLE_STMT, s.statement);
    SQLDisconnect(s.connection);
    SQLFreeHandle(SQL_HANDLE_DBC, s.connection);
    SQLFreeHandle(SQL_HANDLE_ENV, s.environment);
}

// Sends messages with vantrel.put, untimed, so that each timed call finds one waiting.
struct Sender {
    OdbcStatement put;
    char pipe[MESSAGE_BUFFER_SIZE] = "";
    char message[MESSAGE_BUFFER_SIZE] = "";
    SQLLEN pipeLength = SQL_NTS;
    SQLLEN messageLength = SQL_NTS;
};

void StartSender(Sender &sender, const char *pipe)
{
    sender.put = Prepare("SELECT vantrel.put(?, ?)");
    lstrcpynA(sender.pipe, pipe, sizeof sender.pipe);
    SQLBindParameter(sender.put.statement, 1, SQL_PARAM_INPUT, SQL_C_CHAR, SQL_VARCHAR, 2000, 0, sender.pipe, 0,
                     &sender.pipeLength);
    SQLBindParameter(sender.put.statement, 2, SQL_PARAM_INPUT, SQL_C_CHAR, SQL_VARCHAR, 2000, 0, sender.message, 0,
                     &sender.messageLength);
}

void SendBatch(Sender &sender, int first)
{
    for (int i = 0; i < BATCH; i++) {
        std::snprintf(sender.message, sizeof sender.message, "%08d ", first + i);
        for (int c = 9; c < MESSAGE_LENGTH; c++)
            sender.message[c] = (char)('a' + (first + i + c) % 26);
        sender.message[MESSAGE_LENGTH] = '\0';
        if (!SQL_SUCCEEDED(SQLExecute(sender.put.statement)))
            Fail("vantrel.put", SQL_HANDLE_STMT, sender.put.statement);
        SQLFreeStmt(sender.put.statement, SQL_CLOSE);
    }
}

// The bare loop: SELECT vantrel.get(?) prepared once, executed and fetched per call.
struct BareReader {
    OdbcStatement get;
    char pipe[MESSAGE_BUFFER_SIZE] = "";
    char result[MESSAGE_BUFFER_SIZE] = "";
    SQLLEN pipeLength = SQL_NTS;
    SQLLEN resultLength = 0;
};

void StartBareReader(BareReader &reader, const char *pipe)
{
    reader.get = Prepare("SELECT vantrel.get(?)");
    lstrcpynA(reader.pipe, pipe, sizeof reader.pipe);
    SQLBindParameter(reader.get.statement, 1, SQL_PARAM_INPUT, SQL_C_CHAR, SQL_VARCHAR, 2000, 0, reader.pipe, 0,
                     &reader.pipeLength);
    SQLBindCol(reader.get.statement, 1, SQL_C_CHAR, reader.result, sizeof reader.result, &reader.resultLength);
}

// Returns 1 when a message came back.
int BareStep(BareReader &reader)
{
    if (!SQL_SUCCEEDED(SQLExecute(reader.get.statement)))
        Fail("bare execute", SQL_HANDLE_STMT, reader.get.statement);
    if (!SQL_SUCCEEDED(SQLFetch(reader.get.statement)))
        Fail("bare fetch", SQL_HANDLE_STMT, reader.get.statement);
    SQLFreeStmt(reader.get.statement, SQL_CLOSE);
    return reader.resultLength != SQL_NULL_DATA && reader.result[0] != '\0';
}

LRESULT CALLBACK HiddenOwnerProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    return DefWindowProcA(window, message, wParam, lParam);
}

// The trace list as the program creates it, in a main window that is never shown.
void CreateHiddenWindows(void)
{
    HINSTANCE instance = GetModuleHandleA(nullptr);
    WNDCLASSA windowClass = {};
    windowClass.lpfnWndProc = HiddenOwnerProc;
    windowClass.hInstance = instance;
    windowClass.lpszClassName = "VantrelBenchOwner";
    RegisterClassA(&windowClass);
    programState.mainWindow = CreateWindowExA(0, "VantrelBenchOwner", "Vantrel", WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN,
                                              100, 100, 640, 480, nullptr, nullptr, instance, nullptr);
    programState.listBox = CreateWindowExA(0, "LISTBOX", "",
                                           WS_CHILD | WS_VISIBLE | WS_VSCROLL | LBS_NOTIFY | LBS_NOINTEGRALHEIGHT |
                                               LBS_EXTENDEDSEL | LBS_DISABLENOSCROLL,
                                           2, 2, 636, 400, programState.mainWindow, nullptr, instance, nullptr);
}

// Cost of each timed call. The median is the figure: other programs on a shared machine slow
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

// Times one call of each kind, one right after the other, so both meet the same machine load.
void TimePair(Totals &poll, Totals &bareTotals, BareReader &bare)
{
    double start = Seconds();
    PollTrace();
    double middle = Seconds();
    bareTotals.received += BareStep(bare);
    double end = Seconds();
    poll.microseconds.push_back((middle - start) * 1e6);
    bareTotals.microseconds.push_back((end - middle) * 1e6);
}

}

int main(int argc, char **argv)
{
    int steps = argc > 1 ? std::atoi(argv[1]) : 2000;
    int batches = steps / BATCH > 0 ? steps / BATCH : 1;
    if (Env("VANTREL_DSN").empty()) {
        std::fprintf(stderr, "poll_step: VANTREL_DSN is not set; run it through tools/bench\n");
        return 1;
    }

    ResetProgramState(GetModuleHandleA(nullptr), "");
    CreateHiddenWindows();
    std::string connect = Env("VANTREL_DB_USER") + "/" + Env("VANTREL_DB_PASSWORD") + "@" + Env("VANTREL_DSN");
    if (DbLogOn(&programState.logonArea, programState.hostArea, connect.c_str(), -1, nullptr, -1, 0) != 0) {
        std::fprintf(stderr, "poll_step: log on failed with %u\n", programState.logonArea.returnCode);
        return 1;
    }
    programState.connected = 1;
    std::string pipe = "BENCH_POLL_" + std::to_string(GetCurrentProcessId());
    lstrcpynA(programState.pipeName, pipe.c_str(), sizeof programState.pipeName);

    char spoolPath[MAX_PATH] = "";
    GetTempPathA(sizeof spoolPath, spoolPath);
    lstrcatA(spoolPath, "vantrel_poll_step_spool.txt");
    programState.activeSpoolFile = _lcreat(spoolPath, 0);

    // No message is pumped, so the timer never fires: each step is called here.
    programState.timerInterval = 3600 * 1000;
    programState.spying = SetSpying(1);
    if (programState.spying != 1) {
        std::fprintf(stderr, "poll_step: spying did not start\n");
        return 1;
    }

    Sender sender;
    StartSender(sender, pipe.c_str());
    BareReader bare;
    StartBareReader(bare, pipe.c_str());

    // Warm both paths up, untimed, while Wine's own start-up work settles.
    for (int w = 0; w < 5; w++) {
        SendBatch(sender, 0);
        for (int i = 0; i < BATCH; i++)
            PollTrace();
        SendBatch(sender, 0);
        for (int i = 0; i < BATCH; i++)
            BareStep(bare);
    }

    // Each batch of messages is shared: the poll step and the bare loop take turns on the pipe.
    Totals pollFull, bareFull, pollEmpty, bareEmpty;
    int linesBefore = (int)SendMessageA(programState.listBox, LB_GETCOUNT, 0, 0);
    for (int b = 0; b < batches; b++) {
        SendBatch(sender, b * BATCH);
        for (int i = 0; i < BATCH / 2; i++)
            TimePair(pollFull, bareFull, bare);
        // The pipe is empty now: the same pair when nothing arrives.
        for (int i = 0; i < BATCH / 2; i++)
            TimePair(pollEmpty, bareEmpty, bare);
    }
    pollFull.received = (int)SendMessageA(programState.listBox, LB_GETCOUNT, 0, 0) - linesBefore;

    // Where a step's time goes beyond the execute: its window and file calls, each kind alone,
    // then all of them in a step's order.
    const int parts = pollFull.Calls();
    char line[MESSAGE_BUFFER_SIZE];
    lstrcpynA(line, sender.message, sizeof line);
    Totals add, caret, spool, repaint, together;
    for (int i = 0; i < parts; i++) {
        double t0 = Seconds();
        int index = (int)SendMessageA(programState.listBox, LB_ADDSTRING, 0, (LPARAM)line);
        double t1 = Seconds();
        SendMessageA(programState.listBox, LB_SETCARETINDEX, (WPARAM)index, MAKELPARAM(FALSE, 0));
        double t2 = Seconds();
        _lwrite(programState.activeSpoolFile, line, (UINT)lstrlenA(line));
        _lwrite(programState.activeSpoolFile, "\r\n", 2);
        double t3 = Seconds();
        InvalidateRect(programState.mainWindow, nullptr, FALSE);
        UpdateWindow(programState.mainWindow);
        double t4 = Seconds();
        add.microseconds.push_back((t1 - t0) * 1e6);
        caret.microseconds.push_back((t2 - t1) * 1e6);
        spool.microseconds.push_back((t3 - t2) * 1e6);
        repaint.microseconds.push_back((t4 - t3) * 1e6);
        together.microseconds.push_back((t4 - t0) * 1e6);
    }

    programState.spying = SetSpying(0);
    if (programState.activeSpoolFile != HFILE_ERROR)
        _lclose(programState.activeSpoolFile);
    DeleteFileA(spoolPath);
    DbLogOff(&programState.logonArea);
    Release(sender.put);
    Release(bare.get);

    std::printf("poll step vs bare ODBC execute of SELECT vantrel.get(?): %d calls each with a %d-character message, "
                "%d each on the empty pipe\n",
                pollFull.Calls(), MESSAGE_LENGTH, pollEmpty.Calls());
    std::printf("per call: median (mean)\n");
    std::printf("  with a message:  poll step %7.1f us (%7.1f)   bare %7.1f us (%7.1f)   ratio %.2f\n",
                pollFull.Median(), pollFull.Mean(), bareFull.Median(), bareFull.Mean(),
                pollFull.Median() / bareFull.Median());
    std::printf("  empty pipe:      poll step %7.1f us (%7.1f)   bare %7.1f us (%7.1f)   ratio %.2f\n",
                pollEmpty.Median(), pollEmpty.Mean(), bareEmpty.Median(), bareEmpty.Mean(),
                pollEmpty.Median() / bareEmpty.Median());
    std::printf("  a step's window and file calls without the execute: %.1f us (%.1f)\n", together.Median(),
                together.Mean());
    std::printf("    LB_ADDSTRING %.1f us, LB_SETCARETINDEX %.1f us, spool write and CRLF %.1f us, "
                "InvalidateRect and UpdateWindow %.1f us\n",
                add.Median(), caret.Median(), spool.Median(), repaint.Median());
    if (pollFull.received != pollFull.Calls() || bareFull.received != bareFull.Calls() || bareEmpty.received != 0) {
        std::fprintf(stderr, "poll_step: a timed call did not get the message it should have\n");
        return 1;
    }
    return 0;
}
