/*
 * What a message shows, slide by slide: the presentation model behind `medley preview`.
 *
 * A message file is opened with the MIME reader.  Its parts are copied into a stage folder
 * under names of our own ("part3.jpg"): a part's own name is outside input and may be no
 * valid file name at all, so it is only ever shown, never used as a path.
 *
 *   related message with a SMIL start part: the presentation is read by the message-document
 *     library from the stage folder, its sources pointed at the staged files first.  A source
 *     the message lacks points at an empty stand-in file while loading, and is reported as
 *     missing; the slide keeps its place with the medium marked missing.
 *   any other message: one slide per picture, with the text (and sound) that goes with it --
 *     the text or sound of the same base name, else the next unused one in message order.
 *
 * Parts no slide uses are reported too.  Nothing is written outside the stage folder.
 */
#pragma once
#include <stdint.h>

#include <string>
#include <vector>

namespace preview {

struct Rect {
    int x = 0, y = 0, w = 0, h = 0;
};

enum class Kind { Other, Picture, Text, Audio, Smil };

struct Part {
    std::string type;      // bare content type, lower case
    std::string charset;   // as the message gives it ("" when none)
    std::string name;      // the part's own name (outside input: escape before showing)
    std::string id;        // content id, with its angle brackets, or ""
    long long offset = 0;  // where its data lies in the message file
    long long length = 0;
    Kind kind = Kind::Other;
    bool start = false;    // the presentation itself
    std::string file;      // staged file name in the stage folder ("" when not written)
    int usedBy = -1;       // first slide that shows or plays it, -1 for none
};

struct Media {
    int part = -1;         // index into Presentation::parts, -1 when missing
    std::string src;       // as the presentation names it (or the part's name)
    bool missing = false;  // named by the presentation, absent from the message
    Rect region;           // where it is shown, in layout pixels
};

struct Slide {
    int durationMs = 0;
    bool hasImage = false, hasText = false, hasAudio = false;
    Media image, text, audio;
    std::string text8;     // the text decoded to UTF-8 (bounded)
    std::string textNote;  // how the text was decoded, when not as plain UTF-8
};

struct Presentation {
    bool fromSmil = false;  // slides read from a SMIL presentation
    std::string messageType;
    int width = 0, height = 0;  // layout size (the phone's screen)
    std::string background;     // "#RRGGBB" or ""
    std::vector<Slide> slides;
    std::vector<Part> parts;
    std::vector<std::string> missing;  // sources named but absent, in order of first use
    std::vector<int> unused;           // indices of parts no slide uses (the start part aside)
    std::vector<std::string> notes;    // what else a person should know
};

/* Layout of a message without a presentation, and each slide's time there. */
enum { kDefaultWidth = 176, kDefaultHeight = 208, kDefaultSlideMs = 5000 };
/* The most text decoded for one slide (octets of UTF-8). */
enum { kMaxTextBytes = 4096 };

/* Reads the message at messagePath into *out, staging its parts in stageFolder (which must
 * exist).  true, or false with *error saying why (the message cannot be opened or is not a
 * message, its presentation is not SMIL, a staged file cannot be written).
 * NOTES: a presentation naming media the message lacks is still read (see above).  The stand-in
 * files for missing media are deleted again before returning. */
bool Load(const std::string &messagePath, const std::string &stageFolder, Presentation *out, std::string *error);

/* The text of a part's octets in UTF-8, decoded by its charset (UTF-8, US-ASCII, ISO-8859-1,
 * UTF-16 with a byte-order mark); *note says how when not plainly.  At most kMaxTextBytes. */
std::string DecodeText(const std::string &bytes, const std::string &charset, std::string *note);

/* A folder and file name joined with the platform's separator. */
std::string Join(const std::string &folder, const std::string &name);

}  // namespace preview
