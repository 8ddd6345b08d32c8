/*
 * Most fuzz targets hand their input to the library as a file: a scratch path of the
 * process's own under the temporary folder (in memory for libFuzzer programs, see
 * fuzz_memory_tmp.cpp), and the input written there.
 */
#pragma once
#include <stddef.h>
#include <stdint.h>
#include <stdio.h>

#include <filesystem>
#include <string>
#include <system_error>

#include <windows.h>

/* <the user's private temporary folder>/<stem>_<process id><suffix> */
inline std::string FuzzScratchPath(const std::string &stem, const std::string &suffix)
{
    char dir[MAX_PATH];
    DWORD n = GetTempPathA(sizeof dir, dir);
    if (n == 0 || n >= sizeof dir)
        return std::string();
    return std::string(dir, n) + stem + "_" + std::to_string(GetCurrentProcessId()) + suffix;
}

/* The input written to `path`; false when it cannot be (the input is then passed over). */
inline bool FuzzWriteInput(const std::string &path, const uint8_t *data, size_t size)
{
    FILE *f = fopen(path.c_str(), "wb");
    if (!f)
        return false;
    bool written = size == 0 || fwrite(data, 1, size, f) == size;
    return fclose(f) == 0 && written;
}
