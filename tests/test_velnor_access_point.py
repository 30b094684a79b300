"""velnor without a usable station: the one survey of the run, the access
point, and the second access point after a switch cycle."""

from velnor_sim import (AP_START, CLOSE, START_UP, after, configure, led_writes, out, start,
                        wait_command, wait_passes)

SURVEY = ["killall -q wpa_supplicant",
          "wpa_supplicant -B -d -Dwext -i wlan0 -c /mnt/sif/wpa_supplicant.conf",
          "iwlist wlan0 scanning"]


def by_name(journal, command, start=0):
    names = [" ".join([c.name] + c.args) for c in journal]
    return names.index(command, start)


def test_no_station_surveys_then_opens_the_access_point(cam, program):
    configure(cam, isopen=1, wifisid="")
    p = start(cam, program)
    p.wait_for("WifiAP...11................", 30)
    wait_command(cam, AP_START[-1])

    assert cam.commands() == START_UP + SURVEY + AP_START
    assert cam.queue_messages() == [(1, "NETMODE_WIFIAP")]
    text = out(p)
    i = text.index("[main - 1379]: .........WIRELESS.........")
    assert text[i + 1] == "[WifiScanForAP, 538] ==========> wifi authmode: wpa <==========="
    j = text.index("......start wifi AP mode......")
    assert text[j:j + 2] == ["......start wifi AP mode......",
                             "...VQ_MessageQueue_Send...netmode: 2..."]
    k = text.index("WifiAP...44................")
    assert j < k < text.index("WifiAP...11................")
    assert cam.read_file("/mnt/sif/wifilist.conf").startswith(b"wifiFind_count=2\n")

    # The survey's supplicant had 3 s to start; the list is followed by 1 s.
    journal = cam.journal()
    scan = by_name(journal, "iwlist wlan0 scanning")
    first_ap = by_name(journal, "killall udhcpc")
    assert 0.9 <= journal[first_ap].t - journal[scan].t <= 1.6

    # Access point up: no station queries on later passes.
    wait_passes(cam, 4)
    assert "wpa_cli status" not in cam.commands()


def test_station_disabled_takes_the_access_point_path(cam, program):
    configure(cam, isopen=0, wifisid="HomeNet")
    p = start(cam, program)
    p.wait_for("WifiAP...11................", 30)
    wait_command(cam, AP_START[-1])
    assert cam.commands() == START_UP + SURVEY + AP_START
    assert led_writes(cam) == [(1, 5, 0), (1, 6, 1)]


def test_empty_survey_is_reported_and_the_access_point_still_starts(cam, program):
    configure(cam, isopen=1, wifisid="", scan="wlan0     No scan results\n")
    p = start(cam, program)
    p.wait_for("WifiAP...11................", 30)
    wait_command(cam, AP_START[-1])
    p.wait_for("wifi search result is empty !", 10, stream="err")
    assert cam.commands() == START_UP + SURVEY + AP_START
    assert cam.queue_messages() == [(1, "NETMODE_WIFIAP")]


def test_second_access_point_after_a_switch_cycle_has_no_survey_and_no_pause(cam, program):
    configure(cam, isopen=1, wifisid="")
    p = start(cam, program)
    p.wait_for("WifiAP...11................", 30)
    wait_command(cam, AP_START[-1])
    cam.queue_messages()

    cam.set_line(0, 7, 0)
    p.wait_for("GLUN Close Wifi...........", 10)
    wait_command(cam, CLOSE[-1], 2)  # "killall wudhcpc.conf" once in the first AP start too
    assert cam.queue_messages() == [(1, "NETMODE_WIFICLOSE")]

    cam.set_line(0, 7, 1)
    p.wait_for("GLUN OPEN Wifi...........", 10)
    cam.wait_until(lambda: out(p).count("WifiAP...44................") == 2, 20)
    wait_command(cam, AP_START[-1], 2)
    assert after(cam.commands(), CLOSE[-1])[-len(AP_START):] == AP_START
    assert cam.commands().count("iwlist wlan0 scanning") == 1
    assert cam.queue_messages() == [(1, "NETMODE_WIFIAP")]

    # Straight from the switch read to the access point.
    on_read = [r for r in cam.gpio_requests() if (r.code, r.group, r.bit, r.returned) == (3, 0, 7, 1)]
    journal = cam.journal()
    second_ap = [c for c in journal if c.name == "killall" and c.args == ["udhcpc"]][-1]
    opened = [r for r in on_read if r.t <= second_ap.t][-1]
    assert second_ap.t - opened.t < 0.5
