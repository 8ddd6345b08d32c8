/* Replays fuzz inputs without libFuzzer: every file of every folder (or file) named on the
 * command line goes through LLVMFuzzerTestOneInput once.  Used by CTest on every build. */
#include <stdint.h>
#include <stdio.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size);

static bool run_file(const std::filesystem::path &p)
{
    std::ifstream in(p, std::ios::binary);
    if (!in)
        return false;
    std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    LLVMFuzzerTestOneInput(bytes.data(), bytes.size());
    return true;
}

int main(int argc, char **argv)
{
    size_t count = 0;
    for (int i = 1; i < argc; ++i) {
        std::filesystem::path arg(argv[i]);
        std::error_code ec;
        if (std::filesystem::is_directory(arg, ec)) {
            for (const auto &e : std::filesystem::recursive_directory_iterator(arg, ec))
                if (e.is_regular_file() && run_file(e.path()))
                    ++count;
        } else if (run_file(arg)) {
            ++count;
        }
    }
    printf("replayed %zu inputs\n", count);
    return count ? 0 : 1;
}
