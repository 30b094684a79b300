"""velnor start-up: driver load, settings and access-point naming, the
interfaces, the LED, the PID file, the banner and the wait for the switch."""

import os

import pytest

from velnor_sim import (BANNER, START_UP, configure, count, led_writes, out, start,
                        switch_reads, wait_passes)


def test_start_up_order_and_naming_after_the_device(cam, program):
    configure(cam, user="CAM123", ap_ssid="OLD_AP")
    p = start(cam, program)
    p.wait_for("WifiAP...11................", 20)

    assert cam.commands()[:4] == START_UP
    text = out(p)
    first = ["[Init_Wireless_Setting - 1049]: use devID as AP name: CAM123",
             " [func:HI_SetGpio_Open, line:52]  /dev/hi_gpio open success!",
             ".........Set GPIO 1_5  set Value: 1...",
             ".........Set GPIO 1_6  set Value: 0...blue...",
             BANNER,
             "[main - 1379]: .........WIRELESS.........",
             "[Change_to_WifiOrAP - 852]: ......start wifi station mode....."]
    assert text[:len(first)] == first
    # Only the ssid line changes; hostapd reads the rest of the same file.
    conf = cam.read_file("/mnt/sif/hostapd.conf").decode()
    assert "ssid=CAM123" in conf.splitlines()
    assert "ssid=OLD_AP" not in conf
    assert "wpa_passphrase=12345678" in conf.splitlines()
    assert "driver=rtl871xdrv" in conf.splitlines()


@pytest.mark.parametrize("user, ap_ssid", [(None, "VQIPC_AP"), ("", "VQIPC_AP"), ("X", "VQIPC_AP"),
                                           ("X", "SOMETHING")])
def test_short_device_id_gives_the_default_name_on_every_start(cam, program, user, ap_ssid):
    configure(cam, user=user, ap_ssid=ap_ssid)
    before = os.stat(cam.host_path("/mnt/sif/hostapd.conf"))
    p = start(cam, program)
    assert "[Init_Wireless_Setting - 1044]: use default AP name: VQIPC_AP" in out(p)
    after = os.stat(cam.host_path("/mnt/sif/hostapd.conf"))
    # Rewritten even when the name was already there.
    assert (after.st_ino, after.st_mtime_ns) != (before.st_ino, before.st_mtime_ns)
    assert "ssid=VQIPC_AP" in cam.read_file("/mnt/sif/hostapd.conf").decode().splitlines()


def test_device_id_equal_to_the_name_writes_nothing(cam, program):
    configure(cam, user="CAM123", ap_ssid="CAM123")
    path = cam.host_path("/mnt/sif/hostapd.conf")
    before = os.stat(path)
    content = cam.read_file("/mnt/sif/hostapd.conf")
    p = start(cam, program)
    assert not any("AP name" in t for t in out(p))
    after = os.stat(path)
    assert (after.st_ino, after.st_mtime_ns) == (before.st_ino, before.st_mtime_ns)
    assert cam.read_file("/mnt/sif/hostapd.conf") == content


@pytest.mark.parametrize("isopen, leds, lines", [
    (0, [(1, 5, 0), (1, 6, 1)], [".........Set GPIO 1_5  set Value: 0...",
                                 ".........Set GPIO 1_6  set Value: 1...red..."]),
    (1, [(1, 5, 1), (1, 6, 0)], [".........Set GPIO 1_5  set Value: 1...",
                                 ".........Set GPIO 1_6  set Value: 0...blue..."]),
    (2, [], []),
])
def test_first_led_colour_follows_isopen(cam, program, isopen, leds, lines):
    configure(cam, isopen=isopen)
    p = start(cam, program)
    assert led_writes(cam) == leds
    assert [t for t in out(p) if t.startswith(".........Set GPIO")] == lines
    if leds:
        assert cam.line(1, 5) == (1, leds[0][2])
        assert cam.line(1, 6) == (1, leds[1][2])


def inside_pid(p):
    """The daemon's process ID in the camera's own PID namespace."""
    with open("/proc/%d/status" % p.pid) as f:
        for row in f:
            if row.startswith("NSpid:"):
                return int(row.split()[-1])
    raise AssertionError("no NSpid line")


def test_pid_file_holds_the_pid_in_eight_bytes(cam, program):
    configure(cam)
    p = start(cam, program)
    data = cam.read_file("/var/run/dodozi.pid")
    expected = str(inside_pid(p)).encode()
    assert data == expected + b"\0" * (8 - len(expected))


def test_pid_file_longer_old_content_keeps_its_tail(cam, program):
    configure(cam)
    cam.write_file("/var/run/dodozi.pid", b"ABCDEFGHIJKLMNOP")
    p = start(cam, program)
    data = cam.read_file("/var/run/dodozi.pid")
    assert len(data) == 16
    assert data[8:] == b"IJKLMNOP"
    expected = str(inside_pid(p)).encode()
    assert data[:8] == expected + b"\0" * (8 - len(expected))


def test_switch_off_at_start_waits_reading_every_two_seconds(cam, program):
    configure(cam, switch=0)
    p = start(cam, program)
    p.wait_for("tqm Close Wifi...val_read=0.............", 10)
    wait_passes(cam, 4)
    # Nothing chosen while waiting: only the start-up commands ran.
    assert cam.commands() == START_UP
    reads = switch_reads(cam)
    gaps = [b.t - a.t for a, b in zip(reads[1:], reads[2:])]
    assert gaps and all(1.8 <= g <= 2.6 for g in gaps), gaps

    cam.set_line(0, 7, 1)
    p.wait_for("[main - 1379]: .........WIRELESS.........", 10)
    p.wait_for("WifiAP...11................", 20)
    assert count(p, "tqm Close Wifi...val_read=0.............") == 1
    assert cam.commands()[4] == "killall -q udhcpc"


def test_failed_switch_read_while_waiting_is_no_switch_turned_on(cam, program):
    configure(cam, switch=0)
    p = start(cam, program)
    p.wait_for("tqm Close Wifi...val_read=0.............", 10)
    # The read fails, the switch stays as it was: still off, still waiting.
    cam.set_gpio_knob("result_3", -1)
    wait_passes(cam, 3)
    assert not any("WIRELESS" in t for t in out(p))
    assert cam.commands() == START_UP

    cam.set_gpio_knob("result_3", None)
    cam.set_line(0, 7, 1)
    p.wait_for("[main - 1379]: .........WIRELESS.........", 10)


def test_without_gpio_device_a_mode_is_chosen_at_once(make_camera, program):
    cam = make_camera(faketime="x10", gpio=False)
    configure(cam, isopen=1)
    p = start(cam, program)
    p.wait_for("[main - 1379]: .........WIRELESS.........", 10)
    p.wait_for("WifiAP...11................", 20)
    text = out(p)
    assert " [func:HI_SetGpio_Open, line:49]  error:/dev/hi_gpio opened failed with: -1" in text
    # The LED lines are still announced, after the module's refusals.
    set_dir_refused = " [func:Hi_SetGpio_SetDir, line:84]  error:file not opened yet!"
    set_bit_refused = " [func:Hi_SetGpio_SetBit, line:137]  error:file not opened yet!"
    i = text.index(".........Set GPIO 1_5  set Value: 1...")
    assert text[i - 2:i] == [set_dir_refused, set_bit_refused]
    assert text[i + 1:i + 4] == [set_dir_refused, set_bit_refused,
                                 ".........Set GPIO 1_6  set Value: 0...blue..."]
    assert not any(t.startswith("tqm Close Wifi") for t in text)

    # Every pass reports the failed read and goes on, Wi-Fi never closed.
    cam.wait_until(lambda: count(p, "Get GPIO 0_7 error!") >= 4, 30)
    assert "GLUN Close Wifi..........." not in out(p)
    assert "killall wudhcpc.conf" not in cam.commands()
    assert sum(1 for t in out(p) if t.startswith("[Check_WPACLI_Status - 927]")) >= 3
