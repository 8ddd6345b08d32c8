/* medley mime: look into, unpack and build multipart message files. */
#include <stdio.h>
#include <string.h>

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include <windows.h>

#include "fileio.h"
#include "medley.h"
#include "mime.h"

namespace {

using medley::kSep;
using medley::SplitPath;

std::string AsFolder(std::string dir)
{
    if (!dir.empty() && dir.back() != '/' && dir.back() != '\\')
        dir += kSep;
    return dir;
}

MIME_MESSAGE *Open(const std::string &file)
{
    std::string folder, name;
    SplitPath(file, folder, name);
    MIME_MESSAGE *msg = MimeOpenFile(folder.c_str(), name.c_str());
    if (!msg)
        medley::FailWhy("cannot open " + file);
    return msg;
}

void Info(const std::string &file)
{
    MIME_MESSAGE *msg = Open(file);
    if (!msg)
        return;
    /* Everything but the numbers comes from the file: printed with control characters escaped. */
    auto text = [](const char *s, const char *none) { return medley::Printable(s ? s : none); };
    printf("file:          %s\n", medley::Printable(file).c_str());
    printf("content type:  %s\n", text(msg->contentType, "").c_str());
    printf("parts:         %d (%d besides the start part)\n", (int)msg->partCount, MimeOtherPartCount(msg));
    printf("start part:    %s\n\n",
           msg->startPart ? text(msg->startPart->contentId, "(no id)").c_str() : "none");
    printf("  #  %-36s %-24s %-20s %10s %10s\n", "type", "name", "content id", "offset", "length");
    int i = 0;
    for (const MIME_PART *p = msg->firstPart; p; p = p->next, ++i)
        printf("%c%2d  %-36s %-24s %-20s %10ld %10ld\n", p == msg->startPart ? '*' : ' ', i,
               text(p->contentType, "").c_str(), text(p->name, "-").c_str(), text(p->contentId, "-").c_str(),
               (long)p->dataOffset, (long)p->dataLength);
    MimeDestroy(msg);
}

struct ExtractState {
    medley::Progress *progress;
    std::vector<uint64_t> before; /* octets of the non-start parts before each one */
    uint64_t total;
    size_t next;
    int position;
    const MIME_MESSAGE *msg;
    std::vector<std::string> lines, problems;
    int kept, refused, failed;
};
ExtractState *g_state = nullptr;

int OnPart(const char *, uint32_t)
{
    if (g_state && g_state->next < g_state->before.size())
        g_state->progress->Update(g_state->before[g_state->next++], g_state->total);
    return 0;
}

/* One line per part: the file written, or what became of the part and why. */
void OnReport(const MIME_PART *part, int outcome, const char *file, uint32_t error, void *user)
{
    ExtractState &st = *(ExtractState *)user;
    int index = 0;
    for (const MIME_PART *p = st.msg->firstPart; p && p != part; p = p->next)
        ++index;
    std::string name = medley::Printable(file);
    std::string own = part->name ? medley::Printable(part->name) : std::string();
    switch (outcome) {
    case MIME_EXTRACT_WRITTEN:
        if (part != st.msg->startPart && own != name)
            st.lines.push_back(name + "    (part " + std::to_string(index) +
                               (own.empty() ? std::string(" has no name") : " is named '" + own + "'") + ")");
        else
            st.lines.push_back(name);
        break;
    case MIME_EXTRACT_KEPT:
        ++st.kept;
        st.problems.push_back("kept the existing " + name + " (part " + std::to_string(index) +
                              " not written; --force replaces it)");
        break;
    case MIME_EXTRACT_REFUSED:
        ++st.refused;
        st.problems.push_back("refused part " + std::to_string(index) + " ('" + name +
                              "'): its name points outside the folder");
        break;
    default:
        ++st.failed;
        st.problems.push_back("part " + std::to_string(index) + (name.empty() ? std::string() : " (" + name + ")") +
                              " could not be written: " + medley::Why(error));
        break;
    }
}

void Extract(const std::string &file, const std::string &dir, bool force)
{
    std::error_code ec;
    std::filesystem::create_directories(dir, ec);
    if (!std::filesystem::is_directory(dir, ec)) {
        medley::Fail("cannot make the folder " + dir + (ec ? ": " + ec.message() : std::string()));
        return;
    }
    MIME_MESSAGE *msg = Open(file);
    if (!msg)
        return;
    std::string folder = AsFolder(dir);
    medley::Progress progress("extract");
    ExtractState state{&progress, {}, 0, 0, 0, msg, {}, {}, 0, 0, 0};
    for (const MIME_PART *p = msg->firstPart; p; p = p->next)
        if (p != msg->startPart) {
            state.before.push_back(state.total);
            state.total += (uint64_t)p->dataLength;
        }
    g_state = &state;
    msg->progressProc = OnPart;
    int all = MimeExtractAllEx(msg, folder.c_str(), force ? MIME_EXTRACT_REPLACE : 0, OnReport, &state);
    g_state = nullptr;
    progress.Update(state.total, state.total);
    progress.Done();
    int parts = msg->partCount;
    MimeDestroy(msg);
    for (const auto &line : state.lines)
        printf("%s\n", line.c_str());
    for (const auto &p : state.problems)
        fprintf(stderr, "medley: %s\n", p.c_str());
    if (!all) {
        int missing = state.kept + state.refused + state.failed;
        medley::Fail(std::to_string(missing) + " of " + std::to_string(parts) + " parts not written (" +
                     std::to_string(state.kept) + " kept existing files, " + std::to_string(state.refused) +
                     " refused, " + std::to_string(state.failed) + " failed)");
    }
}

struct BuildArgs {
    std::string out, smil;
    std::vector<std::string> parts;
};

void Build(const BuildArgs &a)
{
    MIME_MESSAGE *msg = MimeCreate();
    if (!msg) {
        medley::Fail("out of memory");
        return;
    }
    std::vector<std::string> keep; /* MimeAddPart copies, but the folder strings must live until then */
    if (!a.smil.empty()) {
        std::string folder, name;
        SplitPath(a.smil, folder, name);
        if (!MimeAddSmilPart(msg, folder.c_str(), name.c_str())) {
            MimeDestroy(msg);
            medley::Fail("cannot add the SMIL part " + a.smil);
            return;
        }
    }
    for (const auto &partArg : a.parts) {
        size_t colon = partArg.find(':');
        if (colon == std::string::npos || colon == 0 || colon + 1 == partArg.size()) {
            MimeDestroy(msg);
            medley::Fail("a part is TYPE:FILE, not '" + partArg + "'");
            return;
        }
        std::string type = partArg.substr(0, colon), path = partArg.substr(colon + 1), folder, name;
        SplitPath(path, folder, name);
        DWORD attr = GetFileAttributesA(path.c_str());
        if (attr == INVALID_FILE_ATTRIBUTES || (attr & FILE_ATTRIBUTE_DIRECTORY)) {
            if (attr != INVALID_FILE_ATTRIBUTES)
                SetLastError(ERROR_DIRECTORY_NOT_SUPPORTED);
            MimeDestroy(msg);
            medley::FailWhy("cannot read the part " + path);
            return;
        }
        MIME_PART_INFO info = {type.c_str(), folder.c_str(), name.c_str(), nullptr};
        if (!MimeAddPart(msg, &info)) {
            MimeDestroy(msg);
            medley::Fail("cannot add the part " + partArg);
            return;
        }
    }
    if (msg->partCount > MIME_MAX_PARTS) {
        int count = msg->partCount;
        MimeDestroy(msg);
        medley::Fail("a message carries at most " + std::to_string(MIME_MAX_PARTS) + " parts, not " +
                     std::to_string(count));
        return;
    }
    /* Names equal but for case reach one file on Windows: extraction numbers the later ones. */
    for (const MIME_PART *p = msg->firstPart; p; p = p->next)
        for (const MIME_PART *q = msg->firstPart; q != p; q = q->next)
            if (lstrcmpiA(p->fileName, q->fileName) == 0) {
                fprintf(stderr, "medley: warning: two parts are named %s; extraction writes the later one "
                                "under a number\n", medley::Printable(p->fileName).c_str());
                break;
            }
    std::string folder, name;
    SplitPath(a.out, folder, name);
    int ok = MimeWriteFile(msg, folder.c_str(), name.c_str());
    int count = msg->partCount;
    MimeDestroy(msg);
    if (!ok) {
        medley::FailWhy("writing " + a.out + " failed");
        return;
    }
    printf("wrote %s: %d parts\n", a.out.c_str(), count);
}

void Setup(CLI::App &app)
{
    auto *mime = app.add_subcommand("mime", "Multipart message files (WAP binary MIME)");
    mime->require_subcommand(1);

    auto *info = mime->add_subcommand("info", "Show a message file's type, start part and parts");
    auto file = std::make_shared<std::string>();
    info->add_option("FILE", *file, "The message file")->required();
    info->callback([=] { Info(*file); });

    auto *extract = mime->add_subcommand("extract", "Write every part of a message file into a folder");
    auto xfile = std::make_shared<std::string>();
    auto xdir = std::make_shared<std::string>();
    auto force = std::make_shared<bool>(false);
    extract->add_option("FILE", *xfile, "The message file")->required();
    extract->add_option("DIR", *xdir, "The folder to write the parts to (made when missing)")->required();
    extract->add_flag("--force", *force,
                      "Replace files already in the folder (never the message itself); without it they are kept");
    extract->footer("Parts whose names are taken (in any case), name a device or are the message itself are "
                    "written under a number: 'x (1).gif'.  A name pointing outside the folder is refused; a "
                    "part without a name is written as part<N> with an extension for its type.");
    extract->callback([=] { Extract(*xfile, *xdir, *force); });

    auto *build = mime->add_subcommand("build", "Compose a message file from a SMIL file and parts");
    auto args = std::make_shared<BuildArgs>();
    build->add_option("OUT", args->out, "The message file to write")->required();
    build->add_option("--smil", args->smil, "The SMIL presentation: makes a related message with it as start");
    build->add_option("--part", args->parts, "A part as TYPE:FILE, e.g. image/jpeg:photo.jpg (repeatable)");
    build->callback([=] {
        if (args->smil.empty() && args->parts.empty()) {
            medley::Fail("nothing to build: give --smil and/or --part");
            return;
        }
        Build(*args);
    });
}

}  // namespace

MEDLEY_VERBS("mime", Setup);
