/* Windows paths on a host file system, the way Wine's dosdevices map them. */
#include <stdlib.h>
#include <sys/stat.h>

#include <cctype>
#include <string>

#include "internal.h"

namespace compat {

static std::string default_c_drive()
{
    std::string base;
    if (const char *xdg = getenv("XDG_DATA_HOME"); xdg && *xdg)
        base = xdg;
    else
        base = home_folder() + "/.local/share";
    std::string root = base + "/medley/drive_c";
    // Create the chain on first use; failures show later as path-not-found.
    std::string partial;
    for (size_t i = 1; i <= root.size(); ++i) {
        if (i == root.size() || root[i] == '/') {
            partial = root.substr(0, i);
            mkdir(partial.c_str(), 0700);
        }
    }
    return root;
}

std::string drive_root(char letter)
{
    letter = (char)toupper((unsigned char)letter);
    if (letter < 'A' || letter > 'Z')
        return "";
    char var[] = "MEDLEY_DRIVE_X";
    var[sizeof var - 2] = letter;
    if (const char *v = getenv(var); v && *v)
        return v;
    if (letter == 'Z')
        return "/";
    if (letter == 'C')
        return default_c_drive();
    return "";
}

std::string host_path(const char *win_path)
{
    if (!win_path)
        return "";
    std::string in(win_path);
    std::string out;
    size_t pos = 0;
    if (in.size() >= 2 && isalpha((unsigned char)in[0]) && in[1] == ':') {
        std::string root = drive_root(in[0]);
        if (root.empty())
            root = "/nonexistent-drive-" + std::string(1, (char)toupper((unsigned char)in[0]));
        out = root;
        pos = 2;
        if (out.size() > 1 && out.back() == '/')
            out.pop_back();
        if (pos >= in.size())
            return out.empty() ? "/" : out;
        if (in[pos] != '\\' && in[pos] != '/')
            out += '/';
    }
    for (; pos < in.size(); ++pos) {
        char c = in[pos];
        out += (c == '\\') ? '/' : c;
    }
    if (out.empty())
        out = "/";
    return out;
}

}  // namespace compat
