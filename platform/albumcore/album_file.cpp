/*
 * The album file.  All numbers little-endian.
 *
 *   offset size  header (32 bytes)
 *   0      8     "MDALBUM" 0x1A
 *   8      2     version: 1
 *   10     2     header size: 32 (a reader skips what a later header adds)
 *   12     4     F, the number of field definitions (1 to 64)
 *   16     4     N, the number of objects
 *   20     4     B, the size of the body that follows the header; the file ends with it
 *   24     4     CRC-32 (ISO 3309, as in zip and PNG) of the body
 *   28     4     0
 *
 *   body: F field definitions, in the table's order
 *     4  kind (0 data, 1 thumbnail image)
 *     4  size in bytes
 *     1  name length L (1 to 126), then L bytes of name (unique within the table)
 *   then N objects, in the album's order (the first is object 1)
 *     2  path length P (1 to 259), then P bytes of path
 *     2  number of fields set K (at most F), then K times, by ascending field number:
 *        2  field number (0 to F - 1)
 *        4  data length D (at most the field's limit: its size or 260 bytes, whichever is
 *           more, for data; 16 MB for the image), then D bytes
 *
 * A file is whole when the magic, version, sizes, counts and checksum all agree: a reader
 * takes all of it or nothing.
 */
#include <string.h>

#include "album_private.h"

namespace {

const char kMagic[8] = {'M', 'D', 'A', 'L', 'B', 'U', 'M', 0x1A};
const uint16_t kVersion = 1;
const size_t kHeader = 32;

void Put(std::vector<uint8_t> &b, uint32_t v, int n)
{
    for (int i = 0; i < n; ++i)
        b.push_back((uint8_t)(v >> (8 * i)));
}

/* A bounded reader: never past `end`; the first failure sticks. */
struct Cursor {
    const uint8_t *p, *end;
    bool bad = false;
    uint32_t get(int n)
    {
        if ((size_t)(end - p) < (size_t)n) {
            bad = true;
            p = end;
            return 0;
        }
        uint32_t v = 0;
        for (int i = 0; i < n; ++i)
            v |= (uint32_t)p[i] << (8 * i);
        p += n;
        return v;
    }
    const uint8_t *take(size_t n)
    {
        if ((size_t)(end - p) < n) {
            bad = true;
            p = end;
            return nullptr;
        }
        const uint8_t *at = p;
        p += n;
        return at;
    }
};

}  // namespace

namespace album {

uint32_t Crc32(const uint8_t *data, size_t size)
{
    static uint32_t table[256];
    static bool ready = false;
    if (!ready) {
        for (uint32_t i = 0; i < 256; ++i) {
            uint32_t c = i;
            for (int k = 0; k < 8; ++k)
                c = c & 1 ? 0xEDB88320u ^ (c >> 1) : c >> 1;
            table[i] = c;
        }
        ready = true;
    }
    uint32_t crc = 0xFFFFFFFFu;
    for (size_t i = 0; i < size; ++i)
        crc = table[(crc ^ data[i]) & 0xFF] ^ (crc >> 8);
    return crc ^ 0xFFFFFFFFu;
}

std::vector<uint8_t> Encode(const std::vector<Field> &table, const std::vector<Object> &objects)
{
    std::vector<uint8_t> body;
    for (const Field &f : table) {
        Put(body, f.kind, 4);
        Put(body, f.size, 4);
        Put(body, (uint32_t)f.name.size(), 1);
        body.insert(body.end(), f.name.begin(), f.name.end());
    }
    for (const Object &o : objects) {
        Put(body, (uint32_t)o.path.size(), 2);
        body.insert(body.end(), o.path.begin(), o.path.end());
        std::vector<std::pair<size_t, const std::vector<uint8_t> *>> set;
        for (size_t i = 0; i < table.size(); ++i) {
            auto it = o.fields.find(table[i].name);
            if (it != o.fields.end())
                set.push_back({i, &it->second});
        }
        Put(body, (uint32_t)set.size(), 2);
        for (const auto &s : set) {
            Put(body, (uint32_t)s.first, 2);
            Put(body, (uint32_t)s.second->size(), 4);
            body.insert(body.end(), s.second->begin(), s.second->end());
        }
    }
    std::vector<uint8_t> file(kMagic, kMagic + 8);
    Put(file, kVersion, 2);
    Put(file, (uint32_t)kHeader, 2);
    Put(file, (uint32_t)table.size(), 4);
    Put(file, (uint32_t)objects.size(), 4);
    Put(file, (uint32_t)body.size(), 4);
    Put(file, Crc32(body.data(), body.size()), 4);
    Put(file, 0, 4);
    file.insert(file.end(), body.begin(), body.end());
    return file;
}

bool Decode(const uint8_t *data, size_t size, std::vector<Field> *table, std::vector<Object> *objects,
            DWORD *error)
{
    if (size < 12 || memcmp(data, kMagic, 8) != 0) {
        *error = ERROR_BAD_FORMAT;
        return false;
    }
    *error = ERROR_FILE_CORRUPT;
    Cursor h{data + 8, data + size};
    uint32_t version = h.get(2);
    uint32_t headerSize = h.get(2);
    if (h.bad)
        return false;
    if (version != kVersion) {
        *error = version > kVersion ? ERROR_NOT_SUPPORTED : ERROR_FILE_CORRUPT;
        return false;
    }
    uint32_t nFields = h.get(4), nObjects = h.get(4), bodySize = h.get(4), crc = h.get(4);
    if (h.bad || headerSize < kHeader || headerSize > size || size - headerSize != bodySize)
        return false;
    const uint8_t *body = data + headerSize;
    if (Crc32(body, bodySize) != crc || nFields < 1 || nFields > kMaxFields)
        return false;

    Cursor c{body, body + bodySize};
    std::vector<Field> fields;
    for (uint32_t i = 0; i < nFields; ++i) {
        Field f;
        f.kind = c.get(4);
        f.size = c.get(4);
        uint32_t len = c.get(1);
        const uint8_t *name = c.take(len);
        if (c.bad || len < 1 || len >= ABM_FIELD_NAME || f.kind > 1 || memchr(name, 0, len))
            return false;
        f.name.assign((const char *)name, len);
        for (const Field &g : fields)
            if (g.name == f.name)
                return false;
        fields.push_back(f);
    }
    // Each object takes at least 4 bytes: a count beyond that cannot be right.
    if (nObjects > bodySize / 4)
        return false;
    std::vector<Object> objs;
    objs.reserve(nObjects);
    for (uint32_t i = 0; i < nObjects; ++i) {
        Object o;
        uint32_t len = c.get(2);
        const uint8_t *path = c.take(len);
        if (c.bad || len < 1 || len > kMaxPath || memchr(path, 0, len))
            return false;
        o.path.assign((const char *)path, len);
        uint32_t k = c.get(2);
        if (c.bad || k > nFields)
            return false;
        int last = -1;
        for (uint32_t j = 0; j < k; ++j) {
            uint32_t number = c.get(2);
            uint32_t dataLen = c.get(4);
            if (c.bad || number >= nFields || (int)number <= last || dataLen > FieldLimit(fields[number]))
                return false;
            const uint8_t *d = c.take(dataLen);
            if (c.bad)
                return false;
            o.fields[fields[number].name].assign(d, d + dataLen);
            last = (int)number;
        }
        objs.push_back(std::move(o));
    }
    if (c.p != c.end)
        return false;  // bytes the counts do not account for
    *table = std::move(fields);
    *objects = std::move(objs);
    return true;
}

}  // namespace album
