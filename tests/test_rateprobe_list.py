"""rateprobe's server list: host names, the 20-entry limit, the count, empty,
absent and unresolvable keys — as seen in the probes that leave port 114."""

from test_rateprobe import (CHECK, CONF, END, NOT_BEST, PORTS, best_ip, cam, capture,  # noqa: F401
                            conf_text, out, start)


def destinations(capture):
    return [(d.dst_ip, d.dst_port) for d in capture.datagrams(src_port=114)]


def test_host_name_from_the_hosts_file(cam, capture, program):
    cam.set_hosts("127.0.0.1\tlocalhost\n127.0.0.7\tprobe-server.example probe\n")
    # The same server by name and by address: two entries, six probes.
    cam.write_file(CONF, conf_text(2, ["probe-server.example", "127.0.0.7"]))
    p, _ = start(cam, program)
    assert p.wait(30) == 1, p.text()
    assert out(p) == [CHECK, "Test servip 127.0.0.7 Rate ", "Test servip 127.0.0.7 Rate ",
                      END, NOT_BEST]
    assert destinations(capture) == [("127.0.0.7", port) for port in PORTS] * 2


def test_thirty_servers_only_twenty_probed(cam, capture, program):
    servers = ["127.0.0.%d" % (10 + i) for i in range(30)]
    cam.write_file(CONF, conf_text(30, servers))
    p, _ = start(cam, program)
    assert p.wait(30) == 1, p.text()
    assert out(p) == ([CHECK] + ["Test servip %s Rate " % s for s in servers[:20]]
                      + [END, NOT_BEST])
    assert destinations(capture) == [(s, port) for s in servers[:20] for port in PORTS]


def test_count_of_minus_one_with_gaps_and_an_unknown_name(cam, capture, program):
    # ip1 is absent (it must not probe ip0's server again), ip2 is empty,
    # ip3 does not resolve; then ip4, ip5, ... until 20 entries are taken.
    content = ("IPCnt=-1\nip0=127.0.0.10\nip2=\nip3=no-such-host.invalid\n"
               + "".join("ip%d=127.0.0.%d\n" % (i, 20 + i) for i in range(4, 41)))
    cam.write_file(CONF, content)
    p, _ = start(cam, program)
    assert p.wait(60) == 1, p.text()
    taken = ["127.0.0.10", ""] + ["127.0.0.%d" % (20 + i) for i in range(4, 22)]
    assert out(p) == [CHECK] + ["Test servip %s Rate " % s for s in taken] + [END, NOT_BEST]
    # The unknown name's three sends go to 255.255.255.255 and are refused.
    assert destinations(capture) == [(s, port) for s in taken if s for port in PORTS]
    assert best_ip(cam) == ""
