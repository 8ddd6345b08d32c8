/*
 * The UI template reader: what a good file gives, every refusal with its line and cause, the
 * two files of a template meeting, and the UI folder's shipped files.
 */
#include <gtest/gtest.h>

#include <string.h>

#include "skui_template.h"
#include "testkit.h"

using namespace GUI;

namespace {

const char kGood[] =
    "; a comment\n"
    "medley-ui 1\n"
    "template one\n"
    "  size 320 150\n"
    "  background 1E3C6E\n"
    "  button b_OK 10 100 80 124\n"
    "  area w_message1 16 36 304 96\n"
    "  image b_OK 3 invalid.bmp\n"
    "end\n"
    "\r\n"
    "template two\r\n"
    "\tsize 1 1\r\n"
    "end";

bool Parse(const std::string &text, SkuiTemplateFile *out, std::string *why)
{
    return SkuiParseTemplateText(text.data(), text.size(), out, why);
}

/* The reason a one-template file with `body` inside its template is refused ("" if read). */
std::string Refusal(const std::string &body)
{
    SkuiTemplateFile f;
    std::string why;
    std::string text = "medley-ui 1\ntemplate t\nsize 100 50\n" + body + "\nend\n";
    return Parse(text, &f, &why) ? "" : why;
}

}  // namespace

TEST(UiTemplate, ReadsTemplatesControlsAndPictures)
{
    SkuiTemplateFile f;
    std::string why;
    ASSERT_TRUE(Parse(kGood, &f, &why)) << why;
    ASSERT_EQ(2u, f.templates.size());
    const SkuiTemplateDef *t = f.Find("one");
    ASSERT_TRUE(t);
    EXPECT_EQ(320, t->width);
    EXPECT_EQ(150, t->height);
    EXPECT_TRUE(t->hasBackground);
    EXPECT_EQ(0x6E3C1Eu, t->background) << "RRGGBB read as a Windows colour 0x00BBGGRR";
    ASSERT_EQ(2u, t->controls.size());
    const SkuiControlDef *ok = t->Find("b_OK");
    ASSERT_TRUE(ok);
    EXPECT_EQ(SKUI_KIND_BUTTON, ok->kind);
    EXPECT_EQ(10, ok->left);
    EXPECT_EQ(100, ok->top);
    EXPECT_EQ(80, ok->right);
    EXPECT_EQ(124, ok->bottom);
    EXPECT_EQ("invalid.bmp", ok->image[3]);
    EXPECT_EQ("", ok->image[0]);
    EXPECT_EQ(SKUI_KIND_AREA, t->Find("w_message1")->kind);
    EXPECT_EQ(nullptr, t->Find("B_OK")) << "names match exactly";
    EXPECT_EQ(1, f.Find("two")->width) << "CR LF line ends and tabs";
    EXPECT_EQ(nullptr, f.Find("three"));
}

TEST(UiTemplate, RefusesDamageWithLineAndCause)
{
    struct Case {
        std::string text;
        const char *why;
    } cases[] = {
        {"", "empty"},
        {"medley-ui 2\n", "line 1: format version 2"},
        {"template t\n", "line 1: not a UI template file"},
        {"medley-ui 1\nsize 1 1\n", "line 2: \"size\" outside a template"},
        {"medley-ui 1\ntemplate t\nsize 10 10\n", "has no end"},
        {"medley-ui 1\ntemplate t\ntemplate u\n", "line 3: template t is not ended"},
        {"medley-ui 1\nend\n", "line 2: end without a template"},
        {"medley-ui 1\ntemplate t\nend\ntemplate t\nend\n", "line 4: a second template named t"},
        {"medley-ui 1\ntemplate t\nbutton b 0 0 1 1\nend\n", "line 3: button b before the template's size"},
        {"medley-ui 1\ntemplate a/b\nend\n", "line 2: template takes one name"},
        {"medley-ui 1\ntemplate t\x01\nend\n", "line 2: holds a byte"},
        {"medley-ui 1\ntemplate t\xC3\xA9\nend\n", "line 2: holds a byte"},
        {std::string("medley-ui 1\ntemplate t\0x\nend\n", 29), "line 2"},  // a NUL is damage too, not the end
        {"medley-ui 1\n" + std::string(SKUI_FILE_MAX, ';'), "64 KB"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.text.substr(0, 40));
        SkuiTemplateFile f;
        f.templates.resize(1);
        std::string why;
        EXPECT_FALSE(Parse(c.text, &f, &why));
        EXPECT_NE(std::string::npos, why.find(c.why)) << why;
        EXPECT_TRUE(f.templates.empty()) << "a refused file gives nothing";
    }
}

TEST(UiTemplate, StatementsAreCheckedWhole)
{
    std::string many;  // 64 controls, the most a template holds
    for (int i = 0; i < 64; ++i)
        many += "button b" + std::to_string(i) + " 0 0 1 1\n";
    const std::string kRead[] = {
        "button b 0 0 100 50",  // a control may fill the template exactly
        "image b 0 X.BMP", "button " + std::string(63, 'n') + " 0 0 1 1", std::string(255, ';'), many,
    };
    for (const std::string &body : kRead)
        EXPECT_EQ("", Refusal(body)) << body;
    const std::string kRefused[] = {
        "button b 0 0 101 50",  // one past the width
        "button b 0 0 100 51",  // one past the height
        "button b 5 0 5 10",    // empty
        "area a 0 9 10 8",      // upside down
        "button b -1 0 10 10", "button b 0 0 10", "button b 0 0 10 10 10",
        "button b 0 0 1O 10",                      // a letter O among the digits
        "button b 00000 0 10 10",                  // five digits
        "button b 0 0 10 10\narea b 0 0 10 10",    // names are unique across kinds
        "knob k 0 0 10 10",                        // unknown kind
        "size 10 10",                              // a second size
        "background 12345",                        // five hex digits
        "background 12345G", "background 123456\nbackground 123456",
        "image b 4 x.bmp",                         // states 0 to 3
        "image b 0 x.png",                         // pictures are .bmp files
        "image b 0 ..\\x.bmp",                     // never a path
        "image b 0 .bmp",
        "image b 0 x.bmp\nimage b 0 y.bmp",        // a second picture for one state
        "backimage c:\\x.bmp",
        "button " + std::string(64, 'n') + " 0 0 1 1",  // names up to 63
        std::string(256, ';'),                          // lines up to 255
        many + "area x 0 0 1 1",                        // a 65th control
    };
    for (const std::string &body : kRefused)
        EXPECT_NE("", Refusal(body)) << body;
}

TEST(UiTemplate, LayoutAndPicturesMeet)
{
    testkit::TempDir dir;
    const std::string layout = dir.file("udf.ui"), images = dir.file("img.ui");
    ASSERT_TRUE(testkit::WriteFileText(layout, "medley-ui 1\ntemplate t\nsize 100 50\nbutton b 0 0 10 10\n"
                                               "area a 0 10 100 50\nend\n"));
    ASSERT_TRUE(testkit::WriteFileText(images, "medley-ui 1\ntemplate t\nbackimage back.bmp\nimage b 0 b1.bmp\n"
                                               "image b 3 b5.bmp\nend\n"));
    SkuiTemplateDef t;
    std::string why;
    ASSERT_TRUE(SkuiLoadTemplate("t", layout.c_str(), images.c_str(), &t, &why)) << why;
    EXPECT_EQ("back.bmp", t.backImage);
    EXPECT_EQ("b1.bmp", t.Find("b")->image[0]);
    EXPECT_EQ("b5.bmp", t.Find("b")->image[3]);
    EXPECT_EQ(SKUI_KIND_BUTTON, t.Find("b")->kind);

    EXPECT_FALSE(SkuiLoadTemplate("u", layout.c_str(), images.c_str(), &t, &why));
    EXPECT_NE(std::string::npos, why.find("has no template u")) << why;
    EXPECT_EQ(0, t.width) << "nothing is left of a failed read";

    ASSERT_TRUE(testkit::WriteFileText(images, "medley-ui 1\ntemplate t\nimage c 0 c.bmp\nend\n"));
    EXPECT_FALSE(SkuiLoadTemplate("t", layout.c_str(), images.c_str(), &t, &why));
    EXPECT_NE(std::string::npos, why.find("image for c, which the layout does not have")) << why;

    ASSERT_TRUE(testkit::WriteFileText(images, "medley-ui 1\ntemplate t\nimage b 0 b1.bmp\n"));
    EXPECT_FALSE(SkuiLoadTemplate("t", layout.c_str(), images.c_str(), &t, &why));
    EXPECT_NE(std::string::npos, why.find("img.ui: ")) << "the damaged file is named: " << why;
    EXPECT_NE(std::string::npos, why.find("has no end")) << why;

    EXPECT_FALSE(SkuiLoadTemplate("t", dir.file("none.ui").c_str(), images.c_str(), &t, &why));
    EXPECT_NE(std::string::npos, why.find("cannot open " + dir.file("none.ui"))) << why;
    EXPECT_NE(std::string::npos, why.find("error 2")) << "the real cause: " << why;

    ASSERT_TRUE(testkit::WriteFileText(layout, "medley-ui 1\ntemplate t\nend\n"));
    EXPECT_FALSE(SkuiLoadTemplate("t", layout.c_str(), nullptr, &t, &why));
    EXPECT_NE(std::string::npos, why.find("has no size")) << why;
}

TEST(UiTemplate, ShippedFilesHoldTheConfirmationTemplate)
{
    const char *src = getenv("MEDLEY_SOURCE_DIR");
    ASSERT_TRUE(src);
    const std::string dir = std::string(src) + "/platform/skuilib/ui/";
    SkuiTemplateDef t;
    std::string why;
    ASSERT_TRUE(SkuiLoadTemplate("zelkova_mms", (dir + "udf_medley.ui").c_str(), (dir + "img_medley.ui").c_str(), &t,
                                 &why))
        << why;
    for (const char *name : {"b_Exit", "b_OK", "b_Cancel", "w_message1"}) {
        ASSERT_TRUE(t.Find(name)) << name;
        EXPECT_EQ(name[0] == 'b' ? SKUI_KIND_BUTTON : SKUI_KIND_AREA, t.Find(name)->kind) << name;
    }
}
