// Acts on the private PostgreSQL from outside Wine for fault tests: stops and starts the server,
// pauses and resumes one server process. A Windows program under Wine can start Unix programs
// through CreateProcessA("/bin/sh", ...), but their exit codes are not reliable, so each command
// records its own status in a file that the caller waits for.
#ifndef VANTREL_HOST_SERVER_H
#define VANTREL_HOST_SERVER_H

#include <string>

// Runs a /bin/sh command line (no double quotes in it) and waits up to the timeout for it to end.
// True when it ended with status 0; its output goes to *output when given.
bool RunHostCommand(const std::string &command, unsigned timeoutMilliseconds, std::string *output = nullptr);

// Stops the server (fast shutdown: sessions are ended) and waits until it is gone.
bool StopDatabaseServer(void);

// Starts the server again on the same port and socket folder and waits until it takes logons.
bool StartDatabaseServer(void);

// True when the server takes a logon of the test user.
bool DatabaseServerAnswers(void);

// Sends a signal ("STOP", "CONT") to one process of the host.
bool SignalHostProcess(int pid, const char *signal);

// Starts the server again at the end of a scope if it is not answering, so a failing test never
// leaves it stopped for the tests after it.
class ServerRestorer {
public:
    ServerRestorer() = default;
    ~ServerRestorer();
    ServerRestorer(const ServerRestorer &) = delete;
    ServerRestorer &operator=(const ServerRestorer &) = delete;
};

// Sends SIGCONT to a paused process at the end of a scope (again, when it already was).
class ProcessResumer {
public:
    explicit ProcessResumer(int pid) : pid_(pid) {}
    ~ProcessResumer();
    ProcessResumer(const ProcessResumer &) = delete;
    ProcessResumer &operator=(const ProcessResumer &) = delete;

private:
    int pid_;
};

#endif
