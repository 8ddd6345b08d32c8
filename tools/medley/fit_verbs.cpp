/* medley fit IN.dat OUT.dat --max-size 100k: a message made to fit a carrier's size limit
 * (and the same for a folder, through medley pack --max-size). */
#include "fit_verbs.h"

#include <stdio.h>
#include <stdlib.h>

#include <algorithm>
#include <memory>
#include <string>

#include <windows.h>

#include "filefun.h"
#include "fit.h"
#include "medley.h"
#include "scratch.h"

namespace medley {

bool ParseSize(const std::string &text, unsigned long *octets)
{
    size_t i = 0;
    unsigned long long n = 0;
    while (i < text.size() && text[i] >= '0' && text[i] <= '9') {
        n = n * 10 + unsigned(text[i] - '0');
        if (n > 0xFFFFFFFFull)
            return false;
        ++i;
    }
    if (i == 0)
        return false;
    std::string unit;
    for (size_t k = i; k < text.size(); ++k)
        unit += char(text[k] >= 'A' && text[k] <= 'Z' ? text[k] + 32 : text[k]);
    unsigned long long scale = 0;
    if (unit.empty() || unit == "b")
        scale = 1;
    else if (unit == "k" || unit == "kb" || unit == "kib")
        scale = 1024;
    else if (unit == "m" || unit == "mb" || unit == "mib")
        scale = 1024 * 1024;
    if (!scale)
        return false;
    n *= scale;
    if (n == 0 || n > 0x7FFFFFFFull)
        return false;
    *octets = (unsigned long)n;
    return true;
}

namespace {

const char *KindName(int kind)
{
    switch (kind) {
    case FIT_PRESENTATION: return "presentation";
    case FIT_TEXT: return "text";
    case FIT_SOUND: return "sound";
    case FIT_STILL: return "picture";
    case FIT_ANIMATION: return "animation";
    default: return "other";
    }
}

std::string Octets(long long n)
{
    char buf[32];
    if (n >= 1024 * 1024)
        snprintf(buf, sizeof buf, "%.1f MiB", n / 1048576.0);
    else if (n >= 10 * 1024)
        snprintf(buf, sizeof buf, "%.1f KiB", n / 1024.0);
    else
        snprintf(buf, sizeof buf, "%lld", n);
    return buf;
}

void PrintTable(const FitResult &r)
{
    if (!r.parts.empty()) {
        int nameWidth = 4, typeWidth = 4;
        for (const FitPart &p : r.parts) {
            nameWidth = std::max(nameWidth, int(Printable(p.name).size()));
            typeWidth = std::max(typeWidth, int(Printable(p.carried ? p.typeAfter : p.typeBefore).size()));
        }
        nameWidth = std::min(nameWidth, 40);
        typeWidth = std::min(typeWidth, 40);
        printf("  %-12s %-*s %-*s %10s %10s  %s\n", "kind", nameWidth, "name", typeWidth, "type", "before", "after",
               "done");
        for (const FitPart &p : r.parts)
            printf("  %-12s %-*s %-*s %10s %10s  %s\n", KindName(p.kind), nameWidth, Printable(p.name).c_str(),
                   typeWidth, Printable(p.carried ? p.typeAfter : p.typeBefore).c_str(), Octets(p.before).c_str(),
                   p.carried ? Octets(p.after).c_str() : "-", Printable(p.done).c_str());
    }
    for (const ComposeFile &f : r.files)
        if (!f.carried)
            printf("  left out      %s - %s\n", Printable(f.name).c_str(), Printable(f.note).c_str());
}

}  // namespace

void RunFit(const std::string &source, bool fromFolder, const std::string &out, unsigned long budget)
{
    std::string work = scratch::MakeFolder("medley-fit-");
    if (work.empty()) {
        FailWhy("cannot make a work folder in the temporary folder");
        return;
    }
    auto bar = std::make_shared<Progress>(fromFolder ? "packing" : "fitting");
    FITPROGRESSPROC proc = [](void *ctx, int done, int total) {
        static_cast<Progress *>(ctx)->Update(uint64_t(done), uint64_t(total));
    };
    FitResult r;
    int ok = fromFolder ? FitFolder(source.c_str(), work.c_str(), out.c_str(), budget, &r, proc, bar.get())
                        : FitMessageFile(source.c_str(), work.c_str(), out.c_str(), budget, &r, proc, bar.get());
    bar->Done();
    scratch::RemoveFolder(work);
    if (!ok) {
        // Nothing was written: only the files a folder could not carry are worth a line.
        FitResult leftOut;
        leftOut.files = r.files;
        PrintTable(leftOut);
        Fail("cannot fit " + source + " into " + std::to_string(budget) + " octets: " + r.reason);
        return;
    }
    PrintTable(r);
    int shrunk = 0, left = 0;
    for (const FitPart &p : r.parts) {
        shrunk += p.carried && (p.after != p.before || p.typeAfter != p.typeBefore);
        left += !p.carried;
    }
    printf("\nverdict: OK - %s written: %lld octets of the budget of %lu (%lld fixed: headers, names, "
           "presentation, texts and sounds); %d picture(s) shrunk",
           Printable(out).c_str(), r.size, budget, r.fixed, shrunk);
    if (r.sourceSize)
        printf(", the source took %lld octets", r.sourceSize);
    if (left)
        printf("; %d damaged picture(s) left out", left);
    printf("\n");
}

namespace {

struct Args {
    std::string in, out, size;
};

void Setup(CLI::App &app)
{
    auto a = std::make_shared<Args>();
    auto *cmd = app.add_subcommand("fit", "Make a message file fit a carrier's size limit: texts, presentation and "
                                          "sounds kept, pictures shrunk (JPEG; GIF with every frame)");
    cmd->add_option("IN", a->in, "Message file to fit")->required();
    cmd->add_option("OUT", a->out, "Message file to write (never the input)")->required();
    cmd->add_option("--max-size", a->size, "Budget: octets, or with k (KiB) or m (MiB), e.g. 100k")->required();
    cmd->callback([a] {
        unsigned long budget = 0;
        if (!ParseSize(a->size, &budget))
            return (void)Fail("not a size: " + a->size + " (octets, or a number with k or m, e.g. 300k)");
        RunFit(a->in, false, a->out, budget);
    });
}

}  // namespace

}  // namespace medley

MEDLEY_VERBS("fit", medley::Setup);
