// Stand-in main window for tests of single parts.
#include "test_window.h"

#include <gtest/gtest.h>

#include "db_client.h"
#include "program_state.h"
#include "spool_file.h"
#include "test_env.h"

namespace {

LRESULT CALLBACK TestOwnerProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    return DefWindowProcA(window, message, wParam, lParam);
}

const char TEST_OWNER_CLASS[] = "VantrelTestOwner";

}

void CreateTestWindows(bool visible)
{
    HINSTANCE instance = GetModuleHandleA(nullptr);
    WNDCLASSA windowClass = {};
    windowClass.lpfnWndProc = TestOwnerProc;
    windowClass.hInstance = instance;
    windowClass.lpszClassName = TEST_OWNER_CLASS;
    windowClass.hbrBackground = (HBRUSH)(COLOR_BTNFACE + 1);
    RegisterClassA(&windowClass);   // fails harmlessly when already registered

    ResetProgramState(instance, "");
    programState.mainWindow = CreateWindowExA(0, TEST_OWNER_CLASS, "Vantrel", WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN,
                                              100, 100, 640, 480, nullptr, nullptr, instance, nullptr);
    programState.listBox = CreateWindowExA(0, "LISTBOX", "",
                                           WS_CHILD | WS_VISIBLE | WS_VSCROLL | LBS_NOTIFY | LBS_NOINTEGRALHEIGHT |
                                               LBS_EXTENDEDSEL | LBS_DISABLENOSCROLL,
                                           2, 2, 636, 400, programState.mainWindow, nullptr, instance, nullptr);
    if (visible)
        ShowWindow(programState.mainWindow, SW_SHOW);
}

void DestroyTestWindows(void)
{
    if (programState.timerId != 0 && programState.mainWindow != nullptr)
        KillTimer(programState.mainWindow, programState.timerId);
    if (programState.connected) {
        DbCloseCursor(&programState.cursorArea);
        DbLogOff(&programState.logonArea);
    }
    CloseSpoolFile(&programState.activeSpoolFile);
    CloseSpoolFile(&programState.pausedSpoolFile);
    if (programState.mainWindow != nullptr)
        DestroyWindow(programState.mainWindow);
    ResetProgramState(GetModuleHandleA(nullptr), "");
}

void LogOnTestWindows(const std::string &pipe)
{
    std::string connect = TestConnectString();
    ASSERT_EQ(DbLogOn(&programState.logonArea, programState.hostArea, connect.c_str(), -1, nullptr, -1, 0), 0)
        << "log on failed with " << programState.logonArea.returnCode;
    programState.connected = 1;
    lstrcpynA(programState.pipeName, pipe.c_str(), sizeof programState.pipeName);
}
