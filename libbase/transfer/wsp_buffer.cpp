/*
 * The codec's byte buffer and the primitive encodings of WAP-230-WSP 8.4.2.
 *
 * Invariant of WSP_BUFFER: 0 <= length <= capacity; when data is not null it holds
 * capacity + 1 octets and data[length] == 0, so a buffer of text can be read as a string.
 * Reads from a buffer never pass `length`: every reader checks its position first and a
 * failure leaves the position where it was.
 */
#include <limits.h>
#include <stdlib.h>
#include <string.h>

#include "wsp.h"

/* ---- byte buffer ---- */

WSP_BUFFER *WspBufNew(void)
{
    return (WSP_BUFFER *)calloc(1, sizeof(WSP_BUFFER));
}

int WspBufReserve(WSP_BUFFER *buf, int32_t n)
{
    if (!buf || n < 0 || n > INT32_MAX - 32 - buf->length)
        return 0;
    int32_t needed = buf->length + n;
    if (buf->capacity >= needed && buf->data)
        return 1;
    if (buf->capacity >= needed && needed == 0)
        return 1;
    int32_t cap = (needed + 31) / 32 * 32;
    if (cap < buf->capacity)
        cap = buf->capacity;
    uint8_t *p = (uint8_t *)realloc(buf->data, (size_t)cap + 1);
    if (!p)
        return 0;
    p[buf->length] = 0;
    buf->data = p;
    buf->capacity = cap;
    return 1;
}

WSP_BUFFER *WspBufNewSized(int32_t capacity)
{
    if (capacity < 0 || capacity > INT32_MAX - 1)
        return NULL;
    WSP_BUFFER *buf = WspBufNew();
    if (!buf || capacity == 0)
        return buf;
    buf->data = (uint8_t *)malloc((size_t)capacity + 1);
    if (!buf->data) {
        free(buf);
        return NULL;
    }
    buf->data[0] = 0;
    buf->capacity = capacity;
    return buf;
}

void WspBufFree(WSP_BUFFER *buf)
{
    if (!buf)
        return;
    free(buf->data);
    free(buf);
}

void WspBufReset(WSP_BUFFER *buf)
{
    if (!buf)
        return;
    buf->length = 0;
    if (buf->data)
        buf->data[0] = 0;
}

WSP_BUFFER *WspBufFromBytes(const void *octets, int32_t count)
{
    if (count < 0 || (!octets && count > 0))
        return NULL;
    WSP_BUFFER *buf = WspBufNewSized(count);
    if (!buf)
        return NULL;
    if (count > 0) {
        memcpy(buf->data, octets, (size_t)count);
        buf->length = count;
        buf->data[count] = 0;
    }
    return buf;
}

WSP_BUFFER *WspBufFromString(const char *text)
{
    if (!text)
        return NULL;
    size_t n = strlen(text);
    if (n > (size_t)INT32_MAX - 32)
        return NULL;
    return WspBufFromBytes(text, (int32_t)n);
}

int32_t WspBufLength(const WSP_BUFFER *buf)
{
    return buf ? buf->length : 0;
}

int WspBufGetByte(const WSP_BUFFER *buf, int32_t index)
{
    if (!buf || index < 0 || index >= buf->length)
        return -1;
    return buf->data[index];
}

int WspBufSetByte(WSP_BUFFER *buf, int32_t index, int octet)
{
    if (!buf || index < 0 || index >= buf->length)
        return 0;
    buf->data[index] = (uint8_t)octet;
    return 1;
}

uint8_t *WspBufPtrAt(const WSP_BUFFER *buf, int32_t index, int32_t *pCount)
{
    if (!buf || index < 0 || index >= buf->length)
        return NULL;
    if (pCount)
        *pCount = buf->length - index;
    return buf->data + index;
}

int32_t WspBufCopyOut(void *dst, const WSP_BUFFER *buf, int32_t index, int32_t count)
{
    if (!dst || !buf || index < 0 || index >= buf->length || count < 1)
        return 0;
    int32_t n = buf->length - index;
    if (count < n)
        n = count;
    memcpy(dst, buf->data + index, (size_t)n);
    return n;
}

WSP_BUFFER *WspBufInsert(WSP_BUFFER *buf, int32_t index, const void *octets, int32_t count)
{
    if (count < 1 || !octets || index < 0 || (buf && index > buf->length) || (!buf && index > 0))
        return NULL;
    if (!buf) {
        buf = WspBufNew();
        if (!buf)
            return NULL;
    }
    if (!WspBufReserve(buf, count))
        return buf;
    memmove(buf->data + index + count, buf->data + index, (size_t)(buf->length - index));
    memcpy(buf->data + index, octets, (size_t)count);
    buf->length += count;
    buf->data[buf->length] = 0;
    return buf;
}

WSP_BUFFER *WspBufAppend(WSP_BUFFER *buf, const void *octets, int32_t count)
{
    return WspBufInsert(buf, buf ? buf->length : 0, octets, count);
}

WSP_BUFFER *WspBufAppendString(WSP_BUFFER *buf, const char *text)
{
    if (!text)
        return NULL;
    size_t n = strlen(text);
    if (n > (size_t)INT32_MAX - 64)
        return NULL;
    return WspBufAppend(buf, text, (int32_t)n);
}

WSP_BUFFER *WspBufAppendBuf(WSP_BUFFER *buf, const WSP_BUFFER *other)
{
    if (!other)
        return NULL;
    return WspBufAppend(buf, other->data, other->length);
}

WSP_BUFFER *WspBufAppendByte(WSP_BUFFER *buf, int octet)
{
    uint8_t b = (uint8_t)octet;
    return WspBufAppend(buf, &b, 1);
}

int WspBufWriteRange(const WSP_BUFFER *buf, int32_t index, int32_t count, WSP_FILE *fp)
{
    if (!buf || !fp || index < 0 || count < 1 || index > buf->length || count > buf->length - index)
        return 0;
    return WspFileWrite(fp, buf->data + index, count) == count;
}

/* Appends exactly `count` octets; unlike WspBufAppend, reports a failed growth. */
static int append(WSP_BUFFER *buf, const void *octets, int32_t count)
{
    if (!buf)
        return 0;
    int32_t before = buf->length;
    WspBufAppend(buf, octets, count);
    return buf->length == before + count;
}

/* ---- uintvar ----
 *
 *   value          octets
 *   0..127         0xxxxxxx
 *   128..16383     1xxxxxxx 0xxxxxxx
 *   ...            up to 5 octets for 32 bits: 1000xxxx 1xxxxxxx 1xxxxxxx 1xxxxxxx 0xxxxxxx
 */

int WspEncodeUintvar(int32_t value, uint8_t *out)
{
    if (value < 0 || !out)
        return 0;
    uint8_t tmp[WSP_UINTVAR_MAX];
    int n = 0;
    uint32_t v = (uint32_t)value;
    do {
        tmp[n++] = (uint8_t)(v & 0x7F);
        v >>= 7;
    } while (v);
    for (int i = 0; i < n; ++i)
        out[i] = (uint8_t)(tmp[n - 1 - i] | (i < n - 1 ? 0x80 : 0));
    return n;
}

int WspBufWriteUintvar(WSP_BUFFER *buf, int32_t value)
{
    uint8_t tmp[WSP_UINTVAR_MAX];
    int n = WspEncodeUintvar(value, tmp);
    return n > 0 && append(buf, tmp, n);
}

int32_t WspBufReadUintvar(const WSP_BUFFER *buf, int32_t *pos)
{
    if (!buf || !pos || *pos < 0 || *pos >= buf->length)
        return -1;
    int32_t p = *pos;
    uint32_t v = 0;
    for (int i = 0; i < WSP_UINTVAR_MAX; ++i) {
        if (p >= buf->length)
            return -1;
        uint8_t b = buf->data[p++];
        if (v > ((uint32_t)INT32_MAX >> 7))
            return -1; /* the next group would pass 2^31 - 1 */
        v = (v << 7) | (b & 0x7F);
        if (!(b & 0x80)) {
            *pos = p;
            return (int32_t)v;
        }
    }
    return -1;
}

/* ---- Value-length ----
 *
 *   0x00..0x1E   Short-length: the value itself (the encoder uses it only below 30)
 *   0x1F         Length-quote, then a uintvar
 */

int WspBufWriteValueLength(WSP_BUFFER *buf, int32_t value)
{
    if (!buf || value < 0)
        return 0;
    if (value < 30) {
        uint8_t b = (uint8_t)value;
        return append(buf, &b, 1);
    }
    uint8_t q = 0x1F;
    int32_t before = buf->length;
    if (append(buf, &q, 1) && WspBufWriteUintvar(buf, value))
        return 1;
    buf->length = before;
    if (buf->data)
        buf->data[before] = 0;
    return 0;
}

int32_t WspBufReadValueLength(const WSP_BUFFER *buf, int32_t *pos)
{
    if (!buf || !pos || *pos < 0 || *pos >= buf->length)
        return -1;
    uint8_t b = buf->data[*pos];
    if (b < 31) {
        ++*pos;
        return b;
    }
    if (b > 31) {
        ++*pos;
        return 0;
    }
    int32_t p = *pos + 1;
    int32_t v = WspBufReadUintvar(buf, &p);
    if (v < 0)
        return -1;
    *pos = p;
    return v;
}

/* ---- Text-string ---- */

int WspBufWriteText(WSP_BUFFER *buf, const char *text)
{
    if (!buf || !text)
        return 0;
    size_t n = strlen(text);
    if (n > (size_t)INT32_MAX - 64)
        return 0;
    int32_t before = buf->length;
    uint8_t zero = 0;
    if ((n == 0 || append(buf, text, (int32_t)n)) && append(buf, &zero, 1))
        return 1;
    buf->length = before;
    if (buf->data)
        buf->data[before] = 0;
    return 0;
}

int WspBufReadText(const WSP_BUFFER *buf, int32_t *pos, char *out, int cchOut)
{
    if (!buf || !pos || !out || cchOut < 1 || *pos < 0)
        return 0;
    out[0] = 0;
    int32_t p = *pos;
    if (p < buf->length && buf->data[p] == 0x22)
        ++p;
    int n = 0;
    for (;;) {
        if (p >= buf->length) {
            out[0] = 0; /* no terminator inside the buffer */
            return 0;
        }
        uint8_t b = buf->data[p];
        if (b == 0 || b < 0x20 || b > 0x7E)
            break;
        if (n + 1 < cchOut) /* cut to fit; the rest is stepped over */
            out[n++] = (char)b;
        ++p;
    }
    out[n] = 0;
    if (buf->data[p] == 0)
        ++p;
    *pos = p;
    return 1;
}

/* ---- Long-integer ----
 *
 *   Short-length (1..4) | big-endian octets, as few as carry the value
 *   0 -> 01 00    0x80 -> 01 80    0x1234 -> 02 12 34    -1 -> 01 FF
 */

static int significant_octets(int32_t value)
{
    uint32_t v = (uint32_t)value;
    uint8_t sign = value < 0 ? 0xFF : 0x00;
    int n = 4;
    while (n > 1 && (uint8_t)(v >> ((n - 1) * 8)) == sign)
        --n;
    return n;
}

int WspBufWriteLongInteger(WSP_BUFFER *buf, int32_t value)
{
    if (!buf)
        return 0;
    int n = significant_octets(value);
    uint8_t tmp[5];
    tmp[0] = (uint8_t)n;
    for (int i = 0; i < n; ++i)
        tmp[1 + i] = (uint8_t)((uint32_t)value >> ((n - 1 - i) * 8));
    return append(buf, tmp, n + 1);
}

uint32_t WspBufReadLongInteger(const WSP_BUFFER *buf, int32_t *pos)
{
    if (!buf || !pos || *pos < 0 || *pos >= buf->length)
        return 0;
    int n = buf->data[*pos];
    if (n < 1 || n > 4 || n > buf->length - *pos - 1)
        return 0;
    uint32_t v = 0;
    for (int i = 0; i < n; ++i)
        v = (v << 8) | buf->data[*pos + 1 + i];
    *pos += n + 1;
    return v;
}

int WspIntegerLength(int32_t value)
{
    return value == 0 ? 1 : 1 + significant_octets(value);
}

int WspShortValue(int octet)
{
    return octet & 0x7F;
}
