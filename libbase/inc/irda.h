/*
 * Pushing a file to a phone over infrared (Windows Sockets, IrDA address family).
 *
 * A link finds the first device in range, checks through its IAS that it offers IrCOMM in
 * 9-wire mode, connects a stream to "IrDA:IrCOMM" and sends
 *
 *   "Content_name:<name>\r\nContent_length:<size>\r\n\r\n"  then the file, 512 octets a send.
 *
 * Nothing is read back.  Every socket call goes through one replaceable table (IrdaSetSocketApi)
 * so that a simulated device can stand in where the platform has no IrDA stack.
 */
#pragma once
#include <winsock2.h>
#include <windows.h>

#include <stdint.h>

#include "fileio.h"

/* Progress of a transfer: total = header + file octets, done = octets sent so far. */
typedef int (*IRDA_PROGRESS_PROC)(uint32_t total, uint32_t done, uint32_t user);

/* The Windows Sockets calls the link makes, with the platform's signatures. */
struct IRDA_SOCKET_API {
    int(WSAAPI *pWSAStartup)(WORD wVersionRequested, LPWSADATA lpWSAData);
    int(WSAAPI *pWSACleanup)(void);
    int(WSAAPI *pWSAGetLastError)(void);
    SOCKET(WSAAPI *pSocket)(int af, int type, int protocol);
    int(WSAAPI *pClosesocket)(SOCKET s);
    int(WSAAPI *pGetsockopt)(SOCKET s, int level, int optname, char *optval, int *optlen);
    int(WSAAPI *pSetsockopt)(SOCKET s, int level, int optname, const char *optval, int optlen);
    int(WSAAPI *pConnect)(SOCKET s, const struct sockaddr *name, int namelen);
    int(WSAAPI *pSend)(SOCKET s, const char *buf, int len, int flags);
    int(WSAAPI *pRecv)(SOCKET s, char *buf, int len, int flags);
};

/* The table in use; the platform's Windows Sockets unless replaced. */
const IRDA_SOCKET_API *IrdaGetSocketApi();
/* Replaces the table (null restores the platform's) and returns the one it replaces.
 * NOTES: links keep using the table they were opened with; replace it between transfers. */
const IRDA_SOCKET_API *IrdaSetSocketApi(const IRDA_SOCKET_API *api);

/* Sizes and literals of the link. */
enum {
    IRDA_DEVICE_LIST_SIZE = 152,  /* list header and room for 5 devices */
    IRDA_IAS_QUERY_SIZE = 1385,   /* option length of the IAS query */
    IRDA_ADDRESS_SIZE = 32,
    IRDA_ATTEMPTS = 4,            /* of each IrLMP step, back to back */
    IRDA_CHUNK = 512,
    IRDA_HEADER_BUFFER = 512
};
#define IRDA_SERVICE_NAME "IrDA:IrCOMM"
#define IRDA_IAS_ATTRIBUTE "Parameters"
#define IRDA_HEADER_FORMAT "Content_name:%s\r\nContent_length:%ld\r\n\r\n"

/* Why a link's last operation failed (CIrdaLink::GetFailure).  Each also leaves a Windows code
 * in GetLastError(): the system's own where there is one, otherwise the one given here. */
enum IRDA_FAILURE {
    IRDA_OK = 0,
    IRDA_FAIL_SOCKETS,       /* WSAStartup or socket failed: the sockets layer's code */
    IRDA_FAIL_DISCOVERY,     /* device enumeration failed four times: its code */
    IRDA_FAIL_NO_DEVICE,     /* enumeration found nothing in range: WSAEHOSTDOWN */
    IRDA_FAIL_IAS,           /* the IAS query failed four times: its code */
    IRDA_FAIL_NO_IRCOMM,     /* the device does not offer IrCOMM 9-wire: WSAEPROTONOSUPPORT */
    IRDA_FAIL_CONNECT,       /* the device refused four connects: the connect's code */
    IRDA_FAIL_FILE,          /* the file cannot be opened or read: the file call's code
                              * (ERROR_DIRECTORY_NOT_SUPPORTED for a folder) */
    IRDA_FAIL_TOO_LARGE,     /* over 2 GB - 1 octets: ERROR_FILE_TOO_LARGE */
    IRDA_FAIL_NAME_TOO_LONG, /* the name does not fit the header: ERROR_FILENAME_EXCED_RANGE */
    IRDA_FAIL_SEND,          /* a send failed or was short: the send's code (WSAETIMEDOUT for a
                              * stall) */
    IRDA_FAIL_FILE_SHRANK    /* the file ended before its announced size: ERROR_HANDLE_EOF */
};

class CIrdaLink {
public:
    CIrdaLink();
    /* Closes the socket and ends the sockets layer when a socket is held. */
    virtual ~CIrdaLink();

    /* 1 when a socket is open (already or now), else 0 (GetFailure() says why). */
    int Open();
    /* 1 when connected (already or now): first device, IrCOMM 9-wire, "IrDA:IrCOMM".
     * 0 on failure, GetFailure() says at which step.
     * NOTES: a failure leaves the socket open and unconnected, so it may be called again. */
    int Connect();
    /* What the platform's send / recv return, or -1 when no socket is open. */
    int Send(const void *pData, int nCount);
    int Receive(void *pBuffer, int nSize);
    /* Connects when needed and sends the header and the file; 1 when every octet went out.
     * RETURNS 0 for a failed connect, a missing or unreadable file (a folder included), a file
     * over 2 GB - 1, a name that does not fit the 512-octet header, a short or failed send, or
     * a file that yields fewer octets than its size announced; GetFailure() and GetLastError()
     * say which.  The file is checked before the link connects, so a bad file sends nothing.
     * The phone keeps what arrived before a failure. */
    int SendFile(const char *lpszFile, IRDA_PROGRESS_PROC progressProc, uint32_t progressUser);

    SOCKET GetSocket() const { return m_socket; }
    int IsConnected() const { return m_connected; }
    /* The failure of the last Open, Connect or SendFile (IRDA_OK after a success) and the
     * Windows code that came with it. */
    IRDA_FAILURE GetFailure() const { return m_failure; }
    DWORD GetFailureCode() const { return m_failureCode; }

private:
    CIrdaLink(const CIrdaLink &) = delete;
    CIrdaLink &operator=(const CIrdaLink &) = delete;

    SOCKET m_socket;
    int m_connected;
    IRDA_PROGRESS_PROC m_progressProc;
    uint32_t m_progressUser;
    const IRDA_SOCKET_API *m_api;  // the table the socket was opened with
    IRDA_FAILURE m_failure;
    DWORD m_failureCode;

    int Fail(IRDA_FAILURE failure, DWORD code);
    int SendStream(FIO_FILE *f, const char *name);
    int SendAll(const char *data, int count);
};

/* C-level wrappers: a null link does nothing and gives the value shown. */
CIrdaLink *IrdaCreate();                      /* an open link, or null (GetLastError() says why) */
void IrdaDestroy(CIrdaLink *link);
int IrdaConnect(CIrdaLink *link);             /* 0 for null */
int IrdaSend(CIrdaLink *link, const void *pData, int nCount);       /* -1 for null */
int IrdaReceive(CIrdaLink *link, void *pBuffer, int nSize);         /* -1 for null */
int IrdaSendFile(CIrdaLink *link, const char *lpszFile, IRDA_PROGRESS_PROC progressProc,
                 uint32_t progressUser);      /* 0 for null */

/* Create, send the file without progress, destroy: 1 / 0, GetLastError() saying why (the codes
 * of IRDA_FAILURE). */
int SendFileByIrda(const char *lpszFile);

/* Walks IrCOMM parameters (PI, PL, PV...) for Service Type (PI 0x00) with the 9-wire bit
 * (0x04) in its first value octet.  1 when found, else 0 (also for fewer than 3 octets). */
int IrdaParamsOffer9Wire(const unsigned char *pParams, uint32_t nLen);
