/* medley compose FOLDER OUT.dat: a folder made into a presentation-led message. */
#include <stdio.h>

#include <string>

#include <windows.h>

#include "compose.h"
#include "filefun.h"
#include "medley.h"
#include "scratch.h"

namespace {

const char *KindName(int kind)
{
    switch (kind) {
    case COMPOSE_PICTURE: return "picture";
    case COMPOSE_TEXT: return "text";
    case COMPOSE_SOUND: return "sound";
    case COMPOSE_PRESENTATION: return "presentation";
    default: return "other";
    }
}

void Setup(CLI::App &app)
{
    auto *cmd = app.add_subcommand("compose", "Make a presentation-led message of a folder: its own SMIL, or one "
                                              "slide per picture with the text and sound of the same name");
    auto folder = std::make_shared<std::string>();
    auto out = std::make_shared<std::string>();
    cmd->add_option("FOLDER", *folder, "Folder of pictures, texts and sounds (and maybe a .smil)")->required();
    cmd->add_option("OUT", *out, "Message file to write (.dat is added unless present)")->required();
    cmd->callback([=] {
        std::string work = scratch::MakeFolder("medley-compose-");
        if (work.empty()) {
            medley::FailWhy("cannot make a work folder in the temporary folder");
            return;
        }
        ComposeResult r;
        int ok = ComposeFolder(folder->c_str(), (work + "\\").c_str(), out->c_str(), &r);
        scratch::RemoveFolder(work);
        for (const ComposeFile &f : r.files) {
            printf("  %-8s %-13s %s%s%s\n", f.carried ? "carried" : "left out", KindName(f.kind),
                   medley::Printable(f.name).c_str(), f.note.empty() ? "" : " - ", f.note.c_str());
        }
        if (!ok) {
            medley::Fail("cannot compose " + medley::Printable(*folder) + ": " + medley::Printable(r.reason));
            return;
        }
        std::string written = *out;
        if (written.size() < 4 || lstrcmpiA(written.c_str() + written.size() - 4, ".dat") != 0)
            written += ".dat";
        int left = 0;
        for (const ComposeFile &f : r.files)
            left += !f.carried;
        printf("\nverdict: OK - %d slide(s) with %d picture(s), %d text(s) and %d sound(s)%s%s, written to %s",
               r.slides, r.pictures, r.texts, r.sounds,
               r.presentation.empty() ? "" : " from ", medley::Printable(r.presentation).c_str(),
               medley::Printable(written).c_str());
        if (left)
            printf("; %d file(s) left out", left);
        printf("\n");
    });
}

MEDLEY_VERBS("compose", Setup);

}  // namespace
