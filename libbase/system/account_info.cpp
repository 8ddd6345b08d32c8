/* The account record: ACCTINFO_SIZE bytes, the whole content of the account file
 * "<program files>\<maker>\<product>\<version>\<product>1.tl". */
#include <string.h>

#include <string>

#include "basemem.h"
#include "fileio.h"
#include "filefun.h"
#include "sysinfo.h"

int GetAcctInfoPath(LPSTR lpszBuf)
{
    if (!lpszBuf)
        return 0;
    lpszBuf[0] = 0;
    char programs[MAX_PATH], maker[MAX_PATH], product[MAX_PATH], version[MAX_PATH];
    if (GetSpecialFolder(programs, SYS_CSIDL_PROGRAM_FILES, TRUE) < 0)
        return 0;
    GetMakerName(maker);
    GetProductName(product);
    GetProductVersion(version);
    std::string folder = std::string(programs) + "\\" + maker + "\\" + product + "\\" + version + "\\";
    std::string path = folder + product + "1" + ".tl";
    if (path.size() >= MAX_PATH) {
        SetLastError(ERROR_FILENAME_EXCED_RANGE);
        return 0;
    }
    if (!FileExists(folder.c_str()))
        CreateFolderTree(folder.c_str());
    memcpy(lpszBuf, path.c_str(), path.size() + 1);
    return 1;
}

int SaveAcctInfo(const void *lpAcctInfo)
{
    MD_ASSERT(lpAcctInfo);
    char path[MAX_PATH];
    if (!lpAcctInfo || !GetAcctInfoPath(path))
        return 0;
    // Beside the old record, then renamed over it: the file holds one whole record or the other.
    FIO_FILE *f = FioCreateAtomic(path);
    if (!f)
        return 0;
    if (FioWrite(f, lpAcctInfo, ACCTINFO_SIZE) != ACCTINFO_SIZE) {
        DWORD error = FioLastError(f);
        FioClose(f);
        SetLastError(error);
        return 0;
    }
    return FioCommit(f);
}

int LoadAcctInfo(void *lpAcctInfo)
{
    MD_ASSERT(lpAcctInfo);
    if (!lpAcctInfo)
        return 0;
    memset(lpAcctInfo, 0, ACCTINFO_SIZE);
    char path[MAX_PATH];
    if (!GetAcctInfoPath(path))
        return 0;
    if (!FileExists(path)) {
        SetLastError(ERROR_FILE_NOT_FOUND);
        return 0;
    }
    FIO_FILE *f = FioOpen(path, "rb");
    if (!f)
        return 0;
    size_t got = FioRead(f, lpAcctInfo, ACCTINFO_SIZE);
    DWORD error = FioError(f) ? FioLastError(f) : (DWORD)ERROR_SUCCESS;
    FioClose(f);
    if (error != ERROR_SUCCESS) {
        memset(lpAcctInfo, 0, ACCTINFO_SIZE);  // no half-read record
        SetLastError(error);
        return 0;
    }
    if (got < ACCTINFO_SIZE) {
        SetLastError(ERROR_HANDLE_EOF);  // what the file holds is in the record, the rest zero
        return 0;
    }
    return 1;
}
