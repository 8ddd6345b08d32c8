/* The resource table of a registered module, shared by the resource-loading files. */
#pragma once
#include <windows.h>

#include <stdint.h>

#include <string>
#include <vector>

namespace compat {

struct ResId {
    int num = -1;      // >= 0: an integer id
    std::string name;  // otherwise an upper-cased name
    bool operator==(const ResId &o) const { return num >= 0 ? num == o.num : (o.num < 0 && name == o.name); }
};

struct ResEntry {
    ResId type, name;
    int language = 0;
    const uint8_t *data = nullptr;
    uint32_t size = 0;
};

/* Finds a resource of `module`; language < 0 takes any.  Sets the last error when absent. */
const ResEntry *find_resource(HMODULE module, LPCSTR type, LPCSTR name, int language);

/* The modules whose resources are registered. */
std::vector<HMODULE> registered_modules();

}  // namespace compat
