/* medley album insert | list | rebase: albums through the album library. */
#include <stdio.h>
#include <string.h>

#include <string>
#include <vector>

#include <windows.h>

#include "album.h"
#include "medley.h"

namespace {

std::string Reason(DWORD e)
{
    switch (e) {
    case ERROR_FILE_NOT_FOUND: return "no such file";
    case ERROR_PATH_NOT_FOUND: return "no such folder";
    case ERROR_ACCESS_DENIED: return "access denied";
    case ERROR_FILE_EXISTS:
    case ERROR_ALREADY_EXISTS: return "already exists";
    case ERROR_BAD_PATHNAME: return "the path has no album and object folder (ALBUM\\OBJECT\\FILE)";
    case ERROR_FILENAME_EXCED_RANGE: return "path too long";
    case ERROR_DISK_FULL: return "the disk is full";
    case ERROR_WRITE_FAULT: return "could not write";
    case ERROR_READ_FAULT: return "could not read";
    case 11 /* ERROR_BAD_FORMAT */: return "not an album file";
    case ERROR_NOT_SUPPORTED: return "an album file of a later version";
    case 1392 /* ERROR_FILE_CORRUPT */: return "the album file is damaged";
    case ERROR_DIRECTORY: return "a folder, not a file";
    default: return medley::Why(e);
    }
}

std::string FullPath(const std::string &p)
{
    char buf[MAX_PATH];
    DWORD n = GetFullPathNameA(p.c_str(), sizeof buf, buf, NULL);
    return n && n < sizeof buf ? std::string(buf) : p;
}

/* Two paths of one file, separators and letter case aside. */
bool SamePath(std::string a, std::string b)
{
    for (std::string *s : {&a, &b})
        for (char &c : *s)
            c = c == '/' ? '\\' : c;
    return !lstrcmpiA(a.c_str(), b.c_str());
}

void List(const std::string &file)
{
    int32_t h = CreateAlbumHandle(0);
    if (h < 0 || !ABM_OpenAlbum(h, file.c_str())) {
        DWORD e = GetLastError();
        if (h >= 0)
            ABM_Release(h);
        medley::Fail("cannot open " + file + ": " + Reason(e));
        return;
    }
    int32_t count = ABM_GetObjectCount(h);
    printf("%s: %d object(s)\n", medley::Printable(file).c_str(), (int)count);
    ABM_FIELDDEF table[ALBUM_FIELD_COUNT];
    GetAlbumFieldTable(table);
    for (int32_t i = 1; i <= count; ++i) {
        char path[MAX_PATH];
        ABM_GetImageName(h, i, path);
        // Names and fields come from the album file: escaped, never raw to the terminal.
        printf("%3d  %s%s\n", (int)i, medley::Printable(medley::HostPath(path)).c_str(),
               GetFileAttributesA(path) == INVALID_FILE_ATTRIBUTES ? "  (missing)" : "");
        for (const ABM_FIELDDEF &f : table) {
            char data[MAX_PATH];
            DWORD cb = sizeof data;
            if (f.dwKind == 0) {
                if (ABM_GetFieldData(h, i, f.szName, data, &cb))
                    printf("     %-16s \"%s\" (%u bytes)\n", f.szName,
                           medley::Printable(std::string(data, strnlen(data, cb))).c_str(), (unsigned)cb);
                continue;
            }
            cb = 0;  // the image: its size only
            if (!ABM_GetFieldData(h, i, f.szName, NULL, &cb) && GetLastError() == ERROR_MORE_DATA)
                printf("     %-16s %u bytes\n", f.szName, (unsigned)cb);
        }
    }
    ABM_Release(h);
}

void Setup(CLI::App &app)
{
    auto *album = app.add_subcommand("album", "Albums: insert message files, list, rebuild after a move");
    album->require_subcommand(1);

    auto *insert = album->add_subcommand("insert", "Insert files (ALBUM's folder\\OBJECT\\FILE) into an album, "
                                                   "creating it when missing");
    auto abm = std::make_shared<std::string>();
    auto files = std::make_shared<std::vector<std::string>>();
    auto type = std::make_shared<int>(1);
    auto text = std::make_shared<std::string>();
    auto values = std::make_shared<std::vector<int>>();
    insert->add_option("ALBUM", *abm, "The album file (.abm)")->required();
    insert->add_option("FILE", *files, "Files in object folders beside the album file")->required();
    insert->add_option("--type", *type, "Record type 1-5 (1: --text goes in user field 1)")->check(CLI::Range(1, 5));
    insert->add_option("--text", *text, "Type 1: user field 1; type 2: the path of the entry to replace");
    insert->add_option("--values", *values, "Four numbers a,b,c,d: user fields \"b/a\" and \"c/d\"")
        ->delimiter(',')
        ->expected(4);
    insert->callback([=] {
        if (text->size() >= MAX_PATH) {
            medley::Fail("--text is longer than 259 characters");
            return;
        }
        std::vector<CONTINFO> recs(files->size());
        std::string want = FullPath(*abm);
        for (size_t i = 0; i < files->size(); ++i) {
            CONTINFO &r = recs[i];
            memset(&r, 0, sizeof r);
            r.wType = (WORD)*type;
            std::string full = FullPath((*files)[i]);
            if (full.size() >= MAX_PATH) {
                medley::Fail((*files)[i] + ": path too long");
                return;
            }
            memcpy(r.szFile, full.c_str(), full.size() + 1);
            memcpy(r.szText, text->c_str(), text->size() + 1);
            if (values->size() == 4) {
                r.nValue1 = (*values)[0];
                r.nValue2 = (*values)[1];
                r.nValue3 = (*values)[2];
                r.nValue4 = (*values)[3];
            }
            char target[MAX_PATH];
            if (!GetAlbumFileOf(&r, target)) {
                medley::Fail((*files)[i] + ": " + Reason(GetLastError()));
                return;
            }
            if (!SamePath(target, want)) {
                medley::Fail((*files)[i] + " belongs to the album " + medley::HostPath(target) + ", not " + *abm);
                return;
            }
            if (GetFileAttributesA(r.szFile) == INVALID_FILE_ATTRIBUTES) {
                medley::Fail((*files)[i] + ": no such file");
                return;
            }
        }
        int stored = InsertIntoAlbums(0, recs.data(), (int32_t)recs.size());
        if (stored < (int)recs.size()) {
            medley::Fail("stored " + std::to_string(stored) + " of " + std::to_string(recs.size()) + " file(s); " +
                         (*files)[stored] + ": " + Reason(GetLastError()));
            return;
        }
        printf("stored %d file(s) in %s\n", stored, abm->c_str());
    });

    auto *list = album->add_subcommand("list", "The objects of an album and their fields");
    auto listFile = std::make_shared<std::string>();
    list->add_option("ALBUM", *listFile, "The album file (.abm)")->required();
    list->callback([=] { List(*listFile); });

    auto *rebase = album->add_subcommand("rebase", "Point every object into the album file's own folder again "
                                                   "(after the album was moved); objects not found there are dropped");
    auto rebaseFile = std::make_shared<std::string>();
    rebase->add_option("ALBUM", *rebaseFile, "The album file (.abm)")->required();
    rebase->callback([=] {
        *rebaseFile = FullPath(*rebaseFile);  // object paths are made from it
        int32_t h = CreateAlbumHandle(0);
        int32_t before = -1;
        if (h >= 0 && ABM_OpenAlbum(h, rebaseFile->c_str()))
            before = ABM_GetObjectCount(h);
        if (h < 0 || before < 0 || !RebaseAlbum(0, rebaseFile->c_str(), h)) {
            DWORD e = GetLastError();
            if (h >= 0)
                ABM_Release(h);
            medley::Fail("cannot rebuild " + *rebaseFile + ": " +
                         (e == ERROR_ALREADY_EXISTS ? "a leftover _tmp album beside it shows an earlier rebuild did "
                                                      "not end (look at it, then delete it)"
                                                    : Reason(e)) +
                         "; the album is as it was");
            return;
        }
        ABM_Release(h);
        h = CreateAlbumHandle(0);
        int32_t after = h >= 0 && ABM_OpenAlbum(h, rebaseFile->c_str()) ? ABM_GetObjectCount(h) : -1;
        if (h >= 0)
            ABM_Release(h);
        printf("rebuilt %s: %d of %d object(s) found in its folder\n", rebaseFile->c_str(), (int)after, (int)before);
    });
}

}  // namespace

MEDLEY_VERBS("76-album", Setup);
