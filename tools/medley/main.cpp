/* medley: the command line over the module and its base library. */
#include <stdio.h>
#include <stdint.h>
#include <stdlib.h>
#include <unistd.h>

#include <algorithm>
#include <utility>
#include <vector>

#include <windows.h>

#include "basemem.h"
#include "fileio.h"
#include "gif.h"
#include "irda.h"
#include "mdoc.h"
#include "mime.h"
#include "medley.h"
#include "pixkit.h"
#include "sysinfo.h"

#if defined(_WIN32)
#include <io.h>
#else
#include "compat/extensions.h"
#endif

namespace medley {

static std::vector<std::pair<std::string, VerbSetup>> &Registry()
{
    static std::vector<std::pair<std::string, VerbSetup>> r;
    return r;
}

VerbRegistrar::VerbRegistrar(const char *order, VerbSetup setup) { Registry().emplace_back(order, setup); }

static int g_exit = 0;
void SetExit(int code) { g_exit = code; }

int Fail(const std::string &reason)
{
    /* Reasons quote names from the command line and from files: never raw. */
    fprintf(stderr, "medley: %s\n", Printable(reason).c_str());
    g_exit = 1;
    return 1;
}

std::string Why(unsigned long code)
{
#if !defined(_WIN32)
    // A folder only this user may enter (the temporary folder, the IrDA link folder) is not so.
    if (code == COMPAT_ERROR_FOLDER_IS_LINK || code == COMPAT_ERROR_FOLDER_NOT_OWNED || code == COMPAT_ERROR_FOLDER_OPEN) {
        char folder[MAX_PATH * 4];
        DWORD n = CompatRefusedFolderA(folder, sizeof folder);
        std::string f = n && n < sizeof folder ? std::string(folder, n) : std::string("the folder");
        return "the private folder " + f +
               (code == COMPAT_ERROR_FOLDER_IS_LINK      ? " is a link"
                : code == COMPAT_ERROR_FOLDER_NOT_OWNED ? " belongs to another user"
                                                        : " is open to other users") +
               " (it must be a folder of this user's own that nobody else may enter)";
    }
#endif
    static const struct {
        unsigned long code;
        const char *text;
    } kReasons[] = {
        {ERROR_FILE_NOT_FOUND, "the file does not exist"},
        {ERROR_PATH_NOT_FOUND, "the folder does not exist"},
        {ERROR_TOO_MANY_OPEN_FILES, "too many files are open"},
        {ERROR_ACCESS_DENIED, "access is denied"},
        {ERROR_NOT_ENOUGH_MEMORY, "not enough memory"},
        {ERROR_OUTOFMEMORY, "not enough memory"},
        {ERROR_INVALID_DATA, "the file is damaged or not of the expected kind"},
        {ERROR_WRITE_FAULT, "a write to the disk failed"},
        {ERROR_READ_FAULT, "a read from the disk failed"},
        {ERROR_SHARING_VIOLATION, "the file is in use by another program"},
        {ERROR_HANDLE_EOF, "the file ended early (it shrank or is cut short)"},
        {ERROR_FILE_EXISTS, "the file already exists"},
        {ERROR_ALREADY_EXISTS, "the file already exists"},
        {ERROR_INVALID_PARAMETER, "an argument is not valid"},
        {ERROR_DISK_FULL, "the disk is full"},
        {ERROR_INVALID_NAME, "the name is not valid for a file"},
        {ERROR_DIR_NOT_EMPTY, "the folder is not empty"},
        {ERROR_FILENAME_EXCED_RANGE, "the name or path is too long"},
        {ERROR_FILE_TOO_LARGE, "the file is too large"},
        {ERROR_DIRECTORY, "the name is not a folder"},
        {ERROR_DIRECTORY_NOT_SUPPORTED, "it is a folder, not a file"},
        {ERROR_NOT_SAME_DEVICE, "the file cannot be moved to another drive"},
        {(unsigned long)FIO_ERROR_OUTPUT_IS_INPUT, "the output would replace one of the inputs"},
        {(unsigned long)MIME_ERROR_TOO_MANY_PARTS, "a message carries at most 127 parts"},
        {(unsigned long)MIME_ERROR_UNKNOWN_CHARSET,
         "a text part's charset is neither US-ASCII nor UTF-8 (the only ones a message entry can name)"},
        {(unsigned long)MIME_ERROR_EMPTY_PART, "a part's file is empty (a message entry needs at least one octet)"},
        {(unsigned long)MIME_ERROR_LINK, "it is a link, which may lead out of the folder"},
        {(unsigned long)MDOC_ERROR_TOO_MANY_PARTS, "a message carries at most 127 parts"},
        {(unsigned long)MDOC_ERROR_TOO_MANY, "the presentation has more slides, media in a slide or regions than a message holds"},
        {(unsigned long)MDOC_ERROR_SUBFOLDER, "a media file lies in a sub-folder and cannot be placed beside the presentation"},
        {(unsigned long)MDOC_ERROR_TOO_DEEP, "the presentation nests elements more than 32 deep"},
        {(unsigned long)MDOC_ERROR_NAME_CLASH, "two different media files have the same name"},
        {(unsigned long)GIF_ERROR_TOO_MANY_FRAMES, "the GIF declares more frames than a file may hold"},
        {(unsigned long)GIF_ERROR_TOO_MANY_PIXELS, "the GIF declares more pixels than a file may hold"},
        {(unsigned long)PX_ERROR_UNBACKED_SIZE, "the picture declares more pixels than its data can hold"},
        {WSAETIMEDOUT, "the phone stopped taking data (timed out)"},
        {WSAECONNRESET, "the phone dropped the link"},
        {WSAECONNABORTED, "the link was broken off"},
        {WSAECONNREFUSED, "the phone refused the connection"},
        {WSAEHOSTDOWN, "no phone is in range"},
        {WSAEPROTONOSUPPORT, "the phone does not offer IrCOMM 9-wire"},
        {WSAEAFNOSUPPORT, "this system has no IrDA sockets"},
        {WSAENOTSOCK, "the link has no socket"},
        {WSAENETDOWN, "the infrared link is down"},
    };
    for (const auto &r : kReasons)
        if (r.code == code)
            return r.text;
    return "Windows error " + std::to_string(code);
}

int FailWhy(const std::string &what) { return Fail(what + ": " + Why(GetLastError())); }

std::string UnreadablePicture(const std::string &file)
{
    const DWORD attrs = GetFileAttributesA(file.c_str());
    const std::string why = attrs == INVALID_FILE_ATTRIBUTES ? Why(GetLastError())
                            : (attrs & FILE_ATTRIBUTE_DIRECTORY) ? "it is a folder, not a file"
                                                                 : "not a picture, or a damaged one";
    return "cannot read picture " + file + ": " + why;
}

void SplitPath(const std::string &path, std::string &folder, std::string &name)
{
    size_t slash = path.find_last_of("/\\");
    folder = slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
    name = slash == std::string::npos ? path : path.substr(slash + 1);
}

std::string HostPath(const std::string &path)
{
#if defined(_WIN32)
    return path;
#else
    const bool drive = path.size() >= 2 && path[1] == ':';
    std::string host = path;
    for (char &c : host)
        if (c == '\\' && !drive)
            c = '/';
    return host;
#endif
}

std::string Printable(const std::string &outside)
{
    static const char kHex[] = "0123456789abcdef";
    std::string out;
    const unsigned char *p = (const unsigned char *)outside.data(), *end = p + outside.size();
    auto escape = [&](unsigned char c) {
        out += "\\x";
        out += kHex[c >> 4];
        out += kHex[c & 15];
    };
    while (p < end) {
        unsigned char c = *p;
        if (c >= 0x20 && c < 0x7F) {
            out += (char)c;
            ++p;
            continue;
        }
        /* A well-formed UTF-8 sequence of a printable character passes whole. */
        int n = c >= 0xF5 ? 0 : c >= 0xF0 ? 4 : c >= 0xE0 ? 3 : c >= 0xC2 ? 2 : 0;
        bool whole = n > 0 && end - p >= n;
        uint32_t cp = n == 2 ? c & 0x1F : n == 3 ? c & 0x0F : c & 0x07;
        for (int i = 1; whole && i < n; ++i) {
            whole = (p[i] & 0xC0) == 0x80;
            cp = (cp << 6) | (p[i] & 0x3F);
        }
        if (whole && ((n == 3 && cp < 0x800) || (n == 4 && (cp < 0x10000 || cp > 0x10FFFF)) ||
                      (cp >= 0xD800 && cp < 0xE000) || cp < 0xA0))
            whole = false;
        if (whole) {
            out.append((const char *)p, (size_t)n);
            p += n;
        } else {
            escape(c);
            ++p;
        }
    }
    return out;
}

Progress::Progress(std::string label) : m_label(std::move(label)), m_lastPermille(-1), m_shown(false)
{
    const char *force = getenv("MEDLEY_PROGRESS");
    m_enabled = force ? atoi(force) != 0 : isatty(2) != 0;
}

Progress::~Progress() { Done(); }

void Progress::Update(uint64_t done, uint64_t total)
{
    if (!m_enabled)
        return;
    int permille = total ? (int)(done * 1000 / total) : 1000;
    if (permille > 1000)
        permille = 1000;
    if (permille == m_lastPermille)
        return;
    m_lastPermille = permille;
    const int width = 30;
    int filled = permille * width / 1000;
    fprintf(stderr, "\r%-16.16s [%.*s%*s] %5.1f%%", m_label.c_str(), filled,
            "##############################", width - filled, "", permille / 10.0);
    fflush(stderr);
    m_shown = true;
}

void Progress::Done()
{
    if (m_shown) {
        fputc('\n', stderr);
        m_shown = false;
    }
}

std::string ProgramDir()
{
    char buf[4096];
    DWORD n = GetModuleFileNameA(NULL, buf, sizeof buf);
    std::string s(buf, n);
    size_t slash = s.find_last_of("\\/");
    return slash == std::string::npos ? std::string() : s.substr(0, slash + 1);
}

std::string DefaultModule()
{
    std::string beside = ProgramDir() + "redll.pll";
#ifdef MEDLEY_INSTALLED_PLUGIN_DIR
    if (GetFileAttributesA(beside.c_str()) == INVALID_FILE_ATTRIBUTES) {
        std::string installed = ProgramDir() + MEDLEY_INSTALLED_PLUGIN_DIR "/redll.pll";
#ifdef _WIN32
        for (char &c : installed)
            if (c == '/')
                c = '\\';
#endif
        if (GetFileAttributesA(installed.c_str()) != INVALID_FILE_ATTRIBUTES)
            return installed;
    }
#endif
    return beside;
}

}  // namespace medley

int main(int argc, char **argv)
{
    /* As every program using the base library must, before its first block. */
    BaseMemInit();
    CLI::App app{"medley: compose MMS messages, work with their media and send them to a phone"};
    char product[MAX_PATH] = "", version[MAX_PATH] = "";
    GetProductName(product);
    // The tool's version is the whole version ("1.0.0.11"), whatever depth the library uses.
    const int depth = GetVersionDepth();
    SetVersionDepth(4);
    GetProductVersion(version);
    SetVersionDepth(depth);
    std::string whole;
    for (const char *c = version; *c; ++c)
        if (*c != ' ')
            whole += *c == ',' ? '.' : *c;
    app.set_version_flag("--version", std::string(product[0] ? product : "medley") + " " + whole);
    app.require_subcommand(1);
    // Arguments starting with '/' are paths (Unix paths under Wine), never "/option" switches.
    app.allow_windows_style_options(false);
    auto &reg = medley::Registry();
    std::sort(reg.begin(), reg.end(), [](const auto &a, const auto &b) { return a.first < b.first; });
    for (auto &entry : reg)
        entry.second(app);
    try {
        app.parse(argc, argv);
    } catch (const CLI::ParseError &e) {
        return app.exit(e);
    }
    return medley::g_exit;
}
