"""rateprobe in the simulated camera: command line, timeline, probes on the wire, exit statuses.

The helpers here are shared by the other test_rateprobe_* files.
"""

import collections
import socket
import struct
import subprocess
import threading
import time

import cbor2
import pytest

CONF = "/mnt/sif/IPRate.conf"
PORTS = (8080, 81, 2628)
SPEED = 10  # libfaketime factor: one simulated second is 0.1 s
FAKETIME = "x%d" % SPEED

CHECK = "Check Rate "
NOT_FOUND = "No Found Test, Safe Quit!"
END = "start End ..."
NOT_BEST = "CKRate Not Found  Baset IP Safe Quit !"

Udp = collections.namedtuple("Udp", "src_ip src_port dst_ip dst_port data")

ETH_P_ALL = 0x0003
PACKET_OUTGOING = 4


class Capture:
    """Every UDP datagram on the camera's loopback, in the order the kernel
    passed them: the only way to see the order across several responders."""

    def __init__(self, cam):
        self._sock = cam.socket(socket.AF_PACKET, socket.SOCK_RAW, socket.htons(ETH_P_ALL))
        self._sock.setsockopt(socket.SOL_SOCKET, socket.SO_RCVBUF, 8 << 20)
        self._sock.bind(("lo", 0))
        self._sock.settimeout(0.2)
        self._got = []
        self._lock = threading.Lock()
        self._stop = False
        self._thread = threading.Thread(target=self._run, daemon=True)
        self._thread.start()

    def _run(self):
        while not self._stop:
            try:
                frame, where = self._sock.recvfrom(70000)
            except socket.timeout:
                continue
            except OSError:
                return
            # Each loopback frame shows up going out and coming in: keep one.
            if where[2] != PACKET_OUTGOING or len(frame) < 14 + 20 + 8:
                continue
            if struct.unpack("!H", frame[12:14])[0] != 0x0800:
                continue
            ip = frame[14:]
            ihl = (ip[0] & 0x0F) * 4
            if ip[9] != socket.IPPROTO_UDP:
                continue
            src, dst = socket.inet_ntoa(ip[12:16]), socket.inet_ntoa(ip[16:20])
            sport, dport, length = struct.unpack("!HHH", ip[ihl:ihl + 6])
            with self._lock:
                self._got.append(Udp(src, sport, dst, dport, ip[ihl + 8:ihl + length]))

    def datagrams(self, src_port=None):
        with self._lock:
            return [d for d in self._got if src_port is None or d.src_port == src_port]

    def close(self):
        self._stop = True
        self._thread.join(1)
        self._sock.close()


@pytest.fixture
def cam(make_camera):
    return make_camera(gpio=False, faketime=FAKETIME)


@pytest.fixture
def capture(cam):
    c = Capture(cam)
    yield c
    c.close()


def conf_text(count, servers, extra=""):
    lines = [] if count is None else ["IPCnt=%s" % count]
    lines += ["ip%d=%s" % (i, s) for i, s in enumerate(servers)]
    return "\n".join(lines) + "\n" + extra


def start(cam, program, args=()):
    """Starts rateprobe; returns (process, host time just before the start)."""
    t0 = time.time()
    return cam.start(program("rateprobe"), args), t0


def simulated(line, t0):
    return (line.t - t0) * SPEED


def out(p):
    return [l.text for l in p.lines("out")]


def best_ip(cam, path=CONF):
    values = [l[len(b"BESTIP="):] for l in cam.read_file(path).split(b"\n")
              if l.startswith(b"BESTIP=")]
    assert len(values) <= 1, values
    return values[0].decode() if values else None


def check_probe(data):
    """The datagram is a probe: header as laid out, then {"Time": tick}; the tick."""
    assert len(data) >= 13
    length = len(data)
    assert data[0:2] == b"\x00\x00"
    assert struct.unpack("<H", data[2:4])[0] == (length % 4096) << 4
    assert data[4:13] == b"\xf2\x00\x00\x09\x00\x00\x00\x00\x00", data[:13].hex()
    assert length <= 64
    value = cbor2.loads(data[13:])
    assert list(value) == ["Time"] and isinstance(value["Time"], int), value
    # The whole rest is that one map: nothing after it.
    assert cbor2.dumps(value, canonical=True) == data[13:], data.hex()
    assert 0 <= value["Time"] < 1 << 32
    return value["Time"]


# --- the timeline and its two endings without an answer ----------------------

def test_three_servers_nine_probes_then_the_timeline_ends(cam, capture, program):
    servers = ["127.0.0.2", "127.0.0.3", "127.0.0.4"]
    keep = "# camera settings\r\nserver_note=keep this line\nBESTIP=10.9.9.9\n"
    cam.write_file(CONF, conf_text(3, servers, keep))
    responders = [cam.udp_responder(ip, port) for ip in servers for port in PORTS]
    p, t0 = start(cam, program)
    assert p.wait(30) == 1, p.text()

    assert out(p) == [CHECK] + ["Test servip %s Rate " % s for s in servers] + [END, NOT_BEST]
    assert p.text("err") == ""

    probes = capture.datagrams(src_port=114)
    assert [(d.dst_ip, d.dst_port) for d in probes] == [(s, port) for s in servers for port in PORTS]
    ticks = [check_probe(d.data) for d in probes]
    assert ticks == sorted(ticks)
    for r in responders:
        got = r.received()
        assert len(got) == 1 and got[0].src_port == 114
        assert got[0].data in [d.data for d in probes]

    # Probes after the 29th simulated second, the end after the 59th.
    lines = p.lines("out")
    assert 27 <= simulated(lines[0], t0) <= 45, simulated(lines[0], t0)
    assert 57 <= simulated(lines[-1], t0) <= 80, simulated(lines[-1], t0)

    # Only the BESTIP value changed; every other byte of the file stayed.
    assert cam.read_file(CONF) == conf_text(3, servers, keep).replace(
        "BESTIP=10.9.9.9", "BESTIP=").encode()


@pytest.mark.parametrize("count_line", ["IPCnt=0\n", "", "IPCnt=65536\n"],
                         ids=["zero", "absent", "65536"])
def test_no_count_quits_at_the_probe_pass(cam, capture, program, count_line):
    content = count_line + "ip0=127.0.0.2\nBESTIP=10.1.1.1\n"
    cam.write_file(CONF, content)
    p, t0 = start(cam, program)
    assert p.wait(30) == 0, p.text()
    assert out(p) == [CHECK, NOT_FOUND]
    lines = p.lines("out")
    assert 27 <= simulated(lines[0], t0) <= 45
    assert lines[1].t - lines[0].t < 1.0
    assert cam.read_file(CONF) == content.encode()
    assert capture.datagrams(src_port=114) == []


def test_list_is_read_at_the_probe_pass_not_before(cam, capture, program):
    cam.write_file(CONF, "IPCnt=0\n")
    p, t0 = start(cam, program)
    # Ten simulated seconds in, the list changes under the running program.
    time.sleep(10 / SPEED)
    cam.write_file(CONF, conf_text(1, ["127.0.0.6"]))
    assert p.wait(30) == 1, p.text()
    assert "Test servip 127.0.0.6 Rate " in out(p)
    assert [d.dst_ip for d in capture.datagrams(src_port=114)] == ["127.0.0.6"] * 3


# --- the command line ----------------------------------------------------------

def test_dash_c_file_is_read_and_written(cam, capture, program):
    default = conf_text(1, ["127.0.0.2"])
    cam.write_file(CONF, default)
    cam.write_file("/tmp/probe/other.conf", conf_text(1, ["127.0.0.5"], "BESTIP=1.2.3.4\n"))
    p, _ = start(cam, program, ["-c", "/tmp/probe/other.conf"])
    assert p.wait(30) == 1, p.text()
    assert "Test servip 127.0.0.5 Rate " in out(p)
    assert {d.dst_ip for d in capture.datagrams(src_port=114)} == {"127.0.0.5"}
    assert best_ip(cam, "/tmp/probe/other.conf") == ""
    assert cam.read_file(CONF) == default.encode()


def test_ignored_command_lines_use_the_default_file(make_camera, program):
    # Each camera's default file names a server that answers at once.
    cases = [["-c"], ["-c", "/tmp/a.conf", "/tmp/b.conf"], ["-x", "/tmp/a.conf"],
             ["/tmp/a.conf"]]
    runs = []
    for args in cases:
        cam = make_camera(gpio=False, faketime=FAKETIME)
        cam.write_file(CONF, conf_text(1, ["127.0.0.2"]))
        cam.write_file("/tmp/a.conf", conf_text(1, ["127.0.0.3"]))
        cam.udp_responder("127.0.0.2", 8080, reply=b"\x00\x00\x00\x00\xf0")
        runs.append((args, cam, cam.start(program("rateprobe"), args)))
    for args, cam, p in runs:
        assert p.wait(30) == 1, (args, p.text())
        assert out(p) == [CHECK, "Test servip 127.0.0.2 Rate ",
                          "The Baset Server is 127.0.0.2"], args
        assert p.text("err") == "", args
        assert best_ip(cam) == "127.0.0.2", args
        assert best_ip(cam, "/tmp/a.conf") is None, args


def test_path_over_127_characters_is_refused(cam, capture, program):
    longest = "/tmp/" + "d" * 118 + ".conf"  # 128 characters
    assert len(longest) == 128
    cam.write_file(longest, conf_text(1, ["127.0.0.2"]))
    cam.write_file(longest[:127], conf_text(1, ["127.0.0.3"]))
    cam.write_file(CONF, conf_text(1, ["127.0.0.4"]))
    p, _ = start(cam, program, ["-c", longest])
    assert p.wait(10) == 0
    assert out(p) == []
    assert "127" in p.text("err")
    assert best_ip(cam, longest) is None
    assert best_ip(cam, longest[:127]) is None
    assert best_ip(cam, CONF) is None
    assert capture.datagrams() == []


# --- the socket ------------------------------------------------------------------

def test_port_114_taken(cam, capture, program):
    holder = cam.socket()
    holder.bind(("0.0.0.0", 114))
    try:
        cam.write_file(CONF, conf_text(1, ["127.0.0.2"]))
        p, _ = start(cam, program)
        assert p.wait(10) == 0
        assert out(p) == ["error 234!"]
        assert cam.read_file(CONF) == conf_text(1, ["127.0.0.2"]).encode()
        assert capture.datagrams() == []
    finally:
        holder.close()


# --- the program file --------------------------------------------------------------

def test_thread_identifier_is_exported_and_only_libc_needed(program):
    path = program("rateprobe")
    symbols = subprocess.run(["nm", "-D", "--defined-only", str(path)], check=True,
                             capture_output=True, text=True).stdout.split("\n")
    assert any(s.split()[-2:] in (["D", "g_mySelfID"], ["B", "g_mySelfID"])
               for s in symbols if s.strip()), symbols
    dynamic = subprocess.run(["readelf", "-d", str(path)], check=True, capture_output=True,
                             text=True).stdout
    needed = [l.split("[")[1].rstrip("]") for l in dynamic.splitlines() if "(NEEDED)" in l]
    sanitizer = [n for n in needed if n.startswith(("libtsan", "libasan", "libubsan"))]
    assert set(needed) - set(sanitizer) <= {"libc.so.6", "libpthread.so.0"}, needed
