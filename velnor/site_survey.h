// The one-time site survey into /mnt/sif/wifilist.conf.
#ifndef CAMNET_VELNOR_SITE_SURVEY_H
#define CAMNET_VELNOR_SITE_SURVEY_H

// 0 when the list was written (or the scan could not be started), -1 when
// nothing was found, the errno of a failed list-file open otherwise.
int WifiScanForAP();

#endif
