/* medley: the command line over the module and its base library. */
#include <stdio.h>
#include <stdlib.h>
#include <unistd.h>

#include <algorithm>
#include <utility>
#include <vector>

#include <windows.h>

#include "medley.h"

#if defined(_WIN32)
#include <io.h>
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
    fprintf(stderr, "medley: %s\n", reason.c_str());
    g_exit = 1;
    return 1;
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

}  // namespace medley

int main(int argc, char **argv)
{
    CLI::App app{"medley: compose MMS messages, work with their media and send them to a phone"};
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
