/*
 * Private profile (INI) files.
 *
 * Sections and keys are matched without regard to case (code page 1252).  A file name without
 * a drive or a leading separator names a file in the Windows folder (C:\windows).  Values are
 * trimmed of surrounding blanks; a value enclosed in matching quotes ("" or '') is returned
 * without them.
 */
#pragma once
#include "compat/types.h"

/* The value as an integer: blanks skipped, an optional sign, a "0x"/"0o"/"0b" base prefix, then
 * the leading digits ("12abc" gives 12, "abc" gives 0).  nDefault when the key is missing or
 * its value empty. */
COMPAT_API UINT WINAPI GetPrivateProfileIntA(LPCSTR lpAppName, LPCSTR lpKeyName, INT nDefault, LPCSTR lpFileName);

/* Copies the value (or lpDefault, trailing blanks dropped, or "") into lpReturnedString, cut to
 * nSize - 1 characters; returns the length copied.  lpAppName null: every section name; lpKeyName
 * null: every key name of the section; each list entry ends in a zero and the list in a second
 * one; a list cut short returns nSize - 2. */
COMPAT_API DWORD WINAPI GetPrivateProfileStringA(LPCSTR lpAppName, LPCSTR lpKeyName, LPCSTR lpDefault,
                                                 LPSTR lpReturnedString, DWORD nSize, LPCSTR lpFileName);

/* Sets the key's value, creating the file, section and key as needed.  lpString null deletes
 * the key, lpKeyName null the whole section; all three null only flushes (TRUE).  Lines that
 * are not keys (comments, blank lines) are kept.  FALSE when the file cannot be written. */
COMPAT_API BOOL WINAPI WritePrivateProfileStringA(LPCSTR lpAppName, LPCSTR lpKeyName, LPCSTR lpString,
                                                  LPCSTR lpFileName);
