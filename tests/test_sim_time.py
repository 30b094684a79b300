"""libfaketime runs a program's clock and sleeps faster, and its tools share that clock."""

import time


def test_accelerated_clock_and_sleeps(make_camera):
    cam = make_camera(faketime="x10")
    start = time.monotonic()
    p = cam.run("/bin/sh", ["-c", "ifconfig lo up; sleep 4; ifconfig wlan0 up; sleep 2; "
                                  "date +%s.%N"])
    real = time.monotonic() - start
    assert p.returncode == 0, p.text()
    first, second = cam.journal()
    # 6 s of the program's time pass in well under its real duration...
    assert real < 3.0
    # ...and the tools it starts read the same fast clock (4 s between them;
    # the upper bounds leave room for a loaded machine, each real ms counts 10).
    assert 3.5 < second.t - first.t < 7.0
    assert 1.5 < float(p.lines("out")[-1].text) - second.t < 5.0
