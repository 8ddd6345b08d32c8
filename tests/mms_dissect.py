"""Hands message files to Wireshark's MMS dissector and says whether each dissects cleanly.

Each message file becomes the body of an MMS m-retrieve-conf PDU (message type, transaction
id, version, then the file's own Content-Type header and multipart body), carried as an HTTP
response over one TCP connection in a capture file that tshark reads.  A message dissects
cleanly when tshark reports no malformed packet and no expert error, and finds as many
multipart entries as the file says it has.
"""
import os
import re
import struct
import subprocess
import tempfile


def checksum(data):
    if len(data) % 2:
        data += b"\0"
    s = sum(struct.unpack("!%dH" % (len(data) // 2), data))
    while s >> 16:
        s = (s & 0xFFFF) + (s >> 16)
    return ~s & 0xFFFF


def packet(src, dst, sport, dport, seq, ack, flags, payload):
    tcp = struct.pack("!HHIIBBHHH", sport, dport, seq, ack, 5 << 4, flags, 65535, 0, 0)
    pseudo = struct.pack("!4s4sBBH", src, dst, 0, 6, len(tcp) + len(payload))
    tcp = tcp[:16] + struct.pack("!H", checksum(pseudo + tcp + payload)) + tcp[18:]
    ip = struct.pack("!BBHHHBBH4s4s", 0x45, 0, 20 + len(tcp) + len(payload), 1, 0, 64, 6, 0, src, dst)
    ip = ip[:10] + struct.pack("!H", checksum(ip)) + ip[12:]
    return ip + tcp + payload


def capture(body):
    """A pcap (raw IPv4) of a GET answered with `body` as an MMS PDU."""
    client, server = bytes([10, 0, 0, 1]), bytes([10, 0, 0, 2])
    cport, sport = 40000, 80
    c_seq, s_seq = 1001, 5001  # after the handshake
    request = b"GET /mms HTTP/1.1\r\nHost: mmsc\r\n\r\n"
    frames = [packet(client, server, cport, sport, c_seq - 1, 0, 0x02, b""),
              packet(server, client, sport, cport, s_seq - 1, c_seq, 0x12, b""),
              packet(client, server, cport, sport, c_seq, s_seq, 0x10, b""),
              packet(client, server, cport, sport, c_seq, s_seq, 0x18, request)]
    c_seq += len(request)
    head = ("HTTP/1.1 200 OK\r\nContent-Type: application/vnd.wap.mms-message\r\n"
            "Content-Length: %d\r\n\r\n" % len(body)).encode()
    stream = head + body
    for at in range(0, len(stream), 1400):
        chunk = stream[at:at + 1400]
        frames.append(packet(server, client, sport, cport, s_seq, c_seq, 0x18, chunk))
        s_seq += len(chunk)
    out = struct.pack("<IHHiIII", 0xA1B2C3D4, 2, 4, 0, 0, 65535, 101)
    for i, f in enumerate(frames):
        out += struct.pack("<IIII", 1700000000, i, len(f), len(f)) + f
    return out


def mms_pdu(message):
    # m-retrieve-conf, transaction id "t1", version 1.2, then the file: 0x84 Content-Type ...
    return b"\x8C\x84" + b"\x98t1\x00" + b"\x8D\x92" + message


def entry_count(message):
    """The entry count that follows the file's Content-Type value: a short integer, a text, or
    a length (short, or 31 and a uintvar) and that many octets."""
    b, pos = message[1], 2
    if b == 31:
        length = 0
        while True:
            length = (length << 7) | (message[pos] & 0x7F)
            pos += 1
            if not message[pos - 1] & 0x80:
                break
        pos += length
    elif b < 31:
        pos += b
    elif b < 0x80:
        pos = message.index(b"\0", 1) + 1
    return message[pos]


def dissect(pdu):
    """tshark's detailed text of `pdu` answered to an HTTP GET, and the problems it reports."""
    with tempfile.NamedTemporaryFile(suffix=".pcap", delete=False) as t:
        t.write(capture(pdu))
        name = t.name
    try:
        out = subprocess.run(["tshark", "-r", name, "-V", "-o", "tcp.check_checksum:FALSE"],
                             capture_output=True, text=True, errors="replace").stdout
    finally:
        os.unlink(name)
    problems = []
    if "Malformed" in out:
        problems.append("malformed packet")
    for line in out.splitlines():
        if "[Severity level: Error]" in line:
            problems.append(line.strip())
    if "MMS Message Encapsulation" not in out:
        problems.append("no MMS PDU found")
    return out, problems


def parts_of(out):
    """Each part's type and Content-Location lines, in order."""
    return re.findall(r"^\s+(Part: \d+, content-type: .*|Content-Location: .*)$", out, re.M)


def check(path):
    with open(path, "rb") as f:
        message = f.read()
    out, problems = dissect(mms_pdu(message))
    entries = len(re.findall(r"^\s+Part: \d+, content-type:", out, re.M))
    want = entry_count(message)
    if entries != want:
        problems.append("%d multipart entries dissected, the file holds %d" % (entries, want))
    return problems


def shown(text):
    """A header text as this dissector shows a charset-labelled string: it reads the octets as
    ASCII, so each octet above 0x7F becomes U+FFFD."""
    return "".join(chr(b) if b < 0x80 else "\ufffd" for b in text.encode("utf-8"))


def check_send_req(path, message_path, to, cc, subject):
    """An m-send-req written from the message file at message_path: its type, recipients
    (as carried: phone numbers with /TYPE=PLMN), subject, and the message's parts as given."""
    with open(path, "rb") as f:
        out, problems = dissect(f.read())
    with open(message_path, "rb") as f:
        given = parts_of(dissect(mms_pdu(f.read()))[0])
    if not re.search(r"^\s+X-Mms-Message-Type: m-send-req \(0x80\)$", out, re.M):
        problems.append("not dissected as an m-send-req")
    for field, want in (("To", to), ("Cc", cc)):
        got = re.findall(r"^\s+%s: (.*)$" % field, out, re.M)
        if got != want:
            problems.append("%s %s, wanted %s" % (field, got, want))
    got = re.findall(r"^\s+Subject: (.*)$", out, re.M)
    if got != [shown(subject)]:
        problems.append("subject %r, wanted %r" % (got, shown(subject)))
    if parts_of(out) != given or not given:
        problems.append("parts %s, the message has %s" % (parts_of(out), given))
    return problems
