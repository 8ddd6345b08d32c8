/* File attributes shared by the file sources (file.cpp, file_attrib.cpp). */
#pragma once
#include <sys/stat.h>

#include <string>

#include "internal.h"

namespace compat {

/* The attributes kept beside the permission bits (see file_attrib.cpp). */
const DWORD kKeptAttributes = FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM |
                              FILE_ATTRIBUTE_ARCHIVE | FILE_ATTRIBUTE_TEMPORARY | 0x1000 /* OFFLINE */ |
                              0x2000 /* NOT_CONTENT_INDEXED */;

/* The kept attributes of a host file, false when it has none. */
bool kept_attributes(const std::string &host, DWORD *attrs);
/* Keeps `attrs` (the bits of kKeptAttributes) for a host file; quietly nothing where the host
 * file system cannot keep them. */
void keep_attributes(const std::string &host, DWORD attrs);
/* What GetFileAttributesA reports for the host file `host` (last component `name`). */
DWORD file_attributes(const struct stat &st, const std::string &name, const std::string &host);
/* Windows refuses to delete, or to open for writing, what is read-only. */
bool is_read_only(const struct stat &st, const std::string &host);

}  // namespace compat
