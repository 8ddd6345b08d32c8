/* The host frame store, plug-in lookup and resource access. */
#include "basefun.h"

#include <stdio.h>
#include <string.h>

#include "skuilib.h"

const GUID GUID_PLUGIN_WIZARD = {0x19D2370A, 0xBC6E, 0x4475, {0x9D, 0x62, 0x8F, 0x20, 0xB7, 0x7A, 0x81, 0x39}};

/* ---- assertion report ---- */

static void default_assert_handler(const char *expr, const char *file, int line)
{
    char text[512];
    snprintf(text, sizeof text, "Assertion failed: %s, file %s, line %d\n", expr, file, line);
    OutputDebugStringA(text);
    fputs(text, stderr);
}

static BaseAssertHandler g_assert_handler = default_assert_handler;

BaseAssertHandler BaseSetAssertHandler(BaseAssertHandler handler)
{
    BaseAssertHandler old = g_assert_handler;
    g_assert_handler = handler ? handler : default_assert_handler;
    return old;
}

void BaseAssertReport(const char *expr, const char *file, int line)
{
    // The report names the source file, not the build machine's path to it.
    const char *base = file;
    for (const char *p = file; p && *p; ++p)
        if (*p == '/' || *p == '\\')
            base = p + 1;
    g_assert_handler(expr, base, line);
}

/* ---- frame store ---- */

static IHostFrame *g_frame = nullptr;

void SetHostFrame(IHostFrame *pFrm)
{
    MD_ASSERT(pFrm);
    if (!g_frame)
        g_frame = pFrm;
}

CPlugIn *FindPlugIn(const GUID *guid)
{
    MD_ASSERT(guid);
    if (!guid || !g_frame)
        return nullptr;
    IPlugInDir *pDir = g_frame->GetPlugInDir();
    MD_ASSERT(pDir);
    if (!pDir)
        return nullptr;
    GUID local = *guid;
    return pDir->FindByGUID(&local);
}

IPlugInComponent *CreatePlugInComponent(const GUID *guid)
{
    CPlugIn *plugin = FindPlugIn(guid);
    return plugin ? plugin->CreateComponent() : nullptr;
}

void DestroyPlugInComponent(const GUID *guid, IPlugInComponent *component)
{
    if (CPlugIn *plugin = FindPlugIn(guid))
        plugin->DestroyComponent(component);
}

void *QueryPlugInComponent(const GUID *guid, IPlugInComponent *component, int32_t id)
{
    CPlugIn *plugin = FindPlugIn(guid);
    return plugin ? plugin->QueryComponent(component, id) : nullptr;
}

/* ---- resources ---- */

IResProvider *GetResProvider()
{
    return g_frame ? g_frame->GetResourceProvider() : nullptr;
}

HINSTANCE GetResInstance()
{
    IResProvider *provider = GetResProvider();
    return provider ? provider->GetInstance() : nullptr;
}

std::string GetResString(int32_t id)
{
    std::string text;
    if (IResProvider *provider = GetResProvider()) {
        char buffer[1024];
        buffer[0] = 0;
        if (provider->LoadResString((uint32_t)id, buffer, (int32_t)sizeof buffer) > 0)
            text = buffer;
    }
    return text;
}

HCURSOR GetResCursor(int32_t id)
{
    IResProvider *provider = GetResProvider();
    return provider ? provider->LoadResCursor(id) : nullptr;
}

int RunPlugInWizard()
{
    IPlugInComponent *component = CreatePlugInComponent(&GUID_PLUGIN_WIZARD);
    if (!component)
        return 0;
    void *answer = QueryPlugInComponent(&GUID_PLUGIN_WIZARD, component, MD_IID_WIZARD);
    if (answer) {
        GUI::CSKUIWizard wizard;
        (void)wizard;
    }
    DestroyPlugInComponent(&GUID_PLUGIN_WIZARD, component);
    return answer ? 1 : 0;
}
