/*
 * Resampling through the imaging library and the brush masks built on its blank bitmaps.
 */
#include <math.h>
#include <string.h>

#include "basemem.h"
#include "dib.h"
#include "dib_private.h"
#include "pixkit.h"

using namespace dibutil;

namespace {

/* The side of the box that limits the bitmap: the size it gets and whether the height does. */
struct BoxFit {
    int width, height;
    bool heightLimited;
};

BoxFit FitIntoBox(int w, int h, int bw, int bh) {
    BoxFit fit;
    if (double(bh) <= double(h) * bw / w) {
        fit.heightLimited = true;
        fit.width = int(double(w) * bh / h + 0.5);
        fit.height = bh;
    } else {
        fit.heightLimited = false;
        fit.width = bw;
        fit.height = int(double(h) * bw / w + 0.5);
    }
    // A very thin bitmap still keeps one pixel across.
    if (fit.width < 1)
        fit.width = 1;
    if (fit.height < 1)
        fit.height = 1;
    return fit;
}

}  // namespace

HGLOBAL FitDibHQ(HGLOBAL hDib, int nBoxWidth, int nBoxHeight) {
    if (!hDib || nBoxWidth <= 0 || nBoxHeight <= 0)
        return 0;
    int w = 0, h = 0;
    if (!PxDibGetSize(hDib, &w, &h) || w <= 0 || h <= 0)
        return 0;
    if (w <= nBoxWidth && h <= nBoxHeight)
        return 0;
    BoxFit fit = FitIntoBox(w, h, nBoxWidth, nBoxHeight);
    return PxDibResampleHQ(hDib, fit.width, fit.height);
}

HGLOBAL ScaleDibToBoxHQ(HGLOBAL hDib, int nBoxWidth, int nBoxHeight, double *pFactor) {
    if (!hDib || nBoxWidth <= 0 || nBoxHeight <= 0)
        return 0;
    int w = 0, h = 0;
    if (!PxDibGetSize(hDib, &w, &h) || w <= 0 || h <= 0)
        return 0;
    BoxFit fit = FitIntoBox(w, h, nBoxWidth, nBoxHeight);
    int factor = fit.heightLimited ? nBoxHeight / h : nBoxWidth / w;
    if (pFactor && factor > 1)
        *pFactor = factor;
    return PxDibResampleHQ(hDib, fit.width, fit.height);
}

void CoverDibToRect(HGLOBAL *phDib, const RECT *pRect) {
    if (!phDib || !*phDib || !pRect)
        return;
    int tw = pRect->right - pRect->left, th = pRect->bottom - pRect->top;
    if (tw <= 0 || th <= 0)
        return;
    int w = 0, h = 0;
    if (!PxDibGetSize(*phDib, &w, &h) || w <= 0 || h <= 0)
        return;
    double scale = 1;
    if (w > tw && h > th) {
        double sx = double(w) / tw, sy = double(h) / th;
        scale = sx < sy ? sx : sy;
    }
    int nw = int(w / scale + 0.5), nh = int(h / scale + 0.5);
    HGLOBAL hScaled = PxDibResample(*phDib, nw, nh);
    if (!hScaled)
        return;
    BaseMemFree(*phDib);
    *phDib = hScaled;
    if (nw > tw || nh > th) {
        int x = (nw - tw) / 2, y = (nh - th) / 2;
        HGLOBAL hCrop = PxDibCrop(*phDib, x > 0 ? x : 0, y > 0 ? y : 0, tw < nw ? tw : nw, th < nh ? th : nh);
        if (!hCrop)
            return;
        BaseMemFree(*phDib);
        *phDib = hCrop;
    }
}

HGLOBAL MakeSoftBrush(int nStrength, int nRadius, int nReserved) {
    (void)nReserved;
    if (nRadius <= 0)
        return MakeDiscMask(nStrength / 2, -nRadius, 255, 1, 0);
    if (nRadius > 4096)
        return 0;
    int side = 2 * nRadius + 1;
    HGLOBAL h = PxDibNew(side, side, 8, 72, 0xFFFFFF);
    DibView dib;
    if (!h || !dib.Open(h) || dib.bits != 8 || dib.width != side || dib.height != side) {
        dib.Close();
        if (h)
            BaseMemFree(h);
        return 0;
    }
    double k = nRadius <= 2 ? 0.5 : nRadius <= 12 ? 0.35 : nRadius <= 20 ? 0.32 : 0.3;
    double sigma = nRadius * k;
    for (int y = 0; y < side; ++y) {
        BYTE *row = dib.pixels + size_t(y) * dib.stride;
        int dy = y - nRadius;
        for (int x = 0; x < side; ++x) {
            int dx = x - nRadius;
            double d2 = double(dx * dx + dy * dy);
            double v = 255.0 - exp(-d2 / (2 * sigma * sigma)) * nStrength;
            if (v < 0)
                v = 0;
            if (v > 255)
                v = 255;
            row[x] = BYTE(int(v));
        }
    }
    return h;
}

HGLOBAL MakeDiscMask(int nReserved1, int nRadius, int nGrey, int nReserved2, int nMargin) {
    (void)nReserved1;
    (void)nReserved2;
    if (nRadius < 0 || nMargin < 0 || nRadius > 4096 || nMargin > 4096)
        return 0;
    int side = 2 * (nRadius + nMargin) + 1;
    HGLOBAL h = PxDibNew(side, side, 8, 72, DWORD(nGrey & 0xFF) * 0x010101);
    DibView dib;
    if (!h || !dib.Open(h) || dib.bits != 8 || dib.width != side || dib.height != side) {
        dib.Close();
        if (h)
            BaseMemFree(h);
        return 0;
    }
    int c = nRadius + nMargin;
    for (int y = 0; y < side; ++y) {
        BYTE *row = dib.pixels + size_t(y) * dib.stride;
        int dy = y - c;
        for (int x = 0; x < side; ++x) {
            int dx = x - c;
            if (sqrt(double(dx * dx + dy * dy)) <= nRadius)
                row[x] = 0;
        }
    }
    return h;
}
