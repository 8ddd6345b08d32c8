/*
 * Counts the region and font objects that modules make and release, to catch leaks.
 *
 * Wine's GetGuiResources is a stub that answers 0, so objects are counted at the source: the
 * import table entries of the watched modules (the test program itself, which links the base
 * library statically, and the stand-in DLLs) for the region and font creators, DeleteObject and
 * SetWindowRgn are pointed at counting wrappers (and PxOpenFile and GlobalFree, for BlockWatch).
 * A region handed to a window by a successful SetWindowRgn belongs to the window and counts as
 * released.
 */
#pragma once
#include <windows.h>

#include <string>
#include <vector>

namespace uitest {

/* Checks, as it goes, that every region and font made since it was made is deleted or handed
 * over: declared first in a test, it goes last, after the test's windows. */
class NoGdiLeft {
public:
    NoGdiLeft();  // hooks once per process
    ~NoGdiLeft();

private:
    long m_regions, m_fonts;  // alive when it was made
};

/* Watches the memory blocks that the base library (linked into the test program) loads with
 * PxOpenFile and frees with GlobalFree (its blocks are global ones outside large-memory mode),
 * to tell who frees which mask; and the pictures it loads with PxLoadBmpFileThumbnail: the file
 * names asked for, in order, and the blocks given.  A file name passed to Fail loads as a
 * missing file (through either) while the watch lives.  There is one record: a new watch
 * starts it afresh. */
class BlockWatch {
public:
    BlockWatch();
    ~BlockWatch();
    const std::vector<HGLOBAL> &Loaded() const;
    bool Freed(HGLOBAL h) const;
    bool AllLoadedFreed() const;
    const std::vector<std::string> &Asked() const;  // file names (without folder)
    const std::vector<HGLOBAL> &Given() const;
    void Fail(const std::string &fileName);
};

/* Points module m's import of `name` (from `dll`, or from any DLL when dll is null) at hook;
 * returns the entry it held (null when m does not import it). */
void *PatchImport(HMODULE m, const char *dll, const char *name, void *hook);

}  // namespace uitest
