// Looks at real files from tests as another program would: their bytes and whether a handle holds them.
#ifndef VANTREL_FILE_PROBE_H
#define VANTREL_FILE_PROBE_H

#include <string>

// The file's whole contents, or "" when it cannot be opened.
std::string FileBytes(const std::string &path);

// The file's whole contents read beside any writer, or "<missing>" when it cannot be opened.
std::string FileBytesOrMissing(const std::string &path);

// True while any handle is open on the file: an exclusive open then fails with a sharing violation.
// (A closed handle's number can be reused by the next open, so the number alone proves nothing.)
bool FileIsHeldOpen(const std::string &path);

#endif
