"""lumet in the simulated camera: start-up order, the blink steps, a missing device."""

import statistics

BANNER = "...............tqm lumet start, ver: 2015-06-30..............."
NOT_OPEN_DIR = " [func:Hi_SetGpio_SetDir, line:84]  error:file not opened yet!"
NOT_OPEN_BIT = " [func:Hi_SetGpio_SetBit, line:137]  error:file not opened yet!"

# (code, group, bit, value sent) of the first eight requests: direction then
# level, 7_6 and 2_3 in turn, each line toggling every second step from 0.
FIRST_STEPS = [
    (1, 7, 6, 1), (4, 7, 6, 0),
    (1, 2, 3, 1), (4, 2, 3, 0),
    (1, 7, 6, 1), (4, 7, 6, 1),
    (1, 2, 3, 1), (4, 2, 3, 1),
]


def run_for_steps(cam, program, steps, **options):
    p = cam.start(program("lumet"), **options)
    cam.wait_until(lambda: len(cam.gpio_requests()) >= 2 * steps, timeout=20,
                   what="%d blink steps" % steps)
    p.kill()
    p.wait(10)  # every line the program wrote has been read
    return p


def test_start_up_order_and_blink_steps(camera, program):
    p = run_for_steps(camera, program, 10)
    requests = camera.gpio_requests()

    assert p.lines("out")[0].text == BANNER
    assert p.lines("out")[1].text == " [func:HI_SetGpio_Open, line:52]  /dev/hi_gpio open success!"
    assert camera.commands()[:2] == ["himm 0x200f0108 0x0", "himm 0x200f0130 0x0"]
    # Both registers are set before the first device request.
    himm = [c for c in camera.journal() if c.name == "himm"]
    assert len(himm) == 2 and himm[1].t <= requests[0].t

    assert [(r.code, r.group, r.bit, r.sent) for r in requests[:8]] == FIRST_STEPS
    assert all(r.result == 0 for r in requests)

    # Exactly two requests a step: a direction, then a level on the same line,
    # the lines alternating and each line's level flipping every time it comes.
    steps = [requests[i:i + 2] for i in range(0, len(requests) - 1, 2)]
    levels = {(7, 6): 1, (2, 3): 1}
    for n, (direction, level) in enumerate(steps):
        line = (7, 6) if n % 2 == 0 else (2, 3)
        assert (direction.code, direction.group, direction.bit, direction.sent) == (1,) + line + (1,)
        levels[line] = 1 - levels[line]
        assert (level.code, level.group, level.bit, level.sent) == (4,) + line + (levels[line],)

    # About 250 ms from one step to the next.
    gaps = [b[0].t - a[0].t for a, b in zip(steps, steps[1:])]
    assert 0.2 <= statistics.median(gaps) <= 0.4, gaps
    assert camera.line(7, 6)[0] == 1 and camera.line(2, 3)[0] == 1


def test_missing_device_reports_every_step_and_keeps_looping(make_camera, program):
    cam = make_camera(gpio=False)
    p = cam.start(program("lumet"))
    cam.wait_until(lambda: sum(l.text == NOT_OPEN_BIT for l in p.lines()) >= 5, timeout=10,
                   what="five blink steps")
    p.kill()
    p.wait(10)
    out = [l.text for l in p.lines("out")]

    assert out[0] == BANNER
    assert out[1] == " [func:HI_SetGpio_Open, line:49]  error:/dev/hi_gpio opened failed with: -1"
    # The open is tried once only; then every step reports its two requests.
    body = out[2:]
    assert len(body) >= 10
    complete = body[:len(body) // 2 * 2]
    assert complete == [NOT_OPEN_DIR, NOT_OPEN_BIT] * (len(complete) // 2)
    assert [l for l in out if "HI_SetGpio_Open" in l] == [out[1]]
    assert cam.commands()[:2] == ["himm 0x200f0108 0x0", "himm 0x200f0130 0x0"]


def test_closed_standard_input_never_becomes_the_device(camera, program):
    # Started with descriptor 0 closed, the device would otherwise get 0 and
    # count as not open.
    run_for_steps(camera, program, 2, close_fds=(0,))
    requests = camera.gpio_requests()
    assert [(r.code, r.group, r.bit, r.sent) for r in requests[:4]] == FIRST_STEPS[:4]
    assert all(r.result == 0 for r in requests)
