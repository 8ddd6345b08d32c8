/*
 * Folders only this user can enter: the temporary folder, the IrDA link folder.  The rule is
 * the one tmux and ssh-agent follow: made 0700 when missing, and used only when it is a real
 * folder (not a link), owned by this user and closed to everyone else.
 */
#include <errno.h>
#include <fcntl.h>
#include <pwd.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>
#include <unistd.h>

#include <mutex>
#include <string>

#include "compat/extensions.h"
#include "internal.h"

namespace compat {

namespace {

std::mutex g_refused_lock;
std::string g_refused;  // the folder last refused, for the tools' messages

}  // namespace

DWORD private_folder(const std::string &path)
{
    DWORD error = ERROR_SUCCESS;
    if (mkdir(path.c_str(), 0700) != 0 && errno != EEXIST) {
        error = error_from_errno(errno);
    } else {
        // Opened without following a link, then judged by what was opened.
        int fd = open(path.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
        struct stat st;
        int opened = errno;
        struct stat ls;
        if (fd < 0)
            error = lstat(path.c_str(), &ls) == 0 && S_ISLNK(ls.st_mode) ? COMPAT_ERROR_FOLDER_IS_LINK
                    : opened == ENOTDIR                                 ? ERROR_DIRECTORY
                                                                        : error_from_errno(opened);
        else if (fstat(fd, &st) != 0)
            error = error_from_errno(errno);
        else if (st.st_uid != geteuid())
            error = COMPAT_ERROR_FOLDER_NOT_OWNED;
        else if (st.st_mode & 077)
            error = COMPAT_ERROR_FOLDER_OPEN;
        if (fd >= 0)
            close(fd);
    }
    if (error != ERROR_SUCCESS) {
        std::lock_guard<std::mutex> g(g_refused_lock);
        g_refused = path;
    }
    return error;
}

DWORD temp_folder(std::string *folder)
{
    std::string t;
    if (const char *e = getenv("TMPDIR"); e && *e)
        t = host_path(e);
    else
        t = "/tmp";
    while (t.size() > 1 && t.back() == '/')
        t.pop_back();
    if (t != "/")
        t += '/';
    *folder = t + "medley-" + std::to_string((unsigned)geteuid());
    return private_folder(*folder);
}

std::string home_folder()
{
    if (const char *h = getenv("HOME"); h && *h)
        return h;
    // As a login would: the user's entry in the password database.
    struct passwd pw, *found = nullptr;
    char buf[4096];
    if (getpwuid_r(geteuid(), &pw, buf, sizeof buf, &found) == 0 && found && found->pw_dir && *found->pw_dir)
        return found->pw_dir;
    // No home at all: the private temporary folder rather than a folder others share.
    std::string t;
    return temp_folder(&t) == ERROR_SUCCESS ? t : std::string();
}

}  // namespace compat

DWORD WINAPI CompatRefusedFolderA(LPSTR buf, DWORD size)
{
    std::string f;
    {
        std::lock_guard<std::mutex> g(compat::g_refused_lock);
        f = compat::g_refused;
    }
    if (!buf || size <= f.size())
        return (DWORD)f.size() + 1;
    memcpy(buf, f.c_str(), f.size() + 1);
    return (DWORD)f.size();
}

DWORD WINAPI CompatPrivateFolderA(LPCSTR folder)
{
    if (!folder || !*folder)
        return ERROR_INVALID_PARAMETER;
    return compat::private_folder(folder);
}
