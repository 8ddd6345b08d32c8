/*
 * medley gif info FILE          the screen, the global table and every frame of a GIF
 * medley thumb FILE OUT.png     a thumbnail of a picture (GIF: the library's GIF thumbnail;
 *                               others: the imaging library's decoder, a JPEG at a reduced
 *                               size when that still fills the box, fitted into 320 x 320)
 * medley dib crop|trim|fit ...  picture operations a person would use, written as PNG
 */
#include <stdio.h>
#include <string.h>

#include <string>
#include <vector>

#include "basemem.h"
#include "dib.h"
#include "gif.h"
#include "medley.h"
#include "pixkit.h"

#include "storyboard.h"

namespace {

bool IsGifFile(const std::string &path) {
    WORD w, h;
    return GetGifSize(path.c_str(), &w, &h) != 0;
}

/* One line per frame, written as the reader hands each frame over (nothing is kept). */
struct InfoLines {
    std::vector<std::string> lines;
    std::vector<int> delays;
};

HGLOBAL TakeInfo(void *pContext, CGifFile *, int nIndex, HGLOBAL hDib, GIFFRAMEINFO *pInfo) {
    InfoLines *out = static_cast<InfoLines *>(pContext);
    const GIFFRAMEINFO &f = *pInfo;
    int depth = 0;
    if (const BITMAPINFOHEADER *bih = static_cast<const BITMAPINFOHEADER *>(BaseMemLock(hDib))) {
        depth = bih->biBitCount;
        BaseMemUnlock(hDib);
    }
    BaseMemFree(hDib);
    char line[200];
    int n = snprintf(line, sizeof line, "frame %d: %dx%d at (%d,%d), %d-bit, %s table, delay %d, disposal %d", nIndex,
                     f.width, f.height, f.left, f.top, depth, f.hasLocalTable ? "local" : "global", f.delay, f.disposal);
    std::string text(line, size_t(n > 0 ? n : 0));
    if (f.hasTransparency)
        text += ", transparent " + std::to_string(f.transparentIndex);
    if (f.interlaced)
        text += ", interlaced";
    out->lines.push_back(text);
    out->delays.push_back(f.delay);
    return 0;
}

void GifInfo(const std::string &file) {
    // The frames are counted from the blocks first: one over its budget is never decoded.
    GIFSCAN scan;
    if (!ScanGif(file.c_str(), &scan)) {
        medley::Fail("cannot read GIF file " + file);
        return;
    }
    if (scan.verdict == DWORD(GIF_ERROR_TOO_MANY_FRAMES) || scan.verdict == DWORD(GIF_ERROR_TOO_MANY_PIXELS)) {
        medley::Fail("cannot read GIF file " + file + ": " + medley::GifRefusal(file));
        return;
    }
    InfoLines info;
    CGifFile gif;
    medley::Progress progress("frames");
    gif.SetProgress([](void *c, int done, int total) { static_cast<medley::Progress *>(c)->Update(done, total); },
                    &progress);
    int loaded = gif.LoadFiltered(file.c_str(), TakeInfo, &info);
    progress.Done();
    if (!loaded) {
        medley::Fail("cannot read GIF file " + file);
        return;
    }
    GIFSCREEN s;
    memset(&s, 0, sizeof(s));
    gif.GetScreen(&s);
    printf("screen %ux%u, background %u\n", s.width, s.height, s.background);
    if (s.hasGlobalTable)
        printf("global table: %u entries (%u bits)%s\n", s.colourCount, s.colourBits, s.sortFlag ? ", sorted" : "");
    else
        printf("global table: none\n");
    printf("frames: %d\n", int(info.lines.size()));
    for (const std::string &line : info.lines)
        printf("%s\n", line.c_str());
    if (scan.verdict)
        printf("not read further: %s\n", medley::GifRefusal(file).c_str());
    // As the container counts it: one frame shows 2 s, a delay of 0 counts as 10.
    int total = 0;
    for (int d : info.delays)
        total += d == 0 ? 10 : (d & 0xFFFF);
    printf("duration %d ms\n", info.delays.empty() ? 0 : info.delays.size() == 1 ? 2000 : total * 10);
}

/* Fails a verb for a picture that did not open, with the budget's reason when it was that. */
void PictureFailure(const std::string &file) {
    DWORD err = GetLastError();
    std::string why = IsGifFile(file) ? medley::GifRefusal(file) : "";
    if (!why.empty())
        medley::Fail("cannot read picture " + file + ": " + why);
    else if (err == DWORD(PX_ERROR_UNBACKED_SIZE))
        medley::Fail("cannot read picture " + file + ": " + medley::Why(err));
    else
        medley::Fail(medley::UnreadablePicture(file));
}

void Thumb(const std::string &file, const std::string &out) {
    HGLOBAL thumb = 0;
    if (IsGifFile(file)) {
        thumb = LoadGifThumbnail(file.c_str());
    } else {
        // A camera photo is decoded no larger than the box needs (a JPEG at 1/2 to 1/8).
        HGLOBAL pic = PxOpenFileReduced(file.c_str(), 320, 320);
        if (pic) {
            thumb = FitDibHQ(pic, 320, 320);
            if (thumb)
                BaseMemFree(pic);
            else
                thumb = pic;
        }
    }
    if (!thumb) {
        PictureFailure(file);
        return;
    }
    std::string err;
    bool ok = preview::WriteDibPng(thumb, out, &err);
    BaseMemFree(thumb);
    if (!ok)
        medley::FailWhy(err);
}

/* Opens a picture (GIF: frame 0 as decoded; others through the imaging library). */
HGLOBAL OpenPicture(const std::string &file) {
    if (IsGifFile(file)) {
        CGifFile gif;
        gif.Load(file.c_str());
        return PxDibDuplicate(gif.GetFrameDib(0));
    }
    return PxOpenFile(file.c_str(), 0, 0);
}

void DibVerb(const std::string &file, const std::string &out, HGLOBAL (*op)(HGLOBAL, const std::vector<int> &),
             const std::vector<int> &args, const char *what) {
    HGLOBAL pic = OpenPicture(file);
    if (!pic) {
        PictureFailure(file);
        return;
    }
    HGLOBAL result = op(pic, args);
    BaseMemFree(pic);
    if (!result) {
        medley::Fail(std::string(what) + " gave no picture");
        return;
    }
    std::string err;
    bool ok = preview::WriteDibPng(result, out, &err);
    BaseMemFree(result);
    if (!ok)
        medley::FailWhy(err);
}

void Setup(CLI::App &app) {
    auto *gif = app.add_subcommand("gif", "GIF files");
    auto *info = gif->add_subcommand("info", "Show the screen, colour table and frames of a GIF file");
    static std::string file, out;
    info->add_option("FILE", file, "GIF file")->required();
    info->callback([] { GifInfo(file); });

    auto *thumb = app.add_subcommand("thumb", "Write a thumbnail (at most 320x320) of a picture as PNG");
    thumb->add_option("FILE", file, "picture (GIF, BMP, JPEG, PNG)")->required();
    thumb->add_option("OUT", out, "PNG file to write")->required();
    thumb->callback([] { Thumb(file, out); });

    auto *dib = app.add_subcommand("dib", "Picture operations, written as PNG");
    static int x = 0, y = 0, w = 0, h = 0, bg = 0;
    auto *crop = dib->add_subcommand("crop", "Cut a rectangle (x, y from the top-left)");
    crop->add_option("FILE", file)->required();
    crop->add_option("OUT", out)->required();
    crop->add_option("X", x)->required();
    crop->add_option("Y", y)->required();
    crop->add_option("W", w)->required()->check(CLI::PositiveNumber);
    crop->add_option("H", h)->required()->check(CLI::PositiveNumber);
    crop->callback([] {
        DibVerb(file, out, [](HGLOBAL d, const std::vector<int> &a) { return PxDibCrop(d, a[0], a[1], a[2], a[3]); },
                {x, y, w, h}, "crop");
    });
    auto *trim = dib->add_subcommand("trim", "Cut a palette picture to what differs from the background index");
    trim->add_option("FILE", file)->required();
    trim->add_option("OUT", out)->required();
    trim->add_option("--background", bg, "background palette index");
    trim->callback([] {
        DibVerb(file, out,
                [](HGLOBAL d, const std::vector<int> &a) {
                    int l = 0, t = 0, r = 0, b = 0;
                    return TrimDib(d, &l, &t, &r, &b, a[0]);
                },
                {bg}, "trim");
    });
    auto *fit = dib->add_subcommand("fit", "Shrink smoothly into a box keeping the proportions");
    fit->add_option("FILE", file)->required();
    fit->add_option("OUT", out)->required();
    fit->add_option("W", w)->required()->check(CLI::PositiveNumber);
    fit->add_option("H", h)->required()->check(CLI::PositiveNumber);
    fit->callback([] {
        DibVerb(file, out,
                [](HGLOBAL d, const std::vector<int> &a) {
                    HGLOBAL r = FitDibHQ(d, a[0], a[1]);
                    return r ? r : PxDibDuplicate(d);
                },
                {w, h}, "fit");
    });
}

}  // namespace

std::string medley::GifRefusal(const std::string &file) {
    GIFSCAN scan;
    char why[200] = "";
    if (ScanGif(file.c_str(), &scan))
        DescribeGifScan(&scan, why, sizeof why);
    std::string text = why;
    return text.compare(0, 9, "declares ") == 0 ? "the file " + text : text;
}

MEDLEY_VERBS("50-gif", Setup);
