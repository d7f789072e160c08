// Copy and Delete of selected lines in the program's own shown main window: CopyCommand (which
// grows its clipboard block once per line) beside a loop here that allocates the final size once,
// and DeleteCommand beside a bare loop of LB_DELETESTRING over the same number of lines.
// Both copies must put the same text on the clipboard.
// Usage: copy_delete [lines [copy-rounds]]   (default 10000 and 5)
#include "bench_support.h"
#include "list_commands.h"

#include <cstring>

const char *benchName = "copy_delete";

namespace {

const UINT COPY_BLOCK_FLAGS = GMEM_MOVEABLE | GMEM_ZEROINIT | GMEM_DDESHARE;

void FillAndSelectAll(int lines)
{
    SendMessageA(programState.listBox, LB_RESETCONTENT, 0, 0);
    FillTraceList(0, lines);
    SendMessageA(programState.listBox, LB_SETSEL, TRUE, -1);
    PumpWaitingMessages();
}

// The same walk and the same clipboard hand-over as Copy, but the block is allocated once at its
// final size: the lengths are read first, then every line straight into the block.
void CopyWithOneAllocation(void)
{
    HWND list = programState.listBox;
    int count = (int)SendMessageA(list, LB_GETCOUNT, 0, 0);
    SIZE_T size = 1;
    for (int i = 0; i < count; i++)
        if ((int)SendMessageA(list, LB_GETSEL, i, 0) > 0)
            size += (SIZE_T)SendMessageA(list, LB_GETTEXTLEN, i, 0) + 2;
    HGLOBAL block = GlobalAlloc(COPY_BLOCK_FLAGS, size);
    char *text = (char *)GlobalLock(block);
    SIZE_T used = 0;
    for (int i = 0; i < count; i++) {
        if ((int)SendMessageA(list, LB_GETSEL, i, 0) <= 0)
            continue;
        int read = (int)SendMessageA(list, LB_GETTEXT, i, (LPARAM)(text + used));
        memcpy(text + used + read, "\r\n", 2);
        used += (SIZE_T)read + 2;
    }
    GlobalUnlock(block);
    int handedOver = 0;
    if (OpenClipboard(programState.mainWindow)) {
        if (EmptyClipboard() && SetClipboardData(CF_TEXT, block) != nullptr)
            handedOver = 1;
        CloseClipboard();
    }
    if (!handedOver)
        GlobalFree(block);
}

std::string ClipboardText(void)
{
    std::string text;
    if (!OpenClipboard(programState.mainWindow))
        return text;
    HANDLE data = GetClipboardData(CF_TEXT);
    const char *locked = data != nullptr ? (const char *)GlobalLock(data) : nullptr;
    if (locked != nullptr) {
        text = locked;
        GlobalUnlock(data);
    }
    CloseClipboard();
    return text;
}

std::string ExpectedText(int lines)
{
    std::string text;
    char line[MESSAGE_BUFFER_SIZE];
    for (int n = 0; n < lines; n++) {
        FormatBenchMessage(line, sizeof line, n);
        text += line;
        text += "\r\n";
    }
    return text;
}

// Emptied before each copy, so a copy that put nothing there cannot pass for one that did.
void EmptyTheClipboard(void)
{
    if (OpenClipboard(programState.mainWindow)) {
        EmptyClipboard();
        CloseClipboard();
    }
}

double TimeCopy(void (*copy)(void), const std::string &expected, int &sameText)
{
    EmptyTheClipboard();
    double start = Seconds();
    copy();
    double elapsed = Seconds() - start;
    sameText = sameText && ClipboardText() == expected;
    return elapsed * 1e3;
}

// The two strategies alone, without the list: a block grown by each line's size plus 3 and locked
// and unlocked each time, as Copy does, beside one block of the final size. Microseconds.
void TimeAllocationsAlone(int lines, Totals &grown, Totals &once)
{
    const SIZE_T step = BENCH_MESSAGE_LENGTH + 3;
    double t0 = Seconds();
    HGLOBAL block = GlobalAlloc(COPY_BLOCK_FLAGS, 0);
    SIZE_T size = 0;
    for (int i = 0; i < lines && block != nullptr; i++) {
        HGLOBAL larger = GlobalReAlloc(block, size + step, COPY_BLOCK_FLAGS);
        if (larger == nullptr)
            break;
        block = larger;
        size += step;
        char *text = (char *)GlobalLock(block);
        text[size - step] = 'x';
        GlobalUnlock(block);
    }
    GlobalFree(block);
    double t1 = Seconds();
    block = GlobalAlloc(COPY_BLOCK_FLAGS, step * lines);
    char *text = (char *)GlobalLock(block);
    for (int i = 0; i < lines; i++)
        text[step * i] = 'x';
    GlobalUnlock(block);
    GlobalFree(block);
    double t2 = Seconds();
    grown.microseconds.push_back((t1 - t0) * 1e6);
    once.microseconds.push_back((t2 - t1) * 1e6);
}

void ProductCopy(void)
{
    CopyCommand();
}

}

int main(int argc, char **argv)
{
    int lines = argc > 1 ? std::atoi(argv[1]) : 10000;
    int rounds = argc > 2 ? std::atoi(argv[2]) : 5;

    OpenMainWindow("", 1);
    PumpWaitingMessages();
    FillAndSelectAll(lines);
    std::string expected = ExpectedText(lines);

    // The two copies take turns, so both meet the same machine load.
    Totals copy, oneAllocation;
    int sameText = 1;
    for (int r = 0; r < rounds; r++) {
        copy.microseconds.push_back(TimeCopy(ProductCopy, expected, sameText));
        oneAllocation.microseconds.push_back(TimeCopy(CopyWithOneAllocation, expected, sameText));
    }

    Totals grownAlone, onceAlone;
    for (int r = 0; r < rounds; r++)
        TimeAllocationsAlone(lines, grownAlone, onceAlone);

    // Delete of every selected line, then the bare delete loop over a list filled the same way.
    double start = Seconds();
    DeleteCommand();
    double deleteMs = (Seconds() - start) * 1e3;
    int leftAfterDelete = (int)SendMessageA(programState.listBox, LB_GETCOUNT, 0, 0);

    FillAndSelectAll(lines);
    start = Seconds();
    for (int i = 0; i < lines; i++)
        SendMessageA(programState.listBox, LB_DELETESTRING, 0, 0);
    double bareDeleteMs = (Seconds() - start) * 1e3;

    // The same Delete with the window not shown: what the list's drawing costs.
    ShowWindow(programState.mainWindow, SW_HIDE);
    FillAndSelectAll(lines);
    start = Seconds();
    DeleteCommand();
    double unshownDeleteMs = (Seconds() - start) * 1e3;
    int leftAfterUnshown = (int)SendMessageA(programState.listBox, LB_GETCOUNT, 0, 0);

    std::printf("copy and delete of %d selected lines of %d characters (%.1f MB on the clipboard)\n", lines,
                BENCH_MESSAGE_LENGTH, expected.size() / 1048576.0);
    std::printf("  Copy (block grown per line):   median %8.1f ms (mean %8.1f) of %d\n", copy.Median(),
                copy.Mean(), copy.Calls());
    std::printf("  one allocation of final size: median %8.1f ms (mean %8.1f)   ratio %.2f\n",
                oneAllocation.Median(), oneAllocation.Mean(), copy.Median() / oneAllocation.Median());
    std::printf("  the allocations alone: grown per line %.1f us, one block %.1f us (medians)\n",
                grownAlone.Median(), onceAlone.Median());
    std::printf("  clipboard text of both copies as expected: %s\n", sameText ? "yes" : "NO");
    std::printf("  Delete (shown window):        %8.1f ms, %.2f ms per line, %d lines left\n", deleteMs,
                deleteMs / lines, leftAfterDelete);
    std::printf("  bare LB_DELETESTRING loop:     %8.1f ms, %.2f ms per line   ratio %.2f\n", bareDeleteMs,
                bareDeleteMs / lines, deleteMs / bareDeleteMs);
    std::printf("  Delete (window not shown):     %8.1f ms, %.3f ms per line, %d lines left\n", unshownDeleteMs,
                unshownDeleteMs / lines, leftAfterUnshown);
    DestroyWindow(programState.mainWindow);
    return sameText && leftAfterDelete == 0 && leftAfterUnshown == 0 ? 0 : 1;
}
