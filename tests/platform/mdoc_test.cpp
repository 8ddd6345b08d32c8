/* The message-document library: containers, SMIL documents, loading and the message file. */
#include <windows.h>

#include <string.h>

#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "mdoc.h"
#include "message/mime_bytes.h"
#include "testkit.h"

namespace {

using mimetest::ReadText;

/* A folder with a few media files. */
struct Media {
    testkit::TempDir dir;
    std::string Put(const std::string &name, const std::string &bytes)
    {
        std::string p = dir.file(name);
        EXPECT_TRUE(testkit::WriteFileText(p, bytes));
        return p;
    }
};

struct Cont {
    HMMSCONTAINER h = mmsContainerCreate();
    ~Cont() { mmsContainerDestroy(h); }
};

TEST(MdocContainer, TimelinesAndObjects)
{
    Media m;
    std::string a = m.Put("a.gif", "GIF89a"), b = m.Put("b.txt", "hello");
    Cont c;
    ASSERT_NE(nullptr, c.h);
    EXPECT_EQ(0, mmsGetTimeLineCount(c.h));
    EXPECT_EQ(0, mmsInsertTimeLine(c.h, -1));
    EXPECT_EQ(1, mmsInsertTimeLine(c.h, -1));
    EXPECT_EQ(-1, mmsInsertTimeLine(c.h, 5));
    MEDIA_ATT att{};
    att.dwDur = 3000;
    EXPECT_EQ(0, mmsInsertObject(c.h, 0, MDOC_TYPE_IMAGE, nullptr, a.c_str(), &att, -1));
    EXPECT_EQ(1, mmsInsertObject(c.h, 0, MDOC_TYPE_IMAGE, nullptr, a.c_str(), &att, -1));
    EXPECT_EQ(0, mmsInsertObject(c.h, 1, MDOC_TYPE_TEXT, nullptr, b.c_str(), nullptr, -1));
    EXPECT_EQ(-1, mmsInsertObject(c.h, 2, MDOC_TYPE_TEXT, nullptr, b.c_str(), nullptr, -1));
    EXPECT_EQ(-1, mmsInsertObject(c.h, 0, MDOC_TYPE_TEXT, nullptr, m.dir.file("missing.txt").c_str(), nullptr, -1));
    EXPECT_EQ(2, mmsGetObjectCountByTimeLine(c.h, 0));
    EXPECT_EQ(0, mmsGetObjectCountByTimeLine(c.h, 7));
    EXPECT_EQ(1, mmsGetMediaFrame(c.h, 0, 1));
    EXPECT_EQ(-1, mmsGetMediaFrame(c.h, 0, 2));
    EXPECT_EQ(MDOC_TYPE_TEXT, mmsGetObjectType(c.h, 1, 0));
    EXPECT_EQ(0, mmsGetObjectType(c.h, 1, 1));

    MEDIA_ATT info;
    ASSERT_TRUE(mmsGetObjectInfo(c.h, 0, 0, &info));
    EXPECT_STREQ("a.gif", info.lpszSrc);
    EXPECT_EQ(3000u, info.dwDur);
    EXPECT_EQ(nullptr, info.lpszRegion);
    EXPECT_FALSE(mmsGetObjectInfo(c.h, 0, 9, &info));

    REGION r = {(LPSTR) "Image", 0, 0, 176, 144, (LPSTR) "meet", 0};
    int ri = mmsAddRegion(c.h, &r);
    EXPECT_EQ(0, ri);
    EXPECT_FALSE(mmsSetObjectRegion(c.h, 0, 0, 3));
    EXPECT_TRUE(mmsSetObjectRegion(c.h, 0, 0, ri));
    EXPECT_EQ(ri, mmsGetObjectRegion(c.h, 0, 0));
    EXPECT_EQ(-1, mmsGetObjectRegion(c.h, 0, 1));
    ASSERT_TRUE(mmsGetObjectInfo(c.h, 0, 0, &info));
    EXPECT_STREQ("Image", info.lpszRegion);

    EXPECT_TRUE(mmsDestroyObject(c.h, 0, 0));
    EXPECT_EQ(1, mmsGetObjectCountByTimeLine(c.h, 0));
    EXPECT_TRUE(mmsDestroyTimeLine(c.h, 0));
    EXPECT_EQ(1, mmsGetTimeLineCount(c.h));
    EXPECT_EQ(MDOC_TYPE_TEXT, mmsGetObjectType(c.h, 0, 0));
    EXPECT_FALSE(mmsDestroyTimeLine(c.h, 1));

    ROOT_LAYOUT rl;
    EXPECT_FALSE(mmsGetRootLayout(c.h, &rl));

    // Null handles are refused everywhere.
    EXPECT_EQ(0, mmsGetTimeLineCount(nullptr));
    EXPECT_EQ(-1, mmsInsertTimeLine(nullptr, -1));
    EXPECT_FALSE(mmsContainerLoad(nullptr, a.c_str()));
    mmsContainerDestroy(nullptr);
}

TEST(MdocSmil, DocumentText)
{
    HSMIL doc = SMIL_Create();
    ASSERT_NE(nullptr, doc);
    ROOT_LAYOUT rl = {176, 208, nullptr};
    EXPECT_TRUE(SMIL_SetRootLayout(doc, &rl));
    REGION r = {AllocSMILStr("Image"), 0, 0, 176, 144, AllocSMILStr("meet"), 0};
    EXPECT_TRUE(SMIL_SetRegion(doc, &r, -1));
    HSMILTC tc = SMIL_CreateTimeContainer(MDOC_TC_PAR);
    ASSERT_NE(nullptr, tc);
    EXPECT_TRUE(SMIL_InsertTimeContainer(doc, tc, -1));
    MEDIA_ATT a{};
    a.lpszSrc = AllocSMILStr("a&b.jpg");
    a.lpszRegion = AllocSMILStr("Image");
    EXPECT_TRUE(SMIL_TC_InsertMediaObject(tc, MDOC_TYPE_IMAGE, &a, -1));
    MEDIA_ATT t{};
    t.lpszSrc = AllocSMILStr("say \"hi\" <it's>\x01.txt");  // markup, and a control character XML cannot carry
    EXPECT_TRUE(SMIL_TC_InsertMediaObject(tc, MDOC_TYPE_TEXT, &t, -1));
    MEDIA_ATT s{};
    s.lpszSrc = AllocSMILStr("tune.mid");
    EXPECT_TRUE(SMIL_TC_InsertMediaObject(tc, MDOC_TYPE_AUDIO, &s, 0));
    TIMECONTAINER_ATT ta;
    ASSERT_TRUE(SMIL_GetTimeContainerAtt(tc, &ta));
    EXPECT_EQ(0u, ta.dwDur);
    ta.dwDur = 4000;
    EXPECT_TRUE(SMIL_SetTimeContainerAtt(tc, &ta));

    int n = SMIL_SaveToBuffer(doc, nullptr, 0);
    ASSERT_GT(n, 0);
    std::string text((size_t)n + 1, '\0');
    EXPECT_EQ(n, SMIL_SaveToBuffer(doc, &text[0], n + 1));
    text.resize((size_t)n);
    EXPECT_EQ(
        "<smil>\n <head>\n  <layout>\n   <root-layout width=\"176\" height=\"208\"/>\n"
        "   <region id=\"Image\" left=\"0\" top=\"0\" width=\"176\" height=\"144\" fit=\"meet\"/>\n"
        "  </layout>\n </head>\n <body>\n  <par dur=\"4000ms\">\n"
        "   <audio src=\"tune.mid\"/>\n"
        "   <img src=\"a&amp;b.jpg\" region=\"Image\"/>\n"
        "   <text src=\"say &quot;hi&quot; &lt;it&apos;s&gt;?.txt\"/>\n"
        "  </par>\n </body>\n</smil>\n",
        text);
    SMIL_Destory(doc);
}

TEST(MdocSmil, OwnershipOnFailure)
{
    // Calls that refuse a record still take its strings (checked by the leak sanitizer).
    MEDIA_ATT a{};
    a.lpszSrc = AllocSMILStr("x.jpg");
    EXPECT_FALSE(SMIL_TC_InsertMediaObject(nullptr, MDOC_TYPE_IMAGE, &a, -1));
    REGION r = {AllocSMILStr("Image"), 0, 0, 1, 1, nullptr, 0};
    EXPECT_FALSE(SMIL_SetRegion(nullptr, &r, -1));
    HSMILTC tc = SMIL_CreateTimeContainer(MDOC_TC_PAR);
    EXPECT_FALSE(SMIL_InsertTimeContainer(nullptr, tc, -1));
    EXPECT_EQ(nullptr, SMIL_CreateTimeContainer(7));
    EXPECT_EQ(nullptr, AllocSMILStr(nullptr));
    SMIL_Destory(nullptr);
    EXPECT_FALSE(SMIL_SaveToFile(nullptr, "x.smil"));
}

const char kShow[] =
    "<smil>\n"
    "<head><layout><root-layout width=\"160\" height=\"120\"/>\n"
    "<region id=\"Image\" left=\"0\" top=\"0\" width=\"160\" height=\"100\" fit=\"meet\"/>\n"
    "<region id=\"Text\" left=\"0\" top=\"100\" width=\"160\" height=\"20\"/></layout></head>\n"
    "<body>\n"
    "<par dur=\"5s\"><img src=\"a.gif\" region=\"Image\"/><text src=\"a.txt\" region=\"Text\"/></par>\n"
    "<par dur=\"3000ms\"><img src=\"b.jpg\" region=\"Image\"/><audio src=\"b.mid\" dur=\"2s\"/></par>\n"
    "</body></smil>\n";

TEST(MdocLoad, SlidesBecomeTimelinesSavedAndSent)
{
    // The show's media (their contents after the kinds' own first bytes) and the show itself.
    Media m;
    m.Put("a.gif", "GIF89a-data");
    m.Put("a.txt", "hello");
    m.Put("b.jpg", "\xFF\xD8\xFF-data");
    m.Put("b.mid", "MThd-data");
    std::string smil = m.Put("show.smil", kShow);
    Cont c;
    ASSERT_TRUE(mmsContainerLoad(c.h, smil.c_str()));
    ASSERT_EQ(2, mmsGetTimeLineCount(c.h));
    EXPECT_EQ(2, mmsGetObjectCountByTimeLine(c.h, 0));
    EXPECT_EQ(2, mmsGetObjectCountByTimeLine(c.h, 1));
    EXPECT_EQ(MDOC_TYPE_IMAGE, mmsGetObjectType(c.h, 0, 1));
    EXPECT_EQ(MDOC_TYPE_AUDIO, mmsGetObjectType(c.h, 1, 1));
    EXPECT_EQ(1, mmsGetMediaFrame(c.h, 1, 1));
    MEDIA_ATT info;
    ASSERT_TRUE(mmsGetObjectInfo(c.h, 0, 0, &info));
    EXPECT_EQ(5000u, info.dwDur);  // from the <par>
    EXPECT_STREQ("Image", info.lpszRegion);
    ASSERT_TRUE(mmsGetObjectInfo(c.h, 1, 1, &info));
    EXPECT_EQ(2000u, info.dwDur);  // its own
    EXPECT_EQ(2, mmsGetRegionCount(c.h));
    ROOT_LAYOUT rl;
    ASSERT_TRUE(mmsGetRootLayout(c.h, &rl));
    EXPECT_EQ(160, rl.wWidth);
    EXPECT_EQ(120, rl.wHeight);
    char path[MAX_PATH];
    EXPECT_GT(mmsGetObjectFile(c.h, 0, 1, path, sizeof path), 0);
    EXPECT_NE(nullptr, strstr(path, "b.jpg"));

    // Saved elsewhere, the media travel along.
    testkit::TempDir other, out;
    std::string saved = other.file("copy.smil"), dat = out.file("msg.dat");
    ASSERT_TRUE(mmsContainerSave(c.h, saved.c_str()));
    EXPECT_EQ("MThd-data", ReadText(other.file("b.mid")));

    // Sent, it is a related message the MIME reader opens, the presentation its start part.
    ASSERT_EQ(1, mmsGenerateMessage(c.h, "", "123", "", dat.c_str(), 1));
    std::vector<unsigned char> bytes = testkit::ReadFileBytes(dat);
    const unsigned char head[] = {0x84, 0x1B, 0xB3, 0x89};
    ASSERT_GT(bytes.size(), 40u);
    EXPECT_EQ(0, memcmp(bytes.data(), head, sizeof head));
    EXPECT_EQ(0, memcmp(bytes.data() + 4, "application/smil\0\x8A<smil>\0", 25));
    EXPECT_EQ(5, bytes[29]);  // SMIL and four media
    MIME_MESSAGE *msg = MimeOpenFile((out.path() + "\\").c_str(), "msg.dat");
    ASSERT_NE(nullptr, msg);
    EXPECT_STREQ(MIME_TYPE_RELATED, msg->contentType);
    ASSERT_NE(nullptr, msg->startPart);
    EXPECT_EQ(4, MimeOtherPartCount(msg));
    EXPECT_TRUE(MimeExtractAll(msg, (out.path() + "\\").c_str()));
    MimeDestroy(msg);
    EXPECT_EQ("GIF89a-data", ReadText(out.file("a.gif")));

    // Either copy loads into the same slides.
    for (const std::string &copy : {saved, out.file("mms.smil")}) {
        SCOPED_TRACE(copy);
        Cont again;
        ASSERT_TRUE(mmsContainerLoad(again.h, copy.c_str()));
        ASSERT_EQ(2, mmsGetTimeLineCount(again.h));
        for (int t = 0; t < 2; t++)
            for (int i = 0; i < 2; i++) {
                EXPECT_EQ(mmsGetObjectType(c.h, t, i), mmsGetObjectType(again.h, t, i));
                EXPECT_EQ(mmsGetMediaFrame(c.h, t, i), mmsGetMediaFrame(again.h, t, i));
                EXPECT_EQ(mmsGetObjectRegion(c.h, t, i), mmsGetObjectRegion(again.h, t, i));
            }
    }
}

TEST(MdocLoad, BadPresentationsLeaveTheContainerEmpty)
{
    Media m;
    m.Put("a.gif", "GIF89a");
    const char *bad[] = {
        "",
        "<smil><body><par><img src=\"a.gif\"/></par></body>",              // not closed
        "<html><body/></html>",                                              // not SMIL
        "<smil><body><par><img src=\"missing.gif\"/></par></body></smil>",  // missing media
        "<smil><body><par><img src=\"../a.gif\"/></par></body></smil>",     // outside the folder
        "<smil><body><par><img src=\"C:\\a.gif\"/></par></body></smil>",    // absolute
        "<smil><body><par><img/></par></body></smil>",                       // no source
        "<smil><body><par><img src=\"a.gif\"></par></body></smil>",         // mismatched tags
    };
    for (const char *text : bad) {
        std::string p = m.Put("bad.smil", text);
        Cont c;
        // Something to be thrown away by the failed load.
        ASSERT_EQ(0, mmsInsertTimeLine(c.h, -1));
        EXPECT_FALSE(mmsContainerLoad(c.h, p.c_str())) << text;
        EXPECT_EQ(0, mmsGetTimeLineCount(c.h)) << text;
        EXPECT_EQ(0, mmsGetRegionCount(c.h)) << text;
    }
    Cont c;
    EXPECT_FALSE(mmsContainerLoad(c.h, m.dir.file("nothere.smil").c_str()));
}

TEST(MdocMessage, EntryLayoutAndFailuresLeaveNoFile)
{
    // 0x84 0xA3 count, HeadersLen (1 + 2 + id + 1 + name), DataLen, 0x9E, Content-ID "<name>",
    // Content-Location name (after the quote octet 0x7F when it starts above 0x7F), data.
    for (std::string name : {"a.jpg", "\xE9.jpg"}) {
        const bool quoted = (unsigned char)name[0] >= 0x80;
        Media m;
        std::string a = m.Put(name, "JPEGDATA");
        Cont c;
        ASSERT_EQ(0, mmsInsertTimeLine(c.h, -1));
        ASSERT_EQ(0, mmsInsertObject(c.h, 0, MDOC_TYPE_IMAGE, nullptr, a.c_str(), nullptr, -1));
        std::string dat = m.dir.file("mixed.dat");
        ASSERT_EQ(1, mmsGenerateMessage(c.h, "", "", "", dat.c_str(), 0));
        std::string want = std::string("\x84\xA3\x01", 3) + (char)(8 + 2 * name.size() + quoted) + "\x08\x9E\xC0\x22<" +
                           name + '>' + '\0' + '\x8E' + (quoted ? "\x7F" : "") + name + '\0' + "JPEGDATA";
        EXPECT_EQ(std::vector<unsigned char>(want.begin(), want.end()), testkit::ReadFileBytes(dat)) << name;

        // A failure leaves no file: no subject, no container, a media file gone since it was
        // inserted.
        std::string gone = m.dir.file("gone.dat");
        EXPECT_EQ(0, mmsGenerateMessage(c.h, nullptr, "", "", gone.c_str(), 1));
        EXPECT_EQ(0, mmsGenerateMessage(nullptr, "", "", "", gone.c_str(), 1));
        ASSERT_TRUE(DeleteFileA(a.c_str()));
        EXPECT_EQ(0, mmsGenerateMessage(c.h, "", "", "", gone.c_str(), 1));
        EXPECT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesA(gone.c_str()));
    }
}

TEST(MdocLoad, DeepNestingIsRefusedWithoutDescending)
{
    Media m;
    m.Put("a.gif", "GIF89a");
    auto nested = [](int levels, const char *open, const char *close) {
        std::string t = "<smil><body>";
        for (int i = 0; i < levels; i++)
            t += open;
        t += "<par><img src=\"a.gif\"/></par>";
        for (int i = 0; i < levels; i++)
            t += close;
        return t + "</body></smil>";
    };
    // smil, body, the x levels and par (the empty img opens none): 29 x make 32 levels, which
    // load (unknown elements: no slides).  One level more, and 70000 (which would overflow the
    // reader's stack), are refused.
    for (int levels : {28, 29, 30, 70000}) {
        Cont c;
        std::string p = m.Put("nested.smil", nested(levels, "<x a='>'>", "</x>"));
        SetLastError(0);
        EXPECT_EQ(levels <= 29, !!mmsContainerLoad(c.h, p.c_str())) << levels;
        EXPECT_EQ(levels > 29, GetLastError() == (DWORD)MDOC_ERROR_TOO_DEEP) << levels;
    }
    // Comments, CDATA, declarations and empty elements open no level.
    std::string flat = "<?xml version=\"1.0\"?><!DOCTYPE smil [<!ENTITY e \"<x><x>\">]><smil><body>";
    for (int i = 0; i < 100; i++)
        flat += "<!-- <x><x> --><![CDATA[<x><x>]]><y/><?pi <x>?>";
    flat += "<par><img src=\"a.gif\"/></par></body></smil>";
    Cont c;
    std::string p = m.Put("flat.smil", flat);
    EXPECT_TRUE(mmsContainerLoad(c.h, p.c_str()));
}

TEST(MdocSmil, TextIsWrittenInTheEncodingItDeclares)
{
    // The ANSI forms of "café.gif" and "€ 5": code page 1252 (Windows here) or UTF-8 (the host's).
    auto ansi = [](std::vector<WCHAR> w) {
        std::string out(16, '\0');
        out.resize((size_t)WideCharToMultiByte(CP_ACP, 0, w.data(), (int)w.size(), &out[0], 16, nullptr, nullptr));
        return out;
    };
    const bool utf8 = GetACP() == CP_UTF8;
    const std::string cafe = ansi({'c', 'a', 'f', 0xE9, '.', 'g', 'i', 'f'});
    const std::string euro5 = ansi({0x20AC, ' ', '5'});
    ASSERT_EQ(cafe, utf8 ? "caf\xC3\xA9.gif" : "caf\xE9.gif");  // CP_ACP is the page GetACP names
    Media m;
    m.Put(cafe, "GIF89a");
    // UTF-8, declared or by default, and Latin-1 declared: all name the same file.
    const std::string docs[] = {
        "<?xml version=\"1.0\" encoding=\"UTF-8\"?><smil><body><par><img src=\"caf\xC3\xA9.gif\" alt=\"\xE2\x82\xAC 5\"/></par></body></smil>",
        "\xEF\xBB\xBF<smil><body><par><img src=\"caf\xC3\xA9.gif\" alt=\"\xE2\x82\xAC 5\"/></par></body></smil>",
        "<?xml version='1.0' encoding='iso-8859-1'?><smil><body><par><img src=\"caf\xE9.gif\" alt=\"\x80 5\"/></par></body></smil>",
        "<smil><body><par><img src=\"caf&#233;.gif\" alt=\"&#128; 5\"/></par></body></smil>",
    };
    for (const std::string &doc : docs) {
        std::string in = m.Put("in.smil", doc);
        Cont c;
        ASSERT_TRUE(mmsContainerLoad(c.h, in.c_str())) << doc;
        MEDIA_ATT info;
        ASSERT_TRUE(mmsGetObjectInfo(c.h, 0, 0, &info));
        EXPECT_EQ(info.lpszSrc, cafe);
        // Latin-1 0x80 is a control character, in code page 1252 the euro sign.
        if (doc.find("&#128;") == std::string::npos && (!utf8 || doc.find("iso-8859-1") == std::string::npos)) {
            EXPECT_EQ(info.lpszAlt, euro5) << doc;
        }
        std::string out = m.dir.file("out.smil");
        ASSERT_TRUE(mmsContainerSave(c.h, out.c_str()));
        std::string text = ReadText(out);
        // The octets written are those of the declared encoding.
        bool euro = text.find('\x80') != std::string::npos;
        EXPECT_EQ(0u, text.find(utf8   ? "<?xml version=\"1.0\" encoding=\"UTF-8\"?>"
                                : euro ? "<?xml version=\"1.0\" encoding=\"windows-1252\"?>"
                                       : "<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?>"))
            << text;
        EXPECT_NE(std::string::npos, text.find("src=\"" + cafe + "\"")) << text;
        // And they read back as the same presentation.
        Cont again;
        ASSERT_TRUE(mmsContainerLoad(again.h, out.c_str())) << text;
        ASSERT_TRUE(mmsGetObjectInfo(again.h, 0, 0, &info));
        EXPECT_EQ(info.lpszSrc, cafe);
    }
    // An encoding the reader cannot read is refused.
    Cont c;
    std::string p = m.Put("u16.smil", "<?xml version=\"1.0\" encoding=\"UTF-16\"?><smil/>");
    SetLastError(0);
    EXPECT_FALSE(mmsContainerLoad(c.h, p.c_str()));
    EXPECT_EQ((DWORD)ERROR_INVALID_DATA, GetLastError());
}

}  // namespace
