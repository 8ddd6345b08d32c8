/*
 * Accelerator tables loaded from ACCELERATORS resources.
 *
 * Resource entry, 8 bytes, the last one marked:
 *
 *   +0 WORD fFlags   FVIRTKEY 0x01, FNOINVERT 0x02, FSHIFT 0x04, FCONTROL 0x08, FALT 0x10;
 *                    0x80 marks the last entry
 *   +2 WORD wAnsi    the key: a virtual-key code or a character
 *   +4 WORD wId      the command
 *   +6 WORD padding
 *
 * A loaded table keeps ACCEL records without the end mark.  Each LoadAcceleratorsA makes a new
 * table, freed by DestroyAcceleratorTable.
 */
#include <mutex>
#include <set>
#include <vector>

#include "internal.h"
#include "resource_private.h"

namespace {
struct AccelTable {
    std::vector<ACCEL> entries;
};
std::mutex g_lock;
/* Live tables; what is left at exit goes with the process. */
struct Tables : std::set<AccelTable *> {
    ~Tables()
    {
        for (AccelTable *t : *this)
            delete t;
    }
} g_tables;

uint16_t rd16(const uint8_t *p) { return (uint16_t)(p[0] | (p[1] << 8)); }
}  // namespace

HACCEL WINAPI LoadAcceleratorsA(HINSTANCE hInstance, LPCSTR lpTableName)
{
    if (!lpTableName) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return NULL;
    }
    const compat::ResEntry *e = compat::find_resource(hInstance, RT_ACCELERATOR, lpTableName, -1);
    if (!e)
        return NULL;
    auto *t = new AccelTable();
    for (size_t off = 0; off + 8 <= e->size; off += 8) {
        const uint8_t *p = e->data + off;
        ACCEL a;
        a.fVirt = (BYTE)(rd16(p) & 0x7F);
        a.key = rd16(p + 2);
        a.cmd = rd16(p + 4);
        t->entries.push_back(a);
        if (rd16(p) & 0x80)
            break;
    }
    if (t->entries.empty()) {
        delete t;
        SetLastError(ERROR_INVALID_DATA);
        return NULL;
    }
    std::lock_guard<std::mutex> g(g_lock);
    g_tables.insert(t);
    return (HACCEL)t;
}

int WINAPI CopyAcceleratorTableA(HACCEL hAccelSrc, LPACCEL lpAccelDst, int cAccelEntries)
{
    std::lock_guard<std::mutex> g(g_lock);
    auto it = g_tables.find((AccelTable *)hAccelSrc);
    if (it == g_tables.end()) {
        SetLastError(ERROR_INVALID_ACCEL_HANDLE);
        return 0;
    }
    const std::vector<ACCEL> &v = (*it)->entries;
    if (!lpAccelDst)
        return (int)v.size();
    int n = cAccelEntries < (int)v.size() ? cAccelEntries : (int)v.size();
    for (int i = 0; i < n; ++i)
        lpAccelDst[i] = v[(size_t)i];
    return n < 0 ? 0 : n;
}

BOOL WINAPI DestroyAcceleratorTable(HACCEL hAccel)
{
    std::lock_guard<std::mutex> g(g_lock);
    auto it = g_tables.find((AccelTable *)hAccel);
    if (it == g_tables.end()) {
        SetLastError(ERROR_INVALID_ACCEL_HANDLE);
        return FALSE;
    }
    delete *it;
    g_tables.erase(it);
    return TRUE;
}
