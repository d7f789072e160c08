// A full trace list: the process's memory per line with 100,000 lines of 100 characters beside the
// bytes of text they hold, and the main window's paint time with that list beside the same paints
// with an empty list. The main window is the program's own (class, MainWndProc, status strip),
// shown on the display; no logon is needed.
// Usage: full_list [lines [paints]]   (default 100000 and 200)
#include "bench_support.h"

const char *benchName = "full_list";

namespace {

// The paint a poll step asks for: the main window invalidated without erasing and updated. The
// list is a child clipped out of it, so this is the frame and the status strip.
double StatusStripPaint(void)
{
    double start = Seconds();
    InvalidateRect(programState.mainWindow, nullptr, FALSE);
    UpdateWindow(programState.mainWindow);
    return (Seconds() - start) * 1e6;
}

// Everything drawn again: the main window erased and painted, and the list with its visible lines.
double WholeWindowPaint(void)
{
    double start = Seconds();
    RedrawWindow(programState.mainWindow, nullptr, nullptr,
                 RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW);
    return (Seconds() - start) * 1e6;
}

struct Paints {
    Totals strip, whole;
};

// The two kinds take turns, so both meet the same machine load.
Paints TimePaints(int count)
{
    Paints paints;
    for (int i = 0; i < count; i++) {
        paints.strip.microseconds.push_back(StatusStripPaint());
        paints.whole.microseconds.push_back(WholeWindowPaint());
    }
    return paints;
}

}

int main(int argc, char **argv)
{
    int lines = argc > 1 ? std::atoi(argv[1]) : 100000;
    int paintCount = argc > 2 ? std::atoi(argv[2]) : 200;

    OpenMainWindow("", 1);
    PumpWaitingMessages();
    Paints empty = TimePaints(paintCount);
    PumpWaitingMessages();

    ProcessMemory before = ReadProcessMemory();
    FillTraceList(0, lines);
    // As after the poll step that brought the last line: the caret on it, the list scrolled to it.
    SendMessageA(programState.listBox, LB_SETCARETINDEX, (WPARAM)(lines - 1), MAKELPARAM(FALSE, 0));
    PumpWaitingMessages();
    ProcessMemory after = ReadProcessMemory();
    int held = (int)SendMessageA(programState.listBox, LB_GETCOUNT, 0, 0);

    Paints full = TimePaints(paintCount);

    double text = (double)held * BENCH_MESSAGE_LENGTH;
    std::printf("a full trace list: %d lines of %d characters (%.1f MB of text)\n", held, BENCH_MESSAGE_LENGTH,
                text / 1048576);
    const struct {
        const char *name;
        double ProcessMemory::*field;
    } measures[] = {
        {"working set", &ProcessMemory::workingSet},
        {"process heap in use", &ProcessMemory::heapInUse},
    };
    for (const auto &m : measures) {
        double perLine = (after.*m.field - before.*m.field) / held;
        std::printf("  %-19s %6.1f MB -> %6.1f MB: %4.0f bytes per line, ratio %.2f to the %d bytes of text\n",
                    m.name, before.*m.field / 1048576, after.*m.field / 1048576, perLine,
                    perLine / BENCH_MESSAGE_LENGTH, BENCH_MESSAGE_LENGTH);
    }
    std::printf("  paint of the shown main window, median (mean) of %d, full list beside an empty one:\n", paintCount);
    std::printf("    status strip (invalidate, update): %7.1f us (%7.1f)  empty %7.1f us (%7.1f)  ratio %.2f\n",
                full.strip.Median(), full.strip.Mean(), empty.strip.Median(), empty.strip.Mean(),
                full.strip.Median() / empty.strip.Median());
    std::printf("    whole window with the list:        %7.1f us (%7.1f)  empty %7.1f us (%7.1f)  ratio %.2f\n",
                full.whole.Median(), full.whole.Mean(), empty.whole.Median(), empty.whole.Mean(),
                full.whole.Median() / empty.whole.Median());
    DestroyWindow(programState.mainWindow);
    return held == lines ? 0 : 1;
}
