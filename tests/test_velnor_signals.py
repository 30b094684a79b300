"""Memory-card signals: each SIGUSR1 / SIGUSR2 gives its lines and exactly
one message, promptly, whatever the daemon is doing, and never kills it."""

import signal
import time

from velnor_sim import configure, out, start, wait_command

TF_UP = ["[sig_handler - 970]: ...receive signal: 10...",
         "...VQ_MessageQueue_Send...netmode: 4...",
         "[send_message_out, 19] message: NETMODE_TFUP, len: 12"]
TF_DOWN = ["[sig_handler - 970]: ...receive signal: 12...",
           "...VQ_MessageQueue_Send...netmode: 5...",
           "[send_message_out, 19] message: NETMODE_TFDOWN, len: 14"]


def settled_access_point(cam, program):
    configure(cam, isopen=1, wifisid="")
    p = start(cam, program)
    p.wait_for("WifiAP...11................", 30)
    wait_command(cam, "udhcpd /mnt/sif/udhcpd.conf")
    cam.queue_messages()
    return p


def lines_of(p, first):
    text = out(p)
    i = text.index(first)
    return text[i:i + 6]


def test_each_signal_gives_its_lines_and_one_message(cam, program):
    p = settled_access_point(cam, program)
    p.signal(signal.SIGUSR1)
    p.wait_for("-----> TF Up <-----", 5)
    p.signal(signal.SIGUSR2)
    p.wait_for("-----> TF Down <-----", 5)

    up = lines_of(p, TF_UP[0])
    assert up[:3] == TF_UP
    assert up[3].startswith("......send_message_out, msgid: ")
    assert up[4:] == ["...send message queue ok...", "-----> TF Up <-----"]
    down = lines_of(p, TF_DOWN[0])
    assert down[:3] == TF_DOWN
    assert down[4:] == ["...send message queue ok...", "-----> TF Down <-----"]
    assert not any("Net Work Mode" in t for t in up + down)
    assert cam.queue_messages() == [(1, "NETMODE_TFUP"), (1, "NETMODE_TFDOWN")]


def test_signal_during_the_sleep_between_passes_is_handled_at_once(make_camera, program):
    # Real time: a pass sleeps 3 s, so an answer within a fraction of a
    # second shows the sleep was cut short.
    cam = make_camera()
    configure(cam, isopen=1)
    p = start(cam, program)
    p.wait_for("[Check_WPACLI_Status - 927]", 20)
    for sig, last in ((signal.SIGUSR1, "-----> TF Up <-----"),
                      (signal.SIGUSR2, "-----> TF Down <-----")):
        time.sleep(0.4)
        sent = time.time()
        p.signal(sig)
        line = p.wait_for(last, 5)
        assert line.t - sent < 0.3, line.t - sent
    assert cam.queue_messages() == [(1, "NETMODE_TFUP"), (1, "NETMODE_TFDOWN")]


def test_signal_during_start_up_wait_is_handled_at_once(make_camera, program):
    cam = make_camera()  # real time: the switch wait reads every 2 s
    configure(cam, switch=0)
    p = start(cam, program)
    p.wait_for("tqm Close Wifi...val_read=0.............", 10)
    time.sleep(0.3)
    sent = time.time()
    p.signal(signal.SIGUSR1)
    line = p.wait_for("-----> TF Up <-----", 5)
    assert line.t - sent < 0.5
    assert cam.queue_messages() == [(1, "NETMODE_TFUP")]
    # The wait goes on afterwards.
    assert cam.commands()[-1] == "ifconfig eth0 down"
    cam.set_line(0, 7, 1)
    p.wait_for("[main - 1379]: .........WIRELESS.........", 10)


def test_signals_during_a_command_are_handled_when_it_returns(cam, program):
    # A connect script that takes its time; the signals come while it runs,
    # each delivered on its own, and each gives its message afterwards.
    # (Under an emulator the host's shell runs on real time: 10 s.)
    configure(cam, isopen=1)
    cam.write_file("/mnt/sif/bin/wifi_connect.sh", "#!/bin/sh\nsleep 10\n", mode=0o755)
    p = start(cam, program)
    p.wait_for("[Start_STA_Mode, 689] ==========> wifi authmode: wpa <===========", 20)
    time.sleep(0.3)
    sent = time.time()
    for sig in (signal.SIGUSR2, signal.SIGUSR1, signal.SIGUSR2, signal.SIGUSR2):
        p.signal(sig)
        time.sleep(0.1)
    cam.wait_until(lambda: out(p).count("-----> TF Down <-----") == 3, 30)
    text = out(p)
    first = p.wait_for("-----> TF", 1)
    assert first.t - sent > 0.5  # after the script, not inside it
    assert text.index("-----> TF Down <-----") < text.index("WifiAP...11................")
    assert text.count("-----> TF Up <-----") == 1
    # In the order they came: card out, card back in, out again.
    assert cam.queue_messages() == [(1, "NETMODE_TFDOWN"), (1, "NETMODE_TFUP"),
                                    (1, "NETMODE_TFDOWN"), (1, "NETMODE_TFDOWN")]


def test_burst_of_signals_never_kills_the_daemon(cam, program):
    p = settled_access_point(cam, program)
    before = len(out(p))
    # Under the queue's capacity (64 messages of 256 bytes), so none is lost.
    for _ in range(25):
        p.signal(signal.SIGUSR1)
        p.signal(signal.SIGUSR2)

    def settled():
        n = (out(p).count("-----> TF Up <-----"), out(p).count("-----> TF Down <-----"))
        time.sleep(0.3)
        return n == (out(p).count("-----> TF Up <-----"),
                     out(p).count("-----> TF Down <-----")) and n[0] > 0 and n[1] > 0
    cam.wait_until(settled, 20)
    # Signals of a kind sent before the last one was taken merge into one
    # delivery; each delivery gives exactly one message.
    messages = cam.queue_messages()
    assert messages.count((1, "NETMODE_TFUP")) == out(p).count("-----> TF Up <-----")
    assert messages.count((1, "NETMODE_TFDOWN")) == out(p).count("-----> TF Down <-----")
    assert len(messages) == out(p)[before:].count("...send message queue ok...")
    assert p.returncode is None
    # Still supervising and still answering.
    since = len(p.lines())
    p.signal(signal.SIGUSR1)
    p.wait_for("-----> TF Up <-----", 5, since=since)
    assert p.returncode is None
