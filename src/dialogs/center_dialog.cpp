// CenterDialog: every dialog of the program calls it from WM_INITDIALOG to sit over its owner.
#include "dialogs.h"

#include "center_geometry.h"

void CenterDialog(HWND window)
{
    // For an owned popup GetParent reports the owner; a window without one centres on the screen.
    HWND parent = GetParent(window);
    if (parent == nullptr)
        parent = GetDesktopWindow();

    RECT windowRect = {};
    RECT parentRect = {};
    GetWindowRect(window, &windowRect);
    GetWindowRect(parent, &parentRect);

    ScreenRect windowArea = {windowRect.left, windowRect.top, windowRect.right, windowRect.bottom};
    ScreenRect parentArea = {parentRect.left, parentRect.top, parentRect.right, parentRect.bottom};
    ScreenPoint position = CenteredPosition(windowArea, parentArea);
    // Dialogs call this from WM_INITDIALOG: moving must not also activate a half-filled dialog
    // (Wine would), so it becomes active only when shown, with its fields in place.
    SetWindowPos(window, nullptr, (int)position.x, (int)position.y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}
