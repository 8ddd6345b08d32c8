/* medley media-length | clean-temp: the file routines of the base library. */
#include <stdio.h>

#include <string>

#include <windows.h>

#include "filefun.h"
#include "medley.h"
#include "sysinfo.h"

namespace {

/* Files directly in the scratch folder (not folders), or -1 when it cannot be listed. */
int CountScratchFiles(const std::string &folder)
{
    WIN32_FIND_DATAA fd;
    HANDLE h = FindFirstFileA((folder + "\\*.*").c_str(), &fd);
    if (h == INVALID_HANDLE_VALUE)
        return -1;
    int n = 0;
    do
        n += !(fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY);
    while (FindNextFileA(h, &fd));
    FindClose(h);
    return n;
}

void Setup(CLI::App &app)
{
    auto *len = app.add_subcommand("media-length", "Length of a sound file (WAVE; MIDI as .mid) in milliseconds");
    auto file = std::make_shared<std::string>();
    len->add_option("FILE", *file, "The sound file")->required();
    len->callback([=] {
        double ms = GetMediaLength(file->c_str());
        if (ms < 0) {
            DWORD attrs = GetFileAttributesA(file->c_str());
            if (attrs == INVALID_FILE_ATTRIBUTES)
                medley::Fail("cannot measure " + *file + ": no such file");
            else
                medley::Fail("cannot measure " + *file +
                             ": not a sound the media control interface reads (a RIFF WAVE file, or a standard MIDI "
                             "file named .mid)");
            return;
        }
        unsigned long total = (unsigned long)ms;
        printf("%s: %lu ms (%lu:%02lu.%03lu)\n", file->c_str(), total, total / 60000, total / 1000 % 60, total % 1000);
    });

    auto *clean = app.add_subcommand("clean-temp", "Delete the files of the scratch folder MMSTemp in the temporary folder");
    clean->callback([] {
        char folder[MAX_PATH];
        if (GetTempPathA(sizeof folder, folder) == 0) {
            medley::FailWhy("cannot use the temporary folder");
            return;
        }
        if (!MakeTempPath(folder, "MMSTemp")) {
            medley::Fail("the temporary folder's path is too long");
            return;
        }
        int before = CountScratchFiles(folder);
        if (!ClearTempFolder()) {
            printf("nothing to clear: there is no %s\n", folder);
            return;
        }
        int after = CountScratchFiles(folder);
        printf("cleared %s: %d file(s) deleted", folder, before - (after < 0 ? 0 : after));
        if (after > 0)
            printf(", %d could not be deleted", after);
        printf("\n");
        if (after > 0)
            medley::SetExit(1);
    });
}

}  // namespace

MEDLEY_VERBS("75-files", Setup);
