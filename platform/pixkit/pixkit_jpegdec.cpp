/*
 * PixKit: sequential JPEG decoded at 1/2, 1/4 or 1/8 of its size.
 *
 * A camera photo is 12 megapixels and more; a picture for a message or a thumbnail needs a
 * small fraction of that.  Decoding at full size and then reducing spends most of its time
 * on pixels that are thrown away.  Here every 8 x 8 block becomes 4 x 4, 2 x 2 or 1 x 1
 * pixels directly: each output pixel is the mean of the full-size pixels it stands for,
 * computed from the block's coefficients (the inverse DCT averaged over the pixel's cells),
 * so only the entropy decoding is done at full cost.  A colour component sampled at half
 * the rate is reduced half as much (8 x 8, 4 x 4, 2 x 2), so it needs no upsampling.
 *
 * Covered: baseline and extended sequential Huffman (SOF0, SOF1), 8-bit samples, one
 * component (grey) or three (YCbCr, or RGB as an Adobe marker or the component ids say),
 * sampling factors 1 or 2, restart intervals, all components in the first scan.  Anything
 * else (progressive, arithmetic coding, 12-bit, CMYK, other sampling) answers "not covered"
 * and the caller decodes the file at full size.  Damage answers the same: the full decoder
 * then has the last word on what is damaged, so a file reads the same either way.
 *
 * File layout (ITU T.81 / JFIF):  FF D8, then segments FF xx length:u16be (length counts
 * itself), the entropy-coded data following SOS up to the next marker that is not FF 00
 * (stuffed FF) or a restart marker FF D0-D7.
 */
#include <math.h>
#include <stdlib.h>
#include <string.h>

#include <new>
#include <vector>

#include "pixkit_dib.h"

namespace pixkit {

namespace {

const uint8_t kZigzag[64] = {
    0,  1,  8,  16, 9,  2,  3,  10, 17, 24, 32, 25, 18, 11, 4,  5,  12, 19, 26, 33, 40, 48,
    41, 34, 27, 20, 13, 6,  7,  14, 21, 28, 35, 42, 49, 56, 57, 50, 43, 36, 29, 22, 15, 23,
    30, 37, 44, 51, 58, 59, 52, 45, 38, 31, 39, 46, 53, 60, 61, 54, 47, 55, 62, 63,
};

const int kFastBits = 9;
const double kPi = 3.14159265358979323846;

struct Huffman {
    bool present = false;
    // Codes up to kFastBits long, looked up by the next kFastBits bits: length (0 = longer
    // code) and symbol.
    uint8_t fastLen[1 << kFastBits];
    uint8_t fastSym[1 << kFastBits];
    // AC codes whose coefficient also fits the lookahead, with a value in -128..127:
    // value * 256 + run * 16 + bits taken; 0 for the others.
    int16_t fastAc[1 << kFastBits];
    // Longer codes: the largest code of each length (-1 none) and where its symbols start.
    int32_t maxCode[18];
    int32_t offset[17];
    uint8_t symbols[256];

    bool Build(const uint8_t counts[16], const uint8_t *syms, int total) {
        memset(fastLen, 0, sizeof fastLen);
        memcpy(symbols, syms, size_t(total));
        int code = 0, k = 0;
        for (int len = 1; len <= 16; ++len) {
            offset[len] = k - code;
            for (int i = 0; i < counts[len - 1]; ++i, ++k, ++code) {
                if (code >= (1 << len))
                    return false;  // more codes than the length can hold
                if (len <= kFastBits) {
                    int first = code << (kFastBits - len);
                    for (int j = 0; j < (1 << (kFastBits - len)); ++j) {
                        fastLen[first + j] = uint8_t(len);
                        fastSym[first + j] = syms[k];
                    }
                }
            }
            maxCode[len] = counts[len - 1] ? code - 1 : -1;
            code <<= 1;
        }
        maxCode[17] = 0x7FFFFFFF;
        for (int i = 0; i < (1 << kFastBits); ++i) {
            fastAc[i] = 0;
            const int len = fastLen[i], rs = fastSym[i], run = rs >> 4, size = rs & 15;
            if (!len || !size || len + size > kFastBits)
                continue;
            int v = (i >> (kFastBits - len - size)) & ((1 << size) - 1);
            if (v < (1 << (size - 1)))
                v -= (1 << size) - 1;
            if (v >= -128 && v <= 127)
                fastAc[i] = int16_t(v * 256 + run * 16 + len + size);
        }
        present = true;
        return true;
    }
};

/* Bits of the entropy-coded data, most significant first.  Stuffed FF 00 reads as FF; at a
 * marker (or the end) the data reads as zero bits from then on. */
struct BitReader {
    const BYTE *p = nullptr, *end = nullptr;
    uint64_t acc = 0;
    int count = 0;
    bool atMarker = false;

    void Refill() {
        while (count <= 56) {
            unsigned b = 0;
            if (!atMarker && p < end) {
                b = *p;
                if (b == 0xFF) {
                    if (p + 1 < end && p[1] == 0) {
                        p += 2;
                    } else {
                        atMarker = true;
                        b = 0;
                    }
                } else {
                    ++p;
                }
            }
            acc |= uint64_t(b) << (56 - count);
            count += 8;
        }
    }
    unsigned Peek(int n) {
        if (count < n)
            Refill();
        return unsigned(acc >> (64 - n));
    }
    void Skip(int n) {
        acc <<= n;
        count -= n;
    }
    /* n bits (n <= 16) as a signed value, JPEG's "extend". */
    int Receive(int n) {
        if (n == 0)
            return 0;
        unsigned v = Peek(n);
        Skip(n);
        return v < (1u << (n - 1)) ? int(v) - (1 << n) + 1 : int(v);
    }
    /* After a restart interval: the bits left are dropped and the RSTn marker passed. */
    bool Restart() {
        acc = 0;
        count = 0;
        if (!atMarker) {
            // The encoder pads the last byte; skip to the marker.
            while (p + 1 < end && !(p[0] == 0xFF && p[1] != 0))
                ++p;
        }
        atMarker = false;
        if (p + 1 < end && p[0] == 0xFF && p[1] >= 0xD0 && p[1] <= 0xD7) {
            p += 2;
            return true;
        }
        return false;
    }
};

/* -1 for a code that no table entry has. */
inline int DecodeSymbol(BitReader &br, const Huffman &h) {
    unsigned look = br.Peek(kFastBits);
    int len = h.fastLen[look];
    if (len) {
        br.Skip(len);
        return h.fastSym[look];
    }
    unsigned bits = br.Peek(16);
    for (len = kFastBits + 1; len <= 16; ++len) {
        int code = int(bits >> (16 - len));
        if (code <= h.maxCode[len]) {
            br.Skip(len);
            return h.symbols[h.offset[len] + code];
        }
    }
    return -1;
}

struct Component {
    int id = 0, h = 1, v = 1, tq = 0, td = 0, ta = 0;
    int pred = 0;
    // A block's samples across and down at this reduction: 8 / scale times the rate the
    // component is sampled below the full one.
    int nx = 1, ny = 1;
    // The block holding the last column (row) of the picture and, when it ends inside one
    // of that block's output cells, the matrix whose row for that cell averages only the
    // picture's own samples (an encoder pads the block out with copies of its edge).
    int edgeBx = -1, edgeBy = -1;
    float edgeX[8][8], edgeY[8][8];
    // Reduced samples of one MCU row: nx * h per MCU across, ny * v down.
    std::vector<uint8_t> row;
    size_t rowStride = 0;
};

struct Decoder {
    const BYTE *data;
    size_t size;
    int minW, minH;  // the smallest size wanted
    int scale = 1;   // 2, 4 or 8, chosen from the frame's size
    int n;      // output side of a full-rate block: 8 / scale

    uint16_t quant[4][64];
    bool quantPresent[4] = {false, false, false, false};
    Huffman dc[4], ac[4];
    int width = 0, height = 0, ncomp = 0;
    Component comp[3];
    int hmax = 1, vmax = 1;
    int restartInterval = 0;
    int adobeTransform = -1;
    bool jfif = false;
    bool sof = false;
    // The averaged inverse DCT for k outputs a side (k = 1, 2, 4, 8): m[k][i][u] = mean
    // over the i-th group of 8 / k sample positions x of C(u)/2 cos((2x+1)u pi/16).
    float m[9][8][8];

    void MakeMatrices() {
        for (int k = 1; k <= 8; k *= 2) {
            const int group = 8 / k;
            for (int i = 0; i < k; ++i)
                for (int u = 0; u < 8; ++u) {
                    double sum = 0;
                    for (int x = i * group; x < (i + 1) * group; ++x)
                        sum += cos((2 * x + 1) * u * kPi / 16);
                    double cu = u == 0 ? sqrt(0.5) : 1.0;
                    m[k][i][u] = float(cu / 2 * sum / group);
                }
        }
    }

    /* m[k] with the row of the cell that holds position valid-1 averaging positions below
     * `valid` only; true when that changes anything. */
    bool EdgeMatrix(int k, int valid, float out[8][8]) {
        memcpy(out, m[k], sizeof m[k]);
        const int group = 8 / k, i = (valid - 1) / group, last = (i + 1) * group;
        if (valid >= last)
            return false;
        for (int u = 0; u < 8; ++u) {
            double sum = 0;
            for (int x = i * group; x < valid; ++x)
                sum += cos((2 * x + 1) * u * kPi / 16);
            double cu = u == 0 ? sqrt(0.5) : 1.0;
            out[i][u] = float(cu / 2 * sum / (valid - i * group));
        }
        return true;
    }

    bool ReadTables(size_t at, size_t end, uint8_t marker) {
        if (marker == 0xDB) {  // DQT: (precision:4 table:4, 64 values) ...
            while (at < end) {
                int pq = data[at] >> 4, tq = data[at] & 15;
                size_t need = 1 + 64 * size_t(pq ? 2 : 1);
                if (pq > 1 || tq > 3 || end - at < need)
                    return false;
                for (int k = 0; k < 64; ++k)
                    quant[tq][kZigzag[k]] = pq ? uint16_t((data[at + 1 + 2 * k] << 8) | data[at + 2 + 2 * k])
                                               : data[at + 1 + k];
                quantPresent[tq] = true;
                at += need;
            }
            return true;
        }
        // DHT: (class:4 table:4, 16 counts, symbols) ...
        while (at < end) {
            if (end - at < 17)
                return false;
            int tc = data[at] >> 4, th = data[at] & 15;
            if (tc > 1 || th > 3)
                return false;
            uint8_t counts[16];
            int total = 0;
            for (int i = 0; i < 16; ++i)
                total += counts[i] = data[at + 1 + i];
            if (total > 256 || end - at - 17 < size_t(total))
                return false;
            Huffman &t = tc ? ac[th] : dc[th];
            if (!t.Build(counts, data + at + 17, total))
                return false;
            at += 17 + size_t(total);
        }
        return true;
    }

    bool ReadFrame(size_t at, size_t end) {
        if (end - at < 6)
            return false;
        if (data[at] != 8)
            return false;
        height = (data[at + 1] << 8) | data[at + 2];
        width = (data[at + 3] << 8) | data[at + 4];
        ncomp = data[at + 5];
        if (width == 0 || height == 0 || (ncomp != 1 && ncomp != 3) || end - at < 6 + 3 * size_t(ncomp))
            return false;
        for (int c = 0; c < ncomp; ++c) {
            const BYTE *d = data + at + 6 + 3 * c;
            comp[c].id = d[0];
            comp[c].h = d[1] >> 4;
            comp[c].v = d[1] & 15;
            comp[c].tq = d[2];
            if (comp[c].h < 1 || comp[c].h > 2 || comp[c].v < 1 || comp[c].v > 2 || comp[c].tq > 3)
                return false;  // 3 and 4 are allowed, and rare: left to the full decoder
        }
        if (ncomp == 1)
            comp[0].h = comp[0].v = 1;  // a lone component is coded block by block
        hmax = vmax = 1;
        for (int c = 0; c < ncomp; ++c) {
            hmax = comp[c].h > hmax ? comp[c].h : hmax;
            vmax = comp[c].v > vmax ? comp[c].v : vmax;
        }
        sof = true;
        return true;
    }

    /* One block's coefficients decoded and turned into c.nx x c.ny samples at out. */
    bool Block(BitReader &br, Component &c, int bx, int by, uint8_t *out, size_t stride) {
        const int nx = c.nx, ny = c.ny;
        // One output pixel for the whole block: its mean, unless the picture ends inside it.
        const bool meanOnly = nx == 1 && ny == 1 && bx != c.edgeBx && by != c.edgeBy;
        const Huffman &hd = dc[c.td], &ha = ac[c.ta];
        int t = DecodeSymbol(br, hd);
        if (t < 0 || t > 11)
            return false;
        // A valid DC value stays within +-2047; damaged data must not run the sum away.
        c.pred += br.Receive(t);
        c.pred = c.pred < -65536 ? -65536 : c.pred > 65536 ? 65536 : c.pred;
        const uint16_t *q = quant[c.tq];
        float coef[64];
        coef[0] = float(c.pred) * q[0];
        int rowsUsed = 1;  // bit r set: row r of the coefficients has a non-zero value
        bool onlyDc = true;
        for (int k = 1; k < 64;) {
            int v, fast = ha.fastAc[br.Peek(kFastBits)];
            if (fast) {
                // Code and coefficient in one lookup.
                br.Skip(fast & 15);
                k += (fast >> 4) & 15;
                v = fast >> 8;
            } else {
                int rs = DecodeSymbol(br, ha);
                if (rs < 0)
                    return false;
                int r = rs >> 4, s = rs & 15;
                if (s == 0) {
                    if (r != 15)
                        break;  // end of block
                    k += 16;
                    continue;
                }
                k += r;
                v = br.Receive(s);
            }
            if (k > 63)
                return false;
            if (meanOnly) {
                ++k;  // only the mean is wanted
                continue;
            }
            if (onlyDc) {
                onlyDc = false;
                memset(coef + 1, 0, 63 * sizeof(float));
            }
            int z = kZigzag[k++];
            coef[z] = float(v) * q[z];
            rowsUsed |= 1 << (z >> 3);
        }
        if (onlyDc) {
            int v = int(lrintf(coef[0] / 8 + 128));
            uint8_t b = uint8_t(v < 0 ? 0 : v > 255 ? 255 : v);
            for (int i = 0; i < ny; ++i)
                memset(out + size_t(i) * stride, b, size_t(nx));
            return true;
        }
        // Down first: t[i][col] = sum over used rows r of my[i][r] coef[r][col].
        const float(*my)[8] = by == c.edgeBy ? c.edgeY : m[ny];
        const float(*mx)[8] = bx == c.edgeBx ? c.edgeX : m[nx];
        float tmp[8][8];
        for (int i = 0; i < ny; ++i)
            for (int col = 0; col < 8; ++col) {
                float sum = 0;
                for (int r = 0; r < 8; ++r)
                    if (rowsUsed & (1 << r))
                        sum += my[i][r] * coef[r * 8 + col];
                tmp[i][col] = sum;
            }
        for (int i = 0; i < ny; ++i) {
            uint8_t *o = out + size_t(i) * stride;
            for (int j = 0; j < nx; ++j) {
                float sum = 128;
                for (int col = 0; col < 8; ++col)
                    sum += tmp[i][col] * mx[j][col];
                int v = int(lrintf(sum));
                o[j] = uint8_t(v < 0 ? 0 : v > 255 ? 255 : v);
            }
        }
        return true;
    }

    /* Rows y0 .. y0+rows-1 of the output from the components' MCU-row samples. */
    void Convert(BYTE *pixels, size_t dibStride, int outW, int outH, int y0, int rows) {
        // RGB when the ids say so, or an Adobe marker does and no JFIF marker says YCbCr.
        const bool rgb = ncomp == 3 && ((adobeTransform == 0 && !jfif) ||
                                        (comp[0].id == 'R' && comp[1].id == 'G' && comp[2].id == 'B'));
        for (int r = 0; r < rows && y0 + r < outH; ++r) {
            BYTE *dst = pixels + size_t(outH - 1 - (y0 + r)) * dibStride;
            if (ncomp == 1) {
                const uint8_t *s = comp[0].row.data() + size_t(r) * comp[0].rowStride;
                for (int x = 0; x < outW; ++x)
                    dst[3 * x] = dst[3 * x + 1] = dst[3 * x + 2] = s[x];
                continue;
            }
            // Every component was reduced to the output's own resolution.
            const uint8_t *s[3];
            for (int c = 0; c < 3; ++c)
                s[c] = comp[c].row.data() + size_t(r) * comp[c].rowStride;
            for (int x = 0; x < outW; ++x) {
                int a = s[0][x], b = s[1][x], cc = s[2][x];
                int R, G, B;
                if (rgb) {
                    R = a;
                    G = b;
                    B = cc;
                } else {
                    // JFIF: R = Y + 1.402 Cr', G = Y - 0.344136 Cb' - 0.714136 Cr', B = Y + 1.772 Cb'
                    int cb = b - 128, cr = cc - 128;
                    R = a + ((91881 * cr + 32768) >> 16);
                    G = a - ((22554 * cb + 46802 * cr - 32768) >> 16);
                    B = a + ((116130 * cb + 32768) >> 16);
                }
                dst[3 * x] = BYTE(B < 0 ? 0 : B > 255 ? 255 : B);
                dst[3 * x + 1] = BYTE(G < 0 ? 0 : G > 255 ? 255 : G);
                dst[3 * x + 2] = BYTE(R < 0 ? 0 : R > 255 ? 255 : R);
            }
        }
    }

    /* The scan whose header (Ns, Ns x (id, tables), Ss, Se, Ah:Al) is at `at` and takes
     * `len` - 2 octets, decoded into a new DIB. */
    HGLOBAL Scan(size_t at, size_t len) {
        int ns = data[at];
        if (ns != ncomp || len != 6 + 2 * size_t(ns))
            return 0;  // a component in a scan of its own: not covered
        for (int i = 0; i < ns; ++i) {
            int id = data[at + 1 + 2 * i], tables = data[at + 2 + 2 * i];
            Component *c = nullptr;
            for (int k = 0; k < ncomp; ++k)
                if (comp[k].id == id)
                    c = &comp[k];
            if (!c || c != &comp[i])
                return 0;
            c->td = tables >> 4;
            c->ta = tables & 15;
            if (c->td > 3 || c->ta > 3 || !dc[c->td].present || !ac[c->ta].present || !quantPresent[c->tq])
                return 0;
        }
        const BYTE *sp = data + at + 1 + 2 * ns;
        if (sp[0] != 0 || sp[1] != 63 || sp[2] != 0)
            return 0;  // spectral selection or approximation: not sequential
        const int mcuW = 8 * hmax, mcuH = 8 * vmax;
        const int mcusX = (width + mcuW - 1) / mcuW, mcusY = (height + mcuH - 1) / mcuH;
        const int outW = (width + scale - 1) / scale, outH = (height + scale - 1) / scale;
        if (size_t(outW) * size_t(outH) > kMaxPixelBytes / 4)
            return 0;
        for (int c = 0; c < ncomp; ++c) {
            Component &cp = comp[c];
            cp.nx = n * (hmax / cp.h);
            cp.ny = n * (vmax / cp.v);
            cp.rowStride = size_t(mcusX) * cp.h * cp.nx;
            cp.row.assign(cp.rowStride * cp.v * cp.ny, 0);
            cp.pred = 0;
            // The component's own extent: the picture's, at the rate it is sampled.
            const int cw = (width * cp.h + hmax - 1) / hmax, ch = (height * cp.v + vmax - 1) / vmax;
            cp.edgeBx = EdgeMatrix(cp.nx, (cw - 1) % 8 + 1, cp.edgeX) ? (cw - 1) / 8 : -1;
            cp.edgeBy = EdgeMatrix(cp.ny, (ch - 1) % 8 + 1, cp.edgeY) ? (ch - 1) / 8 : -1;
        }
        BYTE *base = nullptr;
        HGLOBAL hDib = NewDibBlock(outW, outH, 24, 0, &base);
        if (!hDib)
            return 0;
        BYTE *pixels = base + sizeof(BITMAPINFOHEADER);
        const size_t dibStride = Stride(outW, 24);
        BitReader br;
        br.p = data + at + 4 + 2 * ns;
        br.end = data + size;
        int sinceRestart = 0;
        bool ok = true;
        for (int my = 0; my < mcusY && ok; ++my) {
            for (int mx = 0; mx < mcusX && ok; ++mx) {
                if (restartInterval && sinceRestart == restartInterval) {
                    if (!br.Restart()) {
                        ok = false;
                        break;
                    }
                    for (int c = 0; c < ncomp; ++c)
                        comp[c].pred = 0;
                    sinceRestart = 0;
                }
                for (int c = 0; c < ncomp && ok; ++c) {
                    Component &cp = comp[c];
                    for (int by = 0; by < cp.v && ok; ++by)
                        for (int bx = 0; bx < cp.h && ok; ++bx) {
                            uint8_t *o = cp.row.data() + size_t(by) * cp.ny * cp.rowStride +
                                         (size_t(mx) * cp.h + bx) * cp.nx;
                            ok = Block(br, cp, mx * cp.h + bx, my * cp.v + by, o, cp.rowStride);
                        }
                }
                ++sinceRestart;
            }
            if (ok)
                Convert(pixels, dibStride, outW, outH, my * mcuH / scale, mcuH / scale);
        }
        BlockUnlock(hDib);
        if (!ok) {
            BlockFree(hDib);
            return 0;
        }
        return hDib;
    }

    HGLOBAL Run() {
        if (size < 4 || data[0] != 0xFF || data[1] != 0xD8)
            return 0;
        size_t at = 2;
        while (at + 4 <= size) {
            if (data[at] != 0xFF)
                return 0;
            uint8_t marker = data[at + 1];
            if (marker == 0xFF) {  // fill byte
                ++at;
                continue;
            }
            if (marker == 0xD9 || (marker >= 0xD0 && marker <= 0xD7) || marker == 0x01)
                return 0;  // the end, or a marker with no segment, before any scan
            size_t len = (size_t(data[at + 2]) << 8) | data[at + 3];
            if (len < 2 || at + 2 + len > size)
                return 0;
            size_t body = at + 4, end = at + 2 + len;
            switch (marker) {
            case 0xC0:
            case 0xC1:
                if (sof || !ReadFrame(body, end))
                    return 0;
                // The smallest reduction that still gives the size wanted; none: full size.
                for (scale = 8; scale >= 2; scale /= 2)
                    if ((width + scale - 1) / scale >= minW && (height + scale - 1) / scale >= minH)
                        break;
                if (scale < 2)
                    return 0;
                n = 8 / scale;
                MakeMatrices();
                break;
            case 0xDB:
            case 0xC4:
                if (!ReadTables(body, end, marker))
                    return 0;
                break;
            case 0xDD:
                if (len != 4)
                    return 0;
                restartInterval = (data[body] << 8) | data[body + 1];
                break;
            case 0xE0:  // JFIF: "JFIF" 00 ...
                if (len >= 7 && memcmp(data + body, "JFIF", 5) == 0)
                    jfif = true;
                break;
            case 0xEE:  // Adobe: "Adobe" version:u16 flags0:u16 flags1:u16 transform:u8
                if (len >= 14 && memcmp(data + body, "Adobe", 5) == 0)
                    adobeTransform = data[body + 11];
                break;
            case 0xDA:
                if (!sof || len < 6)
                    return 0;
                return Scan(body, len);
            default:
                if (marker >= 0xC2 && marker <= 0xCF)
                    return 0;  // progressive, lossless, arithmetic, hierarchical
                break;         // APPn, COM and the like
            }
            at = end;
        }
        return 0;
    }
};

}  // namespace

HGLOBAL DecodeJpegReduced(const BYTE *data, size_t size, int minW, int minH) {
    Decoder *d = new (std::nothrow) Decoder();
    if (!d)
        return 0;
    d->data = data;
    d->size = size;
    d->minW = minW;
    d->minH = minH;
    HGLOBAL h = d->Run();
    delete d;
    return h;
}

}  // namespace pixkit
