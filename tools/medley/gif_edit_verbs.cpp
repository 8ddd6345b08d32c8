/*
 * medley gif resize IN OUT --box WxH           shrink an animation into a box
 * medley gif crop IN OUT --rect X,Y,W,H        cut a rectangle out of an animation
 * medley gif quantize IN OUT.gif [--dither none|ordered|diffusion] [--fine] [--refine]
 *                                              a picture reduced to 256 colours, as a GIF
 * medley gif make OUT.gif FRAME... [--delay N] an animation from pictures
 * medley gif resave IN OUT                     read a GIF and write it back
 *
 * Each writes its output beside the destination and renames it into place when complete, so
 * a failure leaves the destination as it was; IN and OUT may be the same file.
 */
#include <stdio.h>
#include <string.h>

#include <string>
#include <vector>

#include "basemem.h"
#include "gif.h"
#include "medley.h"
#include "pixkit.h"

namespace {

/* The reason of a failed write: the writer's bad-input code names the frame, others as usual. */
std::string Why(DWORD err) {
    if (err == ERROR_INVALID_DATA)
        return "a frame cannot be written as GIF (no bitmap, deeper than 8 bits, or colours its table lacks)";
    return medley::Why(err);
}

/* Progress bar over the steps a library call reports. */
void OnProgress(void *pContext, int nDone, int nTotal) {
    static_cast<medley::Progress *>(pContext)->Update(uint64_t(nDone), uint64_t(nTotal));
}

/* Reads the screen size of a GIF file, failing the verb when it is none or over its budget. */
bool GifScreen(const std::string &file, int *w, int *h) {
    WORD sw = 0, sh = 0;
    if (!GetGifSize(file.c_str(), &sw, &sh)) {
        medley::Fail("cannot read GIF file " + file);
        return false;
    }
    // A file over its budget is refused whole, before anything is decoded: the frames before
    // an unfillable one alone would be a partial result.
    std::string why = medley::GifRefusal(file);
    if (!why.empty()) {
        medley::Fail("cannot read GIF file " + file + ": " + why + "; nothing written");
        return false;
    }
    *w = sw;
    *h = sh;
    return true;
}

bool ParseInts(const std::string &text, char sep, int count, std::vector<int> *out) {
    out->clear();
    size_t pos = 0;
    for (int i = 0; i < count; ++i) {
        size_t end = i + 1 < count ? text.find(sep, pos) : text.size();
        if (end == std::string::npos)
            return false;
        std::string part = text.substr(pos, end - pos);
        char *stop = nullptr;
        long v = strtol(part.c_str(), &stop, 10);
        if (part.empty() || *stop || v < -65535 || v > 65535)
            return false;
        out->push_back(int(v));
        pos = end + 1;
    }
    return true;
}

void Resize(const std::string &in, const std::string &out, const std::string &box) {
    std::vector<int> wh;
    if (!ParseInts(box, 'x', 2, &wh) || wh[0] < 1 || wh[1] < 1) {
        medley::Fail("--box wants WIDTHxHEIGHT, both at least 1: " + box);
        return;
    }
    int w, h;
    if (!GifScreen(in, &w, &h))
        return;
    if (w <= wh[0] && h <= wh[1]) {
        medley::Fail("the animation (" + std::to_string(w) + "x" + std::to_string(h) + ") already fits " + box +
                     "; nothing written");
        return;
    }
    medley::Progress progress("resizing");
    if (!ResizeGifEx(in.c_str(), wh[0], wh[1], out.c_str(), OnProgress, &progress)) {
        DWORD err = GetLastError();
        progress.Done();
        medley::Fail("cannot write " + out + ": " + Why(err));
        return;
    }
    progress.Done();
}

void Crop(const std::string &in, const std::string &out, const std::string &rect) {
    std::vector<int> r;
    if (!ParseInts(rect, ',', 4, &r) || r[2] < 1 || r[3] < 1) {
        medley::Fail("--rect wants X,Y,WIDTH,HEIGHT with a width and height of at least 1: " + rect);
        return;
    }
    int w, h;
    if (!GifScreen(in, &w, &h))
        return;
    if (r[2] > w || r[3] > h || (r[2] == w && r[3] == h)) {
        medley::Fail("the rectangle must be smaller than the screen (" + std::to_string(w) + "x" + std::to_string(h) +
                     "); nothing written");
        return;
    }
    medley::Progress progress("cropping");
    if (!CropGifEx(in.c_str(), r[0], r[1], r[2], r[3], out.c_str(), OnProgress, &progress)) {
        DWORD err = GetLastError();
        progress.Done();
        medley::Fail("cannot write " + out + ": " + Why(err));
        return;
    }
    progress.Done();
}

/* A picture as a 24-bit bitmap (GIF: frame 0), or 0. */
HGLOBAL OpenTrueColour(const std::string &file) {
    WORD w, h;
    HGLOBAL pic = 0;
    if (GetGifSize(file.c_str(), &w, &h)) {
        CGifFile gif;
        gif.Load(file.c_str());
        pic = PxDibDuplicate(gif.GetFrameDib(0));
    } else {
        pic = PxOpenFile(file.c_str(), 0, 0);
    }
    if (!pic)
        return 0;
    HGLOBAL tc = 0;
    switch (PxDibGetType(pic)) {
    case PX_TYPE_TRUECOLOR:
        return pic;
    case PX_TYPE_8BIT:
    case PX_TYPE_8BIT_GREY:
        tc = PxDibConvert8BitToTrueColor(pic);
        break;
    case PX_TYPE_4BIT:
        tc = PxDibConvert4BitToTrueColor(pic);
        break;
    case PX_TYPE_1BIT:
        tc = PxDibConvert1BitToTrueColor(pic);
        break;
    default:
        break;
    }
    BaseMemFree(pic);
    return tc;
}

/* Saves a container, with a progress bar over its frames. */
bool SaveGif(CGifFile &gif, const std::string &out, const char *label) {
    medley::Progress progress(label);
    gif.SetProgress(OnProgress, &progress);
    int ok = gif.Save(out.c_str());
    DWORD err = GetLastError();
    gif.SetProgress(nullptr, nullptr);
    progress.Done();
    if (!ok)
        medley::Fail("cannot write " + out + ": " + Why(err));
    return ok != 0;
}

void Quantize(const std::string &in, const std::string &out, const std::string &dither, bool fine, bool refine) {
    int mode = dither == "none" ? 1 : dither == "ordered" ? 3 : 2;
    if (fine)
        mode += 99;
    if (refine)
        mode |= GIF_REDUCE_REFINE;
    HGLOBAL pic = OpenTrueColour(in);
    if (!pic) {
        medley::Fail(medley::UnreadablePicture(in));
        return;
    }
    HGLOBAL reduced = ReduceToPalette(pic, mode, 0);
    int w = 0, h = 0;
    PxDibGetSize(pic, &w, &h);
    BaseMemFree(pic);
    if (IsReduceFailure(reduced)) {
        medley::Fail("cannot reduce the colours of " + in + ": not enough memory");
        return;
    }
    if (w > 0xFFFF || h > 0xFFFF) {
        BaseMemFree(reduced);
        medley::Fail("the picture is larger than a GIF can hold (65535 x 65535)");
        return;
    }
    CGifFile gif;
    // The picture's own 256 colours go out as the global table.
    GIFPALETTE pal{256, nullptr};
    BYTE rgb[3 * 256];
    if (const BYTE *p = static_cast<const BYTE *>(BaseMemLock(reduced))) {
        const RGBQUAD *q = reinterpret_cast<const RGBQUAD *>(p + sizeof(BITMAPINFOHEADER));
        for (int i = 0; i < 256; ++i) {
            rgb[3 * i] = q[i].rgbRed;
            rgb[3 * i + 1] = q[i].rgbGreen;
            rgb[3 * i + 2] = q[i].rgbBlue;
        }
        BaseMemUnlock(reduced);
        pal.entries = rgb;
    }
    GIFFRAMEINFO info;
    memset(&info, 0, sizeof(info));
    info.width = WORD(w);
    info.height = WORD(h);
    if (!pal.entries || !gif.Create(w, h, 0, &pal) || gif.AddDecodedFrame(reduced, &info, 0) < 0) {
        BaseMemFree(reduced);
        medley::Fail("not enough memory");
        return;
    }
    SaveGif(gif, out, "writing");
}

void Make(const std::string &out, const std::vector<std::string> &frames, int delay) {
    int w = 0, h = 0;
    CGifFile gif;
    medley::Progress progress("frames");
    for (size_t i = 0; i < frames.size(); ++i) {
        HGLOBAL pic = OpenTrueColour(frames[i]);
        if (!pic) {
            progress.Done();
            medley::Fail(medley::UnreadablePicture(frames[i]));
            return;
        }
        if (i == 0) {
            PxDibGetSize(pic, &w, &h);
            if (w > 0xFFFF || h > 0xFFFF) {
                BaseMemFree(pic);
                progress.Done();
                medley::Fail("the first picture is larger than a GIF can hold (65535 x 65535)");
                return;
            }
            gif.Create(w, h, 0, nullptr);
        }
        GIFFRAMEINFO info;
        memset(&info, 0, sizeof(info));
        info.width = WORD(w);
        info.height = WORD(h);
        info.delay = delay;
        if (i == 0) {
            // The first frame's reduced palette (padded with one grey) is the global table
            // that later frames fill up.
            HGLOBAL reduced = ReduceToPalette(pic, 2, 0);
            BaseMemFree(pic);
            pic = reduced;
            if (IsReduceFailure(pic)) {
                progress.Done();
                medley::Fail("cannot reduce the colours of " + frames[i] + ": not enough memory");
                return;
            }
        }
        if (gif.InsertFrame(pic, &info, -1, nullptr) < 0) {
            BaseMemFree(pic);
            progress.Done();
            medley::Fail("cannot add " + frames[i] + " as a frame");
            return;
        }
        progress.Update(i + 1, frames.size());
    }
    progress.Done();
    SaveGif(gif, out, "writing");
}

void Resave(const std::string &in, const std::string &out) {
    int w, h;
    if (!GifScreen(in, &w, &h))
        return;
    CGifFile gif;
    if (!gif.Load(in.c_str())) {
        medley::Fail("cannot read GIF file " + in);
        return;
    }
    SaveGif(gif, out, "writing");
}

void Setup(CLI::App &app) {
    CLI::App *gif = app.get_subcommand("gif");
    static std::string in, out, box, rect, dither = "diffusion";
    static std::vector<std::string> frames;
    static bool fine = false;
    static bool refine = false;
    static int delay = 10;

    auto *resize = gif->add_subcommand("resize", "Shrink an animation so that its screen fits a box");
    resize->add_option("IN", in, "GIF file")->required();
    resize->add_option("OUT", out, "GIF file to write (may be IN)")->required();
    resize->add_option("--box", box, "the box, WIDTHxHEIGHT")->required();
    resize->callback([] { Resize(in, out, box); });

    auto *crop = gif->add_subcommand("crop", "Cut a rectangle out of an animation's screen");
    crop->add_option("IN", in, "GIF file")->required();
    crop->add_option("OUT", out, "GIF file to write (may be IN)")->required();
    crop->add_option("--rect", rect, "the rectangle, X,Y,WIDTH,HEIGHT (x and y from the top-left)")->required();
    crop->callback([] { Crop(in, out, rect); });

    auto *quantize = gif->add_subcommand("quantize", "Reduce a picture to 256 colours and write it as a GIF");
    quantize->add_option("IN", in, "picture (PNG, JPEG, BMP, GIF)")->required();
    quantize->add_option("OUT", out, "GIF file to write")->required();
    quantize->add_option("--dither", dither, "none, ordered or diffusion (default)")
        ->check(CLI::IsMember({"none", "ordered", "diffusion"}));
    quantize->add_flag("--fine", fine, "a finer colour histogram (6 bits a channel instead of 5)");
    quantize->add_flag("--refine", refine,
                       "refine the palette (k-means over the histogram) and map each pixel to its nearest colour");
    quantize->callback([] { Quantize(in, out, dither, fine, refine); });

    auto *make = gif->add_subcommand("make", "Make an animation from pictures (each fitted to the first one's size)");
    make->add_option("OUT", out, "GIF file to write")->required();
    make->add_option("FRAME", frames, "pictures, in order")->required();
    make->add_option("--delay", delay, "delay of each frame in hundredths of a second (default 10)")
        ->check(CLI::Range(0, 65535));
    make->callback([] { Make(out, frames, delay); });

    auto *resave = gif->add_subcommand("resave", "Read a GIF file and write it back");
    resave->add_option("IN", in, "GIF file")->required();
    resave->add_option("OUT", out, "GIF file to write (may be IN)")->required();
    resave->callback([] { Resave(in, out); });
}

}  // namespace

MEDLEY_VERBS("51-gif-edit", Setup);
