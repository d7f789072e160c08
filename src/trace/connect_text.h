// Texts made from a logon's parts: the connect string the Connect dialog builds and the display
// name the status strip shows. Pure functions, no windows.h; used by the dialog and the logon.
#ifndef VANTREL_CONNECT_TEXT_H
#define VANTREL_CONNECT_TEXT_H

#include <cstddef>

// Copies the connect string without its password: "u/p@db" -> "u@db". Never writes past size.
// The database follows the last "@", as the log on reads it, so "u/p@ss@db" -> "u@db" and no part
// of a password that holds "@" is shown. A text that does not fit is cut at size - 1 characters.
void DeriveDisplayName(const char *connect, char *out, size_t size);

// Builds user, then "/" and the password when there is one, then "@" and the database when there
// is one. A password holding "@" with no database gets a lone "@" after it: the log on takes the
// text after the last "@" as the database, and the end of the password must not become one.
// Returns 1; returns 0 and leaves out empty (when size allows) if the text would not fit, so a
// cut-off password or database is never tried.
int BuildConnectString(const char *user, const char *password, const char *database, char *out, size_t size);

#endif
