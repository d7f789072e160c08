// The About dialog with the machine's memory figures, and the About command that runs it.
#include "dialogs.h"

#include <cstdio>

#include "program_state.h"
#include "resource.h"

namespace {

// "available/total" in KiB, remainder dropped. The 64-bit build's counts exceed 32 bits (the
// virtual total is 128 TiB), so the whole count is shifted and formatted at full width; for the
// 32-bit build's counts this gives the same text as "%lu/%lu".
void SetMemoryLabel(HWND dialog, int labelId, SIZE_T available, SIZE_T total)
{
    char text[64];
    snprintf(text, sizeof text, "%llu/%llu", (unsigned long long)(available >> 10),
             (unsigned long long)(total >> 10));
    SetDlgItemTextA(dialog, labelId, text);
}

void OnAboutInit(HWND dialog)
{
    CenterDialog(dialog);
    SetDlgItemTextA(dialog, IDC_VERSION, "32-bit Version");
    MEMORYSTATUS status = {};
    status.dwLength = sizeof status;
    GlobalMemoryStatus(&status);
    SetMemoryLabel(dialog, IDC_PHYSICAL, status.dwAvailPhys, status.dwTotalPhys);
    SetMemoryLabel(dialog, IDC_PAGED, status.dwAvailPageFile, status.dwTotalPageFile);
    SetMemoryLabel(dialog, IDC_VIRTUAL, status.dwAvailVirtual, status.dwTotalVirtual);
}

}

INT_PTR CALLBACK AboutDlgProc(HWND dialog, UINT message, WPARAM wParam, LPARAM)
{
    switch (message) {
    case WM_INITDIALOG:
        OnAboutInit(dialog);
        return 0;
    case WM_COMMAND:
        if (LOWORD(wParam) == IDOK || LOWORD(wParam) == IDCANCEL)
            PostMessageA(dialog, WM_CLOSE, 0, 0);
        return 1;
    case WM_CLOSE:
        EndDialog(dialog, 0);
        return 1;
    }
    return 0;
}

LRESULT AboutCommand(void)
{
    DialogBoxParamA(programState.instance, MAKEINTRESOURCEA(IDD_ABOUT), programState.mainWindow, AboutDlgProc, 0);
    return 0;
}
