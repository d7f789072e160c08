// The Spool To and Spooling commands: choosing, creating, pausing and resuming the spool file.
#ifndef VANTREL_SPOOL_FILE_H
#define VANTREL_SPOOL_FILE_H

#include <windows.h>

LRESULT SpoolToCommand(void);
// Closes a spool file handle if it is open and marks it none.
void CloseSpoolFile(HFILE *file);
LRESULT SpoolingCommand(void);

#endif
