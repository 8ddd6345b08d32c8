/* UI template files: the input is the file.  A read either refuses with a reason or gives
 * templates whose every control lies inside its template's size with a name of 1 to 63 name
 * characters, unique within it, and whose pictures are .bmp names without a folder. */
#include <stddef.h>
#include <stdint.h>
#include <stdio.h>

#include <string>

#include "skui_template.h"

#include "fuzz_check.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    GUI::SkuiTemplateFile f;
    std::string why;
    if (!GUI::SkuiParseTemplateText((const char *)data, size, &f, &why)) {
        CHECK(!why.empty());
        CHECK(f.templates.empty());
        return 0;
    }
    CHECK(f.templates.size() <= GUI::SKUI_TEMPLATES_MAX);
    for (const GUI::SkuiTemplateDef &t : f.templates) {
        CHECK(!t.name.empty() && t.name.size() <= GUI::SKUI_NAME_MAX);
        CHECK(f.Find(t.name.c_str()) == &t);
        CHECK(t.controls.size() <= GUI::SKUI_CONTROLS_MAX);
        for (const GUI::SkuiControlDef &c : t.controls) {
            CHECK(!c.name.empty() && c.name.size() <= GUI::SKUI_NAME_MAX);
            CHECK(c.name.find_first_of("\\/: \t") == std::string::npos);
            CHECK(t.Find(c.name.c_str()) == &c);
            if (c.kind >= 0) {
                CHECK(c.left < c.right && c.top < c.bottom);
                CHECK(c.left >= 0 && c.top >= 0 && c.right <= t.width && c.bottom <= t.height);
            }
            for (const std::string &img : c.image)
                CHECK(img.empty() || (img.size() >= 5 && img.find_first_of("\\/:") == std::string::npos));
        }
    }
    return 0;
}
