// A sender thread for load tests.
#include "trace_sender.h"

#include "test_db.h"

BackgroundSender::BackgroundSender(const std::string &pipe, int count, int length)
    : pipe_(pipe), count_(count), length_(length)
{
    thread_ = CreateThread(nullptr, 0, Run, this, 0, nullptr);
}

BackgroundSender::BackgroundSender(const std::string &pipe, const std::vector<std::string> &messages)
    : pipe_(pipe), count_((int)messages.size()), length_(0), messages_(messages)
{
    thread_ = CreateThread(nullptr, 0, Run, this, 0, nullptr);
}

BackgroundSender::~BackgroundSender()
{
    if (thread_ != nullptr) {
        // A sender left waiting on a full pipe gives up after put's own timeout.
        WaitForSingleObject(thread_, 30000);
        CloseHandle(thread_);
    }
}

DWORD WINAPI BackgroundSender::Run(LPVOID self)
{
    BackgroundSender &sender = *(BackgroundSender *)self;
    TestDbSession session;
    if (!session.Connected()) {
        sender.result_ = "<error: " + session.LastError() + ">";
        return 0;
    }
    if (!sender.messages_.empty()) {
        int sent = 0;
        for (const std::string &message : sender.messages_) {
            if (!session.SendTrace(sender.pipe_, message)) {
                sender.result_ = "<error at message " + std::to_string(sent + 1) + ": " + session.LastError() + ">";
                return 0;
            }
            sent++;
        }
        sender.result_ = std::to_string(sent);
        return 0;
    }
    sender.result_ = session.SelectText(
        "SELECT count(vantrel.put(?, rpad(lpad(n::text, 6, '0') || ' ', ?::int, 'abcdefghij'))::text) "
        "FROM generate_series(1, ?::int) AS n",
        {sender.pipe_, std::to_string(sender.length_), std::to_string(sender.count_)});
    return 0;
}

bool BackgroundSender::Finish(DWORD milliseconds)
{
    if (thread_ == nullptr) {
        error_ = "no sender thread";
        return false;
    }
    if (WaitForSingleObject(thread_, milliseconds) != WAIT_OBJECT_0) {
        error_ = "sender still running";
        return false;
    }
    // put returns nothing, so count() of its results counts the rows sent.
    if (result_ != std::to_string(count_)) {
        error_ = result_;
        return false;
    }
    return true;
}

std::string BackgroundSender::Message(int index, int length)
{
    std::string number = std::to_string(index);
    std::string text = std::string(number.size() < 6 ? 6 - number.size() : 0, '0') + number + " ";
    const char filler[] = "abcdefghij";
    for (size_t i = 0; text.size() < (size_t)length; i++)
        text += filler[i % 10];
    return text;
}
