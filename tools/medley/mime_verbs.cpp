/* medley mime: look into, unpack and build multipart message files. */
#include <stdio.h>
#include <string.h>

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include <windows.h>

#include "medley.h"
#include "mime.h"

namespace {

#if defined(_WIN32)
const char kSep = '\\';
#else
const char kSep = '/';
#endif

/* "dir/f.mms" -> ("dir/", "f.mms"): the library joins folder and name by concatenation. */
void SplitPath(const std::string &path, std::string &folder, std::string &name)
{
    size_t slash = path.find_last_of("/\\");
    folder = slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
    name = slash == std::string::npos ? path : path.substr(slash + 1);
}

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
};
ExtractState *g_state = nullptr;

int OnPart(const char *, uint32_t)
{
    if (g_state && g_state->next < g_state->before.size())
        g_state->progress->Update(g_state->before[g_state->next++], g_state->total);
    return 0;
}

void Extract(const std::string &file, const std::string &dir)
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
    if (msg->startPart && !MimeExtractStart(msg, folder.c_str(), MIME_SMIL_FILE)) {
        MimeDestroy(msg);
        medley::FailWhy("cannot write the start part to " + folder + MIME_SMIL_FILE);
        return;
    }
    if (msg->startPart)
        printf("%s\n", MIME_SMIL_FILE);

    medley::Progress progress("extract");
    ExtractState state{&progress, {}, 0, 0};
    for (const MIME_PART *p = msg->firstPart; p; p = p->next)
        if (p != msg->startPart) {
            state.before.push_back(state.total);
            state.total += (uint64_t)p->dataLength;
        }
    g_state = &state;
    msg->progressProc = OnPart;
    int n = MimeOtherPartCount(msg);
    std::vector<std::string> written;
    std::string failure;
    for (int i = 0; i < n; ++i) {
        MIME_PART_INFO info = {nullptr, folder.c_str(), nullptr, nullptr};
        SetLastError(ERROR_INVALID_NAME);  // what stays when the part is refused for its name
        if (!MimeExtractPart(msg, i, &info)) {
            failure = "part " + std::to_string(i) +
                      (info.fileName ? " (" + medley::Printable(info.fileName) + ")" : std::string()) +
                      " could not be extracted: " + medley::Why(GetLastError());
            break;
        }
        written.push_back(info.fileName);
    }
    g_state = nullptr;
    progress.Update(state.total, state.total);
    progress.Done();
    MimeDestroy(msg);
    for (const auto &w : written)
        printf("%s\n", medley::Printable(w).c_str());
    if (!failure.empty())
        medley::Fail(failure);
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
    extract->add_option("FILE", *xfile, "The message file")->required();
    extract->add_option("DIR", *xdir, "The folder to write the parts to (made when missing)")->required();
    extract->callback([=] { Extract(*xfile, *xdir); });

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
