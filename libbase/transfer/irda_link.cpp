/*
 * The IrDA link: one stream socket to the first phone in range, IrCOMM 9-wire, and the
 * file push with its text header.
 *
 *   header  "Content_name:%s\r\nContent_length:%ld\r\n\r\n"  (one send, at most 511 octets)
 *   body    the file, 512 octets a send; the last send carries the rest
 *
 * Invariant: m_socket is INVALID_SOCKET exactly when the link holds no socket and no
 * WSAStartup; m_connected is 1 only after a successful connect on m_socket.
 */
#include <winsock2.h>
#include <af_irda.h>
#include <windows.h>

#include <limits.h>
#include <stdio.h>
#include <string.h>

#include <new>

#include "fileio.h"
#include "irda.h"

namespace {

const IRDA_SOCKET_API kPlatformApi = {
    WSAStartup, WSACleanup, WSAGetLastError, socket, closesocket,
    getsockopt, setsockopt, connect,         send,   recv,
};

const IRDA_SOCKET_API *g_api = &kPlatformApi;

/* The IAS answer is read from a buffer of the option length; the platform's record is
 * smaller, so both share it. */
union IasBuffer {
    IAS_QUERY query;
    char raw[IRDA_IAS_QUERY_SIZE];
};
static_assert(sizeof(IasBuffer) >= IRDA_IAS_QUERY_SIZE, "IAS option length exceeds its buffer");

union DeviceListBuffer {
    DEVICELIST list;
    char raw[IRDA_DEVICE_LIST_SIZE];
};
static_assert(sizeof(SOCKADDR_IRDA) == IRDA_ADDRESS_SIZE, "SOCKADDR_IRDA is 32 octets");
static_assert(offsetof(DEVICELIST, Device) + 5 * sizeof(IRDA_DEVICE_INFO) <= IRDA_DEVICE_LIST_SIZE,
              "the device list holds 5 devices");

/* The base name with its extension: what follows the last folder separator or drive colon. */
const char *base_name(const char *path)
{
    const char *name = path;
    for (const char *p = path; *p; p++)
        if (*p == '\\' || *p == '/' || *p == ':')
            name = p + 1;
    return name;
}

}  // namespace

const IRDA_SOCKET_API *IrdaGetSocketApi() { return g_api; }

const IRDA_SOCKET_API *IrdaSetSocketApi(const IRDA_SOCKET_API *api)
{
    const IRDA_SOCKET_API *old = g_api;
    g_api = api ? api : &kPlatformApi;
    return old;
}

int IrdaParamsOffer9Wire(const unsigned char *pParams, uint32_t nLen)
{
    if (!pParams || nLen < 3)
        return 0;
    /* Each parameter: PI (1), PL (1), PV (PL octets).  A parameter is only looked at while its
     * first value octet lies inside the sequence. */
    uint32_t at = 0;
    for (;;) {
        if ((uint64_t)at + 2 >= nLen)
            return 0;
        unsigned char pi = pParams[at], pl = pParams[at + 1];
        if (pi == 0x00 && pl >= 1 && (pParams[at + 2] & 0x04))
            return 1;
        uint64_t next = (uint64_t)at + 2 + pl;
        if (next >= nLen)
            return 0;
        at = (uint32_t)next;
    }
}

CIrdaLink::CIrdaLink()
    : m_socket(INVALID_SOCKET), m_connected(0), m_progressProc(NULL), m_progressUser(0), m_api(g_api),
      m_failure(IRDA_OK), m_failureCode(0)
{
}

int CIrdaLink::Fail(IRDA_FAILURE failure, DWORD code)
{
    m_failure = failure;
    m_failureCode = code ? code : ERROR_GEN_FAILURE;
    SetLastError(m_failureCode);
    return 0;
}

CIrdaLink::~CIrdaLink()
{
    if (m_socket != INVALID_SOCKET) {
        m_api->pClosesocket(m_socket);
        m_api->pWSACleanup();
        m_socket = INVALID_SOCKET;
    }
}

int CIrdaLink::Open()
{
    if (m_socket != INVALID_SOCKET)
        return 1;
    m_api = g_api;
    WSADATA data;
    int started = m_api->pWSAStartup(0x0101, &data);
    if (started != 0)
        return Fail(IRDA_FAIL_SOCKETS, (DWORD)started);
    SOCKET s = m_api->pSocket(AF_IRDA, SOCK_STREAM, 0);
    if (s == INVALID_SOCKET) {
        /* Pair the startup here: the destructor only ends it for a link holding a socket. */
        int err = m_api->pWSAGetLastError();
        m_api->pWSACleanup();
        return Fail(IRDA_FAIL_SOCKETS, (DWORD)err);
    }
    m_socket = s;
    m_failure = IRDA_OK;
    return 1;
}

int CIrdaLink::Connect()
{
    if (m_connected == 1)
        return 1;
    if (m_socket == INVALID_SOCKET)
        return Fail(IRDA_FAIL_SOCKETS, WSAENOTSOCK);

    SOCKADDR_IRDA addr;
    memset(&addr, 0, sizeof addr);
    addr.irdaAddressFamily = AF_IRDA;
    memcpy(addr.irdaServiceName, IRDA_SERVICE_NAME, sizeof IRDA_SERVICE_NAME);

    /* Device discovery: up to four calls; a list with no device fails at once. */
    DeviceListBuffer devices;
    int attempt, rc = SOCKET_ERROR;
    for (attempt = 0; attempt < IRDA_ATTEMPTS && rc == SOCKET_ERROR; attempt++) {
        memset(&devices, 0, sizeof devices);
        devices.list.numDevice = 0;
        int len = IRDA_DEVICE_LIST_SIZE;
        rc = m_api->pGetsockopt(m_socket, SOL_IRLMP, IRLMP_ENUMDEVICES, devices.raw, &len);
    }
    if (rc == SOCKET_ERROR)
        return Fail(IRDA_FAIL_DISCOVERY, (DWORD)m_api->pWSAGetLastError());
    if (devices.list.numDevice == 0)
        return Fail(IRDA_FAIL_NO_DEVICE, WSAEHOSTDOWN);

    IasBuffer ias;
    memset(&ias, 0, sizeof ias);
    memcpy(addr.irdaDeviceID, devices.list.Device[0].irdaDeviceID, 4);
    memcpy(ias.query.irdaDeviceID, devices.list.Device[0].irdaDeviceID, 4);
    memcpy(ias.query.irdaClassName, IRDA_SERVICE_NAME, sizeof IRDA_SERVICE_NAME);
    memcpy(ias.query.irdaAttribName, IRDA_IAS_ATTRIBUTE, sizeof IRDA_IAS_ATTRIBUTE);

    rc = SOCKET_ERROR;
    for (attempt = 0; attempt < IRDA_ATTEMPTS && rc == SOCKET_ERROR; attempt++) {
        int len = IRDA_IAS_QUERY_SIZE;
        rc = m_api->pGetsockopt(m_socket, SOL_IRLMP, IRLMP_IAS_QUERY, ias.raw, &len);
    }
    if (rc == SOCKET_ERROR)
        return Fail(IRDA_FAIL_IAS, (DWORD)m_api->pWSAGetLastError());
    if (ias.query.irdaAttribType != IAS_ATTRIB_OCTETSEQ)
        return Fail(IRDA_FAIL_NO_IRCOMM, WSAEPROTONOSUPPORT);
    uint32_t seqLen = ias.query.irdaAttribute.irdaAttribOctetSeq.Len;
    if (seqLen > IAS_MAX_OCTET_STRING)  // never trust a length past the record
        seqLen = IAS_MAX_OCTET_STRING;
    if (!IrdaParamsOffer9Wire(ias.query.irdaAttribute.irdaAttribOctetSeq.OctetSeq, seqLen))
        return Fail(IRDA_FAIL_NO_IRCOMM, WSAEPROTONOSUPPORT);

    DWORD nineWire = 1;
    m_api->pSetsockopt(m_socket, SOL_IRLMP, IRLMP_9WIRE_MODE, (const char *)&nineWire, sizeof nineWire);

    rc = SOCKET_ERROR;
    for (attempt = 0; attempt < IRDA_ATTEMPTS && rc == SOCKET_ERROR; attempt++)
        rc = m_api->pConnect(m_socket, (const struct sockaddr *)&addr, IRDA_ADDRESS_SIZE);
    if (rc == SOCKET_ERROR)
        return Fail(IRDA_FAIL_CONNECT, (DWORD)m_api->pWSAGetLastError());
    m_connected = 1;
    m_failure = IRDA_OK;
    return 1;
}

int CIrdaLink::Send(const void *pData, int nCount)
{
    if (m_socket == INVALID_SOCKET)
        return -1;
    return m_api->pSend(m_socket, (const char *)pData, nCount, 0);
}

int CIrdaLink::Receive(void *pBuffer, int nSize)
{
    if (m_socket == INVALID_SOCKET)
        return -1;
    return m_api->pRecv(m_socket, (char *)pBuffer, nSize, 0);
}

int CIrdaLink::SendFile(const char *lpszFile, IRDA_PROGRESS_PROC progressProc, uint32_t progressUser)
{
    m_progressProc = progressProc;
    m_progressUser = progressUser;
    if (!lpszFile)
        return Fail(IRDA_FAIL_FILE, ERROR_INVALID_PARAMETER);

    /* The file is opened and measured before anything goes out: a file that cannot be sent
     * must not leave a half-announced transfer on the phone. */
    FIO_FILE *f = FioOpen(lpszFile, "rb");
    if (!f)
        return Fail(IRDA_FAIL_FILE, GetLastError());
    int result = SendStream(f, base_name(lpszFile));
    FioClose(f);
    if (!result)
        SetLastError(m_failureCode);
    return result;
}

int CIrdaLink::SendStream(FIO_FILE *f, const char *name)
{
    long long size = FioSize(f);
    if (size < 0)
        return Fail(IRDA_FAIL_FILE, GetLastError());
    /* The header's length field is a 32-bit long on the target, and progress counts are
     * 32-bit: a larger file cannot be announced truthfully. */
    if (size > LONG_MAX - IRDA_HEADER_BUFFER || size > 0x7FFFFFFFLL - IRDA_HEADER_BUFFER)
        return Fail(IRDA_FAIL_TOO_LARGE, ERROR_FILE_TOO_LARGE);

    char buffer[IRDA_HEADER_BUFFER];
    int h = snprintf(buffer, sizeof buffer, IRDA_HEADER_FORMAT, name, (long)size);
    if (h < 0 || h >= (int)sizeof buffer)  // the name does not fit the header buffer
        return Fail(IRDA_FAIL_NAME_TOO_LONG, ERROR_FILENAME_EXCED_RANGE);
    if (!Connect())
        return 0;
    if (!SendAll(buffer, h))
        return 0;
    const uint32_t total = (uint32_t)h + (uint32_t)size;
    if (m_progressProc)
        m_progressProc(total, (uint32_t)h, m_progressUser);

    long long sent = 0;
    while (sent < size) {
        /* Never more than the size announced, even if the file grew meanwhile. */
        size_t want = (size_t)(size - sent < (long long)IRDA_CHUNK ? size - sent : (long long)IRDA_CHUNK);
        size_t got = FioRead(f, buffer, want);
        if (got == 0) {  // the file shrank or cannot be read: the phone would wait forever
            if (FioError(f))
                return Fail(IRDA_FAIL_FILE, FioLastError(f));
            return Fail(IRDA_FAIL_FILE_SHRANK, ERROR_HANDLE_EOF);
        }
        if (!SendAll(buffer, (int)got))
            return 0;
        sent += (long long)got;
        if (m_progressProc)
            m_progressProc(total, (uint32_t)h + (uint32_t)sent, m_progressUser);
    }
    m_failure = IRDA_OK;
    return 1;
}

/* One send of the whole block; a short or failed send is the link's failure. */
int CIrdaLink::SendAll(const char *data, int count)
{
    int put = Send(data, count);
    if (put == count)
        return 1;
    DWORD code = put < 0 ? (DWORD)m_api->pWSAGetLastError() : WSAECONNRESET;
    return Fail(IRDA_FAIL_SEND, code);
}

CIrdaLink *IrdaCreate()
{
    CIrdaLink *link = new (std::nothrow) CIrdaLink();
    if (!link) {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return NULL;
    }
    if (!link->Open()) {
        DWORD code = link->GetFailureCode();
        delete link;
        SetLastError(code);
        return NULL;
    }
    return link;
}

void IrdaDestroy(CIrdaLink *link) { delete link; }

int IrdaConnect(CIrdaLink *link) { return link ? link->Connect() : 0; }

int IrdaSend(CIrdaLink *link, const void *pData, int nCount) { return link ? link->Send(pData, nCount) : -1; }

int IrdaReceive(CIrdaLink *link, void *pBuffer, int nSize) { return link ? link->Receive(pBuffer, nSize) : -1; }

int IrdaSendFile(CIrdaLink *link, const char *lpszFile, IRDA_PROGRESS_PROC progressProc, uint32_t progressUser)
{
    return link ? link->SendFile(lpszFile, progressProc, progressUser) : 0;
}

int SendFileByIrda(const char *lpszFile)
{
    CIrdaLink *link = IrdaCreate();
    if (!link)
        return 0;
    int result = IrdaSendFile(link, lpszFile, NULL, 0);
    DWORD code = link->GetFailureCode();
    IrdaDestroy(link);
    if (!result)
        SetLastError(code);
    return result;
}
