/* medley pack / text-mime / message / smil / preview-rect: message files and presentations. */
#include <stdio.h>
#include <string.h>

#include <algorithm>
#include <memory>
#include <string>

#include <windows.h>

#include "fileio.h"
#include "fit_verbs.h"
#include "medley.h"
#include "message.h"
#include "mime.h"
#include "sysinfo.h"
#include "wsp.h"

namespace {

/* "dir/name" -> ("dir/", "name"); a bare name stays in the current folder (""). */
void SplitOut(const std::string &path, std::string &folder, std::string &name)
{
    size_t sep = path.find_last_of("\\/");
    folder = sep == std::string::npos ? std::string() : path.substr(0, sep + 1);
    name = sep == std::string::npos ? path : path.substr(sep + 1);
}

bool FitsPath(const std::string &s) { return !s.empty() && s.size() < MAX_PATH - 4; }

void PrintParts(const std::string &folder, const std::string &name)
{
    MIME_MESSAGE *msg = MimeOpenFile(folder.c_str(), name.c_str());
    if (!msg) {
        DWORD why = GetLastError();
        /* A message of no parts is written as such but cannot be opened again; anything else
         * that does not read back is a failure. */
        bool empty = GetLastError() == ERROR_INVALID_DATA && WspFileSizeOf(folder.c_str(), name.c_str()) == 3;
        if (empty) {
            fprintf(stderr, "medley: warning: %s holds no parts (a message without parts cannot be opened again)\n",
                    medley::Printable(folder + name).c_str());
            return;
        }
        SetLastError(why);
        medley::FailWhy("the message written to " + folder + name + " does not read back");
        return;
    }
    printf("%s: %s, %d parts\n", (folder + name).c_str(), msg->contentType ? msg->contentType : "", (int)msg->partCount);
    printf("  #  %-28s %-28s %10s\n", "type", "name", "length");
    int i = 0;
    for (MIME_PART *p = msg->firstPart; p; p = p->next, i++)
        printf("%c%2d  %-28s %-28s %10ld\n", p == msg->startPart ? '*' : ' ', i,
               medley::Printable(p->contentType ? p->contentType : "").c_str(),
               medley::Printable(p->name ? p->name : "").c_str(), (long)p->dataLength);
    MimeDestroy(msg);
}

struct Args {
    std::string a, b, c, size;
};

void Setup(CLI::App &app)
{
    auto pa = std::make_shared<Args>();
    auto *pack = app.add_subcommand("pack", "Pack every media file of a folder into a MIME message file");
    pack->add_option("FOLDER", pa->a, "Folder of media files")->required();
    pack->add_option("OUT", pa->b, "Message file to write")->required();
    pack->add_option("--max-size", pa->size, "Fit a presentation-led message of the folder into this budget: "
                                             "octets, or with k (KiB) or m (MiB), e.g. 300k");
    pack->callback([pa] {
        if (!pa->size.empty()) {
            unsigned long budget = 0;
            if (!medley::ParseSize(pa->size, &budget))
                return (void)medley::Fail("not a size: " + pa->size + " (octets, or a number with k or m, e.g. 300k)");
            return medley::RunFit(pa->a, true, pa->b, budget);
        }
        if (!FitsPath(pa->a) || !FitsPath(pa->b))
            return (void)medley::Fail("path too long or empty");
        char folder[MAX_PATH];
        strcpy(folder, pa->a.c_str());
        std::string outFolder, outName;
        SplitOut(pa->b, outFolder, outName);
        DWORD attr = GetFileAttributesA(folder);
        if (attr == INVALID_FILE_ATTRIBUTES || !(attr & FILE_ATTRIBUTE_DIRECTORY))
            return (void)medley::Fail("no such folder: " + pa->a);
        auto skipped = [](LPCSTR name, DWORD why, LPVOID) {
            fprintf(stderr, "medley: warning: left out %s: %s\n", medley::Printable(name).c_str(),
                    why == MIME_ERROR_EMPTY_PART ? "the file is empty" : medley::Why(why).c_str());
        };
        if (!MakeMimeFromFolderEx(folder, outFolder.c_str(), outName.c_str(), skipped, nullptr))
            return (void)medley::FailWhy("could not pack " + pa->a + " into " + pa->b);
        PrintParts(outFolder, outName);
    });

    auto pt = std::make_shared<Args>();
    auto *text = app.add_subcommand("text-mime", "Pack two text files into newMime.dat beside the second");
    text->add_option("A", pt->a, "First text file")->required();
    text->add_option("B", pt->b, "Second text file")->required();
    text->callback([pt] {
        if (!MakeTextMime(pt->a.c_str(), pt->b.c_str()))
            return (void)medley::FailWhy("could not pack " + pt->a + " and " + pt->b);
        std::string folder, name;
        SplitOut(pt->b, folder, name);
        PrintParts(folder, "newMime.dat");
    });

    auto pm = std::make_shared<Args>();
    auto *message = app.add_subcommand("message", "Make a one-item message file (image, audio or a SMIL's first object)");
    message->add_option("FILE", pm->a, "Media or SMIL file")->required();
    message->add_option("OUTDIR", pm->b, "Output folder")->required();
    message->add_option("NAME", pm->c, "Output name (.dat is added)")->required();
    message->callback([pm] {
        if (!FitsPath(pm->b))
            return (void)medley::Fail("output folder path too long or empty");
        char folder[MAX_PATH];
        strcpy(folder, pm->b.c_str());
        static int value = 1;
        if (!MakeSingleItemMessage(pm->a.c_str(), folder, pm->c.c_str(), &value))
            return (void)medley::FailWhy("could not make a message of " + pm->a);
        std::string name = pm->c;
        if (name.size() < 4 || lstrcmpiA(name.c_str() + name.size() - 4, ".dat") != 0)
            name += ".dat";
        PrintParts(folder, name);
    });

    auto ps = std::make_shared<Args>();
    auto *smil = app.add_subcommand("smil", "Load a SMIL presentation and rebuild it slide by slide");
    smil->add_option("IN", ps->a, "SMIL presentation (media beside it)")->required();
    smil->add_option("OUT", ps->b, "SMIL file to write (media are copied beside it)")->required();
    smil->callback([ps] {
        HMMSCONTAINER c = mmsContainerCreate();
        if (!c)
            return (void)medley::Fail("out of memory");
        if (!mmsContainerLoad(c, ps->a.c_str())) {
            mmsContainerDestroy(c);
            return (void)medley::FailWhy("cannot load " + ps->a);
        }
        int slides = 0;
        for (int t = 0; t < mmsGetTimeLineCount(c); t++)
            slides = std::max(slides, mmsGetObjectCountByTimeLine(c, t));
        if (FioSameFile(ps->a.c_str(), ps->b.c_str()) == 1) {
            mmsContainerDestroy(c);
            SetLastError(FIO_ERROR_OUTPUT_IS_INPUT);
            return (void)medley::FailWhy("will not write " + ps->b);
        }
        bool ok = SaveContainerAsSmil(c, ps->b.c_str()) != 0;
        DWORD why = GetLastError();
        mmsContainerDestroy(c);
        SetLastError(why);
        if (!ok)
            return (void)medley::FailWhy("could not write " + ps->b);
        printf("wrote %s: %d slides\n", ps->b.c_str(), slides);
    });

    auto *rect = app.add_subcommand("preview-rect", "Show the preview rectangle from contents\\Size.ini beside medley");
    rect->callback([] {
        RECT r;
        if (!GetPreviewRect(&r)) {
            char app[MAX_PATH] = "";
            GetAppFolder(app);
            return (void)medley::Fail(std::string("no usable size in section size0 of ") + app +
                                      "\\contents\\Size.ini (missing file, or nWidth/nHeight not positive numbers)");
        }
        printf("left %ld top %ld right %ld bottom %ld (%ld x %ld)\n", (long)r.left, (long)r.top, (long)r.right,
               (long)r.bottom, (long)(r.right - r.left), (long)(r.bottom - r.top));
    });
}

}  // namespace

MEDLEY_VERBS("pack", Setup);
