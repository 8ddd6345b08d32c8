/*
 * What the benchmark programs share: a scratch folder of the run's own and the smoke mode.
 *
 * The test suite runs every benchmark program briefly with MEDLEY_BENCH_SMOKE=1 set (see
 * smoke.cmake): work that a program fixes in size rather than in time is then made small.
 */
#pragma once
#include <malloc.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <filesystem>
#include <string>

namespace bench {

inline bool Smoke() {
    const char *s = getenv("MEDLEY_BENCH_SMOKE");
    return s && *s && strcmp(s, "0") != 0;
}

/* Fixes the C library allocator's thresholds for the whole run.  By default large blocks are
 * mapped and unmapped each time (every page faulted in afresh) until a free raises the
 * threshold, and the top of the heap is trimmed after frees: which of the two happens depends
 * on what ran before, so the same repetition could take twice as long in one run as in
 * another.  With fixed thresholds every repetition, of every program measured side by side,
 * reuses the heap the same way. */
inline bool SteadyHeap() {
    return mallopt(M_MMAP_THRESHOLD, 256 << 20) == 1 && mallopt(M_TRIM_THRESHOLD, 512 << 20) == 1;
}

/* A folder of this run's own under the temporary folder (made exclusively, 0700), removed with
 * what it holds when the program ends. */
class Scratch {
public:
    static const std::string &Dir() {
        static Scratch s;
        return s.m_dir;
    }
    static std::string Path(const std::string &name) { return (std::filesystem::path(Dir()) / name).string(); }

private:
    Scratch() {
        std::string pattern = (std::filesystem::temp_directory_path() / "medley-bench-XXXXXX").string();
        if (!mkdtemp(&pattern[0])) {
            fprintf(stderr, "cannot make a scratch folder under %s\n", pattern.c_str());
            exit(1);
        }
        m_dir = pattern;
    }
    ~Scratch() {
        std::error_code ec;
        std::filesystem::remove_all(m_dir, ec);
    }
    std::string m_dir;
};

}  // namespace bench
