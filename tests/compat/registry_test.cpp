#include <gtest/gtest.h>
#include <string.h>

#include <string>

#include "testkit.h"

namespace {

const char kKey[] = "Software\\MedleyTests\\Registry";

/* Natively the hives live in a fresh folder; under Wine the prefix's registry is used and the
 * test key is removed before and after. */
class Registry : public ::testing::Test {
protected:
    void SetUp() override
    {
        SetEnvironmentVariableA("MEDLEY_REGISTRY_DIR", m_dir.path().c_str());
        Clean();
    }
    void TearDown() override { Clean(); }
    void Clean()
    {
        RegDeleteKeyA(HKEY_CURRENT_USER, "Software\\MedleyTests\\Registry\\Sub");
        RegDeleteKeyA(HKEY_CURRENT_USER, kKey);
        RegDeleteKeyA(HKEY_CURRENT_USER, "Software\\MedleyTests");
    }
    testkit::TempDir m_dir;
};

/* A key's life: made, made again (opened), opened by a name in other case; its values, their
 * sizes and types; a subkey, which keeps it from being deleted; closed and deleted, its handle
 * no longer valid. */
TEST_F(Registry, KeyFromCreationToDeletion)
{
    HKEY k;
    DWORD disp = 0;
    ASSERT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, kKey, 0, NULL, 0, KEY_ALL_ACCESS, NULL, &k, &disp), ERROR_SUCCESS);
    EXPECT_EQ(disp, (DWORD)REG_CREATED_NEW_KEY);
    EXPECT_EQ(RegCloseKey(k), ERROR_SUCCESS);
    ASSERT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, "software\\medleytests\\REGISTRY", 0, KEY_READ, &k), ERROR_SUCCESS);
    RegCloseKey(k);
    EXPECT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, "Software\\MedleyTests\\None", 0, KEY_READ, &k), ERROR_FILE_NOT_FOUND);
    ASSERT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, kKey, 0, NULL, 0, KEY_ALL_ACCESS, NULL, &k, &disp), ERROR_SUCCESS);
    EXPECT_EQ(disp, (DWORD)REG_OPENED_EXISTING_KEY);
    DWORD two = 2;
    ASSERT_EQ(RegSetValueExA(k, "Count", 0, REG_DWORD, (const BYTE *)&two, 4), ERROR_SUCCESS);
    ASSERT_EQ(RegSetValueExA(k, "Name", 0, REG_SZ, (const BYTE *)"abc", 3), ERROR_SUCCESS);  // no terminator counted

    DWORD type = 0, value = 0, cb = sizeof value;
    ASSERT_EQ(RegQueryValueExA(k, "count", NULL, &type, (LPBYTE)&value, &cb), ERROR_SUCCESS);
    EXPECT_EQ(type, (DWORD)REG_DWORD);
    EXPECT_EQ(value, 2u);
    EXPECT_EQ(cb, 4u);

    cb = 0;
    ASSERT_EQ(RegQueryValueExA(k, "Name", NULL, &type, NULL, &cb), ERROR_SUCCESS);
    EXPECT_EQ(cb, 4u);  // the terminator was added
    char buf[8];
    memset(buf, 0xCC, sizeof buf);
    cb = 3;
    EXPECT_EQ(RegQueryValueExA(k, "Name", NULL, &type, (LPBYTE)buf, &cb), ERROR_MORE_DATA);
    EXPECT_EQ(cb, 4u);
    cb = sizeof buf;
    ASSERT_EQ(RegQueryValueExA(k, "Name", NULL, &type, (LPBYTE)buf, &cb), ERROR_SUCCESS);
    EXPECT_EQ(type, (DWORD)REG_SZ);
    EXPECT_STREQ(buf, "abc");

    EXPECT_EQ(RegQueryValueExA(k, "Missing", NULL, &type, (LPBYTE)buf, &cb), ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(RegDeleteValueA(k, "Name"), ERROR_SUCCESS);
    EXPECT_EQ(RegDeleteValueA(k, "Name"), ERROR_FILE_NOT_FOUND);

    HKEY sub;
    ASSERT_EQ(RegCreateKeyExA(k, "Sub", 0, NULL, 0, KEY_ALL_ACCESS, NULL, &sub, NULL), ERROR_SUCCESS);
    RegCloseKey(sub);
    EXPECT_NE(RegDeleteKeyA(HKEY_CURRENT_USER, kKey), ERROR_SUCCESS);
    EXPECT_EQ(RegDeleteKeyA(k, "Sub"), ERROR_SUCCESS);
    EXPECT_EQ(RegCloseKey(k), ERROR_SUCCESS);
    EXPECT_EQ(RegDeleteKeyA(HKEY_CURRENT_USER, kKey), ERROR_SUCCESS);
    cb = sizeof value;
    EXPECT_EQ(RegQueryValueExA(k, "x", NULL, NULL, (LPBYTE)&value, &cb), ERROR_INVALID_HANDLE);
}

TEST_F(Registry, ValuesSurviveInTheHiveFile)
{
    if (testkit::kRealWin32)
        GTEST_SKIP() << "hive files are the compat layer's own; Wine keeps its registry itself";
    HKEY k;
    ASSERT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, kKey, 0, NULL, 0, KEY_ALL_ACCESS, NULL, &k, NULL), ERROR_SUCCESS);
    DWORD v = 0x01020304;
    ASSERT_EQ(RegSetValueExA(k, "Kept", 0, REG_DWORD, (const BYTE *)&v, 4), ERROR_SUCCESS);
    RegCloseKey(k);
    bool ok = false;
    auto bytes = testkit::ReadFileBytes(m_dir.file("user.reg"), &ok);
    ASSERT_TRUE(ok);
    std::string text(bytes.begin(), bytes.end());
    EXPECT_NE(text.find("val 4 4b657074 04030201"), std::string::npos) << text;
    // A fresh folder is a fresh hive; switching back reads the file again.
    testkit::TempDir other;
    SetEnvironmentVariableA("MEDLEY_REGISTRY_DIR", other.path().c_str());
    EXPECT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, kKey, 0, KEY_READ, &k), ERROR_FILE_NOT_FOUND);
    SetEnvironmentVariableA("MEDLEY_REGISTRY_DIR", m_dir.path().c_str());
    ASSERT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, kKey, 0, KEY_READ, &k), ERROR_SUCCESS);
    DWORD got = 0, cb = 4;
    EXPECT_EQ(RegQueryValueExA(k, "Kept", NULL, NULL, (LPBYTE)&got, &cb), ERROR_SUCCESS);
    EXPECT_EQ(got, v);
    RegCloseKey(k);
}

}  // namespace
