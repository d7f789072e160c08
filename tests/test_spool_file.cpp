// The Spool To and Spooling commands with real files and the real Save dialog, answered through
// the box answerer: the file-name field is typed into and Save pressed, as a user would.
#include <windows.h>
#include <commdlg.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "box_answerer.h"
#include "deferred_action.h"
#include "file_probe.h"
#include "program_state.h"
#include "program_window.h"
#include "resource.h"
#include "spool_file.h"
#include "status_layout.h"
#include "test_db.h"
#include "test_env.h"
#include "test_window.h"
#include "trace_poller.h"

namespace {

const int FILE_NAME_FIELD = 1148;   // the file-name combo of the Save dialog
const int FILE_TYPE_LIST = 1136;    // the file-type combo

// What the Save dialog showed when it opened.
struct SaveDialogView {
    std::string caption;
    std::string fileName;
    std::vector<std::string> types;
    int typeSelected = -1;
    HWND owner = nullptr;
};

void WriteFileBytes(const std::string &path, const std::string &bytes)
{
    FILE *file = fopen(path.c_str(), "wb");
    ASSERT_NE(file, nullptr) << path;
    fwrite(bytes.data(), 1, bytes.size(), file);
    fclose(file);
}

bool HandleIsOpen(HFILE file)
{
    DWORD flags = 0;
    return file != HFILE_ERROR && GetHandleInformation((HANDLE)(INT_PTR)file, &flags);
}

// Appends through a spool handle the way the poll step does.
void WriteLine(HFILE file, const std::string &text)
{
    ASSERT_EQ(_lwrite(file, text.data(), (UINT)text.size()), text.size());
    ASSERT_EQ(_lwrite(file, "\r\n", 2), 2u);
}

class SpoolFileTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        CreateTestWindows();
        char temp[MAX_PATH];
        GetTempPathA(sizeof temp, temp);
        folder_ = std::string(temp) + "vantrel-spool-" + std::to_string(GetCurrentProcessId()) + "-" +
                  std::to_string(counter_++);
        CreateDirectoryA(folder_.c_str(), nullptr);
    }

    void TearDown() override
    {
        DestroyTestWindows();
        WIN32_FIND_DATAA found;
        HANDLE search = FindFirstFileA((folder_ + "\\*").c_str(), &found);
        if (search != INVALID_HANDLE_VALUE) {
            do
                DeleteFileA((folder_ + "\\" + found.cFileName).c_str());
            while (FindNextFileA(search, &found));
            FindClose(search);
        }
        RemoveDirectoryA(folder_.c_str());
    }

    std::string PathOf(const char *name) const { return folder_ + "\\" + name; }

    // Queues the answer for the Save dialog: note what it shows, type the path and press Save.
    // Wine's dialog is activated before its own initialisation has filled the type list, so the
    // answer is given from a timer once the dialog's loop runs.
    void ChooseFile(const std::string &path, SaveDialogView *view = nullptr, int typeIndex = -1)
    {
        answerer_.Handle([path, view, typeIndex](HWND dialog, const SeenBox &seen) {
            RunFromDialogLoop([dialog, seen, path, view, typeIndex] {
                HWND types = GetDlgItem(dialog, FILE_TYPE_LIST);
                if (view != nullptr) {
                    view->caption = seen.caption;
                    view->owner = seen.owner;
                    char text[MAX_PATH] = "";
                    GetDlgItemTextA(dialog, FILE_NAME_FIELD, text, sizeof text);
                    view->fileName = text;
                    int count = (int)SendMessageA(types, CB_GETCOUNT, 0, 0);
                    for (int i = 0; i < count; i++) {
                        char item[256] = "";
                        SendMessageA(types, CB_GETLBTEXT, i, (LPARAM)item);
                        view->types.push_back(item);
                    }
                    view->typeSelected = (int)SendMessageA(types, CB_GETCURSEL, 0, 0);
                }
                if (typeIndex >= 0) {
                    SendMessageA(types, CB_SETCURSEL, typeIndex, 0);
                    // A user's pick ends with CBN_SELENDOK, which the dialog acts on.
                    SendMessageA(dialog, WM_COMMAND, MAKEWPARAM(FILE_TYPE_LIST, CBN_SELCHANGE), (LPARAM)types);
                    SendMessageA(dialog, WM_COMMAND, MAKEWPARAM(FILE_TYPE_LIST, CBN_SELENDOK), (LPARAM)types);
                }
                SetDlgItemTextA(dialog, FILE_NAME_FIELD, path.c_str());
                BoxAnswerer::PressButton(dialog, IDOK);
            });
        });
    }

    void CancelDialog() { answerer_.Answer(IDCANCEL); }

    // A message box or dialog that nobody queued an answer for is a failure of the test.
    void ExpectAllBoxesAnswered()
    {
        for (const SeenBox &seen : answerer_.Seen())
            EXPECT_TRUE(seen.expected) << "unexpected box \"" << seen.caption << "\": " << seen.text;
        EXPECT_EQ(answerer_.Pending(), 0u);
    }

    BoxAnswerer answerer_;
    std::string folder_;
    static int counter_;
};

int SpoolFileTest::counter_ = 0;

TEST_F(SpoolFileTest, SpoolingWithoutFilePostsSpoolToWhichCreatesTheChosenFileEmpty)
{
    SpoolingCommand();
    MSG posted;
    ASSERT_TRUE(PeekMessageA(&posted, programState.mainWindow, WM_COMMAND, WM_COMMAND, PM_REMOVE));
    EXPECT_EQ(LOWORD(posted.wParam), IDM_SPOOLTO);
    EXPECT_EQ(programState.activeSpoolFile, HFILE_ERROR);

    std::string path = PathOf("new.trc");
    SaveDialogView view;
    ChooseFile(path, &view);
    SpoolToCommand();

    ExpectAllBoxesAnswered();
    EXPECT_EQ(view.caption, "Spool To");
    EXPECT_EQ(view.owner, programState.mainWindow);
    std::vector<std::string> types = {"Trace files (*.trc)", "Log files (*.log)", "Text files (*.txt)",
                                      "List files (*.lst;*.lis)", "All files (*.*)"};
    EXPECT_EQ(view.types, types);
    EXPECT_TRUE(HandleIsOpen(programState.activeSpoolFile));
    EXPECT_EQ(programState.pausedSpoolFile, HFILE_ERROR);
    EXPECT_STREQ(programState.spoolPath, path.c_str());
    EXPECT_STREQ(programState.spoolFileTitle, "new.trc");
    EXPECT_EQ(FileBytesOrMissing(path), "");
    // The record keeps the first common-dialog layout's size.
    EXPECT_EQ(programState.saveFileDialog.lStructSize, (DWORD)OPENFILENAME_SIZE_VERSION_400A);
}

TEST_F(SpoolFileTest, DialogOpensOnTheLastPathAndTheLastChosenType)
{
    std::string first = PathOf("first.log");
    ChooseFile(first, nullptr, 1);
    SpoolToCommand();
    EXPECT_EQ(programState.saveFileDialog.nFilterIndex, 2u) << "the dialog reports the chosen type, counted from 1";
    ASSERT_TRUE(HandleIsOpen(programState.activeSpoolFile));

    answerer_.Answer(IDYES);   // re-start spooling
    SaveDialogView view;
    ChooseFile(PathOf("second.log"), &view);
    SpoolToCommand();

    ExpectAllBoxesAnswered();
    ASSERT_EQ(answerer_.Seen().size(), 3u);
    EXPECT_EQ(answerer_.Seen()[1].caption, "Confirm");
    EXPECT_EQ(answerer_.Seen()[1].text, "Vantrel is already spooling. Do you really want to re-start spooling?");
    EXPECT_EQ(answerer_.Seen()[1].icon, "question");
    EXPECT_TRUE(answerer_.Seen()[1].hasYesNo);
    EXPECT_EQ(answerer_.Seen()[1].owner, programState.mainWindow);
    // The field shows the last file (Wine shows its name; the folder becomes the current one).
    EXPECT_NE(view.fileName.find("first.log"), std::string::npos) << view.fileName;
    EXPECT_EQ(view.typeSelected, 1);
    EXPECT_STREQ(programState.spoolPath, PathOf("second.log").c_str());
}

TEST_F(SpoolFileTest, ExistingFileIsReplacedAfterTheOverwriteQuestionAndEmptied)
{
    std::string path = PathOf("existing.txt");
    WriteFileBytes(path, "old contents\r\n");
    ChooseFile(path);
    answerer_.Answer(IDYES);   // the dialog's own "already exists" question
    SpoolToCommand();

    ExpectAllBoxesAnswered();
    ASSERT_EQ(answerer_.Seen().size(), 2u);
    EXPECT_NE(answerer_.Seen()[1].text.find("already exists"), std::string::npos) << answerer_.Seen()[1].text;
    ASSERT_TRUE(HandleIsOpen(programState.activeSpoolFile));
    EXPECT_EQ(FileBytesOrMissing(path), "");
    WriteLine(programState.activeSpoolFile, "new");
    EXPECT_EQ(FileBytesOrMissing(path), "new\r\n");
}

TEST_F(SpoolFileTest, RestartAnsweredNoShowsNoDialogAndKeepsTheFile)
{
    std::string path = PathOf("kept.trc");
    ChooseFile(path);
    SpoolToCommand();
    HFILE file = programState.activeSpoolFile;
    ASSERT_TRUE(HandleIsOpen(file));
    WriteLine(file, "before");

    answerer_.Answer(IDNO);
    SpoolToCommand();

    ExpectAllBoxesAnswered();
    ASSERT_EQ(answerer_.Seen().size(), 2u);   // the first dialog and the question, no second dialog
    EXPECT_EQ(answerer_.Seen()[1].caption, "Confirm");
    EXPECT_EQ(programState.activeSpoolFile, file);
    EXPECT_EQ(programState.pausedSpoolFile, HFILE_ERROR);
    WriteLine(file, "after");
    EXPECT_EQ(FileBytesOrMissing(path), "before\r\nafter\r\n");
}

TEST_F(SpoolFileTest, CancelledDialogKeepsAnActiveFileAndClosesAPausedOne)
{
    std::string path = PathOf("cancel.trc");
    ChooseFile(path);
    SpoolToCommand();
    HFILE file = programState.activeSpoolFile;
    ASSERT_TRUE(HandleIsOpen(file));

    answerer_.Answer(IDYES);
    CancelDialog();
    SpoolToCommand();
    EXPECT_EQ(programState.activeSpoolFile, file);
    EXPECT_TRUE(FileIsHeldOpen(path));
    EXPECT_EQ(programState.pausedSpoolFile, HFILE_ERROR);

    SpoolingCommand();   // pause
    ASSERT_EQ(programState.pausedSpoolFile, file);
    answerer_.Answer(IDYES);
    CancelDialog();
    SpoolToCommand();

    ExpectAllBoxesAnswered();
    EXPECT_EQ(programState.activeSpoolFile, HFILE_ERROR);
    EXPECT_EQ(programState.pausedSpoolFile, HFILE_ERROR);
    EXPECT_FALSE(FileIsHeldOpen(path)) << "the paused file must be closed with its state";
}

TEST_F(SpoolFileTest, SpoolingPausesAndResumesWithTheSameHandle)
{
    std::string path = PathOf("pause.trc");
    ChooseFile(path);
    SpoolToCommand();
    HFILE file = programState.activeSpoolFile;
    ASSERT_TRUE(HandleIsOpen(file));
    WriteLine(file, "one");

    SpoolingCommand();
    EXPECT_EQ(programState.activeSpoolFile, HFILE_ERROR);
    EXPECT_EQ(programState.pausedSpoolFile, file);
    EXPECT_TRUE(HandleIsOpen(file));

    SpoolingCommand();
    EXPECT_EQ(programState.activeSpoolFile, file);
    EXPECT_EQ(programState.pausedSpoolFile, HFILE_ERROR);
    WriteLine(file, "two");
    EXPECT_EQ(FileBytesOrMissing(path), "one\r\ntwo\r\n");

    // Neither move posts anything (no second Spool To) nor shows a box.
    MSG posted;
    EXPECT_FALSE(PeekMessageA(&posted, programState.mainWindow, WM_COMMAND, WM_COMMAND, PM_NOREMOVE));
    ExpectAllBoxesAnswered();
}

TEST_F(SpoolFileTest, SpoolToTheFileBeingSpooledToStartsItAfreshEmpty)
{
    for (bool paused : {false, true}) {
        SCOPED_TRACE(paused ? "paused" : "active");
        std::string path = PathOf(paused ? "same-paused.trc" : "same.trc");
        ChooseFile(path);
        SpoolToCommand();
        HFILE file = programState.activeSpoolFile;
        ASSERT_TRUE(HandleIsOpen(file));
        WriteLine(file, "old line");
        if (paused)
            SpoolingCommand();

        answerer_.Answer(IDYES);   // re-start
        ChooseFile(path);
        answerer_.Answer(IDYES);   // replace the existing file
        SpoolToCommand();

        ExpectAllBoxesAnswered();
        ASSERT_TRUE(HandleIsOpen(programState.activeSpoolFile));
        EXPECT_EQ(programState.pausedSpoolFile, HFILE_ERROR);
        EXPECT_EQ(FileBytesOrMissing(path), "");
        WriteLine(programState.activeSpoolFile, "fresh");
        EXPECT_EQ(FileBytesOrMissing(path), "fresh\r\n");
        answerer_.Clear();
        DestroyTestWindows();
        CreateTestWindows();
    }
}

TEST_F(SpoolFileTest, FileThatCannotBeCreatedIsReportedAndEndsSpooling)
{
    std::string good = PathOf("good.trc");
    ChooseFile(good);
    SpoolToCommand();
    HFILE file = programState.activeSpoolFile;
    ASSERT_TRUE(HandleIsOpen(file));

    answerer_.Answer(IDYES);
    ChooseFile(PathOf("no-such-folder\\spool.trc"));
    answerer_.Answer(IDOK);   // "Unable to open spool file"
    SpoolToCommand();

    ExpectAllBoxesAnswered();
    ASSERT_EQ(answerer_.Seen().size(), 4u);
    const SeenBox &failure = answerer_.Seen().back();
    EXPECT_EQ(failure.caption, "Error");
    EXPECT_EQ(failure.text, "Unable to open spool file");
    EXPECT_EQ(failure.icon, "warning");
    EXPECT_EQ(failure.owner, programState.mainWindow);
    EXPECT_EQ(programState.activeSpoolFile, HFILE_ERROR);
    EXPECT_EQ(programState.pausedSpoolFile, HFILE_ERROR);
    EXPECT_FALSE(FileIsHeldOpen(good)) << "the former file is closed before the new one is tried";
}


// Text of the status strip's spooling pane for the current state.
std::string SpoolPane()
{
    StatusFacts facts = {};
    facts.spooling = programState.activeSpoolFile != HFILE_ERROR || programState.pausedSpoolFile != HFILE_ERROR;
    facts.spoolPath = programState.spoolPath;
    char text[STATUS_TEXT_SIZE] = "";
    FormatPaneText(2, facts, text, sizeof text);
    return text;
}

// Spooling while the real poll step receives messages from the private database. Each test
// calls PollTrace itself, once per message, as the timer would.
class SpoolWhilePolling : public SpoolFileTest {
protected:
    void SetUp() override
    {
        SpoolFileTest::SetUp();
        ASSERT_TRUE(sender_.Connected()) << sender_.LastError();
        pipe_ = UniquePipeName("SPOOL");
        ASSERT_NO_FATAL_FAILURE(LogOnTestWindows(pipe_));
        programState.timerInterval = 60000;   // no tick arrives unless a test waits for one
        programState.spying = SetSpying(1);
        ASSERT_EQ(programState.spying, 1);
    }

    void TearDown() override
    {
        if (programState.spying == 1)
            programState.spying = SetSpying(0);
        SpoolFileTest::TearDown();
    }

    // Sends one message and runs one poll step that receives it.
    void Receive(const std::string &message)
    {
        ASSERT_TRUE(sender_.SendTrace(pipe_, message)) << sender_.LastError();
        ASSERT_EQ(PollTrace(), 1);
    }

    TestDbSession sender_;
    std::string pipe_;
};

// UTF-8 text of the characters U+0080 to U+00FF: the database hands the program these bytes.
std::string HighLatin1AsUtf8()
{
    std::string text;
    for (int c = 0x80; c <= 0xFF; c++) {
        text += (char)(0xC0 | (c >> 6));
        text += (char)(0x80 | (c & 0x3F));
    }
    return text;
}

TEST_F(SpoolWhilePolling, ChosenFileReceivesEveryPolledLineByteForByte)
{
    EXPECT_EQ(SpoolPane(), "Not spooling");
    SpoolingCommand();
    MSG posted;
    ASSERT_TRUE(PeekMessageA(&posted, programState.mainWindow, WM_COMMAND, WM_COMMAND, PM_REMOVE));
    ASSERT_EQ(LOWORD(posted.wParam), IDM_SPOOLTO);
    std::string path = PathOf("polled.trc");
    ChooseFile(path);
    SpoolToCommand();
    ASSERT_NE(programState.activeSpoolFile, HFILE_ERROR);
    EXPECT_EQ(SpoolPane(), "Spooling to \"" + path + "\"");

    std::string longLine;
    for (int i = 0; i < 2000; i++)
        longLine += (char)('!' + i % 94);
    const std::vector<std::string> messages = {
        "plain line",
        longLine,
        HighLatin1AsUtf8(),
        "\xD0\x96 \xE2\x82\xAC \xF0\x9F\x98\x80 tab\there 'single' \"double\" back\\slash",
    };
    std::string expected;
    for (const std::string &message : messages) {
        Receive(message);
        expected += message + "\r\n";
    }
    ExpectAllBoxesAnswered();
    EXPECT_EQ(TraceListLines(), messages);
    EXPECT_EQ(FileBytesOrMissing(path), expected);
}

TEST_F(SpoolWhilePolling, PausedLinesStayInTheListAndResumeAppendsAfterTheLastWrittenLine)
{
    std::string path = PathOf("paused.log");
    WriteFileBytes(path, "contents from before\r\n");
    ChooseFile(path);
    answerer_.Answer(IDYES);   // replace it
    SpoolToCommand();
    ASSERT_NE(programState.activeSpoolFile, HFILE_ERROR);
    EXPECT_EQ(FileBytesOrMissing(path), "");

    Receive("one");
    SpoolingCommand();
    EXPECT_EQ(SpoolPane(), "Spooling to \"" + path + "\"") << "a pause reads the same in the strip";
    Receive("while paused 1");
    Receive("while paused 2");
    SpoolingCommand();
    Receive("two");

    ExpectAllBoxesAnswered();
    EXPECT_EQ(TraceListLines(), (std::vector<std::string>{"one", "while paused 1", "while paused 2", "two"}));
    EXPECT_EQ(FileBytesOrMissing(path), "one\r\ntwo\r\n");
}

TEST_F(SpoolWhilePolling, WriteFailureOnAFullDeviceEndsSpoolingWhilePollingGoesOn)
{
    // Z: is the machine's root under Wine: /dev/full takes the create and fails every write.
    // The dialog does not count a device as an existing file, so it asks no replace question.
    ChooseFile("Z:\\dev\\full");
    SpoolToCommand();
    ASSERT_NE(programState.activeSpoolFile, HFILE_ERROR);

    answerer_.Answer(IDOK);
    Receive("not on disk");
    ASSERT_EQ(answerer_.Seen().size(), 2u);
    const SeenBox &failure = answerer_.Seen().back();
    EXPECT_EQ(failure.caption, "Error");
    EXPECT_EQ(failure.text, "Error writing to spool file");
    EXPECT_EQ(failure.icon, "warning");
    EXPECT_EQ(programState.activeSpoolFile, HFILE_ERROR);
    EXPECT_EQ(programState.pausedSpoolFile, HFILE_ERROR);
    EXPECT_EQ(SpoolPane(), "Not spooling");

    Receive("later line");
    ExpectAllBoxesAnswered();
    EXPECT_EQ(answerer_.Seen().size(), 2u) << "later lines are not written anywhere, so no second warning";
    EXPECT_EQ(programState.spying, 1);
    EXPECT_EQ(TraceListLines(), (std::vector<std::string>{"not on disk", "later line"}));
}

}
