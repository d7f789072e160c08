// Thread-timer queue behind RunFromDialogLoop.
#include "deferred_action.h"

#include <windows.h>

#include <deque>
#include <utility>

namespace {

thread_local std::deque<std::function<void()>> pendingActions;

void CALLBACK RunNextAction(HWND, UINT, UINT_PTR timer, DWORD)
{
    KillTimer(nullptr, timer);
    if (pendingActions.empty())
        return;
    std::function<void()> action = std::move(pendingActions.front());
    pendingActions.pop_front();
    action();
}

}

void RunFromDialogLoop(std::function<void()> action, unsigned milliseconds)
{
    pendingActions.push_back(std::move(action));
    SetTimer(nullptr, 0, milliseconds, RunNextAction);
}
