/*
 * SKUI: the skinned-GUI operations imported by ordinal (SetCtrlImage 104, SkinShowMessage 12,
 * SkinMessageBox 141, SkinMessageBoxEx 142).
 */
#pragma once
#include <windows.h>

#include "platform_api.h"

#ifdef SKUI_BUILD
#define SKUI_API extern "C" MD_DLL_EXPORT
#else
#define SKUI_API extern "C" MD_DLL_IMPORT
#endif

SKUI_API BOOL WINAPI SetCtrlImage(HWND hScreen, LPCSTR lpszCtrlName, int nState, HGLOBAL hDib);
SKUI_API void WINAPI SkinShowMessage(DWORD dwValue1, DWORD dwValue2, LPCSTR lpszText);
SKUI_API DWORD WINAPI SkinMessageBox(DWORD dwValue1, DWORD dwValue2, DWORD dwValue3, LPCSTR lpszText);
SKUI_API DWORD WINAPI SkinMessageBoxEx(DWORD dwValue1, DWORD dwValue2, DWORD dwValue3, LPCSTR lpszText);
