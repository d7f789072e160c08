// How fast a queued burst drains with the poll period at 0 (the platform's shortest timer): the
// program's own main window, logon, Spying command, timer and PollTrace move a burst of messages
// from the pipe into the trace list, beside the ticks per second of a bare SetTimer(..., 0) in the
// same process. The pipe holds only about 50 messages, so a sender thread on its own connection
// keeps it topped up (vantrel.put waits while the pipe is full).
// Usage: drain [messages [bare-timer-seconds [hidden]]]   (default 10000 and 10; "hidden" leaves the
//        main window unshown, to see what drawing costs)
#include "bench_support.h"
#include "resource.h"
#include "trace_poller.h"

const char *benchName = "drain";

namespace {

const UINT_PTR BARE_TIMER_ID = 1;

int bareTicks = 0;

LRESULT CALLBACK BareTimerProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_TIMER && wParam == BARE_TIMER_ID) {
        bareTicks++;
        return 0;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

// Ticks per second of a bare window timer with period 0 in this process, counted over a while.
double BareTimerRate(double seconds)
{
    HWND window = CreateWindowExA(0, "VantrelBenchTimer", "", WS_OVERLAPPED, 0, 0, 10, 10, nullptr, nullptr,
                                  GetModuleHandleA(nullptr), nullptr);
    bareTicks = 0;
    SetTimer(window, BARE_TIMER_ID, 0, nullptr);
    double start = Seconds();
    int firstTicks = -1;
    double firstTime = 0, lastTime = 0;
    MSG message;
    while (Seconds() - start < seconds && GetMessageA(&message, nullptr, 0, 0) > 0) {
        DispatchMessageA(&message);
        if (message.message == WM_TIMER && message.hwnd == window) {
            // Count from the first tick, so the wait for it does not count.
            if (firstTicks < 0) {
                firstTicks = bareTicks;
                firstTime = Seconds();
            }
            lastTime = Seconds();
        }
    }
    KillTimer(window, BARE_TIMER_ID);
    DestroyWindow(window);
    return lastTime > firstTime ? (bareTicks - firstTicks) / (lastTime - firstTime) : 0;
}

struct ListCalls {
    Totals add, caret;
};

// LB_ADDSTRING and LB_SETCARETINDEX on a bare list box in a bare shown window of the main
// window's size: what the platform's list costs without any of the program's code.
ListCalls BareListCalls(DWORD style, int lines)
{
    RECT frame;
    GetWindowRect(programState.mainWindow, &frame);
    HWND owner = CreateWindowExA(0, "VantrelBenchTimer", "", WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN | WS_VISIBLE,
                                 frame.left, frame.top, frame.right - frame.left, frame.bottom - frame.top, nullptr,
                                 nullptr, GetModuleHandleA(nullptr), nullptr);
    RECT list;
    GetClientRect(programState.listBox, &list);
    HWND box = CreateWindowExA(0, "LISTBOX", "", WS_CHILD | WS_VISIBLE | style, 2, 2, list.right, list.bottom, owner,
                               nullptr, GetModuleHandleA(nullptr), nullptr);
    PumpWaitingMessages();
    ListCalls calls;
    char line[MESSAGE_BUFFER_SIZE];
    for (int n = 0; n < lines; n++) {
        FormatBenchMessage(line, sizeof line, n);
        double t0 = Seconds();
        int index = (int)SendMessageA(box, LB_ADDSTRING, 0, (LPARAM)line);
        double t1 = Seconds();
        SendMessageA(box, LB_SETCARETINDEX, (WPARAM)index, MAKELPARAM(FALSE, 0));
        double t2 = Seconds();
        calls.add.microseconds.push_back((t1 - t0) * 1e6);
        calls.caret.microseconds.push_back((t2 - t1) * 1e6);
    }
    DestroyWindow(owner);
    return calls;
}

struct SenderJob {
    std::string pipe;
    int messages = 0;
    int sent = 0;
};

DWORD WINAPI SenderThread(LPVOID parameter)
{
    SenderJob *job = (SenderJob *)parameter;
    Sender sender;
    StartSender(sender, job->pipe.c_str());
    for (int n = 0; n < job->messages; n++) {
        SendMessageNumber(sender, n);
        InterlockedIncrement((LONG *)&job->sent);
    }
    Release(sender.put);
    return 0;
}

// Processor time this process has used, user and kernel, in seconds.
double ProcessorSeconds(void)
{
    FILETIME created, exited, kernel, user;
    GetProcessTimes(GetCurrentProcess(), &created, &exited, &kernel, &user);
    ULARGE_INTEGER k = {{kernel.dwLowDateTime, kernel.dwHighDateTime}};
    ULARGE_INTEGER u = {{user.dwLowDateTime, user.dwHighDateTime}};
    return (double)(k.QuadPart + u.QuadPart) / 1e7;
}

int ListCount(void)
{
    return (int)SendMessageA(programState.listBox, LB_GETCOUNT, 0, 0);
}

// Every line holds the message it should, in the order sent: none lost, none twice.
int LinesInOrder(int messages)
{
    char expected[MESSAGE_BUFFER_SIZE], line[MESSAGE_BUFFER_SIZE];
    for (int n = 0; n < messages; n++) {
        FormatBenchMessage(expected, sizeof expected, n);
        if ((int)SendMessageA(programState.listBox, LB_GETTEXT, n, (LPARAM)line) < 0 || lstrcmpA(line, expected) != 0)
            return 0;
    }
    return 1;
}

}

int main(int argc, char **argv)
{
    int messages = argc > 1 ? std::atoi(argv[1]) : 10000;
    double bareSeconds = argc > 2 ? std::atof(argv[2]) : 10;
    // "hidden" leaves the main window unshown: the same ticks without drawing, to see what drawing costs.
    int shownWindow = !(argc > 3 && lstrcmpA(argv[3], "hidden") == 0);
    std::string connect = BenchConnectString();
    HINSTANCE instance = GetModuleHandleA(nullptr);

    WNDCLASSA bareClass = {};
    bareClass.lpfnWndProc = BareTimerProc;
    bareClass.hInstance = instance;
    bareClass.lpszClassName = "VantrelBenchTimer";
    RegisterClassA(&bareClass);

    // WinMain's steps up to the loop, with the connect string on the command line.
    OpenMainWindow(connect.c_str(), shownWindow);
    // The Connect command posted by window creation logs on with the command-line string.
    double waitStart = Seconds();
    while (programState.connected != 1 && Seconds() - waitStart < 30) {
        PumpWaitingMessages();
        Sleep(1);
    }
    if (programState.connected != 1)
        BenchExit("the logon from the command line did not finish");

    double bareBefore = BareTimerRate(bareSeconds);

    // The pipe is this run's own; the period is 0 as if set in the Options dialog.
    int storedPeriod = programState.timerInterval;
    std::string pipe = "BENCH_DRAIN_" + std::to_string(GetCurrentProcessId());
    lstrcpynA(programState.pipeName, pipe.c_str(), sizeof programState.pipeName);
    programState.timerInterval = 0;

    // A queued burst: the sender fills the pipe before spying starts and keeps it full after.
    SenderJob job;
    job.pipe = pipe;
    job.messages = messages;
    HANDLE sender = CreateThread(nullptr, 0, SenderThread, &job, 0, nullptr);
    while (job.sent < 40)
        Sleep(5);

    PostMessageA(programState.mainWindow, WM_COMMAND, MAKEWPARAM(IDM_SPYING, 0), 0);
    int ticks = 0, emptyTicks = 0;
    Totals tickCost;
    double firstProcessor = 0;
    double firstLine = 0, lastLine = 0;
    double deadline = Seconds() + 60 + messages / 10.0;
    MSG message;
    while (ListCount() < messages && Seconds() < deadline && GetMessageA(&message, nullptr, 0, 0) > 0) {
        int before = message.message == WM_TIMER ? ListCount() : 0;
        double dispatchStart = Seconds();
        DispatchMessageA(&message);
        if (message.message != WM_TIMER || message.hwnd != programState.mainWindow)
            continue;
        tickCost.microseconds.push_back((Seconds() - dispatchStart) * 1e6);
        ticks++;
        int after = ListCount();
        if (after == before)
            emptyTicks++;
        else if (after == 1) {
            firstLine = Seconds();
            firstProcessor = ProcessorSeconds();
        }
        lastLine = Seconds();
        if (programState.spying != 1)
            BenchExit("spying stopped during the drain");
    }
    double drainProcessor = ProcessorSeconds() - firstProcessor;
    int shown = ListCount();
    int inOrder = shown == messages && LinesInOrder(messages);
    programState.spying = SetSpying(0);
    WaitForSingleObject(sender, 30000);
    CloseHandle(sender);

    double bareAfter = BareTimerRate(bareSeconds);

    // Where a tick's time goes in this window: the step's window calls without the execute,
    // each kind alone, and one bare execute on its own connection.
    Totals add, caret, repaint, execute;
    BareReader reader;
    StartBareReader(reader, pipe.c_str());
    char line[MESSAGE_BUFFER_SIZE];
    FormatBenchMessage(line, sizeof line, messages);
    for (int i = 0; i < 50; i++) {
        double t0 = Seconds();
        int index = (int)SendMessageA(programState.listBox, LB_ADDSTRING, 0, (LPARAM)line);
        double t1 = Seconds();
        SendMessageA(programState.listBox, LB_SETCARETINDEX, (WPARAM)index, MAKELPARAM(FALSE, 0));
        double t2 = Seconds();
        InvalidateRect(programState.mainWindow, nullptr, FALSE);
        UpdateWindow(programState.mainWindow);
        double t3 = Seconds();
        BareStep(reader);
        double t4 = Seconds();
        add.microseconds.push_back((t1 - t0) * 1e6);
        caret.microseconds.push_back((t2 - t1) * 1e6);
        repaint.microseconds.push_back((t3 - t2) * 1e6);
        execute.microseconds.push_back((t4 - t3) * 1e6);
    }
    Release(reader.get);
    // One request that waits for the display's answer (a pixel read back from the screen): what
    // each wait for the X server costs on this machine at this moment.
    Totals roundTrip;
    HDC screen = GetDC(nullptr);
    for (int i = 0; i < 50; i++) {
        double t0 = Seconds();
        GetPixel(screen, i, 0);
        roundTrip.microseconds.push_back((Seconds() - t0) * 1e6);
    }
    ReleaseDC(nullptr, screen);
    const DWORD programListStyle = WS_VSCROLL | LBS_NOTIFY | LBS_NOINTEGRALHEIGHT | LBS_EXTENDEDSEL | LBS_DISABLENOSCROLL;
    ListCalls bareList = BareListCalls(programListStyle, 100);
    ListCalls bareListNoScroll = BareListCalls(LBS_NOTIFY | LBS_NOINTEGRALHEIGHT | LBS_EXTENDEDSEL, 100);

    // Leave the user's stored period as it was: the destroy handler stores timerInterval.
    programState.timerInterval = storedPeriod;
    DestroyWindow(programState.mainWindow);

    double drained = shown > 1 && lastLine > firstLine ? (shown - 1) / (lastLine - firstLine) : 0;
    double bare = (bareBefore + bareAfter) / 2;
    std::printf("drain of a queued burst with the poll period at 0: %d messages of %d characters\n", messages,
                BENCH_MESSAGE_LENGTH);
    std::printf("  lines shown: %d, in order and each once: %s\n", shown, inOrder ? "yes" : "NO");
    std::printf("  program (%s window): %.1f messages per second (%d timer ticks, %d found the pipe empty, %.1f s, "
                "processor busy %.0f%% of it)\n",
                shownWindow ? "shown" : "unshown", drained, ticks, emptyTicks, lastLine - firstLine,
                lastLine > firstLine ? 100 * drainProcessor / (lastLine - firstLine) : 0);
    std::printf("  one tick (WM_TIMER dispatched to the main window): median %.1f us, mean %.1f us\n",
                tickCost.Median(), tickCost.Mean());
    std::printf("    of which, in the %s window: LB_ADDSTRING %.1f us, LB_SETCARETINDEX %.1f us, InvalidateRect "
                "and UpdateWindow %.1f us; a bare execute of SELECT vantrel.get(?) %.1f us (medians of %d)\n",
                shownWindow ? "shown" : "unshown", add.Median(), caret.Median(), repaint.Median(), execute.Median(), add.Calls());
    std::printf("    one pixel read back from the display (a round trip to the X server): %.1f us\n",
                roundTrip.Median());
    std::printf("    a bare list of the same style in a bare shown window: LB_ADDSTRING %.1f us, LB_SETCARETINDEX %.1f us; "
                "without its scroll bar: %.1f us, %.1f us (medians of %d)\n",
                bareList.add.Median(), bareList.caret.Median(),
                bareListNoScroll.add.Median(), bareListNoScroll.caret.Median(), bareList.add.Calls());
    std::printf("  bare SetTimer(..., 0): %.1f ticks per second (%.1f before, %.1f after, %.0f s each)\n", bare,
                bareBefore, bareAfter, bareSeconds);
    std::printf("  ratio %.3f (goal at least 0.95)\n", bare > 0 ? drained / bare : 0);
    return inOrder ? 0 : 1;
}
