// The main window: class registration, its procedure and the subclass procedures of its children.
#ifndef VANTREL_MAIN_WINDOW_H
#define VANTREL_MAIN_WINDOW_H

#include <windows.h>

extern const char MAIN_WINDOW_CLASS[];   // "VANTREL32"

LRESULT CALLBACK MainWndProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
LRESULT CALLBACK ListSubclassProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
LRESULT CALLBACK SpyButtonSubclassProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

// Everything WinMain does, from keeping the command line to the end of the message loop; returns
// the exit code. In the library so that tests can run the program in their own process.
int RunProgram(HINSTANCE instance, const char *commandLine, int showCommand);

// One turn of the message loop: shortcuts are translated for the window the message is addressed
// to (normally the focused trace list), anything else is dispatched as usual.
void DispatchProgramMessage(HACCEL shortcuts, MSG *message);

int RegisterMainWindowClass(HINSTANCE instance);   // 1 when registered
HWND CreateMainWindow(HINSTANCE instance);         // null on failure

// The Exit command: closes the main window, which ends the program through its destroy handler.
LRESULT ExitCommand(void);

// WM_PAINT of the main window: the sunken frame around the list and the status strip.
void PaintStatusStrip(HWND window);

#endif
