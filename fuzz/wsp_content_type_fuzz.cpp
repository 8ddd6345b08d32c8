/* Fuzz target: WspDecodeContentType and the entry-header walk over a buffer. */
#include <stddef.h>
#include <stdint.h>
#include <string.h>

#include "wsp.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size > 1 << 20)
        return 0;
    WSP_BUFFER *buf = WspBufFromBytes(data, (int32_t)size);
    if (!buf)
        return 0;
    char type[WSP_TEXT_MAX] = "", name[WSP_NAME_MAX] = "", charset[WSP_NAME_MAX] = "";
    int32_t pos = 0;
    WspDecodeContentType(buf, &pos, type, name, charset);
    if (strlen(type) >= WSP_TEXT_MAX || strlen(name) >= WSP_NAME_MAX || strlen(charset) >= WSP_NAME_MAX)
        __builtin_trap();
    /* The headers that follow, as the entry reader walks them. */
    while (pos >= 0 && pos < buf->length) {
        char text[WSP_TEXT_MAX];
        int32_t before = pos;
        ++pos;
        if (!WspBufReadText(buf, &pos, text, sizeof text))
            break;
        if (pos <= before)
            __builtin_trap();
    }
    /* Primitive readers at every position. */
    for (int32_t p = 0; p < buf->length; ++p) {
        int32_t q = p;
        WspBufReadUintvar(buf, &q);
        q = p;
        WspBufReadValueLength(buf, &q);
        q = p;
        WspBufReadLongInteger(buf, &q);
    }
    WspBufFree(buf);
    return 0;
}
