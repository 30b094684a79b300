#include "velnor/link_mode.h"

#include "velnor/notify.h"
#include "velnor/platform.h"
#include "velnor/site_survey.h"
#include "velnor/velnor.h"
#include "velnor/wpa_status.h"

#include <errno.h>

#include <cstdio>
#include <cstring>

void Launch_Supplicant(const char *origin, int line)
{
    const char *safetype = wireless_settings.safetype;
    printf("[%s, %d] ==========> wifi authmode: %s <===========\n", origin, line, safetype);
    if (strcmp(safetype, "none") == 0) {
        run_command("wpa_supplicant -B -d -Dwext -i wlan0 -c /mnt/sif/open.conf"
                    " > /tmpfs/wifi.connect 2>&1 &");
    } else if (strcmp(safetype, "wep") == 0) {
        run_command("wpa_supplicant -B -d -Dwext -i wlan0 -c /mnt/sif/wep.conf"
                    " > /tmpfs/wifi.connect 2>&1 &");
    } else {
        run_command("wpa_supplicant -B -d -Dwext -i wlan0 -c /mnt/sif/wpa_supplicant.conf"
                    " > /tmpfs/wifi.connect 2>&1 &");
    }
}

int Start_STA_Mode()
{
    run_command("killall -q udhcpc");
    run_command("killall -q udhcpd");
    run_command("ifconfig wlan0 down");
    run_command("killall -q wpa_supplicant");
    pause_seconds(1);
    run_command("ifconfig wlan0 up");
    Launch_Supplicant("Start_STA_Mode", 689);
    pause_seconds(1);
    return run_command("/mnt/sif/bin//wifi_connect.sh");
}

int Start_AP_Mode()
{
    puts("......start wifi AP mode......");
    run_command("killall udhcpc");
    run_command("killall udhcpd");
    run_command("killall wpa_supplicant");
    run_command("ifconfig wlan0 down");
    run_command("killall wudhcpc.conf");
    run_command("ifconfig wlan0 192.168.100.2 broadcast 192.168.100.255 netmask 255.255.255.0 up");
    pause_seconds(1);
    run_command("hostapd -B /mnt/sif/hostapd.conf &");
    pause_seconds(1);
    run_command("udhcpd /mnt/sif/udhcpd.conf &");
    return VQ_MessageQueue_Send(NETMODE_WIFIAP);
}

void Close_Wifi()
{
    run_command("killall -q udhcpc");
    run_command("killall -q udhcpd");
    run_command("killall -q wpa_supplicant");
    run_command("ifconfig wlan0 down");
    run_command("killall wudhcpc.conf");
    VQ_MessageQueue_Send(NETMODE_WIFICLOSE);
}

void Change_to_WifiOrAP()
{
    if (wireless_settings.wifisid[0] != '\0' && wireless_settings.isopen != 0) {
        printf("[%s - %d]: ", "Change_to_WifiOrAP", 852);
        puts("......start wifi station mode.....");
        Start_STA_Mode();
        LinkState = LINK_STA_CONNECTING;
        return;
    }
    // The survey needs the radio as a station, so it comes before the
    // first access point of the run and never again.
    if (survey_done == 0) {
        if (WifiScanForAP() != 0) {
            fputs("wifi search result is empty !\n", stderr);
        }
        pause_seconds(1);
    }
    survey_done = 1;
    Start_AP_Mode();
    puts("WifiAP...44................");
    LinkState = LINK_AP;
}

int Check_WPACLI_Status(int attempts)
{
    printf("[%s - %d]: ", "Check_WPACLI_Status", 927);
    printf(".........check time interval: %d.........\n", attempts);
    for (int i = 0; i < attempts; ++i) {
        printf("[%s - %d]: ", "Check_WPACLI_Status", 930);
        printf(".........connect count: %d.........\n", i);
        CommandPipe status("wpa_cli status");
        if (!status.is_open()) {
            int error = errno;
            fprintf(stderr, "popen failed with: %d, %s\n", error, strerror(error));
            return -1;
        }
        if (read_wpa_status(status.stream()) > 0) {
            return 1;
        }
    }
    return 0;
}
