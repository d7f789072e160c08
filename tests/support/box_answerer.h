// Answers the real modal message boxes and dialogs that code under test opens on this thread,
// and records what each one showed. Uses a thread-local CBT hook: a #32770 window is seen when it
// is activated, after WM_INITDIALOG and before the modal loop waits for input.
#ifndef VANTREL_BOX_ANSWERER_H
#define VANTREL_BOX_ANSWERER_H

#include <windows.h>

#include <deque>
#include <functional>
#include <string>
#include <vector>

struct SeenBox {
    std::string caption;
    std::string text;        // message text of a message box (control 0xFFFF), "" for dialogs
    std::string icon;        // "warning", "error", "question", "information" or "" (none or not a box)
    bool hasYesNo = false;   // Yes and No buttons present
    HWND owner = nullptr;
    bool expected = true;    // false when no answer was queued for it
};

class BoxAnswerer {
public:
    // Called with the box once it is up; must answer it (for example PressButton) or arrange to.
    using Handler = std::function<void(HWND box, const SeenBox &seen)>;

    BoxAnswerer();
    ~BoxAnswerer();
    BoxAnswerer(const BoxAnswerer &) = delete;
    BoxAnswerer &operator=(const BoxAnswerer &) = delete;

    // Queue the answer for the next box: press the button with this identifier (IDOK, IDYES...).
    void Answer(int buttonId);
    // Queue a handler for the next box (fill fields, check focus, then press a button).
    void Handle(Handler handler);

    const std::vector<SeenBox> &Seen() const { return seen_; }
    size_t Pending() const { return answers_.size(); }
    void Clear() { seen_.clear(); answers_.clear(); }

    // Posts a click of a button to a box or dialog.
    static void PressButton(HWND box, int buttonId);

private:
    static LRESULT CALLBACK CbtProc(int code, WPARAM wParam, LPARAM lParam);
    void OnActivate(HWND window);

    HHOOK hook_ = nullptr;
    std::deque<Handler> answers_;
    std::vector<SeenBox> seen_;
};

// Runs the thread's message loop for about the given time, so timers and posted messages arrive.
void PumpMessages(DWORD milliseconds);

// Runs the thread's message loop until the condition holds or the time is up; returns the condition.
bool PumpUntil(const std::function<bool()> &condition, DWORD milliseconds);

#endif
