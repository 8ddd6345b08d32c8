/* medley demo [FOLDER]: the main job, a message from a folder to a phone, end to end. */
#include <stdio.h>

#include "demo.h"
#include "fit_verbs.h"
#include "medley.h"

namespace {

void Setup(CLI::App &app)
{
    auto *cmd = app.add_subcommand("demo", "Compose a message from a folder (or from sample media the program draws), "
                                           "send it to a simulated phone over IrDA and check what arrived");
    auto folder = std::make_shared<std::string>();
    auto work = std::make_shared<std::string>();
    auto inProcess = std::make_shared<bool>(false);
    auto maxSize = std::make_shared<std::string>();
    cmd->add_option("folder", *folder, "Folder of media to send (default: sample media drawn by the program)");
    cmd->add_option("--work", *work, "Work folder for everything the demo writes (default: medley-demo in the "
                                     "temporary folder; emptied first)");
    cmd->add_flag("--in-process", *inProcess, "Reach the phone through the in-process socket table rather than "
                                              "the platform's local IrDA link");
    cmd->add_option("--max-size", *maxSize, "Fit the message into this budget before sending it: octets, or with "
                                             "k (KiB) or m (MiB), e.g. 300k");
    cmd->callback([=] {
        demo::Options o;
        if (!maxSize->empty() && !medley::ParseSize(*maxSize, &o.maxSize)) {
            medley::Fail("not a size: " + *maxSize + " (octets, or a number with k or m, e.g. 300k)");
            return;
        }
        o.userFolder = *folder;
        o.workFolder = *work;
        o.inProcessLink = *inProcess;
        o.print = [](const std::string &line) {
            printf("%s\n", medley::Printable(line).c_str());  // lines name files of the folder
            fflush(stdout);
        };
        auto bar = std::make_shared<std::unique_ptr<medley::Progress>>();
        o.progress = [bar](const std::string &label, uint64_t done, uint64_t total) {
            if (label.empty()) {
                bar->reset();
                return;
            }
            if (!*bar)
                bar->reset(new medley::Progress(label));
            (*bar)->Update(done, total);
            if (total && done >= total)
                bar->reset();
        };
        demo::Report r;
        bool ok = demo::Run(o, &r);
        bar->reset();
        if (!ok) {
            medley::Fail("demo failed at step \"" + r.failedStep + "\": " + r.reason);
            return;
        }
        printf("\nverdict: OK - %d parts sent over IrDA and received byte-identical (%d picture(s), %d text(s), "
               "%d sound(s) and the presentation), %d thumbnails written",
               r.partsChecked, r.pictures, r.texts, r.sounds, r.thumbnails);
        if (o.maxSize)
            printf("; fitted from %lld to %lld octets within the budget of %lu, %d picture(s) shrunk", r.composedSize,
                   r.fittedSize, o.maxSize, r.picturesShrunk);
        if (!r.damaged.empty())
            printf("; %zu damaged file(s) left out", r.damaged.size());
        printf(" (everything is in %s)\n", r.workFolder.c_str());
        if (!r.storyboard.empty())
            printf("storyboard of the received message: %s\n", r.storyboard.c_str());
        printf("web page of the received message: %s\n", r.webPage.c_str());
    });
}

MEDLEY_VERBS("z-demo", Setup);

}  // namespace
