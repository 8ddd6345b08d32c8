/*
 * A host for plug-in modules, as the application hosts them: load the module, take its
 * plug-in from MD_GetPlugInInterface, hand it a frame whose directory knows every plug-in
 * loaded here (and any registered in-process), create the resource component and reach its
 * provider.  Every call on a plug-in goes through its slot table by index, as a host built by
 * another compiler would make it.
 */
#pragma once
#include <windows.h>

#include <string>
#include <vector>

#include "plugin_object.h"

namespace host {

/* Slot indices of the plug-in object and the provider. */
enum PlugInSlot { PI_DESTROY = 0, PI_QUERY, PI_CREATECOMPONENT, PI_GETGUID, PI_QUERYCOMPONENT,
                  PI_DESTROYCOMPONENT, PI_GETTYPE, PI_SETFRAME, PI_NEWCOMPONENT };
enum ProviderSlot { RP_DESTROY = 0, RP_QUERY, RP_GETINSTANCE, RP_LOADRESSTRING, RP_LOADRESCURSOR,
                    RP_GETFONTFACENAME, RP_GETFONTCHARSET, RP_ADJUSTFONTSIZE };

class HostDir;

/* The host's frame: slot 2 the directory, slot 9 the resource provider (the provider of the
 * first resource component this host created). */
class HostFrame : public IHostFrame {
public:
    explicit HostFrame(IPlugInDir *dir) : m_dir(dir), m_provider(nullptr) {}
    MD_DECLARE_DESTROY(HostFrame)
    void *Query(int32_t) override { return nullptr; }
    IPlugInDir *GetPlugInDir() override { return m_dir; }
    void *HostSlot3() override { return nullptr; }
    void *HostSlot4() override { return nullptr; }
    void *HostSlot5() override { return nullptr; }
    void *HostSlot6() override { return nullptr; }
    void *HostSlot7() override { return nullptr; }
    void *HostSlot8() override { return nullptr; }
    IResProvider *GetResourceProvider() override { return m_provider; }
    void SetProvider(IResProvider *p) { m_provider = p; }
    ~HostFrame() = default;

private:
    IPlugInDir *m_dir;
    IResProvider *m_provider;
};

class HostDir : public IPlugInDir {
public:
    MD_DECLARE_DESTROY(HostDir)
    void *Query(int32_t) override { return nullptr; }
    CPlugIn *FindByGUID(const GUID *guid) override;
    void Add(CPlugIn *plugin) { m_plugins.push_back(plugin); }
    void Remove(CPlugIn *plugin);
    ~HostDir() = default;

private:
    std::vector<CPlugIn *> m_plugins;
};

/* One loaded module with its plug-in. */
class PlugInHost {
public:
    PlugInHost();
    ~PlugInHost();
    PlugInHost(const PlugInHost &) = delete;
    PlugInHost &operator=(const PlugInHost &) = delete;

    /* Loads the module, identifies its plug-in, hands it the frame and creates the resource
     * component.  Returns false with a reason in error(). */
    bool Load(const std::string &path);
    /* Destroys the component and unloads the module. */
    void Unload();

    CPlugIn *plugin() const { return m_plugin; }
    IResProvider *provider() const { return m_provider; }
    HMODULE module() const { return m_module; }
    HostFrame &frame() { return m_frame; }
    HostDir &dir() { return m_dir; }
    const std::string &error() const { return m_error; }

    /* Slot calls by index. */
    int32_t Type();
    bool Guid(GUID *out);
    std::string String(uint32_t id, int32_t bufsize = 1024, int32_t *count = nullptr);
    HCURSOR Cursor(int32_t id);

private:
    HMODULE m_module;
    CPlugIn *m_plugin;
    IPlugInComponent *m_component;
    IResProvider *m_provider;
    HostDir m_dir;
    HostFrame m_frame;
    std::string m_error;
};

std::string GuidToString(const GUID &g);

}  // namespace host
