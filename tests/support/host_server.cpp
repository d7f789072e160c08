// Stopping, starting and pausing the private PostgreSQL from tests, through /bin/sh.
#include "host_server.h"

#include <windows.h>

#include <fstream>
#include <iterator>

#include "test_db.h"
#include "test_env.h"

namespace {

const char PG_BIN[] = "/usr/lib/postgresql/15/bin";

std::string WindowsPathOf(const std::string &unixPath)
{
    std::string path = "Z:" + unixPath;
    for (char &c : path)
        if (c == '/')
            c = '\\';
    return path;
}

std::string ReadWholeFile(const std::string &windowsPath)
{
    std::ifstream file(windowsPath, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
}

std::string DataFolder(void)
{
    return TestEnv("PGHOST") + "/data";
}

// pg_ctl as the server's owner with the options tools/lib.sh starts it with.
std::string PgCtl(const std::string &action)
{
    std::string host = TestEnv("PGHOST");
    return "runuser -u postgres -- " + std::string(PG_BIN) + "/pg_ctl -D " + DataFolder() + " -l " + host +
           "/server.log -w -s -t 30 -o '-p " + TestEnv("PGPORT") + " -k " + host +
           " -c listen_addresses=127.0.0.1' " + action;
}

}

bool RunHostCommand(const std::string &command, unsigned timeoutMilliseconds, std::string *output)
{
    static int counter = 0;
    std::string base = "/tmp/vantrel-host-" + std::to_string(GetCurrentProcessId()) + "-" + std::to_string(++counter);
    std::string outPath = base + ".out", statusPath = base + ".status";
    DeleteFileA(WindowsPathOf(statusPath).c_str());
    // The status file is written last, in one rename, so a reader never sees half of it.
    std::string line = "/bin/sh -c \"( " + command + " ) >" + outPath + " 2>&1; echo $? >" + statusPath +
                       ".tmp; mv " + statusPath + ".tmp " + statusPath + "\"";
    // The child gets a handle of its own on the null device for its standard handles: sharing
    // the test's own standard output with a Unix child loses the test's later output.
    SECURITY_ATTRIBUTES inherit = {sizeof inherit, nullptr, TRUE};
    HANDLE nul = CreateFileA("NUL", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, &inherit,
                             OPEN_EXISTING, 0, nullptr);
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = startup.hStdOutput = startup.hStdError = nul;
    PROCESS_INFORMATION process = {};
    BOOL started = CreateProcessA("/bin/sh", &line[0], nullptr, nullptr, TRUE, 0, nullptr, nullptr, &startup, &process);
    CloseHandle(nul);
    if (!started)
        return false;
    // Wine returns no handles for a Unix child (a null process handle and an arbitrary thread
    // value): closing them would close some other handle of the test, such as its output.
    if (process.hProcess != nullptr) {
        CloseHandle(process.hThread);
        CloseHandle(process.hProcess);
    }

    std::string statusFile = WindowsPathOf(statusPath);
    DWORD start = GetTickCount();
    while (GetFileAttributesA(statusFile.c_str()) == INVALID_FILE_ATTRIBUTES) {
        if (GetTickCount() - start > timeoutMilliseconds)
            return false;
        Sleep(50);
    }
    std::string status = ReadWholeFile(statusFile);
    if (output != nullptr)
        *output = ReadWholeFile(WindowsPathOf(outPath));
    DeleteFileA(statusFile.c_str());
    DeleteFileA(WindowsPathOf(outPath).c_str());
    return status.rfind("0", 0) == 0;
}

bool StopDatabaseServer(void)
{
    RunHostCommand(PgCtl("-m fast stop"), 40000);
    // The server is gone when its lock file is.
    std::string pidFile = WindowsPathOf(DataFolder() + "/postmaster.pid");
    DWORD start = GetTickCount();
    while (GetFileAttributesA(pidFile.c_str()) != INVALID_FILE_ATTRIBUTES) {
        if (GetTickCount() - start > 30000)
            return false;
        Sleep(50);
    }
    return true;
}

bool StartDatabaseServer(void)
{
    RunHostCommand(PgCtl("start"), 40000);
    DWORD start = GetTickCount();
    while (!DatabaseServerAnswers()) {
        if (GetTickCount() - start > 30000)
            return false;
        Sleep(200);
    }
    return true;
}

bool DatabaseServerAnswers(void)
{
    TestDbSession session;
    return session.Connected();
}

bool SignalHostProcess(int pid, const char *signal)
{
    return pid > 0 && RunHostCommand("kill -" + std::string(signal) + " " + std::to_string(pid), 10000);
}

ServerRestorer::~ServerRestorer()
{
    if (!DatabaseServerAnswers())
        StartDatabaseServer();
}

ProcessResumer::~ProcessResumer()
{
    SignalHostProcess(pid_, "CONT");
}
