/*
 * The local link that stands in for an infrared port on non-Windows hosts (not Win32).
 *
 * A device "in range" is a process (a phone simulator) listening on a Unix-domain stream
 * socket "<folder>/<device id as 8 hex digits>.sock".  The folder is $MEDLEY_IRDA_DIR, else
 * "$XDG_RUNTIME_DIR/medley-irda", else "irda" in the user's private temporary folder.  Either
 * side uses it only when it is private (CompatPrivateFolderA: this user's, 0700, not a link),
 * and each checks that the process at the other end runs as the same user (SO_PEERCRED).
 *
 * Each exchange opens a connection and starts with one request line (at most 511 octets,
 * ending in "\n"), answered by one line:
 *
 *   "INFO"                           -> "DEVICE <id hex8> <hints1 hex2> <hints2 hex2> <charset> <name>"
 *                                       (or the connection closes: the device is not discoverable)
 *   "IAS <class>\t<attribute>"       -> "OCTETS <hex>" | "INT <n>" | "NOCLASS" | "NOATTRIB"
 *   "CONNECT <service>\t<9wire 0|1>" -> "OK" | "REFUSED"
 *
 * After "OK" the connection carries frames (integers little-endian):
 *
 *   host -> device  'D' u32 n, n octets    device -> host  'A' u32 accepted  | 'X' (link reset)
 *   host -> device  'R' u32 max            device -> host  'D' u32 n, n octets | 'E' (closed)
 *
 * A device that stops answering is dropped by the host after the link timeout:
 * $MEDLEY_IRDA_TIMEOUT_MS, default 5000, or the socket's SO_SNDTIMEO / SO_RCVTIMEO.
 */
#pragma once
#include "compat/types.h"

/* Copies the link folder (no trailing separator) into buf.  RETURNS its length, or 0 when
 * it does not fit in size octets with the terminating zero. */
COMPAT_API DWORD compat_irda_link_folder(char *buf, DWORD size);
