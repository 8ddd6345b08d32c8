/* medley send: push a file to the first phone in infrared range. */
#include <stdio.h>

#include <string>

#include <windows.h>

#include "irda.h"
#include "medley.h"

#if !defined(_WIN32)
#include "compat/extensions.h"
#include "compat/irda_link.h"
#endif

namespace {

medley::Progress *g_progress = nullptr;
uint32_t g_sent = 0, g_total = 0;

int OnProgress(uint32_t total, uint32_t done, uint32_t)
{
    g_sent = done;
    g_total = total;
    if (g_progress)
        g_progress->Update(done, total);
    return 1;
}

/* What went wrong, in a user's words, with the system's reason where there is one. */
std::string Explain(const CIrdaLink &link, const std::string &file)
{
    std::string why = medley::Why(link.GetFailureCode());
    switch (link.GetFailure()) {
    case IRDA_FAIL_SOCKETS: return "no IrDA sockets on this system: " + why;
    case IRDA_FAIL_DISCOVERY: return "looking for phones in range failed: " + why;
    case IRDA_FAIL_NO_DEVICE: return "no phone in range";
    case IRDA_FAIL_IAS: return "the phone in range did not say which services it offers: " + why;
    case IRDA_FAIL_NO_IRCOMM: return "the phone in range does not offer IrCOMM 9-wire";
    case IRDA_FAIL_CONNECT: return "the phone in range refused the connection " + std::to_string(IRDA_ATTEMPTS) + " times: " + why;
    case IRDA_FAIL_FILE: return "cannot read " + file + ": " + why;
    case IRDA_FAIL_TOO_LARGE: return file + " is over 2 GB, more than a transfer can announce";
    case IRDA_FAIL_NAME_TOO_LONG: return "the name of " + file + " is too long for the transfer header";
    case IRDA_FAIL_SEND:
        return "transfer of " + file + " broke off after " + std::to_string(g_sent) + " of " + std::to_string(g_total) +
               " octets: " + why;
    case IRDA_FAIL_FILE_SHRANK:
        return file + " got shorter during the transfer; the phone did not get all of it";
    case IRDA_OK: break;
    }
    return "transfer of " + file + " failed: " + why;
}

void Setup(CLI::App &app)
{
    auto *cmd = app.add_subcommand("send", "Send a file to the first phone in infrared range (IrCOMM)");
    auto file = std::make_shared<std::string>();
    cmd->add_option("FILE", *file, "The file to send (as a rule a message file)")->required();
    cmd->callback([=] {
#if !defined(_WIN32)
        // The local link's folder must be this user's alone, or a stranger's phone may listen.
        char folder[4096];
        if (compat_irda_link_folder(folder, sizeof folder)) {
            DWORD e = CompatPrivateFolderA(folder);
            if (e == COMPAT_ERROR_FOLDER_IS_LINK || e == COMPAT_ERROR_FOLDER_NOT_OWNED || e == COMPAT_ERROR_FOLDER_OPEN) {
                SetLastError(e);
                medley::FailWhy("cannot use the infrared link folder");
                return;
            }
        }
#endif
        CIrdaLink *link = IrdaCreate();
        if (!link) {
            medley::FailWhy("no IrDA sockets on this system");
            return;
        }
        medley::Progress progress("send");
        g_progress = &progress;
        g_sent = g_total = 0;
        int ok = IrdaSendFile(link, file->c_str(), OnProgress, 0);
        g_progress = nullptr;
        progress.Done();
        if (!ok)
            medley::Fail(Explain(*link, *file));
        else
            printf("sent %s\n", file->c_str());
        IrdaDestroy(link);
    });
}

}  // namespace

MEDLEY_VERBS("send", Setup);
