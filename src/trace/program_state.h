// The one program-wide state record. Every part of the program reads and writes it directly;
// the program has one thread, so nothing here is locked.
#ifndef VANTREL_PROGRAM_STATE_H
#define VANTREL_PROGRAM_STATE_H

#include <windows.h>
#include <commdlg.h>

#include "db_client.h"

const size_t MESSAGE_BUFFER_SIZE = 2001;   // longest message (2000 characters) and its terminator
const size_t CONNECT_STRING_SIZE = 256;    // bounded by displayName, which gets all but the password
const size_t DISPLAY_NAME_SIZE = 256;
const size_t SPOOL_PATH_SIZE = 1024;
const size_t SPOOL_TITLE_SIZE = 256;

const UINT_PTR TRACE_TIMER_ID = 275;
const UINT DEFAULT_TIMER_INTERVAL = 500;   // milliseconds

// indicatorState values
const int INDICATOR_OFF = 1;               // red
const int INDICATOR_WAITING = 2;           // yellow
const int INDICATOR_RECEIVED = 3;          // green

struct ProgramState {
    // Handles and windows
    HINSTANCE instance;
    HWND mainWindow;
    HWND listBox;                          // the trace list
    HWND spyButton;
    WNDPROC listBoxProc;                   // list box procedure behind ListSubclassProc
    WNDPROC spyButtonProc;                 // button procedure behind SpyButtonSubclassProc
    HFONT listFont;
    HBRUSH redBrush;
    HBRUSH greenBrush;
    HBRUSH yellowBrush;
    int statusHeight;                      // height kept free below the list for the status strip
    int buttonSize;                        // side of the Spy button and the indicator

    // Logon and polling
    int connected;
    int spying;                            // always assigned from SetSpying
    int indicatorState;                    // INDICATOR_OFF, _WAITING or _RECEIVED
    UINT timerInterval;                    // poll period in milliseconds
    UINT_PTR timerId;                      // meaningful only while spying
    char pipeName[MESSAGE_BUFFER_SIZE];    // bound as :p_nam
    short pipeIndicator;                   // stays 0: the pipe name is never sent as NULL
    char messageText[MESSAGE_BUFFER_SIZE]; // receives :retval
    short messageIndicator;                // -1 when :retval was NULL
    char connectString[CONNECT_STRING_SIZE]; // user[/password][@database] for the next logon only
    char displayName[DISPLAY_NAME_SIZE];   // last good connect string without its password
    LogonArea logonArea;
    unsigned char hostArea[HOST_AREA_SIZE];
    CursorArea cursorArea;                 // the trace cursor

    // Spooling
    HFILE activeSpoolFile;                 // HFILE_ERROR when none
    HFILE pausedSpoolFile;                 // HFILE_ERROR when none
    char spoolPath[SPOOL_PATH_SIZE];       // also the Spool To dialog's file buffer
    char spoolFileTitle[SPOOL_TITLE_SIZE];
    OPENFILENAMEA saveFileDialog;
};

extern ProgramState programState;

// Puts every field back to its value at program start (tests reuse one process for many runs).
void ResetProgramState(HINSTANCE instance, const char *commandLine);

#endif
