// The Connect dialog: asks for user name, password, database and pipe name, remembers all but the
// password in the settings store, and fills connectString and pipeName for the Connect command.
#include "connect_dialog.h"

#include "connect_text.h"
#include "dialogs.h"
#include "program_state.h"
#include "resource.h"
#include "settings_store.h"

#include <cstring>

namespace {

const char DEFAULT_PIPE_NAME[] = "VANTREL32";
const char USER_NAME_REFUSED[] = "The user name cannot contain \"/\" or \"@\".";
const char DATABASE_REFUSED[] = "The database name cannot contain \"@\".";

ConnectFields *FieldsOf(HWND dialog)
{
    return (ConnectFields *)GetWindowLongPtrA(dialog, DWLP_USER);
}

INT_PTR OnConnectInit(HWND dialog, ConnectFields *fields)
{
    SetWindowLongPtrA(dialog, DWLP_USER, (LONG_PTR)fields);
    CenterDialog(dialog);

    // The store leaves a buffer as it was when the stored text is too long for it: starting from
    // the defaults makes such a field show its default.
    lstrcpynA(fields->user, "", sizeof fields->user);
    lstrcpynA(fields->database, "", sizeof fields->database);
    lstrcpynA(fields->pipe, DEFAULT_PIPE_NAME, sizeof fields->pipe);
    OpenSettingsKey(programState.instance, IDS_REGROOT, IDS_APPKEY, IDS_KEYCLASS);
    ReadSettingText(IDS_USER, "", fields->user, sizeof fields->user);
    ReadSettingText(IDS_DATABASE, "", fields->database, sizeof fields->database);
    ReadSettingText(IDS_PIPE, DEFAULT_PIPE_NAME, fields->pipe, sizeof fields->pipe);
    CloseSettingsKey();

    SetDlgItemTextA(dialog, IDC_USERNAME, fields->user);
    SetDlgItemTextA(dialog, IDC_PASSWORD, "");
    SetDlgItemTextA(dialog, IDC_DATABASE, fields->database);
    SetDlgItemTextA(dialog, IDC_PIPENAME, fields->pipe);

    SetFocus(GetDlgItem(dialog, fields->user[0] != '\0' ? IDC_PASSWORD : IDC_USERNAME));
    return FALSE;   // the focus has been set
}

// The log on takes the password after the first "/" and the database after the last "@": a user
// name holding either, or a database holding "@", would be split in the wrong place and sent to
// the wrong server or with the wrong password. Such a field is refused and gets the focus back.
int FieldIsRefused(HWND dialog, int control, const char *text, const char *characters, const char *message)
{
    if (strpbrk(text, characters) == nullptr)
        return 0;
    MessageBoxA(dialog, message, "Error", MB_OK | MB_ICONWARNING);
    SetFocus(GetDlgItem(dialog, control));
    return 1;
}

void OnConnectOk(HWND dialog)
{
    ConnectFields *fields = FieldsOf(dialog);
    GetDlgItemTextA(dialog, IDC_USERNAME, fields->user, sizeof fields->user);
    GetDlgItemTextA(dialog, IDC_PASSWORD, fields->password, sizeof fields->password);
    GetDlgItemTextA(dialog, IDC_DATABASE, fields->database, sizeof fields->database);
    GetDlgItemTextA(dialog, IDC_PIPENAME, fields->pipe, sizeof fields->pipe);

    if (FieldIsRefused(dialog, IDC_USERNAME, fields->user, "/@", USER_NAME_REFUSED) ||
        FieldIsRefused(dialog, IDC_DATABASE, fields->database, "@", DATABASE_REFUSED)) {
        SecureZeroMemory(fields->password, sizeof fields->password);
        return;   // the dialog stays open
    }

    OpenSettingsKey(programState.instance, IDS_REGROOT, IDS_APPKEY, IDS_KEYCLASS);
    WriteSettingText(IDS_USER, fields->user);
    WriteSettingText(IDS_DATABASE, fields->database);
    WriteSettingText(IDS_PIPE, fields->pipe);
    CloseSettingsKey();

    BuildConnectString(fields->user, fields->password, fields->database, programState.connectString,
                       sizeof programState.connectString);
    // The password lives on only in connectString, which the Connect command wipes after its attempt.
    SecureZeroMemory(fields->password, sizeof fields->password);
    lstrcpynA(programState.pipeName, fields->pipe, sizeof programState.pipeName);
    EndDialog(dialog, 1);
}

void OnConnectCommand(HWND dialog, WORD id)
{
    switch (id) {
    case IDOK:     OnConnectOk(dialog); break;
    case IDCANCEL: PostMessageA(dialog, WM_CLOSE, 0, 0); break;
    }
}

}

INT_PTR CALLBACK ConnectDlgProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_INITDIALOG: return OnConnectInit(dialog, (ConnectFields *)lParam);
    case WM_COMMAND:    OnConnectCommand(dialog, LOWORD(wParam)); return TRUE;
    case WM_CLOSE:      EndDialog(dialog, 0); return TRUE;
    }
    return FALSE;
}

INT_PTR RunConnectDialogWith(ConnectFields *fields)
{
    return DialogBoxParamA(programState.instance, MAKEINTRESOURCEA(IDD_CONNECT), programState.mainWindow,
                           ConnectDlgProc, (LPARAM)fields);
}

INT_PTR RunConnectDialog(void)
{
    ConnectFields fields = {};
    return RunConnectDialogWith(&fields);
}
