// Reads a running Vantrel from outside, as another program would: its title, its trace list and
// the clipboard. Used by the end-to-end script.
//   vantrel_probe title | count | lines | clipboard
//   vantrel_probe dialog CAPTION              prints "open" when a dialog with that caption is up
//   vantrel_probe dialog-text CAPTION ID      prints a control's text
//   vantrel_probe dialog-set CAPTION ID TEXT  sets a control's text
#include <windows.h>

#include <fcntl.h>
#include <io.h>

#include <cstdio>
#include <cstdlib>
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
    // Bytes exactly as read: no CR added before each line feed.
    _setmode(_fileno(stdout), _O_BINARY);
    if (strncmp(what, "dialog", 6) == 0) {
        if (argc < 3)
            return 2;
        HWND dialog = FindWindowA("#32770", argv[2]);
        if (dialog == nullptr)
            return 1;
        if (strcmp(what, "dialog") == 0) {
            printf("open\n");
            return 0;
        }
        if (argc < 4)
            return 2;
        HWND control = GetDlgItem(dialog, atoi(argv[3]));
        if (control == nullptr)
            return 1;
        if (strcmp(what, "dialog-set") == 0)
            return SendMessageA(control, WM_SETTEXT, 0, (LPARAM)(argc > 4 ? argv[4] : "")) ? 0 : 1;
        char text[4096] = "";
        SendMessageA(control, WM_GETTEXT, sizeof text, (LPARAM)text);
        printf("%s\n", text);
        return 0;
    }
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
