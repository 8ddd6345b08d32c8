/*
 * The multipart message object (see mime.h): a singly linked part list in insertion or file
 * order, with the start part, when there is one, somewhere in it.  Composing parts own
 * contentType, contentId, fileName and folder; reading parts own contentType, contentId and
 * name, and locate their data in the open stream.  Encoding and decoding are the WSP codec's.
 */
#include <ctype.h>
#include <stdlib.h>
#include <string.h>

#include <list>
#include <new>
#include <string>
#include <vector>

#include "fileio.h"
#include "mime.h"
#include "wsp.h"

static char *dup_string(const char *s)
{
    size_t n = strlen(s) + 1;
    char *d = (char *)malloc(n);
    if (d)
        memcpy(d, s, n);
    return d;
}

static void free_part(MIME_PART *p, bool composing)
{
    free(p->contentType);
    free(p->contentId);
    free(p->name);
    if (composing) {
        free(p->fileName);
        free(p->folder);
    }
    free(p);
}

MIME_MESSAGE *MimeCreate(void)
{
    return (MIME_MESSAGE *)calloc(1, sizeof(MIME_MESSAGE));
}

/* The internal form: the new node, or null. */
static MIME_PART *add_part(MIME_MESSAGE *pMsg, const MIME_PART_INFO *pInfo)
{
    if (!pMsg || !pInfo || pMsg->mode != MIME_MODE_COMPOSING || !pInfo->contentType || !pInfo->fileName ||
        !pInfo->folder)
        return NULL;
    MIME_PART *p = (MIME_PART *)calloc(1, sizeof(MIME_PART));
    if (!p)
        return NULL;
    p->contentType = dup_string(pInfo->contentType);
    p->fileName = dup_string(pInfo->fileName);
    p->folder = dup_string(pInfo->folder);
    if (pInfo->contentId)
        p->contentId = dup_string(pInfo->contentId);
    if (!p->contentType || !p->fileName || !p->folder || (pInfo->contentId && !p->contentId)) {
        free_part(p, true);
        return NULL;
    }
    MIME_PART **tail = &pMsg->firstPart;
    while (*tail)
        tail = &(*tail)->next;
    *tail = p;
    ++pMsg->partCount;
    return p;
}

int MimeAddPart(MIME_MESSAGE *pMsg, const MIME_PART_INFO *pInfo)
{
    return add_part(pMsg, pInfo) ? 1 : 0;
}

int MimeAddSmilPart(MIME_MESSAGE *pMsg, const char *lpszFolder, const char *lpszFileName)
{
    if (!pMsg || !lpszFolder || !lpszFileName)
        return 0;
    MIME_PART_INFO info = {MIME_TYPE_SMIL, lpszFolder, lpszFileName, MIME_SMIL_ID};
    MIME_PART *p = add_part(pMsg, &info);
    if (!p)
        return 0;
    pMsg->startPart = p;
    return 1;
}

int MimeWriteFile(MIME_MESSAGE *pMsg, const char *lpszFolder, const char *lpszFileName)
{
    if (!pMsg || !lpszFolder || !lpszFileName || pMsg->mode != MIME_MODE_COMPOSING) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    /* Refused before anything is written: the count octet cannot carry more. */
    if (pMsg->partCount > MIME_MAX_PARTS) {
        SetLastError(MIME_ERROR_TOO_MANY_PARTS);
        return 0;
    }
    /* The message must never take the place of one of its own parts. */
    std::string dest = std::string(lpszFolder) + lpszFileName;
    for (const MIME_PART *p = pMsg->firstPart; p; p = p->next) {
        int same = FioSameFile((std::string(p->folder) + p->fileName).c_str(), dest.c_str());
        if (same != 0) {
            if (same > 0)
                SetLastError(FIO_ERROR_OUTPUT_IS_INPUT);
            return 0;
        }
    }
    if (!pMsg->contentType && !(pMsg->contentType = (char *)malloc(128))) {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return 0;
    }
    strcpy(pMsg->contentType, pMsg->startPart ? MIME_TYPE_RELATED : MIME_TYPE_MIXED);
    /* Written beside the destination and put in place only when complete: a failure leaves
     * what was there before. */
    WSP_FILE *fp = WspFileCreateAtomic(lpszFolder, lpszFileName);
    if (!fp)
        return 0;
    if (!WspWriteMessage(pMsg, fp)) {
        DWORD e = GetLastError();
        WspFileClose(fp);
        SetLastError(e ? e : ERROR_GEN_FAILURE);
        return 0;
    }
    return WspFileCommit(fp);
}

MIME_MESSAGE *MimeOpenFile(const char *lpszFolder, const char *lpszFileName)
{
    if (!lpszFolder || !lpszFileName)
        return NULL;
    WSP_FILE *fp = WspFileOpen(lpszFolder, lpszFileName, WSP_RB);
    if (!fp)
        return NULL;
    return WspReadMessage(fp);
}

static bool is_related(const MIME_MESSAGE *pMsg)
{
    return pMsg->contentType && strcmp(pMsg->contentType, MIME_TYPE_RELATED) == 0;
}

int MimeOtherPartCount(const MIME_MESSAGE *pMsg)
{
    if (!pMsg)
        return 0;
    /* Only a start part that was found is set apart: a related message whose Start names no
     * part and that holds no SMIL part has every part among the others. */
    return is_related(pMsg) && pMsg->startPart ? pMsg->partCount - 1 : pMsg->partCount;
}

/*
 * Extraction state: the file names given to parts, per folder, for as long as the message
 * lives.  Names are kept in a list so that the pointers handed out in MIME_PART_INFO stay
 * valid.
 */
struct MIME_EXTRACT_STATE {
    struct Given {
        std::string folder;
        const MIME_PART *part;
        std::string name;
        bool written; /* by this message: replaced when the part is extracted again */
    };
    std::list<Given> given;
};

namespace {

enum { kMaxFileName = 127, kCopyBlock = 65536 };

/* Windows compares file names in any case; its case mapping of the ANSI code page 1252 covers
 * the Latin letters above 0x7F as well. */
unsigned char fold(unsigned char c)
{
    if (c >= 'a' && c <= 'z')
        return (unsigned char)(c - 32);
    if (c >= 0xE0 && c <= 0xFE && c != 0xF7)
        return (unsigned char)(c - 32);
    if (c == 0x9A || c == 0x9C || c == 0x9E)
        return (unsigned char)(c - 16);
    if (c == 0xFF)
        return 0x9F;
    return c;
}

bool same_name(const std::string &a, const std::string &b)
{
    if (a.size() != b.size())
        return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (fold((unsigned char)a[i]) != fold((unsigned char)b[i]))
            return false;
    return true;
}

/* CON, PRN, AUX, NUL, COM0-9, LPT0-9 (and the superscript digits 1-3 that Windows also takes),
 * CONIN$, CONOUT$, CLOCK$: with any extension, and with spaces before it, such a name opens a
 * device rather than a file. */
bool is_device_name(const std::string &name)
{
    std::string base = name.substr(0, name.find('.'));
    while (!base.empty() && base.back() == ' ')
        base.pop_back();
    std::string up;
    for (char c : base)
        up += (char)fold((unsigned char)c);
    static const char *const kDevices[] = {"CON", "PRN", "AUX", "NUL", "CONIN$", "CONOUT$", "CLOCK$"};
    for (const char *d : kDevices)
        if (up == d)
            return true;
    if (up.size() == 4 && (up.compare(0, 3, "COM") == 0 || up.compare(0, 3, "LPT") == 0)) {
        unsigned char n = (unsigned char)up[3];
        return (n >= '0' && n <= '9') || n == 0xB9 || n == 0xB2 || n == 0xB3;
    }
    return false;
}

/* A name points outside the folder when it starts with a separator, names a drive, or has a
 * step made only of dots (and spaces, which Windows drops) that goes up. */
bool escapes_folder(const std::string &name)
{
    if (name.empty())
        return false;
    if (name[0] == '/' || name[0] == '\\')
        return true;
    if (name.size() >= 2 && name[1] == ':' && isalpha((unsigned char)name[0]))
        return true;
    size_t start = 0;
    for (;;) {
        size_t end = name.find_first_of("/\\", start);
        std::string step = name.substr(start, end == std::string::npos ? std::string::npos : end - start);
        size_t dots = 0;
        bool onlyDots = !step.empty();
        for (char c : step) {
            if (c == '.')
                ++dots;
            else if (c != ' ')
                onlyDots = false;
        }
        if (onlyDots && dots >= 2)
            return true;
        if (end == std::string::npos)
            return false;
        start = end + 1;
    }
}

/* The extension a part without a name gets, by its bare type. */
const char *extension_of(const char *type)
{
    static const struct {
        const char *type, *ext;
    } kExt[] = {
        {"image/jpeg", ".jpg"},  {"image/gif", ".gif"},        {"image/png", ".png"},
        {"image/bmp", ".bmp"},   {"image/vnd.wap.wbmp", ".wbmp"}, {"text/plain", ".txt"},
        {"text/html", ".html"},  {"text/x-vCard", ".vcf"},     {"text/x-vCalendar", ".vcs"},
        {"application/smil", ".smil"}, {"audio/amr", ".amr"},  {"audio/x-wav", ".wav"},
        {"audio/wav", ".wav"},   {"audio/midi", ".mid"},       {"audio/mid", ".mid"},
        {"x-music/x-midi", ".mid"}, {"audio/mpeg", ".mp3"},    {"video/3gpp", ".3gp"},
        {"video/mp4", ".mp4"},   {"application/xml", ".xml"},  {"text/xml", ".xml"},
    };
    std::string bare = type ? std::string(type).substr(0, strcspn(type, ";")) : std::string();
    for (const auto &e : kExt)
        if (same_name(bare, e.type))
            return e.ext;
    return ".bin";
}

/* base + " (k)" + extension, the extension being the text from the last dot (a leading dot
 * starts no extension). */
std::string numbered(const std::string &name, unsigned k)
{
    size_t dot = name.rfind('.');
    if (dot == 0 || dot == std::string::npos)
        dot = name.size();
    return name.substr(0, dot) + " (" + std::to_string(k) + ")" + name.substr(dot);
}

/* Cuts a name to kMaxFileName octets (less `room` for a number), keeping a short extension. */
std::string cut(const std::string &name, size_t room)
{
    size_t max = kMaxFileName - room;
    if (name.size() <= max)
        return name;
    size_t dot = name.rfind('.');
    std::string ext = (dot != std::string::npos && dot > 0 && name.size() - dot <= 16) ? name.substr(dot) : "";
    return name.substr(0, max - ext.size()) + ext;
}

/* The file name a name from the message becomes (see mime.h); empty when none is left. */
std::string plain_file_name(const std::string &name)
{
    std::string out;
    for (char ch : name) {
        unsigned char c = (unsigned char)ch;
        out += (c < 0x20 || strchr("<>:\"/\\|?*", c)) ? '_' : ch;
    }
    while (!out.empty() && (out.back() == '.' || out.back() == ' '))
        out.pop_back();
    return out;
}

std::string message_path(const MIME_MESSAGE *pMsg)
{
    return std::string(WspFileFolder(pMsg->stream)) + WspFileName(pMsg->stream);
}

MIME_EXTRACT_STATE *state_of(MIME_MESSAGE *pMsg)
{
    if (!pMsg->extracted)
        pMsg->extracted = new (std::nothrow) MIME_EXTRACT_STATE();
    return pMsg->extracted;
}

/* True when `name` in `folder` is another part's, reserved, or the message file. */
bool name_taken(MIME_MESSAGE *pMsg, const MIME_EXTRACT_STATE *st, const std::string &folder, const MIME_PART *p,
                const std::string &name)
{
    for (const auto &g : st->given)
        if (g.part != p && same_name(g.folder, folder) && same_name(g.name, name))
            return true;
    if (pMsg->startPart && p != pMsg->startPart && same_name(name, MIME_SMIL_FILE))
        return true;
    return FioSameFile((folder + name).c_str(), message_path(pMsg).c_str()) == 1;
}

/* Copies a part's data to path; the file appears only when complete, and replaces what is
 * there only when `replace`.  1, or 0 with GetLastError() set. */
int copy_out(MIME_MESSAGE *pMsg, const MIME_PART *p, const std::string &path, bool replace)
{
    FIO_FILE *out = FioCreateAtomic(path.c_str());
    if (!out)
        return 0;
    DWORD why = NO_ERROR;
    std::vector<char> block;
    try {
        block.resize(kCopyBlock);
    } catch (...) {
        why = ERROR_NOT_ENOUGH_MEMORY;
    }
    if (why == NO_ERROR && WspFileSeek(pMsg->stream, WSP_SEEK_SET, p->dataOffset) != 0)
        why = WspFileError(pMsg->stream) ? GetLastError() : ERROR_HANDLE_EOF;
    for (int32_t left = p->dataLength; why == NO_ERROR && left > 0;) {
        int32_t n = left < kCopyBlock ? left : kCopyBlock;
        int32_t got = WspFileRead(pMsg->stream, block.data(), n);
        if (got != n) {
            why = WspFileError(pMsg->stream) ? GetLastError() : ERROR_HANDLE_EOF;
        } else if (FioWrite(out, block.data(), (size_t)n) != (size_t)n) {
            why = FioLastError(out);
        }
        left -= n;
    }
    if (why != NO_ERROR) {
        FioClose(out);
        SetLastError(why ? why : ERROR_WRITE_FAULT);
        return 0;
    }
    return replace ? FioCommit(out) : FioCommitNew(out);
}

bool is_folder(const std::string &path)
{
    DWORD a = GetFileAttributesA(path.c_str());
    return a != INVALID_FILE_ATTRIBUTES && (a & FILE_ATTRIBUTE_DIRECTORY);
}

/* Writes part p into folder under `wanted` (already a plain file name) or the first free
 * numbered form of it; sets *given to the name used (or considered) and returns the
 * outcome, GetLastError() set unless written. */
int extract_as(MIME_MESSAGE *pMsg, const MIME_PART *p, const std::string &folder, const std::string &wanted,
               uint32_t dwFlags, const std::string **given)
{
    static const std::string kNone;
    *given = &kNone;
    MIME_EXTRACT_STATE *st = state_of(pMsg);
    if (!st) {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return MIME_EXTRACT_FAILED;
    }
    MIME_EXTRACT_STATE::Given *g = NULL;
    for (auto &e : st->given)
        if (e.part == p && same_name(e.folder, folder))
            g = &e;
    if (!g) {
        try {
            std::string name = wanted;
            for (unsigned k = 1; is_device_name(name) || name_taken(pMsg, st, folder, p, name) ||
                                 is_folder(folder + name);
                 ++k)
                name = numbered(cut(wanted, 6 + std::to_string(k).size()), k);
            st->given.push_back({folder, p, name, false});
        } catch (...) {
            SetLastError(ERROR_NOT_ENOUGH_MEMORY);
            return MIME_EXTRACT_FAILED;
        }
        g = &st->given.back();
    }
    *given = &g->name;
    if (pMsg->progressProc && p != pMsg->startPart)
        pMsg->progressProc(g->name.c_str(), pMsg->progressUser);
    std::string path = folder + g->name;
    if (path.size() >= MAX_PATH) {
        SetLastError(ERROR_FILENAME_EXCED_RANGE);
        return MIME_EXTRACT_FAILED;
    }
    /* A file that was there before is the user's, kept unless replacing was asked for; a file
     * this message wrote for the same part is replaced. */
    bool replace = g->written || (dwFlags & MIME_EXTRACT_REPLACE);
    if (!replace && GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES) {
        SetLastError(ERROR_FILE_EXISTS);
        return MIME_EXTRACT_KEPT;
    }
    if (copy_out(pMsg, p, path, replace)) {
        g->written = true;
        return MIME_EXTRACT_WRITTEN;
    }
    if (GetLastError() == ERROR_ALREADY_EXISTS) {
        SetLastError(ERROR_FILE_EXISTS);
        return MIME_EXTRACT_KEPT;
    }
    return MIME_EXTRACT_FAILED;
}

/* The index (from 1) of a part in the file. */
int position_of(const MIME_MESSAGE *pMsg, const MIME_PART *p)
{
    int i = 1;
    for (const MIME_PART *q = pMsg->firstPart; q && q != p; q = q->next)
        ++i;
    return i;
}

int outcome_result(int outcome, int *pnOutcome)
{
    if (pnOutcome)
        *pnOutcome = outcome;
    if (outcome == MIME_EXTRACT_WRITTEN) {
        SetLastError(NO_ERROR);
        return 1;
    }
    return 0;
}

}  // namespace

int MimeExtractStartEx(MIME_MESSAGE *pMsg, const char *lpszFolder, const char *lpszFileName, uint32_t dwFlags,
                       int *pnOutcome)
{
    if (pnOutcome)
        *pnOutcome = MIME_EXTRACT_FAILED;
    if (!pMsg || !lpszFolder || !lpszFileName || !*lpszFileName || pMsg->mode != MIME_MODE_READING ||
        !pMsg->stream || !pMsg->startPart) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    const std::string *given;
    return outcome_result(extract_as(pMsg, pMsg->startPart, lpszFolder, lpszFileName, dwFlags, &given), pnOutcome);
}

int MimeExtractStart(MIME_MESSAGE *pMsg, const char *lpszFolder, const char *lpszFileName)
{
    return MimeExtractStartEx(pMsg, lpszFolder, lpszFileName, 0, NULL);
}

/* The non-start part of index nIndex, or null. */
static MIME_PART *other_part(MIME_MESSAGE *pMsg, int nIndex)
{
    MIME_PART *p = pMsg->firstPart;
    for (int i = 0; p; p = p->next) {
        if (p == pMsg->startPart)
            continue;
        if (i++ == nIndex)
            break;
    }
    return p;
}

/* Extracts one non-start part; *shown is the name to report. */
static int extract_part(MIME_MESSAGE *pMsg, MIME_PART *p, MIME_PART_INFO *pInfo, uint32_t dwFlags,
                        const char **shown)
{
    *shown = NULL;
    pInfo->contentId = p->contentId;
    pInfo->contentType = p->contentType;
    pInfo->fileName = NULL;
    /* Without a name, the content id less its first and last characters names the part. */
    if (!p->name) {
        size_t n = p->contentId ? strlen(p->contentId) : 0;
        if (n > 2) {
            char *name = (char *)malloc(n - 1);
            if (!name) {
                SetLastError(ERROR_NOT_ENOUGH_MEMORY);
                return MIME_EXTRACT_FAILED;
            }
            memcpy(name, p->contentId + 1, n - 2);
            name[n - 2] = 0;
            p->name = name;
        }
    }
    if (p->name && escapes_folder(p->name)) {
        *shown = p->name;
        pInfo->fileName = p->name;
        SetLastError(ERROR_INVALID_NAME);
        return MIME_EXTRACT_REFUSED;
    }
    int outcome;
    const std::string *given = NULL;
    try {
        std::string wanted = p->name ? cut(plain_file_name(p->name), 0) : std::string();
        if (wanted.empty())
            wanted = "part" + std::to_string(position_of(pMsg, p)) + extension_of(p->contentType);
        outcome = extract_as(pMsg, p, pInfo->folder, wanted, dwFlags, &given);
    } catch (...) {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return MIME_EXTRACT_FAILED;
    }
    if (!given->empty()) {
        pInfo->fileName = given->c_str();
        *shown = given->c_str();
    }
    return outcome;
}

int MimeExtractPartEx(MIME_MESSAGE *pMsg, int nIndex, MIME_PART_INFO *pInfo, uint32_t dwFlags, int *pnOutcome)
{
    if (pnOutcome)
        *pnOutcome = MIME_EXTRACT_FAILED;
    if (!pMsg || !pInfo || nIndex < 0 || nIndex >= MimeOtherPartCount(pMsg) || pMsg->mode != MIME_MODE_READING ||
        !pMsg->stream || !pInfo->folder) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    MIME_PART *p = other_part(pMsg, nIndex);
    if (!p || !p->contentType) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    const char *shown;
    DWORD keep = 0;
    int outcome = extract_part(pMsg, p, pInfo, dwFlags, &shown);
    keep = GetLastError();
    int ok = outcome_result(outcome, pnOutcome);
    if (!ok)
        SetLastError(keep);
    return ok;
}

int MimeExtractPart(MIME_MESSAGE *pMsg, int nIndex, MIME_PART_INFO *pInfo)
{
    return MimeExtractPartEx(pMsg, nIndex, pInfo, 0, NULL);
}

int MimeExtractAllEx(MIME_MESSAGE *pMsg, const char *lpszFolder, uint32_t dwFlags, MIME_EXTRACT_REPORT pfnReport,
                     void *pUser)
{
    if (!pMsg || !lpszFolder || pMsg->mode != MIME_MODE_READING || !pMsg->stream || pMsg->partCount == 0) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    DWORD first = NO_ERROR;
    auto note = [&](const MIME_PART *p, int outcome, const char *name) {
        DWORD e = outcome == MIME_EXTRACT_WRITTEN ? NO_ERROR : GetLastError();
        if (e == NO_ERROR && outcome != MIME_EXTRACT_WRITTEN)
            e = ERROR_GEN_FAILURE;
        if (first == NO_ERROR)
            first = e;
        if (pfnReport)
            pfnReport(p, outcome, name ? name : "", (uint32_t)e, pUser);
    };
    if (pMsg->startPart) {
        int outcome;
        MimeExtractStartEx(pMsg, lpszFolder, MIME_SMIL_FILE, dwFlags, &outcome);
        note(pMsg->startPart, outcome, MIME_SMIL_FILE);
    }
    int n = MimeOtherPartCount(pMsg);
    for (int i = 0; i < n; ++i) {
        MIME_PART *p = other_part(pMsg, i);
        if (!p)
            break;
        MIME_PART_INFO info = {NULL, lpszFolder, NULL, NULL};
        const char *shown;
        int outcome = extract_part(pMsg, p, &info, dwFlags, &shown);
        note(p, outcome, shown);
    }
    SetLastError(first);
    return first == NO_ERROR ? 1 : 0;
}

int MimeExtractAll(MIME_MESSAGE *pMsg, const char *lpszFolder)
{
    return MimeExtractAllEx(pMsg, lpszFolder, 0, NULL, NULL);
}

void MimeDestroy(MIME_MESSAGE *pMsg)
{
    if (!pMsg)
        return;
    bool composing = pMsg->mode == MIME_MODE_COMPOSING;
    for (MIME_PART *p = pMsg->firstPart; p;) {
        MIME_PART *next = p->next;
        free_part(p, composing);
        p = next;
    }
    free(pMsg->contentType);
    delete pMsg->extracted;
    if (pMsg->stream)
        WspFileClose(pMsg->stream);
    free(pMsg);
}

void MimeClearProgress(MIME_MESSAGE *pMsg)
{
    if (!pMsg)
        return;
    pMsg->progressProc = NULL;
    pMsg->progressUser = 0;
}
