/* The font faces offered for texts: string resources 222 to 225 in 20-byte slots. */
#include <gtest/gtest.h>
#include <string.h>

#include "filefun.h"
#include "ui_fixture.h"

namespace {

TEST(FontFaces, FourSlotsFromTheStringTable)
{
    uitest::TestProvider english;
    english.strings = {{222, "Impact"}, {223, "Tahoma Bold"}, {224, "Comic Sans MS"}, {225, "Times New Roman"}};
    uitest::UseProvider(&english);
    char faces[4][FONTFACE_SLOT_SIZE];
    memset(faces, 0xCC, sizeof faces);
    GetFontFaces(faces);
    EXPECT_STREQ(faces[0], "Impact");
    EXPECT_STREQ(faces[1], "Tahoma Bold");
    EXPECT_STREQ(faces[2], "Comic Sans MS");
    EXPECT_STREQ(faces[3], "Times New Roman");

    // 19 characters fit with the terminator; 20 do not, and the slot stays empty.
    uitest::TestProvider localized;
    localized.strings = {{222, std::string(19, 'a')}, {223, std::string(20, 'b')}, {225, "Arial"}};
    uitest::UseProvider(&localized);
    memset(faces, 0xCC, sizeof faces);
    GetFontFaces(faces);
    EXPECT_EQ(std::string(faces[0]), std::string(19, 'a'));
    EXPECT_STREQ(faces[1], "");
    EXPECT_STREQ(faces[2], "");  // no such string
    EXPECT_STREQ(faces[3], "Arial");
    uitest::UseProvider(nullptr);
    GetFontFaces(faces);  // no provider: every slot empty
    for (auto &slot : faces)
        EXPECT_STREQ(slot, "");
    GetFontFaces(nullptr);
}

}  // namespace
