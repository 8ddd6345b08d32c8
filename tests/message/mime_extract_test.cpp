/* Reading messages back whole and extracting them without losing or overwriting a part: start
 * parts, long and non-ASCII names, colliding names and devices, refused names and existing
 * files. */
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <string>
#include <vector>

#include "message/mime_bytes.h"

using namespace mimetest;

namespace {

struct Report {
    std::vector<int> outcomes;
    std::vector<std::string> names;
    static void Take(const MIME_PART *, int outcome, const char *name, uint32_t, void *user)
    {
        Report *r = (Report *)user;
        r->outcomes.push_back(outcome);
        r->names.push_back(name);
    }
};

TEST(MimeStart, RelatedMessageWithoutAFoundStartKeepsEveryPart)
{
    testkit::TempDir d, out;
    // No Start parameter: the SMIL part (read back with a charset) is the start part.
    MIME_MESSAGE *r = Open(d, Message(true, {}, {{Headers(kSmil, "s.smil", "<smil>"), {'s'}},
                                                {Headers(kGif, "a.gif"), {'a'}},
                                                {Headers(kGif, "b.gif"), {'b'}}}));
    ASSERT_NE(r, nullptr);
    ASSERT_EQ(r->startPart, r->firstPart);
    EXPECT_EQ(MimeOtherPartCount(r), 2);
    EXPECT_TRUE(MimeExtractAll(r, Sep(out).c_str()));
    MimeDestroy(r);
    EXPECT_EQ(Files(Sep(out)), (std::map<std::string, Bytes>{{"mms.smil", {'s'}}, {"a.gif", {'a'}}, {"b.gif", {'b'}}}));

    // A Start naming no part, and no SMIL part: no start part, every part is among the others.
    for (const Bytes &start : {Bytes{}, Bytes{'<', 'z', '>'}}) {
        testkit::TempDir o;
        r = Open(d, Message(true, start, {{Headers(kGif, "a.gif", "<a>"), {'a'}}, {Headers(kGif, "b.gif"), {'b'}}}));
        ASSERT_NE(r, nullptr);
        EXPECT_EQ(r->startPart, nullptr);
        EXPECT_EQ(MimeOtherPartCount(r), 2);
        EXPECT_TRUE(MimeExtractAll(r, Sep(o).c_str()));
        MimeDestroy(r);
        EXPECT_EQ(Files(Sep(o)), (std::map<std::string, Bytes>{{"a.gif", {'a'}}, {"b.gif", {'b'}}}));
    }

    // A Start naming no part falls back to the SMIL part; one naming a part wins over a SMIL
    // part before it.
    const struct {
        Bytes start;
        std::vector<Part> parts;
    } starts[] = {
        {{'<', 'z', '>'}, {{Headers(kGif, "a.gif"), {'a'}}, {Headers(kSmil, "s.smil"), {'s'}}}},
        {{'<', 'b', '>'}, {{Headers(kSmil, "s.smil"), {'s'}}, {Headers(kGif, nullptr, "<b>"), {'b'}}}},
    };
    for (const auto &s : starts) {
        r = Open(d, Message(true, s.start, s.parts));
        ASSERT_NE(r, nullptr);
        EXPECT_EQ(r->startPart, r->firstPart->next);
        EXPECT_EQ(MimeOtherPartCount(r), 1);
        MimeDestroy(r);
    }
}

TEST(MimeNames, LongAndNonAsciiNamesReadBackExactly)
{
    testkit::TempDir src, d, out;
    // What the writer takes (names up to 127 octets, types up to 255, any content id) reads
    // back octet for octet.
    std::string p64(64, 'p');
    std::string longType = "application/x-" + std::string(241, 't');
    std::string longId = "<" + std::string(300, 'i') + ">";
    std::string longest = std::string(123, 'n') + ".jpg";
    struct {
        std::string name, type, id;
    } wanted[] = {
        {p64 + "_one.jpg", "image/jpeg", ""},
        {p64 + "_two.jpg", "image/jpeg", ""},
        {longest, longType, longId},
        {"caf\xE9.jpg", "image/jpeg", "<caf\xE9>"},
        {"\xC9t\xE9 \x80.gif", "image/gif", ""},  // first octet above 0x7F: quoted on the wire
        {"Stra\xDF" "e \x8A\x9C.txt", "text/plain;charset=utf-8", ""},
    };
    MIME_MESSAGE *m = MimeCreate();
    int i = 0;
    for (const auto &s : wanted) {
        ASSERT_TRUE(testkit::WriteFileBytes(src.file(s.name), Bytes(1, (unsigned char)('0' + i++)))) << s.name;
        MIME_PART_INFO info = {s.type.c_str(), Sep(src).c_str(), s.name.c_str(), s.id.empty() ? nullptr : s.id.c_str()};
        ASSERT_TRUE(MimeAddPart(m, &info));
    }
    ASSERT_TRUE(MimeWriteFile(m, Sep(d).c_str(), "names.mms"));
    MimeDestroy(m);
    // The quote before a name whose first octet is above 0x7F.
    Bytes file = testkit::ReadFileBytes(d.file("names.mms"));
    const Bytes quoted = {0x8E, 0x7F, 0xC9, 't', 0xE9};
    EXPECT_NE(std::search(file.begin(), file.end(), quoted.begin(), quoted.end()), file.end());

    MIME_MESSAGE *r = MimeOpenFile(Sep(d).c_str(), "names.mms");
    ASSERT_NE(r, nullptr);
    i = 0;
    for (const MIME_PART *p = r->firstPart; p; p = p->next, ++i) {
        EXPECT_STREQ(p->name, wanted[i].name.c_str());
        if (!wanted[i].id.empty()) {
            EXPECT_STREQ(p->contentId, wanted[i].id.c_str());
        }
    }
    EXPECT_STREQ(r->firstPart->next->next->contentType, longType.c_str());
    EXPECT_STREQ(r->firstPart->next->next->next->next->next->contentType, "text/plain;charset=utf_8");
    ASSERT_TRUE(MimeExtractAll(r, Sep(out).c_str()));
    MimeDestroy(r);
    EXPECT_EQ(Files(Sep(out)), Files(Sep(src)));

    // A name read from elsewhere with a tab and octets above 0x7F, not quoted.
    r = Open(d, Message(false, {}, {{Headers(kGif, "tab\there\xE9.gif"), {'t'}}}));
    ASSERT_NE(r, nullptr);
    EXPECT_STREQ(r->firstPart->name, "tab\there\xE9.gif");
    testkit::TempDir o;
    ASSERT_TRUE(MimeExtractAll(r, Sep(o).c_str()));
    MimeDestroy(r);
    EXPECT_EQ(Files(Sep(o)), (std::map<std::string, Bytes>{{"tab_here\xE9.gif", {'t'}}}));
}

TEST(MimeNames, CollidingNamesAndDevicesGetNumbers)
{
    const std::string kLong = std::string(117, 'n') + ".gif";  // longer than a numbered name may be
    testkit::TempDir d, out;
    std::vector<Part> parts = {
        {Headers(kSmil, "mms.smil", "<smil>"), {'S'}},
        {Headers(kGif, "x.gif"), {1}},
        {Headers(kGif, "x.gif"), {2}},
        {Headers(kGif, "case.jpg"), {3}},
        {Headers(kGif, "CASE.JPG"), {4}},
        {Headers(kGif, "NUL"), {5}},
        {Headers(kGif, "aux.jpg"), {6}},
        {Headers(kGif, "COM1.txt"), {7}},
        {Headers(kGif, "lpt9 .txt"), {8}},
        {Headers(kGif, "trail.jpg."), {9}},
        {Headers(kGif, "trail.jpg"), {10}},
        {Headers(kGif, "mms.smil"), {11}},
        {Headers(kGif, "caf\xE9.gif"), {12}},
        {Headers(kGif, "CAF\xC9.GIF"), {13}},
        {Headers(kGif, "x (1).gif"), {14}},
        {Headers(kGif, "in.mms"), {15}},
        {Headers(kGif, "\x9A\x9C\x9E\xFF.gif"), {16}},
        {Headers(kGif, "\x8A\x8C\x8E\x9F.gif"), {17}},
        {Headers(kGif, kLong.c_str()), {18}},
        {Headers(kGif, kLong.c_str()), {19}},  // cut to leave room for its number
    };
    MIME_MESSAGE *r = Open(d, Message(true, {'<', 's', 'm', 'i', 'l', '>'}, parts));
    ASSERT_NE(r, nullptr);
    Report rep;
    ASSERT_TRUE(MimeExtractAllEx(r, Sep(out).c_str(), 0, Report::Take, &rep));
    MimeDestroy(r);
    std::map<std::string, Bytes> expect = {
        {"mms.smil", {'S'}},     {"x.gif", {1}},           {"x (1).gif", {2}},       {"case.jpg", {3}},
        {"CASE (1).JPG", {4}},   {"NUL (1)", {5}},         {"aux (1).jpg", {6}},     {"COM1 (1).txt", {7}},
        {"lpt9  (1).txt", {8}},  {"trail.jpg", {9}},       {"trail (1).jpg", {10}},  {"mms (1).smil", {11}},
        {"caf\xE9.gif", {12}},   {"CAF\xC9 (1).GIF", {13}}, {"x (1) (1).gif", {14}}, {"in.mms", {15}},
        {"\x9A\x9C\x9E\xFF.gif", {16}}, {"\x8A\x8C\x8E\x9F (1).gif", {17}},
        {kLong, {18}},           {std::string(116, 'n') + " (1).gif", {19}},
    };
    EXPECT_EQ(Files(Sep(out)), expect);
    EXPECT_EQ(rep.outcomes, std::vector<int>(parts.size(), MIME_EXTRACT_WRITTEN));
    EXPECT_EQ(rep.names[4], "CASE (1).JPG");

    // Into the message's own folder the part named like the message gets a number too, even
    // when replacing is asked for, and the message stays whole.
    Bytes message = Message(false, {}, {{Headers(kGif, "in.mms"), {'p'}}, {Headers(kGif, "IN.MMS"), {'q'}}});
    r = Open(d, message);
    ASSERT_NE(r, nullptr);
    EXPECT_TRUE(MimeExtractAllEx(r, Sep(d).c_str(), MIME_EXTRACT_REPLACE, nullptr, nullptr));
    MimeDestroy(r);
    EXPECT_EQ(testkit::ReadFileBytes(d.file("in.mms")), message);
    EXPECT_EQ(testkit::ReadFileBytes(d.file("in (1).mms")), Bytes{'p'});
    // Where the file system compares names in any case (Windows), IN.MMS is the message itself
    // and "IN (1).MMS" is taken by the first part; the compat layer's files are case-sensitive.
    std::string second = testkit::kRealWin32 ? "IN (2).MMS" : "IN.MMS";
    EXPECT_EQ(testkit::ReadFileBytes(d.file(second)), Bytes{'q'});
}

TEST(MimeNames, RefusedAndNamelessPartsDoNotStopTheRest)
{
    testkit::TempDir d, out;
    const char *refused[] = {"../x.gif", "..\\..\\x", "..", "C:evil.gif", "\\abs", "/abs", "a/../../b", ". ./x"};
    for (const char *name : refused) {
        MIME_MESSAGE *r = Open(d, Message(false, {}, {{Headers(kGif, name), {'!'}}, {Headers(kGif, "ok.gif"), {'o'}}}));
        ASSERT_NE(r, nullptr) << name;
        MIME_PART_INFO info = {nullptr, Sep(out).c_str(), nullptr, nullptr};
        int outcome = 0;
        SetLastError(0);
        EXPECT_FALSE(MimeExtractPartEx(r, 0, &info, 0, &outcome)) << name;
        EXPECT_EQ(outcome, MIME_EXTRACT_REFUSED) << name;
        EXPECT_EQ((DWORD)ERROR_INVALID_NAME, GetLastError()) << name;
        Report rep;
        EXPECT_FALSE(MimeExtractAllEx(r, Sep(out).c_str(), 0, Report::Take, &rep)) << name;
        EXPECT_EQ((DWORD)ERROR_INVALID_NAME, GetLastError()) << name;
        EXPECT_EQ(rep.outcomes, (std::vector<int>{MIME_EXTRACT_REFUSED, MIME_EXTRACT_WRITTEN})) << name;
        MimeDestroy(r);
        EXPECT_EQ(Files(Sep(out)), (std::map<std::string, Bytes>{{"ok.gif", {'o'}}})) << name;
        DeleteFileA(out.file("ok.gif").c_str());
    }
    // Names that stay inside the folder are written; a part without a usable name gets one.
    MIME_MESSAGE *r = Open(d, Message(false, {}, {
                                                     {Headers(kGif, "holiday..jpg"), {1}},
                                                     {Headers(kGif, "sub/x.gif"), {2}},
                                                     {Headers(kGif, "x-a:b|c?.gif"), {3}},
                                                     {Headers({0x9E}, nullptr), {4}},
                                                     {Headers({0x9E}, nullptr, "<>"), {5}},
                                                     {Headers(kGif, ""), {6}},
                                                     {Headers(kGif, " "), {7}},
                                                     {Headers({'a', '/', 'x', 0}, nullptr, "<c.bin>"), {8}},
                                                 }));
    ASSERT_NE(r, nullptr);
    ASSERT_TRUE(MimeExtractAll(r, Sep(out).c_str()));
    MimeDestroy(r);
    EXPECT_EQ(Files(Sep(out)), (std::map<std::string, Bytes>{{"holiday..jpg", {1}},
                                                             {"sub_x.gif", {2}},
                                                             {"x-a_b_c_.gif", {3}},
                                                             {"part4.jpg", {4}},
                                                             {"part5.jpg", {5}},
                                                             {"part6.gif", {6}},
                                                             {"part7.gif", {7}},
                                                             {"c.bin", {8}}}));
}

TEST(MimeNames, ExistingFilesAreKeptUnlessReplacing)
{
    testkit::TempDir d, out;
    testkit::WriteFileBytes(out.file("a.gif"), {'m', 'i', 'n', 'e'});
    Bytes message = Message(false, {}, {{Headers(kGif, "a.gif"), {'A'}}, {Headers(kGif, "b.gif"), {'B'}}});
    MIME_MESSAGE *r = Open(d, message);
    ASSERT_NE(r, nullptr);
    Report rep;
    SetLastError(0);
    EXPECT_FALSE(MimeExtractAllEx(r, Sep(out).c_str(), 0, Report::Take, &rep));
    EXPECT_EQ((DWORD)ERROR_FILE_EXISTS, GetLastError());
    EXPECT_EQ(rep.outcomes, (std::vector<int>{MIME_EXTRACT_KEPT, MIME_EXTRACT_WRITTEN}));
    EXPECT_EQ(rep.names, (std::vector<std::string>{"a.gif", "b.gif"}));
    EXPECT_EQ(testkit::ReadFileBytes(out.file("a.gif")), (Bytes{'m', 'i', 'n', 'e'}));
    // Extracting again replaces this message's own b.gif but still keeps a.gif ...
    rep = Report();
    EXPECT_FALSE(MimeExtractAllEx(r, Sep(out).c_str(), 0, Report::Take, &rep));
    EXPECT_EQ(rep.outcomes, (std::vector<int>{MIME_EXTRACT_KEPT, MIME_EXTRACT_WRITTEN}));
    MIME_PART_INFO info = {nullptr, Sep(out).c_str(), nullptr, nullptr};
    EXPECT_FALSE(MimeExtractPart(r, 0, &info));
    EXPECT_EQ((DWORD)ERROR_FILE_EXISTS, GetLastError());
    EXPECT_STREQ(info.fileName, "a.gif");
    // ... until replacing is asked for.
    EXPECT_TRUE(MimeExtractAllEx(r, Sep(out).c_str(), MIME_EXTRACT_REPLACE, nullptr, nullptr));
    MimeDestroy(r);
    EXPECT_EQ(Files(Sep(out)), (std::map<std::string, Bytes>{{"a.gif", {'A'}}, {"b.gif", {'B'}}}));

    // The start part's file follows the same rule.
    testkit::TempDir o2;
    testkit::WriteFileBytes(o2.file("mms.smil"), {'o', 'l', 'd'});
    r = Open(d, Message(true, {}, {{Headers(kSmil, "s"), {'s'}}, {Headers(kGif, "a.gif"), {'a'}}}));
    ASSERT_NE(r, nullptr);
    rep = Report();
    EXPECT_FALSE(MimeExtractAllEx(r, Sep(o2).c_str(), 0, Report::Take, &rep));
    EXPECT_EQ(rep.outcomes, (std::vector<int>{MIME_EXTRACT_KEPT, MIME_EXTRACT_WRITTEN}));
    EXPECT_EQ(testkit::ReadFileBytes(o2.file("mms.smil")), (Bytes{'o', 'l', 'd'}));
    MimeDestroy(r);
}

}  // namespace
