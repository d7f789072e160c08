// A stand-in owner window with a real trace list, for tests of parts that need programState's
// mainWindow and listBox without running the whole main window.
#ifndef VANTREL_TEST_WINDOW_H
#define VANTREL_TEST_WINDOW_H

#include <windows.h>

#include <string>

// Resets programState, creates a top-level window and a list box with the trace list's styles,
// and stores both in programState. The window is hidden unless visible is true.
void CreateTestWindows(bool visible = false);

// Logs programState on with the test connect string and names the pipe to read; a failed log on
// is a fatal test failure (callers wrap it in ASSERT_NO_FATAL_FAILURE).
void LogOnTestWindows(const std::string &pipe);

// Logs off if connected, closes spool files, destroys the windows and resets programState.
void DestroyTestWindows(void);

#endif
