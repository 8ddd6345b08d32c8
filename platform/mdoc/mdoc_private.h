/*
 * Private structures of the message-document library.
 *
 * Invariants
 *   - A container's timelines are vectors of objects; an object's region index is -1 or a
 *     valid index into the container's region list (destroying regions is not offered, so an
 *     index never dangles).
 *   - Strings inside a SMIL document (root layout, regions, media records) were allocated by
 *     AllocSMILStr (malloc) and are freed with the document.
 */
#pragma once
#include <stdio.h>

#include <string>
#include <vector>

#include "mdoc.h"

namespace mdoc {

struct Object {
    int type = 0;
    std::string path;  // source file as given (a Windows or host path)
    std::string src;   // the name the presentation uses
    std::string alt, contentType, contentId, extra1, extra2;
    MEDIA_ATT num{};   // numeric fields only; its string slots stay null
    int frame = 0;
    int region = -1;
};

struct Region {
    std::string id, fit;
    WORD left = 0, top = 0, width = 0, height = 0;
    BYTE z = 0;
};

}  // namespace mdoc

struct MDOC_CONTAINER {
    std::vector<std::vector<mdoc::Object>> timelines;
    std::vector<mdoc::Region> regions;
    bool hasRoot = false;
    WORD rootWidth = 0, rootHeight = 0;
    std::string rootBackground;
};

struct MDOC_SMIL_MEDIA {
    int type;
    MEDIA_ATT att;
};

struct MDOC_SMIL_TC {
    int kind = MDOC_TC_PAR;
    TIMECONTAINER_ATT att{};
    std::vector<MDOC_SMIL_MEDIA> media;
};

struct MDOC_SMIL {
    ROOT_LAYOUT root{};
    std::vector<REGION> regions;
    std::vector<MDOC_SMIL_TC *> tcs;
};

namespace mdoc {

/* Files: Windows paths are accepted on every host ("\" separates). */
bool FileExists(const std::string &path);
bool ReadWholeFile(const std::string &path, std::string &out, size_t maxBytes);
bool WriteWholeFile(const std::string &path, const std::string &data);
/* Folder part of a path, with its trailing separator ("" when there is none). */
std::string FolderOf(const std::string &path);
/* Name part of a path. */
std::string NameOf(const std::string &path);
/* Same file, as far as the names tell (separators and, on Windows, case ignored). */
bool SamePath(const std::string &a, const std::string &b);

/* Text encodings.  The container holds ANSI strings (the system's code page); a SMIL file is
 * read in the encoding it declares (UTF-8 when it declares none) and written in the ANSI code
 * page it is made of, declared as such (UTF-8 where that page has no XML name). */
/* The document's text turned into ANSI: false (text unchanged) for an encoding that cannot be
 * read.  UTF-8 that is not well-formed is taken as ANSI octets already. */
bool SmilTextToAnsi(std::string &text);
/* The XML declaration naming the encoding of ANSI text (empty for pure ASCII); text is turned
 * into that encoding. */
std::string SmilDeclarationFor(std::string &text);

/* The text of a SMIL document. */
std::string SmilText(const MDOC_SMIL *doc);
/* A SMIL document of the container's slides: one <par> per media frame number.  Null for no
 * memory.  The caller destroys it. */
MDOC_SMIL *SmilFromContainer(const MDOC_CONTAINER *c);

void FreeMediaStrings(MEDIA_ATT *att);
void FreeRegionStrings(REGION *r);

}  // namespace mdoc
