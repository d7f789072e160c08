// Cost of one poll step (PollTrace as the program runs it: execute the trace block, append the
// line to the trace list, write it to a spool file) beside a bare ODBC loop that runs the same
// server function prepared once, in the same run and on the same pipe.
// Connection from VANTREL_DSN, VANTREL_DB_USER and VANTREL_DB_PASSWORD (tools/bench sets them).
// Usage: poll_step [steps]   (default 2000: half with a message, half on the empty pipe, for each side)
#include "bench_support.h"
#include "trace_poller.h"

const char *benchName = "poll_step";

namespace {

const int BATCH = 40;               // an orafce pipe holds about 50 messages of 100 characters
const int MESSAGE_LENGTH = BENCH_MESSAGE_LENGTH;

void SendBatch(Sender &sender, int first)
{
    for (int i = 0; i < BATCH; i++)
        SendMessageNumber(sender, first + i);
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
