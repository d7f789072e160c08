// Reads a running Vantrel from outside, as another program would: its title, its trace list and
// the clipboard. Used by the end-to-end script.
//   vantrel_probe title | count | lines | clipboard
#include <windows.h>

#include <cstdio>
#include <cstring>
#include <vector>

namespace {

HWND FindTraceList(HWND mainWindow)
{
    for (HWND child = GetWindow(mainWindow, GW_CHILD); child != nullptr; child = GetWindow(child, GW_HWNDNEXT)) {
        char className[32] = "";
        GetClassNameA(child, className, sizeof className);
        if (lstrcmpiA(className, "ListBox") == 0)
            return child;
    }
    return nullptr;
}

// Another process's list box answers LB_GETTEXT in UTF-16 under Wine whatever the caller asked,
// so ask for wide text and convert back to the program's code page.
void PrintLine(HWND list, int index)
{
    int length = (int)SendMessageW(list, LB_GETTEXTLEN, index, 0);
    if (length < 0)
        return;
    std::vector<wchar_t> wide(length + 1);
    SendMessageW(list, LB_GETTEXT, index, (LPARAM)wide.data());
    std::vector<char> narrow(length * 2 + 1);
    int bytes = WideCharToMultiByte(CP_ACP, 0, wide.data(), length, narrow.data(), (int)narrow.size(), nullptr, nullptr);
    fwrite(narrow.data(), 1, bytes, stdout);
    fputc('\n', stdout);
}

}

int main(int argc, char **argv)
{
    const char *what = argc > 1 ? argv[1] : "lines";
    if (strcmp(what, "clipboard") == 0) {
        if (!OpenClipboard(nullptr))
            return 3;
        HANDLE data = GetClipboardData(CF_TEXT);
        const char *text = data != nullptr ? (const char *)GlobalLock(data) : nullptr;
        if (text != nullptr) {
            fwrite(text, 1, strlen(text), stdout);
            GlobalUnlock(data);
        }
        CloseClipboard();
        return text != nullptr ? 0 : 4;
    }
    HWND mainWindow = FindWindowA("VANTREL32", nullptr);
    if (mainWindow == nullptr)
        return 2;
    if (strcmp(what, "title") == 0) {
        char title[256] = "";
        GetWindowTextA(mainWindow, title, sizeof title);
        printf("%s\n", title);
        return 0;
    }
    HWND list = FindTraceList(mainWindow);
    if (list == nullptr)
        return 2;
    int count = (int)SendMessageW(list, LB_GETCOUNT, 0, 0);
    if (strcmp(what, "count") == 0) {
        printf("%d\n", count);
        return 0;
    }
    for (int i = 0; i < count; i++)
        PrintLine(list, i);
    return 0;
}
