/*
 * A message made to fit a size budget (see fit.h).
 *
 * The size of a written message is exactly
 *
 *     fixed + sum over pictures of (data octets + octets of the data's uintvar length)
 *
 * where `fixed` is measured by writing the message with every picture's data replaced by one
 * octet (so fixed = that file's size - 2 per picture).  Shares, shrinking and the check of the
 * final file all use this one cost, so the plan and the file agree to the octet.
 */
#include "fit.h"

#include <math.h>
#include <stdlib.h>
#include <string.h>

#include <algorithm>
#include <new>

#include "basemem.h"
#include "fileio.h"
#include "gif.h"
#include "mime.h"
#include "pixkit.h"
#include "wsp.h"

namespace {

const int kLadder[] = {85, 75, 60, FIT_JPEG_FLOOR_QUALITY};
/* Rough JPEG size at each ladder quality relative to quality 75, for the first guess only. */
const double kLadderRatio[] = {1.45, 1.0, 0.74, 0.62};
const int kLadderSteps = 4;
/* Below the floor quality, when even the smallest side is too large. */
const int kLastQuality = 20;
/* Pictures larger than this are measured on a copy of this longest side first. */
const int kProbeSide = 640;
/* An animation is not made narrower than this, in pixels. */
const int kMinAnimationSide = 8;

int UintvarLength(long long n)
{
    int len = 1;
    while (n >= 128) {
        n >>= 7;
        ++len;
    }
    return len;
}

/* What a picture's data costs in the message. */
long long Cost(long long data) { return data + UintvarLength(data); }

/* The largest data length whose cost stays within `cost`. */
long long DataFor(long long cost)
{
    long long n = cost - UintvarLength(cost);
    while (n > 0 && Cost(n) > cost)
        --n;
    return n < 0 ? 0 : n;
}

std::string Lower(std::string s)
{
    for (char &c : s)
        if (c >= 'A' && c <= 'Z')
            c = char(c + 32);
    return s;
}

std::string BareType(const char *type)
{
    std::string t = type ? type : "";
    size_t semi = t.find(';');
    if (semi != std::string::npos)
        t.resize(semi);
    while (!t.empty() && (t.back() == ' ' || t.back() == '\t'))
        t.pop_back();
    return Lower(t);
}

std::string Kb(long long n)
{
    char buf[48];
    if (n < 10 * 1024)
        snprintf(buf, sizeof buf, "%lld octets", n);
    else
        snprintf(buf, sizeof buf, "%lld octets (%.1f KiB)", n, n / 1024.0);
    return buf;
}

std::string CodeWords(DWORD e)
{
    switch (e) {
    case ERROR_FILE_NOT_FOUND: return "the file does not exist";
    case ERROR_PATH_NOT_FOUND: return "the folder does not exist";
    case ERROR_ACCESS_DENIED: return "access is denied";
    case ERROR_INVALID_DATA: return "it is damaged or not a message file";
    case ERROR_HANDLE_EOF: return "it ends early";
    case ERROR_DISK_FULL: return "the disk is full";
    case ERROR_NOT_ENOUGH_MEMORY:
    case ERROR_OUTOFMEMORY: return "not enough memory";
    case ERROR_DIRECTORY_NOT_SUPPORTED: return "it is a folder";
    case ERROR_SHARING_VIOLATION: return "the file is in use";
    case FIO_ERROR_OUTPUT_IS_INPUT: return "the output would replace one of the inputs";
    default: return "Windows error " + std::to_string(e);
    }
}

std::string WithSeparator(std::string dir)
{
    if (!dir.empty() && dir.back() != '\\' && dir.back() != '/')
        dir += '\\';
    return dir;
}

/* "dir\name" -> ("dir\", "name"). */
void SplitPath(const std::string &path, std::string *folder, std::string *name)
{
    size_t sep = path.find_last_of("\\/");
    *folder = sep == std::string::npos ? std::string() : path.substr(0, sep + 1);
    *name = sep == std::string::npos ? path : path.substr(sep + 1);
}

bool WriteFile(const std::string &path, const void *data, size_t n)
{
    FIO_FILE *f = FioOpen(path.c_str(), "wb");
    if (!f)
        return false;
    bool ok = FioWrite(f, data, n) == n;
    return FioClose(f) == 0 && ok;
}

/* A 24-bit bitmap reduced by a whole factor k, each pixel the mean of a k x k square (the
 * cheap first step for a photo much larger than its goal); 0 when it cannot be made. */
HGLOBAL BoxReduce(HGLOBAL hDib, int k)
{
    const BYTE *src = static_cast<const BYTE *>(BaseMemLock(hDib));
    if (!src)
        return 0;
    const BITMAPINFOHEADER *sh = reinterpret_cast<const BITMAPINFOHEADER *>(src);
    HGLOBAL h = 0;
    if (sh->biBitCount == 24 && sh->biWidth > 0 && sh->biHeight > 0 && sh->biCompression == BI_RGB && k >= 2) {
        const int W = sh->biWidth, H = sh->biHeight, w = W / k, hh = H / k;
        const size_t sstride = (size_t(W) * 3 + 3) & ~size_t(3), dstride = (size_t(w) * 3 + 3) & ~size_t(3);
        const BYTE *spx = src + sh->biSize + 4 * size_t(sh->biClrUsed);
        if (w >= 1 && hh >= 1 && (h = BaseMemAlloc(GMEM_MOVEABLE, sizeof(BITMAPINFOHEADER) + dstride * size_t(hh))) != 0) {
            BYTE *dst = static_cast<BYTE *>(BaseMemLock(h));
            if (!dst) {
                BaseMemFree(h);
                h = 0;
            } else {
                BITMAPINFOHEADER *dh = reinterpret_cast<BITMAPINFOHEADER *>(dst);
                memset(dh, 0, sizeof *dh);
                dh->biSize = sizeof(BITMAPINFOHEADER);
                dh->biWidth = w;
                dh->biHeight = hh;
                dh->biPlanes = 1;
                dh->biBitCount = 24;
                dh->biSizeImage = DWORD(dstride * size_t(hh));
                dh->biXPelsPerMeter = sh->biXPelsPerMeter;
                dh->biYPelsPerMeter = sh->biYPelsPerMeter;
                std::vector<unsigned> sum(size_t(w) * 3);
                const unsigned n = unsigned(k * k);
                // Bottom-up both: stored row r of the result averages stored rows r*k .. r*k+k-1
                // (the rows of the source's top that a whole square does not cover are dropped).
                const int skip = H - hh * k;
                for (int r = 0; r < hh; ++r) {
                    std::fill(sum.begin(), sum.end(), 0u);
                    for (int j = 0; j < k; ++j) {
                        const BYTE *row = spx + size_t(skip + r * k + j) * sstride;
                        for (int x = 0; x < w; ++x) {
                            const BYTE *p = row + size_t(x) * k * 3;
                            unsigned b = 0, g = 0, rr = 0;
                            for (int i = 0; i < k; ++i, p += 3) {
                                b += p[0];
                                g += p[1];
                                rr += p[2];
                            }
                            sum[3 * size_t(x)] += b;
                            sum[3 * size_t(x) + 1] += g;
                            sum[3 * size_t(x) + 2] += rr;
                        }
                    }
                    BYTE *out = dst + sizeof(BITMAPINFOHEADER) + size_t(r) * dstride;
                    for (size_t i = 0; i < sum.size(); ++i)
                        out[i] = BYTE((sum[i] + n / 2) / n);
                }
                BaseMemUnlock(h);
            }
        }
    }
    BaseMemUnlock(hDib);
    return h;
}

/* The bitmap at w x h: a box reduction while it is at least twice as large, then a filtered
 * resample.  The source stays the caller's; 0 when a step fails. */
HGLOBAL ScaleTo(HGLOBAL hDib, int w, int h)
{
    int W = 0, H = 0;
    PxDibGetSize(hDib, &W, &H);
    if (W == w && H == h)
        return PxDibDuplicate(hDib);
    int k = std::min(W / std::max(w, 1), H / std::max(h, 1));
    HGLOBAL base = 0;
    if (k >= 2 && PxDibGetType(hDib) == PX_TYPE_TRUECOLOR)
        base = BoxReduce(hDib, k);
    HGLOBAL out = PxDibResampleHQ(base ? base : hDib, w, h);
    if (base)
        BaseMemFree(base);
    return out;
}

/* w x h shrunk to about `area` pixels, proportions kept, each side at least FIT_MIN_SIDE
 * (or the picture's own side when smaller). */
void SizeForArea(int W, int H, double area, int *w, int *h)
{
    double s = sqrt(area / (double(W) * H));
    if (s > 1)
        s = 1;
    *w = std::max(std::min(W, FIT_MIN_SIDE), int(W * s));
    *h = std::max(std::min(H, FIT_MIN_SIDE), int(H * s));
}

inline int Be16(const unsigned char *p) { return (p[0] << 8) | p[1]; }
inline long Le32(const unsigned char *p) { return long(p[0] | (p[1] << 8) | (p[2] << 16) | ((unsigned long)p[3] << 24)); }

/* A JPEG's, BMP's or PNG's size from its header, without decoding it: false when the header
 * does not say.
 *   JPEG: markers FF xx from offset 2; a start-of-frame segment (C0-CF but C4, C8, CC) holds
 *         length:u16 precision:u8 height:u16 width:u16 (big-endian)
 *   BMP:  a 12-byte core header holds width:u16 height:u16 at 18; larger ones width:i32
 *         height:i32 (negative: top-down) at 18
 *   PNG:  the IHDR chunk first: width:u32 height:u32 (big-endian) at 16 */
bool StillSize(const unsigned char *d, size_t n, int *w, int *h)
{
    *w = *h = 0;
    if (n >= 3 && d[0] == 0xFF && d[1] == 0xD8) {
        size_t at = 2;
        while (at + 4 <= n) {
            if (d[at] != 0xFF)
                return false;
            int m = d[at + 1];
            if (m == 0xFF) {
                ++at;  // fill octet
                continue;
            }
            if (m == 0x01 || (m >= 0xD0 && m <= 0xD8)) {
                at += 2;
                continue;
            }
            if (m >= 0xC0 && m <= 0xCF && m != 0xC4 && m != 0xC8 && m != 0xCC) {
                if (at + 9 > n)
                    return false;
                *h = Be16(d + at + 5);
                *w = Be16(d + at + 7);
                return *w > 0 && *h > 0;
            }
            if (m == 0xD9 || m == 0xDA)
                return false;  // image data before any frame header
            at += 2 + size_t(Be16(d + at + 2));
        }
        return false;
    }
    if (n >= 26 && d[0] == 'B' && d[1] == 'M') {
        long head = Le32(d + 14);
        if (head == 12) {
            *w = d[18] | (d[19] << 8);
            *h = d[20] | (d[21] << 8);
        } else if (head >= 40) {
            long hw = Le32(d + 18), hh = Le32(d + 22);
            if (hw <= 0 || hw > 0x7FFFFF || hh == 0 || hh < -0x7FFFFF || hh > 0x7FFFFF)
                return false;
            *w = int(hw);
            *h = int(hh < 0 ? -hh : hh);
        }
        return *w > 0 && *h > 0;
    }
    if (n >= 24 && memcmp(d, "\x89PNG\r\n\x1a\n", 8) == 0 && memcmp(d + 12, "IHDR", 4) == 0) {
        unsigned long pw = (unsigned long)Be16(d + 16) << 16 | unsigned(Be16(d + 18));
        unsigned long ph = (unsigned long)Be16(d + 20) << 16 | unsigned(Be16(d + 22));
        if (pw == 0 || ph == 0 || pw > 0x7FFFFF || ph > 0x7FFFFF)
            return false;
        *w = int(pw);
        *h = int(ph);
        return true;
    }
    return false;
}

/* The part's data as found in the source message. */
struct Source {
    MIME_PART *part;
    std::string file;  // its copy in the work folder
    bool picture = false;
    bool jpeg = false;  // a JPEG (kept as it is when it fits)
    double weight = 0;
    size_t index = 0;   // into result->parts
    std::string outFile;  // the data the result carries
    std::string outType;
    bool leftOut = false;
};

class Fitter {
public:
    Fitter(const std::string &work, FitResult *r, FITPROGRESSPROC proc, void *ctx)
        : m_work(WithSeparator(work)), m_r(r), m_proc(proc), m_ctx(ctx)
    {
    }
    ~Fitter()
    {
        if (m_msg)
            MimeDestroy(m_msg);
        for (const std::string &f : m_scratch)
            DeleteFileA(f.c_str());
    }
    int Run(const std::string &in, const std::string &out, DWORD budget);

private:
    bool Fail(const std::string &why, DWORD code = 0)
    {
        m_r->ok = false;
        m_r->reason = why;
        m_r->error = code;
        return false;
    }
    std::string Scratch(const std::string &name)
    {
        std::string p = m_work + name;
        m_scratch.push_back(p);
        return p;
    }
    void Step()
    {
        ++m_done;
        if (m_proc)
            m_proc(m_ctx, m_done, m_total);
    }
    bool Open(const std::string &in);
    bool Classify();
    bool Measure(long long *fixed);
    bool Write(const std::string &path, bool placeholders);
    bool Still(Source &s, long long share);
    bool LeftOutAsDamaged(Source &s, HGLOBAL *decoded, int minW, int minH);
    bool Animation(Source &s, long long share);
    bool EncodeStill(HGLOBAL dib, int w, int h, int q, std::string *jpeg);

    std::string m_work;
    FitResult *m_r;
    FITPROGRESSPROC m_proc;
    void *m_ctx;
    int m_done = 0, m_total = 1;
    MIME_MESSAGE *m_msg = nullptr;
    std::vector<Source> m_src;
    std::vector<std::string> m_scratch;
    std::string m_placeholder;
};

bool Fitter::Open(const std::string &in)
{
    std::string folder, name;
    SplitPath(in, &folder, &name);
    SetLastError(ERROR_SUCCESS);
    long long size = FioPathSize(in.c_str());
    if (size < 0)
        return Fail("the message " + in + " cannot be opened: " + CodeWords(GetLastError()), GetLastError());
    m_r->sourceSize = size;
    m_msg = MimeOpenFile(folder.c_str(), name.c_str());
    if (!m_msg) {
        DWORD e = GetLastError();
        if (e == ERROR_SUCCESS)
            e = ERROR_INVALID_DATA;
        return Fail("the message " + in + " cannot be opened: " + CodeWords(e), e);
    }
    return true;
}

/* Copies each part's data into the work folder and sorts the parts into kinds. */
bool Fitter::Classify()
{
    int n = 0;
    std::vector<char> buf;
    for (MIME_PART *p = m_msg->firstPart; p; p = p->next, ++n) {
        Source s;
        s.part = p;
        s.index = m_r->parts.size();
        FitPart fp;
        fp.name = p->name ? p->name : "part" + std::to_string(n + 1);
        fp.typeBefore = p->contentType ? p->contentType : "";
        fp.before = p->dataLength;
        std::string type = BareType(p->contentType);
        if (p->dataLength < 0 || WspFileSeek(m_msg->stream, WSP_SEEK_SET, p->dataOffset) != 0)
            return Fail("the message cannot be read", ERROR_READ_FAULT);
        try {
            buf.resize(size_t(p->dataLength));
        } catch (const std::bad_alloc &) {
            return Fail("not enough memory for the part " + fp.name, ERROR_NOT_ENOUGH_MEMORY);
        }
        if (p->dataLength && WspFileRead(m_msg->stream, buf.data(), p->dataLength) != p->dataLength)
            return Fail("the message cannot be read: the part " + fp.name + " ends early", ERROR_HANDLE_EOF);
        s.file = Scratch("fit-src-" + std::to_string(n));
        if (!WriteFile(s.file, buf.data(), buf.size()))
            return Fail("cannot write into the work folder " + m_work + ": " + CodeWords(GetLastError()), GetLastError());
        const unsigned char *d = reinterpret_cast<const unsigned char *>(buf.data());
        size_t len = buf.size();
        bool gif = len >= 6 && memcmp(d, "GIF8", 4) == 0;
        bool jpeg = len >= 3 && d[0] == 0xFF && d[1] == 0xD8 && d[2] == 0xFF;
        bool bmp = len >= 2 && d[0] == 'B' && d[1] == 'M';
        bool png = len >= 8 && memcmp(d, "\x89PNG\r\n\x1a\n", 8) == 0;
        s.outFile = s.file;
        s.outType = fp.typeBefore;
        if (p == m_msg->startPart || type == "application/smil") {
            fp.kind = FIT_PRESENTATION;
        } else if (type.compare(0, 5, "text/") == 0) {
            fp.kind = FIT_TEXT;
        } else if (type.compare(0, 6, "audio/") == 0) {
            fp.kind = FIT_SOUND;
        } else if (type.compare(0, 6, "image/") == 0 && gif) {
            fp.kind = FIT_ANIMATION;
        } else if (type.compare(0, 6, "image/") == 0 && (jpeg || bmp || png)) {
            fp.kind = FIT_STILL;
            s.jpeg = jpeg;
        } else {
            fp.kind = FIT_OTHER;
        }
        fp.done = "kept";
        if (fp.kind == FIT_STILL)
            s.outType = "image/jpeg";  // what it is, or becomes
        if (fp.kind == FIT_STILL || fp.kind == FIT_ANIMATION) {
            s.picture = true;
            // The size from the header; a picture whose header does not read is damaged.
            if (fp.kind == FIT_ANIMATION) {
                // Counted from the blocks: only what is re-encoded gets decoded.
                GIFSCAN scan;
                WORD sw = 0, sh = 0;
                if (ScanGif(s.file.c_str(), &scan) && !scan.verdict && scan.frames > 0 &&
                    GetGifSize(s.file.c_str(), &sw, &sh)) {
                    fp.width = sw;
                    fp.height = sh;
                    fp.frames = scan.frames;
                    s.weight = double(scan.pixels);
                } else if (scan.verdict) {
                    char why[160];
                    DescribeGifScan(&scan, why, sizeof why);
                    fp.done = std::string(why[0] == 'f' ? "left out: the animation's " : "left out: the animation ") + why;
                }
            } else if (StillSize(d, len, &fp.width, &fp.height)) {
                // Decoded in full later, one at a time (and left out then if it is damaged).
                s.weight = double(fp.width) * fp.height;
            }
            if (fp.width <= 0 || fp.height <= 0) {
                fp.carried = false;
                if (fp.done == "kept")
                    fp.done = "left out: the picture is damaged (it cannot be decoded)";
                fp.typeAfter.clear();
                s.leftOut = true;
                s.picture = false;
            }
            s.weight = std::min(s.weight, double(FIT_AREA_CAP));
        }
        if (fp.carried) {
            fp.typeAfter = fp.typeBefore;
            fp.after = fp.before;
        }
        m_r->parts.push_back(fp);
        m_src.push_back(s);
    }
    return true;
}

bool Fitter::Write(const std::string &path, bool placeholders)
{
    MIME_MESSAGE *out = MimeCreate();
    if (!out)
        return Fail("not enough memory", ERROR_NOT_ENOUGH_MEMORY);
    bool ok = true;
    for (size_t i = 0; ok && i < m_src.size(); ++i) {
        const Source &s = m_src[i];
        if (s.leftOut)
            continue;
        std::string folder, file;
        SplitPath(placeholders && s.picture ? m_placeholder : s.outFile, &folder, &file);
        MIME_PART_INFO info = {s.outType.c_str(), folder.c_str(), file.c_str(), s.part->contentId};
        ok = MimeAddPart(out, &info) != 0;
        if (!ok)
            break;
        MIME_PART *last = out->firstPart;
        while (last->next)
            last = last->next;
        // The part keeps its name (the presentation refers to it by that name).
        if (s.part->name && !(last->name = strdup(s.part->name)))
            ok = false;
        if (s.part == m_msg->startPart)
            out->startPart = last;
    }
    if (!ok) {
        MimeDestroy(out);
        return Fail("not enough memory", ERROR_NOT_ENOUGH_MEMORY);
    }
    std::string folder, file;
    SplitPath(path, &folder, &file);
    m_scratch.push_back(path);
    int written = MimeWriteFile(out, folder.c_str(), file.c_str());
    DWORD e = GetLastError();
    MimeDestroy(out);
    if (!written)
        return Fail("the message cannot be written in the work folder: " + CodeWords(e), e);
    return true;
}

/* The octets no shrinking changes: the message written with one octet per picture. */
bool Fitter::Measure(long long *fixed)
{
    m_placeholder = Scratch("fit-placeholder");
    if (!WriteFile(m_placeholder, "\0", 1))
        return Fail("cannot write into the work folder " + m_work + ": " + CodeWords(GetLastError()), GetLastError());
    std::string path = m_work + "fit-fixed.dat";
    if (!Write(path, true))
        return false;
    long long size = FioPathSize(path.c_str());
    if (size < 0)
        return Fail("the measuring message cannot be read back", GetLastError());
    int pictures = 0;
    for (const Source &s : m_src)
        pictures += s.picture;
    *fixed = size - 2LL * pictures;
    return true;
}

bool Fitter::EncodeStill(HGLOBAL dib, int w, int h, int q, std::string *jpeg)
{
    HGLOBAL scaled = ScaleTo(dib, w, h);
    if (!scaled)
        return false;
    DWORD n = 0;
    HGLOBAL block = PxDibEncodeJpeg(scaled, q, &n);
    BaseMemFree(scaled);
    if (!block)
        return false;
    const char *p = static_cast<const char *>(BaseMemLock(block));
    if (p)
        jpeg->assign(p, n);
    BaseMemUnlock(block);
    BaseMemFree(block);
    return p != nullptr;
}

/* Decodes a still picture (into *decoded, or only to see that it decodes) at no less than
 * minW x minH (a JPEG comes reduced as far as that allows); one that does not decode is left
 * out of the message and reported as damaged.  A header that reads says nothing of the data
 * behind it. */
bool Fitter::LeftOutAsDamaged(Source &s, HGLOBAL *decoded, int minW, int minH)
{
    HGLOBAL dib = PxOpenFileReduced(s.file.c_str(), minW, minH);
    if (dib) {
        if (decoded)
            *decoded = dib;
        else
            BaseMemFree(dib);
        return false;
    }
    FitPart &fp = m_r->parts[s.index];
    fp.carried = false;
    fp.after = 0;
    fp.typeAfter.clear();
    fp.done = "left out: the picture is damaged (it cannot be decoded)";
    s.leftOut = true;
    s.picture = false;
    return true;
}

/* A JPEG, BMP or PNG made a JPEG of at most `share` octets of cost. */
bool Fitter::Still(Source &s, long long share)
{
    FitPart &fp = m_r->parts[s.index];
    const long long limit = DataFor(share);
    if (s.jpeg && Cost(fp.before) <= share) {
        if (!LeftOutAsDamaged(s, nullptr, 1, 1))
            fp.done = "kept (fits its share of " + Kb(share) + ")";
        return true;
    }
    // The size the header gave.  How many octets a pixel takes at quality 75 is measured on
    // a copy of at most kProbeSide, from a picture decoded no larger than that needs.
    const int W = fp.width, H = fp.height;
    int pw = W, ph = H;
    if (std::max(W, H) > kProbeSide) {
        double f = double(kProbeSide) / std::max(W, H);
        pw = std::max(1, int(W * f));
        ph = std::max(1, int(H * f));
    }
    HGLOBAL dib = 0;
    if (LeftOutAsDamaged(s, &dib, pw, ph))
        return true;
    std::string jpeg;
    if (!EncodeStill(dib, pw, ph, 75, &jpeg)) {
        BaseMemFree(dib);
        return Fail("the picture " + fp.name + " cannot be encoded as JPEG (not enough memory)", ERROR_NOT_ENOUGH_MEMORY);
    }
    const double perPixel = double(jpeg.size()) / (double(pw) * ph);
    // Falling quality at the full size, then the floor quality at a smaller size.
    int step = kLadderSteps - 1, w = W, h = H;
    for (int i = 0; i < kLadderSteps; ++i)
        if (perPixel * kLadderRatio[i] * W * H <= limit * 0.95) {
            step = i;
            break;
        }
    if (perPixel * kLadderRatio[step] * W * H > limit * 0.95)
        SizeForArea(W, H, limit * 0.9 / (perPixel * kLadderRatio[step]), &w, &h);
    int q = kLadder[step];
    // One reduction of the full picture serves every try (kept at least 1.5 times the first
    // guess on each side, room for a larger try); the decoded picture is freed early.  When
    // the probe's picture is smaller than that, the file is decoded again as large as needed.
    int baseW = 0, baseH = 0;
    PxDibGetSize(dib, &baseW, &baseH);
    const int needW = w < W ? std::min(W, w + w / 2) : W, needH = w < W ? std::min(H, h + h / 2) : H;
    if (baseW < needW || baseH < needH) {
        HGLOBAL larger = 0;
        if (LeftOutAsDamaged(s, &larger, needW, needH)) {
            BaseMemFree(dib);
            return true;
        }
        BaseMemFree(dib);
        dib = larger;
        PxDibGetSize(dib, &baseW, &baseH);
    }
    fp.decodedWidth = baseW;
    fp.decodedHeight = baseH;
    if (w < W && PxDibGetType(dib) == PX_TYPE_TRUECOLOR) {
        int k = std::min(baseW / std::max(1, w + w / 2), baseH / std::max(1, h + h / 2));
        HGLOBAL base = k >= 2 ? BoxReduce(dib, k) : 0;
        if (base) {
            BaseMemFree(dib);
            dib = base;
            PxDibGetSize(dib, &baseW, &baseH);
        }
    }
    std::string best;
    int bw = 0, bh = 0, bq = 0;
    bool grown = false;
    // Once a size fitted and a larger one did not: the area between them is halved (by
    // ratio) while they are more than kCloseEnough apart, so little of the share is left.
    int failW = 0, failH = 0;
    const double kCloseEnough = 1.12;
    auto between = [&]() {
        if (double(failW) * failH <= double(bw) * bh * kCloseEnough)
            return false;
        int mw, mh;
        SizeForArea(W, H, sqrt(double(bw) * bh * double(failW) * failH), &mw, &mh);
        if ((mw <= bw && mh <= bh) || (mw >= failW && mh >= failH))
            return false;
        w = mw;
        h = mh;
        return true;
    };
    for (int tries = 0; tries < 16; ++tries) {
        if (!EncodeStill(dib, w, h, q, &jpeg)) {
            BaseMemFree(dib);
            return Fail("the picture " + fp.name + " cannot be encoded as JPEG (not enough memory)", ERROR_NOT_ENOUGH_MEMORY);
        }
        long long got = (long long)jpeg.size();
        if (got <= limit) {
            best.swap(jpeg);
            bw = w;
            bh = h;
            bq = q;
            if (failW) {
                if (between())
                    continue;
                break;
            }
            // Much room left after a shrink: one try a little larger.
            if (!grown && (w < W || q < kLadder[0]) && got < limit * 0.7) {
                grown = true;
                if (w < W) {
                    int gw, gh;
                    SizeForArea(W, H, double(w) * h * (limit * 0.9 / got), &gw, &gh);
                    if (gw > baseW || gh > baseH) {
                        gw = std::min(gw, baseW);
                        gh = std::min(gh, baseH);
                    }
                    if (gw > w) {
                        w = gw;
                        h = gh;
                        continue;
                    }
                } else if (step > 0) {
                    q = kLadder[--step];
                    continue;
                }
            }
            break;
        }
        if (!best.empty()) {
            // The larger try did not fit: one between it and the last that did, or that one.
            failW = w;
            failH = h;
            if (bq == q && between())
                continue;
            break;
        }
        if (w == W && h == H && step + 1 < kLadderSteps) {
            q = kLadder[++step];
            continue;
        }
        int nw, nh;
        SizeForArea(W, H, double(w) * h * (double(limit) / got) * 0.92, &nw, &nh);
        if (nw >= w && nh >= h) {
            // At the smallest side: the quality has to give way.
            if (q <= kLastQuality)
                break;
            q = std::max(kLastQuality, q - 15);
            continue;
        }
        w = nw;
        h = nh;
    }
    BaseMemFree(dib);
    if (best.empty())
        return Fail("the picture " + fp.name + " cannot be brought under its share of the budget, " + Kb(share) +
                    ": even at " + std::to_string(w) + "x" + std::to_string(h) + " and quality " + std::to_string(q) +
                    " it takes " + Kb((long long)jpeg.size()));
    s.outFile = Scratch("fit-out-" + std::to_string(s.index) + ".jpg");
    if (!WriteFile(s.outFile, best.data(), best.size()))
        return Fail("cannot write into the work folder " + m_work + ": " + CodeWords(GetLastError()), GetLastError());
    s.outType = "image/jpeg";
    fp.typeAfter = s.outType;
    fp.after = (long long)best.size();
    fp.newWidth = bw;
    fp.newHeight = bh;
    fp.quality = bq;
    fp.done = std::string(s.jpeg ? "JPEG" : "re-encoded as JPEG") + " " + std::to_string(bw) + "x" + std::to_string(bh) +
              " at quality " + std::to_string(bq);
    return true;
}

/* A GIF resized (and below half its size reduced in colours) to at most `share` octets. */
bool Fitter::Animation(Source &s, long long share)
{
    FitPart &fp = m_r->parts[s.index];
    const long long limit = DataFor(share);
    if (Cost(fp.before) <= share) {
        fp.done = "kept (fits its share of " + Kb(share) + ")";
        return true;
    }
    const int W = fp.width, H = fp.height;
    std::string out = Scratch("fit-out-" + std::to_string(s.index) + ".gif");
    double scale = sqrt(double(limit) / fp.before) * 0.95;
    int colours = 256;
    long long got = 0;
    int w = W, h = H;
    for (int tries = 0; tries < 20; ++tries) {
        if (scale > 1)
            scale = 1;
        w = std::max(1, int(W * scale));
        h = std::max(1, int(H * scale));
        if (std::max(w, h) < kMinAnimationSide && colours <= 16)
            break;
        SetLastError(ERROR_SUCCESS);
        if (!ResizeGif(s.file.c_str(), w, h, out.c_str())) {
            DWORD e = GetLastError();
            if (e != ERROR_SUCCESS)
                return Fail("the animation " + fp.name + " cannot be resized: " + CodeWords(e), e);
            // Already within the box: the colours alone are reduced.
            if (colours >= 256)
                break;
            if (!ReduceGifColoursEx(s.file.c_str(), colours, out.c_str(), GIF_REDUCE_REFINE))
                return Fail("the animation " + fp.name + " cannot be reduced in colours: " + CodeWords(GetLastError()),
                            GetLastError());
        } else if (colours < 256 && !ReduceGifColoursEx(out.c_str(), colours, out.c_str(), GIF_REDUCE_REFINE)) {
            return Fail("the animation " + fp.name + " cannot be reduced in colours: " + CodeWords(GetLastError()),
                        GetLastError());
        }
        got = FioPathSize(out.c_str());
        if (got < 0)
            return Fail("the animation " + fp.name + " cannot be read back", GetLastError());
        if (got <= limit) {
            GIFSCAN check;
            WORD cw = 0, ch = 0;
            if (!ScanGif(out.c_str(), &check) || check.verdict || check.frames != fp.frames ||
                !GetGifSize(out.c_str(), &cw, &ch))
                return Fail("the animation " + fp.name + " lost frames while it was resized");
            fp.newWidth = cw;
            fp.newHeight = ch;
            fp.after = got;
            fp.colours = colours < 256 ? colours : 0;
            s.outFile = out;
            fp.done = "GIF " + std::to_string(fp.newWidth) + "x" + std::to_string(fp.newHeight) + ", " +
                      std::to_string(fp.frames) + " frames kept" +
                      (colours < 256 ? ", " + std::to_string(colours) + " colours" : std::string());
            return true;
        }
        // Below half its size, fewer colours first; then smaller again.
        if (scale < 0.5 && colours > 16) {
            colours = colours >= 256 ? 64 : colours / 2;
            continue;
        }
        scale *= sqrt(double(limit) / got) * 0.95;
    }
    return Fail("the animation " + fp.name + " cannot be brought under its share of the budget, " + Kb(share) +
                ": even at " + std::to_string(w) + "x" + std::to_string(h) + " with " + std::to_string(colours) +
                " colours it takes " + Kb(got));
}

int Fitter::Run(const std::string &in, const std::string &out, DWORD budget)
{
    m_r->budget = budget;
    if (FioSameFile(in.c_str(), out.c_str()) == 1)
        return Fail("the output " + out + " is the message being fitted: it is never replaced", FIO_ERROR_OUTPUT_IS_INPUT);
    if (!Open(in) || !Classify())
        return 0;
    int pictures = 0;
    for (const Source &s : m_src)
        pictures += s.picture;
    m_total = pictures + 2;
    long long fixed = 0;
    if (!Measure(&fixed))
        return 0;
    m_r->fixed = fixed;
    Step();
    if (fixed > (long long)budget) {
        // Name what takes the most among the parts no shrinking changes.
        const FitPart *largest = nullptr;
        for (const FitPart &p : m_r->parts)
            if (p.carried && p.kind != FIT_STILL && p.kind != FIT_ANIMATION && (!largest || p.before > largest->before))
                largest = &p;
        std::string why = "the budget of " + Kb(budget) + " is smaller than what cannot be shrunk, " + Kb(fixed) +
                          " (headers, names, presentation, texts and sounds)";
        if (pictures == 0)
            why = "nothing in the message can be shrunk (no JPEG, BMP, PNG or GIF picture): it takes " + Kb(fixed) +
                  ", the budget is " + Kb(budget);
        if (largest && largest->kind == FIT_SOUND && largest->before > (long long)budget)
            why = "the sound " + largest->name + " alone takes " + Kb(largest->before) + ", more than the budget of " +
                  Kb(budget) + " (sounds are never altered)";
        else if (largest)
            why += "; the largest of them is the " +
                   std::string(largest->kind == FIT_SOUND ? "sound" : largest->kind == FIT_TEXT ? "text"
                               : largest->kind == FIT_PRESENTATION ? "presentation" : "part") +
                   " " + largest->name + ", " + Kb(largest->before);
        return Fail(why);
    }

    // Pictures that fit their share as they are keep it; what they leave goes to the others.
    long long room = (long long)budget - fixed;
    std::vector<bool> decided(m_src.size(), false);
    for (bool changed = true; changed;) {
        changed = false;
        double weight = 0;
        long long left = room;
        for (size_t i = 0; i < m_src.size(); ++i)
            if (m_src[i].picture && !decided[i])
                weight += m_src[i].weight;
        for (size_t i = 0; i < m_src.size(); ++i) {
            Source &s = m_src[i];
            const FitPart &fp = m_r->parts[s.index];
            bool keepable = fp.kind == FIT_ANIMATION || s.jpeg;
            if (!s.picture || decided[i] || !keepable || weight <= 0)
                continue;
            if (Cost(fp.before) <= (long long)(left * (s.weight / weight))) {
                decided[i] = true;
                // An animation was decoded whole when it was measured; a JPEG only its header.
                if (fp.kind == FIT_ANIMATION || !LeftOutAsDamaged(s, nullptr, 1, 1)) {
                    room -= Cost(fp.before);
                    m_r->parts[s.index].done = "kept (fits its share)";
                }
                changed = true;
                Step();
                break;
            }
        }
    }
    double weight = 0;
    for (size_t i = 0; i < m_src.size(); ++i)
        if (m_src[i].picture && !decided[i])
            weight += m_src[i].weight;
    for (size_t i = 0; i < m_src.size(); ++i) {
        Source &s = m_src[i];
        if (!s.picture || decided[i])
            continue;
        long long share = weight > 0 ? (long long)(room * (s.weight / weight)) : room;
        weight -= s.weight;
        bool ok = m_r->parts[s.index].kind == FIT_ANIMATION ? Animation(s, share) : Still(s, share);
        if (!ok)
            return 0;
        if (s.picture)
            room -= Cost(m_r->parts[s.index].after);
        Step();
    }

    // A message with nothing left but its presentation (every other part a damaged picture)
    // is no message: say so rather than write one with nothing to show, or none at all.
    bool anyCarried = false;
    for (const FitPart &p : m_r->parts)
        anyCarried = anyCarried || (p.carried && p.kind != FIT_PRESENTATION);
    if (!anyCarried) {
        // An animation over its budget is named with what it declares.
        for (const FitPart &p : m_r->parts)
            if (!p.carried && p.done.compare(0, 23, "left out: the animation") == 0)
                return Fail("nothing is left to send: " + p.name + " was " + p.done);
        return Fail("nothing is left to send: every part of the message is a damaged picture");
    }

    std::string final = m_work + "fit-message.dat";
    if (!Write(final, false))
        return 0;
    long long size = FioPathSize(final.c_str());
    if (size < 0 || size > (long long)budget)
        return Fail("the fitted message takes " + Kb(size) + ", more than the budget of " + Kb(budget) +
                    " (the plan and the file disagree)");
    // Put in place whole: copied beside the destination and renamed over it when complete.
    FIO_FILE *src = FioOpen(final.c_str(), "rb");
    if (!src)
        return Fail("the fitted message cannot be read back: " + CodeWords(GetLastError()), GetLastError());
    FIO_FILE *dst = FioCreateAtomic(out.c_str());
    if (!dst) {
        DWORD e = GetLastError();
        FioClose(src);
        return Fail("cannot write " + out + ": " + CodeWords(e), e);
    }
    std::vector<char> buf(65536);
    bool ok = true;
    for (;;) {
        size_t got = FioRead(src, buf.data(), buf.size());
        if (got == 0)
            break;
        if (FioWrite(dst, buf.data(), got) != got) {
            ok = false;
            break;
        }
    }
    ok = ok && !FioError(src);
    FioClose(src);
    if (!ok || !FioCommit(dst)) {
        DWORD e = GetLastError();
        if (!ok)
            FioClose(dst);
        return Fail("cannot write " + out + ": " + CodeWords(e), e);
    }
    m_r->size = size;
    m_r->ok = true;
    Step();
    return 1;
}

}  // namespace

int FitMessageFile(LPCSTR lpszIn, LPCSTR lpszWorkFolder, LPCSTR lpszOut, DWORD dwBudget, FitResult *result,
                   FITPROGRESSPROC pfnProgress, void *pContext)
{
    if (!result)
        return 0;
    *result = FitResult();
    if (!lpszIn || !*lpszIn || !lpszWorkFolder || !*lpszWorkFolder || !lpszOut || !*lpszOut || dwBudget == 0) {
        result->reason = "a message, a work folder, an output path and a budget above 0 are needed";
        result->error = ERROR_INVALID_PARAMETER;
        return 0;
    }
    try {
        Fitter f(lpszWorkFolder, result, pfnProgress, pContext);
        return f.Run(lpszIn, lpszOut, dwBudget);
    } catch (const std::bad_alloc &) {
        result->ok = false;
        result->reason = "not enough memory";
        result->error = ERROR_NOT_ENOUGH_MEMORY;
        return 0;
    }
}

int FitFolder(LPCSTR lpszFolder, LPCSTR lpszWorkFolder, LPCSTR lpszOut, DWORD dwBudget, FitResult *result,
              FITPROGRESSPROC pfnProgress, void *pContext)
{
    if (!result)
        return 0;
    *result = FitResult();
    if (!lpszFolder || !*lpszFolder || !lpszWorkFolder || !*lpszWorkFolder || !lpszOut || !*lpszOut || dwBudget == 0) {
        result->reason = "a folder, a work folder, an output path and a budget above 0 are needed";
        result->error = ERROR_INVALID_PARAMETER;
        return 0;
    }
    std::string composed = WithSeparator(lpszWorkFolder) + "fit-composed.dat";
    ComposeResult cr;
    // Pictures are decoded by the fitting itself: composing only checks their signatures.
    int ok = ComposeFolderEx(lpszFolder, lpszWorkFolder, composed.c_str(), &cr, COMPOSE_QUICK_PICTURES);
    std::vector<ComposeFile> files = cr.files;
    if (!ok) {
        DeleteFileA(composed.c_str());
        for (const ComposeFile &f : files)
            if (f.converted)
                DeleteFileA(f.carriedPath.c_str());
        result->files = files;
        result->reason = "the folder cannot be made into a message: " + cr.reason;
        return 0;
    }
    ok = FitMessageFile(composed.c_str(), lpszWorkFolder, lpszOut, dwBudget, result, pfnProgress, pContext);
    DeleteFileA(composed.c_str());
    for (ComposeFile &f : files) {
        if (f.converted)
            DeleteFileA(f.carriedPath.c_str());
        // A picture the fitting found damaged is left out of the message after all.
        for (const FitPart &p : result->parts)
            if (f.carried && !p.carried && Lower(p.name) == Lower(f.name)) {
                f.carried = false;
                f.note = p.done;
            }
    }
    result->files = files;
    return ok;
}
