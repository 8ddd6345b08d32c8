/* Dialog fonts from the resource provider's settings. */
#include "baseui.h"

static HFONT MakeFont(int nSize, int nWeight, const char *lpszFace)
{
    // Height negative: a character height, not a cell height.  Width, escapement,
    // orientation, precisions, quality, pitch and family all 0; not italic, underlined or
    // struck out.
    return CreateFontA(-AdjustResFontSize(nSize), 0, 0, 0, nWeight, FALSE, FALSE, FALSE, GetResFontCharset(), 0, 0, 0,
                       0, lpszFace);
}

HFONT CreateResFont(int nSize) { return MakeFont(nSize, FW_NORMAL, GetResFontFace().c_str()); }
HFONT CreateResBoldFont(int nSize) { return MakeFont(nSize, FW_BOLD, GetResFontFace().c_str()); }
HFONT CreateArialFont(int nSize) { return MakeFont(nSize, FW_NORMAL, "Arial"); }
