// Checks the compiled resources of the module against the program's tables: menu, shortcuts,
// dialog templates and the controls they create, the settings texts and the icons.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "resource.h"
#include "test_env.h"

namespace {

const WORD UK_ENGLISH = MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_UK);

HINSTANCE Module(void)
{
    return GetModuleHandleA(nullptr);
}

// --- Menu -------------------------------------------------------------------------------------

struct MenuRow {
    int popup;          // position of the pull-down menu in the bar
    int position;       // position of the item in its pull-down menu
    UINT id;            // 0 for a separator
    const char *text;   // nullptr for a separator
};

const char *const MENU_BAR[] = {"&File", "&Edit", "&Help"};

const MenuRow MENU_ROWS[] = {
    {0, 0, IDM_SPYING, "&Spying\tCtrl+S"},
    {0, 1, IDM_SPOOLTO, "S&pool to..."},
    {0, 2, IDM_SPOOLING, "Sp&ooling"},
    {0, 3, 0, nullptr},
    {0, 4, IDM_CONNECT, "&Connect"},
    {0, 5, IDM_EXIT, "E&xit"},
    {1, 0, IDM_CLEAR, "C&lear output"},
    {1, 1, IDM_DELETE, "&Delete\tDel"},
    {1, 2, IDM_COPY, "&Copy\tCtrl+C"},
    {1, 3, IDM_DISPLAY, "D&isplay\tCtrl+D"},
    {1, 4, 0, nullptr},
    {1, 5, IDM_OPTIONS, "&Options..."},
    {2, 0, IDM_ABOUT, "&About"},
};

std::string MenuText(HMENU menu, int position)
{
    char text[128] = "";
    MENUITEMINFOA info = {};
    info.cbSize = sizeof info;
    info.fMask = MIIM_STRING;
    info.dwTypeData = text;
    info.cch = sizeof text;
    GetMenuItemInfoA(menu, position, TRUE, &info);
    return text;
}

TEST(Resources, MenuBarHasEveryItemWithItsTextIdentifierAndPosition)
{
    HMENU bar = LoadMenuA(Module(), MAKEINTRESOURCEA(IDR_MAINMENU));
    ASSERT_NE(bar, nullptr);
    ASSERT_EQ(GetMenuItemCount(bar), 3);
    int itemsPerPopup[3] = {};
    for (const MenuRow &row : MENU_ROWS)
        itemsPerPopup[row.popup]++;
    for (int p = 0; p < 3; p++) {
        SCOPED_TRACE(MENU_BAR[p]);
        EXPECT_EQ(MenuText(bar, p), MENU_BAR[p]);
        HMENU popup = GetSubMenu(bar, p);
        ASSERT_NE(popup, nullptr);
        EXPECT_EQ(GetMenuItemCount(popup), itemsPerPopup[p]);
    }
    for (const MenuRow &row : MENU_ROWS) {
        SCOPED_TRACE(row.text ? row.text : "separator");
        HMENU popup = GetSubMenu(bar, row.popup);
        MENUITEMINFOA info = {};
        info.cbSize = sizeof info;
        info.fMask = MIIM_FTYPE | MIIM_ID | MIIM_SUBMENU | MIIM_STATE;
        ASSERT_TRUE(GetMenuItemInfoA(popup, row.position, TRUE, &info));
        EXPECT_EQ(info.hSubMenu, nullptr);
        if (row.text == nullptr) {
            EXPECT_TRUE(info.fType & MFT_SEPARATOR);
            continue;
        }
        EXPECT_EQ(info.fType, (UINT)MFT_STRING);
        EXPECT_EQ(info.wID, row.id);
        EXPECT_EQ(info.fState, (UINT)MFS_ENABLED);   // the code greys and checks items itself
        EXPECT_EQ(MenuText(popup, row.position), row.text);
    }
    DestroyMenu(bar);
}

// --- Shortcuts --------------------------------------------------------------------------------

TEST(Resources, ShortcutTableMatchesAndEveryCommandIsAMenuItem)
{
    const ACCEL expected[] = {
        {FVIRTKEY | FCONTROL | FNOINVERT, 'C', IDM_COPY},
        {FVIRTKEY | FCONTROL | FNOINVERT, 'D', IDM_DISPLAY},
        {FVIRTKEY | FCONTROL | FNOINVERT, 'S', IDM_SPYING},
        {FVIRTKEY | FNOINVERT, VK_DELETE, IDM_DELETE},
        {FVIRTKEY | FCONTROL | FNOINVERT, VK_INSERT, IDM_COPY},
        {FVIRTKEY | FNOINVERT, VK_RETURN, IDM_DISPLAY},
    };
    const int count = sizeof expected / sizeof expected[0];
    HACCEL table = LoadAcceleratorsA(Module(), MAKEINTRESOURCEA(IDR_ACCEL));
    ASSERT_NE(table, nullptr);
    ACCEL actual[16] = {};
    ASSERT_EQ(CopyAcceleratorTableA(table, actual, 16), count);
    HMENU bar = LoadMenuA(Module(), MAKEINTRESOURCEA(IDR_MAINMENU));
    for (int i = 0; i < count; i++) {
        SCOPED_TRACE(i);
        EXPECT_EQ(actual[i].fVirt & ~0x80, expected[i].fVirt);   // 0x80 marks the table's last entry
        EXPECT_EQ(actual[i].key, expected[i].key);
        EXPECT_EQ(actual[i].cmd, expected[i].cmd);
        // The trace list forwards a shortcut only when its command is a menu item.
        EXPECT_NE(GetMenuState(bar, actual[i].cmd, MF_BYCOMMAND), (UINT)-1) << "command " << actual[i].cmd;
    }
    DestroyMenu(bar);
    DestroyAcceleratorTable(table);
}

// --- Strings and language ---------------------------------------------------------------------

TEST(Resources, SettingsTextsAreInTheStringTableWithoutAPasswordName)
{
    const struct {
        UINT id;
        const char *text;
    } rows[] = {
        {IDS_APPKEY, "Vantrel 32-bit"}, {IDS_REGROOT, "SOFTWARE\\ORACLE\\"}, {IDS_KEYCLASS, "Directory"},
        {IDS_USER, "User"},             {IDS_DATABASE, "Database"},          {IDS_PIPE, "Pipe"},
        {IDS_TIMERSPEED, "TimerSpeed"},
    };
    for (const auto &row : rows) {
        char text[64] = "";
        EXPECT_EQ(LoadStringA(Module(), row.id, text, sizeof text), (int)strlen(row.text));
        EXPECT_STREQ(text, row.text);
    }
    char text[64] = "unchanged";
    EXPECT_EQ(LoadStringA(Module(), 5, text, sizeof text), 0);
    for (UINT id = 9; id < 16; id++)
        EXPECT_EQ(LoadStringA(Module(), id, text, sizeof text), 0) << id;
}

TEST(Resources, EveryResourceIsEnglishUnitedKingdom)
{
    const struct {
        LPCSTR type;
        UINT id;
    } rows[] = {
        {RT_MENU, IDR_MAINMENU},   {RT_ACCELERATOR, IDR_ACCEL}, {RT_DIALOG, IDD_CONNECT},
        {RT_DIALOG, IDD_ABOUT},    {RT_DIALOG, IDD_OPTIONS},    {RT_DIALOG, IDD_DISPLAY},
        {RT_STRING, 1},            // strings 1 to 15 share block 1
        {RT_GROUP_ICON, IDI_MAIN}, {RT_GROUP_ICON, IDI_SMALL},  {RT_GROUP_ICON, IDI_CONNECT},
        {RT_GROUP_ICON, IDI_SPY},  {RT_GROUP_ICON, IDI_OPTIONS}, {RT_GROUP_ICON, IDI_DISPLAY},
    };
    for (const auto &row : rows)
        EXPECT_NE(FindResourceExA(Module(), row.type, MAKEINTRESOURCEA(row.id), UK_ENGLISH), nullptr)
            << "type " << (UINT_PTR)row.type << " id " << row.id;
}

// --- Icons ------------------------------------------------------------------------------------

#pragma pack(push, 2)
struct GroupIconEntry {
    BYTE width, height, colourCount, reserved;
    WORD planes, bitCount;
    DWORD bytes;
    WORD id;
};
#pragma pack(pop)
static_assert(sizeof(GroupIconEntry) == 14, "group icon entries are 14 bytes in the resource");

const BYTE *ResourceBytes(LPCSTR type, LPCSTR name, DWORD *size)
{
    HRSRC found = FindResourceA(Module(), name, type);
    if (found == nullptr)
        return nullptr;
    *size = SizeofResource(Module(), found);
    return (const BYTE *)LockResource(LoadResource(Module(), found));
}

TEST(Resources, EveryIconHasItsSizesInSixteenColours)
{
    const struct {
        UINT id;
        std::vector<int> sizes;
    } rows[] = {
        {IDI_MAIN, {32, 16}}, {IDI_SMALL, {32}},   {IDI_CONNECT, {32}},
        {IDI_SPY, {32}},      {IDI_OPTIONS, {32}}, {IDI_DISPLAY, {32}},
    };
    for (const auto &row : rows) {
        SCOPED_TRACE(row.id);
        DWORD size = 0;
        const BYTE *group = ResourceBytes(RT_GROUP_ICON, MAKEINTRESOURCEA(row.id), &size);
        ASSERT_NE(group, nullptr);
        const WORD *header = (const WORD *)group;
        ASSERT_EQ(header[1], 1);   // icons, not cursors
        ASSERT_EQ(header[2], row.sizes.size());
        ASSERT_EQ(size, 6 + header[2] * sizeof(GroupIconEntry));
        const GroupIconEntry *entries = (const GroupIconEntry *)(group + 6);
        for (size_t i = 0; i < row.sizes.size(); i++) {
            const GroupIconEntry &entry = entries[i];
            EXPECT_EQ(entry.width, row.sizes[i]);
            EXPECT_EQ(entry.height, row.sizes[i]);
            EXPECT_EQ(entry.colourCount, 16);
            EXPECT_EQ(entry.bitCount, 4);
            // The image itself must agree with its directory entry.
            DWORD imageSize = 0;
            const BYTE *image = ResourceBytes(RT_ICON, MAKEINTRESOURCEA(entry.id), &imageSize);
            ASSERT_NE(image, nullptr);
            ASSERT_GE(imageSize, sizeof(BITMAPINFOHEADER));
            BITMAPINFOHEADER info;
            memcpy(&info, image, sizeof info);
            EXPECT_EQ(info.biBitCount, 4);
            EXPECT_EQ(info.biWidth, row.sizes[i]);
            EXPECT_EQ(info.biHeight, 2 * row.sizes[i]);   // colour bits and mask
            EXPECT_EQ(imageSize, entry.bytes);
            HICON icon = (HICON)LoadImageA(Module(), MAKEINTRESOURCEA(row.id), IMAGE_ICON, row.sizes[i],
                                           row.sizes[i], 0);
            EXPECT_NE(icon, nullptr);
            if (icon)
                DestroyIcon(icon);
        }
    }
}

// --- Dialogs ----------------------------------------------------------------------------------

const DWORD LABEL = WS_CHILD | WS_VISIBLE | SS_LEFT | WS_GROUP;
const DWORD RIGHT_LABEL = WS_CHILD | WS_VISIBLE | SS_RIGHT | WS_GROUP;
const DWORD EDIT = WS_CHILD | WS_VISIBLE | ES_LEFT | ES_AUTOHSCROLL | WS_BORDER | WS_TABSTOP;
const DWORD DEFAULT_BUTTON = WS_CHILD | WS_VISIBLE | BS_DEFPUSHBUTTON | WS_TABSTOP;
const DWORD BUTTON = WS_CHILD | WS_VISIBLE | BS_PUSHBUTTON | WS_TABSTOP;
const DWORD ICON = WS_CHILD | WS_VISIBLE | SS_ICON;
const WORD NO_ID = 0xFFFF;   // labels without identifier

struct ControlRow {
    WORD id;
    const char *className;   // as GetClassNameA reports it
    const char *text;        // nullptr for an icon
    WORD icon;               // icon identifier for SS_ICON controls
    short x, y, cx, cy;
    DWORD style;
};

struct DialogTable {
    WORD id;
    const char *caption;
    short cx, cy;
    DWORD style;
    std::vector<ControlRow> controls;
};

const DWORD DIALOG_STYLE = WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME | DS_SETFONT;

const DialogTable DIALOGS[] = {
    {IDD_CONNECT, "Connect", 232, 84, DIALOG_STYLE | WS_VISIBLE,
     {
         {NO_ID, "Static", "&Username", 0, 30, 5, 95, 10, LABEL},
         {IDC_USERNAME, "Edit", "", 0, 30, 15, 95, 15, EDIT},
         {NO_ID, "Static", "&Password", 0, 30, 30, 95, 10, LABEL},
         {IDC_PASSWORD, "Edit", "", 0, 30, 40, 95, 15, EDIT | ES_PASSWORD},
         {NO_ID, "Static", "&Database", 0, 130, 5, 95, 10, LABEL},
         {IDC_DATABASE, "Edit", "", 0, 130, 15, 95, 15, EDIT},
         {NO_ID, "Static", "P&ipename", 0, 130, 30, 90, 10, LABEL},
         {IDC_PIPENAME, "Edit", "", 0, 130, 40, 95, 15, EDIT | ES_UPPERCASE},
         {IDOK, "Button", "&OK", 0, 30, 60, 45, 15, DEFAULT_BUTTON},
         {IDCANCEL, "Button", "&Cancel", 0, 180, 60, 45, 15, BUTTON},
         {NO_ID, "Static", nullptr, IDI_CONNECT, 5, 15, 21, 20, ICON},
     }},
    {IDD_ABOUT, "About", 172, 109, DIALOG_STYLE,
     {
         {IDOK, "Button", "&OK", 0, 120, 90, 45, 15, DEFAULT_BUTTON},
         {IDC_ABOUTICON, "Static", nullptr, IDI_MAIN, 5, 35, 20, 20, ICON},
         {NO_ID, "Static", "Vantrel", 0, 30, 5, 120, 10, LABEL},
         {IDC_VERSION, "Static", "32-bit Version", 0, 30, 15, 120, 10, LABEL},
         {NO_ID, "Static", "", 0, 30, 35, 135, 50, WS_CHILD | WS_VISIBLE | SS_BLACKFRAME | SS_SUNKEN},
         {NO_ID, "Static", "Memory Usage (Kb)", 0, 35, 40, 125, 8, LABEL},
         {NO_ID, "Static", "Physical:", 0, 35, 50, 40, 10, LABEL},
         {NO_ID, "Static", "Paged:", 0, 35, 60, 40, 10, LABEL},
         {NO_ID, "Static", "Virtual:", 0, 35, 70, 40, 10, LABEL},
         {IDC_PHYSICAL, "Static", "0/0", 0, 80, 50, 80, 10, RIGHT_LABEL},
         {IDC_PAGED, "Static", "0/0", 0, 80, 60, 80, 10, RIGHT_LABEL},
         {IDC_VIRTUAL, "Static", "0/0", 0, 80, 70, 80, 10, RIGHT_LABEL},
     }},
    {IDD_OPTIONS, "Options", 227, 44, DIALOG_STYLE,
     {
         {IDOK, "Button", "&OK", 0, 125, 25, 45, 15, DEFAULT_BUTTON},
         {IDCANCEL, "Button", "&Cancel", 0, 175, 25, 45, 15, BUTTON},
         {NO_ID, "Static", nullptr, IDI_OPTIONS, 5, 5, 21, 20, ICON},
         {NO_ID, "Static", "Look for new messages every", 0, 30, 10, 100, 10, LABEL},
         {IDC_INTERVAL, "Edit", "", 0, 130, 5, 45, 15, EDIT},
         {NO_ID, "Static", "milliseconds", 0, 180, 10, 40, 10, LABEL},
     }},
    {IDD_DISPLAY, "Display", 227, 129, DIALOG_STYLE,
     {
         {IDCANCEL, "Button", "&Close", 0, 170, 110, 50, 14, DEFAULT_BUTTON},
         {NO_ID, "Static", nullptr, IDI_DISPLAY, 5, 15, 21, 20, ICON},
         {IDC_MESSAGE, "Edit", "", 0, 30, 15, 190, 90,
          WS_CHILD | WS_VISIBLE | ES_LEFT | ES_MULTILINE | ES_READONLY | WS_VSCROLL | WS_BORDER | WS_TABSTOP},
         {NO_ID, "Static", "The complete message sent was...", 0, 30, 5, 190, 8, LABEL},
     }},
};

// A name or number field of a dialog template: 0xFFFF then a number, or a zero-terminated UTF-16 text.
struct NameOrNumber {
    bool isNumber = false;
    WORD number = 0;
    std::string text;
};

const WORD *ReadNameOrNumber(const WORD *p, NameOrNumber *out)
{
    if (*p == 0xFFFF) {
        out->isNumber = true;
        out->number = p[1];
        return p + 2;
    }
    while (*p)
        out->text += (char)*p++;   // the program's texts are ASCII
    return p + 1;
}

const WORD *AlignToDword(const WORD *p, const BYTE *base)
{
    size_t offset = (const BYTE *)p - base;
    return (const WORD *)(base + ((offset + 3) & ~(size_t)3));
}

struct ParsedControl {
    DWORD style, exStyle;
    short x, y, cx, cy;
    WORD id;
    NameOrNumber className, text;
};

struct ParsedDialog {
    DWORD style, exStyle;
    short x, y, cx, cy;
    NameOrNumber menu, className;
    std::string caption;
    WORD pointSize = 0;
    std::string font;
    std::vector<ParsedControl> controls;
};

// Reads a classic (not extended) dialog template as windres writes it for a DIALOG statement.
bool ParseDialog(WORD id, ParsedDialog *dialog)
{
    DWORD size = 0;
    const BYTE *base = ResourceBytes(RT_DIALOG, MAKEINTRESOURCEA(id), &size);
    if (base == nullptr || size < sizeof(DLGTEMPLATE))
        return false;
    DLGTEMPLATE head;
    memcpy(&head, base, sizeof head);
    if (HIWORD(head.style) == 0xFFFF)   // an extended template starts with 1, 0xFFFF
        return false;
    dialog->style = head.style;
    dialog->exStyle = head.dwExtendedStyle;
    dialog->x = head.x, dialog->y = head.y, dialog->cx = head.cx, dialog->cy = head.cy;
    const WORD *p = (const WORD *)(base + 18);
    p = ReadNameOrNumber(p, &dialog->menu);
    p = ReadNameOrNumber(p, &dialog->className);
    NameOrNumber caption;
    p = ReadNameOrNumber(p, &caption);
    dialog->caption = caption.text;
    if (head.style & DS_SETFONT) {
        dialog->pointSize = *p++;
        NameOrNumber font;
        p = ReadNameOrNumber(p, &font);
        dialog->font = font.text;
    }
    for (int i = 0; i < head.cdit; i++) {
        p = AlignToDword(p, base);
        DLGITEMTEMPLATE item;
        memcpy(&item, p, sizeof item);
        ParsedControl control;
        control.style = item.style;
        control.exStyle = item.dwExtendedStyle;
        control.x = item.x, control.y = item.y, control.cx = item.cx, control.cy = item.cy;
        control.id = item.id;
        p = (const WORD *)((const BYTE *)p + 18);
        p = ReadNameOrNumber(p, &control.className);
        p = ReadNameOrNumber(p, &control.text);
        WORD extra = *p++;
        p = (const WORD *)((const BYTE *)p + extra);
        dialog->controls.push_back(control);
        if ((const BYTE *)p > base + size)
            return false;
    }
    return true;
}

// Predefined control classes as numbers in a classic template.
WORD ClassAtom(const char *className)
{
    if (strcmp(className, "Button") == 0)
        return 0x80;
    if (strcmp(className, "Edit") == 0)
        return 0x81;
    return 0x82;   // Static
}

TEST(Resources, DialogTemplatesMatchTheirTables)
{
    for (const DialogTable &table : DIALOGS) {
        SCOPED_TRACE(table.caption);
        ParsedDialog dialog;
        ASSERT_TRUE(ParseDialog(table.id, &dialog));
        EXPECT_EQ(dialog.style, table.style);
        EXPECT_EQ(dialog.exStyle, 0u);
        EXPECT_EQ(dialog.cx, table.cx);
        EXPECT_EQ(dialog.cy, table.cy);
        EXPECT_EQ(dialog.caption, table.caption);
        EXPECT_EQ(dialog.pointSize, 8);
        EXPECT_EQ(dialog.font, "MS Sans Serif");
        EXPECT_FALSE(dialog.menu.isNumber || !dialog.menu.text.empty());
        EXPECT_FALSE(dialog.className.isNumber || !dialog.className.text.empty());
        ASSERT_EQ(dialog.controls.size(), table.controls.size());
        for (size_t i = 0; i < table.controls.size(); i++) {
            const ControlRow &row = table.controls[i];
            const ParsedControl &control = dialog.controls[i];
            SCOPED_TRACE("control " + std::to_string(i));
            EXPECT_EQ(control.id, row.id);
            EXPECT_TRUE(control.className.isNumber);
            EXPECT_EQ(control.className.number, ClassAtom(row.className));
            EXPECT_EQ(control.style, row.style) << std::hex << (control.style ^ row.style);
            EXPECT_EQ(control.exStyle, 0u);
            EXPECT_EQ(control.x, row.x);
            EXPECT_EQ(control.y, row.y);
            EXPECT_EQ(control.cx, row.cx);
            EXPECT_EQ(control.cy, row.cy);
            if (row.text == nullptr) {
                EXPECT_TRUE(control.text.isNumber);   // the icon is named by its number
                EXPECT_EQ(control.text.number, row.icon);
            } else {
                EXPECT_FALSE(control.text.isNumber);
                EXPECT_EQ(control.text.text, row.text);
            }
        }
    }
}

INT_PTR CALLBACK PlainDlgProc(HWND, UINT message, WPARAM, LPARAM)
{
    return message == WM_INITDIALOG;   // let the dialog manager give the focus
}

std::vector<HWND> Children(HWND dialog)
{
    std::vector<HWND> children;
    for (HWND child = GetWindow(dialog, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT))
        children.push_back(child);
    return children;
}

// The edit control trades WS_BORDER for its own client edge when it is created; every other bit
// the template gives must still be on the window.
const DWORD KEPT_BY_EDIT = ~(DWORD)WS_BORDER;

TEST(Resources, DialogsCreateTheirControlsInTableOrderWithTheirStyles)
{
    for (const DialogTable &table : DIALOGS) {
        SCOPED_TRACE(table.caption);
        HWND dialog = CreateDialogParamA(Module(), MAKEINTRESOURCEA(table.id), nullptr, PlainDlgProc, 0);
        ASSERT_NE(dialog, nullptr);
        char text[128] = "";
        GetWindowTextA(dialog, text, sizeof text);
        EXPECT_STREQ(text, table.caption);
        std::vector<HWND> children = Children(dialog);
        ASSERT_EQ(children.size(), table.controls.size());
        for (size_t i = 0; i < children.size(); i++) {
            const ControlRow &row = table.controls[i];
            HWND child = children[i];
            SCOPED_TRACE("control " + std::to_string(i));
            EXPECT_EQ((WORD)GetDlgCtrlID(child), row.id);
            char className[64] = "";
            GetClassNameA(child, className, sizeof className);
            EXPECT_STRCASEEQ(className, row.className);
            DWORD style = (DWORD)GetWindowLongPtrA(child, GWL_STYLE);
            DWORD mask = strcmp(row.className, "Edit") == 0 ? KEPT_BY_EDIT : ~(DWORD)0;
            EXPECT_EQ(style & mask, row.style & mask) << std::hex << ((style ^ row.style) & mask);
            if (row.text == nullptr) {
                EXPECT_NE(SendMessageA(child, STM_GETICON, 0, 0), 0) << "icon " << row.icon << " not loaded";
            } else {
                GetWindowTextA(child, text, sizeof text);
                EXPECT_STREQ(text, row.text);
            }
        }
        DestroyWindow(dialog);
    }
}

TEST(Resources, TabOrderFollowsTheTablesAndMnemonicsReachTheNextControl)
{
    for (const DialogTable &table : DIALOGS) {
        SCOPED_TRACE(table.caption);
        std::vector<WORD> expected;
        for (const ControlRow &row : table.controls)
            if (row.style & WS_TABSTOP)
                expected.push_back(row.id);
        HWND dialog = CreateDialogParamA(Module(), MAKEINTRESOURCEA(table.id), nullptr, PlainDlgProc, 0);
        ASSERT_NE(dialog, nullptr);
        ShowWindow(dialog, SW_SHOW);
        std::vector<WORD> actual;
        HWND first = GetNextDlgTabItem(dialog, nullptr, FALSE);
        HWND item = first;
        do {
            actual.push_back((WORD)GetDlgCtrlID(item));
            item = GetNextDlgTabItem(dialog, item, FALSE);
        } while (item && item != first && actual.size() <= table.controls.size());
        EXPECT_EQ(actual, expected);

        // Alt and a label's underlined letter move the focus to the control created after it.
        for (size_t i = 0; i + 1 < table.controls.size(); i++) {
            const ControlRow &row = table.controls[i];
            const char *amp = row.text ? strchr(row.text, '&') : nullptr;
            if (row.id != NO_ID || amp == nullptr)
                continue;
            SCOPED_TRACE(row.text);
            SetFocus(GetDlgItem(dialog, expected.back()));
            MSG message = {};
            message.hwnd = GetFocus();
            message.message = WM_SYSCHAR;
            message.wParam = (WPARAM)(unsigned char)amp[1];
            message.lParam = 1 | (1 << 29);   // the Alt key is down
            EXPECT_TRUE(IsDialogMessageA(dialog, &message));
            EXPECT_EQ((WORD)GetDlgCtrlID(GetFocus()), table.controls[i + 1].id);
        }
        DestroyWindow(dialog);
    }
}

// --- Screenshots ------------------------------------------------------------------------------

void PumpFor(DWORD milliseconds)
{
    DWORD start = GetTickCount();
    do {
        MSG message;
        while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&message);
            DispatchMessageA(&message);
        }
        Sleep(20);
    } while (GetTickCount() - start < milliseconds);
}

// Run by tools/screenshot-dialogs, which sets VANTREL_SCREENSHOT_DIR (a Windows path) and takes
// a picture of the screen each time this test says a dialog is up. Skipped in ordinary runs.
TEST(ResourcesScreenshot, ShowEachDialogForTheScreenshotTool)
{
    std::string folder = TestEnv("VANTREL_SCREENSHOT_DIR");
    if (folder.empty())
        GTEST_SKIP() << "only for tools/screenshot-dialogs";
    for (const DialogTable &table : DIALOGS) {
        HWND dialog = CreateDialogParamA(Module(), MAKEINTRESOURCEA(table.id), nullptr, PlainDlgProc, 0);
        ASSERT_NE(dialog, nullptr);
        SetWindowPos(dialog, HWND_TOP, 40, 40, 0, 0, SWP_NOSIZE | SWP_SHOWWINDOW);
        PumpFor(300);
        RECT frame;
        GetWindowRect(dialog, &frame);
        std::string name = std::string(table.caption);
        std::string ready = folder + "\\" + name + ".ready";
        std::string done = folder + "\\" + name + ".done";
        FILE *file = fopen(ready.c_str(), "w");
        ASSERT_NE(file, nullptr);
        fprintf(file, "%ldx%ld+%ld+%ld\n", frame.right - frame.left, frame.bottom - frame.top, frame.left, frame.top);
        fclose(file);
        DWORD start = GetTickCount();
        while (GetFileAttributesA(done.c_str()) == INVALID_FILE_ATTRIBUTES && GetTickCount() - start < 30000)
            PumpFor(50);
        EXPECT_NE(GetFileAttributesA(done.c_str()), INVALID_FILE_ATTRIBUTES) << name << " was not taken";
        DestroyWindow(dialog);
    }
}

}
