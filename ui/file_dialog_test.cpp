// The file dialog wrapper: what it hands the platform, and the retry after
// a rejected name, which Wine's dialogs cannot be made to produce.
#include "ui/file_dialog.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "ui/platform_calls.h"

namespace {

struct Call {
    bool save;
    OPENFILENAMEA record;
    std::string proposed;
};

std::vector<Call> g_calls;
std::vector<BOOL> g_results;
std::vector<DWORD> g_errors;
DWORD g_lastError;

BOOL Answer(bool save, LPOPENFILENAMEA record) {
    g_calls.push_back({save, *record, record->lpstrFile});
    const size_t n = g_calls.size() - 1;
    g_lastError = n < g_errors.size() ? g_errors[n] : 0;
    const BOOL result = n < g_results.size() ? g_results[n] : FALSE;
    if (result) {
        lstrcpynA(record->lpstrFile, "C:\\Reports\\chosen.txt", record->nMaxFile);
    }
    return result;
}

BOOL WINAPI FakeSave(LPOPENFILENAMEA record) {
    return Answer(true, record);
}
BOOL WINAPI FakeOpen(LPOPENFILENAMEA record) {
    return Answer(false, record);
}
DWORD WINAPI FakeError() {
    return g_lastError;
}

class FileDialogTest : public ::testing::Test {
  protected:
    void SetUp() override {
        g_calls.clear();
        g_results.clear();
        g_errors.clear();
        g_uiCalls.getSaveFileName = FakeSave;
        g_uiCalls.getOpenFileName = FakeOpen;
        g_uiCalls.commDlgExtendedError = FakeError;
        std::strcpy(name, "DriveInfo.txt");
    }
    void TearDown() override { g_uiCalls = RealUiPlatformCalls(); }
    char name[kFileNameSize];
};

TEST(InitFileDialogTest, DefaultsUseThePlatformsOwnRecordSize) {
    OPENFILENAMEA record;
    std::memset(&record, 0x5A, sizeof record);
    InitFileDialog(reinterpret_cast<HWND>(0x1234), &record);
    EXPECT_EQ(static_cast<DWORD>(sizeof(void*) == 8 ? 136 : 76), record.lStructSize);
    EXPECT_EQ(reinterpret_cast<HWND>(0x1234), record.hwndOwner);
    EXPECT_EQ(nullptr, record.lpstrFilter);
    EXPECT_EQ(nullptr, record.lpstrFile);
    EXPECT_EQ(260u, record.nMaxFile);
    EXPECT_EQ(512u, record.nMaxFileTitle);
    EXPECT_EQ(0u, record.nFilterIndex);
    EXPECT_EQ(0u, record.Flags);
    EXPECT_EQ(nullptr, record.lpstrTitle);
    EXPECT_EQ(nullptr, record.lpfnHook);
}

TEST_F(FileDialogTest, ModesChooseDialogTitleAndFlags) {
    struct {
        int mode;
        bool save;
        const char* title;
        DWORD flags;
    } modes[] = {{0, false, "Open file", 0x1804},
                 {1, true, "Save file", 0x6},
                 {2, false, "Select file", 0x4},
                 {7, false, nullptr, 0}};
    for (const auto& m : modes) {
        g_calls.clear();
        ShowFileDialog(NULL, name, NULL, "Text\0*.txt\0", "txt", m.mode);
        ASSERT_EQ(1u, g_calls.size()) << m.mode;
        EXPECT_EQ(m.save, g_calls[0].save);
        if (m.title) {
            EXPECT_STREQ(m.title, g_calls[0].record.lpstrTitle);
        } else {
            EXPECT_EQ(nullptr, g_calls[0].record.lpstrTitle);
        }
        EXPECT_EQ(m.flags, g_calls[0].record.Flags);
        EXPECT_STREQ("txt", g_calls[0].record.lpstrDefExt);
        EXPECT_EQ("DriveInfo.txt", g_calls[0].proposed);
    }
}

TEST_F(FileDialogTest, CancelLeavesTheNameAlone) {
    g_results = {FALSE};
    EXPECT_EQ(0, ShowFileDialog(NULL, name, NULL, NULL, NULL, 1));
    EXPECT_STREQ("DriveInfo.txt", name);
    EXPECT_EQ(1u, g_calls.size());
}

TEST_F(FileDialogTest, SuccessCopiesTheFullPath) {
    g_results = {TRUE};
    EXPECT_NE(0, ShowFileDialog(NULL, name, NULL, NULL, NULL, 1));
    EXPECT_STREQ("C:\\Reports\\chosen.txt", name);
}

TEST_F(FileDialogTest, RejectedNameIsRetriedOnceWithAnEmptyName) {
    g_results = {FALSE, TRUE};
    g_errors = {FNERR_INVALIDFILENAME};
    EXPECT_NE(0, ShowFileDialog(NULL, name, NULL, NULL, NULL, 1));
    ASSERT_EQ(2u, g_calls.size());
    EXPECT_TRUE(g_calls[1].save);
    EXPECT_EQ("", g_calls[1].proposed);
    EXPECT_STREQ("Save file", g_calls[1].record.lpstrTitle);
    EXPECT_EQ(g_calls[0].record.Flags, g_calls[1].record.Flags);
    EXPECT_STREQ("C:\\Reports\\chosen.txt", name);

    g_calls.clear();
    g_results = {FALSE, FALSE, TRUE};
    g_errors = {FNERR_INVALIDFILENAME, FNERR_INVALIDFILENAME};
    std::strcpy(name, "bad|name");
    EXPECT_EQ(0, ShowFileDialog(NULL, name, NULL, NULL, NULL, 0));
    EXPECT_EQ(2u, g_calls.size()) << "no third attempt";
    EXPECT_STREQ("bad|name", name);
}

TEST_F(FileDialogTest, OtherErrorsAreNotRetried) {
    g_results = {FALSE, TRUE};
    g_errors = {CDERR_STRUCTSIZE};
    EXPECT_EQ(0, ShowFileDialog(NULL, name, NULL, NULL, NULL, 1));
    EXPECT_EQ(1u, g_calls.size());
}

TEST_F(FileDialogTest, AnOverlongProposalIsCutNotOverrun) {
    const std::string longName(1000, 'n');
    std::vector<char> caller(longName.begin(), longName.end());
    caller.push_back('\0');
    g_results = {FALSE};
    EXPECT_EQ(0, ShowFileDialog(NULL, caller.data(), NULL, NULL, NULL, 1));
    ASSERT_EQ(1u, g_calls.size());
    EXPECT_EQ(std::string(259, 'n'), g_calls[0].proposed);
}

}  // namespace
