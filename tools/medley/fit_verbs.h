/* Fitting a message to a size budget from the command line: shared by `medley fit` and
 * `medley pack --max-size`. */
#pragma once
#include <string>

namespace medley {

/* "300k" (KiB), "1m" (MiB), "300000" (octets); also "kb", "KiB", "mb", "MiB" in any case.
 * false for anything else, zero, or more than 2 GiB - 1. */
bool ParseSize(const std::string &text, unsigned long *octets);

/* Fits the folder (fromFolder) or the message file `source` into `out` within `budget`
 * octets, printing the per-part table and a verdict; sets the exit code. */
void RunFit(const std::string &source, bool fromFolder, const std::string &out, unsigned long budget);

}  // namespace medley
