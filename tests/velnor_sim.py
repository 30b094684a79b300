"""Shared set-up for the velnor system tests: a configured camera, the
daemon started in it, and readings of what it did."""

import re

BANNER = ".............. velnor start, ver: 3516C_2015_07_03 ..............."
NOT_ASSOCIATED = "Selected interface 'wlan0'\nwpa_state=SCANNING\naddress=00:e0:4c:81:88:01\n"
ASSOCIATED = ("Selected interface 'wlan0'\nbssid=00:1a:2b:3c:4d:5e\nssid=HomeNet\nid=0\n"
              "mode=station\nkey_mgmt=WPA2-PSK\nwpa_state=COMPLETED\nip_address=192.168.1.23\n")
HOSTAPD_REST = "interface=wlan0\ndriver=rtl871xdrv\nchannel=6\nwpa_passphrase=12345678\n"
SCAN = """wlan0     Scan completed :
          Cell 01 - Address: 00:1A:2B:3C:4D:5E
                    ESSID:"HomeNet"
                    Frequency:2.437 GHz (Channel 6)
                    Encryption key:on
                    IE: IEEE 802.11i/WPA2 Version 1
                    Quality=70/100  Signal level=-45 dBm
          Cell 02 - Address: 5C:F4:AB:10:22:9E
                    ESSID:"CafeGuest"
                    Frequency:2.412 GHz (Channel 1)
                    Encryption key:off
                    Quality=29/100  Signal level=-71 dBm
"""

STA_START = [
    "killall -q udhcpc",
    "killall -q udhcpd",
    "ifconfig wlan0 down",
    "killall -q wpa_supplicant",
    "ifconfig wlan0 up",
    "wpa_supplicant -B -d -Dwext -i wlan0 -c /mnt/sif/wpa_supplicant.conf",
    "wifi_connect.sh",
]
AP_START = [
    "killall udhcpc",
    "killall udhcpd",
    "killall wpa_supplicant",
    "ifconfig wlan0 down",
    "killall wudhcpc.conf",
    "ifconfig wlan0 192.168.100.2 broadcast 192.168.100.255 netmask 255.255.255.0 up",
    "hostapd -B /mnt/sif/hostapd.conf",
    "udhcpd /mnt/sif/udhcpd.conf",
]
CLOSE = [
    "killall -q udhcpc",
    "killall -q udhcpd",
    "killall -q wpa_supplicant",
    "ifconfig wlan0 down",
    "killall wudhcpc.conf",
]
START_UP = ["insmod /komod/8188eu.ko", "ifconfig lo 127.0.0.1 up", "ifconfig wlan0 0.0.0.0 up",
            "ifconfig eth0 down"]


def configure(cam, user="VQ0A1B2C", ap_ssid="OLD_AP", isopen=1, wifisid="HomeNet",
              safetype="wpa", switch=1, wpa_status=NOT_ASSOCIATED, scan=SCAN):
    """A camera's configuration files; None leaves a key out."""
    cam.write_file("/mnt/sif/vqclient.conf",
                   ("USER=%s\n" % user if user is not None else "") + "PASS=admin\n")
    cam.write_file("/mnt/sif/hostapd.conf",
                   HOSTAPD_REST + ("ssid=%s\n" % ap_ssid if ap_ssid is not None else ""))
    cam.write_file("/mnt/sif/wifinet.cfg",
                   ("isopen=%d\n" % isopen if isopen is not None else "")
                   + ("safetype=%s\n" % safetype if safetype is not None else ""))
    cam.write_file("/mnt/sif/wifisid.conf",
                   "wifisid=%s\n" % wifisid if wifisid is not None else "")
    cam.set_line(0, 7, switch)
    if wpa_status is not None:
        cam.set_wpa_status(wpa_status)
    if scan is not None:
        cam.set_scan(scan)


def start(cam, program, wait_banner=True):
    p = cam.start(program("velnor"))
    if wait_banner:
        p.wait_for(BANNER, 20)
    return p


def out(p):
    return [l.text for l in p.lines("out")]


def err(p):
    return [l.text for l in p.lines("err")]


def count(p, text):
    return sum(1 for t in out(p) if t == text)


def switch_reads(cam):
    """Read requests on the Wi-Fi switch line so far: one per loop pass
    after start-up."""
    return [r for r in cam.gpio_requests() if (r.code, r.group, r.bit) == (3, 0, 7)]


def led_writes(cam):
    return [(r.group, r.bit, r.sent) for r in cam.gpio_requests()
            if r.code == 4 and r.group == 1]


def wait_passes(cam, passes, timeout=30):
    """Waits until the loop has polled the switch `passes` more times."""
    target = len(switch_reads(cam)) + passes
    cam.wait_until(lambda: len(switch_reads(cam)) >= target, timeout)


def after(items, first):
    """The items from the first occurrence of `first` on."""
    return items[items.index(first):]


def without_tail(command):
    return re.sub(r"\s+$", "", command)


def wait_command(cam, command, occurrences=1, timeout=20):
    """Waits until the journal holds `command` that many times; background
    commands reach the journal a moment after the daemon went on."""
    cam.wait_until(lambda: cam.commands().count(command) >= occurrences, timeout, what=command)
