/*
 * Decodes every GIF named on the command line (or found in the folders named there) with
 * giflib's DGifSlurp and with CGifFile::Load, and compares, frame by frame: the rectangle,
 * the interlace flag, the colour table the frame uses, every palette index of the frame's
 * rectangle, and the graphic control values (delay, disposal, transparency).
 * Exit code 0 when every file agrees; each difference is printed.  Native only (giflib).
 *
 *   gif_giflib_compare [--at-least N] [--dump] FILE|FOLDER...
 *       --dump also writes FILE.ours beside each file: our decode as colours, for other
 *       decoders to compare with ("MDRGB1", frame count u16, then per frame left, top, width,
 *       height (u16 each), the transparent index or -1 (i16), width * height red, green,
 *       blue triples, and the width * height palette indices).
 *   gif_giflib_compare --same A B
 *       exit code 0 when both files decode to the same frames (information and bitmaps).
 *   gif_giflib_compare --facts FILE...
 *       what giflib reads of each file, a line each: "FILE frames=N duration=MS", the duration
 *       the sum of the frames' delays in milliseconds; exit code 1 when a file does not decode.
 */
#include <dirent.h>
#include <gif_lib.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <string>

#include "basemem.h"
#include "gif.h"
#include "gif_files.h"
#include "picture_files.h"

namespace {

int g_failures = 0;
int g_compared = 0;
bool g_dump = false;

void Fail(const std::string &file, const std::string &what) {
    fprintf(stderr, "%s: %s\n", file.c_str(), what.c_str());
    ++g_failures;
}

void Put16(FILE *f, int v) {
    fputc(v & 0xFF, f);
    fputc((v >> 8) & 0xFF, f);
}

/* Our decode of a file as colours, for decoders outside this program. */
void Dump(CGifFile &gif, const std::string &path) {
    FILE *f = fopen((path + ".ours").c_str(), "wb");
    if (!f)
        return;
    fwrite("MDRGB1", 1, 6, f);
    Put16(f, gif.GetFrameCount());
    for (int i = 0; i < gif.GetFrameCount(); ++i) {
        GIFFRAMEINFO info;
        HGLOBAL hDib = gif.GetFrame(i, &info);
        testkit::DibView view(hDib);
        const BYTE *dib = view.p;
        const BITMAPINFOHEADER *bih = reinterpret_cast<const BITMAPINFOHEADER *>(dib);
        const RGBQUAD *pal = reinterpret_cast<const RGBQUAD *>(dib + 40);
        Put16(f, info.left);
        Put16(f, info.top);
        Put16(f, bih->biWidth);
        Put16(f, bih->biHeight);
        Put16(f, info.hasTransparency ? info.transparentIndex : -1);
        for (int y = 0; y < bih->biHeight; ++y)
            for (int x = 0; x < bih->biWidth; ++x) {
                int v = view.pixel(x, y);
                const RGBQUAD &c = pal[v < int(bih->biClrUsed) ? v : 0];
                fputc(c.rgbRed, f);
                fputc(c.rgbGreen, f);
                fputc(c.rgbBlue, f);
            }
        for (int y = 0; y < bih->biHeight; ++y)
            for (int x = 0; x < bih->biWidth; ++x)
                fputc(view.pixel(x, y), f);
    }
    fclose(f);
}

/* 0 when both files decode to the same frames. */
int Same(const char *a, const char *b) {
    CGifFile ga, gb;
    std::string why = "cannot be read";
    if (ga.Load(a) && gb.Load(b) && giftest::SameFrames(ga, gb, &why))
        return 0;
    fprintf(stderr, "%s and %s: %s\n", a, b, why.c_str());
    return 1;
}

int Facts(int count, char **files) {
    int bad = 0;
    for (int i = 0; i < count; ++i) {
        int err = 0;
        GifFileType *gif = DGifOpenFileName(files[i], &err);
        if (!gif || DGifSlurp(gif) != GIF_OK) {
            printf("%s error=%s\n", files[i], GifErrorString(gif ? gif->Error : err));
            bad = 1;
        } else {
            long duration = 0;
            GraphicsControlBlock gcb;
            for (int f = 0; f < gif->ImageCount; ++f)
                if (DGifSavedExtensionToGCB(gif, f, &gcb) == GIF_OK)
                    duration += 10L * gcb.DelayTime;
            printf("%s frames=%d duration=%ld\n", files[i], gif->ImageCount, duration);
        }
        if (gif)
            DGifCloseFile(gif, &err);
    }
    return bad;
}

void CompareFile(const std::string &path) {
    int err = 0;
    GifFileType *gif = DGifOpenFileName(path.c_str(), &err);
    if (!gif) {
        printf("%s: skipped, giflib cannot open it\n", path.c_str());
        return;
    }
    if (DGifSlurp(gif) != GIF_OK) {
        // Files giflib rejects (a lower-case signature, a stream without end code) are
        // checked by the unit tests instead.
        printf("%s: skipped, giflib: %s\n", path.c_str(), GifErrorString(gif->Error));
        DGifCloseFile(gif, &err);
        return;
    }
    ++g_compared;
    CGifFile ours;
    if (!ours.Load(path.c_str())) {
        Fail(path, "Load failed");
        DGifCloseFile(gif, &err);
        return;
    }
    if (g_dump)
        Dump(ours, path);
    if (ours.GetFrameCount() != gif->ImageCount)
        Fail(path, "frame count " + std::to_string(ours.GetFrameCount()) + " != giflib " +
                       std::to_string(gif->ImageCount));
    int sw = 0, sh = 0;
    ours.GetScreenSize(&sw, &sh);
    if (sw != gif->SWidth || sh != gif->SHeight)
        Fail(path, "screen size differs");
    int frames = ours.GetFrameCount() < gif->ImageCount ? ours.GetFrameCount() : gif->ImageCount;
    for (int i = 0; i < frames; ++i) {
        const SavedImage &img = gif->SavedImages[i];
        const GifImageDesc &d = img.ImageDesc;
        std::string where = "frame " + std::to_string(i) + ": ";
        GIFFRAMEINFO info;
        HGLOBAL hDib = ours.GetFrame(i, &info);
        if (info.left != d.Left || info.top != d.Top || info.width != d.Width || info.height != d.Height)
            Fail(path, where + "rectangle differs");
        if ((info.interlaced != 0) != d.Interlace)
            Fail(path, where + "interlace flag differs");
        GraphicsControlBlock gcb;
        if (DGifSavedExtensionToGCB(gif, i, &gcb) == GIF_OK) {
            if (info.delay != gcb.DelayTime)
                Fail(path, where + "delay differs");
            if (info.disposal != gcb.DisposalMode)
                Fail(path, where + "disposal differs");
            bool transparent = gcb.TransparentColor != NO_TRANSPARENT_COLOR;
            if ((info.hasTransparency != 0) != transparent ||
                (transparent && info.transparentIndex != gcb.TransparentColor))
                Fail(path, where + "transparency differs");
        }
        const ColorMapObject *map = d.ColorMap ? d.ColorMap : gif->SColorMap;
        testkit::DibView view(hDib);
        const BYTE *dib = view.p;
        if (!dib) {
            Fail(path, where + "no bitmap");
            continue;
        }
        const BITMAPINFOHEADER *bih = reinterpret_cast<const BITMAPINFOHEADER *>(dib);
        if (map) {
            if (int(bih->biClrUsed) != map->ColorCount) {
                Fail(path, where + "palette of " + std::to_string(bih->biClrUsed) + " entries, giflib " +
                               std::to_string(map->ColorCount));
            } else {
                const RGBQUAD *pal = reinterpret_cast<const RGBQUAD *>(dib + 40);
                for (int c = 0; c < map->ColorCount; ++c) {
                    const GifColorType &g = map->Colors[c];
                    if (pal[c].rgbRed != g.Red || pal[c].rgbGreen != g.Green || pal[c].rgbBlue != g.Blue) {
                        Fail(path, where + "palette entry " + std::to_string(c) + " differs");
                        break;
                    }
                }
            }
        }
        int mask = (1 << bih->biBitCount) - 1;
        int bad = 0;
        for (int y = 0; y < d.Height && !bad; ++y)
            for (int x = 0; x < d.Width; ++x) {
                int want = img.RasterBits[size_t(y) * d.Width + x] & mask;
                int got = view.pixel(x, y);
                if (want != got) {
                    Fail(path, where + "pixel (" + std::to_string(x) + "," + std::to_string(y) + ") is " +
                                   std::to_string(got) + ", giflib " + std::to_string(want));
                    bad = 1;
                    break;
                }
            }
    }
    DGifCloseFile(gif, &err);
}

}  // namespace

int main(int argc, char **argv) {
    int files = 0;
    int minimum = 1;
    if (argc == 4 && strcmp(argv[1], "--same") == 0)
        return Same(argv[2], argv[3]);
    if (argc > 1 && strcmp(argv[1], "--facts") == 0)
        return Facts(argc - 2, argv + 2);
    if (argc > 2 && strcmp(argv[1], "--at-least") == 0) {
        minimum = atoi(argv[2]);
        argv += 2;
        argc -= 2;
    }
    if (argc > 1 && strcmp(argv[1], "--dump") == 0) {
        g_dump = true;
        ++argv;
        --argc;
    }
    for (int a = 1; a < argc; ++a) {
        std::string arg = argv[a];
        DIR *dir = opendir(arg.c_str());
        if (!dir) {
            CompareFile(arg);
            ++files;
            continue;
        }
        while (dirent *e = readdir(dir)) {
            std::string n = e->d_name;
            if (n.size() > 4 && n.compare(n.size() - 4, 4, ".gif") == 0) {
                CompareFile(arg + "/" + n);
                ++files;
            }
        }
        closedir(dir);
    }
    printf("%d files, %d compared with giflib, %d differences\n", files, g_compared, g_failures);
    return g_failures == 0 && g_compared >= minimum ? 0 : 1;
}
