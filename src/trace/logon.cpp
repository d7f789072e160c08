// The Connect command: logs on with the command-line connect string or the Connect dialog's,
// replacing any earlier logon. Routed from the menu, posted once at start, sent by Spying.
#include "logon.h"

#include "connect_text.h"
#include "dialogs.h"
#include "program_state.h"
#include "trace_poller.h"

namespace {

// Ends the wait shown while logging on; done before any box so the user can answer it.
void EndWait(void)
{
    SetCursor(LoadCursorA(nullptr, IDC_ARROW));
    ReleaseCapture();
}

void Repaint(HWND window)
{
    InvalidateRect(window, nullptr, TRUE);
    UpdateWindow(window);
}

}

LRESULT ConnectCommand(void)
{
    if (programState.connected &&
        MessageBoxA(programState.mainWindow, "You are already connected. Do you want to re-connect?", "Confirm",
                    MB_ICONQUESTION | MB_YESNO) != IDYES)
        return 0;

    // A connect string from the command line is used as if the dialog had been confirmed.
    int proceed = programState.connectString[0] != '\0' || RunConnectDialog() == 1;
    LRESULT result = CONNECT_NOT_MADE;
    if (proceed) {
        SetCapture(programState.mainWindow);
        SetCursor(LoadCursorA(nullptr, IDC_WAIT));
        SetWindowTextA(programState.mainWindow, "Vantrel");
        programState.spying = SetSpying(0);
        // connected stays 1 here: the outcome of the new log on decides it.
        if (programState.connected) {
            CloseTraceCursor();
            DbLogOff(&programState.logonArea);
        }
        int failed = DbLogOn(&programState.logonArea, programState.hostArea, programState.connectString, -1,
                             nullptr, -1, 0);
        if (!failed)
            DeriveDisplayName(programState.connectString, programState.displayName, sizeof programState.displayName);
        // The password is not needed past the attempt: gone before any box or sound.
        SecureZeroMemory(programState.connectString, sizeof programState.connectString);
        if (failed) {
            // The old logon is already closed: nothing painted behind the box may claim otherwise.
            programState.connected = 0;
            EndWait();
            ShowDatabaseError(programState.mainWindow, programState.logonArea.returnCode);
        } else {
            programState.connected = 1;
            EndWait();
            MessageBeep(MB_ICONASTERISK);
            result = 0;
        }
    }
    // Also when the dialog was cancelled: the string is for one attempt only.
    SecureZeroMemory(programState.connectString, sizeof programState.connectString);

    Repaint(programState.listBox);
    Repaint(programState.mainWindow);
    return result;
}
