/* SMIL text through mmsContainerLoad: any bytes must load or fail cleanly, and a loaded
 * container must save and generate without faults. */
#include <stddef.h>
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <string>

#include "mdoc.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    static std::string dir;
    if (dir.empty()) {
        char tmpl[] = "/tmp/smil_fuzz_XXXXXX";
        const char *d = mkdtemp(tmpl);
        if (!d)
            return 0;
        dir = d;
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
