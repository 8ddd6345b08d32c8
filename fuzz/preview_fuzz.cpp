/* Message files through the preview: any bytes must read into slides or fail cleanly, and what
 * is read must make a page and a storyboard without faults. */
#include <stddef.h>
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>

#include <filesystem>
#include <string>
#include <system_error>

#include "html_page.h"
#include "preview_model.h"
#include "storyboard.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    static std::string dir;
    static preview::Face face;
    static bool haveFace = false;
    if (dir.empty()) {
        // A folder of this process's own (no mkdtemp on Windows).
        std::error_code ec;
        std::filesystem::path base = std::filesystem::temp_directory_path(ec);
        if (ec)
            return 0;
        for (unsigned i = 0; dir.empty(); ++i) {
            std::filesystem::path p = base / ("preview_fuzz_" + std::to_string(rand()) + "_" + std::to_string(i));
            if (std::filesystem::create_directory(p, ec))
                dir = p.string();
            else if (i > 100)
                return 0;
        }
        std::string why;
        haveFace = face.Load(&why);
    }
    std::error_code ec;
    std::string msg = dir + "/msg.dat", stage = dir + "/stage";
    std::filesystem::remove_all(stage, ec);
    std::filesystem::create_directory(stage, ec);
    FILE *f = fopen(msg.c_str(), "wb");
    if (!f)
        return 0;
    fwrite(data, 1, size, f);
    fclose(f);
    preview::Presentation p;
    std::string err;
    if (preview::Load(msg, stage, &p, &err)) {
        std::string page = preview::HtmlPage(p);
        if (page.empty())
            abort();
        if (haveFace) {
            preview::Storyboard board;
            preview::DrawStoryboard(p, stage, face, &board, &err, 8);
        }
    }
    return 0;
}
