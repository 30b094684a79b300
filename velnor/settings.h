// Loading the wireless settings and the start-up state of the interfaces.
#ifndef CAMNET_VELNOR_SETTINGS_H
#define CAMNET_VELNOR_SETTINGS_H

// Fills `wireless_settings`, names the access point, brings lo and wlan0
// up and eth0 down, opens the GPIO device and shows the first LED colour.
void Init_Wireless_Setting();

#endif
