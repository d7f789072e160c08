// Start-up of the real vantrel.exe with a connect string on its command line, seen from outside
// as a user would see it: from process creation to the first paint (the indicator square turns
// red on the screen) and to the logon finished (the connection pane's pixels change from "Not
// connected"). Beside it, the same observation of a bare program started the same way: a plain
// window that paints the same square and pane, then makes a bare ODBC connection and repaints.
// The two take turns.
// Usage: startup [rounds]   (default 9)
//        startup bare-window  (the bare program; started by the benchmark itself)
//        startup steps TIME   (WinMain's steps timed inside; started by the benchmark itself)
#include "bench_support.h"
#include "status_layout.h"

const char *benchName = "startup";

namespace {

const char BARE_CLASS[] = "VantrelBenchBare";
const COLORREF RED = RGB(255, 0, 0);

int bareConnected = 0;

StatusGeometry ClientGeometry(HWND window)
{
    RECT client;
    GetClientRect(window, &client);
    LayoutRect area = {(int)client.left, (int)client.top, (int)client.right, (int)client.bottom};
    return ComputeStatusGeometry(area, 24, 22);
}

LRESULT CALLBACK BareWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_PAINT) {
        PAINTSTRUCT paint;
        HDC dc = BeginPaint(window, &paint);
        StatusGeometry geometry = ClientGeometry(window);
        RECT square = {geometry.indicator.left + 2, geometry.indicator.top + 2, geometry.indicator.right - 2,
                       geometry.indicator.bottom - 2};
        HBRUSH red = CreateSolidBrush(RED);
        FillRect(dc, &square, red);
        DeleteObject(red);
        RECT pane = {geometry.panes[1].left + 4, geometry.panes[1].top + 2, geometry.panes[1].right - 4,
                     geometry.panes[1].bottom - 2};
        SetBkMode(dc, TRANSPARENT);
        FillRect(dc, &pane, GetSysColorBrush(COLOR_BTNFACE));
        DrawTextA(dc, bareConnected ? "Connected to a bare logon" : "Not connected", -1, &pane,
                  DT_SINGLELINE | DT_VCENTER);
        EndPaint(window, &paint);
        return 0;
    }
    if (message == WM_DESTROY) {
        PostQuitMessage(0);
        return 0;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

// The bare program: a window painted once, then a plain ODBC logon and a repaint.
int RunBareWindow(void)
{
    HINSTANCE instance = GetModuleHandleA(nullptr);
    WNDCLASSEXA windowClass = {};
    windowClass.cbSize = sizeof windowClass;
    windowClass.lpfnWndProc = BareWindowProc;
    windowClass.hInstance = instance;
    windowClass.hCursor = LoadCursorA(nullptr, IDC_ARROW);
    windowClass.hbrBackground = GetSysColorBrush(COLOR_BTNFACE);
    windowClass.lpszClassName = BARE_CLASS;
    RegisterClassExA(&windowClass);
    HWND window = CreateWindowExA(0, BARE_CLASS, "Bare", WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN, CW_USEDEFAULT,
                                  CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, nullptr, nullptr, instance, nullptr);
    ShowWindow(window, SW_SHOWNORMAL);
    UpdateWindow(window);

    SQLHENV environment = SQL_NULL_HENV;
    SQLHDBC connection = SQL_NULL_HDBC;
    std::string dsn = Env("VANTREL_DSN"), user = Env("VANTREL_DB_USER"), password = Env("VANTREL_DB_PASSWORD");
    SQLAllocHandle(SQL_HANDLE_ENV, SQL_NULL_HANDLE, &environment);
    SQLSetEnvAttr(environment, SQL_ATTR_ODBC_VERSION, (SQLPOINTER)SQL_OV_ODBC3, 0);
    SQLAllocHandle(SQL_HANDLE_DBC, environment, &connection);
    if (SQL_SUCCEEDED(SQLConnect(connection, (SQLCHAR *)dsn.c_str(), SQL_NTS, (SQLCHAR *)user.c_str(), SQL_NTS,
                                 (SQLCHAR *)password.c_str(), SQL_NTS)))
        bareConnected = 1;
    InvalidateRect(window, nullptr, TRUE);
    UpdateWindow(window);

    MSG message;
    while (GetMessageA(&message, nullptr, 0, 0) > 0)
        DispatchMessageA(&message);
    if (bareConnected)
        SQLDisconnect(connection);
    SQLFreeHandle(SQL_HANDLE_DBC, connection);
    SQLFreeHandle(SQL_HANDLE_ENV, environment);
    return bareConnected ? 0 : 1;
}

// WinMain's steps timed inside a fresh process, to see where the start-up goes: process creation
// to main (the time of creation comes on the command line), the class, the window with its
// children, font, brushes and settings, showing it with its first paint, then the logon.
int RunProgramSteps(double created)
{
    double reached = Seconds();
    HINSTANCE instance = GetModuleHandleA(nullptr);
    std::string connect = BenchConnectString();
    ResetProgramState(instance, connect.c_str());
    double t0 = Seconds();
    RegisterMainWindowClass(instance);
    double t1 = Seconds();
    CreateMainWindow(instance);
    double t2 = Seconds();
    ShowWindow(programState.mainWindow, SW_SHOWNORMAL);
    UpdateWindow(programState.mainWindow);
    double t3 = Seconds();
    while (programState.connected != 1 && Seconds() - t3 < 30) {
        PumpWaitingMessages();
        Sleep(1);
    }
    double t4 = Seconds();
    std::printf("  WinMain's steps in a fresh process: creation to main %.1f ms, class %.1f ms, window with its "
                "children %.1f ms, show and first paint %.1f ms, logon %.1f ms\n",
                (reached - created) * 1e3, (t1 - t0) * 1e3, (t2 - t1) * 1e3, (t3 - t2) * 1e3, (t4 - t3) * 1e3);
    std::fflush(stdout);
    DestroyWindow(programState.mainWindow);
    return programState.connected == 0 ? 0 : 1;
}

// A copy of a screen rectangle's pixels, read back from the display.
std::vector<DWORD> ScreenPixels(HDC screen, const RECT &area)
{
    int width = area.right - area.left, height = area.bottom - area.top;
    std::vector<DWORD> pixels((size_t)(width > 0 ? width : 0) * (height > 0 ? height : 0));
    if (pixels.empty())
        return pixels;
    BITMAPINFO info = {};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    void *bits = nullptr;
    HDC memory = CreateCompatibleDC(screen);
    HBITMAP bitmap = CreateDIBSection(screen, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    HGDIOBJ old = SelectObject(memory, bitmap);
    BitBlt(memory, 0, 0, width, height, screen, area.left, area.top, SRCCOPY);
    GdiFlush();
    memcpy(pixels.data(), bits, pixels.size() * sizeof(DWORD));
    SelectObject(memory, old);
    DeleteObject(bitmap);
    DeleteDC(memory);
    return pixels;
}

RECT ScreenRect(HWND window, const LayoutRect &r, int inset)
{
    POINT topLeft = {r.left + inset, r.top + inset}, bottomRight = {r.right - inset, r.bottom - inset};
    ClientToScreen(window, &topLeft);
    ClientToScreen(window, &bottomRight);
    RECT screen = {topLeft.x, topLeft.y, bottomRight.x, bottomRight.y};
    return screen;
}

struct StartTimes {
    double firstPaint = -1;   // seconds from process creation
    double logonDone = -1;
};

int IsRed(DWORD pixel)
{
    // DIB pixels are 0x00RRGGBB.
    return (pixel & 0xFFFFFF) == 0xFF0000;
}

// Starts a program and watches the screen until its square is red and its connection pane has
// changed, then closes it.
StartTimes ObserveStart(const std::string &commandLine, const char *windowClass)
{
    StartTimes times;
    HDC screen = GetDC(nullptr);
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process = {};
    std::vector<char> line(commandLine.begin(), commandLine.end());
    line.push_back('\0');
    double start = Seconds();
    if (!CreateProcessA(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process))
        BenchExit("a program could not be started");

    HWND window = nullptr;
    std::vector<DWORD> paneAtFirstPaint;
    while (Seconds() - start < 30) {
        if (window == nullptr)
            window = FindWindowA(windowClass, nullptr);
        if (window != nullptr && IsWindowVisible(window)) {
            StatusGeometry geometry = ClientGeometry(window);
            RECT square = ScreenRect(window, geometry.indicator, 4);
            RECT pane = ScreenRect(window, geometry.panes[1], 4);
            if (times.firstPaint < 0) {
                std::vector<DWORD> squarePixels = ScreenPixels(screen, square);
                if (!squarePixels.empty() && IsRed(squarePixels[squarePixels.size() / 2])) {
                    times.firstPaint = Seconds() - start;
                    paneAtFirstPaint = ScreenPixels(screen, pane);
                }
            } else if (ScreenPixels(screen, pane) != paneAtFirstPaint) {
                times.logonDone = Seconds() - start;
                break;
            }
        }
        Sleep(1);
    }
    if (window != nullptr)
        PostMessageA(window, WM_CLOSE, 0, 0);
    if (WaitForSingleObject(process.hProcess, 15000) != WAIT_OBJECT_0)
        TerminateProcess(process.hProcess, 1);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    ReleaseDC(nullptr, screen);
    return times;
}

std::string ProgramFolder(void)
{
    char path[MAX_PATH] = "";
    GetModuleFileNameA(nullptr, path, sizeof path);
    std::string folder = path;
    return folder.substr(0, folder.find_last_of("\\/") + 1);
}

}

int main(int argc, char **argv)
{
    if (argc > 1 && lstrcmpA(argv[1], "bare-window") == 0)
        return RunBareWindow();
    if (argc > 2 && lstrcmpA(argv[1], "steps") == 0)
        return RunProgramSteps(std::atof(argv[2]));
    int rounds = argc > 1 ? std::atoi(argv[1]) : 9;
    std::string connect = BenchConnectString();
    std::string folder = ProgramFolder();
    std::string product = "\"" + folder + "..\\vantrel.exe\" " + connect;
    std::string bare = "\"" + folder + "startup.exe\" bare-window";

    // One start of each, untimed, so that both find Wine's files in the cache.
    ObserveStart(product, "VANTREL32");
    ObserveStart(bare, BARE_CLASS);
    Totals productPaint, productLogon, barePaint, bareLogon;
    int missed = 0;
    for (int r = 0; r < rounds; r++) {
        StartTimes p = ObserveStart(product, "VANTREL32");
        StartTimes b = ObserveStart(bare, BARE_CLASS);
        if (p.firstPaint < 0 || p.logonDone < 0 || b.firstPaint < 0 || b.logonDone < 0) {
            missed++;
            continue;
        }
        productPaint.microseconds.push_back(p.firstPaint * 1e3);
        productLogon.microseconds.push_back(p.logonDone * 1e3);
        barePaint.microseconds.push_back(b.firstPaint * 1e3);
        bareLogon.microseconds.push_back(b.logonDone * 1e3);
    }
    std::printf("start-up seen on the screen, from process creation; median (mean) of %d rounds\n",
                productPaint.Calls());
    std::printf("  first paint:     vantrel.exe %7.1f ms (%7.1f)   bare window %7.1f ms (%7.1f)   ratio %.2f\n",
                productPaint.Median(), productPaint.Mean(), barePaint.Median(), barePaint.Mean(),
                productPaint.Median() / barePaint.Median());
    std::printf("  logon finished:  vantrel.exe %7.1f ms (%7.1f)   bare ODBC   %7.1f ms (%7.1f)   ratio %.2f\n",
                productLogon.Median(), productLogon.Mean(), bareLogon.Median(), bareLogon.Mean(),
                productLogon.Median() / bareLogon.Median());
    // Where the program's start goes, timed from inside (its output follows on this console).
    std::fflush(stdout);
    for (int r = 0; r < 3; r++) {
        char created[64];
        std::snprintf(created, sizeof created, "%.6f", Seconds());
        std::string steps = "\"" + folder + "startup.exe\" steps " + created;
        STARTUPINFOA startup = {};
        startup.cb = sizeof startup;
        PROCESS_INFORMATION process = {};
        std::vector<char> line(steps.begin(), steps.end());
        line.push_back('\0');
        if (CreateProcessA(nullptr, line.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr, &startup, &process)) {
            WaitForSingleObject(process.hProcess, 30000);
            CloseHandle(process.hThread);
            CloseHandle(process.hProcess);
        }
    }
    if (missed > 0)
        std::printf("  %d rounds not seen to the end and left out\n", missed);
    return missed == 0 ? 0 : 1;
}
