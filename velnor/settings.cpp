#include "velnor/settings.h"

#include "gpio/hi_gpio.h"
#include "utils/utils.h"
#include "velnor/platform.h"
#include "velnor/switch_led.h"
#include "velnor/velnor.h"

#include <cstdio>
#include <cstring>

namespace {

constexpr const char *client_conf = "/mnt/sif/vqclient.conf";
constexpr const char *hostapd_conf = "/mnt/sif/hostapd.conf";
constexpr const char *wifinet_conf = "/mnt/sif/wifinet.cfg";
constexpr const char *wifisid_conf = "/mnt/sif/wifisid.conf";
constexpr const char *default_ap_name = "VQIPC_AP";

void load_settings(WirelessSettings &settings)
{
    memset(settings.devid, 0, sizeof settings.devid);
    memset(settings.ap_ssid, 0, sizeof settings.ap_ssid);
    conf_get(client_conf, "USER", settings.devid, sizeof settings.devid);
    conf_get(hostapd_conf, "ssid", settings.ap_ssid, sizeof settings.ap_ssid);
    settings.isopen = conf_get_int(wifinet_conf, "isopen");
    conf_get_space(wifisid_conf, "wifisid", settings.wifisid, sizeof settings.wifisid);
    conf_get(wifinet_conf, "safetype", settings.safetype, sizeof settings.safetype);
}

// The access point carries the device's name, or the default one when the
// device has none worth the name.
void name_access_point(WirelessSettings &settings)
{
    if (strnlen(settings.devid, sizeof settings.devid) <= 1) {
        snprintf(settings.devid, sizeof settings.devid, "%s", default_ap_name);
        conf_set(hostapd_conf, "ssid", default_ap_name);
        printf("[%s - %d]: ", "Init_Wireless_Setting", 1044);
        printf("use default AP name: %s\n", settings.devid);
    } else if (strncmp(settings.devid, settings.ap_ssid, sizeof settings.devid) != 0) {
        conf_set(hostapd_conf, "ssid", settings.devid);
        printf("[%s - %d]: ", "Init_Wireless_Setting", 1049);
        printf("use devID as AP name: %s\n", settings.devid);
    }
}

}  // namespace

void Init_Wireless_Setting()
{
    load_settings(wireless_settings);
    name_access_point(wireless_settings);

    run_command("ifconfig lo 127.0.0.1 up");
    run_command("ifconfig wlan0 0.0.0.0 up");
    run_command("ifconfig eth0 down");

    HI_SetGpio_Open();
    if (wireless_settings.isopen == 0) {
        Set_StatusLed(LED_RED);
    } else if (wireless_settings.isopen == 1) {
        Set_StatusLed(LED_BLUE);
    }
}
