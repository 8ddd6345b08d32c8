/*
 * Helpers shared by the DIB operations; not a public interface.
 */
#pragma once
#include <windows.h>

#include <stddef.h>

namespace dibutil {

/* Largest pixel area of a bitmap we agree to build (bytes of rows). */
constexpr size_t kMaxPixelBytes = size_t(1) << 28;

size_t RowBytes(int width, int bits);  // (width * bits + 7) / 8
size_t Stride(int width, int bits);    // RowBytes raised to a multiple of 4

/* A locked, checked view of a DIB block: 40-byte header, depth 1/4/8/24, positive sizes, a
 * palette of at most 256 entries and a block that holds every row.  Unlocks on Close or
 * destruction. */
struct DibView {
    HGLOBAL handle = 0;
    BYTE *base = nullptr;
    BITMAPINFOHEADER *bih = nullptr;
    BYTE *pixels = nullptr;
    int width = 0, height = 0, bits = 0;
    size_t stride = 0, rowBytes = 0, headBytes = 0;

    DibView() = default;
    DibView(const DibView &) = delete;
    DibView &operator=(const DibView &) = delete;
    ~DibView() { Close(); }
    bool Open(HGLOBAL h);
    void Close();
};

/* A new block of `headBytes` copied from src (header and palette) with the given size; the
 * header's width, height and biSizeImage are set.  The block is returned locked, its address
 * in *ppBase; 0 on failure. */
HGLOBAL NewBlock(const BITMAPINFOHEADER *src, size_t headBytes, int width, int height, int bits, bool zero,
                 BYTE **ppBase);

/* Frees a block (unlocking it first when asked). */
void Release(HGLOBAL h, bool unlock);

}  // namespace dibutil
