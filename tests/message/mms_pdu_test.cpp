/* The m-send-req writer, the PDU reader and the e-mail export: byte layouts, hostile PDUs and
 * round trips. */
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "fileio.h"
#include "message/mime_bytes.h"
#include "mime.h"
#include "mms.h"
#include "testkit.h"

namespace {

using Bytes = std::vector<unsigned char>;

Bytes B(const std::string &s) { return Bytes(s.begin(), s.end()); }

Bytes Cat(std::initializer_list<Bytes> parts)
{
    Bytes out;
    for (const Bytes &p : parts)
        out.insert(out.end(), p.begin(), p.end());
    return out;
}

/* A folder with a related message of a presentation, a picture whose name has accents and a
 * text, written as msg.dat. */
struct Message {
    testkit::TempDir dir;
    std::string folder = dir.file("");
    const std::string photo = "\xC3\xA9t\xC3\xA9 \xC3\xA0 Nice.jpg";
    Bytes jpeg = {0xFF, 0xD8, 0xFF, 0xE0, 0x00, 0x10, 'J', 'F', 'I', 'F', 0x00, 0xFF, 0xD9};
    Bytes text = B("Caf\xC3\xA9 au bord\r\n");
    Bytes smil = B("<smil><head><layout><root-layout width=\"176\" height=\"208\"/></layout></head>"
                   "<body><par dur=\"3000ms\"><img src=\"x\"/></par></body></smil>");

    Message()
    {
        EXPECT_TRUE(testkit::WriteFileBytes(dir.file(photo), jpeg));
        EXPECT_TRUE(testkit::WriteFileBytes(dir.file("note.txt"), text));
        EXPECT_TRUE(testkit::WriteFileBytes(dir.file("show.smil"), smil));
        MIME_MESSAGE *m = MimeCreate();
        MIME_PART_INFO pic = {"image/jpeg", folder.c_str(), photo.c_str(), "<photo>"};
        MIME_PART_INFO txt = {"text/plain;charset=utf-8", folder.c_str(), "note.txt", nullptr};
        EXPECT_TRUE(MimeAddSmilPart(m, folder.c_str(), "show.smil"));
        EXPECT_TRUE(MimeAddPart(m, &pic));
        EXPECT_TRUE(MimeAddPart(m, &txt));
        EXPECT_TRUE(MimeWriteFile(m, folder.c_str(), "msg.dat"));
        MimeDestroy(m);
    }
};

TEST(MmsPdu, SendReqHeadersByteForByte)
{
    MMS_HEADERS h;
    h.transactionId = "T1";
    h.date = 0x6A000000;
    h.to = {"+47 123 45678", "kari@example.no"};
    h.cc = {"(22) 33-44"};
    h.subject = "\xC3\x89t\xC3\xA9";
    h.hasSubject = true;
    Bytes out;
    std::string why;
    ASSERT_TRUE(MmsEncodeSendHeaders(h, out, &why)) << why;
    Bytes expect = Cat({{0x8C, 0x80, 0x98}, B("T1"), {0x00, 0x8D, 0x92, 0x85, 0x04, 0x6A, 0x00, 0x00, 0x00},
                        {0x89, 0x01, 0x81, 0x97}, B("+4712345678/TYPE=PLMN"), {0x00, 0x97}, B("kari@example.no"),
                        {0x00, 0x82}, B("223344/TYPE=PLMN"), {0x00},
                        /* Subject: Value-length 8, UTF-8, Quote before an octet above 0x7F. */
                        {0x96, 0x08, 0xEA, 0x7F}, B("\xC3\x89t\xC3\xA9"), {0x00}});
    EXPECT_EQ(out, expect);

    /* A sender of its own: Value-length, Address-present-token, the address. */
    h.from = "ola@example.no";
    h.hasSubject = false;
    h.cc.clear();
    h.to = {"+4799"};
    out.clear();
    ASSERT_TRUE(MmsEncodeSendHeaders(h, out, &why)) << why;
    Bytes from = Cat({{0x89, 0x10, 0x80}, B("ola@example.no"), {0x00, 0x97}, B("+4799/TYPE=PLMN"), {0x00}});
    EXPECT_EQ(Bytes(out.end() - (long)from.size(), out.end()), from);
}

TEST(MmsPdu, Addresses)
{
    const struct {
        const char *given, *carried;
    } kCases[] = {
        {"+4712345678", "+4712345678/TYPE=PLMN"}, {" +47 (123) 45-678", "+4712345678/TYPE=PLMN"},
        {"12345678", "12345678/TYPE=PLMN"},       {"a.b@c.example", "a.b@c.example"},
        {"4+7", ""},                              {"+", ""},
        {"123456789012345678901", ""},            {"@c.example", ""},
        {"a@", ""},                               {"a@b@c", ""},
        {"a b@c", ""},                            {"<a@b>", ""},
        {"", ""},                                 {"abc", ""},
    };
    for (const auto &c : kCases)
        EXPECT_EQ(MmsAddress(c.given), c.carried) << c.given;
    MMS_HEADERS h;
    Bytes out;
    std::string why;
    EXPECT_FALSE(MmsEncodeSendHeaders(h, out, &why));
    EXPECT_NE(why.find("no recipient"), std::string::npos);
    h.to = {"nobody"};
    EXPECT_FALSE(MmsEncodeSendHeaders(h, out, &why));
    EXPECT_NE(why.find("'nobody' is neither"), std::string::npos);
}

TEST(MmsPdu, HeadersReadAndStepped)
{
    /* An m-retrieve-conf with headers this reader does not know: a short integer (Priority), a
     * Value-length value (Expiry), a text (Message-Class as text), an application header. */
    Bytes pdu = Cat({{0x8C, 0x84, 0x98}, B("id"), {0x00, 0x8D, 0x91, 0x8F, 0x81, 0x88, 0x03, 0x81, 0x01, 0x02, 0x8A},
                     B("Personal"), {0x00}, B("X-Own"), {0x00}, B("v"), {0x00, 0x89, 0x05, 0x80},
                     B("a@b"), {0x00, 0x96, 0x04, 0x84}, B("\xE9t"), {0x00, 0x8B}, B("m1"), {0x00, 0x85, 0x81,
                     0x84, 0xA3, 0x01}});
    MMS_HEADERS h;
    std::string why;
    ASSERT_TRUE(MmsDecodeHeaders(pdu.data(), pdu.size(), &h, &why)) << why;
    EXPECT_EQ(h.messageType, MMS_M_RETRIEVE_CONF);
    EXPECT_EQ(h.version, 0x91);
    EXPECT_EQ(h.transactionId, "id");
    EXPECT_EQ(h.from, "a@b");
    EXPECT_EQ(h.subject, "\xC3\xA9t"); /* ISO-8859-1 read as UTF-8 */
    EXPECT_EQ(h.messageId, "m1");
    EXPECT_EQ(h.date, 1);
    EXPECT_EQ(h.skipped, 4);
    EXPECT_EQ(h.bodyOffset, (int32_t)pdu.size() - 3);
}

TEST(MmsPdu, BadPdusSayWhy)
{
    const struct {
        Bytes pdu;
        const char *words;
    } kCases[] = {
        {{}, "does not begin with its message type"},
        {{0x84, 0xA3}, "does not begin with its message type"},
        {{0x8C, 0x82, 0x84, 0xA3}, "message type 0x82"},
        {{0x8C, 0x80, 0x98, 'x'}, "header 0x98 at offset 2 is malformed"},
        {{0x8C, 0x80, 0x8C, 0x80}, "comes twice"},
        {{0x8C, 0x80, 0x05}, "octet 0x05 at offset 2 begins no header"},
        {{0x8C, 0x80, 0x88, 0x1F, 0x8F, 0xFF, 0xFF, 0xFF, 0x7F}, "header 0x88 at offset 2"},
        {{0x8C, 0x80, 0x89, 0x02, 0x82, 0x00}, "header 0x89"},
        {{0x8C, 0x80, 0x97, 0x03, 0xEA, 'a'}, "header 0x97"},
        {{0x8C, 0x80, 0x85, 0x09, 1, 2, 3, 4, 5, 6, 7, 8, 9}, "header 0x85"},
        {{0x8C, 0x80, 0x85, 0x04, 1, 2}, "header 0x85"},
        {{0x8C, 0x80, 0x96, 0x05, 0xEA, 'a', 0x00}, "header 0x96"},
        {{0x8C, 0x80, 'X', 0x00}, "application header at offset 2"},
        {{0x8C, 0x80, 0x98, 'x', 0x00}, "ends before its Content-Type"},
    };
    for (const auto &c : kCases) {
        MMS_HEADERS h;
        std::string why;
        EXPECT_FALSE(MmsDecodeHeaders(c.pdu.data(), c.pdu.size(), &h, &why));
        EXPECT_NE(why.find(c.words), std::string::npos) << why;
    }
}

TEST(MmsPdu, EncodeDecodeRoundTrip)
{
    Message m;
    MMS_HEADERS h;
    h.to = {"+4712345678"};
    h.cc = {"a@b.no"};
    h.subject = "Plage d'\xC3\xA9t\xC3\xA9";
    h.hasSubject = true;
    std::string why;
    ASSERT_TRUE(MmsWriteSendReq(m.folder.c_str(), "msg.dat", h, m.folder.c_str(), "out.mms", &why)) << why;
    /* The body is the message file's but for its Content-Type, which now names the start part's
     * type as well. */
    Bytes dat = testkit::ReadFileBytes(m.dir.file("msg.dat")), pdu = testkit::ReadFileBytes(m.dir.file("out.mms"));
    Bytes head = Cat({{0x84, 0x1B, 0xB3, 0x89}, B("application/smil"), {0x00, 0x8A}, B("<smil>"), {0x00}});
    size_t datHead = 2 + dat[1]; /* 0x84, Value-length, value */
    ASSERT_GT(pdu.size(), dat.size() - datHead + head.size());
    size_t body = pdu.size() - (dat.size() - datHead);
    EXPECT_EQ(Bytes(pdu.begin() + (long)(body - head.size()), pdu.begin() + (long)body), head);
    EXPECT_EQ(Bytes(pdu.begin() + (long)body, pdu.end()), Bytes(dat.begin() + (long)datHead, dat.end()));

    MMS_HEADERS r;
    MIME_MESSAGE *msg = MmsOpenPdu(m.folder.c_str(), "out.mms", &r, &why);
    ASSERT_TRUE(msg) << why;
    EXPECT_EQ(r.messageType, MMS_M_SEND_REQ);
    EXPECT_EQ(r.version, MMS_VERSION_1_2);
    EXPECT_EQ(r.transactionId.size(), 17u);
    EXPECT_EQ(r.to, std::vector<std::string>{"+4712345678/TYPE=PLMN"});
    EXPECT_EQ(r.cc, std::vector<std::string>{"a@b.no"});
    EXPECT_EQ(r.subject, h.subject);
    ASSERT_EQ(msg->partCount, 3);
    ASSERT_TRUE(msg->startPart);
    EXPECT_STREQ(msg->startPart->name, "show.smil");
    EXPECT_STREQ(msg->firstPart->next->name, m.photo.c_str());
    testkit::TempDir out;
    ASSERT_TRUE(MimeExtractAll(msg, out.file("").c_str()));
    MimeDestroy(msg);
    EXPECT_EQ(testkit::ReadFileBytes(out.file(m.photo)), m.jpeg);
    EXPECT_EQ(testkit::ReadFileBytes(out.file("note.txt")), m.text);
    EXPECT_EQ(testkit::ReadFileBytes(out.file(MIME_SMIL_FILE)), m.smil);
}

TEST(MmsPdu, WriterLeavesFilesAlone)
{
    Message m;
    ASSERT_TRUE(testkit::WriteFileBytes(m.dir.file("old.mms"), B("before")));
    MMS_HEADERS h;
    std::string why;
    /* A bad recipient, a damaged message, the message itself as the destination: nothing
     * changes. */
    h.to = {"nobody"};
    EXPECT_FALSE(MmsWriteSendReq(m.folder.c_str(), "msg.dat", h, m.folder.c_str(), "old.mms", &why));
    h.to = {"+4712345678"};
    ASSERT_TRUE(testkit::WriteFileBytes(m.dir.file("bad.dat"), {0x84, 0xA3, 0x01, 0x7F}));
    EXPECT_FALSE(MmsWriteSendReq(m.folder.c_str(), "bad.dat", h, m.folder.c_str(), "old.mms", &why));
    EXPECT_FALSE(MailExport(m.folder.c_str(), "bad.dat", h, m.folder.c_str(), "old.mms", &why));
    Bytes dat = testkit::ReadFileBytes(m.dir.file("msg.dat"));
    EXPECT_FALSE(MmsWriteSendReq(m.folder.c_str(), "msg.dat", h, m.folder.c_str(), "msg.dat", &why));
    EXPECT_EQ((DWORD)FIO_ERROR_OUTPUT_IS_INPUT, GetLastError()) << "refused as its own input, before anything is written";
    EXPECT_EQ(testkit::ReadFileBytes(m.dir.file("old.mms")), B("before"));
    EXPECT_EQ(testkit::ReadFileBytes(m.dir.file("msg.dat")), dat);
    EXPECT_EQ(mimetest::Files(m.folder).size(), 6u); /* no temporary file left */
}

TEST(MailExport, Parameters)
{
    const struct {
        const char *name, *value;
        size_t room;
        std::vector<std::string> pieces;
    } kCases[] = {
        {"name", "a.jpg", 76, {"name=\"a.jpg\""}},
        {"name", "a \"b\".jpg", 76, {"name=\"a \\\"b\\\".jpg\""}},
        {"name", "\xC3\xA9t\xC3\xA9.jpg", 76, {"name*=utf-8''%C3%A9t%C3%A9.jpg"}},
        {"filename", "\xC3\xA9t\xC3\xA9.jpg", 28, {"filename*0*=utf-8''%C3%A9t", "filename*1*=%C3%A9.jpg"}},
        {"name", "abcdefghij", 17, {"name*0*=utf-8''a", "name*1*=bcdefghi", "name*2*=j"}},
    };
    for (const auto &c : kCases)
        EXPECT_EQ(MailParameter(c.name, c.value, c.room), c.pieces) << c.value;
    /* Encoded words hold at most 39 octets and never split a character. */
    std::string text(38, 'a');
    text += "\xC3\xA9z";
    std::vector<std::string> words = MailEncodedWords(text);
    ASSERT_EQ(words.size(), 2u);
    EXPECT_EQ(words[1], "=?utf-8?B?w6l6?=");
    EXPECT_EQ(words[0].size(), 12u + 52u);
}

TEST(MailExport, LinesAndStructure)
{
    Message m;
    MMS_HEADERS h;
    h.to = {"kari@example.no"};
    h.subject = std::string(30, 'x') + "\xC3\xA9" + std::string(40, 'y');
    h.hasSubject = true;
    std::string why;
    ASSERT_TRUE(MailExport(m.folder.c_str(), "msg.dat", h, m.folder.c_str(), "out.eml", &why)) << why;
    Bytes eml = testkit::ReadFileBytes(m.dir.file("out.eml"));
    std::string s(eml.begin(), eml.end());
    size_t lines = 0;
    for (size_t at = 0, end; at < s.size(); at = end + 2, ++lines) {
        end = s.find("\r\n", at);
        ASSERT_NE(end, std::string::npos) << "a line without CRLF at " << at;
        EXPECT_LE(end - at, 78u) << s.substr(at, end - at);
        EXPECT_EQ(s.substr(at, end - at).find('\n'), std::string::npos);
    }
    EXPECT_GT(lines, 20u);
    for (const char *words : {"Content-Type: multipart/related;", "type=\"application/smil\"", "start=\"<smil>\"",
                              "Content-ID: <photo>", "Content-Location: %C3%A9t%C3%A9%20%C3%A0%20Nice.jpg",
                              "filename*=utf-8''%C3%A9t%C3%A9%20%C3%A0%20Nice.jpg",
                              "Content-Type: text/plain; charset=utf-8; name=\"note.txt\"", "Subject: =?utf-8?B?"})
        EXPECT_NE(s.find(words), std::string::npos) << words;
    /* The root comes first. */
    EXPECT_LT(s.find("Content-Type: application/smil"), s.find("Content-Type: image/jpeg"));
    h.to = {"+4712345678"};
    EXPECT_FALSE(MailExport(m.folder.c_str(), "msg.dat", h, m.folder.c_str(), "out2.eml", &why));
    EXPECT_NE(why.find("is not an e-mail address"), std::string::npos);
}

}  // namespace
