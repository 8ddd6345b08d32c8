/*
 * Common file dialogs.
 *
 * There is no person at a headless host: the dialog is answered by a script.  The environment
 * variable MEDLEY_FILE_DIALOG holds the answer: the path the user "chose", or nothing (unset
 * or empty) for a cancelled dialog.  Tests and the medley tool set it before the call.
 * The CommDlgExtendedError codes are in <cderr.h>, as on Windows.
 */
#pragma once
#include "compat/types.h"

typedef UINT_PTR(CALLBACK *LPOFNHOOKPROC)(HWND, UINT, WPARAM, LPARAM);

typedef struct tagOFNA {
    DWORD lStructSize;
    HWND hwndOwner;
    HINSTANCE hInstance;
    LPCSTR lpstrFilter;
    LPSTR lpstrCustomFilter;
    DWORD nMaxCustFilter;
    DWORD nFilterIndex;
    LPSTR lpstrFile;
    DWORD nMaxFile;
    LPSTR lpstrFileTitle;
    DWORD nMaxFileTitle;
    LPCSTR lpstrInitialDir;
    LPCSTR lpstrTitle;
    DWORD Flags;
    WORD nFileOffset;
    WORD nFileExtension;
    LPCSTR lpstrDefExt;
    LPARAM lCustData;
    LPOFNHOOKPROC lpfnHook;
    LPCSTR lpTemplateName;
    void *pvReserved;
    DWORD dwReserved;
    DWORD FlagsEx;
} OPENFILENAMEA, *LPOPENFILENAMEA;
typedef OPENFILENAMEA OPENFILENAME;
typedef LPOPENFILENAMEA LPOPENFILENAME;

#define CDSIZEOF_STRUCT(type, field) (((size_t) & ((type *)0)->field) + sizeof(((type *)0)->field))
/* 76 on 32-bit Windows: the structure without its last three fields. */
#define OPENFILENAME_SIZE_VERSION_400A CDSIZEOF_STRUCT(OPENFILENAMEA, lpTemplateName)
#define OPENFILENAME_SIZE_VERSION_400 OPENFILENAME_SIZE_VERSION_400A

#define OFN_READONLY 0x00000001
#define OFN_OVERWRITEPROMPT 0x00000002
#define OFN_HIDEREADONLY 0x00000004
#define OFN_NOCHANGEDIR 0x00000008
#define OFN_NOVALIDATE 0x00000100
#define OFN_ALLOWMULTISELECT 0x00000200
#define OFN_EXTENSIONDIFFERENT 0x00000400
#define OFN_PATHMUSTEXIST 0x00000800
#define OFN_FILEMUSTEXIST 0x00001000
#define OFN_CREATEPROMPT 0x00002000
#define OFN_NOREADONLYRETURN 0x00008000
#define OFN_EXPLORER 0x00080000

/* Both fill lpstrFile with the scripted answer (and lpstrFileTitle, nFileOffset,
 * nFileExtension), adding "." lpstrDefExt to a name without an extension.
 * RETURNS: TRUE for an answer; FALSE for a cancelled dialog (CommDlgExtendedError 0, lpstrFile
 * untouched), a bad lStructSize (CDERR_STRUCTSIZE), an answer longer than nMaxFile - 1
 * (FNERR_BUFFERTOOSMALL; the first two bytes of lpstrFile then hold the size needed).
 * NOTES: with OFN_FILEMUSTEXIST (open) or OFN_PATHMUSTEXIST an answer naming a missing file or
 * folder is refused as a person would be refused: the dialog ends cancelled. */
COMPAT_API BOOL WINAPI GetSaveFileNameA(LPOPENFILENAMEA lpofn);
COMPAT_API BOOL WINAPI GetOpenFileNameA(LPOPENFILENAMEA lpofn);
COMPAT_API DWORD WINAPI CommDlgExtendedError(void);
