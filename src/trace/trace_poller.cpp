// The trace poller: the trace cursor and its block, starting and stopping the poll timer, one
// poll step per tick, the Spying command, and the box that shows a database error.
// Called by the main window (timer ticks, the Spying command, destruction) and by the logon.
#include "trace_poller.h"

#include "logon.h"
#include "program_state.h"
#include "resource.h"
#include "spool_file.h"

const char TRACE_BLOCK[] = "DECLARE rc VARCHAR2(2000); BEGIN rc:=vantrel.get(:p_nam); :retval:=rc; END;";

namespace {

const int PARSE_DEFERRED = 1;
const unsigned long PARSE_VERSION_7 = 2;
const int EXTERNAL_TERMINATED_STRING = 5;
const size_t ERROR_TEXT_SIZE = 1024;

const char TITLE_OFF[] = "Vantrel";
const char TITLE_SPYING[] = "Vantrel *";

void RepaintMainWindow(BOOL erase)
{
    InvalidateRect(programState.mainWindow, nullptr, erase);
    UpdateWindow(programState.mainWindow);
}

int BindText(const char *placeholder, char *buffer, short *indicator)
{
    return DbBindByName(&programState.cursorArea, placeholder, -1, buffer, (int)MESSAGE_BUFFER_SIZE,
                        EXTERNAL_TERMINATED_STRING, -1, indicator, nullptr, -1, -1);
}

// Appends one line to the trace list; a list that refuses it loses its oldest line and gets
// one more try. Returns the list's answer to the last attempt.
int AppendTraceLine(const char *text)
{
    HWND list = programState.listBox;
    int index = (int)SendMessageA(list, LB_ADDSTRING, 0, (LPARAM)text);
    if (index == LB_ERRSPACE || index == LB_ERR) {
        SendMessageA(list, LB_DELETESTRING, 0, 0);
        index = (int)SendMessageA(list, LB_ADDSTRING, 0, (LPARAM)text);
    }
    return index;
}

// A write counts as done only when every byte went out: a short write would leave a cut line
// in the file with nobody told.
int WriteAll(HFILE file, const char *bytes, UINT length)
{
    return _lwrite(file, bytes, length) == length ? 1 : 0;
}

// Appends the message and its line ending to the active spool file. On failure the file is
// closed before the warning is shown, so ticks that run while the box is open skip it.
void SpoolTraceLine(const char *text)
{
    HFILE file = programState.activeSpoolFile;
    if (file == HFILE_ERROR)
        return;
    if (WriteAll(file, text, (UINT)lstrlenA(text)) && WriteAll(file, "\r\n", 2))
        return;
    CloseSpoolFile(&programState.activeSpoolFile);
    MessageBoxA(programState.mainWindow, "Error writing to spool file", "Error", MB_OK | MB_ICONWARNING);
}

void StopPollTimer(void)
{
    if (programState.timerId != 0)
        KillTimer(programState.mainWindow, programState.timerId);
    programState.timerId = 0;
}

}

int OpenTraceCursor(void)
{
    ProgramState &state = programState;
    if (DbOpenCursor(&state.cursorArea, &state.logonArea, nullptr, -1, 0, nullptr, -2) == 0 &&
        DbParse(&state.cursorArea, TRACE_BLOCK, -1, PARSE_DEFERRED, PARSE_VERSION_7) == 0 &&
        BindText(":p_nam", state.pipeName, &state.pipeIndicator) == 0 &&
        BindText(":retval", state.messageText, &state.messageIndicator) == 0)
        return 1;

    ShowDatabaseError(state.mainWindow, state.cursorArea.returnCode);
    // Nothing will run on a half-opened cursor: release it now rather than at the next start.
    CloseTraceCursor();
    state.spying = SetSpying(0);
    RepaintMainWindow(FALSE);
    return 0;
}

void CloseTraceCursor(void)
{
    DbCloseCursor(&programState.cursorArea);
}

int SetSpying(int on)
{
    ProgramState &state = programState;
    if (state.spying == 1) {
        SetWindowTextA(state.mainWindow, TITLE_OFF);
        StopPollTimer();
        CloseTraceCursor();
    }
    if (on != 0 && OpenTraceCursor() == 1) {
        state.timerId = SetTimer(state.mainWindow, TRACE_TIMER_ID, state.timerInterval, nullptr);
        if (state.timerId != 0) {
            SetWindowTextA(state.mainWindow, TITLE_SPYING);
            state.indicatorState = INDICATOR_WAITING;
            return 1;
        }
        // No poll will ever run on this cursor.
        CloseTraceCursor();
        MessageBoxA(state.mainWindow, "Unable to set periodic timer event", "Error", MB_OK | MB_ICONWARNING);
    }
    state.indicatorState = INDICATOR_OFF;
    return 0;
}

int PollTrace(void)
{
    ProgramState &state = programState;
    int index = LB_ERR;

    if (DbExecute(&state.cursorArea) != 0 && state.cursorArea.returnCode != DB_NULL_FETCHED) {
        int errorNumber = state.cursorArea.returnCode;
        // Stop the ticks before the box: while nobody answers, each tick would fail again and
        // open one more box inside the last.
        StopPollTimer();
        ShowDatabaseError(state.mainWindow, errorNumber);
        state.spying = SetSpying(0);
        RepaintMainWindow(FALSE);
        return 0;
    }

    if (state.messageIndicator != -1 && state.messageText[0] != '\0') {
        state.indicatorState = INDICATOR_RECEIVED;
        index = AppendTraceLine(state.messageText);
        // Spooled even when the list refused the line: the file is the complete record.
        SpoolTraceLine(state.messageText);
    } else if (state.indicatorState == INDICATOR_RECEIVED) {
        state.indicatorState = INDICATOR_WAITING;
        RepaintMainWindow(FALSE);
    }

    if (index != LB_ERR && index != LB_ERRSPACE) {
        // Scroll flag 0: the list scrolls just until the new line is fully visible.
        SendMessageA(state.listBox, LB_SETCARETINDEX, (WPARAM)index, MAKELPARAM(FALSE, 0));
        RepaintMainWindow(FALSE);
    }
    return 1;
}

int ShowDatabaseError(HWND owner, int errorNumber)
{
    char text[ERROR_TEXT_SIZE] = "";
    // The logon area answers for its cursors' errors too.
    DbErrorMessage(&programState.logonArea, errorNumber, text, (int)sizeof text);
    MessageBoxA(owner, text, "Oracle Error", MB_OK | MB_ICONWARNING);
    return 1;
}

LRESULT SpyingCommand(void)
{
    ProgramState &state = programState;
    if (state.connected == 1) {
        state.spying = SetSpying(state.spying == 0 ? 1 : 0);
    } else if (MessageBoxA(state.mainWindow,
                           "You need to connect to a database before you can see trace messages.\n"
                           "Do you want to connect now?",
                           "Confirm", MB_YESNO | MB_ICONQUESTION) == IDYES) {
        // Spying is asked for again only after a connect that did not fail or get cancelled.
        if (SendMessageA(state.mainWindow, WM_COMMAND, MAKEWPARAM(IDM_CONNECT, 0), 0) != CONNECT_NOT_MADE)
            PostMessageA(state.mainWindow, WM_COMMAND, MAKEWPARAM(IDM_SPYING, 0), 0);
    }
    RepaintMainWindow(TRUE);
    return 0;
}
