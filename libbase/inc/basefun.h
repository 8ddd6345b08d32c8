/*
 * The base library's core: the host frame store and the operations over it.
 *
 * The host hands its frame to each plug-in, which passes it to SetHostFrame; from then on the
 * library reaches the plug-in directory (frame slot 2) and the resource provider (frame slot
 * 9) through it.  Each operation asks the frame again; nothing is cached.
 */
#pragma once
#include <windows.h>

#include <string>

#include "base_assert.h"
#include "plugin_object.h"

/* Keeps `pFrm` unless a frame is already stored: the first frame wins for the module's life.
 * NOTES: a null pFrm is reported and, like any later frame, not stored. */
void SetHostFrame(IHostFrame *pFrm);

/* The plug-in that the host's directory knows by `guid`, or null (no frame, no directory,
 * null guid, unknown GUID). */
CPlugIn *FindPlugIn(const GUID *guid);

/* Thin wrappers over the plug-in found by `guid`: null / nothing when it is not found. */
IPlugInComponent *CreatePlugInComponent(const GUID *guid);
void DestroyPlugInComponent(const GUID *guid, IPlugInComponent *component);
void *QueryPlugInComponent(const GUID *guid, IPlugInComponent *component, int32_t id);

/* The resource provider of the frame, its instance handle, a string (loaded into a
 * 1024-character buffer; empty when missing) and a cursor; null / empty without a frame. */
IResProvider *GetResProvider();
HINSTANCE GetResInstance();
std::string GetResString(int32_t id);
HCURSOR GetResCursor(int32_t id);

/* Creates a component of the wizard plug-in, asks it for interface 9, runs a wizard host
 * object when it answers, and destroys the component.  Returns 1 when it answered, else 0. */
int RunPlugInWizard();

/* The wizard plug-in's identity. */
extern const GUID GUID_PLUGIN_WIZARD;
