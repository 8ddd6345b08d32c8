/*
 * The skinned-GUI library's UI template files: a small line-based text format naming, for each
 * template, the screen's size and background, its controls (buttons and user-defined areas,
 * each with a name and a rectangle) and the pictures of the controls' states.  docs/ui-template.md
 * describes the format; the reader refuses a damaged file and says why (line and cause).
 *
 * Portable: the reader is plain text handling, built on every target (and fuzzed).
 */
#pragma once
#include <stddef.h>
#include <stdint.h>

#include <string>
#include <vector>

#include "platform_api.h"

#ifdef SKUILIB_BUILD
#define SKUI_TEMPLATE_API MD_DLL_EXPORT
#else
#define SKUI_TEMPLATE_API MD_DLL_IMPORT
#endif

namespace GUI {

enum { SKUI_NAME_MAX = 63 };                  // characters of a name or a file name
enum { SKUI_COORD_MAX = 4096 };               // largest size and coordinate
enum { SKUI_FILE_MAX = 64 * 1024 };           // largest template file, in bytes
enum { SKUI_LINE_MAX = 255 };                 // longest line, without its end
enum { SKUI_TEMPLATES_MAX = 16 };             // templates in one file
enum { SKUI_CONTROLS_MAX = 64 };              // controls and areas in one template

enum SkuiControlKind { SKUI_KIND_BUTTON = 0, SKUI_KIND_AREA = 1 };

struct SkuiControlDef {
    std::string name;
    int kind;                       // SkuiControlKind
    int left, top, right, bottom;   // in the screen's client coordinates
    std::string image[4];           // state pictures (file names, "" for none)
};

struct SkuiTemplateDef {
    std::string name;
    int width = 0, height = 0;      // 0 until a size statement
    uint32_t background = 0;        // 0x00BBGGRR (a Windows colour)
    bool hasBackground = false;
    std::string backImage;          // file name, "" for none
    std::vector<SkuiControlDef> controls;

    const SkuiControlDef *Find(const char *lpszName) const  // exact name, or null
    {
        for (const SkuiControlDef &c : controls)
            if (lpszName && c.name == lpszName)
                return &c;
        return nullptr;
    }
};

struct SkuiTemplateFile {
    std::vector<SkuiTemplateDef> templates;
    const SkuiTemplateDef *Find(const char *lpszName) const  // exact name, or null
    {
        for (const SkuiTemplateDef &t : templates)
            if (lpszName && t.name == lpszName)
                return &t;
        return nullptr;
    }
};

/* Reads a template file held in memory.  Returns true and fills *pOut, or false with the reason
 * ("line N: ...") in *pWhy and *pOut emptied.  Never reads outside [pData, pData + nSize). */
SKUI_TEMPLATE_API bool SkuiParseTemplateText(const char *pData, size_t nSize, SkuiTemplateFile *pOut,
                                             std::string *pWhy);

/* Reads the template named lpszTemplate from a layout file (size, background, controls) and an
 * image file (state pictures and background picture of controls the layout names).  Either
 * path may be null (not read).  Returns true and fills *pOut; false with the reason (naming the
 * file) when a file cannot be read, is damaged, lacks the template, or pictures a control the
 * layout does not have. */
SKUI_TEMPLATE_API bool SkuiLoadTemplate(const char *lpszTemplate, const char *lpszLayoutFile,
                                        const char *lpszImageFile, SkuiTemplateDef *pOut, std::string *pWhy);

}  // namespace GUI
