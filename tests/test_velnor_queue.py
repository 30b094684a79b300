"""The notification queue: created on demand with mode 666, one message of
type 1 per notification, and a full queue that neither hangs the daemon nor
loses the consumer's backlog."""

import signal
import time

from velnor_sim import configure, out, start

ERRNO_EAGAIN = 11
REMOVE_QUEUE = ("import ctypes; libc = ctypes.CDLL(None); "
                "print(libc.msgctl(libc.msgget(1234, 0), 0, None))")


def test_first_notification_creates_the_queue(cam, program):
    assert cam.queue_stat() is None
    configure(cam, isopen=1, wifisid="")
    p = start(cam, program)
    p.wait_for("...send message queue ok...", 30)
    stat = cam.queue_stat()
    assert stat is not None and stat["perms"] & 0o777 == 0o666
    assert stat["qnum"] == 1 and stat["cbytes"] == 256
    assert "......send_message_out, msgid: %d......" % stat["msqid"] in out(p)
    assert cam.queue_messages() == [(1, "NETMODE_WIFIAP")]


def test_full_queue_does_not_hang_and_keeps_the_backlog(cam, program):
    configure(cam, isopen=1, wifisid="")
    backlog = cam.queue_fill()
    assert backlog > 0
    stat = cam.queue_stat()
    p = start(cam, program)
    p.wait_for("WifiAP...11................", 30)

    p.wait_for("[send_message_out, 39] msgsnd error: %d, Resource temporarily unavailable"
               % ERRNO_EAGAIN, 10, stream="err")
    text = out(p)
    i = text.index("...VQ_MessageQueue_Send...netmode: 2...")
    assert text[i + 4] == "[VQ_MessageQueue_Send, 117] send message queue failed !"
    assert "...send message queue ok..." not in text

    # The same queue, every message of the backlog still there.
    assert cam.queue_stat()["msqid"] == stat["msqid"]
    assert cam.queue_stat()["qnum"] == backlog

    # The daemon goes on: a signal is answered, and once there is room
    # again its message is queued.
    since = len(p.lines())
    p.signal(signal.SIGUSR1)
    p.wait_for("-----> TF Up <-----", 10, since=since)
    messages = cam.queue_messages()
    assert messages == [(99, "FILL")] * backlog
    since = len(p.lines())
    p.signal(signal.SIGUSR2)
    p.wait_for("-----> TF Down <-----", 10, since=since)
    assert "...send message queue ok..." in out(p)
    assert cam.queue_messages() == [(1, "NETMODE_TFDOWN")]


def test_full_queue_wait_is_bounded_to_about_a_second(make_camera, program):
    cam = make_camera()  # real time, to measure the bound
    configure(cam, isopen=1, wifisid="")
    cam.queue_fill()
    # Without a mode, only the signals send: the switch stays off.
    cam.set_line(0, 7, 0)
    p = start(cam, program)
    p.wait_for("tqm Close Wifi", 10)
    sent = time.time()
    p.signal(signal.SIGUSR1)
    done = p.wait_for("-----> TF Up <-----", 10)
    assert 0.7 <= done.t - sent <= 2.5, done.t - sent


def test_queue_removed_by_another_process_is_created_anew(cam, program):
    configure(cam, isopen=1, wifisid="", switch=0)
    p = start(cam, program)
    p.wait_for("tqm Close Wifi", 10)
    p.signal(signal.SIGUSR1)
    p.wait_for("-----> TF Up <-----", 10)
    first = cam.queue_stat()["msqid"]
    removed = cam.run("/usr/bin/python3", ["-c", REMOVE_QUEUE], timeout=10)
    assert removed.text("out").strip() == "0"
    assert cam.queue_stat() is None
    since = len(p.lines())
    p.signal(signal.SIGUSR2)
    p.wait_for("-----> TF Down <-----", 10, since=since)
    assert cam.queue_stat()["msqid"] != first
    assert cam.queue_messages() == [(1, "NETMODE_TFDOWN")]
