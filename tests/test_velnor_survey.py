"""velnor without a station network: the site survey, then the access point."""

import pytest

NAME32 = "ABCDEFGHIJKLMNOPQRSTUVWXYZ012345"


def scan_cell(address, essid, security, signal, channel=6):
    # The layout of the camera's adapter; security is the text between the
    # frequency and the signal level.
    return ("          Cell 01 - Address: %s\n"
            "                    ESSID:\"%s\"\n"
            "                    Protocol:IEEE 802.11bgn\n"
            "                    Mode:Master\n"
            "                    Frequency:2.4%02d GHz (Channel %d)\n"
            "%s"
            "                    Bit Rates:150 Mb/s\n"
            "                    Quality=50/100  Signal level=%d dBm\n"
            % (address, essid, 7 + 5 * channel, channel, security, signal))


WPA2 = ("                    Encryption key:on\n"
        "                    IE: IEEE 802.11i/WPA2 Version 1\n"
        "                        Group Cipher : CCMP\n")
VENDOR_FIRST = ("                    Encryption key:on\n"
                "                    IE: Unknown: DD0E0050F204104A0001101044000102\n"
                "                    IE: WPA Version 1\n")
OPEN = ("                    Encryption key:off\n"
        "                    IE: Unknown: DD0E0050F204104A0001101044000102\n")
NO_IE = "                    Encryption key:on\n"

SCAN = ("wlan0     Scan completed :\n"
        + scan_cell("00:1A:2B:3C:4D:01", "Weak", WPA2, -80)
        + scan_cell("00:1A:2B:3C:4D:02", "Cafe Guest", OPEN, -50, 1)
        + scan_cell("00:1A:2B:3C:4D:03", "", WPA2, -60)
        + scan_cell("00:1A:2B:3C:4D:04", NAME32, WPA2, -45, 11)
        + scan_cell("00:1A:2B:3C:4D:05", 'Bob"s AP', VENDOR_FIRST, -70)
        + scan_cell("00:1A:2B:3C:4D:06", "Twin", OPEN, -60)
        # Four fields: completed by the next address, and that cell one late...
        + scan_cell("00:1A:2B:3C:4D:07", "Locked", NO_IE, -55)
        + scan_cell("00:1A:2B:3C:4D:08", "Lab", WPA2, -65)
        # ...so the last cell ends the output with four fields and is left out.
        + scan_cell("00:1A:2B:3C:4D:09", "Tail", WPA2, -40))

LIST = ("wifiFind_count=8\n"
        + NAME32 + " -45 2 2\n"
        "Cafe Guest -50 0 2\n"
        "Locked -55 0 2\n"
        " -60 2 2\n"
        "Twin -60 0 2\n"
        "Lab -65 2 2\n"
        "Bob -70 1 2\n"
        "Weak -80 2 2\n")

SUPPLICANT = "wpa_supplicant -B -d -Dwext -i wlan0 -c /mnt/sif/open.conf"


def no_station_camera(make_camera, scan):
    cam = make_camera(faketime="x4")
    cam.write_file("/mnt/sif/vqclient.conf", "USER=VQ0A1B2C\n")
    cam.write_file("/mnt/sif/hostapd.conf", "interface=wlan0\nssid=VQ0A1B2C\n")
    cam.write_file("/mnt/sif/wifinet.cfg", "isopen=1\nsafetype=none\n")
    cam.write_file("/mnt/sif/wifisid.conf", "wifisid=\n")
    cam.set_line(0, 7, 1)
    cam.set_scan(scan)
    return cam


def errors(p):
    # Under an emulator the loader warns about preloads built for the other
    # side (the guest's stand-in in host shells, the host's faketime in the
    # guest); those lines are not the daemon's.
    return [line.text for line in p.lines("err") if not line.text.startswith("ERROR: ld.so:")]


def leftovers(cam):
    return sorted(p.name for p in cam.sif.iterdir() if p.name.endswith(".tmp"))


def test_survey_then_access_point_and_none_after_a_switch_cycle(make_camera, program):
    cam = no_station_camera(make_camera, SCAN)
    p = cam.start(program("velnor"))
    p.wait_for("WifiAP...44................", timeout=30)

    assert cam.read_file("/mnt/sif/wifilist.conf").decode() == LIST
    assert leftovers(cam) == []

    # The supplicant is restarted for the scan, which comes 3 s after it.
    commands = cam.commands()
    survey = commands.index("killall -q wpa_supplicant")
    assert commands[survey:survey + 4] == [
        "killall -q wpa_supplicant", SUPPLICANT, "iwlist wlan0 scanning", "killall udhcpc"]
    journal = cam.journal()
    killall, supplicant, iwlist, ap_first = journal[survey:survey + 4]
    assert supplicant.t - killall.t >= 0.9
    assert 3.8 <= iwlist.t - killall.t < 8
    assert ap_first.t - iwlist.t >= 0.9  # the pause after the survey

    out = [line.text for line in p.lines("out")]
    first_cell = out.index("MAC:00:1A:2B:3C:4D:01")
    assert out[first_cell - 1] == "[WifiScanForAP, 538] ==========> wifi authmode: none <==========="
    assert out[first_cell:first_cell + 6] == [
        "MAC:00:1A:2B:3C:4D:01", "ssid:Weak", "frequency:2.437", "Security_Mode:WPA2/WPA",
        "signal level:-80", "agter signal level:-80"]
    tail = out.index("wififind.count : 8")
    assert out[tail:tail + 4] == [
        "wififind.count : 8", "[WifiScanForAP - 572]: search wifi result, count:8",
        "[Sort_WifiInfo, 622] ...pWifiInfo->count:8...", "......start wifi AP mode......"]
    assert "ssid:Tail" in out and errors(p) == []

    # Switch off and on again: the second access point comes without a
    # survey and without the pause.
    cam.set_line(0, 7, 0)
    p.wait_for("GLUN Close Wifi...........", timeout=20)
    reopen = len(p.lines("out"))
    cam.set_line(0, 7, 1)
    p.wait_for("WifiAP...44................", timeout=20, stream="out", since=reopen)
    cam.wait_until(lambda: "udhcpd /mnt/sif/udhcpd.conf" in cam.commands()[survey + 4:],
                   timeout=10, what="second access point")
    assert sum(c == "iwlist wlan0 scanning" for c in cam.commands()) == 1
    assert p.text("out").count("wifi authmode") == 1
    journal = cam.journal()
    ap_second = [c for c in journal if c.name == "killall" and c.args == ["udhcpc"]][-1]
    switch_read = [r for r in cam.gpio_requests()
                   if (r.code, r.group, r.bit) == (3, 0, 7) and r.t <= ap_second.t][-1]
    assert ap_second.t - switch_read.t < 0.9
    assert [text for _, text in cam.queue_messages()] == [
        "NETMODE_WIFIAP", "NETMODE_WIFICLOSE", "NETMODE_WIFIAP"]


@pytest.mark.parametrize("case", ["no networks", "list is a folder"])
def test_failed_survey_keeps_the_old_list_and_still_opens_the_access_point(
        make_camera, program, case):
    old = "wifiFind_count=1\nOld Net -50 2 2\n"
    if case == "no networks":
        cam = no_station_camera(make_camera, "wlan0     No scan results\n")
        cam.write_file("/mnt/sif/wifilist.conf", old)
        expected_out, expected_err = "There's no available wifi node here !", []
    else:
        cam = no_station_camera(make_camera, SCAN)
        cam.write_file("/mnt/sif/wifilist.conf/kept", old)
        expected_out = "[Sort_WifiInfo, 622] ...pWifiInfo->count:8..."
        expected_err = ["[WifiScanForAP, 584] fopen error with: 21, Is a directory"]
    p = cam.start(program("velnor"))
    p.wait_for("WifiAP...44................", timeout=30)

    assert expected_out in [line.text for line in p.lines("out")]
    p.wait_for("wifi search result is empty !", 10, stream="err")
    assert errors(p) == expected_err + [
        "wifi search result is empty !"]
    path = "/mnt/sif/wifilist.conf" + ("" if case == "no networks" else "/kept")
    assert cam.read_file(path).decode() == old
    assert leftovers(cam) == []
    assert [text for _, text in cam.queue_messages()] == ["NETMODE_WIFIAP"]
