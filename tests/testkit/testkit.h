/*
 * Helpers shared by the test programs.  Only public headers; runs natively and under Wine.
 */
#pragma once
#include <windows.h>

#include <functional>
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

/* Whole-file helpers (binary). */
bool WriteFileBytes(const std::string &path, const std::vector<unsigned char> &bytes);
bool WriteFileText(const std::string &path, const std::string &text);
std::vector<unsigned char> ReadFileBytes(const std::string &path, bool *ok = nullptr);

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

/* True when running on the real Win32 API (Windows or Wine), false on the compat layer. */
constexpr bool kRealWin32 =
#if defined(_WIN32)
    true;
#else
    false;
#endif

}  // namespace testkit
