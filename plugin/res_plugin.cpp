/* CResPlugIn and CResComponent, and the module-wide plug-in object. */
#include <new>

#include "basefun.h"
#include "plugin.h"

const GUID GUID_PLUGIN_REDLL = {0xEE0775CB, 0x88E3, 0x439A, {0x81, 0xBA, 0xB9, 0x47, 0x80, 0x0A, 0x93, 0xF6}};

static CResPlugIn *g_plugin = nullptr;     // owned by the module
static CPlugIn *g_interface = nullptr;     // what the export hands out; not owned

CResPlugIn *GetModulePlugIn() { return g_plugin; }

CResPlugIn::CResPlugIn()
{
    m_nType = 3;
    m_guid = GUID_PLUGIN_REDLL;
}

void CResPlugIn::SetFrame(IHostFrame *frame) { SetHostFrame(frame); }

IPlugInComponent *CResPlugIn::NewComponent() { return new (std::nothrow) CResComponent(); }

CResComponent::CResComponent()
{
    m_provider.SetInstance(g_plugin ? g_plugin->GetInstance() : nullptr);
}

void *CResComponent::Query(int32_t id)
{
    if (id == MD_IID_RESPROVIDER || id == MD_IID_ROOT)
        return static_cast<IResProvider *>(&m_provider);
    return nullptr;
}

BOOL PlugInProcessAttach(HINSTANCE instance)
{
    g_plugin = new (std::nothrow) CResPlugIn();
    if (!g_plugin)
        return FALSE;  // nothing to hand out: fail the load rather than publish null
    g_plugin->SetInstance(instance);
    g_interface = g_plugin;
    return TRUE;
}

void PlugInProcessDetach()
{
    if (g_plugin) {
        g_plugin->Destroy(1);
        g_plugin = nullptr;
    }
    g_interface = nullptr;
}

CPlugIn *PlugInGetInterface() { return g_interface; }
