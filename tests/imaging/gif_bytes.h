/*
 * The imaging tests' GIF helpers: the byte builders of gif_files.h, a scratch folder for the
 * files, a locked view of a frame bitmap and frame bitmaps made from pixel values.
 */
#pragma once
#include <gtest/gtest.h>
#include <stdlib.h>

#include "gif_files.h"
#include "picture_files.h"
#include "testkit.h"

namespace giftest {

/* The files in a folder (its folders left out). */
inline int FileCount(const testkit::TempDir &d) {
    int n = 0;
    WIN32_FIND_DATAA fd;
    HANDLE h = FindFirstFileA(d.file("*").c_str(), &fd);
    if (h == INVALID_HANDLE_VALUE)
        return 0;
    do
        n += (fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) ? 0 : 1;
    while (FindNextFileA(h, &fd));
    FindClose(h);
    return n;
}

/* A test with a scratch folder for its files. */
class GifFiles : public ::testing::Test {
protected:
    testkit::TempDir dir;
    std::string Write(const Bytes &b, const char *name = "in.gif") {
        std::string path = dir.file(name);
        EXPECT_TRUE(testkit::WriteFileBytes(path, b));
        return path;
    }
    Bytes Read(const std::string &path) { return testkit::ReadFileBytes(path); }
};

using Frame = testkit::DibView;

/* Create with the global table `t` (red, green, blue entries) and background 0. */
inline int CreateWith(CGifFile &gif, int w, int h, const Bytes &t) {
    GIFPALETTE pal{int32_t(t.size() / 3), const_cast<BYTE *>(t.data())};
    return gif.Create(w, h, 0, &pal);
}

/* The container's global table (empty without one). */
inline Bytes GlobalTable(const CGifFile &gif) {
    GIFPALETTE p;
    if (!gif.GetGlobalPalette(&p))
        return {};
    Bytes b(p.entries, p.entries + 3 * p.count);
    free(p.entries);
    return b;
}

/* A frame bitmap's palette indices, row by row from the top. */
inline std::vector<int> Pixels(HGLOBAL hDib) {
    Frame f(hDib);
    std::vector<int> px;
    for (int y = 0; f.p && y < f.bih()->biHeight; ++y)
        for (int x = 0; x < f.bih()->biWidth; ++x)
            px.push_back(f.pixel(x, y));
    return px;
}

/* A new DIB block of width x height at `bits` with `colours` palette entries (`rgb`, else
 * Table's) and the pixels given row by row from the top (at 24 bits as 0xRRGGBB). */
inline HGLOBAL MakeDib(int w, int h, int bits, int colours, const std::vector<int> &px, const Bytes &rgb = {}) {
    const size_t stride = testkit::DibStride(w, bits), head = 40 + 4 * size_t(colours);
    BYTE *p;
    HGLOBAL hDib = testkit::DibBlock(w, h, bits, colours, &p);
    RGBQUAD *q = reinterpret_cast<RGBQUAD *>(p + 40);
    const Bytes t = rgb.size() >= size_t(3 * colours) ? rgb : Table(colours);
    for (int i = 0; i < colours; ++i)
        q[i] = RGBQUAD{t[3 * i + 2], t[3 * i + 1], t[3 * i], 0};
    for (int y = 0; y < h && !px.empty(); ++y) {
        BYTE *row = p + head + size_t(h - 1 - y) * stride;
        for (int x = 0; x < w; ++x) {
            int v = px[size_t(y) * w + x];
            if (bits == 8)
                row[x] = BYTE(v);
            else if (bits == 4)
                row[x >> 1] |= BYTE(v << ((x & 1) ? 0 : 4));
            else if (bits == 1)
                row[x >> 3] |= BYTE((v & 1) << (7 - (x & 7)));
            else
                for (int k = 0; k < 3; ++k)
                    row[3 * x + k] = BYTE(v >> (8 * k));
        }
    }
    BaseMemUnlock(hDib);
    return hDib;
}

}  // namespace giftest
