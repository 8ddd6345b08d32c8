/* The host's frame with the plug-in folder and resource provider a test chooses; it counts the
 * asks for the provider. */
#pragma once
#include "plugin_host.h"

namespace testkit {

class TestFrame : public host::HostFrame {
public:
    TestFrame() : HostFrame(nullptr) {}
    IPlugInDir *GetPlugInDir() override { return dir; }
    IResProvider *GetResourceProvider() override
    {
        ++providerAsks;
        return provider;
    }
    IPlugInDir *dir = nullptr;
    IResProvider *provider = nullptr;
    int providerAsks = 0;
};

}  // namespace testkit
