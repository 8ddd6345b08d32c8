/* Message files octet by octet for the tests: texts, entries, headers and whole files; the
 * folders they are read from and extracted into, and the parts and texts read back. */
#pragma once
#include <windows.h>

#include <string.h>

#include <map>
#include <string>
#include <vector>

#include "mime.h"
#include "testkit.h"

namespace mimetest {

using Bytes = std::vector<unsigned char>;

/* Octets followed by a text and its terminator. */
inline Bytes &Text(Bytes &b, const char *s)
{
    b.insert(b.end(), s, s + strlen(s) + 1);
    return b;
}

inline Bytes Cat(Bytes a, const Bytes &b)
{
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

/* An entry: HeadersLen and DataLen of one octet each, the headers, the data. */
inline Bytes Entry(const Bytes &headers, const Bytes &data)
{
    return Cat(Cat({(unsigned char)headers.size(), (unsigned char)data.size()}, headers), data);
}

struct Part {
    Bytes headers;
    Bytes data;
};

/* A message file of entries: mixed, or related with a Start parameter when start is given. */
inline Bytes Message(bool related, const Bytes &start, const std::vector<Part> &parts)
{
    Bytes b = {0x84};
    if (related && start.empty()) {
        b.push_back(0xB3);
    } else if (related) {
        b = Cat(Cat(b, {(unsigned char)(start.size() + 3), 0xB3, 0x8A}), start);
        b.push_back(0);
    } else {
        b.push_back(0xA3);
    }
    b.push_back((unsigned char)parts.size());
    for (const Part &p : parts)
        b = Cat(b, Entry(p.headers, p.data));
    return b;
}

/* Headers: a content type, then Content-ID (when id is given) and Content-Location (when name
 * is given, quoted when its first octet is above 0x7F). */
inline Bytes Headers(const Bytes &type, const char *name, const char *id = nullptr)
{
    Bytes h = type;
    if (id)
        Text(h = Cat(h, {0xC0, 0x22}), id);
    if (name)
        Text(h = Cat(h, (unsigned char)name[0] >= 0x80 ? Bytes{0x8E, 0x7F} : Bytes{0x8E}), name);
    return h;
}

const Bytes kSmil = {0x13, 'a', 'p', 'p', 'l', 'i', 'c', 'a', 't', 'i', 'o', 'n', '/', 's', 'm', 'i', 'l', 0, 0x81, 0x83};
const Bytes kGif = {0x9D};

/* A folder with its separator; the string lives as long as the folder object's path. */
inline const std::string &Sep(const testkit::TempDir &d)
{
    static std::map<const testkit::TempDir *, std::string> folders;
    return folders[&d] = d.file("");
}

/* The files of a folder (names as the ANSI calls give them) with their octets. */
inline std::map<std::string, Bytes> Files(const std::string &folder)
{
    std::map<std::string, Bytes> out;
    WIN32_FIND_DATAA fd;
    HANDLE h = FindFirstFileA((folder + "*").c_str(), &fd);
    if (h == INVALID_HANDLE_VALUE)
        return out;
    do {
        if (!(fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
            out[fd.cFileName] = testkit::ReadFileBytes(folder + fd.cFileName);
    } while (FindNextFileA(h, &fd));
    FindClose(h);
    return out;
}

/* A part read back from a message file. */
struct ReadPart {
    std::string type, name;
    Bytes data;
};

/* The first element of a list whose name is `name`, or null. */
template <class T>
const T *Named(const std::vector<T> &list, const std::string &name)
{
    for (const T &e : list)
        if (e.name == name)
            return &e;
    return nullptr;
}

/* The parts of a message file in file order, by index or by name (an empty part for a name
 * that is not there). */
struct ReadParts {
    std::vector<ReadPart> list;
    size_t size() const { return list.size(); }
    const ReadPart &operator[](size_t i) const { return list.at(i); }
    size_t count(const std::string &name) const
    {
        size_t n = 0;
        for (const ReadPart &p : list)
            n += p.name == name;
        return n;
    }
    const ReadPart &operator[](const std::string &name) const
    {
        static const ReadPart none;
        const ReadPart *p = Named(list, name);
        return p ? *p : none;
    }
};

/* The parts of the message file at path; none, and a failure, when it does not open. */
inline ReadParts PartsOf(const std::string &path)
{
    ReadParts out;
    size_t sep = path.find_last_of("\\/");
    MIME_MESSAGE *m = MimeOpenFile(path.substr(0, sep + 1).c_str(), path.substr(sep + 1).c_str());
    if (!m) {
        ADD_FAILURE() << path << " does not open";
        return out;
    }
    Bytes all = testkit::ReadFileBytes(path);
    for (MIME_PART *p = m->firstPart; p; p = p->next)
        out.list.push_back({p->contentType ? p->contentType : "", p->name ? p->name : "",
                            Bytes(all.begin() + p->dataOffset, all.begin() + p->dataOffset + p->dataLength)});
    MimeDestroy(m);
    return out;
}

/* A file's octets as a text ("" when it cannot be read). */
inline std::string ReadText(const std::string &path)
{
    Bytes b = testkit::ReadFileBytes(path);
    return std::string(b.begin(), b.end());
}

/* How often a text holds another. */
inline size_t Count(const std::string &hay, const std::string &needle)
{
    size_t n = 0;
    for (size_t at = hay.find(needle); at != std::string::npos; at = hay.find(needle, at + 1))
        ++n;
    return n;
}

/* Writes a file of octets into the folder and opens it as a message. */
inline MIME_MESSAGE *Open(const testkit::TempDir &d, const Bytes &file, const char *name = "in.mms")
{
    testkit::WriteFileBytes(d.file(name), file);
    return MimeOpenFile(Sep(d).c_str(), name);
}

}  // namespace mimetest
