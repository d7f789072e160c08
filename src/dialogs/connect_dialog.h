// The Connect dialog's field buffers. The Connect command runs the dialog through
// RunConnectDialog; RunConnectDialogWith lets a caller hand in the buffers and look at them after.
#ifndef VANTREL_CONNECT_DIALOG_H
#define VANTREL_CONNECT_DIALOG_H

#include <windows.h>

const size_t CONNECT_FIELD_SIZE = 64;   // each field: at most 63 characters and the terminator

struct ConnectFields {
    char user[CONNECT_FIELD_SIZE];
    char password[CONNECT_FIELD_SIZE];  // wiped as soon as the connect string is built
    char database[CONNECT_FIELD_SIZE];  // with ODBC: the data source name
    char pipe[CONNECT_FIELD_SIZE];
};

// Runs dialog 101 modally, owned by the main window, over the given buffers; 1 on OK, 0 on cancel.
INT_PTR RunConnectDialogWith(ConnectFields *fields);

#endif
