/* MMS PDUs: the header reader on the octets, then the whole PDU as a file through MmsOpenPdu.
 * Both must agree on whether the headers are well-formed, a failure must say why, and a PDU
 * that opens must have its parts inside the file. */
#include <stddef.h>
#include <stdint.h>

#include <string>

#include "fuzz_check.h"
#include "fuzz_input.h"
#include "mms.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    static const std::string path = FuzzScratchPath("mms_fuzz", ".mms");
    MMS_HEADERS h;
    std::string why;
    bool headers = MmsDecodeHeaders(data, size, &h, &why) != 0;
    CHECK(headers ? h.bodyOffset >= 2 && (size_t)h.bodyOffset < size : !why.empty());
    if (!FuzzWriteInput(path, data, size))
        return 0;
    size_t slash = path.find_last_of("/\\");
    std::string folder = path.substr(0, slash + 1), name = path.substr(slash + 1);
    MMS_HEADERS r;
    MIME_MESSAGE *msg = MmsOpenPdu(folder.c_str(), name.c_str(), &r, &why);
    if (msg) {
        CHECK(headers && r.bodyOffset == h.bodyOffset);
        for (const MIME_PART *p = msg->firstPart; p; p = p->next)
            CHECK(p->dataOffset > r.bodyOffset && (size_t)p->dataOffset + (size_t)p->dataLength <= size);
        MimeDestroy(msg);
    }
    return 0;
}
