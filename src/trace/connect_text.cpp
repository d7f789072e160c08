// Connect string and display name texts for the Connect dialog and the Connect command.
#include "connect_text.h"

#include <cstring>

void DeriveDisplayName(const char *connect, char *out, size_t size)
{
    if (size == 0)
        return;
    // Split as the log on does: the database follows the last at sign, so a password may hold
    // one; the password runs from the first slash before that at sign up to it.
    size_t length = strlen(connect);
    size_t at = length;
    for (size_t i = length; i > 0; i--) {
        if (connect[i - 1] == '@') {
            at = i - 1;
            break;
        }
    }
    size_t slash = at;
    for (size_t i = 0; i < at; i++) {
        if (connect[i] == '/') {
            slash = i;
            break;
        }
    }
    size_t written = 0;
    for (size_t i = 0; i < length; i++) {
        if (i >= slash && i < at)
            continue;
        if (written + 1 == size)
            break;
        out[written++] = connect[i];
    }
    out[written] = '\0';
}

int BuildConnectString(const char *user, const char *password, const char *database, char *out, size_t size)
{
    size_t userLength = strlen(user);
    size_t passwordLength = strlen(password);
    size_t databaseLength = strlen(database);
    // "u/p@ss" would be read as password "p" on database "ss"; "u/p@ss@" is read as meant.
    int emptyDatabaseMark = databaseLength == 0 && memchr(password, '@', passwordLength) != nullptr;
    size_t needed = userLength + (passwordLength != 0 ? 1 + passwordLength : 0) +
                    (databaseLength != 0 ? 1 + databaseLength : 0) + (size_t)emptyDatabaseMark + 1;
    if (needed > size) {
        if (size != 0)
            out[0] = '\0';
        return 0;
    }
    char *next = out;
    memcpy(next, user, userLength);
    next += userLength;
    if (passwordLength != 0) {
        *next++ = '/';
        memcpy(next, password, passwordLength);
        next += passwordLength;
    }
    if (databaseLength != 0) {
        *next++ = '@';
        memcpy(next, database, databaseLength);
        next += databaseLength;
    }
    if (emptyDatabaseMark)
        *next++ = '@';
    *next = '\0';
    return 1;
}
