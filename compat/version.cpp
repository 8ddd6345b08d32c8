/*
 * Version information (VS_VERSIONINFO) of loaded modules.
 *
 * The block is a tree of nodes, each starting on a 4-byte boundary of the block:
 *
 *   WORD  wLength        bytes of the node with its children
 *   WORD  wValueLength   value size: in WCHARs for text (wType 1), bytes for binary (0)
 *   WORD  wType
 *   WCHAR szKey[]        zero-terminated, then padding to 4
 *   Value                then padding to 4
 *   children             up to wLength
 *
 * The root ("VS_VERSION_INFO") holds VS_FIXEDFILEINFO; below it "StringFileInfo" \ "040904B0"
 * \ key = text, and "VarFileInfo" \ "Translation" = WORD pairs.  As on Windows the caller's
 * buffer is twice the block plus 4 bytes: "FE2X" follows the block, then room where
 * VerQueryValueA puts the ANSI copy of a text value at the same offset it has in the block.
 */
#include <limits.h>
#include <stdlib.h>
#include <string.h>

#include <string>

#include "internal.h"
#include "resource_private.h"

namespace {

uint16_t rd16(const uint8_t *p) { return (uint16_t)(p[0] | (p[1] << 8)); }

std::string canonical(const std::string &path)
{
    char buf[PATH_MAX];
    return realpath(path.c_str(), buf) ? std::string(buf) : std::string();
}

/* The version resource of the loaded module whose file is `file`; sets the last error when
 * there is none. */
const compat::ResEntry *version_of(LPCSTR file)
{
    if (!file || !*file) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    std::string want = canonical(compat::host_path(file));
    if (want.empty()) {
        SetLastError(ERROR_FILE_NOT_FOUND);
        return nullptr;
    }
    for (HMODULE m : compat::registered_modules()) {
        char name[PATH_MAX];
        DWORD n = GetModuleFileNameA(m, name, sizeof name);
        if (!n || n >= sizeof name || canonical(name) != want)
            continue;
        const compat::ResEntry *e = compat::find_resource(m, RT_VERSION, MAKEINTRESOURCEA(1), -1);
        if (!e) {
            SetLastError(ERROR_RESOURCE_TYPE_NOT_FOUND);
            return nullptr;
        }
        if (e->size < 6 || rd16(e->data) > e->size || rd16(e->data) < 6) {
            SetLastError(ERROR_INVALID_DATA);
            return nullptr;
        }
        return e;
    }
    // A file that is no loaded module: its resources cannot be read on this host.
    SetLastError(ERROR_RESOURCE_DATA_NOT_FOUND);
    return nullptr;
}

/* One node of the tree, checked against the bounds it lives in. */
struct Node {
    size_t off = 0, len = 0;  // within the block
    size_t valueOff = 0, valueLen = 0, childOff = 0;
    uint16_t type = 0;
    std::u16string key;
};

bool read_node(const uint8_t *block, size_t limit, size_t off, Node &n)
{
    if (off + 6 > limit)
        return false;
    n.off = off;
    n.len = rd16(block + off);
    if (n.len < 6 || off + n.len > limit)
        return false;
    size_t end = off + n.len;
    uint16_t valueLength = rd16(block + off + 2);
    n.type = rd16(block + off + 4);
    size_t p = off + 6;
    n.key.clear();
    for (;;) {
        if (p + 2 > end)
            return false;
        uint16_t c = rd16(block + p);
        p += 2;
        if (!c)
            break;
        n.key += (char16_t)c;
    }
    p = (p + 3) & ~(size_t)3;
    n.valueOff = p;
    n.valueLen = n.type == 1 ? 2 * (size_t)valueLength : valueLength;
    if (n.valueOff > end || n.valueLen > end - n.valueOff) {
        n.valueLen = 0;
        n.valueOff = end;
    }
    n.childOff = (n.valueOff + n.valueLen + 3) & ~(size_t)3;
    if (n.childOff > end)
        n.childOff = end;
    return true;
}

bool key_equals(const std::u16string &key, const std::string &name)
{
    if (key.size() != name.size())
        return false;
    for (size_t i = 0; i < key.size(); ++i) {
        char16_t c = key[i];
        if (c > 0xFF || compat::upper_1252((unsigned char)c) != compat::upper_1252((unsigned char)name[i]))
            return false;
    }
    return true;
}

}  // namespace

DWORD WINAPI GetFileVersionInfoSizeA(LPCSTR lptstrFilename, LPDWORD lpdwHandle)
{
    if (lpdwHandle)
        *lpdwHandle = 0;
    const compat::ResEntry *e = version_of(lptstrFilename);
    if (!e)
        return 0;
    SetLastError(ERROR_SUCCESS);
    return (DWORD)rd16(e->data) * 2 + 4;
}

BOOL WINAPI GetFileVersionInfoA(LPCSTR lptstrFilename, DWORD, DWORD dwLen, LPVOID lpData)
{
    if (!lpData) {
        SetLastError(ERROR_INVALID_DATA);
        return FALSE;
    }
    const compat::ResEntry *e = version_of(lptstrFilename);
    if (!e)
        return FALSE;
    size_t len = rd16(e->data);
    uint8_t *out = (uint8_t *)lpData;
    memcpy(out, e->data, len < dwLen ? len : dwLen);
    if (dwLen >= len + 4)
        memcpy(out + len, "FE2X", 4);
    if (dwLen > len + 4)
        memset(out + len + 4, 0, dwLen - len - 4);
    return TRUE;
}

/* NOTES a text value is copied to ANSI into the second half of the block (the room that
 * GetFileVersionInfoSizeA asked for); *puLen is then its length with the terminator. */
BOOL WINAPI VerQueryValueA(LPCVOID pBlock, LPCSTR lpSubBlock, LPVOID *lplpBuffer, PUINT puLen)
{
    if (!pBlock || !lplpBuffer) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    const uint8_t *block = (const uint8_t *)pBlock;
    if (!lpSubBlock)
        lpSubBlock = "\\";
    size_t total = rd16(block);
    Node node;
    if (!read_node(block, total, 0, node)) {
        SetLastError(ERROR_INVALID_DATA);
        return FALSE;
    }
    const char *p = lpSubBlock;
    for (;;) {
        while (*p == '\\')
            ++p;
        if (!*p)
            break;
        const char *q = p;
        while (*q && *q != '\\')
            ++q;
        std::string name(p, (size_t)(q - p));
        p = q;
        bool found = false;
        Node child;
        for (size_t off = node.childOff; off < node.off + node.len;) {
            if (!read_node(block, node.off + node.len, off, child))
                break;
            if (key_equals(child.key, name)) {
                found = true;
                break;
            }
            off = (off + child.len + 3) & ~(size_t)3;
        }
        if (!found) {
            SetLastError(ERROR_RESOURCE_TYPE_NOT_FOUND);
            return FALSE;
        }
        node = child;
    }
    if (node.type == 1) {
        // Text: the ANSI copy lives in the second half of the caller's buffer.
        size_t room = total - node.valueOff;  // valueOff <= total: read_node checked it
        // A value clamped to the very end of the block has no room of its own: its (empty)
        // copy shares the block's last byte rather than landing past the caller's buffer.
        size_t at = room ? node.valueOff : total - 1;
        uint8_t *ansi = (uint8_t *)pBlock + total + 4 + at;
        if (!room)
            room = 1;
        std::u16string w;
        for (size_t i = 0; 2 * i + 1 < node.valueLen; ++i) {
            uint16_t c = rd16(block + node.valueOff + 2 * i);
            if (!c)
                break;
            w += (char16_t)c;
        }
        int n = w.empty() || room < 2 ? 0
                                      : WideCharToMultiByte(CP_ACP, 0, (LPCWSTR)w.data(), (int)w.size(),
                                                            (LPSTR)ansi, (int)(room - 1), NULL, NULL);
        if (room)
            ansi[n] = 0;
        *lplpBuffer = ansi;
        if (puLen)
            *puLen = (UINT)n + 1;
    } else {
        *lplpBuffer = (void *)(block + node.valueOff);
        if (puLen)
            *puLen = (UINT)node.valueLen;
    }
    return TRUE;
}
