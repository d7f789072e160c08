// The main window: start-up and message loop, the window procedure that routes every command to
// the file that owns it, the subclass procedures of the trace list and the Spy button, and Exit.
#include "main_window.h"

#include "dialogs.h"
#include "list_commands.h"
#include "logon.h"
#include "program_state.h"
#include "resource.h"
#include "settings_store.h"
#include "spool_file.h"
#include "status_layout.h"
#include "trace_poller.h"

const char MAIN_WINDOW_CLASS[] = "VANTREL32";

namespace {

const char MAIN_WINDOW_TITLE[] = "Vantrel";
const char ERROR_CAPTION[] = "Error";

const DWORD LIST_STYLE = WS_CHILD | WS_VISIBLE | WS_VSCROLL | LBS_NOTIFY | LBS_NOINTEGRALHEIGHT | LBS_EXTENDEDSEL |
                         LBS_DISABLENOSCROLL;
const DWORD SPY_BUTTON_STYLE = WS_CHILD | WS_VISIBLE | BS_ICON;

// Notification codes in the high word of WM_COMMAND's wParam.
const WORD CODE_ACCELERATOR = 1;           // also LBN_SELCHANGE from the list
const WORD CODE_DOUBLE_CLICK = 2;          // LBN_DBLCLK from the list

ChildLayout ClientChildLayout(HWND window)
{
    RECT client;
    GetClientRect(window, &client);
    LayoutRect area = {(int)client.left, (int)client.top, (int)client.right, (int)client.bottom};
    return ComputeChildLayout(area, programState.statusHeight, programState.buttonSize);
}

HWND CreateChild(HWND parent, const char *className, const char *text, DWORD style, const LayoutRect &place, int id)
{
    return CreateWindowExA(0, className, text, style, place.left, place.top, place.right - place.left,
                           place.bottom - place.top, parent, (HMENU)(INT_PTR)id, programState.instance, nullptr);
}

void CreateSpyButton(HWND window, const ChildLayout &layout)
{
    programState.spyButton = CreateChild(window, "BUTTON", "&Spy", SPY_BUTTON_STYLE, layout.button, IDM_SPYING);
    if (programState.spyButton == nullptr)
        return;   // the program runs without the button
    HICON icon = LoadIconA(programState.instance, MAKEINTRESOURCEA(IDI_SPY));
    SendMessageA(programState.spyButton, BM_SETIMAGE, IMAGE_ICON, (LPARAM)icon);
    programState.spyButtonProc =
        (WNDPROC)SetWindowLongPtrA(programState.spyButton, GWLP_WNDPROC, (LONG_PTR)SpyButtonSubclassProc);
}

void CreateListFont(HWND window)
{
    programState.listFont = CreateFontA(18, 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, ANSI_CHARSET, OUT_DEFAULT_PRECIS,
                                        CLIP_DEFAULT_PRECIS, PROOF_QUALITY, FIXED_PITCH, "Courier New");
    if (programState.listFont != nullptr)
        PostMessageA(programState.listBox, WM_SETFONT, (WPARAM)programState.listFont, 0);
    else
        MessageBoxA(window, "Unable to create font, using default", "WARNING", MB_OK | MB_ICONWARNING);
}

LRESULT OnCreate(HWND window)
{
    programState.mainWindow = window;
    programState.statusHeight = 24;
    programState.buttonSize = 22;

    ChildLayout layout = ClientChildLayout(window);
    programState.listBox = CreateChild(window, "LISTBOX", "", LIST_STYLE, layout.list, 0);
    if (programState.listBox == nullptr) {
        // Creation of the main window still succeeds; the posted close ends the program.
        MessageBoxA(window, "Cannot create display window", ERROR_CAPTION, MB_OK | MB_ICONERROR);
        PostMessageA(window, WM_CLOSE, 0, 0);
        return 0;
    }
    programState.listBoxProc =
        (WNDPROC)SetWindowLongPtrA(programState.listBox, GWLP_WNDPROC, (LONG_PTR)ListSubclassProc);

    CreateSpyButton(window, layout);
    CreateListFont(window);

    programState.redBrush = CreateSolidBrush(RGB(255, 0, 0));
    programState.greenBrush = CreateSolidBrush(RGB(0, 255, 0));
    programState.yellowBrush = CreateSolidBrush(RGB(255, 255, 0));

    LoadSettings(programState.timerInterval);
    ZeroMemory(&programState.saveFileDialog, sizeof programState.saveFileDialog);

    // Posted, so the logon (or the Connect dialog) comes once the window is up and the loop runs.
    PostMessageA(window, WM_COMMAND, MAKEWPARAM(IDM_CONNECT, 0), 0);
    return 0;
}

void OnSize(HWND window)
{
    ChildLayout layout = ClientChildLayout(window);
    const struct { HWND child; LayoutRect place; } moves[] = {
        {programState.listBox, layout.list},
        {programState.spyButton, layout.button},
    };
    for (const auto &move : moves)
        SetWindowPos(move.child, nullptr, move.place.left, move.place.top, move.place.right - move.place.left,
                     move.place.bottom - move.place.top, SWP_NOZORDER | SWP_NOACTIVATE);
}

void OnActivate(WPARAM wParam)
{
    // The list keeps the focus, so the shortcuts are translated for it.
    if (LOWORD(wParam) != WA_INACTIVE)
        SetFocus(programState.listBox);
}

void OnTimer(void)
{
    // PollTrace has already set spying when it stops; this call only tidies up.
    if (PollTrace() == 0)
        SetSpying(0);
}

void OnInitMenu(HMENU menu)
{
    int selected = (int)SendMessageA(programState.listBox, LB_GETSELCOUNT, 0, 0);
    int caret = (int)SendMessageA(programState.listBox, LB_GETCARETINDEX, 0, 0);
    UINT lineCommands = selected <= 0 ? MF_GRAYED : MF_ENABLED;

    CheckMenuItem(menu, IDM_SPYING, MF_BYCOMMAND | (programState.spying == 1 ? MF_CHECKED : MF_UNCHECKED));
    CheckMenuItem(menu, IDM_SPOOLING,
                  MF_BYCOMMAND | (programState.activeSpoolFile != HFILE_ERROR ? MF_CHECKED : MF_UNCHECKED));
    EnableMenuItem(menu, IDM_COPY, MF_BYCOMMAND | lineCommands);
    EnableMenuItem(menu, IDM_DELETE, MF_BYCOMMAND | lineCommands);
    EnableMenuItem(menu, IDM_DISPLAY, MF_BYCOMMAND | (caret == -1 ? MF_GRAYED : MF_ENABLED));
}

LRESULT OnCommand(HWND window, WPARAM wParam, LPARAM lParam)
{
    WORD code = HIWORD(wParam);
    // Repainted as the command arrives, before it runs: the strip shows the state before it.
    if (code == CODE_ACCELERATOR) {
        InvalidateRect(window, nullptr, FALSE);
        UpdateWindow(window);
    }
    if (code == CODE_DOUBLE_CLICK)
        PostMessageA(window, WM_COMMAND, MAKEWPARAM(IDM_DISPLAY, 0), 0);

    switch (LOWORD(wParam)) {
    case IDM_CLEAR:    ClearCommand(); break;
    case IDM_CONNECT:  return ConnectCommand();
    case IDM_SPYING:   SpyingCommand(); break;
    case IDM_EXIT:     ExitCommand(); break;
    case IDM_SPOOLTO:  SpoolToCommand(); break;
    case IDM_SPOOLING: SpoolingCommand(); break;
    case IDM_COPY:     CopyCommand(); break;
    case IDM_DELETE:   DeleteCommand(); break;
    case IDM_ABOUT:    AboutCommand(); break;
    case IDM_OPTIONS:  OptionsCommand(); break;
    case IDM_DISPLAY:  DisplayCommand(); break;
    default:           return DefWindowProcA(window, WM_COMMAND, wParam, lParam);
    }
    return 0;
}

void DeleteBrush(HBRUSH &brush)
{
    if (brush != nullptr) {
        DeleteObject(brush);
        brush = nullptr;
    }
}

void OnDestroy(void)
{
    // Without the list, window creation stopped before the poll period was read: storing the
    // start value would overwrite the user's stored period.
    int periodWasLoaded = programState.listBox != nullptr;

    programState.spying = SetSpying(0);

    if (programState.spyButton != nullptr)
        SendMessageA(programState.spyButton, WM_CLOSE, 0, 0);
    programState.spyButton = nullptr;
    if (programState.listBox != nullptr)
        SendMessageA(programState.listBox, WM_CLOSE, 0, 0);
    programState.listBox = nullptr;

    // Only now that the list is gone is its font no longer selected anywhere.
    if (programState.listFont != nullptr) {
        DeleteObject(programState.listFont);
        programState.listFont = nullptr;
    }

    if (programState.connected == 1) {
        DbLogOff(&programState.logonArea);
        programState.connected = 0;
    }

    CloseSpoolFile(&programState.activeSpoolFile);
    CloseSpoolFile(&programState.pausedSpoolFile);

    DeleteBrush(programState.redBrush);
    DeleteBrush(programState.yellowBrush);
    DeleteBrush(programState.greenBrush);

    if (periodWasLoaded)
        SaveSettings(programState.timerInterval);

    PostQuitMessage(0);
}

}

LRESULT CALLBACK MainWndProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_CREATE:   return OnCreate(window);
    case WM_SIZE:     OnSize(window); return 0;
    case WM_ACTIVATE: OnActivate(wParam); return 0;
    case WM_PAINT:    PaintStatusStrip(window); return 0;
    case WM_TIMER:    OnTimer(); return 0;
    case WM_INITMENU: OnInitMenu((HMENU)wParam); return 0;
    case WM_COMMAND:  return OnCommand(window, wParam, lParam);
    case WM_DESTROY:  OnDestroy(); return 0;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

LRESULT CALLBACK ListSubclassProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    // Shortcuts are translated for the list, which has the focus: hand menu commands to the main window.
    if (message == WM_COMMAND &&
        GetMenuState(GetMenu(programState.mainWindow), LOWORD(wParam), MF_BYCOMMAND) != (UINT)-1)
        PostMessageA(programState.mainWindow, WM_COMMAND, wParam, lParam);
    return CallWindowProcA(programState.listBoxProc, window, message, wParam, lParam);
}

LRESULT CALLBACK SpyButtonSubclassProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    // A click leaves the focus on the button; once the pointer moves without a press, give it
    // back to the list so that the shortcuts work again.
    if (message == WM_MOUSEMOVE) {
        POINT cursor;
        GetCursorPos(&cursor);
        if (WindowFromPoint(cursor) != window || (wParam & MK_LBUTTON) == 0)
            SetFocus(programState.listBox);
    }
    return CallWindowProcA(programState.spyButtonProc, window, message, wParam, lParam);
}

LRESULT ExitCommand(void)
{
    PostMessageA(programState.mainWindow, WM_CLOSE, 0, 0);
    return 0;
}

void DispatchProgramMessage(HACCEL shortcuts, MSG *message)
{
    // The WM_COMMAND of a shortcut goes to the focused list, whose subclass forwards it.
    if (!TranslateAcceleratorA(message->hwnd, shortcuts, message)) {
        TranslateMessage(message);
        DispatchMessageA(message);
    }
}

int RegisterMainWindowClass(HINSTANCE instance)
{
    WNDCLASSEXA windowClass = {};
    windowClass.cbSize = sizeof windowClass;
    windowClass.style = CS_HREDRAW | CS_VREDRAW | CS_DBLCLKS;
    windowClass.lpfnWndProc = MainWndProc;
    windowClass.hInstance = instance;
    windowClass.hIcon = LoadIconA(instance, MAKEINTRESOURCEA(IDI_MAIN));
    windowClass.hIconSm = LoadIconA(instance, MAKEINTRESOURCEA(IDI_SMALL));
    windowClass.hCursor = LoadCursorA(nullptr, IDC_ARROW);
    // The system's own button-face brush: nothing to delete when the class goes.
    windowClass.hbrBackground = GetSysColorBrush(COLOR_BTNFACE);
    windowClass.lpszMenuName = MAKEINTRESOURCEA(IDR_MAINMENU);
    windowClass.lpszClassName = MAIN_WINDOW_CLASS;
    return RegisterClassExA(&windowClass) != 0;
}

HWND CreateMainWindow(HINSTANCE instance)
{
    return CreateWindowExA(0, MAIN_WINDOW_CLASS, MAIN_WINDOW_TITLE, WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN,
                           CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, nullptr, nullptr, instance,
                           nullptr);
}

int RunProgram(HINSTANCE instance, const char *commandLine, int showCommand)
{
    // Keeps the instance and the command line (cut to connectString's size) with the start values.
    ResetProgramState(instance, commandLine);

    // The start-up failure boxes have no owner: there is no main window yet.
    if (!RegisterMainWindowClass(instance)) {
        MessageBoxA(nullptr, "Cannot register class", ERROR_CAPTION, MB_OK | MB_ICONERROR);
        return 0;
    }
    HWND window = CreateMainWindow(instance);
    if (window == nullptr) {
        MessageBoxA(nullptr, "Cannot create window", ERROR_CAPTION, MB_OK | MB_ICONERROR);
        UnregisterClassA(MAIN_WINDOW_CLASS, instance);
        return 0;
    }
    ShowWindow(window, showCommand);
    UpdateWindow(window);

    HACCEL shortcuts = LoadAcceleratorsA(instance, MAKEINTRESOURCEA(IDR_ACCEL));
    MSG message = {};
    while (GetMessageA(&message, nullptr, 0, 0) > 0)
        DispatchProgramMessage(shortcuts, &message);

    UnregisterClassA(MAIN_WINDOW_CLASS, instance);
    return (int)message.wParam;
}
