/* Folders only this user can enter (plain types: shared with the POSIX-only sources). */
#pragma once
#include <stdint.h>

#include <string>

namespace compat {

/* Makes the host folder `path` (0700) when missing and checks that only this user can enter
 * it: a real folder, not a link, owned by this user, no permission for group or others.
 * RETURNS: 0 (ERROR_SUCCESS), or why it is refused (COMPAT_ERROR_FOLDER_*, or the error met). */
uint32_t private_folder(const std::string &path);
/* This user's private temporary folder, "$TMPDIR/medley-<uid>" (or under /tmp), no trailing
 * separator, made and checked by private_folder. */
uint32_t temp_folder(std::string *folder);
/* $HOME, else the home folder of the password database, else the private temporary folder;
 * "" when none can be had. */
std::string home_folder();

}  // namespace compat
