/* The multipart message: byte layouts, round trips, extraction and hostile files. */
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "message/mime_bytes.h"

using namespace mimetest;

namespace {

struct Fixture {
    testkit::TempDir dir;
    std::string folder = dir.file("");

    void Put(const char *name, const Bytes &data) { ASSERT_TRUE(testkit::WriteFileBytes(dir.file(name), data)); }
    Bytes Get(const char *name) { return testkit::ReadFileBytes(dir.file(name)); }
    int Add(MIME_MESSAGE *m, const char *type, const char *name, const char *id = nullptr)
    {
        MIME_PART_INFO info = {type, folder.c_str(), name, id};
        return MimeAddPart(m, &info);
    }
};

TEST(MimeLayout, RelatedMessageWithSmilStartPart)
{
    Fixture f;
    f.Put("mms.smil", {'<', 's', '>'});
    f.Put("b.gif", {'G', 'I', 'F'});
    MIME_MESSAGE *m = MimeCreate();
    ASSERT_TRUE(MimeAddSmilPart(m, f.folder.c_str(), "mms.smil"));
    ASSERT_TRUE(f.Add(m, "image/gif", "b.gif", "<b>"));
    ASSERT_TRUE(MimeWriteFile(m, f.folder.c_str(), "out.mms"));
    MimeDestroy(m);

    // The related type with its start type and Start, then the count; the SMIL entry is the start.
    Bytes expect = {0x84, 0x1B, 0xB3, 0x89};
    Text(expect, "application/smil").push_back(0x8A);
    Text(expect, "<smil>").push_back(0x02);
    expect = Cat(Cat(expect, Entry(Headers(kSmil, "mms.smil", "<smil>"), {'<', 's', '>'})),
                 Entry(Headers(kGif, "b.gif", "<b>"), {'G', 'I', 'F'}));
    EXPECT_EQ(f.Get("out.mms"), expect);
}

TEST(MimeLayout, OnePartMessagesByType)
{
    Fixture f;
    f.Put("t.txt", {'h', 'i'});
    struct {
        const char *type;
        Bytes value;
    } cases[] = {
        // The names a charset goes by are the codec's table (its own test); here, where they are read.
        {"text/plain;charset=utf_8", {0x03, 0x83, 0x81, 0xEA}},
        {"text/plain; charset = utf_8", {0x03, 0x83, 0x81, 0xEA}},
        {"text/plain", {0x03, 0x83, 0x81, 0x83}},
        {"text/plain; charset=utf-8", {0x03, 0x83, 0x81, 0xEA}},
        {"text/plain ;CharSet= Utf8 ", {0x03, 0x83, 0x81, 0xEA}},
        {"text/plain;charset=US-ASCII", {0x03, 0x83, 0x81, 0x83}},
        {"text/plain;name=charset.txt;charset=utf-8", {0x03, 0x83, 0x81, 0xEA}},
        {"text/plain;name=x", {0x03, 0x83, 0x81, 0x83}},
        {"image/png;charset=utf_8", {0xA0}},
        {"image/jpeg", {0x9E}},
        {"*/*", {'*', '/', '*', 0}},
        {"audio/amr", {'a', 'u', 'd', 'i', 'o', '/', 'a', 'm', 'r', 0}},
    };
    for (const auto &c : cases) {
        MIME_MESSAGE *m = MimeCreate();
        ASSERT_TRUE(f.Add(m, c.type, "t.txt"));
        ASSERT_TRUE(MimeWriteFile(m, f.folder.c_str(), "out.mms"));
        MimeDestroy(m);
        EXPECT_EQ(f.Get("out.mms"), Cat({0x84, 0xA3, 0x01}, Entry(Headers(c.value, "t.txt"), {'h', 'i'}))) << c.type;
    }
    // A charset the entry cannot name is refused, not written as US-ASCII.
    for (const char *type : {"text/plain;charset=iso-8859-1", "text/plain;charset=utf-16", "text/plain;charset="}) {
        MIME_MESSAGE *m = MimeCreate();
        ASSERT_TRUE(f.Add(m, type, "t.txt"));
        SetLastError(0);
        EXPECT_FALSE(MimeWriteFile(m, f.folder.c_str(), "bad.mms")) << type;
        EXPECT_EQ((DWORD)MIME_ERROR_UNKNOWN_CHARSET, GetLastError()) << type;
        MimeDestroy(m);
        EXPECT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesA(f.dir.file("bad.mms").c_str()));
    }
}

TEST(MimeCompose, ArgumentChecksAndFailedWrites)
{
    Fixture f;
    f.Put("a.jpg", {1});
    EXPECT_FALSE(MimeAddPart(nullptr, nullptr));
    MIME_MESSAGE *m = MimeCreate();
    ASSERT_NE(m, nullptr);
    MIME_PART_INFO noType = {nullptr, f.folder.c_str(), "a.jpg", nullptr};
    EXPECT_FALSE(MimeAddPart(m, &noType));
    MIME_PART_INFO noFolder = {"image/jpeg", nullptr, "a.jpg", nullptr};
    EXPECT_FALSE(MimeAddPart(m, &noFolder));
    EXPECT_FALSE(MimeAddSmilPart(m, nullptr, "x"));
    EXPECT_EQ(m->partCount, 0);
    EXPECT_EQ(m->startPart, nullptr);

    ASSERT_TRUE(f.Add(m, "image/jpeg", "a.jpg", "<a>"));
    EXPECT_FALSE(MimeWriteFile(m, nullptr, "x"));
    EXPECT_FALSE(MimeWriteFile(m, f.folder.c_str(), nullptr));
    // A missing data file stops the write, says why, and leaves no partial file nor a damaged
    // earlier one.
    ASSERT_TRUE(f.Add(m, "image/gif", "missing.gif"));
    EXPECT_FALSE(MimeWriteFile(m, f.folder.c_str(), "part.mms"));
    EXPECT_EQ((DWORD)ERROR_FILE_NOT_FOUND, GetLastError());
    EXPECT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesA(f.dir.file("part.mms").c_str()));
    f.Put("part.mms", {1, 2, 3});
    EXPECT_FALSE(MimeWriteFile(m, f.folder.c_str(), "part.mms"));
    EXPECT_EQ(f.Get("part.mms"), Bytes({1, 2, 3}));
    MimeDestroy(m);
    MimeDestroy(nullptr);
    MimeClearProgress(nullptr);
}

TEST(MimeCompose, MoreThan127PartsAreRefusedUnwritten)
{
    Fixture f;
    f.Put("p", {7});
    MIME_MESSAGE *m = MimeCreate();
    for (int i = 0; i < 127; ++i)
        ASSERT_TRUE(f.Add(m, "image/png", "p"));
    ASSERT_TRUE(MimeWriteFile(m, f.folder.c_str(), "ok.mms"));
    EXPECT_EQ(f.Get("ok.mms")[2], 127);
    ASSERT_TRUE(f.Add(m, "image/png", "p"));
    EXPECT_EQ(m->partCount, 128);
    EXPECT_FALSE(MimeWriteFile(m, f.folder.c_str(), "big.mms"));
    EXPECT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesA(f.dir.file("big.mms").c_str()));
    MimeDestroy(m);
}

int g_calls;
std::string g_names;
int Progress(const char *name, uint32_t user)
{
    ++g_calls;
    g_names += name;
    g_names += "|" + std::to_string(user) + ";";
    return 0;
}

TEST(MimeRead, StartPartFirstAndProgressPerPart)
{
    Fixture f;
    f.Put("s.smil", {'s'});
    f.Put("one", {'1'});
    f.Put("two", {'2', '2'});
    MIME_MESSAGE *m = MimeCreate();
    ASSERT_TRUE(MimeAddSmilPart(m, f.folder.c_str(), "s.smil"));
    ASSERT_TRUE(f.Add(m, "image/jpeg", "one"));
    ASSERT_TRUE(f.Add(m, "text/plain", "two", "<t>"));
    ASSERT_TRUE(MimeWriteFile(m, f.folder.c_str(), "m.mms"));
    MimeDestroy(m);

    MIME_MESSAGE *r = MimeOpenFile(f.folder.c_str(), "m.mms");
    ASSERT_NE(r, nullptr);
    EXPECT_EQ(MimeOtherPartCount(r), 2);
    EXPECT_FALSE(f.Add(r, "image/gif", "one"));  // reading mode
    EXPECT_EQ(r->partCount, 3);

    r->progressProc = Progress;
    r->progressUser = 42;
    g_calls = 0;
    g_names.clear();
    testkit::TempDir out;
    std::string o = out.file("");
    MIME_PART_INFO info = {nullptr, o.c_str(), nullptr, nullptr};
    ASSERT_TRUE(MimeExtractPart(r, 0, &info));
    EXPECT_STREQ(info.fileName, "one");
    EXPECT_STREQ(info.contentType, "image/jpeg");
    EXPECT_EQ(testkit::ReadFileBytes(out.file("one")), Bytes{'1'});
    ASSERT_TRUE(MimeExtractPart(r, 1, &info));
    EXPECT_STREQ(info.fileName, "two");
    EXPECT_EQ(g_calls, 2);
    EXPECT_EQ(g_names, "one|42;two|42;");
    EXPECT_FALSE(MimeExtractPart(r, 2, &info));
    EXPECT_FALSE(MimeExtractPart(r, -1, &info));

    MimeClearProgress(r);
    ASSERT_TRUE(MimeExtractStart(r, o.c_str(), "start.smil"));
    EXPECT_EQ(testkit::ReadFileBytes(out.file("start.smil")), Bytes{'s'});
    EXPECT_EQ(g_calls, 2);
    MimeDestroy(r);
}

TEST(MimeRead, EntryHeadersNothingKeepsAreSteppedOver)
{
    Fixture f;
    Bytes headers = Headers(kGif, "a.gif", "<a>");
    // Headers WSP can frame but that name nothing kept here are stepped over: a well-known
    // field with a Short-integer, a Value-length or a text value, an application header, and a
    // code-page shift under which 0x8E is some other field.
    struct {
        const char *what;
        Bytes headers;
    } skipped[] = {
        {"short integer", {0x85, 0x81}},
        {"value length", {0x85, 0x02, 0xAA, 0xBB}},
        {"quoted value length", {0x85, 0x1F, 0x02, 0xAA, 0xBB}},
        {"text value", {0x85, 'e', 'n', 0}},
        {"application header", {'X', '-', 'F', 'o', 'o', 0, 'b', 'a', 'r', 0}},
        {"shifted page", {0x7F, 0x82, 0x8E, 'n', 'o', 't', 0, 0x01}},
        {"short-cut shift", {0x02, 0x8E, 'n', 'o', 't', 0, 0x01}},
    };
    for (const auto &c : skipped) {
        for (bool before : {true, false}) {
            Bytes h = Headers(before ? Cat(kGif, c.headers) : kGif, "a.gif", "<a>");
            if (!before)
                h = Cat(h, c.headers);
            MIME_MESSAGE *r = Open(f.dir, Message(false, {}, {{h, {'x'}}}));
            ASSERT_NE(r, nullptr) << c.what;
            EXPECT_STREQ(r->firstPart->name, "a.gif") << c.what;
            EXPECT_STREQ(r->firstPart->contentId, "<a>") << c.what;
            MimeDestroy(r);
        }
    }
    // Octets that frame no header, or a value running past HeadersLen, still fail the read.
    for (Bytes tail : {Bytes{0x00}, Bytes{0x85, 0x05, 0xAA}, Bytes{0x85, 'e', 'n'}, Bytes{0x7F}, Bytes{'X', 0}}) {
        Bytes bad = Cat(headers, tail);
        EXPECT_EQ(Open(f.dir, Message(false, {}, {{bad, {'x'}}})), nullptr);
    }
}

TEST(MimeRead, MalformedFilesFailWithoutCrashing)
{
    Fixture f;
    Bytes good;
    {
        f.Put("d", {'d', 'a', 't', 'a'});
        MIME_MESSAGE *m = MimeCreate();
        ASSERT_TRUE(MimeAddSmilPart(m, f.folder.c_str(), "d"));
        ASSERT_TRUE(f.Add(m, "image/jpeg", "d", "<x>"));
        ASSERT_TRUE(MimeWriteFile(m, f.folder.c_str(), "good.mms"));
        MimeDestroy(m);
        good = f.Get("good.mms");
    }
    // Every truncation fails as a whole.
    for (size_t n = 0; n < good.size(); ++n)
        EXPECT_EQ(Open(f.dir, Bytes(good.begin(), good.begin() + n)), nullptr) << n;
    MIME_MESSAGE *whole = Open(f.dir, good);
    EXPECT_NE(whole, nullptr);
    MimeDestroy(whole);

    Bytes jpeg = {0x9E, 0x8E, 'n', 0};
    struct {
        const char *what;
        Bytes file;
    } cases[] = {
        {"first octet", Cat({0x85, 0xA3, 0x01}, Entry(jpeg, {1}))},
        {"count 0", {0x84, 0xA3, 0x00}},
        {"count beyond entries", Cat({0x84, 0xA3, 0x03}, Entry(jpeg, {1}))},
        {"HeadersLen 0", Cat({0x84, 0xA3, 0x01, 0x00, 0x01}, {1})},
        {"HeadersLen beyond file", Cat({0x84, 0xA3, 0x01, 0x8F, 0x7F, 0x01, 0x9E}, {1})},
        {"DataLen beyond file", Cat({0x84, 0xA3, 0x01, 0x04, 0x8F, 0x7F}, Cat(jpeg, {1}))},
        {"uintvar of six octets", Cat({0x84, 0xA3, 0x01, 0x80, 0x80, 0x80, 0x80, 0x80, 0x04, 0x01}, Cat(jpeg, {1}))},
        {"uintvar above 2^31", Cat({0x84, 0xA3, 0x01, 0x04, 0x9F, 0xFF, 0xFF, 0xFF, 0x7F}, Cat(jpeg, {1}))},
        {"text without terminator", Cat({0x84, 0xA3, 0x01, 0x04, 0x01}, {0x9E, 0x8E, 'n', 'o', 1})},
        {"type text without terminator", {0x84, 'a', '/', 'b'}},
        {"related params unterminated", {0x84, 0x05, 0xB3, 0x8A, '<', 'x', '>'}},
        {"related unknown param", {0x84, 0x03, 0xB3, 0x85, 0x00, 0x01}},
        {"Value-length beyond file", {0x84, 0x1F, 0x8F, 0x7F, 0xB3}},
    };
    for (const auto &c : cases)
        EXPECT_EQ(Open(f.dir, c.file), nullptr) << c.what;
    EXPECT_EQ(MimeOpenFile(nullptr, "x"), nullptr);
}

TEST(MimeRead, EmptyPartsAndModeChecks)
{
    Fixture f;
    f.Put("empty", {});
    f.Put("one", {1});
    // An empty data file is refused: nothing is written.
    MIME_MESSAGE *m = MimeCreate();
    ASSERT_TRUE(f.Add(m, "image/png", "one"));
    ASSERT_TRUE(f.Add(m, "image/png", "empty"));
    SetLastError(0);
    EXPECT_FALSE(MimeWriteFile(m, f.folder.c_str(), "e.mms"));
    EXPECT_EQ((DWORD)MIME_ERROR_EMPTY_PART, GetLastError());
    EXPECT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesA(f.dir.file("e.mms").c_str()));
    EXPECT_FALSE(MimeExtractAll(m, f.folder.c_str()));  // composing mode
    EXPECT_FALSE(MimeExtractStart(m, f.folder.c_str(), "x"));
    MimeDestroy(m);

    // A part of DataLen 0 written elsewhere reads and extracts as an empty file.
    Bytes headers = Headers({0xA0}, "empty");
    MIME_MESSAGE *r = Open(f.dir, Message(false, {}, {{headers, {}}}));
    ASSERT_NE(r, nullptr);
    EXPECT_EQ(r->firstPart->dataLength, 0);
    testkit::TempDir out;
    ASSERT_TRUE(MimeExtractAll(r, out.file("").c_str()));
    EXPECT_EQ(Files(out.file("")), (std::map<std::string, Bytes>{{"empty", {}}}));
    EXPECT_FALSE(MimeExtractStart(r, out.file("").c_str(), "s"));  // mixed: no start part
    MimeDestroy(r);
}

}  // namespace
