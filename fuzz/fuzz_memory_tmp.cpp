/*
 * Linked into every libFuzzer program (not a target of its own): before the first input, the
 * temporary folder moves to a memory file system.
 *
 * Most targets hand their input to the library as a file, and the library writes its own
 * output beside it.  On a disk mounted with online discard, every truncation and deletion of
 * such a file waits for the device (a GIF campaign ran about 65 inputs a second, nearly all of
 * it in ext4's discard); in memory the same work takes microseconds.  MEDLEY_FUZZ_TMP names
 * the folder to use; otherwise /dev/shm when it exists; otherwise the temporary folder stays.
 * The program's folder there is removed when it exits.
 */
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <string>

namespace {
std::string g_dir;
void RemoveScratch()
{
    std::error_code ec;
    std::filesystem::remove_all(g_dir, ec);
}
}  // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    std::string base;
    if (const char *e = getenv("MEDLEY_FUZZ_TMP"); e && *e)
        base = e;
    else if (access("/dev/shm", W_OK) == 0)
        base = "/dev/shm";
    if (base.empty())
        return 0;
    std::string dir = base + "/medley-fuzz-XXXXXX";  // unpredictable, made exclusively, 0700
    if (!mkdtemp(&dir[0]))
        return 0;
    setenv("TMPDIR", dir.c_str(), 1);
    g_dir = dir;
    atexit(RemoveScratch);  // the folder goes with the program
    return 0;
}
