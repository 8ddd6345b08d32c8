#include <gtest/gtest.h>
#include <string.h>

#include <set>
#include <string>

#include "testkit.h"

#if !defined(_WIN32)
#include <sys/stat.h>
#include <unistd.h>

#include <functional>

#include "compat/extensions.h"
#endif

namespace {

TEST(Files, CreateWriteSeekReadClose)
{
    testkit::TempDir dir;
    std::string name = dir.file("a.bin");
    HANDLE h = CreateFileA(name.c_str(), GENERIC_READ | GENERIC_WRITE, 0, NULL, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, NULL);
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    DWORD n = 0;
    ASSERT_TRUE(WriteFile(h, "hello world", 11, &n, NULL));
    EXPECT_EQ(n, 11u);
    EXPECT_EQ(GetFileSize(h, NULL), 11u);
    EXPECT_EQ(SetFilePointer(h, 6, NULL, FILE_BEGIN), 6u);
    char buf[16] = {0};
    ASSERT_TRUE(ReadFile(h, buf, sizeof buf, &n, NULL));
    EXPECT_EQ(n, 5u);
    EXPECT_STREQ(buf, "world");
    ASSERT_TRUE(ReadFile(h, buf, sizeof buf, &n, NULL));  // end of file: success, nothing read
    EXPECT_EQ(n, 0u);
    EXPECT_FAILS_WITH(SetFilePointer(h, -20, NULL, FILE_CURRENT), INVALID_SET_FILE_POINTER, ERROR_NEGATIVE_SEEK);
    EXPECT_TRUE(CloseHandle(h));
    EXPECT_FALSE(CloseHandle(h));

    EXPECT_FAILS_WITH(CreateFileA(name.c_str(), GENERIC_WRITE, 0, NULL, CREATE_NEW, 0, NULL), INVALID_HANDLE_VALUE,
                      ERROR_FILE_EXISTS);
    h = CreateFileA(name.c_str(), GENERIC_WRITE, 0, NULL, CREATE_ALWAYS, 0, NULL);
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_ALREADY_EXISTS);
    EXPECT_EQ(GetFileSize(h, NULL), 0u);
    CloseHandle(h);
    EXPECT_FAILS_WITH(CreateFileA(dir.file("none\\x").c_str(), GENERIC_READ, 0, NULL, OPEN_EXISTING, 0, NULL),
                      INVALID_HANDLE_VALUE, ERROR_PATH_NOT_FOUND);
}

TEST(Files, FoldersCopyMoveDelete)
{
    testkit::TempDir dir;
    std::string sub = dir.file("sub");
    ASSERT_TRUE(CreateDirectoryA(sub.c_str(), NULL));
    EXPECT_FAILS_WITH(CreateDirectoryA(sub.c_str(), NULL), FALSE, ERROR_ALREADY_EXISTS);
    std::string a = dir.file("a.txt"), b = sub + "\\b.txt";
    ASSERT_TRUE(testkit::WriteFileText(a, "data"));
    ASSERT_TRUE(CopyFileA(a.c_str(), b.c_str(), TRUE));
    EXPECT_FAILS_WITH(CopyFileA(a.c_str(), b.c_str(), TRUE), FALSE, ERROR_FILE_EXISTS);
    EXPECT_FAILS_WITH(MoveFileA(a.c_str(), b.c_str()), FALSE, ERROR_ALREADY_EXISTS);
    EXPECT_FAILS_WITH(RemoveDirectoryA(sub.c_str()), FALSE, ERROR_DIR_NOT_EMPTY);
    EXPECT_TRUE(DeleteFileA(b.c_str()));
    EXPECT_TRUE(MoveFileA(a.c_str(), b.c_str()));
    EXPECT_EQ(GetFileAttributesA(a.c_str()), INVALID_FILE_ATTRIBUTES);
    EXPECT_TRUE(DeleteFileA(b.c_str()));
    EXPECT_TRUE(RemoveDirectoryA(sub.c_str()));
}

TEST(Files, FindWithWildcards)
{
    testkit::TempDir dir;
    for (const char *n : {"one.txt", "two.TXT", "three.gif", "noext"})
        ASSERT_TRUE(testkit::WriteFileText(dir.file(n), "x"));
    auto list = [&](const char *pattern) {
        std::set<std::string> names;
        WIN32_FIND_DATAA fd;
        HANDLE h = FindFirstFileA(dir.file(pattern).c_str(), &fd);
        if (h == INVALID_HANDLE_VALUE)
            return names;
        do
            names.insert(fd.cFileName);
        while (FindNextFileA(h, &fd));
        EXPECT_EQ(GetLastError(), (DWORD)ERROR_NO_MORE_FILES);
        EXPECT_TRUE(FindClose(h));
        return names;
    };
    EXPECT_EQ(list("*.txt"), (std::set<std::string>{"one.txt", "two.TXT"}));
    EXPECT_EQ(list("*.*"), (std::set<std::string>{".", "..", "one.txt", "two.TXT", "three.gif", "noext"}));
    EXPECT_EQ(list("t??.*"), (std::set<std::string>{"two.TXT"}));
    EXPECT_EQ(list("noext"), (std::set<std::string>{"noext"}));
    WIN32_FIND_DATAA fd;
    EXPECT_FAILS_WITH(FindFirstFileA(dir.file("*.bmp").c_str(), &fd), INVALID_HANDLE_VALUE, ERROR_FILE_NOT_FOUND);
}

#if !defined(_WIN32)
/* As Windows gives each user a temporary folder of their own: one folder per user inside
 * $TMPDIR, made 0700, refused when it is a link, another user's or open to others. */
TEST(Files, TempFolderIsThisUsersOwn)
{
    testkit::TempDir shared, elsewhere;
    testkit::TempFolderAt at(shared.path());
    std::string mine = shared.path() + "/medley-" + std::to_string(geteuid());
    struct Row {
        const char *what;
        std::function<bool()> plant;  // what stands at the user's folder beforehand
        DWORD error;
    } rows[] = {
        {"nothing", [] { return true; }, ERROR_SUCCESS},
        {"a link", [&] { return symlink(elsewhere.path().c_str(), mine.c_str()) == 0; }, COMPAT_ERROR_FOLDER_IS_LINK},
        {"a folder open to others", [&] { return mkdir(mine.c_str(), 0755) == 0 && chmod(mine.c_str(), 0755) == 0; },
         COMPAT_ERROR_FOLDER_OPEN},
        {"another user's folder",
         [&] { return geteuid() == 0 && mkdir(mine.c_str(), 0700) == 0 && chown(mine.c_str(), 40002, 40002) == 0; },
         COMPAT_ERROR_FOLDER_NOT_OWNED},
    };
    for (const Row &r : rows) {
        SCOPED_TRACE(r.what);
        rmdir(mine.c_str());
        unlink(mine.c_str());
        if (!r.plant())
            continue;  // another user's folder needs root to be made
        char buf[MAX_PATH];
        SetLastError(0xdeadbeef);
        DWORD n = GetTempPathA(sizeof buf, buf);
        if (r.error != ERROR_SUCCESS) {
            EXPECT_EQ(n, 0u);
            EXPECT_EQ(GetLastError(), (DWORD)r.error);
            char refused[MAX_PATH];
            ASSERT_EQ(CompatRefusedFolderA(refused, sizeof refused), (DWORD)mine.size());
            EXPECT_EQ(refused, mine);
            continue;
        }
        EXPECT_EQ(std::string(buf, n), mine + "/");
        struct stat st;
        ASSERT_EQ(lstat(mine.c_str(), &st), 0);
        EXPECT_TRUE(S_ISDIR(st.st_mode));
        EXPECT_EQ(st.st_mode & 0777, 0700u);
        EXPECT_EQ(st.st_uid, geteuid());
    }
    rmdir(mine.c_str());
    unlink(mine.c_str());
}
#endif

TEST(Files, TempAndCurrentFolders)
{
    char buf[MAX_PATH];
    DWORD n = GetTempPathA(sizeof buf, buf);
    ASSERT_GT(n, 0u);
    ASSERT_LT(n, (DWORD)sizeof buf);
    EXPECT_TRUE(buf[n - 1] == '\\' || buf[n - 1] == '/');
    char tiny[2];
    EXPECT_EQ(GetTempPathA(sizeof tiny, tiny), n + 1);  // the size needed, terminator included
    char name[MAX_PATH];
    UINT u = GetTempFileNameA(buf, "mdl", 0, name);
    ASSERT_NE(u, 0u);
    EXPECT_NE(GetFileAttributesA(name), INVALID_FILE_ATTRIBUTES);
    EXPECT_TRUE(DeleteFileA(name));
    n = GetCurrentDirectoryA(sizeof buf, buf);
    ASSERT_GT(n, 0u);
    EXPECT_EQ(strlen(buf), n);
    // (Drive C:, fixed and with room, is the Machine tests' through the system information.)
}

TEST(Files, ReadOnlyFilesStay)
{
    testkit::TempDir dir;
    std::string f = dir.file("ro.txt"), g = dir.file("moved.txt");
    ASSERT_TRUE(testkit::WriteFileText(f, "keep me"));
    ASSERT_TRUE(SetFileAttributesA(f.c_str(), FILE_ATTRIBUTE_READONLY));
    EXPECT_EQ(GetFileAttributesA(f.c_str()) & (FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_DIRECTORY),
              (DWORD)FILE_ATTRIBUTE_READONLY);
    EXPECT_FAILS_WITH(DeleteFileA(f.c_str()), FALSE, ERROR_ACCESS_DENIED);
    for (DWORD disposition : {(DWORD)OPEN_EXISTING, (DWORD)OPEN_ALWAYS, (DWORD)CREATE_ALWAYS, (DWORD)TRUNCATE_EXISTING}) {
        // Known divergence: Wine leaves this check to the host's permission bits, which do
        // not stop root (whom the tests run as): it opens, and empties, the file.  Windows
        // and our layer refuse.
        if (testkit::UnderWine() && disposition != OPEN_EXISTING)
            continue;
        SetLastError(0xdeadbeef);
        HANDLE w = CreateFileA(f.c_str(), GENERIC_WRITE, 0, NULL, disposition, 0, NULL);
        DWORD error = GetLastError();
        if (testkit::UnderWine() && w != INVALID_HANDLE_VALUE) {
            CloseHandle(w);
            continue;
        }
        EXPECT_EQ(w, INVALID_HANDLE_VALUE) << disposition;
        EXPECT_EQ(error, (DWORD)ERROR_ACCESS_DENIED) << disposition;
    }
    HANDLE h = CreateFileA(f.c_str(), GENERIC_READ, FILE_SHARE_READ, NULL, OPEN_EXISTING, 0, NULL);
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    CloseHandle(h);
    EXPECT_EQ(testkit::ReadFileBytes(f).size(), 7u);  // nothing emptied it
    // Renaming is not writing: a read-only file moves, and keeps its attribute.
    ASSERT_TRUE(MoveFileA(f.c_str(), g.c_str()));
    EXPECT_NE(GetFileAttributesA(g.c_str()) & FILE_ATTRIBUTE_READONLY, 0u);
    // NORMAL clears it; then the file goes.
    ASSERT_TRUE(SetFileAttributesA(g.c_str(), FILE_ATTRIBUTE_NORMAL));
    EXPECT_EQ(GetFileAttributesA(g.c_str()) & FILE_ATTRIBUTE_READONLY, 0u);
    EXPECT_TRUE(DeleteFileA(g.c_str()));

    // A file created read-only can be written through the handle that made it.
    std::string made = dir.file("made-ro.txt");
    h = CreateFileA(made.c_str(), GENERIC_WRITE, 0, NULL, CREATE_NEW, FILE_ATTRIBUTE_READONLY, NULL);
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    DWORD n = 0;
    EXPECT_TRUE(WriteFile(h, "abc", 3, &n, NULL));
    CloseHandle(h);
    EXPECT_NE(GetFileAttributesA(made.c_str()) & FILE_ATTRIBUTE_READONLY, 0u);
    EXPECT_FALSE(DeleteFileA(made.c_str()));
    SetFileAttributesA(made.c_str(), FILE_ATTRIBUTE_NORMAL);

    EXPECT_FAILS_WITH(SetFileAttributesA(dir.file("missing").c_str(), FILE_ATTRIBUTE_NORMAL), FALSE,
                      ERROR_FILE_NOT_FOUND);
    EXPECT_FALSE(SetFileAttributesA(NULL, FILE_ATTRIBUTE_NORMAL));
}

TEST(Files, AttributesOfNewFilesAndFolders)
{
    testkit::TempDir dir;
    std::string t = dir.file("marker.ini");
    HANDLE h = CreateFileA(t.c_str(), GENERIC_READ | GENERIC_WRITE, 0, NULL, CREATE_ALWAYS, FILE_ATTRIBUTE_TEMPORARY,
                           NULL);
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    CloseHandle(h);
    DWORD a = GetFileAttributesA(t.c_str());
    EXPECT_EQ(a & (FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_NORMAL), 0u);
    // Known divergence: Wine 8 keeps only HIDDEN and SYSTEM (and READONLY) of what a file is
    // made with, and reports ARCHIVE alone here; Windows, and our layer, keep TEMPORARY.
    todo_wine EXPECT_EQ(a, (DWORD)(FILE_ATTRIBUTE_TEMPORARY | FILE_ATTRIBUTE_ARCHIVE));
    // HIDDEN is kept everywhere; NORMAL alone clears it again.
    ASSERT_TRUE(SetFileAttributesA(t.c_str(), FILE_ATTRIBUTE_HIDDEN));
    EXPECT_NE(GetFileAttributesA(t.c_str()) & FILE_ATTRIBUTE_HIDDEN, 0u);
    WIN32_FIND_DATAA fd;
    HANDLE s = FindFirstFileA(t.c_str(), &fd);
    ASSERT_NE(s, INVALID_HANDLE_VALUE);
    EXPECT_NE(fd.dwFileAttributes & FILE_ATTRIBUTE_HIDDEN, 0u);
    FindClose(s);
    ASSERT_TRUE(SetFileAttributesA(t.c_str(), FILE_ATTRIBUTE_NORMAL));
    EXPECT_EQ(GetFileAttributesA(t.c_str()) & (FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_TEMPORARY), 0u);

    // A folder is DIRECTORY, whatever is asked; NORMAL on it is accepted.
    std::string sub = dir.file("sub");
    ASSERT_TRUE(CreateDirectoryA(sub.c_str(), NULL));
    EXPECT_TRUE(SetFileAttributesA(sub.c_str(), FILE_ATTRIBUTE_NORMAL));
    EXPECT_NE(GetFileAttributesA(sub.c_str()) & FILE_ATTRIBUTE_DIRECTORY, 0u);
    EXPECT_TRUE(RemoveDirectoryA(sub.c_str()));
    EXPECT_FAILS_WITH(RemoveDirectoryA(t.c_str()), FALSE, ERROR_DIRECTORY);  // a file is not a folder
}

}  // namespace
