/* Gregorian date arithmetic. */
#include "sysinfo.h"

int IsLeapYear(WORD wYear) { return (wYear % 400 == 0 || (wYear % 4 == 0 && wYear % 100 != 0)) ? 1 : 0; }

int DaysInYear(WORD wYear) { return IsLeapYear(wYear) ? 366 : 365; }

int DaysInMonth(WORD wYear, WORD wMonth)
{
    switch (wMonth) {
    case 1: case 3: case 5: case 7: case 8: case 10: case 12: return 31;
    case 2: return IsLeapYear(wYear) ? 29 : 28;
    default: return 30;  // April, June, September, November, and months outside 1..12
    }
}

int DayOfWeek(WORD wYear, WORD wMonth, WORD wDay)
{
    if (wMonth > 12 || wDay > 31)
        return 0;
    int r;
    if (wYear >= 2000) {
        int t = 0;
        for (int y = 2000; y < wYear; ++y)
            t = (t + DaysInYear((WORD)y)) % 7;
        for (int m = 1; m < wMonth; ++m)
            t = (t + DaysInMonth(wYear, (WORD)m)) % 7;
        r = (t + wDay + 5) % 7;
    } else {
        int t = 0;
        for (int y = wYear + 1; y <= 1999; ++y)
            t = (t + DaysInYear((WORD)y)) % 7;
        for (int m = wMonth + 1; m <= 12; ++m)
            t = (t + DaysInMonth(wYear, (WORD)m)) % 7;
        r = 6 - ((t + DaysInMonth(wYear, wMonth) - wDay + 1) % 7 + 7) % 7;
    }
    return r == 0 ? 7 : r;
}

void AddDays(WORD wYear, WORD wMonth, WORD wDay, int32_t nDays, WORD *pYear, WORD *pMonth, WORD *pDay)
{
    // Work from the day of the year, then step whole years, then months.
    int64_t y = wYear;
    int64_t doy = wDay;  // day of the year, 1-based
    for (int m = 1; m < wMonth && m <= 12; ++m)
        doy += DaysInMonth(wYear, (WORD)m);
    doy += nDays;
    while (doy > DaysInYear((WORD)y)) {
        doy -= DaysInYear((WORD)y);
        ++y;
    }
    while (doy < 1) {
        --y;
        doy += DaysInYear((WORD)y);
    }
    int m = 1;
    while (m < 12 && doy > DaysInMonth((WORD)y, (WORD)m)) {
        doy -= DaysInMonth((WORD)y, (WORD)m);
        ++m;
    }
    if (pYear)
        *pYear = (WORD)y;
    if (pMonth)
        *pMonth = (WORD)m;
    if (pDay)
        *pDay = (WORD)doy;
}

void SecondsToDateTime(WORD *pYear, WORD *pMonth, WORD *pDay, WORD *pHour, WORD *pMinute, WORD *pSecond,
                       int64_t nSeconds)
{
    // Whole days rounded down, so that a time before 1970 still has its hours in 0..23.
    int64_t days = nSeconds / 86400;
    if (nSeconds % 86400 < 0)
        --days;
    int64_t r = nSeconds - days * 86400;
    AddDays(1970, 1, 1, (int32_t)days, pYear, pMonth, pDay);
    int64_t hour = r / 3600, minute = (r - hour * 3600) / 60;
    if (pHour)
        *pHour = (WORD)hour;
    if (pMinute)
        *pMinute = (WORD)minute;
    if (pSecond)
        *pSecond = (WORD)(r - hour * 3600 - minute * 60);
}
