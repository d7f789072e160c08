// A plain ODBC session for tests to act on the private database beside the program: send trace
// messages, drop or restore objects, end the program's server session.
#ifndef VANTREL_TEST_DB_H
#define VANTREL_TEST_DB_H

#include <string>
#include <vector>

class TestDbSession {
public:
    // Logs on as the ordinary test user, or as the superuser when asAdmin is true.
    explicit TestDbSession(bool asAdmin = false);
    ~TestDbSession();
    TestDbSession(const TestDbSession &) = delete;
    TestDbSession &operator=(const TestDbSession &) = delete;

    bool Connected() const { return connection_ != nullptr; }
    // Runs a statement with text parameters bound in order; true on success.
    bool Exec(const std::string &sql, const std::vector<std::string> &params = {});
    // First column of the first row as text; "<null>" for NULL, "<error: ...>" on failure.
    std::string SelectText(const std::string &sql, const std::vector<std::string> &params = {});
    // Sends one trace message to a pipe with the server package's put.
    bool SendTrace(const std::string &pipe, const std::string &message);
    const std::string &LastError() const { return lastError_; }

private:
    void *environment_ = nullptr;
    void *connection_ = nullptr;
    std::string lastError_;
};

// A pipe name no other test uses: the prefix, the process id and a counter.
std::string UniquePipeName(const char *prefix);

#endif
