// Definition of the program-wide state record and its start values.
#include "program_state.h"

#include <cstring>

ProgramState programState;

void ResetProgramState(HINSTANCE instance, const char *commandLine)
{
    ZeroMemory(&programState, sizeof programState);
    programState.instance = instance;
    programState.statusHeight = 24;
    programState.buttonSize = 22;
    programState.indicatorState = INDICATOR_OFF;
    programState.timerInterval = DEFAULT_TIMER_INTERVAL;
    lstrcpynA(programState.pipeName, "VANTREL", sizeof programState.pipeName);
    // A longer command line is cut to the buffer rather than written past it.
    if (commandLine != nullptr)
        lstrcpynA(programState.connectString, commandLine, sizeof programState.connectString);
    programState.activeSpoolFile = HFILE_ERROR;
    programState.pausedSpoolFile = HFILE_ERROR;
}
