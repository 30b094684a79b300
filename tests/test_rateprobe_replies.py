"""rateprobe's receiver: which datagrams on port 114 choose the best server, and
that no datagram, however long or odd, stops it from taking the right one."""

import random
import time

import pytest

from test_rateprobe import (CHECK, CONF, END, NOT_BEST, SPEED, best_ip, cam, conf_text,  # noqa: F401
                            out, start)

QUALIFYING = b"\x00\x00\x00\x00\xf0"


def send_from(cam, ip, port, data, to=("127.0.0.1", 114)):
    s = cam.socket()
    try:
        s.bind((ip, port))
        s.sendto(data, to)
    finally:
        s.close()


def echo(data, src):
    return data


@pytest.mark.parametrize("reply", [QUALIFYING, b"\x7f" * 4 + b"\xff" + b"\x01" * 30, echo],
                         ids=["f0-five-bytes", "ff-any-bytes", "echoed-probe"])
def test_reply_from_a_probed_server_is_the_best(cam, program, reply):
    keep = "# rate list\r\nnote=keep me\nBESTIP=10.9.9.9\n"
    cam.write_file(CONF, conf_text(2, ["127.0.0.2", "127.0.0.3"], keep))
    cam.udp_responder("127.0.0.2", 8080)
    cam.udp_responder("127.0.0.3", 2628, reply=reply)
    p, t0 = start(cam, program)
    assert p.wait(30) == 1, p.text()
    assert out(p) == [CHECK, "Test servip 127.0.0.2 Rate ", "Test servip 127.0.0.3 Rate ",
                      "The Baset Server is 127.0.0.3"]
    assert p.text("err") == ""
    assert cam.read_file(CONF) == conf_text(2, ["127.0.0.2", "127.0.0.3"], keep).replace(
        "10.9.9.9", "127.0.0.3").encode()
    assert cam.commands() == ["sync"]
    # Ended by the answer, long before the end of the timeline.
    assert (p.lines("out")[-1].t - t0) * SPEED < 50


def test_first_of_two_answers_decides(cam, program):
    cam.write_file(CONF, conf_text(2, ["127.0.0.2", "127.0.0.3"]))
    p, _ = start(cam, program)
    p.wait_for("Test servip 127.0.0.3 Rate ", timeout=20)
    send_from(cam, "127.0.0.3", 4000, QUALIFYING)
    send_from(cam, "127.0.0.2", 4000, QUALIFYING)
    assert p.wait(10) == 1, p.text()
    assert [l for l in out(p) if l.startswith("The Baset")] == ["The Baset Server is 127.0.0.3"]
    assert best_ip(cam) == "127.0.0.3"


def test_datagrams_that_do_not_qualify(cam, program):
    cam.write_file(CONF, conf_text(2, ["127.0.0.2", "127.0.0.3"]))
    # A probed server answers with message type 14 (byte 4 0xEF).
    server = cam.udp_responder("127.0.0.2", 8080, reply=b"\x00\x00\x70\x01\xef" + b"\xff" * 8)
    p, t0 = start(cam, program)
    # Ten simulated seconds in, before any probe: a later-probed server and a
    # stranger both send what would otherwise qualify.
    time.sleep(10 / SPEED)
    server.send_to("127.0.0.1", 114, QUALIFYING)
    send_from(cam, "127.0.0.9", 2628, QUALIFYING)
    p.wait_for("Test servip 127.0.0.3 Rate ", timeout=20)
    # After the probes: a stranger (any port), then a probed server's datagram
    # too short to reach byte 4, which must not see the stranger's bytes.
    send_from(cam, "127.0.0.9", 8080, b"\xf0" * 512)
    send_from(cam, "127.0.0.3", 81, b"\xff\xff\xff\xff")
    send_from(cam, "127.0.0.1", 114 + 1, QUALIFYING)
    assert p.wait(30) == 1, p.text()
    assert out(p)[-2:] == [END, NOT_BEST]
    assert not [l for l in out(p) if l.startswith("The Baset")]
    assert best_ip(cam) == ""


def test_hostile_datagrams_neither_crash_nor_stall_the_receiver(cam, program):
    cam.write_file(CONF, conf_text(2, ["127.0.0.2", "127.0.0.3"]))
    p, t0 = start(cam, program)
    p.wait_for("Test servip 127.0.0.3 Rate ", timeout=20)

    rng = random.Random(114)
    # 65507 bytes is the largest IPv4 UDP payload.
    lengths = [0, 1, 4, 5, 12, 13, 64, 511, 512, 513, 4096, 65507]
    lengths += [rng.randrange(0, 65508) for _ in range(30)]
    probed = cam.socket()
    probed.bind(("127.0.0.2", 8080))
    stranger = cam.socket()
    stranger.bind(("127.0.0.9", 8080))
    try:
        for n in lengths:
            data = bytearray(rng.getrandbits(8) for _ in range(min(n, 600)))
            data += bytes(n - len(data))
            # From a probed server: anything but the message type that counts.
            if n > 4:
                data[4] = rng.randrange(0, 0xF0)
            probed.sendto(bytes(data), ("127.0.0.1", 114))
            # From a stranger: the message type that would count.
            if n > 4:
                data[4] = rng.randrange(0xF0, 0x100)
            stranger.sendto(bytes(data), ("127.0.0.1", 114))
            time.sleep(0.005)
    finally:
        probed.close()
        stranger.close()
    assert p.running(), p.text()

    # Now a real answer; repeated, as a full receive queue may have dropped one.
    sent = time.time()
    while p.running() and time.time() - sent < 5:
        send_from(cam, "127.0.0.3", 81, QUALIFYING)
        time.sleep(0.05)
    assert p.wait(5) == 1, p.text()
    assert out(p)[-1] == "The Baset Server is 127.0.0.3"
    assert best_ip(cam) == "127.0.0.3"
    assert p.lines("out")[-1].t - sent < 2.0
    assert p.text("err") == ""

