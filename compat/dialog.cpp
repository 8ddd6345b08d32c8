/* Common file dialogs answered by a script (MEDLEY_FILE_DIALOG); see compat/dialog.h. */
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>

#include <mutex>
#include <string>

#include "compat/testing.h"
#include "internal.h"
#include <commdlg.h>
#include <cderr.h>

namespace {

thread_local DWORD g_dlg_error = 0;

/* What the last dialog was asked with, for compat_last_file_dialog. */
std::mutex g_seenLock;
unsigned g_seenCount = 0;
DWORD g_seenFlags = 0;
std::string g_seenFilter;

/* The filter list: pairs of zero-terminated texts up to an empty one (at most 4096 bytes
 * looked at); each text with its zero, the final empty one left out. */
std::string FilterList(LPCSTR filter)
{
    std::string out;
    if (!filter)
        return out;
    for (size_t i = 0; i < 4096 && filter[i]; ) {
        size_t n = strnlen(filter + i, 4096 - i);
        out.append(filter + i, n);
        out.push_back(0);
        i += n + 1;
    }
    return out;
}

bool HostExists(const std::string &winPath, bool wantDir)
{
    struct stat st;
    std::string host = compat::host_path(winPath.c_str());
    if (host.empty() || stat(host.c_str(), &st) != 0)
        return false;
    return wantDir ? S_ISDIR(st.st_mode) : !S_ISDIR(st.st_mode);
}

BOOL Answer(LPOPENFILENAMEA ofn, bool open)
{
    g_dlg_error = 0;
    if (!ofn) {
        g_dlg_error = CDERR_INITIALIZATION;
        return FALSE;
    }
    if (ofn->lStructSize != sizeof(OPENFILENAMEA) && ofn->lStructSize != OPENFILENAME_SIZE_VERSION_400A) {
        g_dlg_error = CDERR_STRUCTSIZE;
        return FALSE;
    }
    if (!ofn->lpstrFile) {
        g_dlg_error = CDERR_INITIALIZATION;
        return FALSE;
    }
    {
        std::lock_guard<std::mutex> g(g_seenLock);
        g_seenCount++;
        g_seenFlags = ofn->Flags;
        g_seenFilter = FilterList(ofn->lpstrFilter);
    }
    const char *script = getenv("MEDLEY_FILE_DIALOG");
    if (!script || !*script)
        return FALSE;  // cancelled
    std::string path = script;

    size_t sep = path.find_last_of("\\/");
    size_t nameAt = sep == std::string::npos ? (path.size() >= 2 && path[1] == ':' ? 2 : 0) : sep + 1;
    if (nameAt >= path.size()) {
        g_dlg_error = FNERR_INVALIDFILENAME;
        return FALSE;
    }
    size_t dot = path.find_last_of('.');
    bool hasExt = dot != std::string::npos && dot >= nameAt;
    if (!hasExt && ofn->lpstrDefExt && *ofn->lpstrDefExt) {
        path += ".";
        path += ofn->lpstrDefExt;
        dot = path.size() - strlen(ofn->lpstrDefExt) - 1;
        hasExt = true;
    }
    if ((ofn->Flags & OFN_PATHMUSTEXIST) && nameAt > 0 && !HostExists(path.substr(0, nameAt), true))
        return FALSE;
    if (open && (ofn->Flags & OFN_FILEMUSTEXIST) && !HostExists(path, false))
        return FALSE;

    if (path.size() + 1 > ofn->nMaxFile) {
        g_dlg_error = FNERR_BUFFERTOOSMALL;
        if (ofn->nMaxFile >= 2) {
            WORD need = (WORD)(path.size() + 1 > 0xFFFF ? 0xFFFF : path.size() + 1);
            memcpy(ofn->lpstrFile, &need, 2);
        }
        return FALSE;
    }
    memcpy(ofn->lpstrFile, path.c_str(), path.size() + 1);
    ofn->nFileOffset = (WORD)nameAt;
    ofn->nFileExtension = hasExt ? (WORD)(dot + 1) : (WORD)path.size();
    if (ofn->lpstrFileTitle && ofn->nMaxFileTitle > 0) {
        std::string title = path.substr(nameAt);
        size_t n = title.size() < ofn->nMaxFileTitle - 1 ? title.size() : ofn->nMaxFileTitle - 1;
        memcpy(ofn->lpstrFileTitle, title.data(), n);
        ofn->lpstrFileTitle[n] = 0;
    }
    return TRUE;
}

}  // namespace

COMPAT_API BOOL WINAPI GetSaveFileNameA(LPOPENFILENAMEA lpofn) { return Answer(lpofn, false); }

COMPAT_API BOOL WINAPI GetOpenFileNameA(LPOPENFILENAMEA lpofn) { return Answer(lpofn, true); }

COMPAT_API DWORD WINAPI CommDlgExtendedError(void) { return g_dlg_error; }

unsigned compat_last_file_dialog(DWORD *flags, char *filter, size_t cb, size_t *filterLen)
{
    std::lock_guard<std::mutex> g(g_seenLock);
    if (flags)
        *flags = g_seenFlags;
    size_t n = g_seenFilter.size() < cb ? g_seenFilter.size() : cb;
    if (filter && n)
        memcpy(filter, g_seenFilter.data(), n);
    if (filterLen)
        *filterLen = g_seenFilter.size();
    return g_seenCount;
}
