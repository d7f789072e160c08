// The Connect command: logs on with the command-line connect string or the Connect dialog's.
#ifndef VANTREL_LOGON_H
#define VANTREL_LOGON_H

#include <windows.h>

const LRESULT CONNECT_NOT_MADE = 2;  // result when the dialog was cancelled or log on failed

LRESULT ConnectCommand(void);

#endif
