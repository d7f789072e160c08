// The Connect dialog and the helper that centres every dialog over its owner.
#include <windows.h>

#include <gtest/gtest.h>

#include <functional>
#include <string>

#include "box_answerer.h"
#include "center_geometry.h"
#include "connect_dialog.h"
#include "dialogs.h"
#include "program_state.h"
#include "resource.h"
#include "settings_probe.h"
#include "test_window.h"

namespace {

struct CenterCase {
    const char *name;
    ScreenRect window;
    ScreenRect parent;
    ScreenPoint expected;
};

const CenterCase CENTER_CASES[] = {
    {"smaller dialog sits in the middle", {0, 0, 200, 100}, {100, 100, 740, 580}, {320, 290}},
    {"odd sizes halve toward zero", {500, 500, 550, 525}, {0, 0, 101, 51}, {25, 13}},
    // Halving each side separately differs from halving the difference: 100 - 150, not -99 / 2.
    {"each half truncated on its own", {0, 0, 300, 40}, {600, 600, 801, 700}, {550, 630}},
    {"larger dialog overhangs both sides equally", {0, 0, 400, 300}, {500, 400, 700, 500}, {400, 300}},
    {"larger dialog near the top-left stops at 0", {0, 0, 400, 300}, {10, 20, 210, 120}, {0, 0}},
    {"only the coordinate that would be negative becomes 0", {0, 0, 300, 50}, {0, 300, 100, 400}, {0, 325}},
    {"owner partly off the screen to the top-left", {0, 0, 100, 50}, {-300, -200, -100, 0}, {0, 0}},
    {"nothing holds it back at the bottom-right", {0, 0, 400, 300}, {1200, 950, 1280, 1024}, {1040, 837}},
    {"same size as the owner takes its place", {7, 7, 207, 107}, {50, 60, 250, 160}, {50, 60}},
};

TEST(CenterGeometry, PlacesDialogByTable)
{
    for (const CenterCase &c : CENTER_CASES) {
        ScreenPoint got = CenteredPosition(c.window, c.parent);
        EXPECT_EQ(got.x, c.expected.x) << c.name;
        EXPECT_EQ(got.y, c.expected.y) << c.name;
    }
}

const char POPUP_CLASS[] = "VantrelCenterTestPopup";

HWND CreatePopup(HWND owner, int x, int y, int width, int height)
{
    WNDCLASSA windowClass = {};
    windowClass.lpfnWndProc = DefWindowProcA;
    windowClass.hInstance = GetModuleHandleA(nullptr);
    windowClass.lpszClassName = POPUP_CLASS;
    RegisterClassA(&windowClass);   // fails harmlessly when already registered
    return CreateWindowExA(0, POPUP_CLASS, "popup", WS_POPUP | WS_CAPTION, x, y, width, height, owner, nullptr,
                           GetModuleHandleA(nullptr), nullptr);
}

RECT WindowRect(HWND window)
{
    RECT rect = {};
    GetWindowRect(window, &rect);
    return rect;
}

}

// The real windows: an owned popup is centred over its owner, keeps its size, and a popup
// larger than an owner near the top-left corner stops at the screen's edge.
TEST(CenterDialog, CentresOwnedWindowOverItsOwner)
{
    HWND owner = CreatePopup(nullptr, 100, 100, 640, 480);
    ASSERT_NE(owner, nullptr);
    HWND popup = CreatePopup(owner, 900, 900, 200, 100);
    ASSERT_NE(popup, nullptr);
    ASSERT_EQ(GetParent(popup), owner);

    CenterDialog(popup);
    RECT rect = WindowRect(popup);
    EXPECT_EQ(rect.left, 320);
    EXPECT_EQ(rect.top, 290);
    EXPECT_EQ(rect.right - rect.left, 200);
    EXPECT_EQ(rect.bottom - rect.top, 100);

    DestroyWindow(popup);
    DestroyWindow(owner);
}

TEST(CenterDialog, LargerThanOwnerNearTopLeftStopsAtScreenEdge)
{
    HWND owner = CreatePopup(nullptr, 10, 20, 200, 100);
    HWND popup = CreatePopup(owner, 600, 600, 400, 300);
    ASSERT_NE(popup, nullptr);

    CenterDialog(popup);
    RECT rect = WindowRect(popup);
    EXPECT_EQ(rect.left, 0);
    EXPECT_EQ(rect.top, 0);
    EXPECT_EQ(rect.right - rect.left, 400);

    // Away from the corner it overhangs the owner equally on both sides.
    SetWindowPos(owner, nullptr, 500, 400, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
    CenterDialog(popup);
    rect = WindowRect(popup);
    EXPECT_EQ(rect.left, 400);
    EXPECT_EQ(rect.top, 300);

    DestroyWindow(popup);
    DestroyWindow(owner);
}

TEST(CenterDialog, WindowWithoutOwnerCentresOnDesktop)
{
    HWND popup = CreatePopup(nullptr, 3, 4, 300, 200);
    ASSERT_NE(popup, nullptr);
    RECT desktop = WindowRect(GetDesktopWindow());
    ASSERT_GT(desktop.right - desktop.left, 300);

    CenterDialog(popup);
    RECT rect = WindowRect(popup);
    EXPECT_EQ(rect.left, desktop.left + ((desktop.right - desktop.left) / 2 - 150));
    EXPECT_EQ(rect.top, desktop.top + ((desktop.bottom - desktop.top) / 2 - 100));

    DestroyWindow(popup);
}

// The Connect dialog itself, run for real over a stand-in main window and answered by the test.
namespace {

struct DialogView {
    std::string caption;
    std::string user;
    std::string password;
    std::string database;
    std::string pipe;
    int focusId = 0;
    RECT rect = {};
};

std::string FieldText(HWND dialog, int id)
{
    char buffer[256] = "";
    GetDlgItemTextA(dialog, id, buffer, sizeof buffer);
    return buffer;
}

DialogView ReadDialog(HWND dialog)
{
    DialogView view;
    char caption[64] = "";
    GetWindowTextA(dialog, caption, sizeof caption);
    view.caption = caption;
    view.user = FieldText(dialog, IDC_USERNAME);
    view.password = FieldText(dialog, IDC_PASSWORD);
    view.database = FieldText(dialog, IDC_DATABASE);
    view.pipe = FieldText(dialog, IDC_PIPENAME);
    HWND focus = GetFocus();
    view.focusId = focus != nullptr && GetParent(focus) == dialog ? GetDlgCtrlID(focus) : 0;
    GetWindowRect(dialog, &view.rect);
    return view;
}

// The CBT hook sees the dialog before its modal loop has settled the focus; a short thread timer
// runs the check from inside that loop instead.
std::function<void(HWND)> settledAction;
HWND settledDialog = nullptr;

void CALLBACK OnSettled(HWND, UINT, UINT_PTR id, DWORD)
{
    KillTimer(nullptr, id);
    std::function<void(HWND)> action = std::move(settledAction);
    settledAction = nullptr;
    action(settledDialog);
}

void WhenSettled(HWND dialog, std::function<void(HWND)> action)
{
    settledDialog = dialog;
    settledAction = std::move(action);
    SetTimer(nullptr, 0, 50, OnSettled);
}

struct Entry {
    std::string user;
    std::string password;
    std::string database;
    std::string pipe;
};

void Type(HWND dialog, const Entry &entry)
{
    SetDlgItemTextA(dialog, IDC_USERNAME, entry.user.c_str());
    SetDlgItemTextA(dialog, IDC_PASSWORD, entry.password.c_str());
    SetDlgItemTextA(dialog, IDC_DATABASE, entry.database.c_str());
    SetDlgItemTextA(dialog, IDC_PIPENAME, entry.pipe.c_str());
}

bool AllZero(const char *buffer, size_t size)
{
    for (size_t i = 0; i < size; i++)
        if (buffer[i] != '\0')
            return false;
    return true;
}

class ConnectDialog : public ::testing::Test {
protected:
    void SetUp() override
    {
        DeleteSettingsKey();
        CreateTestWindows(true);
    }
    void TearDown() override
    {
        EXPECT_EQ(answerer.Pending(), 0u) << "a dialog that was expected never came";
        for (const SeenBox &seen : answerer.Seen())
            EXPECT_TRUE(seen.expected) << "unexpected box: " << seen.caption << ": " << seen.text;
        DestroyTestWindows();
        DeleteSettingsKey();
    }

    // Runs the dialog once: records what it showed once settled, then types the entry (if any)
    // and presses the button (or closes it with the close box when button is 0).
    INT_PTR RunOnce(DialogView &view, const Entry *entry, int button, ConnectFields &fields)
    {
        answerer.Handle([&view, entry, button](HWND box, const SeenBox &) {
            WhenSettled(box, [&view, entry, button](HWND dialog) {
                view = ReadDialog(dialog);
                if (entry != nullptr)
                    Type(dialog, *entry);
                if (button != 0)
                    BoxAnswerer::PressButton(dialog, button);
                else
                    PostMessageA(dialog, WM_SYSCOMMAND, SC_CLOSE, 0);
            });
        });
        fields = ConnectFields();
        return RunConnectDialogWith(&fields);
    }

    BoxAnswerer answerer;
};

}

TEST_F(ConnectDialog, FirstRunShowsDefaultPipeAndFocusInUserNameCentredOverOwner)
{
    DialogView view;
    ConnectFields fields;
    EXPECT_EQ(RunOnce(view, nullptr, IDCANCEL, fields), 0);

    EXPECT_EQ(view.caption, "Connect");
    EXPECT_EQ(view.user, "");
    EXPECT_EQ(view.password, "");
    EXPECT_EQ(view.database, "");
    EXPECT_EQ(view.pipe, "VANTREL32");
    EXPECT_EQ(view.focusId, IDC_USERNAME);
    // The pipe in use is not what the dialog offers.
    EXPECT_STREQ(programState.pipeName, "VANTREL");
    EXPECT_STREQ(programState.connectString, "");

    RECT owner = {};
    GetWindowRect(programState.mainWindow, &owner);
    LONG ownerWidth = owner.right - owner.left, ownerHeight = owner.bottom - owner.top;
    LONG width = view.rect.right - view.rect.left, height = view.rect.bottom - view.rect.top;
    EXPECT_EQ(view.rect.left, owner.left + (ownerWidth / 2 - width / 2));
    EXPECT_EQ(view.rect.top, owner.top + (ownerHeight / 2 - height / 2));
}

TEST_F(ConnectDialog, OkStoresAllButPasswordAndNextRunPutsFocusInPassword)
{
    DialogView view;
    ConnectFields fields;
    Entry entry = {"scott", "tiger-secret", "DSN1", "TESTPIPE"};
    ASSERT_EQ(RunOnce(view, &entry, IDOK, fields), 1);

    EXPECT_STREQ(programState.connectString, "scott/tiger-secret@DSN1");
    EXPECT_STREQ(programState.pipeName, "TESTPIPE");
    EXPECT_EQ(StoredSettingText("User"), "scott");
    EXPECT_EQ(StoredSettingText("Database"), "DSN1");
    EXPECT_EQ(StoredSettingText("Pipe"), "TESTPIPE");
    EXPECT_FALSE(SettingsKeyContains("tiger-secret"));
    EXPECT_TRUE(AllZero(fields.password, sizeof fields.password)) << "the dialog's password buffer was not wiped";
    EXPECT_STREQ(fields.user, "scott");

    ASSERT_EQ(RunOnce(view, nullptr, IDCANCEL, fields), 0);
    EXPECT_EQ(view.user, "scott");
    EXPECT_EQ(view.password, "");
    EXPECT_EQ(view.database, "DSN1");
    EXPECT_EQ(view.pipe, "TESTPIPE");
    EXPECT_EQ(view.focusId, IDC_PASSWORD);
}

TEST_F(ConnectDialog, ConnectStringJoinsOnlyTheFilledFields)
{
    const struct {
        Entry entry;
        const char *expected;
    } cases[] = {
        {{"U", "P", "D", "PIPE"}, "U/P@D"},
        {{"U", "P", "", "PIPE"}, "U/P"},
        {{"U", "", "D", "PIPE"}, "U@D"},
        {{"U", "", "", "PIPE"}, "U"},
        {{"", "P", "D", "PIPE"}, "/P@D"},
        {{"", "P", "", "PIPE"}, "/P"},
        {{"", "", "D", "PIPE"}, "@D"},
        {{"", "", "", "PIPE"}, ""},
    };
    for (const auto &c : cases) {
        lstrcpyA(programState.connectString, "left over");
        DialogView view;
        ConnectFields fields;
        EXPECT_EQ(RunOnce(view, &c.entry, IDOK, fields), 1);
        EXPECT_STREQ(programState.connectString, c.expected);
        EXPECT_TRUE(AllZero(fields.password, sizeof fields.password)) << c.expected;
    }
}

TEST_F(ConnectDialog, LongestFieldsReachProgramAt63CharactersEach)
{
    Entry entry = {std::string(70, 'u'), std::string(70, 'p'), std::string(70, 'd'), std::string(70, 'N')};
    DialogView view;
    ConnectFields fields;
    ASSERT_EQ(RunOnce(view, &entry, IDOK, fields), 1);

    std::string expected = std::string(63, 'u') + "/" + std::string(63, 'p') + "@" + std::string(63, 'd');
    EXPECT_EQ(std::string(programState.connectString), expected);
    EXPECT_EQ(StoredSettingText("User"), std::string(63, 'u'));
    EXPECT_EQ(std::string(programState.pipeName), std::string(63, 'N'));
}

TEST_F(ConnectDialog, CancelAndCloseBoxChangeNothing)
{
    StoreSettingText("User", "olduser");
    StoreSettingText("Database", "OLDDB");
    StoreSettingText("Pipe", "OLDPIPE");
    Entry entry = {"newuser", "newsecret", "NEWDB", "NEWPIPE"};
    const struct {
        const char *name;
        int button;
    } ways[] = {{"Cancel button", IDCANCEL}, {"close box", 0}};
    for (const auto &way : ways) {
        DialogView view;
        ConnectFields fields;
        EXPECT_EQ(RunOnce(view, &entry, way.button, fields), 0) << way.name;
        EXPECT_EQ(view.user, "olduser") << way.name;
        EXPECT_EQ(StoredSettingText("User"), "olduser") << way.name;
        EXPECT_EQ(StoredSettingText("Database"), "OLDDB") << way.name;
        EXPECT_EQ(StoredSettingText("Pipe"), "OLDPIPE") << way.name;
        EXPECT_FALSE(SettingsKeyContains("newsecret")) << way.name;
        EXPECT_STREQ(programState.connectString, "") << way.name;
        EXPECT_STREQ(programState.pipeName, "VANTREL") << way.name;
        EXPECT_TRUE(AllZero(fields.password, sizeof fields.password)) << way.name;
    }
}

TEST_F(ConnectDialog, StoredTextTooLongForItsFieldShowsTheDefault)
{
    // 64 characters need 65 bytes: more than a field holds, so the store does not read them.
    StoreSettingText("User", std::string(64, 'x'));
    StoreSettingText("Database", "DB");
    StoreSettingText("Pipe", std::string(100, 'Q'));
    DialogView view;
    ConnectFields fields;
    EXPECT_EQ(RunOnce(view, nullptr, IDCANCEL, fields), 0);
    EXPECT_EQ(view.user, "");
    EXPECT_EQ(view.database, "DB");
    EXPECT_EQ(view.pipe, "VANTREL32");
    EXPECT_EQ(view.focusId, IDC_USERNAME);
}
