/* Scratch folders of the tools' own in the user's temporary folder. */
#pragma once
#include <string>

namespace scratch {

/* Makes a new folder in the user's temporary folder named `prefix` and 16 random hexadecimal
 * digits, created exclusively (an existing name is never taken over) and only for this user
 * (0700 on POSIX hosts).  RETURNS: its path without a trailing separator, "" with the error set
 * (GetLastError) when none can be made. */
std::string MakeFolder(const std::string &prefix);

/* Removes a folder made by MakeFolder with what it holds, never through a link. */
void RemoveFolder(const std::string &folder);

}  // namespace scratch
