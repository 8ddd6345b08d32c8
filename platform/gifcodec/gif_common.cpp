/*
 * Rules the GIF reader and writer share: the signature, the interlace order, the depth of a
 * frame bitmap and the walk of a sub-block chain.
 */
#include <ctype.h>

#include "gifcodec.h"

namespace gifcodec {

const InterlacePass kInterlacePasses[4] = {{0, 8}, {4, 8}, {2, 4}, {1, 2}};

int InterlacedRow(int k, int height) {
    for (const InterlacePass &pass : kInterlacePasses) {
        int rows = height > pass.start ? (height - pass.start + pass.step - 1) / pass.step : 0;
        if (k < rows)
            return pass.start + k * pass.step;
        k -= rows;
    }
    return -1;
}

int DibBitsForColourBits(int colourBits) {
    if (colourBits < 2)
        return 1;
    if (colourBits <= 4)
        return 4;
    return 8;
}

bool IsGifSignature(const uint8_t *sig) {
    static const char *const kSignatures[] = {"GIF89a", "GIF87a"};
    for (const char *s : kSignatures) {
        int i = 0;
        while (i < 6 && toupper(sig[i]) == toupper(static_cast<unsigned char>(s[i])))
            ++i;
        if (i == 6)
            return true;
    }
    return false;
}

uint64_t ChainDataBytes(const uint8_t *data, size_t size, size_t start, size_t *pEnd, bool *pTerminated) {
    uint64_t bytes = 0;
    size_t off = start;
    bool terminated = false;
    while (off < size) {
        size_t n = data[off];
        if (n == 0) {
            terminated = true;
            ++off;
            break;
        }
        size_t left = size - off - 1;
        bytes += n < left ? n : left;
        off += n + 1;
    }
    if (off > size)
        off = size;
    if (pEnd)
        *pEnd = off;
    if (pTerminated)
        *pTerminated = terminated;
    return bytes;
}

}  // namespace gifcodec
