#include <gtest/gtest.h>
#include <string.h>

#include <set>
#include <string>

#include "testkit.h"

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
    SetLastError(0xdeadbeef);
    EXPECT_EQ(SetFilePointer(h, -20, NULL, FILE_CURRENT), INVALID_SET_FILE_POINTER);
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_NEGATIVE_SEEK);
    EXPECT_TRUE(CloseHandle(h));
    EXPECT_FALSE(CloseHandle(h));

    SetLastError(0xdeadbeef);
    EXPECT_EQ(CreateFileA(name.c_str(), GENERIC_WRITE, 0, NULL, CREATE_NEW, 0, NULL), INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_FILE_EXISTS);
    h = CreateFileA(name.c_str(), GENERIC_WRITE, 0, NULL, CREATE_ALWAYS, 0, NULL);
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_ALREADY_EXISTS);
    EXPECT_EQ(GetFileSize(h, NULL), 0u);
    CloseHandle(h);
    SetLastError(0xdeadbeef);
    EXPECT_EQ(CreateFileA(dir.file("none\\x").c_str(), GENERIC_READ, 0, NULL, OPEN_EXISTING, 0, NULL),
              INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_PATH_NOT_FOUND);
}

TEST(Files, FoldersCopyMoveDelete)
{
    testkit::TempDir dir;
    std::string sub = dir.file("sub");
    ASSERT_TRUE(CreateDirectoryA(sub.c_str(), NULL));
    SetLastError(0xdeadbeef);
    EXPECT_FALSE(CreateDirectoryA(sub.c_str(), NULL));
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_ALREADY_EXISTS);
    EXPECT_NE(GetFileAttributesA(sub.c_str()) & FILE_ATTRIBUTE_DIRECTORY, 0u);
    std::string a = dir.file("a.txt"), b = sub + "\\b.txt";
    ASSERT_TRUE(testkit::WriteFileText(a, "data"));
    ASSERT_TRUE(CopyFileA(a.c_str(), b.c_str(), TRUE));
    SetLastError(0xdeadbeef);
    EXPECT_FALSE(CopyFileA(a.c_str(), b.c_str(), TRUE));
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_FILE_EXISTS);
    SetLastError(0xdeadbeef);
    EXPECT_FALSE(MoveFileA(a.c_str(), b.c_str()));
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_ALREADY_EXISTS);
    SetLastError(0xdeadbeef);
    EXPECT_FALSE(RemoveDirectoryA(sub.c_str()));
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_DIR_NOT_EMPTY);
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
    SetLastError(0xdeadbeef);
    EXPECT_EQ(FindFirstFileA(dir.file("*.bmp").c_str(), &fd), INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_FILE_NOT_FOUND);
}

TEST(Files, TempCurrentAndDrives)
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
    DWORD drives = GetLogicalDrives();
    EXPECT_NE(drives & (1u << 2), 0u);
    EXPECT_EQ(GetDriveTypeA("c:\\"), (UINT)DRIVE_FIXED);
    ULARGE_INTEGER avail, total, freeb;
    ASSERT_TRUE(GetDiskFreeSpaceExA("c:\\", &avail, &total, &freeb));
    EXPECT_GT(total.QuadPart, 0u);
    EXPECT_LE(avail.QuadPart, total.QuadPart);
}

}  // namespace
