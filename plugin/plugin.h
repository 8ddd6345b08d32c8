/*
 * This module's plug-in: CResPlugIn (type 3, its GUID), its one kind of component
 * CResComponent, and the resource provider it carries.
 */
#pragma once
#include "plugin_object.h"

extern const GUID GUID_PLUGIN_REDLL;  // {ee0775cb-88e3-439a-81ba-b947800a93f6}

/* Settings of the dialog font served by the provider. */
enum {
    RES_FONT_FACE_SIZE = 128,
    RES_MIN_EASTASIAN_FONT = 12,
    RES_LANGUAGE_STRING_ID = 2,
};

class CResProvider : public IResProvider {
public:
    CResProvider() : m_hInstance(nullptr) {}
    MD_DECLARE_DESTROY(CResProvider)

    void *Query(int32_t id) override;                                       // slot 1
    HINSTANCE GetInstance() override;                                        // slot 2
    int32_t LoadResString(uint32_t id, char *buffer, int32_t size) override;  // slot 3
    HCURSOR LoadResCursor(int32_t id) override;                              // slot 4
    int32_t GetFontFaceName(char *buffer) override;                          // slot 5
    int32_t GetFontCharset(uint8_t *charset) override;                       // slot 6
    int32_t AdjustFontSize(int32_t size) override;                           // slot 7

    void SetInstance(HINSTANCE instance) { m_hInstance = instance; }

    ~CResProvider() = default;

private:
    HINSTANCE m_hInstance;
};

class CResComponent : public IPlugInComponent {
public:
    CResComponent();
    MD_DECLARE_DESTROY(CResComponent)
    void *Query(int32_t id) override;  // slot 1

protected:
    ~CResComponent() = default;

private:
    CResProvider m_provider;
};

class CResPlugIn : public CPlugIn {
public:
    CResPlugIn();
    MD_DECLARE_DESTROY(CResPlugIn)
    void SetFrame(IHostFrame *frame) override;   // slot 7
    IPlugInComponent *NewComponent() override;  // slot 8

protected:
    ~CResPlugIn() = default;
};

/* The module-wide plug-in object (null outside process attach .. detach). */
CResPlugIn *GetModulePlugIn();

/* The module entry point's work, callable by tests that link the plug-in statically. */
BOOL PlugInProcessAttach(HINSTANCE instance);
void PlugInProcessDetach();
CPlugIn *PlugInGetInterface();
