"""velnor's footprint on the camera: it sleeps between passes, and the
program needs nothing but the C library."""

import shutil
import subprocess
import time

import pytest

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


def needed_libraries(path):
    dynamic = subprocess.run(["readelf", "-d", str(path)], capture_output=True, text=True,
                             check=True).stdout
    return [row.split("[", 1)[1].split("]", 1)[0] for row in dynamic.splitlines()
            if "(NEEDED)" in row]


def test_needs_only_the_c_library(program):
    needed = needed_libraries(program("velnor"))
    assert not any(name.startswith("libstdc++") for name in needed), needed
    if any(name.startswith(("libasan", "libubsan", "libtsan")) for name in needed):
        pytest.skip("sanitizer build: its runtime comes along")  # the rest is above
    assert needed == ["libc.so.6"]


def test_stripped_program_fits_in_64_kib(program, tmp_path):
    path = program("velnor")
    if any(name.startswith(("libasan", "libubsan", "libtsan")) for name in needed_libraries(path)):
        pytest.skip("sanitizer builds are not for the camera")
    copy = tmp_path / "velnor"
    shutil.copy2(path, copy)
    for strip in ("strip", "arm-linux-gnueabi-strip"):
        if subprocess.run([strip, str(copy)], capture_output=True).returncode == 0:
            break
    else:
        pytest.fail("no strip tool understands %s" % path)
    assert copy.stat().st_size <= 64 * 1024
