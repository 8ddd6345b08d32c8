/*
 * Messages fitted to a size budget: from a folder and from a message file; what is kept
 * untouched, what becomes JPEG, animations that keep every frame, the sharing by area, and the
 * clear failures that leave nothing behind.  GIF colour reduction on its own.
 */
#include <gtest/gtest.h>
#include <string.h>

#include <filesystem>
#include <string>
#include <vector>

#include "basemem.h"
#include "fit.h"
#include "gif.h"
#include "imaging/gif_bytes.h"
#include "message/mime_bytes.h"
#include "media_files.h"
#include "picture_files.h"
#include "pixkit.h"
#include "testkit.h"

namespace {

using Bytes = std::vector<unsigned char>;

using giftest::Animation;
using mimetest::Named;
using mimetest::PartsOf;
using testkit::JpegOf;
using testkit::Photo;
using testkit::PhotoDib;

/* A 24-bit BMP file of a photo-like bitmap (or of one flat colour). */
Bytes Bmp(int w, int h, bool flat = false)
{
    HGLOBAL d = flat ? PxDibNew(w, h, 24, 0, 0x336699) : PhotoDib(w, h, 7);
    const BYTE *p = static_cast<const BYTE *>(BaseMemLock(d));
    size_t bytes = BaseMemSize(d);
    Bytes b{'B', 'M'};
    testkit::PutLE(b, uint32_t(14 + bytes), 4);
    testkit::PutLE(b, 0, 4);
    testkit::PutLE(b, 54, 4);
    b.insert(b.end(), p, p + bytes);
    BaseMemUnlock(d);
    BaseMemFree(d);
    return b;
}

/* A GIF's frame count and duration, then each frame's delay, disposal and transparency. */
std::vector<int> FactsOf(const std::string &path)
{
    CGifFile gif;
    if (!gif.Load(path.c_str()))
        return {};
    std::vector<int> facts = {gif.GetFrameCount(), gif.GetDuration()};
    for (int i = 0; i < gif.GetFrameCount(); ++i) {
        GIFFRAMEINFO info;
        gif.GetFrameInfo(i, &info);
        facts.insert(facts.end(), {info.delay, info.disposal, info.hasTransparency});
    }
    return facts;
}

long long SizeOf(const std::string &path)
{
    bool ok = false;
    Bytes b = testkit::ReadFileBytes(path, &ok);
    return ok ? (long long)b.size() : -1;
}

class Fit : public ::testing::Test {
protected:
    void SetUp() override
    {
        folder = dir.file("media");
        work = dir.file("work");
        out = dir.file("out.dat");
        ASSERT_TRUE(CreateDirectoryA(folder.c_str(), NULL));
        ASSERT_TRUE(CreateDirectoryA(work.c_str(), NULL));
    }
    void Put(const std::string &name, const Bytes &b) { ASSERT_TRUE(testkit::WriteFileBytes(dir.file("media/" + name), b)); }
    void PutText(const std::string &name, const std::string &t) { ASSERT_TRUE(testkit::WriteFileText(dir.file("media/" + name), t)); }
    /* Fits the media folder into `to` (out by default) within budget, the progress in steps. */
    int Run(DWORD budget, FitResult *r, const std::string &to = "")
    {
        steps.clear();
        return FitFolder(folder.c_str(), work.c_str(), (to.empty() ? out : to).c_str(), budget, r, Record, &steps);
    }
    static void Record(void *ctx, int done, int total)
    {
        static_cast<std::vector<std::pair<int, int>> *>(ctx)->push_back({done, total});
    }
    /* A refusal that names its cause and leaves `path` as it was and the work folder empty. */
    void ExpectRefused(int result, const FitResult &r, const char *says, const std::string &path, const Bytes &was)
    {
        EXPECT_EQ(0, result);
        EXPECT_NE(std::string::npos, r.reason.find(says)) << r.reason;
        EXPECT_EQ(was, testkit::ReadFileBytes(path));
        ExpectWorkEmpty();
    }
    /* Only what the caller put there is left in the work folder. */
    void ExpectWorkEmpty()
    {
        for (const auto &e : std::filesystem::directory_iterator(work))
            if (!e.is_directory())
                ADD_FAILURE() << "left in the work folder: " << e.path().filename().string();
    }
    testkit::TempDir dir;
    std::string folder, work, out;
    std::vector<std::pair<int, int>> steps;
};

TEST_F(Fit, FolderFitsEachBudgetKeepingTextSoundAndEveryFrame)
{
    Bytes photo = Photo(800, 600, 1), bmp = Bmp(300, 200), gif = Animation(120, 90, 12);
    Bytes wav = testkit::PcmWave(8000, 1, 16, 4000);
    Put("a.jpg", photo);
    Put("b.bmp", bmp);
    Put("c.gif", gif);
    PutText("a.txt", "A caption for the photo.\r\n");
    Put("a.wav", wav);
    std::vector<int> before = FactsOf(dir.file("media/c.gif"));
    ASSERT_EQ(12, before.at(0));
    for (DWORD budget : {2000000u, 150000u, 60000u, 25000u}) {
        SCOPED_TRACE(budget);
        FitResult r;
        ASSERT_EQ(1, Run(budget, &r)) << r.reason;
        EXPECT_TRUE(r.ok);
        // A step for each picture, one before them and one for the write.
        EXPECT_EQ(steps, (std::vector<std::pair<int, int>>{{1, 5}, {2, 5}, {3, 5}, {4, 5}, {5, 5}}));
        long long size = SizeOf(out);
        EXPECT_LE(size, (long long)budget);
        EXPECT_EQ(size, r.size);
        ExpectWorkEmpty();
        auto parts = PartsOf(out);
        ASSERT_EQ(6u, parts.size());
        // Text and sound travel untouched.
        EXPECT_EQ(wav, parts["a.wav"].data);
        EXPECT_EQ("A caption for the photo.\r\n", std::string(parts["a.txt"].data.begin(), parts["a.txt"].data.end()));
        // The BMP is a real JPEG now, under its own name.
        ASSERT_GE(parts["b.bmp"].data.size(), 3u);
        EXPECT_EQ(0xFF, parts["b.bmp"].data[0]);
        EXPECT_EQ(0xD8, parts["b.bmp"].data[1]);
        EXPECT_EQ("image/jpeg", parts["b.bmp"].type);
        const FitPart *fb = Named(r.parts, "b.bmp");
        ASSERT_TRUE(fb);
        EXPECT_EQ("image/jpeg", fb->typeAfter);
        EXPECT_GT(fb->quality, 0);
        if (budget == 2000000) {
            // Within the budget as they are: the pictures keep their size, and only bitmaps
            // are converted.
            EXPECT_EQ(photo, parts["a.jpg"].data);
            EXPECT_EQ(gif, parts["c.gif"].data);
            EXPECT_EQ(300, fb->newWidth);
        }
        // The animation keeps its frames, delays, disposal and transparency.
        ASSERT_TRUE(testkit::WriteFileBytes(dir.file("c-out.gif"), parts["c.gif"].data));
        EXPECT_EQ(before, FactsOf(dir.file("c-out.gif")));
        // Every picture decodes.
        for (const char *name : {"a.jpg", "b.bmp"}) {
            std::string p = dir.file(std::string("x-") + name);
            ASSERT_TRUE(testkit::WriteFileBytes(p, parts[name].data));
            HGLOBAL d = PxOpenFile(p.c_str(), 0, 0);
            EXPECT_TRUE(d) << name;
            if (d)
                BaseMemFree(d);
        }
        // The sum the plan makes is the file.
        long long data = 0;
        for (const FitPart &p : r.parts)
            if (p.kind == FIT_STILL || p.kind == FIT_ANIMATION)
                data += p.after + (p.after < 128 ? 1 : p.after < 16384 ? 2 : 3);
        EXPECT_EQ(r.fixed + data, size);
    }
}

TEST_F(Fit, TheBudgetIsSharedByAreaUpToAScreenfulNotByOrder)
{
    // The smaller photo comes first in name order.  A quarter of the area: clearly less of the
    // budget, about as much per pixel.  A camera photo of 1600 x 1200 beside a screenful of
    // 640 x 480: both count as a screenful, so the budget goes to them about equally.
    const struct Row {
        int w1, h1, w2, h2, quality;
        unsigned seed;
        DWORD budget;
        double least, most;  // second / first
    } rows[] = {{320, 240, 640, 480, 95, 3, 40000, 2, 6}, {1600, 1200, 640, 480, 85, 14, 50000, 2 / 3.0, 3 / 2.0}};
    for (const Row &w : rows) {
        SCOPED_TRACE(w.w1);
        Put("a.jpg", Photo(w.w1, w.h1, w.seed, w.quality));
        Put("b.jpg", Photo(w.w2, w.h2, w.seed + 1, w.quality));
        FitResult r;
        ASSERT_EQ(1, Run(w.budget, &r)) << r.reason;
        const FitPart *a = Named(r.parts, "a.jpg"), *b = Named(r.parts, "b.jpg");
        ASSERT_TRUE(a && b);
        EXPECT_GT(b->after, a->after * w.least) << a->done << " / " << b->done;
        EXPECT_LT(b->after, a->after * w.most) << a->done << " / " << b->done;
        EXPECT_LE(SizeOf(out), (long long)w.budget);
    }
}

TEST_F(Fit, APhotoIsDecodedAsLargeAsItsResultNeedsAndNoLarger)
{
    // The probe needs 640 pixels across: this photo at half size.  A small result needs no
    // more than that; a larger one needs the photo decoded again, at full size.
    Put("a.jpg", Photo(1400, 1050, 12, 90));
    for (DWORD budget : {6000u, 90000u}) {
        SCOPED_TRACE(budget);
        FitResult r;
        ASSERT_EQ(1, Run(budget, &r)) << r.reason;
        const FitPart *p = Named(r.parts, "a.jpg");
        ASSERT_TRUE(p);
        ASSERT_GT(p->quality, 0) << p->done;
        // Never enlarged from a smaller decoding.
        EXPECT_LE(p->newWidth, p->decodedWidth) << p->done;
        EXPECT_LE(p->newHeight, p->decodedHeight);
        if (budget < 10000) {
            EXPECT_EQ(700, p->decodedWidth);
            EXPECT_EQ(525, p->decodedHeight);
        } else {
            EXPECT_GT(p->newWidth, 700) << p->done;
            EXPECT_EQ(1400, p->decodedWidth);
        }
        EXPECT_LE(SizeOf(out), (long long)budget);
    }
}

TEST_F(Fit, AJpegThatFitsWhatOthersLeftIsKeptAsItIs)
{
    // The flat bitmap's share is four fifths of the room and it needs little of it; the photo
    // is over its own first share but within what the bitmap left.
    Bytes photo = Photo(320, 240, 6);
    Put("a.bmp", Bmp(640, 480, true));
    Put("b.jpg", photo);
    FitResult r;
    const DWORD budget = DWORD(photo.size() * 3 / 2 + 1500);
    ASSERT_EQ(1, Run(budget, &r)) << r.reason;
    const FitPart *a = Named(r.parts, "a.bmp"), *b = Named(r.parts, "b.jpg");
    ASSERT_TRUE(a && b);
    EXPECT_GT(a->quality, 0);
    EXPECT_LT(a->after * 4, (long long)photo.size());
    EXPECT_EQ(0u, b->done.find("kept")) << b->done;
    auto parts = PartsOf(out);
    EXPECT_EQ(photo, parts["b.jpg"].data);
    EXPECT_LE(SizeOf(out), (long long)budget);
}

TEST_F(Fit, AMessageFileIsFittedAndNeverReplaced)
{
    Put("a.jpg", Photo(640, 480, 6));
    PutText("a.txt", "Hello");
    std::string composed = dir.file("composed.dat");
    ComposeResult cr;
    ASSERT_EQ(1, ComposeFolder(folder.c_str(), work.c_str(), composed.c_str(), &cr)) << cr.reason;
    Bytes source = testkit::ReadFileBytes(composed);
    FitResult r;
    ASSERT_EQ(1, FitMessageFile(composed.c_str(), work.c_str(), out.c_str(), 20000, &r, nullptr, nullptr)) << r.reason;
    EXPECT_LE(SizeOf(out), 20000);
    EXPECT_EQ((long long)source.size(), r.sourceSize);
    auto in = PartsOf(composed), fitted = PartsOf(out);
    // The presentation and the text are the source's octets.
    EXPECT_EQ(in["mms.smil"].data, fitted["mms.smil"].data);
    EXPECT_EQ(in["a.txt"].data, fitted["a.txt"].data);
    EXPECT_EQ(in["a.txt"].type, fitted["a.txt"].type);
    // The source as its own destination: refused, untouched.
    FitResult same;
    ExpectRefused(FitMessageFile(composed.c_str(), work.c_str(), composed.c_str(), 20000, &same, nullptr, nullptr), same,
                  "never replaced", composed, source);
}

TEST_F(Fit, ImpossibleBudgetsFailClearlyAndLeaveTheOldFile)
{
    Bytes wav = testkit::PcmWave(8000, 1, 16, 20000);  // 40 KB of sound
    Put("a.jpg", Photo(320, 240, 8));
    Put("a.wav", wav);
    const Bytes old = {'o', 'l', 'd'};
    ASSERT_TRUE(testkit::WriteFileBytes(out, old));
    // Room for the sound but not for the smallest picture: the picture is named.
    FitResult first;
    ASSERT_EQ(1, Run(1000000, &first, dir.file("big.dat")));
    const struct Case {
        DWORD budget;
        const char *says;
    } cases[] = {
        {30000, "the sound a.wav alone takes"},
        {40500, "smaller than what cannot be shrunk"},
        {DWORD(first.fixed + 100), "the picture a.jpg cannot be brought under its share"},
    };
    for (const Case &c : cases) {
        FitResult r;
        ExpectRefused(Run(c.budget, &r), r, c.says, out, old);
    }
}

TEST_F(Fit, NothingShrinkableAndUnopenableSourcesAreRefused)
{
    PutText("a.txt", std::string(5000, 'x'));
    Put("a.wav", testkit::PcmWave(8000, 1, 16, 4000));
    FitResult r;
    EXPECT_EQ(0, Run(12000, &r));
    EXPECT_NE(std::string::npos, r.reason.find("nothing in the message can be shrunk")) << r.reason;
    EXPECT_EQ(-1, SizeOf(out));
    // The same fits a budget it is already under: written as it is.
    EXPECT_EQ(1, Run(30000, &r)) << r.reason;

    std::string junk = dir.file("junk.dat"), out2 = dir.file("out2.dat");
    ASSERT_TRUE(testkit::WriteFileText(junk, "not a message at all"));
    EXPECT_EQ(0, FitMessageFile(junk.c_str(), work.c_str(), out2.c_str(), 9000, &r, nullptr, nullptr));
    EXPECT_NE(std::string::npos, r.reason.find("cannot be opened")) << r.reason;
    EXPECT_EQ(DWORD(ERROR_INVALID_DATA), r.error);
    EXPECT_EQ(0, FitMessageFile(dir.file("missing.dat").c_str(), work.c_str(), out2.c_str(), 9000, &r, nullptr, nullptr));
    EXPECT_EQ(DWORD(ERROR_FILE_NOT_FOUND), r.error);
    EXPECT_EQ(-1, SizeOf(out2));
    ExpectWorkEmpty();
}

TEST_F(Fit, DamagedPicturesAreLeftOutAndTheRestGoesOn)
{
    Put("a.jpg", Photo(320, 240, 9));
    Bytes bad = Photo(320, 240, 10);
    bad.resize(40);  // the header and nothing of the image
    Put("b.jpg", bad);
    Bytes garbage{0xFF, 0xD8, 0xFF, 0xE0, 0, 16, 'J', 'F', 'I', 'F', 0, 1, 1, 0, 0, 1, 0, 1, 0, 0, 0xFF, 0xC0, 0, 2};
    Put("c.jpg", garbage);
    // A whole header (its size reads) and no Huffman tables or scan: found damaged only when
    // the picture itself is decoded.
    Bytes headOnly = Photo(320, 240, 11);
    size_t sof = 2;
    while (sof + 4 <= headOnly.size() && !(headOnly[sof] == 0xFF && headOnly[sof + 1] == 0xC0))
        sof += 2 + (headOnly[sof + 2] << 8 | headOnly[sof + 3]);
    ASSERT_LT(sof + 4, headOnly.size());
    headOnly.resize(sof + 2 + (headOnly[sof + 2] << 8 | headOnly[sof + 3]));
    Put("d.jpg", headOnly);
    FitResult r;
    ASSERT_EQ(1, Run(30000, &r)) << r.reason;
    auto parts = PartsOf(out);
    EXPECT_EQ(1u, parts.count("a.jpg"));
    EXPECT_EQ(0u, parts.count("b.jpg"));
    EXPECT_EQ(0u, parts.count("c.jpg"));
    EXPECT_EQ(0u, parts.count("d.jpg"));
    for (const char *name : {"b.jpg", "c.jpg", "d.jpg"}) {
        const FitPart *p = Named(r.parts, name);
        ASSERT_TRUE(p) << name;
        EXPECT_FALSE(p->carried);
        EXPECT_NE(std::string::npos, p->done.find("damaged")) << p->done;
    }
    ASSERT_TRUE(Named(r.files, "b.jpg"));
    EXPECT_FALSE(Named(r.files, "b.jpg")->carried);

    // Only damaged pictures: nothing to send, and the file already there stays as it was.
    ASSERT_TRUE(DeleteFileA(dir.file("media/a.jpg").c_str()));
    FitResult none;
    ExpectRefused(Run(30000, &none), none, "nothing is left to send", out, testkit::ReadFileBytes(out));
}

TEST(GifColours, FewerColoursKeepFramesAndExactTransparency)
{
    testkit::TempDir dir;
    std::string src = dir.file("a.gif"), dst = dir.file("b.gif");
    ASSERT_TRUE(testkit::WriteFileBytes(src, Animation(40, 30, 4)));
    // Plainly and refined; the refined tables come closer to the original colours.
    double error[2] = {0, 0};
    for (int refine : {0, 1}) {
        SCOPED_TRACE(refine);
        ASSERT_EQ(1, ReduceGifColoursEx(src.c_str(), 16, dst.c_str(), refine ? GIF_REDUCE_REFINE : 0));
        ASSERT_EQ(FactsOf(src), FactsOf(dst));  // frames, delays, disposal and transparency
        CGifFile a, b;
        ASSERT_EQ(1, a.Load(src.c_str()));
        ASSERT_EQ(1, b.Load(dst.c_str()));
        GIFSCREEN screen;
        b.GetScreen(&screen);
        EXPECT_LE(screen.colourCount, 16);
        for (int f = 0; f < a.GetFrameCount(); ++f) {
            GIFFRAMEINFO ia, ib;
            a.GetFrameInfo(f, &ia);
            b.GetFrameInfo(f, &ib);
            giftest::Frame fa(a.GetFrameDib(f)), fb(b.GetFrameDib(f));
            // Transparent exactly where it was, nowhere else; other pixels near their colour.
            int distant = 0;
            for (int y = 0; y < 30; ++y)
                for (int x = 0; x < 40; ++x) {
                    int pa = fa.pixel(x, y), pb = fb.pixel(x, y);
                    ASSERT_LT(pb, 16);
                    if (ia.hasTransparency) {
                        ASSERT_EQ(pa == ia.transparentIndex, pb == ib.transparentIndex) << x << "," << y;
                    }
                    const RGBQUAD *qa = reinterpret_cast<const RGBQUAD *>(fa.p + 40) + pa;
                    const RGBQUAD *qb = reinterpret_cast<const RGBQUAD *>(fb.p + 40) + pb;
                    int dr = qa->rgbRed - qb->rgbRed, dg = qa->rgbGreen - qb->rgbGreen, db = qa->rgbBlue - qb->rgbBlue;
                    distant += abs(dr) + abs(dg) + abs(db) > 160;
                    error[refine] += double(dr * dr + dg * dg + db * db);
                }
            EXPECT_LT(distant, 40 * 30 / 10) << "frame " << f;
        }
    }
    EXPECT_LT(error[1], error[0] * 0.9);
    EXPECT_EQ(0, ReduceGifColoursEx(src.c_str(), 16, dst.c_str(), 2));  // an unknown flag
    // Too few colours for the transparent slot plus one: refused, nothing written.
    EXPECT_EQ(0, ReduceGifColours(src.c_str(), 1, dir.file("c.gif").c_str()));
    EXPECT_EQ(-1, SizeOf(dir.file("c.gif")));
}

}  // namespace
