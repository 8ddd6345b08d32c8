/* The font faces offered for message texts, from the module's string table. */
#include <string.h>

#include <string>

#include "basefun.h"
#include "filefun.h"

namespace {

const int32_t kFirstFaceString = 222;  // 222 to 225: "Impact", "Tahoma Bold", "Comic Sans MS", "Times New Roman"

}  // namespace

void GetFontFaces(char lpszFaces[4][FONTFACE_SLOT_SIZE])
{
    if (!lpszFaces)
        return;
    for (int i = 0; i < 4; ++i) {
        std::string face = GetResString(kFirstFaceString + i);
        // A name cut to fit would name some other font, or none: the slot stays empty.
        lpszFaces[i][0] = 0;
        if (face.size() < FONTFACE_SLOT_SIZE)
            memcpy(lpszFaces[i], face.c_str(), face.size() + 1);
    }
}
