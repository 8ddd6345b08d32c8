#include "plugin_host.h"

#include <stdio.h>
#include <string.h>

#include <algorithm>

namespace host {

CPlugIn *HostDir::FindByGUID(const GUID *guid)
{
    if (!guid)
        return nullptr;
    for (CPlugIn *p : m_plugins) {
        GUID g;
        if (MdCallSlot<int32_t>(p, PI_GETGUID, &g) && memcmp(&g, guid, sizeof g) == 0)
            return p;
    }
    return nullptr;
}

void HostDir::Remove(CPlugIn *plugin)
{
    m_plugins.erase(std::remove(m_plugins.begin(), m_plugins.end(), plugin), m_plugins.end());
}

PlugInHost::PlugInHost()
    : m_module(nullptr), m_plugin(nullptr), m_component(nullptr), m_provider(nullptr), m_frame(&m_dir)
{
}

PlugInHost::~PlugInHost() { Unload(); }

bool PlugInHost::Load(const std::string &path)
{
    Unload();
    m_module = LoadLibraryA(path.c_str());
    if (!m_module) {
        m_error = "cannot load " + path + " (error " + std::to_string(GetLastError()) + ")";
        return false;
    }
    typedef CPlugIn *(*GetInterfaceFn)();
    GetInterfaceFn get = (GetInterfaceFn)(void *)GetProcAddress(m_module, "MD_GetPlugInInterface");
    if (!get) {
        m_error = path + " has no MD_GetPlugInInterface";
        Unload();
        return false;
    }
    m_plugin = get();
    if (!m_plugin) {
        m_error = path + " published no plug-in";
        Unload();
        return false;
    }
    m_dir.Add(m_plugin);
    MdCallSlot<void>(m_plugin, PI_SETFRAME, static_cast<IHostFrame *>(&m_frame));
    m_component = MdCallSlot<IPlugInComponent *>(m_plugin, PI_CREATECOMPONENT);
    if (m_component)
        m_provider = (IResProvider *)MdCallSlot<void *>(m_plugin, PI_QUERYCOMPONENT, m_component,
                                                       (int32_t)MD_IID_RESPROVIDER);
    if (!m_provider) {
        m_error = path + " gave no resource provider";
        Unload();
        return false;
    }
    if (!m_frame.GetResourceProvider())
        m_frame.SetProvider(m_provider);
    return true;
}

void PlugInHost::Unload()
{
    if (m_plugin && m_component)
        MdCallSlot<void>(m_plugin, PI_DESTROYCOMPONENT, m_component);
    if (m_frame.GetResourceProvider() == m_provider)
        m_frame.SetProvider(nullptr);
    if (m_plugin)
        m_dir.Remove(m_plugin);
    m_component = nullptr;
    m_provider = nullptr;
    m_plugin = nullptr;
    if (m_module)
        FreeLibrary(m_module);
    m_module = nullptr;
}

int32_t PlugInHost::Type() { return m_plugin ? MdCallSlot<int32_t>(m_plugin, PI_GETTYPE) : 0; }

bool PlugInHost::Guid(GUID *out) { return m_plugin && MdCallSlot<int32_t>(m_plugin, PI_GETGUID, out) == 1; }

std::string PlugInHost::String(uint32_t id, int32_t bufsize, int32_t *count)
{
    std::vector<char> buf((size_t)(bufsize > 0 ? bufsize : 1), 0);
    int32_t n = m_provider ? MdCallSlot<int32_t>(m_provider, RP_LOADRESSTRING, id, buf.data(), bufsize) : 0;
    if (count)
        *count = n;
    return n > 0 ? std::string(buf.data()) : std::string();
}

HCURSOR PlugInHost::Cursor(int32_t id)
{
    return m_provider ? MdCallSlot<HCURSOR>(m_provider, RP_LOADRESCURSOR, id) : nullptr;
}

std::string GuidToString(const GUID &g)
{
    char s[64];
    snprintf(s, sizeof s, "{%08x-%04x-%04x-%02x%02x-%02x%02x%02x%02x%02x%02x}", (unsigned)g.Data1, g.Data2, g.Data3,
             g.Data4[0], g.Data4[1], g.Data4[2], g.Data4[3], g.Data4[4], g.Data4[5], g.Data4[6], g.Data4[7]);
    return s;
}

}  // namespace host
