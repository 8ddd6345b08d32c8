/* The font faces offered for texts: string resources 222 to 225 in 20-byte slots. */
#include <gtest/gtest.h>
#include <string.h>

#include <map>
#include <string>
#include <vector>

#include "filefun.h"
#include "ui_fixture.h"

namespace {

TEST(FontFaces, FourSlotsFromTheStringTable)
{
    // 19 characters fit with the terminator; 20 do not, and the slot stays empty, as it does
    // for a missing string or without a provider.
    const struct Row {
        std::map<uint32_t, std::string> strings;
        bool provider;
        std::vector<std::string> faces;
    } rows[] = {
        {{{222, "Impact"}, {223, "Tahoma Bold"}, {224, "Comic Sans MS"}, {225, "Times New Roman"}},
         true,
         {"Impact", "Tahoma Bold", "Comic Sans MS", "Times New Roman"}},
        {{{222, std::string(19, 'a')}, {223, std::string(20, 'b')}, {225, "Arial"}},
         true,
         {std::string(19, 'a'), "", "", "Arial"}},
        {{}, false, {"", "", "", ""}},
    };
    for (const Row &r : rows) {
        uitest::TestProvider provider;
        provider.strings = r.strings;
        uitest::UseProvider(r.provider ? &provider : nullptr);
        char faces[4][FONTFACE_SLOT_SIZE];
        memset(faces, 0xCC, sizeof faces);
        GetFontFaces(faces);
        EXPECT_EQ(r.faces, std::vector<std::string>(faces, faces + 4));
    }
    uitest::UseProvider(nullptr);
    GetFontFaces(nullptr);
}

}  // namespace
