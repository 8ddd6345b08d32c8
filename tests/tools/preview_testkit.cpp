#include "tools/preview_testkit.h"

#include <string.h>

#include <algorithm>
#include <filesystem>

#include <windows.h>

#include "basemem.h"
#include "gif_files.h"
#include "mdoc.h"
#include "pixkit.h"
#include "sample_media.h"

namespace preview_test {

std::vector<unsigned char> Bytes(const std::string &s) { return std::vector<unsigned char>(s.begin(), s.end()); }

std::string BuildMessage(const testkit::TempDir &dir, const std::string &file, const std::vector<PartSpec> &parts,
                         const std::string &smil)
{
    MIME_MESSAGE *m = MimeCreate();
    std::string folder = dir.path() + "/";
    bool ok = m && (smil.empty() || (testkit::WriteFileText(dir.file("s.smil"), smil) &&
                                     MimeAddSmilPart(m, folder.c_str(), "s.smil")));
    for (const PartSpec &p : parts) {
        MIME_PART_INFO info = {p.type.c_str(), folder.c_str(), p.name.c_str(), p.contentId};
        ok = ok && testkit::WriteFileBytes(dir.file(p.name), p.data) && MimeAddPart(m, &info);
    }
    ok = ok && MimeWriteFile(m, folder.c_str(), file.c_str());
    if (m)
        MimeDestroy(m);
    return ok ? dir.file(file) : "";
}

std::vector<unsigned char> TinyGif(int frames)
{
    giftest::Bytes b = giftest::Header(16, 16, 2);
    for (int i = 0; i < frames; ++i) {
        giftest::Gce(b, 20, 0, -1);
        giftest::Image(b, 0, 0, 16, 16, std::vector<int>(16 * 16, 0), 2);
    }
    b.push_back(0x3B);
    return b;
}

std::string DemoMessage(const testkit::TempDir &dir)
{
    std::string media = dir.file("media");
    CreateDirectoryA(media.c_str(), nullptr);
    std::vector<demo::SampleFile> files;
    std::string err;
    if (!demo::MakeSampleFolder(media + "/", &files, &err))
        return "";
    HMMSCONTAINER c = mmsContainerCreate();
    std::string out = dir.file("demo.dat");
    bool ok = c && mmsContainerLoad(c, (media + "/show.smil").c_str()) &&
              mmsGenerateMessage(c, "", "", "", out.c_str(), 1);
    mmsContainerDestroy(c);
    return ok ? out : "";
}

std::string MessageWithNames(const testkit::TempDir &dir, const std::vector<std::string> &names)
{
    // Harmless names of the hostile ones' lengths, so that the file's lengths stay right.
    std::vector<PartSpec> parts;
    for (size_t i = 0; i < names.size(); ++i)
        parts.push_back({std::string(names[i].size(), (char)('a' + i)), "image/gif", TinyGif()});
    if (BuildMessage(dir, "names.dat", parts).empty())
        return "";
    std::vector<unsigned char> bytes = testkit::ReadFileBytes(dir.file("names.dat"));
    for (size_t i = 0; i < names.size(); ++i) {
        auto at = bytes.begin();
        int found = 0;
        while ((at = std::search(at, bytes.end(), parts[i].name.begin(), parts[i].name.end())) != bytes.end()) {
            std::copy(names[i].begin(), names[i].end(), at);
            ++found;
        }
        if (!found)
            return "";
    }
    return testkit::WriteFileBytes(dir.file("names.dat"), bytes) ? dir.file("names.dat") : "";
}

std::vector<std::string> FilesIn(const std::string &folder)
{
    std::vector<std::string> names;
    std::error_code ec;
    for (const auto &e : std::filesystem::directory_iterator(folder, ec))
        names.push_back(e.path().filename().string() + (e.is_directory(ec) ? "/" : ""));
    std::sort(names.begin(), names.end());
    return names;
}

std::vector<std::string> RunDemo(demo::Options &o, demo::Report *r)
{
    std::vector<std::string> lines;
    o.print = [&lines](const std::string &l) { lines.push_back(l); };
    demo::Run(o, r);
    return lines;
}

bool Mentions(const std::vector<std::string> &lines, const std::string &what)
{
    for (const auto &l : lines)
        if (l.find(what) != std::string::npos)
            return true;
    return false;
}

Picture ReadPicture(const std::string &path)
{
    Picture pic;
    HGLOBAL dib = PxOpenFile(path.c_str(), 0, 0);
    if (!dib)
        return pic;
    if (PxDibGetType(dib) != PX_TYPE_TRUECOLOR) {
        HGLOBAL rgb = PxDibConvert8BitToTrueColor(dib);
        BaseMemFree(dib);
        dib = rgb;
        if (!dib)
            return pic;
    }
    const unsigned char *base = (const unsigned char *)BaseMemLock(dib);
    BITMAPINFOHEADER bih;
    memcpy(&bih, base, sizeof bih);
    if (bih.biBitCount == 24 && bih.biWidth > 0 && bih.biHeight != 0) {
        int w = bih.biWidth, h = bih.biHeight < 0 ? -bih.biHeight : bih.biHeight;
        size_t stride = ((size_t)w * 3 + 3) & ~(size_t)3;
        const unsigned char *bits = base + bih.biSize + bih.biClrUsed * 4;
        pic.w = w;
        pic.h = h;
        pic.rgb.resize((size_t)w * h * 3);
        for (int y = 0; y < h; ++y) {
            const unsigned char *row = bits + stride * (bih.biHeight > 0 ? h - 1 - y : y);
            for (int x = 0; x < w; ++x) {
                unsigned char *o = &pic.rgb[((size_t)y * w + x) * 3];
                o[0] = row[x * 3 + 2], o[1] = row[x * 3 + 1], o[2] = row[x * 3];
            }
        }
    }
    BaseMemUnlock(dib);
    BaseMemFree(dib);
    return pic;
}

}  // namespace preview_test
