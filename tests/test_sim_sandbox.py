"""The simulated camera keeps its world to itself and shows what happens in it."""

import os
import signal
import socket
import time
import uuid
from pathlib import Path

SH = "/bin/sh"
PY = "/usr/bin/python3"

QUEUE_SEND = r"""
import ctypes
libc = ctypes.CDLL(None, use_errno=True)
class Msg(ctypes.Structure):
    _fields_ = [("mtype", ctypes.c_long), ("mtext", ctypes.c_char * 256)]
qid = libc.msgget(1234, 0o1000 | 0o666)
assert qid >= 0, ctypes.get_errno()
for text in (b"NETMODE_WIFIAP", b"NETMODE_TFUP"):
    assert libc.msgsnd(qid, ctypes.byref(Msg(1, text)), 256, 0) == 0
print("sent", qid)
"""


def host_queue_keys():
    with open("/proc/sysvipc/msg") as f:
        return {int(row.split()[0]) for row in f.read().splitlines()[1:]}


def test_queue_made_inside_stays_inside(camera):
    before = host_queue_keys()
    p = camera.run(PY, ["-c", QUEUE_SEND])
    assert p.returncode == 0, p.text()
    stat = camera.queue_stat()
    assert stat["qnum"] == 2 and stat["perms"] == 0o666
    assert host_queue_keys() == before
    assert camera.queue_messages() == [(1, "NETMODE_WIFIAP"), (1, "NETMODE_TFUP")]
    assert camera.queue_messages() == []


def test_queue_fill_makes_a_send_wait(camera):
    filled = camera.queue_fill()
    assert filled > 0 and camera.queue_stat()["qnum"] == filled
    blocked = camera.start(PY, ["-c", QUEUE_SEND])
    time.sleep(1.0)
    assert blocked.running(), "a send on a full queue should wait"
    got = camera.queue_messages()
    assert blocked.wait(10) == 0
    got += camera.queue_messages()
    assert got[:filled] == [(99, "FILL")] * filled
    assert got[filled:] == [(1, "NETMODE_WIFIAP"), (1, "NETMODE_TFUP")]


def test_writable_places_are_the_camera_dirs(camera):
    tag = uuid.uuid4().hex
    camera.write_file("/mnt/sif/wifinet.cfg", "isopen=1\n")
    script = ("cat /mnt/sif/wifinet.cfg; "
              "for d in /mnt/sif /var/run /tmpfs /komod /tmp; do echo x > $d/%s; done" % tag)
    p = camera.run(SH, ["-c", script])
    assert p.returncode == 0 and p.lines("out")[0].text == "isopen=1"
    for d in (camera.sif, camera.varrun, camera.tmpfs, camera.komod, camera.tmp):
        assert (d / tag).read_text() == "x\n"
    for host_dir in ("/mnt/sif", "/var/run", "/tmpfs", "/komod"):
        assert not Path(host_dir, tag).exists()
    assert camera.read_file("/var/run/" + tag) == b"x\n"


def test_loopback_servers_answer_inside_only(camera):
    server = camera.udp_responder("127.0.0.5", 8080, reply=b"pong")
    client = r"""
import socket
s = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)
s.bind(("0.0.0.0", 114))
s.settimeout(5)
s.sendto(b"ping", ("127.0.0.5", 8080))
print(s.recvfrom(64))
print(s.recvfrom(64))
"""
    p = camera.start(PY, ["-c", client])
    camera.wait_until(server.received, 10, what="the probe")
    assert server.received() == [("127.0.0.1", 114, b"ping")]
    p.wait_for("pong", 10)
    server.send_to("127.0.0.1", 114, b"unasked")
    assert p.wait(10) == 0
    assert [l.text for l in p.lines("out")] == ["(b'pong', ('127.0.0.5', 8080))",
                                                "(b'unasked', ('127.0.0.5', 8080))"]
    # The host's loopback is another network: nothing sent there arrives.
    with socket.socket(socket.AF_INET, socket.SOCK_DGRAM) as h:
        try:
            h.sendto(b"from host", ("127.0.0.5", 8080))
        except OSError:
            pass
    time.sleep(0.3)
    assert len(server.received()) == 1


def test_hosts_file_is_the_cameras(camera):
    host_hosts = Path("/etc/hosts").read_bytes()
    camera.set_hosts("127.0.0.7\trate1.example\n")
    p = camera.run("/usr/bin/getent", ["hosts", "rate1.example"])
    assert p.returncode == 0
    assert p.lines("out")[0].text.split() == ["127.0.0.7", "rate1.example"]
    assert Path("/etc/hosts").read_bytes() == host_hosts


def test_platform_tools_are_journalled_in_order(camera):
    camera.set_scan("Cell 01 - Address: 00:11:22:33:44:55\n")
    camera.set_wpa_status("Selected interface 'wlan0'\nwpa_state=SCANNING\n", after=2,
                          then="Selected interface 'wlan0'\nwpa_state=COMPLETED\n")
    script = ("insmod /komod/8188eu.ko; killall -q udhcpc; "
              "wpa_supplicant -B -d -Dwext -i wlan0 -c /mnt/sif/open.conf > /tmpfs/wifi.connect 2>&1; "
              "/mnt/sif/bin//wifi_connect.sh; iwlist wlan0 scanning; "
              "for i in 1 2 3 4; do wpa_cli status | grep wpa_state; done; himm 0x200f0108 0x0")
    p = camera.run(SH, ["-c", script])
    assert p.returncode == 0, p.text()
    assert camera.commands() == [
        "insmod /komod/8188eu.ko",
        "killall -q udhcpc",
        "wpa_supplicant -B -d -Dwext -i wlan0 -c /mnt/sif/open.conf",
        "wifi_connect.sh",
        "iwlist wlan0 scanning",
        "wpa_cli status", "wpa_cli status", "wpa_cli status", "wpa_cli status",
        "himm 0x200f0108 0x0",
    ]
    times = [c.t for c in camera.journal()]
    assert times == sorted(times) and abs(times[0] - time.time()) < 60
    assert [l.text for l in p.lines("out")] == [
        "Cell 01 - Address: 00:11:22:33:44:55",
        "wpa_state=SCANNING", "wpa_state=SCANNING",
        "wpa_state=COMPLETED", "wpa_state=COMPLETED",
    ]
    assert (camera.tmpfs / "wifi.connect").read_bytes() == b""


def test_console_streams_signals_and_status(camera):
    script = ("trap 'echo got USR1' USR1; "
              "[ -t 1 ] && [ -t 2 ] && echo ttys; echo oops >&2; echo ready; "
              "while :; do sleep 0.05; done")
    p = camera.start(SH, ["-c", script])
    p.wait_for("ready", 10)
    assert [l.text for l in p.lines("out")][:1] == ["ttys"]
    # The two streams are separate terminals: what went to stderr first
    # may still be on its way when a later stdout line has arrived.
    p.wait_for("oops", 10, stream="err")
    assert [l.text for l in p.lines("err")] == ["oops"]
    p.signal(signal.SIGUSR1)
    p.wait_for("got USR1", 10)
    assert os.getpid() != p.pid and Path("/proc/%d" % p.pid).exists()
    p.kill()
    assert p.wait(10) == -signal.SIGKILL
