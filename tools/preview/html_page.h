/*
 * The web page of a message: index.html and the message's parts in one folder, the slides
 * played as a phone plays them (each for its time, with its sound), play / previous / next
 * controls and a table of the parts.
 *
 * The page loads nothing from outside its folder: the player is a script inside the page, the
 * parts lie beside it under names of our own.  Every text taken from the message (part names,
 * types, content ids, the slides' texts) is escaped, so no part can bring markup or script
 * into the page.
 */
#pragma once
#include <string>

#include "preview_model.h"

namespace preview {

/* Outside text for HTML content and double-quoted attribute values: & < > " ' escaped. */
std::string HtmlEscape(const std::string &s);

/* The page for a presentation whose parts are staged beside it. */
std::string HtmlPage(const Presentation &p);

struct HtmlResult {
    Presentation presentation;
    std::string indexPath;
};

/* Reads the message, writes its parts and index.html into outFolder (made when missing; one
 * level), each file whole or not at all.  false with *error (GetLastError() holding the cause).
 * NOTES: only files named by this program ("index.html", "presentation.smil", "partN.ext") are
 * written, all inside outFolder; a file there that is the message itself is never replaced. */
bool WriteHtmlPreview(const std::string &messagePath, const std::string &outFolder, HtmlResult *out,
                      std::string *error);

}  // namespace preview
