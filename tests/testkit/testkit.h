/*
 * Helpers shared by the test programs.  Only public headers; runs natively and under Wine.
 */
#pragma once
#include <windows.h>

#include <gtest/gtest-spi.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "base_assert.h"

namespace testkit {

/* The folder of the running test program, with a trailing separator. */
std::string ProgramDir();

/* A fresh, empty folder under the system temporary folder, removed with its contents when the
 * object goes.  path() ends without a separator. */
class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir &) = delete;
    TempDir &operator=(const TempDir &) = delete;
    const std::string &path() const { return m_path; }
    std::string file(const std::string &name) const;

private:
    std::string m_path;
};

/* Points the user's temporary folder at `dir` while it lives (TMP and TEMP for Windows, TMPDIR
 * for the host).  path() is the folder GetTempPathA then answers, without its separator:
 * natively the user's private folder inside `dir`, "" when it is refused. */
class TempFolderAt {
public:
    explicit TempFolderAt(const std::string &dir);
    ~TempFolderAt();
    TempFolderAt(const TempFolderAt &) = delete;
    TempFolderAt &operator=(const TempFolderAt &) = delete;
    std::string path() const;

private:
    std::vector<std::string> m_old;
};

/* Whole-file helpers (binary). */
bool WriteFileBytes(const std::string &path, const std::vector<unsigned char> &bytes);
bool WriteFileText(const std::string &path, const std::string &text);
std::vector<unsigned char> ReadFileBytes(const std::string &path, bool *ok = nullptr);
/* The same through the Win32 calls, which take "\\" in paths on every target. */
bool Put(const std::string &path, const std::string &bytes);
bool Put(const std::string &path, const std::vector<unsigned char> &bytes);
std::vector<unsigned char> Get(const std::string &path, bool *there = nullptr);
bool Exists(const std::string &path);

/* Records the library's assertion reports while it lives. */
class AssertCapture {
public:
    AssertCapture();
    ~AssertCapture();
    struct Report {
        std::string expr, file;
        int line;
    };
    const std::vector<Report> &reports() const;
    bool Saw(const std::string &expr) const;
    void Clear();
};

/* True under Wine (its ntdll answers wine_get_version), for marking Wine's known divergences
 * from Windows in the open. */
bool UnderWine();

/* Fault injection into the file calls the library makes (CreateFileA, ReadFile, WriteFile and
 * the calls that change the file system: DeleteFileA, MoveFileA, MoveFileExA, CopyFileA,
 * CreateDirectoryA): the Nth of them from now on fails, once; 0 disarms.  Natively this is the
 * compat layer's injector; on Windows the test program's and its DLLs' imports of those calls
 * are rerouted through a counter the first time it is armed. */
void FailNthFileOperation(unsigned n);
/* True while an armed file fault has not happened yet. */
bool FileFaultPending();

/* The fault loop: runs `op` with the Nth file operation failing for N = 1, 2, ... until a run
 * in which the fault never came (the operation made fewer than N calls), calling check(ok, n)
 * after every run; `reset` puts the scene back before each run.  Returns the number of runs
 * that met a fault (0 also when `limit` was reached: the caller should expect more). */
unsigned ForEachFileFault(const std::function<void()> &reset, const std::function<bool()> &op,
                          const std::function<void(bool ok, unsigned n)> &check, unsigned limit = 5000);

/* System levers, on both targets (natively the compat layer's, on Windows rerouted imports of
 * the test program and the DLLs beside it):
 * HideProc: GetProcAddress misses `name` (ERROR_PROC_NOT_FOUND) while hidden, so a caller's
 * fallback for a missing export runs; a null or empty name shows every export again.
 * ReplaceProc: GetProcAddress answers `fn` for `name` (a test's stand-in); null: the real again.
 * FakeWindowsVersion: GetVersionExA reports "major.minor[.build] [9x|nt] [Service Pack N]"
 * (e.g. "4.10.2222 9x", "5.0 nt Service Pack 2"); null gives the real version back. */
void HideProc(const char *name, bool hide);
void ReplaceProc(const char *name, FARPROC fn);
void FakeWindowsVersion(const char *text);

/* Registry faults: the Nth RegCreateKeyExA from now on fails with ERROR_ACCESS_DENIED, once;
 * 0 disarms (natively the compat layer's "registry" layer, on Windows a rerouted import). */
void FailNthRegistryCreate(unsigned n);
/* The Nth FlushFileBuffers from now on fails (ERROR_WRITE_FAULT), once; 0 disarms. */
void FailNthFlush(unsigned n);

/* Scripted common file dialogs (GetSaveFileNameA, GetOpenFileNameA) on both targets: they
 * answer `answer` as the chosen path, or are cancelled for null.  LastFileDialog tells how many
 * dialogs were asked so far and what the last one was asked with: its flags and its filter
 * list (each text with its zero, the final empty one left out). */
void ScriptFileDialog(const char *answer);
struct FileDialogSeen {
    unsigned count = 0;
    DWORD flags = 0;
    std::string filter;
};
FileDialogSeen LastFileDialog();

/* Wine's todo_wine, for a known divergence of Wine from Windows:
 *     todo_wine EXPECT_STREQ("Animat", buf);
 * The check always runs.  Under Wine its failure is expected: it is reported as a known
 * failure and does not fail the test; a pass is reported as a failure ("unexpected pass"), so
 * a fixed divergence is noticed and its marker removed.  Elsewhere (natively, on Windows) the
 * check counts as any other.  todo_wine_if(cond) marks it where `cond` holds. */
class TodoScope {
public:
    TodoScope(bool active, const char *file, int line);
    ~TodoScope();
    TodoScope(const TodoScope &) = delete;
    TodoScope &operator=(const TodoScope &) = delete;
    bool Once()
    {
        bool first = !m_done;
        m_done = true;
        return first;
    }

private:
    bool m_done = false;
    const char *m_file;
    int m_line;
    std::unique_ptr<::testing::TestPartResultArray> m_results;
    std::unique_ptr<::testing::ScopedFakeTestPartResultReporter> m_reporter;
};
#define todo_wine_if(cond) for (::testkit::TodoScope todo_scope_((cond), __FILE__, __LINE__); todo_scope_.Once();)
#define todo_wine todo_wine_if(::testkit::UnderWine())

/* A call that fails and says why, probed as conformance tests probe it: the last error is set
 * to 0xdeadbeef first, so that a call which leaves it as it was shows.
 *     EXPECT_FAILS_WITH(DeleteFileA(name), FALSE, ERROR_ACCESS_DENIED); */
#define EXPECT_FAILS_WITH(call, result, error)                  \
    do {                                                       \
        SetLastError(0xdeadbeef);                              \
        EXPECT_EQ((call), (result));                           \
        EXPECT_EQ(GetLastError(), (DWORD)(error)) << #call;    \
    } while (0)

/* True when running on the real Win32 API (Windows or Wine), false on the compat layer. */
constexpr bool kRealWin32 =
#if defined(_WIN32)
    true;
#else
    false;
#endif

}  // namespace testkit
