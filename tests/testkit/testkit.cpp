#include "testkit.h"

#include <stdio.h>

#include <atomic>
#include <filesystem>

namespace fs = std::filesystem;

namespace testkit {

std::string ProgramDir()
{
    char buf[MAX_PATH * 4];
    DWORD n = GetModuleFileNameA(NULL, buf, sizeof buf);
    std::string s(buf, n);
    size_t slash = s.find_last_of("\\/");
    return slash == std::string::npos ? std::string() : s.substr(0, slash + 1);
}

bool UnderWine()
{
    DWORD error = GetLastError();  // the probe leaves the caller's last error as it was
    HMODULE ntdll = GetModuleHandleA("ntdll.dll");
    bool wine = ntdll && GetProcAddress(ntdll, "wine_get_version");
    SetLastError(error);
    return wine;
}

TodoScope::TodoScope(bool active, const char *file, int line) : m_file(file), m_line(line)
{
    if (!active)
        return;
    m_results.reset(new ::testing::TestPartResultArray);
    m_reporter.reset(new ::testing::ScopedFakeTestPartResultReporter(
        ::testing::ScopedFakeTestPartResultReporter::INTERCEPT_ONLY_CURRENT_THREAD, m_results.get()));
}

TodoScope::~TodoScope()
{
    if (!m_results)
        return;
    m_reporter.reset();  // the checks below go to the real reporter
    if (m_results->size() == 0) {
        ADD_FAILURE_AT(m_file, m_line) << "todo_wine: unexpected pass; the divergence is gone, drop the marker";
        return;
    }
    for (int i = 0; i < m_results->size(); ++i)
        printf("%s:%d: todo_wine: known failure: %s\n", m_file, m_line, m_results->GetTestPartResult(i).summary());
}

TempDir::TempDir()
{
    static std::atomic<unsigned> counter{0};
    fs::path base = fs::temp_directory_path();
    for (;;) {
        char name[64];
        snprintf(name, sizeof name, "medley-test-%lu-%u", (unsigned long)GetCurrentProcessId(), counter++);
        fs::path p = base / name;
        std::error_code ec;
        if (fs::create_directory(p, ec)) {
            m_path = p.string();
            fs::permissions(p, fs::perms::owner_all, ec);  // a test's files are its own
            break;
        }
    }
}

namespace {
const char *const kTempVars[3] = {"TMP", "TEMP", "TMPDIR"};
}

TempFolderAt::TempFolderAt(const std::string &dir)
{
    for (const char *v : kTempVars) {
        char old[MAX_PATH * 2];
        DWORD n = GetEnvironmentVariableA(v, old, sizeof old);
        m_old.push_back(n && n < sizeof old ? std::string(old) : std::string("\x01"));
        SetEnvironmentVariableA(v, dir.c_str());
    }
}

TempFolderAt::~TempFolderAt()
{
    for (size_t i = 0; i < m_old.size(); ++i)
        SetEnvironmentVariableA(kTempVars[i], m_old[i] == "\x01" ? NULL : m_old[i].c_str());
}

std::string TempFolderAt::path() const
{
    char buf[MAX_PATH];
    DWORD n = GetTempPathA(sizeof buf, buf);
    return n == 0 || n >= sizeof buf ? std::string() : std::string(buf, n - 1);
}

TempDir::~TempDir()
{
    std::error_code ec;
    fs::remove_all(m_path, ec);
}

std::string TempDir::file(const std::string &name) const
{
#if defined(_WIN32)
    return m_path + "\\" + name;
#else
    return m_path + "/" + name;
#endif
}

bool WriteFileBytes(const std::string &path, const std::vector<unsigned char> &bytes)
{
    FILE *f = fopen(path.c_str(), "wb");
    if (!f)
        return false;
    bool ok = bytes.empty() || fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
    return fclose(f) == 0 && ok;
}

bool WriteFileText(const std::string &path, const std::string &text)
{
    return WriteFileBytes(path, std::vector<unsigned char>(text.begin(), text.end()));
}

std::vector<unsigned char> ReadFileBytes(const std::string &path, bool *ok)
{
    std::vector<unsigned char> out;
    FILE *f = fopen(path.c_str(), "rb");
    if (!f) {
        if (ok)
            *ok = false;
        return out;
    }
    unsigned char buf[65536];
    size_t n;
    while ((n = fread(buf, 1, sizeof buf, f)) > 0)
        out.insert(out.end(), buf, buf + n);
    fclose(f);
    if (ok)
        *ok = true;
    return out;
}

bool Put(const std::string &path, const std::string &bytes)
{
    HANDLE h = CreateFileA(path.c_str(), GENERIC_WRITE, 0, NULL, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, NULL);
    if (h == INVALID_HANDLE_VALUE)
        return false;
    DWORD n = 0;
    BOOL ok = WriteFile(h, bytes.data(), (DWORD)bytes.size(), &n, NULL);
    return CloseHandle(h) && ok && n == bytes.size();
}

bool Put(const std::string &path, const std::vector<unsigned char> &bytes)
{
    return Put(path, std::string(bytes.begin(), bytes.end()));
}

std::vector<unsigned char> Get(const std::string &path, bool *there)
{
    std::vector<unsigned char> out;
    HANDLE h = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, NULL, OPEN_EXISTING, 0, NULL);
    if (there)
        *there = h != INVALID_HANDLE_VALUE;
    if (h == INVALID_HANDLE_VALUE)
        return out;
    unsigned char buf[4096];
    DWORD n;
    while (ReadFile(h, buf, sizeof buf, &n, NULL) && n)
        out.insert(out.end(), buf, buf + n);
    CloseHandle(h);
    return out;
}

bool Exists(const std::string &path) { return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

static std::vector<AssertCapture::Report> g_reports;
static BaseAssertHandler g_previous = nullptr;

static void capture(const char *expr, const char *file, int line)
{
    g_reports.push_back({expr, file, line});
}

AssertCapture::AssertCapture()
{
    g_reports.clear();
    g_previous = BaseSetAssertHandler(capture);
}

AssertCapture::~AssertCapture() { BaseSetAssertHandler(g_previous); }

const std::vector<AssertCapture::Report> &AssertCapture::reports() const { return g_reports; }

bool AssertCapture::Saw(const std::string &expr) const
{
    for (const auto &r : g_reports)
        if (r.expr == expr)
            return true;
    return false;
}

void AssertCapture::Clear() { g_reports.clear(); }

}  // namespace testkit
