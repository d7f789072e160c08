// Runs the whole program's main window inside a test process: the real class, window procedure,
// Connect command at start and message dispatch with the program's shortcuts.
#ifndef VANTREL_PROGRAM_WINDOW_H
#define VANTREL_PROGRAM_WINDOW_H

#include <windows.h>

#include <functional>
#include <string>
#include <vector>

// Starts the program as WinMain does with this command line, shows the window and runs the loop
// until the start-up Connect command has run (a dialog or box it opens must be answered by the
// caller's BoxAnswerer). Returns the main window, or null.
HWND StartProgramWindow(const std::string &commandLine, int showCommand = SW_SHOWNORMAL);

// Destroys the main window if it is still there, empties the queue, unregisters the class and
// resets the program state.
void EndProgramWindow(void);

// Throws away every message waiting in the thread's queue.
void DrainProgramQueue(void);

// The exit code of the last WM_QUIT the pump took (a test may reset it to (WPARAM)-1 to wait for one).
extern WPARAM programQuitCode;

// Runs the thread's messages through the program's own dispatch until the condition holds or
// the time is up; returns the condition. WM_QUIT is not dispatched, only noted in programQuitCode.
bool PumpProgramUntil(const std::function<bool()> &condition, DWORD milliseconds);
void PumpProgram(DWORD milliseconds);

// Sends a command to the main window as the menu does; returns the command's result.
LRESULT SendProgramCommand(WORD command);

// The lines of the trace list and their count (in-process, so ANSI text is exact).
std::vector<std::string> TraceListLines(void);
int TraceListCount(void);

std::string WindowTitle(HWND window);

#endif
