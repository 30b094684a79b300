"""velnor as a station: the start sequence, the supplicant configuration,
the association watched by the loop, and the fall-back to the access point."""

import pytest

from velnor_sim import (AP_START, ASSOCIATED, NOT_ASSOCIATED, START_UP, STA_START, after,
                        configure, count, led_writes, out, start, wait_command, wait_passes)

WPA_CLI = "wpa_cli status"


def queries(cam):
    return cam.commands().count(WPA_CLI)


def test_station_that_associates_is_announced_once_and_no_longer_queried(cam, program):
    configure(cam, isopen=2)  # LED untouched at start-up: blue comes from the association
    cam.set_wpa_status(NOT_ASSOCIATED, after=2, then=ASSOCIATED)
    p = start(cam, program)
    p.wait_for("...send message queue ok...", 20)

    assert cam.commands()[:len(START_UP) + len(STA_START)] == START_UP + STA_START
    assert queries(cam) == 3
    assert cam.queue_messages() == [(1, "NETMODE_WIFISTA")]
    assert led_writes(cam) == [(1, 5, 1), (1, 6, 0)]
    assert cam.line(1, 5) == (1, 1) and cam.line(1, 6) == (1, 0)
    text = out(p)
    i = text.index("...VQ_MessageQueue_Send...netmode: 1...")
    assert text[i - 2:i] == [".........Set GPIO 1_5  set Value: 1...",
                             ".........Set GPIO 1_6  set Value: 0...blue..."]
    assert text[i + 1] == "[VQ_MessageQueue_Send, 86]...Net Work Mode: NETMODE_WIFISTA..."

    wait_passes(cam, 6)
    assert queries(cam) == 3
    assert cam.queue_messages() == []
    assert "WifiAP...55................" not in out(p)


def test_station_start_lines(cam, program):
    configure(cam, safetype="wpa")
    cam.set_wpa_status(ASSOCIATED)
    p = start(cam, program)
    p.wait_for("...send message queue ok...", 20)
    text = out(p)
    i = text.index("[main - 1379]: .........WIRELESS.........")
    assert text[i:i + 4] == [
        "[main - 1379]: .........WIRELESS.........",
        "[Change_to_WifiOrAP - 852]: ......start wifi station mode.....",
        "[Start_STA_Mode, 689] ==========> wifi authmode: wpa <===========",
        "WifiAP...11................",
    ]
    assert text[i + 4:i + 6] == ["[Check_WPACLI_Status - 927]: .........check time interval: 1.........",
                                 "[Check_WPACLI_Status - 930]: .........connect count: 0........."]
    # Associated on the first query of the first pass.
    assert queries(cam) == 1


@pytest.mark.parametrize("safetype, conf", [
    ("none", "/mnt/sif/open.conf"),
    ("wep", "/mnt/sif/wep.conf"),
    ("WEP", "/mnt/sif/wpa_supplicant.conf"),
    ("wpa", "/mnt/sif/wpa_supplicant.conf"),
    (None, "/mnt/sif/wpa_supplicant.conf"),
])
def test_supplicant_configuration_follows_the_security_type(cam, program, safetype, conf):
    configure(cam, safetype=safetype)
    p = start(cam, program)
    p.wait_for("WifiAP...11................", 20)
    supplicants = [c for c in cam.commands() if c.startswith("wpa_supplicant")]
    assert supplicants == ["wpa_supplicant -B -d -Dwext -i wlan0 -c %s" % conf]
    assert "[Start_STA_Mode, 689] ==========> wifi authmode: %s <===========" % (safetype or "") \
        in out(p)
    # Started in the background with its output kept for the connect script.
    assert cam.wait_until(lambda: cam.read_file("/tmpfs/wifi.connect") is not None, 5)


def test_station_never_associating_gives_way_to_the_access_point_on_the_fifth_pass(cam, program):
    configure(cam, isopen=1)
    p = start(cam, program)
    p.wait_for("WifiAP...55................", 40)
    wait_command(cam, AP_START[-1])

    commands = cam.commands()
    # One query on passes 1 to 4, two on the fifth.
    assert after(commands, STA_START[-1])[1:7] == [WPA_CLI] * 6
    assert after(commands, STA_START[-1])[7:] == AP_START
    assert "iwlist wlan0 scanning" not in commands
    assert cam.queue_messages() == [(1, "NETMODE_WIFIAP")]
    text = out(p)
    assert sum(1 for t in text if t.startswith("[Check_WPACLI_Status - 927]")) == 6
    i = text.index("......start wifi AP mode......")
    assert text[i + 1:i + 3] == ["...VQ_MessageQueue_Send...netmode: 2...",
                                 "[VQ_MessageQueue_Send, 92]...Net Work Mode: NETMODE_WIFIAP..."]
    assert text.index("WifiAP...55................") > i
    # LED keeps the colour of the start-up.
    assert led_writes(cam) == [(1, 5, 1), (1, 6, 0)]

    wait_passes(cam, 6)
    assert cam.commands() == commands  # no second attempt at the station
    assert count(p, "WifiAP...55................") == 1
