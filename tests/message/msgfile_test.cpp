/* Message files: the media-type table, folder and text MIME files, one-item messages, SMIL
 * saving and the preview rectangle. */
#include <windows.h>
#include <commdlg.h>

#include <string.h>

#include <algorithm>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "fileio.h"
#include "message/mime_bytes.h"
#include "message.h"
#include "mime.h"
#include "testkit.h"

namespace {

using mimetest::PartsOf;

std::string Slash(const testkit::TempDir &d) { return d.path() + "\\"; }

TEST(MediaTypes, TableRows)
{
    EXPECT_STREQ("image/jpeg", MimeTypeOfExtension(".jpg"));
    EXPECT_STREQ("application/smil", MimeTypeOfExtension(".smil"));
    EXPECT_STREQ("text/html", MimeTypeOfExtension(".xml"));
    EXPECT_STREQ("application/psf", MimeTypeOfExtension(".psf"));
    EXPECT_STREQ("application/emf", MimeTypeOfExtension(".emf"));
    EXPECT_STREQ("audio/x-wav", MimeTypeOfExtension(".WAV"));
    EXPECT_STREQ("x-music/x-midi", MimeTypeOfExtension(".mid"));
    EXPECT_EQ(nullptr, MimeTypeOfExtension("gif"));  // the dot belongs to the extension
    EXPECT_EQ(nullptr, MimeTypeOfExtension(nullptr));
}

TEST(MediaTypes, AppendBackslash)
{
    char buf[MAX_PATH] = "C:\\dir";
    AppendBackslash(buf);
    EXPECT_STREQ("C:\\dir\\", buf);
    AppendBackslash(buf);
    EXPECT_STREQ("C:\\dir\\", buf);
    char empty[4] = "";
    AppendBackslash(empty);
    EXPECT_STREQ("", empty);
}

TEST(MimeFromFolder, ListedMediaBecomeParts)
{
    testkit::TempDir src, out;
    testkit::WriteFileText(src.file("a.GIF"), "GIF89a");
    testkit::WriteFileText(src.file("b.Bmp"), "BM");
    testkit::WriteFileText(src.file("c.txt"), "text");
    testkit::WriteFileText(src.file("d.jpeg"), "jpeg");
    // A sub-folder named like a media file and an empty media file are left out and reported.
    ASSERT_TRUE(CreateDirectoryA(src.file("album.gif").c_str(), nullptr));
    testkit::WriteFileText(src.file("empty.jpg"), "");
    char folder[MAX_PATH];
    strcpy(folder, src.path().c_str());
    std::vector<std::pair<std::string, DWORD>> skipped;
    auto note = [](LPCSTR name, DWORD why, LPVOID user) {
        ((std::vector<std::pair<std::string, DWORD>> *)user)->push_back({name, why});
    };
    ASSERT_EQ(1, MakeMimeFromFolderEx(folder, Slash(out).c_str(), "f.dat", note, &skipped));
    EXPECT_EQ(Slash(src), folder);  // the backslash was added in place
    std::sort(skipped.begin(), skipped.end());
    EXPECT_EQ(skipped, (std::vector<std::pair<std::string, DWORD>>{{"album.gif", ERROR_DIRECTORY_NOT_SUPPORTED},
                                                                   {"empty.jpg", (DWORD)MIME_ERROR_EMPTY_PART}}));
    auto parts = PartsOf(out.file("f.dat"));
    ASSERT_EQ(2u, parts.size());
    EXPECT_EQ("image/gif", parts["a.GIF"].type);
    EXPECT_EQ("image/jpeg", parts["b.Bmp"].type);
    std::vector<unsigned char> bytes = testkit::ReadFileBytes(out.file("f.dat"));
    ASSERT_GE(bytes.size(), 3u);
    EXPECT_EQ(0x84, bytes[0]);
    EXPECT_EQ(0xA3, bytes[1]);  // mixed, even though a presentation could be among the parts

    // A folder of no listed media: a message of no parts, a count of 0 (which reads back as
    // damage).
    testkit::TempDir none;
    testkit::WriteFileText(none.file("notes.txt"), "x");
    strcpy(folder, none.path().c_str());
    ASSERT_EQ(1, MakeMimeFromFolder(folder, Slash(out).c_str(), "e.dat"));
    EXPECT_EQ((mimetest::Bytes{0x84, 0xA3, 0x00}), testkit::ReadFileBytes(out.file("e.dat")));
}

TEST(MimeFromFolder, BadInput)
{
    testkit::TempDir src, out;
    testkit::AssertCapture asserts;
    EXPECT_EQ(0, MakeMimeFromFolder(nullptr, Slash(out).c_str(), "x.dat"));
    EXPECT_TRUE(asserts.Saw("lpszFilePath"));
    char missing[MAX_PATH];
    strcpy(missing, src.file("gone").c_str());
    EXPECT_EQ(0, MakeMimeFromFolder(missing, Slash(out).c_str(), "x.dat"));
    // A folder name that leaves no room for the search pattern.
    std::string longName(MAX_PATH - 3, 'a');
    char big[MAX_PATH + 8];
    strcpy(big, longName.c_str());
    EXPECT_EQ(0, MakeMimeFromFolder(big, Slash(out).c_str(), "x.dat"));
}

TEST(TextMime, TwoTextParts)
{
    testkit::TempDir d;
    testkit::WriteFileText(d.file("a.txt"), "first");
    testkit::WriteFileText(d.file("b.txt"), "second");
    ASSERT_EQ(1, MakeTextMime(d.file("a.txt").c_str(), d.file("b.txt").c_str()));
    auto parts = PartsOf(d.file("newMime.dat"));
    ASSERT_EQ(2u, parts.size());
    EXPECT_EQ("a.txt", parts[0].name);
    EXPECT_EQ("b.txt", parts[1].name);
    // Plain text in US-ASCII, exactly (0x03 0x83 0x81 0x83 in the file).
    EXPECT_EQ("text/plain;charset=us-ascii", parts[0].type);
    EXPECT_EQ("text/plain;charset=us-ascii", parts[1].type);

    testkit::AssertCapture asserts;
    EXPECT_EQ(0, MakeTextMime(nullptr, d.file("b.txt").c_str()));
    EXPECT_TRUE(asserts.Saw("szSubFile"));
    EXPECT_EQ(0, MakeTextMime(d.file("a.txt").c_str(), d.file("missing.txt").c_str()));
}

/* A 1 x 1 GIF. */
const unsigned char kGif[] = {0x47, 0x49, 0x46, 0x38, 0x39, 0x61, 0x01, 0x00, 0x01, 0x00, 0x80, 0x00,
                              0x00, 0xFF, 0xFF, 0xFF, 0x00, 0x00, 0x00, 0x2C, 0x00, 0x00, 0x00, 0x00,
                              0x01, 0x00, 0x01, 0x00, 0x00, 0x02, 0x02, 0x44, 0x01, 0x00, 0x3B};

int Value = 1;

TEST(SingleItem, ImageAudioAndOther)
{
    testkit::TempDir d;
    ASSERT_TRUE(testkit::WriteFileBytes(d.file("pic.gif"), std::vector<unsigned char>(kGif, kGif + sizeof kGif)));
    testkit::WriteFileText(d.file("tune.wav"), "RIFF....WAVE");
    testkit::WriteFileText(d.file("tune.mid"), "MThd");
    testkit::WriteFileText(d.file("photo.png"), "\x89PNG");
    // A picture or a sound (a MIDI tune too) beside the presentation; any other file: the
    // presentation alone, a message without objects.
    const struct Row {
        const char *file, *name, *written;
        bool object;
    } rows[] = {
        {"pic.gif", "img", "img.dat", true},
        {"tune.wav", "snd.dat", "snd.dat", true},
        {"tune.mid", "mid", "mid.dat", true},
        {"photo.png", "png", "png.dat", false},
    };
    for (const Row &r : rows) {
        char folder[MAX_PATH];
        strcpy(folder, d.path().c_str());
        ASSERT_EQ(1, MakeSingleItemMessage(d.file(r.file).c_str(), folder, r.name, &Value)) << r.file;
        EXPECT_EQ(Slash(d), folder);
        auto parts = PartsOf(d.file(r.written));
        ASSERT_EQ(r.object ? 2u : 1u, parts.size()) << r.file;
        EXPECT_EQ("application/smil", parts[0].type.substr(0, 16));
        EXPECT_EQ("mms.smil", parts[0].name);
        if (r.object) {
            EXPECT_EQ(r.file, parts[1].name);
        }
    }
    EXPECT_EQ("image/gif", PartsOf(d.file("img.dat"))[1].type);
    // The one slide lasts two seconds.
    EXPECT_NE(mimetest::ReadText(d.file("img.dat")).find("dur=\"2000ms\""), std::string::npos);
}

TEST(SingleItem, PresentationKeepsItsFirstObjectAndFailuresWriteNothing)
{
    testkit::TempDir d;
    std::string smil = "<smil><body>";
    for (int p = 0; p < 4; p++) {
        std::string n = std::to_string(p);
        smil += "<par dur=\"1s\"><img src=\"i" + n + ".gif\"/><text src=\"t" + n + ".txt\"/><audio src=\"a" + n +
                ".wav\"/></par>";
        testkit::WriteFileText(d.file("i" + n + ".gif"), "GIF" + n);
        testkit::WriteFileText(d.file("t" + n + ".txt"), "T" + n);
        testkit::WriteFileText(d.file("a" + n + ".wav"), "W" + n);
    }
    smil += "</body></smil>";
    testkit::WriteFileText(d.file("show.smil"), smil);  // three timelines of four objects
    testkit::TempDir out;
    char folder[MAX_PATH];
    strcpy(folder, out.path().c_str());
    ASSERT_EQ(1, MakeSingleItemMessage(d.file("show.smil").c_str(), folder, "one", &Value));
    auto parts = PartsOf(out.file("one.dat"));
    ASSERT_EQ(2u, parts.size());
    EXPECT_EQ("i0.gif", parts[1].name);

    // A presentation that does not load is a failure, not an empty message; so are a missing
    // item and a missing value.
    testkit::WriteFileText(d.file("broken.smil"), "<smil><body><par>");
    EXPECT_EQ(0, MakeSingleItemMessage(d.file("broken.smil").c_str(), folder, "bad", &Value));
    testkit::AssertCapture asserts;
    EXPECT_EQ(0, MakeSingleItemMessage(nullptr, folder, "bad", &Value));
    EXPECT_TRUE(asserts.Saw("lpszFile"));
    EXPECT_EQ(0, MakeSingleItemMessage(d.file("missing.gif").c_str(), folder, "bad", &Value));
    EXPECT_EQ(0, MakeSingleItemMessage(d.file("a0.wav").c_str(), folder, "bad", nullptr));
    EXPECT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesA(out.file("bad.dat").c_str()));
}

TEST(GenerateMessage, DatExtensionIsForced)
{
    testkit::TempDir d;
    HMMSCONTAINER c = mmsContainerCreate();
    ASSERT_EQ(1, GenerateMessageFile("", "123", "", d.file("out.DAT").c_str(), &Value, c, 1));
    EXPECT_NE(INVALID_FILE_ATTRIBUTES, GetFileAttributesA(d.file("out.DAT").c_str()));
    ASSERT_EQ(1, GenerateMessageFile("", "123", "", d.file("out.bin").c_str(), &Value, c, 1));
    EXPECT_NE(INVALID_FILE_ATTRIBUTES, GetFileAttributesA(d.file("out.bin.dat").c_str()));
    EXPECT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesA(d.file("out.bin").c_str()));

    EXPECT_EQ(0, GenerateMessageFile("", "123", "", "", &Value, c, 1));
    EXPECT_EQ(0, GenerateMessageFile(nullptr, "123", "", d.file("n1").c_str(), &Value, c, 1));
    EXPECT_EQ(0, GenerateMessageFile("", nullptr, "", d.file("n2").c_str(), &Value, c, 1));
    EXPECT_EQ(0, GenerateMessageFile("", "123", nullptr, d.file("n3").c_str(), &Value, c, 1));
    EXPECT_EQ(0, GenerateMessageFile("", "123", "", d.file("n4").c_str(), nullptr, c, 1));
    EXPECT_EQ(0, GenerateMessageFile("", "123", "", d.file("n5").c_str(), &Value, nullptr, 1));
    for (const char *n : {"n1.dat", "n2.dat", "n3.dat", "n4.dat", "n5.dat"})
        EXPECT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesA(d.file(n).c_str())) << n;
    // Too long for a MAX_PATH buffer once ".dat" is added.
    std::string longPath = d.path() + "\\" + std::string(MAX_PATH - d.path().size() - 3, 'x');
    EXPECT_EQ(0, GenerateMessageFile("", "123", "", longPath.c_str(), &Value, c, 1));
    mmsContainerDestroy(c);
}

TEST(SaveSmil, NameFromTheDialog)
{
    testkit::TempDir d;
    testkit::WriteFileText(d.file("a.gif"), "GIF89a");
    HMMSCONTAINER c = mmsContainerCreate();
    ASSERT_EQ(0, mmsInsertTimeLine(c, -1));
    MEDIA_ATT att;
    memset(&att, 0, sizeof att);
    att.dwDur = 2000;
    ASSERT_EQ(0, mmsInsertObject(c, 0, MDOC_TYPE_IMAGE, nullptr, d.file("a.gif").c_str(), &att, -1));
    HWND owner = (HWND)(UINT_PTR)1;

    unsigned asked = testkit::LastFileDialog().count;
    testkit::ScriptFileDialog(d.file("show").c_str());
    ASSERT_EQ(1, SaveAsSmil(owner, c));
    // One dialog, asking before a file is replaced, for a folder that exists, showing
    // presentations only.
    testkit::FileDialogSeen seen = testkit::LastFileDialog();
    EXPECT_EQ(asked + 1, seen.count);
    EXPECT_EQ((DWORD)(OFN_OVERWRITEPROMPT | OFN_PATHMUSTEXIST), seen.flags);
    EXPECT_EQ(std::string("Smil Files(*.smil)\0*.SMIL\0", 26), seen.filter);
    std::string text = mimetest::ReadText(d.file("show.smil"));
    EXPECT_NE(std::string::npos, text.find("<img src=\"a.gif\" region=\"Image\"/>")) << text;

    testkit::ScriptFileDialog(d.file("keep.SMIL").c_str());
    ASSERT_EQ(1, SaveAsSmil(owner, c));
    EXPECT_NE(INVALID_FILE_ATTRIBUTES, GetFileAttributesA(d.file("keep.SMIL").c_str()));
    EXPECT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesA(d.file("keep.SMIL.smil").c_str()));

    testkit::ScriptFileDialog(nullptr);  // cancelled
    EXPECT_EQ(0, SaveAsSmil(owner, c));
    EXPECT_EQ(asked + 3, testkit::LastFileDialog().count);
    EXPECT_EQ(0, SaveAsSmil(nullptr, c));
    EXPECT_EQ(0, SaveAsSmil(owner, nullptr));
    EXPECT_EQ(asked + 3, testkit::LastFileDialog().count);  // no dialog without owner or container
    mmsContainerDestroy(c);
}

/* contents\Size.ini beside the test program (none for a null text), removed afterwards. */
struct SizeIni {
    std::string dir = testkit::ProgramDir();
    std::string folder = dir + "contents";
    std::string file = folder + dir.substr(dir.size() - 1) + "Size.ini";  // the host's separator
    explicit SizeIni(const char *text)
    {
        CreateDirectoryA(folder.c_str(), nullptr);
        EXPECT_TRUE(!text || testkit::WriteFileText(file, text));
    }
    ~SizeIni()
    {
        DeleteFileA(file.c_str());
        RemoveDirectoryA(folder.c_str());
    }
};

TEST(PreviewRect, CentredInTheFrameOrLeftAsItWas)
{
    const std::vector<LONG> asItWas = {1, 2, 3, 4};
    const struct Row {
        const char *ini;
        std::vector<LONG> want;  // left, top, right, bottom
    } rows[] = {
        {"[size0]\r\nnWidth=176\r\nnHeight=208\r\n", {58, 43, 234, 251}},
        {"[SIZE0]\r\nNWIDTH=300\r\nnHeight=208\r\n", {6, 43, 306, 251}},
        {"[size0]\r\nnWidth=101\r\nnHeight=300\r\n", {95, 17, 196, 317}},  // odd: truncated toward zero
        // No Size.ini, or no usable size in it: the rectangle stays as it was.
        {nullptr, asItWas},
        {"garbage\x01\x02 without sections", asItWas},
        {"[size0]\r\nnWidth=abc\r\nnHeight=xyz\r\n", asItWas},
        {"[size0]\r\nnWidth=-50\r\nnHeight=208\r\n", asItWas},
        {"[size1]\r\nnWidth=176\r\nnHeight=208\r\n", asItWas},
        {"[size0]\r\nnWidth=4000000000\r\nnHeight=208\r\n", asItWas},
    };
    for (const Row &w : rows) {
        SCOPED_TRACE(w.ini ? w.ini : "no Size.ini");
        SizeIni ini(w.ini);
        RECT r = {1, 2, 3, 4};
        EXPECT_EQ(w.want == asItWas ? 0 : 1, GetPreviewRect(&r));
        EXPECT_EQ(w.want, (std::vector<LONG>{r.left, r.top, r.right, r.bottom}));
    }
    EXPECT_EQ(0, GetPreviewRect(nullptr));
}

}  // namespace
