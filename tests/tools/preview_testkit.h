/* Messages for the preview tests: the demo's, hand-made ones, and ones with hostile names. */
#pragma once
#include <string>
#include <vector>

#include "demo.h"
#include "mime.h"
#include "testkit.h"

namespace preview_test {

std::vector<unsigned char> Bytes(const std::string &s);
/* A part of a message to build: its name, content type, bytes and Content-ID (or null). */
struct PartSpec {
    std::string name, type;
    std::vector<unsigned char> data;
    const char *contentId = nullptr;
};
/* The message of these parts, led by the presentation `smil` where it is not empty, written as
 * dir/file; its path, or "" on failure. */
std::string BuildMessage(const testkit::TempDir &dir, const std::string &file, const std::vector<PartSpec> &parts,
                         const std::string &smil = "");
/* A 16 x 16 GIF of `frames` frames, each all of the first colour of its table: pure green. */
std::vector<unsigned char> TinyGif(int frames = 1);
/* The demo's sample folder made into a related message (its presentation: two slides); the
 * message's path, or "" on failure. */
std::string DemoMessage(const testkit::TempDir &dir);
/* A mixed message of one small GIF per name, the parts carrying exactly these names (written
 * under harmless names first, the names then put in place in the file); its path or "". */
std::string MessageWithNames(const testkit::TempDir &dir, const std::vector<std::string> &names);
/* The names in a folder, sorted (sub-folders with a trailing "/"). */
std::vector<std::string> FilesIn(const std::string &folder);
/* The demo run with `o`, its report lines kept instead of printed. */
std::vector<std::string> RunDemo(demo::Options &o, demo::Report *r);
/* Whether a line holds `what`. */
bool Mentions(const std::vector<std::string> &lines, const std::string &what);

/* A PNG read back through the imaging library: RGB, top-down; w == 0 when it cannot be read. */
struct Picture {
    int w = 0, h = 0;
    std::vector<unsigned char> rgb;
    const unsigned char *at(int x, int y) const { return &rgb[((size_t)y * w + x) * 3]; }
};
Picture ReadPicture(const std::string &path);

}  // namespace preview_test
