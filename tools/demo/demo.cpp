#include "demo.h"

#include <stdio.h>
#include <string.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <memory>

#include <windows.h>

#include "basemem.h"
#include "compose.h"
#include "filefun.h"
#include "dib.h"
#include "fit.h"
#include "gif.h"
#include "html_page.h"
#include "irda.h"
#include "message.h"
#include "mime.h"
#include "phone_sim.h"
#include "pixkit.h"
#include "sample_media.h"
#include "scratch.h"
#include "storyboard.h"

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
    bool ClaimWorkFolder();
    bool GatherMedia();
    bool PackFolder();
    bool BuildSmilLed();
    bool FitToBudget();
    bool SendToPhone();
    bool CheckReceived();
    bool MakeThumbnails();
    bool MakePreviews();
    void PrintTable(const std::string &title, const std::string &folder, const std::string &file);

    const Options &m_opt;
    Report *m_rep;
    int m_extractDone = 0, m_extractTotal = 0;
    std::string m_work, m_media, m_inbox, m_received, m_sentParts, m_thumbs;
    std::vector<std::string> m_mediaFiles;
    std::string m_compose;  // converted copies made while composing
    ComposeResult m_composed;
    std::vector<std::string> m_shrunk;  // parts the fitting changed
};

/* What the demo puts in a work folder; a folder named with --work may hold other things too. */
const char *const kWorkNames[] = {"media", "phone-inbox", "received", "sent-parts", "thumbnails", "composed",
                                  "preview-stage", "preview", "folder.dat", "message.dat", "message-fit.dat",
                                  "storyboard.png"};
const char kWorkList[] = ".medley-demo";  // the names of kWorkNames this program made there

/* A work folder named by the person: a previous run's results go, but only those this program
 * made (listed in kWorkList), each by itself, never through a link; anything else of those
 * names stops the demo rather than being deleted or written through. */
bool Runner::ClaimWorkFolder()
{
    std::error_code ec;
    fs::create_directories(m_work, ec);
    if (!fs::is_directory(fs::symlink_status(m_work, ec)))
        return Fail("work folder", m_work + " is not a folder");
    std::vector<std::string> made;
    {
        std::ifstream in(Join(m_work, kWorkList));
        for (std::string line; std::getline(in, line);)
            made.push_back(line);
    }
    for (const char *name : kWorkNames) {
        std::string p = Join(m_work, name);
        fs::file_status st = fs::symlink_status(p, ec);
        if (!fs::exists(st) && !fs::is_symlink(st))
            continue;
        if (std::find(made.begin(), made.end(), name) == made.end())
            return Fail("work folder", p + " was not made by the demo: move it away or name another work folder");
        if (fs::is_directory(st))
            DeleteDirTree(WithSep(p).c_str(), "*.*");
        else
            DeleteFileForce(p.c_str());  // a link goes by itself
        if (fs::exists(fs::symlink_status(p, ec)))
            return Fail("work folder", "cannot remove the previous run's " + p);
    }
    std::ofstream out(Join(m_work, kWorkList), std::ios::trunc);
    for (const char *name : kWorkNames)
        out << name << "\n";
    out.close();
    if (!out)
        return Fail("work folder", "cannot write " + Join(m_work, kWorkList));
    return true;
}

bool Runner::MakeFolders()
{
    m_work = m_opt.workFolder;
    if (m_work.empty()) {
        // A folder of this run's own, kept for the person to look at.
        m_work = scratch::MakeFolder("medley-demo-");
        if (m_work.empty())
            return Fail("work folder", "cannot make a work folder in the temporary folder");
    } else if (!ClaimWorkFolder()) {
        return false;
    }
    m_media = Join(m_work, "media");
    m_inbox = Join(m_work, "phone-inbox");
    m_received = Join(m_work, "received");
    m_sentParts = Join(m_work, "sent-parts");
    m_thumbs = Join(m_work, "thumbnails");
    m_compose = Join(m_work, "composed");
    // Each made anew: nothing that stood there before is written through.
    for (const std::string &d : {m_media, m_inbox, m_received, m_sentParts, m_thumbs, m_compose}) {
        if (!CreateDirectoryA(d.c_str(), NULL))
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
        for (const auto &e : fs::directory_iterator(m_opt.userFolder, ec)) {
            // A link may lead out of the folder: its target is not the person's to send.
            if (e.is_symlink(ec))
                Say("     " + e.path().filename().string() + " - left out: a link, not a file of the folder");
            else if (e.is_regular_file(ec))
                names.push_back(e.path().filename().string());
        }
        std::sort(names.begin(), names.end());
        for (const std::string &name : names) {
            std::string ext = Extension(name), why;
            int kind = ComposeClassify(Join(m_opt.userFolder, name).c_str(), &why, nullptr);
            bool mixedRow = MimeTypeOfExtension(ext.c_str()) != nullptr;
            if (kind == COMPOSE_OTHER && !mixedRow) {
                Say("     " + name + " - left out: not a picture, text or sound");
                continue;
            }
            if (kind != COMPOSE_OTHER && !why.empty()) {
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

/* Step 2b: the presentation-led message of the same folder: its own presentation with every
 * medium it names, or one slide per picture with the text and sound of its name. */
bool Runner::BuildSmilLed()
{
    Say("3. the presentation-led message (ComposeFolder -> container -> GenerateMessageFile):");
    std::string out = Join(m_work, "message.dat");
    bool ok = ComposeFolder(m_media.c_str(), m_compose.c_str(), out.c_str(), &m_composed) != 0;
    if (!ok)
        return Fail("SMIL-led message", m_composed.reason);
    Say("     " + (m_composed.presentation.empty() ? std::string("a presentation made of the folder")
                                                   : "the folder's own presentation " + m_composed.presentation) +
        ": " + std::to_string(m_composed.slides) + " slide(s)");
    m_rep->pictures = m_composed.pictures;
    m_rep->texts = m_composed.texts;
    m_rep->sounds = m_composed.sounds;
    m_rep->sentFile = out;
    PrintTable("related message", m_work, "message.dat");

    // Which message carries each file, and why a file is left out of one.
    Say("   what each file became:");
    for (const ComposeFile &f : m_composed.files) {
        std::string ext = Extension(f.name);
        std::string mixed = MimeTypeOfExtension(ext.c_str())
                                ? "in the mixed message"
                                : "not in the mixed message (its folder table has no " + (ext.empty() ? "empty" : ext) +
                                      " row)";
        std::string led = f.carried ? "in the presentation-led message" : "not in the presentation-led message (" + f.note + ")";
        if (f.carried && !f.note.empty() && f.kind == COMPOSE_TEXT)
            led += " as " + f.note;
        Say("     " + f.name + " - " + mixed + "; " + led);
    }
    return true;
}

/* With a budget: the presentation-led message fitted into it before it is sent. */
bool Runner::FitToBudget()
{
    if (!m_opt.maxSize)
        return true;
    Say("3b. the message fitted into " + std::to_string(m_opt.maxSize) + " octets (FitMessageFile):");
    std::string out = Join(m_work, "message-fit.dat");
    FitResult r;
    FITPROGRESSPROC proc = [](void *, int done, int total) { g_runner->Progress("fitting", done, total); };
    int ok = FitMessageFile(m_rep->sentFile.c_str(), m_compose.c_str(), out.c_str(), m_opt.maxSize, &r, proc, nullptr);
    if (m_opt.progress)
        m_opt.progress("", 0, 0);
    for (const FitPart &p : r.parts) {
        char line[512];
        snprintf(line, sizeof line, "     %-20s %-12s %9lld -> %9lld octets  %s", p.name.c_str(),
                 p.typeAfter.empty() ? p.typeBefore.c_str() : p.typeAfter.c_str(), p.before, p.after, p.done.c_str());
        Say(line);
        if (p.carried && (p.after != p.before || p.typeAfter != p.typeBefore)) {
            m_shrunk.push_back(p.name);
            ++m_rep->picturesShrunk;
        }
    }
    if (!ok)
        return Fail("fit to budget", r.reason);
    Say("     " + std::to_string(r.sourceSize) + " octets -> " + std::to_string(r.size) + " octets (budget " +
        std::to_string(m_opt.maxSize) + ", fixed part " + std::to_string(r.fixed) + ")");
    m_rep->composedSize = r.sourceSize;
    m_rep->fittedSize = r.size;
    m_rep->sentFile = out;
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
    MIME_MESSAGE *sent = MimeOpenFile(WithSep(m_work).c_str(), m_opt.maxSize ? "message-fit.dat" : "message.dat");
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
        std::string source = Join(m_media, n);
        for (const ComposeFile &f : m_composed.files)
            if (f.name == n && f.converted)
                source = Join(m_compose, n);
        bool shrunk = false;
        for (const std::string &s : m_shrunk)
            shrunk = shrunk || s == n;
        if (shrunk) {
            note += " (shrunk to fit the budget)";
        } else if (ReadAll(source, &orig)) {
            if (orig != a)
                return Fail("compare", n + " differs from the media file " + source);
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
        } else if (HGLOBAL full = PxOpenFileReduced(path.c_str(), 96, 96)) {
            thumb = FitDibHQ(full, 96, 96);  // 0 when the picture already fits the box
            if (thumb)
                BaseMemFree(full);
            else
                thumb = full;
        }
        BlockGuard g{thumb};
        std::string png = Join(m_thumbs, n + ".png"), err;
        if (!thumb || !preview::WriteDibPng(thumb, png, &err))
            return Fail("thumbnails", n + ": " + (thumb ? err : "cannot be decoded"));
        Say("     " + png);
        ++m_rep->thumbnails;
    }
    return true;
}

/* Step 6: what the phone will show, as a storyboard picture and as a web page.  A machine
 * without the font still gets the page. */
bool Runner::MakePreviews()
{
    Say("7. previews of the message the phone received:");
    std::string err;
    std::string stage = Join(m_work, "preview-stage");
    std::error_code ec;
    fs::create_directories(stage, ec);
    preview::Face face;
    if (!face.Load(&err)) {
        Say("     storyboard skipped: " + err);
    } else {
        preview::Presentation p;
        preview::Storyboard board;
        std::string png = Join(m_work, "storyboard.png");
        if (!preview::Load(m_rep->receivedFile, stage, &p, &err) ||
            !preview::DrawStoryboard(p, stage, face, &board, &err) || !preview::WritePng(board.canvas, png, &err)) {
            fs::remove_all(stage, ec);
            return Fail("storyboard", err);
        }
        m_rep->storyboard = png;
        Say("     storyboard (" + std::to_string(board.cells.size()) + " slides): " + png);
    }
    fs::remove_all(stage, ec);
    preview::HtmlResult page;
    if (!preview::WriteHtmlPreview(m_rep->receivedFile, Join(m_work, "preview"), &page, &err))
        return Fail("web page", err);
    m_rep->webPage = page.indexPath;
    Say("     web page: " + page.indexPath);
    return true;
}

bool Runner::Run()
{
    BaseMemInit();
    bool ok = MakeFolders() && GatherMedia() && PackFolder() && BuildSmilLed() && FitToBudget() && SendToPhone() && CheckReceived() &&
              MakeThumbnails() && MakePreviews();
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
