// The program's main window run by a test, as WinMain would run it.
#include "program_window.h"

#include "main_window.h"
#include "program_state.h"
#include "resource.h"

namespace {

HINSTANCE Instance(void)
{
    return GetModuleHandleA(nullptr);
}

}

WPARAM programQuitCode = (WPARAM)-1;

void DrainProgramQueue(void)
{
    MSG message;
    while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
    }
}

bool PumpProgramUntil(const std::function<bool()> &condition, DWORD milliseconds)
{
    HACCEL shortcuts = LoadAcceleratorsA(Instance(), MAKEINTRESOURCEA(IDR_ACCEL));
    DWORD start = GetTickCount();
    for (;;) {
        MSG message;
        while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
            if (message.message == WM_QUIT) {
                programQuitCode = message.wParam;   // the destroy handler's quit: the test goes on
                continue;
            }
            DispatchProgramMessage(shortcuts, &message);
        }
        if (condition())
            return true;
        if (GetTickCount() - start >= milliseconds)
            return false;
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 5, QS_ALLINPUT);
    }
}

void PumpProgram(DWORD milliseconds)
{
    PumpProgramUntil([] { return false; }, milliseconds);
}

HWND StartProgramWindow(const std::string &commandLine, int showCommand)
{
    DrainProgramQueue();
    ResetProgramState(Instance(), commandLine.c_str());
    if (!RegisterMainWindowClass(Instance()))
        return nullptr;
    HWND window = CreateMainWindow(Instance());
    if (window == nullptr)
        return nullptr;
    ShowWindow(window, showCommand);
    UpdateWindow(window);
    // The Connect command posted at creation has run once the connect string is used up.
    PumpProgramUntil([] { return programState.connectString[0] == '\0'; }, 15000);
    PumpProgram(50);
    return window;
}

void EndProgramWindow(void)
{
    if (programState.mainWindow != nullptr && IsWindow(programState.mainWindow))
        DestroyWindow(programState.mainWindow);
    DrainProgramQueue();
    UnregisterClassA(MAIN_WINDOW_CLASS, Instance());
    ResetProgramState(Instance(), "");
}

LRESULT SendProgramCommand(WORD command)
{
    return SendMessageA(programState.mainWindow, WM_COMMAND, MAKEWPARAM(command, 0), 0);
}

int TraceListCount(void)
{
    return (int)SendMessageA(programState.listBox, LB_GETCOUNT, 0, 0);
}

std::vector<std::string> TraceListLines(void)
{
    std::vector<std::string> lines;
    int count = TraceListCount();
    for (int i = 0; i < count; i++) {
        int length = (int)SendMessageA(programState.listBox, LB_GETTEXTLEN, i, 0);
        std::string line(length + 1, '\0');
        SendMessageA(programState.listBox, LB_GETTEXT, i, (LPARAM)&line[0]);
        line.resize(length);
        lines.push_back(line);
    }
    return lines;
}

std::string WindowTitle(HWND window)
{
    char title[256] = "";
    GetWindowTextA(window, title, sizeof title);
    return title;
}
