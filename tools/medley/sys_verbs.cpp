/* medley sys info | sys date ...: what the system-information library sees on this machine. */
#include <stdio.h>
#include <string.h>

#include <string>

#include "medley.h"
#include "sysinfo.h"

namespace {

std::string Human(uint64_t bytes)
{
    const char *units[] = {"B", "KB", "MB", "GB", "TB"};
    double v = (double)bytes;
    int u = 0;
    while (v >= 1024 && u < 4) {
        v /= 1024;
        ++u;
    }
    char buf[32];
    snprintf(buf, sizeof buf, u ? "%.1f %s" : "%.0f %s", v, units[u]);
    return buf;
}

void PrintInfo(bool firstRun)
{
    char buf[MAX_PATH];
    auto line = [](const char *label, const std::string &value) {
        printf("  %-18s %s\n", label, value.empty() ? "(none)" : value.c_str());
    };
    printf("Folders\n");
    line("program", (GetProgramFolder(buf), buf));
    line("documents", GetMyDocumentsFolder(buf, FALSE) ? buf : "");
    line("pictures", GetMyPicturesFolder(buf, FALSE) ? buf : "");
    line("user data", (GetUserAppDataFolder(buf), buf));
    line("shared data", (GetCommonAppDataFolder(buf), buf));
    line("current", (GetCurrentFolder(buf, sizeof buf), buf));
    line("temporary", MakeTempPath(buf, "") ? buf : "");

    printf("Drives\n");
    DWORD fixed = GetFixedDrives();
    for (int i = 0; i < 26; ++i) {
        if (!(fixed & (1u << i)))
            continue;
        char root[4] = {(char)('a' + i), ':', '\\', 0};
        printf("  %c:  fixed, %s free\n", 'A' + i, Human(GetDiskFreeBytes(root)).c_str());
    }
    printf("  roomiest drive     %c:\n", FindRoomiestDrive() - 'a' + 'A');
    printf("  CD with media      %s\n", FindCdDriveWithMedia(0) ? "yes" : "no");

    printf("Devices\n");
    int w = 0, h = 0, bits = 0;
    GetScreenInfo(&w, &h, &bits);
    printf("  screen             %d x %d, %d bits per pixel\n", w, h, bits);
    printf("  sound output       %s\n", HasWaveOutDevice() ? "yes" : "no");
    printf("  default printer    %s\n", HasDefaultPrinter() ? "yes" : "no");

    printf("Versions\n");
    line("maker", (GetMakerName(buf), buf));
    line("product", (GetProductName(buf), buf));
    line("product version", (GetProductVersion(buf), buf));
    printf("  %-18s %d\n", "version depth", GetVersionDepth());
    line("Internet Explorer", GetIEVersion(buf) ? buf : "");
    printf("  %-18s %s\n", "Windows", IsOSAtLeast(5, 0, 5, 0, 0) ? "NT 5.0 or later" : "before NT 5.0 / 9x");
    printf("  %-18s %s\n", "machine settings", CanWriteMachineKey() ? "writable" : "read-only");
    if (firstRun)
        printf("  %-18s %s\n", "first run", IsFirstRun() ? "yes (now recorded)" : "no");
}

bool ParseDate(const std::string &s, WORD &y, WORD &m, WORD &d)
{
    unsigned a, b, c;
    char tail;
    if (sscanf(s.c_str(), "%u-%u-%u%c", &a, &b, &c, &tail) != 3 || a < 1 || a > 9999 || b < 1 || b > 12 || c < 1 ||
        c > (unsigned)DaysInMonth((WORD)a, (WORD)b))
        return false;
    y = (WORD)a;
    m = (WORD)b;
    d = (WORD)c;
    return true;
}

void Setup(CLI::App &app)
{
    auto *sys = app.add_subcommand("sys", "What the system-information library sees on this machine");
    sys->require_subcommand(1);

    auto *info = sys->add_subcommand("info", "Folders, drives with free space, screen, versions and first-run state");
    auto first = std::make_shared<bool>(false);
    auto depth = std::make_shared<int>(0);
    info->add_flag("--first-run", *first, "Also ask (and record) whether this is the first run for this user");
    info->add_option("--depth", *depth, "Version depth 1-4 used for the product version")->check(CLI::Range(1, 4));
    info->callback([=] {
        if (*depth)
            SetVersionDepth(*depth);
        PrintInfo(*first);
    });

    auto *date = sys->add_subcommand("date", "Weekday of a date, a date plus some days, or a time stamp as a date");
    auto when = std::make_shared<std::string>();
    auto add = std::make_shared<int>(0);
    auto seconds = std::make_shared<int64_t>(0);
    date->add_option("date", *when, "A date as YYYY-MM-DD");
    date->add_option("--add", *add, "Days to add (negative to go back)");
    auto *secOpt = date->add_option("--seconds", *seconds, "Seconds since 1970-01-01 00:00 to show as a date");
    date->callback([=] {
        static const char *names[] = {"?", "Monday", "Tuesday", "Wednesday", "Thursday", "Friday", "Saturday", "Sunday"};
        if (secOpt->count()) {
            WORD y, m, d, h, mi, s;
            SecondsToDateTime(&y, &m, &d, &h, &mi, &s, *seconds);
            printf("%04u-%02u-%02u %02u:%02u:%02u\n", y, m, d, h, mi, s);
            return;
        }
        WORD y, m, d;
        if (when->empty()) {
            medley::Fail("give a date as YYYY-MM-DD, or --seconds");
            return;
        }
        if (!ParseDate(*when, y, m, d)) {
            medley::Fail("not a date: " + *when + " (expected YYYY-MM-DD)");
            return;
        }
        WORD y2 = y, m2 = m, d2 = d;
        if (*add)
            AddDays(y, m, d, *add, &y2, &m2, &d2);
        printf("%04u-%02u-%02u %s%s\n", y2, m2, d2, names[DayOfWeek(y2, m2, d2)],
               IsLeapYear(y2) ? " (leap year)" : "");
    });
}

}  // namespace

MEDLEY_VERBS("70-sys", Setup);
