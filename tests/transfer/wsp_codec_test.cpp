/* The WSP codec: primitive encodings, tables, buffer, stream, message type and entry decoding. */
#include <gtest/gtest.h>

#include <stdio.h>
#include <string.h>

#include <string>
#include <vector>

#include "message/mime_bytes.h"
#include "wsp.h"

using mimetest::Bytes;

namespace {

Bytes Of(const WSP_BUFFER *buf)
{
    return buf && buf->length ? Bytes(buf->data, buf->data + buf->length) : Bytes();
}

/* The primitive encodings, each written by one function and read back by another (a
 * Long-integer reads back unsigned). */
struct Codec {
    const char *name;
    int (*write)(WSP_BUFFER *, int32_t);
    int64_t (*read)(const WSP_BUFFER *, int32_t *);
};
const Codec kUintvar = {"uintvar", WspBufWriteUintvar,
                        [](const WSP_BUFFER *b, int32_t *p) -> int64_t { return WspBufReadUintvar(b, p); }};
const Codec kValueLength = {"Value-length", WspBufWriteValueLength,
                            [](const WSP_BUFFER *b, int32_t *p) -> int64_t { return WspBufReadValueLength(b, p); }};
const Codec kLongInteger = {"Long-integer", WspBufWriteLongInteger,
                            [](const WSP_BUFFER *b, int32_t *p) -> int64_t { return WspBufReadLongInteger(b, p); }};

/* A row that only reads: nothing is written for it. */
const int32_t kReadOnly = INT32_MIN;

/* Each value is written in the fewest octets and read back from them; reads that run past the
 * end or overflow are refused where they stand. */
TEST(WspPrimitives, FewestOctetsWrittenReadBackOrRefused)
{
    struct {
        const Codec &codec;
        int32_t written;
        Bytes octets;
        int32_t start;
        int64_t back;
        int32_t end;
    } cases[] = {
        {kUintvar, 0, {0x00}, 0, 0, 1},
        {kUintvar, 127, {0x7F}, 0, 127, 1},
        {kUintvar, 128, {0x81, 0x00}, 0, 128, 2},
        {kUintvar, 16383, {0xFF, 0x7F}, 0, 16383, 2},
        {kUintvar, 16384, {0x81, 0x80, 0x00}, 0, 16384, 3},
        {kUintvar, 2147483647, {0x87, 0xFF, 0xFF, 0xFF, 0x7F}, 0, 2147483647, 5},
        {kUintvar, kReadOnly, {0x81}, 0, -1, 0},  // continues past the end
        {kUintvar, kReadOnly, {0x81, 0x80}, 0, -1, 0},
        {kUintvar, kReadOnly, {0x00}, 1, -1, 1},                                // position + 1 exceeds the length
        {kUintvar, kReadOnly, {0x80, 0x80, 0x80, 0x80, 0x80, 0x01}, 0, -1, 0},  // six octets
        {kUintvar, kReadOnly, {0x90, 0x80, 0x80, 0x80, 0x00}, 0, -1, 0},        // above 2^31 - 1
        {kValueLength, 0, {0x00}, 0, 0, 1},
        {kValueLength, 29, {0x1D}, 0, 29, 1},
        {kValueLength, 30, {0x1F, 0x1E}, 0, 30, 2},
        {kValueLength, 200, {0x1F, 0x81, 0x48}, 0, 200, 3},
        {kValueLength, kReadOnly, {0x1E, 0x00}, 0, 30, 1},  // 30 in one octet is still 30
        {kValueLength, kReadOnly, {0x20}, 0, 0, 1},         // 32 and above read as 0
        {kValueLength, kReadOnly, {0xFF}, 0, 0, 1},
        {kLongInteger, 0, {0x01, 0x00}, 0, 0, 2},
        {kLongInteger, 0x80, {0x01, 0x80}, 0, 0x80, 2},
        {kLongInteger, 0x1234, {0x02, 0x12, 0x34}, 0, 0x1234, 3},
        {kLongInteger, -1, {0x01, 0xFF}, 0, 0xFF, 2},
        {kLongInteger, 0xFF00, {0x02, 0xFF, 0x00}, 0, 0xFF00, 3},
        {kLongInteger, 0x7FFFFFFF, {0x04, 0x7F, 0xFF, 0xFF, 0xFF}, 0, 0x7FFFFFFF, 5},
        {kLongInteger, kReadOnly, {0x05, 1, 2, 3, 4, 5}, 0, 0, 0},  // more than four octets
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(std::string(c.codec.name) + " " + testing::PrintToString(c.octets));
        WSP_BUFFER *buf = WspBufFromBytes(c.octets.data(), (int32_t)c.octets.size());
        int32_t pos = c.start;
        EXPECT_EQ(c.codec.read(buf, &pos), c.back);
        EXPECT_EQ(pos, c.end);
        WspBufFree(buf);
        if (c.written == kReadOnly)
            continue;
        buf = WspBufNew();
        EXPECT_TRUE(c.codec.write(buf, c.written));
        EXPECT_EQ(Of(buf), c.octets);
        WspBufFree(buf);
        if (&c.codec == &kUintvar) {
            uint8_t out[5];
            int n = WspEncodeUintvar(c.written, out);
            EXPECT_EQ(Bytes(out, out + n), c.octets);
        }
        if (&c.codec == &kLongInteger) {
            EXPECT_EQ(WspIntegerLength(c.written), c.written == 0 ? 1 : (int)c.octets.size());
        }
    }
    uint8_t out[5];
    EXPECT_EQ(WspEncodeUintvar(-1, out), 0);
    EXPECT_EQ(WspShortValue(0x83), 3);
    int32_t pos = 0;
    EXPECT_EQ(WspBufReadUintvar(nullptr, &pos), -1);
}

TEST(WspText, WriteAddsTerminatorReadDropsQuote)
{
    WSP_BUFFER *buf = WspBufNew();
    ASSERT_TRUE(WspBufWriteText(buf, "ab"));
    ASSERT_TRUE(WspBufWriteText(buf, ""));
    EXPECT_EQ(Of(buf), (Bytes{'a', 'b', 0, 0}));
    WspBufFree(buf);

    // From the quote the text and its 0 are stepped over; a non-printable octet ends a text and
    // stays; a text with no 0 before the end is refused where it stands; a text longer than the
    // output is cut and stepped over whole.
    const Bytes in = {0x22, '<', 'a', '>', 0, 'x', 0x01, 'y'};
    const struct {
        int32_t from;
        int cch;
        int ok;
        const char *text;
        int32_t end;
    } reads[] = {{0, 8, 1, "<a>", 5}, {5, 8, 1, "x", 6}, {7, 8, 0, "", 7}, {0, 3, 1, "<a", 5}};
    buf = WspBufFromBytes(in.data(), (int32_t)in.size());
    for (const auto &r : reads) {
        std::vector<char> out((size_t)r.cch, '\xCC');
        int32_t pos = r.from;
        EXPECT_EQ(WspBufReadText(buf, &pos, out.data(), r.cch), r.ok) << r.from;
        EXPECT_STREQ(out.data(), r.text) << r.from;
        EXPECT_EQ(pos, r.end) << r.from;
    }
    WspBufFree(buf);
}

/* The whole table as one run of bytes: each code followed by its name and a 0, then the two
 * charsets (MIBenum and name) - so an order, a spelling or a charset that changes shows. */
const char kTypeAndCharsetTable[] =
    "\x00" "*/*\0"
    "\x01" "text/*\0"
    "\x02" "text/html\0"
    "\x03" "text/plain\0"
    "\x04" "text/x-hdml\0"
    "\x05" "text/x-ttml\0"
    "\x06" "text/x-vCalendar\0"
    "\x07" "text/x-vCard\0"
    "\x08" "text/vnd.wap.wml\0"
    "\x09" "text/vnd.wap.wmlscript\0"
    "\x0A" "text/vnd.wap.channel\0"
    "\x0B" "multipart/*\0"
    "\x0C" "multipart/mixed\0"
    "\x0D" "multipart/form-data\0"
    "\x0E" "multipart/byteranges\0"
    "\x0F" "multipart/alternative\0"
    "\x10" "application/*\0"
    "\x11" "application/java-vm\0"
    "\x12" "application/x-www-form-urlencoded\0"
    "\x13" "application/x-hdmlc\0"
    "\x14" "application/vnd.wap.wmlc\0"
    "\x15" "application/vnd.wap.wmlscriptc\0"
    "\x16" "application/vnd.wap.channelc\0"
    "\x17" "application/vnd.wap.uaprof\0"
    "\x18" "application/vnd.wap.wtls-ca-certificate\0"
    "\x19" "application/vnd.wap.wtls-user-certificate\0"
    "\x1A" "application/x-x509-ca-cert\0"
    "\x1B" "application/x-x509-user-cert\0"
    "\x1C" "image/*\0"
    "\x1D" "image/gif\0"
    "\x1E" "image/jpeg\0"
    "\x1F" "image/tiff\0"
    "\x20" "image/png\0"
    "\x21" "image/vnd.wap.wbmp\0"
    "\x22" "application/vnd.wap.multipart.*\0"
    "\x23" "application/vnd.wap.multipart.mixed\0"
    "\x24" "application/vnd.wap.multipart.form-data\0"
    "\x25" "application/vnd.wap.multipart.byteranges\0"
    "\x26" "application/vnd.wap.multipart.alternative\0"
    "\x27" "application/xml\0"
    "\x28" "text/xml\0"
    "\x29" "application/vnd.wap.wbxml\0"
    "\x2A" "application/x-x968-cross-cert\0"
    "\x2B" "application/x-x968-ca-cert\0"
    "\x2C" "application/x-x968-user-cert\0"
    "\x2D" "text/vnd.wap.si\0"
    "\x2E" "application/vnd.wap.sic\0"
    "\x2F" "text/vnd.wap.sl\0"
    "\x30" "application/vnd.wap.slc\0"
    "\x31" "text/vnd.wap.co\0"
    "\x32" "application/vnd.wap.coc\0"
    "\x33" "application/vnd.wap.multipart.related\0"
    "\x34" "application/vnd.wap.sia\0"
    "\x35" "text/vnd.wap.connectivity-xml\0"
    "\x36" "application/vnd.wap.connectivity-wbxml\0"
    "\x03" "us-ascii\0"
    "\x6A" "utf_8\0";

TEST(WspContentTypes, WholeTableByteForByte)
{
    std::string table;
    char name[WSP_TEXT_MAX];
    for (int code = 0; code <= 0x36; ++code) {
        memset(name, 0, sizeof name);
        WspContentTypeName(code, name);
        table += (char)code;
        table.append(name, strlen(name) + 1);
        if (code) {
            EXPECT_EQ(WspContentTypeCode(name), code) << name;
        }
    }
    for (int mib : {3, 106}) {
        char cs[WSP_NAME_MAX] = "";
        WspCharsetName(mib, cs);
        table += (char)mib;
        table.append(cs, strlen(cs) + 1);
        EXPECT_EQ(WspCharsetCode(cs), mib) << cs;
    }
    const std::string want(kTypeAndCharsetTable, sizeof kTypeAndCharsetTable - 1);
    ASSERT_EQ(table.size(), want.size());
    for (size_t i = 0; i < want.size(); ++i)
        ASSERT_EQ((unsigned char)table[i], (unsigned char)want[i])
            << "at byte " << i << ": ..." << want.substr(i > 20 ? i - 20 : 0, 40);
    // Every name of the table finds its code; nothing else does, and no code past it has a name.
    for (const char *other : {"IMAGE/JPEG", "*/*", "image/jpeg;x", "application/smil", (const char *)nullptr})
        EXPECT_EQ(WspContentTypeCode(other), 0) << (other ? other : "null");
    strcpy(name, "keep");
    WspContentTypeName(0x37, name);
    WspContentTypeName(-1, name);
    EXPECT_STREQ(name, "keep");
}

TEST(WspCharsets, TwoCharsetsByTheirIanaNamesAndAliases)
{
    struct {
        const char *name;
        int code;
    } cases[] = {
        {"us-ascii", 3}, {"US-ASCII", 3}, {"ascii", 3}, {"ANSI_X3.4-1968", 3}, {"iso-ir-6", 3}, {"ISO646-US", 3},
        {"cp367", 3}, {"csASCII", 3}, {"utf_8", 106}, {"utf-8", 106}, {"UTF-8", 106}, {"Utf8", 106},
        {"\"utf_8\"", 106}, {" utf-8 ", 106}, {"csUTF8", 106}, {"utf-16", 0}, {"iso-8859-1", 0}, {"utf", 0},
        {"utf-8x", 0}, {"\"utf-8", 0}, {"", 0}, {"\"\"", 0},
    };
    for (const auto &c : cases)
        EXPECT_EQ(WspCharsetCode(c.name), c.code) << c.name;
    EXPECT_EQ(WspCharsetCode(nullptr), 0);
    char out[WSP_NAME_MAX] = "keep";
    WspCharsetName(4, out);
    EXPECT_STREQ(out, "keep");
}

TEST(MimeSplit, BareTypeAndParameterValue)
{
    struct {
        const char *in, *asked, *type, *value;
    } cases[] = {
        {"text/plain; charset = utf_8;x=y", "charset", "text/plain", "utf_8"},
        {"text/plain", "charset", "text/plain", "charset"},  // no ";": the name stays
        {"text/plain;name=x", "charset", "text/plain", ""},
        {"a/b;charset=us-ascii", "", "a/b", ""},
    };
    char type[MIME_SPLIT_MAX], param[MIME_SPLIT_MAX];
    for (const auto &c : cases) {
        strcpy(param, c.asked);
        ASSERT_TRUE(MimeSplitContentType(c.in, type, param)) << c.in;
        EXPECT_STREQ(type, c.type) << c.in;
        EXPECT_STREQ(param, c.value) << c.in;
    }
    ASSERT_TRUE(MimeSplitContentType("a/b;c", type, nullptr));
    EXPECT_FALSE(MimeSplitContentType(nullptr, type, param));
    EXPECT_FALSE(MimeSplitContentType("a", nullptr, param));

    // Outputs are bounded: long texts are cut, never overrun.
    std::string longType(300, 't');
    char small[8], value[4];
    strcpy(value, "c");
    ASSERT_TRUE(MimeSplitContentTypeEx((longType + ";c=" + longType).c_str(), small, sizeof small, value, sizeof value));
    EXPECT_STREQ(small, "ttttttt");
    EXPECT_STREQ(value, "ttt");
}

TEST(WspBuffer, GrowthInsertAndAccess)
{
    WSP_BUFFER *buf = WspBufNew();  // empty, as WspBufNewSized(0) below
    ASSERT_NE(buf, nullptr);
    ASSERT_TRUE(WspBufReserve(buf, 1));
    EXPECT_EQ(buf->capacity, 32);
    ASSERT_TRUE(WspBufReserve(buf, 33));
    EXPECT_EQ(buf->capacity, 64);

    EXPECT_EQ(WspBufAppendString(buf, "held"), buf);
    EXPECT_EQ(WspBufInsert(buf, 0, "be", 2), buf);
    EXPECT_EQ(WspBufInsert(buf, 2, "-", 1), buf);
    EXPECT_EQ(WspBufAppendByte(buf, '!'), buf);
    EXPECT_STREQ((const char *)buf->data, "be-held!");
    EXPECT_EQ(WspBufLength(buf), 8);
    EXPECT_EQ(WspBufInsert(buf, 0, "x", 0), nullptr);
    EXPECT_EQ(WspBufInsert(buf, 9, "x", 1), nullptr);
    EXPECT_EQ(WspBufLength(buf), 8);

    EXPECT_EQ(WspBufGetByte(buf, 0), 'b');
    EXPECT_EQ(WspBufGetByte(buf, 8), -1);
    EXPECT_EQ(WspBufGetByte(buf, -1), -1);
    EXPECT_TRUE(WspBufSetByte(buf, 2, 0xE9));
    EXPECT_EQ(WspBufGetByte(buf, 2), 0xE9);
    EXPECT_FALSE(WspBufSetByte(buf, 8, 1));

    int32_t count = -5;
    EXPECT_EQ(WspBufPtrAt(buf, 3, &count), buf->data + 3);
    EXPECT_EQ(count, 5);
    EXPECT_EQ(WspBufPtrAt(buf, 8, &count), nullptr);

    char out[16] = {};
    EXPECT_EQ(WspBufCopyOut(out, buf, 3, 100), 5);
    EXPECT_STREQ(out, "held!");
    EXPECT_EQ(WspBufCopyOut(out, buf, 3, 2), 2);
    EXPECT_EQ(WspBufCopyOut(out, buf, 8, 1), 0);

    WSP_BUFFER *other = WspBufFromString("++");
    EXPECT_EQ(WspBufAppendBuf(buf, other), buf);
    EXPECT_EQ(WspBufLength(buf), 10);
    EXPECT_EQ(buf->data[buf->length], 0);
    WspBufReset(buf);
    EXPECT_EQ(WspBufLength(buf), 0);
    EXPECT_EQ(buf->capacity, 64);
    WspBufFree(other);
    WspBufFree(buf);
    WspBufFree(nullptr);

    // A null buffer is made on insert.
    WSP_BUFFER *made = WspBufAppend(nullptr, "abc", 3);
    ASSERT_NE(made, nullptr);
    EXPECT_EQ(Of(made), (Bytes{'a', 'b', 'c'}));
    WspBufFree(made);

    EXPECT_EQ(WspBufNewSized(-1), nullptr);
    for (int32_t size : {0, 100}) {  // empty, with room for `size` octets and the 0 past them
        WSP_BUFFER *sized = WspBufNewSized(size);
        EXPECT_EQ(sized->capacity, size);
        EXPECT_EQ(sized->length, 0);
        EXPECT_EQ(sized->data == nullptr, size == 0);
        WspBufFree(sized);
    }
}

/* A fresh folder for the files of a test, named with its separator as the codec takes it. */
class WspFile : public ::testing::Test {
protected:
    testkit::TempDir dir;
    std::string folder = dir.file("");
};

TEST_F(WspFile, ModesSeekOriginsSizesMoveAndDelete)
{
    EXPECT_EQ(WspFileOpen(folder.c_str(), "f.bin", 0), nullptr);
    EXPECT_EQ(WspFileOpen(folder.c_str(), "f.bin", 7), nullptr);
    EXPECT_EQ(WspFileOpen(folder.c_str(), "missing", WSP_RB), nullptr);
    EXPECT_EQ(WspFileOpen(std::string(130, 'x').c_str(), "f", WSP_WB), nullptr);

    WSP_FILE *fp = WspFileCreate(folder.c_str(), "f.bin");
    ASSERT_NE(fp, nullptr);
    EXPECT_EQ(WspFileWrite(fp, "0123456789", 10), 10);
    EXPECT_TRUE(WspFileWriteByte(fp, 'A'));
    EXPECT_EQ(WspFileTell(fp), 11);
    EXPECT_EQ(WspFileSeek(fp, WSP_SEEK_SET, 4), 0);
    EXPECT_EQ(WspFileSize(fp), 11);
    EXPECT_EQ(WspFileTell(fp), 4);  // size restores the position
    EXPECT_EQ(WspFileReadByte(fp), '4');
    EXPECT_EQ(WspFileSeek(fp, WSP_SEEK_CUR, 2), 0);
    EXPECT_EQ(WspFileReadByte(fp), '7');
    EXPECT_EQ(WspFileSeek(fp, WSP_SEEK_END, 0), 0);  // origin 1 is the end
    EXPECT_EQ(WspFileTell(fp), 11);
    EXPECT_EQ(WspFileReadByte(fp), 0);  // nothing left
    EXPECT_EQ(WspFileSeek(fp, 3, 0), -1);
    EXPECT_EQ(WspFileSeek(fp, WSP_SEEK_SET, -1), -1);
    EXPECT_TRUE(WspFileClose(fp));
    EXPECT_EQ(WspFileSizeOf(folder.c_str(), "f.bin"), 11);
    EXPECT_EQ(WspFileSizeOf(folder.c_str(), "missing"), 0);

    // Appending writes at the end, "rb+" over the start, and "wb" empties the file first.
    const struct {
        int mode;
        const char *put;
        std::string after;
    } modes[] = {{WSP_AB, "BC", "0123456789ABC"}, {WSP_RBP, "z", "z123456789ABC"}, {WSP_WB, "", ""}};
    for (const auto &m : modes) {
        fp = WspFileOpen(folder.c_str(), "f.bin", m.mode);
        ASSERT_NE(fp, nullptr) << m.mode;
        EXPECT_EQ(WspFileWrite(fp, m.put, (int32_t)strlen(m.put)), (int32_t)strlen(m.put));
        EXPECT_TRUE(WspFileClose(fp));
        EXPECT_EQ(testkit::ReadFileBytes(dir.file("f.bin")), Bytes(m.after.begin(), m.after.end())) << m.mode;
    }

    EXPECT_EQ(WspFileRead(nullptr, nullptr, 1), -1);
    EXPECT_EQ(WspFileWrite(nullptr, "x", 1), -1);
    EXPECT_EQ(WspFileTell(nullptr), -1);
    EXPECT_EQ(WspFileSize(nullptr), -1);
    EXPECT_EQ(WspFileClose(nullptr), 0);
    EXPECT_EQ(WspFileName(nullptr), nullptr);

    ASSERT_TRUE(testkit::WriteFileText(dir.file("a.txt"), "abc"));
    EXPECT_TRUE(WspMoveFile(folder.c_str(), "a.txt", folder.c_str(), "b.txt"));
    EXPECT_EQ(WspFileSizeOf(folder.c_str(), "b.txt"), 3);
    EXPECT_EQ(WspFileSizeOf(folder.c_str(), "a.txt"), 0);
    EXPECT_TRUE(WspDeleteFile(folder.c_str(), "b.txt"));
    EXPECT_FALSE(WspDeleteFile(folder.c_str(), "b.txt"));
}

TEST_F(WspFile, CopyInBlocksStopsAtTheEnd)
{
    Bytes data(2048 * 3 + 17);
    for (size_t i = 0; i < data.size(); ++i)
        data[i] = (unsigned char)(i * 7 + i / 251);
    ASSERT_TRUE(testkit::WriteFileBytes(dir.file("src"), data));
    for (int32_t count : {1, 2047, 2048, 2049, 4096, (int32_t)data.size(), (int32_t)data.size() + 5000}) {
        WSP_FILE *src = WspFileOpen(folder.c_str(), "src", WSP_RB);
        WSP_FILE *dst = WspFileCreate(folder.c_str(), "dst");
        ASSERT_TRUE(src && dst);
        int32_t expect = count < (int32_t)data.size() ? count : (int32_t)data.size();
        EXPECT_EQ(WspFileCopy(src, count, dst), expect) << count;
        WspFileClose(src);
        WspFileClose(dst);
        EXPECT_EQ(testkit::ReadFileBytes(dir.file("dst")), Bytes(data.begin(), data.begin() + expect));
    }
}

TEST_F(WspFile, StreamPrimitives)
{
    Bytes in = {0x22, 'x', 'y', 0x22, 0, 'p', 'l', 'a', 'i', 'n', 0, 0x81, 0x00, 0x1F, 0x81, 0x48, 0x05, 0x20,
                0x80, 0x80, 0x80, 0x80, 0x80, 0x01, 'n', 'o', 'e', 'n', 'd'};
    ASSERT_TRUE(testkit::WriteFileBytes(dir.file("p"), in));
    WSP_FILE *fp = WspFileOpen(folder.c_str(), "p", WSP_RB);
    ASSERT_NE(fp, nullptr);
    char text[WSP_TEXT_MAX];
    EXPECT_EQ(WspFileReadText(fp, text, sizeof text), 2);
    EXPECT_STREQ(text, "xy");
    char small[4];
    EXPECT_EQ(WspFileReadText(fp, small, sizeof small), 3);
    EXPECT_STREQ(small, "pla");
    EXPECT_EQ(WspFileTell(fp), 11);
    EXPECT_EQ(WspFileReadUintvar(fp), 128);
    EXPECT_EQ(WspFileReadValueLength(fp), 200);
    EXPECT_EQ(WspFileReadValueLength(fp), 5);
    EXPECT_EQ(WspFileReadValueLength(fp), 0);
    EXPECT_EQ(WspFileReadUintvar(fp), -1);  // more than five octets
    WspFileSeek(fp, WSP_SEEK_SET, 24);
    EXPECT_EQ(WspFileReadText(fp, text, sizeof text), -1);  // no terminator before the end
    WspFileClose(fp);

    fp = WspFileCreate(folder.c_str(), "u");
    EXPECT_TRUE(WspFileWriteUintvar(fp, 16384));
    EXPECT_FALSE(WspFileWriteUintvar(fp, -2));
    WspFileClose(fp);
    EXPECT_EQ(testkit::ReadFileBytes(dir.file("u")), (Bytes{0x81, 0x80, 0x00}));
}

/* A content type read from a stream: the next field starts where the Value-length says, and a
 * text that runs past it is refused. */
TEST_F(WspFile, ContentTypeFieldEndsWhereItsLengthSays)
{
    const int kNext = 0x42;
    struct {
        Bytes in;
        const char *type, *typeParam, *start;  // type null: refused
    } cases[] = {
        {{0x9E, kNext}, "image/jpeg", "", ""},
        {{'a', '/', 'b', 0, kNext}, "a/b", "", ""},
        {{0x03, 0xA3, 0x81, 0x83, kNext}, MIME_TYPE_MIXED, "", ""},  // parameters left unread
        {{0x04, 'a', 0, 0x81, 0x83, kNext}, "a", "", ""},
        {{0x09, 0xB3, 0x89, 't', 0, 0x8A, '<', 's', '>', 0, kNext}, MIME_TYPE_RELATED, "t", "<s>"},
        {{0x04, 0xB3, 0x8A, '<', 's', '>', 0, kNext}, nullptr, "", ""},  // Start runs past the field
        {{0x02, 'a', 'b', 0, kNext}, nullptr, "", ""},
        {{0x03, 0xB3, 0x81, 0x83, kNext}, nullptr, "", ""},  // not a parameter of a related type
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(testing::PrintToString(c.in));
        ASSERT_TRUE(testkit::WriteFileBytes(dir.file("t"), c.in));
        WSP_FILE *fp = WspFileOpen(folder.c_str(), "t", WSP_RB);
        ASSERT_NE(fp, nullptr);
        char type[WSP_TEXT_MAX] = "", typeParam[WSP_TEXT_MAX] = "", start[WSP_TEXT_MAX] = "";
        EXPECT_EQ(WspReadContentType(fp, type, typeParam, start), c.type ? 1 : 0);
        if (c.type) {
            EXPECT_STREQ(type, c.type);
            EXPECT_STREQ(typeParam, c.typeParam);
            EXPECT_STREQ(start, c.start);
            EXPECT_EQ(WspFileReadByte(fp), kNext);
        }
        WspFileClose(fp);
    }
}

TEST(WspMessageType, MixedRelatedAndPartialStartParameters)
{
    using namespace std::string_literals;
    const std::string longType(40, 'a');  // takes the quoted Value-length
    struct {
        const char *type, *startType, *startId;
        std::string expect;
    } cases[] = {
        {MIME_TYPE_MIXED, nullptr, nullptr, "\x84\xA3"s},
        {MIME_TYPE_RELATED, "", nullptr, "\x84\xB3"s},
        {"image/jpeg", "x", "y", "\x84\x9E"s},
        {"x/unknown", nullptr, nullptr, "\x84x/unknown\0"s},
        {MIME_TYPE_RELATED, "application/smil", "<smil>", "\x84\x1B\xB3\x89" "application/smil\0\x8A<smil>\0"s},
        {MIME_TYPE_RELATED, nullptr, "<smil>", "\x84\x09\xB3\x8A<smil>\0"s},
        {MIME_TYPE_RELATED, longType.c_str(), nullptr, "\x84\x1F\x2B\xB3\x89"s + longType + "\0"s},
    };
    for (const auto &c : cases) {
        WSP_BUFFER *buf = WspBufNew();
        ASSERT_TRUE(WspEncodeMessageType(buf, c.type, c.startType, c.startId));
        EXPECT_EQ(Of(buf), Bytes(c.expect.begin(), c.expect.end())) << c.type << " " << (c.startType ? c.startType : "-");
        WspBufFree(buf);
    }
    WSP_BUFFER *buf = WspBufNew();
    EXPECT_FALSE(WspEncodeMessageType(buf, nullptr, nullptr, nullptr));
    EXPECT_FALSE(WspEncodeMessageType(nullptr, MIME_TYPE_MIXED, nullptr, nullptr));
    WspBufFree(buf);
}

TEST(WspDecodeContentType, WellKnownTextAndParameters)
{
    struct {
        Bytes in;
        const char *type, *name, *charset;
        int32_t end;
    } cases[] = {
        {{0x9E, 0x8E}, "image/jpeg", "", "", 1},
        {{'a', '/', 'b', 0, 0x8E}, "a/b", "", "", 4},
        {{0x03, 0x83, 0x81, 0xEA, 0x8E}, "text/plain", "", "utf_8", 4},
        {{0x03, 0x83, 0x81, 0x83}, "text/plain", "", "us-ascii", 4},
        {{0x13, 'a', 'p', 'p', 'l', 'i', 'c', 'a', 't', 'i', 'o', 'n', '/', 's', 'm', 'i', 'l', 0, 0x81, 0x83},
         "application/smil", "", "us-ascii", 20},
        {{0x05, 0x9E, 0x85, 'p', '1', 0}, "image/jpeg", "p1", "", 6},
        {{0x04, 0xB3, 0x89, 's', 0}, MIME_TYPE_RELATED, "s", "", 5},
        {{0x1F, 0x7F, 0x9E}, "image/jpeg", "", "", 3},  // a length past the buffer is clamped
    };
    for (const auto &c : cases) {
        WSP_BUFFER *buf = WspBufFromBytes(c.in.data(), (int32_t)c.in.size());
        char type[WSP_TEXT_MAX] = "", name[WSP_NAME_MAX] = "", charset[WSP_NAME_MAX] = "";
        int32_t pos = 0;
        EXPECT_EQ(WspDecodeContentType(buf, &pos, type, name, charset), 1);
        EXPECT_STREQ(type, c.type);
        EXPECT_STREQ(name, c.name);
        EXPECT_STREQ(charset, c.charset);
        EXPECT_EQ(pos, c.end);
        WspBufFree(buf);
    }
}

TEST(WspBufDump, TenOctetsMakeOneFullLineAndOneOfTwo)
{
    const char *path = WspLogPath();
    ASSERT_NE(path, nullptr);
    bool ok = false;
    size_t before = testkit::ReadFileBytes(path, &ok).size();
    Bytes ten = {0x00, 0x41, 0x42, 0x7E, 0x7F, 0x20, 0xFF, 0x0A, 0x31, 0x32};
    WSP_BUFFER *buf = WspBufFromBytes(ten.data(), 10);
    WspBufDump(buf);
    WspBufDump(nullptr);
    WspBufFree(buf);
    Bytes all = testkit::ReadFileBytes(path, &ok);
    ASSERT_TRUE(ok) << path;
    ASSERT_GE(all.size(), before);
    std::string tail(all.begin() + before, all.end());
    EXPECT_EQ(tail,
              "\r\nlen:  10\r\n"
              "data: 00 41 42 7e 7f 20 ff 0a   .AB~. ..\r\n"
              "data: 31 32   12\r\n"
              "\r\n\r\n");
}

}  // namespace
