/*
 * Fuzz target of fitting a message to a budget: the input is a message file, fitted into
 * about half its size and into more than its size.  Nothing may fault; a fit that succeeds
 * leaves a file within the budget that opens as a message, one that fails leaves no file and
 * says why; the work folder is left empty either way.
 */
#include <stddef.h>
#include <stdint.h>
#include <stdio.h>

#include <filesystem>
#include <random>
#include <string>
#include <system_error>

#include "fit.h"
#include "fuzz_input.h"
#include "mime.h"

#include "fuzz_check.h"

namespace fs = std::filesystem;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    // Pictures of a megapixel are fitted the same way, only slower.
    if (size > 200000)
        return 0;
    static struct Scratch {
        fs::path path;
        Scratch()
        {
            path = fs::temp_directory_path() / ("fit-fuzz-" + std::to_string(std::random_device{}()));
            fs::create_directories(path / "work");
        }
        ~Scratch()
        {
            std::error_code ec;
            fs::remove_all(path, ec);
        }
    } scratch;
    const std::string in = (scratch.path / "in.mms").string(), out = (scratch.path / "out.mms").string();
    const std::string work = (scratch.path / "work").string();
    if (!FuzzWriteInput(in, data, size))
        return 0;
    for (DWORD budget : {DWORD(size / 2 + 300), DWORD(size + 2000)}) {
        std::error_code ec;
        fs::remove(out, ec);
        FitResult r;
        int ok = FitMessageFile(in.c_str(), work.c_str(), out.c_str(), budget, &r, nullptr, nullptr);
        CHECK(fs::is_empty(scratch.path / "work", ec));
        if (!ok) {
            CHECK(!r.reason.empty());
            CHECK(!fs::exists(out, ec));
            continue;
        }
        CHECK(fs::exists(out, ec));
        const auto got = fs::file_size(out, ec);
        CHECK(!ec && got <= budget && (long long)got == r.size);
        std::string folder = scratch.path.string() + static_cast<char>(fs::path::preferred_separator);
        MIME_MESSAGE *msg = MimeOpenFile(folder.c_str(), "out.mms");
        CHECK(msg != nullptr);
        MimeDestroy(msg);
    }
    return 0;
}
