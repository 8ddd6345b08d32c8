/* Private profile files: the input is the file.  Its own section and key names (taken from
 * the name lists) are read back as strings and integers, then written, deleted and read
 * again; nothing may fault, overrun a buffer or lose the terminating zeros. */
#include <stddef.h>
#include <stdint.h>
#include <stdio.h>
#include <string.h>

#include <string>
#include <vector>

#include <windows.h>

/* A broken contract stops the run with the line that found it. */
#include "fuzz_check.h"

namespace {

std::string g_path;

bool setup()
{
    if (!g_path.empty())
        return true;
    char dir[MAX_PATH];
    DWORD n = GetTempPathA(sizeof dir, dir);
    if (!n || n >= sizeof dir)
        return false;
    char name[32];
    wsprintfA(name, "ini_fuzz_%lu.ini", (unsigned long)GetCurrentProcessId());
    g_path = std::string(dir) + name;
    return true;
}

/* Splits a zero-separated list ending in a second zero; `len` is the count returned. */
std::vector<std::string> split(const char *buf, DWORD len)
{
    std::vector<std::string> out;
    for (DWORD i = 0; i < len && buf[i];) {
        std::string s(buf + i);
        i += (DWORD)s.size() + 1;
        out.push_back(s);
    }
    return out;
}

/* A list, cut short or not, stays within the buffer and is terminated there.  (How a cut
 * list's last name is shortened differs between kernel32 versions.) */
void check_list(const char *buf, DWORD size, DWORD got)
{
    if (size < 2)
        return;
    CHECK(got < size && buf[got] == 0);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (!setup())
        return 0;
    const char *file = g_path.c_str();
    FILE *f = fopen(file, "wb");
    if (!f)
        return 0;
    fwrite(data, 1, size, f);
    fclose(f);

    // Every call reads and parses the whole file again (as Windows does), so each input asks
    // a few things only; which form a read takes turns with the input's length, so that across
    // inputs every form meets every kind of name.
    const size_t turn = size;
    static std::vector<char> big(4096);
    DWORD n = GetPrivateProfileStringA(NULL, NULL, "", big.data(), (DWORD)big.size(), file);
    check_list(big.data(), (DWORD)big.size(), n);
    std::vector<std::string> sections = split(big.data(), n);
    // A short list buffer: a cut-short result at one of the small sizes.
    char small[8];
    DWORD smallSize = 1 + (DWORD)(turn % sizeof small);
    check_list(small, smallSize, GetPrivateProfileStringA(NULL, NULL, "", small, smallSize, file));
    if (sections.size() > 3)
        sections.resize(3);
    sections.push_back("size0");

    for (const std::string &sec : sections) {
        n = GetPrivateProfileStringA(sec.c_str(), NULL, "", big.data(), (DWORD)big.size(), file);
        check_list(big.data(), (DWORD)big.size(), n);
        std::vector<std::string> keys = split(big.data(), n);
        if (keys.size() > 3)
            keys.resize(3);
        keys.push_back("nWidth");
        keys.push_back("nHeight");
        for (size_t i = 0; i < keys.size(); ++i) {
            const std::string &key = keys[i];
            char value[MAX_PATH];
            switch ((turn + i) % 3) {
            case 0: {
                DWORD got = GetPrivateProfileStringA(sec.c_str(), key.c_str(), "dflt  ", value, sizeof value, file);
                CHECK(got < sizeof value && value[got] == 0);
                break;
            }
            case 1: {
                DWORD got = GetPrivateProfileStringA(sec.c_str(), key.c_str(), NULL, value, 3, file);
                CHECK(got <= 2 && value[got] == 0);
                break;
            }
            default:
                GetPrivateProfileIntA(sec.c_str(), key.c_str(), -7, file);
            }
        }
        // Changes: set the first key, add one, delete one, read the set value back.
        if (!keys.empty()) {
            if (WritePrivateProfileStringA(sec.c_str(), keys[0].c_str(), " 42", file)) {
                if (!sec.empty() && !keys[0].empty() && sec.find_first_of("[]") == std::string::npos &&
                    keys[0].find('=') == std::string::npos)
                    CHECK(GetPrivateProfileIntA(sec.c_str(), keys[0].c_str(), -1, file) == 42);
            }
            WritePrivateProfileStringA(sec.c_str(), "added", "value", file);
            WritePrivateProfileStringA(sec.c_str(), keys.back().c_str(), NULL, file);
        }
    }
    if (!sections.empty())
        WritePrivateProfileStringA(sections[0].c_str(), NULL, NULL, file);
    GetPrivateProfileStringA(NULL, NULL, "", big.data(), (DWORD)big.size(), file);
    DeleteFileA(file);
    return 0;
}
