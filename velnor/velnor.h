// Daemon-wide state of velnor, one instance each (defined in state.cpp).
#ifndef CAMNET_VELNOR_VELNOR_H
#define CAMNET_VELNOR_VELNOR_H

#include <cstdint>

// Link situation of the daemon, kept in `LinkState`.
constexpr int16_t LINK_NONE = 0;            // no mode chosen yet
constexpr int16_t LINK_AP = 2;              // own access point started
constexpr int16_t LINK_STA_CONNECTING = 4;  // station started, association awaited
constexpr int16_t LINK_SETTLED = 5;         // station associated, or given up for the AP

// The wireless settings, read once at start-up and read-only afterwards.
// Field sizes are the read bounds handed to the configuration library.
struct WirelessSettings {
    char devid[32];     // "USER" of /mnt/sif/vqclient.conf
    char ap_ssid[128];  // "ssid" of /mnt/sif/hostapd.conf
    int isopen;         // station mode allowed (non-zero)
    char wifisid[37];   // station network name, spaces kept
    char safetype[16];  // "none", "wep" or anything else (WPA)
};

extern int16_t LinkState;
extern WirelessSettings wireless_settings;
extern int survey_done;  // the site survey has been made this run
extern int wifi_closed;  // Wi-Fi shut down because of the switch

#endif
