/*
 * A message file as the PDU a phone posts to its carrier's MMS centre (OMA MMS Encapsulation
 * 1.2), and as an e-mail (RFC 2045-2049, RFC 2387).
 *
 * The PDU is a run of headers, the Content-Type last, then the multipart body.  A message file
 * (mime.h) already is a Content-Type header followed by a multipart body, so an m-send-req is
 * the headers below put before the file's own octets:
 *
 *   8C 80              X-Mms-Message-Type   m-send-req
 *   98 <id> 00         X-Mms-Transaction-Id
 *   8D 92              X-Mms-MMS-Version    1.2
 *   85 <Long-integer>  Date                 seconds since 1970-01-01 UTC
 *   89 01 81           From                 insert-address token (the centre fills it in), or
 *   89 <len> 80 <encoded string>            an address
 *   97 <encoded string>    To   (one header per recipient; 82 Cc, 81 Bcc)
 *   96 <len> EA <text> 00  Subject, UTF-8 (MIBenum 106) with its charset
 *   84 <content type>  then the entry count and entries, octet for octet as in the file
 *
 *   Encoded-string-value: Text-string | Value-length Char-set Text-string; a text whose first
 *   octet is above 0x7F gets the Quote octet 0x7F before it.
 *   Addresses: "+4712345678/TYPE=PLMN" for a phone number, an e-mail address as it is.
 *
 * Readers take an m-send-req or an m-retrieve-conf; headers they do not know are stepped over by
 * their WSP encoding.  Failures come back with a one-line reason.
 */
#pragma once
#include <stddef.h>
#include <stdint.h>

#include <string>
#include <vector>

#include "mime.h"

enum {
    MMS_M_SEND_REQ = 0x80,
    MMS_M_RETRIEVE_CONF = 0x84,
    MMS_VERSION_1_2 = 0x92, /* major version 1 in bits 4-6, minor 2 in bits 0-3, high bit set */
};

/* The headers of a PDU, or of an e-mail.  Texts are UTF-8. */
struct MMS_HEADERS {
    int messageType = MMS_M_SEND_REQ;
    int version = MMS_VERSION_1_2;
    std::string transactionId;
    int64_t date = -1;                    /* seconds since 1970, -1 when absent */
    std::string from;                     /* empty: the insert-address token */
    std::vector<std::string> to, cc, bcc; /* as carried ("+47.../TYPE=PLMN", "a@b.c") */
    std::string subject;
    bool hasSubject = false;
    std::string messageId;
    int skipped = 0;         /* headers stepped over (reading) */
    int32_t bodyOffset = -1; /* of the Content-Type header (reading) */
};

/* The address as a PDU carries it: a phone number ("+" then 1-20 digits, or digits only; the
 * separators " -.()" are dropped) gets "/TYPE=PLMN", an e-mail address (one "@", printable ASCII
 * without spaces, something on both sides) is kept.  Empty when it is neither. */
std::string MmsAddress(const std::string &given);

/* A transaction id no earlier call in any process is likely to have given: "T" and 16 hex
 * digits from the clock and the system's random source. */
std::string MmsNewTransactionId(void);

/* Octets from the command line or a file name made UTF-8: kept when they already are, else read
 * as Windows-1252. */
std::string MmsTextAsUtf8(const std::string &octets);

/* Appends the headers of an m-send-req before its Content-Type (see the table above) to out.
 * RETURNS: 1; 0 with *why set for a header that cannot be written (no recipient, an address that
 * is not one, a subject or id holding a control octet). */
int MmsEncodeSendHeaders(const MMS_HEADERS &h, std::vector<uint8_t> &out, std::string *why);

/* Writes the message file msgFolder + msgName as an m-send-req to outFolder + outName: the
 * headers, the message's Content-Type (with the start part's "type" and "start" for a related
 * message) and its entries octet for octet.  The PDU is written beside its destination and
 * renamed into place when complete; the destination is never the message file itself.
 * RETURNS: 1; 0 with *why set (and GetLastError() kept from the failing call). */
int MmsWriteSendReq(const char *msgFolder, const char *msgName, const MMS_HEADERS &h, const char *outFolder,
                    const char *outName, std::string *why);

/* Decodes the headers of a PDU in data[0..size) up to its Content-Type header, whose offset goes
 * to h->bodyOffset.  The first header must be the message type: an m-send-req or an
 * m-retrieve-conf.  RETURNS: 1; 0 with *why set for a PDU of another type or whose headers are
 * malformed or end before the Content-Type. */
int MmsDecodeHeaders(const uint8_t *data, size_t size, MMS_HEADERS *h, std::string *why);

/* Opens a PDU file: its headers into *h, its body as a message in reading mode (mime.h: its
 * parts are extracted by the same rules as a message file's).  Null with *why set. */
MIME_MESSAGE *MmsOpenPdu(const char *lpszFolder, const char *lpszName, MMS_HEADERS *h, std::string *why);

/*
 * E-mail export.  The message file becomes a MIME message: multipart/related (RFC 2387) with the
 * presentation as its root (first, named by "start" and "type") for a message with a start part,
 * else multipart/mixed; each part base64 with its type (texts keep their charset), its
 * Content-ID and Content-Location, and its name as "name" and "filename" parameters, in RFC 2231
 * form (UTF-8, in pieces) when not plain ASCII or too long for a line.  Subjects not in plain
 * ASCII are RFC 2047 encoded words.  Lines end in CRLF and hold at most 78 characters.
 * Addresses are e-mail addresses (h.to, h.cc; h.from when given).
 * RETURNS: 1; 0 with *why set.  Written beside the destination and renamed into place.
 */
int MailExport(const char *msgFolder, const char *msgName, const MMS_HEADERS &h, const char *outFolder,
               const char *outName, std::string *why);

/* The pieces of the export, for its tests: a parameter as one or more "; name=value" pieces, each
 * at most `room` characters (RFC 2231 continuations "name*0*=utf-8''..." when needed), and a
 * subject as encoded words of at most 64 characters (39 octets). */
std::vector<std::string> MailParameter(const std::string &name, const std::string &utf8Value, size_t room);
std::vector<std::string> MailEncodedWords(const std::string &utf8Text);
