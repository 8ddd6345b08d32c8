/* medley send: push a file to the first phone in infrared range. */
#include <stdio.h>

#include <windows.h>

#include "irda.h"
#include "medley.h"

namespace {

medley::Progress *g_progress = nullptr;

int OnProgress(uint32_t total, uint32_t done, uint32_t)
{
    if (g_progress)
        g_progress->Update(done, total);
    return 1;
}

void Setup(CLI::App &app)
{
    auto *cmd = app.add_subcommand("send", "Send a file to the first phone in infrared range (IrCOMM)");
    auto file = std::make_shared<std::string>();
    cmd->add_option("FILE", *file, "The file to send (as a rule a message file)")->required();
    cmd->callback([=] {
        const char *path = file->c_str();
        FILE *probe = fopen(path, "rb");
        if (!probe) {
            medley::Fail("cannot read " + *file);
            return;
        }
        fclose(probe);
        CIrdaLink *link = IrdaCreate();
        if (!link) {
            medley::Fail("no IrDA sockets on this system (error " + std::to_string(GetLastError()) + ")");
            return;
        }
        if (!IrdaConnect(link)) {
            IrdaDestroy(link);
            medley::Fail("no phone in range that offers IrCOMM 9-wire");
            return;
        }
        medley::Progress progress("send");
        g_progress = &progress;
        int ok = IrdaSendFile(link, path, OnProgress, 0);
        g_progress = nullptr;
        progress.Done();
        IrdaDestroy(link);
        if (!ok) {
            medley::Fail("transfer of " + *file + " failed: the phone did not take every octet");
            return;
        }
        printf("sent %s\n", file->c_str());
    });
}

}  // namespace

MEDLEY_VERBS("send", Setup);
