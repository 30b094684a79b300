"""The GPIO driver stand-in answers the device's four requests from line files."""

import pytest

PY = "/usr/bin/python3"


@pytest.fixture(autouse=True)
def host_standin(emulator):
    # These talk to the stand-in from host Python; a cross build's stand-in
    # serves only the guest's programs.
    if emulator:
        pytest.skip("the stand-in of this build is for the emulated machine")


# Talks to the device like the GPIO module does: three int32 words per request.
CLIENT = r"""
import ctypes, os, sys
libc = ctypes.CDLL(None, use_errno=True)
def req(fd, code, group, bit, value):
    w = (ctypes.c_int32 * 3)(group, bit, value)
    r = libc.ioctl(fd, code, w)
    print("req", code, r, w[2], ctypes.get_errno() if r < 0 else 0, flush=True)
try:
    fd = os.open("/dev/hi_gpio", os.O_RDWR)
except OSError as e:
    print("open failed", e.errno, flush=True)
    sys.exit(0)
print("fd", fd, flush=True)
for line in sys.argv[1:]:
    if line == "close":
        os.close(fd)
    else:
        req(fd, *(int(x, 0) for x in line.split(",")))
"""


def replies(p):
    return [tuple(int(x) for x in l.text.split()[1:]) for l in p.lines("out")
            if l.text.startswith("req")]


def run(cam, *requests, **options):
    p = cam.run(PY, ["-c", CLIENT] + list(requests), **options)
    assert p.returncode == 0, p.text()
    return p


def test_requests_follow_and_change_the_line_files(camera):
    camera.set_line(0, 7, 1)
    p = run(camera, "3,0,7,0xffff", "1,1,5,1", "4,1,5,1", "2,1,5,0xffff", "3,1,5,0xffff",
            "4,1,5,0")
    # code, result, value word afterwards, errno
    assert replies(p) == [(3, 0, 1, 0), (1, 0, 1, 0), (4, 0, 1, 0), (2, 0, 1, 0),
                          (3, 0, 1, 0), (4, 0, 0, 0)]
    assert camera.line(1, 5) == (1, 0)
    assert camera.line(0, 7) == (0, 1)
    assert [r[1:] for r in camera.gpio_requests()] == [
        (3, 0, 7, 65535, 0, 1), (1, 1, 5, 1, 0, 1), (4, 1, 5, 1, 0, 1),
        (2, 1, 5, 65535, 0, 1), (3, 1, 5, 65535, 0, 1), (4, 1, 5, 0, 0, 0)]


def test_line_changed_while_the_program_runs_is_read_fresh(camera):
    # A reader that polls the switch until the test flips it.
    poller = r"""
import ctypes, os, time
libc = ctypes.CDLL(None)
fd = os.open("/dev/hi_gpio", os.O_RDWR)
seen = []
while len(seen) < 2:
    w = (ctypes.c_int32 * 3)(0, 7, 0xffff)
    libc.ioctl(fd, 3, w)
    if not seen or seen[-1] != w[2]:
        seen.append(w[2]); print("level", w[2], flush=True)
    time.sleep(0.02)
"""
    p = camera.start(PY, ["-c", poller])
    p.wait_for("level 0", 10)
    camera.set_line(0, 7, 1)
    p.wait_for("level 1", 10)
    assert p.wait(10) == 0


def test_switch_line_returns_to_its_outside_level_after_a_discharge(camera):
    camera.set_line(0, 7, 1)
    # Discharge as an output at 0, then read as an input: the switch is on.
    p = run(camera, "1,0,7,1", "4,0,7,0", "3,0,7,0xffff", "1,0,7,0", "3,0,7,0xffff")
    assert [r[2] for r in replies(p)] == [1, 0, 0, 0, 1]
    # Switched off from outside while the line is held low: it stays off.
    run(camera, "1,0,7,1", "4,0,7,0")
    camera.set_line(0, 7, 0)
    p = run(camera, "1,0,7,0", "3,0,7,0xffff")
    assert [r[2] for r in replies(p)] == [0, 0]


def test_knobs_refuse_requests_or_leave_the_value(camera):
    camera.set_line(2, 3, 1, direction=1)
    camera.set_gpio_knob("result_4", 5)
    camera.set_gpio_knob("result_1", -1)
    p = run(camera, "4,2,3,0", "1,2,3,0", "3,2,3,0xffff", "7,2,3,0")
    assert replies(p) == [(4, 5, 0, 0), (1, -1, 0, 0), (3, 0, 1, 0), (7, -1, 0, 22)]
    assert camera.line(2, 3) == (1, 1)

    camera.set_gpio_knob("result_4", None)
    camera.set_gpio_knob("result_1", None)
    camera.set_gpio_knob("no_write", True)
    p = run(camera, "3,2,3,0xffff", "2,2,3,0xffff", "4,2,3,0")
    assert replies(p) == [(3, 0, 65535, 0), (2, 0, 65535, 0), (4, 0, 0, 0)]
    assert camera.line(2, 3) == (1, 0)
    assert [(r.code, r.result, r.returned) for r in camera.gpio_requests()[-3:]] == [
        (3, 0, 65535), (2, 0, 65535), (4, 0, 0)]


def test_missing_device(camera, make_camera):
    camera.set_gpio_knob("missing", True)
    assert run(camera).lines("out")[0].text == "open failed 2"
    assert camera.gpio_requests() == []
    bare = make_camera(gpio=False)
    assert run(bare).lines("out")[0].text == "open failed 2"


def test_descriptor_numbering_and_close(camera):
    # With descriptor 0 closed the device takes it, as the kernel would hand it out.
    p = run(camera, "3,0,7,0xffff", close_fds=(0,))
    assert p.lines("out")[0].text == "fd 0"
    # After close the number is no longer the device: the request reaches the kernel.
    p = run(camera, "1,0,7,1", "close", "1,0,7,1")
    assert replies(p) == [(1, 0, 1, 0), (1, -1, 1, 9)]
    assert len(camera.gpio_requests()) == 2
