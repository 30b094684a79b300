"""The Wi-Fi switch while velnor runs: closing Wi-Fi, staying quiet while it
is off, a fresh mode choice when it is turned on again."""

from velnor_sim import (CLOSE, STA_START, START_UP, after, configure, count, out, start,
                        wait_command, wait_passes)


def test_switch_off_and_on_during_a_station_attempt(cam, program):
    configure(cam, isopen=1)
    p = start(cam, program)
    p.wait_for("[Check_WPACLI_Status - 927]", 20)

    cam.set_line(0, 7, 0)
    p.wait_for("GLUN Close Wifi...........", 10)
    p.wait_for("...send message queue ok...", 10)
    closed_at = len(cam.commands())
    assert cam.commands()[closed_at - len(CLOSE):] == CLOSE
    assert cam.queue_messages() == [(1, "NETMODE_WIFICLOSE")]
    text = out(p)
    i = text.index("GLUN Close Wifi...........")
    assert text[i + 1:i + 3] == ["...VQ_MessageQueue_Send...netmode: 3...",
                                 "[VQ_MessageQueue_Send, 98]...Net Work Mode: NETMODE_WIFICLOSE..."]

    # While off: passes go on, but no query, no command, no message.
    wait_passes(cam, 6)
    assert len(cam.commands()) == closed_at
    assert cam.queue_messages() == []
    assert count(p, "GLUN Close Wifi...........") == 1

    cam.set_line(0, 7, 1)
    p.wait_for("GLUN OPEN Wifi...........", 10)
    p.wait_for("[Start_STA_Mode, 689] ==========> wifi authmode: wpa <===========", 10)
    wait_command(cam, "wifi_connect.sh", 2)
    # A fresh choice: the station again, queried in the same pass.
    assert cam.commands()[closed_at:closed_at + len(STA_START)] == STA_START
    wait_command(cam, "wpa_cli status", cam.commands()[:closed_at].count("wpa_cli status") + 1)
    assert "iwlist wlan0 scanning" not in cam.commands()


def test_switch_staying_off_closes_once(cam, program):
    configure(cam, isopen=1)
    p = start(cam, program)
    p.wait_for("[Check_WPACLI_Status - 927]", 20)
    cam.set_line(0, 7, 0)
    p.wait_for("GLUN Close Wifi...........", 10)
    wait_passes(cam, 2)
    before = cam.commands()
    wait_passes(cam, 3)
    assert cam.commands() == before
    assert count(p, "GLUN Close Wifi...........") == 1
    assert cam.queue_messages() == [(1, "NETMODE_WIFICLOSE")]


def test_switch_turned_off_during_start_up_still_opens_later(cam, program):
    # The switch reads on after the discharge and off at the read that
    # decides: no mode at start-up.
    configure(cam, isopen=1, switch=0)
    cam.queue_line_reads(0, 7, [1])
    p = start(cam, program)
    p.wait_for("GLUN Close Wifi...........", 20)
    assert "[main - 1379]: .........WIRELESS........." not in out(p)
    assert not any(t.startswith("tqm Close Wifi") for t in out(p))
    wait_command(cam, CLOSE[-1])
    assert cam.commands() == START_UP + CLOSE

    cam.set_line(0, 7, 1)
    p.wait_for("GLUN OPEN Wifi...........", 10)
    p.wait_for("[Change_to_WifiOrAP - 852]: ......start wifi station mode.....", 10)
    wait_command(cam, "wifi_connect.sh")
    assert after(cam.commands(), CLOSE[-1])[1:1 + len(STA_START)] == STA_START
