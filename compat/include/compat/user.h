/* User: cursors, icons, menus, accelerators, bitmaps from resources; message boxes. */
#pragma once
#include "compat/types.h"

typedef struct _ICONINFO {
    BOOL fIcon;
    DWORD xHotspot;
    DWORD yHotspot;
    HBITMAP hbmMask;
    HBITMAP hbmColor;
} ICONINFO, *PICONINFO;

#define IDC_ARROW MAKEINTRESOURCEA(32512)
#define IDI_APPLICATION MAKEINTRESOURCEA(32512)

/* Cursors and icons: a cursor group or icon group resource of the module; the image closest
 * to the system size (32x32) is taken.  Handles from these loaders are shared and need not be
 * destroyed. */
COMPAT_API HCURSOR WINAPI LoadCursorA(HINSTANCE hInstance, LPCSTR lpCursorName);
COMPAT_API HICON WINAPI LoadIconA(HINSTANCE hInstance, LPCSTR lpIconName);
COMPAT_API BOOL WINAPI DestroyCursor(HCURSOR hCursor);
COMPAT_API BOOL WINAPI DestroyIcon(HICON hIcon);
COMPAT_API BOOL WINAPI GetIconInfo(HICON hIcon, PICONINFO piconinfo);

/* Menus. */
#define MF_STRING 0x0000
#define MF_BYCOMMAND 0x0000
#define MF_BYPOSITION 0x0400
#define MF_SEPARATOR 0x0800
#define MF_POPUP 0x0010
#define MF_END 0x0080
#define MF_GRAYED 0x0001
#define MF_DISABLED 0x0002
#define MF_CHECKED 0x0008
#define MF_BITMAP 0x0004
#define MF_MENUBARBREAK 0x0020
#define MF_MENUBREAK 0x0040
#define MF_OWNERDRAW 0x0100
#define MF_DEFAULT 0x1000
#define MF_RIGHTORDER 0x2000
#define MF_RIGHTJUSTIFY 0x4000
#define MFS_GRAYED 0x0003
#define MFS_DISABLED MFS_GRAYED
#define MFS_CHECKED MF_CHECKED
#define MFS_DEFAULT MF_DEFAULT
#define MFS_ENABLED 0x0000
#define MIIM_CHECKMARKS 0x0008
#define MIIM_DATA 0x0020
#define MIIM_BITMAP 0x0080
#ifndef ERROR_MENU_ITEM_NOT_FOUND
#define ERROR_MENU_ITEM_NOT_FOUND 1456L
#endif
#define MIIM_STATE 0x0001
#define MIIM_ID 0x0002
#define MIIM_SUBMENU 0x0004
#define MIIM_TYPE 0x0010
#define MIIM_STRING 0x0040
#define MIIM_FTYPE 0x0100
#define MFT_STRING 0x0000
#define MFT_SEPARATOR 0x0800

typedef struct tagMENUITEMINFOA {
    UINT cbSize;
    UINT fMask;
    UINT fType;
    UINT fState;
    UINT wID;
    HMENU hSubMenu;
    HBITMAP hbmpChecked;
    HBITMAP hbmpUnchecked;
    ULONG_PTR dwItemData;
    LPSTR dwTypeData;
    UINT cch;
    HBITMAP hbmpItem;
} MENUITEMINFOA, *LPMENUITEMINFOA;

/* Menus from MENU resources: each LoadMenuA makes a new menu tree that the caller frees with
 * DestroyMenu.  GetMenuItemID gives -1 for a pop-up or a position out of range; GetMenuState
 * gives -1 for an item not found and, for a pop-up, its item count in bits 8-15. */
COMPAT_API HMENU WINAPI LoadMenuA(HINSTANCE hInstance, LPCSTR lpMenuName);
COMPAT_API BOOL WINAPI DestroyMenu(HMENU hMenu);
COMPAT_API int WINAPI GetMenuItemCount(HMENU hMenu);
COMPAT_API UINT WINAPI GetMenuItemID(HMENU hMenu, int nPos);
COMPAT_API HMENU WINAPI GetSubMenu(HMENU hMenu, int nPos);
COMPAT_API int WINAPI GetMenuStringA(HMENU hMenu, UINT uIDItem, LPSTR lpString, int cchMax, UINT flags);
COMPAT_API UINT WINAPI GetMenuState(HMENU hMenu, UINT uId, UINT uFlags);
COMPAT_API BOOL WINAPI GetMenuItemInfoA(HMENU hmenu, UINT item, BOOL fByPosition, LPMENUITEMINFOA lpmii);

/* Accelerators. */
#define FVIRTKEY 0x01
#define FNOINVERT 0x02
#define FSHIFT 0x04
#define FCONTROL 0x08
#define FALT 0x10

typedef struct tagACCEL {
    BYTE fVirt;
    WORD key;
    WORD cmd;
} ACCEL, *LPACCEL;

/* Accelerator tables: CopyAcceleratorTableA with a null destination gives the entry count;
 * the resource's end mark (0x80) is not part of fVirt. */
COMPAT_API HACCEL WINAPI LoadAcceleratorsA(HINSTANCE hInstance, LPCSTR lpTableName);
COMPAT_API int WINAPI CopyAcceleratorTableA(HACCEL hAccelSrc, LPACCEL lpAccelDst, int cAccelEntries);
COMPAT_API BOOL WINAPI DestroyAcceleratorTable(HACCEL hAccel);

/* Bitmaps from resources (a device-dependent bitmap object; see gdi.h). */
COMPAT_API HBITMAP WINAPI LoadBitmapA(HINSTANCE hInstance, LPCSTR lpBitmapName);

/* Version information of a module file.  On this host the file must be a module loaded in
 * the process (its resources registered); its VS_VERSIONINFO block is handed out as Windows
 * does: GetFileVersionInfoSizeA asks for twice the block and 4 bytes, the second half of which
 * VerQueryValueA uses for the ANSI copies of string values. */
typedef struct tagVS_FIXEDFILEINFO {
    DWORD dwSignature;
    DWORD dwStrucVersion;
    DWORD dwFileVersionMS;
    DWORD dwFileVersionLS;
    DWORD dwProductVersionMS;
    DWORD dwProductVersionLS;
    DWORD dwFileFlagsMask;
    DWORD dwFileFlags;
    DWORD dwFileOS;
    DWORD dwFileType;
    DWORD dwFileSubtype;
    DWORD dwFileDateMS;
    DWORD dwFileDateLS;
} VS_FIXEDFILEINFO;

#define VS_FF_DEBUG 0x00000001L
#define VOS_NT_WINDOWS32 0x00040004L
#define VFT_DLL 0x00000002L
#define VFT_APP 0x00000001L

COMPAT_API DWORD WINAPI GetFileVersionInfoSizeA(LPCSTR lptstrFilename, LPDWORD lpdwHandle);
COMPAT_API BOOL WINAPI GetFileVersionInfoA(LPCSTR lptstrFilename, DWORD dwHandle, DWORD dwLen, LPVOID lpData);
COMPAT_API BOOL WINAPI VerQueryValueA(LPCVOID pBlock, LPCSTR lpSubBlock, LPVOID *lplpBuffer, PUINT puLen);

/* Message boxes: answered on this host by the environment: MEDLEY_MESSAGEBOX_ANSWER is a
 * button id (1-7) or name ("ok", "cancel", "yes", "no", ...); without it, or when the box has
 * no such button, the box's first button answers.  Each box is logged to standard error. */
#define MB_OK 0x00000000L
#define MB_OKCANCEL 0x00000001L
#define MB_ABORTRETRYIGNORE 0x00000002L
#define MB_YESNOCANCEL 0x00000003L
#define MB_YESNO 0x00000004L
#define MB_RETRYCANCEL 0x00000005L
#define MB_TYPEMASK 0x0000000FL
#define MB_ICONERROR 0x00000010L
#define MB_ICONQUESTION 0x00000020L
#define MB_ICONWARNING 0x00000030L
#define MB_ICONINFORMATION 0x00000040L
#define IDOK 1
#define IDCANCEL 2
#define IDYES 6
#define IDABORT 3
#define IDRETRY 4
#define IDIGNORE 5
#define IDNO 7
COMPAT_API int WINAPI MessageBoxA(HWND hWnd, LPCSTR lpText, LPCSTR lpCaption, UINT uType);
