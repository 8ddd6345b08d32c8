/* SMIL text through mmsContainerLoad: any bytes must load or fail cleanly, and a loaded
 * container must save and generate without faults. */
#include <stddef.h>
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <filesystem>
#include <string>
#include <system_error>

#include "mdoc.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    static std::string dir;
    if (dir.empty()) {
        // A folder of this process's own (no mkdtemp on Windows).
        std::error_code ec;
        std::filesystem::path base = std::filesystem::temp_directory_path(ec);
        if (ec)
            return 0;
        for (unsigned i = 0; dir.empty(); ++i) {
            std::filesystem::path p = base / ("smil_fuzz_" + std::to_string(rand()) + "_" + std::to_string(i));
            if (std::filesystem::create_directory(p, ec))
                dir = p.string();
            else if (i > 100)
                return 0;
        }
        // Media the presentations may name.
        const char *names[] = {"a.gif", "a.txt", "b.jpg", "b.mid"};
        for (const char *n : names) {
            FILE *f = fopen((dir + "/" + n).c_str(), "wb");
            if (f) {
                fputs(n, f);
                fclose(f);
            }
        }
    }
    std::string path = dir + "/in.smil";
    FILE *f = fopen(path.c_str(), "wb");
    if (!f)
        return 0;
    fwrite(data, 1, size, f);
    fclose(f);
    HMMSCONTAINER c = mmsContainerCreate();
    if (mmsContainerLoad(c, path.c_str())) {
        mmsContainerSave(c, (dir + "/out.smil").c_str());
        mmsGenerateMessage(c, "", "", "", (dir + "/out.dat").c_str(), 1);
    }
    mmsContainerDestroy(c);
    return 0;
}
