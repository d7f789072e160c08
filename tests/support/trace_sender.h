// Sends trace messages from a second thread with its own database session, so the test's own
// thread can run the program's message loop meanwhile. The server's put waits while the pipe is
// full, so the sender goes exactly as fast as the program drains the pipe.
#ifndef VANTREL_TRACE_SENDER_H
#define VANTREL_TRACE_SENDER_H

#include <windows.h>

#include <string>
#include <vector>

class BackgroundSender {
public:
    // Sends count messages to the pipe in one server statement: message i (from 1) is
    // lpad(i, 6, '0') followed by a space and the filler repeated to the given total length.
    BackgroundSender(const std::string &pipe, int count, int length);
    // Sends the given messages one by one, in order.
    BackgroundSender(const std::string &pipe, const std::vector<std::string> &messages);
    ~BackgroundSender();
    BackgroundSender(const BackgroundSender &) = delete;
    BackgroundSender &operator=(const BackgroundSender &) = delete;

    // Waits for the statement to end; true when it ended in time and every message was sent.
    bool Finish(DWORD milliseconds);
    const std::string &Error() const { return error_; }

    // The text of message i as the server builds it.
    static std::string Message(int index, int length);

private:
    static DWORD WINAPI Run(LPVOID self);

    std::string pipe_;
    int count_;
    int length_;
    std::vector<std::string> messages_;
    HANDLE thread_ = nullptr;
    std::string result_;
    std::string error_;
};

#endif
