/* Writing a DIB memory block as a PNG file, for pictures a person looks at. */
#pragma once
#include <windows.h>

#include <string>

namespace demo {

/* Writes the DIB block (1, 4, 8 or 24 bits per pixel) as an RGB PNG at `path`.  false with
 * *error for a block that is not a DIB this library makes, or a file that cannot be written. */
bool WriteDibPng(HGLOBAL hDib, const std::string &path, std::string *error);

}  // namespace demo
