"""rateprobe started with standard input closed. In real time: under libfaketime
the preloaded library itself would take descriptor 0 first."""

from test_rateprobe import CONF, best_ip, conf_text, out


def test_socket_never_takes_descriptor_0(make_camera, program):
    # The receiver takes only a descriptor above 0 for an open socket: a
    # socket on 0 would never be read.
    cam = make_camera(gpio=False)
    cam.write_file(CONF, conf_text(1, ["127.0.0.2"]))
    cam.udp_responder("127.0.0.2", 8080, reply=b"\x00\x00\x00\x00\xf0")
    p = cam.start(program("rateprobe"), close_fds=(0,))
    assert p.wait(60) == 1, p.text()
    assert out(p)[-1] == "The Baset Server is 127.0.0.2"
    assert best_ip(cam) == "127.0.0.2"
