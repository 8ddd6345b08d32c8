/* medley plugin info | medley strings: what the resource module redll.pll carries. */
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <string>
#include <vector>

#include <windows.h>

#include "medley.h"
#include "plugin_host.h"

namespace {

bool LoadModule(host::PlugInHost &h, const std::string &path)
{
    if (!h.Load(path)) {
        medley::Fail(h.error());
        return false;
    }
    return true;
}

BOOL CALLBACK CollectName(HMODULE, LPCSTR, LPSTR name, LONG_PTR param)
{
    auto *ids = (std::vector<int> *)param;
    ids->push_back(IS_INTRESOURCE(name) ? (int)(ULONG_PTR)name : -1);
    return TRUE;
}

std::vector<int> Names(HMODULE module, LPCSTR type)
{
    std::vector<int> ids;
    EnumResourceNamesA(module, type, CollectName, (LONG_PTR)&ids);
    return ids;
}

std::string IdList(const std::vector<int> &ids)
{
    std::string s;
    for (int id : ids) {
        if (!s.empty())
            s += ", ";
        s += id < 0 ? std::string("(named)") : std::to_string(id);
    }
    return s;
}

/* The ids of the string table that hold a string: 16 counted UTF-16 strings per block. */
std::vector<uint32_t> StringIds(HMODULE module)
{
    std::vector<uint32_t> out;
    for (int block : Names(module, RT_STRING)) {
        if (block <= 0)
            continue;
        HRSRC res = FindResourceA(module, MAKEINTRESOURCEA(block), RT_STRING);
        const uint8_t *p = res ? (const uint8_t *)LockResource(LoadResource(module, res)) : nullptr;
        if (!p)
            continue;
        const uint8_t *end = p + SizeofResource(module, res);
        for (uint32_t i = 0; i < 16 && end - p >= 2; ++i) {
            size_t count = (size_t)(p[0] | p[1] << 8);
            if (count)
                out.push_back((uint32_t)(block - 1) * 16 + i);
            p += 2 + 2 * count;
            if (p > end)
                break;
        }
    }
    return out;
}

std::string Escaped(const std::string &s)
{
    std::string out;
    for (char c : s) {
        if (c == '\n')
            out += "\\n";
        else if (c == '\t')
            out += "\\t";
        else if (c == '\\')
            out += "\\\\";
        else
            out += c;
    }
    return out;
}

void PrintVersion(HMODULE module)
{
    char path[MAX_PATH];
    DWORD n = GetModuleFileNameA(module, path, sizeof path);
    DWORD size = n && n < sizeof path ? GetFileVersionInfoSizeA(path, NULL) : 0;
    if (!size) {
        printf("version     (none)\n");
        return;
    }
    std::vector<uint8_t> block(size);
    VS_FIXEDFILEINFO *fixed = nullptr;
    UINT len = 0;
    if (!GetFileVersionInfoA(path, 0, size, block.data()) ||
        !VerQueryValueA(block.data(), "\\", (LPVOID *)&fixed, &len) || len < sizeof *fixed) {
        printf("version     (unreadable)\n");
        return;
    }
    printf("version     %u.%u.%u.%u%s\n", (unsigned)HIWORD(fixed->dwFileVersionMS),
           (unsigned)LOWORD(fixed->dwFileVersionMS), (unsigned)HIWORD(fixed->dwFileVersionLS),
           (unsigned)LOWORD(fixed->dwFileVersionLS), (fixed->dwFileFlags & VS_FF_DEBUG) ? " (debug)" : "");
    WORD *tr = nullptr;
    char sub[64] = "\\StringFileInfo\\040904B0\\";
    if (VerQueryValueA(block.data(), "\\VarFileInfo\\Translation", (LPVOID *)&tr, &len) && len >= 4)
        snprintf(sub, sizeof sub, "\\StringFileInfo\\%04X%04X\\", tr[0], tr[1]);
    for (const char *key : {"CompanyName", "ProductName", "ProductVersion", "FileDescription"}) {
        char *value = nullptr;
        std::string q = std::string(sub) + key;
        if (VerQueryValueA(block.data(), q.c_str(), (LPVOID *)&value, &len) && value && *value)
            printf("  %-16s %s\n", key, value);
    }
}

void Info(const std::string &path)
{
    host::PlugInHost h;
    if (!LoadModule(h, path))
        return;
    GUID guid;
    printf("module      %s\n", path.c_str());
    printf("type        %d\n", (int)h.Type());
    printf("GUID        %s\n", h.Guid(&guid) ? host::GuidToString(guid).c_str() : "(none)");
    PrintVersion(h.module());
    HMODULE m = h.module();
    std::vector<uint32_t> strings = StringIds(m);
    printf("resources\n");
    printf("  %-16s %zu in %zu blocks\n", "strings", strings.size(), Names(m, RT_STRING).size());
    const struct {
        const char *label;
        LPCSTR type;
    } kinds[] = {{"menus", RT_MENU},          {"accelerators", RT_ACCELERATOR}, {"cursors", RT_GROUP_CURSOR},
                 {"icons", RT_GROUP_ICON},    {"bitmaps", RT_BITMAP},           {"version blocks", RT_VERSION},
                 {"cursor images", RT_CURSOR}, {"icon images", RT_ICON}};
    for (const auto &k : kinds) {
        std::vector<int> ids = Names(m, k.type);
        printf("  %-16s %zu%s%s%s\n", k.label, ids.size(), ids.empty() ? "" : " (", IdList(ids).c_str(),
               ids.empty() ? "" : ")");
    }
}

void Strings(const std::string &path, const std::vector<uint32_t> &wanted)
{
    host::PlugInHost h;
    if (!LoadModule(h, path))
        return;
    std::vector<uint32_t> ids = wanted.empty() ? StringIds(h.module()) : wanted;
    std::string missing;
    for (uint32_t id : ids) {
        int32_t n = 0;
        std::string text = h.String(id, 4096, &n);
        if (n <= 0) {
            missing += (missing.empty() ? "" : ", ") + std::to_string(id);
            continue;
        }
        printf("%u\t%s\n", (unsigned)id, Escaped(text).c_str());
    }
    if (!missing.empty())
        medley::Fail("no string with id " + missing);
}

void Setup(CLI::App &app)
{
    auto *plugin = app.add_subcommand("plugin", "The resource module redll.pll");
    plugin->require_subcommand(1);
    auto *info = plugin->add_subcommand("info", "Type, GUID, version and the resources of each kind");
    auto infoPath = std::make_shared<std::string>();
    info->add_option("--module", *infoPath, "The module to load (default: redll.pll beside medley, else in the installed plug-in folder)");
    info->callback([=] { Info(infoPath->empty() ? medley::DefaultModule() : *infoPath); });

    auto *strings = app.add_subcommand("strings", "The module's strings by id (all of them when no id is given)");
    auto ids = std::make_shared<std::vector<uint32_t>>();
    auto stringsPath = std::make_shared<std::string>();
    strings->add_option("id", *ids, "String ids (0-65535)")->check(CLI::Range(0, 65535));
    strings->add_option("--module", *stringsPath, "The module to load (default: redll.pll beside medley, else in the installed plug-in folder)");
    strings->callback([=] { Strings(stringsPath->empty() ? medley::DefaultModule() : *stringsPath, *ids); });
}

}  // namespace

MEDLEY_VERBS("10-plugin", Setup);
