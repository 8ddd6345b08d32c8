/*
 * A message made to fit a carrier's size limit.
 *
 * The plan keeps every text, presentation and sound as it is and measures what they and the
 * message's headers and names take (the fixed part); what is left of the budget goes to the
 * pictures, shared in proportion to their pixel area (each picture's area counted up to
 * FIT_AREA_CAP, so that a camera photo does not starve a small animation; an animation's
 * area is that of all its frames).  A picture that already fits its share is kept as it is;
 * the others are shrunk:
 *   - JPEG, BMP and PNG pictures are encoded as JPEG at falling quality (down to
 *     FIT_JPEG_FLOOR_QUALITY) and then at a smaller size.  A BMP or PNG is always carried as
 *     JPEG and labelled "image/jpeg", whatever its old label; its name (which the presentation
 *     refers to) stays;
 *   - GIF animations are resized (ResizeGif) and, below half their size, reduced to fewer
 *     colours (ReduceGifColours): every frame, delay, disposal and transparency is kept.
 * What one picture leaves of its share goes to the pictures after it.  A picture that cannot
 * be decoded is left out and reported; the rest goes on.  The written file is measured: it is
 * never larger than the budget, and it replaces the destination only when complete.
 */
#pragma once
#include <windows.h>

#include <string>
#include <vector>

#include "compose.h"

/* A picture's area counts for the sharing up to this many pixels (640 x 480). */
#define FIT_AREA_CAP (640 * 480)
/* JPEG quality falls from 85 to this before a picture is made smaller. */
#define FIT_JPEG_FLOOR_QUALITY 50
/* The smallest side a shrunk picture is given. */
#define FIT_MIN_SIDE 16

enum FitKind {
    FIT_OTHER = 0,     // kept as it is (a type this does not shrink)
    FIT_PRESENTATION,  // the SMIL presentation: kept
    FIT_TEXT,          // kept
    FIT_SOUND,         // never altered
    FIT_STILL,         // a JPEG, BMP or PNG picture
    FIT_ANIMATION,     // a GIF
};

struct FitPart {
    std::string name;        // the part's name in the message
    std::string typeBefore;  // its content type in the source
    std::string typeAfter;   // in the result ("" when left out)
    int kind = FIT_OTHER;
    long long before = 0;    // octets of data in the source
    long long after = 0;     // in the result (0 when left out)
    bool carried = true;
    std::string done;        // what was done, in words ("kept", "JPEG 640x480 at quality 70", ...)
    int width = 0, height = 0;        // pictures: size in the source
    int newWidth = 0, newHeight = 0;  // and in the result
    int quality = 0;                  // JPEG quality used (0: not encoded)
    int decodedWidth = 0, decodedHeight = 0;  // stills re-encoded: the picture decoded (a JPEG
                                              // at 1/2 to 1/8 when that is enough)
    int colours = 0;                  // GIF: colours per table after reduction (0: not reduced)
    int frames = 0;                   // GIF: frame count (kept)
};

struct FitResult {
    bool ok = false;
    std::string reason;       // why nothing was written
    DWORD error = 0;          // the system's code behind the reason, when there is one
    long long budget = 0;
    long long fixed = 0;      // octets that no shrinking changes (headers, names, kept parts)
    long long sourceSize = 0; // the message before fitting
    long long size = 0;       // the file written
    std::vector<FitPart> parts;        // in message order
    std::vector<ComposeFile> files;    // FitFolder: every file of the folder, as composed
};

/* Progress of a fit: steps done of the total, after each step (a picture, a write). */
typedef void (*FITPROGRESSPROC)(void *pContext, int nDone, int nTotal);

/* Writes lpszOut: the message file lpszIn with its pictures shrunk so that the whole file takes
 * at most dwBudget octets.  Scratch files go into the existing folder lpszWorkFolder and are
 * deleted before the return.
 * RETURNS: 1; or 0 with result->reason saying why and nothing written at lpszOut: a source that
 * does not open (result->error holds the code), an output that is the source, a budget below
 * the fixed part (the reason names its largest part: a sound larger than the budget is named
 * as such), a message over the budget with nothing that can be shrunk, a picture that cannot
 * be brought under its share (named), a write that failed.  result->parts is filled as far as
 * the message was read. */
int FitMessageFile(LPCSTR lpszIn, LPCSTR lpszWorkFolder, LPCSTR lpszOut, DWORD dwBudget, FitResult *result,
                   FITPROGRESSPROC pfnProgress, void *pContext);

/* The same for a folder: composed as ComposeFolder does (its presentation, or a slide per
 * picture) into the work folder, then fitted to lpszOut.  result->files says what became of
 * each file of the folder (a picture that cannot be decoded is left out and reported there or
 * among the parts). */
int FitFolder(LPCSTR lpszFolder, LPCSTR lpszWorkFolder, LPCSTR lpszOut, DWORD dwBudget, FitResult *result,
              FITPROGRESSPROC pfnProgress, void *pContext);
