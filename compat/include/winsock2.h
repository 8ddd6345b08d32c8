/*
 * Windows Sockets 2 for non-Windows hosts: only what the IrDA link uses (see compat/EXPORTS.md).
 *
 * The BSD-named calls (socket, connect, send, ...) are bound to link names of their own
 * ("compat_ws_socket", ...), so that they never stand in for the C library's calls of the same
 * names elsewhere in the process.  A file that includes this header must not also include the
 * host's <sys/socket.h>.
 */
#pragma once
#include "compat/types.h"

#define WSAAPI

typedef unsigned char u_char;
typedef unsigned short u_short;
typedef UINT_PTR SOCKET;

#define INVALID_SOCKET ((SOCKET)(~0))
#define SOCKET_ERROR (-1)

#define SOCK_STREAM 1
#define SOL_SOCKET 0xffff
#define SO_SNDTIMEO 0x1005
#define SO_RCVTIMEO 0x1006
#define AF_UNSPEC 0

#define WSADESCRIPTION_LEN 256
#define WSASYS_STATUS_LEN 128

/* Win64 puts the counts and the vendor pointer before the texts; 32-bit Windows after. */
typedef struct WSAData {
    WORD wVersion;
    WORD wHighVersion;
#if UINTPTR_MAX > 0xffffffffu
    unsigned short iMaxSockets;
    unsigned short iMaxUdpDg;
    char *lpVendorInfo;
    char szDescription[WSADESCRIPTION_LEN + 1];
    char szSystemStatus[WSASYS_STATUS_LEN + 1];
#else
    char szDescription[WSADESCRIPTION_LEN + 1];
    char szSystemStatus[WSASYS_STATUS_LEN + 1];
    unsigned short iMaxSockets;
    unsigned short iMaxUdpDg;
    char *lpVendorInfo;
#endif
} WSADATA, *LPWSADATA;

struct sockaddr {
    u_short sa_family;
    char sa_data[14];
};
typedef struct sockaddr SOCKADDR, *PSOCKADDR, *LPSOCKADDR;

/* Error codes (WSAGetLastError). */
#define WSABASEERR 10000
#define WSAEINTR 10004
#define WSAEBADF 10009
#define WSAEACCES 10013
#define WSAEFAULT 10014
#define WSAEINVAL 10022
#define WSAEMFILE 10024
#define WSAEWOULDBLOCK 10035
#define WSAEINPROGRESS 10036
#define WSAEALREADY 10037
#define WSAENOTSOCK 10038
#define WSAEDESTADDRREQ 10039
#define WSAEMSGSIZE 10040
#define WSAEPROTOTYPE 10041
#define WSAENOPROTOOPT 10042
#define WSAEPROTONOSUPPORT 10043
#define WSAESOCKTNOSUPPORT 10044
#define WSAEOPNOTSUPP 10045
#define WSAEPFNOSUPPORT 10046
#define WSAEAFNOSUPPORT 10047
#define WSAEADDRINUSE 10048
#define WSAEADDRNOTAVAIL 10049
#define WSAENETDOWN 10050
#define WSAENETUNREACH 10051
#define WSAENETRESET 10052
#define WSAECONNABORTED 10053
#define WSAECONNRESET 10054
#define WSAENOBUFS 10055
#define WSAEISCONN 10056
#define WSAENOTCONN 10057
#define WSAESHUTDOWN 10058
#define WSAETIMEDOUT 10060
#define WSAECONNREFUSED 10061
#define WSAEHOSTDOWN 10064
#define WSAEHOSTUNREACH 10065
#define WSASYSNOTREADY 10091
#define WSAVERNOTSUPPORTED 10092
#define WSANOTINITIALISED 10093

#define COMPAT_WS_NAME(name) __asm__("compat_ws_" #name)

/* Starts the sockets layer for the caller; every successful call is paired with WSACleanup.
 * RETURNS 0, or WSAVERNOTSUPPORTED (major version 0) / WSAEFAULT (null lpWSAData). */
COMPAT_API int WSAAPI WSAStartup(WORD wVersionRequested, LPWSADATA lpWSAData);
/* Ends one WSAStartup.  RETURNS 0, or SOCKET_ERROR with WSANOTINITIALISED. */
COMPAT_API int WSAAPI WSACleanup(void);
COMPAT_API int WSAAPI WSAGetLastError(void);
COMPAT_API void WSAAPI WSASetLastError(int iError);

/* Stream sockets of the IrDA family only: other families fail with WSAEAFNOSUPPORT. */
COMPAT_API SOCKET WSAAPI socket(int af, int type, int protocol) COMPAT_WS_NAME(socket);
COMPAT_API int WSAAPI closesocket(SOCKET s) COMPAT_WS_NAME(closesocket);
COMPAT_API int WSAAPI connect(SOCKET s, const struct sockaddr *name, int namelen) COMPAT_WS_NAME(connect);
COMPAT_API int WSAAPI send(SOCKET s, const char *buf, int len, int flags) COMPAT_WS_NAME(send);
COMPAT_API int WSAAPI recv(SOCKET s, char *buf, int len, int flags) COMPAT_WS_NAME(recv);
COMPAT_API int WSAAPI getsockopt(SOCKET s, int level, int optname, char *optval, int *optlen)
    COMPAT_WS_NAME(getsockopt);
COMPAT_API int WSAAPI setsockopt(SOCKET s, int level, int optname, const char *optval, int optlen)
    COMPAT_WS_NAME(setsockopt);
