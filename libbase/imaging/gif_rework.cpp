/*
 * Whole animations rewritten: shrunk into a box, or cut to a rectangle of the screen.
 *
 * Both read the source into a container (the file is closed before anything is written),
 * reworking every frame's palette bitmap as soon as the reader has decoded it (so that one full
 * frame at a time is held, not the whole animation), and save the result, which replaces the
 * destination only once complete.  So the destination may be the source.
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

/* Progress of a rework: reading and reworking (by the bytes read) fills the first half,
 * writing (by the frames written) the second. */
struct Steps {
    GIFPROGRESSPROC proc;
    void *context;
};

void ReadProgress(void *pContext, int nDone, int nTotal) {
    const Steps *s = static_cast<const Steps *>(pContext);
    s->proc(s->context, nTotal > 0 ? int(int64_t(nDone) * 500 / nTotal) : 500, 1000);
}

void WriteProgress(void *pContext, int nDone, int nTotal) {
    const Steps *s = static_cast<const Steps *>(pContext);
    s->proc(s->context, 500 + (nTotal > 0 ? int(int64_t(nDone) * 500 / nTotal) : 500), 1000);
}

/* Reads the source with `filter` reworking its frames, then writes the container. */
int Rework(CGifFile &gif, const char *lpszSrc, GIFFRAMEFILTER filter, void *job, bool *pFailed,
           void (*finish)(CGifFile &, void *), const char *lpszDest, GIFPROGRESSPROC proc, void *pContext) {
    Steps steps{proc, pContext};
    if (proc)
        gif.SetProgress(ReadProgress, &steps);
    SetLastError(ERROR_SUCCESS);
    int loaded = gif.LoadFiltered(lpszSrc, filter, job);
    gif.SetProgress(nullptr, nullptr);
    if (!loaded) {
        // The file's own error when it could not be read, else its contents are at fault.
        if (GetLastError() == ERROR_SUCCESS)
            SetLastError(ERROR_INVALID_DATA);
        return 0;
    }
    if (*pFailed) {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return 0;
    }
    if (finish)
        finish(gif, job);
    if (proc)
        gif.SetProgress(WriteProgress, &steps);
    int saved = gif.Save(lpszDest);
    DWORD why = GetLastError();
    gif.SetProgress(nullptr, nullptr);
    SetLastError(why);
    return saved;
}

/* The source's screen, read from its header; false (last error set) when it is no GIF. */
bool SourceScreen(const char *lpszSrc, int *W, int *H) {
    WORD w = 0, h = 0;
    SetLastError(ERROR_SUCCESS);
    if (!GetGifSize(lpszSrc, &w, &h)) {
        if (GetLastError() == ERROR_SUCCESS)
            SetLastError(ERROR_INVALID_DATA);
        return false;
    }
    *W = w;
    *H = h;
    return true;
}

struct ResizeJob {
    int W, H;        // the source's screen
    int newW, newH;  // the new screen, as frame 0 gives it
    int screenW = 0, screenH = 0;
    bool failed = false;
};

/* Places a frame on the screen, resizes it and cuts it back to what it shows. */
HGLOBAL ResizeFrame(void *pJob, CGifFile *, int nIndex, HGLOBAL hFrame, GIFFRAMEINFO *pInfo) {
    ResizeJob &job = *static_cast<ResizeJob *>(pJob);
    GIFFRAMEINFO &info = *pInfo;
    const int t = info.transparentIndex;
    bool covers;
    HGLOBAL hBitmap = FrameCanvas(hFrame, info, job.W, job.H, t, &covers);
    if (!hBitmap) {
        // Not even a copy of the frame could be made: memory is short.
        job.failed = true;
        BaseMemFree(hFrame);
        return 0;
    }
    HGLOBAL hScaled = ResizeDibNearest(hBitmap, job.newW, job.newH, t);
    if (hScaled) {
        BaseMemFree(hBitmap);
        hBitmap = hScaled;
    }
    if (nIndex == 0)
        PxDibGetSize(hBitmap, &job.screenW, &job.screenH);
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
        // An opaque frame: the canvas around it would paint over the frames below, so keep
        // exactly the pixels sampled from the frame itself.
        int fw = 0, fh = 0, sw = 0, sh = 0;
        PxDibGetSize(hFrame, &fw, &fh);
        PxDibGetSize(hBitmap, &sw, &sh);
        int x0, cw, s0, ch;
        MappedSpan(job.W, sw, info.left, info.left + fw, &x0, &cw);
        MappedSpan(job.H, sh, job.H - info.top - fh, job.H - info.top, &s0, &ch);  // stored rows
        int y0 = sh - s0 - ch;
        HGLOBAL hPart = CropDib(hBitmap, x0, y0, cw, ch);
        if (hPart) {
            BaseMemFree(hBitmap);
            hBitmap = hPart;
            left = x0;
            top = y0;
        }
    }
    BaseMemFree(hFrame);
    int fw = 0, fh = 0;
    PxDibGetSize(hBitmap, &fw, &fh);
    info.left = left;
    info.top = top;
    info.width = WORD(fw);
    info.height = WORD(fh);
    return hBitmap;
}

/* The screen becomes frame 0's new size. */
void ResizeScreen(CGifFile &gif, void *pJob) {
    const ResizeJob &job = *static_cast<const ResizeJob *>(pJob);
    GIFSCREEN screen = {};
    gif.GetScreen(&screen);
    screen.width = WORD(job.screenW ? job.screenW : job.newW);
    screen.height = WORD(job.screenH ? job.screenH : job.newH);
    gif.SetScreen(&screen);
}

struct CropJob {
    int x, y, w, h;
};

/* Cuts the rectangle's part out of a frame, or leaves the frame out. */
HGLOBAL CropFrame(void *pJob, CGifFile *, int, HGLOBAL hFrame, GIFFRAMEINFO *pInfo) {
    const CropJob &job = *static_cast<const CropJob *>(pJob);
    GIFFRAMEINFO &info = *pInfo;
    const int l = info.left, t = info.top, fw = info.width, fh = info.height;
    HGLOBAL hCut = 0;
    if (l < job.x + job.w && t < job.y + job.h && l + fw > job.x && t + fh > job.y) {
        int cl = l > job.x ? l : job.x, ct = t > job.y ? t : job.y;
        int cr = l + fw < job.x + job.w ? l + fw : job.x + job.w;
        int cb = t + fh < job.y + job.h ? t + fh : job.y + job.h;
        hCut = CropDib(hFrame, cl - l, ct - t, cr - cl, cb - ct);
        if (hCut) {
            info.left = l >= job.x ? l - job.x : 0;
            info.top = t >= job.y ? t - job.y : 0;
            info.width = WORD(cr - cl);
            info.height = WORD(cb - ct);
        }
    }
    BaseMemFree(hFrame);
    return hCut;  // 0: the frame is left out
}

/* The screen becomes the rectangle. */
void CropScreen(CGifFile &gif, void *pJob) {
    const CropJob &job = *static_cast<const CropJob *>(pJob);
    GIFSCREEN screen = {};
    gif.GetScreen(&screen);
    screen.width = WORD(job.w);
    screen.height = WORD(job.h);
    gif.SetScreen(&screen);
}

}  // namespace

int ResizeGifEx(const char *lpszSrc, int nBoxWidth, int nBoxHeight, const char *lpszDest, GIFPROGRESSPROC proc,
                void *pContext) {
    if (!lpszSrc || !lpszDest || nBoxWidth < 1 || nBoxHeight < 1) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    int W = 0, H = 0;
    if (!SourceScreen(lpszSrc, &W, &H))
        return 0;
    if (W <= nBoxWidth && H <= nBoxHeight) {
        SetLastError(ERROR_SUCCESS);
        return 0;
    }
    double ratio = double(W) / nBoxWidth;
    if (double(H) / nBoxHeight > ratio)
        ratio = double(H) / nBoxHeight;
    ResizeJob job;
    job.W = W;
    job.H = H;
    job.newW = int(ceil(W / ratio - 0.4));
    job.newH = int(ceil(H / ratio));
    // W / ratio is the box side itself on the limiting side: rounding must not push past it.
    if (job.newW > nBoxWidth)
        job.newW = nBoxWidth;
    if (job.newH > nBoxHeight)
        job.newH = nBoxHeight;
    if (job.newW < 1)
        job.newW = 1;
    if (job.newH < 1)
        job.newH = 1;
    CGifFile gif;
    return Rework(gif, lpszSrc, ResizeFrame, &job, &job.failed, ResizeScreen, lpszDest, proc, pContext);
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
    int W = 0, H = 0;
    if (!SourceScreen(lpszSrc, &W, &H))
        return 0;
    // The rectangle starts on the screen: then x + nWidth and y + nHeight stay below 2^17.
    if (nWidth > W || nHeight > H || (nWidth == W && nHeight == H) || x < 0 || y < 0 || x >= W || y >= H) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    CropJob job{x, y, nWidth, nHeight};
    bool failed = false;
    CGifFile gif;
    return Rework(gif, lpszSrc, CropFrame, &job, &failed, CropScreen, lpszDest, proc, pContext);
}

int CropGif(const char *lpszSrc, int x, int y, int nWidth, int nHeight, const char *lpszDest) {
    return CropGifEx(lpszSrc, x, y, nWidth, nHeight, lpszDest, nullptr, nullptr);
}
