// Thread-local CBT hook that records and answers modal boxes opened by the code under test.
#include "box_answerer.h"

namespace {

thread_local BoxAnswerer *activeAnswerer = nullptr;

std::string WindowText(HWND window)
{
    char buffer[4096] = "";
    GetWindowTextA(window, buffer, sizeof buffer);
    return buffer;
}

std::string IconName(HWND box)
{
    // Message boxes show their icon in a static control; the shared system icons identify it.
    const struct { LPCSTR id; const char *name; } icons[] = {
        {IDI_WARNING, "warning"}, {IDI_ERROR, "error"}, {IDI_QUESTION, "question"}, {IDI_INFORMATION, "information"},
    };
    for (HWND child = GetWindow(box, GW_CHILD); child != nullptr; child = GetWindow(child, GW_HWNDNEXT)) {
        char className[32] = "";
        GetClassNameA(child, className, sizeof className);
        if (lstrcmpiA(className, "Static") != 0 || (GetWindowLongA(child, GWL_STYLE) & SS_TYPEMASK) != SS_ICON)
            continue;
        HICON shown = (HICON)SendMessageA(child, STM_GETICON, 0, 0);
        for (const auto &icon : icons)
            if (shown != nullptr && shown == LoadIconA(nullptr, icon.id))
                return icon.name;
    }
    return "";
}

}

BoxAnswerer::BoxAnswerer()
{
    activeAnswerer = this;
    hook_ = SetWindowsHookExA(WH_CBT, CbtProc, nullptr, GetCurrentThreadId());
}

BoxAnswerer::~BoxAnswerer()
{
    if (hook_ != nullptr)
        UnhookWindowsHookEx(hook_);
    if (activeAnswerer == this)
        activeAnswerer = nullptr;
}

void BoxAnswerer::Answer(int buttonId)
{
    answers_.push_back([buttonId](HWND box, const SeenBox &) { PressButton(box, buttonId); });
}

void BoxAnswerer::Handle(Handler handler)
{
    answers_.push_back(std::move(handler));
}

void BoxAnswerer::PressButton(HWND box, int buttonId)
{
    PostMessageA(box, WM_COMMAND, MAKEWPARAM(buttonId, BN_CLICKED), (LPARAM)GetDlgItem(box, buttonId));
}

LRESULT CALLBACK BoxAnswerer::CbtProc(int code, WPARAM wParam, LPARAM lParam)
{
    BoxAnswerer *self = activeAnswerer;
    if (code == HCBT_ACTIVATE && self != nullptr)
        self->OnActivate((HWND)wParam);
    return CallNextHookEx(self != nullptr ? self->hook_ : nullptr, code, wParam, lParam);
}

void BoxAnswerer::OnActivate(HWND window)
{
    char className[32] = "";
    GetClassNameA(window, className, sizeof className);
    // Activation of the owner after a box closes arrives here too: only dialogs count.
    if (lstrcmpA(className, "#32770") != 0)
        return;
    // A box is reported once, however often it is re-activated.
    if (GetPropA(window, "VantrelTestSeen") != nullptr)
        return;
    SetPropA(window, "VantrelTestSeen", (HANDLE)1);

    SeenBox seen;
    seen.caption = WindowText(window);
    HWND textControl = GetDlgItem(window, 0xFFFF);
    if (textControl != nullptr)
        seen.text = WindowText(textControl);
    seen.icon = IconName(window);
    seen.hasYesNo = GetDlgItem(window, IDYES) != nullptr && GetDlgItem(window, IDNO) != nullptr;
    seen.owner = GetWindow(window, GW_OWNER);
    if (answers_.empty()) {
        // Never leave a test hanging on a box nobody expected: close it with its safest button.
        seen.expected = false;
        seen_.push_back(seen);
        int button = GetDlgItem(window, IDCANCEL) != nullptr ? IDCANCEL
                   : GetDlgItem(window, IDNO) != nullptr     ? IDNO
                                                             : IDOK;
        PressButton(window, button);
        return;
    }
    seen_.push_back(seen);
    Handler handler = std::move(answers_.front());
    answers_.pop_front();
    handler(window, seen);
}

void PumpMessages(DWORD milliseconds)
{
    PumpUntil([] { return false; }, milliseconds);
}

bool PumpUntil(const std::function<bool()> &condition, DWORD milliseconds)
{
    DWORD start = GetTickCount();
    for (;;) {
        MSG message;
        while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&message);
            DispatchMessageA(&message);
        }
        if (condition())
            return true;
        if (GetTickCount() - start >= milliseconds)
            return false;
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
    }
}
