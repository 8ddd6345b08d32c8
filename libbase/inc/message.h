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

/* The content type that MakeMimeFromFolder gives a file of extension lpszExt (with its dot,
 * any case), or null when the extension has no row.
 * NOTES: ".bmp" is labelled "image/jpeg"; ".jpeg" has no row. */
const char *MimeTypeOfExtension(LPCSTR lpszExt);

/* Appends "\" to the non-empty lpszPath unless it already ends in one.  The buffer must have
 * room for one more character. */
void AppendBackslash(LPSTR lpszPath);

/* Writes lpszOutFolder + lpszOutName: a mixed MIME file of every entry of the folder
 * lpszFilePath whose extension has a row in the media-type table, in the order the system
 * lists them.  lpszFilePath gets a trailing "\" in place (its buffer may grow by one).
 * NOTES: entries are not filtered by their attributes, so a sub-folder named like a media file
 * becomes a part, and the write then fails. */
int MakeMimeFromFolder(LPSTR lpszFilePath, LPCSTR lpszOutFolder, LPCSTR lpszOutName);

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

/* The preview rectangle: the size (nWidth, nHeight) of section "size<index>" of
 * "<application folder>\contents\Size.ini" centred in the 280 x 260 frame at (6, 17).
 * 0 (rectangle untouched) when the file is missing or the size is not a usable one (zero,
 * negative or above 65535). */
int GetPreviewRect(RECT *pRect);

/* Writes the container as a SMIL presentation of one <par> per slide: timeline 0 holds each
 * slide's main object, timeline 1 at most one companion per slide, matched by media frame; the
 * one region "Image" comes from the first non-audio main object with a region.
 * RETURNS: 1; 0 for a null container or when the document cannot be made or written. */
int BuildSmilFromContainer(HMMSCONTAINER hCont, LPCSTR lpszPath);
