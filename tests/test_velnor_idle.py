"""velnor sleeps between its passes: no busy loop. (Size and run-time
libraries of every program: test_footprint.py.)"""

import time

from velnor_sim import configure, start, wait_command, wait_passes

TICKS = 100  # clock ticks per second on Linux (USER_HZ)


def cpu_seconds(pid):
    with open("/proc/%d/stat" % pid) as f:
        fields = f.read().rsplit(")", 1)[1].split()
    return (int(fields[11]) + int(fields[12])) / TICKS  # utime + stime


def test_idle_between_passes(make_camera, program):
    cam = make_camera(faketime="x10")
    configure(cam, isopen=1, wifisid="")
    p = start(cam, program)
    p.wait_for("WifiAP...11................", 30)
    wait_command(cam, "udhcpd /mnt/sif/udhcpd.conf")
    wait_passes(cam, 1)
    used = cpu_seconds(p.pid)
    began = time.monotonic()
    wait_passes(cam, 10)
    wall = time.monotonic() - began
    # Ten passes of polling the switch: a busy loop would use the whole wall time.
    assert cpu_seconds(p.pid) - used <= 0.05 + 0.02 * wall, (cpu_seconds(p.pid) - used, wall)
