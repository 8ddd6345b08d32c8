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
 * The writer (Save) always writes GIF89a, and before every image the looping application
 * extension and a graphic control extension:
 *
 *   '!' 0xFF 0x0B "NETSCAPE2.0" 0x03 0x01 0x00 0x00 0x00      19 bytes, loop count 0: endless
 *   '!' 0xF9 0x04 packed delay:u16 transparent 0x00            8 bytes,
 *                                   packed = disposal << 2 | (transparency ? 1 : 0)
 *
 * Ownership: the container owns its screen, palette and frames; DIB blocks handed out by
 * GetFrameDib/GetFrame stay the container's.  Results follow the library's convention
 * (1/0, -1 for "none", null); the writer and the colour reduction have codes of their own.
 */
#pragma once
#include <windows.h>

#include <stdint.h>

typedef struct FIO_FILE FIO_FILE;

/* Progress of long work on a container (saving, resizing, cropping): called after each step
 * with the steps done and their total. */
typedef void (*GIFPROGRESSPROC)(void *pContext, int nDone, int nTotal);

/* Results of WriteFrame. */
#define GIF_WRITE_OK 0
#define GIF_WRITE_BAD_INPUT (-1)  // no bitmap, a bitmap that cannot be locked, deeper than 8
                                  // bits or not matching its colour table, bad pixels
#define GIF_WRITE_FAILED (-3)     // a write failed (GetLastError() tells why)

/* Results of ReduceToPalette besides a new block (or the source itself, when 8-bit). */
#define GIF_REDUCE_BAD_DEPTH ((HGLOBAL)(INT_PTR)-2)  // neither 24 nor 8 bits per pixel
#define GIF_REDUCE_NO_BLOCK ((HGLOBAL)(INT_PTR)-3)   // a block cannot be locked or allocated
                                                     // (0: a histogram plane or line buffer)
inline bool IsReduceFailure(HGLOBAL h) {
    return h == 0 || h == GIF_REDUCE_BAD_DEPTH || h == GIF_REDUCE_NO_BLOCK;
}

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

/* ---- A file's budget ---------------------------------------------------------------------
 *
 * The reader holds every frame at the size its descriptor declares, and a descriptor costs ten
 * bytes: what a file may declare is weighed against what it holds before any pixel is
 * allocated.  From the block structure alone (no decoding):
 *  - at most GIF_MAX_FRAMES frames: each costs its record and a bitmap header with up to 256
 *    palette entries (about 1 KB) whatever its size, and saving or fitting walks every one;
 *    10 000 frames are some 10 MB of headers, and minutes of animation at any usual delay.
 *  - at most GIF_MAX_FILE_PIXELS in the sum of the frames' areas: every frame is held at once,
 *    a byte a pixel at most, so this is the memory a file may take: 256 MB, what one bitmap
 *    may take.
 *  - each frame's area within what its image data can fill (gifcodec::LzwCanFill: 4096 pixels
 *    a byte of LZW data): a frame declaring more is not accepted, and the file is read as
 *    damaged there (the frames before it stay).  A frame whose data ends before its area is
 *    full, but could have filled it, is kept with the rest at index 0.
 * A file over the first two is refused whole: Load returns 0 with GetLastError() set to
 * GIF_ERROR_TOO_MANY_FRAMES or GIF_ERROR_TOO_MANY_PIXELS; ScanGif tells the numbers. */
#define GIF_MAX_FRAMES 10000
#define GIF_MAX_FILE_PIXELS (uint64_t(1) << 28)
#define GIF_ERROR_TOO_MANY_FRAMES 0x20000401L  // the file declares more than GIF_MAX_FRAMES frames
#define GIF_ERROR_TOO_MANY_PIXELS 0x20000402L  // its frames' areas add up to more than GIF_MAX_FILE_PIXELS
#define GIF_ERROR_FRAME_UNFILLED 0x20000403L   // a frame declares more pixels than its data can fill

/* What a GIF file declares, read from its block structure without decoding. */
struct GIFSCAN {
    int32_t frames;            // frames Load keeps: up to the first damaged or unfillable one
    uint64_t pixels;           // the sum of their areas
    int32_t declaredFrames;    // image descriptors the structure holds
    uint64_t declaredPixels;   // the sum of their areas
    uint64_t fileBytes;
    int32_t unfilledFrame;     // the first frame whose data cannot fill its area, -1 none
    uint64_t unfilledPixels;   // its area
    uint64_t unfilledBytes;    // and its bytes of image data
    DWORD verdict;             // 0, GIF_ERROR_TOO_MANY_FRAMES, GIF_ERROR_TOO_MANY_PIXELS or
                               // GIF_ERROR_FRAME_UNFILLED (the file is read up to that frame)
};

/* Scans a GIF file's blocks into *pScan.  Returns 1 (the verdict says whether it is within its
 * budget), or 0 when the file cannot be read or is no GIF (GetLastError() tells why). */
int ScanGif(const char *lpszFile, GIFSCAN *pScan);
/* The same over a file in memory. */
int ScanGifData(const BYTE *pData, size_t cbData, GIFSCAN *pScan);
/* Why a scan's verdict refuses the file (or a frame of it), in words, e.g. "declares 13 billion
 * pixels in 1 170 bytes" or "frame 3 declares 16 million pixels in 23 bytes of image data";
 * an empty text for verdict 0.  Returns the length written (cut to cchReason - 1). */
int DescribeGifScan(const GIFSCAN *pScan, char *pszReason, int cchReason);

class CGifFile;

/* Reworks a frame as the reader decodes it (CGifFile::LoadFiltered): returns the bitmap to
 * keep in its place (hDib itself, or a new block after freeing hDib), or 0 after freeing hDib
 * to leave the frame out; may change *pInfo.  nIndex counts the file's frames from 0. */
typedef HGLOBAL (*GIFFRAMEFILTER)(void *pContext, CGifFile *pGif, int nIndex, HGLOBAL hDib, GIFFRAMEINFO *pInfo);

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

/* A median-cut box over the colour histogram: levels lo..hi-1 on each axis (red, green,
 * blue), the number of pixels inside, and its state. */
struct MEDIANCUTBOX {
    BYTE lo[3];
    BYTE hi[3];
    BYTE state;   // MEDIANCUT_SPLITTABLE, MEDIANCUT_FINAL or MEDIANCUT_ASSIGNED
    DWORD count;
};
enum { MEDIANCUT_SPLITTABLE = 0, MEDIANCUT_FINAL = 1, MEDIANCUT_ASSIGNED = 2 };
#define MEDIANCUT_MAX_BOXES 256
#define MEDIANCUT_NO_SPLIT 10000  // added to SplitBox's count when no box can be split

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
     * decoded before the damage stay.  0 for a missing or short file, a bad signature or a
     * file over its budget (above: GetLastError() tells which, and no frame is allocated).
     * NOTES: the signature is compared without regard to letter case. */
    int Load(const char *lpszFile);
    /* Load, with each frame handed to pfnFilter as soon as it is decoded: only one full frame
     * is held at a time before the filter reworks it. */
    int LoadFiltered(const char *lpszFile, GIFFRAMEFILTER pfnFilter, void *pContext);

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

    /* Writes the container as a GIF89a file (below).  Returns 1 when every frame and the
     * trailer were written, else 0 with GetLastError() telling why.
     * NOTES: the file is written beside lpszFile under a temporary name and renamed over it
     * only when complete: a failure leaves lpszFile as it was.  A container without frames
     * gives the header, the global table and the trailer (one never loaded or created: the
     * trailer alone). */
    int Save(const char *lpszFile);

    /* Replaces frame i's bitmap and info.  A 24-bit bitmap is first reduced to 256 colours
     * (error diffusion), which the frame then carries as its local table.  Returns 1 (the
     * container owns hDib, or the reduced copy, and the old bitmap is freed), or 0 for a null
     * block or info, an index outside 0..count-1 or a failed reduction (hDib stays the
     * caller's). */
    int SetFrame(HGLOBAL hDib, const GIFFRAMEINFO *pInfo, int nIndex, int nReserved = -1);

    /* Inserts a bitmap as a new frame at nIndex (out of range: appended).  The bitmap is fitted
     * into pInfo's width x height (FitFrameDib; pInfo's size is updated to the result) and,
     * without a local table, mapped onto the global table, which takes up colours of the
     * frame that are not near one of its used entries.  A container without a global table
     * gets the frame's palette as one.  pPalette, when given, becomes the bitmap's palette.
     * Returns the index, or -1 (hDib then stays the caller's). */
    int InsertFrame(HGLOBAL hDib, GIFFRAMEINFO *pInfo, int nIndex, const GIFPALETTE *pPalette);

    /* Global entries in use: the count without trailing entries equal to their predecessor;
     * -1 without a global table. */
    int CountGlobalColors() const;
    /* Appends to the global table, at nStart onwards, the colours of pPalette that lie farther
     * than 10 from every entry below nStart, while room lasts.  1, or 0 when nStart lies
     * beyond the table or pPalette is null. */
    int MergeGlobalColors(int nStart, const RGBQUAD *pPalette, int nCount);

    /* Progress reports of Load (after each frame: the bytes of the file read so far, of its
     * size) and of Save (one step per frame written). */
    void SetProgress(GIFPROGRESSPROC proc, void *pContext);

    friend int WriteFrame(CGifFile *pGif, FIO_FILE *pFile, HGLOBAL hDib, const GIFFRAMEINFO *pInfo, int bFirst);

protected:
    CGifFrame *m_pFrames;
    GIFPALETTE *m_pPalette;
    GIFSCREEN *m_pScreen;
    int32_t m_nFileSize;
    GIFPROGRESSPROC m_pfnProgress;
    void *m_pProgressContext;
    GIFFRAMEFILTER m_pfnFilter;  // set while LoadFiltered reads
    void *m_pFilterContext;

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

/* ---- Writing ---------------------------------------------------------------------------- */

/* Writes one frame to an open stream: for the first frame the header and global table, then
 * the looping block, the graphic control block, the image descriptor, the local table and the
 * image data.  Returns GIF_WRITE_OK, GIF_WRITE_BAD_INPUT or GIF_WRITE_FAILED. */
int WriteFrame(CGifFile *pGif, FIO_FILE *pFile, HGLOBAL hDib, const GIFFRAMEINFO *pInfo, int bFirst);

/* LZW-encodes bottom-up pixel rows (pPixels: the first stored row; nBits 1, 4 or 8) as one
 * image's sub-block chain, terminator included, for nColourBits (1 raised to 2).  pState gives
 * width, stride and rows, and receives the end code.  Returns 1, 0 when a write failed or
 * memory was short, -1 for a pixel the code size cannot carry or bad arguments. */
int EncodeLzw(FIO_FILE *pFile, const BYTE *pPixels, int nBits, int nColourBits, LZWSTATE *pState, int bInterlaced);

/* Packs one code of pState->codeSize bits after the bits held in pState into the shared
 * packet buffer, writing each full sub-block of 255 bytes; the end code (pState->endCode) also
 * writes the rest and the block terminator.  Returns 1, or 0 when a write failed (the packing
 * goes on).
 * NOTES: the packet buffer is shared by the process: one code stream at a time. */
int WriteCode(int nCode, LZWSTATE *pState, FIO_FILE *pFile);

/* ---- Colour reduction ------------------------------------------------------------------- */

/* Reduces a 24-bit bitmap to a new 8-bit one of 256 colours (255 with bReserve) by median cut.
 * nMode 1: no dithering; 3: ordered dithering; others (2): error diffusion; plus 99 (100, 101,
 * 102): a 6-bit histogram instead of 5 bits.  With GIF_REDUCE_REFINE or'ed in, the median-cut
 * palette is then refined by Lloyd's iteration over a 6-bit histogram and every pixel takes
 * its nearest palette colour (slower, closer to the original).  Returns the new block (the source stays the
 * caller's), the source itself when it is 8-bit, GIF_REDUCE_BAD_DEPTH for other depths,
 * GIF_REDUCE_NO_BLOCK when a block cannot be locked or allocated, 0 when a histogram plane or
 * line buffer cannot be allocated. */
HGLOBAL ReduceToPalette(HGLOBAL hDib, int nMode, int bReserve);
#define GIF_REDUCE_REFINE 0x10000

/* Median cut over ppPlanes (one plane per red level of (1 << nLevelBits)^2 counters indexed by
 * green << nLevelBits | blue): fills pRed/pGreen/pBlue and the palette after pHeader, sets
 * biClrUsed to the colours made (unused entries up to 255 take one grey), and turns the planes
 * into the inverse colour map (each counter's low byte: the palette index of its cell). */
void BuildMedianCutPalette(DWORD **ppPlanes, BITMAPINFOHEADER *pHeader, BYTE *pRed, BYTE *pGreen, BYTE *pBlue,
                           int nPlanes, int nShift, int nLevelBits, int nColours);
/* Splits the splittable box of largest (widths - 3) x count at the median of its widest axis.
 * Returns the new box count, or the count + MEDIANCUT_NO_SPLIT when no box can be split.
 * pBoxes must have room for nCount + 1 boxes. */
int SplitBox(MEDIANCUTBOX *pBoxes, int nCount, DWORD **ppPlanes, int nLevelBits);
/* Gives palette index i to the i-th box by count (its median cell's colour) and writes i into
 * the box's histogram cells. */
void AssignBoxColors(MEDIANCUTBOX *pBoxes, int nCount, BYTE *pRed, BYTE *pGreen, BYTE *pBlue, DWORD **ppPlanes,
                     int nShift, int nLevelBits);

/* Fits a bitmap into a frame box keeping its proportions (exactly the box size: unscaled) and
 * reduces a true-colour result to 256 colours.  Returns the new 8-bit block, or 0 when the
 * bitmap can be used as it is (or a step failed). */
HGLOBAL FitFrameDib(HGLOBAL hDib, int nBoxWidth, int nBoxHeight);

/* ---- Whole animations ------------------------------------------------------------------- */

/* Shrinks an animation so that its logical screen fits nBoxWidth x nBoxHeight and writes it to
 * lpszDest.  Returns 1 when written, 0 when it already fits, an argument is bad, the source
 * does not load, a frame has no bitmap or the writing failed (GetLastError() tells why).
 * NOTES: lpszDest may name the source: the source is read whole before anything is written,
 * and the destination is replaced only by a complete file. */
int ResizeGif(const char *lpszSrc, int nBoxWidth, int nBoxHeight, const char *lpszDest);
int ResizeGifEx(const char *lpszSrc, int nBoxWidth, int nBoxHeight, const char *lpszDest, GIFPROGRESSPROC proc,
                void *pContext);

/* Cuts the rectangle (x, y from the screen's top-left) out of an animation and writes it to
 * lpszDest; frames outside the rectangle are dropped.  Returns 1 when written, 0 when the
 * rectangle is larger than the screen in a direction or equals it, starts off the screen (x or
 * y negative, or not below the screen's width or height), an argument is bad, the
 * source does not load, a frame has no bitmap or the writing failed.
 * NOTES: as ResizeGif, lpszDest may name the source. */
int CropGif(const char *lpszSrc, int x, int y, int nWidth, int nHeight, const char *lpszDest);
int CropGifEx(const char *lpszSrc, int x, int y, int nWidth, int nHeight, const char *lpszDest,
              GIFPROGRESSPROC proc, void *pContext);

/* Rewrites an animation with at most nColours (2 to 256) colours in each colour table, every
 * frame kept with its rectangle, delay, disposal and transparency, and writes it to lpszDest.
 * Each table is cut by weighted median cut over the colours its frames use; a transparent
 * index keeps an entry of its own.  Returns 1 when written, 0 for a bad argument, a source
 * that does not load, frames that use a global table the file lacks, more transparent indices
 * than nColours leaves room for, or a failed write (GetLastError() tells why).
 * NOTES: as ResizeGif, lpszDest may name the source. */
int ReduceGifColours(const char *lpszSrc, int nColours, const char *lpszDest);
/* The same; dwFlags 0 or GIF_REDUCE_REFINE: the median cut's entries refined by Lloyd's
 * iteration and each old entry mapped to its nearest new one, when that is closer to the
 * original (pixel-weighted squared error). */
int ReduceGifColoursEx(const char *lpszSrc, int nColours, const char *lpszDest, DWORD dwFlags);
