// The whole program running in this process under Xvfb, driven by real key and mouse input:
// every menu command, every shortcut and the double click once, against the private database.
// A script of steps runs from a thread timer inside the program's own message loops; each step
// gives input and waits until the program shows its effect.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "box_answerer.h"
#include "clipboard_probe.h"
#include "deferred_action.h"
#include "file_probe.h"
#include "main_window.h"
#include "program_state.h"
#include "program_window.h"
#include "resource.h"
#include "settings_probe.h"
#include "test_db.h"
#include "test_env.h"

namespace {

const DWORD STEP_TIMEOUT = 15000;
const DWORD RUN_TIMEOUT = 180000;

void AddKey(std::vector<INPUT> &inputs, WORD key, bool up)
{
    INPUT input = {};
    input.type = INPUT_KEYBOARD;
    input.ki.wVk = key;
    input.ki.dwFlags = up ? KEYEVENTF_KEYUP : 0;
    if (key == VK_INSERT || key == VK_DELETE)
        input.ki.dwFlags |= KEYEVENTF_EXTENDEDKEY;
    inputs.push_back(input);
}

// Presses the keys of one chord in order and releases them in reverse.
void AddChord(std::vector<INPUT> &inputs, std::initializer_list<WORD> keys)
{
    for (WORD key : keys)
        AddKey(inputs, key, false);
    for (auto it = keys.end(); it != keys.begin();)
        AddKey(inputs, *--it, true);
}

void Chord(std::initializer_list<WORD> keys)
{
    std::vector<INPUT> inputs;
    AddChord(inputs, keys);
    SendInput((UINT)inputs.size(), inputs.data(), sizeof(INPUT));
}

// Opens a menu of the menu bar with Alt and its letter, then picks the item by its letter.
void MenuItem(char menu, char item)
{
    std::vector<INPUT> inputs;
    AddChord(inputs, {VK_MENU, (WORD)menu});
    AddChord(inputs, {(WORD)item});
    SendInput((UINT)inputs.size(), inputs.data(), sizeof(INPUT));
}

// Opens a menu and closes it again, so the program sets its checks and greys.
void OpenAndCloseMenu(char menu)
{
    std::vector<INPUT> inputs;
    AddChord(inputs, {VK_MENU, (WORD)menu});
    AddChord(inputs, {VK_ESCAPE});
    AddChord(inputs, {VK_ESCAPE});
    SendInput((UINT)inputs.size(), inputs.data(), sizeof(INPUT));
}

void Click(POINT screen, int clicks)
{
    SetCursorPos(screen.x, screen.y);
    std::vector<INPUT> inputs;
    for (int i = 0; i < clicks; i++) {
        for (DWORD flags : {MOUSEEVENTF_LEFTDOWN, MOUSEEVENTF_LEFTUP}) {
            INPUT input = {};
            input.type = INPUT_MOUSE;
            input.mi.dwFlags = flags;
            inputs.push_back(input);
        }
    }
    SendInput((UINT)inputs.size(), inputs.data(), sizeof(INPUT));
}

POINT CentreOnScreen(const RECT &rect, HWND window)
{
    POINT centre = {(rect.left + rect.right) / 2, (rect.top + rect.bottom) / 2};
    if (window != nullptr)
        ClientToScreen(window, &centre);
    return centre;
}

void Select(std::initializer_list<int> indexes, int caret)
{
    SendMessageA(programState.listBox, LB_SETSEL, FALSE, -1);
    for (int index : indexes)
        SendMessageA(programState.listBox, LB_SETSEL, TRUE, index);
    SendMessageA(programState.listBox, LB_SETCARETINDEX, caret, 0);
}

std::string DialogText(HWND dialog, int id)
{
    std::vector<char> text(8192);
    GetDlgItemTextA(dialog, id, text.data(), (int)text.size());
    return text.data();
}

bool MenuChecked(UINT command)
{
    return (GetMenuState(GetMenu(programState.mainWindow), command, MF_BYCOMMAND) & MF_CHECKED) != 0;
}

// Counts WM_INITMENU reaching the main window: the moment the program sets its menu checks.
int menuOpenings = 0;
HHOOK menuHook = nullptr;

LRESULT CALLBACK CountMenuOpenings(int code, WPARAM wParam, LPARAM lParam)
{
    const CWPSTRUCT *call = (const CWPSTRUCT *)lParam;
    if (code == HC_ACTION && call->message == WM_INITMENU && call->hwnd == programState.mainWindow)
        menuOpenings++;
    return CallNextHookEx(menuHook, code, wParam, lParam);
}

// One step of the script: give input, then wait until the program shows the effect.
struct Step {
    std::string name;
    std::function<void()> act;
    std::function<bool()> done;   // nullptr: the step ends the program, nothing to wait for
};

// Runs the steps from a thread timer, which every message loop of the program dispatches
// (its own, a dialog's, a message box's).
class Script {
public:
    void Add(const std::string &name, std::function<void()> act, std::function<bool()> done)
    {
        steps_.push_back({name, std::move(act), std::move(done)});
    }

    void Start()
    {
        self_ = this;
        next_ = 0;
        started_ = false;
        runStart_ = GetTickCount();
        timer_ = SetTimer(nullptr, 0, 30, Tick);
    }

    void Stop()
    {
        if (timer_ != 0)
            KillTimer(nullptr, timer_);
        timer_ = 0;
    }

    size_t Completed() const { return next_; }
    size_t Size() const { return steps_.size(); }

private:
    static void CALLBACK Tick(HWND, UINT, UINT_PTR, DWORD)
    {
        Script *self = self_;
        if (self == nullptr || self->busy_)
            return;
        self->busy_ = true;
        self->Advance();
        self->busy_ = false;
    }

    void Advance()
    {
        DWORD now = GetTickCount();
        if (now - runStart_ > RUN_TIMEOUT && programState.mainWindow != nullptr) {
            ADD_FAILURE() << "the script ran out of time; closing the program";
            PostMessageA(programState.mainWindow, WM_CLOSE, 0, 0);
            Stop();
            return;
        }
        if (next_ >= steps_.size())
            return;
        Step &step = steps_[next_];
        if (!started_) {
            started_ = true;
            stepStart_ = now;
            step.act();
            if (!step.done)
                next_++, started_ = false;
            return;
        }
        if (step.done()) {
            next_++;
            started_ = false;
        } else if (now - stepStart_ > STEP_TIMEOUT) {
            ADD_FAILURE() << "step \"" << step.name << "\" did not finish";
            next_++;
            started_ = false;
        }
    }

    static Script *self_;
    std::vector<Step> steps_;
    size_t next_ = 0;
    bool started_ = false;
    bool busy_ = false;
    DWORD stepStart_ = 0;
    DWORD runStart_ = 0;
    UINT_PTR timer_ = 0;
};

Script *Script::self_ = nullptr;

class EndToEnd : public ::testing::Test {
protected:
    void SetUp() override
    {
        hadSpeed_ = StoredSettingNumber("TimerSpeed", &oldSpeed_);
        StoreSettingNumber("TimerSpeed", 500);
        menuHook = SetWindowsHookExA(WH_CALLWNDPROC, CountMenuOpenings, nullptr, GetCurrentThreadId());
        char folder[MAX_PATH] = "";
        GetTempPathA(sizeof folder, folder);
        spoolPath_ = std::string(folder) + "vantrel-e2e-" + std::to_string(GetCurrentProcessId()) + ".trc";
        DeleteFileA(spoolPath_.c_str());
    }

    void TearDown() override
    {
        UnhookWindowsHookEx(menuHook);
        DeleteFileA(spoolPath_.c_str());
        if (hadSpeed_)
            StoreSettingNumber("TimerSpeed", oldSpeed_);
    }

    // Queues the answer for the next dialog: once its loop runs, act on it, then press a button.
    void AnswerDialog(std::function<void(HWND)> act, int button)
    {
        answerer_.Handle([act, button](HWND dialog, const SeenBox &) {
            RunFromDialogLoop([dialog, act, button] {
                act(dialog);
                BoxAnswerer::PressButton(dialog, button);
            });
        });
    }

    // A step that shows a line in the Display dialog and waits for the dialog to report it.
    void AddDisplayStep(Script &script, const std::string &name, std::function<void()> act, std::string expected)
    {
        script.Add(
            name,
            [this, act] {
                shown_ = "<not shown>";
                AnswerDialog([this](HWND dialog) { shown_ = DialogText(dialog, IDC_MESSAGE); }, IDCANCEL);
                act();
            },
            [this, expected, name] {
                if (shown_ == "<not shown>" || FindWindowA("#32770", "Display") != nullptr)
                    return false;
                EXPECT_EQ(shown_, expected) << name;
                return true;
            });
    }

    BoxAnswerer answerer_;
    std::string spoolPath_;
    std::string shown_;
    bool hadSpeed_ = false;
    DWORD oldSpeed_ = 0;
};

TEST_F(EndToEnd, EveryMenuCommandShortcutAndTheDoubleClickWorkInTheRunningProgram)
{
    TestDbSession sender;
    ASSERT_TRUE(sender.Connected()) << sender.LastError();
    const std::string pipe = UniquePipeName("E2E");
    const std::string lines[] = {"line 0", "line 1", "line 2", "line 3"};
    Script script;

    script.Add("the command line logs on at start", [] {}, [] { return programState.connected == 1; });

    script.Add(
        "File > Connect re-connects through the dialog with a new pipe",
        [this, pipe] {
            answerer_.Answer(IDYES);   // "You are already connected. Do you want to re-connect?"
            AnswerDialog(
                [pipe](HWND dialog) {
                    SetDlgItemTextA(dialog, IDC_USERNAME, TestEnv("VANTREL_DB_USER").c_str());
                    SetDlgItemTextA(dialog, IDC_PASSWORD, TestEnv("VANTREL_DB_PASSWORD").c_str());
                    SetDlgItemTextA(dialog, IDC_DATABASE, TestEnv("VANTREL_DSN").c_str());
                    SetDlgItemTextA(dialog, IDC_PIPENAME, pipe.c_str());
                },
                IDOK);
            MenuItem('F', 'C');
        },
        [pipe] {
            return programState.connected == 1 && pipe == programState.pipeName &&
                   FindWindowA("#32770", "Connect") == nullptr;
        });

    script.Add(
        "Ctrl+S starts spying", [] { Chord({VK_CONTROL, 'S'}); },
        [] { return programState.spying == 1 && WindowTitle(programState.mainWindow) == "Vantrel *"; });

    script.Add(
        "polled messages become lines",
        [&sender, &pipe, &lines] {
            for (const std::string &line : lines)
                EXPECT_TRUE(sender.SendTrace(pipe, line)) << sender.LastError();
        },
        [] { return TraceListCount() == 4; });

    script.Add(
        "File > Spying stops spying", [] { MenuItem('F', 'S'); },
        [] { return programState.spying == 0 && WindowTitle(programState.mainWindow) == "Vantrel"; });

    script.Add(
        "the Spy button starts spying",
        [] {
            RECT rect;
            GetWindowRect(programState.spyButton, &rect);
            POINT centre = CentreOnScreen(rect, nullptr);
            Click(centre, 1);
            // Moving off the pressed button gives the focus back to the list, for the shortcuts.
            SetCursorPos(centre.x + 1, centre.y);
            INPUT move = {};
            move.type = INPUT_MOUSE;
            move.mi.dx = 1;
            move.mi.dwFlags = MOUSEEVENTF_MOVE;
            SendInput(1, &move, sizeof move);
        },
        [] { return programState.spying == 1 && GetFocus() == programState.listBox; });

    script.Add(
        "Ctrl+S stops spying again", [] { Chord({VK_CONTROL, 'S'}); },
        [] { return programState.spying == 0; });

    // The Spooling check is set when the File menu opens: open it and read the check.
    auto addSpoolingCheck = [&script](const std::string &name, bool checked) {
        static int openingsBefore = 0;
        script.Add(
            name,
            [] {
                openingsBefore = menuOpenings;
                OpenAndCloseMenu('F');
            },
            [checked, name] {
                if (menuOpenings == openingsBefore)
                    return false;
                EXPECT_EQ(MenuChecked(IDM_SPOOLING), checked) << name;
                return true;
            });
    };
    auto spoolState = [](bool active, bool paused) {
        return [active, paused] {
            return (programState.activeSpoolFile != HFILE_ERROR) == active &&
                   (programState.pausedSpoolFile != HFILE_ERROR) == paused;
        };
    };

    addSpoolingCheck("Spooling is unchecked while not spooling", false);
    script.Add(
        "File > Spool to creates the chosen file",
        [this] {
            std::string path = spoolPath_;
            AnswerDialog([path](HWND dialog) { SetDlgItemTextA(dialog, 1148, path.c_str()); }, IDOK);
            MenuItem('F', 'P');
        },
        [this] { return programState.activeSpoolFile != HFILE_ERROR && spoolPath_ == programState.spoolPath; });
    addSpoolingCheck("Spooling is checked while spooling", true);
    script.Add("File > Spooling pauses", [] { MenuItem('F', 'O'); }, spoolState(false, true));
    addSpoolingCheck("Spooling is unchecked while paused", false);
    script.Add("File > Spooling resumes", [] { MenuItem('F', 'O'); }, spoolState(true, false));
    addSpoolingCheck("Spooling is checked again after resuming", true);

    const struct {
        const char *name;
        std::vector<int> selected;
        std::function<void()> keys;
        const char *expected;
    } copies[] = {
        {"Ctrl+C copies lines 0 and 2", {0, 2}, [] { Chord({VK_CONTROL, 'C'}); }, "line 0\r\nline 2\r\n"},
        {"Ctrl+Insert copies line 1", {1}, [] { Chord({VK_CONTROL, VK_INSERT}); }, "line 1\r\n"},
        {"Edit > Copy copies line 3", {3}, [] { MenuItem('E', 'C'); }, "line 3\r\n"},
    };
    for (const auto &copy : copies) {
        std::vector<int> selected = copy.selected;
        std::function<void()> keys = copy.keys;
        std::string expected = copy.expected;
        script.Add(
            copy.name,
            [selected, keys] {
                PutClipboardText("before");
                SendMessageA(programState.listBox, LB_SETSEL, FALSE, -1);
                for (int index : selected)
                    SendMessageA(programState.listBox, LB_SETSEL, TRUE, index);
                keys();
            },
            [expected] { return ClipboardText() == expected; });
    }

    AddDisplayStep(script, "Ctrl+D shows the caret line", [] { Select({}, 2); Chord({VK_CONTROL, 'D'}); }, "line 2");
    AddDisplayStep(script, "Enter shows the caret line", [] { Select({0}, 1); Chord({VK_RETURN}); }, "line 1");
    AddDisplayStep(script, "Edit > Display shows the caret line", [] { Select({}, 0); MenuItem('E', 'I'); }, "line 0");
    AddDisplayStep(
        script, "a double click shows the line clicked",
        [] {
            Select({}, 0);
            RECT item;
            SendMessageA(programState.listBox, LB_GETITEMRECT, 3, (LPARAM)&item);
            Click(CentreOnScreen(item, programState.listBox), 2);
        },
        "line 3");

    script.Add(
        "Delete removes the selected line", [] { Select({3}, 3); Chord({VK_DELETE}); }, [] { return TraceListCount() == 3; });
    script.Add(
        "Edit > Delete removes the selected line", [] { Select({0}, 0); MenuItem('E', 'D'); },
        [] { return TraceListCount() == 2 && TraceListLines() == std::vector<std::string>{"line 1", "line 2"}; });

    script.Add(
        "Ctrl+S starts spying before Options", [] { Chord({VK_CONTROL, 'S'}); },
        [] { return programState.spying == 1; });
    script.Add(
        "Edit > Options sets a period of 0 and stops spying",
        [this] {
            AnswerDialog([](HWND dialog) { SetDlgItemTextA(dialog, IDC_INTERVAL, "0"); }, IDOK);
            MenuItem('E', 'O');
        },
        [] {
            return programState.timerInterval == 0 && programState.spying == 0 &&
                   WindowTitle(programState.mainWindow) == "Vantrel";
        });

    script.Add(
        "Help > About shows the version",
        [this] {
            shown_ = "<not shown>";
            AnswerDialog([this](HWND dialog) { shown_ = DialogText(dialog, IDC_VERSION); }, IDOK);
            MenuItem('H', 'A');
        },
        [this] { return shown_ == "32-bit Version" && FindWindowA("#32770", "About") == nullptr; });

    script.Add(
        "Edit > Clear output answered No keeps the lines",
        [this] {
            answerer_.Answer(IDNO);
            MenuItem('E', 'L');
        },
        [this] { return answerer_.Pending() == 0 && FindWindowA("#32770", "Confirm") == nullptr && TraceListCount() == 2; });
    script.Add(
        "Edit > Clear output answered Yes empties the list",
        [this] {
            answerer_.Answer(IDYES);
            MenuItem('E', 'L');
        },
        [this] { return answerer_.Pending() == 0 && TraceListCount() == 0; });

    script.Add("File > Exit ends the program", [] { MenuItem('F', 'X'); }, nullptr);

    std::string connect = TestConnectString();
    script.Start();
    RunProgram(GetModuleHandleA(nullptr), connect.c_str(), SW_SHOWNORMAL);
    script.Stop();

    EXPECT_EQ(script.Completed(), script.Size()) << "every step ran";
    for (const SeenBox &seen : answerer_.Seen())
        EXPECT_TRUE(seen.expected) << "unexpected box \"" << seen.caption << "\": " << seen.text;
    EXPECT_EQ(answerer_.Pending(), 0u);
    DWORD stored = 12345;
    EXPECT_TRUE(StoredSettingNumber("TimerSpeed", &stored));
    EXPECT_EQ(stored, 0u) << "the period of 0 is stored at exit";
    EXPECT_FALSE(FileIsHeldOpen(spoolPath_)) << "the spool file is closed at exit";

    // The next start reads the period back as 0, not as the default 500.
    answerer_.Clear();
    answerer_.Answer(IDCANCEL);   // the Connect dialog at a start without a command line
    Script second;
    UINT periodAtStart = 12345;
    second.Add(
        "the Connect dialog opens at a start without a command line", [] {},
        [this, &periodAtStart] {
            if (answerer_.Seen().empty() || FindWindowA("#32770", "Connect") != nullptr)
                return false;
            periodAtStart = programState.timerInterval;
            return true;
        });
    second.Add("File > Exit ends it again", [] { MenuItem('F', 'X'); }, nullptr);
    second.Start();
    RunProgram(GetModuleHandleA(nullptr), "", SW_SHOWNORMAL);
    second.Stop();
    EXPECT_EQ(periodAtStart, 0u);
    EXPECT_EQ(answerer_.Seen().size(), 1u);
}

}
