// The real clipboard read and filled for tests.
#include "clipboard_probe.h"

#include <windows.h>

#include <cstring>

std::string ClipboardText(void)
{
    if (!OpenClipboard(nullptr))
        return "<cannot open>";
    std::string text = "<no text>";
    HANDLE data = GetClipboardData(CF_TEXT);
    const char *locked = data != nullptr ? (const char *)GlobalLock(data) : nullptr;
    if (locked != nullptr) {
        text.assign(locked);
        GlobalUnlock(data);
    }
    CloseClipboard();
    return text;
}

bool PutClipboardText(const std::string &text)
{
    if (!OpenClipboard(nullptr))
        return false;
    EmptyClipboard();
    HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE, text.size() + 1);
    memcpy(GlobalLock(block), text.c_str(), text.size() + 1);
    GlobalUnlock(block);
    SetClipboardData(CF_TEXT, block);
    CloseClipboard();
    return true;
}
