// Reads and fills the real clipboard from tests, through the clipboard's own calls, as any other
// program would.
#ifndef VANTREL_CLIPBOARD_PROBE_H
#define VANTREL_CLIPBOARD_PROBE_H

#include <string>

// The CF_TEXT on the clipboard, "<no text>" when there is none, "<cannot open>" when it is busy.
std::string ClipboardText(void);

// Replaces the clipboard's contents with the text as CF_TEXT; false when it cannot be opened.
bool PutClipboardText(const std::string &text);

#endif
