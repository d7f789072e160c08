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
#include "program_state.h"
#include "resource.h"
#include "spool_file.h"
#include "test_window.h"

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

std::string ReadFileBytes(const std::string &path)
{
    std::string bytes;
    FILE *file = fopen(path.c_str(), "rb");
    if (file == nullptr)
        return "<missing>";
    char buffer[4096];
    size_t got;
    while ((got = fread(buffer, 1, sizeof buffer, file)) > 0)
        bytes.append(buffer, got);
    fclose(file);
    return bytes;
}

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

// True while any handle is open on the file: an exclusive open then fails with a sharing violation.
// (A closed handle's number can be reused by the next open, so the number alone proves nothing.)
bool FileIsHeldOpen(const std::string &path)
{
    HANDLE probe = CreateFileA(path.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    if (probe == INVALID_HANDLE_VALUE)
        return GetLastError() == ERROR_SHARING_VIOLATION;
    CloseHandle(probe);
    return false;
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
    EXPECT_EQ(ReadFileBytes(path), "");
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
    EXPECT_EQ(ReadFileBytes(path), "");
    WriteLine(programState.activeSpoolFile, "new");
    EXPECT_EQ(ReadFileBytes(path), "new\r\n");
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
    EXPECT_EQ(ReadFileBytes(path), "before\r\nafter\r\n");
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
    EXPECT_EQ(ReadFileBytes(path), "one\r\ntwo\r\n");

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
        EXPECT_EQ(ReadFileBytes(path), "");
        WriteLine(programState.activeSpoolFile, "fresh");
        EXPECT_EQ(ReadFileBytes(path), "fresh\r\n");
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

}
