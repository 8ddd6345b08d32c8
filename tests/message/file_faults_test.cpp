/* Message writers and readers with a failing file call: for every N, the operation either
 * completes or reports failure; the previous output stays as it was, no destination is left
 * looking complete when it is not, no source is touched and no temporary file stays behind. */
#include <windows.h>

#include <string.h>

#include <filesystem>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "fileio.h"
#include "message/mime_bytes.h"
#include "message.h"
#include "mime.h"
#include "testkit.h"

#if !defined(_WIN32)
#include <sys/stat.h>
#endif

namespace {

using Bytes = std::vector<unsigned char>;
namespace fs = std::filesystem;
using mimetest::Files;

void Empty(const std::string &folder)
{
    for (const auto &e : fs::directory_iterator(folder))
        fs::remove_all(e.path());
}

struct Media {
    testkit::TempDir src;
    std::string folder = src.path() + "\\";
    Media()
    {
        testkit::WriteFileBytes(src.file("a.gif"), Bytes(70000, 0x47));
        testkit::WriteFileBytes(src.file("b.wav"), Bytes(3000, 0x52));
        testkit::WriteFileText(src.file("mms.smil"), "<smil><body><par><img src=\"a.gif\"/></par></body></smil>");
    }
    /* Writes the presentation, the picture and the sound (or the picture alone) as a message
     * into folder\name; the error of a failure stays. */
    bool WriteMessage(const std::string &outFolder, const char *name, bool all = true) const
    {
        MIME_MESSAGE *msg = MimeCreate();
        MIME_PART_INFO gif = {"image/gif", folder.c_str(), "a.gif", "<a.gif>"};
        MIME_PART_INFO wav = {"audio/x-wav", folder.c_str(), "b.wav", nullptr};
        bool ok = (!all || MimeAddSmilPart(msg, folder.c_str(), "mms.smil")) && MimeAddPart(msg, &gif) &&
                  (!all || MimeAddPart(msg, &wav)) && MimeWriteFile(msg, outFolder.c_str(), name);
        DWORD e = GetLastError();
        MimeDestroy(msg);
        SetLastError(e);
        return ok;
    }
};

/* A writer into the folder out, run once cleanly for the expected octets and then through the
 * fault loop over a previous output that must survive every failure.  `fixed` files are put
 * in out before each run (inputs that live beside the output) and must stay as they are. */
void CheckWriter(const Media &m, const std::function<bool(const std::string &outFolder)> &write,
                 const std::map<std::string, Bytes> &fixed = {})
{
    testkit::TempDir out;
    std::string outFolder = out.path() + "\\";
    for (const auto &f : fixed)
        testkit::WriteFileBytes(out.file(f.first), f.second);
    ASSERT_TRUE(write(outFolder));
    std::map<std::string, Bytes> good = Files(out.file(""));
    for (const auto &f : fixed)
        good.erase(f.first);
    ASSERT_EQ(1u, good.size());
    const std::string name = good.begin()->first;
    const Bytes expected = good.begin()->second;
    const Bytes previous = {'o', 'l', 'd'};
    const std::map<std::string, Bytes> sources = Files(m.src.file(""));

    unsigned faults = testkit::ForEachFileFault(
        [&] {
            Empty(out.path());
            for (const auto &f : fixed)
                testkit::WriteFileBytes(out.file(f.first), f.second);
            testkit::WriteFileBytes(out.file(name), previous);
        },
        [&] { return write(outFolder); },
        [&](bool ok, unsigned n) {
            std::map<std::string, Bytes> now = Files(out.file(""));
            for (const auto &f : fixed) {
                EXPECT_EQ(f.second, now[f.first]) << "fault " << n << ": " << f.first << " changed";
                now.erase(f.first);
            }
            ASSERT_EQ(1u, now.size()) << "fault " << n << ": a temporary file was left behind";
            if (ok) {
                EXPECT_EQ(expected, now[name]) << "fault " << n << ": reported success for a different file";
            } else {
                EXPECT_EQ(previous, now[name]) << "fault " << n << ": the previous output was damaged";
            }
            EXPECT_EQ(sources, Files(m.src.file(""))) << "fault " << n << ": a source changed";
        });
    EXPECT_GE(faults, 3u);  // at least: make the temporary file, write it, rename it
}

/* A container of one audio and one image object on two slides, the media in `folder`. */
HMMSCONTAINER TwoSlides(const std::string &folder)
{
    HMMSCONTAINER c = mmsContainerCreate();
    MEDIA_ATT att;
    memset(&att, 0, sizeof att);
    att.dwDur = 1000;
    int t = mmsInsertTimeLine(c, -1);
    if (t < 0 || mmsInsertObject(c, t, MDOC_TYPE_AUDIO, nullptr, (folder + "b.wav").c_str(), &att, -1) < 0 ||
        mmsInsertObject(c, t, MDOC_TYPE_IMAGE, nullptr, (folder + "a.gif").c_str(), &att, -1) < 0) {
        mmsContainerDestroy(c);
        return nullptr;
    }
    return c;
}

TEST(FileFaults, Writers)
{
    Media m;
    static int value = 1;
    HMMSCONTAINER slides = TwoSlides(m.folder);
    ASSERT_NE(slides, nullptr);
    using Write = std::function<bool(const std::string &outFolder)>;
    auto single = [&m](const char *item) -> Write {
        return [&m, item](const std::string &outFolder) {
            char folder[MAX_PATH];
            strcpy(folder, outFolder.c_str());
            return MakeSingleItemMessage((m.folder + item).c_str(), folder, "one", &value) == 1;
        };
    };
    // A presentation saved with its media beside it, so that saving copies none.
    auto saved = [](const std::string &outFolder) {
        HMMSCONTAINER c = TwoSlides(outFolder);
        testkit::ScriptFileDialog((outFolder + "show").c_str());
        bool ok = c && SaveAsSmil((HWND)(UINT_PTR)1, c) == 1;
        testkit::ScriptFileDialog(nullptr);
        mmsContainerDestroy(c);
        return ok;
    };
    const std::map<std::string, Bytes> media = {{"a.gif", testkit::ReadFileBytes(m.src.file("a.gif"))},
                                                {"b.wav", testkit::ReadFileBytes(m.src.file("b.wav"))}};
    const struct Row {
        const char *what;
        Write write;
        std::map<std::string, Bytes> fixed;
    } rows[] = {
        {"MimeWriteFile", [&](const std::string &outFolder) { return m.WriteMessage(outFolder, "out.dat"); }, {}},
        {"GenerateMessageFile",
         [&](const std::string &outFolder) {
             return GenerateMessageFile("", "123", "", (outFolder + "out.dat").c_str(), &value, slides, 1) == 1;
         },
         {}},
        // MakeMimeFromFolder writes through MimeWriteFile as MakeTextMime does; this row, with
        // its inputs beside the output, stands for both.
        {"MakeTextMime",
         [&](const std::string &outFolder) {
             return MakeTextMime((m.folder + "b.wav").c_str(), (outFolder + "second.txt").c_str()) == 1;
         },
         {{"second.txt", {'t', 'w', 'o'}}}},
        {"one picture", single("a.gif"), {}},
        {"one sound", single("b.wav"), {}},
        {"one presentation", single("mms.smil"), {}},
        // Written through SMIL_SaveToFile, which this row stands for too.
        {"BuildSmilFromContainer",
         [&](const std::string &outFolder) { return BuildSmilFromContainer(slides, (outFolder + "show.smil").c_str()) == 1; },
         {}},
        // Through SaveContainerAsSmil, which this row stands for too.
        {"SaveAsSmil", saved, media},
    };
    for (const Row &r : rows) {
        SCOPED_TRACE(r.what);
        CheckWriter(m, r.write, r.fixed);
    }
    mmsContainerDestroy(slides);
}

TEST(FileFaults, MimeExtractAll)
{
    Media m;
    testkit::TempDir msgDir, out;
    std::string msgFolder = msgDir.path() + "\\", outFolder = out.path() + "\\";
    ASSERT_TRUE(m.WriteMessage(msgFolder, "in.dat"));
    const std::map<std::string, Bytes> expected = Files(m.src.file(""));
    const std::map<std::string, Bytes> message = Files(msgDir.file(""));

    unsigned faults = testkit::ForEachFileFault(
        [&] { Empty(out.path()); },
        [&] {
            MIME_MESSAGE *msg = MimeOpenFile(msgFolder.c_str(), "in.dat");
            bool ok = msg && MimeExtractAll(msg, outFolder.c_str()) == 1;
            MimeDestroy(msg);
            return ok;
        },
        [&](bool ok, unsigned n) {
            std::map<std::string, Bytes> now = Files(out.file(""));
            if (ok) {
                EXPECT_EQ(expected, now) << "fault " << n;
            }
            for (const auto &f : now) {
                auto want = expected.find(f.first);
                ASSERT_NE(want, expected.end()) << "fault " << n << ": stray file " << f.first;
                EXPECT_EQ(want->second, f.second) << "fault " << n << ": " << f.first << " looks complete but is not";
            }
            EXPECT_EQ(message, Files(msgDir.file(""))) << "fault " << n << ": the message changed";
        });
    EXPECT_GT(faults, 3u);
}

/* Replacing a file keeps what Windows keeps: a read-only destination is refused (access
 * denied), the destination's permission bits stay (natively), and the data is on the disk
 * before it takes the name: a flush that fails leaves the old file. */
TEST(FileFaults, ReplacingKeepsWhatWindowsKeeps)
{
    Media m;
    testkit::TempDir out;
    std::string dest = out.file("out.dat");
    const Bytes old = {'o', 'l', 'd'};
    struct Row {
        const char *what;
        std::function<void()> arrange;
        DWORD error;  // ERROR_SUCCESS: replaced
    } rows[] = {
        {"a flush that fails", [] { testkit::FailNthFlush(1); }, ERROR_WRITE_FAULT},
        {"a read-only destination", [&] { SetFileAttributesA(dest.c_str(), FILE_ATTRIBUTE_READONLY); }, ERROR_ACCESS_DENIED},
        {"a private destination",
         [&] {
#if !defined(_WIN32)
             chmod(dest.c_str(), 0600);
#endif
         },
         ERROR_SUCCESS},
    };
    for (const Row &r : rows) {
        SCOPED_TRACE(r.what);
        SetFileAttributesA(dest.c_str(), FILE_ATTRIBUTE_NORMAL);
        Empty(out.path());
        testkit::WriteFileBytes(dest, old);
        r.arrange();
        SetLastError(0);
        bool ok = m.WriteMessage(out.path() + "\\", "out.dat", false);
        const DWORD error = GetLastError();
        testkit::FailNthFlush(0);
        // Wine's MoveFileEx replaces a read-only file; Windows refuses with access denied.
        const bool wineReplaces = testkit::UnderWine() && r.error == ERROR_ACCESS_DENIED;
        todo_wine_if(wineReplaces) EXPECT_EQ(ok, r.error == ERROR_SUCCESS);
        if (wineReplaces)
            continue;
        EXPECT_EQ(Files(out.file("")).size(), 1u);  // no temporary file stays
        if (!ok) {
            EXPECT_EQ(error, r.error);
            EXPECT_EQ(testkit::ReadFileBytes(dest), old);
            continue;
        }
        EXPECT_NE(testkit::ReadFileBytes(dest), old);
#if !defined(_WIN32)
        struct stat st;
        ASSERT_EQ(stat(dest.c_str(), &st), 0);
        EXPECT_EQ(st.st_mode & 0777, 0600u);
#endif
    }
    SetFileAttributesA(dest.c_str(), FILE_ATTRIBUTE_NORMAL);
}

TEST(FileFaults, WritersRefuseToReplaceTheirInput)
{
    Media m;
    static int value = 1;
    // A one-item message of a file of no listed kind would be empty: it never replaces it.
    testkit::WriteFileText(m.src.file("photo.dat"), "mine");
    char outFolder[MAX_PATH];
    strcpy(outFolder, m.folder.c_str());
    const std::map<std::string, Bytes> sources = Files(m.src.file(""));
    HMMSCONTAINER c = TwoSlides(m.folder);
    ASSERT_NE(c, nullptr);
    // Nor does a presentation replace one of its media.
    const struct Row {
        const char *what;
        std::function<bool()> write;
    } rows[] = {
        {"MimeWriteFile", [&] { return m.WriteMessage(m.folder, "a.gif", false); }},
        {"MakeSingleItemMessage",
         [&] { return MakeSingleItemMessage(m.src.file("photo.dat").c_str(), outFolder, "photo", &value) == 1; }},
        {"BuildSmilFromContainer", [&] { return BuildSmilFromContainer(c, (m.folder + "a.gif").c_str()) == 1; }},
        {"mmsContainerSave", [&] { return mmsContainerSave(c, (m.folder + "b.wav").c_str()) != 0; }},
        {"SaveContainerAsSmil", [&] { return SaveContainerAsSmil(c, (m.folder + "a.gif").c_str()) == 1; }},
    };
    for (const Row &r : rows) {
        SCOPED_TRACE(r.what);
        SetLastError(0);
        EXPECT_FALSE(r.write());
        EXPECT_EQ((DWORD)FIO_ERROR_OUTPUT_IS_INPUT, GetLastError());
    }
    mmsContainerDestroy(c);
    EXPECT_EQ(sources, Files(m.src.file("")));
}

TEST(FileFaults, ReadersSayWhy)
{
    testkit::TempDir d;
    std::string folder = d.path() + "\\";
    SetLastError(0);
    EXPECT_EQ(nullptr, MimeOpenFile(folder.c_str(), "missing.dat"));
    EXPECT_EQ((DWORD)ERROR_FILE_NOT_FOUND, GetLastError());
    testkit::WriteFileText(d.file("junk.dat"), "not a message at all");
    EXPECT_EQ(nullptr, MimeOpenFile(folder.c_str(), "junk.dat"));
    EXPECT_EQ((DWORD)ERROR_INVALID_DATA, GetLastError());
    CreateDirectoryA(d.file("sub.dat").c_str(), nullptr);
    EXPECT_EQ(nullptr, MimeOpenFile(folder.c_str(), "sub.dat"));
    EXPECT_EQ((DWORD)ERROR_DIRECTORY_NOT_SUPPORTED, GetLastError());
}

}  // namespace
