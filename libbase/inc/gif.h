/*
 * The GIF container: a logical screen, a global colour table and an ordered list of frames,
 * each frame a packed bottom-up DIB memory block plus its frame information.
 *
 * A GIF87a/GIF89a file, as the reader walks it:
 *
 *   +--------+-------+--------+--------+------+---------+----------------------+
 *   | "GIF8?a" | w:u16 | h:u16 | packed | bg:u8 | aspect:u8 | global table 3*2^n |
 *   +--------+-------+--------+--------+------+---------+----------------------+
 *   then blocks until ';' (0x3B):
 *     '!' label sub-blocks... 0x00            extension (0xF9 graphic control)
 *     ',' l:u16 t:u16 w:u16 h:u16 packed [local table] codesize sub-blocks... 0x00
 *   a sub-block is a count byte (1..255) and that many bytes; count 0 ends the chain.
 *
 * Ownership: the container owns its screen, palette and frames; DIB blocks handed out by
 * GetFrameDib/GetFrame stay the container's.  Results follow the library's convention
 * (1/0, -1 for "none", null).
 */
#pragma once
#include <windows.h>

#include <stdint.h>

/* The logical screen descriptor. */
struct GIFSCREEN {
    WORD width;
    WORD height;
    int32_t hasGlobalTable;  // 1 when a global colour table exists
    WORD colourBits;         // (packed & 7) + 1, 0 without a table
    WORD colourCount;        // 1 << colourBits, 0 without a table
    BYTE background;         // background index, 0 without a global table
    BYTE packed;             // the descriptor's packed byte as read
    int32_t sortFlag;        // packed & 0x08
};

/* A colour table: count entries of red, green, blue (file order), on the C run-time heap. */
struct GIFPALETTE {
    int32_t count;
    BYTE *entries;
};

/* What the caller sees of one frame. */
struct GIFFRAMEINFO {
    int32_t left;
    int32_t top;
    WORD width;
    WORD height;
    int32_t hasLocalTable;
    WORD localBits;
    int32_t interlaced;
    int32_t delay;             // hundredths of a second
    int32_t hasTransparency;
    int32_t transparentIndex;
    int32_t disposal;
};

/* State of an LZW code stream, shared by the reader and the writer. */
struct LZWSTATE {
    int32_t position;  // byte index of the next unread byte, counted from the code-size byte
    BYTE blockLeft;    // bytes left in the current data sub-block
    WORD endCode;
    WORD codeMask;
    BYTE heldBits;     // unread bits kept from the last byte
    BYTE heldByte;
    BYTE codeSize;
    WORD width;
    WORD stride;
    int32_t rows;
};

/* One frame of the container.  Owns its DIB block. */
class CGifFrame {
public:
    /* Takes ownership of hDib; copies the info.  With a palette, writes it into the DIB
     * (biClrUsed = count, entry i = blue, green, red, 0). */
    CGifFrame(HGLOBAL hDib, const GIFFRAMEINFO *pInfo, const GIFPALETTE *pPalette);
    virtual ~CGifFrame();
    CGifFrame(const CGifFrame &) = delete;
    CGifFrame &operator=(const CGifFrame &) = delete;

    void GetInfo(GIFFRAMEINFO *pInfo) const;
    void SetInfo(const GIFFRAMEINFO *pInfo);
    /* Replaces the bitmap, freeing the previous block. */
    void SetDib(HGLOBAL hDib);

    CGifFrame *next;
    int32_t left;
    int32_t top;
    WORD width;
    WORD height;
    int32_t hasLocalTable;
    WORD localBits;
    int32_t interlaced;
    int32_t delay;
    int32_t hasTransparency;
    int32_t transparentIndex;
    int32_t disposal;
    HGLOBAL dib;
};

class CGifFile {
public:
    CGifFile();
    virtual ~CGifFile();
    CGifFile(const CGifFile &) = delete;
    CGifFile &operator=(const CGifFile &) = delete;

    /* Reads a GIF file.  Returns 1 once the header (and the global table, when declared) were
     * read and the file was copied into memory, even when a frame is damaged: the frames
     * decoded before the damage stay.  0 for a missing or short file or a bad signature.
     * NOTES: the signature is compared without regard to letter case. */
    int Load(const char *lpszFile);

    /* Empties the container and makes a screen of the size with a global table copied from
     * pPalette (or empty). */
    int Create(int nWidth, int nHeight, int nBackground, const GIFPALETTE *pPalette);
    void Clear();

    void GetScreenSize(int *pWidth, int *pHeight) const;
    void GetScreen(GIFSCREEN *pScreen) const;  // every field but packed
    void SetScreen(const GIFSCREEN *pScreen);  // every field but packed
    int GetFrameCount() const;

    HGLOBAL GetFrameDib(int nIndex) const;
    HGLOBAL GetFrame(int nIndex, GIFFRAMEINFO *pInfo) const;
    int GetFrameInfo(int nIndex, GIFFRAMEINFO *pInfo) const;
    int SetFrameInfo(int nIndex, const GIFFRAMEINFO *pInfo);
    int GetFrameRect(int nIndex, int *pLeft, int *pTop, int *pWidth, int *pHeight) const;

    /* Links a new frame owning hDib at nIndex (out of range: appended).  Returns the index,
     * or -1 (the block is then not taken). */
    int AddDecodedFrame(HGLOBAL hDib, const GIFFRAMEINFO *pInfo, int nIndex);
    int RemoveFrame(int nIndex);

    /* Play time in milliseconds: 2000 for a single frame, else 10 x the sum of the delays
     * (a delay of 0 counts as 10). */
    int GetDuration() const;
    /* Colour of frame i's transparent index (red + green*256 + blue*65536), or -1. */
    int32_t GetTransparentColor(int nIndex) const;
    /* Copies frame i's whole DIB into hDest (which must be large enough); bytes copied or 0. */
    DWORD CopyFrameDib(int nIndex, HGLOBAL hDest) const;
    /* A new palette from frame i's local table (entries: free(); record: delete), or null. */
    GIFPALETTE *GetLocalPalette(int nIndex) const;
    int GetGlobalPalette(GIFPALETTE *pPalette) const;
    /* First global entry of exactly that colour, else 0. */
    int FindGlobalColor(int32_t nColor) const;
    /* First palette entry of hDib with exactly that colour, or -1. */
    static int FindPaletteIndex(HGLOBAL hDib, int32_t nColor);

    CGifFrame *FrameAt(int nIndex) const;

protected:
    CGifFrame *m_pFrames;
    GIFPALETTE *m_pPalette;
    GIFSCREEN *m_pScreen;
    int32_t m_nFileSize;

private:
    void ParseFrames(const BYTE *data, size_t size, size_t offset);
};

/* 1 and the screen size when the file starts with a GIF signature, else 0.
 * NOTES: a null szGifFile is reported through the assertion report. */
int GetGifSize(const char *szGifFile, WORD *pWidth, WORD *pHeight);
/* Duration of the file in milliseconds (0 when it does not load), -1 for a null path. */
int GetGifDuration(const char *lpszFile);
/* A new 24-bit DIB of frame 0 fitted into 320 x 320 (caller frees with BaseMemFree), or 0. */
HGLOBAL LoadGifThumbnail(const char *lpszFile);
