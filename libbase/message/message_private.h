/* Helpers shared by the message-file sources. */
#pragma once
#include <windows.h>

namespace msgfile {

/* The C runtime's drive/folder/name/extension split, into MAX_PATH buffers (each may be null):
 * drive "X:", folder up to and with the last "\" or "/", name, extension from the last dot. */
void SplitPieces(LPCSTR lpszPath, LPSTR lpszDrive, LPSTR lpszDir, LPSTR lpszName, LPSTR lpszExt);

/* Case-insensitive comparison of two ANSI strings. */
bool SameText(LPCSTR a, LPCSTR b);

/* a + b into a MAX_PATH buffer; false (buffer emptied) when it does not fit. */
bool JoinPath(LPSTR lpszOut, LPCSTR a, LPCSTR b);

}  // namespace msgfile
