// The main window: class registration, its procedure and the subclass procedures of its children.
#ifndef VANTREL_MAIN_WINDOW_H
#define VANTREL_MAIN_WINDOW_H

#include <windows.h>

extern const char MAIN_WINDOW_CLASS[];   // "VANTREL32"

LRESULT CALLBACK MainWndProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
LRESULT CALLBACK ListSubclassProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
LRESULT CALLBACK SpyButtonSubclassProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

#endif
