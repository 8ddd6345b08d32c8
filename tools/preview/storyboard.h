/*
 * The storyboard: every slide of a presentation as a cell the size of the phone's screen, in
 * rows, with the slide number, its time and its sound written under each cell.
 *
 * Board layout (pixels of the picture):
 *
 *   +--------------------------------------------------+
 *   | header: slide count, screen size, missing/unused |  kHeaderHeight
 *   +--------------------------------------------------+
 *   | gap | cell | gap | cell | gap | ...              |  a row: cell height + kCaptionHeight
 *   |     | caption    | caption                       |
 *   | ...                                              |
 *   | "and N more slides" (only when the count is cut)  |  kFooterHeight
 *   +--------------------------------------------------+
 *
 * Each cell is framed by a one-pixel line of kFrameColour on the board's kBoardColour, so a
 * reader of the picture can count the cells.
 */
#pragma once
#include <stdint.h>

#include <windows.h>

#include <string>
#include <vector>

#include "preview_model.h"

namespace preview {

/* A TrueType face for drawing text (DejaVu Sans, found at run time). */
class Face {
public:
    Face();
    ~Face();
    Face(const Face &) = delete;
    Face &operator=(const Face &) = delete;
    /* Loads the face from the first place it is found: the program's folder (DejaVuSans.ttf),
     * Debian's fonts-dejavu-core folder (under Wine: drive Z:), the Windows fonts folder; or
     * only from MEDLEY_FONT when that is set.  false with *error naming where it looked and
     * what to install. */
    bool Load(std::string *error);
    /* Loads a given file; false with *error. */
    bool LoadFile(const std::string &path, std::string *error);
    const std::string &path() const { return m_path; }

    struct Impl;
    Impl *impl() const { return m_impl; }

private:
    Impl *m_impl;
    std::string m_path;
};

/* An RGB picture, top-down, 3 octets a pixel. */
struct Canvas {
    int w = 0, h = 0;
    std::vector<uint8_t> rgb;
};

enum : uint32_t { kBoardColour = 0xE8E8E8, kFrameColour = 0x707070 };
enum { kGap = 14, kHeaderHeight = 40, kCaptionHeight = 50, kFooterHeight = 30, kMaxCells = 40, kMaxColumns = 5 };
/* The longest side a cell is drawn at; larger screens are drawn smaller. */
enum { kMaxCellSide = 360 };

struct Storyboard {
    Canvas canvas;
    double scale = 1;          // cell pixels per layout pixel
    std::vector<Rect> cells;   // each drawn cell's screen, inside its frame
    int more = 0;              // slides not drawn
};

/* Draws the presentation whose parts lie staged in stageFolder.  Damaged pictures and missing
 * media are drawn as placeholder cells saying so.  At most maxCells cells are drawn (the rest
 * counted in a last line).  false with *error only for no memory. */
bool DrawStoryboard(const Presentation &p, const std::string &stageFolder, const Face &face, Storyboard *out,
                    std::string *error, int maxCells = kMaxCells);

/* Writes the canvas as a PNG file, whole or not at all.  false with *error (GetLastError() then
 * holds the file call's code). */
bool WritePng(const Canvas &c, const std::string &path, std::string *error);

/* A DIB block (1, 4, 8, 24 or 32 bits a pixel, bottom-up or top-down) as RGB pixels; false for
 * a block that is not such a DIB or whose pixels reach past its end. */
bool DibToCanvas(HGLOBAL hDib, Canvas *out);

/* A DIB block written as an RGB PNG file, whole or not at all; false with *error, as WritePng. */
bool WriteDibPng(HGLOBAL hDib, const std::string &path, std::string *error);

}  // namespace preview
