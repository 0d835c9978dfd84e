#!/usr/bin/env python3
"""Writes the seed corpora of the fuzz targets into fuzz/corpus/<target>/.

Each seed is a small, well-formed case of what the target reads (a frame on
the link, a settings text, an HTTP request frame, a hive, a command line, a
sequence of control requests), so the fuzzer starts from the shapes real
inputs have. Run it again after changing a seed; the files are committed."""
import os
import struct
import sys

ROOT = os.path.join(os.path.dirname(os.path.abspath(__file__)), "corpus")

MARKER = bytes([38]) + b"{0231F7AF-951B-4342-BB3E-3EB7B220C855}"
ARENA = 0x7F0000000000
ADAPTER = 0xADA0ADA0ADA00000


def write(target, name, data):
    folder = os.path.join(ROOT, target)
    os.makedirs(folder, exist_ok=True)
    with open(os.path.join(folder, name), "wb") as f:
        f.write(data)


def frame(payload):
    return MARKER + struct.pack("<q", len(payload)) + payload


def link_frames():
    ping = frame(b"\x01")
    text = frame(b"\x02" + b"EnableFirewall=1\r\nEnabledTcpPorts=80")
    write("link_frames", "one_frame_whole", b"\x00" + ping)
    write("link_frames", "two_frames_one_read", b"\x00" + ping + text)
    write("link_frames", "byte_by_byte", b"\x01\x01" + ping + text)
    write("link_frames", "split_header", b"\x03\x05\x2a\x40" + text + ping)
    write("link_frames", "empty_payload", b"\x00" + frame(b""))
    write("link_frames", "bad_marker", b"\x00" + b"X" + ping[1:] + ping)
    write("link_frames", "negative_length", b"\x02\x2f\x10" + MARKER + struct.pack("<q", -1) + ping)
    write("link_frames", "too_long", b"\x00" + MARKER + struct.pack("<q", 1024 * 1024 + 1) + b"abc")
    write("link_frames", "raising_handler", b"\x02\x40\x40" + frame(b"\xee\x01") + ping)
    write("link_frames", "empty_reads", b"\x03\x00\x10\x00" + ping)


def message_codec():
    write("message_codec", "settings", struct.pack("<i", 603915274) + b"\x02" + b"EnableUrlLog=True\r\nFreeUrlList=a\tb")
    write("message_codec", "address_list", struct.pack("<i", 1) + b"\x03" + b"192.168.137.23\t02-AA-BB-CC-DD-EE\tphone")
    write("message_codec", "range_edges", struct.pack("<i", -7) + b"\x02" + bytes([31, 32, 33, 121, 122, 123, 0, 255]))
    write("message_codec", "code_only", b"\x00\x00\x00\x00\x01")


SETTINGS = (
    "EnableFirewall=1\r\nEnableDefaultTcpPorts=1\r\nEnableDefaultUdpPorts=0\r\n"
    "EnabledTcpPorts=80;443\r\nDisabledTcpPorts=21 22;6881\r\n"
    "EnabledUdpPorts=53\r\nDisabledUdpPorts=\"137\";$8A;0x8B\r\n"
    "EnableUrlLog=True\r\nFreeUrlList=example.com\twww.test\r\nFreeMacList=02-AA-BB-CC-DD-EE\r\n"
)


def settings_text():
    write("settings_text", "full", SETTINGS.encode())
    write("settings_text", "lf_only", SETTINGS.replace("\r\n", "\n").encode())
    write("settings_text", "quoted_items", b'enabledtcpports="8""0";;" 443 ";-1;65616;+2147483647;-2147483648\nENABLEFIREWALL=true')
    write("settings_text", "numbers_as_booleans", b"EnableFirewall=0.5\rEnableDefaultTcpPorts=0\rEnableUrlLog=-0\r")
    write("settings_text", "duplicates", b"EnableFirewall=1\nEnableFirewall=0\n EnableFirewall=1\nDisabledTcpPorts=$FFFF x80 0x")
    write("settings_text", "empty", b"")


def ipv4(src, dst, proto, sport, dport, payload=b"", ihl=5, smac=b"\x02\xaa\xbb\xcc\xdd\xee"):
    eth = b"\x02\x11\x22\x33\x44\x55" + smac + b"\x08\x00"
    ip = bytes([0x40 | ihl, 0]) + struct.pack(">H", 20 + 4 + len(payload)) + b"\x00\x00\x40\x00\x40" + bytes([proto])
    ip += b"\x00\x00" + bytes(src) + bytes(dst) + bytes(4 * (ihl - 5))
    return eth + ip + struct.pack(">HH", sport, dport) + payload


def judged(flags, settings, frame_bytes):
    return bytes([flags, len(settings)]) + settings + frame_bytes


def frame_judgement():
    log_on = b"EnableUrlLog=1\nEnableFirewall=1\nDisabledTcpPorts=6881\nEnabledUdpPorts=53\nEnableDefaultUdpPorts=0"
    client, server, hotspot = [192, 168, 137, 23], [93, 184, 216, 34], [192, 168, 137, 1]
    get = b"\x00" * 16 + b"GET /index.html HTTP/1.1\r\nHost: www.example.com\r\nUser-Agent: x\r\n\r\n"
    write("frame_judgement", "http_get", judged(0, log_on, ipv4(client, server, 6, 50000, 80, get)))
    write("frame_judgement", "http_image", judged(0, log_on, ipv4(client, server, 6, 50000, 80,
          b"GET /a.png?x=1 HTTP/1.1\r\nHost: example.com\r\n")))
    write("frame_judgement", "host_at_end", judged(0, log_on, ipv4(client, server, 6, 50001, 80,
          b"GET / HTTP/1.0\r\nHost:   a\x01b\r\n")))
    write("frame_judgement", "to_hotspot", judged(0, log_on, ipv4(client, hotspot, 6, 50000, 80, get)))
    write("frame_judgement", "blocked_tcp", judged(0, log_on, ipv4(client, server, 6, 40000, 6881)))
    write("frame_judgement", "udp_dns", judged(0, log_on, ipv4(client, server, 17, 40000, 53)))
    write("frame_judgement", "udp_other", judged(0, log_on, ipv4(client, server, 17, 40000, 137)))
    write("frame_judgement", "outbound", judged(1, log_on, ipv4(server, client, 6, 6881, 50000)))
    write("frame_judgement", "options", judged(0, log_on, ipv4(client, server, 6, 50000, 80, get, ihl=15)))
    write("frame_judgement", "short", judged(0, log_on, ipv4(client, server, 6, 50000, 80)[:35]))
    write("frame_judgement", "arp", judged(0, b"", b"\xff" * 6 + b"\x02\xaa\xbb\xcc\xdd\xee\x08\x06" + b"\x00" * 28))


def hive_file():
    text = (
        "ZLHIVE 1\nK =\nK =SYSTEM\nK =SYSTEM\\CurrentControlSet\\Services\\VORLANEX\\Parameters\n"
        "V =MTUDecrement 4 00000000\nV =StartupMode 4 01000000\n"
        "K =EmulatedMachine\\Adapters\\0\nV =Name 1 4C414E2D566572620069\nV =Empty%20Name 3\n"
        "V = 7 61620063640000\nK =SOFTWARE\\Zephlink\nV =Language 1 44657574736368\n"
    )
    write("hive_file", "machine", text.encode())
    write("hive_file", "empty", b"ZLHIVE 1\n")
    write("hive_file", "escapes", b"ZLHIVE 1\nK =A%5CB\\%C4%E4\nV =%25%0A 2 2500\nK =a\\\\b\\\\\\c\n")
    write("hive_file", "corrupt_hex", b"ZLHIVE 1\nK =X\nV =v 1 0G\n")
    write("hive_file", "not_a_hive", b"ZLHIVE 2\nK =X\n")


def command_line():
    lines = {
        "cmd_netsh": 'C:\\Windows\\System32\\cmd.exe /c "netsh wlan set hostednetwork mode=allow ssid="My Net" key="12345678" keyUsage=persistent"',
        "cmd_quoted_program": '"C:\\Windows\\System32\\cmd.exe" /s /c ""netsh" wlan start hostednetwork"',
        "cmd_operators": 'cmd.exe /c "netsh wlan stop hostednetwork & echo a && b || c | d ^& e"',
        "cmd_variables": 'cmd.exe /k %SystemRoot%\\system32\\netsh.exe wlan show hostednetwork %%x%',
        "backslashes": 'prog a\\\\"b c" d\\e "f\\\\\\"g" "" """"h',
        "netsh_args": 'netsh wlan set hostednetwork mode=disallow',
        "cmd_q_switch": 'cmd /q/d /c netsh',
    }
    for name, line in lines.items():
        write("command_line", name, line.encode())


# --- control device -----------------------------------------------------------

CODES = {name: i for i, name in enumerate([
    "GET_VERSION", "GET_ADAPTER_LIST", "SEND_TO_ADAPTER", "SEND_TO_PROTOCOLS", "READ_PACKET",
    "SET_ADAPTER_MODE", "FLUSH_ADAPTER_QUEUE", "SET_PACKET_EVENT", "OID_SET", "OID_QUERY",
    "SET_WAN_EVENT", "SET_ADAPTER_LIST_EVENT", "GET_QUEUE_SIZE", "GET_ADAPTER_MODE", "SET_FILTER_TABLE",
    "RESET_FILTER_TABLE", "GET_FILTER_TABLE_SIZE", "GET_FILTER_TABLE", "GET_FILTER_TABLE_RESET_STATS",
    "GET_RAS_LINKS", "SEND_PACKETS_TO_ADAPTER", "SEND_PACKETS_TO_PROTOCOLS", "READ_PACKETS"])}


def request(code, data=b"", out=0, large=None):
    op = 0x80 if large is not None else 0x00
    out_field = large if large is not None else out
    return bytes([op, CODES[code]]) + struct.pack("<HH", len(data), out_field) + data


def arrival(from_stack, adapter, frame_bytes, shape=0):
    return bytes([6 if from_stack else 5, adapter, shape]) + struct.pack("<H", len(frame_bytes)) + frame_bytes


def arena(offset, data):
    return bytes([7]) + struct.pack("<HH", offset, len(data)) + data


def record(frame_bytes, direction=1):
    return struct.pack("<QQIIII", 0, 0, direction, len(frame_bytes), 0, 0) + frame_bytes


def adapter(i=0):
    return struct.pack("<Q", ADAPTER + i)


def control_device():
    client, server = [192, 168, 137, 23], [93, 184, 216, 34]
    tcp = ipv4(client, server, 6, 50000, 80, b"GET / HTTP/1.1\r\nHost: a\r\n")
    write("control_device", "version_and_list",
          request("GET_VERSION", out=4) + request("GET_ADAPTER_LIST", large=0) + request("GET_RAS_LINKS", large=2))
    write("control_device", "divert_and_read",
          request("SET_ADAPTER_MODE", adapter() + struct.pack("<I", 3)) + arrival(False, 0, tcp) +
          arrival(True, 0, tcp, shape=1) + request("GET_QUEUE_SIZE", adapter(), out=4) +
          request("READ_PACKET", adapter() + struct.pack("<Q", ARENA)) +
          request("READ_PACKETS", struct.pack("<QII", ADAPTER, 2, 0) + struct.pack("<QQ", ARENA + 2048, ARENA + 4096), out=32))
    write("control_device", "send_both_ways",
          arena(0, record(tcp, 1)) + arena(2048, record(tcp, 2)) +
          request("SEND_TO_ADAPTER", adapter() + struct.pack("<Q", ARENA)) +
          request("SEND_TO_PROTOCOLS", adapter() + struct.pack("<Q", ARENA + 2048)) +
          request("SEND_PACKETS_TO_ADAPTER", struct.pack("<QII", ADAPTER, 2, 0) + struct.pack("<QQ", ARENA, ARENA + 2048)) +
          request("SEND_PACKETS_TO_PROTOCOLS", struct.pack("<QII", ADAPTER, 1, 0) + struct.pack("<Q", 8)))
    write("control_device", "events",
          request("SET_PACKET_EVENT", adapter() + struct.pack("<Q", 0x40)) +
          request("SET_WAN_EVENT", struct.pack("<Q", 0x44)) +
          request("SET_ADAPTER_LIST_EVENT", struct.pack("<Q", 0x48)) +
          request("SET_ADAPTER_MODE", adapter() + struct.pack("<I", 2)) + arrival(False, 0, tcp) +
          request("SET_PACKET_EVENT", adapter() + struct.pack("<Q", 0x99)))
    write("control_device", "oid",
          request("OID_QUERY", adapter() + struct.pack("<II", 0x00010107, 4) + b"\x00" * 4, out=20) +
          request("OID_SET", adapter() + struct.pack("<II", 0x0001010E, 4) + b"\x01\x00\x00\x00", out=20) +
          request("OID_QUERY", adapter(1) + struct.pack("<II", 0x00010202, 64), out=16))
    rule = struct.pack("<QIIIIQQ", 0, 3, 2, 4, 0, 0, 0) + b"\x00" * 8 + b"\x00" * 12 + b"\x00" * 4
    rule += struct.pack("<II", 0, 0) + b"\x00" * 24 + struct.pack("<I", 1) + struct.pack("<II", 1, 2)
    rule += struct.pack("<HHHH", 0, 65535, 80, 80)
    rule = rule[:116].ljust(116, b"\x00")
    table = struct.pack("<I", 1) + rule
    write("control_device", "filter_table",
          request("SET_FILTER_TABLE", table) + request("GET_FILTER_TABLE_SIZE", out=4) +
          request("SET_ADAPTER_MODE", adapter() + struct.pack("<I", 3)) + arrival(False, 0, tcp) +
          request("GET_FILTER_TABLE", large=4) + request("GET_FILTER_TABLE_RESET_STATS", large=4) +
          request("RESET_FILTER_TABLE"))
    write("control_device", "flush_and_mode",
          request("SET_ADAPTER_MODE", adapter() + struct.pack("<I", 0x7F)) + arrival(False, 0, tcp) +
          arrival(True, 0, tcp) + request("GET_ADAPTER_MODE", adapter(), out=12) +
          request("FLUSH_ADAPTER_QUEUE", adapter()))
    write("control_device", "several_handles",
          bytes([4, 1]) + request("SET_ADAPTER_MODE", adapter() + struct.pack("<I", 2)) + arrival(False, 0, tcp) +
          bytes([4, 2]) + request("GET_QUEUE_SIZE", adapter(), out=4) + bytes([4, 1, 4, 3, 4, 0]))
    write("control_device", "unknown_code", bytes([0, 0xFF]) + struct.pack("<I", 0x83002200) + struct.pack("<HH", 4, 4) + b"\x00" * 4)


def filter_rule(action, directions=3, layers=0, handle=0, eth=None, ipv4_fields=None, ports=None):
    r = bytearray(116)
    struct.pack_into("<QII", r, 0, handle, directions, action)
    struct.pack_into("<I", r, 16, layers)
    if eth:
        struct.pack_into("<II", r, 40, 1, eth[0])  # DataLinkKind, EthernetFields
        r[48:54] = eth[1]
        r[54:60] = eth[2]
        struct.pack_into("<H", r, 60, eth[3])
    if ipv4_fields:
        kind, fields, skind, s1, s2, dkind, d1, d2, proto = ipv4_fields
        struct.pack_into("<IIIIIIIIB", r, 64, kind, fields, skind, s1, s2, dkind, d1, d2, proto)
    if ports:
        struct.pack_into("<IIHHHH", r, 100, 1, ports[0], ports[1], ports[2], ports[3], ports[4])
    return bytes(r)


def filter_table():
    client, server = [192, 168, 137, 23], [93, 184, 216, 34]
    frames = [(1, ipv4(client, server, 6, 50000, 80)), (2, ipv4(server, client, 17, 53, 40000)),
              (2, b"\xff" * 6 + b"\x02\xaa\xbb\xcc\xdd\xee\x08\x06" + b"\x00" * 28), (1, ipv4(client, server, 6, 1, 2)[:30])]

    def case(flags, rules, frame_list):
        table = struct.pack("<I", len(rules)) + b"".join(rules)
        body = b"".join(bytes([d]) + struct.pack("<H", len(f)) + f for d, f in frame_list)
        return bytes([flags]) + struct.pack("<H", len(table)) + table + body

    subnet = struct.unpack("<I", bytes([192, 168, 137, 0]))[0]
    mask = struct.unpack("<I", bytes([255, 255, 255, 0]))[0]
    write("filter_table", "ports", case(0, [filter_rule(2, layers=4, ports=(2, 0, 0, 80, 80)), filter_rule(1)], frames))
    write("filter_table", "subnet", case(0, [filter_rule(3, layers=2, ipv4_fields=(1, 1, 1, subnet, mask, 0, 0, 0, 0))], frames))
    write("filter_table", "ethernet", case(1, [filter_rule(2, directions=2, layers=1,
          eth=(7, b"\x02\xaa\xbb\xcc\xdd\xee", b"\xff" * 6, 0x0806)), filter_rule(1, handle=ADAPTER)], frames))
    write("filter_table", "range_protocol", case(0, [filter_rule(1, layers=6, ipv4_fields=(1, 6, 2, 0, 0xFFFFFFFF, 2, 0, 0xFFFFFFFF, 17),
          ports=(3, 0, 65535, 0, 65535))], frames))
    write("filter_table", "bad_action", case(1, [filter_rule(4)], frames[:1]))
    write("filter_table", "short_table", bytes([0]) + struct.pack("<H", 8) + struct.pack("<I", 2) + b"\x00" * 4)
    write("filter_table", "long_length", case(0, [filter_rule(2)], [(3, b"\x00" * 10)]) + b"\x01\xff\xff")


def language_file():
    def case(section, key, value, file_bytes):
        return b"".join(bytes([len(x)]) + x for x in (section, key, value)) + file_bytes

    choice = b"[Language]\r\nCurrentLanguage=Deutsch\r\n"
    texts = b"[1]\r\n1=Einstellung\r\n2=Clients\r\n3=Netzwerkschl\xfcssel (mindestens 8 Zeichen)~n~zweite Zeile\r\n"
    write("language_file", "choice_rewrite", case(b"Language", b"CurrentLanguage", b"English", choice))
    write("language_file", "choice_missing", case(b"Language", b"CurrentLanguage", b"English", b""))
    write("language_file", "texts_new_key", case(b"1", b"4", b"Hotspot starten", texts))
    write("language_file", "quotes_blanks", case(b"1", b"2", b"x", b"; comment\n[ 1 ]\n 2 = ' quoted ' \n2=second\n[1]\n5=\"a\""))
    write("language_file", "no_final_break", case(b"Language", b"CurrentLanguage", b"Deutsch", b"[language]\nother=1"))
    write("language_file", "new_section", case(b"2", b"1", b"a", texts + b"\r\n\r\n[3]\r\n1=b"))
    icon = struct.pack("<HHH", 0, 1, 1) + struct.pack("<BBBBHHII", 25, 13, 0, 0, 1, 32, 8, 22) + b"PICTURE!"
    write("language_file", "icon", case(b"", b"", b"", icon))
    write("language_file", "icon_outside", case(b"", b"", b"", icon[:-1]))


def main():
    for make in (link_frames, message_codec, settings_text, frame_judgement, hive_file, command_line,
                 control_device, filter_table, language_file):
        make()
    return 0


if __name__ == "__main__":
    sys.exit(main())
