/* Fuzz target: a message file through MimeOpenFile and MimeExtractAll. */
#include <stddef.h>
#include <stdint.h>
#include <stdio.h>

#include <filesystem>
#include <random>
#include <string>
#include <system_error>

#include "mime.h"

namespace fs = std::filesystem;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    /* One scratch folder per process, removed at exit. */
    static struct Scratch {
        fs::path path;
        Scratch()
        {
            path = fs::temp_directory_path() / ("mime-fuzz-" + std::to_string(std::random_device{}()));
            fs::create_directories(path / "out");
        }
        ~Scratch()
        {
            std::error_code ec;
            fs::remove_all(path, ec);
        }
    } scratch;
    const fs::path &base = scratch.path;
    std::string folder = base.string() + static_cast<char>(fs::path::preferred_separator);
    FILE *f = fopen((base / "in.mms").string().c_str(), "wb");
    if (!f)
        return 0;
    if (size)
        fwrite(data, 1, size, f);
    fclose(f);
    MIME_MESSAGE *msg = MimeOpenFile(folder.c_str(), "in.mms");
    if (msg) {
        std::string out = (base / "out").string() + static_cast<char>(fs::path::preferred_separator);
        MimeOtherPartCount(msg);
        MimeExtractAll(msg, out.c_str());
        MimeDestroy(msg);
        std::error_code ec;
        for (auto &e : fs::directory_iterator(base / "out", ec))
            fs::remove_all(e.path(), ec);
    }
    return 0;
}
