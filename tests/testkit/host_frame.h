/* A host frame whose plug-in folder and resource provider a test chooses; it counts the asks
 * for the provider. */
#pragma once
#include "plugin.h"

namespace testkit {

class TestFrame : public IHostFrame {
public:
    MD_DECLARE_DESTROY(TestFrame)
    void *Query(int32_t) override { return nullptr; }
    IPlugInDir *GetPlugInDir() override { return dir; }
    void *HostSlot3() override { return nullptr; }
    void *HostSlot4() override { return nullptr; }
    void *HostSlot5() override { return nullptr; }
    void *HostSlot6() override { return nullptr; }
    void *HostSlot7() override { return nullptr; }
    void *HostSlot8() override { return nullptr; }
    IResProvider *GetResourceProvider() override
    {
        ++providerAsks;
        return provider;
    }
    IPlugInDir *dir = nullptr;
    IResProvider *provider = nullptr;
    int providerAsks = 0;
    ~TestFrame() = default;
};

}  // namespace testkit
