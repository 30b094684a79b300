#include "velnor/velnor.h"

int16_t LinkState = LINK_NONE;
WirelessSettings wireless_settings = {};
int survey_done = 0;
int wifi_closed = 0;
