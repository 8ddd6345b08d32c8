/* Common file dialogs answered by the MEDLEY_FILE_DIALOG script.  Under Wine a real dialog would
 * wait for a person, so these cases run on the compat layer only. */
#include <windows.h>
#include <commdlg.h>
#include <cderr.h>

#include <string.h>

#include <gtest/gtest.h>

#include "testkit.h"

namespace {

struct Dialog {
    char file[MAX_PATH] = {};
    char title[MAX_PATH] = {};
    OPENFILENAMEA ofn = {};
    Dialog()
    {
        ofn.lStructSize = OPENFILENAME_SIZE_VERSION_400A;
        ofn.lpstrFilter = "Smil Files(*.smil)\0*.SMIL\0";
        ofn.lpstrFile = file;
        ofn.nMaxFile = MAX_PATH;
        ofn.lpstrFileTitle = title;
        ofn.nMaxFileTitle = MAX_PATH;
    }
};

class FileDialog : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (testkit::kRealWin32)
            GTEST_SKIP() << "a real file dialog waits for a person";
    }
    void TearDown() override { testkit::ScriptFileDialog(nullptr); }
    testkit::TempDir d;
};

TEST_F(FileDialog, ScriptedAnswersDefaultExtensionAndMustExist)
{
    std::string answer = d.file("show.smil");
    testkit::ScriptFileDialog(answer.c_str());
    Dialog dlg;
    dlg.ofn.Flags = OFN_OVERWRITEPROMPT | OFN_PATHMUSTEXIST;
    ASSERT_TRUE(GetSaveFileNameA(&dlg.ofn));
    EXPECT_EQ(answer, dlg.file);
    EXPECT_STREQ("show.smil", dlg.title);
    EXPECT_STREQ("show.smil", dlg.file + dlg.ofn.nFileOffset);
    EXPECT_STREQ("smil", dlg.file + dlg.ofn.nFileExtension);

    // An answer without an extension is given the default one.
    answer = d.file("show");
    testkit::ScriptFileDialog(answer.c_str());
    Dialog def;
    def.ofn.lpstrDefExt = "smil";
    ASSERT_TRUE(GetSaveFileNameA(&def.ofn));
    EXPECT_EQ(answer + ".smil", def.file);

    // Opening a file that is not there is refused.
    Dialog open;
    open.ofn.Flags = OFN_FILEMUSTEXIST;
    EXPECT_FALSE(GetOpenFileNameA(&open.ofn));
    ASSERT_TRUE(testkit::WriteFileText(answer, "x"));
    EXPECT_TRUE(GetOpenFileNameA(&open.ofn));

    // A folder that does not exist, with OFN_PATHMUSTEXIST.
    testkit::ScriptFileDialog(d.file("nosuch/x.smil").c_str());
    Dialog save;
    save.ofn.Flags = OFN_PATHMUSTEXIST;
    EXPECT_FALSE(GetSaveFileNameA(&save.ofn));
}

TEST_F(FileDialog, BufferTooSmallAndBadSize)
{
    testkit::ScriptFileDialog("/tmp/a-rather-long-name.smil");
    Dialog dlg;
    dlg.ofn.nMaxFile = 8;
    EXPECT_FALSE(GetSaveFileNameA(&dlg.ofn));
    EXPECT_EQ((DWORD)FNERR_BUFFERTOOSMALL, CommDlgExtendedError());
    WORD need;
    memcpy(&need, dlg.file, 2);
    EXPECT_EQ(strlen("/tmp/a-rather-long-name.smil") + 1, need);
    // A cancel leaves the buffer alone and clears the error.
    testkit::ScriptFileDialog(nullptr);
    EXPECT_FALSE(GetSaveFileNameA(&dlg.ofn));
    EXPECT_EQ(0u, CommDlgExtendedError());
    EXPECT_EQ(0, memcmp(&need, dlg.file, 2));

    Dialog bad;
    bad.ofn.lStructSize = 12;
    EXPECT_FALSE(GetSaveFileNameA(&bad.ofn));
    EXPECT_EQ((DWORD)CDERR_STRUCTSIZE, CommDlgExtendedError());
}

}  // namespace
