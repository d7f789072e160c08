// The main window on a real Wine display: start-up and its failure boxes, layout, menu states,
// shortcuts and mouse input reaching their commands, polling through the timer, and teardown.
#include <windows.h>

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "box_answerer.h"
#include "clipboard_probe.h"
#include "file_probe.h"
#include "main_window.h"
#include "program_state.h"
#include "program_window.h"
#include "resource.h"
#include "settings_probe.h"
#include "test_db.h"
#include "test_env.h"

namespace {


HINSTANCE Instance(void)
{
    return GetModuleHandleA(nullptr);
}

// Every WM_COMMAND taken from the queue for the main window, in order (posted commands only:
// the forwarded shortcuts, the double click's Display and the start-up Connect).
std::vector<WPARAM> postedCommands;
HHOOK commandHook = nullptr;

LRESULT CALLBACK RecordPostedCommand(int code, WPARAM wParam, LPARAM lParam)
{
    const MSG *message = (const MSG *)lParam;
    if (code == HC_ACTION && wParam == PM_REMOVE && message->message == WM_COMMAND &&
        message->hwnd == programState.mainWindow && message->hwnd != nullptr)
        postedCommands.push_back(message->wParam);
    return CallNextHookEx(commandHook, code, wParam, lParam);
}

// Line count of the trace list at each WM_PAINT of the main window: what the strip showed.
std::vector<int> paintedCounts;
HHOOK paintHook = nullptr;

LRESULT CALLBACK RecordPaint(int code, WPARAM wParam, LPARAM lParam)
{
    const CWPSTRUCT *call = (const CWPSTRUCT *)lParam;
    if (code == HC_ACTION && call->message == WM_PAINT && call->hwnd == programState.mainWindow)
        paintedCounts.push_back((int)SendMessageA(programState.listBox, LB_GETCOUNT, 0, 0));
    return CallNextHookEx(paintHook, code, wParam, lParam);
}

// Real key input: presses the keys in order and releases them in reverse.
void PressKeys(std::initializer_list<WORD> keys)
{
    std::vector<INPUT> inputs;
    for (WORD key : keys) {
        INPUT input = {};
        input.type = INPUT_KEYBOARD;
        input.ki.wVk = key;
        inputs.push_back(input);
    }
    for (auto it = keys.end(); it != keys.begin();) {
        INPUT input = {};
        input.type = INPUT_KEYBOARD;
        input.ki.wVk = *--it;
        input.ki.dwFlags = KEYEVENTF_KEYUP;
        inputs.push_back(input);
    }
    SendInput((UINT)inputs.size(), inputs.data(), sizeof(INPUT));
}

// Real mouse input at a point in screen coordinates.
void MouseAt(POINT screen, std::initializer_list<DWORD> buttonFlags)
{
    SetCursorPos(screen.x, screen.y);
    std::vector<INPUT> inputs;
    for (DWORD flags : buttonFlags) {
        INPUT input = {};
        input.type = INPUT_MOUSE;
        input.mi.dwFlags = flags;
        inputs.push_back(input);
    }
    if (!inputs.empty())
        SendInput((UINT)inputs.size(), inputs.data(), sizeof(INPUT));
}

RECT ChildRectInParent(HWND child)
{
    RECT rect;
    GetWindowRect(child, &rect);
    MapWindowPoints(nullptr, GetParent(child), (POINT *)&rect, 2);
    return rect;
}

std::string TempFilePath(const char *name)
{
    char folder[MAX_PATH] = "";
    GetTempPathA(sizeof folder, folder);
    return std::string(folder) + name;
}

// True when nothing else holds the file open: an exclusive open succeeds only then.
bool FileIsClosedEverywhere(const std::string &path)
{
    HANDLE file = CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    CloseHandle(file);
    return true;
}

// Makes window creation of one class fail, through the platform's own veto (a CBT hook).
class CreationVeto {
public:
    explicit CreationVeto(const char *className)
    {
        vetoedClass_ = className;
        hook_ = SetWindowsHookExA(WH_CBT, Proc, nullptr, GetCurrentThreadId());
    }
    ~CreationVeto()
    {
        UnhookWindowsHookEx(hook_);
        hook_ = nullptr;
    }

private:
    static LRESULT CALLBACK Proc(int code, WPARAM wParam, LPARAM lParam)
    {
        if (code == HCBT_CREATEWND) {
            char className[64] = "";
            GetClassNameA((HWND)wParam, className, sizeof className);
            if (lstrcmpiA(className, vetoedClass_) == 0)
                return 1;
        }
        return CallNextHookEx(hook_, code, wParam, lParam);
    }
    static inline const char *vetoedClass_ = nullptr;
    static inline HHOOK hook_ = nullptr;
};

class MainWindowTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        DrainProgramQueue();
        postedCommands.clear();
        commandHook = SetWindowsHookExA(WH_GETMESSAGE, RecordPostedCommand, nullptr, GetCurrentThreadId());
    }

    void TearDown() override
    {
        if (window_ != nullptr && IsWindow(window_))
            DestroyWindow(window_);
        UnhookWindowsHookEx(commandHook);
        commandHook = nullptr;
        DrainProgramQueue();
        UnregisterClassA(MAIN_WINDOW_CLASS, Instance());
        ResetProgramState(Instance(), "");
    }

    // Creates and shows the main window as the program does. Without a connect string the
    // window's own Connect command opens the Connect dialog, which is cancelled.
    void OpenMainWindow(const std::string &connectString = "")
    {
        ResetProgramState(Instance(), connectString.c_str());
        ASSERT_TRUE(RegisterMainWindowClass(Instance()));
        if (connectString.empty())
            answerer_.Answer(IDCANCEL);
        window_ = CreateMainWindow(Instance());
        ASSERT_NE(window_, nullptr);
        ShowWindow(window_, SW_SHOWNORMAL);
        UpdateWindow(window_);
        ASSERT_TRUE(PumpProgramUntil([] { return !postedCommands.empty(); }, 5000)) << "no Connect command";
        EXPECT_EQ(postedCommands.front(), MAKEWPARAM(IDM_CONNECT, 0));
        PumpProgram(50);
        answerer_.Clear();
        postedCommands.clear();
    }

    void AddLines(std::initializer_list<const char *> lines)
    {
        for (const char *line : lines)
            SendMessageA(programState.listBox, LB_ADDSTRING, 0, (LPARAM)line);
    }

    bool MakeForeground(void)
    {
        SetForegroundWindow(window_);
        return PumpProgramUntil([&] { return GetForegroundWindow() == window_ && GetFocus() == programState.listBox; },
                                2000);
    }

    HWND window_ = nullptr;
    BoxAnswerer answerer_;
};

}

TEST_F(MainWindowTest, WindowChildrenAndClassAreBuiltAsTheProgramNeedsThem)
{
    OpenMainWindow();
    WNDCLASSEXA info = {};
    info.cbSize = sizeof info;
    ASSERT_TRUE(GetClassInfoExA(Instance(), "VANTREL32", &info));
    EXPECT_EQ(info.style, (UINT)(CS_HREDRAW | CS_VREDRAW | CS_DBLCLKS));
    EXPECT_EQ(info.lpfnWndProc, MainWndProc);
    EXPECT_EQ(info.cbClsExtra, 0);
    EXPECT_EQ(info.cbWndExtra, 0);
    EXPECT_NE(info.hIcon, nullptr);
    EXPECT_NE(info.hIconSm, nullptr);
    EXPECT_EQ(info.hCursor, LoadCursorA(nullptr, IDC_ARROW));

    EXPECT_EQ(WindowTitle(window_), "Vantrel");
    LONG style = GetWindowLongA(window_, GWL_STYLE);
    EXPECT_EQ(style & (WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN), WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN);
    EXPECT_EQ(GetWindowLongA(window_, GWL_EXSTYLE) & ~(WS_EX_WINDOWEDGE), 0);
    ASSERT_NE(GetMenu(window_), nullptr);
    EXPECT_NE(GetMenuState(GetMenu(window_), IDM_EXIT, MF_BYCOMMAND), (UINT)-1);

    HWND list = programState.listBox;
    char className[32] = "";
    GetClassNameA(list, className, sizeof className);
    EXPECT_STREQ(className, "ListBox");
    const LONG listStyle = WS_CHILD | WS_VISIBLE | WS_VSCROLL | LBS_NOTIFY | LBS_NOINTEGRALHEIGHT | LBS_EXTENDEDSEL |
                           LBS_DISABLENOSCROLL;
    EXPECT_EQ(GetWindowLongA(list, GWL_STYLE) & (listStyle | LBS_SORT | WS_BORDER), listStyle);
    EXPECT_EQ(GetDlgCtrlID(list), 0);
    EXPECT_EQ((WNDPROC)GetWindowLongPtrA(list, GWLP_WNDPROC), ListSubclassProc);

    HWND button = programState.spyButton;
    ASSERT_NE(button, nullptr);
    EXPECT_EQ(GetDlgCtrlID(button), IDM_SPYING);
    EXPECT_EQ(WindowTitle(button), "&Spy");
    EXPECT_EQ(GetWindowLongA(button, GWL_STYLE) & (WS_CHILD | WS_VISIBLE | BS_ICON), WS_CHILD | WS_VISIBLE | BS_ICON);
    EXPECT_NE(SendMessageA(button, BM_GETIMAGE, IMAGE_ICON, 0), 0);
    EXPECT_EQ((WNDPROC)GetWindowLongPtrA(button, GWLP_WNDPROC), SpyButtonSubclassProc);

    // The list font arrives by a posted WM_SETFONT, already handled by the pump.
    HFONT font = (HFONT)SendMessageA(list, WM_GETFONT, 0, 0);
    ASSERT_NE(font, nullptr);
    EXPECT_EQ(font, programState.listFont);
    LOGFONTA logFont = {};
    GetObjectA(font, sizeof logFont, &logFont);
    EXPECT_STREQ(logFont.lfFaceName, "Courier New");
    EXPECT_EQ(logFont.lfHeight, 18);
    EXPECT_EQ(logFont.lfPitchAndFamily & 3, FIXED_PITCH);

    // Start values read at creation.
    EXPECT_NE(programState.redBrush, nullptr);
    EXPECT_NE(programState.greenBrush, nullptr);
    EXPECT_NE(programState.yellowBrush, nullptr);
    EXPECT_EQ(programState.statusHeight, 24);
    EXPECT_EQ(programState.buttonSize, 22);
    EXPECT_EQ(programState.mainWindow, window_);
    // On activation the focus goes to the list, not the main window.
    EXPECT_TRUE(MakeForeground());
}

TEST_F(MainWindowTest, ResizingKeepsListMarginsAndButtonInTheCorner)
{
    OpenMainWindow();
    const SIZE sizes[] = {{640, 480}, {333, 217}, {1000, 700}, {180, 140}};
    for (SIZE size : sizes) {
        SetWindowPos(window_, nullptr, 0, 0, size.cx, size.cy, SWP_NOMOVE | SWP_NOZORDER);
        PumpProgram(20);
        RECT client;
        GetClientRect(window_, &client);
        SCOPED_TRACE("client " + std::to_string(client.right) + "x" + std::to_string(client.bottom));
        RECT list = ChildRectInParent(programState.listBox);
        EXPECT_EQ(list.left, 2);
        EXPECT_EQ(list.top, 2);
        EXPECT_EQ(list.right, client.right - 2);
        EXPECT_EQ(client.bottom - list.bottom, 26);
        RECT button = ChildRectInParent(programState.spyButton);
        EXPECT_EQ(button.left, client.right - 22);
        EXPECT_EQ(button.top, client.bottom - 22);
        EXPECT_EQ(button.right, client.right);
        EXPECT_EQ(button.bottom, client.bottom);
    }
    // The list stays first among the children: the resize does not change the z-order.
    EXPECT_EQ(GetWindow(window_, GW_CHILD), programState.listBox);
}

TEST_F(MainWindowTest, MenuChecksAndGreysFollowTheStateWhenTheMenuOpens)
{
    OpenMainWindow();
    HMENU menu = GetMenu(window_);
    std::string activePath = TempFilePath("vantrel_menu_active.txt");
    std::string pausedPath = TempFilePath("vantrel_menu_paused.txt");

    auto checked = [&](UINT id) { return (GetMenuState(menu, id, MF_BYCOMMAND) & MF_CHECKED) != 0; };
    auto grey = [&](UINT id) { return (GetMenuState(menu, id, MF_BYCOMMAND) & MF_GRAYED) != 0; };

    // Empty list: nothing selected and no caret line.
    SendMessageA(window_, WM_INITMENU, (WPARAM)menu, 0);
    EXPECT_FALSE(checked(IDM_SPYING));
    EXPECT_FALSE(checked(IDM_SPOOLING));
    EXPECT_TRUE(grey(IDM_COPY));
    EXPECT_TRUE(grey(IDM_DELETE));
    int emptyCaret = (int)SendMessageA(programState.listBox, LB_GETCARETINDEX, 0, 0);
    EXPECT_EQ(grey(IDM_DISPLAY), emptyCaret == -1) << "caret of the empty list: " << emptyCaret;

    // Lines without a selection: Copy and Delete stay grey, Display follows the caret.
    AddLines({"one", "two", "three"});
    SendMessageA(programState.listBox, LB_SETCARETINDEX, 1, 0);
    SendMessageA(window_, WM_INITMENU, (WPARAM)menu, 0);
    EXPECT_TRUE(grey(IDM_COPY));
    EXPECT_TRUE(grey(IDM_DELETE));
    EXPECT_FALSE(grey(IDM_DISPLAY));

    // A selection enables them; spying and an active spool file are checked.
    SendMessageA(programState.listBox, LB_SETSEL, TRUE, 2);
    programState.spying = 1;
    programState.activeSpoolFile = _lcreat(activePath.c_str(), 0);
    ASSERT_NE(programState.activeSpoolFile, HFILE_ERROR);
    SendMessageA(window_, WM_INITMENU, (WPARAM)menu, 0);
    EXPECT_TRUE(checked(IDM_SPYING));
    EXPECT_TRUE(checked(IDM_SPOOLING));
    EXPECT_FALSE(grey(IDM_COPY));
    EXPECT_FALSE(grey(IDM_DELETE));
    EXPECT_FALSE(grey(IDM_DISPLAY));

    // A paused spool file shows unchecked; spying off unchecks; deselecting greys again.
    _lclose(programState.activeSpoolFile);
    programState.activeSpoolFile = HFILE_ERROR;
    programState.pausedSpoolFile = _lcreat(pausedPath.c_str(), 0);
    ASSERT_NE(programState.pausedSpoolFile, HFILE_ERROR);
    programState.spying = 0;
    SendMessageA(programState.listBox, LB_SETSEL, FALSE, -1);
    SendMessageA(window_, WM_INITMENU, (WPARAM)menu, 0);
    EXPECT_FALSE(checked(IDM_SPYING));
    EXPECT_FALSE(checked(IDM_SPOOLING));
    EXPECT_TRUE(grey(IDM_COPY));
    EXPECT_TRUE(grey(IDM_DELETE));

    _lclose(programState.pausedSpoolFile);
    programState.pausedSpoolFile = HFILE_ERROR;
    DeleteFileA(activePath.c_str());
    DeleteFileA(pausedPath.c_str());
}

TEST_F(MainWindowTest, ShortcutsTypedIntoTheListArriveAsTheirCommands)
{
    OpenMainWindow();
    AddLines({"alpha", "beta", "gamma", "delta"});
    ASSERT_TRUE(MakeForeground());

    struct Shortcut {
        const char *name;
        std::initializer_list<WORD> keys;
        WORD command;
        int answer;              // button for the box or dialog the command opens; 0 = none
        const char *caption;     // caption of that box or dialog
    } shortcuts[] = {
        {"Ctrl+C", {VK_CONTROL, 'C'}, IDM_COPY, 0, nullptr},
        {"Ctrl+Insert", {VK_CONTROL, VK_INSERT}, IDM_COPY, 0, nullptr},
        {"Ctrl+D", {VK_CONTROL, 'D'}, IDM_DISPLAY, IDCANCEL, "Display"},
        {"Enter", {VK_RETURN}, IDM_DISPLAY, IDCANCEL, "Display"},
        {"Ctrl+S", {VK_CONTROL, 'S'}, IDM_SPYING, IDNO, "Confirm"},
        {"Delete", {VK_DELETE}, IDM_DELETE, 0, nullptr},
    };
    // Select "beta" with the caret on it.
    SendMessageA(programState.listBox, LB_SETSEL, TRUE, 1);
    SendMessageA(programState.listBox, LB_SETCARETINDEX, 1, 0);
    paintHook = SetWindowsHookExA(WH_CALLWNDPROC, RecordPaint, nullptr, GetCurrentThreadId());
    for (const Shortcut &shortcut : shortcuts) {
        SCOPED_TRACE(shortcut.name);
        ASSERT_TRUE(MakeForeground());
        PumpProgram(50);
        postedCommands.clear();
        paintedCounts.clear();
        int countBefore = (int)SendMessageA(programState.listBox, LB_GETCOUNT, 0, 0);
        answerer_.Clear();
        if (shortcut.answer != 0)
            answerer_.Answer(shortcut.answer);
        PressKeys(shortcut.keys);
        // Accelerators carry notification code 1; the list forwards the command unchanged.
        WPARAM expected = MAKEWPARAM(shortcut.command, 1);
        EXPECT_TRUE(PumpProgramUntil([&] { return !postedCommands.empty(); }, 3000));
        PumpProgram(100);
        ASSERT_EQ(postedCommands.size(), 1u);
        EXPECT_EQ(postedCommands[0], expected);
        if (shortcut.answer != 0) {
            ASSERT_EQ(answerer_.Seen().size(), 1u);
            EXPECT_EQ(answerer_.Seen()[0].caption, shortcut.caption);
            EXPECT_EQ(answerer_.Seen()[0].owner, window_);
        } else {
            EXPECT_TRUE(answerer_.Seen().empty());
        }
        // The strip is repainted as the command arrives, before it runs: after Delete it still
        // shows the count from before.
        ASSERT_FALSE(paintedCounts.empty());
        EXPECT_EQ(paintedCounts.front(), countBefore);
    }
    UnhookWindowsHookEx(paintHook);
    // The commands ran: Copy put "beta" on the clipboard, Delete removed it.
    std::string clip = ClipboardText();
    ASSERT_NE(clip, "<cannot open>");
    EXPECT_EQ(clip, "beta\r\n");
    EXPECT_EQ((int)SendMessageA(programState.listBox, LB_GETCOUNT, 0, 0), 3);
}

TEST_F(MainWindowTest, DoubleClickOnALinePostsDisplayForThatLine)
{
    OpenMainWindow();
    AddLines({"first line", "second line", "third line"});
    ASSERT_TRUE(MakeForeground());
    RECT item;
    SendMessageA(programState.listBox, LB_GETITEMRECT, 2, (LPARAM)&item);
    POINT point = {item.left + 20, (item.top + item.bottom) / 2};
    ClientToScreen(programState.listBox, &point);

    std::string shown;
    answerer_.Handle([&](HWND box, const SeenBox &) {
        char text[256] = "";
        GetDlgItemTextA(box, IDC_MESSAGE, text, sizeof text);
        shown = text;
        BoxAnswerer::PressButton(box, IDCANCEL);
    });
    MouseAt(point, {MOUSEEVENTF_LEFTDOWN, MOUSEEVENTF_LEFTUP, MOUSEEVENTF_LEFTDOWN, MOUSEEVENTF_LEFTUP});
    EXPECT_TRUE(PumpProgramUntil([&] { return !answerer_.Seen().empty(); }, 3000));
    PumpProgram(50);
    // The list's notifications are sent, not posted: the only posted command is Display.
    EXPECT_EQ(postedCommands, std::vector<WPARAM>{MAKEWPARAM(IDM_DISPLAY, 0)});
    ASSERT_EQ(answerer_.Seen().size(), 1u);
    EXPECT_EQ(answerer_.Seen()[0].caption, "Display");
    EXPECT_EQ(shown, "third line");
}

TEST_F(MainWindowTest, SpyButtonRunsSpyingAndThePointerGivesTheFocusBackToTheList)
{
    OpenMainWindow();
    ASSERT_TRUE(MakeForeground());
    RECT rect;
    GetWindowRect(programState.spyButton, &rect);
    POINT centre = {(rect.left + rect.right) / 2, (rect.top + rect.bottom) / 2};

    // Not connected: the Spying command asks whether to connect.
    answerer_.Answer(IDNO);
    MouseAt(centre, {MOUSEEVENTF_LEFTDOWN, MOUSEEVENTF_LEFTUP});
    EXPECT_TRUE(PumpProgramUntil([&] { return !answerer_.Seen().empty(); }, 3000));
    PumpProgram(50);
    ASSERT_EQ(answerer_.Seen().size(), 1u);
    EXPECT_EQ(answerer_.Seen()[0].caption, "Confirm");
    EXPECT_TRUE(answerer_.Seen()[0].hasYesNo);

    // The click leaves the focus on the button; moving over it without a press returns it.
    SetFocus(programState.spyButton);
    ASSERT_EQ(GetFocus(), programState.spyButton);
    MouseAt({centre.x + 2, centre.y + 1}, {MOUSEEVENTF_MOVE});
    EXPECT_TRUE(PumpProgramUntil([] { return GetFocus() == programState.listBox; }, 2000));
}

TEST_F(MainWindowTest, TimerPollsTheRealDatabaseIntoTheListWhileSpying)
{
    TestDbSession sender;
    ASSERT_TRUE(sender.Connected()) << sender.LastError();
    OpenMainWindow(TestConnectString());
    ASSERT_EQ(programState.connected, 1);
    ASSERT_TRUE(MakeForeground());
    // The command-line logon keeps the pipe name VANTREL; drain what earlier runs left in it.
    while (sender.SelectText("SELECT vantrel.get('VANTREL')") != "<null>") {
    }

    PressKeys({VK_CONTROL, 'S'});
    ASSERT_TRUE(PumpProgramUntil([] { return programState.spying == 1; }, 3000));
    EXPECT_EQ(WindowTitle(window_), "Vantrel *");
    for (const char *text : {"first trace", "second trace", "third trace"})
        ASSERT_TRUE(sender.SendTrace("VANTREL", text)) << sender.LastError();
    ASSERT_TRUE(PumpProgramUntil([] { return SendMessageA(programState.listBox, LB_GETCOUNT, 0, 0) == 3; }, 10000));
    char line[64] = "";
    SendMessageA(programState.listBox, LB_GETTEXT, 2, (LPARAM)line);
    EXPECT_STREQ(line, "third trace");
    EXPECT_EQ((int)SendMessageA(programState.listBox, LB_GETCARETINDEX, 0, 0), 2);

    // The Spy button stops it again.
    SendMessageA(programState.spyButton, BM_CLICK, 0, 0);
    EXPECT_TRUE(PumpProgramUntil([] { return programState.spying == 0; }, 3000));
    EXPECT_EQ(WindowTitle(window_), "Vantrel");
    EXPECT_EQ(programState.indicatorState, INDICATOR_OFF);
}

TEST_F(MainWindowTest, ClosingWhileSpyingAndSpoolingReleasesEverythingAndStoresThePeriod)
{
    TestDbSession sender;
    TestDbSession admin(true);
    ASSERT_TRUE(sender.Connected()) << sender.LastError();
    ASSERT_TRUE(admin.Connected()) << admin.LastError();
    auto programSessions = [&] {
        return admin.SelectText("SELECT count(*) FROM pg_stat_activity WHERE usename = ?",
                                {TestEnv("VANTREL_DB_USER")});
    };
    std::string sessionsBefore = programSessions();

    struct Case {
        const char *name;
        bool paused;
    } cases[] = {{"active spool file", false}, {"paused spool file", true}};
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        OpenMainWindow(TestConnectString());
        ASSERT_EQ(programState.connected, 1);
        EXPECT_NE(programSessions(), sessionsBefore);
        while (sender.SelectText("SELECT vantrel.get('VANTREL')") != "<null>") {
        }
        // The file as the Spool To command leaves it: created empty and open for writing.
        std::string path = TempFilePath(c.paused ? "vantrel_close_paused.txt" : "vantrel_close_active.txt");
        programState.activeSpoolFile = _lcreat(path.c_str(), 0);
        ASSERT_NE(programState.activeSpoolFile, HFILE_ERROR);
        lstrcpynA(programState.spoolPath, path.c_str(), sizeof programState.spoolPath);

        SendMessageA(window_, WM_COMMAND, MAKEWPARAM(IDM_SPYING, 0), 0);
        ASSERT_EQ(programState.spying, 1);
        ASSERT_TRUE(sender.SendTrace("VANTREL", "spooled before close")) << sender.LastError();
        ASSERT_TRUE(PumpProgramUntil([] { return SendMessageA(programState.listBox, LB_GETCOUNT, 0, 0) == 1; }, 10000));
        if (c.paused) {
            programState.pausedSpoolFile = programState.activeSpoolFile;
            programState.activeSpoolFile = HFILE_ERROR;
        }
        programState.timerInterval = c.paused ? 432 : 321;   // as the Options dialog leaves it
        HWND list = programState.listBox, button = programState.spyButton;

        // Exit goes the program's way: the command closes the window, which destroys it.
        SendMessageA(window_, WM_COMMAND, MAKEWPARAM(IDM_EXIT, 0), 0);
        programQuitCode = (WPARAM)-1;
        ASSERT_TRUE(PumpProgramUntil([&] { return programQuitCode == 0 && !IsWindow(window_); }, 3000));

        EXPECT_EQ(programState.spying, 0);
        EXPECT_EQ(programState.indicatorState, INDICATOR_OFF);
        EXPECT_EQ(programState.cursorArea.logon, nullptr);
        EXPECT_EQ(programState.logonArea.connection, nullptr);
        EXPECT_EQ(programState.connected, 0);
        EXPECT_FALSE(IsWindow(list));
        EXPECT_FALSE(IsWindow(button));
        EXPECT_EQ(programState.activeSpoolFile, HFILE_ERROR);
        EXPECT_EQ(programState.pausedSpoolFile, HFILE_ERROR);
        EXPECT_TRUE(FileIsClosedEverywhere(path));
        EXPECT_EQ(FileBytesOrMissing(path), "spooled before close\r\n");
        DWORD stored = 0;
        EXPECT_TRUE(StoredSettingNumber("TimerSpeed", &stored));
        EXPECT_EQ(stored, c.paused ? 432u : 321u);
        // The server sees the logon end.
        EXPECT_TRUE(PumpProgramUntil([&] { return programSessions() == sessionsBefore; }, 3000))
            << programSessions() << " sessions, " << sessionsBefore << " before";
        DeleteFileA(path.c_str());
        UnregisterClassA(MAIN_WINDOW_CLASS, Instance());
    }
}

TEST(ProgramStart, ClassAlreadyRegisteredShowsAnUnownedErrorBox)
{
    WNDCLASSEXA taken = {};
    taken.cbSize = sizeof taken;
    taken.lpfnWndProc = DefWindowProcA;
    taken.hInstance = Instance();
    taken.lpszClassName = "VANTREL32";
    ASSERT_NE(RegisterClassExA(&taken), 0);

    BoxAnswerer answerer;
    answerer.Answer(IDOK);
    int exitCode = RunProgram(Instance(), "", SW_SHOWNORMAL);
    EXPECT_EQ(exitCode, 0);
    ASSERT_EQ(answerer.Seen().size(), 1u);
    EXPECT_EQ(answerer.Seen()[0].text, "Cannot register class");
    EXPECT_EQ(answerer.Seen()[0].caption, "Error");
    EXPECT_EQ(answerer.Seen()[0].icon, "error");
    EXPECT_EQ(answerer.Seen()[0].owner, nullptr);
    // The test's own class is still there: the program did not take it over.
    WNDCLASSEXA info = {};
    info.cbSize = sizeof info;
    ASSERT_TRUE(GetClassInfoExA(Instance(), "VANTREL32", &info));
    EXPECT_EQ(info.lpfnWndProc, DefWindowProcA);
    UnregisterClassA("VANTREL32", Instance());
}

TEST(ProgramStart, MainWindowThatCannotBeCreatedShowsAnUnownedErrorBoxAndUnregisters)
{
    BoxAnswerer answerer;
    answerer.Answer(IDOK);
    int exitCode;
    {
        CreationVeto veto("VANTREL32");
        exitCode = RunProgram(Instance(), "", SW_SHOWNORMAL);
    }
    EXPECT_EQ(exitCode, 0);
    ASSERT_EQ(answerer.Seen().size(), 1u);
    EXPECT_EQ(answerer.Seen()[0].text, "Cannot create window");
    EXPECT_EQ(answerer.Seen()[0].caption, "Error");
    EXPECT_EQ(answerer.Seen()[0].icon, "error");
    EXPECT_EQ(answerer.Seen()[0].owner, nullptr);
    WNDCLASSEXA info = {};
    info.cbSize = sizeof info;
    EXPECT_FALSE(GetClassInfoExA(Instance(), "VANTREL32", &info));
}

TEST(ProgramStart, TraceListThatCannotBeCreatedEndsTheProgramAndKeepsTheStoredPeriod)
{
    DrainProgramQueue();
    ASSERT_TRUE(StoreSettingNumber("TimerSpeed", 777));
    BoxAnswerer answerer;
    answerer.Answer(IDOK);
    // A command line far longer than connectString holds: kept cut, never written past it.
    std::string commandLine = TestConnectString() + std::string(400, 'z');
    int exitCode;
    {
        CreationVeto veto("ListBox");
        exitCode = RunProgram(Instance(), commandLine.c_str(), SW_SHOWNORMAL);
    }
    EXPECT_EQ(exitCode, 0);
    // One box, owned by the main window; no Connect dialog and no logon.
    ASSERT_EQ(answerer.Seen().size(), 1u);
    EXPECT_EQ(answerer.Seen()[0].text, "Cannot create display window");
    EXPECT_EQ(answerer.Seen()[0].caption, "Error");
    EXPECT_EQ(answerer.Seen()[0].icon, "error");
    EXPECT_NE(answerer.Seen()[0].owner, nullptr);
    EXPECT_EQ(answerer.Seen()[0].owner, programState.mainWindow);
    EXPECT_EQ(programState.connected, 0);
    EXPECT_EQ(programState.logonArea.connection, nullptr);
    EXPECT_EQ(std::string(programState.connectString), commandLine.substr(0, CONNECT_STRING_SIZE - 1));
    EXPECT_STREQ(programState.displayName, "");
    // The period was never read, so the stored one is left as the user had it.
    DWORD stored = 0;
    EXPECT_TRUE(StoredSettingNumber("TimerSpeed", &stored));
    EXPECT_EQ(stored, 777u);
    WNDCLASSEXA info = {};
    info.cbSize = sizeof info;
    EXPECT_FALSE(GetClassInfoExA(Instance(), "VANTREL32", &info));
    ResetProgramState(Instance(), "");
}

namespace {

// Types File > Exit once the Connect dialog of the start has been cancelled and the main window
// is in front; runs as a thread timer inside the program's own loop.
bool exitTyped = false;
void CALLBACK TypeFileExit(HWND, UINT, UINT_PTR, DWORD)
{
    HWND window = programState.mainWindow;
    if (exitTyped || window == nullptr || !IsWindow(window) || GetForegroundWindow() != window)
        return;
    exitTyped = true;
    PressKeys({VK_MENU, 'F'});
    PressKeys({'X'});
}

}

TEST(ProgramStart, ProgramAsksForALogonThenExitsFromTheFileMenu)
{
    DrainProgramQueue();
    ASSERT_TRUE(StoreSettingNumber("TimerSpeed", 250));
    BoxAnswerer answerer;
    answerer.Answer(IDCANCEL);
    exitTyped = false;
    UINT_PTR timer = SetTimer(nullptr, 0, 100, TypeFileExit);
    DWORD start = GetTickCount();
    int exitCode = RunProgram(Instance(), "", SW_SHOWNORMAL);
    KillTimer(nullptr, timer);
    EXPECT_EQ(exitCode, 0);
    EXPECT_TRUE(exitTyped);
    EXPECT_LT(GetTickCount() - start, 10000u);
    ASSERT_EQ(answerer.Seen().size(), 1u);
    EXPECT_EQ(answerer.Seen()[0].caption, "Connect");
    EXPECT_EQ(answerer.Seen()[0].owner, programState.mainWindow);
    EXPECT_FALSE(IsWindow(programState.mainWindow));
    // The period read at start went back to the store at exit.
    DWORD stored = 0;
    EXPECT_TRUE(StoredSettingNumber("TimerSpeed", &stored));
    EXPECT_EQ(stored, 250u);
    WNDCLASSEXA info = {};
    info.cbSize = sizeof info;
    EXPECT_FALSE(GetClassInfoExA(Instance(), "VANTREL32", &info));
    ResetProgramState(Instance(), "");
}
