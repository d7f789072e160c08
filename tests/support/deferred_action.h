// Runs a test's action from inside a modal loop a moment after a box or dialog was seen. The box
// answerer sees a dialog when it is first activated, which can happen before the dialog has
// finished initialising (a SetWindowPos in WM_INITDIALOG, or the Save dialog's own set-up), so
// anything that reads or fills controls is deferred to the loop.
#ifndef VANTREL_DEFERRED_ACTION_H
#define VANTREL_DEFERRED_ACTION_H

#include <functional>

// Queues the action on a thread timer; actions run one at a time, in the order queued.
void RunFromDialogLoop(std::function<void()> action, unsigned milliseconds = 20);

#endif
