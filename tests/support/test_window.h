// A stand-in owner window with a real trace list, for tests of parts that need programState's
// mainWindow and listBox without running the whole main window.
#ifndef VANTREL_TEST_WINDOW_H
#define VANTREL_TEST_WINDOW_H

#include <windows.h>

// Resets programState, creates a top-level window and a list box with the trace list's styles,
// and stores both in programState. The window is hidden unless visible is true.
void CreateTestWindows(bool visible = false);

// Logs off if connected, closes spool files, destroys the windows and resets programState.
void DestroyTestWindows(void);

#endif
