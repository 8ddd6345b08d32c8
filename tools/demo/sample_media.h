/*
 * The demo's sample folder: media drawn and synthesised by the program itself, so the main
 * job needs no files from anywhere.
 */
#pragma once
#include <string>
#include <vector>

namespace demo {

struct SampleFile {
    std::string name;  // file name inside the folder
    std::string what;  // a few words for the listing
};

/* Writes photo.jpg (a photo-like landscape), badge.bmp (24-bit), logo.png (with alpha),
 * tone.wav (1 s, 8 kHz, 16-bit mono, 440 Hz), note.txt and show.smil (two slides: photo with
 * the text, then the logo with the tone) into `folder`, which must exist.  false with *error
 * on the first file that cannot be written. */
bool MakeSampleFolder(const std::string &folder, std::vector<SampleFile> *files, std::string *error);

}  // namespace demo
