/*
 * The one host frame of the UI test program (the library keeps the first frame for the life of
 * the process) and a resource provider whose language and strings the tests choose.
 */
#pragma once
#include <string.h>

#include <map>
#include <string>

#include "basefun.h"
#include "host_frame.h"
#include "plugin.h"

namespace uitest {

/* The module's provider with the strings a test gives (string 2, the language, decides the
 * East-Asian minimum size exactly as in the module). */
class TestProvider : public CResProvider {
public:
    std::map<uint32_t, std::string> strings;
    int32_t LoadResString(uint32_t id, char *buffer, int32_t size) override
    {
        auto it = strings.find(id);
        if (it == strings.end() || size <= 0 || !buffer)
            return 0;
        int32_t n = (int32_t)it->second.size();
        if (n > size - 1)
            n = size - 1;
        memcpy(buffer, it->second.data(), (size_t)n);
        buffer[n] = 0;
        return n;
    }
};

using testkit::TestFrame;

/* Installs the program's frame (once) and gives it `provider` (null: no provider). */
inline void UseProvider(IResProvider *provider)
{
    static TestFrame frame;
    SetHostFrame(&frame);
    frame.provider = provider;
}

}  // namespace uitest
