// The Display dialog: one trace line in full in a scrolling read-only field. Run by the
// Display command of the trace list.
#include "dialogs.h"

#include "program_state.h"
#include "resource.h"

INT_PTR CALLBACK DisplayDlgProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_INITDIALOG:
        CenterDialog(dialog);
        SetDlgItemTextA(dialog, IDC_MESSAGE, (const char *)lParam);
        return 0;
    case WM_COMMAND:
        if (LOWORD(wParam) == IDCANCEL)
            EndDialog(dialog, 0);
        return 1;
    case WM_CLOSE:
        PostMessageA(dialog, WM_COMMAND, MAKEWPARAM(IDCANCEL, 0), 0);
        return 1;
    }
    return 0;
}

INT_PTR RunDisplayDialog(const char *text)
{
    return DialogBoxParamA(programState.instance, MAKEINTRESOURCEA(IDD_DISPLAY), programState.mainWindow,
                           DisplayDlgProc, (LPARAM)text);
}
