// Reading the output of "wpa_cli status".
#ifndef CAMNET_VELNOR_WPA_STATUS_H
#define CAMNET_VELNOR_WPA_STATUS_H

#include <cstdio>

// True when one "key=value" line says wpa_state=COMPLETED. The trailing
// newline, if any, is not part of the line.
bool wpa_line_completed(const char *line);

// Reads the whole output: the first line (the interface banner) is skipped,
// then 1 when a later line reports the association completed, else 0.
int read_wpa_status(FILE *output);

#endif
