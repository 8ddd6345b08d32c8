#include "demo.h"

#include <stdio.h>
#include <string.h>

#include <algorithm>
#include <filesystem>
#include <memory>

#include <windows.h>

#include "basemem.h"
#include "dib.h"
#include "dib_png.h"
#include "gif.h"
#include "irda.h"
#include "message.h"
#include "mime.h"
#include "phone_sim.h"
#include "pixkit.h"
#include "sample_media.h"

namespace fs = std::filesystem;

namespace demo {

namespace {

#if defined(_WIN32)
const char kSep = '\\';
#else
const char kSep = '/';
#endif

std::string Join(const std::string &dir, const std::string &name)
{
    if (dir.empty())
        return name;
    char last = dir.back();
    return (last == '/' || last == '\\') ? dir + name : dir + kSep + name;
}

std::string WithSep(const std::string &dir) { return Join(dir, ""); }

std::string Lower(std::string s)
{
    std::transform(s.begin(), s.end(), s.begin(), [](unsigned char c) { return (char)tolower(c); });
    return s;
}

std::string Extension(const std::string &name)
{
    size_t dot = name.rfind('.');
    return dot == std::string::npos ? std::string() : Lower(name.substr(dot));
}

bool IsPicture(const std::string &ext)
{
    return ext == ".jpg" || ext == ".jpeg" || ext == ".bmp" || ext == ".gif" || ext == ".png";
}

bool ReadAll(const std::string &path, std::vector<unsigned char> *out)
{
    FILE *f = fopen(path.c_str(), "rb");
    if (!f)
        return false;
    out->clear();
    unsigned char buf[65536];
    size_t n;
    while ((n = fread(buf, 1, sizeof buf, f)) > 0)
        out->insert(out->end(), buf, buf + n);
    bool ok = !ferror(f);
    fclose(f);
    return ok;
}

struct BlockGuard {
    HGLOBAL h;
    ~BlockGuard()
    {
        if (h)
            BaseMemFree(h);
    }
};

/* What is wrong with a media file, or "" when it is fit to send. */
std::string CheckMedia(const std::string &path, const std::string &ext)
{
    std::vector<unsigned char> bytes;
    if (!ReadAll(path, &bytes))
        return "cannot be read";
    if (IsPicture(ext)) {
        BlockGuard dib{PxOpenFile(path.c_str(), 0, 0)};
        if (!dib.h)
            return "not a picture that can be decoded";
    } else if (ext == ".wav") {
        if (bytes.size() < 12 || memcmp(bytes.data(), "RIFF", 4) != 0 || memcmp(bytes.data() + 8, "WAVE", 4) != 0)
            return "not a RIFF/WAVE sound";
    } else if (ext == ".smil") {
        HMMSCONTAINER c = mmsContainerCreate();
        if (!c)
            return "no memory for a container";
        BOOL loaded = mmsContainerLoad(c, path.c_str());
        mmsContainerDestroy(c);
        if (!loaded)
            return "not a SMIL presentation whose media are all there";
    }
    return "";
}

struct PartRow {
    std::string type, name, id;
    long offset, length;
};

bool ListParts(const std::string &folder, const std::string &file, std::vector<PartRow> *rows, std::string *type)
{
    MIME_MESSAGE *msg = MimeOpenFile(WithSep(folder).c_str(), file.c_str());
    if (!msg)
        return false;
    rows->clear();
    *type = msg->startPart ? MIME_TYPE_RELATED : MIME_TYPE_MIXED;
    for (MIME_PART *p = msg->firstPart; p; p = p->next)
        rows->push_back({p->contentType ? p->contentType : "", p->name ? p->name : "",
                         p->contentId ? p->contentId : "", (long)p->dataOffset, (long)p->dataLength});
    MimeDestroy(msg);
    return true;
}

class Runner;
Runner *g_runner = nullptr;  // the demo running now

class Runner {
public:
    Runner(const Options &o, Report *r) : m_opt(o), m_rep(r) {}
    bool Run();

private:
    void Say(const std::string &line)
    {
        if (m_opt.print)
            m_opt.print(line);
    }
    void Progress(const std::string &label, uint64_t done, uint64_t total)
    {
        if (m_opt.progress)
            m_opt.progress(label, done, total);
    }
    bool Fail(const std::string &step, const std::string &why)
    {
        m_rep->ok = false;
        m_rep->failedStep = step;
        m_rep->reason = why;
        return false;
    }
    bool MakeFolders();
    bool GatherMedia();
    bool PackFolder();
    bool BuildSmilLed();
    bool SendToPhone();
    bool CheckReceived();
    bool MakeThumbnails();
    void PrintTable(const std::string &title, const std::string &folder, const std::string &file);

    const Options &m_opt;
    Report *m_rep;
    int m_extractDone = 0, m_extractTotal = 0;
    std::string m_work, m_media, m_inbox, m_received, m_sentParts, m_thumbs;
    std::vector<std::string> m_mediaFiles;
    std::string m_smil;
};

bool Runner::MakeFolders()
{
    m_work = m_opt.workFolder;
    if (m_work.empty()) {
        char tmp[MAX_PATH];
        DWORD n = GetTempPathA(sizeof tmp, tmp);
        if (n == 0 || n >= sizeof tmp)
            return Fail("work folder", "no temporary folder");
        m_work = Join(tmp, "medley-demo");
    }
    std::error_code ec;
    fs::remove_all(m_work, ec);  // a previous run's results
    m_media = Join(m_work, "media");
    m_inbox = Join(m_work, "phone-inbox");
    m_received = Join(m_work, "received");
    m_sentParts = Join(m_work, "sent-parts");
    m_thumbs = Join(m_work, "thumbnails");
    for (const std::string &d : {m_work, m_media, m_inbox, m_received, m_sentParts, m_thumbs}) {
        fs::create_directories(d, ec);
        if (!fs::is_directory(d, ec))
            return Fail("work folder", "cannot create " + d);
    }
    m_rep->workFolder = m_work;
    Say("work folder: " + m_work);
    return true;
}

/* Step 1: the media.  A user folder is checked file by file; files that are damaged are
 * reported and left out, the rest copied into the work folder's media folder. */
bool Runner::GatherMedia()
{
    if (m_opt.userFolder.empty()) {
        std::vector<SampleFile> files;
        std::string err;
        if (!MakeSampleFolder(m_media, &files, &err))
            return Fail("sample media", err);
        Say("1. sample media drawn by the program:");
        for (const SampleFile &f : files) {
            Say("     " + f.name + " - " + f.what);
            m_mediaFiles.push_back(f.name);
        }
    } else {
        std::error_code ec;
        if (!fs::is_directory(m_opt.userFolder, ec))
            return Fail("media folder", m_opt.userFolder + " is not a folder");
        Say("1. media of " + m_opt.userFolder + ":");
        std::vector<std::string> names;
        for (const auto &e : fs::directory_iterator(m_opt.userFolder, ec))
            if (e.is_regular_file(ec))
                names.push_back(e.path().filename().string());
        std::sort(names.begin(), names.end());
        for (const std::string &name : names) {
            std::string ext = Extension(name);
            if (!MimeTypeOfExtension(ext.c_str()) && ext != ".smil") {
                Say("     " + name + " - skipped: not a media type a message carries");
                continue;
            }
            std::string why = CheckMedia(Join(m_opt.userFolder, name), ext);
            if (!why.empty()) {
                Say("     " + name + " - DAMAGED, left out: " + why);
                m_rep->damaged.push_back(name + ": " + why);
                continue;
            }
            fs::copy_file(Join(m_opt.userFolder, name), Join(m_media, name), fs::copy_options::overwrite_existing, ec);
            if (ec)
                return Fail("media folder", "cannot copy " + name + ": " + ec.message());
            Say("     " + name + " - ok");
            m_mediaFiles.push_back(name);
        }
        if (m_mediaFiles.empty())
            return Fail("media folder", "no usable media in " + m_opt.userFolder);
    }
    for (const std::string &n : m_mediaFiles)
        if (Extension(n) == ".smil" && m_smil.empty())
            m_smil = n;
    return true;
}

void Runner::PrintTable(const std::string &title, const std::string &folder, const std::string &file)
{
    std::vector<PartRow> rows;
    std::string type;
    if (!ListParts(folder, file, &rows, &type)) {
        Say("     (cannot be opened again)");
        return;
    }
    Say("   " + title + ": " + Join(folder, file));
    Say("     " + type + ", " + std::to_string(rows.size()) + " parts");
    char line[512];
    snprintf(line, sizeof line, "     %-3s %-36s %-14s %-13s %9s %9s", "#", "type", "name", "content id", "offset",
             "length");
    Say(line);
    int i = 0;
    for (const PartRow &r : rows) {
        snprintf(line, sizeof line, "     %-3d %-36.36s %-14.14s %-13.13s %9ld %9ld", i++, r.type.c_str(),
                 r.name.c_str(), r.id.c_str(), r.offset, r.length);
        Say(line);
    }
}

/* Step 2a: every file of the folder whose extension has a row in the media-type table. */
bool Runner::PackFolder()
{
    char folder[MAX_PATH];
    if (m_media.size() + 2 > sizeof folder)
        return Fail("pack folder", "media folder path too long");
    strcpy(folder, m_media.c_str());
    if (!MakeMimeFromFolder(folder, WithSep(m_work).c_str(), "folder.dat"))
        return Fail("pack folder", "MakeMimeFromFolder failed for " + m_media);
    Say("2. the folder packed by media type (MakeMimeFromFolder):");
    PrintTable("mixed message", m_work, "folder.dat");
    return true;
}

/* Step 2b: the SMIL-led message: container from the presentation, the presentation built
 * again from the container, and the message file generated from it. */
bool Runner::BuildSmilLed()
{
    if (m_smil.empty()) {
        // A user folder without a presentation: one slide per picture, the first sound on
        // the first slide.
        std::string body;
        std::string audio;
        for (const std::string &n : m_mediaFiles)
            if (Extension(n) == ".wav" || Extension(n) == ".mid")
                audio = audio.empty() ? n : audio;
        for (const std::string &n : m_mediaFiles) {
            if (!IsPicture(Extension(n)) || Extension(n) == ".png")
                continue;
            body += "    <par dur=\"3000ms\">\n      <img src=\"" + n + "\" region=\"Image\"/>\n";
            if (!audio.empty()) {
                body += "      <audio src=\"" + audio + "\"/>\n";
                audio.clear();
            }
            body += "    </par>\n";
        }
        if (body.empty())
            return Fail("SMIL-led message", "the folder has no presentation and no picture to make one of");
        std::string text = "<smil>\n  <head>\n    <layout>\n      <root-layout width=\"176\" height=\"208\"/>\n"
                           "      <region id=\"Image\" left=\"0\" top=\"0\" width=\"176\" height=\"208\"/>\n"
                           "    </layout>\n  </head>\n  <body>\n" + body + "  </body>\n</smil>\n";
        m_smil = "slides.smil";
        FILE *f = fopen(Join(m_media, m_smil).c_str(), "wb");
        if (!f || fwrite(text.data(), 1, text.size(), f) != text.size() || fclose(f) != 0)
            return Fail("SMIL-led message", "cannot write " + m_smil);
    }
    Say("3. the SMIL-led message (" + m_smil + " -> container -> BuildSmilFromContainer -> GenerateMessageFile):");
    HMMSCONTAINER c = mmsContainerCreate();
    if (!c)
        return Fail("SMIL-led message", "no memory for a container");
    std::unique_ptr<void, void (*)(void *)> guard(c, [](void *p) { mmsContainerDestroy((HMMSCONTAINER)p); });
    if (!mmsContainerLoad(c, Join(m_media, m_smil).c_str()))
        return Fail("SMIL-led message", "mmsContainerLoad cannot load " + m_smil);
    std::string built = Join(m_media, "presentation.smil");
    if (!BuildSmilFromContainer(c, built.c_str()))
        return Fail("SMIL-led message", "BuildSmilFromContainer failed");
    Say("     presentation rebuilt from " + std::to_string(mmsGetTimeLineCount(c)) + " timelines: " + built);
    HMMSCONTAINER again = mmsContainerCreate();
    if (!again)
        return Fail("SMIL-led message", "no memory for a container");
    std::unique_ptr<void, void (*)(void *)> guard2(again, [](void *p) { mmsContainerDestroy((HMMSCONTAINER)p); });
    if (!mmsContainerLoad(again, built.c_str()))
        return Fail("SMIL-led message", "the rebuilt presentation does not load back");
    int value = 1;
    std::string out = Join(m_work, "message");
    if (!GenerateMessageFile("Medley demo", "demo-1", "+10000000000", out.c_str(), &value, again, 1))
        return Fail("SMIL-led message", "GenerateMessageFile failed");
    m_rep->sentFile = out + ".dat";
    PrintTable("related message", m_work, "message.dat");
    return true;
}

/* Step 3: a phone in range, the message pushed to it over IrDA. */
bool Runner::SendToPhone()
{
    phone::Options po;
    po.inbox = m_inbox;
    phone::PhoneSim sim(po);
    bool viaLink = false;
    std::string err;
    if (!m_opt.inProcessLink && sim.Start(&err))
        viaLink = true;
    const IRDA_SOCKET_API *previous = nullptr;
    if (!viaLink)
        previous = IrdaSetSocketApi(sim.InProcessApi());
    Say(std::string("4. sending to \"") + po.name + "\" over IrDA (" +
        (viaLink ? "the platform's sockets, local link" : "in-process socket table") + "):");

    // The progress procedures carry a 32-bit value, too small for a pointer: the one running
    // demo is found through g_runner.
    IRDA_PROGRESS_PROC proc = [](uint32_t total, uint32_t done, uint32_t) -> int {
        g_runner->Progress("sending", done, total);
        return 0;
    };
    int sent = 0;
    CIrdaLink *link = IrdaCreate();
    if (link) {
        sent = IrdaSendFile(link, m_rep->sentFile.c_str(), proc, 0);
        IrdaDestroy(link);
    }
    if (!viaLink)
        IrdaSetSocketApi(previous);
    if (!link)
        return Fail("send", "no IrDA socket could be opened");
    if (!sent)
        return Fail("send", "the transfer failed (no device, refused, or cut short)");
    phone::Arrival a;
    if (!sim.WaitArrival(&a, 10000))
        return Fail("send", "the phone reported no arrival");
    sim.Stop();
    if (!a.complete)
        return Fail("send", "the phone got " + std::to_string(a.received) + " of " + std::to_string(a.announced) +
                                " octets");
    m_rep->receivedFile = a.path;
    Say("     the phone stored " + a.name + " (" + std::to_string(a.received) + " octets) in " + m_inbox);
    return true;
}

/* Step 4: open what arrived, extract every part, compare with what was sent. */
bool Runner::CheckReceived()
{
    fs::path rp(m_rep->receivedFile);
    MIME_MESSAGE *got = MimeOpenFile(WithSep(rp.parent_path().string()).c_str(), rp.filename().string().c_str());
    if (!got)
        return Fail("open received", "MimeOpenFile cannot open " + m_rep->receivedFile);
    MIME_MESSAGE *sent = MimeOpenFile(WithSep(m_work).c_str(), "message.dat");
    if (!sent) {
        MimeDestroy(got);
        return Fail("open received", "the sent message cannot be opened again");
    }
    Say("5. extracting what the phone received:");
    m_extractDone = 0;
    m_extractTotal = MimeOtherPartCount(got);
    got->progressProc = [](const char *, uint32_t) -> int {
        g_runner->Progress("extracting", (uint64_t)++g_runner->m_extractDone, (uint64_t)g_runner->m_extractTotal);
        return 0;
    };
    bool ok = true;
    std::string why;
    std::vector<std::string> names;
    if (got->startPart) {
        if (!MimeExtractStart(got, WithSep(m_received).c_str(), MIME_SMIL_FILE) ||
            !MimeExtractStart(sent, WithSep(m_sentParts).c_str(), MIME_SMIL_FILE)) {
            ok = false;
            why = "the start part cannot be extracted";
        } else {
            names.push_back(MIME_SMIL_FILE);
        }
    }
    int others = MimeOtherPartCount(got);
    if (ok && others != MimeOtherPartCount(sent)) {
        ok = false;
        why = "the phone has " + std::to_string(others) + " parts, " + std::to_string(MimeOtherPartCount(sent)) +
              " were sent";
    }
    for (int i = 0; ok && i < others; ++i) {
        MIME_PART_INFO gi = {nullptr, nullptr, nullptr, nullptr}, si = gi;
        std::string recvDir = WithSep(m_received), sentDir = WithSep(m_sentParts);
        gi.folder = recvDir.c_str();
        si.folder = sentDir.c_str();
        if (!MimeExtractPart(got, i, &gi) || !MimeExtractPart(sent, i, &si)) {
            ok = false;
            why = "part " + std::to_string(i) + " cannot be extracted";
            break;
        }
        std::string gname = gi.fileName ? gi.fileName : "", sname = si.fileName ? si.fileName : "";
        if (gname != sname || strcmp(gi.contentType ? gi.contentType : "", si.contentType ? si.contentType : "")) {
            ok = false;
            why = "part " + std::to_string(i) + " arrived as " + gname + " (" + (gi.contentType ? gi.contentType : "") +
                  ")";
            break;
        }
        names.push_back(gname);
    }
    MimeDestroy(got);
    MimeDestroy(sent);
    if (m_opt.progress)
        m_opt.progress("", 0, 0);  // ends the bar
    if (!ok)
        return Fail("extract", why);

    for (const std::string &n : names) {
        std::vector<unsigned char> a, b, orig;
        if (!ReadAll(Join(m_received, n), &a) || !ReadAll(Join(m_sentParts, n), &b))
            return Fail("compare", n + " cannot be read back");
        if (a != b)
            return Fail("compare", n + " differs from what was sent");
        std::string note = "identical to what was sent";
        if (ReadAll(Join(m_media, n), &orig)) {
            if (orig != a)
                return Fail("compare", n + " differs from the media file " + Join(m_media, n));
            note += " and to the media file";
        }
        char line[512];
        snprintf(line, sizeof line, "     %-20s %9zu octets  %s", n.c_str(), a.size(), note.c_str());
        Say(line);
        ++m_rep->partsChecked;
    }
    return true;
}

/* Step 5: thumbnails of the pictures that arrived. */
bool Runner::MakeThumbnails()
{
    Say("6. thumbnails of the pictures received:");
    std::error_code ec;
    std::vector<std::string> names;
    for (const auto &e : fs::directory_iterator(m_received, ec))
        names.push_back(e.path().filename().string());
    std::sort(names.begin(), names.end());
    for (const std::string &n : names) {
        std::string ext = Extension(n);
        if (!IsPicture(ext))
            continue;
        std::string path = Join(m_received, n);
        HGLOBAL thumb = nullptr;
        if (ext == ".gif") {
            thumb = LoadGifThumbnail(path.c_str());
        } else if (HGLOBAL full = PxOpenFile(path.c_str(), 0, 0)) {
            thumb = FitDibHQ(full, 96, 96);  // 0 when the picture already fits the box
            if (thumb)
                BaseMemFree(full);
            else
                thumb = full;
        }
        BlockGuard g{thumb};
        std::string png = Join(m_thumbs, n + ".png"), err;
        if (!thumb || !WriteDibPng(thumb, png, &err))
            return Fail("thumbnails", n + ": " + (thumb ? err : "cannot be decoded"));
        Say("     " + png);
        ++m_rep->thumbnails;
    }
    return true;
}

bool Runner::Run()
{
    BaseMemInit();
    bool ok = MakeFolders() && GatherMedia() && PackFolder() && BuildSmilLed() && SendToPhone() && CheckReceived() &&
              MakeThumbnails();
    m_rep->ok = ok;
    return ok;
}

}  // namespace

bool Run(const Options &options, Report *report)
{
    *report = Report();
    Runner r(options, report);
    g_runner = &r;
    bool ok = r.Run();
    g_runner = nullptr;
    return ok;
}

}  // namespace demo
