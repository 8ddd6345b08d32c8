/*
 * Message files: media types, MIME files of a folder or of two text files, one-item messages
 * made through the message-document library, SMIL presentations and the preview rectangle.
 *
 * Every operation returns 1 for success and 0 for failure unless said otherwise.  Paths are
 * Windows paths of at most MAX_PATH - 1 characters; a path that would not fit a MAX_PATH
 * buffer fails instead of being cut or overrunning it.
 */
#pragma once
#include <windows.h>

#include "mdoc.h"
#include "mime.h"

/* The content type that MakeMimeFromFolder gives a file of extension lpszExt (with its dot,
 * any case), or null when the extension has no row.
 * NOTES: ".bmp" is labelled "image/jpeg"; ".jpeg" has no row. */
const char *MimeTypeOfExtension(LPCSTR lpszExt);

/* Appends "\" to the non-empty lpszPath unless it already ends in one.  The buffer must have
 * room for one more character. */
void AppendBackslash(LPSTR lpszPath);

/* Writes lpszOutFolder + lpszOutName: a mixed MIME file of every file of the folder
 * lpszFilePath whose extension has a row in the media-type table, in the order the system
 * lists them.  lpszFilePath gets a trailing "\" in place (its buffer may grow by one).
 * 1, or 0 with GetLastError() saying why (MimeWriteFile's reasons).
 * NOTES: a sub-folder named like a media file and an empty file are left out (an empty file
 * would make an entry that peers reject); a folder without media gives a message of 0 parts,
 * which cannot be opened again. */
int MakeMimeFromFolder(LPSTR lpszFilePath, LPCSTR lpszOutFolder, LPCSTR lpszOutName);

/* Told of each media entry MakeMimeFromFolderEx leaves out: its name and why
 * (ERROR_DIRECTORY_NOT_SUPPORTED for a folder, MIME_ERROR_EMPTY_PART for an empty file). */
typedef void (*MSGFILE_SKIP_PROC)(LPCSTR lpszName, DWORD dwWhy, LPVOID pvUser);
/* MakeMimeFromFolder that reports what it leaves out (pfnSkip may be null). */
int MakeMimeFromFolderEx(LPSTR lpszFilePath, LPCSTR lpszOutFolder, LPCSTR lpszOutName, MSGFILE_SKIP_PROC pfnSkip,
                         LPVOID pvUser);

/* Writes "newMime.dat" in the folder of lpszSecondFile: a MIME file of the two files as
 * "text/plain" parts. */
int MakeTextMime(LPCSTR szSubFile, LPCSTR lpszSecondFile);

/* Makes a message file of one item at lpszOutFolder + lpszOutName through the message-document
 * library: an image (".jpg", ".jpeg", ".bmp", ".gif") or audio (".wav", ".mid") file on a
 * timeline of its own, or the first object of a ".smil" presentation; any other file gives a
 * message without objects.  lpszOutFolder gets a trailing "\" in place.  pvValue must not be
 * null.  Returns GenerateMessageFile's result.
 * NOTES: a ".smil" file that cannot be loaded fails (0) rather than giving an empty message. */
int MakeSingleItemMessage(LPCSTR lpszFile, LPSTR lpszOutFolder, LPCSTR lpszOutName, LPVOID pvValue);

/* Writes the container's message file at lpszPath, with ".dat" added unless the path already
 * ends in it (any case).  0 without calling the library when a string, pvValue or hCont is
 * null or the path is empty or too long; otherwise mmsGenerateMessage's result. */
int GenerateMessageFile(LPCSTR lpszS1, LPCSTR lpszS2, LPCSTR lpszS3, LPCSTR lpszPath, LPVOID pvValue,
                        HMMSCONTAINER hCont, int nFlag);

/* Asks for a file name with the save dialog ("Smil Files(*.smil)", flags 0x802), adds ".smil"
 * unless present, saves the container there and then writes the SMIL presentation over it
 * (BuildSmilFromContainer).  0 for a null argument or a cancelled dialog. */
int SaveAsSmil(HWND hOwner, HMMSCONTAINER hCont);

/* SaveAsSmil's work after the dialog: places the container's media beside lpszPath (through
 * mmsContainerSave, whose SMIL text goes to a temporary file there and is deleted) and writes
 * the presentation at lpszPath (BuildSmilFromContainer), used as given.  1, or 0 with
 * GetLastError() saying why (also when a media file cannot be placed); on failure lpszPath is
 * as it was. */
int SaveContainerAsSmil(HMMSCONTAINER hCont, LPCSTR lpszPath);

/* The preview rectangle: the size (nWidth, nHeight) of section "size<index>" of
 * "<application folder>\contents\Size.ini" centred in the 280 x 260 frame at (6, 17).
 * 0 (rectangle untouched) when the file is missing or the size is not a usable one (zero,
 * negative or above 65535). */
int GetPreviewRect(RECT *pRect);

/* Writes the container as a SMIL presentation of one <par> per slide: timeline 0 holds each
 * slide's main object, timeline 1 at most one companion per slide, matched by media frame; the
 * one region "Image" comes from the first non-audio main object with a region.
 * RETURNS: 1; 0 for a null container, a path that is one of the container's media files
 * (FIO_ERROR_OUTPUT_IS_INPUT), or when the document cannot be made or written (GetLastError()
 * says why).  The file appears complete or not at all. */
int BuildSmilFromContainer(HMMSCONTAINER hCont, LPCSTR lpszPath);
