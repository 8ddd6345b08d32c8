/*
 * Message files made through the message-document library, SMIL saving and the preview
 * rectangle.
 */
#include <stdio.h>
#include <string.h>

#include <windows.h>
#include <commdlg.h>

#include "base_assert.h"
#include "fileio.h"
#include "basemem.h"
#include "message.h"
#include "message_private.h"
#include "pixkit.h"
#include "sysinfo.h"

namespace {

/* The module-wide screen-size index naming the section of Size.ini; 0 from the start. */
int32_t g_nScreenSizeIndex = 0;

enum ItemClass { kSmil, kImage, kAudio, kOther };

ItemClass ClassOf(const char *ext)
{
    static const char *const kImages[] = {".jpg", ".jpeg", ".bmp", ".gif"};
    static const char *const kAudios[] = {".wav", ".mid"};
    if (msgfile::SameText(ext, ".smil"))
        return kSmil;
    for (const char *e : kImages)
        if (msgfile::SameText(ext, e))
            return kImage;
    for (const char *e : kAudios)
        if (msgfile::SameText(ext, e))
            return kAudio;
    return kOther;
}

/* Adds ".<ext>" (given with its dot) to a MAX_PATH buffer unless it already ends in it;
 * false when the result would not fit. */
bool ForceExtension(char *buf, const char *ext)
{
    char have[MAX_PATH];
    msgfile::SplitPieces(buf, nullptr, nullptr, nullptr, have);
    if (msgfile::SameText(have, ext))
        return true;
    size_t n = strlen(buf), e = strlen(ext);
    if (n + e >= MAX_PATH)
        return false;
    memcpy(buf + n, ext, e + 1);
    return true;
}

}  // namespace

int GenerateMessageFile(LPCSTR lpszS1, LPCSTR lpszS2, LPCSTR lpszS3, LPCSTR lpszPath, LPVOID pvValue,
                        HMMSCONTAINER hCont, int nFlag)
{
    if (!lpszS1 || !lpszS2 || !lpszS3 || !pvValue || !hCont || !lpszPath)
        return 0;
    char path[MAX_PATH];
    size_t n = strlen(lpszPath);
    if (n == 0 || n >= MAX_PATH)
        return 0;
    memcpy(path, lpszPath, n + 1);
    if (!ForceExtension(path, ".dat"))
        return 0;
    return mmsGenerateMessage(hCont, lpszS1, lpszS2, lpszS3, path, nFlag);
}

int MakeSingleItemMessage(LPCSTR lpszFile, LPSTR lpszOutFolder, LPCSTR lpszOutName, LPVOID pvValue)
{
    MD_ASSERT(lpszFile);
    if (!lpszFile || !lpszOutFolder || !lpszOutName || !FileExists(lpszFile))
        return 0;
    if (strlen(lpszOutFolder) + 1 >= MAX_PATH)
        return 0;
    HMMSCONTAINER cont = mmsContainerCreate();
    if (!cont)
        return 0;

    MEDIA_ATT att;
    memset(&att, 0, sizeof att);
    att.dwDur = 2000;

    char ext[MAX_PATH];
    msgfile::SplitPieces(lpszFile, nullptr, nullptr, nullptr, ext);
    AppendBackslash(lpszOutFolder);

    HGLOBAL image = 0;
    int result = 0;
    switch (ClassOf(ext)) {
    case kSmil: {
        // A presentation that cannot be read is a failure, not an empty message.
        if (!mmsContainerLoad(cont, lpszFile))
            goto done;
        int n = mmsGetTimeLineCount(cont);
        for (int t = n - 1; t >= 1; t--)
            mmsDestroyTimeLine(cont, t);
        int m = mmsGetObjectCountByTimeLine(cont, 0);
        for (int i = m - 1; i >= 1; i--)
            mmsDestroyObject(cont, 0, i);
        break;
    }
    case kImage: {
        int t = mmsInsertTimeLine(cont, -1);
        if (t < 0)
            goto done;
        image = PxOpenFile(lpszFile, 0, 0);
        if (mmsInsertObject(cont, t, MDOC_TYPE_IMAGE, image, lpszFile, &att, -1) < 0)
            goto done;
        break;
    }
    case kAudio: {
        int t = mmsInsertTimeLine(cont, -1);
        if (t < 0)
            goto done;
        if (mmsInsertObject(cont, t, MDOC_TYPE_AUDIO, nullptr, lpszFile, &att, -1) < 0)
            goto done;
        break;
    }
    case kOther:
        break;
    }
    {
        char out[MAX_PATH], dat[MAX_PATH];
        if (msgfile::JoinPath(out, lpszOutFolder, lpszOutName)) {
            // The message never takes the place of the file it is made of (an item of another
            // kind gives a message without objects, which would otherwise replace it).
            memcpy(dat, out, sizeof dat);
            if (ForceExtension(dat, ".dat") && FioSameFile(lpszFile, dat) == 1) {
                SetLastError(FIO_ERROR_OUTPUT_IS_INPUT);
                goto done;
            }
            result = GenerateMessageFile("", "123", "", out, pvValue, cont, 1);
        }
    }
done:
    DWORD e = GetLastError();
    mmsContainerDestroy(cont);
    if (image)
        BaseMemFree(image);
    SetLastError(e);
    return result;
}

int SaveAsSmil(HWND hOwner, HMMSCONTAINER hCont)
{
    if (!hOwner || !hCont)
        return 0;
    char file[MAX_PATH];
    memset(file, 0, sizeof file);
    OPENFILENAMEA ofn;
    memset(&ofn, 0, sizeof ofn);
    // 76 on the module's 32-bit target; the same shortened structure on 64-bit Windows, where a
    // literal 76 would be refused.
    ofn.lStructSize = OPENFILENAME_SIZE_VERSION_400A;
    ofn.hwndOwner = hOwner;
    ofn.lpstrFilter = "Smil Files(*.smil)\0*.SMIL\0";
    ofn.lpstrFile = file;
    ofn.nMaxFile = MAX_PATH;
    ofn.Flags = OFN_OVERWRITEPROMPT | OFN_PATHMUSTEXIST;
    GetSaveFileNameA(&ofn);
    if (!file[0])
        return 0;
    file[MAX_PATH - 1] = 0;
    if (!ForceExtension(file, ".smil"))
        return 0;
    return SaveContainerAsSmil(hCont, file);
}

int SaveContainerAsSmil(HMMSCONTAINER hCont, LPCSTR lpszPath)
{
    if (!hCont || !lpszPath || !*lpszPath || strlen(lpszPath) >= MAX_PATH) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    // The container's own save places its media beside the presentation.  Its SMIL text goes
    // to a temporary name there and is dropped, so that only the finished presentation ever
    // takes the chosen name: a failure leaves what was there as it was.
    char folder[MAX_PATH], drive[MAX_PATH], dir[MAX_PATH], temp[MAX_PATH];
    msgfile::SplitPieces(lpszPath, drive, dir, nullptr, nullptr);
    if (!msgfile::JoinPath(folder, drive, dir)) {
        SetLastError(ERROR_FILENAME_EXCED_RANGE);
        return 0;
    }
    static unsigned s_count;
    for (unsigned i = 0;; i++) {
        char name[32];
        snprintf(name, sizeof name, "~ms%08lx.smil", (unsigned long)(GetTickCount() + ++s_count * 7919u + i));
        if (!msgfile::JoinPath(temp, folder, name)) {
            SetLastError(ERROR_FILENAME_EXCED_RANGE);
            return 0;
        }
        if (GetFileAttributesA(temp) == INVALID_FILE_ATTRIBUTES)
            break;
        if (i > 100) {
            SetLastError(ERROR_FILE_EXISTS);
            return 0;
        }
    }
    // Media that could not be placed would leave a presentation naming files that are not
    // there: that is a failure, not a saved presentation.
    BOOL placed = mmsContainerSave(hCont, temp);
    DWORD why = GetLastError();
    // The temporary text must go; a presentation is written only once it has.
    if (GetFileAttributesA(temp) != INVALID_FILE_ATTRIBUTES && !DeleteFileA(temp) && !DeleteFileA(temp))
        return 0;
    if (!placed) {
        SetLastError(why ? why : ERROR_GEN_FAILURE);
        return 0;
    }
    return BuildSmilFromContainer(hCont, lpszPath);
}

int GetPreviewRect(RECT *pRect)
{
    if (!pRect)
        return 0;
    char app[MAX_PATH];
    memset(app, 0, sizeof app);
    GetAppFolder(app);
    app[MAX_PATH - 1] = 0;
    size_t n = strlen(app);
    if (n > 0 && app[n - 1] == '\\')
        app[n - 1] = 0;
    char path[MAX_PATH];
    int len = snprintf(path, sizeof path, "%s\\contents\\Size.ini", app);
    if (len < 0 || len >= (int)sizeof path || !FileExists(path))
        return 0;

    char section[32];
    snprintf(section, sizeof section, "size%d", (int)g_nScreenSizeIndex);
    int w = (int)GetPrivateProfileIntA(section, "nWidth", 0, path);
    int h = (int)GetPrivateProfileIntA(section, "nHeight", 0, path);
    // Zero (missing or unreadable keys), negative or absurd sizes give no usable rectangle.
    if (w <= 0 || h <= 0 || w > 0xFFFF || h > 0xFFFF)
        return 0;

    int x = (280 - w) / 2;
    int y = (260 - h) / 2;
    if (x < 0)
        x = 0;
    if (y < 0)
        y = 0;
    pRect->left = x + 6;
    pRect->top = y + 17;
    pRect->right = pRect->left + w;
    pRect->bottom = pRect->top + h;
    return 1;
}
