/* The album file and the albums in memory (album_file.cpp, album_objects.cpp). */
#pragma once
#include <stdint.h>

#include <map>
#include <string>
#include <vector>

#include "albumcore.h"

#ifndef ERROR_FILE_CORRUPT
#define ERROR_FILE_CORRUPT 1392L
#endif
#ifndef ERROR_BAD_FORMAT
#define ERROR_BAD_FORMAT 11L
#endif
#ifndef ERROR_FILE_TOO_LARGE
#define ERROR_FILE_TOO_LARGE 223L
#endif

namespace album {

const size_t kMaxFields = 64;
const size_t kMaxPath = MAX_PATH - 1;          // characters of an object's path
const uint32_t kTextFieldFloor = 260;          // a data field holds at least this much
const uint32_t kImageFieldMax = 16u << 20;     // the thumbnail image field
const uint64_t kMaxAlbumFile = 1ull << 30;     // far beyond any album

struct Field {
    uint32_t kind = 0;
    uint32_t size = 0;
    std::string name;
};

struct Object {
    std::string path;
    std::map<std::string, std::vector<uint8_t>> fields;  // by field name
};

/* The most a field of this definition holds. */
inline uint32_t FieldLimit(const Field &f)
{
    return f.kind == 1 ? kImageFieldMax : (f.size > kTextFieldFloor ? f.size : kTextFieldFloor);
}

/* An album file's bytes from a field table and objects (every field an object holds is in the
 * table). */
std::vector<uint8_t> Encode(const std::vector<Field> &table, const std::vector<Object> &objects);

/* Reads an album file's bytes.  True with the table and objects; false with the reason
 * (ERROR_BAD_FORMAT: not an album file; ERROR_NOT_SUPPORTED: a later version;
 * ERROR_FILE_CORRUPT: damaged or cut short). */
bool Decode(const uint8_t *data, size_t size, std::vector<Field> *table, std::vector<Object> *objects,
            DWORD *error);

uint32_t Crc32(const uint8_t *data, size_t size);

}  // namespace album
