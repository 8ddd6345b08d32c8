/* CResProvider: strings, cursors and dialog-font settings from the module's resources. */
#include <string.h>

#include "plugin.h"

static const char g_fontFace[RES_FONT_FACE_SIZE] = "MS Sans Serif";
static const uint8_t g_fontCharset = 1;  // DEFAULT_CHARSET
static const char *const g_eastAsian[] = {"JAPANESE", "KOREAN", "CHINESE", "TCHINESE"};

void *CResProvider::Query(int32_t id)
{
    return (void *)(intptr_t)((id == MD_IID_RESPROVIDER || id == MD_IID_ROOT) ? 1 : 0);
}

HINSTANCE CResProvider::GetInstance() { return m_hInstance; }

int32_t CResProvider::LoadResString(uint32_t id, char *buffer, int32_t size)
{
    return LoadStringA(GetInstance(), id, buffer, size);
}

HCURSOR CResProvider::LoadResCursor(int32_t id)
{
    return LoadCursorA(GetInstance(), MAKEINTRESOURCEA(id & 0xFFFF));
}

int32_t CResProvider::GetFontFaceName(char *buffer)
{
    if (!buffer)
        return 0;
    memcpy(buffer, g_fontFace, strlen(g_fontFace) + 1);
    return 1;
}

int32_t CResProvider::GetFontCharset(uint8_t *charset)
{
    if (!charset)
        return 0;
    *charset = g_fontCharset;
    return 1;
}

int32_t CResProvider::AdjustFontSize(int32_t size)
{
    if (size >= RES_MIN_EASTASIAN_FONT)
        return size;
    char language[260];
    language[0] = 0;
    if (LoadResString(RES_LANGUAGE_STRING_ID, language, (int32_t)sizeof language) <= 0)
        return size;
    for (const char *name : g_eastAsian)
        if (lstrcmpiA(language, name) == 0)
            return RES_MIN_EASTASIAN_FONT;
    return size;
}
