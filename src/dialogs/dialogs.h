// The program's modal dialogs and the helper that centres each of them over its owner.
#ifndef VANTREL_DIALOGS_H
#define VANTREL_DIALOGS_H

#include <windows.h>

void CenterDialog(HWND window);

INT_PTR CALLBACK ConnectDlgProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
INT_PTR CALLBACK OptionsDlgProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
INT_PTR CALLBACK AboutDlgProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
INT_PTR CALLBACK DisplayDlgProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);

INT_PTR RunConnectDialog(void);               // 1 on OK, 0 on cancel
INT_PTR RunDisplayDialog(const char *text);
LRESULT OptionsCommand(void);
LRESULT AboutCommand(void);

#endif
