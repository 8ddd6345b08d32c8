/*
 * The medley tool's shared pieces: verb registration, failure messages, progress bars.
 *
 * A verb file defines   static void Setup(CLI::App &app) { auto *cmd = app.add_subcommand(...);
 * cmd->callback([=] { ... medley::SetExit(...); }); }   and registers it with
 * MEDLEY_VERBS(Setup).  A verb reports failure with medley::Fail("reason"), which prints
 * "medley: reason" on standard error and sets exit code 1.
 */
#pragma once
#include <CLI/CLI.hpp>

#include <stdint.h>
#include <string>

namespace medley {

using VerbSetup = void (*)(CLI::App &app);

struct VerbRegistrar {
    VerbRegistrar(const char *order, VerbSetup setup);
};

#define MEDLEY_VERBS_CAT2(a, b) a##b
#define MEDLEY_VERBS_CAT(a, b) MEDLEY_VERBS_CAT2(a, b)
#define MEDLEY_VERBS(order, setup) \
    static ::medley::VerbRegistrar MEDLEY_VERBS_CAT(medley_verbs_, __LINE__)(order, setup)

/* Exit code handling. */
void SetExit(int code);
int Fail(const std::string &reason);  // prints "medley: <reason>" (Printable), sets 1, returns 1

/* The reason a Windows error code stands for, in words ("the file does not exist"), for the
 * codes the library leaves in GetLastError(); others read "Windows error N". */
std::string Why(unsigned long code);
/* Why a GIF file is over its budget, from its blocks ("the file declares 13 billion pixels in
 * 1 170 bytes", "frame 3 declares ..."), or "" when it is not. */
std::string GifRefusal(const std::string &file);
/* Fail(what + ": " + Why(GetLastError())). */
int FailWhy(const std::string &what);

/* Text from outside (names and types read from files) made safe to print: control characters,
 * DEL, C1 controls and octets that are not UTF-8 become \xNN, so that no file can drive the
 * terminal. */
std::string Printable(const std::string &outside);

/* "cannot read picture FILE: " and why: the file does not exist, it is a folder, or it is no
 * picture the imaging library reads (or a damaged one). */
std::string UnreadablePicture(const std::string &file);

/* A path as the host writes it: natively a host path's backslashes (the library joins with
 * them) become slashes ("/tmp/a/Data\\Data.abm" prints "/tmp/a/Data/Data.abm"); a drive path,
 * and every path on Windows, stays as it is. */
std::string HostPath(const std::string &path);

/* The host's folder separator, and "dir/f.mms" -> ("dir/", "f.mms"): the library joins folder
 * and name by concatenation. */
#if defined(_WIN32)
const char kSep = '\\';
#else
const char kSep = '/';
#endif
void SplitPath(const std::string &path, std::string &folder, std::string &name);

/* A one-line progress bar on standard error (only when it is a terminal, or when forced with
 * MEDLEY_PROGRESS=1); Done() ends the line. */
class Progress {
public:
    explicit Progress(std::string label);
    ~Progress();
    void Update(uint64_t done, uint64_t total);
    void Done();

private:
    std::string m_label;
    int m_lastPermille;
    bool m_shown;
    bool m_enabled;
};

/* The folder of the medley program, with a trailing separator. */
std::string ProgramDir();

/* The module a verb loads when none is named: redll.pll beside the program (the build tree),
 * else the one in the plug-in folder of the installed tree. */
std::string DefaultModule();

}  // namespace medley
