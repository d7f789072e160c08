// Commands that work on the trace list's lines: Clear output, Copy, Delete and Display.
#ifndef VANTREL_LIST_COMMANDS_H
#define VANTREL_LIST_COMMANDS_H

#include <windows.h>

LRESULT ClearCommand(void);
LRESULT CopyCommand(void);
LRESULT DeleteCommand(void);
LRESULT DisplayCommand(void);

#endif
