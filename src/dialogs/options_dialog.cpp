// The Options dialog, which edits the poll period, and the Options command that runs it.
#include "dialogs.h"

#include "program_state.h"
#include "resource.h"
#include "trace_poller.h"

namespace {

// The address of the period is kept with the dialog from WM_INITDIALOG until it ends.
void OnOptionsInit(HWND dialog, LPARAM periodAddress)
{
    SetWindowLongPtrA(dialog, DWLP_USER, periodAddress);
    CenterDialog(dialog);
    SetDlgItemInt(dialog, IDC_INTERVAL, *(UINT *)periodAddress, FALSE);
}

void OnOptionsCommand(HWND dialog, WORD id)
{
    switch (id) {
    case IDOK: {
        UINT *period = (UINT *)GetWindowLongPtrA(dialog, DWLP_USER);
        // Without a success flag, text that is not an unsigned number reads as 0.
        *period = GetDlgItemInt(dialog, IDC_INTERVAL, nullptr, FALSE);
        EndDialog(dialog, 1);
        break;
    }
    case IDCANCEL:
        EndDialog(dialog, 0);
        break;
    }
}

}

INT_PTR CALLBACK OptionsDlgProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_INITDIALOG: OnOptionsInit(dialog, lParam); return 0;
    case WM_COMMAND:    OnOptionsCommand(dialog, LOWORD(wParam)); return 1;
    case WM_CLOSE:      PostMessageA(dialog, WM_COMMAND, MAKEWPARAM(IDCANCEL, 0), 0); return 1;
    }
    return 0;
}

// The new period is used when spying next starts, so any OK stops spying; nothing is repainted,
// and the status strip shows the change at its next paint. A dialog that could not be created
// (-1) changed nothing and leaves spying alone.
LRESULT OptionsCommand(void)
{
    INT_PTR result = DialogBoxParamA(programState.instance, MAKEINTRESOURCEA(IDD_OPTIONS), programState.mainWindow,
                                     OptionsDlgProc, (LPARAM)&programState.timerInterval);
    if (result > 0)
        programState.spying = SetSpying(0);
    return 0;
}
