// The commands that work on the trace list's lines: Clear output, Copy, Delete and Display.
// Routed here by the main window; each returns 0.
#include "list_commands.h"

#include <cstring>

#include "dialogs.h"
#include "program_state.h"

namespace {

const UINT COPY_BLOCK_FLAGS = GMEM_MOVEABLE | GMEM_ZEROINIT | GMEM_DDESHARE;

// Reads one line into a message buffer. Lines come from the poll step and hold at most 2000
// characters; a longer one is refused rather than read past the buffer. Returns the length, or
// -1 when the line cannot be read.
int ReadListLine(int index, char (&line)[MESSAGE_BUFFER_SIZE])
{
    int length = (int)SendMessageA(programState.listBox, LB_GETTEXTLEN, index, 0);
    if (length < 0 || length >= (int)MESSAGE_BUFFER_SIZE)
        return -1;
    line[0] = '\0';
    return (int)SendMessageA(programState.listBox, LB_GETTEXT, index, (LPARAM)line);
}

// Grows the block by the line's length plus 3 and appends the line and its line ending.
// On failure nothing is written and the block, grown or not, stays the caller's to free.
int AppendLineToBlock(HGLOBAL *block, SIZE_T *blockSize, SIZE_T *textLength, int index)
{
    int length = (int)SendMessageA(programState.listBox, LB_GETTEXTLEN, index, 0);
    if (length < 0 || length >= (int)MESSAGE_BUFFER_SIZE)
        return 0;
    HGLOBAL grown = GlobalReAlloc(*block, *blockSize + (SIZE_T)length + 3, COPY_BLOCK_FLAGS);
    if (grown == nullptr)
        return 0;
    *block = grown;
    *blockSize += (SIZE_T)length + 3;
    char *text = (char *)GlobalLock(*block);
    if (text == nullptr)
        return 0;

    char line[MESSAGE_BUFFER_SIZE] = "";
    int read = (int)SendMessageA(programState.listBox, LB_GETTEXT, index, (LPARAM)line);
    int ok = read >= 0 && read <= length;
    if (ok) {
        memcpy(text + *textLength, line, (size_t)read);
        memcpy(text + *textLength + read, "\r\n", 2);
        *textLength += (SIZE_T)read + 2;
    }
    GlobalUnlock(*block);
    return ok;
}

// The one walk of Copy and Delete. Delete examines the same index again after removing a line,
// because the next line has moved into it. Copy stops at the first block that cannot be grown
// or locked and then leaves the clipboard as it was.
void WalkSelectedLines(int copying)
{
    HWND list = programState.listBox;
    if ((int)SendMessageA(list, LB_GETSELCOUNT, 0, 0) <= 0)
        return;

    HGLOBAL block = nullptr;
    SIZE_T blockSize = 0;
    SIZE_T textLength = 0;
    if (copying) {
        block = GlobalAlloc(COPY_BLOCK_FLAGS, 0);
        if (block == nullptr)
            return;
    }

    int ok = 1;
    int count = (int)SendMessageA(list, LB_GETCOUNT, 0, 0);
    for (int index = 0; ok && index < count;) {
        if ((int)SendMessageA(list, LB_GETSEL, index, 0) <= 0) {
            index++;
        } else if (copying) {
            ok = AppendLineToBlock(&block, &blockSize, &textLength, index);
            index++;
        } else {
            SendMessageA(list, LB_DELETESTRING, index, 0);
            count = (int)SendMessageA(list, LB_GETCOUNT, 0, 0);
        }
    }
    if (!copying)
        return;

    // Once SetClipboardData accepts the block it belongs to the clipboard; every other path frees it.
    int handedOver = 0;
    if (ok && OpenClipboard(programState.mainWindow)) {
        if (EmptyClipboard() && SetClipboardData(CF_TEXT, block) != nullptr)
            handedOver = 1;
        CloseClipboard();
    }
    if (!handedOver)
        GlobalFree(block);
}

}

LRESULT ClearCommand(void)
{
    int answer = MessageBoxA(programState.mainWindow, "Are you sure you want to clear the trace message list?",
                             "Confirm", MB_YESNO | MB_ICONQUESTION);
    if (answer == IDYES)
        SendMessageA(programState.listBox, LB_RESETCONTENT, 0, 0);
    InvalidateRect(programState.mainWindow, nullptr, TRUE);
    UpdateWindow(programState.mainWindow);
    return 0;
}

// Copy and Delete repaint nothing: the status strip shows their effect at its next paint.
LRESULT CopyCommand(void)
{
    WalkSelectedLines(1);
    return 0;
}

LRESULT DeleteCommand(void)
{
    WalkSelectedLines(0);
    return 0;
}

// Shows the caret line (the one with the focus rectangle), which need not be selected.
LRESULT DisplayCommand(void)
{
    int caret = (int)SendMessageA(programState.listBox, LB_GETCARETINDEX, 0, 0);
    if (caret == LB_ERR)
        return 0;
    char line[MESSAGE_BUFFER_SIZE];
    if (ReadListLine(caret, line) <= 0)
        return 0;
    RunDisplayDialog(line);
    return 0;
}
