/*
 * Whole animations rewritten: shrunk into a box, or cut to a rectangle of the screen.
 *
 * Both read the source whole into a container (the file is closed before anything is
 * written), rework every frame's palette bitmap in place of the old one, and save the result,
 * which replaces the destination only once complete.  So the destination may be the source.
 * Frames keep their palettes, depths, delays, disposal and transparency; only their bitmaps,
 * positions and sizes, and the screen size, change.  A frame with a transparent index is
 * placed on a screen-sized canvas of that index, resized, and trimmed of what is left of the
 * canvas; an opaque frame is resized the same way and then cut to exactly the pixels sampled
 * from it, so that no canvas paints over the frames below it.  A bitmap step that fails degrades:
 * a missing canvas is replaced by a copy of the frame, a missing resize or trim keeps the
 * bitmap before it, a failed crop drops the frame.
 */
#include <math.h>

#include "basemem.h"
#include "dib.h"
#include "gif_private.h"
#include "pixkit.h"

namespace {

/* Loads the source and checks that every frame has a bitmap; false (and last error set) when
 * the source cannot be used. */
bool LoadWhole(CGifFile &gif, const char *lpszSrc) {
    if (!gif.Load(lpszSrc)) {
        if (GetLastError() == ERROR_SUCCESS)
            SetLastError(ERROR_INVALID_DATA);
        return false;
    }
    for (int i = 0; i < gif.GetFrameCount(); ++i)
        if (!gif.GetFrameDib(i)) {
            SetLastError(ERROR_INVALID_DATA);
            return false;
        }
    return true;
}

/* The part of a frame that lies on the screen, placed on a screen-sized canvas of `fill`.
 * *pCovers is set when the frame covers the whole screen (nothing to place it on). */
HGLOBAL FrameCanvas(HGLOBAL hFrame, const GIFFRAMEINFO &info, int W, int H, int fill, bool *pCovers) {
    *pCovers = false;
    int w = 0, h = 0;
    PxDibGetSize(hFrame, &w, &h);
    int left = info.left, top = info.top;
    HGLOBAL hPart = 0;
    if (left + w > W || top + h > H) {
        // A frame that reaches past the screen: only its visible part counts.
        int vw = (left + w > W ? W : left + w) - left;
        int vh = (top + h > H ? H : top + h) - top;
        if (vw > 0 && vh > 0)
            hPart = CropDib(hFrame, 0, 0, vw, vh);
        if (hPart) {
            hFrame = hPart;
            w = vw;
            h = vh;
        }
    }
    HGLOBAL hCanvas = PlaceDibOnCanvas(hFrame, left, top, W, H, fill);
    if (!hCanvas) {
        hCanvas = PxDibDuplicate(hFrame);
        *pCovers = true;
    }
    if (hPart)
        BaseMemFree(hPart);
    return hCanvas;
}

/* The target indices [*pFirst, *pFirst + *pCount) whose nearest-neighbour source index (as
 * ResizeDibNearest maps srcSize onto dstSize) falls in [lo, hi).  A span that no target index
 * samples still gets the one index nearest its start. */
void MappedSpan(int srcSize, int dstSize, int lo, int hi, int *pFirst, int *pCount) {
    int first = -1, last = -1, nearest = dstSize - 1;
    double step = double(srcSize) / dstSize, acc = 0;
    for (int i = 0; i < dstSize; ++i, acc += step) {
        int c = int(acc + 0.5);
        if (c > srcSize - 1)
            c = srcSize - 1;
        if (c >= lo && c < hi) {
            if (first < 0)
                first = i;
            last = i;
        } else if (c >= hi && nearest == dstSize - 1 && first < 0) {
            nearest = i;
        }
    }
    if (first < 0) {
        *pFirst = nearest;
        *pCount = 1;
    } else {
        *pFirst = first;
        *pCount = last - first + 1;
    }
}

struct ProgressSteps {
    GIFPROGRESSPROC proc;
    void *context;
    int frames;
};

/* Save reports after the rework steps: the first `frames` steps are the rework. */
void SaveProgress(void *pContext, int nDone, int nTotal) {
    (void)nTotal;
    const ProgressSteps *s = static_cast<const ProgressSteps *>(pContext);
    s->proc(s->context, s->frames + nDone, s->frames + nTotal);
}

int SaveWithProgress(CGifFile &gif, const char *lpszDest, ProgressSteps &steps) {
    if (steps.proc)
        gif.SetProgress(SaveProgress, &steps);
    return gif.Save(lpszDest);
}

}  // namespace

int ResizeGifEx(const char *lpszSrc, int nBoxWidth, int nBoxHeight, const char *lpszDest, GIFPROGRESSPROC proc,
                void *pContext) {
    if (!lpszSrc || !lpszDest || nBoxWidth < 1 || nBoxHeight < 1) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    CGifFile gif;
    if (!LoadWhole(gif, lpszSrc))
        return 0;
    int W = 0, H = 0;
    gif.GetScreenSize(&W, &H);
    if (W <= nBoxWidth && H <= nBoxHeight) {
        SetLastError(ERROR_SUCCESS);
        return 0;
    }
    double ratio = double(W) / nBoxWidth;
    if (double(H) / nBoxHeight > ratio)
        ratio = double(H) / nBoxHeight;
    int newW = int(ceil(W / ratio - 0.4));
    int newH = int(ceil(H / ratio));
    // W / ratio is the box side itself on the limiting side: rounding must not push past it.
    if (newW > nBoxWidth)
        newW = nBoxWidth;
    if (newH > nBoxHeight)
        newH = nBoxHeight;
    if (newW < 1)
        newW = 1;
    if (newH < 1)
        newH = 1;

    ProgressSteps steps{proc, pContext, gif.GetFrameCount()};
    const int count = gif.GetFrameCount();
    for (int i = 0; i < count; ++i) {
        GIFFRAMEINFO info;
        HGLOBAL hFrame = gif.GetFrame(i, &info);
        const int t = info.transparentIndex;
        bool covers;
        HGLOBAL hBitmap = FrameCanvas(hFrame, info, W, H, t, &covers);
        if (!hBitmap) {
            // Not even a copy of the frame could be made: memory is short.
            SetLastError(ERROR_NOT_ENOUGH_MEMORY);
            return 0;
        }
        {
            HGLOBAL hScaled = ResizeDibNearest(hBitmap, newW, newH, t);
            if (hScaled) {
                BaseMemFree(hBitmap);
                hBitmap = hScaled;
            }
            if (i == 0) {
                GIFSCREEN screen = {};
                gif.GetScreen(&screen);
                int sw = 0, sh = 0;
                PxDibGetSize(hBitmap, &sw, &sh);
                screen.width = WORD(sw);
                screen.height = WORD(sh);
                gif.SetScreen(&screen);
            }
            int left = 0, top = 0, right = 0, bottom = 0;
            if (!covers && info.hasTransparency) {
                // What lies around the frame is transparent: trim it away.
                HGLOBAL hTrim = TrimDib(hBitmap, &left, &top, &right, &bottom, t);
                if (hTrim) {
                    BaseMemFree(hBitmap);
                    hBitmap = hTrim;
                } else {
                    left = top = 0;
                }
            } else if (!covers) {
                // An opaque frame: the canvas around it would paint over the frames below,
                // so keep exactly the pixels sampled from the frame itself.
                int fw = 0, fh = 0, sw = 0, sh = 0;
                PxDibGetSize(hFrame, &fw, &fh);
                PxDibGetSize(hBitmap, &sw, &sh);
                int x0, cw, s0, ch;
                MappedSpan(W, sw, info.left, info.left + fw, &x0, &cw);
                MappedSpan(H, sh, H - info.top - fh, H - info.top, &s0, &ch);  // stored rows
                int y0 = sh - s0 - ch;
                HGLOBAL hPart = CropDib(hBitmap, x0, y0, cw, ch);
                if (hPart) {
                    BaseMemFree(hBitmap);
                    hBitmap = hPart;
                    left = x0;
                    top = y0;
                }
            }
            int fw = 0, fh = 0;
            PxDibGetSize(hBitmap, &fw, &fh);
            info.left = left;
            info.top = top;
            info.width = WORD(fw);
            info.height = WORD(fh);
            if (!gif.SetFrame(hBitmap, &info, i))
                BaseMemFree(hBitmap);
        }
        if (proc)
            proc(pContext, i + 1, 2 * count);
    }
    return SaveWithProgress(gif, lpszDest, steps);
}

int ResizeGif(const char *lpszSrc, int nBoxWidth, int nBoxHeight, const char *lpszDest) {
    return ResizeGifEx(lpszSrc, nBoxWidth, nBoxHeight, lpszDest, nullptr, nullptr);
}

int CropGifEx(const char *lpszSrc, int x, int y, int nWidth, int nHeight, const char *lpszDest,
              GIFPROGRESSPROC proc, void *pContext) {
    if (!lpszSrc || !lpszDest || nWidth < 1 || nHeight < 1) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    CGifFile gif;
    if (!LoadWhole(gif, lpszSrc))
        return 0;
    int W = 0, H = 0;
    gif.GetScreenSize(&W, &H);
    if (nWidth > W || nHeight > H || (nWidth == W && nHeight == H)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    GIFSCREEN screen = {};
    gif.GetScreen(&screen);
    screen.width = WORD(nWidth);
    screen.height = WORD(nHeight);
    gif.SetScreen(&screen);

    const int total = gif.GetFrameCount();
    int visited = 0;
    for (int i = 0; i < gif.GetFrameCount();) {
        GIFFRAMEINFO info;
        HGLOBAL hFrame = gif.GetFrame(i, &info);
        const int l = info.left, t = info.top, fw = info.width, fh = info.height;
        bool kept = false;
        if (l < x + nWidth && t < y + nHeight && l + fw > x && t + fh > y) {
            int cl = l > x ? l : x, ct = t > y ? t : y;
            int cr = l + fw < x + nWidth ? l + fw : x + nWidth;
            int cb = t + fh < y + nHeight ? t + fh : y + nHeight;
            HGLOBAL hCut = CropDib(hFrame, cl - l, ct - t, cr - cl, cb - ct);
            if (hCut) {
                info.left = l >= x ? l - x : 0;
                info.top = t >= y ? t - y : 0;
                info.width = WORD(cr - cl);
                info.height = WORD(cb - ct);
                kept = gif.SetFrame(hCut, &info, i) != 0;
                if (!kept)
                    BaseMemFree(hCut);
            }
        }
        if (kept)
            ++i;
        else
            gif.RemoveFrame(i);
        if (proc)
            proc(pContext, ++visited, 2 * total);
    }
    ProgressSteps steps{proc, pContext, total};
    return SaveWithProgress(gif, lpszDest, steps);
}

int CropGif(const char *lpszSrc, int x, int y, int nWidth, int nHeight, const char *lpszDest) {
    return CropGifEx(lpszSrc, x, y, nWidth, nHeight, lpszDest, nullptr, nullptr);
}
