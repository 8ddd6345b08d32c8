/*
 * The Win32 structure layouts the module, its files and its peers rely on, pinned at compile
 * time on every build (natively against our layer's headers, on Windows against MinGW's) - the
 * sizes and offsets Wine's generated layout tests check.  i686 sizes are those of the 32-bit
 * module; x86_64 ones of a 64-bit build.
 */
#include <winsock2.h>
#include <windows.h>

#include <af_irda.h>
#include <commdlg.h>

#include <stddef.h>

#define PIN_SIZE(type, size) static_assert(sizeof(type) == (size), "sizeof " #type)
#define PIN_FIELD(type, field, offset) static_assert(offsetof(type, field) == (offset), #type "." #field)
constexpr bool k64 = sizeof(void *) == 8;

/* Bitmaps: the .bmp file header, the packed DIB of every picture, its palette. */
PIN_SIZE(BITMAPFILEHEADER, 14);
PIN_FIELD(BITMAPFILEHEADER, bfSize, 2);
PIN_FIELD(BITMAPFILEHEADER, bfOffBits, 10);
PIN_SIZE(BITMAPINFOHEADER, 40);
PIN_FIELD(BITMAPINFOHEADER, biWidth, 4);
PIN_FIELD(BITMAPINFOHEADER, biHeight, 8);
PIN_FIELD(BITMAPINFOHEADER, biPlanes, 12);
PIN_FIELD(BITMAPINFOHEADER, biBitCount, 14);
PIN_FIELD(BITMAPINFOHEADER, biCompression, 16);
PIN_FIELD(BITMAPINFOHEADER, biSizeImage, 20);
PIN_FIELD(BITMAPINFOHEADER, biXPelsPerMeter, 24);
PIN_FIELD(BITMAPINFOHEADER, biClrUsed, 32);
PIN_FIELD(BITMAPINFOHEADER, biClrImportant, 36);
PIN_SIZE(RGBQUAD, 4);
PIN_FIELD(RGBQUAD, rgbBlue, 0);
PIN_FIELD(RGBQUAD, rgbGreen, 1);
PIN_FIELD(RGBQUAD, rgbRed, 2);
PIN_FIELD(BITMAPINFO, bmiColors, 40);

/* Resources: the version block's fixed part, accelerator entries, the version query. */
PIN_SIZE(VS_FIXEDFILEINFO, 52);
PIN_FIELD(VS_FIXEDFILEINFO, dwFileVersionMS, 8);
PIN_FIELD(VS_FIXEDFILEINFO, dwProductVersionLS, 20);
PIN_FIELD(VS_FIXEDFILEINFO, dwFileDateLS, 48);
PIN_SIZE(ACCEL, 6);
PIN_FIELD(ACCEL, key, 2);
PIN_FIELD(ACCEL, cmd, 4);
PIN_SIZE(OSVERSIONINFOA, 148);
PIN_FIELD(OSVERSIONINFOA, dwPlatformId, 16);
PIN_FIELD(OSVERSIONINFOA, szCSDVersion, 20);

/* IrDA: the address, the device list and the IAS query the link hands to Windows Sockets. */
PIN_SIZE(SOCKADDR_IRDA, 32);
PIN_FIELD(SOCKADDR_IRDA, irdaDeviceID, 2);
PIN_FIELD(SOCKADDR_IRDA, irdaServiceName, 6);
PIN_SIZE(IRDA_DEVICE_INFO, 29);
PIN_FIELD(IRDA_DEVICE_INFO, irdaDeviceName, 4);
PIN_FIELD(IRDA_DEVICE_INFO, irdaCharSet, 28);
PIN_SIZE(DEVICELIST, 36);
PIN_FIELD(DEVICELIST, Device, 4);
PIN_SIZE(IAS_QUERY, 1356);
PIN_FIELD(IAS_QUERY, irdaClassName, 4);
PIN_FIELD(IAS_QUERY, irdaAttribName, 68);
PIN_FIELD(IAS_QUERY, irdaAttribType, 324);
PIN_FIELD(IAS_QUERY, irdaAttribute, 328);
PIN_FIELD(IAS_QUERY, irdaAttribute.irdaAttribOctetSeq.OctetSeq, 332);
PIN_FIELD(IAS_QUERY, irdaAttribute.irdaAttribUsrStr.UsrStr, 336);

/* Common dialogs: the save dialog's record and the printer query's (66 bytes, packed, on
 * 32-bit Windows). */
PIN_SIZE(OPENFILENAMEA, k64 ? 152 : 88);
PIN_FIELD(OPENFILENAMEA, lpstrFilter, k64 ? 24 : 12);
PIN_FIELD(OPENFILENAMEA, lpstrFile, k64 ? 48 : 28);
PIN_FIELD(OPENFILENAMEA, Flags, k64 ? 96 : 52);
PIN_FIELD(OPENFILENAMEA, lpstrDefExt, k64 ? 104 : 60);
PIN_FIELD(OPENFILENAMEA, FlagsEx, k64 ? 148 : 84);
PIN_SIZE(PRINTDLGA, k64 ? 120 : 66);
PIN_FIELD(PRINTDLGA, hDevNames, k64 ? 24 : 12);
PIN_FIELD(PRINTDLGA, Flags, k64 ? 40 : 20);
PIN_FIELD(PRINTDLGA, hInstance, k64 ? 56 : 34);
PIN_FIELD(PRINTDLGA, hSetupTemplate, k64 ? 112 : 62);
PIN_SIZE(DEVNAMES, 8);
