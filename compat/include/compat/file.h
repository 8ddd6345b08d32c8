/* Files, folders, drives and the temporary and current folders. */
#pragma once
#include "compat/types.h"

#define GENERIC_READ 0x80000000u
#define GENERIC_WRITE 0x40000000u
#define FILE_SHARE_READ 0x00000001
#define FILE_SHARE_WRITE 0x00000002
#define FILE_SHARE_DELETE 0x00000004
#define CREATE_NEW 1
#define CREATE_ALWAYS 2
#define OPEN_EXISTING 3
#define OPEN_ALWAYS 4
#define TRUNCATE_EXISTING 5
#define FILE_BEGIN 0
#define FILE_CURRENT 1
#define FILE_END 2
#define INVALID_SET_FILE_POINTER ((DWORD)-1)
#define INVALID_FILE_SIZE ((DWORD)0xFFFFFFFF)
#define INVALID_FILE_ATTRIBUTES ((DWORD)-1)
#define ERROR_NEGATIVE_SEEK 131L
#define ERROR_BAD_LENGTH 24L
#define ERROR_BUFFER_OVERFLOW 111L

#define FILE_ATTRIBUTE_READONLY 0x00000001
#define FILE_ATTRIBUTE_HIDDEN 0x00000002
#define FILE_ATTRIBUTE_SYSTEM 0x00000004
#define FILE_ATTRIBUTE_DIRECTORY 0x00000010
#define FILE_ATTRIBUTE_ARCHIVE 0x00000020
#define FILE_ATTRIBUTE_NORMAL 0x00000080
#define FILE_ATTRIBUTE_TEMPORARY 0x00000100
#define FILE_ATTRIBUTE_REPARSE_POINT 0x00000400
#define SYMBOLIC_LINK_FLAG_DIRECTORY 0x1
#define FILE_FLAG_BACKUP_SEMANTICS 0x02000000

#define DRIVE_UNKNOWN 0
#define DRIVE_NO_ROOT_DIR 1
#define DRIVE_REMOVABLE 2
#define DRIVE_FIXED 3
#define DRIVE_REMOTE 4
#define DRIVE_CDROM 5
#define DRIVE_RAMDISK 6

#define SEM_FAILCRITICALERRORS 0x0001
#define SEM_NOGPFAULTERRORBOX 0x0002
#define SEM_NOOPENFILEERRORBOX 0x8000

typedef struct _WIN32_FIND_DATAA {
    DWORD dwFileAttributes;
    FILETIME ftCreationTime;
    FILETIME ftLastAccessTime;
    FILETIME ftLastWriteTime;
    DWORD nFileSizeHigh;
    DWORD nFileSizeLow;
    DWORD dwReserved0;
    DWORD dwReserved1;
    CHAR cFileName[MAX_PATH];
    CHAR cAlternateFileName[14];
} WIN32_FIND_DATAA, *PWIN32_FIND_DATAA, *LPWIN32_FIND_DATAA;
typedef WIN32_FIND_DATAA WIN32_FIND_DATA;

typedef struct _SECURITY_ATTRIBUTES {
    DWORD nLength;
    LPVOID lpSecurityDescriptor;
    BOOL bInheritHandle;
} SECURITY_ATTRIBUTES, *PSECURITY_ATTRIBUTES, *LPSECURITY_ATTRIBUTES;
struct _OVERLAPPED;

typedef struct _BY_HANDLE_FILE_INFORMATION {
    DWORD dwFileAttributes;
    FILETIME ftCreationTime;
    FILETIME ftLastAccessTime;
    FILETIME ftLastWriteTime;
    DWORD dwVolumeSerialNumber;
    DWORD nFileSizeHigh;
    DWORD nFileSizeLow;
    DWORD nNumberOfLinks;
    DWORD nFileIndexHigh;
    DWORD nFileIndexLow;
} BY_HANDLE_FILE_INFORMATION, *LPBY_HANDLE_FILE_INFORMATION;

#define MOVEFILE_REPLACE_EXISTING 0x00000001
#define MOVEFILE_COPY_ALLOWED 0x00000002
#define MOVEFILE_WRITE_THROUGH 0x00000008

/* Files.  Handles are closed with CloseHandle; INVALID_HANDLE_VALUE on failure.  CREATE_ALWAYS
 * and OPEN_ALWAYS on an existing file succeed with ERROR_ALREADY_EXISTS. */
COMPAT_API HANDLE WINAPI CreateFileA(LPCSTR lpFileName, DWORD dwDesiredAccess, DWORD dwShareMode,
                                     LPSECURITY_ATTRIBUTES lpSecurityAttributes,
                                     DWORD dwCreationDisposition, DWORD dwFlagsAndAttributes,
                                     HANDLE hTemplateFile);
COMPAT_API BOOL WINAPI ReadFile(HANDLE hFile, LPVOID lpBuffer, DWORD nNumberOfBytesToRead,
                                LPDWORD lpNumberOfBytesRead, struct _OVERLAPPED *lpOverlapped);
COMPAT_API BOOL WINAPI WriteFile(HANDLE hFile, LPCVOID lpBuffer, DWORD nNumberOfBytesToWrite,
                                 LPDWORD lpNumberOfBytesWritten, struct _OVERLAPPED *lpOverlapped);
COMPAT_API DWORD WINAPI SetFilePointer(HANDLE hFile, LONG lDistanceToMove, PLONG lpDistanceToMoveHigh,
                                       DWORD dwMoveMethod);
COMPAT_API DWORD WINAPI GetFileSize(HANDLE hFile, LPDWORD lpFileSizeHigh);
COMPAT_API BOOL WINAPI SetEndOfFile(HANDLE hFile);
COMPAT_API BOOL WINAPI FlushFileBuffers(HANDLE hFile);
COMPAT_API BOOL WINAPI CloseHandle(HANDLE hObject);
/* The volume serial number and file index identify the file (the host's device and inode). */
COMPAT_API BOOL WINAPI GetFileInformationByHandle(HANDLE hFile, LPBY_HANDLE_FILE_INFORMATION lpFileInformation);

/* Attributes: a read-only file cannot be deleted, emptied or opened for writing
 * (ERROR_ACCESS_DENIED), nor a read-only folder removed.  Attributes other than READONLY and
 * DIRECTORY are kept where the host file system has extended attributes. */
COMPAT_API BOOL WINAPI DeleteFileA(LPCSTR lpFileName);
/* Fails with ERROR_ALREADY_EXISTS when the target exists; moves across file systems too. */
COMPAT_API BOOL WINAPI MoveFileA(LPCSTR lpExistingFileName, LPCSTR lpNewFileName);
/* MOVEFILE_REPLACE_EXISTING replaces a file (never a folder) in one step; without it an existing
 * target fails with ERROR_ALREADY_EXISTS.  MOVEFILE_COPY_ALLOWED lets a file move across file
 * systems (copied, then the source deleted). */
COMPAT_API BOOL WINAPI MoveFileExA(LPCSTR lpExistingFileName, LPCSTR lpNewFileName, DWORD dwFlags);
COMPAT_API BOOL WINAPI CopyFileA(LPCSTR lpExistingFileName, LPCSTR lpNewFileName, BOOL bFailIfExists);
COMPAT_API DWORD WINAPI GetFileAttributesA(LPCSTR lpFileName);
COMPAT_API BOOL WINAPI SetFileAttributesA(LPCSTR lpFileName, DWORD dwFileAttributes);
COMPAT_API BOOL WINAPI CreateDirectoryA(LPCSTR lpPathName, LPSECURITY_ATTRIBUTES lpSecurityAttributes);
COMPAT_API BOOL WINAPI RemoveDirectoryA(LPCSTR lpPathName);
/* A host symbolic link; SYMBOLIC_LINK_FLAG_DIRECTORY is accepted and not needed (the host's links
 * take either kind).  A link reports FILE_ATTRIBUTE_REPARSE_POINT, with DIRECTORY when it leads
 * to a folder; DeleteFileA and RemoveDirectoryA remove the link itself, never what it leads to. */
COMPAT_API BOOLEAN WINAPI CreateSymbolicLinkA(LPCSTR lpSymlinkFileName, LPCSTR lpTargetFileName, DWORD dwFlags);

/* Searches one folder; '*' and '?' in the last component, without regard to case; "*.*"
 * matches every name.  "." and ".." are listed as Windows lists them. */
COMPAT_API HANDLE WINAPI FindFirstFileA(LPCSTR lpFileName, LPWIN32_FIND_DATAA lpFindFileData);
COMPAT_API BOOL WINAPI FindNextFileA(HANDLE hFindFile, LPWIN32_FIND_DATAA lpFindFileData);
COMPAT_API BOOL WINAPI FindClose(HANDLE hFindFile);

/* Folder queries give host paths.  Each returns the length copied, or, when the buffer is too
 * small, the size needed including the terminator (buffer untouched); 0 on failure. */
COMPAT_API DWORD WINAPI GetTempPathA(DWORD nBufferLength, LPSTR lpBuffer);
COMPAT_API UINT WINAPI GetTempFileNameA(LPCSTR lpPathName, LPCSTR lpPrefixString, UINT uUnique,
                                        LPSTR lpTempFileName);
COMPAT_API DWORD WINAPI GetCurrentDirectoryA(DWORD nBufferLength, LPSTR lpBuffer);
COMPAT_API BOOL WINAPI SetCurrentDirectoryA(LPCSTR lpPathName);
COMPAT_API DWORD WINAPI GetFullPathNameA(LPCSTR lpFileName, DWORD nBufferLength, LPSTR lpBuffer,
                                         LPSTR *lpFilePart);
COMPAT_API UINT WINAPI GetWindowsDirectoryA(LPSTR lpBuffer, UINT uSize);
COMPAT_API UINT WINAPI GetSystemDirectoryA(LPSTR lpBuffer, UINT uSize);

/* Drives: letters mapped to host folders (MEDLEY_DRIVE_X); MEDLEY_DRIVE_X_TYPE may say
 * "fixed", "removable", "cdrom", "remote" or "ramdisk" (default fixed).  Free space comes from
 * the host file system holding the folder, or from MEDLEY_DRIVE_X_FREE (bytes) when set. */
COMPAT_API DWORD WINAPI GetLogicalDrives(void);
COMPAT_API UINT WINAPI GetDriveTypeA(LPCSTR lpRootPathName);
COMPAT_API BOOL WINAPI GetDiskFreeSpaceExA(LPCSTR lpDirectoryName, PULARGE_INTEGER lpFreeBytesAvailableToCaller,
                                           PULARGE_INTEGER lpTotalNumberOfBytes,
                                           PULARGE_INTEGER lpTotalNumberOfFreeBytes);
/* NOTES: reports 8 sectors of 512 bytes a cluster; counts beyond 32 bits are cut to 0xFFFFFFFF. */
COMPAT_API BOOL WINAPI GetDiskFreeSpaceA(LPCSTR lpRootPathName, LPDWORD lpSectorsPerCluster,
                                         LPDWORD lpBytesPerSector, LPDWORD lpNumberOfFreeClusters,
                                         LPDWORD lpTotalNumberOfClusters);
COMPAT_API BOOL WINAPI GetVolumeInformationA(LPCSTR lpRootPathName, LPSTR lpVolumeNameBuffer,
                                             DWORD nVolumeNameSize, LPDWORD lpVolumeSerialNumber,
                                             LPDWORD lpMaximumComponentLength, LPDWORD lpFileSystemFlags,
                                             LPSTR lpFileSystemNameBuffer, DWORD nFileSystemNameSize);
COMPAT_API UINT WINAPI SetErrorMode(UINT uMode);
