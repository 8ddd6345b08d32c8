/*
 * System information: special and application folders, paths, drives, devices, versions,
 * the first-run marker and Gregorian dates.
 *
 * Paths are ANSI, at most 260 characters (MAX_PATH); folder buffers are 260 characters.
 * Pointers are tested, not asserted: a null buffer or path gives 0 (-1 where noted) with no
 * other effect.  NOTES: a path that would not fit its 260-character buffer is a failure
 * (0, or -1 for GetSpecialFolder) and leaves the buffer empty rather than overflowing it.
 */
#pragma once
#include <windows.h>
#include <stdint.h>

#define SYS_CSIDL_PERSONAL 5
#define SYS_CSIDL_APPDATA 26
#define SYS_CSIDL_LOCAL_APPDATA 28
#define SYS_CSIDL_COMMON_APPDATA 35
#define SYS_CSIDL_PROGRAM_FILES 38
#define SYS_CSIDL_MYPICTURES 39
#define SYS_CSIDL_FLAG_CREATE 0x8000

/* Folders. */
int GetSpecialFolder(LPSTR lpszBuf, int nFolder, BOOL bCreate);  // 0, 1, 2, 3 or -1
int GetMyDocumentsFolder(LPSTR lpszBuf, BOOL bCreate);
int GetMyPicturesFolder(LPSTR lpszBuf, BOOL bCreate);
int GetMyMusicFolder(LPSTR lpszBuf);
int GetMyVideosFolder(LPSTR lpszBuf);
int GetCommonAppDataFolder(LPSTR lpszBuf);
int GetUserAppDataFolder(LPSTR lpszBuf);
void GetAppFolder(LPSTR lpszBuf);
int GetProgramFolder(LPSTR lpszBuf);
int GetDataFolder(LPSTR lpszBuf);
int MakeProgramFilePath(LPSTR lpszPath);
int MakeDataFilePath(LPSTR lpszPath);
int GetCurrentFolder(LPSTR lpszBuf, int nSize);
int MakeCurrentFolderPath(LPSTR lpszBuf, LPCSTR lpszName, int nSize);
int MakeTempPath(LPSTR lpszBuf, LPCSTR lpszName);
int CreateFolderTree(LPCSTR lpszPath);  // 0, -1 or -2; a trailing separator ends the path

/* Paths.  SplitPath's pieces are 260-character buffers (each may be null). */
int SplitPath(LPCSTR lpszPath, LPSTR lpszDrive, LPSTR lpszDir, LPSTR lpszName, LPSTR lpszExt);
int MakePath(LPSTR lpszBuf, LPCSTR lpszDrive, LPCSTR lpszDir, LPCSTR lpszName, LPCSTR lpszExt);
int GetFileExt(LPCSTR lpszPath, LPSTR lpszBuf, int nSize);
int GetPathNoExt(LPCSTR lpszPath, LPSTR lpszBuf, int nSize);
int ChangeFileExt(LPCSTR lpszPath, LPCSTR lpszExt, LPSTR lpszBuf, int nSize);
int GetFileNameExt(LPCSTR lpszPath, LPSTR lpszBuf, int nSize);
int GetFolderOfPath(LPCSTR lpszPath, LPSTR lpszBuf, int nSize);
int JoinStrings(LPSTR lpszBuf, LPCSTR lpszFirst, LPCSTR lpszSecond, int nSize);
void SanitizeVersion(LPSTR lpszText);

/* A path in pieces: whole path, drive, folder, file name, extension. */
/* Make() rebuilds the whole path from the pieces; when they do not fit in 260 characters the
 * path becomes empty (never the one made before). */
class CPathName {
public:
    CPathName();
    explicit CPathName(LPCSTR lpszPath);
    void SetPath(LPCSTR lpszPath);
    LPCSTR Make();
    LPCSTR GetDrive() const { return m_szDrive; }
    LPCSTR GetDir() const { return m_szDir; }
    LPCSTR GetFileName() const { return m_szName; }
    LPCSTR GetExt() const { return m_szExt; }
    void SetDrive(LPCSTR lpsz);
    void SetDir(LPCSTR lpsz);
    void SetFileName(LPCSTR lpsz);
    void SetExt(LPCSTR lpsz);

private:
    char m_szPath[MAX_PATH];
    char m_szDrive[MAX_PATH];
    char m_szDir[MAX_PATH];
    char m_szName[MAX_PATH];
    char m_szExt[MAX_PATH];
};

/* Machine. */
uint64_t GetDiskFreeBytes(LPCSTR lpszPath);
DWORD GetFixedDrives();
char FindRoomiestDrive();
int FindCdDriveWithMedia(char cDrive);
int HasDefaultPrinter();
int HasWaveOutDevice();
void GetScreenInfo(int *pWidth, int *pHeight, int *pBits);
int GetIEVersion(LPSTR lpszBuf);  // 100-byte buffer
int GetMakerName(LPSTR lpszBuf);
int GetProductName(LPSTR lpszBuf);
int GetProductVersion(LPSTR lpszBuf);
int IsFirstRun();
int CanWriteMachineKey();
int IsOSAtLeast(DWORD dw9xMajor, DWORD dw9xMinor, DWORD dwNtMajor, DWORD dwNtMinor, DWORD dwServicePack);
void SetVersionDepth(int nDepth);
int GetVersionDepth();

/* Dates. */
int IsLeapYear(WORD wYear);
int DaysInYear(WORD wYear);
int DaysInMonth(WORD wYear, WORD wMonth);
int DayOfWeek(WORD wYear, WORD wMonth, WORD wDay);  // 1 Monday .. 7 Sunday, 0 bad input
void AddDays(WORD wYear, WORD wMonth, WORD wDay, int32_t nDays, WORD *pYear, WORD *pMonth, WORD *pDay);
void SecondsToDateTime(WORD *pYear, WORD *pMonth, WORD *pDay, WORD *pHour, WORD *pMinute, WORD *pSecond,
                       int64_t nSeconds);
