// The trace poller: opening the trace cursor, starting and stopping the poll, one poll step,
// the Spying command and the one way database errors reach the user.
#ifndef VANTREL_TRACE_POLLER_H
#define VANTREL_TRACE_POLLER_H

#include <windows.h>

// The anonymous block run on every tick.
extern const char TRACE_BLOCK[];

int OpenTraceCursor(void);
void CloseTraceCursor(void);
int SetSpying(int on);              // returns the new value for programState.spying
int PollTrace(void);                // 1 while polling may go on, 0 once it has stopped
int ShowDatabaseError(HWND owner, int errorNumber);
LRESULT SpyingCommand(void);

#endif
