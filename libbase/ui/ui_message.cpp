/* Message boxes, plain and skinned, and the open-file dialog. */
#include <windows.h>

#include <commdlg.h>
#include <stddef.h>
#include <string.h>

#include "base_assert.h"
#include "basefun.h"
#include "baseui.h"
#include "skui.h"

int ResMessageBox(HWND hOwner, LPCSTR lpszText, UINT uType)
{
    MD_ASSERT(lpszText);
    std::string caption = GetResString(1);
    return MessageBoxA(hOwner, lpszText ? lpszText : "", caption.c_str(), uType);
}

void SkinMessageById(DWORD dwValue1, DWORD dwValue2, int32_t nId)
{
    std::string text = GetResString(nId);
    SkinShowMessage(dwValue1, dwValue2, text.c_str());
}

DWORD SkinMessage(DWORD dwValue1, DWORD dwValue2, LPCSTR lpszText)
{
    // The skinned library's show operation answers nothing; the result is 0.
    SkinShowMessage(dwValue1, dwValue2, lpszText ? lpszText : "");
    return 0;
}

DWORD SkinMessageBoxById(DWORD dwValue1, DWORD dwValue2, DWORD dwValue3, int32_t nId)
{
    std::string text = GetResString(nId);
    return SkinMessageBox(dwValue1, dwValue2, dwValue3, text.c_str());
}

DWORD SkinMessageBoxExById(DWORD dwValue1, DWORD dwValue2, DWORD dwValue3, int32_t nId)
{
    std::string text = GetResString(nId);
    return SkinMessageBoxEx(dwValue1, dwValue2, dwValue3, text.c_str());
}

#if !defined(_WIN64)
static_assert(offsetof(OPENFILENAMEA, lpTemplateName) + sizeof(LPCSTR) == 76,
              "the 32-bit open-file record is 76 bytes");
#endif

BOOL OpenFileDialog(HWND hOwner, LPCSTR lpszFilter, LPSTR lpszFile)
{
    if (!lpszFile)
        return FALSE;
    memset(lpszFile, 0, 4);  // no initial name is offered
    OPENFILENAMEA ofn;
    memset(&ofn, 0, sizeof ofn);
    // The record's first form: 76 bytes on the 32-bit target, wider where pointers are.
    ofn.lStructSize = OPENFILENAME_SIZE_VERSION_400A;
    ofn.hwndOwner = hOwner;
    ofn.lpstrFilter = lpszFilter;
    ofn.lpstrFile = lpszFile;
    ofn.nMaxFile = MAX_PATH;
    ofn.Flags = OFN_FILEMUSTEXIST | OFN_PATHMUSTEXIST | OFN_HIDEREADONLY;  // 0x1804
    BOOL chosen = GetOpenFileNameA(&ofn);
    if (!chosen)
        lpszFile[0] = 0;
    return chosen;
}
