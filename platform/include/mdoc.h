/*
 * mdoc: the message-document library.  The in-memory message container, SMIL documents, and
 * the message file.
 *
 * Container model
 *   A container holds numbered timelines (0, 1, ...); each timeline is an ordered list of media
 *   objects.  An object has a type (MDOC_TYPE_*), a source file, attributes (tagMEDIA_ATT), a
 *   media frame number (the slide it belongs to) and optionally a region index into the
 *   container's region list.  A container may also carry a root layout.
 *
 *   Loading a SMIL presentation maps its slides onto timelines: the k-th media element of the
 *   p-th <par> becomes an object of timeline k with media frame p, so every timeline stays in
 *   ascending frame order.  Saving writes the inverse: one <par> per frame number.
 *
 * SMIL documents
 *   A document is a root layout, a list of regions and a list of time containers (<par>) of
 *   media objects.  Strings handed to the SMIL side are copies made with AllocSMILStr; the call
 *   that receives them owns them from then on, whether it succeeds or not.
 *
 * Results: 1 / 0 for BOOL operations, indices (negative on failure), handles (null on failure).
 * Strings in records filled by the mms... getters point into the container and stay valid
 * until the object, region or container they belong to changes or goes.
 */
#pragma once
#include <windows.h>
#include <stdint.h>

#include "platform_api.h"

#ifdef MDOC_BUILD
#define MDOC_API extern "C" MD_DLL_EXPORT
#else
#define MDOC_API extern "C" MD_DLL_IMPORT
#endif

/* Object types. */
enum {
    MDOC_TYPE_IMAGE = 1,
    MDOC_TYPE_TEXT = 2,
    MDOC_TYPE_AUDIO = 3,
    MDOC_TYPE_VIDEO = 4,
    MDOC_TYPE_REF = 5,
};

/* Time-container kinds. */
enum { MDOC_TC_PAR = 1, MDOC_TC_SEQ = 2 };

typedef struct tagROOT_LAYOUT {
    WORD wWidth;
    WORD wHeight;
    LPSTR lpszBackground; /* background colour, e.g. "#FFFFFF"; may be null */
} ROOT_LAYOUT;

typedef struct tagREGION {
    LPSTR lpszId;
    WORD wLeft;
    WORD wTop;
    WORD wWidth;
    WORD wHeight;
    LPSTR lpszFit; /* "meet", "slice", "fill", "hidden", "scroll"; may be null */
    BYTE bZIndex;
} REGION;

/* Media object attributes: 13 fields, each in its own 32-bit (or pointer) slot. */
typedef struct tagMEDIA_ATT {
    LPSTR lpszRegion;      /*  0 region id in the SMIL document */
    LPSTR lpszSrc;         /*  1 source file name as the presentation names it */
    LPSTR lpszAlt;         /*  2 alternative text */
    DWORD dwDur;           /*  3 duration, milliseconds (0 = none) */
    DWORD dwEnd;           /*  4 end time, milliseconds (0 = none) */
    WORD wRepeat;          /*  5 repeat count (0 = once) */
    DWORD dwBegin;         /*  6 begin offset, milliseconds */
    DWORD dwColor;         /*  7 text colour, 0x00BBGGRR */
    BYTE bFill;            /*  8 1 = fill="freeze" */
    DWORD dwClipBegin;     /*  9 milliseconds */
    DWORD dwClipEnd;       /* 10 milliseconds */
    LPSTR lpszContentType; /* 11 may be null */
    LPSTR lpszContentId;   /* 12 may be null */
} MEDIA_ATT;

typedef struct tagTIMECONTAINER_ATT {
    DWORD dwDur;   /* milliseconds (0 = none) */
    DWORD dwBegin; /* milliseconds */
    WORD wRepeat;
    DWORD dwEnd;   /* milliseconds (0 = none) */
    DWORD dwMin;   /* reserved, kept */
    BYTE bFill;    /* 1 = fill="freeze" */
    DWORD dwFlags; /* reserved, kept */
} TIMECONTAINER_ATT;

typedef struct MDOC_CONTAINER *HMMSCONTAINER;
typedef struct MDOC_SMIL *HSMIL;
typedef struct MDOC_SMIL_TC *HSMILTC;

/* ---- containers ---------------------------------------------------------------------- */

/* A new empty container, or null.  Released with mmsContainerDestroy. */
MDOC_API HMMSCONTAINER WINAPI mmsContainerCreate(void);
/* Frees the container and everything in it.  Null is ignored. */
MDOC_API void WINAPI mmsContainerDestroy(HMMSCONTAINER hCont);

/* Codes of this library for GetLastError() (bit 29 set: never the system's own). */
#define MDOC_ERROR_TOO_MANY 0x20000201L     /* more slides, objects in a slide or regions than it holds */
#define MDOC_ERROR_SUBFOLDER 0x20000202L    /* a media file named with a folder cannot be placed beside it */
#define MDOC_ERROR_NAME_CLASH 0x20000203L   /* two different files under one name */
#define MDOC_ERROR_TOO_MANY_PARTS 0x20000204L /* a message would exceed 127 parts */
#define MDOC_ERROR_TOO_DEEP 0x20000205L     /* a presentation nests elements more than 32 deep */

/* Whether an XML text of cbText octets nests its elements at most 32 deep, the most a
 * presentation may: TRUE, or FALSE with GetLastError() MDOC_ERROR_TOO_DEEP.  The check runs in
 * one pass without recursion, so every reader of a presentation (this library's, and any
 * other that walks its elements) asks it before parsing: a parser descending into a hostile
 * text of thousands of levels would run out of stack.  Malformed text may be counted deeper
 * than a parser would go, never shallower. */
MDOC_API BOOL WINAPI mmsCheckSmilDepth(LPCSTR pText, DWORD cbText);

/* Replaces the container's content by the SMIL presentation at lpszPath, whose media files lie
 * beside it (or below it).  1, or 0 when the file cannot be read, is not well-formed SMIL, or
 * names media that are missing or outside its folder; on failure the container is empty and
 * GetLastError() says why: the file call's code, ERROR_INVALID_DATA (not well-formed SMIL),
 * MDOC_ERROR_TOO_DEEP (elements nested more than 32 deep), ERROR_FILE_TOO_LARGE, ERROR_INVALID_NAME (a source outside the folder), ERROR_FILE_NOT_FOUND
 * (missing media), ERROR_FILENAME_EXCED_RANGE or MDOC_ERROR_TOO_MANY.
 * NOTES: a media element without dur takes its <par>'s duration. */
MDOC_API BOOL WINAPI mmsContainerLoad(HMMSCONTAINER hCont, LPCSTR lpszPath);

/* Writes the container as a SMIL presentation at lpszPath and copies each media file that is
 * not already there beside it.  1 / 0, GetLastError() saying why (MDOC_ERROR_SUBFOLDER,
 * MDOC_ERROR_NAME_CLASH or a file call's code).  Each file written appears whole or not at all. */
MDOC_API BOOL WINAPI mmsContainerSave(HMMSCONTAINER hCont, LPCSTR lpszPath);

/* Writes the message file: a WSP multipart MIME file (0x84, content type, part count, entries)
 * at lpszPath.  With nFlag non-zero the message is "application/vnd.wap.multipart.related"
 * with the container's SMIL presentation as its start part ("<smil>", "mms.smil"), followed by
 * one part per distinct media file; with nFlag 0 it is "...multipart.mixed" of the media alone.
 * lpszSubject, lpszId and lpszTo are checked for null and otherwise not written: the file has
 * no envelope headers.  1, or 0 when a media file cannot be read, two different files share a
 * name (MDOC_ERROR_NAME_CLASH), the message would exceed 127 parts (MDOC_ERROR_TOO_MANY_PARTS)
 * or lpszPath is one of the media (FIO_ERROR_OUTPUT_IS_INPUT), GetLastError() saying why.
 * The file is written beside lpszPath and renamed into place: a failure leaves lpszPath as it
 * was. */
MDOC_API int WINAPI mmsGenerateMessage(HMMSCONTAINER hCont, LPCSTR lpszSubject, LPCSTR lpszId,
                                       LPCSTR lpszTo, LPCSTR lpszPath, int nFlag);

/* Timelines. */
MDOC_API int WINAPI mmsGetTimeLineCount(HMMSCONTAINER hCont);
/* Inserts an empty timeline at nPos (-1 = append); its index, or -1. */
MDOC_API int WINAPI mmsInsertTimeLine(HMMSCONTAINER hCont, int nPos);
MDOC_API BOOL WINAPI mmsDestroyTimeLine(HMMSCONTAINER hCont, int nTimeLine);

/* Objects.  Counts are 0 for a missing timeline. */
MDOC_API int WINAPI mmsGetObjectCountByTimeLine(HMMSCONTAINER hCont, int nTimeLine);
/* Inserts an object at nPos (-1 = append) of timeline nTimeLine; its index, or -1.
 * hData (an image's DIB block) stays the caller's and is not kept.  lpszFile must name an
 * existing file.  pAtt (may be null) is copied; a null lpszSrc in it becomes the file's name.
 * NOTES: the new object's media frame is its index at insertion; mmsSetMediaFrame changes it. */
MDOC_API int WINAPI mmsInsertObject(HMMSCONTAINER hCont, int nTimeLine, int nType, HGLOBAL hData,
                                    LPCSTR lpszFile, const MEDIA_ATT *pAtt, int nPos);
MDOC_API BOOL WINAPI mmsDestroyObject(HMMSCONTAINER hCont, int nTimeLine, int nIndex);
/* The object's type, or 0. */
MDOC_API int WINAPI mmsGetObjectType(HMMSCONTAINER hCont, int nTimeLine, int nIndex);
/* Fills *pAtt with the object's attributes (strings point into the container).  1 / 0. */
MDOC_API BOOL WINAPI mmsGetObjectInfo(HMMSCONTAINER hCont, int nTimeLine, int nIndex, MEDIA_ATT *pAtt);
/* Replaces the object's attributes by a copy of *pAtt.  1 / 0. */
MDOC_API BOOL WINAPI mmsSetObjectInfo(HMMSCONTAINER hCont, int nTimeLine, int nIndex, const MEDIA_ATT *pAtt);
/* Copies the object's source path (up to nSize - 1 characters) into lpszPath; its length, or 0. */
MDOC_API int WINAPI mmsGetObjectFile(HMMSCONTAINER hCont, int nTimeLine, int nIndex, LPSTR lpszPath, int nSize);
/* The object's media frame number, or -1. */
MDOC_API int WINAPI mmsGetMediaFrame(HMMSCONTAINER hCont, int nTimeLine, int nIndex);
MDOC_API BOOL WINAPI mmsSetMediaFrame(HMMSCONTAINER hCont, int nTimeLine, int nIndex, int nFrame);
/* The object's region index, or -1 for none. */
MDOC_API int WINAPI mmsGetObjectRegion(HMMSCONTAINER hCont, int nTimeLine, int nIndex);
/* Sets the object's region index (-1 = none; else an existing region).  1 / 0. */
MDOC_API BOOL WINAPI mmsSetObjectRegion(HMMSCONTAINER hCont, int nTimeLine, int nIndex, int nRegion);

/* Regions and root layout. */
MDOC_API int WINAPI mmsGetRegionCount(HMMSCONTAINER hCont);
/* Appends a copy of *pRegion; its index, or -1. */
MDOC_API int WINAPI mmsAddRegion(HMMSCONTAINER hCont, const REGION *pRegion);
MDOC_API BOOL WINAPI mmsGetRegion(HMMSCONTAINER hCont, int nRegion, REGION *pRegion);
/* Non-zero when the container has a root layout, which is then copied to *pLayout. */
MDOC_API BOOL WINAPI mmsGetRootLayout(HMMSCONTAINER hCont, ROOT_LAYOUT *pLayout);
/* Sets (a copy of) the root layout; null removes it.  1 / 0. */
MDOC_API BOOL WINAPI mmsSetRootLayout(HMMSCONTAINER hCont, const ROOT_LAYOUT *pLayout);

/* ---- SMIL documents ------------------------------------------------------------------ */

/* A copy of lpsz owned by whichever SMIL call receives it; null for null or no memory. */
MDOC_API LPSTR WINAPI AllocSMILStr(LPCSTR lpsz);
/* Frees a string from AllocSMILStr that was never handed to the SMIL side. */
MDOC_API void WINAPI FreeSMILStr(LPSTR lpsz);

MDOC_API HSMIL WINAPI SMIL_Create(void);
/* Frees the document with its regions, time containers and strings.  Null is ignored. */
MDOC_API void WINAPI SMIL_Destory(HSMIL hSmil);
/* Sets the root layout; takes its string. */
MDOC_API BOOL WINAPI SMIL_SetRootLayout(HSMIL hSmil, const ROOT_LAYOUT *pLayout);
/* Inserts a region at nPos (-1 = append); takes its strings.  1 / 0. */
MDOC_API BOOL WINAPI SMIL_SetRegion(HSMIL hSmil, const REGION *pRegion, int nPos);
/* A new time container of nKind (MDOC_TC_PAR, MDOC_TC_SEQ), or null. */
MDOC_API HSMILTC WINAPI SMIL_CreateTimeContainer(int nKind);
/* Frees a time container that was never inserted into a document. */
MDOC_API void WINAPI SMIL_DestroyTimeContainer(HSMILTC hTc);
/* Inserts hTc at nPos (-1 = append); the document owns it from then on (on failure it is
 * freed).  1 / 0. */
MDOC_API BOOL WINAPI SMIL_InsertTimeContainer(HSMIL hSmil, HSMILTC hTc, int nPos);
/* Inserts a media object of nType at nPos (-1 = append); takes the record's strings.  1 / 0. */
MDOC_API BOOL WINAPI SMIL_TC_InsertMediaObject(HSMILTC hTc, int nType, const MEDIA_ATT *pAtt, int nPos);
MDOC_API BOOL WINAPI SMIL_GetTimeContainerAtt(HSMILTC hTc, TIMECONTAINER_ATT *pAtt);
MDOC_API BOOL WINAPI SMIL_SetTimeContainerAtt(HSMILTC hTc, const TIMECONTAINER_ATT *pAtt);
/* Writes the document as SMIL text:
 *   <smil><head><layout><root-layout .../><region id=... .../></layout></head>
 *   <body><par dur="...ms"><img src=... region=.../>...</par>...</body></smil>
 * well-formed XML (attribute values escaped; an encoding declaration when a byte is not ASCII).
 * 1 / 0. */
MDOC_API BOOL WINAPI SMIL_SaveToFile(HSMIL hSmil, LPCSTR lpszPath);
/* The same text in memory: its length, copied into lpBuf when nSize is large enough (with a
 * terminating zero); -1 for a null document. */
MDOC_API int WINAPI SMIL_SaveToBuffer(HSMIL hSmil, LPSTR lpBuf, int nSize);
