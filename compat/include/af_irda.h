/*
 * The IrDA address family of Windows Sockets, for non-Windows hosts (desktop Windows layouts).
 *
 *   SOCKADDR_IRDA        32 octets: family (2), device id (4), service name (25), pad (1)
 *   IRDA_DEVICE_INFO     29 octets: device id (4), name (22), hints 1, hints 2, character set
 *   DEVICELIST           count (4) + entries; with room for 5 entries 152 octets
 *   IAS_QUERY            1356 octets: device id, class (64), attribute (256), type (4), value
 */
#pragma once
#include <winsock2.h>

#define AF_IRDA 26
#define PF_IRDA AF_IRDA
#define SOL_IRLMP 0x00FF

#define IRLMP_ENUMDEVICES 0x00000010
#define IRLMP_IAS_SET 0x00000011
#define IRLMP_IAS_QUERY 0x00000012
#define IRLMP_SEND_PDU_LEN 0x00000013
#define IRLMP_EXCLUSIVE_MODE 0x00000014
#define IRLMP_IRLPT_MODE 0x00000015
#define IRLMP_9WIRE_MODE 0x00000016

#define IAS_ATTRIB_NO_CLASS 0x00000010
#define IAS_ATTRIB_NO_ATTRIB 0x00000000
#define IAS_ATTRIB_INT 0x00000001
#define IAS_ATTRIB_OCTETSEQ 0x00000002
#define IAS_ATTRIB_STR 0x00000003

#define IAS_MAX_USER_STRING 256
#define IAS_MAX_OCTET_STRING 1024
#define IAS_MAX_CLASSNAME 64
#define IAS_MAX_ATTRIBNAME 256

#define LmCharSetASCII 0
#define LmCharSetISO_8859_1 1

typedef struct _SOCKADDR_IRDA {
    u_short irdaAddressFamily;
    u_char irdaDeviceID[4];
    char irdaServiceName[25];
} SOCKADDR_IRDA, *PSOCKADDR_IRDA, *LPSOCKADDR_IRDA;

typedef struct _WINDOWS_IRDA_DEVICE_INFO {
    u_char irdaDeviceID[4];
    char irdaDeviceName[22];
    u_char irdaDeviceHints1;
    u_char irdaDeviceHints2;
    u_char irdaCharSet;
} WINDOWS_IRDA_DEVICE_INFO, *PWINDOWS_IRDA_DEVICE_INFO, IRDA_DEVICE_INFO, *PIRDA_DEVICE_INFO;

typedef struct _WINDOWS_DEVICELIST {
    ULONG numDevice;
    WINDOWS_IRDA_DEVICE_INFO Device[1];
} WINDOWS_DEVICELIST, *PWINDOWS_DEVICELIST, DEVICELIST, *PDEVICELIST;

typedef struct _WINDOWS_IAS_QUERY {
    u_char irdaDeviceID[4];
    char irdaClassName[IAS_MAX_CLASSNAME];
    char irdaAttribName[IAS_MAX_ATTRIBNAME];
    ULONG irdaAttribType;
    union {
        LONG irdaAttribInt;
        struct {
            ULONG Len;
            u_char OctetSeq[IAS_MAX_OCTET_STRING];
        } irdaAttribOctetSeq;
        struct {
            ULONG Len;
            ULONG CharSet;
            u_char UsrStr[IAS_MAX_USER_STRING];
        } irdaAttribUsrStr;
    } irdaAttribute;
} WINDOWS_IAS_QUERY, *PWINDOWS_IAS_QUERY, IAS_QUERY, *PIAS_QUERY;
