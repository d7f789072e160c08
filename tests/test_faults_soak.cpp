// Soak: a long burst through the whole program spying at the shortest period and spooling.
// Every message must arrive once and in order in the list and in the spool file, and the
// program's memory must stay in proportion to the text it holds. Alone in its own program, as it
// takes a few minutes.
#include <windows.h>
#include <psapi.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "box_answerer.h"
#include "deferred_action.h"
#include "file_probe.h"
#include "program_state.h"
#include "program_window.h"
#include "resource.h"
#include "test_db.h"
#include "test_env.h"
#include "trace_sender.h"

namespace {

const int FILE_NAME_FIELD = 1148;   // the Save dialog's file-name field

// The process's resident memory in bytes. Wine fills the working set from the host kernel's
// resident size of this process (its private-usage counter stays 0 here).
double ResidentBytes(void)
{
    PROCESS_MEMORY_COUNTERS counters = {};
    counters.cb = sizeof counters;
    if (!GetProcessMemoryInfo(GetCurrentProcess(), &counters, sizeof counters))
        return -1;
    return (double)counters.WorkingSetSize;
}

}

TEST(Soak, TwentyThousandMessagesArriveOnceInOrderInListAndSpoolFileWithBoundedMemory)
{
    const int count = 20000, length = 100;
    // About 100 ticks a second: a little over three minutes, well inside the run's limit.
    const DWORD budget = 270000;
    ASSERT_FALSE(TestEnv("VANTREL_DSN").empty()) << "run through tools/test";
    BoxAnswerer answerer;
    // Hidden: on this display a visible list redraws its scroll bar for ~5 ms a line, which would
    // make the soak a measure of the display. The drain speed is measured by the benchmarks.
    ASSERT_NE(StartProgramWindow(TestConnectString(), SW_HIDE), nullptr);
    ASSERT_EQ(programState.connected, 1);
    std::string pipe = UniquePipeName("SOAK");
    lstrcpynA(programState.pipeName, pipe.c_str(), sizeof programState.pipeName);

    char temp[MAX_PATH] = "";
    GetTempPathA(sizeof temp, temp);
    std::string spoolPath = std::string(temp) + "vantrel-soak-" + std::to_string(GetCurrentProcessId()) + ".trc";
    answerer.Handle([spoolPath](HWND dialog, const SeenBox &) {
        RunFromDialogLoop([dialog, spoolPath] {
            SetDlgItemTextA(dialog, FILE_NAME_FIELD, spoolPath.c_str());
            BoxAnswerer::PressButton(dialog, IDOK);
        });
    });
    SendProgramCommand(IDM_SPOOLTO);
    ASSERT_NE(programState.activeSpoolFile, HFILE_ERROR);

    PumpProgram(200);
    // The floor: the same lines in a bare hidden list box of the same style, kept until the end so
    // that the soak cannot reuse the memory it took.
    double floorBefore = ResidentBytes();
    HWND bareList = CreateWindowExA(0, "LISTBOX", "", WS_VSCROLL | LBS_NOTIFY | LBS_NOINTEGRALHEIGHT | LBS_EXTENDEDSEL,
                                    0, 0, 400, 300, nullptr, nullptr, GetModuleHandleA(nullptr), nullptr);
    for (int i = 1; i <= count; i++)
        SendMessageA(bareList, LB_ADDSTRING, 0, (LPARAM)BackgroundSender::Message(i, length).c_str());
    double bareListBytes = ResidentBytes() - floorBefore;
    double before = ResidentBytes();
    programState.timerInterval = 0;
    SendProgramCommand(IDM_SPYING);
    ASSERT_EQ(programState.spying, 1);
    DWORD start = GetTickCount();
    bool drained;
    {
        BackgroundSender sender(pipe, count, length);
        drained = PumpProgramUntil([count] { return TraceListCount() >= count || programState.spying == 0; }, budget);
        EXPECT_TRUE(sender.Finish(15000)) << sender.Error();
    }
    DWORD elapsed = GetTickCount() - start;
    PumpProgram(300);
    double after = ResidentBytes();
    SendProgramCommand(IDM_SPYING);
    EXPECT_EQ(programState.spying, 0);
    EXPECT_TRUE(answerer.Seen().size() == 1 && answerer.Pending() == 0) << "a box came up during the soak";

    int lines = TraceListCount();
    printf("[ figure ] soak: %d of %d messages in %lu ms (%.1f per second)\n", lines, count, (unsigned long)elapsed,
           lines * 1000.0 / (elapsed ? elapsed : 1));
    ASSERT_TRUE(drained) << "only " << lines << " lines within " << budget << " ms";

    std::vector<std::string> listed = TraceListLines();
    std::string expectedFile;
    expectedFile.reserve((size_t)count * (length + 2));
    ASSERT_EQ(listed.size(), (size_t)count);
    for (int i = 0; i < count; i++) {
        std::string message = BackgroundSender::Message(i + 1, length);
        ASSERT_EQ(listed[i], message) << "line " << i;
        expectedFile += message + "\r\n";
    }

    // Close the file through the program (Spool To onto a new, cancelled choice keeps it; exit closes it).
    EndProgramWindow();
    std::string spooled = FileBytes(spoolPath);
    DeleteFileA(spoolPath.c_str());
    EXPECT_EQ(spooled.size(), expectedFile.size());
    EXPECT_TRUE(spooled == expectedFile) << "the spool file differs from the messages sent";

    // The list box keeps each line as UTF-16 with a record of its own: about 2.5 times the text
    // here, whatever the program does. The soak's growth is set against that floor; a leak per
    // tick of even a few hundred bytes would pass twice the floor over 20,000 ticks.
    double text = (double)count * length;
    ASSERT_GT(before, 0) << "no resident size could be read";
    double grown = after - before;
    printf("[ figure ] soak memory: resident size grew %.0f KB; the same lines in a bare list box %.0f KB (%.2fx); "
           "text %.0f KB (%.2fx)\n",
           grown / 1024, bareListBytes / 1024, grown / bareListBytes, text / 1024, grown / text);
    DestroyWindow(bareList);
    EXPECT_LE(grown, 2.0 * bareListBytes) << "memory grew " << grown / bareListBytes << " times the bare list's";
}
