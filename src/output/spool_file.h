// The Spool To and Spooling commands: choosing, creating, pausing and resuming the spool file.
#ifndef VANTREL_SPOOL_FILE_H
#define VANTREL_SPOOL_FILE_H

#include <windows.h>

LRESULT SpoolToCommand(void);
LRESULT SpoolingCommand(void);

#endif
