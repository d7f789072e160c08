// The Spool To and Spooling commands, routed here by the main window. The poll step writes the
// lines; this file only chooses, creates, pauses and resumes the spool file.
#include "spool_file.h"

#include <commdlg.h>

#include <cstddef>

#include "program_state.h"
#include "resource.h"

namespace {

// The dialog record is passed in its first common-dialog layout (up to lpTemplateName), so the
// same size works on every system the 32-bit program meets. OPENFILENAME_SIZE_VERSION_400A is not
// a constant expression in C++, hence the spelled-out offset.
const DWORD SAVE_DIALOG_SIZE = (DWORD)(offsetof(OPENFILENAMEA, lpTemplateName) + sizeof(LPCSTR));
#ifndef _WIN64
static_assert(offsetof(OPENFILENAMEA, lpTemplateName) + sizeof(LPCSTR) == 76,
              "the 32-bit dialog record must be 76 bytes");
#endif

// Description and pattern pairs; the literal's own terminator ends the list with an empty text.
const char SPOOL_FILTER[] = "Trace files (*.trc)\0*.trc\0"
                            "Log files (*.log)\0*.log\0"
                            "Text files (*.txt)\0*.txt\0"
                            "List files (*.lst;*.lis)\0*.lst;*.lis\0"
                            "All files (*.*)\0*.*\0";

// Only these fields are set: the rest keep what the previous run stored (the filter index
// in particular, so the type chosen last is offered first).
void FillSaveFileDialog(void)
{
    OPENFILENAMEA *dialog = &programState.saveFileDialog;
    dialog->lStructSize = SAVE_DIALOG_SIZE;
    dialog->hwndOwner = programState.mainWindow;
    dialog->lpstrFilter = SPOOL_FILTER;
    dialog->lpstrFile = programState.spoolPath;
    dialog->nMaxFile = sizeof programState.spoolPath;
    dialog->lpstrFileTitle = programState.spoolFileTitle;
    dialog->nMaxFileTitle = sizeof programState.spoolFileTitle;
    dialog->Flags = OFN_OVERWRITEPROMPT;
    dialog->lpstrTitle = "Spool To";
}

}

void CloseSpoolFile(HFILE *file)
{
    if (*file != HFILE_ERROR) {
        _lclose(*file);
        *file = HFILE_ERROR;
    }
}

LRESULT SpoolToCommand(void)
{
    if (programState.activeSpoolFile != HFILE_ERROR || programState.pausedSpoolFile != HFILE_ERROR) {
        int answer = MessageBoxA(programState.mainWindow,
                                 "Vantrel is already spooling. Do you really want to re-start spooling?",
                                 "Confirm", MB_YESNO | MB_ICONQUESTION);
        if (answer != IDYES)
            return 0;
    }

    FillSaveFileDialog();
    // Poll ticks run inside the dialog and may close the active file on a write failure,
    // so the handles are read again after it.
    if (GetSaveFileNameA(&programState.saveFileDialog)) {
        CloseSpoolFile(&programState.activeSpoolFile);
        CloseSpoolFile(&programState.pausedSpoolFile);
        // Attribute 0: a normal file, created or emptied, open for writing.
        programState.activeSpoolFile = _lcreat(programState.spoolPath, 0);
        if (programState.activeSpoolFile == HFILE_ERROR)
            MessageBoxA(programState.mainWindow, "Unable to open spool file", "Error", MB_OK | MB_ICONWARNING);
    }
    // A cancelled dialog ends a pause; its file is closed now so no handle outlives its state.
    CloseSpoolFile(&programState.pausedSpoolFile);

    InvalidateRect(programState.mainWindow, nullptr, TRUE);
    UpdateWindow(programState.mainWindow);
    return 0;
}

// No repaint: the status text is the same for both states and the menu check is set when the
// menu opens.
LRESULT SpoolingCommand(void)
{
    if (programState.activeSpoolFile == HFILE_ERROR && programState.pausedSpoolFile == HFILE_ERROR) {
        PostMessageA(programState.mainWindow, WM_COMMAND, MAKEWPARAM(IDM_SPOOLTO, 0), 0);
    } else if (programState.activeSpoolFile == HFILE_ERROR) {
        programState.activeSpoolFile = programState.pausedSpoolFile;
        programState.pausedSpoolFile = HFILE_ERROR;
    } else {
        programState.pausedSpoolFile = programState.activeSpoolFile;
        programState.activeSpoolFile = HFILE_ERROR;
    }
    return 0;
}
