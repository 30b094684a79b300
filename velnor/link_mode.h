// Reconfiguration of wlan0: station or own access point, Wi-Fi off, the
// supplicant, and the association query.
#ifndef CAMNET_VELNOR_LINK_MODE_H
#define CAMNET_VELNOR_LINK_MODE_H

// Station when one is configured and allowed, else the access point (with
// the site survey before the first one). Sets `LinkState`.
void Change_to_WifiOrAP();

int Start_STA_Mode();  // result of the last command
int Start_AP_Mode();   // result of the NETMODE_WIFIAP notification
void Close_Wifi();

// Starts wpa_supplicant in the background with the configuration file for
// the security type; origin and line name the caller in the log line.
void Launch_Supplicant(const char *origin, int line);

// Asks "wpa_cli status" up to `attempts` times: 1 associated, 0 not,
// -1 the query could not be started.
int Check_WPACLI_Status(int attempts);

#endif
