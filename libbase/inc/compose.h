/*
 * A folder made into a presentation-led message, the way a person expects it.
 *
 * With a presentation (".smil") in the folder, that presentation is used as it stands, with
 * every medium it names, texts included.  Without one, the folder gets one slide per picture
 * (".jpg", ".jpeg", ".gif", ".bmp", ".png"), in name order, each with the text (".txt") and the
 * sound (".wav", ".mid", ".midi", ".amr", ".mp3") that share its base name; the texts and sounds
 * left over get slides of their own, texts first.  Such a presentation has an "Image" region
 * above a "Text" region on a 176 x 208 screen, and each slide lasts as long as its sound, or
 * COMPOSE_DEFAULT_SLIDE_MS.
 *
 * Texts travel as "text/plain" with the charset their octets have: us-ascii, or UTF-8.  A text
 * that is neither is read as Windows-1252 (this system's code page) and carried converted to
 * UTF-8; a text holding octets that code page leaves undefined, or control characters other than
 * tab, line feed, form feed and carriage return, is no text and is left out with that reason.
 *
 * Every file of the folder is accounted for in the result: carried (and how), or left out
 * (and why).  Nothing is written in the folder itself: converted texts go to the work folder,
 * the message to its own path (whole or not at all).
 */
#pragma once
#include <windows.h>

#include <string>
#include <vector>

#define COMPOSE_DEFAULT_SLIDE_MS 5000
#define COMPOSE_SCREEN_WIDTH 176
#define COMPOSE_SCREEN_HEIGHT 208
#define COMPOSE_IMAGE_HEIGHT 144
/* A message holds at most 127 parts; the presentation is one of them. */
#define COMPOSE_MAX_MEDIA 126
/* The longest text a message carries, in octets. */
#define COMPOSE_MAX_TEXT (300 * 1024)

enum ComposeKind {
    COMPOSE_OTHER = 0,  // not a picture, text, sound or presentation
    COMPOSE_PICTURE,
    COMPOSE_TEXT,
    COMPOSE_SOUND,
    COMPOSE_PRESENTATION,
};

struct ComposeFile {
    std::string name;       // the file's name in the folder
    int kind = COMPOSE_OTHER;
    bool carried = false;   // in the message
    std::string note;       // why it was left out; or, when carried, anything done to it
    std::string carriedPath;  // the file whose octets the message holds (the folder's, or a
                              // converted copy in the work folder)
    bool converted = false;   // carriedPath is a UTF-8 copy in the work folder
};

struct ComposeResult {
    bool ok = false;
    std::string reason;      // why the message was not written
    std::string presentation;  // the folder's presentation that was used, or "" when one was made
    int slides = 0, pictures = 0, texts = 0, sounds = 0;
    std::vector<ComposeFile> files;  // every file of the folder, in name order
};

/* What kind of medium lpszPath is and, for one that cannot be carried, why (*why non-empty):
 * damaged pictures, sounds without their header, empty files, texts that are no text or too
 * long.  *charset (may be null) gets "us-ascii", "utf-8" or "windows-1252" for a text. */
int ComposeClassify(LPCSTR lpszPath, std::string *why, std::string *charset);

/* Makes the presentation-led message of the folder lpszFolder at lpszOutPath (".dat" added
 * unless present), converted texts going into the existing folder lpszWorkFolder.  1, or 0
 * with result->reason saying why (a presentation that does not load, names a missing file or
 * one outside the folder, no medium at all, more media than a message holds, a write that
 * failed); result->files is filled either way as far as the folder was read. */
int ComposeFolder(LPCSTR lpszFolder, LPCSTR lpszWorkFolder, LPCSTR lpszOutPath, ComposeResult *result);

/* ComposeFolderEx flag: pictures are checked by their file signature only (JPEG, GIF, BMP, PNG),
 * not decoded; for a caller that decodes each picture itself afterwards. */
#define COMPOSE_QUICK_PICTURES 0x0001u
/* ComposeFolder with flags. */
int ComposeFolderEx(LPCSTR lpszFolder, LPCSTR lpszWorkFolder, LPCSTR lpszOutPath, ComposeResult *result,
                    DWORD dwFlags);
